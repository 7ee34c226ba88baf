// The game's font with the real FreeType fonts (pinned to the IPA and DejaVu files that
// scripts/install-deps installs): type 2 (grey levels), size 18, the empty face of a
// fresh "font.txt" and so the fallback face "ＭＳ ゴシック", which the font layer maps
// onto IPA Gothic. Strings are drawn headless and their ink must lie inside the
// measured width and the line height. Glyph shapes depend on the font version, so only
// where the ink falls is checked.
#include <unistd.h>

#include "font/font_test_support.h"

using namespace fonttest;

namespace {

class RealFontTextTest : public FontTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        FontTest::SetUp();
        for (const std::string& file : PinnedTestFontFiles())
            ASSERT_EQ(0, access(file.c_str(), R_OK)) << file << " is missing: run scripts/install-deps";
        UseRealFontsForTest(PinnedTestFontFiles());
        const bool directDraw = GetParam();
        if (directDraw) {
            StartSurfaces(DesktopFormat::Rgb565, 200, 60);
            ClearBack(0);
        } else {
            StartSoftware(16, 200, 60);
        }
        // The game's settings.
        SetDefaultFontFaceCore("", -1);
        SetDefaultFontTypeCore(FontTypeGreyLevels);
        SetDefaultFontSizeCore(18);
    }
    bool Ink(int x, int y) {
        if (GetParam()) return BackRgbAt(x, y) != 0;
        uint16_t v;
        std::memcpy(&v, MemImgPixelAddress(&BackMemImg, x, y), 2);
        return v != 0;
    }
};

TEST_P(RealFontTextTest, TheGamesFontDrawsInsideItsMetrics) {
    const FontRecord* font = GetFontRecord(FetchDefaultFontHandle());
    ASSERT_NE(nullptr, font);
    EXPECT_EQ("IPAGothic", FontSourceForTest(font->gdiFont));
    EXPECT_EQ(FontTypeGreyLevels, font->typeFlags);
    EXPECT_EQ(18, font->size);
    EXPECT_EQ(18, font->lineHeight);  // the cell height

    const int white = RgbToScreenPixel(255, 255, 255);
    const char* const texts[] = {"Cinderwhirl", "ロード完了"};
    for (int row = 0; row < 2; row++) {
        const char* text = texts[row];
        const int x = 5, y = 4 + row * 28;
        const int width = MeasureTextWidthCore(text, -1, 0);
        EXPECT_GT(width, 0) << text;
        ASSERT_EQ(0, DrawTextAtCore(x, y, text, white, 0)) << text;
        int inside = 0, outside = 0;
        for (int py = y - 4; py < y + font->lineHeight + 4; py++)
            for (int px = 0; px < 200; px++) {
                if (!Ink(px, py)) continue;
                const bool within = px >= x && px < x + width && py >= y && py < y + font->lineHeight;
                (within ? inside : outside)++;
            }
        EXPECT_GT(inside, 40) << text;
        EXPECT_EQ(0, outside) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, RealFontTextTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "DirectDraw" : "Software");
                         });

}  // namespace
