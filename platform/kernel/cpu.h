// cpu.h - the cpu group: the CPUID instruction and the time-stamp counter.
//
// On x86-64 CPUID always exists (the EFLAGS ID bit can always be toggled) and so do
// the time-stamp counter and MMX. Tests replace the processor with a fake one
// (platform/kernel/testing/cpu_seams.h) and the counter with the virtual clock's.
#pragma once

#include <cstdint>

// 1 when the CPUID instruction can be used.
int IsCpuidAvailable(void);

// Runs CPUID for `leaf` (sub-leaf 0): registers[0..3] = EAX, EBX, ECX, EDX.
// Leaves above the processor's highest leaf give zeros.
void ExecuteCpuid(uint32_t leaf, uint32_t registers[4]);

// The processor's time-stamp counter (RDTSC).
uint64_t ReadTimeStampCounter(void);

// Which vector instructions the software renderers' kernels use. SSE2 is always there
// on x86-64; AVX2 kernels run where the processor has AVX2 (asked of the processor
// itself, not of the CPUID source above, which tests replace). The level is read once
// per draw and every level gives the same bytes, so tests lower the limit to run the
// narrower kernels on a wider processor.
enum SimdWidth { SimdSse2, SimdAvx2 };

// The widest level the processor has, within the limit.
SimdWidth CpuSimdLevel(void);

// Caps the level (SimdAvx2: no cap); returns the cap it replaces.
SimdWidth LimitCpuSimdLevel(SimdWidth highest);
