// dinput_seams.h - test seams of the input groups (DirectInput, winmm joystick, IME):
// failing object creation and device calls, effects on controllers without haptics, and
// keys and IME text as SDL would report them.
//
//     DinputSeamFailCreation(7, DIERR_DEVICENOTREG);      // no version 7
//     DinputSeamFailDeviceCall(DinputCall::SetEventNotification, DinputDeviceKind::Keyboard, 1, E_FAIL);
//     DinputSeamSetKey(SDL_SCANCODE_Z, true);             // Z held (no window needed)
//     ... run the code under test ...
//     DinputSeamReset();
#pragma once

#include <SDL.h>

#include "platform/input/dinput.h"
#include "platform/input/dinput_internal.h"  // DinputCall, DinputDeviceKind
#include "platform/input/imm.h"
#include "platform/window/window.h"
#include "platform/input/winmm_joystick.h"

// Creating (CoCreateInstance) or initialising the object of version 7 or 8 fails with
// `error`, `count` times (-1: every time).
void DinputSeamFailCreation(int version, HRESULT error, int count = -1);
void DinputSeamFailInitialize(int version, HRESULT error, int count = -1);
// The next `count` calls (-1: every call) of one device method (CreateDevice and the
// calls after it) on devices of one kind fail with `error`.
void DinputSeamFailDeviceCall(DinputCall call, DinputDeviceKind device, int count, HRESULT error);

// Game controllers without haptics get effects that only keep whether they run.
void DinputSeamUseRecordingEffects(bool on);
// Effects alive and started (and not stopped since).
int DinputSeamRunningEffectCount(void);
bool DinputSeamEffectRunning(IDirectInputEffect* effect);

// A key pressed or released as SDL would report it, without a window.
void DinputSeamSetKey(SDL_Scancode scancode, bool down);
// SDL's editing text (UTF-8) with the cursor after `start` characters, queued for the
// window's next pump like the window seams' events.
void DinputSeamInjectEditing(const char* utf8, int start, HWND window);

// Objects, devices and effects alive.
int DinputSeamLiveObjectCount(void);

// Every fault cleared, recording effects off, every key up, no composition or result.
void DinputSeamReset(void);
