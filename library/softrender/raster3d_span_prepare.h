// raster3d_span_prepare.h - the first half of a span loop, eight pixels at a time: the
// attribute steps, the depth test and write, the perspective division, the texel
// coordinates and their range test, and (Gouraud) the vertex colour channels. It fills
// a chunk of per-pixel results that the colour half (raster3d_spans.cpp) reads.
//
// Per pixel, as the one-at-a-time loop does it: W <= 0 leaves the pixel; depth
// d = (Z >> 8) & 0xFFFF is drawn when d <= stored, and stored at once when depth is
// written (before the texel tests); invW = 2^29 / W (truncated); u = ((U >> 10) * width
// * invW) >> 19 and v likewise (wrapping products, logical shift); u or v past the
// texture leaves the pixel.
//
// The division: a float quotient is within 1/4 of 2^29 / W while W > 256, so its
// truncation is off by at most one, which the remainder 2^29 - q * W then corrects. The
// rare lanes with W <= 256 (rhw below 2^-18) are divided one by one.
#pragma once

#include <cstdint>

#include "library/softrender/simd_vectors.h"

// Pixels per chunk: the colour half's buffers.
constexpr int kRaster3DChunk = 256;

enum Raster3DDepthUse { Raster3DDepthNone, Raster3DDepthTest, Raster3DDepthTestWrite };

// The attribute values at the next pixel and their steps per pixel (W, U, V, Z, then
// the colour channels R, G, B, A), in wrapping fixed point.
struct Raster3DCursor {
    int32_t value[8];
    int32_t step[8];
};

// One chunk of results: tu = -1 where the pixel is left as it is; colour channels
// (attribute / 2^14, truncated toward zero) for Gouraud spans.
struct Raster3DChunk {
    alignas(32) int32_t tu[kRaster3DChunk];
    alignas(32) int32_t tv[kRaster3DChunk];
    alignas(32) int32_t colour[4][kRaster3DChunk];
};

namespace raster3d_simd {

using namespace simd;

// 2^29 / w for the drawn lanes (w > 0); other lanes give any value.
[[gnu::always_inline]] inline U32x8 InverseW(const I32x8& w, const I32x8& drawn) {
    const F32x8 quotient = (F32x8{} + 536870912.0f) / __builtin_convertvector(w, F32x8);
    I32x8 q = __builtin_convertvector(quotient, I32x8);
    const I32x8 rest = I32x8(Splat(1u << 29) - U32x8(q) * U32x8(w));
    q = q - (rest >= w) + (rest < 0);  // comparisons give -1 where true
    const I32x8 small = drawn & (w <= 256);
    if (Any(small)) [[unlikely]] {
        for (int j = 0; j < 8; j++)
            if (small[j]) q[j] = (int32_t(1) << 29) / w[j];
    }
    return U32x8(q);
}

// Inside: every pixel of the span is known to map inside the texture, which is the
// white texture (all its texels alike) and no blend image is read at the texel, so no
// division is made and texel (0, 0) stands for every pixel.
template <Raster3DDepthUse D, bool Gouraud, bool Inside>
[[gnu::always_inline]] inline void PrepareChunk(Raster3DCursor* cursor, uint32_t texWidth, uint32_t texHeight,
                                                 uint16_t* depth, int n, Raster3DChunk* out) {
    const int32_t* at = cursor->value;
    const int32_t* step = cursor->step;
    auto start = [&](int a) __attribute__((always_inline)) { return I32x8(Splat(uint32_t(at[a])) + U32x8(Lanes()) * uint32_t(step[a])); };
    auto step8 = [&](int a) __attribute__((always_inline)) { return Splat(uint32_t(step[a]) * 8u); };
    U32x8 w = U32x8(start(0)), u = U32x8(start(1)), v = U32x8(start(2)), z = U32x8(start(3));
    const U32x8 dw = step8(0), du = step8(1), dv = step8(2), dz = step8(3);
    U32x8 colour[4], dcolour[4];
    if constexpr (Gouraud) {
        for (int c = 0; c < 4; c++) colour[c] = U32x8(start(4 + c)), dcolour[c] = step8(4 + c);
    }
    const U32x8 width = Splat(texWidth), height = Splat(texHeight);
    for (int i = 0; i < n; i += 8) {
        I32x8 drawn = (Lanes() < n - i) & (I32x8(w) > 0);
        if constexpr (D != Raster3DDepthNone) {
            // The tail's stored depths go through a buffer so that nothing past the span
            // is touched.
            uint16_t tail[8];
            uint16_t* zp = depth + i;
            if (n - i < 8) zp = static_cast<uint16_t*>(std::memcpy(tail, depth + i, size_t(n - i) * 2));
            const I32x8 stored = __builtin_convertvector(Load<U16x8>(zp), I32x8);
            const I32x8 d = I32x8(Shr(z, 8) & 0xFFFF);
            drawn &= d <= stored;
            if constexpr (D == Raster3DDepthTestWrite) {
                Store(zp, __builtin_convertvector(drawn ? d : stored, U16x8));
                if (zp == tail) std::memcpy(depth + i, tail, size_t(n - i) * 2);
            }
        }
        if constexpr (Inside) {
            Store(out->tu + i, ~drawn);  // texel (0, 0) for the drawn pixels
            Store(out->tv + i, Splat(0));
        } else {
            const U32x8 inverse = InverseW(I32x8(w), drawn);
            const U32x8 tu = (Shr(u, 10) * width * inverse) >> 19;
            const U32x8 tv = (Shr(v, 10) * height * inverse) >> 19;
            drawn &= (tu < width) & (tv < height);
            Store(out->tu + i, Select(drawn, tu, Splat(~0u)));
            Store(out->tv + i, tv);
        }
        w += dw, u += du, v += dv, z += dz;
        if constexpr (Gouraud) {
            for (int c = 0; c < 4; c++) {
                const I32x8 x = I32x8(colour[c]);
                Store(out->colour[c] + i, (x + ((x >> 31) & 16383)) >> 14);
                colour[c] += dcolour[c];
            }
        }
    }
    for (int a = 0; a < (Gouraud ? 8 : 4); a++)
        cursor->value[a] = int32_t(uint32_t(at[a]) + uint32_t(step[a]) * uint32_t(n));
}

// Whether every pixel of a span of n pixels from the cursor maps inside a texture of
// fewer than 8192 x 8192 texels: W > 0 and 0 <= U < W and 0 <= V < W at both ends
// without wrapping (the values are linear along the span). Then (U >> 10) * invW <=
// U * 2^19 / W < 2^19, so ((U >> 10) * width * invW) stays below 2^32 and u < width;
// v < height alike.
inline bool SpanMapsInsideTexture(const Raster3DCursor& cursor, int n) {
    int64_t ends[2][3];
    for (int e = 0; e < 2; e++) {
        for (int a = 0; a < 3; a++) {
            ends[e][a] = cursor.value[a] + int64_t(cursor.step[a]) * (e == 0 ? 0 : n - 1);
            if (ends[e][a] < INT32_MIN || ends[e][a] > INT32_MAX) return false;
        }
        const int64_t w = ends[e][0], u = ends[e][1], v = ends[e][2];
        if (!(w > 0 && u >= 0 && u < w && v >= 0 && v < w)) return false;
    }
    return true;
}

}  // namespace raster3d_simd
