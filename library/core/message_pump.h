// message_pump.h - the library's message pump and the thread that keeps it running.
//
// ProcessMessageCore dispatches the calling thread's window messages in passes of at
// most five, blocks while the application is inactive, and then runs the per-frame
// upkeep (sound streams, pad effects, network, HTTP, text entry). The game calls it
// once per frame through ProcessMessage; ProcessMessageThreadProc calls it every
// 17 ms so the upkeep goes on while the game is busy. Both run under the ApiLock.
#pragma once

#include "platform/wintypes.h"

int ProcessMessageCore(void);  // -1 when the program must end, else 0
// Returns at once while painting or active; otherwise pumps until the application is
// active again (or the window is gone) and restores the graph surfaces.
void WaitWhileInactive(void);
DWORD ProcessMessageThreadProc(void* parameter);

// Starts the pump thread (end of the window step); logs when it cannot.
void StartMessagePumpThread(void);
// Sets the quit flag and waits until the pump thread has ended.
void StopMessagePumpThread(void);

// For the tests: passes made by the main thread's pumps, and upkeep steps run by the
// pump thread (each counted only when it ran under the ApiLock).
long GetMessagePumpPassCount(void);
long GetPumpThreadUpkeepCount(void);
