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
