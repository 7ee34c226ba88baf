// soft_target.h - where the software draw routines draw: the checks every one of them
// starts with and the image of the current target.
#pragma once

struct MEMIMG;

// 0 while the target is unusable, or when there is neither GDI output nor a DirectDraw
// object; else 1.
int CanDrawSoft(void);
// 1 when the software renderer draws straight into software images (software
// renderer on, screen depth not 8).
int IsSoftwareScreen(void);
// The mask screen's image while the mask is active, else the draw target's image
// (either may be null).
MEMIMG* CurrentSoftTarget(void);
