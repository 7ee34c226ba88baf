// core_seams.h - routines of the library core that this part of the core calls but
// that are built with the main window, start-up and menus. Their stand-ins live in
// core_seams.cpp until those land; then both files go and these declarations move
// to the headers of their owners.
#pragma once

// Library shutdown (start-up and shutdown); the fatal exit runs it.
int ShutdownLibraryCore(void);

// Height of the toolbar window, 0 without a toolbar (menus and toolbar).
int GetToolbarHeight(void);
