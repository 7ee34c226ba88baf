// mask_screen.h - the mask screen that limits drawing to the pixels a byte mask allows.
//
// The mask is one byte per screen pixel. While it is active every draw is bracketed:
// SaveMaskTargetArea copies the rectangle the draw may touch from the target into the
// save area (a MEMIMG on software screens, a colour-keyed off-screen surface on
// DirectDraw screens), the renderers draw into the save area (GetMaskScreenMemImg /
// GetMaskScreenSurface), and ApplyMaskToTargetArea writes the key colour into the save
// area where the mask byte is non-zero (reverse flag 0) or zero (reverse flag 1), then
// copies the save area back onto the target with the key colour transparent. So with
// the reverse flag 0 a pixel whose mask byte is non-zero keeps its old value and one
// whose byte is 0 takes the drawing; and a drawn pixel of exactly the key colour does
// not reach the target.
//
// Nothing in this program makes a mask: the operation that would fill the mask and set
// the created flag and the key colour is not part of it, so the mask is never active.
// What is here is the state, its deletion, its re-creation around a device loss, the
// switch and the two bracket steps. A maker of masks does, in this order:
//
//     g_MaskScreen.keyColor = key;      // a screen pixel value
//     CreateMaskScreen(1, 1);           // buffer (zeroed) and save area
//     g_MaskScreen.created = 1;
//     ... write the bytes of g_MaskScreen.buffer (pitch g_MaskScreen.pitch) ...
//     EnableMaskScreen(1);
#pragma once

#include <cstdint>

#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

struct IDirectDrawSurface7;
struct GraphImage;

struct MaskScreenState {
    int32_t saveIsMemImg;               // 1 while the save area is saveMemImg
    IDirectDrawSurface7* saveSurface;   // screen-sized, source colour key = keyColor; or null
    MEMIMG saveMemImg;                  // screen-sized, in the screen's format (software screens)
    uint8_t* buffer;                    // one byte per pixel, zeroed when made; or null
    int32_t pitch;                      // the screen width rounded up to a multiple of 4
    int32_t width;                      // the screen size the buffer and save area were made for
    int32_t height;
    uint32_t keyColor;                  // a screen pixel value
    int32_t created;
    int32_t reverse;                    // 1: the drawing shows where the mask byte is non-zero
};

extern MaskScreenState g_MaskScreen;

// Makes the buffer (when asked and missing) and the save area (when asked and missing)
// for the current screen size. 0; ends the process when the save area cannot be made.
int CreateMaskScreen(int makeBuffer, int makeSaveArea);
int DeleteMaskScreen(void);           // 0
int ReleaseMaskScreenObjects(void);   // 0: before a device reset; the created flag stays
int RecreateMaskScreenObjects(void);  // 0: after a device reset (the buffer comes back empty)
int EnableMaskScreen(int flag);       // -1 without a mask buffer, nothing changed
int IsMaskScreenEnabled(void);        // the mask-use flag
int IsMaskScreenCreated(void);        // 1 once a mask screen was made

// The save image of the mask screen (software screens; drawing goes there while the
// mask is active), or null when the save area is a surface or missing.
MEMIMG* GetMaskScreenMemImg(void);
// The save surface of the mask screen (DirectDraw screens), or null.
IDirectDrawSurface7* GetMaskScreenSurface(void);

// The two steps around a draw: exactly one of surface and image describes the target.
// Both return 0, doing nothing without a save area or for a rectangle that is empty
// once clipped to the draw area (and to the mask's size).
int SaveMaskTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, const GraphImage* image);
int ApplyMaskToTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, GraphImage* image);

// ---- Mask data ------------------------------------------------------------------------
//
// Handles of kind HandleKindMaskData (8) name inline records of a 512-entry table.
// Only deletion exists in this program.
enum { MaskDataCapacity = 512 };

struct MaskDataRecord {
    int32_t check;
    uint8_t* data;     // tracked allocation
    int32_t width;
    int32_t height;
    int32_t pitch;
    int32_t inUse;
    int32_t reserved;
};

extern MaskDataRecord MaskDataTable[MaskDataCapacity];

int DeleteMaskData(int handle);  // 0; -1 for a handle that is not a live mask-data handle
int DeleteAllMaskData(void);     // 0
