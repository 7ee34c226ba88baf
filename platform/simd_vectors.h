// simd_vectors.h - eight 32-bit lanes as GCC vector types, for kernels written once and
// compiled twice: as SSE2 (two registers per vector) and, inside functions marked
// ZQ_TARGET_AVX2, as AVX2 (one register). Arithmetic on the unsigned type wraps.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>


// A function marked ZQ_TARGET_AVX2 is called from SSE2 code: it takes and returns no
// vector by value, since the two pass a 32-byte vector differently.
#define ZQ_TARGET_AVX2 [[gnu::target("avx2")]]

// Vectors of 32 bytes pass only between inlined functions, so the warning that their
// passing differs without AVX does not apply.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wpsabi"
#else
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace simd {

typedef int32_t I32x8 __attribute__((vector_size(32)));
typedef uint32_t U32x8 __attribute__((vector_size(32)));
typedef float F32x8 __attribute__((vector_size(32)));
typedef uint16_t U16x8 __attribute__((vector_size(16)));

[[gnu::always_inline]] inline U32x8 Splat(uint32_t v) { return U32x8{} + v; }
[[gnu::always_inline]] inline I32x8 SplatI(int32_t v) { return I32x8{} + v; }
[[gnu::always_inline]] inline I32x8 Lanes() { return I32x8{0, 1, 2, 3, 4, 5, 6, 7}; }

template <class T>
[[gnu::always_inline]] inline T Load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
template <class T>
[[gnu::always_inline]] inline void Store(void* p, const T& v) {
    std::memcpy(p, &v, sizeof(v));
}

// Comparisons giving -1 in the lanes where they hold. Under AVX2 a 32-byte vector
// compares in one instruction; under SSE2 GCC would compare it lane by lane in scalar
// code, so there each 16-byte half is compared as a vector.
template <bool Avx2>
[[gnu::always_inline]] inline I32x8 Less(const I32x8& a, const I32x8& b) {
    if constexpr (Avx2) {
        return a < b;
    } else {
        typedef int32_t I32x4 __attribute__((vector_size(16)));
        const I32x4 low = __builtin_shufflevector(a, a, 0, 1, 2, 3) < __builtin_shufflevector(b, b, 0, 1, 2, 3);
        const I32x4 high = __builtin_shufflevector(a, a, 4, 5, 6, 7) < __builtin_shufflevector(b, b, 4, 5, 6, 7);
        return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
    }
}
template <bool Avx2>
[[gnu::always_inline]] inline I32x8 LessUnsigned(const U32x8& a, const U32x8& b) {
    return Less<Avx2>(I32x8(a ^ 0x80000000u), I32x8(b ^ 0x80000000u));
}

// mask lanes (all ones) take a, the others b.
[[gnu::always_inline]] inline U32x8 Select(const I32x8& mask, const U32x8& a, const U32x8& b) {
    const U32x8 m = U32x8(mask);
    return (a & m) | (b & ~m);
}

typedef uint32_t U32x4 __attribute__((vector_size(16)));

// The sign bits of the bytes of a 16-byte vector (SSE2 pmovmskb).
[[gnu::always_inline]] inline int ByteSigns(const U32x4& v) { return _mm_movemask_epi8(__m128i(v)); }

// Whether any lane of a comparison mask is set; whether all are.
[[gnu::always_inline]] inline bool Any(const I32x8& mask) {
    const U32x8 m = U32x8(mask);
    return ByteSigns(__builtin_shufflevector(m, m, 0, 1, 2, 3) | __builtin_shufflevector(m, m, 4, 5, 6, 7)) != 0;
}
[[gnu::always_inline]] inline bool All(const I32x8& mask) {
    const U32x8 m = U32x8(mask);
    return ByteSigns(__builtin_shufflevector(m, m, 0, 1, 2, 3) & __builtin_shufflevector(m, m, 4, 5, 6, 7)) == 0xFFFF;
}

// Arithmetic shift right of wrapped values: floor(x / 2^n).
[[gnu::always_inline]] inline U32x8 Shr(const U32x8& x, int n) { return U32x8(I32x8(x) >> n); }

}  // namespace simd
