// display_seams.cpp - the 2D-surface table as the display side calls it, until the
// table is built; that work replaces this file. Without the table no 2D surface can
// exist, so there is nothing to delete, release, re-create or restore beyond the
// screens themselves.
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"

int DeleteAllSurface2D(void) { return g_Screen.directDraw == nullptr && !g_Screen.noDirectDraw ? -1 : 0; }

int RestoreAllSurface2D(void) {
    if (!g_Screen.startupDone) return -1;
    RestoreScreenSurfaces();
    return 0;
}

int ReleaseAllSurface2DStorage(void) { return 0; }
int RecreateAllSurface2DStorage(void) { return 0; }
