// triangle_seams.cpp - stand-in for the software triangle filler until it is built;
// that work replaces this file. It draws nothing.
#include "library/softrender/triangle.h"

void DrawTriangle2DOnMemImg(MEMIMG*, const MEMIMG*, const TexTriVertex[3], int, const MEMIMG*, uint32_t) {}
