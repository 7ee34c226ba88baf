// Helpers of the font tests: the display brought up headless (GDI output with software
// screens, or DirectDraw output), fake GDI faces with fixed glyph pictures, test
// images, and pixels written out as rows of characters.
//
// The fake "ＭＳ ゴシック" has a 12-pixel line (ascent 10) and glyphs at most 8 wide, so
// its cells are 16 x 16 and a plain font's strip holds 1280 cells. "Wide" has the
// same glyphs in 136-pixel cells, so its strip holds 20.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "library/d3d/d3d.h"
#include "library/font/font.h"
#include "library/font/font_internal.h"
#include "library/graph/draw_front.h"
#include "library/softrender/memimg.h"
#include "surfaces/surfaces_test_support.h"

namespace fonttest {

// Texts are compiled to Shift-JIS: "あ" is the bytes 0x82 0xA0.
constexpr UINT HiraganaAValue = 0x82A0;     // as GetGlyphOutlineA receives it
constexpr uint16_t HiraganaACode = 0xA082;  // as the glyph map indexes it
constexpr const char* GothicFaceName = "ＭＳ ゴシック";

inline FakeFontFace GothicFace() {
    FakeFontFace face;
    face.face = GothicFaceName;
    face.metrics.tmHeight = 12;
    face.metrics.tmAscent = 10;
    face.metrics.tmDescent = 2;
    face.metrics.tmMaxCharWidth = 8;
    face.metrics.tmAveCharWidth = 6;
    face.glyphs = {
        {'A', 1, 8, 6, "#.#/.#./#.#"},         // box 3 x 3, top 2 below the line's top
        {'B', 0, 9, 4, "##/##"},               // box 2 x 2, top 1
        {'G', 0, 10, 5, "1f/9#"},              // grey levels 1, 15 / 9, 16
        {'I', 0, 10, 3, "#/#/#/#"},            // box 1 x 4
        {'W', 0, 10, 8, "#.................#"},  // 19 wide: more than the cell holds
        {HiraganaAValue, 0, 10, 12, "#..#/.##./#..#"},
        {' ', 0, 0, 5, ""},
        {0x8140, 0, 0, 12, ""},
        {'\t', 0, 0, 3, ""},                   // a glyph without ink
    };
    face.missing = {0, 0, 10, 4, "#/#"};
    return face;
}

inline FakeFontFace WideFace() {
    FakeFontFace face = GothicFace();
    face.face = "Wide";
    face.metrics.tmMaxCharWidth = 134;  // cell 136: the strip holds 20 cells
    return face;
}

// The three routes a string takes: the software renderer's screens (GDI output) and
// DirectDraw surfaces drawn in software, both with the memory strip, and the Direct3D
// device, with the texture cache.
enum class TextRoute { Software, DirectDraw, Direct3D };
inline const char* TextRouteName(TextRoute route) {
    return route == TextRoute::Software ? "Software" : route == TextRoute::DirectDraw ? "DirectDraw" : "Direct3D";
}

// An image the test owns.
struct TargetImage {
    MEMIMG image{};
    TargetImage(int width, int height, int kind, int alpha = 0) {
        EXPECT_EQ(0, SetupMemImg(&image, width, height, -1, 0, kind, 0, alpha, 0));
        FillMemImgRectRaw(&image, nullptr, 0);
    }
    ~TargetImage() { ReleaseMemImg(&image); }
    TargetImage(const TargetImage&) = delete;
    TargetImage& operator=(const TargetImage&) = delete;
    MEMIMG* operator&() { return &image; }
    uint32_t At(int x, int y) const {
        uint32_t value = 0;
        std::memcpy(&value, MemImgPixelAddress(&image, x, y), size_t(MemImgBytesPerPixel(&image)));
        return value;
    }
};

// The pixels of a rectangle as rows of one character each, rows joined by '/'.
inline std::string Rows(int width, int height, const std::function<char(int, int)>& name) {
    std::string rows;
    for (int y = 0; y < height; y++) {
        if (y > 0) rows += '/';
        for (int x = 0; x < width; x++) rows += name(x, y);
    }
    return rows;
}
inline std::string Rows(const TargetImage& image, const std::function<char(uint32_t)>& name) {
    return Rows(image.image.width, image.image.height, [&](int x, int y) { return name(image.At(x, y)); });
}

class FontTest : public SurfacesTest {
protected:
    void SetUp() override {
        SurfacesTest::SetUp();
        UseFakeFontsForTest({GothicFace(), WideFace()});
    }
    void TearDown() override {
        UseMachineFontsForTest();
        SetFakeOemCodePage(0);
        SurfacesTest::TearDown();
    }

    // The font system as graph management starts it (display start-up has done so
    // already, with the fonts of the time): start values, then the reset that makes
    // the default font.
    static void StartFonts() {
        InitDefaultFontSettings();
        ASSERT_EQ(0, ResetFontSystem());
    }
    // GDI output with software screens of the given depth; the back screen is the target.
    void StartSoftware(int colorBits = 16, int width = 64, int height = 48) {
        ResetDisplayForTest(colorBits == 16 ? DesktopFormat::Rgb565 : DesktopFormat::Xrgb8888);
        ChangeWindowMode(1);
        SetScreenMode(width, height, colorBits, 60);
        StartDisplay(false);
        ASSERT_EQ(1, g_Screen.softwareRenderer);
        ResetDrawState();
        g_DrawState.drawTarget = BackBufferTarget;
        g_Screen.drawTargetMemImg = &BackMemImg;
        SetWholeTargetArea(g_Screen.width, g_Screen.height);
        StartFonts();
    }
    void StartSurfaces(DesktopFormat format, int width = 64, int height = 48) {
        StartDirectDraw(format, width, height);
        StartFonts();
    }

    // The library on a 16-bit window of the given size taking the route, the back
    // screen the draw target, cleared to black. The Direct3D route is the library's own
    // start-up on a machine with Direct3D.
    void StartRoute(TextRoute route, int width, int height) {
        if (route == TextRoute::Software) {
            StartSoftware(16, width, height);
        } else if (route == TextRoute::DirectDraw) {
            StartSurfaces(DesktopFormat::Rgb565, width, height);
        } else {
            SetDirect3DProfile(DefaultDirect3DProfile());
            ResetDisplayForTest(DesktopFormat::Rgb565);
            ChangeWindowMode(1);
            SetScreenMode(width, height, 16, 60);
            StartLibrary();
            ASSERT_EQ(1, IsDirect3DAvailable());
            SelectDrawTarget(BackBufferTarget);
        }
        ClearCurrentScreenCore();
    }
    // The back screen as 0xRRGGBB, row by row (the pending hardware batch drawn first).
    static std::vector<uint32_t> BackScreenRgb() {
        const int width = g_Screen.width, height = g_Screen.height;
        if (!g_Screen.softwareRenderer) {
            G_D3D_EndScene();
            return BackRgb(RECT{0, 0, width, height});
        }
        std::vector<uint32_t> rgb;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint32_t raw = 0;
                std::memcpy(&raw, MemImgPixelAddress(&BackMemImg, x, y), size_t(MemImgBytesPerPixel(&BackMemImg)));
                rgb.push_back(ScreenRgb(raw));
            }
        return rgb;
    }

    static FontHandle MakeFont(int type, int edge = -1, const char* face = nullptr, int size = 12) {
        return CreateFontToHandle(face, size, 6, type, -1, edge, 0, -1, -1);
    }
};

}  // namespace fonttest
