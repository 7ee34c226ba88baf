// ddraw_types.h - the display pixel-format record shared by the display layer and
// the library's colour formats. The full DirectDraw stand-in lives in ddraw.h.
#pragma once

#include "platform/wintypes.h"

// Describes one pixel of a display surface: 32 bytes, as the display reports it.
struct DDPIXELFORMAT {
    DWORD dwSize;             // 32
    DWORD dwFlags;            // DDPF_* bits
    DWORD dwFourCC;
    DWORD dwRGBBitCount;      // bits per pixel (also the Z bit depth for Z formats)
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_ALPHA 0x00000002u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_ZBUFFER 0x00000400u
