// Test seams of the MIDI sequencer (see mci_seams.h).
#include "platform/sound/testing/mci_seams.h"

#include "platform/sound/mci_hooks.h"

void MciSeamSetSoundFont(const char* path) { MciHooksRecord().soundFont = path; }
int MciSeamOpenDeviceCount(void) { return MciOpenDeviceCount(); }
void MciSeamReset(void) { MciHooksRecord() = MciHooks{}; }
