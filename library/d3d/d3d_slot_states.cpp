// d3d_slot_states.cpp - the cached setters of a device slot. Each compares the new value
// with the slot's copy and sends nothing when it is unchanged (unless the force flag
// asks for a full re-send); otherwise it draws the pending batch first (where the
// state decides how batched vertices look), sends the value and stores it.
#include <cstdio>
#include <cstring>

#include "library/core/log.h"
#include "library/d3d/d3d_internal.h"
#include "library/graph/camera.h"

namespace {

// The slot when the value must be sent: null when the slot is refused (*result -1) or
// the value is unchanged (*result 0).
template <typename Get, typename T>
D3DDeviceSlot* SlotToChange(int slot, Get cached, const T& value, int* result) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    *result = s == nullptr ? -1 : 0;
    if (s == nullptr || (cached(s) == value && !s->force)) return nullptr;
    return s;
}

// Sends one render state after the flush the table asks for; the cache is updated
// whatever the device answered.
int SendRenderState(D3DDeviceSlot* s, bool flush, D3DRENDERSTATETYPE state, DWORD value) {
    if (flush) FlushSlotBatch(s);
    if (s->device == nullptr) return -1;
    return IDirect3DDevice7_SetRenderState(s->device, state, value) == D3D_OK ? 0 : -1;
}

#define CACHED(field) [](const D3DDeviceSlot* s) { return s->field; }

int SetTransform(const Matrix4* matrix, int slot, D3DTRANSFORMSTATETYPE state) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr || matrix == nullptr) return -1;
    D3DMATRIX m;
    std::memcpy(m.m, matrix->m, sizeof m.m);
    IDirect3DDevice7_SetTransform(s->device, state, &m);
    return 0;
}

}  // namespace

int G_D3D_SetSlotFilterMode(int mode, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(filterMode), mode, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    if (mode != 0 && mode != 1) return -1;
    const DWORD filter = mode == 0 ? D3DTFG_POINT : D3DTFG_LINEAR;
    for (int stage = 0; stage < s->stagesInUse && s->device != nullptr; stage++) {
        IDirect3DDevice7_SetTextureStageState(s->device, DWORD(stage), D3DTSS_MAGFILTER, filter);
        IDirect3DDevice7_SetTextureStageState(s->device, DWORD(stage), D3DTSS_MINFILTER, filter);
    }
    s->filterMode = mode;
    return 0;
}

int G_D3D_SetSlotBlendMode(int mode, int alphaTest, int alphaChannel, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (s->blendMode == mode && s->alphaTest == alphaTest && s->alphaChannel == alphaChannel && !s->force) return 0;
    FlushSlotBatch(s);
    s->blendMode = mode;
    s->alphaTest = alphaTest;
    s->alphaChannel = alphaChannel;
    s->statesDirty = 1;
    return 0;
}

int G_D3D_SetSlotColorModulate(int flag, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(colorModulate), flag, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    s->colorModulate = flag;
    s->statesDirty = 1;
    return 0;
}

int G_D3D_SetSlotAlphaModulate(int flag, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(alphaModulate), flag, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    s->alphaModulate = flag;
    s->statesDirty = 1;
    return 0;
}

int G_D3D_SetSlotTexture(IDirectDrawSurface7* texture, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(texture), texture, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    s->textureDirty = 1;
    if ((texture == nullptr) != (s->texture == nullptr)) s->statesDirty = 1;
    s->texture = texture;
    return 0;
}

int G_D3D_SetSlotRenderTarget(IDirectDrawSurface7* surface, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(renderTarget), surface, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    IDirectDrawSurface7* target = surface != nullptr ? surface : s->creationSurface;
    if (target == nullptr) {
        s->renderTarget = nullptr;
        return 0;
    }
    if (s->device != nullptr) IDirect3DDevice7_SetRenderTarget(s->device, target, 0);
    s->renderTarget = target;
    return 0;
}

int G_D3D_SetSlotZEnable(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(zEnable), value, &result);
    if (s == nullptr) return result;
    SendRenderState(s, true, D3DRENDERSTATE_ZENABLE, value == 1 ? 1 : 0);
    s->zEnable = value;
    return 0;
}

int G_D3D_SetSlotZWrite(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(zWrite), value, &result);
    if (s == nullptr) return result;
    SendRenderState(s, true, D3DRENDERSTATE_ZWRITEENABLE, DWORD(value));
    s->zWrite = value;
    return 0;
}

int G_D3D_SetSlotZFunc(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(zFunc), value, &result);
    if (s == nullptr) return result;
    SendRenderState(s, true, D3DRENDERSTATE_ZFUNC, DWORD(value));
    s->zFunc = value;
    return 0;
}

int G_D3D_SetSlotCullMode(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(cullMode), value, &result);
    if (s == nullptr) return result;
    SendRenderState(s, true, D3DRENDERSTATE_CULLMODE, value == 0 ? D3DCULL_NONE : D3DCULL_CCW);
    s->cullMode = value;
    return 0;
}

int G_D3D_SetSlotShadeMode(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(shadeMode), value, &result);
    if (s == nullptr) return result;
    result = SendRenderState(s, true, D3DRENDERSTATE_SHADEMODE, DWORD(value));
    s->shadeMode = value;
    return result;
}

int G_D3D_SetSlotTextureAddress(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(addressMode), value, &result);
    if (s == nullptr) return result;
    FlushSlotBatch(s);
    HRESULT last = D3D_OK;
    for (int stage = 3; stage >= 0 && s->device != nullptr; stage--) {
        last = IDirect3DDevice7_SetTextureStageState(s->device, DWORD(stage), D3DTSS_ADDRESS, DWORD(value));
    }
    s->addressMode = value;
    return s->device != nullptr && last == D3D_OK ? 0 : -1;
}

int G_D3D_SetSlotColorKey(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(colorKey), value, &result);
    if (s == nullptr) return result;
    SendRenderState(s, true, D3DRENDERSTATE_COLORKEYENABLE, DWORD(value));
    s->colorKey = value;
    return 0;
}

int G_D3D_SetSlotPerspective(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(perspective), value, &result);
    if (s == nullptr) return result;
    result = SendRenderState(s, false, D3DRENDERSTATE_TEXTUREPERSPECTIVE, DWORD(value));
    s->perspective = value;
    return result;
}

int G_D3D_SetSlotLighting(int value, int slot) {
    int result;
    D3DDeviceSlot* s = SlotToChange(slot, CACHED(lighting), value, &result);
    if (s == nullptr) return result;
    result = SendRenderState(s, false, D3DRENDERSTATE_LIGHTING, DWORD(value));
    s->lighting = value;
    return result;
}

int G_D3D_SetSlotViewport(const D3DVIEWPORT7* viewport, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->renderTarget == nullptr || viewport == nullptr) return -1;
    const D3DVIEWPORT7& c = s->viewport;
    if (c.dwX == viewport->dwX && c.dwY == viewport->dwY && c.dwWidth == viewport->dwWidth &&
        c.dwHeight == viewport->dwHeight && !s->force)
        return 0;
    FlushSlotBatch(s);
    G_D3D_EndSlotScene(slot);
    D3DVIEWPORT7 sent = *viewport;
    const HRESULT hr = s->device != nullptr ? IDirect3DDevice7_SetViewport(s->device, &sent) : DDERR_INVALIDOBJECT;
    if (hr != D3D_OK) {
        char text[96];
        std::snprintf(text, sizeof text, "ビューポートのセットに失敗しました ErrorCode %x\n", unsigned(hr));
        return WriteLogText(text);
    }
    s->viewport = *viewport;
    return 0;
}

// ---- Sent every time ------------------------------------------------------------------------

int G_D3D_SetSlotNormalizeNormals(int value, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    return SendRenderState(s, true, D3DRENDERSTATE_NORMALIZENORMALS, DWORD(value));
}

int G_D3D_SetSlotAmbient(uint32_t value, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    return SendRenderState(s, false, D3DRENDERSTATE_AMBIENT, value);
}

int G_D3D_SetSlotLight(int index, D3DLIGHT7* light, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr) return -1;
    return IDirect3DDevice7_SetLight(s->device, DWORD(index), light) == D3D_OK ? 0 : -1;
}

int G_D3D_EnableSlotLight(int index, int enable, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr) return -1;
    return IDirect3DDevice7_LightEnable(s->device, DWORD(index), enable) == D3D_OK ? 0 : -1;
}

int G_D3D_SetSlotMaterial(D3DMATERIAL7* material, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || s->device == nullptr) return -1;
    return IDirect3DDevice7_SetMaterial(s->device, material) == D3D_OK ? 0 : -1;
}

int G_D3D_SetSlotWorldTransform(const Matrix4* matrix, int slot) {
    return SetTransform(matrix, slot, D3DTRANSFORMSTATE_WORLD);
}
int G_D3D_SetSlotViewTransform(const Matrix4* matrix, int slot) {
    return SetTransform(matrix, slot, D3DTRANSFORMSTATE_VIEW);
}
int G_D3D_SetSlotProjectionTransform(const Matrix4* matrix, int slot) {
    return SetTransform(matrix, slot, D3DTRANSFORMSTATE_PROJECTION);
}
