// input_state.h - the keyboard and joypad records of the input subsystem.
#pragma once

#include <cstdint>

#include "platform/input/dinput.h"

enum { JoypadCapacity = 8, KeyStateBytes = 256, PadNameBytes = 260 };

// The force-feedback power a pad starts with; its sine effect runs above half of it.
enum { PadEffectFullPower = 10000 };

struct JoypadRecord {
    IDirectInputDeviceA* device;
    IDirectInputEffect* constantEffect;  // effect 1, may be null
    IDirectInputEffect* sineEffect;      // effect 2, may be null
    HANDLE event;                        // the device's notification event
    DIJOYSTATE state;                    // zeroed when the pad is added; nothing reads it
    int32_t hasZAndRAxes;                // winmm mode only
    int32_t reserved;
    int32_t effectActive;
    int32_t effectPower;
    int32_t effectDuration;              // ms; negative = endless
    int32_t effectElapsed;               // ms
    uint32_t effectLastTime;             // ms clock
    int32_t constantRunning;             // effect 1 started
    int32_t sineRunning;                 // effect 2 started
    char instanceName[PadNameBytes];
    char productName[PadNameBytes];
};

struct InputState {
    int32_t winmmOnly;    // both DirectInput versions failed once; kept by set-up's clearing
    int32_t directInput8; // the object is a version-8 object
    IDirectInputA* directInput;  // null: not set up; WinmmModeObject(): winmm mode
    IDirectInputDeviceA* mouse;
    IDirectInputDeviceA* keyboard;
    HANDLE keyboardEvent;
    uint32_t lastPollTime;  // timeGetTime of the last refresh
    uint8_t keyStateBuffer[KeyStateBytes];  // by DirectInput key code; bit 7 = down
    int32_t padCount;
    JoypadRecord pads[JoypadCapacity];
    int32_t messageFlag1;
    int32_t messageFlag2;
};

extern InputState InputStateRecord;

// The object value that marks winmm mode (no DirectInput).
inline IDirectInputA* WinmmModeObject(void) { return reinterpret_cast<IDirectInputA*>(intptr_t{-1}); }
inline bool InputIsSetUp(void) { return InputStateRecord.directInput != nullptr; }
inline bool InputIsWinmmMode(void) { return InputStateRecord.directInput == WinmmModeObject(); }
inline bool InputUsesDirectInput(void) { return InputIsSetUp() && !InputIsWinmmMode(); }

// Virtual-key code to DirectInput key code of the same key on a Japanese keyboard:
// part one (used in both modes), the marker 0xFFFE, part two (winmm mode only), 0xFFFF.
struct VkScanPair {
    uint16_t virtualKey;
    uint16_t keyCode;
};
extern const VkScanPair VkToScanCodeTable[];
enum : uint16_t { VkTablePartEnd = 0xFFFE, VkTableEnd = 0xFFFF };

// Refreshes KeyStateBuffer at most once per millisecond tick unless the keyboard's event
// was signalled; 1 when refreshed.
int UpdateKeyStateBuffer(void);

// Joypads (joypad.cpp, joypad_effects.cpp).
int EnumerateJoypads(void);
BOOL AddJoypadDevice(const DIDEVICEINSTANCEA* instance, void* context);
int ReleaseAllJoypads(void);
int StopPadEffect(int pad);  // 1-based; bit 0x1000 is ignored
