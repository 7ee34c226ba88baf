// display_seams.cpp - stand-ins for the display parts not built yet (screen-mode change,
// the 2D-surface and surface-data tables, software drawing on DirectDraw surfaces);
// that work replaces this file. Without a display device no mode can be put into
// force, no surface exists, and so nothing can be looked up or prepared.
#include "library/display/screen_mode.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"

int ChangeScreenMode(int, int, int, int, int) { return -1; }

ScreenDrawContext g_ScreenDrawContext;

int BeginScreenSurfaceDraw(const Surface2DRecord*, int, const RECT*, const RECT*, int, uint32_t*, uint32_t*) {
    return -1;
}

int EndScreenSurfaceDraw(void) { return 0; }

MEMIMG* GetBlendGraphMemImg(void) { return nullptr; }

Surface2DRecord* GetSurface2DRecord(int) { return nullptr; }

Surface2DRecord* LookupSurface2D(int) { return nullptr; }

int EndSurface2DAccess(void) { return 0; }

int DrawSurface2D(int, int, int, int) { return -1; }

SurfaceDataRecord* GetSurfaceDataRecord(int) { return nullptr; }
