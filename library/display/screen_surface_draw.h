// screen_surface_draw.h - software drawing onto DirectDraw surfaces.
//
// BeginScreenSurfaceDraw prepares one software draw with DirectDraw output: it either
// chooses a colour-keyed BltFast, or locks (or copies out and converts) the target
// area and the source area and wraps them in MEMIMG views in g_ScreenDrawContext;
// the caller draws from sourceImage into destImage, and EndScreenSurfaceDraw writes
// the result back. Draw-space coordinates index destImage.
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
    IDirectDrawSurface7* sourceLockedSurface;
    RECT sourceLockRect;

    MEMIMG* destImage;  // image to draw into
    MEMIMG destView;
    int destLocked;
    int destThroughWorkSurface;
    IDirectDrawSurface7* destLockedSurface;
    RECT destLockRect;

    int convertNeeded;
    RECT clippedRect;  // draw space
    IDirectDrawSurface7* targetSurface;
    RECT targetRect;

    IDirectDrawSurface7* bltSourceSurface;
    RECT bltSourceRect;
    IDirectDrawSurface7* bltDestSurface;
    RECT bltDestRect;
};

extern ScreenDrawContext g_ScreenDrawContext;

// 0 when prepared (or nothing to do), -1 when the clipped destination is empty or the
// target cannot be prepared. colour1 and colour2 (optional) are converted from the
// screen format to the renderer's format when the target is converted.
int BeginScreenSurfaceDraw(const Surface2DRecord* source, int bltFastAllowed, const RECT* sourceRect,
                           const RECT* destRect, int opaque, uint32_t* colour1, uint32_t* colour2);
int EndScreenSurfaceDraw(void);

// The software image of the current blend graph, or null.
MEMIMG* GetBlendGraphMemImg(void);
