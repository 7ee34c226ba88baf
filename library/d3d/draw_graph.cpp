// draw_graph.cpp - drawing graphs 1:1 and stretched on the hardware path: bringing the
// slot's states in line with the draw state and the piece's texture, then one textured
// quad (six batch vertices) per piece, cut at the draw area when the graph is not
// wholly inside it.
#include <algorithm>
#include <cmath>

#include "library/d3d/d3d_internal.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"

uint32_t DrawDiffuseColor = 0xFFFFFFFFu;
float BlendTextureScale[4] = {1.0f, 1.0f, 1.0f, 1.0f};

namespace {

// One corner of a piece's quad on the screen.
struct QuadCorner {
    float x, y, u, v, blendU, blendV;
};

// The screen rectangle the corners are cut to, and how far the texture moves per pixel.
struct QuadClip {
    bool active;
    float left, top, right, bottom;
    float uPerPixel, vPerPixel;  // before the texture size
};

void ClipCorner(QuadCorner* c, const QuadClip& clip, float textureWidth, float textureHeight) {
    const float uStep = clip.uPerPixel / textureWidth, vStep = clip.vPerPixel / textureHeight;
    if (c->x < clip.left) {
        const float d = clip.left - c->x;
        c->u += d * uStep;
        c->blendU += d * BlendTextureScale[2];
        c->x = clip.left;
    } else if (c->x > clip.right) {
        const float d = c->x - clip.right;
        c->u -= d * uStep;
        c->blendU -= d * BlendTextureScale[2];
        c->x = clip.right;
    }
    if (c->y < clip.top) {
        const float d = clip.top - c->y;
        c->v += d * vStep;
        c->blendV += d * BlendTextureScale[3];
        c->y = clip.top;
    } else if (c->y > clip.bottom) {
        const float d = c->y - clip.bottom;
        c->v -= d * vStep;
        c->blendV -= d * BlendTextureScale[3];
        c->y = clip.bottom;
    }
}

// Writes the quad TL, TR, BL, BR, BL, TR into the batch; the colour goes only into the
// first vertex of each triangle, the one flat shading takes.
void EmitQuad(D3DDeviceSlot* s, const QuadCorner c[4], float z, uint32_t colour) {
    if (s->batchKind == BatchColor) return;
    void* room = ReserveBatchVertices(s, D3DPT_TRIANGLELIST, 6);
    if (room == nullptr) return;
    static const int order[6] = {0, 1, 2, 3, 2, 1};
    if (s->batchKind == BatchTextured) {
        ScreenVertex* v = static_cast<ScreenVertex*>(room);
        for (int i = 0; i < 6; i++) {
            const QuadCorner& k = c[order[i]];
            v[i].x = k.x, v[i].y = k.y, v[i].z = z, v[i].u = k.u, v[i].v = k.v;
        }
        v[0].colour = v[3].colour = colour;
    } else {
        BlendTexturedVertex* v = static_cast<BlendTexturedVertex*>(room);
        for (int i = 0; i < 6; i++) {
            const QuadCorner& k = c[order[i]];
            v[i].x = k.x, v[i].y = k.y, v[i].z = z, v[i].u = k.u, v[i].v = k.v;
            v[i].blendU = k.blendU, v[i].blendV = k.blendV;
        }
        v[0].diffuse = v[3].diffuse = colour;
    }
    CommitBatchVertices(s, 6);
}

// Queues every piece of the graph at (X, Y) scaled by (sx, sy); -1 at a refused piece
// (the pieces before it stay queued).
int QueueGraphPieces(D3DDeviceSlot* s, const GraphRecord* graph, float X, float Y, float sx, float sy,
                     const QuadClip& clip) {
    const uint32_t colour = DrawDiffuseColor;
    const float z = g_DrawState.depth2D;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity; i++) {
        const Surface3DRecord* piece = LookupSurface3DRecord(graph->pieces[i]);
        if (piece == nullptr) return -1;
        G_D3D_SetSlotTexture(Surface3DTexture(piece), g_D3D.currentSlot);
        if (s->statesDirty || s->textureDirty) G_D3D_ComposeSlotStates(g_D3D.currentSlot);
        const ScreenVertex* pv = piece->vertices;
        const float xs[2] = {pv[0].x, pv[1].x}, ys[2] = {pv[0].y, pv[2].y};
        const float us[2] = {pv[0].u, pv[1].u}, vs[2] = {pv[0].v, pv[2].v};
        QuadCorner c[4];
        for (int k = 0; k < 4; k++) {
            const float px = xs[k & 1], py = ys[k >> 1];
            c[k] = QuadCorner{X + sx * px, Y + sy * py, us[k & 1], vs[k >> 1], px * BlendTextureScale[2],
                              py * BlendTextureScale[3]};
        }
        if (clip.active) {
            const SurfaceDataRecord* texture = GetSurfaceDataRecord(piece->texture);
            const float tw = texture != nullptr ? float(texture->width) : 1.0f;
            const float th = texture != nullptr ? float(texture->height) : 1.0f;
            for (QuadCorner& corner : c) ClipCorner(&corner, clip, tw, th);
        }
        EmitQuad(s, c, z, colour);
    }
    return 0;
}

// Where the integer rectangle lies against the draw area: 1 inside, 0 outside, -1 across.
// 64-bit edges: a position near the int range plus the graph's size must not wrap.
int PlaceAgainstClip(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    const RECT& c = g_DrawState.clipRect;
    if (right <= c.right && c.left <= left && bottom <= c.bottom && c.top <= top) return 1;
    if (left >= c.right || right <= c.left || top >= c.bottom || bottom <= c.top) return 0;
    return -1;
}

int ZFlag() { return g_DrawState.zUse ? PrepareDepth : 0; }

}  // namespace

bool HardwareDrawReady(int* result) {
    *result = -1;
    if (g_D3D.direct3D == nullptr || CurrentD3DSlot() == nullptr) return false;
    *result = 0;
    return !g_D3D.softwareTarget;
}

void G_D3D_PrepareDrawStates(const Surface3DRecord* piece, int flags) {
    const int slot = g_D3D.currentSlot;
    D3DDeviceSlot* s = CurrentD3DSlot();
    if (s == nullptr) return;
    const DrawState& d = g_DrawState;
    int alphaTest = 0, alphaChannel = 0, colorKey = 0;
    IDirectDrawSurface7* texture = nullptr;
    if (piece != nullptr) {
        const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->texture);
        texture = data != nullptr ? data->surface : nullptr;
        if ((flags & PrepareTransparent) && data != nullptr) {
            if (data->settings.alphaTest || data->settings.alphaChannel) {
                // Blending, or filtering off whole pixels, replaces the alpha test.
                if ((d.blendMode != BlendNone && d.blendMode != BlendDepthOnly) ||
                    (!(flags & PrepareIntegerPosition) && d.filterMode == 1)) {
                    alphaChannel = 1;
                } else {
                    alphaTest = data->settings.alphaTest;
                    alphaChannel = data->settings.alphaChannel;
                }
            } else {
                colorKey = 1;
            }
        }
    }
    G_D3D_SetSlotPerspective((flags & PreparePerspective) ? 1 : 0, slot);
    G_D3D_SetSlotColorModulate((flags & PrepareColorModulate) || (d.brightness & 0xFFFFFF) != BrightnessNeutral ? 1 : 0,
                               slot);
    G_D3D_SetSlotAlphaModulate((flags & PrepareAlphaModulate) || d.blendMode != BlendNone ? 1 : 0, slot);
    G_D3D_SetSlotTexture(texture, slot);
    G_D3D_SetSlotShadeMode((flags & PrepareGouraud) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT, slot);
    G_D3D_SetSlotCullMode(d.cullMode, slot);
    G_D3D_SetSlotBlendMode(d.blendMode, alphaTest, alphaChannel, slot);
    if (s->statesDirty || s->textureDirty) G_D3D_ComposeSlotStates(slot);
    G_D3D_SetSlotColorKey(colorKey, slot);
    if (flags & PrepareDepth) {
        G_D3D_SetSlotZEnable(d.zUse, slot);
        G_D3D_SetSlotZWrite(d.zWrite, slot);
        G_D3D_SetSlotZFunc(d.zCompare, slot);
    } else {
        G_D3D_SetSlotZEnable(0, slot);
    }
}

int G_D3D_DrawGraph(DrawCoord x, DrawCoord y, GraphRecord* graph, int transparent, int intFlag) {
    int result;
    if (!HardwareDrawReady(&result)) return result;
    D3DDeviceSlot* s = CurrentD3DSlot();
    const int xi = DrawCoordInt(x, intFlag), yi = DrawCoordInt(y, intFlag);
    const float X = DrawCoordFloat(x, intFlag) - 0.5f + float(g_DrawState.drawOrigin.left);
    const float Y = DrawCoordFloat(y, intFlag) - 0.5f + float(g_DrawState.drawOrigin.top);
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    const Surface3DRecord* first = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
    if (first == nullptr) return -1;
    G_D3D_PrepareDrawStates(first, (transparent ? PrepareTransparent : 0) | (intFlag ? PrepareIntegerPosition : 0) |
                                       ZFlag());
    const int place = PlaceAgainstClip(xi, yi, int64_t(xi) + graph->width, int64_t(yi) + graph->height);
    if (place == 0) return 0;
    const RECT& c = g_DrawState.clipRect;
    const float ox = float(g_DrawState.drawOrigin.left), oy = float(g_DrawState.drawOrigin.top);
    const QuadClip clip{place < 0, ox + float(c.left), oy + float(c.top), ox + float(c.right), oy + float(c.bottom),
                        1.0f, 1.0f};
    if (QueueGraphPieces(s, graph, X, Y, 1.0f, 1.0f, clip) < 0) return -1;
    EndSceneIfDrawingToFront();
    return 0;
}

int G_D3D_DrawGraphStretched(DrawCoord x1, DrawCoord y1, DrawCoord x2, DrawCoord y2, GraphRecord* graph,
                             int transparent, int intFlag) {
    int result;
    if (!HardwareDrawReady(&result)) return result;
    const int64_t left = DrawCoordInt(x1, intFlag), top = DrawCoordInt(y1, intFlag);
    const int64_t right = DrawCoordInt(x2, intFlag), bottom = DrawCoordInt(y2, intFlag);
    if (left == right || top == bottom) return -1;
    D3DDeviceSlot* s = CurrentD3DSlot();
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    const Surface3DRecord* first = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
    if (first == nullptr) return -1;
    const bool onWholePixels = intFlag != 0 && g_DrawState.filterMode != 1;
    G_D3D_PrepareDrawStates(first, (transparent ? PrepareTransparent : 0) |
                                       (onWholePixels ? PrepareIntegerPosition : 0) | ZFlag());
    const int place = PlaceAgainstClip(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                       std::max(top, bottom));
    if (place == 0) return 0;
    // Whole-pixel spans are taken in ints, so large positions lose nothing to the float.
    const bool ints = intFlag == 1;
    const float sx = (ints ? float(right - left) : x2.f - x1.f) / float(graph->width);
    const float sy = (ints ? float(bottom - top) : y2.f - y1.f) / float(graph->height);
    const float ox = float(g_DrawState.drawOrigin.left), oy = float(g_DrawState.drawOrigin.top);
    const float X = DrawCoordFloat(x1, intFlag) - 0.5f + ox, Y = DrawCoordFloat(y1, intFlag) - 0.5f + oy;
    const RECT& c = g_DrawState.clipRect;
    const QuadClip clip{place < 0,      float(c.left) - 0.5f + ox, float(c.top) - 0.5f + oy, float(c.right) - 0.5f + ox,
                        float(c.bottom) - 0.5f + oy, 1.0f / sx, 1.0f / sy};
    if (QueueGraphPieces(s, graph, X, Y, sx, sy, clip) < 0) return -1;
    EndSceneIfDrawingToFront();
    return 0;
}
