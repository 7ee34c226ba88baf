// screen_surface_draw.h - software drawing onto DirectDraw surfaces.
//
// The software renderer draws only into MEMIMGs in RGB565 or XRGB8888. With DirectDraw
// output, BeginScreenSurfaceDraw prepares one such draw in g_ScreenDrawContext:
//
//     if (BeginScreenSurfaceDraw(piece, 1, &sourceRect, &destRect, 0, nullptr, nullptr) < 0) return -1;
//     if (g_ScreenDrawContext.bltFastChosen) {
//         IDirectDrawSurface7_BltFast(c.bltDestSurface, c.bltDestRect.left, c.bltDestRect.top,
//                                     c.bltSourceSurface, &c.bltSourceRect, keyed ? DDBLTFAST_SRCCOLORKEY : 0);
//     } else {
//         DrawImageOnMemImg(c.destImage, c.sourceImage, x, y, keyed, blendImage);
//         EndScreenSurfaceDraw();
//     }
//
// A plain colour-keyed BltFast is chosen where one suffices (no blending, no
// brightness, a DirectDraw source in the same kind of memory as the target). Otherwise
// the target area is locked in place, or copied into work surface 1 (and converted to
// the renderer's format when the screen is RGB555 or another layout), and the source
// likewise through work surface 2; both are wrapped in MEMIMG views that draw-space
// coordinates index (source views: coordinates in the 2D surface). EndScreenSurfaceDraw
// converts back, unlocks and copies the work area back.
//
// On an 8-bit screen nothing is converted: the views are 8-bit images over the palette
// indices. The glyph writer puts indices into them; every other renderer refuses
// them and draws nothing, wherever the draw lies. A plain graph draw is a BltFast there
// whatever memory its source and target lie in.
//
// A view only ever spans memory that is locked: its (0, 0) is the target's own pixel
// (0, 0) inside the locked block, and for the duration of the draw the draw state's
// clip rectangle is narrowed to the clipped destination, the only part that is copied
// and converted. Begin returns -1 and holds nothing when the clipped destination is
// empty or a lock or copy fails; then the caller draws nothing and skips End.
#pragma once

#include <cstdint>

#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

struct IDirectDrawSurface7;
struct Surface2DRecord;

struct ScreenDrawContext {
    int bltFastChosen;

    MEMIMG* sourceImage;  // image to draw from, or null
    MEMIMG sourceView;
    int sourceLocked;
    int sourceThroughWorkSurface;
    int sourceConverted;  // converted where it lies: goes back at the end
    RECT sourceConvertRect;
    IDirectDrawSurface7* sourceLockedSurface;
    RECT sourceLockRect;

    MEMIMG* destImage;  // image to draw into
    MEMIMG destView;
    int destLocked;
    int destThroughWorkSurface;
    int destConverted;  // the view's area holds the renderer's format and must go back
    IDirectDrawSurface7* destLockedSurface;
    RECT destLockRect;

    int convertNeeded;  // the screen is RGB555 or another layout than the renderer's
    RECT clippedRect;   // draw space
    IDirectDrawSurface7* targetSurface;
    RECT targetRect;    // the clipped rectangle on the target surface
    RECT savedClipRect; // the draw state's clip rectangle before Begin narrowed it
    int clipNarrowed;

    IDirectDrawSurface7* bltSourceSurface;
    RECT bltSourceRect;
    IDirectDrawSurface7* bltDestSurface;
    RECT bltDestRect;
};

extern ScreenDrawContext g_ScreenDrawContext;

// source: the 2D surface drawn from, or null. sourceRect: the part of it the draw reads
// (in the 2D surface; null = all of it). destRect: the part of the target it touches,
// in draw space. opaque: the draw covers every pixel of destRect. colour1 and colour2
// (optional) are pixel values of the screen's format, converted in place to the
// destination image's format when the two differ.
int BeginScreenSurfaceDraw(const Surface2DRecord* source, int bltFastAllowed, const RECT* sourceRect,
                           const RECT* destRect, int opaque, uint32_t* colour1, uint32_t* colour2);
int EndScreenSurfaceDraw(void);

// The software image of the current blend graph, or null.
MEMIMG* GetBlendGraphMemImg(void);
