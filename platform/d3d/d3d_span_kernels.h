// d3d_span_kernels.h - what the span walker hands the span kernels, and the kernels a
// draw chooses once (d3d_span_kernels.cpp).
//
// Fixed point, defined once here: texture coordinates are texels times 2^32 (so point
// sampling takes the integer part and bilinear weights are bits 24..31 after the half
// texel is taken off), depth is the 16-bit depth value times 2^16. Each span starts
// from the values the general path computes at its first pixel (weights from the
// exact integer edge values) and steps by the plane's gradient rounded to the fixed
// point, so a span of n pixels drifts by at most n / 2^32 texels or n / 2^16 depth
// steps: where the general path lands on a whole texel or a constant the bytes are
// the same, elsewhere a texel or depth step can differ only at a boundary.
#pragma once

#include <algorithm>
#include <cstring>

#include "platform/d3d/d3d_raster_internal.h"

namespace d3draster {

// A triangle's values for its spans.
struct TriangleSpans {
    const Vertex* v[3];  // in the order whose area is positive
    const Vertex* provoking;
    double inverseArea;
    int64_t stepE[3];  // change of each edge value per pixel to the right
    // Set up by the kernel's own preparation:
    uint32_t colour;       // the flat kernel's stage result; the textured kernel's fragment diffuse
    uint32_t rawColour;    // colour encoded for the target
    bool constantDepth;
    uint32_t depth;        // the depth when constant
    int64_t dDepth;        // depth step per pixel (x 2^16)
    int64_t dU, dV;        // texel steps per pixel (x 2^32)
    int pair;              // texture-coordinate pair of the textured stage (-1: none)
    int textureWidth, textureHeight;
    int texelX, texelY;    // whole-texel kernel: texel (x + texelX, y + texelY) under pixel (x, y)
};

// The values at a span's first pixel, from its exact edge values.
struct SpanStart {
    const int64_t* e;  // edge values at the first pixel
    int y, x0, x1;     // row and pixels x0..x1 (inclusive)
};

using SpanFn = void (*)(DrawSetup& s, const TriangleSpans& t, const SpanStart& span);

struct SpanKernels {
    SpanFn flat;      // one colour after the stages (no texture read)
    SpanFn textured;  // one textured stage run as StageTables, affine coordinates
    SpanFn wholeTexels;  // the same, one texel per pixel, all inside the texture
    SpanFn wholeTexelsKeepRgb;  // the same where the tables keep red, green and blue
};

// Raw pixels of 2 or 4 bytes.
template <int Bytes>
inline uint32_t Load(const uint8_t* p) {
    if constexpr (Bytes == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

template <int Bytes>
inline void Store(uint8_t* p, uint32_t v) {
    if constexpr (Bytes == 2) {
        const uint16_t w = uint16_t(v);
        std::memcpy(p, &w, 2);
    } else {
        std::memcpy(p, &v, 4);
    }
}

// The general path's weights of a pixel with edge values e.
inline void SpanWeights(const TriangleSpans& t, const int64_t e[3], double w[3]) {
    for (int i = 0; i < 3; ++i) w[i] = double(e[i]) * t.inverseArea;
}

// Depth x 2^16 at the first pixel (as the general path maps it) and the kernels' rounding.
int64_t StartDepth(const DrawSetup& s, const TriangleSpans& t, const int64_t e[3]);
inline uint32_t RoundDepth(int64_t fixed) { return uint32_t(std::clamp<int64_t>((fixed + 32768) >> 16, 0, 65535)); }

}  // namespace d3draster
