// The span loops' perspective division, 2^29 / W truncated, eight lanes at a time at
// every vector level: exact for every W from 1 up, the small divisors (W <= 256) and
// the quotients just below and above whole numbers included.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "library/softrender/raster3d_span_prepare.h"

namespace {

using namespace raster3d_simd;

// Vectors cross between the SSE2 and AVX2 functions through memory only (the two
// pass a 32-byte vector differently).
template <bool Avx2>
void Divide(const I32x8& w, bool wMayBeSmall, U32x8* out) {
    *out = InverseW<Avx2>(w, I32x8{} - 1, wMayBeSmall);
}
ZQ_TARGET_AVX2 void DivideAvx2(const I32x8& w, bool wMayBeSmall, U32x8* out) { Divide<true>(w, wMayBeSmall, out); }

std::vector<int32_t> Divisors() {
    std::vector<int32_t> out;
    for (int32_t w = 1; w <= 70000; w++) out.push_back(w);
    for (int shift = 8; shift < 31; shift++) {
        for (int32_t d = -3; d <= 3; d++) out.push_back(int32_t((int64_t(1) << shift) + d));
        // Divisors whose quotient lies just beside a whole number.
        for (int64_t q = (int64_t(1) << 29) >> shift; q > 0 && q < (int64_t(1) << 21); q = q * 3 + 1)
            for (int64_t d = -1; d <= 1; d++)
                if ((int64_t(1) << 29) / q + d > 256) out.push_back(int32_t((int64_t(1) << 29) / q + d));
    }
    out.push_back(INT32_MAX);
    std::mt19937 rng(29);
    for (int i = 0; i < 100000; i++) out.push_back(int32_t(1 + rng() % uint32_t(INT32_MAX)));
    while (out.size() % 8) out.push_back(1);
    return out;
}

TEST(Raster3DDivision, ExactAtEveryVectorLevel) {
    const bool avx2 = __builtin_cpu_supports("avx2");
    int wrong = 0;
    const std::vector<int32_t> divisors = Divisors();
    for (size_t i = 0; i < divisors.size(); i += 8) {
        I32x8 w;
        bool small = false;
        for (int j = 0; j < 8; j++) {
            w[j] = divisors[i + j];
            small |= w[j] <= 256;
        }
        U32x8 sse2, wide;
        Divide<false>(w, small, &sse2);
        if (avx2) DivideAvx2(w, small, &wide);
        else wide = sse2;
        for (int j = 0; j < 8; j++) {
            const uint32_t exact = uint32_t((int32_t(1) << 29) / w[j]);
            if ((sse2[j] != exact || wide[j] != exact) && wrong++ < 5)
                ADD_FAILURE() << "2^29 / " << w[j] << ": " << sse2[j] << " and " << wide[j] << ", not " << exact;
        }
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
