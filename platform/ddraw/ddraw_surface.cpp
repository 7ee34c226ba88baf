// ddraw_surface.cpp - DirectDraw surfaces in memory: creation, lock, blits, flip, keys, loss.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/ddraw/ddraw_internal.h"
#include "platform/window/desktop.h"
#include "platform/gdi/gdi_internal.h"

namespace {

constexpr uint32_t kSurfaceMagic = 0x46525553u; // "SURF"
// Surfaces live in system memory, so they are as large as an image can be: 65535 a
// side (the 16-bit sizes the library keeps), and pixels that an int pitch times a row
// number can still address.
constexpr DWORD kMaxSurfaceSide = 65535;
constexpr size_t kMaxSurfaceBytes = INT_MAX;

size_t g_videoBytesInUse = 0;

bool Live(IDirectDrawSurface7* s) { return DDrawTracked(s) && s->magic == kSurfaceMagic && s->refs > 0; }

// A surface that can be used: alive, and its object still exists.
HRESULT Check(IDirectDrawSurface7* s) {
    if (!Live(s) || !s->owner) return DDERR_INVALIDOBJECT;
    return DD_OK;
}

bool Busy(IDirectDrawSurface7* s) { return s->locked || s->dc; }

int AlignedPitch(int width, int bytes) { return (width * bytes + 7) & ~7; }

bool DescSizeOk(const DDSURFACEDESC2* desc) { return desc->dwSize == sizeof(DDSURFACEDESC2) || desc->dwSize == 124; }

IDirectDrawSurface7* NewSurface(IDirectDraw7* dd, DWORD caps, DWORD caps2) {
    auto* s = new IDirectDrawSurface7{};
    s->magic = kSurfaceMagic;
    s->refs = 1;
    s->owner = dd;
    s->caps = DDSCAPS2{caps, caps2, 0, 0};
    dd->surfaces.push_back(s);
    DDrawTrack(s, true);
    return s;
}

// Own memory of w x h in the layout, counted as video memory when it is.
HRESULT AllocatePixels(IDirectDrawSurface7* s, int width, int height, const PixelLayout& layout, int pitch,
                       bool countVideo) {
    size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);
    if (bytes > kMaxSurfaceBytes) return DDERR_TOOBIGSIZE;
    if (countVideo) {
        if (g_videoBytesInUse + bytes > DDrawFaultState().videoMemoryTotal) return DDERR_OUTOFVIDEOMEMORY;
        s->videoBytes = bytes;
        g_videoBytesInUse += bytes;
    }
    s->storage = SurfaceStorage::Memory;
    s->width = width;
    s->height = height;
    s->layout = layout;
    s->pitch = pitch;
    try {
        s->pixels.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY; // the caller destroys the surface, which gives back what it counted
    }
    return DD_OK;
}

void Destroy(IDirectDrawSurface7* s) {
    if (s->dc) GdiDeleteSurfaceDc(s->dc);
    if (s->clipper) IDirectDrawClipper_Release(s->clipper);
    if (s->palette) IDirectDrawPalette_Release(s->palette);
    IDirectDrawSurface7* back = s->backBuffer;
    IDirectDrawSurface7* z = s->zBuffer;
    if (s->owner) {
        auto& list = s->owner->surfaces;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] == s) {
                list.erase(list.begin() + static_cast<long>(i));
                break;
            }
        if (s->owner->primary == s) s->owner->primary = nullptr;
    }
    g_videoBytesInUse -= s->videoBytes;
    s->magic = 0;
    DDrawTrack(s, false);
    delete s;
    if (back) {
        back->chainFront = nullptr;
        IDirectDrawSurface7_Release(back);
    }
    if (z) IDirectDrawSurface7_Release(z);
}

// Checks an explicit pixel format for a colour surface: RGB with 16, 24 or 32 bits and
// disjoint masks inside the pixel, or (not for a texture) 8-bit palette indices.
bool ColourFormatOk(const DDPIXELFORMAT& f, bool texture) {
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & (DDPF_FOURCC | DDPF_ZBUFFER))) return false;
    if (f.dwFlags & DDPF_PALETTEINDEXED8) return f.dwRGBBitCount == 8 && !texture;
    if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 24 && f.dwRGBBitCount != 32) return false;
    DWORD alpha = (f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0;
    DWORD masks[4] = {f.dwRBitMask, f.dwGBitMask, f.dwBBitMask, alpha};
    DWORD all = 0;
    uint64_t limit = (uint64_t(1) << f.dwRGBBitCount) - 1;
    for (DWORD m : masks) {
        if ((all & m) || m > limit) return false;
        all |= m;
    }
    return f.dwRBitMask && f.dwGBitMask && f.dwBBitMask;
}

HRESULT InjectedFailure(DWORD caps) {
    DDrawFaults& f = DDrawFaultState();
    if (!f.failSurfaceError || f.failSurfaceCount == 0) return DD_OK;
    if ((caps & f.failSurfaceCaps) != f.failSurfaceCaps) return DD_OK;
    if (f.failSurfaceCount > 0) --f.failSurfaceCount;
    return f.failSurfaceError;
}

DWORD MemoryCaps(DWORD asked) {
    if (asked & DDSCAPS_SYSTEMMEMORY) return DDSCAPS_SYSTEMMEMORY;
    return DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
}

HRESULT CreatePrimary(IDirectDraw7* dd, const DDSURFACEDESC2& desc, IDirectDrawSurface7** out) {
    DWORD asked = desc.ddsCaps.dwCaps;
    if (!dd->cooperativeLevel) return DDERR_NOCOOPERATIVELEVELSET;
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    if (asked & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER | DDSCAPS_OFFSCREENPLAIN))
        return DDERR_INVALIDCAPS;
    if (dd->primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    bool chain = (asked & DDSCAPS_FLIP) != 0;
    if (chain) {
        if (!(dd->cooperativeLevel & DDSCL_EXCLUSIVE)) return DDERR_NOEXCLUSIVEMODE;
        if (!(asked & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT)) return DDERR_INVALIDCAPS;
        if (desc.dwBackBufferCount != 1) return DDERR_INVALIDPARAMS; // one back buffer only
    }
    DWORD memory = DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    DWORD frontCaps = asked | memory | DDSCAPS_VISIBLE | (chain ? DDSCAPS_FRONTBUFFER : 0);
    IDirectDrawSurface7* front = NewSurface(dd, frontCaps, 0);
    front->storage = SurfaceStorage::Desktop;
    if (chain) {
        DWORD backCaps = (asked & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE)) | DDSCAPS_BACKBUFFER | memory;
        IDirectDrawSurface7* back = NewSurface(dd, backCaps, 0);
        PixelView desktop = DesktopView();
        HRESULT hr = AllocatePixels(back, desktop.width, desktop.height, desktop.layout, DesktopPitch(), true);
        if (FAILED(hr)) {
            Destroy(back);
            Destroy(front);
            return hr;
        }
        back->chainFront = front;
        front->backBuffer = back; // the front holds the back buffer's first reference
    }
    dd->primary = front;
    *out = front;
    return DD_OK;
}

HRESULT CreateZBuffer(IDirectDraw7* dd, const DDSURFACEDESC2& desc, IDirectDrawSurface7** out) {
    const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
    if (!(desc.dwFlags & DDSD_PIXELFORMAT) || !(f.dwFlags & DDPF_ZBUFFER) || f.dwZBufferBitDepth != 16 ||
        (f.dwZBitMask && f.dwZBitMask != 0xFFFF))
        return DDERR_INVALIDPIXELFORMAT; // 16-bit depth buffers only
    DWORD asked = desc.ddsCaps.dwCaps;
    IDirectDrawSurface7* z = NewSurface(dd, asked | MemoryCaps(asked), 0);
    int w = static_cast<int>(desc.dwWidth), h = static_cast<int>(desc.dwHeight);
    HRESULT hr = AllocatePixels(z, w, h, LayoutDepth16(), AlignedPitch(w, 2), !(asked & DDSCAPS_SYSTEMMEMORY));
    if (FAILED(hr)) {
        Destroy(z);
        return hr;
    }
    *out = z;
    return DD_OK;
}

HRESULT CreatePlain(IDirectDraw7* dd, const DDSURFACEDESC2& desc, IDirectDrawSurface7** out) {
    DWORD asked = desc.ddsCaps.dwCaps;
    if (!(asked & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE))) return DDERR_INVALIDCAPS;
    PixelLayout layout = DesktopView().layout;
    if (desc.dwFlags & DDSD_PIXELFORMAT) {
        if (!ColourFormatOk(desc.ddpfPixelFormat, (asked & DDSCAPS_TEXTURE) != 0)) return DDERR_INVALIDPIXELFORMAT;
        layout = LayoutFromDDPixelFormat(desc.ddpfPixelFormat);
    }
    DWORD caps2 = desc.ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE;
    bool managed = caps2 != 0;
    IDirectDrawSurface7* s = NewSurface(dd, asked | MemoryCaps(asked), caps2);
    int w = static_cast<int>(desc.dwWidth), h = static_cast<int>(desc.dwHeight);
    bool video = !managed && !(asked & DDSCAPS_SYSTEMMEMORY);
    HRESULT hr = AllocatePixels(s, w, h, layout, AlignedPitch(w, layout.bytesPerPixel), video);
    if (FAILED(hr)) {
        Destroy(s);
        return hr;
    }
    *out = s;
    return DD_OK;
}

void FillDesc(IDirectDrawSurface7* s, const PixelView& view, DDSURFACEDESC2* desc) {
    DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(view.width);
    desc->dwHeight = static_cast<DWORD>(view.height);
    desc->lPitch = view.pitch;
    desc->ddpfPixelFormat = s->storage == SurfaceStorage::Desktop ? DesktopPixelFormat() : DDPixelFormatFromLayout(view.layout);
    desc->ddsCaps = s->caps;
    if (s->caps.dwCaps & DDSCAPS_BACKBUFFER) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    }
    if (s->backBuffer) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = 1;
    }
    if (s->hasSourceKey) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = s->sourceKey;
    }
}

bool IsDepth(IDirectDrawSurface7* s) { return (s->caps.dwCaps & DDSCAPS_ZBUFFER) != 0; }

// Blits between two 8-bit surfaces move indices as they are, whatever palettes the
// surfaces have: the source is read through the destination's palette.
void ShareIndexedPalette(const PixelView& dst, PixelView* src) {
    if (dst.layout.indexed && src->layout.indexed) src->palette = dst.palette;
}

void PresentIfOnDesktop(IDirectDrawSurface7* s, const RECT& rect) {
    if (s->storage == SurfaceStorage::Desktop) DesktopPresent(rect);
}

} // namespace

size_t DDrawVideoBytesInUse() { return g_videoBytesInUse; }
bool DDrawIsSurface(IDirectDrawSurface7* s) { return Live(s); }
bool DDrawSurfaceIsOnDesktop(IDirectDrawSurface7* s) { return Live(s) && s->storage == SurfaceStorage::Desktop; }

bool DDrawSurfaceView(IDirectDrawSurface7* s, PixelView* view) {
    if (!Live(s)) return false;
    if (s->storage == SurfaceStorage::Desktop) {
        *view = DesktopView();
    } else {
        const uint32_t* palette = nullptr;
        if (s->layout.indexed) palette = s->palette ? s->palette->colours : DesktopPalette();
        *view = PixelView{s->pixels.data(), s->pitch, s->width, s->height, s->layout, palette};
    }
    return true;
}

HRESULT IDirectDraw7_CreateSurface(IDirectDraw7* dd, DDSURFACEDESC2* desc, IDirectDrawSurface7** out, void* outer) {
    if (out) *out = nullptr;
    if (!dd || !DDrawObjectIsReady(dd)) return dd && DDrawObjectIsValid(dd) ? DDERR_NOTINITIALIZED : DDERR_INVALIDOBJECT;
    if (!desc || !out || outer || !DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
    if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDCAPS;
    DWORD caps = desc->ddsCaps.dwCaps;
    if (caps & DDSCAPS_OVERLAY) return DDERR_NOOVERLAYHW;
    if (desc->dwFlags & DDSD_LPSURFACE) return DDERR_UNSUPPORTED;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
    if (HRESULT injected = InjectedFailure(caps)) return injected;
    if (caps & DDSCAPS_PRIMARYSURFACE) return CreatePrimary(dd, *desc, out);
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth == 0 || desc->dwHeight == 0)
        return DDERR_INVALIDPARAMS;
    if (desc->dwWidth > kMaxSurfaceSide) return DDERR_TOOBIGWIDTH;
    if (desc->dwHeight > kMaxSurfaceSide) return DDERR_TOOBIGHEIGHT;
    if (caps & DDSCAPS_ZBUFFER) return CreateZBuffer(dd, *desc, out);
    return CreatePlain(dd, *desc, out);
}

ULONG IDirectDrawSurface7_AddRef(IDirectDrawSurface7* s) { return Live(s) ? static_cast<ULONG>(++s->refs) : 0; }

ULONG IDirectDrawSurface7_Release(IDirectDrawSurface7* s) {
    if (!Live(s)) return 0;
    int left = --s->refs;
    if (left == 0) Destroy(s);
    return static_cast<ULONG>(left);
}

HRESULT IDirectDrawSurface7_Lock(IDirectDrawSurface7* s, RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
    if (HRESULT hr = Check(s)) return hr;
    if (!desc || !DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
    if (s->lost) return DDERR_SURFACELOST;
    if (Busy(s)) return DDERR_SURFACEBUSY;
    PixelView view;
    DDrawSurfaceView(s, &view);
    RECT r = rect ? *rect : ViewBounds(view);
    if (!IsRectInside(r, ViewBounds(view))) return DDERR_INVALIDRECT;
    FillDesc(s, view, desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = PixelAt(view, r.left, r.top);
    s->locked = true;
    s->lockRect = (flags & DDLOCK_READONLY) ? RECT{0, 0, 0, 0} : r;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_Unlock(IDirectDrawSurface7* s, RECT*) {
    if (HRESULT hr = Check(s)) return hr;
    if (!s->locked) return DDERR_NOTLOCKED;
    s->locked = false;
    PresentIfOnDesktop(s, s->lockRect);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_Blt(IDirectDrawSurface7* dst, RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect,
                                DWORD flags, DDBLTFX* fx) {
    if (HRESULT hr = Check(dst)) return hr;
    if (flags & ~(DDBLT_COLORFILL | DDBLT_DEPTHFILL | DDBLT_WAIT)) return DDERR_UNSUPPORTED;
    if (dst->lost) return DDERR_SURFACELOST;
    if (Busy(dst)) return DDERR_SURFACEBUSY;
    PixelView dv;
    DDrawSurfaceView(dst, &dv);
    RECT bounds = ViewBounds(dv);
    RECT d = dstRect ? *dstRect : bounds;
    if (IsRectEmpty(d)) return DDERR_INVALIDRECT;
    RECT clip = bounds;
    if (dst->clipper)
        clip = IntersectRects(bounds, WindowClientOnDesktop(dst->clipper->window));
    else if (!IsRectInside(d, bounds))
        return DDERR_INVALIDRECT;
    RECT area = IntersectRects(d, clip);

    bool colourFill = flags & DDBLT_COLORFILL, depthFill = flags & DDBLT_DEPTHFILL;
    if (colourFill || depthFill) {
        if (!fx || src || (colourFill && depthFill) || colourFill == IsDepth(dst)) return DDERR_INVALIDPARAMS;
        FillPixels(dv, area, colourFill ? fx->dwFillColor : fx->dwFillDepth);
        PresentIfOnDesktop(dst, area);
        return DD_OK;
    }

    if (HRESULT hr = Check(src)) return src ? hr : DDERR_INVALIDPARAMS;
    if (src->lost) return DDERR_SURFACELOST;
    if (Busy(src)) return DDERR_SURFACEBUSY;
    if (IsDepth(src) != IsDepth(dst)) return DDERR_INVALIDPIXELFORMAT;
    PixelView sv;
    DDrawSurfaceView(src, &sv);
    ShareIndexedPalette(dv, &sv);
    RECT sr = srcRect ? *srcRect : ViewBounds(sv);
    if (!IsRectInside(sr, ViewBounds(sv))) return DDERR_INVALIDRECT;
    if (IsRectEmpty(area)) return DD_OK; // wholly clipped away
    if (sr.right - sr.left == d.right - d.left && sr.bottom - sr.top == d.bottom - d.top) {
        RECT from{sr.left + (area.left - d.left), sr.top + (area.top - d.top), 0, 0};
        from.right = from.left + (area.right - area.left);
        from.bottom = from.top + (area.bottom - area.top);
        CopyPixels(dv, area.left, area.top, sv, from);
    } else {
        StretchPixels(dv, d, clip, sv, sr);
    }
    PresentIfOnDesktop(dst, area);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_BltFast(IDirectDrawSurface7* dst, DWORD x, DWORD y, IDirectDrawSurface7* src,
                                    RECT* srcRect, DWORD flags) {
    if (HRESULT hr = Check(dst)) return hr;
    if (HRESULT hr = Check(src)) return src ? hr : DDERR_INVALIDPARAMS;
    if (flags & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT)) return DDERR_UNSUPPORTED;
    if (dst->lost || src->lost) return DDERR_SURFACELOST;
    if (Busy(dst) || Busy(src)) return DDERR_SURFACEBUSY;
    if (dst->clipper) return DDERR_BLTFASTCANTCLIP;
    if (IsDepth(src) != IsDepth(dst)) return DDERR_INVALIDPIXELFORMAT;
    PixelView dv, sv;
    DDrawSurfaceView(dst, &dv);
    DDrawSurfaceView(src, &sv);
    ShareIndexedPalette(dv, &sv);
    RECT sr = srcRect ? *srcRect : ViewBounds(sv);
    if (!IsRectInside(sr, ViewBounds(sv)) || x > INT_MAX / 2 || y > INT_MAX / 2) return DDERR_INVALIDRECT;
    RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (sr.right - sr.left),
           static_cast<LONG>(y) + (sr.bottom - sr.top)};
    if (!IsRectInside(d, ViewBounds(dv))) return DDERR_INVALIDRECT;
    if (flags & DDBLTFAST_SRCCOLORKEY) {
        if (!src->hasSourceKey) return DDERR_NOCOLORKEY;
        CopyPixelsKeyed(dv, d.left, d.top, sv, sr, src->sourceKey.dwColorSpaceLowValue,
                        src->sourceKey.dwColorSpaceHighValue);
    } else {
        CopyPixels(dv, d.left, d.top, sv, sr);
    }
    PresentIfOnDesktop(dst, d);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_Flip(IDirectDrawSurface7* front, IDirectDrawSurface7* target, DWORD flags) {
    if (HRESULT hr = Check(front)) return hr;
    if (flags & ~(DDFLIP_WAIT | DDFLIP_NOVSYNC)) return DDERR_UNSUPPORTED;
    IDirectDrawSurface7* back = front->backBuffer;
    if (!back || front->storage != SurfaceStorage::Desktop) return DDERR_NOTFLIPPABLE;
    if (target && target != back) return DDERR_INVALIDPARAMS;
    if (front->lost || back->lost) return DDERR_SURFACELOST;
    if (Busy(front) || Busy(back)) return DDERR_SURFACEBUSY;
    // A display-mode change since the chain was made leaves it unusable, as a lost chain.
    if (back->pitch != DesktopPitch() || back->height != DesktopHeight() || !DesktopSwapBuffer(back->pixels))
        return DDERR_SURFACELOST;
    // NOVSYNC or not, the flip is immediate; the library paces frames itself.
    DesktopPresent(ViewBounds(DesktopView()));
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetAttachedSurface(IDirectDrawSurface7* s, DDSCAPS2* caps, IDirectDrawSurface7** out) {
    if (out) *out = nullptr;
    if (HRESULT hr = Check(s)) return hr;
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    IDirectDrawSurface7* found = nullptr;
    if (caps->dwCaps & DDSCAPS_BACKBUFFER) found = s->backBuffer;
    else if (caps->dwCaps & DDSCAPS_ZBUFFER) found = s->zBuffer;
    if (!found) return DDERR_NOTFOUND;
    ++found->refs;
    *out = found;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_AddAttachedSurface(IDirectDrawSurface7* s, IDirectDrawSurface7* attach) {
    if (HRESULT hr = Check(s)) return hr;
    if (HRESULT hr = Check(attach)) return attach ? hr : DDERR_INVALIDPARAMS;
    if (!IsDepth(attach) || IsDepth(s)) return DDERR_CANNOTATTACHSURFACE;
    if (s->zBuffer) return DDERR_SURFACEALREADYATTACHED;
    PixelView sv, zv;
    DDrawSurfaceView(s, &sv);
    DDrawSurfaceView(attach, &zv);
    if (sv.width != zv.width || sv.height != zv.height) return DDERR_CANNOTATTACHSURFACE;
    ++attach->refs;
    s->zBuffer = attach;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_DeleteAttachedSurface(IDirectDrawSurface7* s, DWORD flags, IDirectDrawSurface7* attached) {
    if (HRESULT hr = Check(s)) return hr;
    if (flags) return DDERR_INVALIDPARAMS;
    if (!s->zBuffer || (attached && attached != s->zBuffer)) return DDERR_SURFACENOTATTACHED;
    IDirectDrawSurface7* z = s->zBuffer;
    s->zBuffer = nullptr;
    IDirectDrawSurface7_Release(z);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_EnumAttachedSurfaces(IDirectDrawSurface7* s, void* context,
                                                 LPDDENUMSURFACESCALLBACK7 callback) {
    if (HRESULT hr = Check(s)) return hr;
    if (!callback) return DDERR_INVALIDPARAMS;
    IDirectDrawSurface7* attached[2] = {s->backBuffer, s->zBuffer};
    for (IDirectDrawSurface7* a : attached) {
        if (!a) continue;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        IDirectDrawSurface7_GetSurfaceDesc(a, &desc);
        ++a->refs;
        if (callback(a, &desc, context) != DDENUMRET_OK) break;
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface7_SetColorKey(IDirectDrawSurface7* s, DWORD flags, DDCOLORKEY* key) {
    if (HRESULT hr = Check(s)) return hr;
    constexpr DWORD kColorSpace = 0x1; // the key is a range (low..high); always so here
    if ((flags & ~(DDCKEY_SRCBLT | kColorSpace)) || !(flags & DDCKEY_SRCBLT)) return DDERR_UNSUPPORTED;
    if (s->lost) return DDERR_SURFACELOST;
    s->hasSourceKey = key != nullptr;
    if (key) {
        s->sourceKey = *key;
        if (!(flags & kColorSpace)) s->sourceKey.dwColorSpaceHighValue = key->dwColorSpaceLowValue;
        if (s->sourceKey.dwColorSpaceHighValue < s->sourceKey.dwColorSpaceLowValue)
            s->sourceKey.dwColorSpaceHighValue = s->sourceKey.dwColorSpaceLowValue;
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetColorKey(IDirectDrawSurface7* s, DWORD flags, DDCOLORKEY* key) {
    if (HRESULT hr = Check(s)) return hr;
    if (flags != DDCKEY_SRCBLT || !key) return DDERR_INVALIDPARAMS;
    if (!s->hasSourceKey) return DDERR_NOCOLORKEY;
    *key = s->sourceKey;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetCaps(IDirectDrawSurface7* s, DDSCAPS2* caps) {
    if (HRESULT hr = Check(s)) return hr;
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = s->caps;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetSurfaceDesc(IDirectDrawSurface7* s, DDSURFACEDESC2* desc) {
    if (HRESULT hr = Check(s)) return hr;
    if (!desc || !DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
    PixelView view;
    DDrawSurfaceView(s, &view);
    FillDesc(s, view, desc);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetPixelFormat(IDirectDrawSurface7* s, DDPIXELFORMAT* format) {
    if (HRESULT hr = Check(s)) return hr;
    if (!format) return DDERR_INVALIDPARAMS;
    *format = s->storage == SurfaceStorage::Desktop ? DesktopPixelFormat() : DDPixelFormatFromLayout(s->layout);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_GetDC(IDirectDrawSurface7* s, HDC* dc) {
    if (dc) *dc = nullptr;
    if (HRESULT hr = Check(s)) return hr;
    if (!dc) return DDERR_INVALIDPARAMS;
    if (s->lost) return DDERR_SURFACELOST;
    if (s->dc) return DDERR_DCALREADYCREATED;
    if (s->locked) return DDERR_SURFACEBUSY;
    if (IsDepth(s)) return DDERR_INVALIDPIXELFORMAT;
    s->dc = GdiCreateSurfaceDc(s);
    *dc = s->dc;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_ReleaseDC(IDirectDrawSurface7* s, HDC dc) {
    if (HRESULT hr = Check(s)) return hr;
    if (!s->dc || dc != s->dc) return DDERR_INVALIDPARAMS;
    GdiDeleteSurfaceDc(s->dc);
    s->dc = nullptr;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_SetClipper(IDirectDrawSurface7* s, IDirectDrawClipper* clipper) {
    if (HRESULT hr = Check(s)) return hr;
    if (clipper && !IDirectDrawClipper_AddRef(clipper)) return DDERR_INVALIDOBJECT;
    if (s->clipper) IDirectDrawClipper_Release(s->clipper);
    s->clipper = clipper;
    return DD_OK;
}

HRESULT IDirectDrawSurface7_SetPalette(IDirectDrawSurface7* s, IDirectDrawPalette* palette) {
    if (HRESULT hr = Check(s)) return hr;
    if (palette) {
        PixelView view;
        DDrawSurfaceView(s, &view);
        if (!view.layout.indexed) return DDERR_NOTPALETTIZED;
        if (!IDirectDrawPalette_AddRef(palette)) return DDERR_INVALIDOBJECT;
    }
    if (s->palette) IDirectDrawPalette_Release(s->palette);
    s->palette = palette;
    // On the primary it becomes the display's palette.
    if (palette && s->storage == SurfaceStorage::Desktop) DesktopSetPaletteEntries(0, 256, palette->colours);
    return DD_OK;
}

HRESULT IDirectDrawSurface7_IsLost(IDirectDrawSurface7* s) {
    if (HRESULT hr = Check(s)) return hr;
    return s->lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT IDirectDrawSurface7_Restore(IDirectDrawSurface7* s) {
    if (HRESULT hr = Check(s)) return hr;
    if (!s->lost) return DD_OK;
    // The memory comes back, the pixels do not.
    std::fill(s->pixels.begin(), s->pixels.end(), uint8_t{0});
    s->lost = false;
    return DD_OK;
}
