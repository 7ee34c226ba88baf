// screen_request.cpp - RequestScreenMode, the body of the public SetScreenMode.
#include "library/core/system_state.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/graph/graph_handles.h"

namespace {

// An 8-bit screen is a full-screen DirectDraw mode drawn without Direct3D: a window
// takes the desktop's depth (never 8 bits), GDI output draws 16 or 32 bits, and
// Direct3D has no 8-bit device, so the change would fail after the screen was torn down.
bool PaletteScreenPossible(const ScreenState& s) {
    return !GetWindowedFlag() && !s.noDirectDraw && s.softwareScreenRequest;
}

}  // namespace

int RequestScreenMode(int width, int height, int colorBits, int refreshRate) {
    ScreenState& s = g_Screen;
    DeleteAllGraphHandles(0);  // graphs do not survive the request, whatever it asks

    int currentWidth, currentHeight;
    GetScreenPixelSize(&currentWidth, &currentHeight);
    if (width == -1) width = currentWidth;
    if (height == -1) height = currentHeight;
    if (colorBits == -1) colorBits = GetScreenColorBitDepth();
    if (refreshRate == -1) refreshRate = s.refreshRate;
    if (width == 0 || height == 0 || (colorBits != 8 && colorBits != 16 && colorBits != 32)) return -1;
    // Refused before anything changes when it cannot be had.
    if (colorBits == 8 && s.startupDone && !PaletteScreenPossible(s)) return -1;

    const int previousWidth = s.width, previousHeight = s.height, previousBits = s.colorBits;
    const int previousRefresh = s.refreshRate;
    s.requestedColorBits = colorBits;
    ChangeScreenMode(width, height, colorBits, 0, refreshRate);

    // In a window the desktop decides between 16 and 32 bits, so only the size and
    // refresh count there.
    const bool depthMatches = s.colorBits == colorBits || GetWindowedFlag();
    if (s.width == width && s.height == height && depthMatches && s.refreshRate == refreshRate) return 0;
    if (s.width == previousWidth && s.height == previousHeight && s.colorBits == previousBits &&
        s.refreshRate == previousRefresh) {
        return -1;
    }
    if (s.width == 640 && s.height == 480 && s.colorBits == 16 && s.refreshRate == 0) return -2;
    return -1;
}
