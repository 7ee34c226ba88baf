// sound.h - what the library core needs of the sound subsystem: start-up, shutdown,
// the per-frame upkeep and the MIDI notification.
#pragma once

int SetupDirectSound(void);        // start-up ignores the result
int ShutdownDirectSound(void);     // deletes every sound and music handle
int ReleaseKeptSoundHandle(void);  // the one handle kept in a global slot, at shutdown
int RefillAllStreamSounds(void);   // per frame
int UpdateMusicPlayFlags(void);    // per frame
// MM_MCINOTIFY (0x3B9), whatever its parameters: replays a looping MIDI piece from its
// start or closes the device.
int HandleMciPlayNotify(void);

#define MM_MCINOTIFY 0x03B9
