// Drawing and measuring strings: the measured advance with its edge cases, exact
// pixels of ASCII and Shift-JIS strings in each font type on 16- and 32-bit images,
// through the software route (GDI output) and the DirectDraw route, grey text blended
// through the font's draw screen, the default font behind the public entry points, and
// the on-screen log's font.
#include <algorithm>

#include "font/font_test_support.h"
#include "library/core/onscreen_log.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"

using namespace fonttest;

namespace {

// Advances of the fake face: A 6, B 4, G 5, I 3, W 8, あ 12, space 5, full-width
// space 12, tab 3, any other code 4. Line height 12.
class TextWalkTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartSoftware();
        font_ = MakeFont(0);
    }
    int Measure(const char* text, int length = -1, int vertical = 0, int* size = nullptr) {
        return DrawOrMeasureTextWithFont(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 1, font_, 0, length,
                                         vertical, size);
    }
    FontHandle font_ = -1;
};

TEST_F(TextWalkTest, MeasuredAdvances) {
    struct Case {
        const char* text;
        int length;
        int width;
    };
    const Case cases[] = {
        {"AB", -1, 10},
        {"AB", 100, 10},     // beyond the text: the whole text
        {"AB", 1, 6},
        {"AB", 0, 0},
        {"A B", -1, 15},     // the space advances
        {"あ　A", -1, 30},   // the full-width space too
        {"Bあ", 2, 16},      // a length ending on a lead byte takes the whole character
        {"A\nB\t", -1, 17},  // control characters are glyphs like any other (LF: the missing glyph)
        {"", -1, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.width, Measure(c.text, c.length)) << c.text << " " << c.length;
    EXPECT_EQ(0, Measure(nullptr));

    // Letter spacing follows every character, the last one too.
    SetFontLetterSpacing(2, font_);
    EXPECT_EQ(6 + 4 + 6 + 3 * 2, Measure("ABA"));
    SetFontLetterSpacing(0, font_);

    // Size out: {advance, line height}, swapped for vertical text; untouched for an
    // empty text.
    int size[2] = {-5, -5};
    EXPECT_EQ(0, Measure("", -1, 0, size));
    EXPECT_EQ(-5, size[0]);
    EXPECT_EQ(10, Measure("AB", -1, 0, size));
    EXPECT_EQ(10, size[0]);
    EXPECT_EQ(12, size[1]);
    EXPECT_EQ(10, Measure("AB", -1, 1, size));
    EXPECT_EQ(12, size[0]);
    EXPECT_EQ(10, size[1]);

    // A memory-strip font ignores scales.
    EXPECT_EQ(10, DrawOrMeasureTextWithFont(0, 0, 0, 1, 2.0, 3.0, "AB", 0, nullptr, nullptr, 1, font_, 0, -1, 0,
                                            nullptr));
    // The public wrapper and the default font.
    EXPECT_EQ(10, MeasureTextWidthWithFont("AB", -1, font_, 0));
    EXPECT_EQ(10, MeasureTextWidthCore("AB", -1, 0));
}

TEST_F(TextWalkTest, TextsLongerThanTheCodeListAreWalkedWhole) {
    // 600 characters, 300 of them two-byte ones: the code list holds 512 at a time.
    std::string text;
    for (int i = 0; i < 300; i++) text += "Bあ";
    EXPECT_EQ(300 * (4 + 12), Measure(text.c_str()));
    TargetImage image(64, 16, MemImgFormat16);
    const RECT clip = {0, 0, 64, 16};
    EXPECT_EQ(300 * 16, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1.0, 1.0, text.c_str(), 0xFFFF, &image, &clip, 1, font_,
                                                  0, -1, 0, nullptr));
}

TEST_F(TextWalkTest, Refusals) {
    TargetImage image(8, 8, MemImgFormat16);
    EXPECT_EQ(-1, DrawOrMeasureTextWithFont(0, 0, 0, 0, 1, 1, "A", 0, nullptr, nullptr, 1, font_ + 1, 0, -1, 0, nullptr));
    g_DrawState.suspended = 1;
    EXPECT_EQ(-1, Measure("A"));
    g_DrawState.suspended = 0;
    // Drawing a memory-strip font needs an image.
    EXPECT_EQ(-1, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "A", 0, nullptr, nullptr, 1, font_, 0, -1, 0, nullptr));
    EXPECT_EQ(6, DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "A", 0, &image, nullptr, 1, font_, 0, -1, 0, nullptr));
}

// The pictures of "Aあ" drawn at (1, 0) in each font type ('T' text colour, 'E' edge
// colour; for grey types the strip value 1..f of the pixel's coverage).
const char* const PlainPicture =
    ".......T..T./"
    "........TT../"
    "..T.T..T..T./"
    "...T......../"
    "..T.T......./"
    "............";
const char* const OutlinedPicture =  // edge 1: advance 8, glyphs moved by their margin
    "..........E..E../"
    ".........ETEETE./"
    "...E.E....ETTE../"
    "..ETETE..ETEETE./"
    "...ETE....E..E../"
    "..ETETE........./"
    "...E.E..........";
const char* const GreyPicture =  // "Gあ": G's levels 1, 15 / 9, 16; あ at 16
    "..e...f..f./"
    ".8f....ff../"
    "......f..f.";

// Draws text with a font of the type straight into an image of the layout and names
// each pixel: '.' untouched, 'T' / 'E' the colours, 1-f the coverage of grey types.
std::string DrawAndName(FontHandle font, const char* text, int kind, int alpha, int width, int height) {
    TargetImage image(width, height, kind, alpha);
    const RECT clip = {0, 0, width, height};
    const uint32_t red = uint32_t(RgbToScreenPixel(255, 0, 0)), blue = uint32_t(RgbToScreenPixel(0, 0, 255));
    DrawOrMeasureTextWithFont(1, 1, 0, 0, 1.0, 1.0, text, red, &image, &clip, 1, font, blue, -1, 0, nullptr);
    const uint32_t t = FontTextPixelValue(&image, red), e = FontTextPixelValue(&image, blue);
    const uint32_t colourMask = kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFF;
    const int alphaShift = kind == MemImgFormat16 ? 16 : 24;
    return Rows(image, [&](uint32_t v) {
        if (v == 0) return '.';
        if (!alpha || (v >> alphaShift) == 0xFF) return (v & colourMask) == t ? 'T' : (v & colourMask) == e ? 'E' : '?';
        const uint32_t a = v >> alphaShift;
        return (v & colourMask) == t && a % 16 == 0 ? "0123456789abcdef"[a / 16] : '?';
    });
}

TEST_F(TextWalkTest, ExactPixelsOfEachTypeOnSixteenAndThirtyTwoBitImages) {
    for (int kind : {MemImgFormat16, MemImgFormat32}) {
        EXPECT_EQ(PlainPicture, DrawAndName(MakeFont(0), "Aあ", kind, 0, 12, 6)) << kind;
        EXPECT_EQ(OutlinedPicture, DrawAndName(MakeFont(FontTypeOutlined, 1), "Aあ", kind, 0, 16, 7)) << kind;
        EXPECT_EQ(GreyPicture, DrawAndName(MakeFont(FontTypeGreyLevels), "Gあ", kind, 1, 11, 3)) << kind;
    }
    // "A A": the space draws nothing and advances 5.
    EXPECT_EQ(
        "................../"
        "................../"
        "..T.T........T.T../"
        "...T..........T.../"
        "..T.T........T.T..",
        DrawAndName(MakeFont(0), "A A", MemImgFormat32, 0, 18, 5));
}

TEST_F(TextWalkTest, OutlinedGreyPixelsMixBodyAndEdge) {
    // "G" with edge 1 (strip cell checked in the glyph cache tests): 0xe0 is the edge
    // colour at alpha 224, 0xef the body at 255, 0xf8 a body pixel of level 9 over a full
    // outline.
    TargetImage image(6, 5, MemImgFormat32, 1);
    const FontHandle font = MakeFont(FontTypeOutlined | FontTypeGreyLevels, 1);
    const uint32_t white = uint32_t(RgbToScreenPixel(255, 255, 255)), black = uint32_t(RgbToScreenPixel(0, 0, 0));
    DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "G", white, &image, nullptr, 1, font, black, -1, 0, nullptr);
    EXPECT_EQ(0xE0000000u, image.At(2, 0));  // b 0, e 14
    EXPECT_EQ(0xFFFFFFFFu, image.At(2, 2));  // b 15
    EXPECT_EQ(0xE98B8B8Bu, image.At(1, 2));  // b 8, e 15: A 233, 255 x 140 >> 8 = 139
    EXPECT_EQ(0x80000000u, image.At(0, 2));  // b 0, e 8
    EXPECT_EQ(0u, image.At(5, 4));
}

TEST_F(TextWalkTest, TheDrawBrightnessScalesBothColours) {
    TargetImage image(6, 6, MemImgFormat32);
    const FontHandle font = MakeFont(FontTypeOutlined, 1);
    g_DrawState.brightness = 0x80FF40;
    const uint32_t white = uint32_t(RgbToScreenPixel(255, 255, 255));
    DrawOrMeasureTextWithFont(1, 0, 0, 0, 1, 1, "I", white, &image, nullptr, 1, font, white, -1, 0, nullptr);
    g_DrawState.brightness = BrightnessNeutral;
    EXPECT_EQ(0x80FF40u, image.At(1, 1));  // body: 255 x 128 / 255, 255, 255 x 64 / 255
    EXPECT_EQ(0x80FF40u, image.At(1, 0));  // edge
}

// The routes: software screens (GDI output) and DirectDraw surfaces, 16 and 32 bits.
struct Route {
    const char* name;
    bool directDraw;
    int bits;
};
const Route Routes[] = {
    {"software 16", false, 16},
    {"software 32", false, 32},
    {"DirectDraw 16", true, 16},
    {"DirectDraw 32", true, 32},
};

class TextRouteTest : public FontTest, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        FontTest::SetUp();
        if (GetParam().directDraw) {
            StartSurfaces(GetParam().bits == 16 ? DesktopFormat::Rgb565 : DesktopFormat::Xrgb8888);
            ClearBack(0);
        } else {
            StartSoftware(GetParam().bits);
        }
    }
    // The target's colours over (0, 0, width, height), by 0xRRGGBB.
    std::vector<uint32_t> TargetRgb(int width, int height) {
        if (GetParam().directDraw) return BackRgb(RECT{0, 0, width, height});
        std::vector<uint32_t> rgb;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint32_t raw = 0;
                std::memcpy(&raw, MemImgPixelAddress(&BackMemImg, x, y), size_t(MemImgBytesPerPixel(&BackMemImg)));
                int r, g, b;
                DecodePixelRgba(BackMemImg.colorFormat, raw, &r, &g, &b, nullptr);
                rgb.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
            }
        return rgb;
    }
    const ColorFormat* TargetFormat() { return GetParam().directDraw ? GetScreenColorFormat() : BackMemImg.colorFormat; }
    // What the target keeps of a colour drawn with coverage alpha over black: each
    // channel field s x alpha >> 8 (the software renderer's blend of an alpha image).
    uint32_t OverBlack(uint32_t rgb, int alpha) {
        const ColorFormat* f = TargetFormat();
        const uint32_t raw = EncodePixelRgb(f, int(rgb >> 16), int(rgb >> 8) & 0xFF, int(rgb & 0xFF));
        uint32_t blended = 0;
        for (uint32_t mask : {f->redMask, f->greenMask, f->blueMask}) {
            const int shift = __builtin_ctz(mask);
            blended |= ((((raw & mask) >> shift) * uint32_t(alpha)) >> 8) << shift;
        }
        int r, g, b;
        DecodePixelRgba(f, blended, &r, &g, &b, nullptr);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
    // Names the colours of the target: '.' black, 'T' red, 'E' blue; grey pictures
    // give the coverage character of the level that matches.
    std::string Named(int width, int height, bool grey) {
        const std::vector<uint32_t> rgb = TargetRgb(width, height);
        return Rows(width, height, [&](int x, int y) {
            const uint32_t c = rgb[size_t(y) * width + x];
            if (c == 0) return '.';
            if (!grey) return c == 0xFF0000 ? 'T' : c == 0x0000FF ? 'E' : '?';
            for (int v = 1; v < 16; v++)
                if (c == OverBlack(0xFF0000, 16 * v)) return "0123456789abcdef"[v];
            return '?';
        });
    }
    int Draw(FontHandle font, const char* text) {
        return DrawTextWithFontHandle(1, 0, text, uint32_t(RgbToScreenPixel(255, 0, 0)), font,
                                      uint32_t(RgbToScreenPixel(0, 0, 255)), 0);
    }
};

TEST_P(TextRouteTest, ExactPixelsOfEachType) {
    EXPECT_EQ(0, Draw(MakeFont(0), "Aあ"));
    EXPECT_EQ(PlainPicture, Named(12, 6, false));
    if (GetParam().directDraw) ClearBack(0);
    else FillMemImgRectRaw(&BackMemImg, nullptr, 0);

    EXPECT_EQ(0, Draw(MakeFont(FontTypeOutlined, 1), "Aあ"));
    EXPECT_EQ(OutlinedPicture, Named(16, 7, false));
    if (GetParam().directDraw) ClearBack(0);
    else FillMemImgRectRaw(&BackMemImg, nullptr, 0);

    // Grey text goes through the font's draw screen and is blended with its coverage.
    EXPECT_EQ(0, Draw(MakeFont(FontTypeGreyLevels), "Gあ"));
    EXPECT_EQ(GreyPicture, Named(11, 3, true));
}

TEST_P(TextRouteTest, BlendedTextOfAPlainFontGoesThroughTheDrawScreen) {
    // Alpha blending at half: each pixel of the text halfway to red.
    g_DrawState.blendMode = BlendAlpha;
    g_DrawState.blendParam = 128;
    const FontHandle font = MakeFont(0);
    EXPECT_EQ(0, Draw(font, "I"));
    const std::vector<uint32_t> rgb = TargetRgb(3, 4);
    EXPECT_EQ(0u, rgb[0]);
    EXPECT_NE(0u, rgb[1]);
    EXPECT_NE(0xFF0000u, rgb[1]);
    EXPECT_EQ(rgb[1], rgb[3 * 3 + 1]);
    EXPECT_EQ(0u, rgb[2]);
    // The draw area and brightness are as they were.
    EXPECT_EQ(BrightnessNeutral, g_DrawState.brightness);
    EXPECT_EQ(g_Screen.width, g_DrawState.clipRect.right);
    g_DrawState.blendMode = BlendNone;
}

TEST_P(TextRouteTest, TheDrawAreaBoundsTheText) {
    g_DrawState.clipRect = RECT{3, 1, 8, 3};
    EXPECT_EQ(0, Draw(MakeFont(0), "Aあ"));
    g_DrawState.clipRect = RECT{0, 0, g_Screen.width, g_Screen.height};
    EXPECT_EQ(
        "............/"
        "............/"
        "....T..T..../"
        "............/"
        "............/"
        "............",
        Named(12, 6, false));
}

INSTANTIATE_TEST_SUITE_P(Routes, TextRouteTest, ::testing::ValuesIn(Routes),
                         [](const ::testing::TestParamInfo<Route>& info) {
                             return std::string(info.param.directDraw ? "DirectDraw" : "Software") +
                                    std::to_string(info.param.bits);
                         });

// On a 32-bit DirectDraw screen a graph made with 16 bits takes text in its own
// colours: the glyphs are written in the layout of whatever image the draw hands the
// font (the graph's pixels, or a copy in the screen's format), never the screen's by
// assumption.
class TextTargetTest : public FontTest {};

TEST_F(TextTargetTest, AGraphOfAnotherDepthTakesTextInItsOwnLayout) {
    StartSurfaces(DesktopFormat::Xrgb8888);
    SetGraphCreateBitDepth(16);
    const int graph = CreateBlankGraph(12, 6, 1);
    SetGraphCreateBitDepth(0);
    ASSERT_NE(-1, graph);
    const GraphRecord* record = GetGraphRecord(graph);
    ASSERT_EQ(16, record->colorBitDepth);
    FillGraphColor(graph, 0, 0, 0, 0);
    ASSERT_EQ(0, SelectDrawTargetCore(graph));
    EXPECT_EQ(0, DrawTextWithFontHandle(1, 0, "Aあ", RgbToScreenPixel(255, 0, 0), MakeFont(0), 0, 0));
    const std::vector<uint32_t> rgb = GraphRgb(*record);
    ASSERT_EQ(size_t(12 * 6), rgb.size());
    EXPECT_EQ(PlainPicture, Rows(12, 6, [&](int x, int y) {
                  const uint32_t c = rgb[size_t(y) * 12 + x];
                  return c == 0 ? '.' : c == 0xFF0000 ? 'T' : '?';
              }));
    SelectDrawTargetCore(BackBufferTarget);
}

class TextEntryTest : public FontTest {};

TEST_F(TextEntryTest, ThePublicEntryPointsDrawWithTheDefaultFont) {
    // The library's own start-up: without Direct3D it runs on GDI output.
    GameSettings();
    StartLibrary();
    ASSERT_EQ(1, g_Screen.softwareRenderer);
    SelectDrawTarget(BackBufferTarget);
    auto back = [] {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 20; x++) {
                uint16_t v;
                std::memcpy(&v, MemImgPixelAddress(&BackMemImg, x, y), 2);
                pixels.push_back(v);
            }
        return pixels;
    };

    // The game's settings, through the entry points.
    EXPECT_EQ(0, SetDefaultFontFace("", -1));
    EXPECT_EQ(0, SetDefaultFontType(0));
    EXPECT_EQ(0, SetDefaultFontSize(12));
    const FontRecord* font = GetFontRecord(FetchDefaultFontHandle());
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(12, font->size);
    EXPECT_EQ(6, font->thickness);
    EXPECT_EQ(6 + 12, MeasureTextWidth("Aあ", 3, 0));

    const int white = ComposeColorValue(255, 255, 255);
    EXPECT_EQ(0, DrawTextAt(2, 2, "AB", white, 0));
    const std::vector<uint32_t> drawn = back();
    EXPECT_NE(std::count(drawn.begin(), drawn.end(), 0u), long(drawn.size()));
    FillMemImgRectRaw(&BackMemImg, nullptr, 0);
    // Formatted before the lock is taken, then drawn the same way.
    EXPECT_EQ(0, DrawFormattedTextAt(2, 2, white, "%c%s", 'A', "B"));
    EXPECT_EQ(drawn, back());

    // A font handle that is not live is refused with a log line.
    EXPECT_EQ(-1, DrawTextWithFontHandle(0, 0, "A", 0, 0x20001234, 0, 0));
    EXPECT_TRUE(Logged("フォントハンドル値が異常です\n"));
    EXPECT_EQ(0, DrawTextWithFontHandle(0, 0, "", 0, 0x20001234, 0, 0));
}

TEST_F(TextEntryTest, TheOnScreenLogMakesItsFontAgainAfterAReset) {
    // The screen-mode change prepared the log; the font reset after it deleted its font.
    StartSurfaces(DesktopFormat::Rgb565);
    OnScreenLogState& log = SystemStateRecord.onScreenLog;
    ASSERT_EQ(1, log.initialised);
    EXPECT_EQ(1, log.fontMissing);

    AddOnScreenLogText("AB");
    EXPECT_EQ(0, log.fontMissing);
    ASSERT_EQ(1, IsLiveFontHandle(log.font));
    const FontRecord* font = GetFontRecord(log.font);
    EXPECT_EQ(FontTypeOutlined, font->typeFlags);
    EXPECT_EQ(16, font->size);
    EXPECT_EQ(4, font->thickness);
    EXPECT_EQ(8 + 6, log.lineWidth);  // outlined by 1: A 6 + 2, B 4 + 2

    ResetFontSystem();
    EXPECT_EQ(1, log.fontMissing);
    ClearOnScreenLog();
    EXPECT_EQ(0, log.fontMissing);
    EXPECT_EQ(1, IsLiveFontHandle(log.font));
    const FontHandle kept = log.font;
    EndOnScreenLog();
    EXPECT_EQ(0, IsLiveFontHandle(kept));
}

}  // namespace
