// Helpers for the input groups' tests: a DirectInput object of either version and a
// shown, active window whose SDL events reach the input state.
#pragma once

#include "platform/input/dinput.h"
#include "window_test_support.h"

class DinputTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        DinputSeamReset();
        window_ = Create();
        ShowWindow(window_, SW_SHOW);
        Drain();
    }
    void TearDown() override {
        for (auto it = devices_.rbegin(); it != devices_.rend(); ++it) IDirectInputDevice_Release(*it);
        if (di_ != nullptr) IDirectInput_Release(di_);
        EXPECT_EQ(0, DinputSeamLiveObjectCount());
        DinputSeamReset();
        WindowTest::TearDown();
    }
    // An initialised object of the version (7 or 8).
    IDirectInputA* Object(int version = 7) {
        void* out = nullptr;
        EXPECT_EQ(S_OK, DirectInputCreateInstance(version == 7 ? CLSID_DirectInput : CLSID_DirectInput8,
                                                  version == 7 ? IID_IDirectInput7A : IID_IDirectInput8A, &out));
        di_ = static_cast<IDirectInputA*>(out);
        EXPECT_EQ(DI_OK, IDirectInput_Initialize(di_, nullptr, version == 7 ? 0x700u : 0x800u));
        return di_;
    }
    // A device of the object made by Object(), kept for release at the end.
    IDirectInputDeviceA* Device(const GUID& guid) {
        void* out = nullptr;
        EXPECT_EQ(DI_OK, IDirectInput7_CreateDeviceEx(di_, guid, IID_IDirectInputDevice7A, &out, nullptr));
        auto* device = static_cast<IDirectInputDeviceA*>(out);
        if (device != nullptr) devices_.push_back(device);
        return device;
    }
    // The system keyboard, formatted, non-exclusive in the background and acquired.
    IDirectInputDeviceA* AcquiredKeyboard() {
        if (di_ == nullptr) Object();
        IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
        EXPECT_EQ(DI_OK, IDirectInputDevice_SetDataFormat(keyboard, &c_dfDIKeyboard));
        EXPECT_EQ(DI_OK, IDirectInputDevice_SetCooperativeLevel(keyboard, window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
        EXPECT_EQ(DI_OK, IDirectInputDevice_Acquire(keyboard));
        return keyboard;
    }
    // Presses or releases a key through the window's SDL event translation.
    void Key(SDL_Scancode scancode, bool down) {
        WindowSeamInjectKey(scancode, down, window_);
        Drain();
    }
    HWND window_ = nullptr;
    IDirectInputA* di_ = nullptr;
    std::vector<IDirectInputDeviceA*> devices_;
};
