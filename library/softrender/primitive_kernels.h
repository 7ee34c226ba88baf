// primitive_kernels.h - the per-pixel arithmetic of the blended fill and the line
// plotter (see primitives.h for how it differs from the blitters').
#pragma once

#include "library/softrender/blend_kernels.h"
#include "library/softrender/blend_rows_sse2.h"
#include "library/softrender/memimg.h"

struct PrimitiveColour {
    int mode;          // the kernel to run: alpha with p = 255 runs as none
    BlendConstants k;  // p and its table rows
    uint32_t colour;   // after brightness
    uint32_t term;     // add and subtract: BlendMulTable[p][colour] per channel
};

// How the draw state's brightness scales the colour's channels: channel * byte >> 8
// (fills and lines), or BlendMulTable[byte][channel] = channel * byte / 255 (the
// triangle filler's flat fill).
enum PrimitiveBrightness { PrimitiveBrightnessShift, PrimitiveBrightnessTable };

// The colour and table rows of a fill or line of the draw state's mode; false when
// the image or the mode draws nothing.
bool SetupPrimitiveColour(const MEMIMG* image, uint32_t colour, PrimitiveColour* out,
                          PrimitiveBrightness brightnessRule = PrimitiveBrightnessShift);

template <BlitFormat F, int Mode>
ZQ_BLEND_INLINE uint32_t PrimitivePixel(const PrimitiveColour& c, uint32_t d) {
    using L = PixelLayout<F>;
    if constexpr (Mode == BlendNone) {
        return c.colour;
    } else if constexpr (Mode == BlendAlpha) {
        return L::Join(AlphaByParameter<F>(c.k, L::Split(d), L::Split(c.colour)), d);
    } else if constexpr (Mode == BlendAdd) {
        if constexpr (F == BlitFormat16) return AddRgb565(c.term, d) | ((d | c.term) & 0x0820);
        else return AddXrgb8888(c.term, d) | ((d | c.term) & 0x10100);
    } else if constexpr (Mode == BlendSubtract) {
        return F == BlitFormat16 ? SubRgb565(d, c.term) : SubXrgb8888(d, c.term);
    } else {
        return L::Join(MultiplyChannels<F>(L::Split(c.colour), L::Split(d), 1, 0), d);
    }
}

// Stores colour into width pixels of a row.
template <BlitFormat F>
void FillRowWithValue(uint8_t* d, int width, uint32_t colour);

// Alpha by the parameter over the whole 16-byte steps of a row (SSE2); returns the
// pixels done.
template <BlitFormat F>
ZQ_BLEND_INLINE int AlphaRowWithColour(const PrimitiveColour& c, uint8_t* d, int width) {
    using namespace sse2;
    constexpr int perStep = F == BlitFormat16 ? 8 : 4;
    const __m128i colour = RepeatPixel<F>(c.colour), ps = Set16(c.k.p), pd = Set16(256 - c.k.p);
    int x = 0;
    for (; x + perStep <= width; x += perStep) {
        uint8_t* p = d + x * (16 / perStep);
        Store(p, F == BlitFormat16 ? AlphaByParameter565(colour, Load(p), ps) : AlphaByParameter8888(colour, Load(p), ps, pd));
    }
    return x;
}

// Blends the primitive's colour into width pixels of a row.
template <BlitFormat F, int Mode>
void BlendRowWithColour(const PrimitiveColour& c, uint8_t* d, int width) {
    constexpr int bpp = sizeof(typename PixelLayout<F>::Pixel);
    if constexpr (Mode == BlendNone) {
        FillRowWithValue<F>(d, width, c.colour);
    } else {
        int x = 0;
        if constexpr (Mode == BlendAlpha) x = AlphaRowWithColour<F>(c, d, width);
        for (; x < width; x++) StorePixel<F>(d + x * bpp, PrimitivePixel<F, Mode>(c, LoadPixel<F>(d + x * bpp)));
    }
}

// Calls fn.operator()<Format, Mode>() for the image's format and the primitive's mode.
template <class Fn>
void DispatchPrimitive(const MEMIMG* image, int mode, Fn&& fn) {
    auto byMode = [&]<BlitFormat F>() {
        switch (mode) {
            case BlendNone: return fn.template operator()<F, BlendNone>();
            case BlendAlpha: return fn.template operator()<F, BlendAlpha>();
            case BlendAdd: return fn.template operator()<F, BlendAdd>();
            case BlendSubtract: return fn.template operator()<F, BlendSubtract>();
            case BlendMultiply: return fn.template operator()<F, BlendMultiply>();
        }
    };
    if (image->formatKind == MemImgFormat16) byMode.template operator()<BlitFormat16>();
    else byMode.template operator()<BlitFormat32>();
}
