// raster3d_reference.h - a slow model of the software 3D rasteriser for one triangle
// without depth cuts, written from the rasteriser's rules rather than from its code:
// attribute planes evaluated in closed form at every pixel, and every per-triangle
// decision (blend mode, parameter shortcuts, blend image, brightness, texture alpha,
// transparency) taken again per pixel with exact wide arithmetic. Only the spans (which
// pixels of which rows are covered) come from the library; their geometry is tested on
// its own.
#pragma once

#include <cstdint>
#include <vector>

#include "library/d3d/d3d.h"
#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

struct Ref3DSettings {
    int mode = 0;
    int p = 0;
    uint32_t brightness = 0xFFFFFF;
    RECT clip{};
};

// The draw state as the rasteriser reads it now.
Ref3DSettings CurrentRef3DSettings();

struct Ref3DImages {
    std::vector<uint8_t> dest;   // pitch x height bytes
    std::vector<uint8_t> depth;  // empty without a depth image
};

// The destination and depth bytes after drawing the triangle (texture null: white).
Ref3DImages ReferenceDrawTriangle3D(const MEMIMG* dest, const MEMIMG* depthImage, const MEMIMG* texture,
                                    const ScreenVertex vertices[3], int transparent, const MEMIMG* blendImage,
                                    int depthWrite, int gouraud, const Ref3DSettings& s);
