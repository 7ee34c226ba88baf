// The fake processor. See cpu_seams.h.
#include "platform/kernel/testing/cpu_seams.h"

#include <cstring>

#include "platform/kernel/cpu_hooks.h"

static FakeCpu Fake;

static uint32_t TextWord(const char* text, size_t length, size_t offset) {
    uint32_t word = 0;
    for (size_t i = 0; i < 4; i++) {
        uint32_t byte = offset + i < length ? uint8_t(text[offset + i]) : 0;
        word |= byte << (8 * i);
    }
    return word;
}

static void FakeCpuid(uint32_t leaf, uint32_t registers[4]) {
    registers[0] = registers[1] = registers[2] = registers[3] = 0;
    size_t vendorLength = Fake.vendor ? std::strlen(Fake.vendor) : 0;
    size_t brandLength = Fake.brand ? std::strlen(Fake.brand) : 0;
    if (leaf == 0) {
        registers[0] = 1;
        registers[1] = TextWord(Fake.vendor, vendorLength, 0);
        registers[3] = TextWord(Fake.vendor, vendorLength, 4);
        registers[2] = TextWord(Fake.vendor, vendorLength, 8);
    } else if (leaf == 1) {
        registers[3] = Fake.leaf1Edx;
    } else if (leaf == 0x80000000u) {
        registers[0] = Fake.brand ? 0x80000004u : 0x80000000u;
    } else if (Fake.brand && leaf >= 0x80000002u && leaf <= 0x80000004u) {
        size_t base = (leaf - 0x80000002u) * 16;
        for (int r = 0; r < 4; r++) registers[r] = TextWord(Fake.brand, brandLength, base + 4 * r);
    }
}

static CpuidSource FakeSource = {1, FakeCpuid};

void InstallFakeCpu(const FakeCpu* cpu) {
    Fake = *cpu;
    FakeSource.available = cpu->hasCpuid;
    SetCpuidSource(&FakeSource);
}

void RemoveFakeCpu(void) { SetCpuidSource(nullptr); }
