// triangle_fill_spans.h - the triangle filler's span loops: one compiled loop for every
// textured variant (format, texture kind, blend mode, blend image, brightness,
// transparent flag) and for every flat-fill format and blend mode, chosen once per
// triangle.
#pragma once

#include <cstdint>

#include "library/softrender/blend_kernels.h"
#include "library/softrender/primitive_kernels.h"

// What a textured span reads besides its pixels.
struct TexturedSpanFrame {
    BlendConstants k;  // key = the texture's transparent value, compared whole
    const uint8_t* texels;
    intptr_t texturePitch;
    const uint8_t* blend;  // the blend image's pixels, or null
    intptr_t blendPitch;
    int64_t dudx, dvdx;    // 14.18 texels per pixel
};

// count pixels from dest; the first samples (u, v) and every texel lies inside the
// texture.
using TexturedSpanFn = void (*)(const TexturedSpanFrame& frame, uint8_t* dest, int count, int64_t u, int64_t v);
using FlatSpanFn = void (*)(const PrimitiveColour& colour, uint8_t* dest, int count);

TexturedSpanFn ChooseTexturedSpan(const BlitVariant& variant);
FlatSpanFn ChooseFlatSpan(const MEMIMG* dest, int mode);
