// 8-bit full-screen modes: the screen palette, images going in through GDI onto its
// nearest entries, and the shown colours following the palette.
#include <array>
#include <cstdlib>
#include <fstream>

#include "display_test_support.h"
#include "library/core/apilock.h"
#include "library/display/display_device.h"
#include "support/image_files.h"

namespace {

uint32_t DefaultEntry(int i) {
    return uint32_t(DefaultScreenPalette[i][0]) << 16 | uint32_t(DefaultScreenPalette[i][1]) << 8 |
           DefaultScreenPalette[i][2];
}

// The colour the last present showed at (x, y) of the desktop.
uint32_t Shown(int x, int y) {
    if (CapturedFrames().empty()) return 0xDEADBEEF;
    const CapturedFrame& f = CapturedFrames().back();
    return f.rgb[size_t(y - f.rect.top) * size_t(f.rect.right - f.rect.left) + size_t(x - f.rect.left)];
}

}  // namespace

TEST_F(DisplayTest, AnEightBitFullScreenShowsGraphsThroughItsPaletteAndFollowsItsChanges) {
    ResetDisplayForTest();  // presents are captured
    ChangeWindowMode(0);
    SetScreenMode(320, 240, 8, 60);
    StartDisplay(true);  // DirectDraw surfaces drawn without Direct3D
    ASSERT_EQ(8, g_Screen.colorBits);
    ASSERT_EQ(8, GetScreenColorBitDepth());
    ASSERT_EQ(8, DesktopBitsPerPixel());
    ASSERT_NE(nullptr, g_Screen.palette);

    // A 4 x 1 picture in four colours of the default palette, the last one a little off.
    const int indices[4] = {0, 60, 200, 255};
    testimg::BmpLayout bmp;
    bmp.width = 4;
    bmp.height = 1;
    for (int i : indices) {
        const uint32_t c = DefaultEntry(i) - (i == 255 ? 0x010101u : 0);
        bmp.pixels.insert(bmp.pixels.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    }
    const testimg::Bytes file = testimg::BuildBmp(bmp);
    std::ofstream(dir_ + "/pic.bmp", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());

    const int graph = LoadImageToGraph("pic.bmp", 0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
    ASSERT_EQ(0, ClearCurrentScreen());
    ASSERT_EQ(0, DrawGraphAt(10, 20, graph, 0));
    ASSERT_EQ(0, PresentScreen());
    for (int x = 0; x < 4; x++) {
        EXPECT_EQ(uint32_t(indices[x]), ReadDesktopPixel(10 + x, 20)) << x;
        EXPECT_EQ(DefaultEntry(indices[x]), Shown(10 + x, 20)) << x;
    }
    EXPECT_EQ(DefaultEntry(0), Shown(0, 0));

    // New entries show at once, and in every later frame.
    EnterApiLock();
    g_Screen.paletteEntries[60] = ScreenPaletteEntry{255, 0, 0, 0};
    g_Screen.paletteEntries[255] = ScreenPaletteEntry{0, 0, 255, 0};
    ReapplyScreenPaletteEntries();
    LeaveApiLock();
    EXPECT_EQ(0xFF0000u, Shown(11, 20));
    EXPECT_EQ(0x0000FFu, Shown(13, 20));
    EXPECT_EQ(DefaultEntry(200), Shown(12, 20));
    ASSERT_EQ(0, DrawGraphAt(10, 20, graph, 0));
    ASSERT_EQ(0, PresentScreen());
    EXPECT_EQ(0xFF0000u, Shown(11, 20));
    EXPECT_EQ(0x0000FFu, Shown(13, 20));
}

// The palette keeps the display's own entries at both ends and runs dark to light in
// between, with an entry near every colour: pure red, green and blue have entries of
// their own hue, and no colour lies further than half a diagonal of a colour-cube cell
// (44) from its entry.
TEST_F(DisplayTest, TheDefaultPaletteHasAnEntryNearEveryColour) {
    const uint32_t named[7][2] = {{0, 0x000000}, {1, 0x0E0000}, {2, 0x00071C}, {3, 0x0E0600},
                                  {4, 0x1E0000}, {254, 0xFDFEEF}, {255, 0xFFFFFF}};
    for (const auto& entry : named) EXPECT_EQ(entry[1], DefaultEntry(int(entry[0]))) << entry[0];
    auto sum = [](int i) { return DefaultScreenPalette[i][0] + DefaultScreenPalette[i][1] + DefaultScreenPalette[i][2]; };
    for (int i = 6; i < 256; i++) EXPECT_LE(sum(i - 1), sum(i)) << i;

    ResetDisplayForTest();
    ChangeWindowMode(0);
    SetScreenMode(320, 240, 8, 60);
    StartDisplay(true);
    ASSERT_EQ(8, GetScreenColorBitDepth());
    EnterApiLock();
    auto entryOf = [](int r, int g, int b) {
        int er = -1, eg = -1, eb = -1;
        ScreenPixelToRgb(uint32_t(RgbToScreenPixel(r, g, b)), &er, &eg, &eb);
        return std::array<int, 3>{er, eg, eb};
    };
    const int pure[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (const auto& c : pure) {
        const std::array<int, 3> e = entryOf(c[0], c[1], c[2]);
        for (int k = 0; k < 3; k++) EXPECT_LE(std::abs(e[k] - c[k]), 25) << c[0] << "," << c[1] << "," << c[2];
    }
    int farthest = 0;
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15) {
                const std::array<int, 3> e = entryOf(r, g, b);
                const int d = (e[0] - r) * (e[0] - r) + (e[1] - g) * (e[1] - g) + (e[2] - b) * (e[2] - b);
                farthest = std::max(farthest, d);
            }
    LeaveApiLock();
    EXPECT_LE(farthest, 44 * 44);
}

// Asked for 8 bits through the public calls on a machine without Direct3D, a full-screen
// program draws through GDI onto an 8-bit desktop; its colours show through the
// desktop's palette within half a step of that palette's colour cube (51).
TEST_F(DisplayTest, AnEightBitRequestThroughThePublicCallsShowsItsColoursOnTheEightBitDesktop) {
    ResetDisplayForTest();  // presents are captured
    ChangeWindowMode(0);
    SetScreenMode(320, 240, 8, 60);
    StartLibrary();
    ASSERT_EQ(8, DesktopBitsPerPixel());
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFF8000, 0x808080};
    ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
    for (int i = 0; i < 8; i++) {
        const uint32_t c = colours[i];
        DrawBoxShape(i * 10, 0, i * 10 + 10, 10, ComposeColorValue(int(c >> 16), int(c >> 8 & 0xFF), int(c & 0xFF)), 1);
    }
    ASSERT_EQ(0, PresentScreen());
    for (int i = 0; i < 8; i++) {
        const uint32_t shown = Shown(i * 10 + 5, 5);
        for (int shift : {16, 8, 0}) {
            const int want = int(colours[i] >> shift & 0xFF), got = int(shown >> shift & 0xFF);
            EXPECT_LE(std::abs(want - got), 25) << std::hex << colours[i] << " shown as " << shown;
        }
    }
}
