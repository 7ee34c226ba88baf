// surface_data.h - surface data: the pixel storage behind 2D and 3D surfaces.
//
// A surface data is one DirectDraw off-screen surface, one Direct3D texture surface or
// one software image (MEMIMG), optionally with a 16-bit depth buffer. Pieces (2D and
// 3D surfaces) name a rectangle of it and share it by reference count:
//
//     int data = AddSurfaceData(1, 64, 32, 0x000000, &settings);   // storage made here
//     IncSurfaceDataRef(data);                                      // a second piece
//     if (DecSurfaceDataRef(data) == 0) DeleteSurfaceData(data);    // the last one drops it
//
// The storage kind follows the settings: a texture when the texture byte is 1, else a
// MEMIMG when the memory-image flag is 1 (system memory, or the software renderer),
// else an off-screen surface in the display's format. Around a device loss the storage
// is released and re-created in place; handle, settings, size, colour key and the
// depth-buffer wish survive, the pixels do not.
//
// Locks nest: the first LockSurfaceData locks, later ones return -2 with the pointer of
// the rectangle they ask for (inside the outermost one); only the last unlock unlocks.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"
#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

struct ColorFormat;
struct IDirectDrawSurface7;

enum { SurfaceDataCapacity = 65536 };

// Format index of a record: 0-8 a texture format, 9 an off-screen surface, 10-13 a MEMIMG.
enum {
    SurfaceDataFormatOffscreen = 9,
    SurfaceDataFormatMemImg16 = 10,
    SurfaceDataFormatMemImg16Alpha = 11,
    SurfaceDataFormatMemImg32 = 12,
    SurfaceDataFormatMemImg32Alpha = 13,
};

// What a creator asks of its storage, one flag or value per byte.
struct SurfaceDataSettings {
    uint8_t texture;       // a Direct3D texture surface
    uint8_t alphaChannel;
    uint8_t drawTarget;    // the image can be a draw target
    uint8_t systemMemory;
    uint8_t alphaTest;     // a texture with a 1-bit alpha for transparency
    uint8_t colorBits;     // 8, 16 or 32
    uint8_t memImg8;       // an 8-bit MEMIMG
    uint8_t paletteImage;  // the MEMIMG has a palette
};
static_assert(sizeof(SurfaceDataSettings) == 8, "SurfaceDataSettings is 8 bytes");

struct SurfaceDataRecord {
    HandleRecordHead head;         // check number; lost flag written 1 on delete
    SurfaceDataSettings settings;  // normalised at creation
    int32_t memImgFlag;            // 1 = the storage is the inline MEMIMGs
    int32_t formatIndex;
    int32_t depthWanted;           // a depth buffer is attached (or wanted)
    IDirectDrawSurface7* surface;  // the DirectDraw storage; null for MEMIMG storage or when released
    MEMIMG image;
    IDirectDrawSurface7* depthSurface;
    MEMIMG depthImage;
    uint32_t colorKey;             // 0x00RRGGBB
    uint16_t width, height;
    int32_t referenceCount;
    int32_t lockPitch;             // of the outermost lock
    uint8_t* lockPointer;          // pixel of the outermost lock's top-left corner
    int32_t lockNesting;           // 0 = not locked
    RECT lockRect;                 // the outermost lock's rectangle (the whole storage when none was given)
};

extern HandleTable SurfaceDataTable;

// 1 when the display has started (a DirectDraw object exists, or output goes
// through GDI); the surface tables refuse most work before that.
int IsDisplayStarted(void);

// Table. AddSurfaceData makes the record with its storage and colour key; -1 after a
// log line when it cannot.
int AddSurfaceData(int referenceCount, int width, int height, uint32_t colorKey, const SurfaceDataSettings* settings);
int DeleteSurfaceData(int handle);     // 0, or -1 for a refused handle
int IncSurfaceDataRef(int handle);     // the new count, or -1
int DecSurfaceDataRef(int handle);     // the new count, or -1; deleting at 0 is the caller's step
SurfaceDataRecord* GetSurfaceDataRecord(int handle);

// Storage around a device change; creating existing storage does nothing.
int CreateSurfaceDataStorage(int handle);
int ReleaseSurfaceDataStorage(int handle);
int CreateSurfaceDataZBuffer(int handle, int wanted);
int SetSurfaceDataColorKey(int handle);
int RestoreLostSurfaceData(int handle);  // -1 when the surface was lost (and is restored), else 0

// pitch and pixels receive the rectangle's top-left pixel (rect null: the whole
// storage); format, when given, receives the storage's ColorFormat. 0, -2 for a nested
// lock, -1 on failure.
int LockSurfaceData(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect, ColorFormat* format);
int UnlockSurfaceData(int handle, const RECT* rect);

// Fills the whole storage with the colour; 0 or -1.
int FillSurfaceDataColor(int handle, int r, int g, int b, int a);

// The ColorFormat of the record's pixels (texture format, image format or the screen's);
// null for a texture format the Direct3D path does not know.
const ColorFormat* SurfaceDataColorFormat(const SurfaceDataRecord* record);
