// The DirectInput object and its keyboard: key codes and virtual keys kept from SDL's
// key events, notification, acquisition and the object's creation rules.
#include "dinput_test_support.h"

namespace {

BYTE KeyState(IDirectInputDeviceA* keyboard, int code) {
    BYTE keys[256];
    EXPECT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(keyboard, 256, keys));
    return keys[code];
}

BYTE VirtualKey(int vk) {
    BYTE keys[256];
    EXPECT_TRUE(GetKeyboardState(keys));
    return keys[vk];
}

}  // namespace

TEST_F(DinputTest, EachKeyReadsDownWhileHeldByItsKeyCode) {
    IDirectInputDeviceA* keyboard = AcquiredKeyboard();
    const struct {
        SDL_Scancode scancode;
        int code;
    } table[] = {
        // The game's keys.
        {SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_BACKSPACE, 14}, {SDL_SCANCODE_LSHIFT, 42}, {SDL_SCANCODE_Z, 44},
        {SDL_SCANCODE_X, 45}, {SDL_SCANCODE_UP, 200}, {SDL_SCANCODE_LEFT, 203}, {SDL_SCANCODE_RIGHT, 205},
        {SDL_SCANCODE_DOWN, 208},
        // Extended keys carry bit 7; the Japanese keys have codes of their own.
        {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_RETURN, 0x1C},
        {SDL_SCANCODE_F12, 0x58}, {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_INTERNATIONAL3, 0x7D},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(SDL_GetScancodeName(row.scancode));
        EXPECT_EQ(0, KeyState(keyboard, row.code));
        Key(row.scancode, true);
        EXPECT_EQ(0x80, KeyState(keyboard, row.code));
        Key(row.scancode, false);
        EXPECT_EQ(0, KeyState(keyboard, row.code));
    }
}

TEST_F(DinputTest, VirtualKeysFollowAJapaneseKeyboard) {
    const struct {
        SDL_Scancode scancode;
        int vk;
    } table[] = {
        {SDL_SCANCODE_Z, 'Z'},           {SDL_SCANCODE_0, '0'},           {SDL_SCANCODE_F1, 0x70},
        {SDL_SCANCODE_LEFT, 0x25},       {SDL_SCANCODE_KP_ENTER, 0x0D},   {SDL_SCANCODE_KP_5, 0x65},
        {SDL_SCANCODE_SEMICOLON, 0xBB},  {SDL_SCANCODE_APOSTROPHE, 0xBA}, {SDL_SCANCODE_LEFTBRACKET, 0xC0},
        {SDL_SCANCODE_RIGHTBRACKET, 0xDB}, {SDL_SCANCODE_EQUALS, 0xDE},   {SDL_SCANCODE_INTERNATIONAL1, 0xE2},
        {SDL_SCANCODE_INTERNATIONAL3, 0xDC},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(SDL_GetScancodeName(row.scancode));
        Key(row.scancode, true);
        EXPECT_EQ(0x80, VirtualKey(row.vk) & 0x80);
        Key(row.scancode, false);
        EXPECT_EQ(0, VirtualKey(row.vk) & 0x80);
    }
}

TEST_F(DinputTest, GenericShiftFollowsEitherSideAndPressesToggle) {
    Key(SDL_SCANCODE_LSHIFT, true);
    Key(SDL_SCANCODE_RSHIFT, true);
    Key(SDL_SCANCODE_RSHIFT, false);
    EXPECT_EQ(0x80, VirtualKey(0xA0) & 0x80);  // VK_LSHIFT
    EXPECT_EQ(0, VirtualKey(0xA1) & 0x80);     // VK_RSHIFT
    EXPECT_EQ(0x80, VirtualKey(0x10) & 0x80);  // VK_SHIFT
    Key(SDL_SCANCODE_LSHIFT, false);
    EXPECT_EQ(0, VirtualKey(0x10) & 0x80);

    BYTE before = VirtualKey(0x14) & 0x01;  // VK_CAPITAL
    Key(SDL_SCANCODE_CAPSLOCK, true);
    Key(SDL_SCANCODE_CAPSLOCK, false);
    EXPECT_NE(before, VirtualKey(0x14) & 0x01);

    // Both Enter keys are VK_RETURN: it stays down until the second one is let go.
    Key(SDL_SCANCODE_RETURN, true);
    Key(SDL_SCANCODE_KP_ENTER, true);
    Key(SDL_SCANCODE_RETURN, false);
    EXPECT_EQ(0x80, VirtualKey(0x0D) & 0x80);
    Key(SDL_SCANCODE_KP_ENTER, false);
    EXPECT_EQ(0, VirtualKey(0x0D) & 0x80);
}

TEST_F(DinputTest, KeyboardEventIsSignalledOnEveryChangeButNotOnRepeat) {
    Object();
    IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIKeyboard));
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetEventNotification(keyboard, event));
    Key(SDL_SCANCODE_A, true);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0)) << "not acquired yet";
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(keyboard));
    Key(SDL_SCANCODE_A, false);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    ResetEvent(event);

    SDL_Event repeat = {};
    repeat.type = SDL_KEYDOWN;
    repeat.key.keysym.scancode = SDL_SCANCODE_B;
    WindowSeamInjectEvent(repeat, window_);
    repeat.key.repeat = 1;
    Drain();
    ResetEvent(event);
    WindowSeamInjectEvent(repeat, window_);
    Drain();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    Key(SDL_SCANCODE_B, false);

    ASSERT_EQ(DI_OK, IDirectInputDevice_Unacquire(keyboard));
    EXPECT_EQ(DI_OK, IDirectInputDevice_SetEventNotification(keyboard, nullptr));
    CloseHandle(event);
}

TEST_F(DinputTest, DeviceCallsKeepTheirOrder) {
    Object();
    IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
    BYTE keys[256];
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_Acquire(keyboard)) << "no data format yet";
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIJoystick));
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIKeyboard));
    EXPECT_EQ(DIERR_NOTACQUIRED, IDirectInputDevice_GetDeviceState(keyboard, 256, keys));
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_SetCooperativeLevel(keyboard, window_, DISCL_EXCLUSIVE));
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_SetCooperativeLevel(keyboard, nullptr, 5));
    EXPECT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(keyboard, nullptr, 10)) << "no window needed";
    DIPROPDWORD buffer = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 100};
    EXPECT_EQ(DI_OK, IDirectInputDevice_SetProperty(keyboard, DIPROP_BUFFERSIZE, &buffer.diph));
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(keyboard));
    EXPECT_EQ(DI_NOEFFECT, IDirectInputDevice_Acquire(keyboard));
    EXPECT_EQ(DIERR_ACQUIRED, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIKeyboard));
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInputDevice_GetDeviceState(keyboard, 255, keys));
    EXPECT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(keyboard, 256, keys));
    EXPECT_EQ(DI_NOEFFECT, IDirectInputDevice_Poll(keyboard));
}

TEST_F(DinputTest, ForegroundDevicesNeedTheActiveWindow) {
    Object();
    IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIKeyboard));
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(keyboard, window_, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    WindowSeamSetActive(window_, false);
    Drain();
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, IDirectInputDevice_Acquire(keyboard));
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(keyboard, window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
    EXPECT_EQ(DI_OK, IDirectInputDevice_Acquire(keyboard));
    EXPECT_EQ(DI_OK, IDirectInputDevice_Unacquire(keyboard));
    WindowSeamSetActive(window_, true);
    Drain();
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(keyboard, window_, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DI_OK, IDirectInputDevice_Acquire(keyboard));
}

TEST_F(DinputTest, ObjectsAnswerOnlyTheirOwnVersionAndClass) {
    void* out = nullptr;
    EXPECT_EQ(DIERR_NOINTERFACE, DirectInputCreateInstance(CLSID_DirectInput, IID_IDirectInput8A, &out));
    EXPECT_EQ(DIERR_DEVICENOTREG, DirectInputCreateInstance(IID_IDirectInput7A, IID_IDirectInput7A, &out));
    ASSERT_EQ(S_OK, DirectInputCreateInstance(CLSID_DirectInput8, IID_IDirectInput8A, &out));
    auto* di = static_cast<IDirectInputA*>(out);
    IDirectInputDeviceA* device = nullptr;
    EXPECT_EQ(DIERR_NOTINITIALIZED, IDirectInput8_CreateDevice(di, GUID_SysKeyboard, &device, nullptr));
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION, IDirectInput_Initialize(di, nullptr, 0x700));
    EXPECT_EQ(DIERR_BETADIRECTINPUTVERSION, IDirectInput_Initialize(di, nullptr, 0x900));
    ASSERT_EQ(DI_OK, IDirectInput_Initialize(di, nullptr, 0x800));
    EXPECT_EQ(DIERR_ALREADYINITIALIZED, IDirectInput_Initialize(di, nullptr, 0x800));
    EXPECT_EQ(DIERR_INVALIDPARAM, IDirectInput7_CreateDeviceEx(di, GUID_SysKeyboard, IID_IDirectInputDevice7A, &out, nullptr));
    ASSERT_EQ(DI_OK, IDirectInput8_CreateDevice(di, GUID_SysMouse, &device, nullptr));
    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof info;
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceInfo(device, &info));
    EXPECT_TRUE(IsEqualGUID(GUID_SysMouse, info.guidInstance));
    // The device keeps the object alive until it goes too.
    EXPECT_EQ(1u, IDirectInput_Release(di));
    EXPECT_EQ(2, DinputSeamLiveObjectCount());
    EXPECT_EQ(0u, IDirectInputDevice_Release(device));
    EXPECT_EQ(0, DinputSeamLiveObjectCount());
    EXPECT_EQ(0u, IDirectInputDevice_Release(device)) << "a released device is refused";
}

TEST_F(DinputTest, SeamsFailCreationAndDeviceCalls) {
    void* out = nullptr;
    DinputSeamFailCreation(7, DIERR_DEVICENOTREG, 1);
    EXPECT_EQ(DIERR_DEVICENOTREG, DirectInputCreateInstance(CLSID_DirectInput, IID_IDirectInput7A, &out));
    EXPECT_EQ(nullptr, out);
    Object(7);
    DinputSeamFailDeviceCall(DinputCall::SetEventNotification, DinputDeviceKind::Keyboard, 1, E_FAIL);
    IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(E_FAIL, IDirectInputDevice_SetEventNotification(keyboard, event));
    EXPECT_EQ(DI_OK, IDirectInputDevice_SetEventNotification(keyboard, event)) << "only the next call fails";
    IDirectInputDevice_SetEventNotification(keyboard, nullptr);
    CloseHandle(event);
}

TEST_F(DinputTest, MouseReportsMotionSinceTheLastRead) {
    Object();
    IDirectInputDeviceA* mouse = Device(GUID_SysMouse);
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(mouse, &c_dfDIMouse2));
    ASSERT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(mouse, window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
    ASSERT_EQ(DI_OK, IDirectInputDevice_Acquire(mouse));
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = 5;
    e.motion.yrel = -3;
    WindowSeamInjectEvent(e, window_);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    WindowSeamInjectEvent(e, window_);
    Drain();
    DIMOUSESTATE2 state;
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(mouse, sizeof state, &state));
    EXPECT_EQ(5, state.lX);
    EXPECT_EQ(-3, state.lY);
    EXPECT_EQ(0x80, state.rgbButtons[1]);
    ASSERT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(mouse, sizeof state, &state));
    EXPECT_EQ(0, state.lX);
}
