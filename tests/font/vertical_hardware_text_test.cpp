// Vertical text on the Direct3D route: each glyph is the cache graph drawn turned and
// cut out by a draw area narrowed to the glyph's footprint. The narrowed area lies
// inside the caller's draw area, so the text is clipped as the software route clips
// it, and it is exactly the glyph's footprint, so no row of the cache texture beside
// the glyph's box (left there by a glyph the ring has evicted) can show.
#include "font/font_test_support.h"

using namespace fonttest;

namespace {

constexpr int ScreenWidth = 256, ScreenHeight = 256;
const char* const VerticalText = "AGあIB";

class VerticalHardwareTextTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartRoute(TextRoute::Direct3D, ScreenWidth, ScreenHeight);
    }
    static uint32_t White() { return uint32_t(RgbToScreenPixel(255, 255, 255)); }
    static uint32_t Blue() { return uint32_t(RgbToScreenPixel(0, 0, 255)); }

    // Where the back screen holds ink ('#') after the draw, which runs with the draw
    // area set to `area` (the whole screen again afterwards).
    template <typename Draw>
    static std::string HardwareInk(const RECT& area, Draw draw) {
        SetDrawClipRect(0, 0, ScreenWidth, ScreenHeight);
        ClearCurrentScreenCore();
        SetDrawClipRect(area.left, area.top, area.right, area.bottom);
        draw();
        SetDrawClipRect(0, 0, ScreenWidth, ScreenHeight);
        const std::vector<uint32_t> rgb = BackScreenRgb();
        return Rows(ScreenWidth, ScreenHeight, [&](int x, int y) { return rgb[size_t(y) * ScreenWidth + x] ? '#' : '.'; });
    }
    // The same text drawn by the software route's glyph writer, clipped to `area`,
    // with a memory-strip font of the type.
    static std::string SoftwareInk(int type, const RECT& area, int x, int y) {
        const int useHardware = g_DrawState.useHardware3D;
        g_DrawState.useHardware3D = 0;
        const FontHandle font = MakeFont(type);
        g_DrawState.useHardware3D = useHardware;
        EXPECT_EQ(0, GetFontRecord(font)->textureCacheFlag);
        TargetImage image(ScreenWidth, ScreenHeight, MemImgFormat32, 1);
        DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, VerticalText, White(), &image, &area, 1, font, Blue(), -1, 1,
                                  nullptr);
        DestroyFontHandle(font);
        return Rows(image, [](uint32_t v) { return v != 0 ? '#' : '.'; });
    }
};

// Draw areas across the column of text at (10, 3): the whole screen, boxes cutting
// through glyphs on every side, a single row and a single column, and one beside the
// text.
const RECT DrawAreas[] = {
    {0, 0, ScreenWidth, ScreenHeight}, {14, 8, 19, 30}, {12, 5, 22, 20}, {0, 12, ScreenWidth, 13},
    {17, 0, 18, ScreenHeight},         {0, 20, 16, 40}, {40, 0, ScreenWidth, ScreenHeight},
};

TEST_F(VerticalHardwareTextTest, TheDrawAreaClipsVerticalTextAsOnTheSoftwareRoute) {
    for (int type = 0; type < 4; type++) {
        const FontHandle font = MakeFont(type);
        ASSERT_EQ(1, GetFontRecord(font)->textureCacheFlag);
        for (const RECT& area : DrawAreas) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", area " << area.left << "," << area.top << ","
                                              << area.right << "," << area.bottom);
            const std::string expected = SoftwareInk(type, area, 10, 3);
            const std::string drawn = HardwareInk(area, [&] {
                EXPECT_EQ(0, DrawTextWithFontHandle(10, 3, VerticalText, int(White()), font, int(Blue()), 1));
            });
            EXPECT_EQ(expected, drawn);
            if (area.left == 0 && area.top == 0 && area.right == ScreenWidth && area.bottom == ScreenHeight) {
                EXPECT_NE(std::string::npos, expected.find('#'));
            }
        }
        // The caller's draw area is back after the string.
        SetDrawClipRect(5, 6, 30, 40);
        DrawTextWithFontHandle(10, 3, VerticalText, int(White()), font, int(Blue()), 1);
        EXPECT_EQ(5, g_DrawState.clipRect.left);
        EXPECT_EQ(6, g_DrawState.clipRect.top);
        EXPECT_EQ(30, g_DrawState.clipRect.right);
        EXPECT_EQ(40, g_DrawState.clipRect.bottom);
        DestroyFontHandle(font);
    }
}

TEST_F(VerticalHardwareTextTest, ScaledVerticalTextStaysInsideTheDrawArea) {
    for (int type = 0; type < 4; type++) {
        const FontHandle font = MakeFont(type);
        for (const RECT& area : DrawAreas) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", area " << area.left << "," << area.top);
            const std::string drawn = HardwareInk(area, [&] {
                DrawOrMeasureTextWithFont(1, 4, 2, 1, 2.0, 1.5, VerticalText, White(), nullptr, nullptr, 1, font,
                                          Blue(), -1, 1, nullptr);
            });
            int inside = 0, outside = 0;
            for (int y = 0; y < ScreenHeight; y++)
                for (int x = 0; x < ScreenWidth; x++) {
                    if (drawn[size_t(y) * (ScreenWidth + 1) + x] != '#') continue;
                    const bool within = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
                    (within ? inside : outside)++;
                }
            EXPECT_EQ(0, outside);
            if (area.left == 0 && area.top == 0 && area.right == ScreenWidth && area.bottom == ScreenHeight) {
                EXPECT_GT(inside, 0);
            }
        }
        DestroyFontHandle(font);
    }
}

// A face whose cells are so wide that the texture cache holds 21 of them: every code
// without a glyph of its own is a 6 x 12 block, 'B' is a 2 x 2 box at the top.
FakeFontFace TallFace() {
    FakeFontFace face = GothicFace();
    face.face = "Tall";
    face.metrics.tmMaxCharWidth = 134;
    face.missing = {0, 0, 10, 8, "######/######/######/######/######/######/######/######/######/######/######/######"};
    return face;
}

TEST_F(VerticalHardwareTextTest, NoRowOfAnEvictedGlyphShowsBesideAGlyph) {
    UseFakeFontsForTest({TallFace()});
    for (int type = 0; type < 4; type++) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        const FontHandle font = CreateFontToHandle("Tall", 12, 6, type, -1, -1, 0, -1, -1);
        const FontRecord* record = GetFontRecord(font);
        ASSERT_NE(nullptr, record);
        ASSERT_EQ(1, record->textureCacheFlag);
        ASSERT_EQ(21, record->capacity);
        // 26 blocks: the ring wraps, and each cell holds a block's pixels.
        DrawTextWithFontHandle(0, 0, "abcdefghijklmnopqrstuvwxyz", int(White()), font, int(Blue()), 1);
        // Each short glyph now takes the cell of a block. Its ink lies inside its
        // footprint: the columns X1 - box height .. X1 - 1 and rows Y1 .. Y1 + box width - 1.
        for (const char* text : {"B", "A", "I", "B"}) {
            const int x = 20, y = 10;
            const std::string drawn = HardwareInk(RECT{0, 0, ScreenWidth, ScreenHeight}, [&] {
                EXPECT_EQ(0, DrawTextWithFontHandle(x, y, text, int(White()), font, int(Blue()), 1));
            });
            const GlyphCacheEntry* glyph = record->glyphMap[uint8_t(text[0])].entry;
            ASSERT_NE(nullptr, glyph);
            const int x1 = x + record->lineHeight - glyph->offsetY, y1 = y + glyph->offsetX;
            int inside = 0, outside = 0;
            for (int py = 0; py < ScreenHeight; py++)
                for (int px = 0; px < ScreenWidth; px++) {
                    if (drawn[size_t(py) * (ScreenWidth + 1) + px] != '#') continue;
                    const bool within =
                        px >= x1 - glyph->boxHeight && px < x1 && py >= y1 && py < y1 + glyph->boxWidth;
                    (within ? inside : outside)++;
                }
            EXPECT_GT(inside, 0) << text;
            EXPECT_EQ(0, outside) << text;
        }
        DestroyFontHandle(font);
    }
}

}  // namespace
