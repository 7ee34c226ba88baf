// d3d_seams.cpp - stand-ins for the hardware 3D path until it is built; that work
// replaces this file. They answer as the path does on a machine without Direct3D:
// set-up fails, so the display runs without Direct3D (graphics start-up then falls
// back to GDI output), and there is never a batch to flush or a scene to end.
#include "library/d3d/d3d.h"

int G_D3D_SetupDirect3D(void) { return -1; }
int G_D3D_ShutdownDirect3D(void) { return 0; }
int G_D3D_FlushVertexBatch(void) { return -1; }
int G_D3D_EndScene(void) { return -1; }
