// display_device.h - the display device: start-up and shutdown of the DirectDraw
// object with its clipper and palette, and its release and re-creation around a lost
// device.
//
// StartDirectDrawSystem brings the whole display side up in order: the object, the
// clipper (DirectDraw output only), the first screen-mode change (display mode,
// screens, Direct3D, graph management, default font), the overlay probe and the blend
// tables. A failed screen-mode change shuts everything down again and returns -1, so
// graphics start-up can fall back to GDI output once. EndDirectDrawSystem undoes it.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct IDirectDraw7;
struct IDirectDrawClipper;

// The window the clipper and cooperative level are bound to (graphics start-up's).
int SetGraphicsWindow(HWND window);
HWND GetGraphicsWindow(void);

int StartDirectDrawSystem(void);  // 0; -1 when the object exists or the mode change failed
int EndDirectDrawSystem(void);    // 0

int CreateDirectDrawObject(IDirectDraw7** object);  // 0 / -1
int CreateScreenClipper(IDirectDraw7* object, IDirectDrawClipper** clipper, HWND window);  // 0 / -1
int CreateScreenPalette(void);   // 0; an 8-bit screen gets its palette
int ReleaseScreenPalette(void);  // 0

// Around a lost device: release the object and everything that hangs on it, then
// build it all again (every failure of the re-creation is fatal).
int FreeDirectDrawObject(void);       // 0
int RecreateDirectDrawObjects(void);  // 0
int FreeScreenClipper(void);          // 0
int RecreateScreenClipper(void);      // 0
int RecreateScreenPalette(void);      // 0

// The palette of a new 8-bit screen: 256 RGB triples from black to white.
extern const uint8_t DefaultScreenPalette[256][3];
