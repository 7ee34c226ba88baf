// memimg_formats.h - the preset colour formats of the software renderer's images.
//
// A MEMIMG never owns its ColorFormat: it points at one of these presets, chosen by
// format kind, alpha flag and palette flag. The presets are built once, on first use,
// and live for the whole process.
#pragma once

#include "library/display/color_format.h"

struct DDPIXELFORMAT;

// MEMIMG pixel kinds.
enum MemImgFormatKind {
    MemImgFormat16 = 0,   // RGB565 (with alpha: the RGB565 word, an alpha byte, a pad byte)
    MemImgFormat32 = 1,   // 0xXXRRGGBB (with alpha: 0xAARRGGBB)
    MemImgFormat8 = 2,    // one byte that stands for every channel
    MemImgFormatZ16 = 3,  // one 16-bit depth value
};

// The preset for the kind and flags (kinds 2 and 3 ignore the flags); null for an
// unknown kind.
const ColorFormat* LookupMemImgColorFormat(int formatKind, int alphaFlag, int paletteFlag);

// The same presets as DDPIXELFORMAT records (used for movie surfaces): the RGB flag,
// bit count and masks for kinds 0 and 1; kind 2 and 3 only the bit count and the four
// masks; null for an unknown kind.
const DDPIXELFORMAT* LookupMemImgDDPixelFormat(int formatKind, int alphaFlag, int paletteFlag);
