// input.h - what the rest of the library calls of input: start-up and shutdown, the key
// test behind CheckKeyDown, and the hooks of the window procedure and the message pump.
//
// Start-up calls SetupDirectInput once the main window exists and InitCharCodeBuffer
// after graphics; shutdown calls DeleteAllTextEntryHandles and ShutdownDirectInput. The
// window procedure feeds typed characters and editing keys into the character ring and
// hands the IME messages over; the pump runs the pad-effect timers and the text entry
// once per pass. Everything runs under the ApiLock (the window procedure on the main
// thread, inside the pump).
//
//     if (SetupDirectInput() == -1) return FailStartUp();  // 1 (no keyboard event) is no failure
//     ...
//     int down = CheckKeyDownCore(44);                       // Z, by DirectInput key code
#pragma once

#include "platform/window/window.h"

// ---- Keyboard and DirectInput ---------------------------------------------------------
// 0 when set up (or already), 1 when the keyboard's event could not be registered (the
// keyboard is then read without it); failures of the devices end the process.
int SetupDirectInput(void);
// Releases the pads, keyboard, mouse and object; 0.
int ShutdownDirectInput(void);
// 1 while the key (a DirectInput key code 0..255) is down, else 0. Waits while the
// application is inactive; sets input up when it is not (and then reports the key up);
// a code outside 0..255 is up.
int CheckKeyDownCore(int code);
// The window procedure's private messages 0x46F and 0x470 (wParam 1 sets, else clears).
int SetInputMessageFlag1(void);
int ClearInputMessageFlag1(void);
int SetInputMessageFlag2(void);
int ClearInputMessageFlag2(void);

// ---- Joypads ------------------------------------------------------------------------------
// On activation changes: the pads re-open exclusive in the foreground while active, else
// non-exclusive in the background; the keyboard is acquired again.
int ReacquireInputDevices(void);
// Starts or stops each pad's force-feedback effects to match the activity.
int ApplyPadEffectStates(void);
// Per pump pass: runs the effect durations, then ApplyPadEffectStates.
int UpdatePadEffectTimers(void);

// ---- Character input, text entry and IME ------------------------------------------------
// Clears the character ring, the IME state and the text-entry fields; the display colours
// and the 500 ms cursor blink are set again.
int InitCharCodeBuffer(void);
// Appends one byte to the character ring: 0, or -1 when it does not fit. The trail byte
// of a two-byte character goes in only together with its lead byte: a lead byte that
// finds fewer than two free slots is refused and its trail byte dropped after it.
int PushCharCode(int code);
// 1 while the ring has a free slot.
int CheckCharCodeRoom(void);
// The ring's code of an editing key (VK_DELETE 0x10, VK_LEFT 0x1D, VK_RIGHT 0x1C,
// VK_UP 0x1E, VK_DOWN 0x1F), 0 for any other virtual key.
int EditKeyCharCode(WPARAM virtualKey);
// The IME messages WM_IME_STARTCOMPOSITION, WM_IME_ENDCOMPOSITION, WM_IME_COMPOSITION,
// WM_IME_SETCONTEXT and WM_IME_NOTIFY; returns the window procedure's result.
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// On re-activation: when the IME was enabled and open, its composition is restored by
// the next ProcessTextEntry.
int StartImeRestoreIfWasInUse(void);
// Per pump pass (under the pump's re-entrancy guard): the IME restore, then the ring
// into the active text-entry field. 0, or -1 when the active handle is stale.
int ProcessTextEntry(void);
// Deletes every text-entry field (shutdown).
int DeleteAllTextEntryHandles(void);
