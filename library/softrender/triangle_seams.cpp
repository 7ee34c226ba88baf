// triangle_seams.cpp - stand-ins for the software triangle filler and the software 3D
// rasteriser until they are built; that work replaces this file. They draw nothing.
#include "library/softrender/triangle.h"

void DrawTriangle2DOnMemImg(MEMIMG*, const MEMIMG*, const TexTriVertex[3], int, const MEMIMG*, uint32_t) {}

void DrawTriangle3DOnMemImg(MEMIMG*, MEMIMG*, const MEMIMG*, const ScreenVertex[3], int, const MEMIMG*, int, int,
                            int, int) {}
