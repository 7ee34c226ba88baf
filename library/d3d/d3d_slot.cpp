// d3d_slot.cpp - device slots: creating, deleting and re-creating their device, sending
// every cached state again, scenes, and the operations on the current slot.
#include <cstring>

#include "library/core/log.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/screen_state.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/mask_screen.h"

D3DDeviceSlot D3DSlots[D3DSlotCount];

D3DDeviceSlot* GetD3DSlot(int slot) {
    const int index = slot & 0xFFFF;
    if (g_D3D.direct3D == nullptr || index >= D3DSlotCount || !D3DSlots[index].valid) return nullptr;
    return &D3DSlots[index];
}

D3DDeviceSlot* CurrentD3DSlot(void) { return GetD3DSlot(g_D3D.currentSlot); }

namespace {

void InitBatchArrays(D3DDeviceSlot* s) {
    for (ColorVertex& v : s->colorVertices) v.z = 0.0f, v.rhw = 1.0f;
    for (ScreenVertex& v : s->texturedVertices) v.z = 0.0f, v.rhw = 1.0f;
    for (BlendTexturedVertex& v : s->blendVertices) v.z = 0.0f, v.rhw = 1.0f, v.specular = 0xFFFFFFFFu;
    s->arrays[BatchColor] = s->colorVertices;
    s->arrays[BatchTextured] = s->texturedVertices;
    s->arrays[BatchBlendTextured] = s->blendVertices;
}

void SetRenderState(D3DDeviceSlot* s, D3DRENDERSTATETYPE state, DWORD value) {
    IDirect3DDevice7_SetRenderState(s->device, state, value);
}

void SetStageState(D3DDeviceSlot* s, int stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    IDirect3DDevice7_SetTextureStageState(s->device, DWORD(stage), state, value);
}

int TextureAddressMode() {
    if (g_DrawState.textureAddressMode == 0) g_DrawState.textureAddressMode = D3DTADDRESS_CLAMP;
    return g_DrawState.textureAddressMode;
}

// The cached copy a new slot starts with.
void ResetCachedStates(D3DDeviceSlot* s) {
    s->alphaTestEnable = s->alphaRef = s->alphaFunc = s->alphaBlendEnable = 0;
    s->textureFactor = s->srcBlend = s->destBlend = 0;
    s->stagesInUse = 0;
    for (int i = 0; i < 4; i++) {
        s->stageTexture[i] = nullptr;
        s->stageOps[i] = TextureStageOps{D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE,
                                         D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE};
    }
    s->zEnable = 1;
    s->zWrite = 0;
    s->zFunc = D3DCMP_LESSEQUAL;
    s->texture = s->blendTexture = nullptr;
    s->colorModulate = s->alphaModulate = 0;
    s->blendMode = 0;
    s->blendBorderParam = -1;
    s->blendBorderRange = 0;
    s->alphaChannel = s->alphaTest = 0;
    s->statesDirty = 1;
    s->textureDirty = s->discard = 0;
    s->cullMode = 0;
    s->addressMode = D3DTADDRESS_CLAMP;
    s->perspective = s->lighting = 0;
    s->shadeMode = D3DSHADE_FLAT;
    s->filterMode = 0;
    s->colorKey = 0;
    s->sceneOpen = 0;
    s->renderTarget = nullptr;
    s->batchKind = BatchTextured;
    s->batchCount = 0;
    s->batchPrimitive = D3DPT_TRIANGLELIST;
    s->batchWrite = static_cast<uint8_t*>(s->arrays[BatchTextured]);
}

// Creates the device on the slot's creation surface; false after the failure log.
bool CreateSlotDevice(D3DDeviceSlot* s) {
    WriteLogText("３Ｄデバイスを作成します... ");
    if (IDirect3D7_CreateDevice(g_D3D.direct3D, g_D3D.deviceDesc.deviceGUID, s->creationSurface, &s->device) !=
        D3D_OK) {
        s->device = nullptr;
        WriteLogText("３Ｄデバイスの作成に失敗しました\n");
        return false;
    }
    return true;
}

}  // namespace

int G_D3D_CreateDevice(IDirectDrawSurface7* surface) {
    if (g_D3D.direct3D == nullptr) return -1;
    int index = 0;
    while (index < D3DSlotCount && D3DSlots[index].valid) index++;
    if (index == D3DSlotCount) return -1;
    D3DDeviceSlot* s = &D3DSlots[index];
    std::memset(s, 0, sizeof *s);
    s->creationSurface = surface;
    if (!CreateSlotDevice(s)) {
        std::memset(s, 0, sizeof *s);
        return -1;
    }
    InitBatchArrays(s);

    const int address = TextureAddressMode();
    for (int stage = 0; stage < 4; stage++) SetStageState(s, stage, D3DTSS_ADDRESS, DWORD(address));
    for (int stage = 0; stage < 4; stage++) {
        SetStageState(s, stage, D3DTSS_MAGFILTER, D3DTFG_POINT);
        SetStageState(s, stage, D3DTSS_MINFILTER, D3DTFN_POINT);
    }
    SetRenderState(s, D3DRENDERSTATE_COLORKEYBLENDENABLE, 0);
    SetRenderState(s, D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    SetRenderState(s, D3DRENDERSTATE_LIGHTING, 0);
    SetRenderState(s, D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0);
    SetRenderState(s, D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    SetRenderState(s, D3DRENDERSTATE_COLORKEYENABLE, 0);
    SetRenderState(s, D3DRENDERSTATE_DITHERENABLE, 0);

    ResetCachedStates(s);
    s->valid = 1;
    G_D3D_ReapplySlotStates(index);
    WriteLogText("３Ｄデバイスの作成に成功しました\n");
    return index;
}

int G_D3D_DeleteDevice(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (s->device != nullptr) IDirect3DDevice7_Release(s->device);
    std::memset(s, 0, sizeof *s);
    WriteLogText("３Ｄデバイスの削除は正常に終了しました\n");
    return 0;
}

int G_D3D_DeleteAllDevices(void) {
    if (g_D3D.direct3D == nullptr) return -1;
    for (int i = 0; i < D3DSlotCount; i++)
        if (D3DSlots[i].valid) G_D3D_DeleteDevice(i);
    return 0;
}

int G_D3D_DeleteSlotDevice(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (s->device == nullptr) return 0;
    ForEachSurface3D([](int, Surface3DRecord* piece) { ReleaseSurfaceDataStorage(piece->texture); });
    IDirect3DDevice7_Release(s->device);
    s->device = nullptr;
    s->sceneOpen = 0;
    WriteLogText("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n");
    return 0;
}

int G_D3D_RecreateDevice(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (s->device != nullptr) return 0;
    if (!CreateSlotDevice(s)) return -1;
    SetRenderState(s, D3DRENDERSTATE_DITHERENABLE, 0);
    WriteLogText("３Ｄデバイスの作成に成功しました\n");

    s->force = 1;
    if (s->renderTarget != s->creationSurface) G_D3D_SetSlotRenderTarget(s->renderTarget, slot);
    s->texture = nullptr;
    s->batchCount = 0;
    s->batchWrite = static_cast<uint8_t*>(s->arrays[s->batchKind]);
    G_D3D_SetSlotBlendMode(s->blendMode, s->alphaTest, s->alphaChannel, slot);
    G_D3D_SetSlotCullMode(s->cullMode, slot);
    G_D3D_SetSlotFilterMode(s->filterMode, slot);
    G_D3D_SetSlotColorKey(s->colorKey, slot);
    G_D3D_SetDrawClipRect(&g_DrawState.clipRect);
    G_D3D_ReapplySlotStates(slot);
    G_D3D_ComposeSlotStates(slot);
    ForEachSurface3D([](int, Surface3DRecord* piece) {
        CreateSurfaceDataStorage(piece->texture);
        SetSurfaceDataColorKey(piece->texture);
    });
    s->force = 0;
    return 0;
}

int G_D3D_ReapplySlotStates(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    s->force = 1;
    G_D3D_SetSlotViewport(&s->viewport, slot);
    G_D3D_SetSlotColorKey(s->colorKey, slot);
    G_D3D_SetSlotColorKey(0, slot);
    G_D3D_ReapplyBasicStates(slot);
    G_D3D_SetSlotFilterMode(s->filterMode, slot);
    G_D3D_ComposeSlotStates(slot);
    G_D3D_SetSlotZEnable(s->zEnable, slot);
    G_D3D_SetSlotZWrite(s->zWrite, slot);
    G_D3D_SetSlotZFunc(s->zFunc, slot);
    G_D3D_SetSlotCullMode(s->cullMode, slot);
    G_D3D_SetSlotPerspective(s->perspective, slot);
    G_D3D_SetSlotShadeMode(s->shadeMode, slot);
    s->force = 0;
    return 0;
}

int G_D3D_ReapplyBasicStates(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr) return -1;
    FlushSlotBatch(s);
    static const DWORD coordinateIndex[4] = {0, 1, 1, 0};
    for (int stage = 0; stage < 4; stage++) SetStageState(s, stage, D3DTSS_ADDRESS, DWORD(s->addressMode));
    for (int stage = 0; stage < 4; stage++) SetStageState(s, stage, D3DTSS_TEXCOORDINDEX, coordinateIndex[stage]);
    SetRenderState(s, D3DRENDERSTATE_TEXTUREPERSPECTIVE, DWORD(s->perspective));
    SetRenderState(s, D3DRENDERSTATE_SHADEMODE, DWORD(s->shadeMode));
    SetRenderState(s, D3DRENDERSTATE_COLORKEYENABLE, DWORD(s->colorKey));
    SetRenderState(s, D3DRENDERSTATE_LIGHTING, DWORD(s->lighting));
    SetRenderState(s, D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    SetRenderState(s, D3DRENDERSTATE_DITHERENABLE, 0);
    return 0;
}

int G_D3D_CopySlotDrawState(int destination, int source) {
    D3DDeviceSlot* to = GetD3DSlot(destination);
    const D3DDeviceSlot* from = GetD3DSlot(source);
    if (to == nullptr || from == nullptr) return -1;
    G_D3D_SetSlotBlendMode(from->blendMode, from->alphaTest, from->alphaChannel, destination);
    G_D3D_SetSlotFilterMode(from->filterMode, destination);
    G_D3D_SetSlotTexture(from->texture, destination);
    G_D3D_ComposeSlotStates(destination);
    return 0;
}

IDirect3DDevice7* G_D3D_GetSlotDevice(int slot) { return D3DSlots[slot & 0xFFFF & (D3DSlotCount - 1)].device; }
void* G_D3D_GetDevice(void) { return g_D3D.direct3D != nullptr ? G_D3D_GetSlotDevice(g_D3D.currentSlot) : nullptr; }

// ---- Scenes -------------------------------------------------------------------------------

int G_D3D_BeginSlotScene(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr) return -1;
    if (!s->sceneOpen) {
        IDirect3DDevice7_BeginScene(s->device);
        s->sceneOpen = 1;
    }
    return 0;
}

int G_D3D_EndSlotScene(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (s->sceneOpen) {
        FlushSlotBatch(s);
        if (s->device != nullptr) IDirect3DDevice7_EndScene(s->device);
        s->sceneOpen = 0;
    }
    return 0;
}

int G_D3D_EndScene(void) { return G_D3D_EndSlotScene(g_D3D.currentSlot); }

void EndSceneIfDrawingToFront(void) {
    if (g_D3D.endSceneAfterEachDraw) G_D3D_EndScene();
}

// ---- Transforms on the current slot ------------------------------------------------------

int G_D3D_SetWorldTransform(const Matrix4* matrix) { return G_D3D_SetSlotWorldTransform(matrix, g_D3D.currentSlot); }
int G_D3D_SetViewTransform(const Matrix4* matrix) { return G_D3D_SetSlotViewTransform(matrix, g_D3D.currentSlot); }
int G_D3D_SetProjectionTransform(const Matrix4* matrix) {
    return G_D3D_SetSlotProjectionTransform(matrix, g_D3D.currentSlot);
}

// ---- The mask screen -----------------------------------------------------------------------

int G_D3D_SwitchMaskScreenTarget(int flag) {
    if (g_D3D.direct3D == nullptr) return -1;
    D3DDeviceSlot* s = CurrentD3DSlot();
    if (s == nullptr) return -1;
    FlushSlotBatch(s);
    G_D3D_SetSlotRenderTarget(flag ? GetMaskScreenSurface() : GetDrawTargetSurface(), g_D3D.currentSlot);
    if (flag && IsDrawTargetPrimaryInWindow()) {
        g_D3D.softwareTarget = 0;
        const RECT& c = g_DrawState.clipRect;
        const D3DVIEWPORT7 viewport{DWORD(c.left), DWORD(c.top), DWORD(c.right - c.left), DWORD(c.bottom - c.top),
                                    0.0f, 1.0f};
        if (G_D3D_SetSlotViewport(&viewport, g_D3D.currentSlot) < 0) {
            return WriteLogText("ビューポートのセットに失敗しました\n");
        }
        return 0;
    }
    G_D3D_SetDrawClipRect(&g_DrawState.clipRect);
    return 0;
}
