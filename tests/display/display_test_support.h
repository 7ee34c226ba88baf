// Helpers for the display start-up, mode-change and present tests.
//
// Each test runs in a fresh directory (Log.txt lands there) with a private runtime
// directory, a fresh virtual desktop and a virtual clock that advances one millisecond
// per read on the main thread (sleeps advance it at once). StartLibrary runs the
// library's own start-up as a program does; StartDisplay brings up only what the
// display needs (the log, the main window and graphics start-up), so a test can ask
// for DirectDraw output without Direct3D, which library start-up turns into GDI output.
#pragma once

#include "support/log_masking.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "library/core/apilock.h"
#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/startup.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/zqlib.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_manager.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/window/window.h"
#include "support/scratch_directory.h"

class DisplayTest : public ::testing::Test {
protected:
    static constexpr int OsCodeXp = 0x107;  // NT 5.1

    void SetUp() override {
        ASSERT_TRUE(scratch_.enter());
        scratch_.useAsRuntimeDirectory();
        InstallVirtualClock(100000, 1);
        // These tests describe the machine without Direct3D (GDI output, or DirectDraw
        // surfaces drawn in software); the hardware path has tests of its own.
        NoDirect3DForTest();
    }
    void TearDown() override {
        if (started_) ShutdownLibrary();
        RemoveVirtualClock();
    }

    // The game's settings: a 150 x 200 window in 16 bits.
    static void GameSettings() {
        SetWindowTitleText("Cinderwhirl");
        ChangeWindowMode(1);
        SetScreenMode(150, 200, 16, 60);
    }

    void StartLibrary() {
        ASSERT_EQ(0, InitializeLibrary());
        started_ = true;
    }

    // The log, the main window and graphics start-up, without the other subsystems.
    // directDrawOutput asks for DirectDraw surfaces drawn by the software renderer.
    void StartDisplay(bool directDrawOutput, int osCode = OsCodeXp) {
        SystemState& s = SystemStateRecord;
        s.life.startUpRunning = 1;
        StartLog();
        ASSERT_EQ(0, CreateMainWindow());
        s.head.osCode = osCode;
        s.head.mmxInUse = 1;
        started_ = true;
        // The window's message-pump thread runs from here on: what start-up does next
        // happens under the lock, as in the library's own start-up.
        EnterApiLock();
        if (directDrawOutput) SetSoftwareScreenRequest(1);
        const int started = StartGraphicsDevice(s.window.mainWindow);
        s.life.libraryInitialised = 1;
        s.life.startUpRunning = 0;
        s.life.startUpComplete = 1;
        SetPresentWaitVSync(1);
        LeaveApiLock();
        ASSERT_EQ(0, started);
    }

    // What start-up would have set before graphics, without a window: the display then
    // draws on the whole desktop. For the tests that end the process.
    void PrepareWindowless(int windowed = 1) {
        SystemState& s = SystemStateRecord;
        s.life.startUpRunning = 1;
        s.settings.windowed = windowed;
        s.head.osCode = OsCodeXp;
        s.head.mmxInUse = 1;
        s.window.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
        s.window.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
        s.window.desktopColorBits = GetDesktopColorBits();
        StartLog();
    }

    void StartLog() {
        SystemState& s = SystemStateRecord;
        CopyTextBounded(s.startDirectory, sizeof s.startDirectory, dir_.c_str());
        StartLogFile();
    }

    std::string Log() const {
        std::ifstream in(dir_ + "/Log.txt", std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Log.txt with every number after a stamp, a μs figure or a sample masked as "#".
    std::string MaskedLog() const {
        std::string log = ReplaceLineStamps(Log(), "#", true);
        log = MaskDigitsBefore(log, "\x83\xCAs");  // μs in Shift-JIS
        log = MaskDigitsAfter(log, "時間は ");
        for (int i = 0; i < 100; i++) {  // the frame-time samples "TriNN:"
            char sample[8] = {'T', 'r', 'i', char('0' + i / 10), char('0' + i % 10), ':', 0};
            log = MaskDigitsAfter(log, sample);
        }
        return log;
    }
    // The part of the log from the first `from` up to and including the end of the
    // line that holds the last `to`.
    static std::string Between(const std::string& log, const std::string& from, const std::string& to) {
        size_t start = log.find(from);
        size_t end = log.rfind(to);
        if (start == std::string::npos || end == std::string::npos || end < start) return "";
        start = log.rfind('\n', start);
        start = start == std::string::npos ? 0 : start + 1;
        end = log.find('\n', end);
        return log.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    }
    static HWND MainWindow() { return SystemStateRecord.window.mainWindow; }

    ScratchDirectory scratch_{"zq-display-test"};
    const std::string dir_ = scratch_.path();
    bool started_ = false;
};
