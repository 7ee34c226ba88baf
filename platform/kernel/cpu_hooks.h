// cpu_hooks.h - the processor that the test seams put in place of the real one
// (platform/kernel/testing/cpu_seams.h). Not for library code.
#pragma once

#include <cstdint>

struct CpuidSource {
    int available;                                        // CPUID usable
    void (*cpuid)(uint32_t leaf, uint32_t registers[4]);  // used when available
};

// Null: the real processor.
void SetCpuidSource(const CpuidSource* source);
