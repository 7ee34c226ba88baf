// The three blend lookup tables: the telling entries, and the properties every entry keeps.
#include "library/display/blend_tables.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class BlendTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildBlendTables(); }
};

const int32_t* SignedRow(int i) { return &BlendSignedMulTable[i][255]; }

TEST_F(BlendTables, TellingEntries) {
    EXPECT_EQ(BlendMulTable[128][255], 128);
    EXPECT_EQ(BlendMulTable[255][128], 128);
    EXPECT_EQ(BlendMulTable[1][254], 0);
    EXPECT_EQ(BlendMulTable[2][128], 1);
    EXPECT_EQ(SignedRow(128)[-255], -128);
    EXPECT_EQ(SignedRow(128)[-1], 0);
    EXPECT_EQ(SignedRow(200)[-100], -78);
    EXPECT_EQ(BlendLerp6Table[32][63][0], 32);
    EXPECT_EQ(BlendLerp6Table[31][0][63], 32);
    EXPECT_EQ(BlendLerp6Table[63][17][40], 17);
    EXPECT_EQ(BlendLerp6Table[0][17][40], 40);
}

TEST_F(BlendTables, MulTableIsSymmetricAndExact) {
    for (int i = 0; i < 256; i++)
        for (int j = 0; j < 256; j++) {
            ASSERT_EQ(BlendMulTable[i][j], BlendMulTable[j][i]) << i << "," << j;
            ASSERT_EQ(BlendMulTable[i][j], i * j / 255) << i << "," << j;
        }
}

TEST_F(BlendTables, SignedMulTableIsOddInTheDifference) {
    for (int i = 0; i < 256; i++) {
        for (int d = 0; d <= 255; d++) ASSERT_EQ(SignedRow(i)[-d], -SignedRow(i)[d]) << i << "," << d;
        EXPECT_EQ(BlendSignedMulTable[i][511], 0);  // never written
    }
    for (int j = -255; j <= 255; j++) {
        EXPECT_EQ(SignedRow(0)[j], 0);
        EXPECT_EQ(SignedRow(255)[j], j);
    }
}

TEST_F(BlendTables, LerpEntriesLieBetweenTheirInputs) {
    for (int w = 0; w < 64; w++)
        for (int a = 0; a < 64; a++)
            for (int b = 0; b < 64; b++) {
                int v = BlendLerp6Table[w][a][b];
                ASSERT_GE(v, std::min(a, b));
                ASSERT_LE(v, std::max(a, b));
            }
}

TEST_F(BlendTables, LayoutMatchesTheRenderersIndexing) {
    EXPECT_EQ(sizeof(BlendMulTable), 262144u);
    EXPECT_EQ(sizeof(BlendSignedMulTable), 524288u);
    EXPECT_EQ(sizeof(BlendLerp6Table), 262144u);
    const uint8_t* base = &BlendLerp6Table[0][0][0];
    EXPECT_EQ(BlendLerp6Table[5][7][9], base[5 * 4096 + 7 * 64 + 9]);
}

}  // namespace
