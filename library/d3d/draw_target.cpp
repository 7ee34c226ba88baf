// draw_target.cpp - the render target of the draw target, clearing a graph target, and
// the draw-state setters carried over to the current device slot: filter mode, the
// vertex colour, the blend graph and the viewport.
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"

int G_D3D_SelectDrawTarget(int target, int) {
    if (g_D3D.direct3D == nullptr) return 0;
    const int slot = g_D3D.currentSlot;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    G_D3D_SetSlotRenderTarget(nullptr, slot);
    // A graph about to become the target must not stay bound as a texture.
    G_D3D_SetSlotTexture(nullptr, slot);

    if (target == FrontBufferTarget || target == BackBufferTarget) {
        const bool front = target == FrontBufferTarget;
        G_D3D_SetSlotRenderTarget(front ? GetFrontBufferSurface() : GetBackBufferSurface(), slot);
        g_D3D.softwareTarget = 0;
        g_D3D.endSceneAfterEachDraw = front ? 1 : 0;
        return 0;
    }
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    if (graph->pieceCount != 1) return 0;  // the target stays on the creation surface
    IDirectDrawSurface7* surface = nullptr;
    if (graph->hardwareFlag) {
        const Surface3DRecord* piece = GetSurface3DData(graph->pieces[0]);
        if (piece == nullptr) return -1;
        const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->texture);
        EndUseSurface3DData(graph->pieces[0]);
        if (data == nullptr || !data->settings.drawTarget) return -1;
        surface = data->surface;
    } else {
        const Surface2DRecord* piece = LookupSurface2D(graph->pieces[0]);
        const SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
        if (data == nullptr) return -1;
        if (data->memImgFlag) {
            // The software renderer draws into this one; hardware draws leave it alone.
            g_D3D.softwareTarget = 1;
            g_D3D.endSceneAfterEachDraw = 0;
            return 0;
        }
        surface = data->surface;
    }
    G_D3D_SetSlotRenderTarget(surface, slot);
    g_D3D.softwareTarget = 0;
    g_D3D.endSceneAfterEachDraw = 0;
    return 0;
}

int G_D3D_ClearDrawTargetGraph(void) {
    if (g_D3D.direct3D == nullptr) return -1;
    if (g_DrawState.suspended) return 0;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    const int target = GetDrawTargetHandle();
    if (target == FrontBufferTarget || target == -3 || target == BackBufferTarget) return 0;
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr || !graph->hardwareFlag) return 0;
    const Surface3DRecord* piece = GetSurface3DData(graph->pieces[0]);
    if (piece == nullptr) return -1;
    const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->texture);
    EndUseSurface3DData(graph->pieces[0]);
    if (data == nullptr || data->surface == nullptr) return -1;
    RECT area{0, 0, data->width, data->height};
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    if (data->depthSurface != nullptr) {
        fx.dwFillDepth = 0xFFFF;
        IDirectDrawSurface7_Blt(data->depthSurface, &area, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
    }
    const ColorFormat* format = G_D3D_GetTextureColorFormatByIndex(data->formatIndex);
    if (format == nullptr) return -1;
    const SystemState& s = SystemStateRecord;
    fx.dwFillColor = EncodePixelRgba(format, s.settings.backgroundRed, s.settings.backgroundGreen,
                                     s.settings.backgroundBlue, 0);
    IDirectDrawSurface7_Blt(data->surface, &area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    return 0;
}

namespace {
void UpdateDiffuseColor() {
    const DrawState& d = g_DrawState;
    const uint32_t alpha = d.blendMode != BlendNone ? uint32_t(d.blendParam) & 0xFF : 255;
    DrawDiffuseColor = (d.brightness & 0xFFFFFF) | alpha << 24;
}
}  // namespace

int G_D3D_SetBlendModeParam(int, int) {
    UpdateDiffuseColor();
    return 0;
}

int G_D3D_SetBrightness(void) {
    UpdateDiffuseColor();
    return 0;
}

int G_D3D_SelectBlendGraph(GraphRecord* graph, int borderParam, int borderRange) {
    D3DDeviceSlot* s = CurrentD3DSlot();
    auto storeParameters = [&] {
        if (borderParam != -1) s->blendBorderParam = borderParam;
        if (borderRange != -1) s->blendBorderRange = borderRange;
        s->statesDirty = 1;
    };
    if (graph == nullptr) {
        if (s != nullptr && (s->blendTexture != nullptr || s->force)) {
            FlushSlotBatch(s);
            s->blendTexture = nullptr;
            storeParameters();
        }
        return 0;
    }
    const Surface3DRecord* piece = graph->pieceCount > 0 ? LookupSurface3DRecord(graph->pieces[0]) : nullptr;
    if (piece == nullptr) return -1;
    const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->texture);
    if (data == nullptr) return -1;
    if (s != nullptr) {
        const bool same = s->blendTexture != nullptr && s->blendTexture == data->surface &&
                          s->blendBorderParam == borderParam && s->blendBorderRange == borderRange;
        if (!same || s->force) {
            FlushSlotBatch(s);
            s->blendTexture = data->surface;
            storeParameters();
        }
    }
    BlendTextureScale[0] = float(data->width);
    BlendTextureScale[1] = float(data->height);
    BlendTextureScale[2] = 1.0f / float(data->width);
    BlendTextureScale[3] = 1.0f / float(data->height);
    return 0;
}

int G_D3D_SetDrawClipRect(const RECT* clip) {
    if (g_D3D.direct3D == nullptr) return -1;
    if (g_D3D.softwareTarget) return 0;
    if (clip->right == clip->left || clip->bottom == clip->top) return -1;
    const D3DVIEWPORT7 viewport{DWORD(clip->left + g_DrawState.drawOrigin.left),
                                DWORD(clip->top + g_DrawState.drawOrigin.top), DWORD(clip->right - clip->left),
                                DWORD(clip->bottom - clip->top), 0.0f, 1.0f};
    return G_D3D_SetSlotViewport(&viewport, g_D3D.currentSlot);
}

int G_D3D_SetDrawFilterMode(int mode) {
    if (g_D3D.direct3D == nullptr) return -1;
    G_D3D_SetSlotFilterMode(mode, g_D3D.currentSlot);
    return 0;
}
