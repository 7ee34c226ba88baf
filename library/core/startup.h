// startup.h - library start-up and shutdown in their fixed order.
//
// Start-up: file table and start directory, a fresh Log.txt, the 24-bit refusal,
// system information, COM, the main window, HTTP, input, sound (may fail), graphics,
// then the drawing warm-up. A failure of COM, the window, HTTP, input or graphics
// shuts the library down again and returns -1. Shutdown ends everything in reverse,
// restores the start directory and logs the blocks still allocated.
#pragma once

#include "platform/wintypes.h"

int InitializeLibraryCore(void);  // 0, or -1
int ShutdownLibraryCore(void);    // 0
int StartCom(void);               // 0, or -1 (failure, or already started)
int EndCom(void);                 // 0, or -1 when COM was not started
int BringWindowToForeground(HWND window, int topmost);
