// screen_dib.h - the DIB header that hands a software screen image to GDI.
#pragma once

#include "library/softrender/memimg.h"
#include "platform/gdi/gdi.h"

// BITMAPINFO with its three channel masks.
struct ScreenDibInfo {
    BITMAPINFOHEADER header;
    DWORD masks[3];  // red, green, blue

    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// A top-down BI_BITFIELDS header for the image's pixels, in its format. The DIB is as
// wide as the image's pitch (GDI rows are the pitch apart); the callers take the
// image's width of it.
ScreenDibInfo ScreenImageDibInfo(const MEMIMG& image);
