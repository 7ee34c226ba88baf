// The texture glyph cache of the hardware path, run through the graph drawers. This
// machine has no Direct3D, so fonts are switched to the texture cache by hand with the
// texture formats the cache asks for; the cache graph is then an ordinary graph, and
// horizontal glyphs drawn from it land where the memory-strip path puts them.
#include "font/font_test_support.h"
#include "library/core/alloc.h"
#include "library/display/surface2d.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"

using namespace fonttest;

namespace {

class TextureCacheTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartSoftware(32, 96, 48);
        InitColorFormatFromMasks(&argb4444_, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
        InitColorFormatFromMasks(&argb1555_, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    }
    // A font made with the memory strip, then set up as font creation sets up a
    // texture-cache font where Direct3D offers A4R4G4B4 and A1R5G5B5.
    FontHandle MakeTextureFont(int type, int edge = -1) {
        const FontHandle font = MakeFont(type, edge);
        FontRecord* record = GetFontRecord(font);
        ZqFree(record->strip);
        record->strip = nullptr;
        DeleteSurface2D(record->drawScreenSurface);
        record->drawScreenSurface = -1;
        record->drawScreenPending = 0;
        record->textureCacheFlag = 1;
        EXPECT_EQ(0, SetUpFontTextureCache(record, (type & FontTypeGreyLevels) ? &argb4444_ : &argb1555_));
        return font;
    }
    // Where the string leaves ink ('#'): on the back screen through the texture cache,
    // or in an image through the memory strip.
    std::string TextureInk(FontHandle font, const char* text, int width, int height, int vertical = 0,
                           double scale = 1.0) {
        FillMemImgRectRaw(&BackMemImg, nullptr, 0);
        EXPECT_LE(0, DrawOrMeasureTextWithFont(1, 1, 0, scale != 1.0, scale, scale, text,
                                               uint32_t(RgbToScreenPixel(255, 255, 255)), nullptr, nullptr, 1, font,
                                               uint32_t(RgbToScreenPixel(0, 0, 255)), -1, vertical, nullptr));
        return Rows(width, height, [](int x, int y) {
            uint32_t v;
            std::memcpy(&v, MemImgPixelAddress(&BackMemImg, x, y), 4);
            return (v & 0xFFFFFF) != 0 ? '#' : '.';
        });
    }
    static std::string StripInk(FontHandle font, const char* text, int width, int height) {
        TargetImage image(width, height, MemImgFormat32, 1);
        DrawOrMeasureTextWithFont(1, 1, 0, 0, 1.0, 1.0, text, uint32_t(RgbToScreenPixel(255, 255, 255)), &image,
                                  nullptr, 1, font, uint32_t(RgbToScreenPixel(0, 0, 255)), -1, 0, nullptr);
        return Rows(image, [](uint32_t v) { return (v >> 24) != 0 ? '#' : '.'; });
    }

    ColorFormat argb4444_{}, argb1555_{};
};

TEST_F(TextureCacheTest, TheCacheGraphIsLaidOutAndMadeWithTheFontsOwnOptions) {
    g_DrawState.newGraphAlphaChannel = 0;
    g_DrawState.newGraphAlphaTest = 1;
    g_DrawState.newGraphColorBits = 32;
    const FontHandle font = MakeTextureFont(FontTypeOutlined | FontTypeGreyLevels, 2);
    const FontRecord* record = GetFontRecord(font);
    // Cells of 16 (8 + 2 + 4 rounded up): 512 x 512 holds 1024 of them.
    EXPECT_EQ(512, record->cacheWidth);
    EXPECT_EQ(512, record->cacheHeight);
    EXPECT_EQ(1024, record->capacity);
    EXPECT_EQ(32, record->cellsPerColumn);
    EXPECT_EQ(32, record->workImage.width);  // body and outline side by side
    EXPECT_EQ(16 + 4, record->workImage.height);

    const GraphRecord* cache = GetGraphRecord(record->cacheGraph);
    const GraphRecord* edge = GetGraphRecord(record->edgeGraph);
    ASSERT_NE(nullptr, cache);
    ASSERT_NE(nullptr, edge);
    EXPECT_EQ(1024, cache->width);  // twice as wide for the outlines
    EXPECT_EQ(512, edge->width);
    EXPECT_EQ(1, cache->alphaChannelFlag);
    // The caller's creation options are back.
    EXPECT_EQ(0, g_DrawState.newGraphAlphaChannel);
    EXPECT_EQ(1, g_DrawState.newGraphAlphaTest);
    EXPECT_EQ(32, g_DrawState.newGraphColorBits);

    // Larger cells grow the texture until it holds 10.
    FakeFontFace wide = GothicFace();
    wide.face = "Huge";
    wide.metrics.tmMaxCharWidth = 262;  // cell 264: 2048 x 1024 holds 7 x 3
    UseFakeFontsForTest({wide});
    const FontHandle huge = CreateFontToHandle("Huge", 12, 6, FontTypeGreyLevels, -1, -1, 0, -1, -1);
    FontRecord* hugeRecord = GetFontRecord(huge);
    ZqFree(hugeRecord->strip);
    hugeRecord->strip = nullptr;
    hugeRecord->textureCacheFlag = 1;
    ASSERT_EQ(0, SetUpFontTextureCache(hugeRecord, &argb4444_));
    EXPECT_EQ(2048, hugeRecord->cacheWidth);
    EXPECT_EQ(1024, hugeRecord->cacheHeight);
    EXPECT_EQ(21, hugeRecord->capacity);
}

TEST_F(TextureCacheTest, GlyphsLandWhereTheMemoryStripPutsThem) {
    for (int type : {int(FontTypeGreyLevels), FontTypeGreyLevels | FontTypeOutlined}) {
        const std::string strip = StripInk(MakeFont(type, 1), "Gあ", 16, 6);
        EXPECT_EQ(strip, TextureInk(MakeTextureFont(type, 1), "Gあ", 16, 6)) << type;
        EXPECT_NE(std::string::npos, strip.find('#'));
    }
}

// A vertical glyph is the whole cache graph drawn turned onto four corners and cut out
// by a draw area of the glyph's footprint. The string drawer moves the corners back by
// half a pixel to meet Direct3D's pixel centres; the software corner draw, which draws
// here in place of the device, cuts them toward zero, so a corner at a positive
// coordinate moves back a whole pixel and one at zero or below stays. The turned
// graph's 512 texel rows then span 511 columns, counted from the leftmost corner,
// which lies at a negative column whose pixel centre the filler rounds toward zero, one
// column right. So, next to the memory strip's picture, both glyphs lie one column
// right, and their right-facing top row falls outside the footprint ('G', in the
// cache's first cell row, loses it past the triangles' edge as well); 'あ', whose
// corners start below row 0, also lands one row up, its first column cut off too. (On
// the Direct3D device vertical glyphs land exactly where the memory strip puts them.)
TEST_F(TextureCacheTest, VerticalGlyphsComeOutOfTheTurnedCacheGraph) {
    struct Case {
        int type;
        const char* ink;
    };
    const Case cases[] = {
        {FontTypeGreyLevels,
         "............#.../"
         "............#.../"
         "................/"
         "................/"
         "................/"
         "............#.../"
         "............#.../"
         "...........#..../"
         "................/"
         "................/"
         "................/"
         "................/"
         "................"},
        // Outline (edge 1) and body: both layers land alike.
        {FontTypeGreyLevels | FontTypeOutlined,
         ".............#../"
         "............###./"
         "............###./"
         ".............##./"
         "................/"
         "................/"
         "................/"
         "...........####./"
         "............###./"
         "............###./"
         "...........####./"
         "............#.#./"
         "................"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ink, TextureInk(MakeTextureFont(c.type, 1), "Gあ", 16, 13, 1)) << c.type;
}

TEST_F(TextureCacheTest, ScalesStretchTheGlyphsAndThePen) {
    // 'I' is a 1 x 4 box with advance 3 at the line's top.
    const FontHandle font = MakeTextureFont(0);
    // Measuring takes the scales whatever the scale flag; the pen is cut once, at the end.
    EXPECT_EQ(7, DrawOrMeasureTextWithFont(0, 0, 0, 0, 2.5, 1.0, "I", 0, nullptr, nullptr, 1, font, 0, -1, 0, nullptr));
    EXPECT_EQ(15, DrawOrMeasureTextWithFont(0, 0, 0, 0, 2.5, 1.0, "II", 0, nullptr, nullptr, 1, font, 0, -1, 0,
                                            nullptr));
    EXPECT_EQ(6, DrawOrMeasureTextWithFont(0, 0, 0, 0, 2.5, 2.0, "I", 0, nullptr, nullptr, 1, font, 0, -1, 1, nullptr));
    // Drawing with the scale flag stretches the cell: twice as wide and tall at x 1.
    EXPECT_EQ(".##...../.##...../.##...../.##...../.##...../.##...../.##...../.##...../......../........",
              TextureInk(font, "I", 8, 10, 0, 2.0));
    // Scaled vertical glyphs are drawn from a graph of their cell, deleted again, and
    // stay inside the column the glyph turns into (x 1 + 2 x 12 - 8 .. 25, rows 0, 1).
    const int graphs = GraphTable.liveCount;
    const std::string turned = TextureInk(font, "I", 30, 4, 1, 2.0);
    EXPECT_EQ(graphs, GraphTable.liveCount);
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 30; x++) {
            if (turned[size_t(y) * 31 + x] == '#') {
                EXPECT_TRUE(x >= 17 && x < 25 && y < 2) << x << "," << y;
            }
        }
    }
}

TEST_F(TextureCacheTest, AVerticalDrawWithoutItsCacheGraphDrawsNothing) {
    // A cache graph gone without its pending flag set (nothing to make again): the
    // turned draw needs the graph's size and skips the glyph.
    const FontHandle font = MakeTextureFont(FontTypeGreyLevels);
    FontRecord* record = GetFontRecord(font);
    DeleteGraphHandle(record->cacheGraph, 0);
    record->cacheGraphPending = 0;
    const RECT area = g_DrawState.clipRect;
    EXPECT_EQ(5, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1.0, 1.0, "G", 0xFFFFFF, nullptr, nullptr, 1, font, 0, -1, 1,
                                           nullptr));
    EXPECT_EQ(area.right, g_DrawState.clipRect.right);
    EXPECT_EQ(area.bottom, g_DrawState.clipRect.bottom);
}

TEST_F(TextureCacheTest, TheDrawStateIsPutBackAfterEachGlyph) {
    const FontHandle font = MakeTextureFont(FontTypeGreyLevels | FontTypeOutlined, 1);
    g_DrawState.brightness = 0x80C0FF;
    const RECT area = {2, 1, 60, 40};
    g_DrawState.clipRect = area;
    for (int vertical : {0, 1}) {
        EXPECT_EQ(7 + 14, DrawOrMeasureTextWithFont(1, 4, 4, 0, 1.0, 1.0, "Gあ", 0xFFFFFFFF, nullptr, nullptr, 1, font, 0,
                                                -1, vertical, nullptr));
        EXPECT_EQ(0x80C0FFu, g_DrawState.brightness);
        EXPECT_EQ(-1, g_DrawState.blendGraph);
        EXPECT_EQ(area.left, g_DrawState.clipRect.left);
        EXPECT_EQ(area.right, g_DrawState.clipRect.right);
        EXPECT_EQ(area.bottom, g_DrawState.clipRect.bottom);
    }
    g_DrawState.brightness = BrightnessNeutral;
}

TEST_F(TextureCacheTest, AFailedRemakeOfTheCacheGraphIsReportedAndTriedAgain) {
    const FontHandle font = MakeTextureFont(FontTypeGreyLevels);
    FontRecord* record = GetFontRecord(font);
    EXPECT_LE(0, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "G", 0xFFFFFF, nullptr, nullptr, 1, font, 0, -1, 0, nullptr));
    ASSERT_EQ(1, record->glyphMap['G'].present);

    // Graph management deletes the graph (as on a device loss): the pending flag is set.
    DeleteGraphHandle(record->cacheGraph, 0);
    EXPECT_EQ(1, record->cacheGraphPending);
    // The remake fails (a texture no surface can hold): the draw says so, and the flag
    // stays set for the next draw.
    record->cacheWidth = 70000;
    EXPECT_EQ(-1, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "G", 0xFFFFFF, nullptr, nullptr, 1, font, 0, -1, 0, nullptr));
    EXPECT_EQ(1, record->cacheGraphPending);
    record->cacheWidth = 512;
    EXPECT_LE(0, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "G", 0xFFFFFF, nullptr, nullptr, 1, font, 0, -1, 0, nullptr));
    EXPECT_EQ(0, record->cacheGraphPending);
    EXPECT_NE(nullptr, GetGraphRecord(record->cacheGraph));
    EXPECT_EQ(1, record->glyphMap['G'].present);  // rendered anew into the new graph
    EXPECT_EQ(1, record->nextSlot);  // the cache was emptied with the new graph
}

}  // namespace
