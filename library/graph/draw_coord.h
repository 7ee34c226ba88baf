// draw_coord.h - a draw position given as an int or a float: the graph draws of both
// renderers take either, and their integer flag says which (1 int, else float).
#pragma once

#include <cstdint>

#include "library/core/arith.h"

union DrawCoord {
    int32_t i;
    float f;
};

// An int is DrawCoord{value}; a float needs its member named.
inline DrawCoord FloatCoord(float value) {
    DrawCoord c;
    c.f = value;
    return c;
}

// The whole-pixel position the clip tests use: the int, or the float truncated toward
// zero (NaN and floats beyond the int range give INT_MIN, which lies outside any area).
inline int DrawCoordInt(DrawCoord c, int intFlag) { return intFlag == 1 ? c.i : FloatToIntTrunc(c.f); }
// The position the geometry uses.
inline float DrawCoordFloat(DrawCoord c, int intFlag) { return intFlag == 1 ? float(c.i) : c.f; }
