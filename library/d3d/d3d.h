// d3d.h - what the rest of the library calls of the hardware 3D path: setting Direct3D
// up on the screen surfaces, shutting it down, and finishing the pending drawing before
// a present or a software draw.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"
#include "library/graph/draw_coord.h"

// A transformed vertex of the hardware triangle lists and the software 3D rasteriser.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;  // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28, "ScreenVertex is 28 bytes");

int G_D3D_SetupDirect3D(void);     // negative when Direct3D cannot be set up
int G_D3D_ShutdownDirect3D(void);  // result not used
// Draws and empties the pending vertex batch; -1 without Direct3D or a device.
int G_D3D_FlushVertexBatch(void);
// Ends the open scene of the current device (flushing its batch first); result not used.
int G_D3D_EndScene(void);

struct ColorFormat;
struct DDPIXELFORMAT;
struct SurfaceDataSettings;

// Texture formats of the surface data (TextureFormatIndex 0-8): the index the settings
// ask for, its DDPIXELFORMAT and ColorFormat (null when the device offers none), and
// the 16-bit depth-buffer format (null without a device).
int G_D3D_GetTextureFormatIndex(const SurfaceDataSettings* settings);
const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int formatIndex);
const ColorFormat* G_D3D_GetTextureColorFormatByIndex(int formatIndex);
const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat(int bitDepth);

// ---- What graphs and drawing call of the hardware path -------------------------------

struct GraphRecord;
struct GraphImage;
struct MovieRecord;
struct Matrix4;
struct RECT;

// A piece of a graph on the hardware path: a rectangle of one power-of-two texture,
// with the four corners that draw it (top-left, top-right, bottom-left, bottom-right,
// in graph pixels, with their texture coordinates).
struct Surface3DRecord {
    HandleRecordHead head;            // check number; lost flag written 1 on delete
    uint16_t graphX, graphY;          // top-left in the owning graph
    uint16_t textureX, textureY;      // top-left on the texture
    uint16_t sourceX, sourceY;        // top-left in the source image (movie frames)
    uint16_t width, height;           // the part of the texture that holds graph pixels
    ScreenVertex vertices[4];
    uint8_t diagonalSide[4];          // 1: the corner lies on or above the graph's anti-diagonal
    int32_t ownerGraph;               // GraphHandle
    int32_t texture;                  // SurfaceDataHandle of the texture
};

// 3D surfaces and graphs made of them. Without a Direct3D object every call refuses.
int DeleteAllSurface3DData(void);  // -1 when no Direct3D object exists
int G_D3D_CreateGraphSurface3D(GraphRecord* graph);
int G_D3D_CreateSubGraphSurface3D(GraphRecord* graph, int x, int y, int width, int height, const GraphRecord* parent);
int G_D3D_DeleteGraphSurface3D(GraphRecord* graph);
int G_D3D_BltImageToGraph(const void* bitmap, int unused1, int unused2, int x, int y, GraphRecord* graph, int unused3,
                          const GraphImage* image, const GraphImage* alphaImage);
int G_D3D_BltImageRectToGraph(const RECT* sourceRect, int destX, int destY, GraphRecord* graph,
                              const GraphImage* image, const GraphImage* alphaImage);
int G_D3D_RestoreGraphSurface3D(GraphRecord* graph);
int G_D3D_FillGraphColor(GraphRecord* graph, int r, int g, int b, int a);
Surface3DRecord* GetSurface3DData(int handle);  // null for a refused handle
int EndUseSurface3DData(int handle);             // after every use of a looked-up record; 0
// Restores the lost texture of every live 3D surface (window activation); -1 without Direct3D.
int G_D3D_RestoreAllSurface3D(void);

// The Direct3D object around a lost device.
int G_D3D_ReleaseDirect3DObject(void);
int G_D3D_ObtainDirect3DObject(void);
void* G_D3D_GetDevice(void);  // the current device, or null

// Drawing. A graph is drawn as one textured quad per piece, queued in the vertex
// batch. Positions are ints with intFlag 1 (the geometry lies on whole pixels), else
// floats; the clip tests take floats truncated toward zero. x2 < x1 or y2 < y1 mirror
// a stretched draw.
int G_D3D_DrawGraph(DrawCoord x, DrawCoord y, GraphRecord* graph, int transparent, int intFlag);
int G_D3D_DrawGraphStretched(DrawCoord x1, DrawCoord y1, DrawCoord x2, DrawCoord y2, GraphRecord* graph,
                             int transparent, int intFlag);
// Corners top-left, top-right, bottom-left, bottom-right.
int G_D3D_DrawGraphToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                             GraphRecord* graph, int transparent);
int G_D3D_DrawGraphToCornersInt(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                                int transparent);
// Triangles (3 vertices each); whole 1 gives each pair of triangles the graph's whole
// texture rectangle; depth 1 uses the draw state's Z settings.
int G_D3D_DrawVertexList2D(const ScreenVertex* triangles, int triangleCount, GraphRecord* graph, int transparent,
                           int whole, int depth);
int G_D3D_DrawFilledRect(int x1, int y1, int x2, int y2, int color);
int G_D3D_DrawRectOutline(int x1, int y1, int x2, int y2, int color);
int G_D3D_DrawTextWithFontHandle(int x, int y, const char* text, int color, int font, int edgeColor, int vertical);
int G_D3D_GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphRecord* graph, int flag);
int G_D3D_ClearDrawTargetGraph(void);

// Draw state.
int G_D3D_SelectDrawTarget(int target, int previousTarget);
int G_D3D_SetDrawClipRect(const RECT* clip);  // negative on failure
int G_D3D_SetBlendModeParam(int mode, int parameter);
int G_D3D_SelectBlendGraph(GraphRecord* graph, int borderParam, int borderRange);
int G_D3D_SetBrightness(void);
int G_D3D_SetDrawFilterMode(int mode);
int G_D3D_SetWorldTransform(const Matrix4* matrix);
int G_D3D_SetViewTransform(const Matrix4* matrix);
int G_D3D_SetProjectionTransform(const Matrix4* matrix);
int G_D3D_FlushBeforeZWriteChange(int value, int unused);
int G_D3D_FlushBeforeZCompareChange(int value, int unused);

// The texture format the settings of these four flags select (colour bits 32 when
// is32Bit is set, else 16); null when the device offers none.
const ColorFormat* G_D3D_GetTextureColorFormat(int alphaChannel, int alphaTest, int is32Bit, int drawTarget);
const ColorFormat* G_D3D_GetTextureColorFormatForSettings(const SurfaceDataSettings* settings);

// The mask screen: the render target becomes the mask's save surface (1) or the draw
// target's surface again (0), then the viewport.
int G_D3D_SwitchMaskScreenTarget(int flag);
// Movies: copies the movie's frame buffer into every texture of a 3D graph.
int G_D3D_TransferMovieFrameToGraph(const MovieRecord* movie, GraphRecord* graph);
