// d3d.h - what the rest of the library calls of the hardware 3D path: setting Direct3D
// up on the screen surfaces, shutting it down, and finishing the pending drawing before
// a present or a software draw.
#pragma once

#include <cstdint>

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
