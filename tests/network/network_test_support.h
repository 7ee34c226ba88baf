// Helpers for the network tests: a fresh start directory (Log.txt lands there), a
// parent window for the hidden network window, the real clock, and pumping until
// something holds. Every test checks that it leaves no tracked block behind.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/network/http.h"
#include "library/network/network.h"
#include "library/network/network_state.h"
#include "platform/kernel/clock.h"
#include "platform/testing.h"
#include "platform/window/window.h"
#include "support/loopback_server.h"
#include "support/log_masking.h"
#include "support/scratch_directory.h"

// For a test server's thread: waits while `flag` holds `value`, for 10 s at most, so a
// test whose own thread failed before moving the flag still ends.
inline void WaitWhile(const std::atomic<int>& flag, int value) {
    const DWORD start = timeGetTime();
    while (flag.load() == value && timeGetTime() - start < 10000) Sleep(1);
}

// A packet on the wire: the 4-byte little-endian length, then the bytes.
inline std::string Packet(const std::string& body) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; i++) out[i] = static_cast<char>(body.size() >> (8 * i));
    return out + body;
}

// 127.0.0.1 packed as the connection calls take it (first byte lowest).
constexpr int LoopbackAddress = 127 | 1 << 24;

class NetWorkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        scratch_.useAsRuntimeDirectory();
        if (getenv("ZQ_KEEP") != nullptr) scratch_.keep();
        CopyTextBounded(SystemStateRecord.startDirectory, sizeof SystemStateRecord.startDirectory, dir_.c_str());
        StartLogFile();
        blocksAtStart_ = GetTrackedBlockCount();
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "NetWorkTestParent";
        ASSERT_NE(0, RegisterClassExA(&wc));
        parent_ = CreateWindowExA(0, "NetWorkTestParent", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
        ASSERT_NE(nullptr, parent_);
        ClearHttpDownloadState();
    }
    void TearDown() override {
        ShutdownHttpDownloads();
        ShutdownNetWork();
        ClearHttpDownloadState();
        WinSockSeamReset();
        DestroyWindow(parent_);
        UnregisterClassA("NetWorkTestParent", nullptr);
        EXPECT_EQ(blocksAtStart_, GetTrackedBlockCount()) << "tracked blocks left behind";
    }
    // Starts the layer; connects may wait long on a loaded machine (the tests of the
    // time-out set their own).
    void Start() {
        ASSERT_EQ(0, SetupNetWork(parent_));
        SetNetWorkConnectTimeOut(10000);
    }
    // Runs the library's per-frame network upkeep until `done` holds; false after 10 s.
    // With closeFlag 0 the pump leaves failed and lost connections alone.
    static bool PumpUntil(const std::function<bool()>& done, int closeFlag = 1) {
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 10000) {
            PumpNetWorkMessages(closeFlag);
            ProcessHttpDownloads();
            if (done()) return true;
            Sleep(1);
        }
        return false;
    }
    // The upkeep for a while, for things that should not happen.
    static void PumpFor(DWORD milliseconds) {
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < milliseconds) {
            PumpNetWorkMessages(0);
            Sleep(1);
        }
    }
    std::string Log() const {
        std::ifstream in(dir_ + "/Log.txt", std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return ReplaceLineStamps(bytes.str(), "", false);
    }
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }

    ScratchDirectory scratch_{"zq-network-test"};
    const std::string dir_ = scratch_.path();
    HWND parent_ = nullptr;
    int blocksAtStart_ = 0;
};
