// Helpers for the window group's tests: a window class that records the messages
// its procedure receives, and a private runtime directory per test.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/window/window.h"
#include "support/scratch_directory.h"

struct SeenMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<SeenMessage>& SeenMessages() {
    static std::vector<SeenMessage> seen;
    return seen;
}

inline LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SeenMessages().push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(runtime_.path().empty());
        runtime_.useAsRuntimeDirectory();
        SeenMessages().clear();
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "TestWindow";
        ASSERT_NE(0, RegisterClassExA(&wc));
    }
    void TearDown() override {
        for (HWND w : created_) DestroyWindow(w);
        UnregisterClassA("TestWindow", nullptr);
    }
    HWND Create(const char* title = "Test", int x = 10, int y = 20, int w = 150, int h = 200) {
        HWND window = CreateWindowExA(0, "TestWindow", title, WS_POPUP | WS_CAPTION, x, y, w, h, nullptr,
                                      nullptr, nullptr, nullptr);
        if (window != nullptr) created_.push_back(window);
        return window;
    }
    // Peeks and dispatches everything pending; returns the messages taken.
    std::vector<MSG> Drain() {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }
    static std::vector<SeenMessage> Seen(UINT message) {
        std::vector<SeenMessage> out;
        for (const SeenMessage& m : SeenMessages()) {
            if (m.message == message) out.push_back(m);
        }
        return out;
    }
    ScratchDirectory runtime_{"zq-window-test"};
    std::vector<HWND> created_;
};
