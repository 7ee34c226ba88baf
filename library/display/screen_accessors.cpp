// screen_accessors.cpp - getters and setters of the display globals.
//
// Most are one-liners. SetScreenUseDirectDraw and SetScreenGdiCompatible also redo a
// piece of the display set-up when the DirectDraw object exists: switching to GDI
// output rebuilds the screens, and changing the GDI-compatible state re-selects the
// draw targets.
#include <cstring>

#include "library/core/menu.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "platform/ddraw/ddraw.h"
#include "platform/wintypes.h"

int SetGraphicsStartedFlag(int flag) {
    g_Screen.graphicsStarted = flag;
    return 0;
}

int SetPresentWaitVSync(int flag) {
    g_Screen.presentWaitVSync = flag;
    return 0;
}

int GetPresentWaitVSync(void) { return g_Screen.presentWaitVSync; }

int SetSoftwareScreenRequest(int flag) {
    g_Screen.softwareScreenRequest = g_Screen.noDirectDraw ? 1 : flag;
    return 0;
}

int GetSoftwareScreenRequest(void) { return g_Screen.softwareScreenRequest; }

int SetScreenUseDirectDraw(int useFlag) {
    if (g_Screen.noDirectDraw) useFlag = 0;  // GDI output is a one-way switch
    if (useFlag == 0) {
        SetHardware3DDrawFlag(0);
        SetGraphDirectDrawSurfaceFlag(0);
        g_Screen.noDirectDraw = 1;
    }
    g_Screen.softwareRenderer = useFlag == 0 ? 1 : 0;

    if (g_Screen.directDraw != nullptr) {
        // Rebuild the screens for the output configuration now in force.
        int target = GetDrawTargetHandle();
        DeleteAllGraphHandles(0);
        ChangeScreenMode(-1, -1, -1, 1, -1);
        if (target == FrontBufferTarget || target == BackBufferTarget) SelectDrawTargetCore(target);
    }
    return 0;
}

int SetScreenGdiCompatible(int flag) {
    int menuInUse = CheckMenuInUse();
    int state = (flag == 1 || menuInUse) ? 1 : 0;
    if (state == g_Screen.gdiCompatibleApplied) return 0;

    g_Screen.gdiCompatibleRequest = flag;
    if (g_Screen.directDraw == nullptr) return 0;

    if (flag == 1 || menuInUse) IDirectDraw7_FlipToGDISurface(g_Screen.directDraw);

    // Re-select both screens and the current target so each takes the new state.
    RECT area;
    GetDrawClipRect(&area);
    int target = GetDrawTargetHandle();
    SelectDrawTargetCore(BackBufferTarget);
    SelectDrawTargetCore(FrontBufferTarget);
    SelectDrawTargetCore(target);
    SetDrawClipRect(area.left, area.top, area.right, area.bottom);

    g_Screen.gdiCompatibleApplied = state;
    return 0;
}

int GetScreenGdiCompatible(void) { return g_Screen.gdiCompatibleRequest; }

int SetFrontCopySurfaceUse(int flag) {
    if (g_Screen.directDraw == nullptr) g_Screen.frontCopySurfaceUse = flag;
    return 0;
}

int GetScreenPixelSize(int* width, int* height) {
    if (width) *width = g_Screen.width != 0 ? g_Screen.width : ScreenDefaultWidth;
    if (height) *height = g_Screen.height != 0 ? g_Screen.height : ScreenDefaultHeight;
    return 0;
}

int GetScreenColorBitDepth(void) {
    return g_Screen.requestedColorBits != 0 ? g_Screen.requestedColorBits : ScreenDefaultColorBits;
}

int QueryScreenColorBitDepth(void) { return GetScreenColorBitDepth(); }

IDirectDraw7* GetDirectDrawObject(void) { return g_Screen.directDraw; }

int IsDirectDrawUsed(void) { return g_Screen.noDirectDraw ? 0 : 1; }

int IsSoftwareRenderMode(void) { return g_Screen.softwareRenderer; }

int IsDisplayModeChanged(void) { return g_Screen.displayModeChanged; }

int SetDisplayModeChanged(int flag) {
    g_Screen.displayModeChanged = flag;
    return 1;
}

IDirectDrawSurface7* GetDrawTargetSurface(void) { return g_Screen.drawTargetSurface; }

IDirectDrawSurface7* GetFrontBufferSurface(void) {
    return g_Screen.frontCopySurfaceUse ? g_Screen.FrontCopySurface : g_Screen.PrimarySurface;
}

IDirectDrawSurface7* GetBackBufferSurface(void) { return g_Screen.BackSurface; }

IDirectDrawSurface7* GetSysMemWorkSurface(void) { return g_Screen.WorkSurface[0]; }

int IsDrawTargetPrimaryInWindow(void) {
    return GetWindowedFlag() && g_Screen.PrimarySurface != nullptr &&
                   g_Screen.drawTargetSurface == g_Screen.PrimarySurface
               ? 1
               : 0;
}

ColorFormat* GetScreenColorFormat(void) { return &g_Screen.colorFormat; }

DDPIXELFORMAT* GetScreenDDPixelFormat(void) { return &g_Screen.pixelFormat; }

const DDPIXELFORMAT* GetOverlayPixelFormat(void) {
    if (g_Screen.width < 640 || g_Screen.height < 400) return nullptr;
    if (g_Screen.overlayFormatIndex < 0 || g_Screen.overlayFormatIndex >= OverlayFormatCount)
        return nullptr;
    return &OverlayFormatTable[g_Screen.overlayFormatIndex];
}

void* CopyDirectDrawCaps(void* destination) {
    std::memcpy(destination, g_Screen.driverCaps, DirectDrawCapsSize);
    return destination;
}

HRESULT SetSurfacePaletteCallback(IDirectDrawSurface7* surface, DDSURFACEDESC2*, void*) {
    IDirectDrawSurface7_SetPalette(surface, g_Screen.palette);
    IDirectDrawSurface7_Release(surface);  // the enumeration handed it over with a reference
    return DDENUMRET_OK;
}

int ReapplyScreenPaletteEntries(void) {
    if (g_Screen.palette == nullptr) return 0;
    static_assert(sizeof(PALETTEENTRY) == sizeof(ScreenPaletteEntry), "palette entries share one layout");
    auto* entries = reinterpret_cast<PALETTEENTRY*>(g_Screen.paletteEntries);
    IDirectDrawPalette_SetEntries(g_Screen.palette, 0, 0, 256, entries);
    IDirectDrawPalette_GetEntries(g_Screen.palette, 0, 0, 256, entries);
    return 0;
}
