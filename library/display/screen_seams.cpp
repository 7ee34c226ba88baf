// Stand-ins for the display-state accessors (see screen_seams.h): a library whose
// display never started.
#include "library/display/screen_seams.h"

#include "library/display/color_format.h"

int GetScreenPixelSize(int* width, int* height) {
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    return 0;
}

IDirectDraw7* GetDirectDrawObject(void) { return nullptr; }

// Before the display starts the screen format has no channels: every colour is 0.
int RgbToScreenPixel(int, int, int) { return 0; }
