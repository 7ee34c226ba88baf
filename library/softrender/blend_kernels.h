// blend_kernels.h - the per-pixel arithmetic of the software blitters.
//
// A draw is described once by a BlitVariant (pixel format, source kind, blend mode,
// blend image, brightness, transparent flag, parameter special) chosen by the variant
// order in blit_variant.cpp; every combination is compiled into its own loop, so no
// per-pixel code tests a per-draw setting. The kernels below are the whole truth
// about a pixel's result; the SSE2 rows in blend_rows_sse2.h give the same bytes.
//
// Notation: s is the source colour (a palette entry for palette sources), s' the
// colour after brightness (each channel through BlendMulTable[brightness byte]), a
// the source alpha, W the blend-image weight (BlendGraphWeightTable[byte]), d the
// destination pixel, p the blend parameter. lerp(d, x, k, n) is
// floor((d * 2^n + (x - d) * k) / 2^n) per channel.
//
//   none      s (whole pixel) | s' | lerp(d, s', W, 8) | with alpha: lerp(.., a, 8),
//             lerp(.., W * a, 16); a = 255 copies when transparency is on
//   alpha     16-bit: d + BlendSignedMulTable[p][s' - d]; 32-bit: lerp(d, s', p, 8);
//             specials of the 1:1 rows: p = 128 packed average, 16-bit other p
//             BlendLerp6Table; alpha and weight: lerp(.., a * p, 16), (.., W * p, 16),
//             (.., W * a * p, 24)
//   add, sub  source term t = BlendMulTable[p][x], x = s', s' * W >> 8, s' * a >> 8 or
//             s' * W * a >> 16 (a = 255 counts as no alpha only there); packed saturating d + t (16-bit ORed with
//             (d | t) & 0x0820) or d - t; p = 255 specials use s itself
//   multiply  s' * d >> w (w = channel width), with a: >> (w + 8), with W: >> (w + 8),
//             both >> (w + 16)
// Per-channel 32-bit results keep the destination's byte 3; whole-pixel copies and the
// packed formulas write all four bytes.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"

#define ZQ_BLEND_INLINE [[gnu::always_inline]] inline

enum BlitFormat : uint8_t { BlitFormat16, BlitFormat32 };
enum BlitSource : uint8_t { BlitSourceDirect, BlitSourceAlpha, BlitSourcePalette };
enum BlitSpecial : uint8_t {
    BlitSpecialNone,
    BlitSpecialAverage,    // alpha p = 128: packed average
    BlitSpecialLerp6,      // alpha, 16-bit: BlendLerp6Table
    BlitSpecialPacked,     // add / subtract p = 255: packed saturating formula on s
    BlitSpecialPackedMMX,  // the same with unsigned byte saturation (32-bit, MMX flag)
};

struct BlitVariant {
    BlitFormat format = BlitFormat16;
    BlitSource source = BlitSourceDirect;
    uint8_t mode = BlendNone;
    bool blend = false;  // a blend image weights every pixel
    bool bright = false;
    bool transparent = false;
    BlitSpecial special = BlitSpecialNone;
};

// Everything a kernel reads that is fixed for the draw.
struct BlendConstants {
    int p;
    const int32_t* mulP;           // BlendMulTable[p]
    const int32_t* signedMulP;     // &BlendSignedMulTable[p][255]: index with a signed difference
    const uint8_t* lerp6;          // BlendLerp6Table[p >> 2] as 64 x 64 bytes
    const int32_t* brightRow[3];   // BlendMulTable rows of the red, green and blue brightness
    int brightness[3];             // the red, green and blue brightness bytes
    const uint8_t* weights;        // BlendGraphWeightTable
    uint32_t key;                  // transparent value at the source's pixel width
    const void* palette;           // palette table A of a palette source
};

// ---- Packed formulas (bit-exact, artefacts included) ----

// Average of two RGB565 pixels (or of two pairs at once).
ZQ_BLEND_INLINE uint32_t AverageRgb565(uint32_t s, uint32_t d) {
    return ((s >> 1) & 0x7BEF7BEF) + ((d >> 1) & 0x7BEF7BEF);
}
// Average of two XRGB8888 pixels; byte 3 becomes 0.
ZQ_BLEND_INLINE uint32_t AverageXrgb8888(uint32_t s, uint32_t d) {
    return ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
}

// Saturating add of one RGB565 pixel. The operands lose the low bits of red and green,
// and a saturated blue carries into green's low bit (0x0010 + 0x0010 = 0x003F).
ZQ_BLEND_INLINE uint32_t AddRgb565(uint32_t s, uint32_t d) {
    const uint32_t x = (s & 0xF7DEF7DF) + (d & 0xF7DEF7DF);
    const uint32_t c = x & 0x08210820;
    return ((c - (c >> 5)) | x) & 0xFFFF;
}
// The same on a pair of pixels in one 32-bit word (first pixel in the low half): the
// second pixel also loses its blue low bit, and the carry out of bit 31 saturates its red.
ZQ_BLEND_INLINE uint32_t AddRgb565Pair(uint32_t s, uint32_t d) {
    const uint64_t wide = uint64_t(s & 0xF7DEF7DF) + (d & 0xF7DEF7DF);
    const uint32_t x = uint32_t(wide), k = uint32_t(wide >> 32);
    const uint32_t c = x & 0x08210820;
    return (c - ((c >> 5) | (k << 27))) | x;
}
// Saturating subtract d - s of one RGB565 pixel.
ZQ_BLEND_INLINE uint32_t SubRgb565(uint32_t d, uint32_t s) {
    const uint32_t x = (d | 0x08210820) - (s & 0xF7DEF7DF);
    const uint32_t b = x & 0x08210820;
    return x & (b - (b >> 5)) & 0xFFFF;
}
ZQ_BLEND_INLINE uint32_t SubRgb565Pair(uint32_t d, uint32_t s) {
    const uint32_t minuend = d | 0x08210820, subtrahend = s & 0xF7DEF7DF;
    const uint32_t x = minuend - subtrahend;
    const uint32_t b = x & 0x08210820;
    const uint32_t mask = (b - (b >> 5)) | (minuend >= subtrahend ? 0xF8000000u : 0u);
    return x & mask;
}
// Saturating add and subtract of XRGB8888 pixels (byte 3 ends as the red carry, or 0).
ZQ_BLEND_INLINE uint32_t AddXrgb8888(uint32_t s, uint32_t d) {
    const uint32_t x = (s & 0xFEFEFF) + (d & 0xFEFEFF);
    const uint32_t c = x & 0x1010100;
    return (c - (c >> 8)) | x;
}
ZQ_BLEND_INLINE uint32_t SubXrgb8888(uint32_t d, uint32_t s) {
    const uint32_t x = (d | 0x1010100) - (s & 0xFEFEFF);
    const uint32_t b = x & 0x1010100;
    return x & (b - (b >> 8));
}
// The MMX rule: unsigned saturating arithmetic on all four bytes.
ZQ_BLEND_INLINE uint32_t AddBytesSaturated(uint32_t s, uint32_t d) {
    return uint32_t(_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(int(s)), _mm_cvtsi32_si128(int(d)))));
}
ZQ_BLEND_INLINE uint32_t SubBytesSaturated(uint32_t d, uint32_t s) {
    return uint32_t(_mm_cvtsi128_si32(_mm_subs_epu8(_mm_cvtsi32_si128(int(d)), _mm_cvtsi32_si128(int(s)))));
}

// ---- Channels ----

struct Rgb {
    int32_t r, g, b;
};

template <BlitFormat F>
struct PixelLayout;

template <>
struct PixelLayout<BlitFormat16> {
    using Pixel = uint16_t;
    static constexpr int widthR = 5, widthG = 6, widthB = 5;
    ZQ_BLEND_INLINE static Rgb Split(uint32_t v) {
        return {int32_t(v >> 11 & 31), int32_t(v >> 5 & 63), int32_t(v & 31)};
    }
    ZQ_BLEND_INLINE static uint32_t Join(const Rgb& c, uint32_t) {
        return uint32_t(c.r) << 11 | uint32_t(c.g) << 5 | uint32_t(c.b);
    }
    ZQ_BLEND_INLINE static uint32_t Whole(uint32_t s) { return s & 0xFFFF; }
};

template <>
struct PixelLayout<BlitFormat32> {
    using Pixel = uint32_t;
    static constexpr int widthR = 8, widthG = 8, widthB = 8;
    ZQ_BLEND_INLINE static Rgb Split(uint32_t v) {
        return {int32_t(v >> 16 & 255), int32_t(v >> 8 & 255), int32_t(v & 255)};
    }
    // Per-channel results keep the destination's byte 3.
    ZQ_BLEND_INLINE static uint32_t Join(const Rgb& c, uint32_t d) {
        return (d & 0xFF000000) | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
    }
    ZQ_BLEND_INLINE static uint32_t Whole(uint32_t s) { return s; }
};

template <class Op>
ZQ_BLEND_INLINE Rgb EachChannel(const Rgb& a, const Rgb& b, Op op) {
    return {op(a.r, b.r, 0), op(a.g, b.g, 1), op(a.b, b.b, 2)};
}

// lerp(d, x, k, n) per channel.
template <int N>
ZQ_BLEND_INLINE Rgb LerpChannels(const Rgb& d, const Rgb& x, uint32_t k) {
    return EachChannel(d, x, [k](int32_t dc, int32_t xc, int) {
        return int32_t(dc + ((int64_t(xc - dc) * int64_t(k)) >> N));
    });
}

ZQ_BLEND_INLINE Rgb Brighten(const BlendConstants& k, const Rgb& s) {
    return {k.brightRow[0][s.r], k.brightRow[1][s.g], k.brightRow[2][s.b]};
}

// ---- Reading the source ----

template <BlitVariant V>
struct SourceTraits {
    static constexpr int bytes =
        V.source == BlitSourcePalette ? 1 : (V.format == BlitFormat32 || V.source == BlitSourceAlpha) ? 4 : 2;
};

struct SourceSample {
    uint32_t raw;     // what the transparency test compares: index, u16 or u32 pixel
    uint32_t colour;  // RGB565 in the low 16 bits, or the whole 32-bit pixel
    uint32_t alpha;
};

template <BlitVariant V>
ZQ_BLEND_INLINE SourceSample ReadSource(const BlendConstants& k, const uint8_t* sp) {
    SourceSample s{};
    if constexpr (V.source == BlitSourcePalette) {
        s.raw = sp[0];
        if constexpr (V.format == BlitFormat16)
            s.colour = static_cast<const uint16_t*>(k.palette)[s.raw];
        else
            s.colour = static_cast<const uint32_t*>(k.palette)[s.raw];
    } else if constexpr (SourceTraits<V>::bytes == 2) {
        uint16_t v;
        std::memcpy(&v, sp, 2);
        s.raw = s.colour = v;
    } else {
        uint32_t v;
        std::memcpy(&v, sp, 4);
        s.raw = v;
        if constexpr (V.format == BlitFormat16) {
            s.colour = v & 0xFFFF;
            s.alpha = v >> 16 & 0xFF;
        } else {
            s.colour = v;
            s.alpha = v >> 24;
        }
    }
    return s;
}

// The transparency tests: key pixels, or alpha 0 except in multiply.
template <BlitVariant V>
ZQ_BLEND_INLINE bool IsSkipped(const BlendConstants& k, const SourceSample& s) {
    if constexpr (!V.transparent) return false;
    if constexpr (V.source == BlitSourceAlpha) return V.mode != BlendMultiply && s.alpha == 0;
    return s.raw == k.key;
}

// ---- The kernel ----

// 16-bit: d + BlendSignedMulTable[p][x - d]; 32-bit: lerp(d, x, p, 8).
template <BlitFormat F>
ZQ_BLEND_INLINE Rgb AlphaByParameter(const BlendConstants& k, const Rgb& d, const Rgb& x) {
    if constexpr (F == BlitFormat16)
        return EachChannel(d, x, [&k](int32_t dc, int32_t xc, int) { return dc + k.signedMulP[xc - dc]; });
    else
        return LerpChannels<8>(d, x, uint32_t(k.p));
}

// The source term of add and subtract. Alpha scales it at every value, 255 included;
// only beside a blend image does alpha 255 count as no alpha.
template <BlitVariant V>
ZQ_BLEND_INLINE Rgb SourceTerm(const BlendConstants& k, const Rgb& s, uint32_t a, uint32_t w) {
    constexpr bool srcAlpha = V.source == BlitSourceAlpha;
    return EachChannel(s, s, [&](int32_t x, int32_t, int) {
        if (V.blend && srcAlpha && a != 255) x = int32_t((uint32_t(x) * w * a) >> 16);
        else if (V.blend) x = int32_t((uint32_t(x) * w) >> 8);
        else if (srcAlpha) x = int32_t((uint32_t(x) * a) >> 8);
        return k.mulP[x];
    });
}

// s' * factor * d >> shift per channel.
template <BlitFormat F>
ZQ_BLEND_INLINE Rgb MultiplyChannels(const Rgb& s, const Rgb& d, uint32_t factor, int extraShift) {
    using L = PixelLayout<F>;
    return EachChannel(s, d, [&](int32_t sc, int32_t dc, int channel) {
        const int width = channel == 1 ? L::widthG : channel == 0 ? L::widthR : L::widthB;
        return int32_t((uint32_t(sc) * factor * uint32_t(dc)) >> (width + extraShift));
    });
}

// The new destination value for a source sample that is drawn. colour, a and w as
// returned by ReadSource and the weight table; d is the current destination pixel.
template <BlitVariant V>
ZQ_BLEND_INLINE uint32_t BlendPixel(const BlendConstants& k, uint32_t colour, uint32_t a, uint32_t w, uint32_t d) {
    using L = PixelLayout<V.format>;
    constexpr bool srcAlpha = V.source == BlitSourceAlpha;
    const Rgb sRaw = L::Split(colour);
    const Rgb s = V.bright ? Brighten(k, sRaw) : sRaw;
    const Rgb dc = L::Split(d);

    if constexpr (V.mode == BlendNone) {
        if constexpr (V.blend) {
            if (srcAlpha && !(V.transparent && a == 255)) return L::Join(LerpChannels<16>(dc, s, w * a), d);
            return L::Join(LerpChannels<8>(dc, s, w), d);
        } else if constexpr (!srcAlpha) {
            return V.bright ? L::Join(s, d) : L::Whole(colour);
        } else if constexpr (V.transparent) {
            if (a == 255) return V.bright ? L::Join(s, d) : L::Whole(colour);
            return L::Join(LerpChannels<8>(dc, s, a), d);
        } else {
            return V.bright ? L::Join(LerpChannels<8>(dc, s, a), d) : L::Whole(colour);
        }
    } else if constexpr (V.mode == BlendAlpha) {
        if constexpr (V.blend) {
            if (srcAlpha && a != 255) return L::Join(LerpChannels<24>(dc, s, w * a * uint32_t(k.p)), d);
            return L::Join(LerpChannels<16>(dc, s, w * uint32_t(k.p)), d);
        } else if constexpr (srcAlpha) {
            if (V.transparent && a == 255) return L::Join(AlphaByParameter<V.format>(k, dc, s), d);
            return L::Join(LerpChannels<16>(dc, s, a * uint32_t(k.p)), d);
        } else if constexpr (V.special == BlitSpecialAverage) {
            return V.format == BlitFormat16 ? AverageRgb565(colour, d) & 0xFFFF : AverageXrgb8888(colour, d);
        } else if constexpr (V.special == BlitSpecialLerp6) {
            return L::Join(EachChannel(s, dc, [&k](int32_t sc, int32_t dch, int) {
                               return int32_t(k.lerp6[sc * 64 + dch]);
                           }),
                           d);
        } else {
            return L::Join(AlphaByParameter<V.format>(k, dc, s), d);
        }
    } else if constexpr (V.mode == BlendAdd || V.mode == BlendSubtract) {
        constexpr bool add = V.mode == BlendAdd;
        if constexpr (V.special == BlitSpecialPackedMMX) {
            return add ? AddBytesSaturated(colour, d) : SubBytesSaturated(d, colour);
        } else if constexpr (V.special == BlitSpecialPacked) {
            if constexpr (V.format == BlitFormat16) return add ? AddRgb565(colour, d) : SubRgb565(d, colour);
            else return add ? AddXrgb8888(colour, d) : SubXrgb8888(d, colour);
        } else {
            const uint32_t t = L::Join(SourceTerm<V>(k, s, a, w), 0);
            if constexpr (V.format == BlitFormat16)
                return add ? AddRgb565(t, d) | ((d | t) & 0x0820) : SubRgb565(d, t);
            else
                return add ? AddXrgb8888(t, d) : SubXrgb8888(d, t);
        }
    } else {
        static_assert(V.mode == BlendMultiply);
        if constexpr (V.blend) {
            if (srcAlpha && a != 255) return L::Join(MultiplyChannels<V.format>(s, dc, w * a, 16), d);
            return L::Join(MultiplyChannels<V.format>(s, dc, w, 8), d);
        } else if constexpr (srcAlpha) {
            if (V.transparent && a == 255) return L::Join(MultiplyChannels<V.format>(s, dc, 1, 0), d);
            return L::Join(MultiplyChannels<V.format>(s, dc, a, 8), d);
        } else {
            return L::Join(MultiplyChannels<V.format>(s, dc, 1, 0), d);
        }
    }
}

template <BlitFormat F>
ZQ_BLEND_INLINE uint32_t LoadPixel(const uint8_t* p) {
    typename PixelLayout<F>::Pixel v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
template <BlitFormat F>
ZQ_BLEND_INLINE void StorePixel(uint8_t* p, uint32_t value) {
    const typename PixelLayout<F>::Pixel v = typename PixelLayout<F>::Pixel(value);
    std::memcpy(p, &v, sizeof(v));
}

// One source pixel onto one destination pixel, transparency test included.
template <BlitVariant V>
ZQ_BLEND_INLINE void DrawPixel(const BlendConstants& k, uint8_t* dp, const uint8_t* sp, const uint8_t* bp) {
    const SourceSample s = ReadSource<V>(k, sp);
    if (IsSkipped<V>(k, s)) return;
    const uint32_t w = V.blend ? k.weights[*bp] : 0;
    StorePixel<V.format>(dp, BlendPixel<V>(k, s.colour, s.alpha, w, LoadPixel<V.format>(dp)));
}

// Whether the kernel copies the source colour unchanged (mode none without blend image
// or brightness): such rows and opaque runs are moved as memory.
template <BlitVariant V>
constexpr bool IsCopyKernel() {
    return V.mode == BlendNone && !V.blend && !V.bright;
}
