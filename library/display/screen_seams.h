// screen_seams.h - display routines the library core calls before the display
// subsystem is built. Stand-ins in screen_seams.cpp; the display subsystem replaces
// both files with its own headers and definitions (RgbToScreenPixel, the colour
// formats and InitDDPixelFormatRgb are declared in color_format.h).
#pragma once

#include "platform/ddraw_types.h"

struct IDirectDraw7;

// Writes the screen width and height (640 x 480 when unset); either may be null. 0.
int GetScreenPixelSize(int* width, int* height);
// The DirectDraw object, null before DirectDraw start-up.
IDirectDraw7* GetDirectDrawObject(void);

// Display state accessors.
int GetSoftwareScreenRequest(void);       // 1: run without DirectDraw
int SetScreenUseDirectDraw(int useFlag);  // 0: GDI output with the software renderer
int IsDirectDrawUsed(void);
int SetFrontCopySurfaceUse(int flag);
int GetScreenColorBitDepth(void);         // the requested depth, 16 when unset
int SetPresentWaitVSync(int flag);
int GetPresentWaitVSync(void);
int IsDisplayModeChanged(void);           // a full-screen display mode is in force
int SetScreenGdiCompatible(int flag);
int GetScreenGdiCompatible(void);
DDPIXELFORMAT* GetScreenDDPixelFormat(void);

// Screen mode, surfaces and presenting.
int ChangeScreenMode(int width, int height, int colorBits, int force, int refreshRate);
int RequestScreenMode(int width, int height, int colorBits, int refreshRate);
int SetupScreenColorFormat(void);
int FreeDirectDrawObject(void);
int RestoreAllSurface2D(void);            // -1 when a surface was lost or before start-up
int PresentBackBuffer(void);
int CopyBackBufferToWindow(void);
