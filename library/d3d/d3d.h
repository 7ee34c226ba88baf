// d3d.h - the hardware 3D path as the display side calls it: setting Direct3D up on
// the screen surfaces, shutting it down, and finishing the pending drawing before a
// present or a software draw.
#pragma once

int G_D3D_SetupDirect3D(void);     // negative when Direct3D cannot be set up
int G_D3D_ShutdownDirect3D(void);  // result not used
int G_D3D_FlushVertexBatch(void);  // -1 without Direct3D or a device, else 0
int G_D3D_EndScene(void);          // result not used
