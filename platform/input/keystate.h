// keystate.h - the asynchronous key state of the window group (user32's GetAsyncKeyState).
//
// Bit 15 of the result is set while the key is down. Only the modifier keys the library
// asks about are known: VK_SHIFT, VK_CONTROL and VK_MENU (Alt), read from SDL's modifier
// state while SDL's video is up; headless, no key is ever down. Tests can hold a key
// down through platform/input/testing/keystate_seams.h.
#pragma once

#include <cstdint>

using SHORT = int16_t;

SHORT GetAsyncKeyState(int virtualKey);

// For the test seams: a key held down whatever SDL says.
void SetKeyHeldOverride(int virtualKey, bool down);
