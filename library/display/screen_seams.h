// screen_seams.h - display-state accessors the library core calls before the display
// subsystem is built. Stand-ins in screen_seams.cpp; the display subsystem replaces
// both files with its own header and definitions (RgbToScreenPixel is declared in
// color_format.h).
#pragma once

struct IDirectDraw7;

// Writes the screen width and height (640 x 480 when unset); either may be null. 0.
int GetScreenPixelSize(int* width, int* height);
// The DirectDraw object, null before DirectDraw start-up.
IDirectDraw7* GetDirectDrawObject(void);
