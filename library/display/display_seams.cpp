// display_seams.cpp - stand-ins for the display routines until the display start-up,
// mode change and present are built; that work replaces this file. Without a display
// device no mode can be put into force and nothing can be presented.
#include "library/core/system_state.h"
#include "library/display/display_device.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"

int ChangeScreenMode(int, int, int, int, int) { return -1; }

// Before start-up a valid request is only stored; afterwards no mode can be put into
// force without the display.
int RequestScreenMode(int width, int height, int colorBits, int) {
    if (SystemStateRecord.life.libraryInitialised) return -1;
    int w = width == -1 ? g_Screen.width : width;
    int h = height == -1 ? g_Screen.height : height;
    int bits = colorBits == -1 ? GetScreenColorBitDepth() : colorBits;
    if (w == 0 || h == 0 || (bits != 8 && bits != 16 && bits != 32)) return -1;
    g_Screen.width = w;
    g_Screen.height = h;
    g_Screen.colorBits = bits;
    g_Screen.requestedColorBits = bits;
    return 0;
}

int SetupScreenColorFormat(void) { return -1; }
int FreeDirectDrawObject(void) { return 0; }
int RestoreAllSurface2D(void) { return -1; }
int PresentBackBuffer(void) { return -1; }
int CopyBackBufferToWindow(void) { return -1; }
