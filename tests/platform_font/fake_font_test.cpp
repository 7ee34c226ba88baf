// The fake font provider that the library's exact-pixel tests use: fixed metrics and
// glyph pictures returned byte for byte in the platform's layouts, strict face names,
// the call record and the failure injection.
#include "tests/platform_font/font_fixture.h"

using namespace fonttest;

namespace {

FakeFontFace GothicFace() {
    FakeFontFace face;
    face.face = "ＭＳ ゴシック";
    face.metrics.tmHeight = 16;
    face.metrics.tmAscent = 13;
    face.metrics.tmDescent = 3;
    face.metrics.tmMaxCharWidth = 16;
    face.metrics.tmAveCharWidth = 8;
    face.glyphs = {
        {'A', 1, 12, 8, "..#../.#.#./#...#/#####/#...#"},
        {0x82A0, 0, 13, 16, "1234/5678/9abc/defg/#..#"},
        {' ', 0, 0, 8, ""},
        // Wider than the cell: returned as it is, the library must cut it.
        {'W', -2, 14, 8, "#.................#"},
    };
    face.missing = {0, 0, 10, 8, "##/##"};
    return face;
}

class FakeFontTest : public FontTestBase {
protected:
    void SetUp() override {
        FakeFontFace mincho = GothicFace();
        mincho.face = "ＭＳ 明朝";
        mincho.charset = SHIFTJIS_CHARSET;
        mincho.metrics.tmHeight = 20;
        UseFakeFontsForTest({GothicFace(), mincho});
    }
};

} // namespace

TEST_F(FakeFontTest, MetricsAndOneBitGlyphsComeBackExactly) {
    HDC dc = Select(Make(16, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    const TEXTMETRICA given = GothicFace().metrics;
    EXPECT_EQ(0, std::memcmp(&tm, &given, sizeof tm));

    Glyph a = FetchGlyph(dc, 'A', GGO_BITMAP);
    EXPECT_EQ(20u, a.result); // 5 rows of 4 bytes
    EXPECT_EQ(5u, a.gm.gmBlackBoxX);
    EXPECT_EQ(5u, a.gm.gmBlackBoxY);
    EXPECT_EQ(1, a.gm.gmptGlyphOrigin.x);
    EXPECT_EQ(12, a.gm.gmptGlyphOrigin.y);
    EXPECT_EQ(8, a.gm.gmCellIncX);
    EXPECT_EQ(0, a.gm.gmCellIncY);
    const std::vector<uint8_t> rows = {
        0x20, 0, 0, 0, 0x50, 0, 0, 0, 0x88, 0, 0, 0, 0xF8, 0, 0, 0, 0x88, 0, 0, 0,
    };
    EXPECT_EQ(rows, a.bytes);

    // 19 pixels still fit one 4-byte row; every level above 0 is a set bit.
    Glyph wide = FetchGlyph(dc, 'W', GGO_BITMAP);
    EXPECT_EQ((std::vector<uint8_t>{0x80, 0x00, 0x20, 0x00}), wide.bytes);
    EXPECT_EQ(19u, wide.gm.gmBlackBoxX);
    EXPECT_EQ(-2, wide.gm.gmptGlyphOrigin.x);
    Glyph levels = FetchGlyph(dc, 0x82A0, GGO_BITMAP);
    EXPECT_EQ((std::vector<uint8_t>{0xF0, 0, 0, 0, 0xF0, 0, 0, 0, 0xF0, 0, 0, 0, 0xF0, 0, 0, 0, 0x90, 0, 0, 0}),
              levels.bytes);
}

TEST_F(FakeFontTest, GreyGlyphsCarryThePictureLevels) {
    HDC dc = Select(Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    Glyph g = FetchGlyph(dc, 0x82A0, GGO_GRAY4_BITMAP);
    EXPECT_EQ(20u, g.result); // 4 pixels fill the 4-byte row exactly
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16, 0, 0, 16}), g.bytes);

    Glyph a = FetchGlyph(dc, 'A', GGO_GRAY4_BITMAP);
    EXPECT_EQ(40u, a.result); // 5 pixels padded to 8
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 16, 0, 0, 0, 0, 0}),
              std::vector<uint8_t>(a.bytes.begin(), a.bytes.begin() + 8));

    // The other grey formats rescale the 17 levels.
    Glyph two = FetchGlyph(dc, 0x82A0, GGO_GRAY2_BITMAP);
    Glyph eight = FetchGlyph(dc, 0x82A0, GGO_GRAY8_BITMAP);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ((g.bytes[i] * 4 + 8) / 16, two.bytes[i]);
        EXPECT_EQ(g.bytes[i] * 4, eight.bytes[i]);
    }
}

TEST_F(FakeFontTest, BlankAndMissingGlyphs) {
    HDC dc = Select(Make(16, 400, SHIFTJIS_CHARSET, ""));
    GLYPHMETRICS gm{};
    EXPECT_EQ(0u, GetGlyphOutlineA(dc, ' ', GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity));
    EXPECT_EQ(1u, gm.gmBlackBoxX);
    EXPECT_EQ(1u, gm.gmBlackBoxY);
    EXPECT_EQ(8, gm.gmCellIncX);

    Glyph missing = FetchGlyph(dc, 0x8200, GGO_GRAY4_BITMAP);
    EXPECT_EQ(8u, missing.result);
    EXPECT_EQ(2u, missing.gm.gmBlackBoxX);
    EXPECT_EQ(10, missing.gm.gmptGlyphOrigin.y);
    EXPECT_EQ((std::vector<uint8_t>{16, 16, 0, 0, 16, 16, 0, 0}), missing.bytes);
}

TEST_F(FakeFontTest, FaceNamesAreStrictAndRequestsAreRecorded) {
    ClearFontCallRecord();
    EXPECT_EQ(nullptr, Make(16, 400, SHIFTJIS_CHARSET, "Arial")) << "a named face the fake lacks is refused";
    EXPECT_EQ(nullptr, Make(16, 400, DEFAULT_CHARSET, "ＭＳ 明朝")) << "the mincho face answers Shift-JIS only";
    HFONT mincho = Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ 明朝");
    ASSERT_NE(nullptr, mincho);
    EXPECT_EQ("ＭＳ 明朝", FontSourceForTest(mincho));
    EXPECT_EQ(20, Metrics(mincho).tmHeight);
    HFONT empty = Make(16, 400, DEFAULT_CHARSET, nullptr);
    EXPECT_EQ("ＭＳ ゴシック", FontSourceForTest(empty)) << "an empty face takes the first";

    const std::vector<LOGFONTA>& requests = RecordedFontRequests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_STREQ("Arial", requests[0].lfFaceName);
    EXPECT_EQ(16, requests[1].lfHeight);
    EXPECT_EQ(400, requests[1].lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, requests[1].lfCharSet);
    EXPECT_EQ(NONANTIALIASED_QUALITY, requests[2].lfQuality);
    EXPECT_EQ(FIXED_PITCH, requests[2].lfPitchAndFamily);
    EXPECT_EQ('\0', requests[3].lfFaceName[0]);

    HDC dc = Select(empty);
    FetchGlyph(dc, 'A', GGO_BITMAP);
    EXPECT_EQ(2, GlyphOutlineCallCount()) << "size query and fetch";
}

TEST_F(FakeFontTest, InjectedFailures) {
    FailNextFontCreations(1);
    EXPECT_EQ(nullptr, Make(16, 400, SHIFTJIS_CHARSET, ""));
    HFONT font = Make(16, 400, SHIFTJIS_CHARSET, "");
    ASSERT_NE(nullptr, font);

    FailNextCompatibleDcs(1);
    EXPECT_EQ(nullptr, CreateCompatibleDC(nullptr));
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);

    FailNextFontSelections(1);
    EXPECT_EQ(nullptr, SelectObject(dc, font));
    HGDIOBJ stock = SelectObject(dc, font);
    EXPECT_NE(nullptr, stock);
    EXPECT_EQ(font, SelectObject(dc, stock));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(FakeFontTest, FontsKeepTheirProviderWhenTestsSwitch) {
    HFONT fake = Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    UseRealFontsForTest(PinnedTestFontFiles());
    HFONT real = Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    EXPECT_EQ("ＭＳ ゴシック", FontSourceForTest(fake));
    EXPECT_EQ("IPAGothic", FontSourceForTest(real));
    EXPECT_EQ(8, FetchGlyph(Select(fake), ' ', GGO_BITMAP).gm.gmCellIncX);
}
