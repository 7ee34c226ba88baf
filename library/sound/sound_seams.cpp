// sound_seams.cpp - the sound subsystem's start, stop and upkeep on a library that
// has no sound yet: nothing starts, so set-up fails (start-up goes on without sound)
// and the upkeep has no buffer to refill. The sound subsystem replaces this file.
#include "library/sound/sound.h"

int SetupDirectSound(void) { return -1; }
int ShutdownDirectSound(void) { return 0; }
int ReleaseKeptSoundHandle(void) { return 0; }
int RefillAllStreamSounds(void) { return 0; }
int UpdateMusicPlayFlags(void) { return 0; }
int HandleMciPlayNotify(HWND, WPARAM, LPARAM) { return 0; }
