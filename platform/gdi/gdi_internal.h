// gdi_internal.h - the records behind GDI objects and device contexts, for the layer.
//
// Every GDI object starts with PlatformGdiObject: its kind, how many DCs have it
// selected, and the two functions that delete and describe it. The font group adds
// objects of kind GdiObjectFont (platform/gdi/gdi_font.*) and reads a DC's font slot.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/last_error.h"
#include "platform/pixels.h"

enum GdiObjectKind : int {
    GdiObjectBitmap = 1,
    GdiObjectFont = 2,
};

struct PlatformGdiObject {
    uint32_t magic; // kGdiObjectMagic while alive
    GdiObjectKind kind;
    int selections; // DCs that have it selected
    bool stock;     // never deleted
    void (*destroy)(PlatformGdiObject* object);
    int (*describe)(PlatformGdiObject* object, int size, void* out); // GetObjectA
};

constexpr uint32_t kGdiObjectMagic = 0x4A424F47u; // "GOBJ"
// Every object a creator hands out is registered; DeleteObject unregisters it, so a
// stale handle is refused instead of being followed. Stock objects need no registry.
void GdiRegisterObject(PlatformGdiObject* object);
bool GdiIsObject(HGDIOBJ object);

struct GdiBitmap : PlatformGdiObject {
    int width;
    int height;
    PixelLayout layout;
    int rowBytes;                // the stored row size (a multiple of 4)
    std::vector<uint8_t> memory; // rows as stored: bottom-up for a bottom-up DIB
    bool dibSection;
    bool bottomUp;
    uint32_t palette[256]; // 0x00RRGGBB, for 8-bit bitmaps
};

// A new bitmap object with zeroed rows of rowBytes bytes, top row first.
GdiBitmap* GdiNewBitmap(int width, int height, const PixelLayout& layout, int rowBytes);

// The view of a bitmap with its top row first (a negative pitch for bottom-up rows).
PixelView GdiBitmapView(GdiBitmap* bitmap);

enum class DcKind { Screen, Window, Memory, Surface };

struct PlatformDC {
    uint32_t magic;
    DcKind kind;
    HWND window;                  // Window
    IDirectDrawSurface7* surface; // Surface
    GdiBitmap* bitmap;            // Memory: the selected bitmap (the stock 1x1 one at first)
    PixelLayout deviceLayout;     // Memory: the layout of compatible bitmaps
    PlatformGdiObject* font;      // the selected font (the stock font at first)
};

// The stock font object a new DC starts with; the font group may give it a face.
PlatformGdiObject* GdiStockFont();
// Whether a handle names a live DC (the font group reads the DC's font slot).
bool GdiIsDc(HDC dc);
// Leaves the reason of a failed call for GetLastError and gives the call's failure result.
template <typename Result>
Result GdiFail(DWORD error, Result failure) {
    SetLastError(error);
    return failure;
}

// Failure injection of the font group's test seams: true while a failure is pending.
bool GdiFailCompatibleDcNow();
bool GdiFailFontSelectionNow();

// The surface DC behind IDirectDrawSurface7_GetDC / ReleaseDC.
HDC GdiCreateSurfaceDc(IDirectDrawSurface7* surface);
void GdiDeleteSurfaceDc(HDC dc);

// Where a DC draws now: its pixels, the logical origin within them, the area it may
// touch (in view coordinates), and whether that area is on the desktop.
struct DcTarget {
    PixelView view;
    POINT origin;
    RECT clip;
    bool onDesktop;
};
// A DC that is not live, or whose surface is lost or gone, fails with ERROR_INVALID_HANDLE.
bool GdiResolveDc(HDC dc, DcTarget* target);
// Presents the written area (view coordinates) when the target is on the desktop.
void GdiPresentWrite(const DcTarget& target, const RECT& area);
