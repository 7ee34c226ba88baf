// sound.h - what the library core needs of the sound subsystem: start-up, shutdown,
// the per-frame upkeep and the MIDI notification.
#pragma once

#include "platform/window.h"

int SetupDirectSound(void);        // start-up ignores the result
int ShutdownDirectSound(void);     // deletes every sound and music handle
int ReleaseKeptSoundHandle(void);  // the one handle kept in a global slot, at shutdown
int RefillAllStreamSounds(void);   // per frame
int UpdateMusicPlayFlags(void);    // per frame
// MM_MCINOTIFY (0x3B9): replays a looping MIDI piece or closes the device.
int HandleMciPlayNotify(HWND window, WPARAM wParam, LPARAM lParam);

#define MM_MCINOTIFY 0x03B9
