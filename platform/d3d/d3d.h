// d3d.h - the Direct3D 7 stand-in: a deterministic software device that draws into the
// layer's DirectDraw surfaces. No graphics library stands behind it: the rasteriser,
// its span kernels and blend rows are the layer's own (SSE2 or AVX2, chosen at run time).
//
// Calling convention as in ddraw.h: opaque objects, one plain function per method
// (Interface_Method, object first), HRESULT results, reference counts.
//
//     IDirect3D7* d3d = nullptr;
//     IDirectDraw7_QueryInterface(dd, IID_IDirect3D7, (void**)&d3d);
//     IDirect3DDevice7* device = nullptr;
//     IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, backSurface, &device);
//     IDirect3DDevice7_BeginScene(device);
//     IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLELIST, 0x144, vertices, 6, 0);
//     IDirect3DDevice7_EndScene(device);
//
// What stands behind it:
// - The Direct3D object is an interface of the DirectDraw object (QueryInterface with
//   IID_IDirect3D7); it holds a reference to that object while it lives. It lists one
//   hardware device (or what a test's device profile says, d3d_seams.h), its 16-bit
//   depth format and its texture formats: R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4,
//   X8R8G8B8 and A8R8G8B8.
// - A device renders into its render target (a surface made with DDSCAPS_3DDEVICE) and,
//   with Z enabled, into the 16-bit depth buffer attached to it. It draws transformed
//   vertices only (D3DFVF_XYZRHW with diffuse, specular and up to two texture pairs):
//   triangle lists, strips and fans, line lists and strips, indexed or not. Transforms,
//   lights and materials are kept but not applied, as they do not touch such vertices.
// - Rasterisation: pixel centres at whole coordinates, the top-left fill rule on
//   positions snapped to 1/256 pixel, lines by the diamond-exit rule; attributes
//   interpolated in double precision (perspective-correct when TEXTUREPERSPECTIVE is
//   on), so every machine draws the same pixels. Texture stages 0-3 with the texture
//   operations, arguments and texture-coordinate indices the library uses; point and
//   bilinear sampling with wrap, mirror or clamp addressing; the source colour key of
//   a texture (COLORKEYENABLE); alpha test; source and destination blend factors;
//   depth test and write. Writes are clipped to the viewport and the render target.
// - Draws need an open scene (D3DERR_SCENE_NOT_IN_SCENE otherwise); a locked render
//   target answers DDERR_SURFACEBUSY, a lost one DDERR_SURFACELOST. The device holds a
//   reference to its render target and to every texture set on a stage. What a scene
//   drew onto the desktop's primary surface is presented when the scene ends.
#pragma once

#include "platform/d3d/d3d_types.h"
#include "platform/ddraw/ddraw.h"

struct IDirect3D7;
struct IDirect3DDevice7;

extern const GUID IID_IDirect3D7;
extern const GUID IID_IDirect3DHALDevice;
extern const GUID IID_IDirect3DTnLHalDevice;
extern const GUID IID_IDirect3DRGBDevice;

using LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(char* description, char* name, D3DDEVICEDESC7* desc, void* context);
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

// IDirect3D7
ULONG IDirect3D7_AddRef(IDirect3D7* d3d);
ULONG IDirect3D7_Release(IDirect3D7* d3d);
HRESULT IDirect3D7_EnumDevices(IDirect3D7* d3d, LPD3DENUMDEVICESCALLBACK7 callback, void* context);
HRESULT IDirect3D7_EnumZBufferFormats(IDirect3D7* d3d, REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                      void* context);
HRESULT IDirect3D7_CreateDevice(IDirect3D7* d3d, REFCLSID device, IDirectDrawSurface7* surface,
                                IDirect3DDevice7** out);

// IDirect3DDevice7
ULONG IDirect3DDevice7_AddRef(IDirect3DDevice7* device);
ULONG IDirect3DDevice7_Release(IDirect3DDevice7* device);
HRESULT IDirect3DDevice7_EnumTextureFormats(IDirect3DDevice7* device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                            void* context);
HRESULT IDirect3DDevice7_BeginScene(IDirect3DDevice7* device);
HRESULT IDirect3DDevice7_EndScene(IDirect3DDevice7* device);
HRESULT IDirect3DDevice7_SetRenderTarget(IDirect3DDevice7* device, IDirectDrawSurface7* surface, DWORD flags);
HRESULT IDirect3DDevice7_GetRenderTarget(IDirect3DDevice7* device, IDirectDrawSurface7** out);
// The viewport must lie inside the render target.
HRESULT IDirect3DDevice7_SetViewport(IDirect3DDevice7* device, D3DVIEWPORT7* viewport);
HRESULT IDirect3DDevice7_GetViewport(IDirect3DDevice7* device, D3DVIEWPORT7* viewport);
HRESULT IDirect3DDevice7_SetTransform(IDirect3DDevice7* device, D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
HRESULT IDirect3DDevice7_SetMaterial(IDirect3DDevice7* device, D3DMATERIAL7* material);
HRESULT IDirect3DDevice7_SetLight(IDirect3DDevice7* device, DWORD index, D3DLIGHT7* light);
HRESULT IDirect3DDevice7_LightEnable(IDirect3DDevice7* device, DWORD index, BOOL enable);
HRESULT IDirect3DDevice7_SetRenderState(IDirect3DDevice7* device, D3DRENDERSTATETYPE state, DWORD value);
HRESULT IDirect3DDevice7_GetRenderState(IDirect3DDevice7* device, D3DRENDERSTATETYPE state, DWORD* value);
// surface null: no texture on the stage.
HRESULT IDirect3DDevice7_SetTexture(IDirect3DDevice7* device, DWORD stage, IDirectDrawSurface7* texture);
HRESULT IDirect3DDevice7_SetTextureStageState(IDirect3DDevice7* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD value);
HRESULT IDirect3DDevice7_GetTextureStageState(IDirect3DDevice7* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD* value);
HRESULT IDirect3DDevice7_DrawPrimitive(IDirect3DDevice7* device, D3DPRIMITIVETYPE type, DWORD fvf,
                                       const void* vertices, DWORD count, DWORD flags);
HRESULT IDirect3DDevice7_DrawIndexedPrimitive(IDirect3DDevice7* device, D3DPRIMITIVETYPE type, DWORD fvf,
                                              const void* vertices, DWORD vertexCount, const WORD* indices,
                                              DWORD indexCount, DWORD flags);
// Copies srcRect of src (null: all of it) to dstPoint of dst (null: the same place);
// both are textures of one pixel format.
HRESULT IDirect3DDevice7_Load(IDirect3DDevice7* device, IDirectDrawSurface7* dst, POINT* dstPoint,
                              IDirectDrawSurface7* src, RECT* srcRect, DWORD flags);
