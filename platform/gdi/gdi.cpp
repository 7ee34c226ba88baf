// gdi.cpp - device contexts, GDI objects, BitBlt, device caps and display settings.
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

#include "platform/ddraw/ddraw_internal.h"
#include "platform/window/desktop.h"
#include "platform/gdi/gdi_internal.h"

namespace {

constexpr uint32_t kDcMagic = 0x43434447u; // "GDCC"
constexpr int kMaxBitmapSide = 16384;

// Live DCs and objects; a stale handle is refused instead of being followed.
std::unordered_set<const void*> g_liveDcs;
std::unordered_set<const void*> g_liveObjects;

bool ValidDc(HDC dc) { return dc && g_liveDcs.count(dc) && dc->magic == kDcMagic; }

void DestroyBitmap(PlatformGdiObject* object) { delete static_cast<GdiBitmap*>(object); }

int DescribeBitmap(PlatformGdiObject* object, int size, void* out) {
    auto* b = static_cast<GdiBitmap*>(object);
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{};
    info.bmWidth = b->width;
    info.bmHeight = b->height;
    info.bmWidthBytes = b->rowBytes;
    info.bmPlanes = 1;
    info.bmBitsPixel = static_cast<WORD>(b->layout.bytesPerPixel * 8);
    info.bmBits = b->dibSection ? b->memory.data() : nullptr;
    std::memcpy(out, &info, sizeof(info));
    return sizeof(BITMAP);
}

GdiBitmap* StockBitmap() {
    static GdiBitmap stock = [] {
        GdiBitmap b{};
        b.magic = kGdiObjectMagic;
        b.kind = GdiObjectBitmap;
        b.stock = true;
        b.describe = DescribeBitmap;
        b.width = 1;
        b.height = 1;
        b.layout = LayoutXrgb8888();
        b.rowBytes = 4;
        b.memory.assign(4, 0);
        return b;
    }();
    static bool registered = (GdiRegisterObject(&stock), true);
    (void)registered;
    return &stock;
}

PlatformDC* NewDc(DcKind kind) {
    auto* dc = new PlatformDC{};
    dc->magic = kDcMagic;
    dc->kind = kind;
    g_liveDcs.insert(dc);
    dc->font = GdiStockFont();
    return dc;
}

void FreeDc(HDC dc) {
    if (dc->bitmap && !dc->bitmap->stock) --dc->bitmap->selections;
    if (dc->font && !dc->font->stock) --dc->font->selections;
    dc->magic = 0;
    g_liveDcs.erase(dc);
    delete dc;
}

// The layout of bitmaps made compatible with a DC.
PixelLayout DeviceLayoutOf(HDC dc) {
    if (ValidDc(dc)) {
        if (dc->kind == DcKind::Memory) return dc->deviceLayout;
        PixelView view;
        if (dc->kind == DcKind::Surface && DDrawSurfaceView(dc->surface, &view)) return view.layout;
    }
    return DesktopView().layout;
}

// An injected failure of the display seams (platform/ddraw/testing/ddraw_seams.h).
bool TakeBlitFailure() {
    int& left = DDrawFaultState().failBlits;
    if (left <= 0) return false;
    --left;
    return true;
}

} // namespace

GdiBitmap* GdiNewBitmap(int width, int height, const PixelLayout& layout, int rowBytes) {
    std::vector<uint8_t> memory;
    try {
        memory.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return GdiFail<GdiBitmap*>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    auto* b = new GdiBitmap{};
    b->magic = kGdiObjectMagic;
    b->kind = GdiObjectBitmap;
    b->destroy = DestroyBitmap;
    b->describe = DescribeBitmap;
    b->width = width;
    b->height = height;
    b->layout = layout;
    b->rowBytes = rowBytes;
    b->memory = std::move(memory);
    GdiRegisterObject(b);
    return b;
}

PlatformGdiObject* GdiStockFont() {
    static PlatformGdiObject stock{kGdiObjectMagic, GdiObjectFont, 0, true, nullptr, nullptr};
    static bool registered = (GdiRegisterObject(&stock), true);
    (void)registered;
    return &stock;
}

bool GdiIsDc(HDC dc) { return ValidDc(dc); }

void GdiRegisterObject(PlatformGdiObject* object) { g_liveObjects.insert(object); }

bool GdiIsObject(HGDIOBJ object) {
    auto* o = reinterpret_cast<PlatformGdiObject*>(object);
    return o && g_liveObjects.count(o) && o->magic == kGdiObjectMagic;
}

PixelView GdiBitmapView(GdiBitmap* b) {
    PixelView view{b->memory.data(), b->rowBytes, b->width, b->height, b->layout, b->palette};
    if (b->bottomUp) {
        view.pixels = b->memory.data() + static_cast<size_t>(b->height - 1) * b->rowBytes;
        view.pitch = -b->rowBytes;
    }
    return view;
}

bool GdiResolveDc(HDC dc, DcTarget* t) {
    if (!ValidDc(dc)) return GdiFail(ERROR_INVALID_HANDLE, false);
    t->origin = POINT{0, 0};
    t->onDesktop = false;
    switch (dc->kind) {
    case DcKind::Screen:
        t->view = DesktopView();
        t->clip = ViewBounds(t->view);
        t->onDesktop = true;
        return true;
    case DcKind::Window: {
        t->view = DesktopView();
        RECT client = WindowClientOnDesktop(dc->window);
        t->origin = POINT{client.left, client.top};
        t->clip = IntersectRects(client, ViewBounds(t->view));
        t->onDesktop = true;
        return true;
    }
    case DcKind::Memory:
        t->view = GdiBitmapView(dc->bitmap);
        t->clip = ViewBounds(t->view);
        return true;
    case DcKind::Surface:
        // A lost surface has no pixels to give until it is restored.
        if (!DDrawSurfaceView(dc->surface, &t->view) || dc->surface->lost) return GdiFail(ERROR_INVALID_HANDLE, false);
        t->clip = ViewBounds(t->view);
        t->onDesktop = DDrawSurfaceIsOnDesktop(dc->surface);
        return true;
    }
    return false;
}

void GdiPresentWrite(const DcTarget& target, const RECT& area) {
    if (target.onDesktop && !IsRectEmpty(area)) DesktopPresent(area);
}

HDC GdiCreateSurfaceDc(IDirectDrawSurface7* surface) {
    PlatformDC* dc = NewDc(DcKind::Surface);
    dc->surface = surface;
    return dc;
}

void GdiDeleteSurfaceDc(HDC dc) {
    if (ValidDc(dc) && dc->kind == DcKind::Surface) FreeDc(dc);
}

HDC GetDC(HWND window) {
    PlatformDC* dc = NewDc(window ? DcKind::Window : DcKind::Screen);
    dc->window = window;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!ValidDc(dc) || (dc->kind != DcKind::Window && dc->kind != DcKind::Screen)) return GdiFail(ERROR_INVALID_HANDLE, 0);
    FreeDc(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !ValidDc(dc)) return GdiFail<HDC>(ERROR_INVALID_HANDLE, nullptr);
    if (GdiFailCompatibleDcNow()) return GdiFail<HDC>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    PlatformDC* memory = NewDc(DcKind::Memory);
    memory->bitmap = StockBitmap();
    memory->deviceLayout = DeviceLayoutOf(dc);
    return memory;
}

BOOL DeleteDC(HDC dc) {
    if (!ValidDc(dc) || dc->kind != DcKind::Memory) return GdiFail(ERROR_INVALID_HANDLE, FALSE);
    FreeDc(dc);
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!ValidDc(dc)) return GdiFail(ERROR_INVALID_HANDLE, 0);
    switch (index) {
    case HORZRES: return DesktopWidth();
    case VERTRES: return DesktopHeight();
    case BITSPIXEL: return DesktopBitsPerPixel();
    case PLANES: return 1;
    case VREFRESH: return DesktopRefreshRate();
    default: return 0;
    }
}

BOOL GdiFlush(void) { return TRUE; } // every call has finished when it returns

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (dc && !ValidDc(dc)) return GdiFail<HBITMAP>(ERROR_INVALID_HANDLE, nullptr);
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return GdiFail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    PixelLayout layout = DeviceLayoutOf(dc);
    GdiBitmap* b = GdiNewBitmap(width, height, layout, (width * layout.bytesPerPixel + 3) & ~3);
    if (!b) return nullptr;
    // An 8-bit device's indices mean the display's palette.
    if (layout.indexed) std::memcpy(b->palette, DesktopPalette(), sizeof b->palette);
    return reinterpret_cast<HBITMAP>(static_cast<PlatformGdiObject*>(b));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    if (!ValidDc(dc) || !GdiIsObject(handle)) return GdiFail<HGDIOBJ>(ERROR_INVALID_HANDLE, nullptr);
    auto* object = reinterpret_cast<PlatformGdiObject*>(handle);
    PlatformGdiObject** slot = nullptr;
    if (object->kind == GdiObjectBitmap) {
        if (dc->kind != DcKind::Memory) return GdiFail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
        slot = reinterpret_cast<PlatformGdiObject**>(&dc->bitmap);
        // A bitmap lives in one DC at a time.
        if (!object->stock && object->selections > 0 && *slot != object) return GdiFail<HGDIOBJ>(ERROR_BUSY, nullptr);
    } else if (object->kind == GdiObjectFont) {
        if (GdiFailFontSelectionNow()) return GdiFail<HGDIOBJ>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        slot = &dc->font;
    } else {
        return GdiFail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
    }
    PlatformGdiObject* previous = *slot;
    if (previous == object) return reinterpret_cast<HGDIOBJ>(previous);
    if (previous && !previous->stock) --previous->selections;
    if (!object->stock) ++object->selections;
    *slot = object;
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ handle) {
    if (!GdiIsObject(handle)) return GdiFail(ERROR_INVALID_HANDLE, FALSE);
    auto* object = reinterpret_cast<PlatformGdiObject*>(handle);
    if (object->stock) return TRUE;
    if (object->selections > 0) return GdiFail(ERROR_BUSY, FALSE);
    object->magic = 0;
    g_liveObjects.erase(object);
    if (object->destroy) object->destroy(object);
    return TRUE;
}

int GetObjectA(HGDIOBJ handle, int size, void* out) {
    if (!GdiIsObject(handle)) return GdiFail(ERROR_INVALID_HANDLE, 0);
    if (size < 0) return GdiFail(ERROR_INVALID_PARAMETER, 0);
    auto* object = reinterpret_cast<PlatformGdiObject*>(handle);
    return object->describe ? object->describe(object, size, out) : 0;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    if (rop != SRCCOPY || width < 0 || height < 0) return GdiFail(ERROR_INVALID_PARAMETER, FALSE);
    DcTarget to, from;
    if (!GdiResolveDc(dst, &to) || !GdiResolveDc(src, &from)) return FALSE;
    if (TakeBlitFailure()) return GdiFail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    // Destination and source rectangles in view coordinates, cut to both DCs' areas.
    RECT d{to.origin.x + x, to.origin.y + y, to.origin.x + x + width, to.origin.y + y + height};
    LONG shiftX = (from.origin.x + srcX) - d.left, shiftY = (from.origin.y + srcY) - d.top;
    RECT fromClipInDst{from.clip.left - shiftX, from.clip.top - shiftY, from.clip.right - shiftX,
                       from.clip.bottom - shiftY};
    RECT area = IntersectRects(IntersectRects(d, to.clip), fromClipInDst);
    if (IsRectEmpty(area)) return TRUE;
    RECT s{area.left + shiftX, area.top + shiftY, area.right + shiftX, area.bottom + shiftY};
    CopyPixels(to.view, area.left, area.top, from.view, s);
    GdiPresentWrite(to, area);
    return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    if (flags & ~(CDS_TEST | CDS_FULLSCREEN)) return DISP_CHANGE_BADFLAGS;
    if (!mode) {
        if (!(flags & CDS_TEST)) DesktopRestoreMode();
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmSize != sizeof(DEVMODEA)) return DISP_CHANGE_BADPARAM;
    PixelView now = DesktopView();
    int width = (mode->dmFields & DM_PELSWIDTH) ? static_cast<int>(mode->dmPelsWidth) : now.width;
    int height = (mode->dmFields & DM_PELSHEIGHT) ? static_cast<int>(mode->dmPelsHeight) : now.height;
    int bits = (mode->dmFields & DM_BITSPERPEL) ? static_cast<int>(mode->dmBitsPerPel) : DesktopBitsPerPixel();
    int refresh = (mode->dmFields & DM_DISPLAYFREQUENCY) ? static_cast<int>(mode->dmDisplayFrequency) : 0;
    if (mode->dmPelsWidth > 65535 || mode->dmPelsHeight > 65535 || mode->dmDisplayFrequency > 1000)
        return DISP_CHANGE_BADMODE;
    if (flags & CDS_TEST)
        return DesktopIsModeAccepted(width, height, bits, refresh) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
    return DesktopSetMode(width, height, bits, refresh) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
}
