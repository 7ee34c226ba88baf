// desktop.h - the virtual desktop: the one screen in memory that DirectDraw and GDI share.
//
// The desktop is a pixel buffer in the display format. A window's client area is a
// rectangle of it (the window group tells where, through the client locator). The
// window-mode primary surface and window device contexts address it directly; the
// full-screen flip chain swaps its buffer. Every write that reaches the screen ends
// with DesktopPresent(rect), which counts the frame, captures it for tests and calls
// the present hook, through which the window group shows it (presenter.h).
//
// An 8-bit display mode holds palette indices; the desktop's palette (the one the
// display shows them through) is set from the palette attached to the primary surface,
// and a change of it presents the whole desktop, as the colours on screen change at once.
//
// Settings (read from the environment once, on first use):
//   ZQ_DESKTOP_FORMAT   XRGB8888 (default, reports 32 bits), RGB565, RGB555 (both 16 bits),
//                       or RGB888 (a packed 24-bit desktop, which the library refuses)
//   ZQ_DESKTOP_SIZE     WIDTHxHEIGHT, default 1024x768
//   ZQ_DESKTOP_REFRESH  refresh rate in Hz, default 60 (values below 60 become 60)
//
// Internal to the platform layer; everything runs on the main thread.
#pragma once

#include <vector>

#include "platform/pixels.h"
#include "platform/wintypes.h"

enum class DesktopFormat { Xrgb8888, Rgb565, Rgb555, Rgb888 };

// The desktop's own mode (restored by RestoreDisplayMode and ChangeDisplaySettingsA(NULL)).
struct DesktopSettings {
    DesktopFormat format;
    int width;
    int height;
    int refresh;
};

// The current pixels; the view changes when the mode changes or a flip swaps buffers.
// In an 8-bit mode the view carries the desktop's palette.
PixelView DesktopView();
int DesktopWidth();
int DesktopHeight();
int DesktopRefreshRate();
// Bits per pixel as the display reports them: 16, 32, 8 in a palette mode, or 24 for a
// packed RGB888 desktop.
int DesktopBitsPerPixel();
DDPIXELFORMAT DesktopPixelFormat();

// The palette of an 8-bit mode: 256 entries 0x00RRGGBB (a grey ramp until one is set).
const uint32_t* DesktopPalette();
// Sets entries start .. start + count - 1; in an 8-bit mode the whole desktop is
// presented again with them.
void DesktopSetPaletteEntries(int start, int count, const uint32_t* colours);

// Display modes (16 or 32 bits, or 8 with a palette). A mode in force replaces the
// desktop's own mode until it is restored.
bool DesktopIsModeAccepted(int width, int height, int bitsPerPixel, int refresh);
bool DesktopSetMode(int width, int height, int bitsPerPixel, int refresh); // false: refused
void DesktopRestoreMode();
bool DesktopHasModeInForce();

// Exchanges the desktop buffer with another buffer of the same size (the flip); false
// when the sizes differ. Buffers have the desktop's pitch.
bool DesktopSwapBuffer(std::vector<uint8_t>& other);
int DesktopPitch();

// Tells the window group that rect (desktop coordinates) changed on screen.
void DesktopPresent(const RECT& rect);

// Where a window's client area lies on the desktop. Without a locator, and for a null
// window, it is the whole desktop.
using WindowClientLocator = bool (*)(HWND window, RECT* clientOnDesktop);
void SetWindowClientLocator(WindowClientLocator locator);
WindowClientLocator CurrentWindowClientLocator();
RECT WindowClientOnDesktop(HWND window);

// Called after a display mode was put into force or the desktop's own mode came back
// (the window group tells its windows with WM_DISPLAYCHANGE).
using DesktopModeChangeHook = void (*)(int width, int height, int bitsPerPixel);
void SetDesktopModeChangeHook(DesktopModeChangeHook hook);

// Called after each present with the changed rectangle (see presenter.h).
using DesktopPresentHook = void (*)(const RECT& changedOnDesktop);
void SetDesktopPresentHook(DesktopPresentHook hook);

// For the test seams.
DesktopSettings DesktopSettingsFromEnvironment();
void DesktopConfigure(const DesktopSettings& settings); // a fresh desktop, cleared to black
using DesktopModeFilter = bool (*)(int width, int height, int bitsPerPixel, int refresh);
void SetDesktopModeFilter(DesktopModeFilter filter); // null: the default rule
struct DesktopFrameRecord {
    long presents;     // presents so far
    RECT lastRect;     // the last presented rectangle
};
DesktopFrameRecord DesktopFrames();
void DesktopResetFrames();
// A second observer of presents, for the tests' frame capture.
void SetDesktopCaptureHook(DesktopPresentHook hook);
