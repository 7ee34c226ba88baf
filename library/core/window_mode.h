// window_mode.h - window mode or full screen, caption, icon and window style.
//
// Before the window exists these settings are only stored (CreateMainWindow uses
// them); afterwards they are applied to the live window.
#pragma once

int ChangeWindowModeCore(int windowed);  // 0, or the screen-mode change's result
int SetWindowedFlag(int windowed);
int ApplyWindowStyleForMode(void);
int SetWindowTitleTextCore(const char* text);  // the caption keeps at most 259 bytes
int SetWindowIconResourceCore(int iconId);
int SetWindowStyleIndex(int index);            // -1 for an index outside 0-6

// The window and full-screen styles of a style index (0-6).
struct WindowStyles {
    unsigned windowStyle;
    unsigned windowExStyle;
    unsigned fullScreenStyle;
    unsigned fullScreenExStyle;
};
const WindowStyles& GetWindowStyles(int index);

// How long a window-mode change waits for the display to report the new mode.
enum { DisplayChangeWaitLimitMs = 2000 };
