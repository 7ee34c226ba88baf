// mask_screen.h - the mask screen that limits drawing to the pixels a byte mask allows.
#pragma once

struct MEMIMG;

// The save image of the mask screen (software screens); drawing goes there while the
// mask is active.
MEMIMG* GetMaskScreenMemImg(void);
