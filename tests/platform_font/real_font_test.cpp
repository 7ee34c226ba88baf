// The FreeType fonts against the contract the library relies on: faces found through the
// alias table, the cell-height rule, metrics that bound every glyph, Shift-JIS and
// Korean codes mapped to their glyphs, blank and missing glyphs, simulated bold, and the
// buffer layouts. Glyph shapes depend on the font version, so only their forms are checked.
#include <cmath>

#include "tests/platform_font/font_fixture.h"

using namespace fonttest;

namespace {

// The characters the bounds tests walk: ASCII, half-width katakana, and two-byte
// symbols, full-width letters, kana and kanji.
std::vector<UINT> SampleCharacters() {
    std::vector<UINT> codes;
    for (UINT c = 0x20; c <= 0x7E; ++c) codes.push_back(c);
    for (UINT c = 0xA1; c <= 0xDF; c += 3) codes.push_back(c);
    for (UINT lead : {0x81u, 0x82u, 0x83u, 0x88u, 0x95u, 0xE0u})
        for (UINT trail = 0x40; trail <= 0xFC; trail += 7)
            if (trail != 0x7F) codes.push_back(lead << 8 | trail);
    // Glyphs the fonts draw past their Windows ascent or descent at these sizes: the
    // overline, two kanji of IPA Mincho, accented capitals of DejaVu Sans Mono.
    for (UINT code : {0x8150u, 0x9AF6u, 0x9FE2u, 0x8Au, 0xC0u}) codes.push_back(code);
    return codes;
}

void ExpectInsideMetrics(const Glyph& g, const TEXTMETRICA& tm, UINT code, const char* what) {
    ASSERT_NE(GDI_ERROR, g.result) << what << " 0x" << std::hex << code;
    if (g.result == 0) return; // no ink
    EXPECT_LE(g.Width(), tm.tmMaxCharWidth) << what << " 0x" << std::hex << code;
    EXPECT_LE(g.gm.gmptGlyphOrigin.y, tm.tmAscent) << what << " 0x" << std::hex << code;
    EXPECT_GE(g.gm.gmptGlyphOrigin.y - g.Height(), -tm.tmDescent) << what << " 0x" << std::hex << code;
}

} // namespace

TEST_F(RealFontTest, FacesResolveThroughTheAliasTable) {
    struct Case {
        const char* face;
        DWORD charset;
        DWORD pitch;
        const char* family;
    };
    const Case cases[] = {
        {"ＭＳ ゴシック", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAGothic"},
        {"MS Gothic", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAGothic"},
        {"", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAGothic"},
        {nullptr, DEFAULT_CHARSET, FIXED_PITCH, "IPAGothic"}, // the OEM code page is 932
        {"ＭＳ Ｐゴシック", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAPGothic"},
        {"ＭＳ 明朝", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAMincho"},
        {"ＭＳ Ｐ明朝", DEFAULT_CHARSET, FIXED_PITCH, "IPAPMincho"},
        {"", SHIFTJIS_CHARSET, VARIABLE_PITCH, "IPAPGothic"},
        // Unknown or Latin-only faces are substituted; for Shift-JIS by a Japanese face.
        {"No Such Face", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAGothic"},
        {"Arial", SHIFTJIS_CHARSET, FIXED_PITCH, "IPAGothic"},
        {"Arial", ANSI_CHARSET, VARIABLE_PITCH, "DejaVu Sans"},
        {"Courier New", ANSI_CHARSET, FIXED_PITCH, "DejaVu Sans Mono"},
        {"ＭＳ ゴシック", HANGEUL_CHARSET, FIXED_PITCH, "IPAGothic"}, // no Korean font pinned
    };
    for (const Case& c : cases) {
        HFONT font = Make(18, 600, c.charset, c.face, FALSE, c.pitch);
        ASSERT_NE(nullptr, font) << (c.face ? c.face : "(null)");
        EXPECT_EQ(c.family, FontSourceForTest(font)) << (c.face ? c.face : "(null)") << " charset " << c.charset;
    }
}

TEST_F(RealFontTest, CellHeightIsTheWindowsAscentPlusDescent) {
    // IPA Gothic: 2048 units per em, Windows ascent 1802 and descent 401; IPA Mincho 1802 and 455.
    struct Case {
        const char* face;
        double ascent, descent;
    };
    for (const Case& face : {Case{"ＭＳ ゴシック", 1802, 401}, Case{"ＭＳ 明朝", 1802, 455}}) {
        for (int height : {8, 12, 16, 18, 24, 33, 48}) {
            TEXTMETRICA tm = Metrics(Make(height, 400, SHIFTJIS_CHARSET, face.face));
            double scale = height / (face.ascent + face.descent);
            EXPECT_EQ(height, tm.tmHeight);
            EXPECT_EQ(std::lround(face.ascent * scale), tm.tmAscent) << height;
            EXPECT_EQ(height, tm.tmAscent + tm.tmDescent);
            EXPECT_EQ(height - std::lround(2048 * scale), tm.tmInternalLeading) << height;
            EXPECT_GE(tm.tmMaxCharWidth, std::ceil(2048 * scale - 1e-6)) << height;
            EXPECT_GT(tm.tmAveCharWidth, 0);
        }
    }
    // A negative height is the em height; 0 a default; huge heights are bounded.
    TEXTMETRICA em16 = Metrics(Make(-16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    EXPECT_EQ(16, em16.tmHeight - em16.tmInternalLeading);
    EXPECT_EQ(std::lround(16 * 2203 / 2048.0), em16.tmHeight);
    EXPECT_EQ(16, Metrics(Make(0, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック")).tmHeight);
    EXPECT_EQ(1024, Metrics(Make(1 << 30, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック")).tmHeight);
}

TEST_F(RealFontTest, MetricsBoundEveryGlyph) {
    struct Case {
        int height, weight;
        DWORD italic, charset;
        const char* face;
    };
    const Case fonts[] = {
        {18, 600, FALSE, SHIFTJIS_CHARSET, "ＭＳ ゴシック"}, // the game's font
        {11, 400, FALSE, SHIFTJIS_CHARSET, "ＭＳ 明朝"},
        {16, 700, TRUE, SHIFTJIS_CHARSET, "ＭＳ Ｐゴシック"},
        {15, 400, FALSE, ANSI_CHARSET, "Arial"},
        {13, 400, FALSE, ANSI_CHARSET, "Courier New"},
    };
    std::vector<UINT> codes = SampleCharacters();
    for (const Case& f : fonts) {
        TEXTMETRICA tm = Metrics(Make(f.height, f.weight, f.charset, f.face, f.italic));
        for (UINT code : codes) {
            ExpectInsideMetrics(FetchGlyph(Dc(), code, GGO_BITMAP), tm, code, f.face);
            ExpectInsideMetrics(FetchGlyph(Dc(), code, GGO_GRAY4_BITMAP), tm, code, f.face);
        }
    }
    // A glyph that pokes out of the cell is moved in, not cut away.
    Select(fonts_[0]);
    for (UINT code : {0x8150u, 0x8160u /* ～ */}) EXPECT_GT(FetchGlyph(Dc(), code, GGO_BITMAP).result, 0u);
}

TEST_F(RealFontTest, GameTextsHaveInkInsideTheMetrics) {
    // The game's default font: type 2 (grey), size 18, thickness 6, the fallback face.
    TEXTMETRICA tm = Metrics(Make(18, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    for (const char* text : {"Cinderwhirl", "ロード完了"}) {
        int inked = 0;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
            bool lead = (*p >= 0x81 && *p <= 0x9F) || (*p >= 0xE0 && *p <= 0xFC);
            UINT code = lead ? (p[0] << 8 | p[1]) : p[0];
            p += lead ? 2 : 1;
            Glyph g = FetchGlyph(Dc(), code, GGO_GRAY4_BITMAP);
            ExpectInsideMetrics(g, tm, code, text);
            inked += g.result > 0;
            EXPECT_GT(g.gm.gmCellIncX, 0);
        }
        EXPECT_EQ(std::string(text) == "Cinderwhirl" ? 11 : 5, inked) << text;
    }
}

TEST_F(RealFontTest, ShiftJisAndKoreanCodesMapToTheirGlyphs) {
    HDC dc = Select(Make(18, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    Glyph latinA = FetchGlyph(dc, 'A', GGO_GRAY4_BITMAP);
    Glyph wideA = FetchGlyph(dc, 0x8260, GGO_GRAY4_BITMAP); // Ａ
    Glyph halfKana = FetchGlyph(dc, 0xB1, GGO_GRAY4_BITMAP); // ｱ
    Glyph hiragana = FetchGlyph(dc, 0x82A0, GGO_GRAY4_BITMAP); // あ
    EXPECT_NE(latinA.bytes, wideA.bytes);
    // IPA Gothic is half and full width, like the face it stands in for.
    EXPECT_EQ(latinA.gm.gmCellIncX, halfKana.gm.gmCellIncX);
    EXPECT_EQ(wideA.gm.gmCellIncX, hiragana.gm.gmCellIncX);
    EXPECT_NEAR(2 * latinA.gm.gmCellIncX, wideA.gm.gmCellIncX, 1);

    // The same character through CP949 (あ is AA A2 there) is the same glyph of the same face.
    HDC korean = Select(Make(18, 400, HANGEUL_CHARSET, "ＭＳ ゴシック"));
    Glyph viaKorean = FetchGlyph(korean, 0xAAA2, GGO_GRAY4_BITMAP);
    EXPECT_EQ(hiragana.bytes, viaKorean.bytes);
    EXPECT_EQ(0, std::memcmp(&hiragana.gm, &viaKorean.gm, sizeof hiragana.gm));

    // DEFAULT_CHARSET follows the OEM code page.
    SetFakeOemCodePage(949);
    HDC oemKorean = Select(Make(18, 400, DEFAULT_CHARSET, "ＭＳ ゴシック"));
    EXPECT_EQ(hiragana.bytes, FetchGlyph(oemKorean, 0xAAA2, GGO_GRAY4_BITMAP).bytes);
}

TEST_F(RealFontTest, CodesWithoutAGlyphGiveTheMissingGlyph) {
    HDC dc = Select(Make(18, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    for (UINT format : {GGO_BITMAP, GGO_GRAY4_BITMAP}) {
        Glyph missing = FetchGlyph(dc, 0xFD, format); // no character in CP932
        ASSERT_NE(GDI_ERROR, missing.result);
        EXPECT_GT(missing.result, 0u) << "IPA Gothic's missing glyph is a box";
        EXPECT_NE(missing.bytes, FetchGlyph(dc, 'A', format).bytes);
        // A pair with an invalid trail byte, a lone lead byte (also as the library's
        // lead | 0x00 << 8 for a text that ends on a lead byte), values above 16 bits.
        for (UINT code : {0x8200u, 0x82u, 0x8100u, 0x10041u, 0xFFFFu}) {
            Glyph g = FetchGlyph(dc, code, format);
            EXPECT_EQ(missing.result, g.result) << std::hex << code;
            EXPECT_EQ(missing.bytes, g.bytes) << std::hex << code;
            EXPECT_EQ(0, std::memcmp(&missing.gm, &g.gm, sizeof g.gm)) << std::hex << code;
        }
    }
}

TEST_F(RealFontTest, GlyphsWithoutInkAreAOneByOneBoxOfSizeZero) {
    HDC dc = Select(Make(18, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    for (UINT format : {GGO_BITMAP, GGO_GRAY4_BITMAP}) {
        for (UINT space : {0x20u, 0x8140u}) {
            uint8_t buffer[16];
            std::memset(buffer, kUnwritten, sizeof buffer);
            GLYPHMETRICS gm{};
            EXPECT_EQ(0u, GetGlyphOutlineA(dc, space, format, &gm, 0, nullptr, &kIdentity));
            EXPECT_EQ(0u, GetGlyphOutlineA(dc, space, format, &gm, sizeof buffer, buffer, &kIdentity));
            EXPECT_EQ(1u, gm.gmBlackBoxX);
            EXPECT_EQ(1u, gm.gmBlackBoxY);
            EXPECT_GT(gm.gmCellIncX, 0);
            EXPECT_LE(gm.gmCellIncX, tm.tmMaxCharWidth);
            EXPECT_EQ(0, gm.gmCellIncY);
            for (uint8_t b : buffer) EXPECT_EQ(kUnwritten, b);
        }
    }
}

TEST_F(RealFontTest, NoGlyphRequestFailsForAValidFont) {
    HDC dc = Select(Make(12, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック", TRUE));
    std::vector<UINT> codes;
    for (UINT c = 0; c <= 0xFF; ++c) codes.push_back(c);
    for (UINT lead = 0x81; lead <= 0xFC; ++lead)
        for (UINT trail : {0x00u, 0x3Fu, 0x40u, 0x7Fu, 0x80u, 0xFCu, 0xFFu}) codes.push_back(lead << 8 | trail);
    for (UINT format : {GGO_BITMAP, GGO_GRAY4_BITMAP}) {
        for (UINT code : codes) {
            GLYPHMETRICS gm{};
            DWORD size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
            ASSERT_NE(GDI_ERROR, size) << std::hex << code;
            EXPECT_GE(gm.gmBlackBoxX, 1u);
            EXPECT_GE(gm.gmBlackBoxY, 1u);
        }
    }
}

TEST_F(RealFontTest, WeightFromSixHundredEmboldensByOnePixel) {
    HFONT regular = Make(18, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HFONT semibold = Make(18, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HFONT bold = Make(18, 700, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HFONT almost = Make(18, 599, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    TEXTMETRICA plain = Metrics(regular);
    EXPECT_EQ(plain.tmMaxCharWidth + 1, Metrics(semibold).tmMaxCharWidth);
    EXPECT_EQ(plain.tmMaxCharWidth + 1, Metrics(bold).tmMaxCharWidth);
    EXPECT_EQ(plain.tmMaxCharWidth, Metrics(almost).tmMaxCharWidth);
    EXPECT_EQ(plain.tmHeight, Metrics(bold).tmHeight);

    for (UINT code : {UINT('A'), UINT('l'), 0x82A0u, 0x8ABFu}) {
        Glyph thin = FetchGlyph(Select(regular), code, GGO_BITMAP);
        Glyph thick = FetchGlyph(Select(semibold), code, GGO_BITMAP);
        ASSERT_GT(thin.result, 0u);
        EXPECT_EQ(thin.Width() + 1, thick.Width()) << std::hex << code;
        EXPECT_EQ(thin.Height(), thick.Height());
        EXPECT_EQ(thin.gm.gmCellIncX + 1, thick.gm.gmCellIncX);
        EXPECT_EQ(thin.gm.gmptGlyphOrigin.x, thick.gm.gmptGlyphOrigin.x);
        EXPECT_EQ(thin.gm.gmptGlyphOrigin.y, thick.gm.gmptGlyphOrigin.y);
        // The platform's bold: the glyph drawn again one pixel to the right.
        for (int y = 0; y < thick.Height(); ++y)
            for (int x = 0; x < thick.Width(); ++x) {
                int here = x < thin.Width() ? thin.At(x, y, GGO_BITMAP) : 0;
                int left = x > 0 ? thin.At(x - 1, y, GGO_BITMAP) : 0;
                EXPECT_EQ(here | left, thick.At(x, y, GGO_BITMAP)) << std::hex << code << " at " << x << "," << y;
            }
    }
}

TEST_F(RealFontTest, ItalicSlantsAnUprightFace) {
    HFONT upright = Make(24, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HFONT italic = Make(24, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック", TRUE);
    EXPECT_GT(Metrics(italic).tmMaxCharWidth, Metrics(upright).tmMaxCharWidth);
    Glyph straight = FetchGlyph(Select(upright), 'l', GGO_BITMAP);
    Glyph slanted = FetchGlyph(Select(italic), 'l', GGO_BITMAP);
    EXPECT_GT(slanted.Width(), straight.Width());
    // The top row's ink lies further right than the bottom row's.
    auto firstInk = [](const Glyph& g, int y) {
        for (int x = 0; x < g.Width(); ++x)
            if (g.At(x, y, GGO_BITMAP)) return x;
        return -1;
    };
    EXPECT_GT(firstInk(slanted, 0), firstInk(slanted, slanted.Height() - 1));
}

TEST_F(RealFontTest, BitmapsArePaddedRowsOfTheStatedSize) {
    HDC dc = Select(Make(18, 600, SHIFTJIS_CHARSET, "ＭＳ ゴシック"));
    struct Format {
        UINT format;
        int maxLevel;
    };
    for (Format f : {Format{GGO_BITMAP, 1}, Format{GGO_GRAY2_BITMAP, 4}, Format{GGO_GRAY4_BITMAP, 16},
                     Format{GGO_GRAY8_BITMAP, 64}}) {
        int topSeen = 0;
        for (UINT code : {UINT('i'), UINT('W'), UINT('.'), 0x81A1u /* ■ */, 0x82A0u, 0xB1u}) {
            Glyph g = FetchGlyph(dc, code, f.format);
            ASSERT_GT(g.result, 0u) << std::hex << code;
            int w = g.Width(), h = g.Height();
            int pitch = f.format == GGO_BITMAP ? (w + 31) / 32 * 4 : (w + 3) & ~3;
            EXPECT_EQ(static_cast<DWORD>(pitch * h), g.result) << std::hex << code;
            for (int y = 0; y < h; ++y) {
                for (int byte = 0; byte < pitch; ++byte) {
                    uint8_t v = g.bytes[y * pitch + byte];
                    if (f.format == GGO_BITMAP) {
                        // Bits right of the box are clear.
                        int used = std::clamp(w - byte * 8, 0, 8);
                        EXPECT_EQ(0, v & (0xFF >> used)) << std::hex << code;
                    } else if (byte >= w) {
                        EXPECT_EQ(0, v) << "padding of 0x" << std::hex << code;
                    } else {
                        EXPECT_LE(v, f.maxLevel);
                        topSeen = std::max<int>(topSeen, v);
                    }
                }
            }
            // The box is tight: ink on its first and last row and column.
            auto rowInk = [&](int y) {
                int n = 0;
                for (int x = 0; x < w; ++x) n += g.At(x, y, f.format) > 0;
                return n;
            };
            auto columnInk = [&](int x) {
                int n = 0;
                for (int y = 0; y < h; ++y) n += g.At(x, y, f.format) > 0;
                return n;
            };
            EXPECT_GT(rowInk(0), 0);
            EXPECT_GT(rowInk(h - 1), 0);
            EXPECT_GT(columnInk(0), 0);
            EXPECT_GT(columnInk(w - 1), 0);
        }
        if (f.format != GGO_BITMAP) {
            EXPECT_EQ(f.maxLevel, topSeen) << "a full box reaches the top level";
        }
    }

    // A buffer one byte short is refused; size 0 with a buffer is a size query.
    Glyph a = FetchGlyph(dc, 'A', GGO_GRAY4_BITMAP);
    std::vector<uint8_t> buffer(a.result, kUnwritten);
    GLYPHMETRICS gm{};
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(dc, 'A', GGO_GRAY4_BITMAP, &gm, a.result - 1, buffer.data(), &kIdentity));
    EXPECT_EQ(a.result, GetGlyphOutlineA(dc, 'A', GGO_GRAY4_BITMAP, &gm, 0, buffer.data(), &kIdentity));
    EXPECT_EQ(std::vector<uint8_t>(a.result, kUnwritten), buffer);
}

TEST_F(RealFontTest, BadArgumentsAreRefused) {
    HFONT font = Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HDC dc = Select(font);
    GLYPHMETRICS gm{};
    MAT2 scaled = kIdentity;
    scaled.eM11.value = 2;
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(dc, 'A', GGO_GRAY4_BITMAP, nullptr, 0, nullptr, &kIdentity));
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(dc, 'A', GGO_GRAY4_BITMAP, &gm, 0, nullptr, nullptr));
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(dc, 'A', GGO_GRAY4_BITMAP, &gm, 0, nullptr, &scaled));
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(dc, 'A', 2 /* outline curves */, &gm, 0, nullptr, &kIdentity));
    EXPECT_EQ(GDI_ERROR, GetGlyphOutlineA(nullptr, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity));
    TEXTMETRICA tm{};
    EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
    EXPECT_FALSE(GetTextMetricsA(dc, nullptr));
    // Rotated text is not drawn by the layer, so such a font is refused.
    EXPECT_EQ(nullptr, CreateFontA(16, 0, 900, 900, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 3, 1, "ＭＳ ゴシック"));
}

TEST_F(RealFontTest, FontsAreGdiObjects) {
    HFONT a = Make(16, 400, SHIFTJIS_CHARSET, "ＭＳ ゴシック");
    HFONT b = Make(20, 400, SHIFTJIS_CHARSET, "ＭＳ 明朝");
    HDC dc = CreateCompatibleDC(nullptr);
    // A new DC answers with its stock font.
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(16, tm.tmHeight);
    EXPECT_GT(FetchGlyph(dc, 'A', GGO_BITMAP).result, 0u);

    HGDIOBJ stock = SelectObject(dc, a);
    ASSERT_NE(nullptr, stock);
    EXPECT_EQ(a, SelectObject(dc, b));
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(20, tm.tmHeight);
    EXPECT_FALSE(DeleteObject(b)) << "still selected";
    EXPECT_EQ(b, SelectObject(dc, stock));
    EXPECT_TRUE(DeleteDC(dc));

    LOGFONTA lf{};
    EXPECT_EQ(static_cast<int>(sizeof lf), GetObjectA(b, sizeof lf, &lf));
    EXPECT_EQ(20, lf.lfHeight);
    EXPECT_STREQ("ＭＳ 明朝", lf.lfFaceName);

    // A freed font is refused everywhere.
    fonts_.pop_back();
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_EQ(nullptr, SelectObject(Dc(), b));
    EXPECT_EQ("", FontSourceForTest(b));
}

TEST_F(RealFontTest, FaceNamesAreCutAtACharacterBoundary) {
    // 16 two-byte characters (32 bytes) keep 15; 40 ASCII letters keep 31.
    std::string wide;
    for (int i = 0; i < 16; ++i) wide += "あ";
    std::string narrow(40, 'x');
    struct Case {
        std::string face;
        size_t kept;
    };
    for (const Case& c : {Case{wide, 30}, Case{narrow, 31}, Case{"ＭＳ ゴシック", 13}}) {
        HFONT font = Make(16, 400, SHIFTJIS_CHARSET, c.face.c_str());
        ASSERT_NE(nullptr, font);
        LOGFONTA lf{};
        GetObjectA(font, sizeof lf, &lf);
        EXPECT_EQ(c.face.substr(0, c.kept), lf.lfFaceName);
    }
}

TEST(MachineFonts, TheGameFontIsAJapaneseFace) {
    // Over the machine's own fonts (scripts/install-deps installs the IPA fonts), as the
    // game creates its default font: grey, size 18, thickness 6, the fallback face.
    UseMachineFontsForTest();
    HFONT font = CreateFontA(18, 0, 0, 0, 600, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                             FIXED_PITCH, "ＭＳ ゴシック");
    ASSERT_NE(nullptr, font);
    EXPECT_EQ("IPAGothic", FontSourceForTest(font));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    Glyph hiragana = FetchGlyph(dc, 0x82A0, GGO_GRAY4_BITMAP);
    EXPECT_GT(hiragana.result, 0u);
    EXPECT_NE(FetchGlyph(dc, 0xFD, GGO_GRAY4_BITMAP).bytes, hiragana.bytes) << "not the missing glyph";
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(font));
}
