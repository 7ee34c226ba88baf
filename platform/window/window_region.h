// window_region.h - regions (sets of pixels made of rectangles) and window shapes.
//
// A window's shape goes through SDL's shaped windows. SDL can only shape a window it
// created as shaped, so a region must be given while the window is being created (in
// its WM_CREATE); SetWindowRgn fails (0) for a window that already stands, and for
// every window where the video driver has no shaped windows (the headless drivers).
// Once SetWindowRgn succeeds the window owns the region: DeleteRgn then refuses it
// and the window deletes it when it is replaced or the window is destroyed.
#pragma once

#include "platform/window/window.h"

#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RDH_RECTANGLES 1

struct RGNDATAHEADER {
    DWORD dwSize;  // sizeof(RGNDATAHEADER)
    DWORD iType;   // RDH_RECTANGLES
    DWORD nCount;  // rectangles in Buffer
    DWORD nRgnSize;
    RECT rcBound;
};

struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];  // nCount RECTs
};

struct XFORM;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
// A region covering the union of the rectangles in data (no transform is supported).
HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data);
// destination = source1 op source2 (source2 unused for RGN_COPY); the result's kind or ERROR.
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
BOOL DeleteRgn(HRGN region);
// Copies up to capacity rectangles of the region (disjoint, top to bottom, left to
// right) and returns how many it has; -1 for an unknown region.
int GetRegionRectangles(HRGN region, RECT* rectangles, int capacity);
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);
