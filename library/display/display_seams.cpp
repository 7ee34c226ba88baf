// display_seams.cpp - stand-ins for the display parts not built yet: the 2D-surface and
// surface-data tables and software drawing on DirectDraw surfaces; that work replaces
// this file. Without the tables no 2D surface exists, so nothing can be looked up,
// prepared, released or re-created, and restoring touches only the screens.
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"

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

int DeleteAllSurface2D(void) { return g_Screen.directDraw == nullptr && !g_Screen.noDirectDraw ? -1 : 0; }

int RestoreAllSurface2D(void) {
    if (!g_Screen.startupDone) return -1;
    RestoreScreenSurfaces();
    return 0;
}

int ReleaseAllSurface2DStorage(void) { return 0; }
int RecreateAllSurface2DStorage(void) { return 0; }
