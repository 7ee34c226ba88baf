// window_proc.h - the main window's procedure: window messages become SystemState
// flags (active, closing, quit); activation changes restore or pause graphics,
// movies and input; keys and characters feed the character input; IME, sound,
// input and socket messages go to their owners.
#pragma once

#include "platform/window/window.h"

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Window messages of the library's own services.
#define WM_INPUT_FLAG1 0x046F
#define WM_INPUT_FLAG2 0x0470
