// d3d_blend_rows.h - source alpha over whole rows of an RGB565 or 32-bit target, eight
// or sixteen pixels at a time (SSE2, or AVX2 where the processor has it). The bytes are
// the per-pixel kernels': each channel (c a + d (255 - a) + 127) / 255 between the
// colour and the target pixel decoded and encoded with rounding to nearest.
#pragma once

#include <cstdint>

namespace d3draster {

// The most pixels a call takes.
constexpr int kBlendRowMax = 64;

// Pixel i of the row (n <= kBlendRowMax) becomes colours[i] over it, unless skip[i].
void OverRow565(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n);
// A 32-bit target whose red, green and blue are bytes 2, 1, 0: the pixel is decoded as
// raw | alphaDefault and the result encoded as argb & keepBits.
void OverRow8888(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n, uint32_t alphaDefault,
                 uint32_t keepBits);

}  // namespace d3draster
