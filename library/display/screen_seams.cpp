// Stand-ins for the display routines (see screen_seams.h): a library whose display
// never started. Settings made before start-up are stored as the display would store
// them; everything that needs the display device fails.
#include "library/display/screen_seams.h"

#include "library/core/system_state.h"
#include "library/display/color_format.h"

namespace {
int screenWidth = 0;
int screenHeight = 0;
int screenBits = 0;
int noDirectDraw = 0;
int softwareRequest = 0;
int presentWaitVSync = 0;
DDPIXELFORMAT screenPixelFormat = {};
}  // namespace

int GetScreenPixelSize(int* width, int* height) {
    if (width != nullptr) *width = screenWidth != 0 ? screenWidth : 640;
    if (height != nullptr) *height = screenHeight != 0 ? screenHeight : 480;
    return 0;
}

IDirectDraw7* GetDirectDrawObject(void) { return nullptr; }

// Before the display starts the screen format has no channels: every colour is 0.
int RgbToScreenPixel(int, int, int) { return 0; }

int GetSoftwareScreenRequest(void) { return softwareRequest; }
int SetScreenUseDirectDraw(int useFlag) {
    noDirectDraw = useFlag == 0;
    return 0;
}
int IsDirectDrawUsed(void) { return !noDirectDraw; }
int SetFrontCopySurfaceUse(int) { return 0; }
int GetScreenColorBitDepth(void) { return screenBits != 0 ? screenBits : 16; }
int SetPresentWaitVSync(int flag) {
    presentWaitVSync = flag;
    return 0;
}
int GetPresentWaitVSync(void) { return presentWaitVSync; }
int IsDisplayModeChanged(void) { return 0; }
int SetScreenGdiCompatible(int) { return 0; }
int GetScreenGdiCompatible(void) { return 0; }
DDPIXELFORMAT* GetScreenDDPixelFormat(void) { return &screenPixelFormat; }

int ChangeScreenMode(int, int, int, int, int) { return -1; }

// Before start-up a valid request is only stored; afterwards no mode can be put into
// force without the display.
int RequestScreenMode(int width, int height, int colorBits, int) {
    if (SystemStateRecord.life.libraryInitialised) return -1;
    int w = width == -1 ? screenWidth : width;
    int h = height == -1 ? screenHeight : height;
    int bits = colorBits == -1 ? GetScreenColorBitDepth() : colorBits;
    if (w == 0 || h == 0 || (bits != 8 && bits != 16 && bits != 32)) return -1;
    screenWidth = w;
    screenHeight = h;
    screenBits = bits;
    return 0;
}

int SetupScreenColorFormat(void) { return -1; }
int FreeDirectDrawObject(void) { return 0; }
int RestoreAllSurface2D(void) { return -1; }
int PresentBackBuffer(void) { return -1; }
int CopyBackBufferToWindow(void) { return -1; }

int InitColorFormatFromMasks(ColorFormat*, int, uint32_t, uint32_t, uint32_t, uint32_t) { return -1; }
int InitDDPixelFormatRgb(DDPIXELFORMAT*, int, uint32_t, uint32_t, uint32_t, uint32_t) { return -1; }
