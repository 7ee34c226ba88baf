// MT19937 against the standard library's, the self-seed, and the range mapping.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "library/core/random.h"

// The 1998 reference seeding routine, written independently of the library.
static std::mt19937 ReferenceGenerator(uint32_t seed) {
    std::ostringstream words;
    uint32_t x = seed;
    for (int k = 0; k < 624; k++) {
        uint32_t word = x & 0xFFFF0000u;
        x = x * 69069u + 1u;
        word |= x >> 16;
        x = x * 69069u + 1u;
        words << word << ' ';
    }
    words << 624;  // index: the next draw generates a block
    std::istringstream in(words.str());
    std::mt19937 generator;
    in >> generator;
    return generator;
}

TEST(Random, MatchesTheReferenceGeneratorOverSeveralBlocks) {
    std::mt19937 reference = ReferenceGenerator(19650218u);
    SeedRandom(19650218u);
    for (int i = 0; i < 2000; i++) ASSERT_EQ(NextRandom32(), reference()) << i;
}

TEST(Random, UnseededGeneratorSeedsItselfWith4357) {
    std::mt19937 reference = ReferenceGenerator(4357u);
    RandomGenerator.seeded = 0;
    RandomGenerator.index = RandomStateWords;
    for (int i = 0; i < 700; i++) ASSERT_EQ(NextRandom32(), reference()) << i;
}

TEST(Random, RangeMapping) {
    struct {
        uint32_t r;
        int n;
        int value;
    } cases[] = {{0xFFFFFFFFu, 0, 0},  {0xAAAAAAAAu, 2, 1}, {0xAAAAAAABu, 2, 2}, {0, 2, 0},
                 {0xFFFFFFFFu, 99, 99}, {0x80000000u, 1, 1}, {0xFFFFFFFFu, -5, 0},
                 {0xFFFFFFFFu, 0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& c : cases) EXPECT_EQ(MapRandomToRange(c.r, c.n), c.value) << c.r << " " << c.n;
    SeedRandom(1);
    for (int i = 0; i < 100; i++) {
        int v = GetRandomIntCore(6);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 6);
    }
    EXPECT_EQ(GetRandomIntCore(-1), 0);
}
