// ddraw_internal.h - the records behind the DirectDraw objects, for the rest of the layer.
//
// GDI draws into surfaces through their pixel views, the Direct3D device renders into
// them, and the test seams inject failures and losses. The library never sees these.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/pixels.h"

enum class SurfaceStorage {
    Desktop, // the primary: a view of the virtual desktop
    Memory,  // pixels of its own
};

struct IDirectDraw7 {
    uint32_t magic;
    int refs;
    bool initialized;
    DWORD cooperativeLevel; // 0 until set
    HWND window;
    bool setDisplayMode; // this object put a display mode into force
    IDirectDrawSurface7* primary;
    std::vector<IDirectDrawSurface7*> surfaces; // live surfaces made by this object
};

struct IDirectDrawSurface7 {
    uint32_t magic;
    int refs;
    IDirectDraw7* owner; // null once the object that made it is gone
    DDSCAPS2 caps;       // as reported by GetCaps
    SurfaceStorage storage;
    int width; // Memory storage only; a Desktop surface follows the desktop
    int height;
    PixelLayout layout;
    int pitch;
    std::vector<uint8_t> pixels;
    size_t videoBytes; // counted against the video-memory total
    bool hasSourceKey;
    DDCOLORKEY sourceKey;
    IDirectDrawClipper* clipper;
    IDirectDrawPalette* palette;
    IDirectDrawSurface7* backBuffer; // a flip chain's back buffer (the front holds one reference)
    IDirectDrawSurface7* chainFront; // for a back buffer: its front (no reference)
    IDirectDrawSurface7* zBuffer;    // the attached Z buffer (one reference)
    bool locked;
    RECT lockRect;
    bool lost;
    HDC dc; // while GetDC is out
};

struct IDirectDrawClipper {
    uint32_t magic;
    int refs;
    HWND window;
};

struct IDirectDrawPalette {
    uint32_t magic;
    int refs;
    PALETTEENTRY entries[256];
    uint32_t colours[256]; // the same entries as 0x00RRGGBB, the palette of pixel views
};

// A palette attached to a primary surface is the desktop's: its entries go to the
// display at once (ddraw.cpp).
void DDrawRealizePalette(IDirectDrawPalette* palette, DWORD start, DWORD count);

// The surface's pixels as they are now, or false for a null or destroyed surface. An
// 8-bit surface's view carries its palette, or the desktop's when it has none (as GDI
// maps colours on such a surface).
bool DDrawSurfaceView(IDirectDrawSurface7* s, PixelView* view);
// True when writes to this surface show on the desktop (marks what to present).
bool DDrawSurfaceIsOnDesktop(IDirectDrawSurface7* s);
bool DDrawIsSurface(IDirectDrawSurface7* s);
bool DDrawObjectIsValid(IDirectDraw7* dd);
bool DDrawObjectIsReady(IDirectDraw7* dd); // valid and initialised

// Direct3D reaches its interfaces through QueryInterface on the DirectDraw object; its
// group installs the provider that answers the identifiers it owns.
using DirectDrawInterfaceProvider = HRESULT (*)(IDirectDraw7* dd, REFIID iid, void** out);
void SetDirectDrawInterfaceProvider(DirectDrawInterfaceProvider provider);

// Failure injection and losses (driven by platform/testing/ddraw_seams).
struct DDrawFaults {
    int failObjectCreations;     // the next n factory calls fail with E_OUTOFMEMORY
    DWORD failSurfaceCaps;       // a surface whose caps contain all these bits...
    HRESULT failSurfaceError;    // ...fails with this error (0: no rule)
    int failSurfaceCount;        // ...this many times (-1: always)
    DWORD videoMemoryTotal;      // bytes
    int failBlits;               // the next n GDI BitBlt calls fail with ERROR_NOT_ENOUGH_MEMORY
};
DDrawFaults& DDrawFaultState();
void DDrawMarkAllSurfacesLost();
// Forgets what the raster added while the clock stood still (a fresh desktop's raster).
void DDrawResetRaster();
int DDrawLiveObjectCount(); // objects, surfaces, clippers and palettes still alive
// Every object, surface, clipper and palette is tracked while alive, so a stale
// pointer is refused (DDERR_INVALIDOBJECT) instead of being followed.
void DDrawTrack(const void* object, bool alive);
bool DDrawTracked(const void* object);
size_t DDrawVideoBytesInUse();
