// gdi_dib.cpp - device-independent bitmaps: drawing them, making them, reading them back.
//
// A DIB becomes a PixelView with its top row first (a negative pitch for bottom-up
// rows); 1- and 4-bit rows are first spread to one byte per pixel. Headers come from
// callers and from files, so every size is checked before any pixel is touched.
#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace {

// As long a side as the library's images have; the bytes bound what a header from a
// file can make anything allocate.
constexpr LONG kMaxDibSide = 65535;
constexpr size_t kMaxDibBytes = size_t(1) << 30;

struct DibFormat {
    int width;
    int height; // rows, always positive
    bool topDown;
    int bitCount;
    size_t rowBytes; // stored row size, a multiple of 4
    PixelLayout layout;
    uint32_t palette[256];
};

// Reads and checks a header; the colour table or masks follow it (see gdi.h).
bool ParseHeader(const BITMAPINFO* info, DibFormat* f) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 1024 || h.biPlanes != 1) return false;
    if (h.biWidth <= 0 || h.biWidth > kMaxDibSide || h.biHeight == 0 || h.biHeight < -kMaxDibSide ||
        h.biHeight > kMaxDibSide)
        return false;
    f->width = h.biWidth;
    f->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    f->topDown = h.biHeight < 0;
    f->bitCount = h.biBitCount;
    f->rowBytes = ((static_cast<size_t>(f->width) * f->bitCount + 31) / 32) * 4;
    if (f->rowBytes * f->height > kMaxDibBytes) return false;
    const uint8_t* after = reinterpret_cast<const uint8_t*>(info) + h.biSize;
    std::memset(f->palette, 0, sizeof(f->palette));
    switch (f->bitCount) {
    case 1:
    case 4:
    case 8: {
        if (h.biCompression != BI_RGB) return false;
        size_t count = h.biClrUsed ? h.biClrUsed : (size_t(1) << f->bitCount);
        if (count > (size_t(1) << f->bitCount)) count = size_t(1) << f->bitCount;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* q = after + i * 4; // blue, green, red, reserved
            f->palette[i] = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
        }
        f->layout = PixelLayout{1, 0, 0, 0, 0, true};
        return true;
    }
    case 24:
        if (h.biCompression != BI_RGB) return false;
        f->layout = LayoutRgb888();
        return true;
    case 16:
    case 32:
        if (h.biCompression == BI_RGB) {
            f->layout = f->bitCount == 16 ? LayoutXrgb1555() : LayoutXrgb8888();
            return true;
        }
        if (h.biCompression == BI_BITFIELDS) {
            DWORD masks[3];
            std::memcpy(masks, reinterpret_cast<const uint8_t*>(info) + sizeof(BITMAPINFOHEADER), sizeof(masks));
            uint64_t limit = (uint64_t(1) << f->bitCount) - 1;
            if (!masks[0] || !masks[1] || !masks[2] || masks[0] > limit || masks[1] > limit || masks[2] > limit)
                return false;
            f->layout = PixelLayout{f->bitCount / 8, masks[0], masks[1], masks[2], 0, false};
            return true;
        }
        return false;
    default: return false;
    }
}

// `rows` rows held in `bits` in stored order, as a view with the top row first. Sub-byte pixels are spread into `scratch`.
PixelView RowsView(const DibFormat& f, const uint8_t* bits, int rows, std::vector<uint8_t>& scratch) {
    PixelView view{};
    view.width = f.width;
    view.height = rows;
    view.layout = f.layout;
    view.palette = f.palette;
    const uint8_t* top = f.topDown ? bits : bits + (rows - 1) * f.rowBytes;
    long pitch = f.topDown ? static_cast<long>(f.rowBytes) : -static_cast<long>(f.rowBytes);
    if (f.bitCount >= 8) {
        view.pixels = const_cast<uint8_t*>(top);
        view.pitch = static_cast<int>(pitch);
        return view;
    }
    scratch.resize(static_cast<size_t>(f.width) * rows);
    int perByte = 8 / f.bitCount;
    int mask = (1 << f.bitCount) - 1;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* in = top + y * pitch;
        uint8_t* out = &scratch[static_cast<size_t>(y) * f.width];
        for (int x = 0; x < f.width; ++x) {
            int shift = 8 - f.bitCount * (x % perByte + 1);
            out[x] = static_cast<uint8_t>((in[x / perByte] >> shift) & mask);
        }
    }
    view.pixels = scratch.data();
    view.pitch = f.width;
    return view;
}

// The band of rows that a call's bits hold, as rows from the top of the image.
bool BandRows(const DibFormat& f, UINT startScan, UINT lines, int* firstRow, int* rows) {
    if (lines == 0 || startScan >= static_cast<UINT>(f.height)) return false;
    UINT n = lines > f.height - startScan ? f.height - startScan : lines;
    if (f.topDown) {
        if (startScan != 0) return false;
        *firstRow = 0;
    } else {
        *firstRow = f.height - static_cast<int>(startScan) - static_cast<int>(n);
    }
    *rows = static_cast<int>(n);
    return true;
}

GdiBitmap* BitmapOf(HBITMAP handle) {
    if (!GdiIsObject(handle)) return nullptr;
    auto* object = reinterpret_cast<PlatformGdiObject*>(handle);
    return object->kind == GdiObjectBitmap ? static_cast<GdiBitmap*>(object) : nullptr;
}

} // namespace

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    DibFormat f;
    DcTarget to;
    int firstRow, rows;
    if (!bits || usage != DIB_RGB_COLORS || !ParseHeader(info, &f) || !BandRows(f, startScan, lines, &firstRow, &rows) ||
        width > kMaxDibSide || height > kMaxDibSide)
        return GdiFail(ERROR_INVALID_PARAMETER, 0);
    if (!GdiResolveDc(dc, &to)) return 0;
    std::vector<uint8_t> scratch;
    PixelView band = RowsView(f, static_cast<const uint8_t*>(bits), rows, scratch);
    // The source rectangle in rows from the top; its y counts from the image's bottom.
    int w = static_cast<int>(width), h = static_cast<int>(height);
    RECT src{xSrc, f.height - ySrc - h, xSrc + w, f.height - ySrc};
    RECT available{0, firstRow, f.width, firstRow + rows};
    RECT dst{to.origin.x + xDest, to.origin.y + yDest, to.origin.x + xDest + w, to.origin.y + yDest + h};
    // Cut both by what the band holds and by the DC's area, keeping them aligned.
    RECT availableInDst{available.left - src.left + dst.left, available.top - src.top + dst.top,
                        available.right - src.left + dst.left, available.bottom - src.top + dst.top};
    RECT area = IntersectRects(IntersectRects(dst, to.clip), availableInDst);
    if (!IsRectEmpty(area)) {
        RECT from{area.left - dst.left + src.left, area.top - dst.top + src.top - firstRow, 0, 0};
        from.right = from.left + (area.right - area.left);
        from.bottom = from.top + (area.bottom - area.top);
        CopyPixels(to.view, area.left, area.top, band, from);
        GdiPresentWrite(to, area);
    }
    return rows;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    DibFormat f;
    DcTarget to;
    if (!bits || usage != DIB_RGB_COLORS || rop != SRCCOPY || !ParseHeader(info, &f) || destWidth <= 0 ||
        destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0 || destWidth > kMaxDibSide || destHeight > kMaxDibSide)
        return GdiFail(ERROR_INVALID_PARAMETER, 0);
    // Source rows from the top: the rectangle's y counts from the image's bottom.
    RECT src{xSrc, f.height - ySrc - srcHeight, xSrc + srcWidth, f.height - ySrc};
    if (!IsRectInside(src, RECT{0, 0, f.width, f.height})) return GdiFail(ERROR_INVALID_PARAMETER, 0);
    if (!GdiResolveDc(dc, &to)) return 0;
    std::vector<uint8_t> scratch;
    PixelView image = RowsView(f, static_cast<const uint8_t*>(bits), f.height, scratch);
    RECT dst{to.origin.x + xDest, to.origin.y + yDest, to.origin.x + xDest + destWidth, to.origin.y + yDest + destHeight};
    StretchPixels(to.view, dst, to.clip, image, src);
    GdiPresentWrite(to, IntersectRects(dst, to.clip));
    return srcHeight;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
    if (bits) *bits = nullptr;
    DibFormat f;
    (void)dc;
    if (usage != DIB_RGB_COLORS || section || offset || !ParseHeader(info, &f) || f.bitCount < 8)
        return GdiFail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    GdiBitmap* b = GdiNewBitmap(f.width, f.height, f.layout, static_cast<int>(f.rowBytes));
    if (!b) return nullptr;
    b->dibSection = true;
    b->bottomUp = !f.topDown;
    std::memcpy(b->palette, f.palette, sizeof(b->palette));
    if (bits) *bits = b->memory.data();
    return reinterpret_cast<HBITMAP>(static_cast<PlatformGdiObject*>(b));
}

int GetDIBits(HDC dc, HBITMAP handle, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    GdiBitmap* bitmap = BitmapOf(handle);
    (void)dc; // the bitmap alone decides; the DC only names the device
    if (!bitmap) return GdiFail(ERROR_INVALID_HANDLE, 0);
    if (!info || usage != DIB_RGB_COLORS) return GdiFail(ERROR_INVALID_PARAMETER, 0);
    if (!bits) {
        // Describe the bitmap in the header.
        BITMAPINFOHEADER& h = info->bmiHeader;
        if (h.biSize < sizeof(BITMAPINFOHEADER)) return GdiFail(ERROR_INVALID_PARAMETER, 0);
        h.biWidth = bitmap->width;
        h.biHeight = bitmap->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bitmap->layout.bytesPerPixel * 8);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(bitmap->rowBytes) * bitmap->height;
        return 1;
    }
    DibFormat f;
    int firstRow, rows;
    if (!ParseHeader(info, &f) || f.bitCount < 16 || !BandRows(f, startScan, lines, &firstRow, &rows))
        return GdiFail(ERROR_INVALID_PARAMETER, 0);
    std::vector<uint8_t> unused;
    PixelView out = RowsView(f, static_cast<const uint8_t*>(bits), rows, unused);
    PixelView in = GdiBitmapView(bitmap);
    // Rows firstRow.. of the DIB take the same rows of the bitmap, as far as both reach.
    int w = f.width < in.width ? f.width : in.width;
    int lastRow = firstRow + rows < in.height ? firstRow + rows : in.height;
    if (w <= 0 || lastRow <= firstRow) return GdiFail(ERROR_INVALID_PARAMETER, 0);
    CopyPixels(out, 0, 0, in, RECT{0, firstRow, w, lastRow});
    return lastRow - firstRow;
}
