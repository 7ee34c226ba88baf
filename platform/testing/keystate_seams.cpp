// keystate_seams.cpp - see keystate_seams.h.
#include "platform/testing/keystate_seams.h"

#include "platform/keystate.h"

void HoldKeyForTest(int virtualKey, bool down) { SetKeyHeldOverride(virtualKey, down); }
