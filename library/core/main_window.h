// main_window.h - the library's main window: created by start-up, destroyed by
// shutdown, kept at the screen size times the zoom factor in window mode.
//
// CreateMainWindow resets the SystemState record (keeping the settings), measures
// memory and the timers, seeds the random numbers, refuses a second running copy of
// the program (a window of the same class in another process of the user), registers
// the class (named after the caption, or "Z123987Q"), creates and shows the window
// (caption "ZqLib" unless set) and starts the upkeep thread.
#pragma once

#include "platform/wintypes.h"

int CreateMainWindow(void);   // 0, or -1 (second copy, class or window refused)
int DestroyMainWindow(void);  // 0
int FitWindowToClientSize(void);
int TrackWindowMove(LPARAM position);

// How long start-up pumps messages after showing the window.
enum { StartUpPumpMs = 200 };
