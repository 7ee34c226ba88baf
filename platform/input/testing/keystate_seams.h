// keystate_seams.h - holding keys down for GetAsyncKeyState (platform/input/keystate.h).
#pragma once

// Holds the virtual key down (or lets it go) for GetAsyncKeyState, whatever SDL says.
void HoldKeyForTest(int virtualKey, bool down);
