// dshow_surface.cpp - sample surfaces, and frames copied into them through the layer's
// pixel converter (pixels.h), so a frame reads in a sample surface exactly as the same
// pixels would after any other conversion of the layer; palette surfaces take each
// pixel as the index of the entry nearest to its colour, through a table over 15-bit
// colours that keeps a frame one look-up per pixel.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/movies/dshow_internal.h"
#include "platform/pixels.h"

namespace {

bool IsContiguousMask(DWORD mask) {
    if (mask == 0) return true;
    const DWORD low = mask >> std::countr_zero(mask);
    return (low & (low + 1)) == 0;
}

bool HasMasks(const DDPIXELFORMAT& f, DWORD bits, DWORD r, DWORD g, DWORD b) {
    return f.dwRGBBitCount == bits && f.dwRBitMask == r && f.dwGBitMask == g && f.dwBBitMask == b;
}

}  // namespace

bool IsPaletteSurfaceFormat(const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_PALETTEINDEXED8) && !(f.dwFlags & DDPF_FOURCC) && f.dwRGBBitCount == 8;
}

bool IsWritableSurfaceFormat(const DDPIXELFORMAT& f) {
    if (IsPaletteSurfaceFormat(f)) return true;
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_FOURCC))) return false;
    if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 24 && f.dwRGBBitCount != 32) return false;
    const DWORD masks[4] = {f.dwRBitMask, f.dwGBitMask, f.dwBBitMask, f.dwRGBAlphaBitMask};
    const uint64_t limit = (uint64_t{1} << f.dwRGBBitCount) - 1;
    DWORD seen = 0;
    for (int i = 0; i < 4; ++i) {
        if (i < 3 && masks[i] == 0) return false;
        if (!IsContiguousMask(masks[i]) || masks[i] > limit || (seen & masks[i])) return false;
        seen |= masks[i];
    }
    return true;
}

bool IsXrgb8888Format(const DDPIXELFORMAT& f) {
    return HasMasks(f, 32, 0xFF0000, 0xFF00, 0xFF) && f.dwRGBAlphaBitMask == 0;
}

bool IsBgr24Format(const DDPIXELFORMAT& f) {
    return HasMasks(f, 24, 0xFF0000, 0xFF00, 0xFF) && f.dwRGBAlphaBitMask == 0;
}

namespace {

constexpr uint32_t kColours15 = 1u << 15;

// The index of the nearest palette entry for every 15-bit colour (5 bits a channel,
// widened back to 8 bits as the layer's converter widens them), by the squared
// distance of the layer's palette encoding: built again only after the palette changed.
const uint8_t* NearestEntries(SampleSurface* surface) {
    uint32_t palette[256];
    uint64_t changes;
    {
        std::lock_guard<std::mutex> lock(surface->paletteLock);
        std::memcpy(palette, surface->palette, sizeof palette);
        changes = surface->paletteChanges;
    }
    if (changes != surface->nearestBuiltFor) {
        const PixelCodec toIndex(PixelView{nullptr, 0, 0, 0, LayoutFromDDPixelFormat(surface->desc.format), palette});
        const PixelCodec from15(PixelView{nullptr, 0, 0, 0, LayoutXrgb1555(), nullptr});
        for (uint32_t c = 0; c < kColours15; ++c) surface->nearest[c] = uint8_t(toIndex.Encode(from15.Decode(c)));
        surface->nearestBuiltFor = changes;
    }
    return surface->nearest.data();
}

// B, G, R, X rows as palette indices, cut to the surface.
void CopyFrameAsIndices(const uint8_t* src, int srcPitch, int width, int height, SampleSurface* surface,
                        const RECT& rect) {
    const uint8_t* nearest = NearestEntries(surface);
    width = std::min(width, static_cast<int>(surface->desc.width) - static_cast<int>(rect.left));
    height = std::min(height, static_cast<int>(surface->desc.height) - static_cast<int>(rect.top));
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = src + static_cast<intptr_t>(y) * srcPitch;
        uint8_t* to = surface->pixels.data() + static_cast<size_t>(rect.top + y) * surface->desc.pitch + rect.left;
        for (int x = 0; x < width; ++x, from += 4) {
            to[x] = nearest[uint32_t(from[2] >> 3) << 10 | uint32_t(from[1] >> 3) << 5 | uint32_t(from[0] >> 3)];
        }
    }
}

}  // namespace

void CopyFrameIntoSurface(const uint8_t* src, int srcPitch, int width, int height, bool opaque,
                          SampleSurface* surface, const RECT& rect) {
    if (IsPaletteSurfaceFormat(surface->desc.format)) {
        CopyFrameAsIndices(src, srcPitch, width, height, surface, rect);
        return;
    }
    const PixelView from{const_cast<uint8_t*>(src), srcPitch, width, height,
                         opaque ? LayoutArgb8888() : LayoutXrgb8888(), nullptr};
    const PixelView to{surface->pixels.data(), surface->desc.pitch, static_cast<int>(surface->desc.width),
                       static_cast<int>(surface->desc.height), LayoutFromDDPixelFormat(surface->desc.format),
                       nullptr};
    CopyPixels(to, rect.left, rect.top, from, RECT{0, 0, width, height});
}

HRESULT CreateSampleSurface(const SampleSurfaceDesc* desc, SampleSurface** surface) {
    if (!surface) return E_POINTER;
    *surface = nullptr;
    if (!desc) return E_POINTER;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::CreateSampleSurface)) return hr;
    if (desc->width < 1 || desc->height < 1 || desc->width > MOVIE_MAX_FRAME_SIDE ||
        desc->height > MOVIE_MAX_FRAME_SIDE || !IsWritableSurfaceFormat(desc->format))
        return E_INVALIDARG;
    auto* s = new (std::nothrow) SampleSurface;
    if (!s) return E_OUTOFMEMORY;
    s->desc = *desc;
    s->desc.pitch = static_cast<LONG>((desc->width * (desc->format.dwRGBBitCount / 8) + 3) & ~3u);
    s->desc.inSystemMemory = TRUE;
    try {
        s->pixels.assign(static_cast<size_t>(s->desc.pitch) * desc->height, 0);
        if (IsPaletteSurfaceFormat(desc->format)) s->nearest.assign(kColours15, 0);
    } catch (const std::bad_alloc&) {
        delete s;
        return E_OUTOFMEMORY;
    }
    *surface = s;
    return S_OK;
}

HRESULT SampleSurfaceGetDesc(SampleSurface* surface, SampleSurfaceDesc* desc) {
    if (!surface || !desc) return E_POINTER;
    *desc = surface->desc;
    return S_OK;
}

HRESULT SampleSurfaceSetPalette(SampleSurface* surface, const PALETTEENTRY* entries) {
    if (!surface || !entries) return E_POINTER;
    if (!IsPaletteSurfaceFormat(surface->desc.format)) return E_INVALIDARG;
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = uint32_t(entries[i].peRed) << 16 | uint32_t(entries[i].peGreen) << 8 | entries[i].peBlue;
    std::lock_guard<std::mutex> lock(surface->paletteLock);
    if (std::memcmp(colours, surface->palette, sizeof colours) != 0) {
        std::memcpy(surface->palette, colours, sizeof colours);
        ++surface->paletteChanges;
    }
    return S_OK;
}

HRESULT SampleSurfaceLock(SampleSurface* surface, void** bits, LONG* pitch) {
    if (!surface || !bits || !pitch) return E_POINTER;
    if (surface->lockedByCaller.load()) return MS_E_BUSY;
    surface->writeLock.lock();   // waits while the decoder writes a frame
    surface->lockedByCaller.store(true);
    *bits = surface->pixels.data();
    *pitch = surface->desc.pitch;
    return S_OK;
}

HRESULT SampleSurfaceUnlock(SampleSurface* surface) {
    if (!surface) return E_POINTER;
    if (!surface->lockedByCaller.exchange(false)) return E_INVALIDARG;
    surface->writeLock.unlock();
    return S_OK;
}

ULONG SampleSurfaceRelease(SampleSurface* surface) {
    if (!surface) return 0;
    const ULONG left = surface->refs.fetch_sub(1) - 1;
    if (left == 0) {
        if (surface->lockedByCaller.load()) surface->writeLock.unlock();
        delete surface;
    }
    return left;
}
