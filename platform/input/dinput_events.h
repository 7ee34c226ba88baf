// dinput_events.h - SDL's events into the input groups.
//
// The window group calls this for every SDL event it translates, on the thread that pumps
// SDL, before it makes window messages of the event. Keys keep the DirectInput keyboard
// and GetKeyboardState current (dinput.h), the mouse the DirectInput mouse, and text
// editing the IME composition (imm.h).
#pragma once

#include <SDL.h>

// True when the event is used up here (text editing, and text committed during a
// composition): the window group makes no message of it.
bool TranslateInputSdlEvent(const SDL_Event& event);
