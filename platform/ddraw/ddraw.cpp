// ddraw.cpp - the DirectDraw object: factory, cooperative level, display modes, caps.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "platform/ddraw/ddraw_internal.h"
#include "platform/window/desktop.h"

// Our own identifiers; the library only passes them back to us.
const GUID CLSID_DirectDraw7 = {0x7A9D0007u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x44, 0x52, 0x41, 0x57, 0x37}};
const GUID IID_IDirectDraw7 = {0x7A9D1007u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x44, 0x52, 0x41, 0x57, 0x37}};
const GUID IID_IDirectDraw = {0x7A9D1001u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x44, 0x52, 0x41, 0x57, 0x31}};

namespace {

constexpr uint32_t kObjectMagic = 0x4444524Fu; // "ODRD"
constexpr DWORD kDefaultVideoMemory = 128u * 1024 * 1024;

DDrawFaults g_faults{0, 0, 0, 0, kDefaultVideoMemory, 0};
IDirectDraw7* g_exclusiveOwner = nullptr;
DirectDrawInterfaceProvider g_interfaceProvider = nullptr;
std::unordered_set<const void*> g_live; // every object, surface, clipper and palette alive
std::vector<IDirectDraw7*> g_objects;

bool Valid(IDirectDraw7* dd) { return g_live.count(dd) && dd->magic == kObjectMagic && dd->refs > 0; }

void Destroy(IDirectDraw7* dd) {
    // Surfaces outlive the object only as empty shells: every call on them fails.
    for (IDirectDrawSurface7* s : dd->surfaces) s->owner = nullptr;
    if (dd->setDisplayMode) DesktopRestoreMode();
    if (g_exclusiveOwner == dd) g_exclusiveOwner = nullptr;
    dd->magic = 0;
    DDrawTrack(dd, false);
    g_objects.erase(std::find(g_objects.begin(), g_objects.end(), dd));
    delete dd;
}

} // namespace

DDrawFaults& DDrawFaultState() { return g_faults; }
bool DDrawObjectIsValid(IDirectDraw7* dd) { return Valid(dd); }
bool DDrawObjectIsReady(IDirectDraw7* dd) { return Valid(dd) && dd->initialized; }

void DDrawMarkAllSurfacesLost() {
    for (IDirectDraw7* dd : g_objects)
        for (IDirectDrawSurface7* s : dd->surfaces) s->lost = true;
}
void SetDirectDrawInterfaceProvider(DirectDrawInterfaceProvider provider) { g_interfaceProvider = provider; }
HRESULT DirectDrawCreateInstance(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IDirectDraw7)) return E_NOINTERFACE;
    if (g_faults.failObjectCreations > 0) {
        --g_faults.failObjectCreations;
        return E_OUTOFMEMORY;
    }
    auto* dd = new IDirectDraw7{};
    dd->magic = kObjectMagic;
    dd->refs = 1;
    DDrawTrack(dd, true);
    g_objects.push_back(dd);
    *out = dd;
    return DD_OK;
}

HRESULT IDirectDraw7_QueryInterface(IDirectDraw7* dd, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Valid(dd)) return DDERR_INVALIDOBJECT;
    if (IsEqualGUID(iid, IID_IDirectDraw7) || IsEqualGUID(iid, IID_IDirectDraw)) {
        ++dd->refs;
        *out = dd;
        return DD_OK;
    }
    if (g_interfaceProvider) return g_interfaceProvider(dd, iid, out);
    return E_NOINTERFACE;
}

ULONG IDirectDraw7_AddRef(IDirectDraw7* dd) {
    if (!Valid(dd)) return 0;
    return static_cast<ULONG>(++dd->refs);
}

ULONG IDirectDraw7_Release(IDirectDraw7* dd) {
    if (!Valid(dd)) return 0;
    int left = --dd->refs;
    if (left == 0) Destroy(dd);
    return static_cast<ULONG>(left);
}

HRESULT IDirectDraw7_Initialize(IDirectDraw7* dd, GUID* driver) {
    if (!Valid(dd)) return DDERR_INVALIDOBJECT;
    if (dd->initialized) return DDERR_ALREADYINITIALIZED;
    if (driver) return DDERR_INVALIDPARAMS; // only the primary display exists
    dd->initialized = true;
    return DD_OK;
}

#define REQUIRE_READY(dd)                                  \
    do {                                                   \
        if (!Valid(dd)) return DDERR_INVALIDOBJECT;        \
        if (!(dd)->initialized) return DDERR_NOTINITIALIZED; \
    } while (0)

HRESULT IDirectDraw7_SetCooperativeLevel(IDirectDraw7* dd, HWND window, DWORD flags) {
    REQUIRE_READY(dd);
    DWORD known = DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP |
                  DDSCL_MULTITHREADED;
    if (flags & ~known) return DDERR_INVALIDPARAMS;
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    bool normal = (flags & DDSCL_NORMAL) != 0;
    // Exactly one of: a window (NORMAL), or full screen (EXCLUSIVE | FULLSCREEN) with a window.
    if (normal == exclusive || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
    if (exclusive && !window) return DDERR_INVALIDPARAMS;
    if (exclusive && g_exclusiveOwner && g_exclusiveOwner != dd) return DDERR_EXCLUSIVEMODEALREADYSET;
    if (exclusive) g_exclusiveOwner = dd;
    else if (g_exclusiveOwner == dd) g_exclusiveOwner = nullptr;
    dd->cooperativeLevel = flags;
    dd->window = window;
    return DD_OK;
}

HRESULT IDirectDraw7_SetDisplayMode(IDirectDraw7* dd, DWORD width, DWORD height, DWORD bitsPerPixel,
                                    DWORD refreshRate, DWORD flags) {
    REQUIRE_READY(dd);
    if (flags) return DDERR_INVALIDPARAMS;
    if (!(dd->cooperativeLevel & DDSCL_EXCLUSIVE)) return DDERR_NOEXCLUSIVEMODE;
    if (width > 65535 || height > 65535 || bitsPerPixel > 64 || refreshRate > 1000) return DDERR_INVALIDMODE;
    if (!DesktopSetMode(static_cast<int>(width), static_cast<int>(height), static_cast<int>(bitsPerPixel),
                        static_cast<int>(refreshRate)))
        return DDERR_UNSUPPORTEDMODE;
    dd->setDisplayMode = true;
    return DD_OK;
}

HRESULT IDirectDraw7_RestoreDisplayMode(IDirectDraw7* dd) {
    REQUIRE_READY(dd);
    DesktopRestoreMode();
    dd->setDisplayMode = false;
    return DD_OK;
}

HRESULT IDirectDraw7_GetDisplayMode(IDirectDraw7* dd, DDSURFACEDESC2* desc) {
    REQUIRE_READY(dd);
    if (!desc) return DDERR_INVALIDPARAMS;
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = sizeof(*desc);
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = static_cast<DWORD>(DesktopWidth());
    desc->dwHeight = static_cast<DWORD>(DesktopHeight());
    desc->lPitch = DesktopPitch();
    desc->dwRefreshRate = static_cast<DWORD>(DesktopRefreshRate());
    desc->ddpfPixelFormat = DesktopPixelFormat();
    return DD_OK;
}

HRESULT IDirectDraw7_GetCaps(IDirectDraw7* dd, DDCAPS* driverCaps, DDCAPS* emulationCaps) {
    REQUIRE_READY(dd);
    if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
    for (DDCAPS* caps : {driverCaps, emulationCaps}) {
        if (!caps) continue;
        if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
        std::memset(caps, 0, sizeof(*caps));
        caps->dwSize = sizeof(DDCAPS);
        caps->dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL |
                       DDCAPS_BLTDEPTHFILL;
        caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
        DWORD total = 0, free = 0;
        DDSCAPS2 video{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
        IDirectDraw7_GetAvailableVidMem(dd, &video, &total, &free);
        caps->dwVidMemTotal = total;
        caps->dwVidMemFree = free;
        // No overlays: both stretch factors stay 0.
        caps->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                               DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                               DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ZBUFFER |
                               DDSCAPS_LOCALVIDMEM;
    }
    return DD_OK;
}

HRESULT IDirectDraw7_GetDeviceIdentifier(IDirectDraw7* dd, DDDEVICEIDENTIFIER2* identifier, DWORD flags) {
    REQUIRE_READY(dd);
    if (!identifier || flags > 1) return DDERR_INVALIDPARAMS;
    std::memset(identifier, 0, sizeof(*identifier));
    std::snprintf(identifier->szDriver, sizeof(identifier->szDriver), "zqvdisp");
    std::snprintf(identifier->szDescription, sizeof(identifier->szDescription), "Virtual desktop display");
    identifier->liDriverVersion.u.HighPart = (7 << 16) | 0; // 7.0.0.1
    identifier->liDriverVersion.u.LowPart = (0u << 16) | 1u;
    return DD_OK;
}

HRESULT IDirectDraw7_GetAvailableVidMem(IDirectDraw7* dd, DDSCAPS2* caps, DWORD* total, DWORD* free) {
    REQUIRE_READY(dd);
    if (!caps || (!total && !free)) return DDERR_INVALIDPARAMS;
    if (caps->dwCaps & DDSCAPS_SYSTEMMEMORY) return DDERR_INVALIDCAPS;
    size_t used = DDrawVideoBytesInUse();
    DWORD all = g_faults.videoMemoryTotal;
    if (total) *total = all;
    if (free) *free = used >= all ? 0 : static_cast<DWORD>(all - used);
    return DD_OK;
}

HRESULT IDirectDraw7_FlipToGDISurface(IDirectDraw7* dd) {
    REQUIRE_READY(dd);
    return DD_OK; // the desktop is always what GDI sees
}

HRESULT IDirectDraw7_RestoreAllSurfaces(IDirectDraw7* dd) {
    REQUIRE_READY(dd);
    for (IDirectDrawSurface7* s : dd->surfaces)
        if (s->lost) IDirectDrawSurface7_Restore(s);
    return DD_OK;
}

// Clipper and palette -----------------------------------------------------------

namespace {
constexpr uint32_t kClipperMagic = 0x50494C43u; // "CLIP"
constexpr uint32_t kPaletteMagic = 0x4C415050u; // "PPAL"
bool ValidClipper(IDirectDrawClipper* c) { return DDrawTracked(c) && c->magic == kClipperMagic && c->refs > 0; }
bool ValidPalette(IDirectDrawPalette* p) { return DDrawTracked(p) && p->magic == kPaletteMagic && p->refs > 0; }

void StoreEntries(IDirectDrawPalette* p, DWORD start, DWORD count, const PALETTEENTRY* entries) {
    std::memcpy(&p->entries[start], entries, count * sizeof(PALETTEENTRY));
    for (DWORD i = start; i < start + count; ++i)
        p->colours[i] = uint32_t(p->entries[i].peRed) << 16 | uint32_t(p->entries[i].peGreen) << 8 | p->entries[i].peBlue;
}
} // namespace

void DDrawRealizePalette(IDirectDrawPalette* p, DWORD start, DWORD count) {
    for (IDirectDraw7* dd : g_objects)
        if (dd->primary && dd->primary->palette == p)
            DesktopSetPaletteEntries(static_cast<int>(start), static_cast<int>(count), &p->colours[start]);
}

HRESULT IDirectDraw7_CreateClipper(IDirectDraw7* dd, DWORD flags, IDirectDrawClipper** out, void* outer) {
    if (out) *out = nullptr;
    REQUIRE_READY(dd);
    if (!out || flags || outer) return DDERR_INVALIDPARAMS;
    auto* c = new IDirectDrawClipper{kClipperMagic, 1, nullptr};
    DDrawTrack(c, true);
    *out = c;
    return DD_OK;
}

ULONG IDirectDrawClipper_AddRef(IDirectDrawClipper* c) { return ValidClipper(c) ? static_cast<ULONG>(++c->refs) : 0; }

ULONG IDirectDrawClipper_Release(IDirectDrawClipper* c) {
    if (!ValidClipper(c)) return 0;
    int left = --c->refs;
    if (left == 0) {
        c->magic = 0;
        DDrawTrack(c, false);
        delete c;
    }
    return static_cast<ULONG>(left);
}

HRESULT IDirectDrawClipper_SetHWnd(IDirectDrawClipper* c, DWORD flags, HWND window) {
    if (!ValidClipper(c)) return DDERR_INVALIDOBJECT;
    if (flags) return DDERR_INVALIDPARAMS;
    c->window = window;
    return DD_OK;
}

HRESULT IDirectDrawClipper_GetHWnd(IDirectDrawClipper* c, HWND* window) {
    if (!ValidClipper(c)) return DDERR_INVALIDOBJECT;
    if (!window) return DDERR_INVALIDPARAMS;
    *window = c->window;
    return DD_OK;
}

HRESULT IDirectDraw7_CreatePalette(IDirectDraw7* dd, DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out,
                                   void* outer) {
    if (out) *out = nullptr;
    REQUIRE_READY(dd);
    if (!out || !entries || outer || !(flags & DDPCAPS_8BIT) || (flags & ~(DDPCAPS_8BIT | DDPCAPS_ALLOW256)))
        return DDERR_INVALIDPARAMS;
    auto* p = new IDirectDrawPalette{};
    p->magic = kPaletteMagic;
    p->refs = 1;
    StoreEntries(p, 0, 256, entries);
    DDrawTrack(p, true);
    *out = p;
    return DD_OK;
}

ULONG IDirectDrawPalette_AddRef(IDirectDrawPalette* p) { return ValidPalette(p) ? static_cast<ULONG>(++p->refs) : 0; }

ULONG IDirectDrawPalette_Release(IDirectDrawPalette* p) {
    if (!ValidPalette(p)) return 0;
    int left = --p->refs;
    if (left == 0) {
        p->magic = 0;
        DDrawTrack(p, false);
        delete p;
    }
    return static_cast<ULONG>(left);
}

HRESULT IDirectDrawPalette_SetEntries(IDirectDrawPalette* p, DWORD flags, DWORD start, DWORD count,
                                      PALETTEENTRY* entries) {
    if (!ValidPalette(p)) return DDERR_INVALIDOBJECT;
    if (flags || !entries || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    StoreEntries(p, start, count, entries);
    if (count) DDrawRealizePalette(p, start, count);
    return DD_OK;
}

HRESULT IDirectDrawPalette_GetEntries(IDirectDrawPalette* p, DWORD flags, DWORD start, DWORD count,
                                      PALETTEENTRY* entries) {
    if (!ValidPalette(p)) return DDERR_INVALIDOBJECT;
    if (flags || !entries || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    std::memcpy(entries, &p->entries[start], count * sizeof(PALETTEENTRY));
    return DD_OK;
}

int DDrawLiveObjectCount() { return static_cast<int>(g_live.size()); }

void DDrawTrack(const void* object, bool alive) {
    if (alive) g_live.insert(object);
    else g_live.erase(object);
}

bool DDrawTracked(const void* object) { return object && g_live.count(object); }
