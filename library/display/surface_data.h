// surface_data.h - surface data: the pixel storage (DirectDraw surface, texture or
// MEMIMG) behind 2D and 3D surfaces.
#pragma once

#include <cstdint>

#include "library/softrender/memimg.h"

struct IDirectDrawSurface7;

struct SurfaceDataSettings {
    uint8_t texture;
    uint8_t alphaChannel;
    uint8_t drawTarget;
    uint8_t systemMemory;
    uint8_t alphaTest;
    uint8_t colorBits;
    uint8_t memImg8;
    uint8_t paletteImage;
};

struct SurfaceDataRecord {
    int32_t checkNumber;
    int* lostFlag;
    SurfaceDataSettings settings;
    int32_t memImgFlag;         // 1 = the storage is the inline MEMIMGs
    int32_t formatIndex;
    int32_t depthWanted;
    IDirectDrawSurface7* surface;
    MEMIMG image;
    IDirectDrawSurface7* depthSurface;
    MEMIMG depthImage;
    uint32_t colorKey;          // 0x00RRGGBB
    uint16_t width, height;
    int32_t referenceCount;
    int32_t lockPitch;
    void* lockPointer;
    int32_t lockNesting;
};

SurfaceDataRecord* GetSurfaceDataRecord(int handle);
