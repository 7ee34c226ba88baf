// raster3d_span_colour.h - the colour half of the commonest span loops, eight pixels
// at a time: direct textures without alpha, no blend image, no transparency test, white
// brightness, blend modes none and alpha, uniform or Gouraud shading.
// Each gives exactly the bytes of the one-pixel kernels in raster3d_kernels.h:
//   uniform none   the texel
//   uniform alpha  16-bit d + trunc(p * (s - d) / 255) (BlendSignedMulTable), the
//                  division as (x + 1 + (x >> 8)) >> 8, exact for 0 <= x < 65535;
//                  32-bit (d * 256 + (s - d) * p) >> 8
//   Gouraud        m = (t * k) >> 8; none m; alpha (d * 256 + (m - d) * a) >> 8; in
//                  wrapping 32-bit lanes, the low bits of each channel kept
// Texels are fetched one at a time into a buffer; the white texture of an untextured
// draw is not read at all, and its spans go through in one pass. Pixels left out keep
// their bytes.
#pragma once

#include "library/softrender/raster3d.h"
#include "library/softrender/raster3d_span_prepare.h"

namespace raster3d_simd {

// Whether a variant has a colour half here.
constexpr bool HasColourSimd(const Raster3DVariant& v) {
    if (v.source != BlitSourceDirect || v.blend || v.transparent || v.bright) return false;
    return v.mode == BlendNone || v.mode == BlendAlpha;
}

// What the colour half reads besides the chunk.
struct ColourInputs {
    const uint8_t* texels;
    int p;  // blend parameter, uniform alpha
};

// trunc(x / 255) for |x| < 65535.
[[gnu::always_inline]] inline I32x8 DivideBy255TowardZero(const I32x8& x) {
    const I32x8 sign = x >> 31;
    const I32x8 magnitude = (x ^ sign) - sign;
    const I32x8 q = (magnitude + 1 + (magnitude >> 8)) >> 8;
    return (q ^ sign) - sign;
}

// The new pixels for texels t on destination pixels d; k the vertex colour channels.
template <Raster3DVariant V>
[[gnu::always_inline]] inline U32x8 ColourStep(const ColourInputs& in, const U32x8* k, const U32x8& t, const U32x8& d) {
    constexpr bool is16 = V.format == BlitFormat16;
    // Channel fields: red, green, blue.
    constexpr int shift[3] = {is16 ? 11 : 16, is16 ? 5 : 8, 0};
    constexpr uint32_t mask[3] = {is16 ? 31u : 255u, is16 ? 63u : 255u, is16 ? 31u : 255u};
    if constexpr (!V.gouraud && V.mode == BlendNone) return is16 ? t & 0xFFFFu : t;  // the texel as it is
    U32x8 out = is16 ? Splat(0) : (d & 0xFF000000u);
#pragma GCC unroll 3
    for (int c = 0; c < 3; c++) {
        const U32x8 tc = (t >> shift[c]) & mask[c], dc = (d >> shift[c]) & mask[c];
        U32x8 r;
        if constexpr (V.gouraud) {
            const U32x8 m = Shr(tc * k[c], 8);
            if constexpr (V.mode == BlendNone) r = m;
            else r = Shr(dc * 256u + (m - dc) * k[3], 8);
        } else if constexpr (is16) {
            r = dc + U32x8(DivideBy255TowardZero(I32x8(tc - dc) * in.p));
        } else {
            r = (dc * 256u + (tc - dc) * uint32_t(in.p)) >> 8;
        }
        out |= (r & mask[c]) << shift[c];
    }
    return out;
}

// Eight pixels at p (the first `left` of them when fewer): the drawn ones coloured.
template <Raster3DVariant V>
[[gnu::always_inline]] inline void BlendEight(const ColourInputs& in, const U32x8* k, const U32x8& t, const I32x8& drawn,
                                              int left, uint8_t* p) {
    constexpr int bytes = V.format == BlitFormat16 ? 2 : 4;
    // The tail goes through a buffer so that nothing past the span is touched.
    alignas(32) uint8_t tail[32];
    uint8_t* at = left < 8 ? static_cast<uint8_t*>(std::memcpy(tail, p, size_t(left) * bytes)) : p;
    U32x8 d;
    if constexpr (bytes == 2) d = __builtin_convertvector(Load<U16x8>(at), U32x8);
    else d = Load<U32x8>(at);
    const U32x8 result = Select(drawn, ColourStep<V>(in, k, t, d), d);
    if constexpr (bytes == 2) Store(at, __builtin_convertvector(result, U16x8));
    else Store(at, result);
    if (at == tail) std::memcpy(p, tail, size_t(left) * bytes);
}

// The colour half of a chunk of n textured pixels at dp: the texels are fetched one by
// one into a buffer first, then coloured eight at a time. Steps the cursor's colour.
template <Raster3DVariant V, bool Avx2>
[[gnu::always_inline]] inline void ColourChunk(Raster3DCursor* cursor, const ColourInputs& in, const Raster3DChunk& px,
                                               int n, uint8_t* dp) {
    constexpr int bytes = V.format == BlitFormat16 ? 2 : 4;
    const uint8_t* const texelBase = in.texels;
    alignas(32) uint32_t texels[kRaster3DChunk];
    for (int i = 0; i < n; i++) {
        if constexpr (bytes == 2) texels[i] = Load<uint16_t>(texelBase + px.offset[i]);
        else texels[i] = Load<uint32_t>(texelBase + px.offset[i]);
    }
    Colour8 colour(*cursor);
    for (int i = 0; i < n; i += 8, colour.Next()) {
        const I32x8 drawn = ~Less<Avx2>(Load<I32x8>(px.tu + i), SplatI(0)) & Less<Avx2>(Lanes(), SplatI(n - i));
        if (!Any(drawn)) continue;
        U32x8 k[4];
        if constexpr (V.gouraud) {
#pragma GCC unroll 4
            for (int c = 0; c < (V.mode == BlendNone ? 3 : 4); c++) k[c] = colour.Colour(c);
        }
        BlendEight<V>(in, k, Load<U32x8>(texels + i), drawn, n - i, dp + i * bytes);
    }
    AdvanceCursor(cursor, 4, 4, n);
}

// A whole span of n pixels of the white texture at dp (and depth): tests and colour,
// eight pixels at a time.
template <Raster3DVariant V, Raster3DDepthUse D, bool Inside, bool Avx2>
[[gnu::always_inline]] inline void DrawSpanSimd(Raster3DCursor* cursor, const ColourInputs& in,
                                                 const Raster3DTexelGrid& grid, uint16_t* depth, int n, uint8_t* dp) {
    constexpr int bytes = V.format == BlitFormat16 ? 2 : 4;
    Attributes8<0, V.gouraud ? 8 : 4> at(*cursor);
    const bool wMayBeSmall = WMayBeSmall(*cursor, n);
    for (int i = 0; i < n; i += 8, at.Next()) {
        U32x8 tu, tv;
        const I32x8 drawn = TestEight<D, Inside, Avx2>(at, n - i, depth + (D != Raster3DDepthNone ? i : 0), grid,
                                                       wMayBeSmall, &tu, &tv);
        if (!Any(drawn)) continue;
        U32x8 k[4];
        if constexpr (V.gouraud) {
#pragma GCC unroll 4
            for (int c = 0; c < (V.mode == BlendNone ? 3 : 4); c++) k[c] = at.Colour(c);
        }
        BlendEight<V>(in, k, Splat(~0u), drawn, n - i, dp + i * bytes);
    }
    AdvanceCursor(cursor, 0, 8, n);
}

}  // namespace raster3d_simd
