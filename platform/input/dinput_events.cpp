// dinput_events.cpp - SDL's events into the keyboard, mouse and IME state. See
// dinput_events.h.
#include "platform/input/dinput_events.h"

#include "platform/input/dinput_internal.h"
#include "platform/input/imm_internal.h"

bool TranslateInputSdlEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        DinputApplyKeyEvent(event.key.keysym.scancode, event.type == SDL_KEYDOWN);
        return false;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        DinputApplyMouseEvent(event);
        return false;
    case SDL_TEXTEDITING:
    case SDL_TEXTEDITING_EXT:
    case SDL_TEXTINPUT:
        return ImmTranslateSdlEvent(event);
    default:
        return false;
    }
}
