// memimg_formats.cpp - the preset colour formats of the software renderer's images.
#include "library/softrender/memimg_formats.h"

#include "platform/ddraw/ddraw_types.h"

namespace {

struct MemImgPresetSet {
    ColorFormat byFlags[2][2][2];  // [kind 0 or 1][alpha][palette]
    ColorFormat format8;
    ColorFormat formatZ16;
};

// The two overlapping-channel kinds: every channel is the whole pixel value.
void InitWholeValueFormat(ColorFormat* format, int bits, uint32_t mask) {
    *format = ColorFormat{};
    format->bitsPerPixel = static_cast<uint16_t>(bits);
    format->bytesPerPixel = static_cast<uint16_t>(bits / 8);
    format->redWidth = format->greenWidth = format->blueWidth = format->alphaWidth =
        static_cast<uint8_t>(bits);
    format->redMask = format->greenMask = format->blueMask = format->alphaMask = mask;
}

MemImgPresetSet BuildMemImgPresets() {
    MemImgPresetSet set{};
    for (int alpha = 0; alpha < 2; alpha++) {
        for (int palette = 0; palette < 2; palette++) {
            int bits16 = palette ? 8 : (alpha ? 32 : 16);
            int bits32 = palette ? 8 : 32;
            InitColorFormatFromMasks(&set.byFlags[MemImgFormat16][alpha][palette], bits16, 0xF800,
                                     0x07E0, 0x001F, alpha ? 0xFF0000u : 0);
            InitColorFormatFromMasks(&set.byFlags[MemImgFormat32][alpha][palette], bits32,
                                     0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0);
        }
    }
    InitWholeValueFormat(&set.format8, 8, 0xFF);
    InitWholeValueFormat(&set.formatZ16, 16, 0xFFFF);
    return set;
}

// The preset of a set (colour formats or DDPIXELFORMATs) for the kind and flags.
template <class Set>
auto PickPreset(const Set& set, int formatKind, int alphaFlag, int paletteFlag) -> decltype(&set.format8) {
    switch (formatKind) {
        case MemImgFormat16:
        case MemImgFormat32:
            return &set.byFlags[formatKind][alphaFlag ? 1 : 0][paletteFlag ? 1 : 0];
        case MemImgFormat8:
            return &set.format8;
        case MemImgFormatZ16:
            return &set.formatZ16;
        default:
            return nullptr;
    }
}

}  // namespace

const ColorFormat* LookupMemImgColorFormat(int formatKind, int alphaFlag, int paletteFlag) {
    static const MemImgPresetSet presets = BuildMemImgPresets();
    return PickPreset(presets, formatKind, alphaFlag, paletteFlag);
}

namespace {

struct MemImgDDPresetSet {
    DDPIXELFORMAT byFlags[2][2][2];  // [kind 0 or 1][alpha][palette]
    DDPIXELFORMAT format8;
    DDPIXELFORMAT formatZ16;
};

MemImgDDPresetSet BuildMemImgDDPresets() {
    MemImgDDPresetSet set{};
    for (int kind = MemImgFormat16; kind <= MemImgFormat32; kind++) {
        for (int alpha = 0; alpha < 2; alpha++) {
            for (int palette = 0; palette < 2; palette++) {
                const ColorFormat* f = LookupMemImgColorFormat(kind, alpha, palette);
                InitDDPixelFormatRgb(&set.byFlags[kind][alpha][palette], f->bitsPerPixel, f->redMask,
                                     f->greenMask, f->blueMask, f->alphaMask);
            }
        }
    }
    set.format8.dwRGBBitCount = 8;
    set.format8.dwRBitMask = set.format8.dwGBitMask = set.format8.dwBBitMask = 0xFF;
    set.format8.dwRGBAlphaBitMask = 0xFF;
    set.formatZ16.dwRGBBitCount = 16;
    set.formatZ16.dwRBitMask = set.formatZ16.dwGBitMask = set.formatZ16.dwBBitMask = 0xFFFF;
    set.formatZ16.dwRGBAlphaBitMask = 0xFFFF;
    return set;
}

}  // namespace

const DDPIXELFORMAT* LookupMemImgDDPixelFormat(int formatKind, int alphaFlag, int paletteFlag) {
    static const MemImgDDPresetSet presets = BuildMemImgDDPresets();
    return PickPreset(presets, formatKind, alphaFlag, paletteFlag);
}
