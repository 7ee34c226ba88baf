// screen_copy.cpp - copies between the screen surfaces: the drawing side's area copy,
// the screen's place on the desktop, and the front copy surface with its timer.
#include "library/core/system_state.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

int CopySurfaceArea(IDirectDrawSurface7* destination, IDirectDrawSurface7* source, int x, int y, const RECT* sourceRect,
                    int method) {
    if (method == CopyMethodFastest) method = g_Screen.preferBitBlt ? CopyMethodBitBlt : CopyMethodBltFast;
    RECT area = *sourceRect;
    if (method != CopyMethodBitBlt) {
        return IDirectDrawSurface7_BltFast(destination, DWORD(x), DWORD(y), source, &area, 0) == DD_OK ? 0 : -1;
    }
    HDC destinationDc = nullptr, sourceDc = nullptr;
    BOOL copied = FALSE;
    if (IDirectDrawSurface7_GetDC(destination, &destinationDc) == DD_OK) {
        if (IDirectDrawSurface7_GetDC(source, &sourceDc) == DD_OK) {
            copied = BitBlt(destinationDc, x, y, area.right - area.left, area.bottom - area.top, sourceDc, area.left,
                            area.top, SRCCOPY);
            GdiFlush();
            IDirectDrawSurface7_ReleaseDC(source, sourceDc);
        }
        IDirectDrawSurface7_ReleaseDC(destination, destinationDc);
    }
    return copied ? 0 : -1;
}

int GetScreenRectOnDesktop(RECT* rect) {
    int width, height;
    GetScreenPixelSize(&width, &height);
    *rect = {0, 0, width, height};
    if (!g_Screen.frontCopySurfaceUse) {
        RECT client;
        GetWindowClientScreenRect(&client);
        *rect = {client.left, client.top, client.left + width, client.top + height};
    }
    return 0;
}

namespace {

// Copies the window's area of the primary surface into the front copy surface
// (toFrontCopy) or back.
int CopyBetweenPrimaryAndFrontCopy(bool toFrontCopy) {
    ScreenState& s = g_Screen;
    if (s.PrimarySurface == nullptr || s.FrontCopySurface == nullptr) return 0;
    int width, height;
    GetScreenPixelSize(&width, &height);
    RECT client;
    GetWindowClientScreenRect(&client);
    RECT onDesktop{client.left, client.top, client.left + width, client.top + height};
    RECT atOrigin{0, 0, width, height};
    if (toFrontCopy) {
        IDirectDrawSurface7_Blt(s.FrontCopySurface, &atOrigin, s.PrimarySurface, &onDesktop, DDBLT_WAIT, nullptr);
    } else {
        IDirectDrawSurface7_Blt(s.PrimarySurface, &onDesktop, s.FrontCopySurface, &atOrigin, DDBLT_WAIT, nullptr);
    }
    return 0;
}

}  // namespace

int CopyPrimaryToFrontSurface(void) { return CopyBetweenPrimaryAndFrontCopy(true); }
int CopyFrontSurfaceToPrimary(void) { return CopyBetweenPrimaryAndFrontCopy(false); }

void FrontSurfaceTimerProc(HWND, UINT, uintptr_t, DWORD) {
    HWND window = GetAppWindowHandle();
    KillTimer(window, FrontCopyTimerId);
    if (g_Screen.PrimarySurface == nullptr) return;
    CopyFrontSurfaceToPrimary();
    SetTimer(window, FrontCopyTimerId, FrontCopyTimerPeriodMs, FrontSurfaceTimerProc);
}
