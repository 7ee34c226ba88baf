// sound.h - what the library core needs of the sound subsystem: start-up, shutdown,
// the per-frame upkeep and the MIDI notification.
#pragma once

#include <cstdint>

int SetupDirectSound(void);        // start-up ignores the result
int ShutdownDirectSound(void);     // deletes every sound and music handle
int ReleaseKeptSoundHandle(void);  // the one handle kept in a global slot, at shutdown
int RefillAllStreamSounds(void);   // per frame
int UpdateMusicPlayFlags(void);    // per frame
// Replays a looping MIDI piece from its start or closes the device.
int HandleMciPlayNotify(void);
// MM_MCINOTIFY (0x3B9) with its result flags and device: the end of the current
// device's play goes to HandleMciPlayNotify; the notification of a device closed
// since, or of a play cut short (aborted, superseded), is ignored.
int HandleMciNotifyMessage(uintptr_t flags, intptr_t device);

#define MM_MCINOTIFY 0x03B9
