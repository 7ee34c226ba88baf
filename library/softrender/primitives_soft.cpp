// primitives_soft.cpp - the filled box and the box outline on the current draw target:
// straight into the software image on software screens, otherwise through a prepared
// DirectDraw target.
#include <algorithm>

#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/mask_screen.h"
#include "library/softrender/primitives.h"
#include "library/softrender/soft_target.h"

int DrawFilledRectSoft(int x1, int y1, int x2, int y2, uint32_t colour) {
    if (!CanDrawSoft()) return -1;
    if (IsSoftwareScreen()) {
        if (MEMIMG* target = CurrentSoftTarget()) FillMemImgBoxBlend(target, x1, y1, x2, y2, colour);
        return 0;
    }
    G_D3D_FlushVertexBatch();
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    const RECT rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    // The colour is in the screen's format; the preparation converts it with the target.
    if (BeginScreenSurfaceDraw(nullptr, 0, nullptr, &rect, 1, &colour, nullptr) < 0) return -1;
    FillMemImgBoxBlend(g_ScreenDrawContext.destImage, x1, y1, x2, y2, colour);
    EndScreenSurfaceDraw();
    return 0;
}

void MakeRectOutlineSegments(int x1, int y1, int x2, int y2, uint32_t colour, LineSegmentRecord segments[4]) {
    const int p = g_DrawState.blendParam;
    segments[0] = {x1, y1, x2 - 1, y1, colour, p};
    segments[1] = {x2 - 1, y1, x2 - 1, y2 - 1, colour, p};
    segments[2] = {x2 - 1, y2 - 1, x1, y2 - 1, colour, p};
    segments[3] = {x1, y2 - 1, x1, y1, colour, p};
}

int DrawRectOutlineSoft(int x1, int y1, int x2, int y2, uint32_t colour) {
    LineSegmentRecord segments[4];
    MakeRectOutlineSegments(x1, y1, x2, y2, colour, segments);
    return DrawLineListSoft(segments, 4);
}
