// dinput_internal.h - the records behind the DirectInput objects, shared by the files of
// the group and its test seams. The library never sees these.
//
// One mutex (DinputLock) guards the registry of live objects, every device's
// acquisition, event and mouse counters, and the key states, because SDL's events
// reach them from the thread that pumps the window while the library calls in under its
// own lock. No SDL call is made with the mutex held.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/input/dinput.h"

enum class DinputDeviceKind { Keyboard, Mouse, Joystick };

enum { DinputAxisSlots = 8 };  // X Y Z Rx Ry Rz Slider0 Slider1, by offset / 4

struct IDirectInputA {
    uint32_t magic;
    int refs;
    int version;  // 7 or 8
    bool initialized;
    bool joysticksStarted;  // SDL's joystick and game-controller subsystems, started by Initialize
    bool hapticStarted;
};

struct IDirectInputDeviceA {
    uint32_t magic;
    int refs;
    IDirectInputA* owner;  // holds a reference
    DinputDeviceKind kind;
    const DIDATAFORMAT* format;  // null until set
    DWORD cooperativeLevel;      // 0 until set
    HWND window;
    bool acquired;
    HANDLE event;  // signalled when the state changes (keyboard and mouse)
    DWORD bufferSize;
    DIDEVICEINSTANCEA info;
    // Mouse: motion and wheel since the last read.
    LONG mouseX, mouseY, mouseZ;
    // Game controllers.
    SDL_JoystickID joystickId;
    SDL_Joystick* joystick;
    SDL_GameController* controller;  // when SDL maps the joystick as a game controller
    SDL_Haptic* haptic;              // opened with the first effect
    int effectCount;                 // live effects on the haptic device
    LONG rangeMin[DinputAxisSlots];
    LONG rangeMax[DinputAxisSlots];
    DWORD deadZone[DinputAxisSlots];
};

struct IDirectInputEffect {
    uint32_t magic;
    int refs;
    IDirectInputDeviceA* device;  // holds a reference
    int hapticEffect;             // SDL's effect id; -1 for a recording effect (tests)
    bool running;
};

std::mutex& DinputLock(void);

// Registry of live objects (mutex held).
bool DinputIsObject(const IDirectInputA* di);
bool DinputIsDevice(const IDirectInputDeviceA* device);
bool DinputIsEffect(const IDirectInputEffect* effect);
void DinputRegister(void* object);
void DinputUnregister(void* object);
int DinputLiveCount(void);
int DinputRunningEffectCount(void);  // takes the mutex

// Failure injection (test seams). DinputTakeFault answers the HRESULT a call must fail
// with, or S_OK to run it; `target` is the version (7 or 8) for creation and
// Initialize, else the device kind.
enum class DinputCall {
    CreateInstance,
    Initialize,
    CreateDevice,
    SetDataFormat,
    SetCooperativeLevel,
    SetProperty,
    SetEventNotification,
    Acquire,
    CreateEffect,
};
HRESULT DinputTakeFault(DinputCall call, int target);
int DinputDeviceTarget(DinputDeviceKind kind);
void DinputSetFault(DinputCall call, int target, int count, HRESULT error);
void DinputClearFaults(void);
// Devices without haptic support get effects that only record their state (tests).
extern std::atomic<bool> DinputRecordingEffects;

// The keyboard (dinput_keyboard.cpp): the 256-byte state by key code, and SDL key
// events applied to it and to the virtual-key state GetKeyboardState reads.
void DinputReadKeyState(BYTE keys[256]);
void DinputApplyKeyEvent(SDL_Scancode scancode, bool down);
void DinputApplyMouseEvent(const SDL_Event& event);
void DinputReadMouseState(IDirectInputDeviceA* device, DIMOUSESTATE2* state);  // mutex held
// Mutex held: signal the events of the acquired devices of a kind; add mouse motion to
// every acquired mouse (and signal it).
void DinputSignalDevices(DinputDeviceKind kind);
void DinputAddMouseMotion(LONG dx, LONG dy, LONG dz);
void DinputResetKeyboard(void);

// Game controllers (dinput_joystick.cpp), SDL's subsystem started by the object.
int DinputJoystickCount(void);
bool DinputDescribeJoystick(int index, int version, DIDEVICEINSTANCEA* info);
bool DinputIsJoystickGuid(const GUID& guid);
HRESULT DinputOpenJoystick(IDirectInputDeviceA* device, const GUID& instance);
void DinputCloseJoystick(IDirectInputDeviceA* device);
HRESULT DinputReadJoystick(IDirectInputDeviceA* device, DIJOYSTATE* state);
void DinputPollJoysticks(void);
// Copies a joystick's UTF-8 name (null: "Joystick") into a Shift-JIS field, cut before a
// character that does not fit.
void DinputCopyName(char* field, size_t size, const char* utf8);

// Put at the top of a call that reaches SDL: SDL keeps per-thread storage (its error
// text) that it never frees for threads it did not start, so a call from a thread other
// than the one that pumps SDL lets go of it before returning.
struct SdlCallScope {
    SdlCallScope() = default;
    SdlCallScope(const SdlCallScope&) = delete;
    SdlCallScope& operator=(const SdlCallScope&) = delete;
    ~SdlCallScope();
};

// Effects (dinput_effect.cpp): released with their device.
void DinputReleaseHaptic(IDirectInputDeviceA* device);
