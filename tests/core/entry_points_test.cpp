// Every public entry point but the four lock-free ones waits for the ApiLock.
#include <atomic>
#include <functional>
#include <thread>

#include "library/core/apilock.h"
#include "library/display/color_format.h"
#include "platform/ddraw/ddraw_types.h"
#include "library_test_support.h"

struct EntryPoint {
    const char* name;
    std::function<void()> call;
};

static const std::vector<EntryPoint>& LockedEntryPoints() {
    static int handles[4];
    static const std::vector<EntryPoint> table = {
        {"ProcessMessage", [] { ProcessMessage(); }},
        {"ChangeWindowMode", [] { ChangeWindowMode(1); }},
        {"SetWindowTitleText", [] { SetWindowTitleText("T"); }},
        {"SetWindowIconResource", [] { SetWindowIconResource(0); }},
        {"SetScreenMode", [] { SetScreenMode(150, 200, 16, 60); }},
        {"GetTimeMilliseconds", [] { GetTimeMilliseconds(0); }},
        {"GetRandomInt", [] { GetRandomInt(5); }},
        {"CheckKeyDown", [] { CheckKeyDown(0x2C); }},
        {"GetScreenPixelFormat", [] { GetScreenPixelFormat(); }},
        {"ComposeColorValue", [] { ComposeColorValue(1, 2, 3); }},
        {"PresentScreen", [] { PresentScreen(); }},
        {"SelectDrawTarget", [] { SelectDrawTarget(BackBufferTarget); }},
        {"SetTransparentColorKey", [] { SetTransparentColorKey(0, 0, 0); }},
        {"LoadImageToGraph", [] { LoadImageToGraph("none.png", 0); }},
        {"LoadImageToDivGraphs", [] { LoadImageToDivGraphs("none.png", 4, 2, 2, 8, 8, handles, 0); }},
        {"DeriveSubGraph", [] { DeriveSubGraph(0, 0, 1, 1, 1); }},
        {"ClearCurrentScreen", [] { ClearCurrentScreen(); }},
        {"DrawGraphAt", [] { DrawGraphAt(0, 0, 1, 1); }},
        {"DrawGraphMirroredAt", [] { DrawGraphMirroredAt(0, 0, 1, 1); }},
        {"DrawGraphPartAt", [] { DrawGraphPartAt(0, 0, 0, 0, 1, 1, 1, 1, 0); }},
        {"DrawBoxShape", [] { DrawBoxShape(0, 0, 1, 1, 0, 1); }},
        {"DrawTextAt", [] { DrawTextAt(0, 0, "a", 0, 0); }},
        {"DrawFormattedTextAt", [] { DrawFormattedTextAt(0, 0, 0, "%d", 1); }},
        {"MeasureTextWidth", [] { MeasureTextWidth("a", 1, 0); }},
        {"SetDefaultFontSize", [] { SetDefaultFontSize(16); }},
        {"SetDefaultFontFace", [] { SetDefaultFontFace("Face", -1); }},
        {"SetDefaultFontType", [] { SetDefaultFontType(0); }},
        {"InitializeLibrary", [] { InitializeLibrary(); ShutdownLibrary(); }},  // on the window's own thread
        {"ShutdownLibrary", [] { ShutdownLibrary(); }},
    };
    return table;
}

class EntryPointLockTest : public LibraryTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(EntryPointLockTest, WaitsWhileAnotherThreadHoldsTheLock) {
    const EntryPoint& entry = LockedEntryPoints()[GetParam()];
    RemoveVirtualClock();  // the call runs on another thread: start-up needs time to move
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        EnterApiLock();
        held = true;
        while (!release) usleep(1000);
        LeaveApiLock();
    });
    while (!held) usleep(100);
    std::atomic<bool> done{false};
    std::thread caller([&] {
        entry.call();
        done = true;
    });
    usleep(30 * 1000);
    EXPECT_FALSE(done.load()) << entry.name << " ran while another thread held the lock";
    release = true;
    holder.join();
    caller.join();
    EXPECT_TRUE(done.load());
}

INSTANTIATE_TEST_SUITE_P(All, EntryPointLockTest, ::testing::Range<size_t>(0, 29),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return std::string(LockedEntryPoints()[info.param].name);
                         });

TEST_F(LibraryTest, TheLockFreeEntryPointsRunWhileTheLockIsHeld) {
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        EnterApiLock();
        held = true;
        while (!release) usleep(1000);
        LeaveApiLock();
    });
    while (!held) usleep(100);
    RECT rect = {0, 0, 10, 10};
    RECT clip = {2, 2, 5, 5};
    EXPECT_EQ(0, ClipRectByRect(&rect, &clip));
    EXPECT_EQ(5, rect.right);
    DDPIXELFORMAT pixelFormat;
    SetupDDPixelFormat(&pixelFormat, 16, 0xF800, 0x07E0, 0x001F, 0);
    ColorFormat format{};
    EXPECT_EQ(0, CreateColorFormatFromMasks(&format, 16, 0xF800, 0x07E0, 0x001F, 0));
    EXPECT_EQ(11, format.redShift);
    EXPECT_EQ(0xF800u, format.redMask);
    release = true;
    holder.join();
}
