// keystate.cpp - modifier keys from SDL (see keystate.h).
#include "platform/input/keystate.h"

#include <SDL.h>

#include <atomic>

#include "platform/window/window.h"

namespace {
// Keys a test holds down: bit n for virtual key n (0-255), four words.
std::atomic<uint64_t> g_keysHeld[4];
}  // namespace

void SetKeyHeldOverride(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    uint64_t bit = uint64_t(1) << (virtualKey % 64);
    if (down) {
        g_keysHeld[virtualKey / 64] |= bit;
    } else {
        g_keysHeld[virtualKey / 64] &= ~bit;
    }
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    const SHORT down = static_cast<SHORT>(0x8000);
    if (g_keysHeld[virtualKey / 64].load() >> (virtualKey % 64) & 1) return down;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return 0;
    SDL_Keymod mod = SDL_GetModState();
    switch (virtualKey) {
    case VK_SHIFT: return (mod & KMOD_SHIFT) ? down : 0;
    case VK_CONTROL: return (mod & KMOD_CTRL) ? down : 0;
    case VK_MENU: return (mod & KMOD_ALT) ? down : 0;
    default: return 0;
    }
}
