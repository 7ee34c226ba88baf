// d3d_seams.cpp - the hardware 3D path as a machine without Direct3D has it, until the
// Direct3D subsystem is built; that work replaces this file. Set-up fails, so the
// display runs without Direct3D (graphics start-up then falls back to GDI output),
// there is never a batch to flush or a scene to end, and no device offers texture or
// depth-buffer formats.
#include "library/d3d/d3d.h"

#include "library/display/surface_data.h"

int G_D3D_SetupDirect3D(void) { return -1; }
int G_D3D_ShutdownDirect3D(void) { return 0; }
int G_D3D_FlushVertexBatch(void) { return -1; }
int G_D3D_EndScene(void) { return -1; }

// The index follows from the settings alone: b = 1 for anything but 16 bits; draw
// targets 8 (with alpha) or 6 + b, alpha channel 2 + b, alpha test 4 + b, else b.
int G_D3D_GetTextureFormatIndex(const SurfaceDataSettings* settings) {
    const int wide = settings->colorBits != 16 ? 1 : 0;
    if (settings->drawTarget) return settings->alphaChannel || settings->alphaTest ? 8 : 6 + wide;
    if (settings->alphaChannel) return 2 + wide;
    if (settings->alphaTest) return 4 + wide;
    return wide;
}
const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int) { return nullptr; }
const ColorFormat* G_D3D_GetTextureColorFormatByIndex(int) { return nullptr; }
const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat(int) { return nullptr; }

// Graphs and drawing: no Direct3D object exists, so no graph is ever made of textures
// (the graph manager reads DeleteAllSurface3DData's -1 as "no Direct3D") and the
// drawing calls that only the hardware path serves refuse. The settings calls the draw
// state makes in every case have nothing to pass on.
int DeleteAllSurface3DData(void) { return -1; }
int G_D3D_CreateGraphSurface3D(GraphRecord*) { return -1; }
int G_D3D_CreateSubGraphSurface3D(GraphRecord*, int, int, int, int, const GraphRecord*) { return -1; }
int G_D3D_DeleteGraphSurface3D(GraphRecord*) { return -1; }
int G_D3D_BltImageToGraph(const void*, int, int, int, int, GraphRecord*, int, const GraphImage*, const GraphImage*) {
    return -1;
}
int G_D3D_BltImageRectToGraph(const RECT*, int, int, GraphRecord*, const GraphImage*, const GraphImage*) { return -1; }
int G_D3D_RestoreGraphSurface3D(GraphRecord*) { return -1; }
Surface3DRecord* GetSurface3DData(int) { return nullptr; }
int EndUseSurface3DData(int) { return 0; }

int G_D3D_ReleaseDirect3DObject(void) { return 0; }
int G_D3D_ObtainDirect3DObject(void) { return -1; }
void* G_D3D_GetDevice(void) { return nullptr; }

int G_D3D_DrawGraph(int, int, GraphRecord*, int, int) { return -1; }
int G_D3D_DrawGraphStretched(int, int, int, int, GraphRecord*, int, int) { return -1; }
int G_D3D_DrawGraphToCorners(float, float, float, float, float, float, float, float, GraphRecord*, int) { return -1; }
int G_D3D_DrawVertexList2D(const ScreenVertex*, int, GraphRecord*, int, int, int) { return -1; }
int G_D3D_FillGraphColor(GraphRecord*, int, int, int, int) { return -1; }
int G_D3D_DrawFilledRect(int, int, int, int, int) { return -1; }
int G_D3D_DrawRectOutline(int, int, int, int, int) { return -1; }
int G_D3D_DrawTextWithFontHandle(int, int, const char*, int, int, int, int) { return -1; }
int G_D3D_GetDrawScreenGraph(int, int, int, int, GraphRecord*, int) { return -1; }
int G_D3D_ClearDrawTargetGraph(void) { return -1; }

int G_D3D_SelectDrawTarget(int, int) { return -1; }
int G_D3D_SetDrawClipRect(const RECT*) { return -1; }
int G_D3D_SetBlendModeParam(int, int) { return 0; }
int G_D3D_SelectBlendGraph(GraphRecord*, int, int) { return 0; }
int G_D3D_SetBrightness(void) { return 0; }
int G_D3D_SetDrawFilterMode(int) { return 0; }
int G_D3D_SetWorldTransform(const Matrix4*) { return -1; }
int G_D3D_SetViewTransform(const Matrix4*) { return -1; }
int G_D3D_SetProjectionTransform(const Matrix4*) { return -1; }
int G_D3D_FlushBeforeZWriteChange(int, int) { return 0; }
int G_D3D_FlushBeforeZCompareChange(int, int) { return 0; }
const ColorFormat* G_D3D_GetTextureColorFormat(int, int, int, int) { return nullptr; }

// Without Direct3D there is no render target to switch and no 3D graph to fill.
int G_D3D_SwitchMaskScreenTarget(int) { return -1; }
int G_D3D_TransferMovieFrameToGraph(const MovieRecord*, GraphRecord*) { return -1; }
