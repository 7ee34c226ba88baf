// d3d_seams.cpp - stand-ins for the hardware 3D path until it is built; that work
// replaces this file. They answer as the path does on a machine without Direct3D.
#include "library/d3d/d3d.h"

int G_D3D_FlushVertexBatch(void) { return -1; }

int G_D3D_EndScene(void) { return -1; }
