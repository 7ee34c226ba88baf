// pixels.h - pixel buffers of the display layer: layouts, conversion, copy, stretch, fill.
//
// The virtual desktop, DirectDraw surfaces, GDI bitmaps and DIBs are all a PixelView:
// a rectangle of memory with a pitch and a PixelLayout (bytes per pixel and channel
// masks, or 8-bit palette indices). Copies between equal layouts move bytes; any other
// pair goes through one row of 0xAARRGGBB values. Narrowing a channel rounds to the
// nearest value and widening scales, so white stays white both ways.
//
// Internal to the platform layer (ddraw, gdi, the presenter, and the Direct3D device).
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/ddraw/ddraw_types.h"

struct PixelLayout {
    int bytesPerPixel; // 1, 2, 3 or 4
    DWORD redMask;
    DWORD greenMask;
    DWORD blueMask;
    DWORD alphaMask;
    bool indexed; // one byte per pixel holding a palette index
};

struct PixelView {
    uint8_t* pixels; // top-left pixel
    int pitch;       // bytes from one row to the next
    int width;
    int height;
    PixelLayout layout;
    const uint32_t* palette; // 256 entries 0x00RRGGBB when the layout is indexed
};

// The layouts the layer uses by name.
PixelLayout LayoutXrgb8888();
PixelLayout LayoutArgb8888();
PixelLayout LayoutRgb565();
PixelLayout LayoutXrgb1555();
PixelLayout LayoutRgb888();
PixelLayout LayoutDepth16();

bool IsSameLayout(const PixelLayout& a, const PixelLayout& b);
PixelLayout LayoutFromDDPixelFormat(const DDPIXELFORMAT& format);
DDPIXELFORMAT DDPixelFormatFromLayout(const PixelLayout& layout);

// The bits of a raw pixel that carry colour or alpha (all bits for a layout without masks).
uint32_t LayoutValueMask(const PixelLayout& layout);

// Inline: the rasteriser reads and writes pixels one at a time.
inline uint32_t ReadRawPixel(const uint8_t* p, int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1: return p[0];
    case 2: { uint16_t v; std::memcpy(&v, p, 2); return v; }
    case 3: return p[0] | (p[1] << 8) | (p[2] << 16);
    default: { uint32_t v; std::memcpy(&v, p, 4); return v; }
    }
}

inline void WriteRawPixel(uint8_t* p, int bytesPerPixel, uint32_t value) {
    switch (bytesPerPixel) {
    case 1: p[0] = static_cast<uint8_t>(value); break;
    case 2: { uint16_t w = static_cast<uint16_t>(value); std::memcpy(p, &w, 2); break; }
    case 3: p[0] = static_cast<uint8_t>(value); p[1] = static_cast<uint8_t>(value >> 8); p[2] = static_cast<uint8_t>(value >> 16); break;
    default: std::memcpy(p, &value, 4); break;
    }
}

// A raw pixel to 0xAARRGGBB (alpha 255 when the layout has none) and back.
uint32_t DecodePixel(const PixelView& view, uint32_t raw);
// The same for many pixels of one layout: the channel positions are found once.
struct PixelCodec {
    explicit PixelCodec(const PixelView& view);
    uint32_t Decode(uint32_t raw) const;
    uint32_t Encode(uint32_t argb) const;

    PixelLayout layout;
    const uint32_t* palette;
    int shift[4]; // red, green, blue, alpha
    int bits[4];
    bool rgb888; // red, green and blue are the bytes 2, 1, 0 and alpha byte 3 or nothing: no shifts

private:
    uint32_t NearestPaletteIndex(uint32_t argb) const;
};
uint32_t EncodePixel(const PixelView& view, uint32_t argb);

inline uint8_t* PixelAt(const PixelView& view, int x, int y) {
    return view.pixels + static_cast<intptr_t>(y) * view.pitch + static_cast<intptr_t>(x) * view.layout.bytesPerPixel;
}

// Rectangles: left and top inclusive, right and bottom exclusive.
bool IsRectEmpty(const RECT& r);
RECT IntersectRects(const RECT& a, const RECT& b); // empty (0,0,0,0) when they do not meet
RECT ViewBounds(const PixelView& view);
bool IsRectInside(const RECT& inner, const RECT& outer); // non-empty and inside

// Copies srcRect of src to (dx, dy) of dst, converting between layouts. Both rectangles
// must lie inside their views. Overlapping areas of one buffer are handled.
void CopyPixels(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& srcRect);

// As CopyPixels, but source pixels whose colour bits lie in [keyLow, keyHigh] are skipped.
void CopyPixelsKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& srcRect,
                     uint32_t keyLow, uint32_t keyHigh);

// Nearest-neighbour stretch of srcRect onto dstRect, writing only inside clip (which
// must lie inside dst). Source pixel of destination column x: srcLeft + (x - dstLeft) *
// srcWidth / dstWidth; rows likewise. Both rectangles must be non-empty.
void StretchPixels(const PixelView& dst, const RECT& dstRect, const RECT& clip, const PixelView& src,
                   const RECT& srcRect);

// Fills rect (inside the view) with a raw pixel value.
void FillPixels(const PixelView& view, const RECT& rect, uint32_t raw);
// n pixels of 2 or 4 bytes from p on set to the raw value, with wide stores.
void FillRawRow(uint8_t* p, int n, int bytesPerPixel, uint32_t raw);
