// soft_draw.cpp - stretched, triangle and corner draws of a graph by the software
// renderer (see soft_draw.h).
#include "library/softrender/soft_draw.h"

#include <algorithm>
#include <climits>

#include "library/core/arith.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"
#include "library/softrender/blit.h"
#include "library/softrender/soft_target.h"

namespace {

// A graph's pixels as the software renderer sees them.
struct GraphPixels {
    Surface2DRecord* surface;
    SurfaceDataRecord* data;
    MEMIMG view;  // the surface's rectangle of the data's image, when it is only part of it
};

bool FindGraphPixels(int surfaceHandle, GraphPixels* out) {
    out->surface = LookupSurface2D(surfaceHandle);
    out->data = out->surface != nullptr ? GetSurfaceDataRecord(out->surface->surfaceData) : nullptr;
    EndSurface2DAccess();
    return out->data != nullptr;
}

// The data's own image, or a view of the surface's rectangle when the surface is
// smaller than its data.
const MEMIMG* SoftSourceImage(GraphPixels* g) {
    const Surface2DRecord* s = g->surface;
    if (s->width == g->data->width && s->height == g->data->height) return &g->data->image;
    return MakeMemImgView(&g->view, &g->data->image, s->sourceX, s->sourceY, s->width, s->height);
}

// Software and DirectDraw draws end the hardware batch and scene before they draw.
void FinishHardwareDrawing() {
    G_D3D_FlushVertexBatch();
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
}

// ((offset << 16) / step) in 64 bits: the source index the scaled blitter samples
// at destination offset `offset`.
int SampledIndex(int64_t offset, int64_t step) { return int((offset << 16) / step); }

}  // namespace

bool StretchedSourceRect(const RECT& ordered, bool mirrorX, bool mirrorY, int sourceWidth, int sourceHeight,
                         const RECT& clip, RECT* clipped, RECT* sourceRect) {
    *clipped = ordered;
    ClipRectByRectCore(clipped, &clip);
    if (clipped->right <= clipped->left || clipped->bottom <= clipped->top) return false;
    const int64_t stepX = ((int64_t(ordered.right) - ordered.left) << 16) / sourceWidth;
    const int64_t stepY = ((int64_t(ordered.bottom) - ordered.top) << 16) / sourceHeight;
    RECT r;
    r.left = SampledIndex(int64_t(clipped->left) - ordered.left, stepX);
    r.right = SampledIndex(int64_t(clipped->right) - 1 - ordered.left, stepX) + 1;
    r.top = SampledIndex(int64_t(clipped->top) - ordered.top, stepY);
    r.bottom = SampledIndex(int64_t(clipped->bottom) - 1 - ordered.top, stepY) + 1;
    if (mirrorX) r = RECT{sourceWidth - r.right, r.top, sourceWidth - r.left, r.bottom};
    if (mirrorY) r = RECT{r.left, sourceHeight - r.bottom, r.right, sourceHeight - r.top};
    *sourceRect = r;
    return true;
}

int DrawGraphStretchedSoft(DrawCoord x1, DrawCoord y1, DrawCoord x2, DrawCoord y2, GraphRecord* graph,
                           int transparent, int intFlag, int surface2D) {
    if (!CanDrawSoft() || (graph == nullptr && surface2D == -1)) return -1;
    const RECT corners{DrawCoordInt(x1, intFlag), DrawCoordInt(y1, intFlag), DrawCoordInt(x2, intFlag),
                       DrawCoordInt(y2, intFlag)};
    const RECT ordered{std::min(corners.left, corners.right), std::min(corners.top, corners.bottom),
                       std::max(corners.left, corners.right), std::max(corners.top, corners.bottom)};
    const bool mirrorX = corners.right < corners.left, mirrorY = corners.bottom < corners.top;

    GraphPixels pixels;
    if (!FindGraphPixels(surface2D == -1 ? graph->pieces[0] : surface2D, &pixels)) return -1;
    const int sourceWidth = surface2D == -1 ? graph->width : pixels.surface->width;
    const int sourceHeight = surface2D == -1 ? graph->height : pixels.surface->height;
    const MEMIMG* blendImage = GetBlendGraphMemImg();

    if (IsSoftwareScreen()) {
        if (MEMIMG* dest = CurrentSoftTarget())
            DrawStretchedImageOnMemImg(dest, SoftSourceImage(&pixels), &corners, transparent, blendImage);
        return 0;
    }

    FinishHardwareDrawing();
    const int64_t dw = int64_t(ordered.right) - ordered.left, dh = int64_t(ordered.bottom) - ordered.top;
    if (dw == 0 || dh == 0 || sourceWidth < 1 || sourceHeight < 1) return -1;
    if (dw == sourceWidth && dh == sourceHeight && !mirrorX && !mirrorY) {
        return surface2D != -1 ? DrawSurface2D(ordered.left, ordered.top, surface2D, transparent)
                               : DrawGraphAtSoft(ordered.left, ordered.top, graph, transparent, 1);
    }
    RECT clipped, sourceRect;
    if (!StretchedSourceRect(ordered, mirrorX, mirrorY, sourceWidth, sourceHeight, g_DrawState.clipRect, &clipped,
                             &sourceRect))
        return -1;
    if (BeginScreenSurfaceDraw(pixels.surface, 0, &sourceRect, &clipped, 0, nullptr, nullptr) < 0) return -1;
    DrawStretchedImageOnMemImg(g_ScreenDrawContext.destImage, g_ScreenDrawContext.sourceImage, &corners,
                               transparent, blendImage);
    EndScreenSurfaceDraw();
    return 0;
}

int DrawGraphTriangleSoft(const TexTriVertex vertices[3], GraphRecord* graph, int transparent, uint32_t fillColour) {
    if (!g_Screen.noDirectDraw && GetDirectDrawObject() == nullptr) return -1;
    GraphPixels pixels{};
    const MEMIMG* blendImage = nullptr;
    if (graph != nullptr) {
        if (!FindGraphPixels(graph->pieces[0], &pixels)) return -1;
        blendImage = GetBlendGraphMemImg();
    }

    if (IsSoftwareScreen()) {
        const MEMIMG* texture = graph != nullptr ? SoftSourceImage(&pixels) : nullptr;
        if (MEMIMG* dest = CurrentSoftTarget())
            DrawTriangle2DOnMemImg(dest, texture, vertices, transparent, blendImage, fillColour);
        return 0;
    }

    FinishHardwareDrawing();
    // The boxes start from the widest values, so no coordinate lies outside them. The
    // triangle's spans include their right end and a vertex samples its own texel, so
    // the pixel and the texel at the largest coordinates belong inside.
    RECT destBox{INT_MAX, INT_MAX, INT_MIN, INT_MIN}, sourceBox{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    auto past = [](LONG last) { return last == INT_MAX ? last : last + 1; };
    for (int i = 0; i < 3; i++) {
        destBox = RECT{std::min(destBox.left, vertices[i].x), std::min(destBox.top, vertices[i].y),
                       std::max(destBox.right, past(vertices[i].x)), std::max(destBox.bottom, past(vertices[i].y))};
        sourceBox = RECT{std::min(sourceBox.left, vertices[i].u), std::min(sourceBox.top, vertices[i].v),
                         std::max(sourceBox.right, past(vertices[i].u)),
                         std::max(sourceBox.bottom, past(vertices[i].v))};
    }
    if (BeginScreenSurfaceDraw(pixels.surface, 0, &sourceBox, &destBox, 0, nullptr, nullptr) < 0) return -1;
    DrawTriangle2DOnMemImg(g_ScreenDrawContext.destImage, g_ScreenDrawContext.sourceImage, vertices, transparent,
                           blendImage, fillColour);
    EndScreenSurfaceDraw();
    return 0;
}

int DrawGraphToCornersIntSoft(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                              int transparent) {
    const int w = graph->width, h = graph->height;
    const TexTriVertex corners[4] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
    DrawGraphTriangleSoft(&corners[0], graph, transparent, 0);
    DrawGraphTriangleSoft(&corners[1], graph, transparent, 0);
    return 0;
}

int DrawGraphToCornersSoft(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                           GraphRecord* graph, int transparent) {
    return DrawGraphToCornersIntSoft(FloatToIntTrunc(x1), FloatToIntTrunc(y1), FloatToIntTrunc(x2),
                                     FloatToIntTrunc(y2), FloatToIntTrunc(x3), FloatToIntTrunc(y3),
                                     FloatToIntTrunc(x4), FloatToIntTrunc(y4), graph, transparent);
}
