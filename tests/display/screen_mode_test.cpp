// The screen-mode change: when it does nothing, its spacing, the depth in a window, the
// fallback chains and their fatal ends, switching between window and full screen, and
// the frame-period measurement with its mends.
#include "display_test_support.h"
#include "support/api_lock.h"
#include "library/core/window_mode.h"
#include "library/display/display_device.h"
#include "library/display/frame_timing.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/font/font.h"

namespace {

HWND FakeGraphicsWindow() { return reinterpret_cast<HWND>(uintptr_t(0x5000)); }

bool OnlyDefaultRefresh(int, int, int bits, int refresh) { return (bits == 16 || bits == 32) && refresh == 0; }
bool Only800Or640(int width, int height, int bits, int) {
    return (width == 800 && height == 600 && bits == 32) || (width == 640 && height == 480 && bits == 16);
}
bool Only640(int width, int height, int bits, int) { return width == 640 && height == 480 && bits == 16; }
bool NoMode(int, int, int, int) { return false; }

}  // namespace

TEST_F(DisplayTest, TheModeInForceWithoutForceChangesAndLogsNothing) {
    GameSettings();
    StartDisplay(true);
    const std::string before = Log();
    IDirectDraw7* object = g_Screen.directDraw;
    EXPECT_EQ(0, UnderApiLock([] { return ChangeScreenMode(-1, -1, -1, 0, -1); }));
    EXPECT_EQ(0, UnderApiLock([] { return ChangeScreenMode(150, 200, g_Screen.colorBits, 0, g_Screen.refreshRate); }));
    EXPECT_EQ(before, Log());
    EXPECT_EQ(object, g_Screen.directDraw);
}

TEST_F(DisplayTest, ModeChangesKeepTwoSecondsApart) {
    GameSettings();
    StartDisplay(true);
    SetVirtualClockStep(0);  // only sleeps move the clock
    const DWORD now = timeGetTime();
    g_Screen.lastModeChangeTime = now - 500;
    ASSERT_EQ(0, UnderApiLock([] { return ChangeScreenMode(-1, -1, -1, 1, -1); }));
    EXPECT_EQ(now + 1500 + 60, g_Screen.lastModeChangeTime);  // 2000 - 500 + 60 slept

    const DWORD later = timeGetTime() + 5000;
    SetVirtualClockMilliseconds(later);
    ASSERT_EQ(0, UnderApiLock([] { return ChangeScreenMode(-1, -1, -1, 1, -1); }));
    EXPECT_EQ(later + 60, g_Screen.lastModeChangeTime);  // long enough: only the 60 ms
}

class DesktopDepthTest : public DisplayTest, public ::testing::WithParamInterface<DesktopFormat> {};

TEST_P(DesktopDepthTest, InAWindowTheDepthIsTheDesktops) {
    ResetDisplayForTest(GetParam());
    GameSettings();  // asks for 16 bits
    StartDisplay(true);
    const int desktopBits = GetParam() == DesktopFormat::Rgb565 ? 16 : 32;
    EXPECT_EQ(desktopBits, g_Screen.colorBits);
    EXPECT_EQ(desktopBits, GetScreenColorBitDepth());
    EXPECT_EQ(desktopBits == 16 ? ScreenPixelRgb565 : ScreenPixelXrgb8888, g_Screen.pixelKind);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    IDirectDrawSurface7_GetSurfaceDesc(g_Screen.BackSurface, &desc);
    EXPECT_EQ(DWORD(desktopBits), desc.ddpfPixelFormat.dwRGBBitCount);
}

INSTANTIATE_TEST_SUITE_P(Formats, DesktopDepthTest, ::testing::Values(DesktopFormat::Rgb565, DesktopFormat::Xrgb8888),
                         [](const auto& info) { return info.param == DesktopFormat::Rgb565 ? "Rgb565" : "Xrgb8888"; });

TEST_F(DisplayTest, ARefusedRefreshRateFallsBackToTheDisplayDefault) {
    SetDisplayModeFilter(OnlyDefaultRefresh);
    SetScreenMode(800, 600, 16, 75);
    StartDisplay(true);
    EXPECT_EQ(800, g_Screen.width);
    EXPECT_EQ(600, g_Screen.height);
    EXPECT_EQ(0, g_Screen.refreshRate);
    EXPECT_EQ(800, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_NE(std::string::npos, Log().find("画面解像度を変更します... 成功しました\r\n"));
}

TEST_F(DisplayTest, AfterStartUpRefusedModesFallBackToThePreviousOrTheLastResort) {
    SetDisplayModeFilter(Only800Or640);
    SetScreenMode(800, 600, 32, 0);
    StartDisplay(true);
    ASSERT_EQ(800, g_Screen.width);

    SetDisplayModeFilter(Only640);
    EXPECT_EQ(-2, SetScreenMode(1024, 768, 32, 0));  // neither it nor 800 x 600 any more
    EXPECT_EQ(640, g_Screen.width);
    EXPECT_EQ(16, g_Screen.colorBits);
    EXPECT_EQ(640, GetSystemMetrics(SM_CXSCREEN));

    EXPECT_EQ(-1, SetScreenMode(800, 600, 32, 0));  // back to the mode in force before
    EXPECT_EQ(640, g_Screen.width);
    EXPECT_EQ(1, IsDisplayModeChanged());
}

TEST_F(DisplayTest, NoModeAtStartUpEndsTheProcess) {
    PrepareWindowless(0);
    SetDisplayModeFilter(NoMode);
    EXPECT_EXIT(StartGraphicsDevice(FakeGraphicsWindow()), ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find("画面モードの変更に失敗しました\r\n"));
    EXPECT_NE(std::string::npos, Log().find("予期せぬ画面モード変更不能現象が起きました\r\n"));
}

TEST_F(DisplayTest, NoModeAfterStartUpEndsTheProcess) {
    PrepareWindowless(0);
    ASSERT_EQ(0, StartGraphicsDevice(FakeGraphicsWindow()));
    ASSERT_EQ(640, g_Screen.width);
    SetDisplayModeFilter(NoMode);
    EXPECT_EXIT(ChangeScreenMode(800, 600, 16, 0, 0), ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find("予期せぬ画面モード変更不能現象が起きました2\r\n"));
    StopGraphicsDevice();  // only the child ended: the parent's display ends as it began
}

TEST_F(DisplayTest, SwitchingToFullScreenAndBackChangesTheDesktopMode) {
    GameSettings();
    StartDisplay(true);
    EXPECT_EQ(0, ChangeWindowMode(0));
    EXPECT_EQ(150, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(200, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(ScreenCoopFullScreen, g_Screen.cooperativeLevel);
    EXPECT_EQ(1, SystemStateRecord.mode.displayChangeSeen);

    EXPECT_EQ(0, ChangeWindowMode(1));
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(ScreenCoopWindowed, g_Screen.cooperativeLevel);
    EXPECT_EQ(0, IsDisplayModeChanged());
    EXPECT_NE(nullptr, g_Screen.PrimarySurface);
}

// The default font keeps its face, size and thickness across every kind of mode change.
TEST_F(DisplayTest, ModeChangesKeepTheDefaultFontsFaceAndSize) {
    GameSettings();
    StartDisplay(true);
    ASSERT_EQ(0, SetDefaultFontFace("ＭＳ 明朝", -1));
    ASSERT_EQ(0, SetDefaultFontSize(20));
    const std::function<int()> changes[] = {
        [] { return SetScreenMode(320, 240, 16, 60); },
        [] { return ChangeWindowMode(0); },
        [] { return ChangeWindowMode(1); },
    };
    for (size_t i = 0; i < std::size(changes); i++) {
        SCOPED_TRACE(i);
        ASSERT_EQ(0, changes[i]());
        char face[FontFaceCapacity] = {};
        int size = 0, thickness = 0;
        ASSERT_EQ(0, GetFontFaceAndSize(face, &size, &thickness, FetchDefaultFontHandle()));
        EXPECT_STREQ("ＭＳ 明朝", face);
        EXPECT_EQ(20, size);
        EXPECT_EQ(6, thickness);
    }
}

TEST(FrameTiming, PeriodIsTheFirstSampleThatComesAgain) {
    const int samples[] = {16, 17, 16, 17};
    EXPECT_EQ(16, FindFramePeriod(samples, 4));
    EXPECT_EQ(9, PacingThresholdForPeriod(16));
    const int later[] = {15, 17, 18, 17};
    EXPECT_EQ(17, FindFramePeriod(later, 4));
    const int none[] = {16, 17, 18, 19};
    EXPECT_EQ(-1, FindFramePeriod(none, 4));
    EXPECT_EQ(-1, PacingThresholdForPeriod(-1));
}

TEST(FrameTiming, RefreshRateFromTheAverageFrameTime) {
    EXPECT_EQ(60, RefreshRateFromFrameMicroseconds(16667));  // 599.9 tenths round up
    EXPECT_EQ(75, RefreshRateFromFrameMicroseconds(13333));
    EXPECT_EQ(59, RefreshRateFromFrameMicroseconds(16806));  // 595 tenths: .5 stays down
    EXPECT_EQ(-1, RefreshRateFromFrameMicroseconds(0));      // no time passed: nothing to divide
}

TEST_F(DisplayTest, ARasterThatNeverMovesEndsEveryPoll) {
    // A device that answers nothing: the scan line never wraps and no blank comes.
    EXPECT_EQ(RasterPollGaveUp, PollScanLineWrap(nullptr, 0));
    EXPECT_EQ(RasterPollGaveUp, PollVerticalBlank(nullptr, true, false));
}

TEST_F(DisplayTest, WithoutAReportedRefreshItIsMeasuredAndAStoppedClockDividesByNothing) {
    GameSettings();
    StartDisplay(true, 0x103);  // before the NT family (260): the refresh rate is not reported
    EXPECT_GE(g_Screen.measuredRefreshRate, 50);
    EXPECT_LE(g_Screen.measuredRefreshRate, 70);
    EXPECT_NE(std::string::npos, Log().find("\tTri19:"));  // 20 samples per series

    SetVirtualClockStep(0);  // every sample takes no time at all
    EXPECT_EQ(0, MeasureFrameTiming());
    EXPECT_EQ(-1, g_Screen.measuredRefreshRate);
}
