// dinput_keyboard.cpp - the keyboard behind both the DirectInput keyboard (by key code)
// and GetKeyboardState (by virtual-key code), and the mouse counters, kept from SDL's
// events.
//
// SDL's scancodes name key positions (USB usages). Key codes are the set-1 scan codes of
// the same positions, extended keys with bit 7; virtual-key codes are those a Japanese
// keyboard gives at each position (the key right of L is VK_OEM_PLUS, the one right of P
// is VK_OEM_3, and so on), so that the library's virtual-key-to-key-code table reads the
// keys a Japanese keyboard has.
#include <array>
#include <cstring>
#include <utility>

#include "platform/input/dinput_internal.h"
#include "platform/kernel/kernel.h"

namespace {

using ScancodeTable = std::array<uint8_t, SDL_NUM_SCANCODES>;

constexpr std::pair<SDL_Scancode, uint8_t> KeyCodePairs[] = {
    {SDL_SCANCODE_A, 0x1E}, {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_C, 0x2E}, {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_E, 0x12}, {SDL_SCANCODE_F, 0x21}, {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_I, 0x17}, {SDL_SCANCODE_J, 0x24}, {SDL_SCANCODE_K, 0x25}, {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_M, 0x32}, {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_O, 0x18}, {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_R, 0x13}, {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_V, 0x2F}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_Y, 0x15}, {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03}, {SDL_SCANCODE_3, 0x04}, {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06}, {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08}, {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F}, {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_NONUSHASH, 0x2B}, {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29}, {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35}, {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B}, {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41}, {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43}, {SDL_SCANCODE_F10, 0x44}, {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64}, {SDL_SCANCODE_F14, 0x65}, {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_SCROLLLOCK, 0x46}, {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_INSERT, 0xD2}, {SDL_SCANCODE_HOME, 0xC7}, {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_DELETE, 0xD3}, {SDL_SCANCODE_END, 0xCF}, {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_LEFT, 0xCB}, {SDL_SCANCODE_DOWN, 0xD0}, {SDL_SCANCODE_UP, 0xC8},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_KP_DIVIDE, 0xB5}, {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_ENTER, 0x9C},
    {SDL_SCANCODE_KP_1, 0x4F}, {SDL_SCANCODE_KP_2, 0x50}, {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C}, {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_KP_EQUALS, 0x8D}, {SDL_SCANCODE_KP_COMMA, 0xB3}, {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_APPLICATION, 0xDD}, {SDL_SCANCODE_LCTRL, 0x1D}, {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_LALT, 0x38}, {SDL_SCANCODE_LGUI, 0xDB}, {SDL_SCANCODE_RCTRL, 0x9D},
    {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_RGUI, 0xDC},
    // The Japanese keys: ro, katakana/hiragana, yen, henkan, muhenkan.
    {SDL_SCANCODE_INTERNATIONAL1, 0x73}, {SDL_SCANCODE_INTERNATIONAL2, 0x70},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_INTERNATIONAL4, 0x79},
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
};

constexpr std::pair<SDL_Scancode, uint8_t> VirtualKeyPairs[] = {
    {SDL_SCANCODE_RETURN, 0x0D}, {SDL_SCANCODE_KP_ENTER, 0x0D}, {SDL_SCANCODE_ESCAPE, 0x1B},
    {SDL_SCANCODE_BACKSPACE, 0x08}, {SDL_SCANCODE_TAB, 0x09}, {SDL_SCANCODE_SPACE, 0x20},
    // Symbol keys by their place on a Japanese keyboard.
    {SDL_SCANCODE_MINUS, 0xBD}, {SDL_SCANCODE_EQUALS, 0xDE}, {SDL_SCANCODE_LEFTBRACKET, 0xC0},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDB}, {SDL_SCANCODE_BACKSLASH, 0xDD}, {SDL_SCANCODE_NONUSHASH, 0xDD},
    {SDL_SCANCODE_SEMICOLON, 0xBB}, {SDL_SCANCODE_APOSTROPHE, 0xBA}, {SDL_SCANCODE_COMMA, 0xBC},
    {SDL_SCANCODE_PERIOD, 0xBE}, {SDL_SCANCODE_SLASH, 0xBF}, {SDL_SCANCODE_INTERNATIONAL1, 0xE2},
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2}, {SDL_SCANCODE_INTERNATIONAL3, 0xDC},
    {SDL_SCANCODE_INTERNATIONAL2, 0x15}, {SDL_SCANCODE_INTERNATIONAL4, 0x1C},
    {SDL_SCANCODE_INTERNATIONAL5, 0x1D},
    {SDL_SCANCODE_CAPSLOCK, 0x14}, {SDL_SCANCODE_PRINTSCREEN, 0x2C}, {SDL_SCANCODE_SCROLLLOCK, 0x91},
    {SDL_SCANCODE_PAUSE, 0x13}, {SDL_SCANCODE_INSERT, 0x2D}, {SDL_SCANCODE_HOME, 0x24},
    {SDL_SCANCODE_PAGEUP, 0x21}, {SDL_SCANCODE_DELETE, 0x2E}, {SDL_SCANCODE_END, 0x23},
    {SDL_SCANCODE_PAGEDOWN, 0x22}, {SDL_SCANCODE_RIGHT, 0x27}, {SDL_SCANCODE_LEFT, 0x25},
    {SDL_SCANCODE_DOWN, 0x28}, {SDL_SCANCODE_UP, 0x26}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x90},
    {SDL_SCANCODE_KP_DIVIDE, 0x6F}, {SDL_SCANCODE_KP_MULTIPLY, 0x6A}, {SDL_SCANCODE_KP_MINUS, 0x6D},
    {SDL_SCANCODE_KP_PLUS, 0x6B}, {SDL_SCANCODE_KP_PERIOD, 0x6E}, {SDL_SCANCODE_KP_0, 0x60},
    {SDL_SCANCODE_APPLICATION, 0x5D}, {SDL_SCANCODE_LCTRL, 0xA2}, {SDL_SCANCODE_RCTRL, 0xA3},
    {SDL_SCANCODE_LSHIFT, 0xA0}, {SDL_SCANCODE_RSHIFT, 0xA1}, {SDL_SCANCODE_LALT, 0xA4},
    {SDL_SCANCODE_RALT, 0xA5}, {SDL_SCANCODE_LGUI, 0x5B}, {SDL_SCANCODE_RGUI, 0x5C},
};

constexpr ScancodeTable BuildKeyCodes() {
    ScancodeTable table{};
    for (const auto& pair : KeyCodePairs) table[pair.first] = pair.second;
    return table;
}

constexpr ScancodeTable BuildVirtualKeys() {
    ScancodeTable table{};
    for (const auto& pair : VirtualKeyPairs) table[pair.first] = pair.second;
    for (int i = 0; i < 26; ++i) table[SDL_SCANCODE_A + i] = static_cast<uint8_t>('A' + i);
    for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_1 + i] = static_cast<uint8_t>('1' + i);
    table[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F1 + i] = static_cast<uint8_t>(0x70 + i);
    for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F13 + i] = static_cast<uint8_t>(0x7C + i);
    for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_KP_1 + i] = static_cast<uint8_t>(0x61 + i);
    return table;
}

constexpr ScancodeTable KeyCodeOfScancode = BuildKeyCodes();
constexpr ScancodeTable VirtualKeyOfScancode = BuildVirtualKeys();

// The generic virtual keys and the sided ones that make them up.
constexpr struct {
    uint8_t generic, left, right;
} SidedKeys[] = {{0x10, 0xA0, 0xA1}, {0x11, 0xA2, 0xA3}, {0x12, 0xA4, 0xA5}};

struct KeyboardState {
    BYTE keyCodes[256];     // by key code: 0x80 down
    BYTE virtualKeys[256];  // by virtual-key code: 0x80 down, 0x01 toggled
    bool scancodeDown[SDL_NUM_SCANCODES];
    BYTE mouseButtons[8];
};
KeyboardState Keyboard;  // guarded by DinputLock

}  // namespace

void DinputReadKeyState(BYTE keys[256]) {
    std::lock_guard<std::mutex> lock(DinputLock());
    std::memcpy(keys, Keyboard.keyCodes, 256);
}

BOOL GetKeyboardState(BYTE keys[256]) {
    if (keys == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(DinputLock());
    std::memcpy(keys, Keyboard.virtualKeys, 256);
    return TRUE;
}

void DinputApplyKeyEvent(SDL_Scancode scancode, bool down) {
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return;
    std::lock_guard<std::mutex> lock(DinputLock());
    KeyboardState& k = Keyboard;
    if (k.scancodeDown[scancode] == down) return;  // auto-repeat changes nothing
    k.scancodeDown[scancode] = down;
    if (uint8_t code = KeyCodeOfScancode[scancode]; code != 0) {
        k.keyCodes[code] = down ? 0x80 : 0x00;
    }
    if (uint8_t vk = VirtualKeyOfScancode[scancode]; vk != 0) {
        // Two positions can share a virtual key (both Enter keys): it is down while either is.
        bool anyDown = false;
        for (int s = 0; s < SDL_NUM_SCANCODES; ++s) anyDown |= k.scancodeDown[s] && VirtualKeyOfScancode[s] == vk;
        BYTE toggle = static_cast<BYTE>((k.virtualKeys[vk] & 0x01) ^ (down ? 0x01 : 0x00));
        k.virtualKeys[vk] = static_cast<BYTE>((anyDown ? 0x80 : 0x00) | toggle);
        for (const auto& sided : SidedKeys) {
            if (vk != sided.left && vk != sided.right) continue;
            bool either = ((k.virtualKeys[sided.left] | k.virtualKeys[sided.right]) & 0x80) != 0;
            BYTE genericToggle = static_cast<BYTE>((k.virtualKeys[sided.generic] & 0x01) ^ (down ? 0x01 : 0x00));
            k.virtualKeys[sided.generic] = static_cast<BYTE>((either ? 0x80 : 0x00) | genericToggle);
        }
    }
    DinputSignalDevices(DinputDeviceKind::Keyboard);
}

void DinputResetKeyboard(void) {
    std::lock_guard<std::mutex> lock(DinputLock());
    Keyboard = KeyboardState{};
}

// ---- Mouse ----------------------------------------------------------------------------------

void DinputApplyMouseEvent(const SDL_Event& event) {
    std::lock_guard<std::mutex> lock(DinputLock());
    switch (event.type) {
    case SDL_MOUSEMOTION:
        DinputAddMouseMotion(event.motion.xrel, event.motion.yrel, 0);
        break;
    case SDL_MOUSEWHEEL: {
        int steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        DinputAddMouseMotion(0, 0, steps * 120);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        // DirectInput numbers left, right, middle, then the side buttons.
        static constexpr int ButtonIndex[] = {-1, 0, 2, 1, 3, 4};
        int index = event.button.button < 6 ? ButtonIndex[event.button.button] : -1;
        if (index < 0) return;
        Keyboard.mouseButtons[index] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0x00;
        DinputAddMouseMotion(0, 0, 0);
        break;
    }
    default:
        break;
    }
}

void DinputReadMouseState(IDirectInputDeviceA* device, DIMOUSESTATE2* state) {
    state->lX = device->mouseX;
    state->lY = device->mouseY;
    state->lZ = device->mouseZ;
    std::memcpy(state->rgbButtons, Keyboard.mouseButtons, sizeof state->rgbButtons);
    device->mouseX = device->mouseY = device->mouseZ = 0;
}
