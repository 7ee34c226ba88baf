// surface2d.h - 2D surfaces: the rectangles of surface data that hold a graph's pixels
// on the DirectDraw and software paths, and the whole table as the display start-up,
// mode change and device-loss handling use it.
#pragma once

#include <cstdint>

struct Surface2DRecord {
    int32_t checkNumber;
    int* lostFlag;
    uint16_t xInGraph, yInGraph;
    uint16_t sourceX, sourceY;  // top-left inside the surface data
    uint16_t width, height;
    int32_t owner;              // graph handle, or -1
    int32_t surfaceData;        // SurfaceDataHandle
};

Surface2DRecord* GetSurface2DRecord(int handle);
Surface2DRecord* LookupSurface2D(int handle);  // the same lookup; null when refused
int EndSurface2DAccess(void);
int DrawSurface2D(int x, int y, int handle, int transparent);

int DeleteAllSurface2D(void);           // 0, or -1 before display start-up
int RestoreAllSurface2D(void);          // 0, or -1 when a surface was lost (or before start-up)
int ReleaseAllSurface2DStorage(void);   // 0: the DirectDraw storage behind every live 2D surface
int RecreateAllSurface2DStorage(void);  // 0: storage and colour key of every live 2D surface again
