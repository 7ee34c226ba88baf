// The software images' preset colour formats, by kind, alpha flag and palette flag.
#include "library/softrender/memimg_formats.h"

#include <gtest/gtest.h>

namespace {

TEST(MemImgFormats, PresetsByKindAndFlags) {
    struct Row {
        int kind, alpha, palette;
        int bits;
        uint32_t r, g, b, a, unused;
    } rows[] = {
        {MemImgFormat16, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 0},
        {MemImgFormat16, 1, 0, 32, 0xF800, 0x07E0, 0x001F, 0xFF0000, 0xFF000000},
        {MemImgFormat16, 0, 1, 8, 0xF800, 0x07E0, 0x001F, 0, 0},
        {MemImgFormat16, 1, 1, 8, 0xF800, 0x07E0, 0x001F, 0xFF0000, 0},
        {MemImgFormat32, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000},
        {MemImgFormat32, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0},
        {MemImgFormat32, 0, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0, 0},
        {MemImgFormat32, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0},
        // The whole-value kinds ignore the flags.
        {MemImgFormat8, 1, 1, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0},
        {MemImgFormatZ16, 0, 1, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << " alpha " << row.alpha << " palette " << row.palette);
        const ColorFormat* f = LookupMemImgColorFormat(row.kind, row.alpha, row.palette);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->bitsPerPixel, row.bits);
        EXPECT_EQ(f->bytesPerPixel, row.bits / 8);
        EXPECT_EQ(f->redMask, row.r);
        EXPECT_EQ(f->greenMask, row.g);
        EXPECT_EQ(f->blueMask, row.b);
        EXPECT_EQ(f->alphaMask, row.a);
        EXPECT_EQ(f->unusedMask, row.unused);
        EXPECT_EQ(LookupMemImgColorFormat(row.kind, row.alpha, row.palette), f);  // built once
    }
    const ColorFormat* z16 = LookupMemImgColorFormat(MemImgFormatZ16, 0, 0);
    EXPECT_EQ(z16->redWidth, 16);
    EXPECT_EQ(z16->redShift, 0);
    EXPECT_EQ(LookupMemImgColorFormat(MemImgFormat8, 0, 0)->alphaWidth, 8);
    EXPECT_EQ(LookupMemImgColorFormat(4, 0, 0), nullptr);
    EXPECT_EQ(LookupMemImgColorFormat(-1, 0, 0), nullptr);
}

}  // namespace
