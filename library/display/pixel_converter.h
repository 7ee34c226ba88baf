// pixel_converter.h - converting a block of pixels from one ColorFormat to another.
//
// ConvertPixelsBetweenFormats copies the source rectangle (right and bottom
// exclusive) of one pixel buffer to point (destX, destY) of another, changing the
// pixel format on the way. Options:
//   mirror        write each row right to left
//   keyToAlpha    pixels of the key colour (key = 0x00RRGGBB) get alpha 0, others full
//                 alpha (dropped when alpha is transferred, the destination has no
//                 alpha, or alphaFromRed is set)
//   ditherMode    DitherNone, DitherOrdered (4 x 4 matrix anchored at the block's
//                 first pixel) or DitherErrorCarry, for channels that lose bits
//   colorZero     write the colour channels as 0
//   alphaFromRed  the alpha field receives the converted red value
//   skipKey       source pixels equal to key (compared at the source pixel width)
//                 are not written (dropped when mirrored or when alpha is transferred)
// The alpha plane (optional) is aligned with the source; its red channel gives the
// alpha where the source has none.
//
// The first of these that applies does the whole block: an 8-bit copy (returns the
// largest byte copied), a same-format copy, a key-to-alpha copy of equal colour
// masks, a fast path for a common pair (their formulas fill widened channels with
// zero bits and set or clear bit 15 as the pair dictates), and otherwise the general
// path (channels rescaled with bit replication, alpha from plane, source or the
// destination's full alpha, dithering, unused bits set).
//
// Results: 0; -1 for an empty rectangle or an 8-bit destination with a source that
// is not 8-bit. Buffers, pitches, formats and the rectangle are trusted: callers
// clip. Source and destination may be the same buffer for equal pixel sizes (not
// mirrored).
#pragma once

#include <cstdint>

#include "library/display/color_format.h"

struct RECT;

enum { DitherNone = 0, DitherOrdered = 1, DitherErrorCarry = 2 };

// Thresholds in sixteenths, row by row.
extern const uint32_t OrderedDitherMatrix[16];

int ConvertPixelsBetweenFormats(void* destPixels, int destPitch, const ColorFormat* destFormat,
                                const void* srcPixels, int srcPitch, const ColorFormat* srcFormat,
                                const void* alphaPixels, int alphaPitch,
                                const ColorFormat* alphaFormat, int destX, int destY,
                                const RECT* srcRect, int mirror, int keyToAlpha, uint32_t key,
                                int ditherMode, int colorZero, int alphaFromRed, int skipKey);

// ORs value << the format's unused-bits shift into every pixel of the rectangle
// (normalised in place first), for 2- and 4-byte pixels; a format without unused
// bits is left alone. Returns 0.
int SetAlphaBitsInRect(RECT* rect, void* pixels, int pitch, const ColorFormat* format,
                       uint32_t value);
