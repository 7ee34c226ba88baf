// d3d_internal.h - the records behind the Direct3D objects, the device's set-up as a
// test may change it, and the rasteriser's entry, for the rest of the layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw_internal.h"

struct IDirect3D7 {
    uint32_t magic;
    int refs;
    IDirectDraw7* directDraw;  // one reference while the interface lives
};

constexpr uint32_t D3DDeviceMagic = 0x56443344u;  // "D3DV"

struct IDirect3DDevice7 {
    uint32_t magic;
    int refs;
    GUID guid;
    IDirectDrawSurface7* target;  // one reference
    bool inScene;
    D3DVIEWPORT7 viewport;
    DWORD renderState[D3DRenderStateCount];
    DWORD stageState[D3DTextureStageCount][D3DTextureStageStateCount];
    IDirectDrawSurface7* textures[D3DTextureStageCount];  // one reference each
    D3DMATRIX transforms[4];
    D3DMATERIAL7 material;
    std::vector<std::pair<DWORD, D3DLIGHT7>> lights;
    std::vector<DWORD> enabledLights;
    RECT drawnOnDesktop;  // what this scene drew onto the primary surface, presented at its end
};

// One device the Direct3D object lists.
struct D3DDeviceEntry {
    GUID guid;
    std::string name;
    DWORD renderDepths;  // DDBD_* bits
    DWORD textureCaps;   // D3DPTEXTURECAPS_* of triangles
    DWORD minTextureWidth, minTextureHeight, maxTextureWidth, maxTextureHeight;
};

// The rasteriser's fast paths, counted per triangle or rectangle that takes them, so
// a test comparing them with the general path can see that it reached every one.
enum D3DRasterPath {
    D3DPathFlatSpans,        // one colour after the stages
    D3DPathTexturedSpans,    // one textured stage as tables, affine coordinates
    D3DPathGeneralSpans,     // every pixel interpolated as the general path does
    D3DPathFlatRectangle,    // a quad of one colour
    D3DPathCopyRectangle,    // a 1:1 quad copying or converting texels
    D3DPathTableRectangle,   // a 1:1 quad running texels through the stage tables
    D3DPathKeyedCopyRectangle,  // a 1:1 quad copying texels but those of the colour key
    D3DRasterPathCount
};

// What the layer's Direct3D offers, and the failures a test has asked for.
struct D3DLayerConfig {
    std::vector<D3DDeviceEntry> devices;
    std::vector<DDPIXELFORMAT> textureFormats;
    std::vector<DDPIXELFORMAT> depthFormats;
    int failObjects;         // QueryInterface for IID_IDirect3D7 fails this often (-1: always)
    int failDevices;         // CreateDevice fails with D3DERR_INITFAILED this often (-1: always)
    HRESULT failEnumDevices;  // non-zero: the enumeration calls fail with this
    HRESULT failEnumTextureFormats;
    HRESULT failEnumZBufferFormats;
    HRESULT failLoadError;   // Load fails with this error...
    int failLoadCount;       // ...this often (-1: always)
    HRESULT failViewportError;
    int failViewportCount;
    bool generalRasterOnly;  // every pixel through the rasteriser's general path (no fast paths)
    int64_t rasterPaths[D3DRasterPathCount];  // how often each fast path was taken
};

D3DLayerConfig& D3DConfig();
D3DLayerConfig DefaultD3DConfig();

// What a test can follow of the calls the library makes on devices.
enum class D3DCall : uint8_t {
    CreateDevice,
    ReleaseDevice,
    BeginScene,
    EndScene,
    SetRenderTarget,
    SetViewport,
    SetTransform,
    SetMaterial,
    SetLight,
    LightEnable,
    SetRenderState,         // a = state, b = value
    SetTexture,             // a = stage, surface
    SetTextureStageState,   // a = stage, b = state, c = value
    DrawPrimitive,          // a = primitive, b = vertex format, c = vertex count
    DrawIndexedPrimitive,   // a = primitive, b = vertex format, c = index count, indices
    Load,
};

struct D3DCallRecord {
    D3DCall call;
    DWORD a, b, c;
    IDirectDrawSurface7* surface;
    std::vector<WORD> indices;
    HRESULT result;
};

void D3DRecordCall(const D3DCallRecord& record);
bool D3DRecordingCalls();
void D3DSetRecording(bool on);
std::vector<D3DCallRecord>& D3DRecordedCalls();

// Draws count vertices of the format as the primitive, through the optional index list,
// with the device's states into its render target. The caller has checked the device,
// the scene and the target.
HRESULT D3DRasterize(IDirect3DDevice7* device, D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                     DWORD vertexCount, const WORD* indices, DWORD indexCount);
