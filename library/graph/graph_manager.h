// graph_manager.h - starting and stopping graphics and the graph system.
//
// StartGraphicsDevice brings the display up once at library start-up (falling back
// to GDI output with the software renderer when the screen mode cannot be set).
// Every screen-mode change runs TermGraphManager and then InitGraphManager, which
// empties every table of graphs and surfaces and puts the draw state, the camera and
// the default font back to their start values; graph handles do not survive it.
#pragma once

#include "platform/wintypes.h"

int StartGraphicsDevice(HWND window);  // 0; ends the process when no display can start
int StopGraphicsDevice(void);          // 0
int InitGraphManager(void);            // 0; does nothing while started
int TermGraphManager(void);            // 0

// 1 between InitGraphManager and TermGraphManager; the walks over all graphs do
// nothing while it is 0.
int IsGraphManagerStarted(void);
// 1 when the hardware path has a Direct3D object (decided by InitGraphManager).
int IsDirect3DAvailable(void);
