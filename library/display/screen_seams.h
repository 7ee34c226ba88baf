// screen_seams.h - screen-mode, surface and present routines the library core calls
// before the display start-up is built. Stand-ins in screen_seams.cpp; the display
// subsystem replaces both files.
#pragma once

#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"

int RequestScreenMode(int width, int height, int colorBits, int refreshRate);
int SetupScreenColorFormat(void);
int FreeDirectDrawObject(void);
int RestoreAllSurface2D(void);            // -1 when a surface was lost or before start-up
int PresentBackBuffer(void);
int CopyBackBufferToWindow(void);
