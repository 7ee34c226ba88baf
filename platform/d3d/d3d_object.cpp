// d3d_object.cpp - the Direct3D object: obtained from DirectDraw, it lists the device,
// its depth and texture formats, and creates devices on surfaces.
#include <cstring>

#include "platform/d3d/d3d_internal.h"

// Our own identifiers; the library only passes them back to us.
const GUID IID_IDirect3D7 = {0x7A9D3007u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x33, 0x44, 0x37, 0x00, 0x01}};
const GUID IID_IDirect3DHALDevice = {0x7A9D3101u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x33, 0x44, 0x48, 0x41, 0x4C}};
const GUID IID_IDirect3DTnLHalDevice = {0x7A9D3102u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x33, 0x44, 0x54, 0x4E, 0x4C}};
const GUID IID_IDirect3DRGBDevice = {0x7A9D3103u, 0x5A51, 0x4C11, {0x8E, 0x20, 0x44, 0x33, 0x44, 0x52, 0x47, 0x42}};

namespace {

constexpr uint32_t kObjectMagic = 0x4F443344u;  // "D3DO"

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

DDPIXELFORMAT DepthFormat(DWORD bits, DWORD mask) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_ZBUFFER;
    f.dwZBufferBitDepth = bits;
    f.dwZBitMask = mask;
    return f;
}

D3DLayerConfig g_config = DefaultD3DConfig();
bool g_recording = false;
std::vector<D3DCallRecord> g_calls;

bool Valid(IDirect3D7* d3d) { return DDrawTracked(d3d) && d3d->magic == kObjectMagic && d3d->refs > 0; }

// A count of injected failures: true when this call fails (-1 fails every call).
bool TakeFailure(int* count) {
    if (*count == 0) return false;
    if (*count > 0) --*count;
    return true;
}

HRESULT ProvideInterface(IDirectDraw7* dd, REFIID iid, void** out) {
    if (!IsEqualGUID(iid, IID_IDirect3D7)) return E_NOINTERFACE;
    if (!DDrawObjectIsReady(dd)) return DDERR_NOTINITIALIZED;
    if (TakeFailure(&g_config.failObjects)) return E_NOINTERFACE;
    auto* d3d = new IDirect3D7{kObjectMagic, 1, dd};
    IDirectDraw7_AddRef(dd);
    DDrawTrack(d3d, true);
    *out = d3d;
    return D3D_OK;
}

// DirectDraw answers IID_IDirect3D7 through us once this file is part of the program.
const bool g_providerInstalled = (SetDirectDrawInterfaceProvider(ProvideInterface), true);

const D3DDeviceEntry* FindDevice(REFCLSID guid) {
    for (const D3DDeviceEntry& d : g_config.devices)
        if (IsEqualGUID(d.guid, guid)) return &d;
    return nullptr;
}

void Record(D3DCall call, HRESULT result, IDirectDrawSurface7* surface = nullptr) {
    if (g_recording) g_calls.push_back(D3DCallRecord{call, 0, 0, 0, surface, {}, result});
}

}  // namespace

D3DLayerConfig DefaultD3DConfig() {
    D3DLayerConfig c{};
    c.devices.push_back(D3DDeviceEntry{IID_IDirect3DHALDevice, "Virtual HAL", DDBD_16 | DDBD_32,
                                       D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA, 1,
                                       1, 2048, 2048});
    c.textureFormats = {
        RgbFormat(16, 0xF800, 0x07E0, 0x001F, 0),          RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0),
        RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),     RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
        RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0),          RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u),
    };
    c.depthFormats = {DepthFormat(16, 0xFFFF)};
    return c;
}

D3DLayerConfig& D3DConfig() { return g_config; }
void D3DRecordCall(const D3DCallRecord& record) {
    if (g_recording) g_calls.push_back(record);
}
bool D3DRecordingCalls() { return g_recording; }
void D3DSetRecording(bool on) {
    g_recording = on;
    g_calls.clear();
}
std::vector<D3DCallRecord>& D3DRecordedCalls() { return g_calls; }

ULONG IDirect3D7_AddRef(IDirect3D7* d3d) { return Valid(d3d) ? static_cast<ULONG>(++d3d->refs) : 0; }

ULONG IDirect3D7_Release(IDirect3D7* d3d) {
    if (!Valid(d3d)) return 0;
    const int left = --d3d->refs;
    if (left == 0) {
        IDirectDraw7* dd = d3d->directDraw;
        d3d->magic = 0;
        DDrawTrack(d3d, false);
        delete d3d;
        IDirectDraw7_Release(dd);
    }
    return static_cast<ULONG>(left);
}

HRESULT IDirect3D7_EnumDevices(IDirect3D7* d3d, LPD3DENUMDEVICESCALLBACK7 callback, void* context) {
    if (!Valid(d3d)) return DDERR_INVALIDOBJECT;
    if (!callback) return DDERR_INVALIDPARAMS;
    if (g_config.failEnumDevices) return g_config.failEnumDevices;
    for (const D3DDeviceEntry& d : g_config.devices) {
        D3DDEVICEDESC7 desc{};
        desc.dpcTriCaps.dwSize = desc.dpcLineCaps.dwSize = sizeof(D3DPRIMCAPS);
        desc.dpcTriCaps.dwTextureCaps = desc.dpcLineCaps.dwTextureCaps = d.textureCaps;
        desc.dwDeviceRenderBitDepth = d.renderDepths;
        desc.dwDeviceZBufferBitDepth = DDBD_16;
        desc.dwMinTextureWidth = d.minTextureWidth;
        desc.dwMinTextureHeight = d.minTextureHeight;
        desc.dwMaxTextureWidth = d.maxTextureWidth;
        desc.dwMaxTextureHeight = d.maxTextureHeight;
        desc.wMaxTextureBlendStages = desc.wMaxSimultaneousTextures = 4;
        desc.deviceGUID = d.guid;
        std::string name = d.name;
        if (callback(name.data(), name.data(), &desc, context) != D3DENUMRET_OK) break;
    }
    return D3D_OK;
}

HRESULT IDirect3D7_EnumZBufferFormats(IDirect3D7* d3d, REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                      void* context) {
    if (!Valid(d3d)) return DDERR_INVALIDOBJECT;
    if (!callback) return DDERR_INVALIDPARAMS;
    if (!FindDevice(device)) return D3DERR_INVALID_DEVICE;
    if (g_config.failEnumZBufferFormats) return g_config.failEnumZBufferFormats;
    for (DDPIXELFORMAT format : g_config.depthFormats)
        if (callback(&format, context) != D3DENUMRET_OK) break;
    return D3D_OK;
}

HRESULT IDirect3D7_CreateDevice(IDirect3D7* d3d, REFCLSID guid, IDirectDrawSurface7* surface,
                                IDirect3DDevice7** out) {
    if (out) *out = nullptr;
    if (!Valid(d3d)) return DDERR_INVALIDOBJECT;
    if (!out || !DDrawIsSurface(surface) || !surface->owner) return DDERR_INVALIDPARAMS;
    HRESULT result = D3D_OK;
    if (!FindDevice(guid)) result = D3DERR_INVALID_DEVICE;
    else if (!(surface->caps.dwCaps & DDSCAPS_3DDEVICE) || (surface->caps.dwCaps & DDSCAPS_ZBUFFER))
        result = DDERR_INVALIDCAPS;
    else if (TakeFailure(&g_config.failDevices))
        result = D3DERR_INITFAILED;
    if (result != D3D_OK) {
        Record(D3DCall::CreateDevice, result, surface);
        return result;
    }

    auto* device = new IDirect3DDevice7{};
    device->magic = D3DDeviceMagic;
    device->refs = 1;
    device->guid = guid;
    device->target = surface;
    IDirectDrawSurface7_AddRef(surface);
    PixelView view;
    DDrawSurfaceView(surface, &view);
    device->viewport = D3DVIEWPORT7{0, 0, DWORD(view.width), DWORD(view.height), 0.0f, 1.0f};
    // The states a new device starts with.
    DWORD* rs = device->renderState;
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
    rs[D3DRENDERSTATE_ZENABLE] = surface->zBuffer ? 1 : 0;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = 1;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_LIGHTING] = 1;
    for (DWORD stage = 0; stage < D3DTextureStageCount; ++stage) {
        DWORD* ts = device->stageState[stage];
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = stage;
        ts[D3DTSS_ADDRESS] = ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        ts[D3DTSS_MINFILTER] = D3DTFN_POINT;
        ts[D3DTSS_MIPFILTER] = 1;
    }
    for (D3DMATRIX& m : device->transforms)
        for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    DDrawTrack(device, true);
    Record(D3DCall::CreateDevice, D3D_OK, surface);
    *out = device;
    return D3D_OK;
}
