// ddraw.h - the DirectDraw 7 stand-in: display object, surfaces, clipper and palette in memory.
//
// Surfaces are plain memory; the desktop they share is shown in the SDL2 window
// (platform/window/presenter.h).
//
// Calling convention. Each interface is an opaque object; each method is a plain
// function named Interface_Method that takes the object first, with the arguments and
// HRESULT results of the method the library was written against:
//
//     IDirectDrawSurface7_Lock(surface, &rect, &desc, DDLOCK_WAIT, nullptr);
//     IDirectDrawSurface7_Release(surface);
//
// Objects are reference counted (AddRef / Release); QueryInterface exists where the
// library calls it. A call on a null or destroyed object returns DDERR_INVALIDOBJECT.
// The object comes from DirectDrawCreateInstance, the class factory that stands behind
// CoCreateInstance(CLSID_DirectDraw7, ..., IID_IDirectDraw7); tests can make it fail
// (platform/ddraw/testing/ddraw_seams.h).
//
// What stands behind it:
// - One virtual desktop in memory (desktop.h), shared with GDI (gdi.h). In a window
//   (DDSCL_NORMAL) the primary surface is a view of the whole desktop, addressed in
//   desktop coordinates. In full screen (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) the display
//   mode set by SetDisplayMode becomes the desktop, and the primary is a flip chain with
//   one back buffer; Flip swaps the two buffers.
// - Surfaces of any RGB format, and 16-bit Z buffers, in memory. Caps report video or
//   system memory as asked (video memory when neither is asked); video memory is counted
//   against a fixed total, managed textures are not. Overlays do not exist
//   (DDERR_NOOVERLAYHW); 8-bit palettized surfaces and display modes are refused.
// - Blt: colour fill, depth fill (Z buffers only), and copies with nearest stretching and
//   format conversion, clipped by the destination's clipper (the client area of its
//   window on the desktop). Without a clipper a rectangle outside the surface gives
//   DDERR_INVALIDRECT. BltFast never clips: an out-of-bounds rectangle gives
//   DDERR_INVALIDRECT, a destination with a clipper DDERR_BLTFASTCANTCLIP.
// - Colour keys compare the colour (and alpha) bits of a source pixel with the key's
//   low..high range; other bits (the X of XRGB) are ignored.
// - A surface is busy while it is locked or its DC is out: Lock, Blt, BltFast, Flip and
//   GetDC then return DDERR_SURFACEBUSY. A lost surface (only tests make surfaces lost)
//   answers DDERR_SURFACELOST until Restore; Restore clears its memory.
// - The vertical blank is a virtual raster driven by the clock: the scan line runs from 0
//   through the desktop height and a blank of about 5% of the lines (at least 1.1 ms),
//   once per refresh period, and it moves forward at every query even when a test's clock stands still.
// - Writes that reach the desktop (primary blits, locks, flips) are presented through
//   the desktop's present notice.
#pragma once

#include "platform/ddraw/ddraw_types.h"
#include "platform/wintypes.h"

struct IDirectDraw7;
struct IDirectDrawSurface7;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
using IDirectDraw = IDirectDraw7; // QueryInterface(IID_IDirectDraw) answers the same object

extern const GUID CLSID_DirectDraw7;
extern const GUID IID_IDirectDraw7;
extern const GUID IID_IDirectDraw;

// The class factory: a new, uninitialised object for IID_IDirectDraw7.
HRESULT DirectDrawCreateInstance(REFIID iid, void** out);

// IDirectDraw7
HRESULT IDirectDraw7_QueryInterface(IDirectDraw7* dd, REFIID iid, void** out);
ULONG IDirectDraw7_AddRef(IDirectDraw7* dd);
ULONG IDirectDraw7_Release(IDirectDraw7* dd);
HRESULT IDirectDraw7_Initialize(IDirectDraw7* dd, GUID* driver); // null: the primary display
HRESULT IDirectDraw7_SetCooperativeLevel(IDirectDraw7* dd, HWND window, DWORD flags);
HRESULT IDirectDraw7_SetDisplayMode(IDirectDraw7* dd, DWORD width, DWORD height, DWORD bitsPerPixel,
                                    DWORD refreshRate, DWORD flags);
HRESULT IDirectDraw7_RestoreDisplayMode(IDirectDraw7* dd);
HRESULT IDirectDraw7_GetDisplayMode(IDirectDraw7* dd, DDSURFACEDESC2* desc);
HRESULT IDirectDraw7_CreateSurface(IDirectDraw7* dd, DDSURFACEDESC2* desc, IDirectDrawSurface7** out, void* outer);
HRESULT IDirectDraw7_CreateClipper(IDirectDraw7* dd, DWORD flags, IDirectDrawClipper** out, void* outer);
HRESULT IDirectDraw7_CreatePalette(IDirectDraw7* dd, DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out,
                                   void* outer);
HRESULT IDirectDraw7_GetCaps(IDirectDraw7* dd, DDCAPS* driverCaps, DDCAPS* emulationCaps);
HRESULT IDirectDraw7_GetDeviceIdentifier(IDirectDraw7* dd, DDDEVICEIDENTIFIER2* identifier, DWORD flags);
HRESULT IDirectDraw7_GetAvailableVidMem(IDirectDraw7* dd, DDSCAPS2* caps, DWORD* total, DWORD* free);
HRESULT IDirectDraw7_GetVerticalBlankStatus(IDirectDraw7* dd, BOOL* inBlank);
HRESULT IDirectDraw7_WaitForVerticalBlank(IDirectDraw7* dd, DWORD flags, HANDLE event);
// DD_OK with the line, or DDERR_VERTICALBLANKINPROGRESS during the blank.
HRESULT IDirectDraw7_GetScanLine(IDirectDraw7* dd, DWORD* line);
HRESULT IDirectDraw7_FlipToGDISurface(IDirectDraw7* dd);
HRESULT IDirectDraw7_RestoreAllSurfaces(IDirectDraw7* dd);

// IDirectDrawSurface7
ULONG IDirectDrawSurface7_AddRef(IDirectDrawSurface7* s);
ULONG IDirectDrawSurface7_Release(IDirectDrawSurface7* s);
// rect null: the whole surface. desc receives the size, pitch, format, caps and lpSurface
// (the rectangle's top-left pixel).
HRESULT IDirectDrawSurface7_Lock(IDirectDrawSurface7* s, RECT* rect, DDSURFACEDESC2* desc, DWORD flags,
                                 HANDLE event);
HRESULT IDirectDrawSurface7_Unlock(IDirectDrawSurface7* s, RECT* rect);
HRESULT IDirectDrawSurface7_Blt(IDirectDrawSurface7* dst, RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect,
                                DWORD flags, DDBLTFX* fx);
HRESULT IDirectDrawSurface7_BltFast(IDirectDrawSurface7* dst, DWORD x, DWORD y, IDirectDrawSurface7* src,
                                    RECT* srcRect, DWORD flags);
HRESULT IDirectDrawSurface7_Flip(IDirectDrawSurface7* front, IDirectDrawSurface7* target, DWORD flags);
HRESULT IDirectDrawSurface7_GetAttachedSurface(IDirectDrawSurface7* s, DDSCAPS2* caps, IDirectDrawSurface7** out);
HRESULT IDirectDrawSurface7_AddAttachedSurface(IDirectDrawSurface7* s, IDirectDrawSurface7* attach);
HRESULT IDirectDrawSurface7_DeleteAttachedSurface(IDirectDrawSurface7* s, DWORD flags, IDirectDrawSurface7* attached);
// The callback gets each attached surface with a reference added (release it) and
// returns DDENUMRET_OK to go on.
using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, void* context);
HRESULT IDirectDrawSurface7_EnumAttachedSurfaces(IDirectDrawSurface7* s, void* context,
                                                 LPDDENUMSURFACESCALLBACK7 callback);
HRESULT IDirectDrawSurface7_SetColorKey(IDirectDrawSurface7* s, DWORD flags, DDCOLORKEY* key); // key null: remove
HRESULT IDirectDrawSurface7_GetColorKey(IDirectDrawSurface7* s, DWORD flags, DDCOLORKEY* key);
HRESULT IDirectDrawSurface7_GetCaps(IDirectDrawSurface7* s, DDSCAPS2* caps);
HRESULT IDirectDrawSurface7_GetSurfaceDesc(IDirectDrawSurface7* s, DDSURFACEDESC2* desc);
HRESULT IDirectDrawSurface7_GetPixelFormat(IDirectDrawSurface7* s, DDPIXELFORMAT* format);
// A GDI device context drawing into the surface (gdi.h); the surface is busy until ReleaseDC.
HRESULT IDirectDrawSurface7_GetDC(IDirectDrawSurface7* s, HDC* dc);
HRESULT IDirectDrawSurface7_ReleaseDC(IDirectDrawSurface7* s, HDC dc);
HRESULT IDirectDrawSurface7_SetClipper(IDirectDrawSurface7* s, IDirectDrawClipper* clipper); // null: remove
HRESULT IDirectDrawSurface7_SetPalette(IDirectDrawSurface7* s, IDirectDrawPalette* palette);
HRESULT IDirectDrawSurface7_IsLost(IDirectDrawSurface7* s);
HRESULT IDirectDrawSurface7_Restore(IDirectDrawSurface7* s);

// IDirectDrawClipper: clips blits to the client area of its window on the desktop. It
// lives on after the object that made it is released.
ULONG IDirectDrawClipper_AddRef(IDirectDrawClipper* c);
ULONG IDirectDrawClipper_Release(IDirectDrawClipper* c);
HRESULT IDirectDrawClipper_SetHWnd(IDirectDrawClipper* c, DWORD flags, HWND window);
HRESULT IDirectDrawClipper_GetHWnd(IDirectDrawClipper* c, HWND* window);

// IDirectDrawPalette: 256 entries.
ULONG IDirectDrawPalette_AddRef(IDirectDrawPalette* p);
ULONG IDirectDrawPalette_Release(IDirectDrawPalette* p);
HRESULT IDirectDrawPalette_SetEntries(IDirectDrawPalette* p, DWORD flags, DWORD start, DWORD count,
                                      PALETTEENTRY* entries);
HRESULT IDirectDrawPalette_GetEntries(IDirectDrawPalette* p, DWORD flags, DWORD start, DWORD count,
                                      PALETTEENTRY* entries);
