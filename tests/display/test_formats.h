// test_formats.h - the colour formats the display tests convert between.
#pragma once

#include <cstdint>
#include <vector>

#include "library/display/color_format.h"
#include "library/softrender/memimg_formats.h"

inline ColorFormat MakeFormat(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f{};
    InitColorFormatFromMasks(&f, bits, r, g, b, a);
    return f;
}

inline ColorFormat Rgb565() { return MakeFormat(16, 0xF800, 0x07E0, 0x001F, 0); }
inline ColorFormat Xrgb1555() { return MakeFormat(16, 0x7C00, 0x03E0, 0x001F, 0); }
inline ColorFormat Argb1555() { return MakeFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
inline ColorFormat Argb4444() { return MakeFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
inline ColorFormat Bgr565() { return MakeFormat(16, 0x001F, 0x07E0, 0xF800, 0); }
inline ColorFormat Rgb24() { ColorFormat f{}; InitRgb24ColorFormat(&f); return f; }
inline ColorFormat Xrgb8888() { return MakeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0); }
inline ColorFormat Argb8888() { ColorFormat f{}; InitArgb32ColorFormat(&f); return f; }
inline ColorFormat Xbgr8888() { return MakeFormat(32, 0xFF, 0xFF00, 0xFF0000, 0); }
inline ColorFormat Rgb32Alpha4() { return MakeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0x0F000000); }
inline ColorFormat A2r10g10b10() {
    return MakeFormat(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000u);
}
// The software renderer's 16-bit image with alpha: RGB565 word, alpha byte, pad byte.
inline ColorFormat MemImg16Alpha() { return *LookupMemImgColorFormat(MemImgFormat16, 1, 0); }
inline ColorFormat MemImg8() { return *LookupMemImgColorFormat(MemImgFormat8, 0, 0); }
inline ColorFormat MemImgZ16() { return *LookupMemImgColorFormat(MemImgFormatZ16, 0, 0); }
inline ColorFormat Gray8() { ColorFormat f{}; InitGray8ColorFormat(&f); return f; }

// An 8-bit palette format; entry i is 0x00RRGGBB from the given generator.
template <typename EntryFn>
ColorFormat Palette8(EntryFn entry) {
    ColorFormat f{};
    InitPalette8ColorFormat(&f);
    for (int i = 0; i < 256; i++) f.palette[i] = entry(i);
    return f;
}
