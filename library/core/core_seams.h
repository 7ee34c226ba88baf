// core_seams.h - routines of the library core that this part of the core calls but
// that are built with the main window, start-up and menus. Their stand-ins live in
// core_seams.cpp until those land; then both files go and these declarations move
// to the headers of their owners.
#pragma once

// Library shutdown (start-up and shutdown); the fatal exit runs it.
int ShutdownLibraryCore(void);

// Height of the toolbar window, 0 without a toolbar (menus and toolbar).
int GetToolbarHeight(void);

// 1 while a menu is attached to the main window (menus and toolbar).
int CheckMenuInUse(void);

// The message pump (message pump and upkeep thread): -1 once the program must end, else 0.
int ProcessMessageCore(void);
// Waits while the application is inactive (message pump and upkeep thread).
void WaitWhileInactive(void);
