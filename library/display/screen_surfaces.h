// screen_surfaces.h - the screens everything is drawn on.
//
// DirectDraw output: the primary surface with a back surface (a flip chain in full
// screen, an off-screen surface in a window), an optional front copy surface, two
// system-memory work surfaces with colour key 0 and a 16-bit Z buffer attached to the
// back surface (g_Screen holds them). GDI output: three software images, front, back
// and Z. The screen-mode change creates them after each display-mode change.
#pragma once

#include "library/softrender/memimg.h"

extern MEMIMG FrontMemImg;
extern MEMIMG BackMemImg;
extern MEMIMG ZBufferMemImg;

// 0; -1 when the Z buffer could not be made, or without an object while GDI output is
// off, or while a primary surface exists. Every other failure ends the process.
int CreateScreenSurfaces(void);
int ReleaseScreenSurfaces(void);  // 0; -1 without an object while GDI output is off
int RestoreScreenSurfaces(void);  // 0; -1 without an object
