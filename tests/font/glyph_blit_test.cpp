// The software glyph blitter: strip values to destination pixels for every font type
// and pixel layout, coverage and the body/outline mix, clipping in both orientations,
// the transparent flag, and the layout taken from the destination image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "font/font_test_support.h"

using namespace fonttest;

namespace {

// A font record with a hand-made strip holding one glyph cell at (sourceLeft, 0).
struct StripGlyph {
    FontRecord* font;
    std::vector<uint8_t> strip;
    GlyphCacheEntry glyph{};
    RECT source{};

    // values: rows of strip values (bits for type 0).
    StripGlyph(int type, const std::vector<std::vector<int>>& values, int sourceLeft = 0)
        : font(static_cast<FontRecord*>(std::calloc(1, sizeof(FontRecord)))) {
        const int height = int(values.size()), width = int(values[0].size());
        font->typeFlags = type;
        font->stripBits = type == 0 ? 1 : 8;
        font->cellSize = 16;
        font->stripPitch = (font->stripBits * (sourceLeft + width + 16) + 7) / 8;
        font->lineHeight = 10;
        font->cellsPerColumn = 1;
        // The strip ends right after the glyph's last row: a read past it is caught.
        strip.assign(size_t(font->stripPitch) * height, 0);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint8_t* row = strip.data() + size_t(y) * font->stripPitch;
                const int column = sourceLeft + x;
                if (type == 0) {
                    if (values[y][x]) row[column / 8] |= uint8_t(0x80 >> (column % 8));
                } else {
                    row[column] = uint8_t(values[y][x]);
                }
            }
        font->strip = strip.data();
        glyph.boxWidth = int16_t(width);
        glyph.boxHeight = int16_t(height);
        source = {sourceLeft, 0, sourceLeft + width, height};
    }
    ~StripGlyph() { std::free(font); }
    StripGlyph(const StripGlyph&) = delete;
    StripGlyph& operator=(const StripGlyph&) = delete;

    void Blit(TargetImage& image, int x, int y, uint32_t body, uint32_t edge, int transparent = 1, int vertical = 0,
              const RECT* clip = nullptr) {
        const RECT whole = {0, 0, image.image.width, image.image.height};
        BlitGlyphToMemImg(&image, clip != nullptr ? clip : &whole, font, &glyph, &source, x, y, 0, vertical, body,
                          edge, transparent);
    }
};

constexpr uint32_t Body = 1, Edge = 2, Sentinel = 0xDEADBEEF;

char Name(uint32_t value) { return value == Body ? 'T' : value == Edge ? 'E' : value == 0 ? '.' : '?'; }

TEST(GlyphBlitTest, PlainAndOutlinedTypesInEveryPixelSize) {
    const std::vector<std::vector<int>> outlined = {{1, 2, 0}, {0, 1, 7}};
    for (int kind : {MemImgFormat16, MemImgFormat32, MemImgFormat8}) {
        TargetImage image(5, 3, kind);
        StripGlyph(FontTypeOutlined, outlined).Blit(image, 1, 1, Body, Edge);
        EXPECT_EQ("...../.TE../..TE.", Rows(image, Name)) << kind;
    }
    // Type 0 reads bits; a 16-bit image with alpha gets the colour fully opaque.
    TargetImage alpha16(4, 1, MemImgFormat16, 1);
    StripGlyph(0, {{1, 0, 1}}).Blit(alpha16, 0, 0, 0xF800, Edge);
    EXPECT_EQ(0x00FFF800u, alpha16.At(0, 0));
    EXPECT_EQ(0u, alpha16.At(1, 0));
    EXPECT_EQ(0x00FFF800u, alpha16.At(2, 0));
}

TEST(GlyphBlitTest, GreyLevelsCarryTheirCoverageInTheAlphaByte) {
    // Type 2: value v (level - 1) gives alpha 16 v; 0 leaves the pixel.
    TargetImage image16(3, 1, MemImgFormat16, 1);
    FillMemImgRectRaw(&image16, nullptr, Sentinel);
    StripGlyph(FontTypeGreyLevels, {{15, 0, 1}}).Blit(image16, 0, 0, 0xF800, 0);
    EXPECT_EQ(0x00F0F800u, image16.At(0, 0));  // RGB565 word, alpha 240, pad 0
    EXPECT_EQ(Sentinel, image16.At(1, 0));
    EXPECT_EQ(0x0010F800u, image16.At(2, 0));

    TargetImage image32(1, 1, MemImgFormat32, 1);
    StripGlyph(FontTypeGreyLevels, {{15}}).Blit(image32, 0, 0, 0x00FF0000, 0);
    EXPECT_EQ(0xF0FF0000u, image32.At(0, 0));
}

TEST(GlyphBlitTest, OutlinedGreyLevelsMixBodyAndOutline) {
    // Low nibble b (body), high nibble e (outline). b = 15: the body colour, alpha 255;
    // b = 8, e = 15: A = 7 x 15 + 128 = 233, f = 8 x 4096 / 233 = 140, each channel
    // E + floor((T - E) x 140 / 256); b = 0, e = 3: the outline colour, alpha 48.
    const std::vector<std::vector<int>> values = {{0xFF, 0xF8, 0x30, 0x00}};
    TargetImage image32(4, 1, MemImgFormat32, 1);
    StripGlyph(FontTypeOutlined | FontTypeGreyLevels, values).Blit(image32, 0, 0, 0x00FF8010, 0x00102030);
    EXPECT_EQ(0xFFFF8010u, image32.At(0, 0));
    // R 0x10 + 130, G 0x20 + 52, B 0x30 + floor(-32 x 140 / 256) = 48 - 18.
    EXPECT_EQ(0xE992541Eu, image32.At(1, 0));
    EXPECT_EQ(0x30102030u, image32.At(2, 0));
    EXPECT_EQ(0u, image32.At(3, 0));

    // The same per 5/6/5 field: T = (31, 32, 2), E = (2, 4, 6).
    TargetImage image16(4, 1, MemImgFormat16, 1);
    StripGlyph(FontTypeOutlined | FontTypeGreyLevels, values).Blit(image16, 0, 0, 0xFC02, 0x1086);
    EXPECT_EQ(0x00FFFC02u, image16.At(0, 0));
    EXPECT_EQ(0x00E98A63u, image16.At(1, 0));  // (2 + 15, 4 + 15, 6 - 3)
    EXPECT_EQ(0x00301086u, image16.At(2, 0));
}

TEST(GlyphBlitTest, CoverageNeedsAnImageThatCanHoldIt) {
    // Grey levels write nothing into 1-byte images (8-bit screens) and into 16-bit
    // images without alpha, whatever the screen's depth.
    for (int kind : {MemImgFormat8, MemImgFormat16}) {
        TargetImage image(2, 1, kind);
        FillMemImgRectRaw(&image, nullptr, 0x55);
        StripGlyph(FontTypeGreyLevels, {{15, 3}}).Blit(image, 0, 0, 0xFFFF, 0, 0);
        StripGlyph(FontTypeOutlined | FontTypeGreyLevels, {{0xFF, 0x30}}).Blit(image, 0, 0, 0xFFFF, 0, 0);
        EXPECT_EQ(0x55u, image.At(0, 0)) << kind;
        EXPECT_EQ(0x55u, image.At(1, 0)) << kind;
    }
}

TEST(GlyphBlitTest, WithoutTheTransparentFlagUncoveredPixelsAreCleared) {
    TargetImage image(3, 1, MemImgFormat32, 1);
    FillMemImgRectRaw(&image, nullptr, Sentinel);
    StripGlyph(FontTypeGreyLevels, {{0, 15, 0}}).Blit(image, 0, 0, 0x00FFFFFF, 0, 0);
    EXPECT_EQ(0u, image.At(0, 0));  // the whole pixel, alpha included
    EXPECT_EQ(0xF0FFFFFFu, image.At(1, 0));
    EXPECT_EQ(0u, image.At(2, 0));
}

TEST(GlyphBlitTest, HorizontalClipping) {
    const std::vector<std::vector<int>> values = {{1, 2, 1}, {2, 1, 2}};
    struct Case {
        RECT clip;
        const char* expected;
    };
    const Case cases[] = {
        {{0, 0, 5, 4}, "...../.TET./.ETE./....."},
        {{2, 0, 5, 4}, "...../..ET./..TE./....."},  // left part outside
        {{0, 2, 3, 4}, "...../...../.ET../....."},  // top row and right part outside
        {{4, 0, 5, 4}, "...../...../...../....."},  // wholly outside
        {{-10, -10, 50, 50}, "...../.TET./.ETE./....."},  // larger than the image: the image bounds
    };
    for (const Case& c : cases) {
        TargetImage image(5, 4, MemImgFormat16);
        StripGlyph(FontTypeOutlined, values).Blit(image, 1, 1, Body, Edge, 1, 0, &c.clip);
        EXPECT_EQ(c.expected, Rows(image, Name)) << c.clip.left << "," << c.clip.top;
    }
}

TEST(GlyphBlitTest, VerticalGlyphsTurnClockwise) {
    // Source (i, j) lands on (X1 - 1 - j, Y1 + i) with X1 = x + line height - y offset:
    // the glyph's top faces right and it reads down.
    const std::vector<std::vector<int>> values = {{1, 2, 0}, {0, 1, 2}};
    struct Case {
        RECT clip;
        const char* expected;
    };
    const Case cases[] = {
        {{0, 0, 12, 4}, ".........T../........TE../........E.../............"},
        // The right edge at column 9 drops the glyph's top source row.
        {{0, 0, 9, 4}, "............/........T.../........E.../............"},
        // The bottom edge at row 2 drops the source columns from the right.
        {{0, 0, 12, 2}, ".........T../........TE../............/............"},
    };
    for (const Case& c : cases) {
        TargetImage image(12, 4, MemImgFormat32);
        StripGlyph(FontTypeOutlined, values).Blit(image, 0, 0, Body, Edge, 1, 1, &c.clip);
        EXPECT_EQ(c.expected, Rows(image, Name)) << c.clip.right << "," << c.clip.bottom;
    }
}

TEST(GlyphBlitTest, OneBitCellsReadTheSameAtAnyBitOffset) {
    // 19 pixels across three bytes, at bit offset 0 and at bit offset 5; the strip ends
    // with the glyph's last row, so no read goes past it.
    std::vector<int> row(19);
    for (int i = 0; i < 19; i++) row[i] = (i * 7 + 3) % 5 < 2;
    const std::vector<std::vector<int>> values = {row, std::vector<int>(row.rbegin(), row.rend())};
    TargetImage aligned(20, 2, MemImgFormat16), offset(20, 2, MemImgFormat16);
    StripGlyph(0, values, 0).Blit(aligned, 0, 0, Body, Edge);
    StripGlyph(0, values, 5).Blit(offset, 0, 0, Body, Edge);
    EXPECT_EQ(Rows(aligned, Name), Rows(offset, Name));
    std::string expected;
    for (int i = 0; i < 19; i++) expected += row[i] ? 'T' : '.';
    EXPECT_EQ(expected + ".", Rows(aligned, Name).substr(0, 20));
}

}  // namespace
