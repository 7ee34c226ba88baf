// imm_internal.h - the IME side of SDL's events, for the rest of the layer.
#pragma once

#include <SDL.h>

// Takes SDL's text-editing events and the text committed during a composition, and
// posts the IME messages for them (imm.h); true when the event is used up.
bool ImmTranslateSdlEvent(const SDL_Event& event);

// Starts or stops SDL's text input as the open status says (on the SDL thread; SDL
// starts it with every start of its video).
void ImmApplyOpenStatus(void);

// Drops the composition and every result not yet taken (test seams).
void ImmResetForTest(void);
