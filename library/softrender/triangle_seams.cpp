// triangle_seams.cpp - stand-in for the software 3D rasteriser until it is built; that
// work replaces this file. It draws nothing.
#include "library/softrender/triangle.h"

void DrawTriangle3DOnMemImg(MEMIMG*, MEMIMG*, const MEMIMG*, const ScreenVertex[3], int, const MEMIMG*, int, int,
                            int, int) {}
