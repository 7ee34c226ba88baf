// Helpers for the start-up, window and pump tests: each test runs in a fresh
// directory (Log.txt lands there) with a private runtime directory (so single-instance
// locks of parallel test processes never meet) and a virtual clock that advances one
// millisecond per read on the main thread.
#pragma once

#include "support/log_masking.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/zqlib.h"
#include "platform/testing.h"
#include "support/scratch_directory.h"

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.enter());
        scratch_.useAsRuntimeDirectory();
        InstallVirtualClock(5000, 1);
    }
    void TearDown() override {
        if (SystemStateRecord.window.mainWindow != nullptr) ShutdownLibrary();
        RemoveVirtualClock();
    }
    // The game's settings: a 150 x 200 window titled "Cinderwhirl".
    static void GameSettings() {
        SetWindowTitleText("Cinderwhirl");
        ChangeWindowMode(1);
        SetScreenMode(150, 200, 16, 60);
    }
    std::string Log() const {
        std::ifstream in(dir_ + "/Log.txt", std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Log.txt without the millisecond stamps.
    std::string LogWithoutTimes() const { return ReplaceLineStamps(Log(), "", false); }
    // Finds each text after the previous one; reports the first one missing.
    static ::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts) {
        size_t at = 0;
        for (const std::string& text : texts) {
            size_t found = log.find(text, at);
            if (found == std::string::npos) return ::testing::AssertionFailure() << "missing in order: " << text;
            at = found + text.size();
        }
        return ::testing::AssertionSuccess();
    }
    static HWND MainWindow() { return SystemStateRecord.window.mainWindow; }

    ScratchDirectory scratch_{"zq-library-test"};
    const std::string dir_ = scratch_.path();
};
