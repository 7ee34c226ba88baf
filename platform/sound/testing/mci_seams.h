// mci_seams.h - test seams of the MIDI sequencer (mci.h): the soundfont it looks for,
// and the devices open. A device plays in the DirectSound output, so a test hears it
// (and reaches its end) by mixing that output (DsoundSeamMix, dsound_seams.h).
#pragma once

// A soundfont path used instead of the system's, by MCI and DirectMusic alike; a path
// that does not exist makes them fail as on a system without one. Null restores the
// search.
void MciSeamSetSoundFont(const char* path);
int MciSeamOpenDeviceCount(void);
void MciSeamReset(void);
