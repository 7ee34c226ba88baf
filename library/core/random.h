// random.h - the library's random numbers: one MT19937 generator.
//
// Seeded with the 1998 reference seeding routine; a generator drawn from without a
// seed seeds itself with 4357. The main window seeds it from the millisecond clock.
#pragma once

#include <cstdint>

enum { RandomStateWords = 624 };

struct RandomState {
    int32_t index;                         // next output to hand out; 624: block used up
    uint32_t state[RandomStateWords];
    uint32_t outputs[RandomStateWords];    // tempered outputs of the current block
    int32_t seeded;
    int32_t useMmx;                        // the processor has MMX (results are the same)
};

extern RandomState RandomGenerator;

void SeedRandom(uint32_t seed);
uint32_t NextRandom32(void);

// 0..n inclusive, and n..0 inclusive for a negative n (see MapRandomToRange).
int GetRandomIntCore(int n);
// The mapping alone, for a given 32-bit random word (random_range.cpp): the low end of
// the range plus the high 32 bits of r * (|n| + 1), so every value of the range takes
// an equal share of r's values (to within one).
int MapRandomToRange(uint32_t r, int n);
