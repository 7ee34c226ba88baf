// Test seams of the input groups. See dinput_seams.h.
#include "platform/testing/dinput_seams.h"

#include "platform/dinput_internal.h"
#include "platform/imm_internal.h"

static DinputCall CallOf(DinputSeamCall call) {
    switch (call) {
    case DinputSeamCall::CreateDevice: return DinputCall::CreateDevice;
    case DinputSeamCall::SetDataFormat: return DinputCall::SetDataFormat;
    case DinputSeamCall::SetCooperativeLevel: return DinputCall::SetCooperativeLevel;
    case DinputSeamCall::SetProperty: return DinputCall::SetProperty;
    case DinputSeamCall::SetEventNotification: return DinputCall::SetEventNotification;
    case DinputSeamCall::Acquire: return DinputCall::Acquire;
    case DinputSeamCall::CreateEffect: return DinputCall::CreateEffect;
    }
    return DinputCall::CreateDevice;
}

static DinputDeviceKind KindOf(DinputSeamDevice device) {
    switch (device) {
    case DinputSeamDevice::Keyboard: return DinputDeviceKind::Keyboard;
    case DinputSeamDevice::Mouse: return DinputDeviceKind::Mouse;
    case DinputSeamDevice::Joystick: return DinputDeviceKind::Joystick;
    }
    return DinputDeviceKind::Keyboard;
}

void DinputSeamFailCreation(int version, HRESULT error, int count) {
    DinputSetFault(DinputCall::CreateInstance, version, count, error);
}

void DinputSeamFailInitialize(int version, HRESULT error, int count) {
    DinputSetFault(DinputCall::Initialize, version, count, error);
}

void DinputSeamFailDeviceCall(DinputSeamCall call, DinputSeamDevice device, int count, HRESULT error) {
    DinputSetFault(CallOf(call), DinputDeviceTarget(KindOf(device)), count, error);
}

void DinputSeamUseRecordingEffects(bool on) { DinputRecordingEffects = on; }

int DinputSeamRunningEffectCount(void) { return DinputRunningEffectCount(); }

bool DinputSeamEffectRunning(IDirectInputEffect* effect) {
    std::lock_guard<std::mutex> lock(DinputLock());
    return DinputIsEffect(effect) && effect->running;
}

void DinputSeamSetKey(SDL_Scancode scancode, bool down) { DinputApplyKeyEvent(scancode, down); }

int DinputSeamLiveObjectCount(void) { return DinputLiveCount(); }

void DinputSeamReset(void) {
    DinputClearFaults();
    DinputResetKeyboard();
    ImmResetForTest();
}
