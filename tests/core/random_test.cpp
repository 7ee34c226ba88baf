// MT19937 against the standard library's, the self-seed, and the range mapping.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

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
                 {0xFFFFFFFFu, 0x7FFFFFFF, 0x7FFFFFFF},
                 // A negative bound: the same shares over n..0, the lowest word at n.
                 {0, -5, -5}, {0xAAAAAAAAu, -2, -1}, {0xAAAAAAABu, -2, 0}, {0x7FFFFFFFu, -1, -1},
                 {0x80000000u, -1, 0}, {0, INT32_MIN, INT32_MIN}, {0x80000000u, INT32_MIN, -0x3FFFFFFF - 1},
                 {0xFFFFFFFFu, INT32_MIN, 0}};
    for (const auto& c : cases) EXPECT_EQ(MapRandomToRange(c.r, c.n), c.value) << c.r << " " << c.n;
    SeedRandom(1);
    for (int i = 0; i < 100; i++) {
        int v = GetRandomIntCore(6);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 6);
    }
}

// Both signs draw every value of their range about equally often, never one outside.
TEST(Random, DrawsSpreadEvenlyOverZeroToNForEitherSign) {
    for (int n : {6, -6, -1}) {
        SCOPED_TRACE(n);
        SeedRandom(7);
        const int values = (n < 0 ? -n : n) + 1, draws = 1000 * values;
        std::vector<int> counts(static_cast<size_t>(values));
        for (int i = 0; i < draws; i++) {
            const int v = GetRandomIntCore(n);
            ASSERT_TRUE(n < 0 ? (v >= n && v <= 0) : (v >= 0 && v <= n)) << v;
            counts[static_cast<size_t>(n < 0 ? v - n : v)]++;
        }
        for (int k = 0; k < values; k++) {
            EXPECT_GT(counts[static_cast<size_t>(k)], 880) << "value " << (n < 0 ? n + k : k);
            EXPECT_LT(counts[static_cast<size_t>(k)], 1120) << "value " << (n < 0 ? n + k : k);
        }
    }
}
