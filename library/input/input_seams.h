// input_seams.h - the input routines that start-up, shutdown, the window procedure
// and the pump call before the input subsystem is built. Stand-ins in
// input_seams.cpp; the input subsystem replaces both files with its own headers.
#pragma once

#include "platform/window.h"

int SetupDirectInput(void);          // 0 when input is ready, -1 fails start-up
int ShutdownDirectInput(void);
int InitCharCodeBuffer(void);        // clears the character input state
int ProcessTextEntry(void);          // per frame
int UpdatePadEffectTimers(void);     // per frame
int PushCharCode(int code);          // -1 when the character ring is full
int CheckCharCodeRoom(void);         // 1 while the ring can take one more code
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int ReacquireInputDevices(void);
int ApplyPadEffectStates(void);
int SetInputMessageFlag1(void);
int ClearInputMessageFlag1(void);
int SetInputMessageFlag2(void);
int ClearInputMessageFlag2(void);
int DeleteAllTextEntryHandles(void);
// On activation: when the IME was in use at deactivation, starts its restore sequence.
int StartImeRestoreIfWasInUse(void);
int CheckKeyDownCore(int scanCode);  // 1 down, 0 up
