// raster3d_span_prepare.h - the first half of a span loop, eight pixels at a time: the
// attribute steps, the depth test and write, the perspective division, the texel
// coordinates and their range test, and (Gouraud) the vertex colour channels. It fills
// a chunk of per-pixel results that the colour half reads (raster3d_span_colour.h, or
// one pixel at a time in raster3d_spans.cpp), which steps the colour channels itself.
//
// Per pixel, as the one-at-a-time loop does it: W <= 0 leaves the pixel; depth
// d = (Z >> 8) & 0xFFFF is drawn when d <= stored, and stored at once when depth is
// written (before the texel tests); invW = 2^29 / W (truncated); u = ((U >> 10) * width
// * invW) >> 19 and v likewise (wrapping products, logical shift); u or v past the
// texture leaves the pixel.
//
// The division: a float quotient is within 1/4 of 2^29 / W while W > 256, so its
// truncation is off by at most one; tried for every W from 257 to 2^31 - 1, it is never
// one too few, and one too many shows as a negative remainder 2^29 - q * W. The rare
// lanes with W <= 256 (rhw below 2^-18) are divided one by one.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/simd_vectors.h"

// Pixels per chunk: the colour half's buffers.
constexpr int kRaster3DChunk = 256;

enum Raster3DDepthUse { Raster3DDepthNone, Raster3DDepthTest, Raster3DDepthTestWrite };

// The attribute values at the next pixel and their steps per pixel (W, U, V, Z, then
// the colour channels R, G, B, A), in wrapping fixed point.
struct Raster3DCursor {
    int32_t value[8];
    int32_t step[8];
};

// One chunk of results: the texel coordinates and the texel's byte offset in the
// texture; tu is -1 where the pixel is left as it is, and offset 0 (the first texel,
// which always exists).
struct Raster3DChunk {
    alignas(32) int32_t tu[kRaster3DChunk];
    alignas(32) int32_t tv[kRaster3DChunk];
    alignas(32) int32_t offset[kRaster3DChunk];
};

// The texture's size and layout as the loops use them. A power-of-two width or height
// multiplies by a shift (the same wrapped product).
struct Raster3DTexelGrid {
    uint32_t width, height;
    int widthShift, heightShift;  // log2 of a power-of-two size, else -1
    int32_t pitch;
    int bytesShift;  // log2 of the texel's bytes
};

namespace raster3d_simd {

using namespace simd;

// 2^29 / w for the drawn lanes (w > 0); other lanes give any value. Lanes with
// w <= 256 are looked for only when the span may have them (wMayBeSmall).
template <bool Avx2>
[[gnu::always_inline]] inline U32x8 InverseW(const I32x8& w, const I32x8& drawn, bool wMayBeSmall) {
    const F32x8 quotient = (F32x8{} + 536870912.0f) / __builtin_convertvector(w, F32x8);
    I32x8 q = __builtin_convertvector(quotient, I32x8);
    const I32x8 rest = I32x8(Splat(1u << 29) - U32x8(q) * U32x8(w));
    q += Less<Avx2>(rest, SplatI(0));  // -1 where q * w passed 2^29
    if (!wMayBeSmall) return U32x8(q);
    const I32x8 small = drawn & ~Less<Avx2>(SplatI(256), w);
    if (Any(small)) [[unlikely]] {
        for (int j = 0; j < 8; j++)
            if (small[j]) q[j] = (int32_t(1) << 29) / w[j];
    }
    return U32x8(q);
}

// Attributes First .. First + Count - 1 of eight pixels in vectors, stepped eight pixels
// at a time.
template <int First, int Count>
struct Attributes8 {
    U32x8 value[Count], step[Count];

    [[gnu::always_inline]] explicit Attributes8(const Raster3DCursor& cursor) {
#pragma GCC unroll 8
        for (int a = 0; a < Count; a++) {
            value[a] = Splat(uint32_t(cursor.value[First + a])) + U32x8(Lanes()) * uint32_t(cursor.step[First + a]);
            step[a] = Splat(uint32_t(cursor.step[First + a]) * 8u);
        }
    }
    [[gnu::always_inline]] void Next() {
#pragma GCC unroll 8
        for (int a = 0; a < Count; a++) value[a] += step[a];
    }
    [[gnu::always_inline]] const U32x8& operator[](int attribute) const { return value[attribute - First]; }
    // The vertex colour channel c (0 red .. 3 alpha): attribute / 2^14 toward zero.
    [[gnu::always_inline]] U32x8 Colour(int c) const {
        const I32x8 x = I32x8((*this)[4 + c]);
        return U32x8((x + ((x >> 31) & 16383)) >> 14);
    }
};
using Position8 = Attributes8<0, 4>;  // W, U, V, Z
using Colour8 = Attributes8<4, 4>;    // R, G, B, A

// Whether W may fall to 256 or below within the span of n pixels from the cursor (W
// is linear along the span; wrapping counts as may).
inline bool WMayBeSmall(const Raster3DCursor& cursor, int n) {
    const int64_t first = cursor.value[0], last = first + int64_t(cursor.step[0]) * (n - 1);
    return !(first > 256 && last > 256 && last <= INT32_MAX);
}

// Attributes first .. first + count - 1 of the cursor moved on by n pixels.
[[gnu::always_inline]] inline void AdvanceCursor(Raster3DCursor* cursor, int first, int count, int n) {
    for (int a = first; a < first + count; a++)
        cursor->value[a] = int32_t(uint32_t(cursor->value[a]) + uint32_t(cursor->step[a]) * uint32_t(n));
}

// The first `left` of eight pixels (more than eight: all of them): which are drawn after
// the W, depth and range tests (depth written as it goes), and their texel coordinates.
// Inside: every pixel of the span is known to map inside the texture, which is the
// white texture (all its texels alike) and no blend image is read at the texel, so no
// division is made and texel (0, 0) stands for every pixel.
template <Raster3DDepthUse D, bool Inside, bool Avx2, class A>
[[gnu::always_inline]] inline I32x8 TestEight(const A& at, int left, uint16_t* depth, const Raster3DTexelGrid& grid,
                                              bool wMayBeSmall, U32x8* tu, U32x8* tv) {
    I32x8 drawn = Less<Avx2>(Lanes(), SplatI(left)) & Less<Avx2>(SplatI(0), I32x8(at[0]));
    if constexpr (D != Raster3DDepthNone) {
        // The tail's stored depths go through a buffer so that nothing past the span is
        // touched.
        uint16_t tail[8];
        uint16_t* zp = depth;
        if (left < 8) zp = static_cast<uint16_t*>(std::memcpy(tail, depth, size_t(left) * 2));
        const I32x8 stored = __builtin_convertvector(Load<U16x8>(zp), I32x8);
        const I32x8 d = I32x8(Shr(at[3], 8) & 0xFFFF);
        drawn &= ~Less<Avx2>(stored, d);
        if constexpr (D == Raster3DDepthTestWrite) {
            Store(zp, __builtin_convertvector(I32x8(Select(drawn, U32x8(d), U32x8(stored))), U16x8));
            if (zp == tail) std::memcpy(depth, tail, size_t(left) * 2);
        }
    }
    if constexpr (Inside) {
        *tu = *tv = Splat(0);
    } else {
        const U32x8 inverse = InverseW<Avx2>(I32x8(at[0]), drawn, wMayBeSmall);
        const U32x8 su = Shr(at[1], 10) * inverse, sv = Shr(at[2], 10) * inverse;
        *tu = (grid.widthShift >= 0 ? su << grid.widthShift : su * grid.width) >> 19;
        *tv = (grid.heightShift >= 0 ? sv << grid.heightShift : sv * grid.height) >> 19;
        drawn &= LessUnsigned<Avx2>(*tu, Splat(grid.width)) & LessUnsigned<Avx2>(*tv, Splat(grid.height));
    }
    return drawn;
}

// The first half of a chunked span: n pixels' tests and texel coordinates. The colour
// attributes are left to the colour half.
template <Raster3DDepthUse D, bool Inside, bool Avx2>
[[gnu::always_inline]] inline void PrepareChunk(Raster3DCursor* cursor, const Raster3DTexelGrid& grid, uint16_t* depth,
                                                 int n, Raster3DChunk* out) {
    Position8 at(*cursor);
    const bool wMayBeSmall = WMayBeSmall(*cursor, n);
    for (int i = 0; i < n; i += 8, at.Next()) {
        U32x8 tu, tv;
        const I32x8 drawn = TestEight<D, Inside, Avx2>(at, n - i, depth + (D != Raster3DDepthNone ? i : 0), grid,
                                                       wMayBeSmall, &tu, &tv);
        Store(out->tu + i, Select(drawn, tu, Splat(~0u)));
        Store(out->tv + i, tv);
        Store(out->offset + i, ((tu << grid.bytesShift) + tv * uint32_t(grid.pitch)) & U32x8(drawn));
    }
    AdvanceCursor(cursor, 0, 4, n);
}

// The first half one pixel at a time, where eight-lane vectors would cost more than
// they give (SSE2 has no 32-bit multiply of its own).
template <Raster3DDepthUse D>
[[gnu::always_inline]] inline void PrepareChunkOneByOne(Raster3DCursor* cursor, const Raster3DTexelGrid& grid,
                                                         uint16_t* depth, int n, Raster3DChunk* out) {
    uint32_t w = uint32_t(cursor->value[0]), u = uint32_t(cursor->value[1]), v = uint32_t(cursor->value[2]);
    uint32_t z = uint32_t(cursor->value[3]);
    const uint32_t dw = uint32_t(cursor->step[0]), du = uint32_t(cursor->step[1]), dv = uint32_t(cursor->step[2]);
    const uint32_t dz = uint32_t(cursor->step[3]);
    for (int i = 0; i < n; i++, w += dw, u += du, v += dv, z += dz) {
        out->tu[i] = -1;
        out->tv[i] = out->offset[i] = 0;
        if (int32_t(w) <= 0) continue;
        if constexpr (D != Raster3DDepthNone) {
            const uint16_t d = uint16_t(int32_t(z) >> 8);
            if (d > depth[i]) continue;
            if constexpr (D == Raster3DDepthTestWrite) depth[i] = d;
        }
        const uint32_t inverse = uint32_t((int32_t(1) << 29) / int32_t(w));
        const uint32_t tu = (uint32_t(int32_t(u) >> 10) * grid.width * inverse) >> 19;
        const uint32_t tv = (uint32_t(int32_t(v) >> 10) * grid.height * inverse) >> 19;
        if (tu >= grid.width || tv >= grid.height) continue;
        out->tu[i] = int32_t(tu);
        out->tv[i] = int32_t(tv);
        out->offset[i] = int32_t((tu << grid.bytesShift) + tv * uint32_t(grid.pitch));
    }
    AdvanceCursor(cursor, 0, 4, n);
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
