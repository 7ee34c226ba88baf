// window_seams.h - test seams of the window group: injected SDL events, forced
// activation changes, menu and toolbar choices, the desktop, and what reached SDL.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/window/window.h"

// Queues an SDL event for translation at the SDL thread's next PeekMessage, as if SDL
// had delivered it. Window events and input without a window id go to the given
// window (or the active window when it is null).
void WindowSeamInjectEvent(SDL_Event event, HWND window);
// Key press or release by SDL scancode (the key symbol follows the US layout).
void WindowSeamInjectKey(SDL_Scancode scancode, bool down, HWND window);
// Text typed by the user (UTF-8), as SDL's text input gives it.
void WindowSeamInjectText(const char* utf8, HWND window);
// The user closes the window (the window manager's close button).
void WindowSeamInjectClose(HWND window);
// Posts the messages a real focus change gives, also on the headless drivers (which
// otherwise keep a window active). Thread-safe.
void WindowSeamSetActive(HWND window, bool active);
// A user choosing a menu item, clicking a toolbar button; false when the item or button
// does not exist or is disabled.
bool WindowSeamChooseMenuItem(HWND window, UINT id);
bool WindowSeamClickToolbarButton(HWND toolbar, int id);
// The mouse position in screen coordinates that GetCursorPos reports.
void WindowSeamSetCursorPos(int x, int y);
// Makes the desktop this size and depth (bits as its device context reports them).
void WindowSeamSetDesktop(int width, int height, int bits);
// What SDL shows: the title (UTF-8) and the SDL window of a layer window.
std::string WindowSeamSdlTitle(HWND window);
SDL_Window* WindowSeamSdlWindow(HWND window);
// The cursor display counter and whether SDL shows the cursor.
int WindowSeamCursorCount(void);
bool WindowSeamCursorShown(void);
// Whether the screen saver is inhibited for this process.
bool WindowSeamScreenSaverInhibited(void);
// The window's wish for an input method (WINNLSEnableIME).
bool WindowSeamImeEnabled(HWND window);
// Number of windows the layer holds (top-level and children).
int WindowSeamWindowCount(void);
// Times the SDL thread has pumped SDL's event queue (PumpWindowEvents, PeekMessageA).
long WindowSeamPumpCount(void);
// Times a pump updated the joysticks (at most once per millisecond of real time).
long WindowSeamJoystickUpdateCount(void);
