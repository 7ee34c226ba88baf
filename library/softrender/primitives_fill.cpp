// primitives_fill.cpp - the raw and the blended rectangle fill, and the colour set-up
// shared with the line plotter.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "library/softrender/primitive_kernels.h"
#include "library/softrender/primitives.h"

namespace {

bool IsSetUp(const MEMIMG* image) {
    return image->validMark == MemImgValidMark && image->pixels != nullptr && image->colorFormat != nullptr;
}

// Brightness on a fill colour: each channel scaled by its byte (bytes 0-2 of a 32-bit
// colour, the three RGB565 channels of a 16-bit one); byte 3 is kept.
uint32_t BrightenColour(const MEMIMG* image, uint32_t colour, uint32_t brightness, PrimitiveBrightness rule) {
    auto scale = [rule](uint32_t channel, uint32_t factor) {
        return rule == PrimitiveBrightnessShift ? channel * factor >> 8 : uint32_t(BlendMulTable[factor][channel]);
    };
    const uint32_t r = brightness >> 16 & 0xFF, g = brightness >> 8 & 0xFF, b = brightness & 0xFF;
    if (image->formatKind == MemImgFormat16)
        return scale(colour >> 11 & 31, r) << 11 | scale(colour >> 5 & 63, g) << 5 | scale(colour & 31, b);
    return (colour & 0xFF000000) | scale(colour >> 16 & 0xFF, r) << 16 | scale(colour >> 8 & 0xFF, g) << 8 |
           scale(colour & 0xFF, b);
}

template <BlitFormat F, int Mode>
void FillRect(MEMIMG* image, const RECT& r, const PrimitiveColour& c) {
    for (int y = r.top; y < r.bottom; y++)
        BlendRowWithColour<F, Mode>(c, MemImgPixelAddress(image, r.left, y), r.right - r.left);
}

}  // namespace

// Long rows go to the C library's wide memset, whose 32- and 64-byte stores (chosen for
// the processor at run time) beat 16-byte ones; shorter rows are SSE2 stores, the
// last one overlapping the ones before.
static_assert(sizeof(wchar_t) == 4, "wmemset fills 32-bit words");

template <BlitFormat F>
void FillRowWithValue(uint8_t* d, int width, uint32_t colour) {
    constexpr int bpp = sizeof(typename PixelLayout<F>::Pixel), perStep = 16 / bpp;
    if (width >= 256) {
        uint32_t pattern = colour;
        if constexpr (F == BlitFormat16) {
            pattern = (colour & 0xFFFF) * 0x10001u;
            if (reinterpret_cast<uintptr_t>(d) & 2) {  // a 2-byte pixel up to the word boundary
                StorePixel<F>(d, colour);
                d += 2;
                width--;
            }
            if (width & 1) StorePixel<F>(d + (width - 1) * 2, colour);
        }
        std::wmemset(reinterpret_cast<wchar_t*>(d), wchar_t(pattern), size_t(width) * bpp / 4);
        return;
    }
    const __m128i v = F == BlitFormat16 ? _mm_set1_epi16(short(colour)) : _mm_set1_epi32(int(colour));
    int x = 0;
    for (; x + 4 * perStep <= width; x += 4 * perStep) {
        __m128i* p = reinterpret_cast<__m128i*>(d + x * bpp);
        _mm_storeu_si128(p, v);
        _mm_storeu_si128(p + 1, v);
        _mm_storeu_si128(p + 2, v);
        _mm_storeu_si128(p + 3, v);
    }
    for (; x + perStep <= width; x += perStep) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * bpp), v);
    if (x < width && width >= perStep) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + (width - perStep) * bpp), v);
    } else {
        for (; x < width; x++) StorePixel<F>(d + x * bpp, colour);
    }
}
template void FillRowWithValue<BlitFormat16>(uint8_t*, int, uint32_t);
template void FillRowWithValue<BlitFormat32>(uint8_t*, int, uint32_t);

bool SetupPrimitiveColour(const MEMIMG* image, uint32_t colour, PrimitiveColour* out,
                          PrimitiveBrightness brightnessRule) {
    if (!IsSetUp(image) || image->paletteFlag || image->alphaFlag) return false;
    if (image->formatKind != MemImgFormat16 && image->formatKind != MemImgFormat32) return false;
    int mode = g_DrawState.blendMode;
    const int p = std::clamp(g_DrawState.blendParam, 0, 255);
    if (mode < BlendNone || mode > BlendMultiply) return false;
    if ((mode == BlendAlpha || mode == BlendAdd || mode == BlendSubtract) && p == 0) return false;
    if (mode == BlendAlpha && p == 255) mode = BlendNone;

    *out = PrimitiveColour{};
    out->mode = mode;
    out->k.p = p;
    out->k.mulP = BlendMulTable[p];
    out->k.signedMulP = &BlendSignedMulTable[p][255];
    const uint32_t brightness = g_DrawState.brightness & 0xFFFFFF;
    if (image->formatKind == MemImgFormat16) colour &= 0xFFFF;
    out->colour = brightness == BrightnessNeutral ? colour : BrightenColour(image, colour, brightness, brightnessRule);
    const Rgb c = image->formatKind == MemImgFormat16 ? PixelLayout<BlitFormat16>::Split(out->colour)
                                                      : PixelLayout<BlitFormat32>::Split(out->colour);
    const Rgb term{BlendMulTable[p][c.r], BlendMulTable[p][c.g], BlendMulTable[p][c.b]};
    out->term = image->formatKind == MemImgFormat16 ? PixelLayout<BlitFormat16>::Join(term, 0)
                                                    : PixelLayout<BlitFormat32>::Join(term, 0);
    return true;
}

void FillMemImgRectRaw(MEMIMG* image, const RECT* rect, uint32_t value) {
    if (!IsSetUp(image)) return;
    RECT r = rect != nullptr ? *rect : RECT{0, 0, image->width, image->height};
    const RECT bounds{0, 0, image->width, image->height};
    ClipRectByRectCore(&r, &bounds);
    if (r.right <= r.left || r.bottom <= r.top) return;
    const int bpp = MemImgBytesPerPixel(image);
    if (bpp != 1 && bpp != 2 && bpp != 4) return;
    InvalidateMemImgDerivedData(image);
    for (int y = r.top; y < r.bottom; y++) {
        uint8_t* d = MemImgPixelAddress(image, r.left, y);
        if (bpp == 1) std::memset(d, int(value & 0xFF), size_t(r.right - r.left));
        else if (bpp == 2) FillRowWithValue<BlitFormat16>(d, r.right - r.left, value);
        else FillRowWithValue<BlitFormat32>(d, r.right - r.left, value);
    }
}

void FillMemImgRectBlend(MEMIMG* image, const RECT* rect, uint32_t colour) {
    PrimitiveColour c;
    if (!SetupPrimitiveColour(image, colour, &c)) return;
    RECT r = rect != nullptr ? *rect : RECT{0, 0, image->width, image->height};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    ClipRectByRectCore(&r, &g_DrawState.clipRect);
    const RECT bounds{0, 0, image->width, image->height};
    ClipRectByRectCore(&r, &bounds);
    if (r.right <= r.left || r.bottom <= r.top) return;
    InvalidateMemImgDerivedData(image);
    DispatchPrimitive(image, c.mode, [&]<BlitFormat F, int Mode>() { FillRect<F, Mode>(image, r, c); });
}

void FillMemImgBoxBlend(MEMIMG* image, int x1, int y1, int x2, int y2, uint32_t colour) {
    const RECT rect{x1, y1, x2, y2};
    FillMemImgRectBlend(image, &rect, colour);
}
