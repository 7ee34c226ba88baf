// The display state accessors and the screen's colours, on a display that has not
// started (no DirectDraw object) and on states set up by hand.
#include "library/display/screen_state.h"

#include <gtest/gtest.h>

#include <cstring>

#include "library/core/system_state.h"
#include "library/softrender/memimg_formats.h"
#include "test_formats.h"

namespace {

class ScreenStateTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = g_Screen; }
    void TearDown() override { g_Screen = saved_; }

    // A stand-in object pointer: the accessors only compare it with null.
    static IDirectDraw7* FakeObject() {
        static int object;
        return reinterpret_cast<IDirectDraw7*>(&object);
    }

    ScreenState saved_;
};

TEST_F(ScreenStateTest, GettersBeforeStartUp) {
    int width = 0, height = 0;
    EXPECT_EQ(GetScreenPixelSize(&width, &height), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(GetScreenPixelSize(nullptr, nullptr), 0);
    EXPECT_EQ(GetScreenColorBitDepth(), 16);
    EXPECT_EQ(QueryScreenColorBitDepth(), 16);
    EXPECT_EQ(GetDirectDrawObject(), nullptr);
    EXPECT_EQ(IsDirectDrawUsed(), 1);
    EXPECT_EQ(IsSoftwareRenderMode(), 0);
    EXPECT_EQ(IsDisplayModeChanged(), 0);
    EXPECT_EQ(GetPresentWaitVSync(), 0);
    EXPECT_EQ(GetSoftwareScreenRequest(), 0);
    EXPECT_EQ(GetScreenGdiCompatible(), 0);
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
    EXPECT_EQ(GetFrontBufferSurface(), nullptr);
    EXPECT_EQ(IsDrawTargetPrimaryInWindow(), 0);
    EXPECT_EQ(GetScreenColorFormat(), &g_Screen.colorFormat);
    EXPECT_EQ(GetScreenDDPixelFormat(), &g_Screen.pixelFormat);
}

TEST_F(ScreenStateTest, SimpleSettersStore) {
    SetPresentWaitVSync(1);
    EXPECT_EQ(GetPresentWaitVSync(), 1);
    EXPECT_EQ(SetDisplayModeChanged(1), 1);
    EXPECT_EQ(IsDisplayModeChanged(), 1);
    SetGraphicsStartedFlag(1);
    EXPECT_EQ(g_Screen.graphicsStarted, 1);
    g_Screen.width = 320, g_Screen.height = 200, g_Screen.requestedColorBits = 32;
    int width = 0;
    GetScreenPixelSize(&width, nullptr);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(GetScreenColorBitDepth(), 32);
}

TEST_F(ScreenStateTest, GdiOutputIsAOneWaySwitch) {
    EXPECT_EQ(SetScreenUseDirectDraw(1), 0);
    EXPECT_EQ(IsDirectDrawUsed(), 1);
    EXPECT_EQ(IsSoftwareRenderMode(), 0);

    EXPECT_EQ(SetScreenUseDirectDraw(0), 0);
    EXPECT_EQ(IsDirectDrawUsed(), 0);
    EXPECT_EQ(IsSoftwareRenderMode(), 1);

    SetScreenUseDirectDraw(1);  // asking for DirectDraw again keeps GDI output
    EXPECT_EQ(IsDirectDrawUsed(), 0);
    EXPECT_EQ(IsSoftwareRenderMode(), 1);

    // With GDI output the software-screen request always records 1.
    SetSoftwareScreenRequest(0);
    EXPECT_EQ(GetSoftwareScreenRequest(), 1);
}

TEST_F(ScreenStateTest, SoftwareScreenRequestIsRecordedWithDirectDrawOutput) {
    SetSoftwareScreenRequest(1);
    EXPECT_EQ(GetSoftwareScreenRequest(), 1);
    SetSoftwareScreenRequest(0);
    EXPECT_EQ(GetSoftwareScreenRequest(), 0);
}

TEST_F(ScreenStateTest, GdiCompatibleRequestWithoutDisplay) {
    // Without a DirectDraw object the request is recorded; the state in force stays.
    EXPECT_EQ(SetScreenGdiCompatible(1), 0);
    EXPECT_EQ(GetScreenGdiCompatible(), 1);
    EXPECT_EQ(g_Screen.gdiCompatibleApplied, 0);
    // Asking for the state in force records nothing.
    g_Screen.gdiCompatibleApplied = 1;
    g_Screen.gdiCompatibleRequest = 7;
    SetScreenGdiCompatible(1);
    EXPECT_EQ(GetScreenGdiCompatible(), 7);
    // A menu on the main window keeps the GDI-compatible state on.
    SystemStateRecord.settings.menuInUse = 1;
    SetScreenGdiCompatible(0);
    EXPECT_EQ(GetScreenGdiCompatible(), 7);
    SystemStateRecord.settings.menuInUse = 0;
}

TEST_F(ScreenStateTest, FrontCopyOptionOnlyBeforeStartUp) {
    int primary, frontCopy;
    g_Screen.PrimarySurface = reinterpret_cast<IDirectDrawSurface7*>(&primary);
    g_Screen.FrontCopySurface = reinterpret_cast<IDirectDrawSurface7*>(&frontCopy);
    EXPECT_EQ(GetFrontBufferSurface(), g_Screen.PrimarySurface);
    SetFrontCopySurfaceUse(1);
    EXPECT_EQ(GetFrontBufferSurface(), g_Screen.FrontCopySurface);

    g_Screen.directDraw = FakeObject();
    EXPECT_EQ(SetFrontCopySurfaceUse(0), 0);
    EXPECT_EQ(g_Screen.frontCopySurfaceUse, 1);
}

TEST_F(ScreenStateTest, SurfaceGetters) {
    int primary, back, work0, work1;
    g_Screen.PrimarySurface = reinterpret_cast<IDirectDrawSurface7*>(&primary);
    g_Screen.BackSurface = reinterpret_cast<IDirectDrawSurface7*>(&back);
    g_Screen.WorkSurface[0] = reinterpret_cast<IDirectDrawSurface7*>(&work0);
    g_Screen.WorkSurface[1] = reinterpret_cast<IDirectDrawSurface7*>(&work1);
    g_Screen.drawTargetSurface = g_Screen.PrimarySurface;
    EXPECT_EQ(GetBackBufferSurface(), g_Screen.BackSurface);
    EXPECT_EQ(GetSysMemWorkSurface(), g_Screen.WorkSurface[0]);
    EXPECT_EQ(GetDrawTargetSurface(), g_Screen.PrimarySurface);

    const int savedWindowed = GetWindowedFlag();
    SystemStateRecord.settings.windowed = 1;
    EXPECT_EQ(IsDrawTargetPrimaryInWindow(), 1);
    g_Screen.drawTargetSurface = g_Screen.BackSurface;
    EXPECT_EQ(IsDrawTargetPrimaryInWindow(), 0);
    g_Screen.drawTargetSurface = g_Screen.PrimarySurface;
    SystemStateRecord.settings.windowed = 0;
    EXPECT_EQ(IsDrawTargetPrimaryInWindow(), 0);
    SystemStateRecord.settings.windowed = savedWindowed;
}

TEST_F(ScreenStateTest, OverlayFormatNeedsA640x400Screen) {
    g_Screen.overlayFormatIndex = 3;
    struct Row {
        int width, height;
        bool found;
    } rows[] = {{320, 240, false}, {640, 399, false}, {639, 480, false}, {640, 400, true}, {800, 600, true}};
    for (const Row& row : rows) {
        g_Screen.width = row.width, g_Screen.height = row.height;
        const DDPIXELFORMAT* format = GetOverlayPixelFormat();
        EXPECT_EQ(format != nullptr, row.found) << row.width << "x" << row.height;
        if (format) {
            EXPECT_EQ(format->dwRBitMask, 0xF800u);
            EXPECT_EQ(format->dwRGBBitCount, 16u);
        }
    }
    g_Screen.overlayFormatIndex = -1;
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
    EXPECT_EQ(OverlayFormatTable[0].dwFourCC, 0x59565955u);  // "UYVY"
    EXPECT_STREQ(OverlayFormatNames[4], "");
}

TEST_F(ScreenStateTest, CopiesTheDriverCaps) {
    for (int i = 0; i < DirectDrawCapsSize; i++) g_Screen.driverCaps[i] = uint8_t(i * 7);
    uint8_t copy[DirectDrawCapsSize + 1];
    copy[DirectDrawCapsSize] = 0x5A;
    EXPECT_EQ(CopyDirectDrawCaps(copy), copy);
    EXPECT_EQ(std::memcmp(copy, g_Screen.driverCaps, DirectDrawCapsSize), 0);
    EXPECT_EQ(copy[DirectDrawCapsSize], 0x5A);
}

TEST_F(ScreenStateTest, RgbToScreenPixelOnAn8BitScreenTakesTheNearestLowestEntry) {
    g_Screen.colorBits = 8;
    for (int i = 0; i < 256; i++) g_Screen.paletteEntries[i] = {uint8_t(i), 0, 0, 0};
    g_Screen.paletteEntries[10] = {200, 100, 50, 0};
    g_Screen.paletteEntries[20] = {200, 100, 50, 0};  // a duplicate: the lower index wins
    EXPECT_EQ(RgbToScreenPixel(200, 100, 50), 10);
    EXPECT_EQ(RgbToScreenPixel(201, 99, 51), 10);
    EXPECT_EQ(RgbToScreenPixel(77, 0, 0), 77);

    int r, g, b;
    EXPECT_EQ(ScreenPixelToRgb(20, &r, &g, &b), 0);
    EXPECT_EQ(r, 200);
    EXPECT_EQ(g, 100);
    EXPECT_EQ(b, 50);
    EXPECT_EQ(ScreenPixelToRgb(256, &r, &g, &b), -1);
}

TEST_F(ScreenStateTest, RgbToScreenPixelUsesTheScreenFormat) {
    g_Screen.colorBits = 16;
    g_Screen.colorFormat = Xrgb1555();
    EXPECT_EQ(RgbToScreenPixel(255, 0, 8), 0xFC01);  // unused bit set, no alpha
    g_Screen.colorFormat = Argb8888();
    EXPECT_EQ(uint32_t(RgbToScreenPixel(1, 2, 3)), 0x00010203u);

    int r, g, b;
    g_Screen.colorFormat = Rgb565();
    EXPECT_EQ(ScreenPixelToRgb(0x001F, &r, &g, &b), 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 255);
}

TEST_F(ScreenStateTest, RgbToScreenPixelUnderTheSoftwareRendererUsesTheImageFormat) {
    g_Screen.colorFormat = Xrgb1555();  // ignored under the software renderer
    g_Screen.softwareRenderer = 1;
    g_Screen.colorBits = 16;
    g_Screen.requestedColorBits = 16;
    EXPECT_EQ(RgbToScreenPixel(255, 255, 255), 0xFFFF);  // MEMIMG RGB565
    g_Screen.requestedColorBits = 32;
    EXPECT_EQ(RgbToScreenPixel(0x12, 0x34, 0x56), 0xFF123456);  // MEMIMG X8R8G8B8

    // Reading back takes the image format only when the depth in force differs.
    int r, g, b;
    g_Screen.colorBits = 16;
    EXPECT_EQ(ScreenPixelToRgb(0x00FF0000, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    g_Screen.colorBits = 32;
    g_Screen.colorFormat = Rgb565();
    EXPECT_EQ(ScreenPixelToRgb(0xF800, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
}

}  // namespace
