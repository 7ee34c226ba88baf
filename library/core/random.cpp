// MT19937 (N 624, M 397, matrix 0x9908B0DF) producing and tempering 624 words at once.
#include "library/core/random.h"

#include "platform/kernel/cpu.h"

RandomState RandomGenerator = {RandomStateWords, {}, {}, 0, 0};

enum : uint32_t { UpperMask = 0x80000000u, LowerMask = 0x7FFFFFFFu, Matrix = 0x9908B0DFu };
enum { M = 397 };

static inline uint32_t Twist(uint32_t current, uint32_t next, uint32_t far) {
    uint32_t y = (current & UpperMask) | (next & LowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) ? Matrix : 0u);
}

static void GenerateBlock(RandomState& r) {
    const int n = RandomStateWords;
    int k = 0;
    for (; k < n - M; k++) r.state[k] = Twist(r.state[k], r.state[k + 1], r.state[k + M]);
    for (; k < n - 1; k++) r.state[k] = Twist(r.state[k], r.state[k + 1], r.state[k + M - n]);
    r.state[n - 1] = Twist(r.state[n - 1], r.state[0], r.state[M - 1]);
    for (k = 0; k < n; k++) {
        uint32_t y = r.state[k];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        r.outputs[k] = y;
    }
    r.index = 0;
}

static int ProcessorHasMmx() {
    if (!IsCpuidAvailable()) return 0;
    uint32_t regs[4];
    ExecuteCpuid(0, regs);
    if (regs[0] < 1) return 0;
    ExecuteCpuid(1, regs);
    return (regs[3] >> 23) & 1u;
}

void SeedRandom(uint32_t seed) {
    RandomState& r = RandomGenerator;
    uint32_t x = seed;
    for (int k = 0; k < RandomStateWords; k++) {
        uint32_t word = x & 0xFFFF0000u;
        x = x * 69069u + 1u;
        word |= x >> 16;
        x = x * 69069u + 1u;
        r.state[k] = word;
    }
    r.useMmx = ProcessorHasMmx();
    r.seeded = 1;
    GenerateBlock(r);
}

uint32_t NextRandom32(void) {
    RandomState& r = RandomGenerator;
    if (r.index >= RandomStateWords) {
        if (!r.seeded) {
            SeedRandom(4357);
        } else {
            GenerateBlock(r);
        }
    }
    return r.outputs[r.index++];
}

int GetRandomIntCore(int n) {
    uint32_t r = NextRandom32();
    return MapRandomToRange(r, n);
}
