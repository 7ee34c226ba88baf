// d3d_internal.h - the hardware 3D path's own records and routines.
//
// D3DSystemState: the Direct3D object, the current device slot, the chosen device and
// depth format, the nine texture formats and the flags the drawing code reads.
// D3DDeviceSlot: one device with a copy of every state sent to it and its vertex
// batch. Every state change goes through a slot setter that compares with the copy,
// sends nothing when the value is unchanged and otherwise draws the pending batch
// first, so batched vertices are always drawn under the states they were made with:
//
//     D3DDeviceSlot* slot = CurrentD3DSlot();              // null without a device slot
//     G_D3D_SetSlotZEnable(0, g_D3D.currentSlot);             // flushes, sends, caches
//     ScreenVertex* v = (ScreenVertex*)ReserveBatchVertices(slot, D3DPT_TRIANGLELIST, 6);
//     ... write six vertices ...
//     CommitBatchVertices(slot, 6);
#pragma once

#include <cstdint>

#include "library/d3d/d3d.h"
#include "library/display/color_format.h"
#include "platform/d3d/d3d.h"

struct SurfaceDataRecord;
struct SurfaceDataSettings;

enum { TextureFormatCount = 9, D3DSlotCount = 4, Surface3DCapacity = 65536 };

// A texture format: the pixel format the device reported and the ColorFormat built
// from it. A bit count of 0 marks an empty record.
struct TextureFormatRecord {
    DDPIXELFORMAT pixelFormat;
    ColorFormat colorFormat;
};

struct D3DSystemState {
    IDirect3D7* direct3D;
    int currentSlot;
    D3DDEVICEDESC7 deviceDesc;
    uint32_t minTextureSize, maxTextureSize;
    TextureFormatRecord textureFormats[TextureFormatCount];
    int formatsReady;
    int softwareTarget;      // the draw target is drawn in software; hardware draws do nothing
    DDPIXELFORMAT zBufferFormat;
    int captureMethod[2];    // remembered screen-capture method: plain, alpha (-1: none yet)
    int drawFlag;
    uint32_t endSceneAfterEachDraw;  // the front buffer is the target: every draw ends the scene
    // 1 from a complete start-up to shut-down, also while the object is dropped around a
    // re-creation of DirectDraw. Dropping and obtaining the object go by this, not by the
    // end-scene flag, which is 0 whenever the back buffer or a graph is the target.
    int setUpComplete;
};
extern D3DSystemState g_D3D;

// What draws write into their vertices, kept by the draw-state setters.
extern uint32_t DrawDiffuseColor;      // 0xAARRGGBB
extern float BlendTextureScale[4];     // blend texture width, height, 1/width, 1/height

// ---- Device slots ----------------------------------------------------------------------

enum VertexBatchKind { BatchColor = 0, BatchTextured = 1, BatchBlendTextured = 2 };
enum { BatchColorCapacity = 3225, BatchTexturedCapacity = 2340, BatchBlendTexturedCapacity = 1638 };

struct ColorVertex {
    float x, y, z, rhw;
    uint32_t colour;
};
struct BlendTexturedVertex {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float blendU, blendV;  // the blend texture on stage 0
    float u, v;            // the graph's own texture
};
static_assert(sizeof(ColorVertex) == 20 && sizeof(BlendTexturedVertex) == 40, "batch vertex sizes");

constexpr DWORD BatchVertexFormat[3] = {0x44, 0x144, 0x2C4};
constexpr int BatchVertexSize[3] = {20, 28, 40};
constexpr int BatchCapacity[3] = {BatchColorCapacity, BatchTexturedCapacity, BatchBlendTexturedCapacity};

// One stage's operations and arguments (D3DTOP_ and D3DTA_ values; 0xFFFF: left as is).
struct TextureStageOps {
    uint16_t alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};
constexpr uint16_t StageOpUnchanged = 0xFFFF;

struct D3DDeviceSlot {
    int valid;
    IDirect3DDevice7* device;
    IDirectDrawSurface7* creationSurface;  // a render target of null means this surface
    IDirectDrawSurface7* renderTarget;
    IDirectDrawSurface7* texture;          // main texture
    IDirectDrawSurface7* blendTexture;
    int colorModulate, alphaModulate;
    int blendMode;                         // 0-9
    int blendBorderParam, blendBorderRange;
    int alphaChannel, alphaTest;
    int statesDirty, textureDirty, discard, force;
    uint32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable, textureFactor, srcBlend, destBlend;
    int stagesInUse;
    IDirectDrawSurface7* stageTexture[4];
    TextureStageOps stageOps[4];
    int sceneOpen;
    int filterMode;
    int zEnable, zWrite, zFunc;
    int shadeMode, cullMode, addressMode, perspective, lighting, colorKey;
    uint8_t* batchWrite;
    int batchCount, batchKind, batchPrimitive;
    D3DVIEWPORT7 viewport;
    void* arrays[3];
    ColorVertex colorVertices[BatchColorCapacity];
    ScreenVertex texturedVertices[BatchTexturedCapacity];
    BlendTexturedVertex blendVertices[BatchBlendTexturedCapacity];
};
extern D3DDeviceSlot D3DSlots[D3DSlotCount];

// The slot of an index (low 16 bits) when Direct3D is set up and the slot is in use.
D3DDeviceSlot* GetD3DSlot(int slot);
D3DDeviceSlot* CurrentD3DSlot(void);

int G_D3D_CreateDevice(IDirectDrawSurface7* surface);
int G_D3D_DeleteDevice(int slot);
int G_D3D_DeleteAllDevices(void);
int G_D3D_DeleteSlotDevice(int slot);
int G_D3D_RecreateDevice(int slot);
int G_D3D_ReapplySlotStates(int slot);
int G_D3D_ReapplyBasicStates(int slot);
int G_D3D_CopySlotDrawState(int destination, int source);
IDirect3DDevice7* G_D3D_GetSlotDevice(int slot);

int G_D3D_SetSlotFilterMode(int mode, int slot);
int G_D3D_SetSlotBlendMode(int mode, int alphaTest, int alphaChannel, int slot);
int G_D3D_SetSlotColorModulate(int flag, int slot);
int G_D3D_SetSlotAlphaModulate(int flag, int slot);
int G_D3D_SetSlotTexture(IDirectDrawSurface7* texture, int slot);
int G_D3D_SetSlotRenderTarget(IDirectDrawSurface7* surface, int slot);
int G_D3D_SetSlotZEnable(int value, int slot);
int G_D3D_SetSlotZWrite(int value, int slot);
int G_D3D_SetSlotZFunc(int value, int slot);
int G_D3D_SetSlotCullMode(int value, int slot);
int G_D3D_SetSlotShadeMode(int value, int slot);
int G_D3D_SetSlotTextureAddress(int value, int slot);
int G_D3D_SetSlotColorKey(int value, int slot);
int G_D3D_SetSlotPerspective(int value, int slot);
int G_D3D_SetSlotLighting(int value, int slot);
int G_D3D_SetSlotViewport(const D3DVIEWPORT7* viewport, int slot);
int G_D3D_SetSlotNormalizeNormals(int value, int slot);
int G_D3D_SetSlotAmbient(uint32_t value, int slot);
int G_D3D_SetSlotLight(int index, D3DLIGHT7* light, int slot);
int G_D3D_EnableSlotLight(int index, int enable, int slot);
int G_D3D_SetSlotMaterial(D3DMATERIAL7* material, int slot);
int G_D3D_SetSlotWorldTransform(const Matrix4* matrix, int slot);
int G_D3D_SetSlotViewTransform(const Matrix4* matrix, int slot);
int G_D3D_SetSlotProjectionTransform(const Matrix4* matrix, int slot);
int G_D3D_BeginSlotScene(int slot);
int G_D3D_EndSlotScene(int slot);

// ---- Batches and state composition ------------------------------------------------------

int G_D3D_FlushSlotVertexBatch(int slot);
// The flush every setter runs before it sends: draws the batch unless the library is
// quitting or the slot discards it, then empties it.
void FlushSlotBatch(D3DDeviceSlot* s);
// Room for n vertices of primitive type P in the slot's current kind (composing
// pending states first): draws what is pending when the type differs or n does not fit.
void* ReserveBatchVertices(D3DDeviceSlot* s, D3DPRIMITIVETYPE primitive, int n);
void CommitBatchVertices(D3DDeviceSlot* s, int n);
void* G_D3D_ReserveTriangleListVertices(int slot, int n);
int G_D3D_DrawIndexedGrid(const ScreenVertex* vertices, int columns, int rows, int slot);
int G_D3D_ComposeSlotStates(int slot);

// ---- Drawing helpers ---------------------------------------------------------------------

enum DrawPrepareFlags {
    PrepareTransparent = 1,
    PrepareIntegerPosition = 2,
    PrepareDepth = 4,
    PrepareGouraud = 8,
    PreparePerspective = 16,
    PrepareColorModulate = 32,
    PrepareAlphaModulate = 64,
};
void G_D3D_PrepareDrawStates(const Surface3DRecord* piece, int flags);
// The texture surface of a piece, or null.
IDirectDrawSurface7* Surface3DTexture(const Surface3DRecord* piece);
// Ends the scene after a draw when the front buffer is the target.
void EndSceneIfDrawingToFront(void);
// True when a hardware draw may go on: -1 is the result without Direct3D, 0 while the
// draw target is drawn in software.
bool HardwareDrawReady(int* result);

void G_D3D_DrawSurface3DToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                  int piece);

// ---- 3D surfaces ------------------------------------------------------------------------

struct HandleTable;
extern HandleTable Surface3DTable;

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int ownerGraph, const Surface3DRecord* parent, int textureX, int textureY,
                     const SurfaceDataSettings* settings);
int DeleteSurface3DData(int handle);
Surface3DRecord* LookupSurface3DData(int handle);
Surface3DRecord* LookupSurface3DRecord(int handle);
int ClearSurface3DTable(void);
int LockSurface3DData(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect, ColorFormat* format);
int UnlockSurface3DData(int handle, const RECT* rect);
// Sets the four diagonal-side bytes from the piece's vertices and the owner's size.
void SetSurface3DDiagonalSides(Surface3DRecord* piece, int graphWidth, int graphHeight);
// Calls fn(handle, record) for every live 3D surface.
template <typename Fn>
void ForEachSurface3D(Fn fn);
int Surface3DHighWater(void);
int Surface3DHandleOfSlot(int slot);

// ---- Graphs in textures -----------------------------------------------------------------

// Writes the piece sizes of a graph side into sizes (room for SplitSizeMaxPieces) and
// returns their number; more than SplitSizeMaxPieces pieces report one more than that.
enum { SplitSizeMaxPieces = 64 };
int SplitSizeIntoPowerOfTwo(int size, int* sizes, int drawTarget);
int TransferImageToSurface3D(const RECT* sourceRect, int textureX, int textureY, int piece, const GraphImage* image,
                             const GraphImage* alphaImage);

// ---- Screen capture ---------------------------------------------------------------------

int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag);
int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag);
int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag);
int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag);
int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag);

template <typename Fn>
void ForEachSurface3D(Fn fn) {
    for (int slot = 0; slot < Surface3DHighWater(); slot++) {
        const int handle = Surface3DHandleOfSlot(slot);
        if (handle != -1) fn(handle, LookupSurface3DData(handle));
    }
}
