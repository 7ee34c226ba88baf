// front_image.cpp - see front_image.h.
#include "library/display/front_image.h"

#include "library/core/system_state.h"
#include "library/display/screen_dib.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/graph/draw_state.h"
#include "platform/gdi/gdi.h"

int CaptureScreenToFrontImage(void) {
    int width, height;
    GetScreenPixelSize(&width, &height);
    HWND window = GetAppWindowHandle();
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);  // GDI reads a bitmap only while no DC holds it
    ScreenDibInfo dib = ScreenImageDibInfo(FrontMemImg);
    GetDIBits(memoryDc, bitmap, 0, UINT(height), FrontMemImg.pixels, dib.info(), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    g_Screen.frontImageStale = 0;
    return 0;
}

int PresentFrontImageRect(const RECT* screenRect) {
    int width, height;
    GetScreenPixelSize(&width, &height);
    RECT area = *screenRect;
    const RECT screen{0, 0, width, height};
    ClipRectByRectCore(&area, &screen);
    int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    if (areaWidth <= 0 || areaHeight <= 0) return 0;
    ScreenDibInfo dib = ScreenImageDibInfo(FrontMemImg);
    HWND window = GetAppWindowHandle();
    HDC dc = GetDC(window);
    // A top-down DIB's source y counts from the bottom of the image.
    StretchDIBits(dc, area.left, area.top, areaWidth, areaHeight, area.left, height - area.bottom, areaWidth,
                  areaHeight, FrontMemImg.pixels, dib.info(), DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
    return 0;
}
