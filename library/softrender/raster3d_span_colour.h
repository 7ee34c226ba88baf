// raster3d_span_colour.h - the colour half of the commonest span loops, eight pixels
// at a time: direct textures without alpha, no blend image, no transparency test, white
// brightness, blend modes none and alpha, uniform or Gouraud shading.
// Each gives exactly the bytes of the one-pixel kernels in raster3d_kernels.h:
//   uniform none   the texel
//   uniform alpha  16-bit d + trunc(p * (s - d) / 255) (BlendSignedMulTable), the
//                  division as (x + 1 + (x >> 8)) >> 8, exact for 0 <= x <= 65535;
//                  32-bit (d * 256 + (s - d) * p) >> 8
//   Gouraud        m = (t * k) >> 8; none m; alpha (d * 256 + (m - d) * a) >> 8; in
//                  wrapping 32-bit lanes, the low bits of each channel kept
// Texels are fetched one lane at a time (the white texture of an untextured draw is not
// read at all); the pixels a chunk leaves out keep their bytes.
#pragma once

#include <immintrin.h>

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
    int texPitch;
    bool whiteTexture;  // every texel white: nothing to fetch
    int p;              // blend parameter, uniform alpha
};

// trunc(x / 255) for |x| <= 65535.
[[gnu::always_inline]] inline I32x8 DivideBy255TowardZero(const I32x8& x) {
    const I32x8 sign = x >> 31;
    const I32x8 magnitude = (x ^ sign) - sign;
    const I32x8 q = (magnitude + 1 + (magnitude >> 8)) >> 8;
    return (q ^ sign) - sign;
}

template <Raster3DVariant V>
[[gnu::always_inline]] inline U32x8 ColourStep(const ColourInputs& in, const Raster3DChunk& px, int i, const U32x8& t, const U32x8& d) {
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
            const U32x8 k = Load<U32x8>(px.colour[c] + i);
            const U32x8 m = Shr(tc * k, 8);
            if constexpr (V.mode == BlendNone) r = m;
            else r = Shr(dc * 256u + (m - dc) * Load<U32x8>(px.colour[3] + i), 8);
        } else if constexpr (is16) {
            r = dc + U32x8(DivideBy255TowardZero(I32x8(tc - dc) * in.p));
        } else {
            r = (dc * 256u + (tc - dc) * uint32_t(in.p)) >> 8;
        }
        out |= (r & mask[c]) << shift[c];
    }
    return out;
}

// The texels of the drawn lanes (the others read the first texel, which always exists).
template <int Bytes, bool Avx2>
[[gnu::always_inline]] inline U32x8 FetchTexels(const uint8_t* texels, const I32x8& offsetsIfDrawn, const I32x8& drawn) {
    const I32x8 offsets = offsetsIfDrawn & drawn;
    auto at = [&](int j) __attribute__((always_inline)) -> uint32_t {
        if constexpr (Bytes == 2) return Load<uint16_t>(texels + offsets[j]);
        else return Load<uint32_t>(texels + offsets[j]);
    };
    return U32x8{at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7)};
}

// The colour half of one chunk of n pixels at dp.
template <Raster3DVariant V, bool Avx2>
[[gnu::always_inline]] inline void ColourChunk(const ColourInputs& in, const Raster3DChunk& px, int n, uint8_t* dp) {
    constexpr int bytes = V.format == BlitFormat16 ? 2 : 4;
    for (int i = 0; i < n; i += 8) {
        const I32x8 tu = Load<I32x8>(px.tu + i);
        const I32x8 drawn = (tu >= 0) & (Lanes() < n - i);
        if (!Any(drawn)) continue;
        const U32x8 t = in.whiteTexture ? Splat(~0u)
                                        : FetchTexels<bytes, Avx2>(in.texels, tu * bytes + Load<I32x8>(px.tv + i) * in.texPitch, drawn);
        // The tail goes through a buffer so that nothing past the span is touched.
        alignas(32) uint8_t tail[32];
        uint8_t* p = dp + i * bytes;
        if (n - i < 8) p = static_cast<uint8_t*>(std::memcpy(tail, p, size_t(n - i) * bytes));
        U32x8 d;
        if constexpr (bytes == 2) d = __builtin_convertvector(Load<U16x8>(p), U32x8);
        else d = Load<U32x8>(p);
        const U32x8 result = Select(drawn, ColourStep<V>(in, px, i, t, d), d);
        if constexpr (bytes == 2) Store(p, __builtin_convertvector(result, U16x8));
        else Store(p, result);
        if (p == tail) std::memcpy(dp + i * bytes, tail, size_t(n - i) * bytes);
    }
}

}  // namespace raster3d_simd
