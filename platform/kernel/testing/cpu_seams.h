// cpu_seams.h - a fake processor for tests.
//
//     FakeCpu cpu = {1, "GenuineIntel", (1u << 4) | (1u << 23), "Test CPU 3000"};
//     InstallFakeCpu(&cpu);   // CPUID now reports this processor
//     ...
//     RemoveFakeCpu();
#pragma once

#include <cstdint>

struct FakeCpu {
    int hasCpuid;          // 0: the CPUID instruction is missing
    const char* vendor;    // 12 characters
    uint32_t leaf1Edx;     // feature bits: 4 time-stamp counter, 23 MMX
    const char* brand;     // up to 47 characters, or null for no brand string
};

// The fake is copied; its texts must outlive it.
void InstallFakeCpu(const FakeCpu* cpu);
void RemoveFakeCpu(void);
