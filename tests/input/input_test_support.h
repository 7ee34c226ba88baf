// Helpers for the input tests: a main window whose IME messages reach the input
// subsystem, the log in a scratch directory, a frozen virtual clock, and text-entry
// fields made directly (no entry point creates one).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/core_test_support.h"
#include "library/core/alloc.h"
#include "library/core/handles.h"
#include "library/input/char_input.h"
#include "library/input/input.h"
#include "library/input/input_state.h"
#include "platform/testing.h"
#include "platform/window/window.h"

// Texts as SDL gives them: UTF-8 (narrow literals of the tests are Shift-JIS).
inline const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The game's keys: SDL's scancode and the DirectInput key code the game tests.
struct GameKey {
    SDL_Scancode scancode;
    int code;
};
inline constexpr GameKey GameKeys[] = {
    {SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_BACKSPACE, 14}, {SDL_SCANCODE_LSHIFT, 42}, {SDL_SCANCODE_Z, 44},
    {SDL_SCANCODE_X, 45},     {SDL_SCANCODE_UP, 200},       {SDL_SCANCODE_LEFT, 203},  {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_DOWN, 208},
};

// Real joysticks on the machine would add pads and log lines to what the tests expect.
inline bool MachineHasJoysticks() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    bool any = SDL_NumJoysticks() > 0;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    return any;
}

// The main window's procedure as far as input goes: IME messages to the IME handler.
inline LRESULT InputTestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
        return HandleImeMessage(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

class InputTest : public LogTest {
protected:
    void SetUp() override {
        // The log's directory is the runtime directory too (window locks).
        dir.useAsRuntimeDirectory();
        LogTest::SetUp();
        DinputSeamReset();
        std::memset(&InputStateRecord, 0, sizeof InputStateRecord);
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = InputTestWindowProc;
        wc.lpszClassName = "InputTestWindow";
        ASSERT_NE(0, RegisterClassExA(&wc));
        window_ = CreateWindowExA(0, "InputTestWindow", "Input", WS_POPUP | WS_CAPTION, 0, 0, 150, 200, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
        ShowWindow(window_, SW_SHOW);
        SystemState& s = SystemStateRecord;
        s.window.mainWindow = window_;
        s.window.mainThreadId = GetCurrentThreadId();
        s.life.active = 1;
        s.life.closeRequested = 0;
        s.life.quit = 0;
        s.mode.doubleByteRule = DoubleByteShiftJis;
        Drain();
        InitCharCodeBuffer();
    }
    void TearDown() override {
        DeleteAllTextEntryHandles();
        ShutdownDirectInput();
        EXPECT_EQ(0, DinputSeamLiveObjectCount());
        DinputSeamReset();
        SystemStateRecord.window.mainWindow = nullptr;
        DestroyWindow(window_);
        UnregisterClassA("InputTestWindow", nullptr);
        LogTest::TearDown();
    }
    // Translates and dispatches everything pending, as the pump does.
    void Drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // The log from the first byte written after `mark` (a length of the log).
    std::string LogSince(size_t mark) const { return Log().substr(mark); }

    // A text-entry field in the slot with the text and cursor; it becomes the active one.
    int MakeTextEntry(int slot, const char* text, int cursor, int maxLength) {
        TextEntryRecord& entry = CharInputStateRecord.entries[slot];
        std::memset(&entry, 0, sizeof entry);
        entry.inUse = 1;
        entry.check = 7;
        entry.maxLength = maxLength;
        entry.text = static_cast<char*>(ZqAllocZero(static_cast<size_t>(maxLength) + 1));
        entry.length = static_cast<int>(std::strlen(text));
        std::memcpy(entry.text, text, static_cast<size_t>(entry.length));
        entry.cursor = cursor;
        int handle = MakeResourceHandle(HandleKindTextEntry, entry.check, slot);
        CharInputStateRecord.activeHandle = handle;
        return handle;
    }

    HWND window_ = nullptr;
};
