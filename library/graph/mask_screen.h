// mask_screen.h - the mask screen that limits drawing to the pixels a byte mask allows.
//
// Nothing in this program creates a mask screen; until the mask screen is built the
// routines in graph_seams.cpp describe a library without one.
#pragma once

#include "platform/wintypes.h"

struct IDirectDrawSurface7;
struct MEMIMG;
struct GraphImage;

int DeleteMaskScreen(void);           // 0
int DeleteAllMaskData(void);          // 0
int ReleaseMaskScreenObjects(void);   // 0: before a device reset
int RecreateMaskScreenObjects(void);  // 0: after a device reset
int EnableMaskScreen(int flag);       // -1 without a mask buffer, nothing changed
int IsMaskScreenEnabled(void);        // the mask-use flag
int IsMaskScreenCreated(void);        // 1 once a mask screen was made

// The save image of the mask screen (software screens); drawing goes there while the
// mask is active.
MEMIMG* GetMaskScreenMemImg(void);
// The save surface of the mask screen (DirectDraw screens), or null.
IDirectDrawSurface7* GetMaskScreenSurface(void);

// The two steps around a draw: exactly one of surface and image describes the target.
int SaveMaskTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, const GraphImage* image);
int ApplyMaskToTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, GraphImage* image);
