// pixel_converter_fast.cpp - the converter's fixed-formula fast paths.
//
// One table lists every pair with its formula; the first row that matches the
// source kind, the destination kind and the key-to-alpha option converts the block.
// The formulas are the results of these pairs: widened channels get zero low bits,
// the palette and 24-bit paths set bit 15 of X1R5G5B5 while RGB565 -> X1R5G5B5
// leaves it clear, and RGB565 -> X8R8G8B8 leaves the top byte 0.
//
// The two 16-bit to 16-bit pairs have two loops with the same results: the MMX-rule
// loop (eight pixels per SSE2 step, the rest singly) and the plain loop (two pixels
// per 32-bit word, then an odd pixel).
#include <emmintrin.h>

#include "library/display/pixel_converter_internal.h"

namespace {

// The layouts the fast paths know. Palette8 is an 8-bit index whose palette entries
// read as 0x00RRGGBB.
enum FastKind : uint8_t {
    KindOther,
    KindPalette8,
    KindRgb24,
    KindXrgb8888,
    KindArgb8888,
    KindRgb32OtherAlpha,  // 32-bit 8:8:8 with an alpha mask other than 0 or 0xFF000000
    KindRgb565,
    KindXrgb1555,
    KindArgb1555,
};

FastKind ClassifyFormat(const ColorFormat* f) {
    const bool rgb888 = f->redMask == 0xFF0000 && f->greenMask == 0xFF00 && f->blueMask == 0xFF;
    const bool rgb565 = f->redMask == 0xF800 && f->greenMask == 0x07E0 && f->blueMask == 0x1F;
    const bool rgb555 = f->redMask == 0x7C00 && f->greenMask == 0x03E0 && f->blueMask == 0x1F;
    switch (f->bitsPerPixel) {
        case 8:
            return rgb888 ? KindPalette8 : KindOther;
        case 16:
            if (rgb565 && f->alphaMask == 0) return KindRgb565;
            if (rgb555 && f->alphaMask == 0) return KindXrgb1555;
            if (rgb555 && f->alphaMask == 0x8000) return KindArgb1555;
            return KindOther;
        case 24:
            return rgb888 && f->alphaMask == 0 ? KindRgb24 : KindOther;
        case 32:
            if (!rgb888) return KindOther;
            if (f->alphaMask == 0) return KindXrgb8888;
            if (f->alphaMask == 0xFF000000u) return KindArgb8888;
            return KindRgb32OtherAlpha;
        default:
            return KindOther;
    }
}

constexpr uint32_t KindBit(FastKind kind) { return 1u << kind; }

// Per-pixel formulas. p is the source pixel (for a palette source, its entry).
inline uint32_t Rgb888To565(uint32_t p) {
    return (p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x001F);
}
inline uint32_t Rgb888To555(uint32_t p) {
    return (p >> 9 & 0x7C00) | (p >> 6 & 0x03E0) | (p >> 3 & 0x001F);
}
inline uint32_t Rgb565To888(uint32_t p) {
    return (p & 0xF800) << 8 | (p & 0x07E0) << 5 | (p & 0x1F) << 3;
}
inline uint32_t Rgb565To555(uint32_t p) { return (p & 0xFFC0) >> 1 | (p & 0x1F); }

uint32_t Key555(uint32_t key) {
    return (key >> 19 & 0x1F) << 10 | (key >> 11 & 0x1F) << 5 | (key >> 3 & 0x1F);
}

using FastPathFn = void (*)(const PixelBlock& block, bool useMmxLoops);

template <int SrcBytes, int DestBytes, typename PixelFn>
void MapPlain(const PixelBlock& block, PixelFn fn) {
    MapBlockPixels<SrcBytes, DestBytes>(block, false, fn);
}

// Palette sources: the index selects an entry, the formula applies to the entry.
template <int DestBytes, typename EntryFn>
void MapPalette(const PixelBlock& block, EntryFn fn) {
    const uint32_t* palette = block.srcFormat->palette;
    MapPlain<1, DestBytes>(block, [=](uint32_t index) { return fn(palette[index]); });
}

void Palette8ToRgb565(const PixelBlock& b, bool) { MapPalette<2>(b, Rgb888To565); }
void Palette8ToXrgb1555(const PixelBlock& b, bool) {
    MapPalette<2>(b, [](uint32_t p) { return Rgb888To555(p) | 0x8000; });
}
void Palette8ToXrgb8888(const PixelBlock& b, bool) {
    MapPalette<4>(b, [](uint32_t p) { return p | 0xFF000000u; });
}
void Palette8ToArgb1555Keyed(const PixelBlock& b, bool) {
    const uint32_t key = b.key;
    MapPalette<2>(b, [=](uint32_t p) { return Rgb888To555(p) | (p != key ? 0x8000 : 0); });
}
void Palette8ToArgb8888Keyed(const PixelBlock& b, bool) {
    const uint32_t key = b.key;
    MapPalette<4>(b, [=](uint32_t p) { return p != key ? p | 0xFF000000u : p; });
}

void Rgb24ToRgb565(const PixelBlock& b, bool) { MapPlain<3, 2>(b, Rgb888To565); }
void Rgb24ToXrgb1555(const PixelBlock& b, bool) {
    MapPlain<3, 2>(b, [](uint32_t p) { return Rgb888To555(p) | 0x8000; });
}
void Rgb24ToRgb32(const PixelBlock& b, bool) {
    MapPlain<3, 4>(b, [](uint32_t p) { return p | 0xFF000000u; });
}
void Rgb24ToArgb1555Keyed(const PixelBlock& b, bool) {
    const uint32_t key = Key555(b.key);
    MapPlain<3, 2>(b, [=](uint32_t p) {
        uint32_t q = Rgb888To555(p);
        return q != key ? q | 0x8000 : q;
    });
}
void Rgb24ToArgb8888Keyed(const PixelBlock& b, bool) {
    const uint32_t key = b.key;
    MapPlain<3, 4>(b, [=](uint32_t p) { return p != key ? p | 0xFF000000u : p; });
}

// Eight pixels per SSE2 step: the 32-bit lanes are narrowed to 16 bits by sign
// extension and a signed pack, which is exact for values below 0x10000.
void Xrgb8888ToRgb565Row(uint8_t* d, const uint8_t* s, int width) {
    const __m128i red = _mm_set1_epi32(0xF800), green = _mm_set1_epi32(0x07E0),
                  blue = _mm_set1_epi32(0x001F);
    auto pack4 = [&](__m128i p) {
        __m128i v = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 8), red),
                                 _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 5), green),
                                              _mm_and_si128(_mm_srli_epi32(p, 3), blue)));
        return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
    };
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), _mm_packs_epi32(pack4(lo), pack4(hi)));
    }
    for (; x < width; x++) StorePixel<2>(d + 2 * x, Rgb888To565(LoadPixel<4>(s + 4 * x)));
}

void Xrgb8888ToRgb565(const PixelBlock& b, bool) {
    for (int y = 0; y < b.height; y++)
        Xrgb8888ToRgb565Row(b.dest + y * b.destPitch, b.src + y * b.srcPitch, b.width);
}

void Rgb565ToArgb1555Keyed(const PixelBlock& b, bool) {
    const uint32_t key = Key555(b.key);
    MapPlain<2, 2>(b, [=](uint32_t p) {
        uint32_t q = Rgb565To555(p);
        return q != key ? q | 0x8000 : q;
    });
}
void Rgb565ToRgb24(const PixelBlock& b, bool) { MapPlain<2, 3>(b, Rgb565To888); }
void Rgb565ToXrgb8888(const PixelBlock& b, bool) { MapPlain<2, 4>(b, Rgb565To888); }

// The 16-bit to 16-bit pairs. q = ((p & highMask) shifted) | (p & lowMask), with the
// shift right by one (565 -> 555) or left by one (555 -> 565).
template <bool ShiftLeft>
inline uint32_t Shift16(uint32_t p, uint32_t highMask, uint32_t lowMask) {
    return (ShiftLeft ? (p & highMask) << 1 : (p & highMask) >> 1) | (p & lowMask);
}

template <bool ShiftLeft>
void Convert16RowMmxRule(uint8_t* d, const uint8_t* s, int width, uint16_t highMask,
                         uint16_t lowMask) {
    const __m128i high = _mm_set1_epi16(static_cast<short>(highMask));
    const __m128i low = _mm_set1_epi16(static_cast<short>(lowMask));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
        __m128i h = _mm_and_si128(p, high);
        h = ShiftLeft ? _mm_slli_epi16(h, 1) : _mm_srli_epi16(h, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), _mm_or_si128(h, _mm_and_si128(p, low)));
    }
    for (; x < width; x++)
        StorePixel<2>(d + 2 * x, Shift16<ShiftLeft>(LoadPixel<2>(s + 2 * x), highMask, lowMask));
}

template <bool ShiftLeft>
void Convert16RowPairs(uint8_t* d, const uint8_t* s, int width, uint16_t highMask,
                       uint16_t lowMask) {
    const uint32_t high2 = uint32_t(highMask) * 0x10001u, low2 = uint32_t(lowMask) * 0x10001u;
    int x = 0;
    for (; x + 2 <= width; x += 2)
        StorePixel<4>(d + 2 * x, Shift16<ShiftLeft>(LoadPixel<4>(s + 2 * x), high2, low2));
    if (x < width)
        StorePixel<2>(d + 2 * x, Shift16<ShiftLeft>(LoadPixel<2>(s + 2 * x), highMask, lowMask));
}

template <bool ShiftLeft>
void Convert16Block(const PixelBlock& b, bool useMmxLoops, uint16_t highMask, uint16_t lowMask) {
    for (int y = 0; y < b.height; y++) {
        uint8_t* d = b.dest + y * b.destPitch;
        const uint8_t* s = b.src + y * b.srcPitch;
        if (useMmxLoops)
            Convert16RowMmxRule<ShiftLeft>(d, s, b.width, highMask, lowMask);
        else
            Convert16RowPairs<ShiftLeft>(d, s, b.width, highMask, lowMask);
    }
}

void Rgb565ToXrgb1555(const PixelBlock& b, bool useMmxLoops) {
    Convert16Block<false>(b, useMmxLoops, 0xFFC0, 0x001F);
}
void Xrgb1555ToRgb565(const PixelBlock& b, bool useMmxLoops) {
    Convert16Block<true>(b, useMmxLoops, 0x7FE0, 0x003F);
}

struct FastPathRow {
    FastKind src;
    int keyToAlpha;
    uint32_t destKinds;  // KindBit of every destination kind the row accepts
    FastPathFn convert;
};

// Searched top to bottom.
const FastPathRow FastPathTable[] = {
    {KindPalette8, 0, KindBit(KindRgb565), Palette8ToRgb565},
    {KindPalette8, 0, KindBit(KindXrgb1555), Palette8ToXrgb1555},
    {KindPalette8, 0, KindBit(KindXrgb8888), Palette8ToXrgb8888},
    {KindPalette8, 1, KindBit(KindArgb1555), Palette8ToArgb1555Keyed},
    {KindPalette8, 1, KindBit(KindArgb8888), Palette8ToArgb8888Keyed},
    {KindRgb24, 0, KindBit(KindRgb565), Rgb24ToRgb565},
    {KindRgb24, 0, KindBit(KindXrgb1555), Rgb24ToXrgb1555},
    {KindRgb24, 0, KindBit(KindXrgb8888) | KindBit(KindArgb8888) | KindBit(KindRgb32OtherAlpha),
     Rgb24ToRgb32},
    {KindRgb24, 1, KindBit(KindArgb1555), Rgb24ToArgb1555Keyed},
    {KindRgb24, 1, KindBit(KindArgb8888), Rgb24ToArgb8888Keyed},
    {KindXrgb8888, 0, KindBit(KindRgb565), Xrgb8888ToRgb565},
    {KindRgb565, 1, KindBit(KindArgb1555), Rgb565ToArgb1555Keyed},
    {KindRgb565, 0, KindBit(KindRgb24), Rgb565ToRgb24},
    {KindRgb565, 0, KindBit(KindXrgb8888), Rgb565ToXrgb8888},
    {KindRgb565, 0, KindBit(KindXrgb1555), Rgb565ToXrgb1555},
    {KindXrgb1555, 0, KindBit(KindRgb565), Xrgb1555ToRgb565},
};

}  // namespace

bool ConvertByFastPath(const PixelBlock& block, bool useMmxLoops) {
    const FastKind src = ClassifyFormat(block.srcFormat);
    const FastKind dest = ClassifyFormat(block.destFormat);
    if (src == KindOther || dest == KindOther) return false;
    for (const FastPathRow& row : FastPathTable) {
        if (row.src == src && row.keyToAlpha == block.keyToAlpha && (row.destKinds & KindBit(dest))) {
            row.convert(block, useMmxLoops);
            return true;
        }
    }
    return false;
}
