// onscreen_log.h - a small log of text lines that can be drawn over the screen.
//
// 80 lines of up to 254 bytes, 16 pixels high, drawn from the top with the log's own
// outlined font. Lines wrap by bytes and by the screen width and scroll once the
// screen is full. Nothing sets the "shown" flag, so the present step never draws it.
#pragma once

#include "library/core/system_state.h"

int InitOnScreenLog(void);      // -1 without DirectDraw or a main window
int AddOnScreenLogText(const char* text);
int ClearOnScreenLog(void);
int DrawOnScreenLog(void);
int CheckOnScreenLogShown(void);
int EndOnScreenLog(void);

// The line layout alone, on a given screen with a given character measure: adds the
// text to `log` as AddOnScreenLogText does (line feed = new line, TAB = tab-width
// blanks, bytes 7, 8, 11, 12, 13 and '?' dropped, two-byte characters kept whole).
struct OnScreenLogScreen {
    int width;
    int height;
    int (*measure)(const char* bytes, int length, int font);  // pixel width of one character
};
int LayOutOnScreenLogText(OnScreenLogState* log, const OnScreenLogScreen* screen, const char* text);
