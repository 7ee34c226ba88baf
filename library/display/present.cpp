// present.cpp - presenting the back buffer and counting the presents (see present.h).
#include "library/display/present.h"

#include "library/core/menu.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_dib.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/graph/draw_state.h"
#include "platform/kernel/clock.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

namespace {

bool DisplayMissing(void) { return g_Screen.directDraw == nullptr && !g_Screen.noDirectDraw; }

bool VSyncWaitAllowed(void) { return g_Screen.presentWaitVSync && CheckVSyncWaitAllowed(); }

// The software back image to the window: 1:1 with SetDIBitsToDevice, zoomed with
// StretchDIBits.
void PresentBackImage(int width, int height, const RECT& destination) {
    ScreenDibInfo dib = ScreenImageDibInfo(BackMemImg);
    HWND window = GetAppWindowHandle();
    HDC dc = GetDC(window);
    int destWidth = destination.right - destination.left;
    int destHeight = destination.bottom - destination.top;
    if (destWidth == width && destHeight == height) {
        SetDIBitsToDevice(dc, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), BackMemImg.pixels, dib.info(),
                          DIB_RGB_COLORS);
    } else {
        StretchDIBits(dc, 0, 0, destWidth, destHeight, 0, 0, width, height, BackMemImg.pixels, dib.info(),
                      DIB_RGB_COLORS, SRCCOPY);
    }
    ReleaseDC(window, dc);
    g_Screen.frontImageStale = 1;
}

DWORD FlipFlags(void) { return DDFLIP_WAIT | (VSyncWaitAllowed() ? 0 : DDFLIP_NOVSYNC); }

void PresentBackSurface(const RECT& source, RECT destination) {
    ScreenState& s = g_Screen;
    const bool gdiOrMenu = GetScreenGdiCompatible() || CheckMenuInUse();
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    if (GetWindowedFlag()) {
        if (VSyncWaitAllowed()) WaitFramePacing();
        RECT from = source;
        IDirectDrawSurface7_Blt(s.PrimarySurface, &destination, s.BackSurface, &from, DDBLT_WAIT, nullptr);
    } else if (SystemStateRecord.head.osCode == OsCodeWindowsVista) {
        // Flip, then give the back buffer the frame just shown.
        IDirectDrawSurface7_Flip(s.PrimarySurface, nullptr, FlipFlags());
        if (gdiOrMenu) {
            IDirectDrawSurface7_Blt(s.BackSurface, nullptr, s.PrimarySurface, nullptr, DDBLT_WAIT, nullptr);
            IDirectDraw7_FlipToGDISurface(s.directDraw);
        } else {
            RECT from = source;
            IDirectDrawSurface7_BltFast(s.BackSurface, 0, 0, s.PrimarySurface, &from, DDBLTFAST_WAIT);
        }
    } else if (gdiOrMenu) {
        if (VSyncWaitAllowed()) WaitFramePacing();
        IDirectDrawSurface7_Blt(s.PrimarySurface, nullptr, s.BackSurface, nullptr, DDBLT_WAIT, nullptr);
    } else {
        if (VSyncWaitAllowed()) WaitFramePacing();
        RECT from = source;
        IDirectDrawSurface7_BltFast(s.PrimarySurface, 0, 0, s.BackSurface, &from, DDBLTFAST_WAIT);
    }
}

}  // namespace

int PresentBackBuffer(void) {
    ScreenState& s = g_Screen;
    if (DisplayMissing()) return -1;
    WaitWhileInactive();
    if (s.softwareRenderer || GetScreenGdiCompatible() || s.noDirectDraw || GetWindowedFlag() || CheckMenuInUse()) {
        return CopyBackBufferToWindow();
    }
    if (GetDrawTargetHandle() == FrontBufferTarget && s.presentWaitVSync) {
        CountPresent();
        return CheckVSyncWaitAllowed() ? WaitVerticalBlankCount(1) : 0;
    }
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    const bool vsync = VSyncWaitAllowed();
    IDirectDrawSurface7_Flip(s.PrimarySurface, nullptr, FlipFlags());
    if (vsync) Sleep(1);
    CountPresent();
    return 0;
}

int CopyBackBufferToWindow(void) {
    ScreenState& s = g_Screen;
    if (DisplayMissing()) return -1;
    if (GetDrawTargetHandle() == FrontBufferTarget) {
        CountPresent();
        return WaitVerticalBlankCount(1);
    }
    int width, height;
    GetScreenPixelSize(&width, &height);
    const RECT source{0, 0, width, height};
    RECT destination = source;
    if (GetWindowedFlag()) {
        RECT client;
        GetWindowClientScreenRect(&client);
        double zoom = GetWindowZoomFactor();
        destination = {client.left, client.top, client.left + static_cast<int>(width * zoom),
                       client.top + static_cast<int>(height * zoom)};
    }
    if (s.MemImgScreen) {
        if (VSyncWaitAllowed()) WaitFramePacing();
        PresentBackImage(width, height, destination);
    } else {
        PresentBackSurface(source, destination);
    }
    CountPresent();
    return 0;
}

int ResetPresentCount(void) {
    g_Screen.presentCount = 0;
    return 0;
}

int CountPresent(void) {
    g_Screen.presentCount++;
    return 0;
}

uint64_t GetPresentCount(void) { return g_Screen.presentCount; }
