// winmm_joystick.h - the multimedia joystick call: what a joystick id offers.
//
// Ids 0..15 stand for SDL's joysticks in SDL's order; an id past the last one answers
// JOYERR_UNPLUGGED. Axis ranges are 0..65535; Z, R, U and V follow the number of axes
// SDL reports (a game controller has six), the point of view its hats.
#pragma once

#include "platform/kernel/clock.h"  // MMRESULT
#include "platform/wintypes.h"

#define MMSYSERR_NOERROR 0u
#define MMSYSERR_NODRIVER 6u
#define MMSYSERR_INVALPARAM 11u
#define JOYERR_NOERROR 0u
#define JOYERR_PARMS 165u
#define JOYERR_UNPLUGGED 167u

#define JOYCAPS_HASZ 0x0001u
#define JOYCAPS_HASR 0x0002u
#define JOYCAPS_HASU 0x0004u
#define JOYCAPS_HASV 0x0008u
#define JOYCAPS_HASPOV 0x0010u
#define JOYCAPS_POV4DIR 0x0020u

struct JOYCAPSA {
    WORD wMid;
    WORD wPid;
    char szPname[32];  // Shift-JIS
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
    UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
    UINT wCaps;
    UINT wMaxAxes;
    UINT wNumAxes;
    UINT wMaxButtons;
    char szRegKey[32];
    char szOEMVxD[260];
};

// size must be sizeof(JOYCAPSA).
MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size);
