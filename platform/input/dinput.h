// dinput.h - the DirectInput stand-in: the input object, the system keyboard and mouse,
// game controllers and their force-feedback effects.
//
// Backed by SDL2's keyboard, joystick, game controller and haptic APIs. The folder also
// holds the other input services over SDL: the asynchronous key state (keystate.h), the
// multimedia joystick call (winmm_joystick.h) and the input-method calls (imm.h).
//
// Calling convention. Each interface is an opaque object; each method is a plain
// function named Interface_Method that takes the object first, with the arguments and
// HRESULT results of the method the library was written against:
//
//     IDirectInputDevice_GetDeviceState(keyboard, 256, keys);
//     IDirectInputEffect_Start(effect, 1, 0);
//
// One object type serves both interface versions: DirectInputCreateInstance, the class
// factory behind CoCreateInstance, gives a version-7 object for (CLSID_DirectInput,
// IID_IDirectInput7A) and a version-8 object for (CLSID_DirectInput8, IID_IDirectInput8A);
// Initialize must then name the same version (0x700 or 0x800). A version-7 object makes
// devices with CreateDeviceEx, a version-8 object with CreateDevice. A call on a null or
// released object returns DIERR_INVALIDPARAM (E_POINTER for the object itself).
//
// What stands behind it:
// - The keyboard: a 256-byte state indexed by DirectInput key code (bit 7 = down),
//   kept from SDL's key events on the thread that pumps the window's events
//   (dinput_events.h). A keyboard's notification event is signalled on every change.
// - The mouse: SDL's relative motion, wheel and buttons in the DIMOUSESTATE2 layout.
// - Game controllers: SDL's joysticks. A joystick SDL knows as a game controller is read
//   through its controller mapping (left stick X/Y, right stick Z/Rz, triggers Rx/Ry,
//   the d-pad as POV 0, buttons A B X Y, shoulders, back, start, stick buttons, guide);
//   another joystick by its raw axes (X Y Z Rz Rx Ry, then the two sliders), hats and
//   buttons. Axes are scaled into the range set with DIPROP_RANGE (0..65535 by default)
//   after the dead zone (DIPROP_DEADZONE, 0..10000 of the half range) is taken out.
// - Effects: SDL's haptic API on the controller; CreateEffect fails with
//   DIERR_UNSUPPORTED when the device has no haptic support or not the effect's kind.
// - Cooperative levels are checked and kept: a foreground device cannot be acquired
//   while its window is not the active window (DIERR_OTHERAPPHASPRIO). Exclusive use
//   has no meaning here beyond that.
// Tests make creation and the device calls fail, and inject keys, through
// platform/input/testing/dinput_seams.h.
#pragma once

#include "platform/kernel/kernel.h"
#include "platform/wintypes.h"

struct IDirectInputA;        // the input object (version 7 or 8)
struct IDirectInputDeviceA;  // a keyboard, mouse or game-controller device
struct IDirectInputEffect;   // a force-feedback effect of a game controller

// Results besides S_OK.
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_POLLEDDEVICE static_cast<HRESULT>(2)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_DEVICENOTREG static_cast<HRESULT>(0x80040154u)   // also: the class is not registered
#define DIERR_NOTINITIALIZED static_cast<HRESULT>(0x80070015u)
#define DIERR_ALREADYINITIALIZED static_cast<HRESULT>(0x800704DFu)
#define DIERR_OLDDIRECTINPUTVERSION static_cast<HRESULT>(0x8007047Eu)
#define DIERR_BETADIRECTINPUTVERSION static_cast<HRESULT>(0x80070481u)
#define DIERR_NOTACQUIRED static_cast<HRESULT>(0x8007000Cu)
#define DIERR_INPUTLOST static_cast<HRESULT>(0x8007001Eu)
#define DIERR_ACQUIRED static_cast<HRESULT>(0x800700AAu)
#define DIERR_OTHERAPPHASPRIO static_cast<HRESULT>(0x80070005u)
#define DIERR_OBJECTNOTFOUND static_cast<HRESULT>(0x80070002u)
#define DIERR_GENERIC E_FAIL

extern const GUID CLSID_DirectInput;
extern const GUID CLSID_DirectInput8;
extern const GUID IID_IDirectInput7A;
extern const GUID IID_IDirectInput8A;
extern const GUID IID_IDirectInputDevice7A;
extern const GUID IID_IDirectInputDevice8A;
extern const GUID GUID_SysMouse;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_ConstantForce;
extern const GUID GUID_Sine;

// The class factory: a new, uninitialised object for one of the two class and interface
// pairs above; REGDB_E_CLASSNOTREG-style DIERR_DEVICENOTREG for an unknown class,
// DIERR_NOINTERFACE for a wrong interface.
HRESULT DirectInputCreateInstance(REFCLSID clsid, REFIID iid, void** out);

// Data formats: the device kind each one fits (anything else is refused).
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;  // bytes of the state: 256 keyboard, 20 mouse, 80 joystick
    DWORD dwNumObjs;
    const void* rgodf;
};
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse2;
extern const DIDATAFORMAT c_dfDIJoystick;

// Device enumeration.
#define DIDEVTYPE_DEVICE 1
#define DIDEVTYPE_MOUSE 2
#define DIDEVTYPE_KEYBOARD 3
#define DIDEVTYPE_JOYSTICK 4  // = the version-8 class of game controllers
#define DI8DEVCLASS_ALL 0
#define DI8DEVCLASS_GAMECTRL 4
#define DIEDFL_ALLDEVICES 0x00000000u
#define DIEDFL_ATTACHEDONLY 0x00000001u
#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

struct DIDEVICEINSTANCEA {
    DWORD dwSize;  // sizeof(DIDEVICEINSTANCEA)
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[260];  // Shift-JIS
    char tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* context);

// Cooperative levels.
#define DISCL_EXCLUSIVE 0x00000001u
#define DISCL_NONEXCLUSIVE 0x00000002u
#define DISCL_FOREGROUND 0x00000004u
#define DISCL_BACKGROUND 0x00000008u

// Properties (by number) and their records.
#define DIPROP_BUFFERSIZE 1u
#define DIPROP_RANGE 4u
#define DIPROP_DEADZONE 5u
#define DIPH_DEVICE 0u
#define DIPH_BYOFFSET 1u
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;  // sizeof(DIPROPHEADER)
    DWORD dwObj;         // DIPH_BYOFFSET: a DIJOFS_ offset; DIPH_DEVICE: 0
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

// The joystick state (c_dfDIJoystick) and the offsets of its axes.
struct DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];  // hundredths of a degree clockwise from north; 0xFFFFFFFF centred
    BYTE rgbButtons[32];  // 0x80 pressed
};
#define DIJOFS_X 0u
#define DIJOFS_Y 4u
#define DIJOFS_Z 8u
#define DIJOFS_RX 12u
#define DIJOFS_RY 16u
#define DIJOFS_RZ 20u
#define DIJOFS_SLIDER(n) (24u + 4u * (n))

// The mouse state (c_dfDIMouse2): motion since the last read, wheel steps x 120.
struct DIMOUSESTATE2 {
    LONG lX, lY, lZ;
    BYTE rgbButtons[8];
};

// Effects.
#define DIEFF_OBJECTOFFSETS 0x00000002u
#define DIEFF_CARTESIAN 0x00000010u
#define DIEFF_POLAR 0x00000020u
#define DIEFF_SPHERICAL 0x00000040u
#define DI_FFNOMINALMAX 10000
#define DI_SECONDS 1000000
#define DIEB_NOTRIGGER 0xFFFFFFFFu
#define DIES_SOLO 0x00000001u
struct DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;  // microseconds
    DWORD dwFadeLevel;
    DWORD dwFadeTime;
};
struct DICONSTANTFORCE {
    LONG lMagnitude;
};
struct DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;  // microseconds
};
struct DIEFFECT {
    DWORD dwSize;  // sizeof(DIEFFECT)
    DWORD dwFlags;
    DWORD dwDuration;  // microseconds, or INFINITE
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD* rgdwAxes;
    LONG* rglDirection;
    DIENVELOPE* lpEnvelope;
    DWORD cbTypeSpecificParams;
    void* lpvTypeSpecificParams;
    DWORD dwStartDelay;
};

// IDirectInput (both versions).
ULONG IDirectInput_AddRef(IDirectInputA* di);
ULONG IDirectInput_Release(IDirectInputA* di);
// version must be 0x700 for a version-7 object, 0x800 for a version-8 one.
HRESULT IDirectInput_Initialize(IDirectInputA* di, HINSTANCE instance, DWORD version);
// type: 0 all, DIDEVTYPE_MOUSE, DIDEVTYPE_KEYBOARD or DIDEVTYPE_JOYSTICK (game controllers).
HRESULT IDirectInput_EnumDevices(IDirectInputA* di, DWORD type, LPDIENUMDEVICESCALLBACKA callback,
                                 void* context, DWORD flags);
// Version 7: iid IID_IDirectInputDevice7A. Version 8: CreateDevice.
HRESULT IDirectInput7_CreateDeviceEx(IDirectInputA* di, REFCLSID guid, REFIID iid, void** out, void* outer);
HRESULT IDirectInput8_CreateDevice(IDirectInputA* di, REFCLSID guid, IDirectInputDeviceA** out, void* outer);

// IDirectInputDevice.
ULONG IDirectInputDevice_AddRef(IDirectInputDeviceA* device);
ULONG IDirectInputDevice_Release(IDirectInputDeviceA* device);  // unacquires first
HRESULT IDirectInputDevice_GetDeviceInfo(IDirectInputDeviceA* device, DIDEVICEINSTANCEA* info);
// Only while not acquired (DIERR_ACQUIRED).
HRESULT IDirectInputDevice_SetDataFormat(IDirectInputDeviceA* device, const DIDATAFORMAT* format);
// flags: one of EXCLUSIVE/NONEXCLUSIVE and one of FOREGROUND/BACKGROUND. window must be a
// top-level window, or null for NONEXCLUSIVE | BACKGROUND.
HRESULT IDirectInputDevice_SetCooperativeLevel(IDirectInputDeviceA* device, HWND window, DWORD flags);
// DIPROP_BUFFERSIZE (DIPH_DEVICE), DIPROP_RANGE and DIPROP_DEADZONE (joystick axes by
// offset, or DIPH_DEVICE for every axis).
HRESULT IDirectInputDevice_SetProperty(IDirectInputDeviceA* device, DWORD property, const DIPROPHEADER* header);
HRESULT IDirectInputDevice_GetProperty(IDirectInputDeviceA* device, DWORD property, DIPROPHEADER* header);
// A manual-reset event signalled when the device's state changes; null removes it.
// DI_OK, or DI_POLLEDDEVICE for game controllers (they change only when polled).
HRESULT IDirectInputDevice_SetEventNotification(IDirectInputDeviceA* device, HANDLE event);
// Needs a data format; DI_NOEFFECT when already acquired.
HRESULT IDirectInputDevice_Acquire(IDirectInputDeviceA* device);
HRESULT IDirectInputDevice_Unacquire(IDirectInputDeviceA* device);  // DI_NOEFFECT when not acquired
HRESULT IDirectInputDevice_Poll(IDirectInputDeviceA* device);         // DI_NOEFFECT for keyboard and mouse
// size must equal the data format's size. DIERR_NOTACQUIRED while not acquired;
// DIERR_INPUTLOST (and unacquired) when a game controller was unplugged.
HRESULT IDirectInputDevice_GetDeviceState(IDirectInputDeviceA* device, DWORD size, void* data);
// GUID_ConstantForce (DICONSTANTFORCE) or GUID_Sine (DIPERIODIC); game controllers only.
HRESULT IDirectInputDevice_CreateEffect(IDirectInputDeviceA* device, REFCLSID guid, const DIEFFECT* effect,
                                        IDirectInputEffect** out, void* outer);

// IDirectInputEffect.
ULONG IDirectInputEffect_AddRef(IDirectInputEffect* effect);
ULONG IDirectInputEffect_Release(IDirectInputEffect* effect);  // stops it first
// iterations: 1.., or INFINITE for endless; flags 0 or DIES_SOLO.
HRESULT IDirectInputEffect_Start(IDirectInputEffect* effect, DWORD iterations, DWORD flags);
HRESULT IDirectInputEffect_Stop(IDirectInputEffect* effect);

// The keyboard by virtual-key code, as a Japanese (106/109-key) keyboard reports it: bit 7
// down, bit 0 toggled by every press. Kept from the same SDL key events as the DirectInput
// keyboard, so both agree; letters, digits and keys that differ only in their printed
// symbol go by the key's position. VK_SHIFT, VK_CONTROL and VK_MENU follow either side.
BOOL GetKeyboardState(BYTE keys[256]);
