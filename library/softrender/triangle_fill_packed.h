// triangle_fill_packed.h - the packed saturating add and floored subtract with which
// the triangle filler's add and subtract spans combine a destination pixel D with a
// prepared source word S (channels packed like a pixel of the destination's format).
//
// All three channels go through one integer operation: the lowest bits of green and
// red are masked off so that the carry (or borrow) of the channel below lands there,
// and that bit is then spread over the channel to saturate it. Blue is exact; green and
// red add or subtract their upper bits, and their lowest bit follows the rules below.
// These are the results every add and subtract span writes:
//   AddPixels565         blue min(d + s, 31); green and red from their upper bits,
//                        lowest bit = d | s | carry from below; a carry saturates
//   SubtractPixels565    blue max(d - s, 0); green and red (d | 1) - (s & ~1) - borrow,
//                        green's lowest bit cleared; 0 when negative
//   AddPixels8888        as the 565 add on bytes; byte 3 = the carry out of red
//   SubtractPixels8888   as the 565 subtract on bytes; byte 3 = 0
// The results do not depend on the MMX flag: there is no byte-saturating variant.
#pragma once

#include <cstdint>

#include "library/softrender/blend_kernels.h"

ZQ_BLEND_INLINE uint32_t AddPixels565(uint32_t d, uint32_t s) { return AddRgb565(s, d) | ((d | s) & 0x0820); }
ZQ_BLEND_INLINE uint32_t SubtractPixels565(uint32_t d, uint32_t s) { return SubRgb565(d, s); }
// S has byte 3 zero; the result is stored as a whole word.
ZQ_BLEND_INLINE uint32_t AddPixels8888(uint32_t d, uint32_t s) { return AddXrgb8888(s, d) | ((d | s) & 0x10100); }
ZQ_BLEND_INLINE uint32_t SubtractPixels8888(uint32_t d, uint32_t s) { return SubXrgb8888(d, s); }
