// display_seams.cpp - the 2D-surface and surface-data tables and software drawing on
// DirectDraw surfaces as the rest of the library calls them, until they are built;
// that work replaces this file. Without the tables no 2D surface can exist, so there
// is nothing to delete, release, re-create, restore, look up or prepare beyond the
// screens themselves.
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"

int DeleteAllSurface2D(void) { return g_Screen.directDraw == nullptr && !g_Screen.noDirectDraw ? -1 : 0; }

int RestoreAllSurface2D(void) {
    if (!g_Screen.startupDone) return -1;
    RestoreScreenSurfaces();
    return 0;
}

int ReleaseAllSurface2DStorage(void) { return 0; }
int RecreateAllSurface2DStorage(void) { return 0; }

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
