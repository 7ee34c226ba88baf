// simd_level.cpp - the processor's vector level, looked up once, and the tests' cap.
#include "library/softrender/simd_level.h"

#include <atomic>

namespace {

std::atomic<int> g_limit{SoftRenderSimdAvx2};

SoftRenderSimd ProcessorLevel() {
    static const SoftRenderSimd level = __builtin_cpu_supports("avx2") ? SoftRenderSimdAvx2 : SoftRenderSimdSse2;
    return level;
}

}  // namespace

SoftRenderSimd SoftRenderSimdLevel() {
    const int limit = g_limit.load(std::memory_order_relaxed);
    return ProcessorLevel() < limit ? ProcessorLevel() : SoftRenderSimd(limit);
}

SoftRenderSimd LimitSoftRenderSimd(SoftRenderSimd highest) {
    return SoftRenderSimd(g_limit.exchange(highest, std::memory_order_relaxed));
}
