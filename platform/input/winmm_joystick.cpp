// winmm_joystick.cpp - joyGetDevCapsA over SDL's joysticks. See winmm_joystick.h.
#include "platform/input/winmm_joystick.h"

#include <SDL.h>

#include <algorithm>

#include "platform/input/dinput_internal.h"

enum { JoystickIdCount = 16 };

// Fills the record from an open joystick.
static void DescribeJoystick(SDL_Joystick* stick, bool pad, JOYCAPSA* caps) {
    *caps = JOYCAPSA{};
    caps->wMid = SDL_JoystickGetVendor(stick);
    caps->wPid = SDL_JoystickGetProduct(stick);
    DinputCopyName(caps->szPname, sizeof caps->szPname, SDL_JoystickName(stick));
    UINT axes = static_cast<UINT>(pad ? 6 : std::clamp(SDL_JoystickNumAxes(stick), 0, 6));
    UINT buttons = static_cast<UINT>(pad ? 17 : std::clamp(SDL_JoystickNumButtons(stick), 0, 32));
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = caps->wMaxButtons = buttons;
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    caps->wNumAxes = axes;
    caps->wMaxAxes = 6;
    static constexpr UINT AxisCaps[] = {JOYCAPS_HASZ, JOYCAPS_HASR, JOYCAPS_HASU, JOYCAPS_HASV};
    for (UINT a = 3; a <= axes && a < 7; ++a) caps->wCaps |= AxisCaps[a - 3];
    if (pad || SDL_JoystickNumHats(stick) > 0) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR;
}

MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size) {
    if (caps == nullptr || size != sizeof(JOYCAPSA)) return MMSYSERR_INVALPARAM;
    if (id >= JoystickIdCount) return JOYERR_PARMS;
    SdlCallScope sdl;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return MMSYSERR_NODRIVER;
    MMRESULT result = JOYERR_UNPLUGGED;
    int index = static_cast<int>(id);
    if (index < SDL_NumJoysticks()) {
        bool pad = SDL_IsGameController(index) == SDL_TRUE;
        if (SDL_Joystick* stick = SDL_JoystickOpen(index)) {
            DescribeJoystick(stick, pad, caps);
            SDL_JoystickClose(stick);
            result = JOYERR_NOERROR;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    return result;
}
