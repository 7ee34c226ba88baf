// screen_dib.cpp - see screen_dib.h.
#include "library/display/screen_dib.h"

ScreenDibInfo ScreenImageDibInfo(const MEMIMG& image) {
    const ColorFormat& format = *image.colorFormat;
    ScreenDibInfo dib{};
    dib.header.biSize = sizeof(BITMAPINFOHEADER);
    dib.header.biWidth = image.pitch / format.bytesPerPixel;
    dib.header.biHeight = -image.height;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = format.bitsPerPixel;
    dib.header.biCompression = BI_BITFIELDS;
    dib.masks[0] = format.redMask;
    dib.masks[1] = format.greenMask;
    dib.masks[2] = format.blueMask;
    return dib;
}
