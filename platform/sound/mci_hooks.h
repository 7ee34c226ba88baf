// mci_hooks.h - what the test seams change in the MCI sequencer (mci.h), and what they
// read of it. Not for library code.
#pragma once

#include "platform/sound/mci.h"

struct MciHooks {
    const char* soundFont = nullptr;  // this soundfont instead of the system's ("" : none)
};
MciHooks& MciHooksRecord(void);
int MciOpenDeviceCount(void);
