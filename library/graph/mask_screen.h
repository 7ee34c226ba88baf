// mask_screen.h - the mask screen that limits drawing to the pixels a byte mask allows.
#pragma once

struct IDirectDrawSurface7;
struct MEMIMG;

// The save image of the mask screen (software screens); drawing goes there while the
// mask is active.
MEMIMG* GetMaskScreenMemImg(void);
// The save surface of the mask screen (DirectDraw screens), or null.
IDirectDrawSurface7* GetMaskScreenSurface(void);
