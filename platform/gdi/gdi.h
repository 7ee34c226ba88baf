// gdi.h - the GDI stand-in: device contexts, bitmaps, DIBs and blits over the virtual desktop.
//
// Pixels live in memory (pixels.h); fonts are FreeType faces found through fontconfig,
// with iconv for the code pages (gdi_font.h).
//
// Device contexts draw into one of four places:
// - GetDC(NULL): the whole desktop; GetDC(window): the window's client area on the
//   desktop, with (0, 0) at the client's top-left and drawing clipped to the client.
// - CreateCompatibleDC: a memory DC drawing into the bitmap selected into it.
// - IDirectDrawSurface7_GetDC (ddraw.h): a DirectDraw surface.
// Writes that reach the desktop are presented (desktop.h). Pixels convert between
// formats wherever source and destination differ.
//
// DIBs (SetDIBitsToDevice, StretchDIBits, CreateDIBSection, GetDIBits) may be 1, 4, 8
// (colour table), 16 or 32 bits (BI_RGB or BI_BITFIELDS) or 24 bits (BI_RGB), bottom-up
// (positive height) or top-down (negative height); masks of BI_BITFIELDS follow the
// 40-byte header (or sit at the same place inside a larger header). The source
// rectangle's y of both DIB-to-device calls counts from the bottom of the image,
// whatever the orientation: the source rows are those from the top
// |height| - ySrc - sourceHeight on. A top-down DIB can therefore be drawn in part with
// ySrc = |height| - bottom. StretchDIBits scales by nearest neighbour.
//
// GetDeviceCaps reports the desktop: 1 plane, 16 or 32 bits per pixel (24 only for the
// packed 24-bit test desktop), and its refresh rate (at least 60).
//
// Fonts (CreateFontA, GetGlyphOutlineA, text metrics) are added by platform/gdi/gdi_font.*:
// a font is a GDI object of kind GdiObjectFont, selected into a DC's font slot.
//
// A call that fails leaves its reason for GetLastError (kernel/last_error.h), per thread:
// ERROR_INVALID_HANDLE for a DC or object that is not live, or a DC whose DirectDraw
// surface is lost; ERROR_INVALID_PARAMETER for arguments the call refuses; ERROR_BUSY
// for a bitmap selected into another DC or an object still selected; and
// ERROR_NOT_ENOUGH_MEMORY for a bitmap that memory cannot hold and for the failures
// the test seams inject.
#pragma once

#include "platform/kernel/last_error.h"
#include "platform/wintypes.h"

struct BITMAPINFOHEADER {
    DWORD biSize; // 40
    LONG biWidth;
    LONG biHeight; // negative: top-down rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// The header, then the colour table or the three channel masks (red, green, blue).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes; // bytes per row, a multiple of 4
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits; // the pixels of a DIB section; null for other bitmaps
};

#define BI_RGB 0u
#define BI_BITFIELDS 3u
#define DIB_RGB_COLORS 0u
#define SRCCOPY 0x00CC0020u

// GetDeviceCaps indices.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define VREFRESH 116

HDC GetDC(HWND window); // null: the whole desktop
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc); // null: compatible with the desktop
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
BOOL GdiFlush(void);

// A bitmap in the format of the DC's device (the desktop, or the surface of a surface DC).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A DIB of 8, 16, 24 or 32 bits whose pixels the caller writes through *bits.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// Selects a bitmap (memory DCs only) or a font; returns the object it replaces, or null.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// FALSE for an object still selected into a DC. Stock objects are never deleted.
BOOL DeleteObject(HGDIOBJ object);
// A bitmap fills a BITMAP; returns the bytes written (the size needed when out is null).
int GetObjectA(HGDIOBJ object, int size, void* out);

// SRCCOPY only. Both areas are clipped to their DCs.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// The bits hold scan lines startScan.. startScan + lines - 1, counted from the bottom for a
// bottom-up DIB; a top-down DIB's bits start at its top row (startScan 0). Returns the
// number of scan lines set, 0 on failure.
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Returns the number of source scan lines, 0 on failure. Sizes must be positive.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// Copies rows of the bitmap into a 16-, 24- or 32-bit DIB (bits null: fills the header
// with the bitmap's own description). Returns the rows copied, 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

// Display settings: the desktop's mode (devmode null: back to the desktop's own mode).
struct DEVMODEA {
    char dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize; // sizeof(DEVMODEA), 156
    WORD dmDriverExtra;
    DWORD dmFields; // DM_* bits naming the fields that are set
    BYTE dmReserved1[60];
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    BYTE dmReserved2[32];
};
static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA is 156 bytes");

#define DM_BITSPERPEL 0x00040000u
#define DM_PELSWIDTH 0x00080000u
#define DM_PELSHEIGHT 0x00100000u
#define DM_DISPLAYFREQUENCY 0x00400000u
#define CDS_TEST 0x00000002u
#define CDS_FULLSCREEN 0x00000004u
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)
#define DISP_CHANGE_BADFLAGS (-4)
#define DISP_CHANGE_BADPARAM (-5)

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);
