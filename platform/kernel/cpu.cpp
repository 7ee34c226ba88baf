// The cpu group over <cpuid.h> and the clock's cycle counter. See cpu.h.
#include "platform/kernel/cpu.h"

#include <cpuid.h>

#include <atomic>

#include "platform/kernel/clock_interface.h"
#include "platform/kernel/cpu_hooks.h"

static void RealCpuid(uint32_t leaf, uint32_t registers[4]) {
    unsigned highest = __get_cpuid_max(leaf & 0x80000000u, nullptr);
    if (highest == 0 || leaf > highest) {
        registers[0] = registers[1] = registers[2] = registers[3] = 0;
        return;
    }
    __cpuid_count(leaf, 0, registers[0], registers[1], registers[2], registers[3]);
}

static const CpuidSource RealCpu = {1, RealCpuid};
static std::atomic<const CpuidSource*> ActiveCpu{&RealCpu};

void SetCpuidSource(const CpuidSource* source) { ActiveCpu.store(source != nullptr ? source : &RealCpu); }

int IsCpuidAvailable(void) { return ActiveCpu.load()->available; }

void ExecuteCpuid(uint32_t leaf, uint32_t registers[4]) {
    const CpuidSource* cpu = ActiveCpu.load();
    if (!cpu->available) {
        registers[0] = registers[1] = registers[2] = registers[3] = 0;
        return;
    }
    cpu->cpuid(leaf, registers);
}

uint64_t ReadTimeStampCounter(void) { return ReadPlatformCycleCounter(); }

static std::atomic<int> SimdLimit{SimdAvx2};

static SimdWidth ProcessorSimdLevel(void) {
    static const SimdWidth level = __builtin_cpu_supports("avx2") ? SimdAvx2 : SimdSse2;
    return level;
}

SimdWidth CpuSimdLevel(void) {
    const int limit = SimdLimit.load(std::memory_order_relaxed);
    return ProcessorSimdLevel() < limit ? ProcessorSimdLevel() : SimdWidth(limit);
}

SimdWidth LimitCpuSimdLevel(SimdWidth highest) {
    return SimdWidth(SimdLimit.exchange(highest, std::memory_order_relaxed));
}
