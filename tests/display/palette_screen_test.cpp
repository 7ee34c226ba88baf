// 8-bit full-screen modes: the screen palette, images going in through GDI onto its
// nearest entries, and the shown colours following the palette.
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
