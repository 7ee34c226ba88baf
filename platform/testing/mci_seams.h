// mci_seams.h - test seams of the MIDI sequencer (mci.h): the soundfont it looks for,
// rendering on request instead of an audio device, and the devices open.
//
//     MciSeamUseManualOutput(true);
//     ... open and play a MIDI file ...
//     MciSeamRender(device, 44100);   // one second; posts MM_MCINOTIFY at the end
//     MciSeamReset();
#pragma once

#include <cstdint>
#include <vector>

#include "platform/mci.h"

// A soundfont path used instead of the system's; a path that does not exist makes every
// open fail as on a system without one. Null restores the search.
void MciSeamSetSoundFont(const char* path);
void MciSeamUseManualOutput(bool on);
bool MciSeamRender(MCIDEVICEID device, int frames, std::vector<int16_t>* out = nullptr);
int MciSeamOpenDeviceCount(void);
void MciSeamReset(void);
