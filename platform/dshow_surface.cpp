// dshow_surface.cpp - sample surfaces and the packing of frames into their pixel format.
//
// Frames arrive as XRGB8888 rows (B, G, R, X in memory). PackXrgbIntoSurface picks one
// row kernel for the surface's format: the common screen formats have their own loops,
// any other RGB layout goes through the generic mask packer. Channels are narrowed by
// dropping low bits; every bit outside the colour masks is set, so an alpha channel
// reads opaque and the X byte of XRGB8888 is 0xFF (as the frame converter writes it).
#include <bit>
#include <cstring>
#include <new>

#include "platform/dshow_internal.h"

namespace {

struct ChannelPacking {
    int shift = 0;
    int width = 0;
};

ChannelPacking ChannelOf(DWORD mask) {
    if (mask == 0) return {};
    return {std::countr_zero(mask), std::popcount(mask)};
}

bool IsContiguousMask(DWORD mask) {
    if (mask == 0) return true;
    const DWORD low = mask >> std::countr_zero(mask);
    return (low & (low + 1)) == 0;
}

uint32_t PackChannel(uint32_t value8, ChannelPacking c) {
    if (c.width == 0) return 0;
    if (c.width <= 8) return (value8 >> (8 - c.width)) << c.shift;
    return (value8 << (c.width - 8)) << c.shift;
}

using RowKernel = void (*)(const uint8_t* src, uint8_t* dst, int width, const DDPIXELFORMAT& f);

void RowToXrgb8888(const uint8_t* src, uint8_t* dst, int width, const DDPIXELFORMAT&) {
    for (int x = 0; x < width; ++x) {
        uint32_t p;
        std::memcpy(&p, src + x * 4, 4);
        p |= 0xFF000000u;
        std::memcpy(dst + x * 4, &p, 4);
    }
}

void RowToBgr24(const uint8_t* src, uint8_t* dst, int width, const DDPIXELFORMAT&) {
    for (int x = 0; x < width; ++x) {
        dst[x * 3 + 0] = src[x * 4 + 0];
        dst[x * 3 + 1] = src[x * 4 + 1];
        dst[x * 3 + 2] = src[x * 4 + 2];
    }
}

void RowToRgb565(const uint8_t* src, uint8_t* dst, int width, const DDPIXELFORMAT&) {
    for (int x = 0; x < width; ++x) {
        const uint32_t b = src[x * 4 + 0], g = src[x * 4 + 1], r = src[x * 4 + 2];
        const uint16_t p = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        std::memcpy(dst + x * 2, &p, 2);
    }
}

void RowGeneric(const uint8_t* src, uint8_t* dst, int width, const DDPIXELFORMAT& f) {
    const ChannelPacking r = ChannelOf(f.dwRBitMask), g = ChannelOf(f.dwGBitMask),
                         b = ChannelOf(f.dwBBitMask);
    const int bytes = static_cast<int>(f.dwRGBBitCount / 8);
    const uint32_t all = f.dwRGBBitCount == 32 ? 0xFFFFFFFFu : (1u << f.dwRGBBitCount) - 1;
    const uint32_t unused = all & ~(f.dwRBitMask | f.dwGBitMask | f.dwBBitMask);
    for (int x = 0; x < width; ++x) {
        const uint8_t* s = src + x * 4;
        const uint32_t p = PackChannel(s[2], r) | PackChannel(s[1], g) | PackChannel(s[0], b) | unused;
        for (int i = 0; i < bytes; ++i) dst[x * bytes + i] = static_cast<uint8_t>(p >> (8 * i));
    }
}

struct FastPath {
    DWORD bits, r, g, b;
    RowKernel kernel;
};

const FastPath kFastPaths[] = {
    {32, 0xFF0000, 0x00FF00, 0x0000FF, RowToXrgb8888},
    {24, 0xFF0000, 0x00FF00, 0x0000FF, RowToBgr24},
    {16, 0xF800, 0x07E0, 0x001F, RowToRgb565},
};

RowKernel KernelFor(const DDPIXELFORMAT& f) {
    for (const FastPath& p : kFastPaths) {
        if (f.dwRGBBitCount == p.bits && f.dwRBitMask == p.r && f.dwGBitMask == p.g &&
            f.dwBBitMask == p.b && (p.bits != 16 || f.dwRGBAlphaBitMask == 0) &&
            (p.bits != 24 || f.dwRGBAlphaBitMask == 0) &&
            (f.dwRGBAlphaBitMask == 0 || f.dwRGBAlphaBitMask == 0xFF000000u))
            return p.kernel;
    }
    return RowGeneric;
}

}  // namespace

bool IsWritableSurfaceFormat(const DDPIXELFORMAT& f) {
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

bool IsXrgb8888Format(const DDPIXELFORMAT& f) { return KernelFor(f) == RowToXrgb8888; }
bool IsBgr24Format(const DDPIXELFORMAT& f) { return KernelFor(f) == RowToBgr24; }

void PackXrgbIntoSurface(const uint8_t* src, int srcPitch, int width, int height,
                         SampleSurface* surface, const RECT& rect) {
    const DDPIXELFORMAT& f = surface->desc.format;
    const RowKernel kernel = KernelFor(f);
    const int bytes = static_cast<int>(f.dwRGBBitCount / 8);
    uint8_t* dst = surface->pixels.data() + static_cast<size_t>(rect.top) * surface->desc.pitch +
                   static_cast<size_t>(rect.left) * bytes;
    for (int y = 0; y < height; ++y)
        kernel(src + static_cast<size_t>(y) * srcPitch, dst + static_cast<size_t>(y) * surface->desc.pitch,
               width, f);
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
