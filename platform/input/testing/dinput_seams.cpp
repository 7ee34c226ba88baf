// Test seams of the input groups. See dinput_seams.h.
#include "platform/input/testing/dinput_seams.h"

#include <cstring>

#include "platform/window/testing/window_seams.h"

#include "platform/input/imm_internal.h"

void DinputSeamFailCreation(int version, HRESULT error, int count) {
    DinputSetFault(DinputCall::CreateInstance, version, count, error);
}

void DinputSeamFailInitialize(int version, HRESULT error, int count) {
    DinputSetFault(DinputCall::Initialize, version, count, error);
}

void DinputSeamFailDeviceCall(DinputCall call, DinputDeviceKind device, int count, HRESULT error) {
    DinputSetFault(call, DinputDeviceTarget(device), count, error);
}

void DinputSeamUseRecordingEffects(bool on) { DinputRecordingEffects = on; }

int DinputSeamRunningEffectCount(void) { return DinputRunningEffectCount(); }

bool DinputSeamEffectRunning(IDirectInputEffect* effect) {
    std::lock_guard<std::mutex> lock(DinputLock());
    return DinputIsEffect(effect) && effect->running;
}

void DinputSeamSetKey(SDL_Scancode scancode, bool down) { DinputApplyKeyEvent(scancode, down); }

void DinputSeamInjectEditing(const char* utf8, int start, HWND window) {
    SDL_Event e = {};
    e.type = SDL_TEXTEDITING;
    std::strncpy(e.edit.text, utf8, sizeof e.edit.text - 1);
    e.edit.start = start;
    WindowSeamInjectEvent(e, window);
}

int DinputSeamLiveObjectCount(void) { return DinputLiveCount(); }

void DinputSeamReset(void) {
    DinputClearFaults();
    DinputResetKeyboard();
    ImmResetForTest();
}
