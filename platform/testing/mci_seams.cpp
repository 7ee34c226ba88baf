// Test seams of the MIDI sequencer (see mci_seams.h).
#include "platform/testing/mci_seams.h"

#include "platform/mci_hooks.h"

void MciSeamSetSoundFont(const char* path) { MciHooksRecord().soundFont = path; }
int MciSeamOpenDeviceCount(void) { return MciOpenDeviceCount(); }
void MciSeamReset(void) { MciHooksRecord() = MciHooks{}; }
