// d3d_device.cpp - the device: scenes, render target and viewport, the states it keeps,
// the draw calls (handed to the rasteriser) and Load.
#include <algorithm>
#include <cmath>

#include "platform/d3d/d3d_internal.h"
#include "platform/window/desktop.h"

namespace {

bool Valid(IDirect3DDevice7* d) { return DDrawTracked(d) && d->magic == D3DDeviceMagic && d->refs > 0; }

// A surface that can be used: alive, and the DirectDraw object that made it too.
bool Usable(IDirectDrawSurface7* s) { return DDrawIsSurface(s) && s->owner != nullptr; }

void Record(D3DCall call, DWORD a, DWORD b, DWORD c, HRESULT result, IDirectDrawSurface7* surface = nullptr) {
    if (D3DRecordingCalls()) D3DRecordCall(D3DCallRecord{call, a, b, c, surface, {}, result});
}

void SwapReference(IDirectDrawSurface7** slot, IDirectDrawSurface7* surface) {
    if (surface) IDirectDrawSurface7_AddRef(surface);
    if (*slot) IDirectDrawSurface7_Release(*slot);
    *slot = surface;
}

bool TakeFailure(int* count) {
    if (*count == 0) return false;
    if (*count > 0) --*count;
    return true;
}

void PresentScene(IDirect3DDevice7* d) {
    if (!IsRectEmpty(d->drawnOnDesktop)) DesktopPresent(d->drawnOnDesktop);
    d->drawnOnDesktop = RECT{0, 0, 0, 0};
}

// What every draw needs: a device in a scene and a render target that can be written.
HRESULT CheckDraw(IDirect3DDevice7* d, D3DPRIMITIVETYPE type, DWORD fvf) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!d->inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    const DWORD known = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    const DWORD pairs = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW || (fvf & ~known) || pairs > 2) return D3DERR_INVALIDVERTEXFORMAT;
    if (!Usable(d->target)) return DDERR_INVALIDOBJECT;
    if (d->target->lost) return DDERR_SURFACELOST;
    if (d->target->locked || d->target->dc) return DDERR_SURFACEBUSY;
    return D3D_OK;
}

}  // namespace

ULONG IDirect3DDevice7_AddRef(IDirect3DDevice7* d) { return Valid(d) ? static_cast<ULONG>(++d->refs) : 0; }

ULONG IDirect3DDevice7_Release(IDirect3DDevice7* d) {
    if (!Valid(d)) return 0;
    const int left = --d->refs;
    if (left == 0) {
        Record(D3DCall::ReleaseDevice, 0, 0, 0, D3D_OK, d->target);
        PresentScene(d);
        for (IDirectDrawSurface7*& t : d->textures) SwapReference(&t, nullptr);
        SwapReference(&d->target, nullptr);
        d->magic = 0;
        DDrawTrack(d, false);
        delete d;
    }
    return static_cast<ULONG>(left);
}

HRESULT IDirect3DDevice7_EnumTextureFormats(IDirect3DDevice7* d, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                            void* context) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!callback) return DDERR_INVALIDPARAMS;
    const D3DLayerConfig& config = D3DConfig();
    if (config.failEnumTextureFormats) return config.failEnumTextureFormats;
    for (DDPIXELFORMAT format : config.textureFormats)
        if (callback(&format, context) != D3DENUMRET_OK) break;
    return D3D_OK;
}

HRESULT IDirect3DDevice7_BeginScene(IDirect3DDevice7* d) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result = d->inScene ? D3DERR_SCENE_IN_SCENE : D3D_OK;
    d->inScene = true;
    Record(D3DCall::BeginScene, 0, 0, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_EndScene(IDirect3DDevice7* d) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result = d->inScene ? D3D_OK : D3DERR_SCENE_NOT_IN_SCENE;
    d->inScene = false;
    PresentScene(d);
    Record(D3DCall::EndScene, 0, 0, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_SetRenderTarget(IDirect3DDevice7* d, IDirectDrawSurface7* surface, DWORD flags) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    HRESULT result = D3D_OK;
    if (flags || !Usable(surface)) result = DDERR_INVALIDPARAMS;
    else if (!(surface->caps.dwCaps & DDSCAPS_3DDEVICE)) result = DDERR_INVALIDCAPS;
    if (result == D3D_OK && surface != d->target) {
        PresentScene(d);
        SwapReference(&d->target, surface);
    }
    Record(D3DCall::SetRenderTarget, flags, 0, 0, result, surface);
    return result;
}

HRESULT IDirect3DDevice7_GetRenderTarget(IDirect3DDevice7* d, IDirectDrawSurface7** out) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = d->target;
    if (d->target) IDirectDrawSurface7_AddRef(d->target);
    return D3D_OK;
}

HRESULT IDirect3DDevice7_SetViewport(IDirect3DDevice7* d, D3DVIEWPORT7* viewport) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    HRESULT result = D3D_OK;
    PixelView view{};
    if (!viewport || !Usable(d->target) || !DDrawSurfaceView(d->target, &view)) {
        result = DDERR_INVALIDPARAMS;
    } else {
        const uint64_t right = uint64_t(viewport->dwX) + viewport->dwWidth;
        const uint64_t bottom = uint64_t(viewport->dwY) + viewport->dwHeight;
        const bool depthOk = std::isfinite(viewport->dvMinZ) && std::isfinite(viewport->dvMaxZ) &&
                             viewport->dvMinZ >= 0.0f && viewport->dvMaxZ <= 1.0f;
        if (!viewport->dwWidth || !viewport->dwHeight || right > uint64_t(view.width) ||
            bottom > uint64_t(view.height) || !depthOk)
            result = DDERR_INVALIDPARAMS;
        else if (TakeFailure(&D3DConfig().failViewportCount))
            result = D3DConfig().failViewportError;
    }
    if (result == D3D_OK) d->viewport = *viewport;
    Record(D3DCall::SetViewport, viewport ? viewport->dwX : 0, viewport ? viewport->dwY : 0,
           viewport ? viewport->dwWidth : 0, result);
    return result;
}

HRESULT IDirect3DDevice7_GetViewport(IDirect3DDevice7* d, D3DVIEWPORT7* viewport) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!viewport) return DDERR_INVALIDPARAMS;
    *viewport = d->viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice7_SetTransform(IDirect3DDevice7* d, D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result =
        matrix && state >= D3DTRANSFORMSTATE_WORLD && state <= D3DTRANSFORMSTATE_PROJECTION ? D3D_OK : DDERR_INVALIDPARAMS;
    if (result == D3D_OK) d->transforms[state] = *matrix;
    Record(D3DCall::SetTransform, state, 0, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_SetMaterial(IDirect3DDevice7* d, D3DMATERIAL7* material) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result = material ? D3D_OK : DDERR_INVALIDPARAMS;
    if (material) d->material = *material;
    Record(D3DCall::SetMaterial, 0, 0, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_SetLight(IDirect3DDevice7* d, DWORD index, D3DLIGHT7* light) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result = light ? D3D_OK : DDERR_INVALIDPARAMS;
    if (light) {
        auto found = std::find_if(d->lights.begin(), d->lights.end(), [&](const auto& l) { return l.first == index; });
        if (found != d->lights.end()) found->second = *light;
        else d->lights.emplace_back(index, *light);
    }
    Record(D3DCall::SetLight, index, 0, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_LightEnable(IDirect3DDevice7* d, DWORD index, BOOL enable) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    auto found = std::find(d->enabledLights.begin(), d->enabledLights.end(), index);
    if (enable && found == d->enabledLights.end()) d->enabledLights.push_back(index);
    if (!enable && found != d->enabledLights.end()) d->enabledLights.erase(found);
    Record(D3DCall::LightEnable, index, DWORD(enable), 0, D3D_OK);
    return D3D_OK;
}

HRESULT IDirect3DDevice7_SetRenderState(IDirect3DDevice7* d, D3DRENDERSTATETYPE state, DWORD value) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    const HRESULT result = state < D3DRenderStateCount ? D3D_OK : DDERR_INVALIDPARAMS;
    if (result == D3D_OK) d->renderState[state] = value;
    Record(D3DCall::SetRenderState, state, value, 0, result);
    return result;
}

HRESULT IDirect3DDevice7_GetRenderState(IDirect3DDevice7* d, D3DRENDERSTATETYPE state, DWORD* value) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!value || state >= D3DRenderStateCount) return DDERR_INVALIDPARAMS;
    *value = d->renderState[state];
    return D3D_OK;
}

HRESULT IDirect3DDevice7_SetTexture(IDirect3DDevice7* d, DWORD stage, IDirectDrawSurface7* texture) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    HRESULT result = D3D_OK;
    if (stage >= D3DTextureStageCount || (texture && !Usable(texture))) result = DDERR_INVALIDPARAMS;
    else if (texture && !(texture->caps.dwCaps & DDSCAPS_TEXTURE)) result = DDERR_INVALIDCAPS;
    if (result == D3D_OK) SwapReference(&d->textures[stage], texture);
    Record(D3DCall::SetTexture, stage, 0, 0, result, texture);
    return result;
}

HRESULT IDirect3DDevice7_SetTextureStageState(IDirect3DDevice7* d, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD value) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    HRESULT result = stage < D3DTextureStageCount && type < D3DTextureStageStateCount ? D3D_OK : DDERR_INVALIDPARAMS;
    if (result == D3D_OK) {
        d->stageState[stage][type] = value;
        // ADDRESS sets both directions.
        if (type == D3DTSS_ADDRESS) d->stageState[stage][D3DTSS_ADDRESSU] = d->stageState[stage][D3DTSS_ADDRESSV] = value;
    }
    Record(D3DCall::SetTextureStageState, stage, type, value, result);
    return result;
}

HRESULT IDirect3DDevice7_GetTextureStageState(IDirect3DDevice7* d, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD* value) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    if (!value || stage >= D3DTextureStageCount || type >= D3DTextureStageStateCount) return DDERR_INVALIDPARAMS;
    *value = d->stageState[stage][type];
    return D3D_OK;
}

HRESULT IDirect3DDevice7_DrawPrimitive(IDirect3DDevice7* d, D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                                       DWORD count, DWORD flags) {
    HRESULT result = CheckDraw(d, type, fvf);
    if (result == D3D_OK && (!vertices || flags)) result = DDERR_INVALIDPARAMS;
    if (result == D3D_OK) result = D3DRasterize(d, type, fvf, vertices, count, nullptr, 0);
    Record(D3DCall::DrawPrimitive, type, fvf, count, result);
    return result;
}

HRESULT IDirect3DDevice7_DrawIndexedPrimitive(IDirect3DDevice7* d, D3DPRIMITIVETYPE type, DWORD fvf,
                                              const void* vertices, DWORD vertexCount, const WORD* indices,
                                              DWORD indexCount, DWORD flags) {
    HRESULT result = CheckDraw(d, type, fvf);
    if (result == D3D_OK && (!vertices || !indices || flags)) result = DDERR_INVALIDPARAMS;
    if (result == D3D_OK)
        for (DWORD i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount) result = DDERR_INVALIDPARAMS;
    if (result == D3D_OK) result = D3DRasterize(d, type, fvf, vertices, vertexCount, indices, indexCount);
    if (D3DRecordingCalls()) {
        D3DCallRecord record{D3DCall::DrawIndexedPrimitive, type, fvf, indexCount, nullptr, {}, result};
        if (indices) record.indices.assign(indices, indices + indexCount);
        D3DRecordCall(record);
    }
    return result;
}

HRESULT IDirect3DDevice7_Load(IDirect3DDevice7* d, IDirectDrawSurface7* dst, POINT* dstPoint,
                              IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) {
    if (!Valid(d)) return DDERR_INVALIDOBJECT;
    HRESULT result = D3D_OK;
    PixelView dv{}, sv{};
    RECT from{};
    if (flags || !Usable(dst) || !Usable(src)) {
        result = DDERR_INVALIDPARAMS;
    } else if (!(dst->caps.dwCaps & DDSCAPS_TEXTURE) || !(src->caps.dwCaps & DDSCAPS_TEXTURE)) {
        result = DDERR_INVALIDCAPS;
    } else if (TakeFailure(&D3DConfig().failLoadCount)) {
        result = D3DConfig().failLoadError;
    } else if (dst->lost || src->lost) {
        result = DDERR_SURFACELOST;
    } else if (dst->locked || dst->dc || src->locked || src->dc) {
        result = DDERR_SURFACEBUSY;
    } else {
        DDrawSurfaceView(dst, &dv);
        DDrawSurfaceView(src, &sv);
        from = srcRect ? *srcRect : ViewBounds(sv);
        const POINT to = dstPoint ? *dstPoint : POINT{from.left, from.top};
        const RECT into{to.x, to.y, to.x + (from.right - from.left), to.y + (from.bottom - from.top)};
        if (!IsSameLayout(dv.layout, sv.layout)) result = DDERR_INVALIDPIXELFORMAT;
        else if (!IsRectInside(from, ViewBounds(sv)) || !IsRectInside(into, ViewBounds(dv))) result = DDERR_INVALIDRECT;
        else CopyPixels(dv, to.x, to.y, sv, from);
    }
    Record(D3DCall::Load, 0, 0, 0, result, dst);
    return result;
}
