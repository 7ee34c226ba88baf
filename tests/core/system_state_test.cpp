// The SystemState record: what start-up's clearing keeps, and the accessors.
#include <gtest/gtest.h>

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/apilock.h"
#include "library/core/system_state.h"
#include "library/core/text.h"

TEST(SystemState, ClearingKeepsSettingsHeadListLockAndStartFlags) {
    SystemState& s = SystemStateRecord;
    EnterApiLock();
    void* block = ZqAlloc(16);
    CopyText(s.settings.caption, "Cinderwhirl");
    s.settings.windowed = 1;
    s.settings.iconId = 101;
    s.settings.zoomFactor = 2.0;
    s.head.osCode = 0x107;
    s.head.mmxInUse = 1;
    CopyText(s.startDirectory, "C:\\game");
    s.life.startUpRunning = 1;
    s.life.comStarted = 1;
    s.window.mainWindow = reinterpret_cast<HWND>(0x1234);
    s.log.indentLevel = 2;
    // Everything below goes.
    s.window.mainThreadId = 9;
    s.window.pumpThreadId = 10;
    s.mode.painting = 1;
    s.menu.itemCount = 3;
    s.life.libraryInitialised = 1;
    s.life.quit = 1;
    s.life.active = 1;
    s.life.closeRequested = 1;
    s.timing.performanceFrequency = 99;
    s.onScreenLog.initialised = 1;

    ClearSystemStateForStartUp();

    EXPECT_STREQ(s.settings.caption, "Cinderwhirl");
    EXPECT_EQ(s.settings.windowed, 1);
    EXPECT_EQ(s.settings.iconId, 101);
    EXPECT_EQ(s.settings.zoomFactor, 2.0);
    EXPECT_EQ(s.head.osCode, 0x107);
    EXPECT_EQ(s.head.mmxInUse, 1);
    EXPECT_STREQ(s.startDirectory, "C:\\game");
    EXPECT_EQ(s.life.startUpRunning, 1);
    EXPECT_EQ(s.life.comStarted, 1);
    EXPECT_EQ(s.window.mainWindow, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(s.log.indentLevel, 2);
    EXPECT_EQ(GetTrackedBlockCount(), 1);
    EXPECT_EQ(CheckApiLockOwned(), 1);

    EXPECT_EQ(s.window.mainThreadId, 0u);
    EXPECT_EQ(s.window.pumpThreadId, 0u);
    EXPECT_EQ(s.mode.painting, 0);
    EXPECT_EQ(s.menu.itemCount, 0);
    EXPECT_EQ(s.life.libraryInitialised, 0);
    EXPECT_EQ(s.life.quit.load(), 0);
    EXPECT_EQ(s.life.active.load(), 0);
    EXPECT_EQ(s.life.closeRequested.load(), 0);
    EXPECT_EQ(s.timing.performanceFrequency, 0);
    EXPECT_EQ(s.onScreenLog.initialised, 0);

    ZqFree(block);
    LeaveApiLock();
}

TEST(SystemState, ZoomFactor) {
    SystemSettings& settings = SystemStateRecord.settings;
    struct {
        int windowed;
        double stored, result;
    } cases[] = {{1, 2.5, 2.5}, {0, 2.5, 1.0}, {1, 0.0, 1.0}, {1, -3.0, 1.0}};
    for (const auto& c : cases) {
        settings.windowed = c.windowed;
        settings.zoomFactor = c.stored;
        EXPECT_EQ(GetWindowZoomFactor(), c.result);
    }
    EXPECT_EQ(settings.zoomFactor, 1.0);  // a stored value <= 0 is replaced
}

TEST(SystemState, Accessors) {
    SystemState& s = SystemStateRecord;
    s.window.desktopWidth = 1920;
    s.window.desktopHeight = 1080;
    s.window.desktopColorBits = 32;
    EXPECT_EQ(GetDesktopScreenInfo(nullptr, nullptr, nullptr), 0);
    int w = 0, h = 0, bits = 0;
    GetDesktopScreenInfo(&w, nullptr, &bits);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(h, 0);
    s.window.clientRect = {10, 20, 160, 220};
    RECT rect;
    EXPECT_EQ(GetWindowClientScreenRect(&rect), 0);
    EXPECT_EQ(rect.top, 20);  // no toolbar
    EXPECT_EQ(rect.bottom, 220);
    EXPECT_EQ(CheckVSyncWaitAllowed(), 1);
    EXPECT_EQ(GetSystemStateRecord(), &s);
    EXPECT_NE(GetFileBackendStreamOps(), GetMemoryFileStreamOps());
    EXPECT_EQ(CheckWindowRegionSet(), 0);
}
