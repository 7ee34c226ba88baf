// Game controllers through SDL's virtual joysticks: enumeration, the joystick state with
// ranges and dead zones, effects, unplugging, and the winmm capability call.
#include <cstring>
#include <time.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "dinput_test_support.h"
#include "platform/input/winmm_joystick.h"

namespace {

// A virtual joystick attached for the test's lifetime, opened so the test can move it.
struct VirtualStick {
    VirtualStick(const char* name, SDL_JoystickType type, int axes, int buttons, int hats) {
        SDL_InitSubSystem(SDL_INIT_JOYSTICK);
        SDL_VirtualJoystickDesc desc = {};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = static_cast<Uint16>(axes);
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.nhats = static_cast<Uint16>(hats);
        desc.name = name;
        int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        id = SDL_JoystickGetDeviceInstanceID(index);
        stick = SDL_JoystickOpen(index);
    }
    ~VirtualStick() { Detach(); }
    void Detach() {
        if (stick == nullptr) return;
        SDL_JoystickClose(stick);
        stick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
        }
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    SDL_JoystickID id = -1;
    SDL_Joystick* stick = nullptr;
};

double MonotonicMicros() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Found {
    std::vector<DIDEVICEINSTANCEA> devices;
};

BOOL Collect(const DIDEVICEINSTANCEA* instance, void* context) {
    static_cast<Found*>(context)->devices.push_back(*instance);
    return DIENUM_CONTINUE;
}

void SetRange(IDirectInputDeviceA* device, DWORD offset, LONG min, LONG max) {
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, min, max};
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetProperty(device, DIPROP_RANGE, &range.diph));
}

void SetDeadZone(IDirectInputDeviceA* device, DWORD offset, DWORD zone) {
    DIPROPDWORD dead = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, zone};
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetProperty(device, DIPROP_DEADZONE, &dead.diph));
}

}  // namespace

class DinputJoystickTest : public DinputTest {
protected:
    // The enumerated game controller of the given name.
    DIDEVICEINSTANCEA Find(const char* name) {
        Found found;
        EXPECT_EQ(DI_OK, IDirectInput_EnumDevices(di_, DIDEVTYPE_JOYSTICK, Collect, &found, DIEDFL_ATTACHEDONLY));
        for (const auto& device : found.devices) {
            if (std::strcmp(device.tszInstanceName, name) == 0) return device;
        }
        ADD_FAILURE() << name << " not enumerated";
        return DIDEVICEINSTANCEA{};
    }
    // The controller opened as the library opens it: joystick format, exclusive in the
    // foreground, acquired.
    IDirectInputDeviceA* Open(const DIDEVICEINSTANCEA& instance) {
        IDirectInputDeviceA* pad = Device(instance.guidInstance);
        EXPECT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(pad, &c_dfDIJoystick));
        EXPECT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(pad, window_, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
        return pad;
    }
};

TEST_F(DinputJoystickTest, RawJoystickIsReadWithItsAxesHatsAndButtons) {
    Object(7);
    VirtualStick virt("Test Stick", SDL_JOYSTICK_TYPE_UNKNOWN, 4, 6, 1);
    DIDEVICEINSTANCEA instance = Find("Test Stick");
    EXPECT_STREQ("Test Stick", instance.tszProductName);
    IDirectInputDeviceA* pad = Open(instance);
    for (DWORD offset : {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RZ}) {
        SetRange(pad, offset, -1000, 1000);
        SetDeadZone(pad, offset, 2500);
    }
    DIJOYSTATE state;
    EXPECT_EQ(DIERR_NOTACQUIRED, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(DI_POLLEDDEVICE, IDirectInputDevice_SetEventNotification(pad, event));
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(pad));

    SDL_JoystickSetVirtualAxis(virt.stick, 0, 32767);   // X full right
    SDL_JoystickSetVirtualAxis(virt.stick, 1, -32768);  // Y full up
    SDL_JoystickSetVirtualAxis(virt.stick, 2, 8000);    // Z inside the 25 % dead zone
    SDL_JoystickSetVirtualAxis(virt.stick, 3, 16384);   // Rz half way: (0.5 - 0.25) / 0.75 of 1000
    SDL_JoystickSetVirtualButton(virt.stick, 0, 1);
    SDL_JoystickSetVirtualButton(virt.stick, 5, 1);
    SDL_JoystickSetVirtualHat(virt.stick, 0, SDL_HAT_RIGHTDOWN);
    ASSERT_EQ(DI_OK, IDirectInputDevice_Poll(pad));
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    EXPECT_EQ(1000, state.lX);
    EXPECT_EQ(-1000, state.lY);
    EXPECT_EQ(0, state.lZ);
    EXPECT_EQ(333, state.lRz);
    EXPECT_EQ(32768, state.lRx) << "an axis left at its default range 0..65535 reads its centre";
    EXPECT_EQ(13500u, state.rgdwPOV[0]);
    EXPECT_EQ(0xFFFFFFFFu, state.rgdwPOV[1]);
    EXPECT_EQ(0x80, state.rgbButtons[0]);
    EXPECT_EQ(0, state.rgbButtons[1]);
    EXPECT_EQ(0x80, state.rgbButtons[5]);

    // Unplugged: the device says its input is lost and lets go.
    virt.Detach();
    IDirectInputDevice_Poll(pad);
    EXPECT_EQ(DIERR_INPUTLOST, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    EXPECT_EQ(DI_NOEFFECT, IDirectInputDevice_Unacquire(pad));
    IDirectInputDevice_SetEventNotification(pad, nullptr);
    CloseHandle(event);
}

// The message pump runs many times a frame; looking for joystick changes costs device
// polls, so the pump updates the joysticks at most once per millisecond of real time,
// and a joystick moved before a later pump is still read without a Poll.
TEST_F(DinputJoystickTest, ThePumpUpdatesJoysticksAtMostOncePerMillisecond) {
    Object(7);
    VirtualStick virt("Pumped Stick", SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0);
    IDirectInputDeviceA* pad = Open(Find("Pumped Stick"));
    SetRange(pad, DIJOFS_X, -1000, 1000);
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(pad));

    const long updates = WindowSeamJoystickUpdateCount();
    const double start = MonotonicMicros();
    int pumps = 0;
    while (MonotonicMicros() - start < 400) {
        PumpWindowEvents();
        pumps++;
    }
    // A stalled machine may stretch the loop past a millisecond: one more update each.
    const long wholeMilliseconds = static_cast<long>((MonotonicMicros() - start) / 1000);
    EXPECT_GT(pumps, 2);
    EXPECT_LE(WindowSeamJoystickUpdateCount() - updates, 1 + wholeMilliseconds) << pumps << " pumps";

    SDL_JoystickSetVirtualAxis(virt.stick, 0, 32767);
    usleep(2000);
    PumpWindowEvents();
    DIJOYSTATE state;
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    EXPECT_EQ(1000, state.lX) << "the pump after a millisecond updated the joystick";

    SDL_JoystickSetVirtualAxis(virt.stick, 0, -32768);
    ASSERT_EQ(DI_OK, IDirectInputDevice_Poll(pad));
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    EXPECT_EQ(-1000, state.lX) << "Poll updates at once";
}

TEST_F(DinputJoystickTest, GameControllerIsReadThroughItsMapping) {
    Object(8);
    VirtualStick virt("Test Pad", SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                      SDL_CONTROLLER_BUTTON_MAX, 0);
    DIDEVICEINSTANCEA instance = Find("Test Pad");
    EXPECT_EQ(0x15u, instance.dwDevType & 0xFF) << "a game pad";
    IDirectInputDeviceA* pad = nullptr;
    ASSERT_EQ(DI_OK, IDirectInput8_CreateDevice(di_, instance.guidInstance, &pad, nullptr));
    devices_.push_back(pad);
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(pad, &c_dfDIJoystick));
    SetRange(pad, DIJOFS_Z, -100, 100);
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(pad));
    DIPROPRANGE late = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_RZ, DIPH_BYOFFSET}, -100, 100};
    EXPECT_EQ(DIERR_ACQUIRED, IDirectInputDevice_SetProperty(pad, DIPROP_RANGE, &late.diph));
    SDL_JoystickSetVirtualAxis(virt.stick, SDL_CONTROLLER_AXIS_RIGHTX, -32768);
    SDL_JoystickSetVirtualAxis(virt.stick, SDL_CONTROLLER_AXIS_RIGHTY, 32767);
    SDL_JoystickSetVirtualButton(virt.stick, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickSetVirtualButton(virt.stick, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    IDirectInputDevice_Poll(pad);
    DIJOYSTATE state;
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    EXPECT_EQ(-100, state.lZ) << "right stick X";
    EXPECT_EQ(65535, state.lRz) << "right stick Y, in the default range";
    EXPECT_EQ(0x80, state.rgbButtons[1]) << "B";
    EXPECT_EQ(27000u, state.rgdwPOV[0]) << "d-pad left";
}

TEST_F(DinputJoystickTest, EffectsNeedHapticsOrTheRecordingSeam) {
    Object(7);
    VirtualStick virt("Test Rumble", SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0);
    IDirectInputDeviceA* pad = Open(Find("Test Rumble"));
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {0, 0};
    DICONSTANTFORCE force = {10000};
    DIEFFECT params = {};
    params.dwSize = sizeof params;
    params.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    params.dwDuration = INFINITE;
    params.dwGain = 10000;
    params.dwTriggerButton = DIEB_NOTRIGGER;
    params.cAxes = 2;
    params.rgdwAxes = axes;
    params.rglDirection = directions;
    params.cbTypeSpecificParams = sizeof force;
    params.lpvTypeSpecificParams = &force;
    IDirectInputEffect* effect = nullptr;
    EXPECT_EQ(DIERR_UNSUPPORTED, IDirectInputDevice_CreateEffect(pad, GUID_ConstantForce, &params, &effect, nullptr));
    EXPECT_EQ(nullptr, effect);

    DinputSeamUseRecordingEffects(true);
    params.cbTypeSpecificParams = sizeof(DIPERIODIC);
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_CreateEffect(pad, GUID_ConstantForce, &params, &effect, nullptr));
    params.cbTypeSpecificParams = sizeof force;
    ASSERT_EQ(DI_OK, IDirectInputDevice_CreateEffect(pad, GUID_ConstantForce, &params, &effect, nullptr));
    EXPECT_EQ(DI_OK, IDirectInputEffect_Start(effect, 1, 0));
    EXPECT_TRUE(DinputSeamEffectRunning(effect));
    EXPECT_EQ(1, DinputSeamRunningEffectCount());
    EXPECT_EQ(DI_OK, IDirectInputEffect_Stop(effect));
    EXPECT_EQ(0, DinputSeamRunningEffectCount());
    EXPECT_EQ(0u, IDirectInputEffect_Release(effect));
}

TEST_F(DinputJoystickTest, WinmmCapsFollowTheJoysticksAndTheirAxes) {
    VirtualStick two("Two Axes", SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0);
    VirtualStick four("Four Axes", SDL_JOYSTICK_TYPE_UNKNOWN, 4, 2, 1);
    int count = SDL_NumJoysticks();
    JOYCAPSA caps;
    bool sawTwo = false, sawFour = false;
    for (int id = 0; id < count; ++id) {
        ASSERT_EQ(JOYERR_NOERROR, joyGetDevCapsA(static_cast<UINT>(id), &caps, sizeof caps));
        if (std::strcmp(caps.szPname, "Two Axes") == 0) {
            sawTwo = true;
            EXPECT_EQ(0u, caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR));
        }
        if (std::strcmp(caps.szPname, "Four Axes") == 0) {
            sawFour = true;
            EXPECT_EQ(JOYCAPS_HASZ | JOYCAPS_HASR, caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU));
            EXPECT_NE(0u, caps.wCaps & JOYCAPS_HASPOV);
        }
    }
    EXPECT_TRUE(sawTwo && sawFour);
    EXPECT_EQ(JOYERR_UNPLUGGED, joyGetDevCapsA(static_cast<UINT>(count), &caps, sizeof caps));
    EXPECT_EQ(JOYERR_PARMS, joyGetDevCapsA(16, &caps, sizeof caps));
    EXPECT_EQ(MMSYSERR_INVALPARAM, joyGetDevCapsA(0, &caps, sizeof caps - 1));
}
