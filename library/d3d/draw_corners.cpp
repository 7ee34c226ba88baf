// draw_corners.cpp - a graph onto four corner points, and caller-built triangle lists.
//
// Corners come as top-left, top-right, bottom-left, bottom-right of the graph as it
// should appear. An axis-aligned rectangle of whole pixels is a stretched draw; a
// parallelogram is one quad per piece; any other shape places each piece bilinearly
// and draws it as an 8 x 8 grid, so neighbouring pieces meet edge to edge. With a blend
// graph the pieces go through two affine maps, one per half of the graph's diagonal.
#include <cmath>

#include "library/core/arith.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"

namespace {

ScreenVertex QuadGridVertices[64];

int ZFlag() { return g_DrawState.zUse ? PrepareDepth : 0; }

float Cross(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

void SetPieceTexture(const Surface3DRecord* piece) {
    D3DDeviceSlot* s = CurrentD3DSlot();
    IDirectDrawSurface7* texture = Surface3DTexture(piece);
    if (s != nullptr && texture != s->texture) {
        G_D3D_SetSlotTexture(texture, g_D3D.currentSlot);
        G_D3D_ComposeSlotStates(g_D3D.currentSlot);
    }
}

}  // namespace

void G_D3D_DrawSurface3DToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                  int pieceHandle) {
    const Surface3DRecord* piece = LookupSurface3DRecord(pieceHandle);
    D3DDeviceSlot* s = CurrentD3DSlot();
    if (piece == nullptr || s == nullptr) return;
    SetPieceTexture(piece);
    const ScreenVertex* pv = piece->vertices;
    const float uL = pv[0].u, vT = pv[0].v, uR = pv[1].u, vB = pv[2].v;
    const float z = g_DrawState.depth2D;
    const uint32_t colour = DrawDiffuseColor;
    const bool parallelogram = std::fabs((x2 - x1) - (x4 - x3)) < 1.0f && std::fabs((y2 - y1) - (y4 - y3)) < 1.0f &&
                               std::fabs((x3 - x1) - (x4 - x2)) < 1.0f && std::fabs((y3 - y1) - (y4 - y2)) < 1.0f;
    if (parallelogram) {
        if (s->statesDirty || s->textureDirty) G_D3D_ComposeSlotStates(g_D3D.currentSlot);
        if (s->batchKind != BatchTextured) return;
        ScreenVertex* v = static_cast<ScreenVertex*>(ReserveBatchVertices(s, D3DPT_TRIANGLELIST, 6));
        if (v == nullptr) return;
        const ScreenVertex corners[4] = {{x1, y1, z, 1.0f, colour, uL, vT},
                                         {x2, y2, z, 1.0f, colour, uR, vT},
                                         {x3, y3, z, 1.0f, colour, uL, vB},
                                         {x4, y4, z, 1.0f, colour, uR, vB}};
        static const int order[6] = {0, 1, 2, 3, 2, 1};
        for (int i = 0; i < 6; i++) v[i] = corners[order[i]];
        // Both halves turned the other way: swap so the triangles keep their winding.
        if (Cross(x2 - x1, y2 - y1, x3 - x1, y3 - y1) <= 0 && Cross(x3 - x4, y3 - y4, x2 - x4, y2 - y4) <= 0) {
            std::swap(v[1], v[2]);
            std::swap(v[4], v[5]);
        }
        CommitBatchVertices(s, 6);
        return;
    }
    for (int j = 0; j < 8; j++) {
        const float t = float(j) / 7.0f;
        const float lx = x1 + t * (x3 - x1), ly = y1 + t * (y3 - y1);
        const float rx = x2 + t * (x4 - x2), ry = y2 + t * (y4 - y2);
        const float stepX = (rx - lx) / 7.0f, stepY = (ry - ly) / 7.0f;
        float px = lx, py = ly;
        for (int k = 0; k < 8; k++) {
            ScreenVertex& v = QuadGridVertices[j * 8 + k];
            v = ScreenVertex{px, py, z, 1.0f, colour, uL + float(k) * (uR - uL) / 7.0f, vT + float(j) * (vB - vT) / 7.0f};
            px += stepX;
            py += stepY;
        }
    }
    G_D3D_DrawIndexedGrid(QuadGridVertices, 8, 8, g_D3D.currentSlot);
}

int G_D3D_DrawGraphToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                             GraphRecord* graph, int transparent) {
    int result;
    if (!HardwareDrawReady(&result)) return result;
    if (g_DrawState.blendGraph != -1) {
        return G_D3D_DrawGraphToCornersInt(FloatToIntTrunc(x1), FloatToIntTrunc(y1), FloatToIntTrunc(x2),
                                           FloatToIntTrunc(y2), FloatToIntTrunc(x3), FloatToIntTrunc(y3),
                                           FloatToIntTrunc(x4), FloatToIntTrunc(y4), graph, transparent);
    }
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    const Surface3DRecord* first = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
    if (first == nullptr) return -1;
    G_D3D_PrepareDrawStates(first, (transparent ? PrepareTransparent : 0) | ZFlag());
    const float ox = float(g_DrawState.drawOrigin.left), oy = float(g_DrawState.drawOrigin.top);
    const float P[4][2] = {{x1 + ox, y1 + oy}, {x2 + ox, y2 + oy}, {x3 + ox, y3 + oy}, {x4 + ox, y4 + oy}};
    if (graph->pieceCount == 1) {
        G_D3D_DrawSurface3DToCorners(P[0][0], P[0][1], P[1][0], P[1][1], P[2][0], P[2][1], P[3][0], P[3][1],
                                     graph->pieces[0]);
    } else {
        const float W = float(graph->width), H = float(graph->height);
        for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity; i++) {
            const Surface3DRecord* piece = LookupSurface3DRecord(graph->pieces[i]);
            if (piece == nullptr) return -1;
            float q[4][2];
            for (int k = 0; k < 4; k++) {
                const float ty = piece->vertices[k].y / H, tx = piece->vertices[k].x / W;
                const float lx = P[0][0] + ty * (P[2][0] - P[0][0]), ly = P[0][1] + ty * (P[2][1] - P[0][1]);
                const float rx = P[1][0] + ty * (P[3][0] - P[1][0]), ry = P[1][1] + ty * (P[3][1] - P[1][1]);
                q[k][0] = lx + tx * (rx - lx);
                q[k][1] = ly + tx * (ry - ly);
            }
            G_D3D_DrawSurface3DToCorners(q[0][0], q[0][1], q[1][0], q[1][1], q[2][0], q[2][1], q[3][0], q[3][1],
                                         graph->pieces[i]);
        }
    }
    EndSceneIfDrawingToFront();
    return 0;
}

int G_D3D_DrawGraphToCornersInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                                int transparent) {
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4) {
        return G_D3D_DrawGraphStretched(DrawCoord{x1}, DrawCoord{y1}, DrawCoord{x4}, DrawCoord{y4}, graph, transparent,
                                        1);
    }
    if (g_DrawState.blendGraph == -1) {
        return G_D3D_DrawGraphToCorners(float(x1), float(y1), float(x2), float(y2), float(x3), float(y3), float(x4),
                                        float(y4), graph, transparent);
    }
    int result;
    if (!HardwareDrawReady(&result)) return result;
    D3DDeviceSlot* s = CurrentD3DSlot();
    FlushSlotBatch(s);
    const int ox = g_DrawState.drawOrigin.left, oy = g_DrawState.drawOrigin.top;
    const float X1 = float(x1 + ox), Y1 = float(y1 + oy), X2 = float(x2 + ox), Y2 = float(y2 + oy);
    const float X3 = float(x3 + ox), Y3 = float(y3 + oy), X4 = float(x4 + ox), Y4 = float(y4 + oy);
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    const Surface3DRecord* first = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
    if (first == nullptr) return -1;
    G_D3D_PrepareDrawStates(first, (transparent ? PrepareTransparent : 0) | PrepareIntegerPosition | ZFlag());

    // Upper-left map from corner 1, lower-right map from corner 4, in graph pixels.
    const float W = float(graph->width), H = float(graph->height);
    const float p1x = X1 - 0.5f, p1y = Y1 - 0.5f, p4x = X4 - 0.5f, p4y = Y4 - 0.5f;
    auto upperLeft = [&](float px, float py, float* x, float* y) {
        *x = p1x + px * (X2 - X1) / W + py * (X3 - X1) / H;
        *y = p1y + py * (Y3 - Y1) / H + px * (Y2 - Y1) / W;
    };
    auto lowerRight = [&](float px, float py, float* x, float* y) {
        const float qx = px - W, qy = py - H;
        *x = p4x + qx * (X3 - X4) / -W + qy * (X2 - X4) / -H;
        *y = p4y + qy * (Y2 - Y4) / -H + qx * (Y3 - Y4) / -W;
    };
    const float z = g_DrawState.depth2D;
    const uint32_t colour = DrawDiffuseColor;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity; i++) {
        const Surface3DRecord* piece = LookupSurface3DRecord(graph->pieces[i]);
        if (piece == nullptr) return -1;
        SetPieceTexture(piece);
        float q[4][2];
        for (int k = 0; k < 4; k++) {
            const ScreenVertex& v = piece->vertices[k];
            if (piece->diagonalSide[k]) upperLeft(v.x, v.y, &q[k][0], &q[k][1]);
            else lowerRight(v.x, v.y, &q[k][0], &q[k][1]);
        }
        const float F = Cross(q[1][0] - q[0][0], q[1][1] - q[0][1], q[2][0] - q[0][0], q[2][1] - q[0][1]);
        const float G = Cross(q[2][0] - q[3][0], q[2][1] - q[3][1], q[1][0] - q[3][0], q[1][1] - q[3][1]);
        int order[4] = {0, 1, 2, 3};
        if (F <= 0 && G <= 0) std::swap(order[1], order[2]);
        if (F * G < 0 && F < 0) std::swap(order[1], order[2]);
        IDirect3DDevice7* device = s->device;
        if (s->batchKind == BatchBlendTextured) {
            BlendTexturedVertex out[4];
            for (int k = 0; k < 4; k++) {
                const ScreenVertex& v = piece->vertices[order[k]];
                out[k] = BlendTexturedVertex{q[order[k]][0], q[order[k]][1], z,   1.0f, colour, 0xFFFFFFFFu,
                                             v.x * BlendTextureScale[2], v.y * BlendTextureScale[3], v.u, v.v};
            }
            if (device != nullptr) IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLESTRIP, 0x2C4, out, 4, 0);
        } else {
            ScreenVertex out[4];
            for (int k = 0; k < 4; k++) {
                const ScreenVertex& v = piece->vertices[order[k]];
                out[k] = ScreenVertex{q[order[k]][0], q[order[k]][1], z, 1.0f, colour, v.u, v.v};
            }
            if (device != nullptr) IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLESTRIP, 0x144, out, 4, 0);
        }
    }
    EndSceneIfDrawingToFront();
    return 0;
}

int G_D3D_DrawVertexList2D(const ScreenVertex* vertices, int triangleCount, GraphRecord* graph, int transparent,
                           int whole, int depth) {
    int result;
    if (!HardwareDrawReady(&result)) return result;
    // Whole-texture coordinates need a graph to take them from.
    if (whole == 1 && graph == nullptr) return -1;
    if (vertices == nullptr || triangleCount <= 0) return 0;
    D3DDeviceSlot* s = CurrentD3DSlot();
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    if (s->blendTexture != nullptr || s->force) {
        FlushSlotBatch(s);
        s->blendTexture = nullptr;
        s->statesDirty = 1;
    }
    const Surface3DRecord* piece = nullptr;
    if (graph != nullptr) {
        piece = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
        if (piece == nullptr) return -1;
    }
    G_D3D_SetSlotTexture(Surface3DTexture(piece), g_D3D.currentSlot);
    const int freeList = PrepareGouraud | PreparePerspective | PrepareColorModulate | PrepareAlphaModulate;
    G_D3D_PrepareDrawStates(piece, (transparent ? PrepareTransparent : 0) | (depth ? PrepareDepth : 0) |
                                       (whole == 1 ? 0 : freeList));
    FlushSlotBatch(s);
    const int count = 3 * triangleCount;
    if (s->device == nullptr) return 0;
    if (whole != 1) {
        IDirect3DDevice7_DrawPrimitive(s->device, D3DPT_TRIANGLELIST, 0x144, vertices, DWORD(count), 0);
    } else {
        // Each pair of triangles gets the piece's whole texture rectangle; the caller's
        // list is copied in chunks of whole quads, never written.
        const ScreenVertex* pv = piece->vertices;
        const float uL = pv[0].u, vT = pv[0].v, uR = pv[3].u, vB = pv[3].v;
        const float uv[6][2] = {{uL, vT}, {uR, vT}, {uL, vB}, {uR, vB}, {uL, vB}, {uR, vT}};
        const int quadVertices = 6 * (triangleCount / 2);
        ScreenVertex chunk[600];
        for (int first = 0; first < count; first += 600) {
            const int n = count - first < 600 ? count - first : 600;
            for (int i = 0; i < n; i++) {
                chunk[i] = vertices[first + i];
                if (first + i < quadVertices) chunk[i].u = uv[i % 6][0], chunk[i].v = uv[i % 6][1];
            }
            IDirect3DDevice7_DrawPrimitive(s->device, D3DPT_TRIANGLELIST, 0x144, chunk, DWORD(n), 0);
        }
    }
    EndSceneIfDrawingToFront();
    return 0;
}
