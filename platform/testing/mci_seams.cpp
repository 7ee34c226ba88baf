// Test seams of the MIDI sequencer (see mci_seams.h).
#include "platform/testing/mci_seams.h"

#include "platform/mci_hooks.h"

void MciSeamSetSoundFont(const char* path) { MciHooksRecord().soundFont = path; }
void MciSeamUseManualOutput(bool on) { MciHooksRecord().manualOutput = on; }
bool MciSeamRender(MCIDEVICEID device, int frames, std::vector<int16_t>* out) {
    return MciRenderForTest(device, frames, out);
}
int MciSeamOpenDeviceCount(void) { return MciOpenDeviceCount(); }
void MciSeamReset(void) { MciHooksRecord() = MciHooks{}; }
