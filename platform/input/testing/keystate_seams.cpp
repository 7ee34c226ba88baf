// keystate_seams.cpp - see keystate_seams.h.
#include "platform/input/testing/keystate_seams.h"

#include "platform/input/keystate.h"

void HoldKeyForTest(int virtualKey, bool down) { SetKeyHeldOverride(virtualKey, down); }
