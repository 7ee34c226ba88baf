// present.h - showing the finished frame, the vertical-blank waits and frame pacing,
// the surface-to-surface copy of the drawing side, and the requested screen mode.
//
// PresentBackBuffer is the body of the public PresentScreen: in a window (or with GDI
// output) the back buffer is copied to the window's client area, in full screen the
// flip chain is flipped. SetScreenMode's body is RequestScreenMode.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct IDirectDrawSurface7;

int PresentBackBuffer(void);       // 0, or -1 without a DirectDraw object while GDI output is off
int CopyBackBufferToWindow(void);  // the same; also the window's repaint
int WaitVerticalBlankCount(int count);  // 0; -1 without an object or when the pump reports quit
DWORD WaitFramePacing(void);            // the time stamp it recorded

enum { CopyMethodBltFast = 0, CopyMethodBitBlt = 1, CopyMethodFastest = -1 };
int CopySurfaceArea(IDirectDrawSurface7* destination, IDirectDrawSurface7* source, int x, int y, const RECT* sourceRect,
                    int method);

// Each of the four may be -1 to keep the current value. 0 set; -2 the 640 x 480 x 16
// fallback was taken; -1 refused or failed (every graph is deleted first, whatever
// the arguments).
int RequestScreenMode(int width, int height, int colorBits, int refreshRate);

int GetScreenRectOnDesktop(RECT* rect);

// The front copy surface (kept where the visible screen must be redrawn from a copy).
enum { FrontCopyTimerId = 0x7FFF, FrontCopyTimerPeriodMs = 17 };
int CopyPrimaryToFrontSurface(void);
int CopyFrontSurfaceToPrimary(void);
void FrontSurfaceTimerProc(HWND window, UINT message, uintptr_t id, DWORD time);

int ResetPresentCount(void);
int CountPresent(void);
uint64_t GetPresentCount(void);
