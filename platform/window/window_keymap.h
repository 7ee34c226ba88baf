// window_keymap.h - SDL keys to virtual-key codes (window group internal).
#pragma once

#include <SDL.h>

// The virtual-key code of an SDL key; letters follow the layout (the key's symbol),
// everything else the key's position. 0 for a key without a code.
int VirtualKeyFromSdl(const SDL_Keysym& key);
