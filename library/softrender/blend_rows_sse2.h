// blend_rows_sse2.h - SSE2 rows for the common kernels of the 1:1 blitter.
//
// BlendRowSimd<V> blends as many whole steps (8 RGB565 or 4 XRGB8888 pixels) of a row
// as fit and returns how many pixels it did; the caller finishes the row with the
// scalar kernel. Every row here gives exactly the bytes of BlendPixel<V>:
//   - products divided by 255 use (x * 0x8081) >> 23, exact for every u16 x;
//   - BlendLerp6Table's division by 63 is (x * 2081) >> 17, exact for x <= 63 * 63;
//   - the packed RGB565 add and subtract keep their pair form (two pixels per 32-bit
//     lane, the first in the low half), including the carry out of bit 31;
//   - the MMX rule is unsigned byte saturation (paddusb / psubusb).
// Variants without a row here (blend images, palette sources, rarer modes) run scalar.
#pragma once

#include <emmintrin.h>

#include "library/softrender/blend_kernels.h"

namespace sse2 {

ZQ_BLEND_INLINE __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
ZQ_BLEND_INLINE void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
ZQ_BLEND_INLINE __m128i Set16(int v) { return _mm_set1_epi16(short(v)); }
ZQ_BLEND_INLINE __m128i Set32(uint32_t v) { return _mm_set1_epi32(int(v)); }
ZQ_BLEND_INLINE __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}
// x / 255 for u16 lanes.
ZQ_BLEND_INLINE __m128i Div255(__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, Set16(0x8081)), 7); }
// Packs u32 lanes holding 16-bit values into u16 lanes (no saturation).
ZQ_BLEND_INLINE __m128i PackLow16(__m128i lo, __m128i hi) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16), _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
}

// ---- RGB565: eight pixels per step ----

struct Rgb565x8 {
    __m128i r, g, b;
};
ZQ_BLEND_INLINE Rgb565x8 Split565(__m128i v) {
    return {_mm_srli_epi16(v, 11), _mm_and_si128(_mm_srli_epi16(v, 5), Set16(63)), _mm_and_si128(v, Set16(31))};
}
ZQ_BLEND_INLINE __m128i Join565(const Rgb565x8& c) {
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(c.r, 11), _mm_slli_epi16(c.g, 5)), c.b);
}
// fn(source channel, destination channel, channel index: 0 red, 1 green, 2 blue).
template <class Fn>
ZQ_BLEND_INLINE __m128i Map565(__m128i s, __m128i d, Fn fn) {
    const Rgb565x8 sc = Split565(s), dc = Split565(d);
    return Join565({fn(sc.r, dc.r, 0), fn(sc.g, dc.g, 1), fn(sc.b, dc.b, 2)});
}

// Lanes where two registers of pixels are equal.
template <BlitFormat F>
ZQ_BLEND_INLINE __m128i EqualPixels(__m128i a, __m128i b) {
    return F == BlitFormat16 ? _mm_cmpeq_epi16(a, b) : _mm_cmpeq_epi32(a, b);
}
template <BlitFormat F>
ZQ_BLEND_INLINE __m128i RepeatPixel(uint32_t v) {
    return F == BlitFormat16 ? Set16(int(v)) : Set32(v);
}

// Runs fn(source, destination) over the whole steps (8 RGB565 or 4 XRGB8888 pixels),
// two steps per turn; with Trans, key pixels keep d.
template <BlitFormat F, bool Trans, class Fn>
ZQ_BLEND_INLINE int EachStep(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n, Fn fn) {
    constexpr int bpp = F == BlitFormat16 ? 2 : 4, perStep = 16 / bpp;
    const __m128i key = RepeatPixel<F>(k.key);
    auto step = [&](int i) {
        const __m128i sv = Load(s + bpp * i), dv = Load(d + bpp * i);
        __m128i r = fn(sv, dv);
        if constexpr (Trans) r = Select(EqualPixels<F>(sv, key), dv, r);
        Store(d + bpp * i, r);
    };
    int i = 0;
    for (; i + 2 * perStep <= n; i += 2 * perStep) {
        step(i);
        step(i + perStep);
    }
    if (i + perStep <= n) {
        step(i);
        i += perStep;
    }
    return i;
}

// A keyed copy: steps without a key pixel are stored whole, steps of key pixels only
// are skipped, the rest merged with the destination.
template <BlitFormat F>
ZQ_BLEND_INLINE int KeyedCopyRows(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    constexpr int bpp = F == BlitFormat16 ? 2 : 4, perStep = 16 / bpp;
    const __m128i key = RepeatPixel<F>(k.key);
    int i = 0;
    for (; i + perStep <= n; i += perStep) {
        const __m128i sv = Load(s + i * bpp);
        const __m128i skip = EqualPixels<F>(sv, key);
        const int mask = _mm_movemask_epi8(skip);
        if (mask == 0) Store(d + i * bpp, sv);
        else if (mask != 0xFFFF) Store(d + i * bpp, Select(skip, Load(d + i * bpp), sv));
    }
    return i;
}

// Single-pixel packed add / subtract: each pixel widened to a 32-bit lane.
template <class Fn>
ZQ_BLEND_INLINE __m128i EachPixel565As32(__m128i s, __m128i d, Fn fn) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = fn(_mm_unpacklo_epi16(s, zero), _mm_unpacklo_epi16(d, zero));
    const __m128i hi = fn(_mm_unpackhi_epi16(s, zero), _mm_unpackhi_epi16(d, zero));
    return PackLow16(lo, hi);
}

// The packed RGB565 add on 32-bit lanes; the carry out of bit 31 saturates the high
// pixel's red (for lanes that hold one zero-extended pixel it is always 0).
ZQ_BLEND_INLINE __m128i AddRgb565Lanes(__m128i s, __m128i d) {
    const __m128i m = Set32(0xF7DEF7DF), one = Set32(1);
    const __m128i sm = _mm_and_si128(s, m), dm = _mm_and_si128(d, m);
    const __m128i x = _mm_add_epi32(sm, dm);
    const __m128i halfSum = _mm_add_epi32(_mm_add_epi32(_mm_srli_epi32(sm, 1), _mm_srli_epi32(dm, 1)),
                                          _mm_and_si128(_mm_and_si128(sm, dm), one));
    const __m128i carry27 = _mm_slli_epi32(_mm_srli_epi32(halfSum, 31), 27);
    const __m128i c = _mm_and_si128(x, Set32(0x08210820));
    return _mm_or_si128(_mm_sub_epi32(c, _mm_or_si128(_mm_srli_epi32(c, 5), carry27)), x);
}
ZQ_BLEND_INLINE __m128i SubRgb565Lanes(__m128i d, __m128i s) {
    const __m128i guard = Set32(0x08210820), flip = Set32(0x80000000);
    const __m128i minuend = _mm_or_si128(d, guard), subtrahend = _mm_and_si128(s, Set32(0xF7DEF7DF));
    const __m128i x = _mm_sub_epi32(minuend, subtrahend);
    const __m128i b = _mm_and_si128(x, guard);
    const __m128i borrow = _mm_cmpgt_epi32(_mm_xor_si128(subtrahend, flip), _mm_xor_si128(minuend, flip));
    const __m128i mask = _mm_or_si128(_mm_sub_epi32(b, _mm_srli_epi32(b, 5)), _mm_andnot_si128(borrow, Set32(0xF8000000)));
    return _mm_and_si128(x, mask);
}

// 16-bit sources with alpha (RGB565 word, alpha byte, pad byte), mode none with the
// transparent flag: a = 0 keeps d, a = 255 copies, others lerp(d, s, a, 8).
// Steps whose pixels are all opaque are copied, all transparent skipped.
ZQ_BLEND_INLINE int NoneAlpha565Rows(uint8_t* d, const uint8_t* s, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i p0 = Load(s + 4 * i), p1 = Load(s + 4 * i + 16);
        const __m128i colour = PackLow16(p0, p1);
        const __m128i alpha = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(p0, 16), Set32(0xFF)),
                                              _mm_and_si128(_mm_srli_epi32(p1, 16), Set32(0xFF)));
        const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi16(alpha, Set16(255)));
        if (opaque == 0xFFFF) {
            Store(d + 2 * i, colour);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(alpha, _mm_setzero_si128())) == 0xFFFF) continue;
        const __m128i inverse = _mm_sub_epi16(Set16(256), alpha);
        const __m128i dv = Load(d + 2 * i);
        const __m128i mixed = Map565(colour, dv, [&](__m128i sc, __m128i dc, int) {
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dc, inverse), _mm_mullo_epi16(sc, alpha)), 8);
        });
        Store(d + 2 * i, Select(_mm_cmpeq_epi16(alpha, Set16(255)), colour, mixed));
    }
    return i;
}

template <BlitVariant V>
ZQ_BLEND_INLINE int Rows565(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    constexpr bool T = V.transparent;
    if constexpr (V.source == BlitSourceAlpha) {
        if constexpr (V.mode == BlendNone && !V.bright && T) return NoneAlpha565Rows(d, s, n);
        return 0;
    } else if constexpr (V.mode == BlendNone) {
        if constexpr (!V.bright) {
            return T ? KeyedCopyRows<BlitFormat16>(k, d, s, n) : 0;
        } else {
            const __m128i factor[3] = {Set16(k.brightness[0]), Set16(k.brightness[1]), Set16(k.brightness[2])};
            return EachStep<BlitFormat16, T>(k, d, s, n, [&](__m128i sv, __m128i dv) {
                return Map565(sv, dv, [&](__m128i sc, __m128i, int c) { return Div255(_mm_mullo_epi16(sc, factor[c])); });
            });
        }
    } else if constexpr (V.mode == BlendAlpha && V.special == BlitSpecialAverage) {
        return EachStep<BlitFormat16, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            const __m128i m = Set16(0x7BEF);
            return _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(sv, 1), m), _mm_and_si128(_mm_srli_epi16(dv, 1), m));
        });
    } else if constexpr (V.mode == BlendAlpha && V.special == BlitSpecialLerp6) {
        const int w = k.p >> 2;
        const __m128i ws = Set16(w), wd = Set16(63 - w), div63 = Set16(2081);
        return EachStep<BlitFormat16, T>(k, d, s, n, [&](__m128i sv, __m128i dv) {
            return Map565(sv, dv, [&](__m128i sc, __m128i dc, int) {
                const __m128i x = _mm_add_epi16(_mm_mullo_epi16(sc, ws), _mm_mullo_epi16(dc, wd));
                return _mm_srli_epi16(_mm_mulhi_epu16(x, div63), 1);
            });
        });
    } else if constexpr ((V.mode == BlendAdd || V.mode == BlendSubtract) && V.special == BlitSpecialPacked) {
        constexpr bool add = V.mode == BlendAdd;
        auto lanes = [](__m128i sv, __m128i dv) { return add ? AddRgb565Lanes(sv, dv) : SubRgb565Lanes(dv, sv); };
        if constexpr (T) {
            // With the transparent flag every pixel is blended on its own.
            return EachStep<BlitFormat16, T>(k, d, s, n, [&](__m128i sv, __m128i dv) { return EachPixel565As32(sv, dv, lanes); });
        } else {
            return EachStep<BlitFormat16, T>(k, d, s, n, lanes);
        }
    } else if constexpr (V.mode == BlendMultiply && !V.bright) {
        return EachStep<BlitFormat16, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            return Map565(sv, dv, [](__m128i sc, __m128i dc, int c) {
                const __m128i product = _mm_mullo_epi16(sc, dc);
                return c == 1 ? _mm_srli_epi16(product, 6) : _mm_srli_epi16(product, 5);
            });
        });
    } else {
        return 0;
    }
}

// ---- XRGB8888: four pixels per step ----

// fn(source bytes, destination bytes) on u16 lanes (two pixels per half); the result
// bytes 0-2 are taken, byte 3 stays the destination's.
template <class Fn>
ZQ_BLEND_INLINE __m128i MapBytesKeepTop(__m128i s, __m128i d, Fn fn) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = fn(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), 0);
    const __m128i hi = fn(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), 1);
    return Select(Set32(0xFF000000), d, _mm_packus_epi16(lo, hi));
}

// Alpha by the blend parameter p, the rule of the triangle filler and the fills:
// XRGB8888 lerp(d, s, p, 8) = (d * (256 - p) + s * p) >> 8 per byte, byte 3 kept (ps and
// pd hold p and 256 - p in every u16 lane) ...
ZQ_BLEND_INLINE __m128i AlphaByParameter8888(__m128i s, __m128i d, __m128i ps, __m128i pd) {
    return MapBytesKeepTop(s, d, [&](__m128i sc, __m128i dc, int) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dc, pd), _mm_mullo_epi16(sc, ps)), 8);
    });
}
// ... and RGB565 d + trunc(p * (s - d) / 255) per channel (BlendSignedMulTable[p]): the
// product stays within +-16065, whose magnitude Div255 divides exactly.
ZQ_BLEND_INLINE __m128i AlphaByParameter565(__m128i s, __m128i d, __m128i ps) {
    return Map565(s, d, [&](__m128i sc, __m128i dc, int) {
        const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(sc, dc), ps);
        const __m128i sign = _mm_srai_epi16(product, 15);
        const __m128i quotient = Div255(_mm_sub_epi16(_mm_xor_si128(product, sign), sign));
        return _mm_add_epi16(dc, _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign));
    });
}

// 32-bit sources with alpha, mode none with the transparent flag; steps whose pixels
// are all opaque are copied, all transparent skipped.
ZQ_BLEND_INLINE int NoneAlpha8888Rows(uint8_t* d, const uint8_t* s, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = Load(s + 4 * i);
        const __m128i alpha32 = _mm_srli_epi32(sv, 24);
        const __m128i opaque = _mm_cmpeq_epi32(alpha32, Set32(255));
        if (_mm_movemask_epi8(opaque) == 0xFFFF) {
            Store(d + 4 * i, sv);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha32, _mm_setzero_si128())) == 0xFFFF) continue;
        const __m128i dv = Load(d + 4 * i);
        // Alpha of each pixel repeated over its four u16 lanes.
        const __m128i alpha16 = _mm_or_si128(alpha32, _mm_slli_epi32(alpha32, 16));
        const __m128i mixed = MapBytesKeepTop(sv, dv, [&](__m128i sc, __m128i dc, int half) {
            const __m128i a = half == 0 ? _mm_unpacklo_epi32(alpha16, alpha16) : _mm_unpackhi_epi32(alpha16, alpha16);
            return _mm_srli_epi16(
                _mm_add_epi16(_mm_mullo_epi16(dc, _mm_sub_epi16(Set16(256), a)), _mm_mullo_epi16(sc, a)), 8);
        });
        Store(d + 4 * i, Select(opaque, sv, mixed));
    }
    return i;
}

template <BlitVariant V>
ZQ_BLEND_INLINE int Rows8888(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    constexpr bool T = V.transparent;
    if constexpr (V.source == BlitSourceAlpha) {
        if constexpr (V.mode == BlendNone && !V.bright && T) return NoneAlpha8888Rows(d, s, n);
        return 0;
    } else if constexpr (V.mode == BlendNone) {
        if constexpr (!V.bright) {
            return T ? KeyedCopyRows<BlitFormat32>(k, d, s, n) : 0;
        } else {
            const short r = short(k.brightness[0]), g = short(k.brightness[1]), b = short(k.brightness[2]);
            const __m128i factor = _mm_set_epi16(0, r, g, b, 0, r, g, b);
            return EachStep<BlitFormat32, T>(k, d, s, n, [&](__m128i sv, __m128i dv) {
                return MapBytesKeepTop(sv, dv, [&](__m128i sc, __m128i, int) { return Div255(_mm_mullo_epi16(sc, factor)); });
            });
        }
    } else if constexpr (V.mode == BlendAlpha && V.special == BlitSpecialAverage) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            const __m128i m = Set32(0x7F7F7F);
            return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(sv, 1), m), _mm_and_si128(_mm_srli_epi32(dv, 1), m));
        });
    } else if constexpr (V.mode == BlendAlpha && !V.blend && !V.bright) {
        const __m128i ps = Set16(k.p), pd = Set16(256 - k.p);
        return EachStep<BlitFormat32, T>(k, d, s, n,
                                         [&](__m128i sv, __m128i dv) { return AlphaByParameter8888(sv, dv, ps, pd); });
    } else if constexpr (V.mode == BlendAdd && V.special == BlitSpecialPackedMMX) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) { return _mm_adds_epu8(sv, dv); });
    } else if constexpr (V.mode == BlendSubtract && V.special == BlitSpecialPackedMMX) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) { return _mm_subs_epu8(dv, sv); });
    } else if constexpr (V.mode == BlendAdd && V.special == BlitSpecialPacked) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            const __m128i m = Set32(0xFEFEFF);
            const __m128i x = _mm_add_epi32(_mm_and_si128(sv, m), _mm_and_si128(dv, m));
            const __m128i c = _mm_and_si128(x, Set32(0x1010100));
            return _mm_or_si128(_mm_sub_epi32(c, _mm_srli_epi32(c, 8)), x);
        });
    } else if constexpr (V.mode == BlendSubtract && V.special == BlitSpecialPacked) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            const __m128i guard = Set32(0x1010100);
            const __m128i x = _mm_sub_epi32(_mm_or_si128(dv, guard), _mm_and_si128(sv, Set32(0xFEFEFF)));
            const __m128i b = _mm_and_si128(x, guard);
            return _mm_and_si128(x, _mm_sub_epi32(b, _mm_srli_epi32(b, 8)));
        });
    } else if constexpr (V.mode == BlendMultiply && !V.blend && !V.bright) {
        return EachStep<BlitFormat32, T>(k, d, s, n, [](__m128i sv, __m128i dv) {
            return MapBytesKeepTop(sv, dv, [](__m128i sc, __m128i dc, int) { return _mm_srli_epi16(_mm_mullo_epi16(sc, dc), 8); });
        });
    } else {
        return 0;
    }
}

// Reverses the order of the pixels in a register.
ZQ_BLEND_INLINE __m128i Reverse16(__m128i v) {
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0x1B), 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}
ZQ_BLEND_INLINE __m128i Reverse32(__m128i v) { return _mm_shuffle_epi32(v, 0x1B); }

}  // namespace sse2

// Copies a row or run of pixels (an even number of bytes). Short copies are inline
// moves that overlap at the end, the way a tuned memcpy does them, since rows and runs
// of sprites are short and a call per copy would cost as much as the copy; long ones
// go to memmove.
ZQ_BLEND_INLINE void CopyPixelBytes(uint8_t* d, const uint8_t* s, size_t bytes) {
    using namespace sse2;
    if (bytes > 512) {
        std::memmove(d, s, bytes);
    } else if (bytes > 64) {
        const __m128i tail[4] = {Load(s + bytes - 64), Load(s + bytes - 48), Load(s + bytes - 32), Load(s + bytes - 16)};
        for (size_t i = 0; i + 64 < bytes; i += 64) {
            const __m128i a = Load(s + i), b = Load(s + i + 16), c = Load(s + i + 32), e = Load(s + i + 48);
            Store(d + i, a);
            Store(d + i + 16, b);
            Store(d + i + 32, c);
            Store(d + i + 48, e);
        }
        for (int j = 0; j < 4; j++) Store(d + bytes - 64 + 16 * j, tail[j]);
    } else if (bytes > 32) {
        const __m128i a = Load(s), b = Load(s + 16), c = Load(s + bytes - 32), e = Load(s + bytes - 16);
        Store(d, a);
        Store(d + 16, b);
        Store(d + bytes - 32, c);
        Store(d + bytes - 16, e);
    } else if (bytes >= 16) {
        const __m128i head = Load(s), tail = Load(s + bytes - 16);
        Store(d, head);
        Store(d + bytes - 16, tail);
    } else if (bytes >= 8) {
        uint64_t head, tail;
        std::memcpy(&head, s, 8);
        std::memcpy(&tail, s + bytes - 8, 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + bytes - 8, &tail, 8);
    } else if (bytes >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, s, 4);
        std::memcpy(&tail, s + bytes - 4, 4);
        std::memcpy(d, &head, 4);
        std::memcpy(d + bytes - 4, &tail, 4);
    } else if (bytes >= 2) {
        std::memcpy(d, s, 2);
    }
}

// A mirrored 1:1 copy row of direct pixels: d[i] = s[-i]; with the transparent flag key
// pixels keep d. Returns the pixels done in whole steps.
template <BlitVariant V>
ZQ_BLEND_INLINE int MirroredCopyRowSimd(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    static_assert(IsCopyKernel<V>() && V.source == BlitSourceDirect);
    using namespace sse2;
    constexpr int bpp = V.format == BlitFormat16 ? 2 : 4, perStep = 16 / bpp;
    const __m128i key = RepeatPixel<V.format>(k.key);
    int i = 0;
    for (; i + perStep <= n; i += perStep) {
        const __m128i loaded = Load(s - (i + perStep - 1) * bpp);
        const __m128i sv = V.format == BlitFormat16 ? Reverse16(loaded) : Reverse32(loaded);
        if constexpr (V.transparent) {
            Store(d + i * bpp, Select(EqualPixels<V.format>(sv, key), Load(d + i * bpp), sv));
        } else {
            Store(d + i * bpp, sv);
        }
    }
    return i;
}

// Blends the leading whole SIMD steps of a row; returns the pixels done.
template <BlitVariant V>
ZQ_BLEND_INLINE int BlendRowSimd(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    if constexpr (V.blend || V.source == BlitSourcePalette) {
        return 0;
    } else if constexpr (V.format == BlitFormat16) {
        return sse2::Rows565<V>(k, d, s, n);
    } else {
        return sse2::Rows8888<V>(k, d, s, n);
    }
}
