// triangle.h - the software triangle filler and the software 3D rasteriser.
#pragma once

#include <cstdint>

struct MEMIMG;
struct ScreenVertex;

// A vertex of the 2D triangle filler: position in destination pixels, texel position
// in the texture's pixels.
struct TexTriVertex {
    int32_t x, y;
    int32_t u, v;
};

// Fills the triangle into dest, clipped to the draw area, textured affinely from the
// vertices' (u, v) (point sampled; texels outside the texture are not drawn) or, without
// a texture, with fillColour (a pixel value in dest's format), under the draw state's
// blend mode, parameter and brightness. blendImage, an 8-bit image at least as large as
// the texture, weights each texel by the byte at its position. Any 32-bit vertex values
// are safe. The pixels' rules: triangle_fill_walk.h and triangle_fill_kernels.h.
void DrawTriangle2DOnMemImg(MEMIMG* dest, const MEMIMG* texture, const TexTriVertex vertices[3], int transparent,
                            const MEMIMG* blendImage, uint32_t fillColour);

// One perspective-correct triangle of transformed vertices into dest (16- or 32-bit,
// no palette, no alpha), textured from a texture of dest's kind (null: white), under
// the draw state's blend mode, parameter, brightness and draw area. zImage (null: no
// depth test) is tested with <= and written when zWrite is set; gouraud modulates by
// the vertex colours; zClip == 1 first cuts the triangle at depth 0 and 1 and draws
// the pieces Gouraud shaded, writing depth by zWriteClipped. Refusals are silent.
void DrawTriangle3DOnMemImg(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const ScreenVertex vertices[3],
                            int transparent, const MEMIMG* blendImage, int zWrite, int zWriteClipped, int gouraud,
                            int zClip);
