// mci_hooks.h - what the test seams change in the MCI sequencer (mci.h), and what they
// read of it. Not for library code.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/mci.h"

struct MciHooks {
    const char* soundFont = nullptr;  // this soundfont instead of the system's ("" : none)
    bool manualOutput = false;        // no audio device: tests render on request
};
MciHooks& MciHooksRecord(void);
// Renders frames of an open device (posting its notification when the piece ends);
// false for an unknown device.
bool MciRenderForTest(MCIDEVICEID device, int frames, std::vector<int16_t>* out);
int MciOpenDeviceCount(void);
