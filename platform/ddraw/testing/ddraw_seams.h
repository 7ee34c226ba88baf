// ddraw_seams.h - test seams of the display layer (DirectDraw, GDI, the virtual desktop).
//
//     ResetDisplayForTest(DesktopFormat::Rgb565, 800, 600);  // a fresh black desktop
//     SetWindowClientRectForTest(window, RECT{100, 50, 740, 530});
//     FailSurfaceCreation(DDSCAPS_ZBUFFER, DDERR_OUTOFVIDEOMEMORY);
//     ... run the code under test ...
//     EXPECT_EQ(0x00FF00u, ReadDesktopRgb(100, 50));
#pragma once

#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/window/desktop.h"

// A fresh desktop cleared to black (its raster at the clock's own time), with every seam
// below back at its default. Live objects, the window group's present hook and its
// client locator stay as they are.
void ResetDisplayForTest(DesktopFormat format = DesktopFormat::Xrgb8888, int width = 1024, int height = 768,
                         int refresh = 60);

// Failure injection.
void FailNextDirectDrawCreations(int count);
// Surfaces whose caps hold every bit of capsMask fail with `error`, `count` times (-1: always).
void FailSurfaceCreation(DWORD capsMask, HRESULT error, int count = -1);
void SetVideoMemoryTotal(DWORD bytes);
// The next `count` GDI BitBlt calls on live DCs fail, leaving ERROR_NOT_ENOUGH_MEMORY.
void FailNextBitBlts(int count);
// Display modes the desktop accepts (null: 8, 16 or 32 bits, refresh 0, 60 or the desktop's).
void SetDisplayModeFilter(DesktopModeFilter filter);

// Losses: the surface answers DDERR_SURFACELOST until Restore.
void MarkSurfaceLost(IDirectDrawSurface7* surface);
void MarkAllSurfacesLost();

// Where a window's client area lies on the desktop, in front of the window group's own
// answer (which still serves every other window).
void SetWindowClientRectForTest(HWND window, const RECT& clientOnDesktop);

// The desktop as it is now: a raw pixel, or its colour as 0xRRGGBB.
uint32_t ReadDesktopPixel(int x, int y);
uint32_t ReadDesktopRgb(int x, int y);

// Presents since the reset, and captured copies of what the last 16 presents showed.
long PresentedFrameCount();
RECT LastPresentedRect();
struct CapturedFrame {
    RECT rect;                // on the desktop
    std::vector<uint32_t> rgb; // 0xRRGGBB, row by row
};
const std::vector<CapturedFrame>& CapturedFrames();

// DirectDraw objects, surfaces, clippers and palettes still alive.
int LiveDirectDrawObjects();
