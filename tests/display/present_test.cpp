// Presenting the frame: the back buffer reaches the window's client area in both
// outputs and zoomed, the full-screen flip, the front image's rectangles, vertical-blank
// waits and frame pacing, the present count and SetScreenMode's refusals.
#include <cstring>

#include "display_test_support.h"
#include "library/display/color_format.h"
#include "library/display/front_image.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"

namespace {

// The test pattern: neighbouring pixels differ, and every channel is a 5- or 6-bit
// level that RGB565 keeps exactly, whether a reader widens it back to 8 bits by
// truncating or by rounding.
uint32_t PatternRgb(int x, int y) {
    static const uint32_t five[] = {0, 1, 2, 5, 6, 9, 10, 11, 14, 15, 18, 19, 23, 24, 27, 28, 31};
    static const uint32_t six[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 21, 22, 23, 24, 25, 26,
                                   27, 28, 29, 30, 31, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 63};
    uint32_t r = five[x % 17] * 255 / 31, g = six[y % 34] * 255 / 63, b = five[(x + y) % 17] * 255 / 31;
    return r << 16 | g << 8 | b;
}

uint32_t Encode(const ColorFormat* format, uint32_t rgb) {
    return EncodePixelRgb(format, int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

void PaintImage(MEMIMG& image) {
    for (int y = 0; y < image.height; y++) {
        for (int x = 0; x < image.width; x++) {
            uint32_t value = Encode(image.colorFormat, PatternRgb(x, y));
            std::memcpy(MemImgPixelAddress(&image, x, y), &value, size_t(MemImgBytesPerPixel(&image)));
        }
    }
}

void PaintSurface(IDirectDrawSurface7* surface, const std::function<uint32_t(int, int)>& rgb) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(surface, nullptr, &desc, DDLOCK_WAIT, nullptr));
    ColorFormat format;
    InitColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &format);
    for (DWORD y = 0; y < desc.dwHeight; y++) {
        for (DWORD x = 0; x < desc.dwWidth; x++) {
            uint32_t value = Encode(&format, rgb(int(x), int(y)));
            std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * format.bytesPerPixel, &value,
                        format.bytesPerPixel);
        }
    }
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(surface, nullptr));
}

// A raw pixel of a surface, and a colour as the screen's surfaces store it.
uint32_t SurfacePixel(IDirectDrawSurface7* surface, int x, int y) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    RECT one{x, y, x + 1, y + 1};
    if (IDirectDrawSurface7_Lock(surface, &one, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return ~0u;
    uint32_t value = 0;
    std::memcpy(&value, desc.lpSurface, desc.ddpfPixelFormat.dwRGBBitCount / 8);
    IDirectDrawSurface7_Unlock(surface, nullptr);
    return value;
}

uint32_t ScreenValue(uint32_t rgb) { return Encode(&g_Screen.colorFormat, rgb); }

RECT Client() {
    RECT client;
    GetWindowClientScreenRect(&client);
    return client;
}

// Counts the desktop pixels of `area` that differ from rgb(x, y) (coordinates relative
// to the area), and the pixels just outside it that are not black.
struct DesktopCheck {
    int wrongInside = 0;
    int litOutside = 0;
};

DesktopCheck CheckDesktop(const RECT& area, const std::function<uint32_t(int, int)>& rgb) {
    DesktopCheck check;
    for (int y = area.top - 2; y < area.bottom + 2; y++) {
        for (int x = area.left - 2; x < area.right + 2; x++) {
            bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
            uint32_t shown = ReadDesktopRgb(x, y);
            if (inside && shown != rgb(x - area.left, y - area.top)) check.wrongInside++;
            if (!inside && shown != 0) check.litOutside++;
        }
    }
    return check;
}

}  // namespace

// GDI output at zoom 1 (SetDIBitsToDevice) and 2 (StretchDIBits, nearest neighbour).
class GdiPresentTest : public DisplayTest, public ::testing::WithParamInterface<int> {};

TEST_P(GdiPresentTest, TheBackImageFillsTheClientArea) {
    const int zoom = GetParam();
    SystemStateRecord.settings.zoomFactor = zoom;
    GameSettings();
    StartLibrary();
    PaintImage(BackMemImg);
    SelectDrawTarget(BackBufferTarget);
    ASSERT_EQ(0, PresentScreen());
    const RECT client = Client();
    EXPECT_EQ(150 * zoom, client.right - client.left);
    EXPECT_EQ(200 * zoom, client.bottom - client.top);
    DesktopCheck check = CheckDesktop(client, [zoom](int x, int y) { return PatternRgb(x / zoom, y / zoom); });
    EXPECT_EQ(0, check.wrongInside);
    EXPECT_EQ(0, check.litOutside);
    EXPECT_EQ(client.left, LastPresentedRect().left);
    EXPECT_EQ(1, g_Screen.frontImageStale);
    EXPECT_EQ(1u, GetPresentCount());
}

INSTANTIATE_TEST_SUITE_P(Zoom, GdiPresentTest, ::testing::Values(1, 2));

// DirectDraw output at zoom 1 and 2: the back surface is blitted (stretched) onto the
// primary surface at the client rectangle.
class DirectDrawPresentTest : public DisplayTest, public ::testing::WithParamInterface<int> {};

TEST_P(DirectDrawPresentTest, TheBackSurfaceFillsTheClientArea) {
    const int zoom = GetParam();
    SystemStateRecord.settings.zoomFactor = zoom;
    GameSettings();
    StartDisplay(true);
    PaintSurface(g_Screen.BackSurface, PatternRgb);
    SelectDrawTarget(BackBufferTarget);
    ASSERT_EQ(0, PresentScreen());
    const RECT client = Client();
    EXPECT_EQ(150 * zoom, client.right - client.left);
    DesktopCheck check = CheckDesktop(client, [zoom](int x, int y) { return PatternRgb(x / zoom, y / zoom); });
    EXPECT_EQ(0, check.wrongInside);
    EXPECT_EQ(0, check.litOutside);
}

INSTANTIATE_TEST_SUITE_P(Zoom, DirectDrawPresentTest, ::testing::Values(1, 2));

TEST_F(DisplayTest, DirectDrawOutputAtZoomTwoStaysInsideTheClipper) {
    GameSettings();
    StartDisplay(true);
    // The back screen as target keeps the clipper on the primary surface; the window is
    // still 150 x 200 when the zoom asks for twice that.
    IDirectDrawSurface7_SetClipper(g_Screen.PrimarySurface, g_Screen.clipper);
    SystemStateRecord.settings.zoomFactor = 2.0;
    PaintSurface(g_Screen.BackSurface, PatternRgb);
    SelectDrawTarget(BackBufferTarget);
    ASSERT_EQ(0, PresentScreen());
    DesktopCheck check = CheckDesktop(Client(), [](int x, int y) { return PatternRgb(x / 2, y / 2); });
    EXPECT_EQ(0, check.wrongInside);
    EXPECT_EQ(0, check.litOutside);
}

TEST_F(DisplayTest, FullScreenFlipSwapsTheBuffers) {
    StartDisplay(true);
    ScreenState& s = g_Screen;
    SelectDrawTarget(BackBufferTarget);
    auto first = [](int x, int y) { return PatternRgb(x, y); };
    auto second = [](int, int) { return 0x00FF00u; };
    PaintSurface(s.BackSurface, first);
    ASSERT_EQ(0, PresentScreen());
    EXPECT_EQ(PatternRgb(5, 7), ReadDesktopRgb(5, 7));
    EXPECT_EQ(0u, SurfacePixel(s.BackSurface, 5, 7));  // the cleared buffer came back
    PaintSurface(s.BackSurface, second);
    ASSERT_EQ(0, PresentScreen());
    EXPECT_EQ(0x00FF00u, ReadDesktopRgb(5, 7));
    EXPECT_EQ(ScreenValue(PatternRgb(5, 7)), SurfacePixel(s.BackSurface, 5, 7));
    EXPECT_EQ(2u, GetPresentCount());
}

TEST_F(DisplayTest, FullScreenWithTheFrontAsTargetOnlyWaitsForTheBlank) {
    StartDisplay(true);
    SelectDrawTarget(FrontBufferTarget);
    PaintSurface(g_Screen.BackSurface, [](int, int) { return 0xFF0000u; });
    const long presents = PresentedFrameCount();
    ASSERT_EQ(0, PresentScreen());  // vsync on: no flip
    EXPECT_EQ(presents, PresentedFrameCount());
    EXPECT_EQ(0u, ReadDesktopRgb(0, 0));
    EXPECT_EQ(1u, GetPresentCount());

    SetPresentWaitVSync(0);
    ASSERT_EQ(0, PresentScreen());  // vsync off: the flip happens
    EXPECT_EQ(0xFF0000u, ReadDesktopRgb(0, 0));
}

TEST_F(DisplayTest, PresentFrontImageRectWritesExactlyItsRectangle) {
    GameSettings();
    StartLibrary();
    PaintImage(FrontMemImg);
    const RECT client = Client();
    const RECT area{10, 20, 50, 45};
    ASSERT_EQ(0, PresentFrontImageRect(&area));
    const RECT onDesktop{client.left + 10, client.top + 20, client.left + 50, client.top + 45};
    DesktopCheck check = CheckDesktop(onDesktop, [](int x, int y) { return PatternRgb(x + 10, y + 20); });
    EXPECT_EQ(0, check.wrongInside);
    EXPECT_EQ(0, check.litOutside);

    // A rectangle reaching past the screen is cut to it; an empty one draws nothing.
    const RECT corner{140, 190, 400, 400};
    ASSERT_EQ(0, PresentFrontImageRect(&corner));
    EXPECT_EQ(PatternRgb(149, 199), ReadDesktopRgb(client.left + 149, client.top + 199));
    EXPECT_EQ(0u, ReadDesktopRgb(client.left + 150, client.top + 199));
    const long presents = PresentedFrameCount();
    const RECT empty{30, 30, 30, 60};
    EXPECT_EQ(0, PresentFrontImageRect(&empty));
    EXPECT_EQ(presents, PresentedFrameCount());
}

TEST_F(DisplayTest, TheFrontImageReadsTheWindowBackAfterAPresent) {
    GameSettings();
    StartLibrary();
    PaintImage(BackMemImg);
    SelectDrawTarget(BackBufferTarget);
    PresentScreen();
    ASSERT_EQ(1, g_Screen.frontImageStale);
    EXPECT_EQ(0, CaptureScreenToFrontImage());
    EXPECT_EQ(0, g_Screen.frontImageStale);
    // Row by row over the screen's width: the bytes behind it in each row are padding
    // that neither image defines.
    int width = 0, height = 0;
    GetScreenPixelSize(&width, &height);
    for (int y = 0; y < height; ++y)
        ASSERT_EQ(0, std::memcmp(MemImgPixelAddress(&FrontMemImg, 0, y), MemImgPixelAddress(&BackMemImg, 0, y),
                                 size_t(width) * 2))
            << "row " << y;
}

TEST_F(DisplayTest, FramePacingWaitsTheThresholdThenForTheBlank) {
    GameSettings();
    StartDisplay(true);
    ScreenState& s = g_Screen;
    SetVirtualClockStep(0);  // only sleeps move the clock
    IDirectDraw7* object = s.directDraw;
    s.FramePacingThreshold = 9;
    s.lastPacedPresentTime = timeGetTime() - 3;
    const DWORD start = timeGetTime();
    const DWORD stamp = WaitFramePacing();
    EXPECT_GE(stamp - start, 6u);  // slept until 9 ms after the last paced present
    BOOL inBlank = FALSE;
    IDirectDraw7_GetVerticalBlankStatus(object, &inBlank);
    EXPECT_TRUE(inBlank);
    EXPECT_EQ(stamp, s.lastPacedPresentTime);

    // Long enough after the last one: no sleep, only up to the next blank.
    SetVirtualClockMilliseconds(stamp + 50);
    const DWORD later = WaitFramePacing();
    EXPECT_LE(later - (stamp + 50), 17u);
    IDirectDraw7_GetVerticalBlankStatus(object, &inBlank);
    EXPECT_TRUE(inBlank);
}

TEST_F(DisplayTest, WindowPresentsArePacedWhenVSyncIsOn) {
    GameSettings();
    StartDisplay(true);
    SelectDrawTarget(BackBufferTarget);
    SetVirtualClockStep(0);
    g_Screen.FramePacingThreshold = 9;
    PresentScreen();
    const DWORD first = g_Screen.lastPacedPresentTime;
    PresentScreen();
    EXPECT_GE(g_Screen.lastPacedPresentTime - first, 9u);
}

TEST_F(DisplayTest, TheAreaCopyGivesTheSameResultByBothMethods) {
    GameSettings();
    StartDisplay(true);
    ScreenState& s = g_Screen;
    PaintSurface(s.BackSurface, PatternRgb);
    const RECT area{10, 10, 60, 40};
    for (int method : {CopyMethodBltFast, CopyMethodBitBlt, CopyMethodFastest}) {
        PaintSurface(s.WorkSurface[0], [](int, int) { return 0u; });
        ASSERT_EQ(0, CopySurfaceArea(s.WorkSurface[0], s.BackSurface, 5, 6, &area, method)) << method;
        EXPECT_EQ(ScreenValue(PatternRgb(10, 10)), SurfacePixel(s.WorkSurface[0], 5, 6)) << method;
        EXPECT_EQ(ScreenValue(PatternRgb(59, 39)), SurfacePixel(s.WorkSurface[0], 54, 35)) << method;
        EXPECT_EQ(ScreenValue(0), SurfacePixel(s.WorkSurface[0], 55, 35)) << method;
    }
    const RECT outside{100, 150, 200, 250};
    EXPECT_EQ(-1, CopySurfaceArea(s.WorkSurface[0], s.BackSurface, 0, 0, &outside, CopyMethodBltFast));
}

TEST_F(DisplayTest, TheScreenLiesAtTheClientOriginOnTheDesktop) {
    GameSettings();
    StartDisplay(true);
    RECT rect;
    GetScreenRectOnDesktop(&rect);
    const RECT client = Client();
    EXPECT_EQ(client.left, rect.left);
    EXPECT_EQ(client.top, rect.top);
    EXPECT_EQ(client.left + 150, rect.right);
    EXPECT_EQ(client.top + 200, rect.bottom);
}

TEST_F(DisplayTest, TheFrontCopyTimerCopiesTheFrontCopyOntoTheWindow) {
    GameSettings();
    SetFrontCopySurfaceUse(1);
    StartDisplay(true, OsCodeWindowsVista);
    PaintSurface(g_Screen.FrontCopySurface, PatternRgb);
    FrontSurfaceTimerProc(MainWindow(), WM_TIMER, FrontCopyTimerId, 0);
    DesktopCheck check = CheckDesktop(Client(), PatternRgb);
    EXPECT_EQ(0, check.wrongInside);
    KillTimer(MainWindow(), FrontCopyTimerId);
}

TEST_F(DisplayTest, SetScreenModeRefusesBadRequestsAndResetsThePresentCount) {
    GameSettings();
    StartDisplay(true);
    SelectDrawTarget(BackBufferTarget);
    PresentScreen();
    PresentScreen();
    EXPECT_EQ(2u, GetPresentCount());
    const std::string before = Log();
    EXPECT_EQ(-1, SetScreenMode(-1, -1, 24, -1));
    EXPECT_EQ(-1, SetScreenMode(0, 200, 16, -1));
    EXPECT_EQ(before, Log());
    EXPECT_EQ(2u, GetPresentCount());

    EXPECT_EQ(0, SetScreenMode(200, 150, 16, -1));
    EXPECT_EQ(200, g_Screen.width);
    EXPECT_EQ(0u, GetPresentCount());
    RECT client;
    GetClientRect(MainWindow(), &client);
    EXPECT_EQ(200, client.right);  // the window follows the screen
    EXPECT_EQ(150, client.bottom);
}

// 8 bits are refused, leaving the screen as it was, wherever no palette screen can be:
// in a window, with GDI output (what library start-up gives without Direct3D) and on
// the Direct3D path.
TEST_F(DisplayTest, EightBitsWhereNoPaletteScreenCanBeAreRefusedAndChangeNothing) {
    struct Case {
        const char* name;
        bool window;
        bool direct3D;
        bool gdi;
    };
    // GDI output, once chosen, stays: those cases come last.
    const Case cases[] = {
        {"full screen, Direct3D", false, true, false},
        {"window, DirectDraw output", true, false, false},
        {"window, GDI output", true, false, true},
        {"full screen, GDI output", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTitleText("Cinderwhirl");
        ChangeWindowMode(c.window ? 1 : 0);
        SetScreenMode(320, 240, 16, 60);
        if (c.direct3D) {
            SetDirect3DProfile(DefaultDirect3DProfile());
            SetSoftwareScreenRequest(0);
        } else {
            NoDirect3DForTest();
        }
        if (c.direct3D || c.gdi) StartLibrary();
        else StartDisplay(true);
        ASSERT_EQ(c.gdi ? 1 : 0, g_Screen.noDirectDraw);
        const ScreenState before = g_Screen;
        const DDPIXELFORMAT format = *GetScreenPixelFormat();
        EXPECT_EQ(-1, SetScreenMode(-1, -1, 8, -1));
        EXPECT_EQ(-1, SetScreenMode(640, 480, 8, 60));
        EXPECT_EQ(before.width, g_Screen.width);
        EXPECT_EQ(before.height, g_Screen.height);
        EXPECT_EQ(before.colorBits, g_Screen.colorBits);
        EXPECT_EQ(before.requestedColorBits, g_Screen.requestedColorBits);
        EXPECT_EQ(before.refreshRate, g_Screen.refreshRate);
        EXPECT_EQ(0, std::memcmp(&format, GetScreenPixelFormat(), sizeof format));
        EXPECT_EQ(before.lastModeChangeTime, g_Screen.lastModeChangeTime);  // no change was made
        EXPECT_NE(nullptr, c.gdi ? static_cast<void*>(BackMemImg.pixels) : static_cast<void*>(g_Screen.BackSurface));
        EXPECT_EQ(0, SetTransparentColorKey(1, 2, 3));
        EXPECT_EQ(0x010203u, g_DrawState.transparentColor);
        ShutdownLibrary();
        started_ = false;
    }
    NoDirect3DForTest();
}

TEST_F(DisplayTest, FullScreenInTheGdiCompatibleStateBlitsInsteadOfFlipping) {
    StartDisplay(true);
    SelectDrawTarget(BackBufferTarget);
    EXPECT_EQ(0, SetScreenGdiCompatible(1));
    EXPECT_EQ(1, GetScreenGdiCompatible());
    EXPECT_EQ(1, g_Screen.gdiCompatibleApplied);
    PaintSurface(g_Screen.BackSurface, PatternRgb);
    ASSERT_EQ(0, PresentScreen());
    EXPECT_EQ(PatternRgb(3, 4), ReadDesktopRgb(3, 4));
    EXPECT_EQ(ScreenValue(PatternRgb(3, 4)), SurfacePixel(g_Screen.BackSurface, 3, 4));  // still there: no flip
}
