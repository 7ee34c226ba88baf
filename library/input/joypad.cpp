// joypad.cpp - the game controllers found at set-up: each is opened exclusive in the
// foreground with axis ranges -1000..1000 and a 25 % dead zone on X, Y, Z and Rz, and
// gets a constant-force and a sine effect where the device can play them.
#include <cstring>

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/input/input.h"
#include "library/input/input_state.h"

enum {
    CooperativeForeground = DISCL_EXCLUSIVE | DISCL_FOREGROUND,     // 5
    CooperativeBackground = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND,  // 10
    JoypadAxisMin = -1000,
    JoypadAxisMax = 1000,
    JoypadDeadZone = 2500,
};

static void ReleaseEffect(IDirectInputEffect*& effect) {
    if (effect == nullptr) return;
    IDirectInputEffect_Stop(effect);
    IDirectInputEffect_Release(effect);
    effect = nullptr;
}

// Lets go of everything a pad record holds and zeroes it.
static void ReleasePad(JoypadRecord& pad) {
    if (pad.device != nullptr) {
        IDirectInputDevice_Unacquire(pad.device);
        IDirectInputDevice_SetEventNotification(pad.device, nullptr);
    }
    ReleaseEffect(pad.constantEffect);
    ReleaseEffect(pad.sineEffect);
    if (pad.device != nullptr) IDirectInputDevice_Release(pad.device);
    if (pad.event != nullptr) CloseHandle(pad.event);
    std::memset(&pad, 0, sizeof pad);
}

int ReleaseAllJoypads(void) {
    InputState& in = InputStateRecord;
    if (!InputIsSetUp()) return -1;
    for (JoypadRecord& pad : in.pads) {
        if (pad.device != nullptr || pad.event != nullptr) ReleasePad(pad);
    }
    in.padCount = 0;
    return 0;
}

int EnumerateJoypads(void) {
    InputState& in = InputStateRecord;
    if (!InputUsesDirectInput()) return -1;
    ReleaseAllJoypads();
    WriteLogText("ジョイパッドの初期化... \n");
    in.padCount = 0;
    IDirectInput_EnumDevices(in.directInput, DIDEVTYPE_JOYSTICK, AddJoypadDevice, nullptr, DIEDFL_ATTACHEDONLY);
    WriteLogText("ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

// Sets one axis property by offset.
static HRESULT SetAxisRange(IDirectInputDeviceA* device, DWORD offset) {
    DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, JoypadAxisMin,
                         JoypadAxisMax};
    return IDirectInputDevice_SetProperty(device, DIPROP_RANGE, &range.diph);
}

static HRESULT SetAxisDeadZone(IDirectInputDeviceA* device, DWORD offset) {
    DIPROPDWORD zone = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, JoypadDeadZone};
    return IDirectInputDevice_SetProperty(device, DIPROP_DEADZONE, &zone.diph);
}

// The ranges and dead zones of X, Y, Z and Rz; false (logged) when X or Y refused one.
static bool SetupAxes(IDirectInputDeviceA* device) {
    if (FAILED(SetAxisRange(device, DIJOFS_X))) {
        WriteLogText("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
        return false;
    }
    if (FAILED(SetAxisRange(device, DIJOFS_Y))) {
        WriteLogText("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
        return false;
    }
    SetAxisRange(device, DIJOFS_Z);
    SetAxisRange(device, DIJOFS_RZ);
    if (FAILED(SetAxisDeadZone(device, DIJOFS_X))) {
        WriteLogText("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
        return false;
    }
    if (FAILED(SetAxisDeadZone(device, DIJOFS_Y))) {
        WriteLogText("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
        return false;
    }
    SetAxisDeadZone(device, DIJOFS_Z);
    SetAxisDeadZone(device, DIJOFS_RZ);
    return true;
}

// The two effects on X and Y: an endless sine (1.5 s period, 0.5 s attack, 1 s fade) and
// an endless constant force, both at full magnitude.
static void CreatePadEffects(JoypadRecord& pad) {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {0, 0};
    DIENVELOPE envelope = {sizeof(DIENVELOPE), 0, DI_SECONDS / 2, 0, DI_SECONDS};
    DIPERIODIC periodic = {DI_FFNOMINALMAX, 0, 0, DI_SECONDS * 3 / 2};
    DIEFFECT effect = {};
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwSamplePeriod = 0;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.dwTriggerRepeatInterval = 0;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    effect.dwStartDelay = 0;
    if (FAILED(IDirectInputDevice_CreateEffect(pad.device, GUID_Sine, &effect, &pad.sineEffect, nullptr))) {
        pad.sineEffect = nullptr;
        WriteLogText("周期的エフェクトの作成に失敗しました。\n");
    }
    DICONSTANTFORCE force = {DI_FFNOMINALMAX};
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof force;
    effect.lpvTypeSpecificParams = &force;
    // A pad without this effect simply has none.
    if (FAILED(IDirectInputDevice_CreateEffect(pad.device, GUID_ConstantForce, &effect, &pad.constantEffect, nullptr))) {
        pad.constantEffect = nullptr;
    }
}

BOOL AddJoypadDevice(const DIDEVICEINSTANCEA* instance, void*) {
    InputState& in = InputStateRecord;
    if (in.padCount >= JoypadCapacity) return DIENUM_STOP;
    JoypadRecord& pad = in.pads[in.padCount];
    std::memset(&pad, 0, sizeof pad);
    WriteLogText("入力装置を見つけました\n");
    HRESULT created;
    if (in.directInput8) {
        created = IDirectInput8_CreateDevice(in.directInput, instance->guidInstance, &pad.device, nullptr);
    } else {
        void* out = nullptr;
        created = IDirectInput7_CreateDeviceEx(in.directInput, instance->guidInstance, IID_IDirectInputDevice7A, &out,
                                              nullptr);
        pad.device = static_cast<IDirectInputDeviceA*>(out);
    }
    if (FAILED(created) || pad.device == nullptr) {
        pad.device = nullptr;
        WriteLogText("入力装置の取得に失敗しました\n");
        return DIENUM_CONTINUE;
    }

    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof info;
    if (FAILED(IDirectInputDevice_GetDeviceInfo(pad.device, &info))) info = *instance;
    CopyTextBounded(pad.instanceName, sizeof pad.instanceName, info.tszInstanceName);
    CopyTextBounded(pad.productName, sizeof pad.productName, info.tszProductName);
    IncLogIndent();
    WriteLogFormat("デバイスの登録名:%s", pad.instanceName);
    WriteLogFormat("デバイスの製品登録名:%s", pad.productName);
    DecLogIndent();

    HWND window = GetAppWindowHandle();
    const char* failure = nullptr;
    if (FAILED(IDirectInputDevice_SetDataFormat(pad.device, &c_dfDIJoystick))) {
        failure = "ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n";
    } else if (FAILED(IDirectInputDevice_SetCooperativeLevel(pad.device, window, CooperativeForeground))) {
        failure = "ジョイパッドデバイスの協調レベルの設定に失敗しました\n";
    } else if (!SetupAxes(pad.device)) {
        ReleasePad(pad);  // SetupAxes logged why
        return DIENUM_CONTINUE;
    }
    if (failure != nullptr) {
        ReleasePad(pad);
        WriteLogText(failure);
        return DIENUM_CONTINUE;
    }

    CreatePadEffects(pad);
    pad.effectActive = 0;
    pad.effectPower = PadEffectFullPower;
    pad.constantRunning = 0;
    pad.sineRunning = 0;
    pad.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notified = pad.event != nullptr ? IDirectInputDevice_SetEventNotification(pad.device, pad.event) : E_FAIL;
    if (notified != DI_OK && notified != DI_POLLEDDEVICE) {
        // The device and its effects go with the pad that could not be added.
        ReleasePad(pad);
        WriteLogText("ジョイパッドイベントのセットアップが失敗しました\n");
        return DIENUM_CONTINUE;
    }
    IDirectInputDevice_Acquire(pad.device);
    std::memset(&pad.state, 0, sizeof pad.state);
    ++in.padCount;
    WriteLogText("ジョイパッドの追加は正常に終了しました\n");
    return in.padCount < JoypadCapacity ? DIENUM_CONTINUE : DIENUM_STOP;
}

int ReacquireInputDevices(void) {
    InputState& in = InputStateRecord;
    if (!InputUsesDirectInput()) return 0;
    DWORD level = CheckApplicationActive() ? CooperativeForeground : CooperativeBackground;
    HWND window = GetAppWindowHandle();
    for (JoypadRecord& pad : in.pads) {
        if (pad.device == nullptr) continue;
        IDirectInputDevice_Unacquire(pad.device);
        IDirectInputDevice_SetCooperativeLevel(pad.device, window, level);
        IDirectInputDevice_Acquire(pad.device);
    }
    if (in.keyboard != nullptr) {
        IDirectInputDevice_Unacquire(in.keyboard);
        IDirectInputDevice_Acquire(in.keyboard);
    }
    return 0;
}
