// pixels.cpp - pixel layouts, conversion, copy, stretch and fill for the display layer.
#include "platform/pixels.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

PixelLayout LayoutXrgb8888() { return {4, 0xFF0000u, 0xFF00u, 0xFFu, 0, false}; }
PixelLayout LayoutArgb8888() { return {4, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u, false}; }
PixelLayout LayoutRgb565() { return {2, 0xF800u, 0x07E0u, 0x001Fu, 0, false}; }
PixelLayout LayoutXrgb1555() { return {2, 0x7C00u, 0x03E0u, 0x001Fu, 0, false}; }
PixelLayout LayoutRgb888() { return {3, 0xFF0000u, 0xFF00u, 0xFFu, 0, false}; }
PixelLayout LayoutDepth16() { return {2, 0, 0, 0, 0, false}; }

bool IsSameLayout(const PixelLayout& a, const PixelLayout& b) {
    return a.bytesPerPixel == b.bytesPerPixel && a.redMask == b.redMask && a.greenMask == b.greenMask &&
           a.blueMask == b.blueMask && a.alphaMask == b.alphaMask && a.indexed == b.indexed;
}

PixelLayout LayoutFromDDPixelFormat(const DDPIXELFORMAT& f) {
    PixelLayout layout{};
    if (f.dwFlags & DDPF_ZBUFFER) {
        layout.bytesPerPixel = static_cast<int>(f.dwZBufferBitDepth / 8);
        return layout;
    }
    layout.bytesPerPixel = static_cast<int>((f.dwRGBBitCount + 7) / 8);
    if (f.dwFlags & DDPF_PALETTEINDEXED8) {
        layout.indexed = true;
        return layout;
    }
    layout.redMask = f.dwRBitMask;
    layout.greenMask = f.dwGBitMask;
    layout.blueMask = f.dwBBitMask;
    layout.alphaMask = (f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0;
    return layout;
}

DDPIXELFORMAT DDPixelFormatFromLayout(const PixelLayout& layout) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwRGBBitCount = static_cast<DWORD>(layout.bytesPerPixel * 8);
    if (layout.indexed) {
        f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
        return f;
    }
    if (!layout.redMask && !layout.greenMask && !layout.blueMask) {
        f.dwFlags = DDPF_ZBUFFER;
        f.dwZBitMask = layout.bytesPerPixel >= 4 ? 0xFFFFFFFFu : (1u << (layout.bytesPerPixel * 8)) - 1;
        return f;
    }
    f.dwFlags = DDPF_RGB | (layout.alphaMask ? DDPF_ALPHAPIXELS : 0);
    f.dwRBitMask = layout.redMask;
    f.dwGBitMask = layout.greenMask;
    f.dwBBitMask = layout.blueMask;
    f.dwRGBAlphaBitMask = layout.alphaMask;
    return f;
}

uint32_t LayoutValueMask(const PixelLayout& layout) {
    uint32_t m = layout.redMask | layout.greenMask | layout.blueMask | layout.alphaMask;
    if (m && !layout.indexed) return m;
    return layout.bytesPerPixel >= 4 ? 0xFFFFFFFFu : (1u << (layout.bytesPerPixel * 8)) - 1;
}

namespace {

struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel ChannelOf(DWORD mask) {
    Channel c;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
    return c;
}

// A channel value of `bits` bits scaled to 0..255, rounding to nearest.
inline uint32_t WidenTo8(uint32_t v, int bits) {
    if (bits == 8) return v;
    if (bits > 8) return v >> (bits - 8);
    uint32_t max = (1u << bits) - 1;
    return (v * 255 + max / 2) / max;
}

inline uint32_t NarrowFrom8(uint32_t v, int bits) {
    if (bits == 8) return v;
    if (bits > 8) return (v << (bits - 8)) | (bits < 16 ? v >> (16 - bits) : v);
    uint32_t max = (1u << bits) - 1;
    return (v * max + 127) / 255;
}

} // namespace

PixelCodec::PixelCodec(const PixelView& v) : layout(v.layout), palette(v.palette) {
    DWORD masks[4] = {layout.redMask, layout.greenMask, layout.blueMask, layout.alphaMask};
    for (int i = 0; i < 4; ++i) {
        Channel c = ChannelOf(masks[i]);
        shift[i] = c.shift;
        bits[i] = c.bits;
    }
    rgb888 = !layout.indexed && shift[0] == 16 && shift[1] == 8 && shift[2] == 0 && bits[0] == 8 && bits[1] == 8 &&
             bits[2] == 8 && (bits[3] == 0 || (bits[3] == 8 && shift[3] == 24));
}

uint32_t PixelCodec::Decode(uint32_t raw) const {
    if (layout.indexed) return 0xFF000000u | (palette ? (palette[raw & 0xFF] & 0xFFFFFFu) : 0);
    if (rgb888) return bits[3] ? raw : raw | 0xFF000000u;
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i)
        if (bits[i]) out |= WidenTo8((raw >> shift[i]) & ((1u << bits[i]) - 1), bits[i]) << (16 - 8 * i);
    uint32_t a = bits[3] ? WidenTo8((raw >> shift[3]) & ((1u << bits[3]) - 1), bits[3]) : 255;
    return out | (a << 24);
}

uint32_t PixelCodec::Encode(uint32_t argb) const {
    if (layout.indexed) return NearestPaletteIndex(argb);
    if (rgb888) return bits[3] ? argb : argb & 0xFFFFFFu;
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        if (!bits[i]) continue;
        uint32_t v8 = i == 3 ? (argb >> 24) : ((argb >> (16 - 8 * i)) & 0xFF);
        out |= NarrowFrom8(v8, bits[i]) << shift[i];
    }
    return out;
}

uint32_t PixelCodec::NearestPaletteIndex(uint32_t argb) const {
    if (!palette) return 0;
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        int dr = static_cast<int>((palette[i] >> 16) & 0xFF) - static_cast<int>((argb >> 16) & 0xFF);
        int dg = static_cast<int>((palette[i] >> 8) & 0xFF) - static_cast<int>((argb >> 8) & 0xFF);
        int db = static_cast<int>(palette[i] & 0xFF) - static_cast<int>(argb & 0xFF);
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint32_t>(best);
}

namespace {

bool SameBuffer(const PixelView& a, const PixelView& b) {
    return a.pixels == b.pixels && a.pitch == b.pitch;
}

bool SameConversion(const PixelView& dst, const PixelView& src) {
    if (!IsSameLayout(dst.layout, src.layout)) return false;
    // Indexed pixels copy as indices only when both sides use the same palette.
    return !src.layout.indexed || dst.palette == src.palette ||
           (dst.palette && src.palette && std::memcmp(dst.palette, src.palette, 256 * 4) == 0);
}

} // namespace

uint32_t DecodePixel(const PixelView& view, uint32_t raw) { return PixelCodec(view).Decode(raw); }
uint32_t EncodePixel(const PixelView& view, uint32_t argb) { return PixelCodec(view).Encode(argb); }

bool IsRectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (IsRectEmpty(r)) return RECT{0, 0, 0, 0};
    return r;
}

RECT ViewBounds(const PixelView& view) { return RECT{0, 0, view.width, view.height}; }

bool IsRectInside(const RECT& inner, const RECT& outer) {
    return !IsRectEmpty(inner) && inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

void CopyPixels(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& srcRect) {
    int w = srcRect.right - srcRect.left;
    int h = srcRect.bottom - srcRect.top;
    if (w <= 0 || h <= 0) return;
    if (SameConversion(dst, src)) {
        size_t rowBytes = static_cast<size_t>(w) * src.layout.bytesPerPixel;
        // Overlap within one buffer: walk rows bottom-up when moving down.
        bool upward = SameBuffer(dst, src) && dy > srcRect.top;
        for (int i = 0; i < h; ++i) {
            int row = upward ? h - 1 - i : i;
            std::memmove(PixelAt(dst, dx, dy + row), PixelAt(src, srcRect.left, srcRect.top + row), rowBytes);
        }
        return;
    }
    PixelCodec in(src), out(dst);
    for (int row = 0; row < h; ++row) {
        const uint8_t* s = PixelAt(src, srcRect.left, srcRect.top + row);
        uint8_t* d = PixelAt(dst, dx, dy + row);
        for (int x = 0; x < w; ++x) {
            uint32_t raw = ReadRawPixel(s, src.layout.bytesPerPixel);
            WriteRawPixel(d, dst.layout.bytesPerPixel, out.Encode(in.Decode(raw)));
            s += src.layout.bytesPerPixel;
            d += dst.layout.bytesPerPixel;
        }
    }
}

void CopyPixelsKeyed(const PixelView& dst, int dx, int dy, const PixelView& src, const RECT& srcRect,
                     uint32_t keyLow, uint32_t keyHigh) {
    int w = srcRect.right - srcRect.left;
    int h = srcRect.bottom - srcRect.top;
    if (w <= 0 || h <= 0) return;
    // A keyed copy within one buffer reads from a snapshot of the source rectangle.
    std::vector<uint8_t> snapshot;
    PixelView from = src;
    RECT fromRect = srcRect;
    if (SameBuffer(dst, src)) {
        int rowBytes = w * src.layout.bytesPerPixel;
        snapshot.resize(static_cast<size_t>(rowBytes) * h);
        for (int row = 0; row < h; ++row)
            std::memcpy(&snapshot[static_cast<size_t>(row) * rowBytes], PixelAt(src, srcRect.left, srcRect.top + row), rowBytes);
        from.pixels = snapshot.data();
        from.pitch = rowBytes;
        from.width = w;
        from.height = h;
        fromRect = RECT{0, 0, w, h};
    }
    uint32_t mask = LayoutValueMask(src.layout);
    keyLow &= mask;
    keyHigh &= mask;
    bool same = SameConversion(dst, from);
    PixelCodec in(from), out(dst);
    for (int row = 0; row < h; ++row) {
        const uint8_t* s = PixelAt(from, fromRect.left, fromRect.top + row);
        uint8_t* d = PixelAt(dst, dx, dy + row);
        for (int x = 0; x < w; ++x) {
            uint32_t raw = ReadRawPixel(s, from.layout.bytesPerPixel);
            uint32_t value = raw & mask;
            if (value < keyLow || value > keyHigh)
                WriteRawPixel(d, dst.layout.bytesPerPixel, same ? raw : out.Encode(in.Decode(raw)));
            s += from.layout.bytesPerPixel;
            d += dst.layout.bytesPerPixel;
        }
    }
}

void StretchPixels(const PixelView& dst, const RECT& dstRect, const RECT& clip, const PixelView& src,
                   const RECT& srcRect) {
    RECT area = IntersectRects(dstRect, clip);
    if (IsRectEmpty(area) || IsRectEmpty(dstRect) || IsRectEmpty(srcRect)) return;
    int64_t dw = dstRect.right - dstRect.left, dh = dstRect.bottom - dstRect.top;
    int64_t sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;

    // Reading and writing one buffer: stretch from a snapshot of the source rectangle.
    std::vector<uint8_t> snapshot;
    PixelView from = src;
    RECT fromRect = srcRect;
    if (SameBuffer(dst, src)) {
        int rowBytes = static_cast<int>(sw) * src.layout.bytesPerPixel;
        snapshot.resize(static_cast<size_t>(rowBytes) * sh);
        for (int row = 0; row < sh; ++row)
            std::memcpy(&snapshot[static_cast<size_t>(row) * rowBytes], PixelAt(src, srcRect.left, srcRect.top + row), rowBytes);
        from.pixels = snapshot.data();
        from.pitch = rowBytes;
        from.width = static_cast<int>(sw);
        from.height = static_cast<int>(sh);
        fromRect = RECT{0, 0, static_cast<LONG>(sw), static_cast<LONG>(sh)};
    }

    std::vector<int> columns(static_cast<size_t>(area.right - area.left));
    for (int x = area.left; x < area.right; ++x)
        columns[x - area.left] = fromRect.left + static_cast<int>((x - dstRect.left) * sw / dw);
    bool same = SameConversion(dst, from);
    PixelCodec in(from), out(dst);
    int sb = from.layout.bytesPerPixel, db = dst.layout.bytesPerPixel;
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = fromRect.top + static_cast<int>((y - dstRect.top) * sh / dh);
        const uint8_t* srow = PixelAt(from, 0, sy);
        uint8_t* d = PixelAt(dst, area.left, y);
        for (int sx : columns) {
            uint32_t raw = ReadRawPixel(srow + static_cast<intptr_t>(sx) * sb, sb);
            WriteRawPixel(d, db, same ? raw : out.Encode(in.Decode(raw)));
            d += db;
        }
    }
}

void FillRawRow(uint8_t* p, int n, int bytesPerPixel, uint32_t raw) {
    if (n <= 0) return;
    static_assert(sizeof(wchar_t) == 4, "wmemset stores 4-byte units");
    if (bytesPerPixel == 2) {
        // Whole 4-byte pairs of pixels from a 4-byte boundary, the odd ones at either end.
        if (reinterpret_cast<uintptr_t>(p) & 2) {
            WriteRawPixel(p, 2, raw);
            p += 2;
            --n;
        }
        if (n & 1) WriteRawPixel(p + 2 * (n - 1), 2, raw);
        std::wmemset(reinterpret_cast<wchar_t*>(p), wchar_t((raw & 0xFFFFu) * 0x10001u), size_t(n / 2));
    } else if (bytesPerPixel == 4) {
        std::wmemset(reinterpret_cast<wchar_t*>(p), wchar_t(raw), size_t(n));
    } else {
        for (int x = 0; x < n; ++x) WriteRawPixel(p + x * bytesPerPixel, bytesPerPixel, raw);
    }
}

void FillPixels(const PixelView& view, const RECT& rect, uint32_t raw) {
    int bytes = view.layout.bytesPerPixel;
    int w = rect.right - rect.left;
    if (w <= 0 || rect.bottom <= rect.top) return;
    // Build the first row, then copy it down.
    uint8_t* first = PixelAt(view, rect.left, rect.top);
    FillRawRow(first, w, bytes, raw);
    for (int y = rect.top + 1; y < rect.bottom; ++y)
        std::memcpy(PixelAt(view, rect.left, y), first, static_cast<size_t>(w) * bytes);
}
