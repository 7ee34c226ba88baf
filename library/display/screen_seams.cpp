// Stand-ins for the display routines (see screen_seams.h): a library whose display
// never started. A mode requested before start-up is stored as the display would
// store it; everything that needs the display device fails.
#include "library/display/screen_seams.h"

#include "library/core/system_state.h"

int RequestScreenMode(int width, int height, int colorBits, int) {
    if (SystemStateRecord.life.libraryInitialised) return -1;
    int w = width == -1 ? g_Screen.width : width;
    int h = height == -1 ? g_Screen.height : height;
    int bits = colorBits == -1 ? GetScreenColorBitDepth() : colorBits;
    if (w == 0 || h == 0 || (bits != 8 && bits != 16 && bits != 32)) return -1;
    g_Screen.width = w;
    g_Screen.height = h;
    g_Screen.requestedColorBits = bits;
    return 0;
}

int SetupScreenColorFormat(void) { return -1; }
int FreeDirectDrawObject(void) { return 0; }
int RestoreAllSurface2D(void) { return -1; }
int PresentBackBuffer(void) { return -1; }
int CopyBackBufferToWindow(void) { return -1; }
