// presenter.h - shows the virtual desktop in an SDL window.
//
// The window group owns the SDL windows and the main thread's event loop. To show a
// window's pixels it makes one DesktopPresenter per SDL window and installs a present
// hook (SetDesktopPresentHook, desktop.h); the hook receives every rectangle of the
// desktop that changed and calls PresentDesktopRect with the client rectangle of each
// window it touches (in full screen: the whole desktop). Everything runs on the main
// thread. Headless runs need no presenter: tests read the desktop and the frame record.
#pragma once

#include "platform/wintypes.h"

struct SDL_Window;
struct DesktopPresenter;

// A renderer without vsync and a streaming texture for the window; null when SDL fails.
DesktopPresenter* CreateDesktopPresenter(SDL_Window* window);
void DestroyDesktopPresenter(DesktopPresenter* presenter);

// Uploads `source` (desktop coordinates, cut to the desktop) into the streaming texture
// (RGB565, XRGB1555, XRGB8888 or packed 24-bit, as the desktop is; an 8-bit desktop's
// indices expanded through its palette to XRGB8888) and shows it over the whole
// window, scaled by nearest neighbour and letterboxed to keep its shape.
// Returns 0, or -1 when SDL refuses.
int PresentDesktopRect(DesktopPresenter* presenter, const RECT& source);
