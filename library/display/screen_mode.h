// screen_mode.h - putting a screen size, colour depth and refresh rate into force.
//
// ChangeScreenMode tears down everything that depends on the screen, sets the
// cooperative level and display mode (with fallbacks), rebuilds the screen colour
// format, the screens, Direct3D, graph management and the default font, and measures
// the copy method and the display's frame period for frame pacing.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct IDirectDraw7;

// Each of width, height, colorBits and refreshRate may be -1 to keep the current
// value; force redoes the change even when nothing differs. 0 on success, -2 when
// the 640 x 480 x 16 fallback was taken, -1 on failure.
int ChangeScreenMode(int width, int height, int colorBits, int force, int refreshRate);

// Puts a mode into force at start-up (and after the object was re-created): in a
// window the colour depth becomes the desktop's (24 bits refuses with -1); in full
// screen the display mode is set. outColorBits and outCooperativeLevel may be null.
int SetInitialDisplayMode(IDirectDraw7* object, int desktopWidth, int desktopHeight, int width, int height,
                          int colorBits, int* outColorBits, uint32_t* outCooperativeLevel, int windowed,
                          int* displayModeChanged, HWND window);

int SetupScreenColorFormat(void);         // 0
int ReapplyDisplayMode(void);             // 0
int RestoreDisplayModeForRelease(void);   // 0
int RestoreDesktopDisplayMode(void);      // 0, or -1 with DirectDraw output and no object

// Steps shared by the mode change and the start-up mode: the cooperative levels (a
// refusal ends the process; the full-screen level tolerates the errors that leave it
// in force) and a GDI display-settings change to a mode (refresh 0: the default).
int SetWindowCooperativeLevel(IDirectDraw7* object, HWND window);
int SetFullScreenCooperativeLevel(IDirectDraw7* object, HWND window);
LONG ChangeDisplaySettingsTo(int width, int height, int colorBits, int refreshRate, DWORD flags);
