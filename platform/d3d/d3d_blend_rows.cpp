// d3d_blend_rows.cpp - the row blends of d3d_blend_rows.h, written once over GCC vector
// types of N 16-bit lanes (one lane per pixel and channel) and compiled for SSE2 (N = 8)
// and AVX2 (N = 16). Every intermediate stays below 2^16:
//   - a 5-bit field widens to (v 255 + 15) / 31 = (v 527 + 23) >> 6, a 6-bit field to
//     (v 255 + 31) / 63 = (v 259 + 33) >> 6 (checked for every field value);
//   - t / 255 = (t + 1 + (t >> 8)) >> 8 for every t below 65535, which covers the blend
//     (at most 255 * 255 + 127) and the narrowing back to 5 and 6 bits (v 63 + 127).
#include "platform/d3d/d3d_blend_rows.h"

#include <cstring>

#include "platform/kernel/cpu.h"
#include "platform/simd_vectors.h"

namespace d3draster {

namespace {

template <int N>
struct Lanes {
    typedef uint16_t U16 __attribute__((vector_size(2 * N)));
    typedef int16_t I16 __attribute__((vector_size(2 * N)));
    typedef uint32_t U32 __attribute__((vector_size(4 * N)));
    typedef uint8_t U8 __attribute__((vector_size(N)));
};

template <class V>
[[gnu::always_inline]] inline V Div255(const V& t) {
    return (t + 1 + (t >> 8)) >> 8;
}

// Channels of N colours 0xAARRGGBB, one 16-bit lane each.
template <int N>
struct Planes {
    typename Lanes<N>::U16 r, g, b, a;
};

template <int N>
[[gnu::always_inline]] inline Planes<N> Split8888(const typename Lanes<N>::U32& c) {
    typedef typename Lanes<N>::U16 U16;
    return {__builtin_convertvector((c >> 16) & 0xFF, U16), __builtin_convertvector((c >> 8) & 0xFF, U16),
            __builtin_convertvector(c & 0xFF, U16), __builtin_convertvector(c >> 24, U16)};
}

// Source alpha of s over d, all four channels.
template <int N>
[[gnu::always_inline]] inline Planes<N> Over(const Planes<N>& s, const Planes<N>& d) {
    const typename Lanes<N>::U16 a = s.a, ia = 255 - s.a;
    return {Div255(s.r * a + d.r * ia + 127), Div255(s.g * a + d.g * ia + 127), Div255(s.b * a + d.b * ia + 127),
            Div255(s.a * a + d.a * ia + 127)};
}

// All ones in the lanes of the pixels to leave.
template <int N>
[[gnu::always_inline]] inline typename Lanes<N>::U16 SkipMask(const uint8_t* skip) {
    typedef typename Lanes<N>::U16 U16;
    return U16(__builtin_convertvector(simd::Load<typename Lanes<N>::U8>(skip), U16) != 0);
}

template <int N>
[[gnu::always_inline]] inline void Over565Step(uint8_t* row, const uint32_t* colours, const uint8_t* skip) {
    typedef typename Lanes<N>::U16 U16;
    const U16 d = simd::Load<U16>(row);
    const U16 r5 = d >> 11, g6 = (d >> 5) & 63, b5 = d & 31;
    const Planes<N> target{(r5 * 527 + 23) >> 6, (g6 * 259 + 33) >> 6, (b5 * 527 + 23) >> 6, U16{} + 255};
    const Planes<N> o = Over<N>(Split8888<N>(simd::Load<typename Lanes<N>::U32>(colours)), target);
    const U16 out = Div255(o.r * 31 + 127) << 11 | Div255(o.g * 63 + 127) << 5 | Div255(o.b * 31 + 127);
    const U16 keep = SkipMask<N>(skip);
    simd::Store(row, (out & ~keep) | (d & keep));
}

template <int N>
[[gnu::always_inline]] inline void Over8888Step(uint8_t* row, const uint32_t* colours, const uint8_t* skip,
                                                 uint32_t alphaDefault, uint32_t keepBits) {
    typedef typename Lanes<N>::U32 U32;
    const U32 d = simd::Load<U32>(row);
    const Planes<N> o = Over<N>(Split8888<N>(simd::Load<U32>(colours)), Split8888<N>(d | alphaDefault));
    const U32 out = (__builtin_convertvector(o.a, U32) << 24 | __builtin_convertvector(o.r, U32) << 16 |
                     __builtin_convertvector(o.g, U32) << 8 | __builtin_convertvector(o.b, U32)) &
                    keepBits;
    const U32 leave = U32(__builtin_convertvector(simd::Load<typename Lanes<N>::U8>(skip), U32) != 0);
    simd::Store(row, (out & ~leave) | (d & leave));
}

// Whole steps of N pixels of Bytes bytes, then the rest through a padded copy of one step.
template <int N, int Bytes>
[[gnu::always_inline]] inline void Step(uint8_t* row, const uint32_t* colours, const uint8_t* skip,
                                        uint32_t alphaDefault, uint32_t keepBits) {
    if constexpr (Bytes == 2) Over565Step<N>(row, colours, skip);
    else Over8888Step<N>(row, colours, skip, alphaDefault, keepBits);
}

template <int N, int Bytes>
[[gnu::always_inline]] inline void Rows(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n,
                                        uint32_t alphaDefault, uint32_t keepBits) {
    int i = 0;
    for (; i + N <= n; i += N) Step<N, Bytes>(row + Bytes * i, colours + i, skip + i, alphaDefault, keepBits);
    if (i == n) return;
    uint8_t pixels[Bytes * N] = {}, leave[N];
    uint32_t rest[N] = {};
    std::memset(leave, 1, sizeof(leave));
    std::memcpy(pixels, row + Bytes * i, size_t(n - i) * Bytes);
    std::memcpy(rest, colours + i, size_t(n - i) * 4);
    std::memcpy(leave, skip + i, size_t(n - i));
    Step<N, Bytes>(pixels, rest, leave, alphaDefault, keepBits);
    std::memcpy(row + Bytes * i, pixels, size_t(n - i) * Bytes);
}

template <int Bytes>
void RowsSse2(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n, uint32_t alphaDefault,
              uint32_t keepBits) {
    Rows<8, Bytes>(row, colours, skip, n, alphaDefault, keepBits);
}
template <int Bytes>
ZQ_TARGET_AVX2 void RowsAvx2(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n, uint32_t alphaDefault,
                             uint32_t keepBits) {
    Rows<16, Bytes>(row, colours, skip, n, alphaDefault, keepBits);
}

}  // namespace

void OverRow565(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n) {
    if (CpuSimdLevel() == SimdAvx2) RowsAvx2<2>(row, colours, skip, n, 0, 0);
    else RowsSse2<2>(row, colours, skip, n, 0, 0);
}

void OverRow8888(uint8_t* row, const uint32_t* colours, const uint8_t* skip, int n, uint32_t alphaDefault,
                 uint32_t keepBits) {
    if (CpuSimdLevel() == SimdAvx2) RowsAvx2<4>(row, colours, skip, n, alphaDefault, keepBits);
    else RowsSse2<4>(row, colours, skip, n, alphaDefault, keepBits);
}

}  // namespace d3draster
