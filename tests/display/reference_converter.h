// reference_converter.h - a slow, literal model of the pixel-format converter for the
// differential tests: every decision and every pixel worked out from scratch, with
// no precomputed tables and no shared code with the library's converter.
#pragma once

#include <cstdint>

#include "library/display/color_format.h"
#include "platform/wintypes.h"

int ReferenceConvertPixels(void* destPixels, int destPitch, const ColorFormat* destFormat,
                           const void* srcPixels, int srcPitch, const ColorFormat* srcFormat,
                           const void* alphaPixels, int alphaPitch, const ColorFormat* alphaFormat,
                           int destX, int destY, const RECT* srcRect, int mirror, int keyToAlpha,
                           uint32_t key, int ditherMode, int colorZero, int alphaFromRed,
                           int skipKey);
