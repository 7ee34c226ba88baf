// mci.h - the MCI calls the library makes: a MIDI sequencer device opened on a file,
// played with a notification to a window, and closed.
//
//     MCI_OPEN_PARMSA open{}; open.lpstrDeviceType = "sequencer"; open.lpstrElementName = path;
//     mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, (uintptr_t)&open);
//     MCI_PLAY_PARMS play{}; play.dwCallback = (uintptr_t)window;
//     mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY | MCI_FROM, (uintptr_t)&play);
//     ... MM_MCINOTIFY (wParam MCI_NOTIFY_SUCCESSFUL, lParam the device) once it ends ...
//     mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
//
// Behind it: FluidSynth plays the standard MIDI file with the General MIDI soundfont of
// the system (the first of the usual Debian soundfont paths that exists), mixed into
// the output of the DirectSound object (dsound.h), which must be initialised first.
// Without a soundfont, a synthesizer or a DirectSound output the open fails with
// MCIERR_SEQ_NOMIDIPRESENT; a file FluidSynth cannot read fails with
// MCIERR_INVALID_FILE. A play that ends posts MM_MCINOTIFY with MCI_NOTIFY_SUCCESSFUL;
// a play cut short by another play posts MCI_NOTIFY_SUPERSEDED, by a stop or a close
// MCI_NOTIFY_ABORTED. The notification's lParam is the device.
#pragma once

#include "platform/wintypes.h"

using MCIERROR = DWORD;
using MCIDEVICEID = UINT;

#define MCI_OPEN 0x0803u
#define MCI_CLOSE 0x0804u
#define MCI_PLAY 0x0806u
#define MCI_STOP 0x0808u

#define MCI_NOTIFY 0x00000001u
#define MCI_WAIT 0x00000002u
#define MCI_FROM 0x00000004u
#define MCI_TO 0x00000008u
#define MCI_OPEN_ELEMENT 0x00000200u
#define MCI_OPEN_TYPE 0x00002000u

#define MCI_NOTIFY_SUCCESSFUL 0x0001u
#define MCI_NOTIFY_SUPERSEDED 0x0002u
#define MCI_NOTIFY_ABORTED 0x0004u
#define MCI_NOTIFY_FAILURE 0x0008u

#define MCIERR_BASE 256u
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_UNRECOGNIZED_COMMAND (MCIERR_BASE + 5)
#define MCIERR_MISSING_PARAMETER (MCIERR_BASE + 161)
#define MCIERR_FILE_NOT_FOUND (MCIERR_BASE + 19)
#define MCIERR_INVALID_FILE (MCIERR_BASE + 40)
#define MCIERR_DEVICE_TYPE_REQUIRED (MCIERR_BASE + 31)
#define MCIERR_SEQ_NOMIDIPRESENT (MCIERR_BASE + 87)

#ifndef MM_MCINOTIFY
#define MM_MCINOTIFY 0x03B9
#endif

struct MCI_OPEN_PARMSA {
    uintptr_t dwCallback;
    MCIDEVICEID wDeviceID;
    const char* lpstrDeviceType;
    const char* lpstrElementName;
    const char* lpstrAlias;
};

struct MCI_PLAY_PARMS {
    uintptr_t dwCallback;  // the window that gets MM_MCINOTIFY
    DWORD dwFrom;          // milliseconds; only 0 (the start) is taken
    DWORD dwTo;
};

// 0 on success, an MCIERR_ value on failure.
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, uintptr_t flags, uintptr_t params);
