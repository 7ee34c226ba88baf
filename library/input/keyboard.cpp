// keyboard.cpp - DirectInput start-up and shutdown, the key-state buffer and the key
// test behind CheckKeyDown.
//
// Set-up tries DirectInput 7, then 8; without either, input runs in winmm mode: keys come
// from GetKeyboardState and joysticks are only counted. The buffer is refreshed at most
// once per millisecond tick unless the keyboard signalled a change, and every refresh
// first drains the window's messages (which is where SDL's key events come in).
#include <cstring>

#include "library/core/message_pump.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/input/input.h"
#include "library/input/input_state.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/kernel.h"
#include "platform/input/winmm_joystick.h"

InputState InputStateRecord;

enum {
    CooperativeBackground = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND,  // 10
    KeyboardBufferSize = 100,
};

// Releases what set-up made so far and ends the process.
[[noreturn]] static void FailDevice(const char* text) {
    InputState& in = InputStateRecord;
    ReleaseAllJoypads();
    for (IDirectInputDeviceA** device : {&in.keyboard, &in.mouse}) {
        if (*device != nullptr) IDirectInputDevice_Release(*device);
        *device = nullptr;
    }
    if (in.keyboardEvent != nullptr) CloseHandle(in.keyboardEvent);
    in.keyboardEvent = nullptr;
    IDirectInput_Release(in.directInput);
    in.directInput = nullptr;
    FatalErrorExit(text);
}

// A system device of the object's version, or null.
static IDirectInputDeviceA* CreateSystemDevice(const GUID& guid) {
    InputState& in = InputStateRecord;
    IDirectInputDeviceA* device = nullptr;
    HRESULT result;
    if (in.directInput8) {
        result = IDirectInput8_CreateDevice(in.directInput, guid, &device, nullptr);
    } else {
        void* out = nullptr;
        result = IDirectInput7_CreateDeviceEx(in.directInput, guid, IID_IDirectInputDevice7A, &out, nullptr);
        device = static_cast<IDirectInputDeviceA*>(out);
    }
    return SUCCEEDED(result) ? device : nullptr;
}

// Creates and initialises the object of one version; false (and nothing kept) on failure.
static bool ObtainDirectInput(int version) {
    InputState& in = InputStateRecord;
    void* out = nullptr;
    HRESULT result = DirectInputCreateInstance(version == 7 ? CLSID_DirectInput : CLSID_DirectInput8,
                                               version == 7 ? IID_IDirectInput7A : IID_IDirectInput8A, &out);
    if (FAILED(result)) {
        if (version == 7) {
            WriteLogText("取得に失敗。\n");
            WriteLogFormat("エラーコード 0x%x\n", static_cast<unsigned>(result));
        } else {
            WriteLogText("取得に失敗。");
        }
        return false;
    }
    WriteLogText("成功\n");
    IncLogIndent();
    WriteLogText("引き続き初期化処理... ");
    auto* di = static_cast<IDirectInputA*>(out);
    if (FAILED(IDirectInput_Initialize(di, SystemStateRecord.window.instance, version == 7 ? 0x700u : 0x800u))) {
        WriteLogText("初期化に失敗。");
        IDirectInput_Release(di);
        return false;
    }
    WriteLogText("初期化成功\n");
    in.directInput = di;
    in.directInput8 = version == 8;
    DecLogIndent();
    return true;
}

// Winmm mode: counts the joysticks and marks input as set up without DirectInput.
static int SetupWinmmInput(void) {
    InputState& in = InputStateRecord;
    IncLogIndent();
    int found = 0;
    for (UINT id = 0; id < JoypadCapacity; ++id) {
        JOYCAPSA caps = {};
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) break;
        const UINT both = JOYCAPS_HASZ | JOYCAPS_HASR;
        in.pads[id].hasZAndRAxes = (caps.wCaps & both) == both;
        ++found;
    }
    WriteLogFormat("パッドの数は %d 個です\n", found);
    DecLogIndent();
    in.directInput = WinmmModeObject();
    WriteLogText("入力関連の初期化をしました\n");
    in.padCount = JoypadCapacity;  // every pad loop tests the device, which stays null
    return 0;
}

int SetupDirectInput(void) {
    InputState& in = InputStateRecord;
    if (in.directInput != nullptr) return 0;
    int32_t winmmOnly = in.winmmOnly;
    std::memset(&in, 0, sizeof in);
    in.winmmOnly = winmmOnly;
    if (in.winmmOnly) return SetupWinmmInput();

    WriteLogText("DirectInput関係初期化処理\n");
    IncLogIndent();
    WriteLogText("DirectInput7 の取得中... ");
    if (!ObtainDirectInput(7)) {
        WriteLogText("DirectInput8 の取得を試みます...");
        if (!ObtainDirectInput(8)) {
            WriteLogText("DirectInput を使用しません。\n");
            DecLogIndent();
            in.winmmOnly = 1;
            return SetupWinmmInput();
        }
    }

    HWND window = GetAppWindowHandle();
    BringWindowToTop(window);
    ProcessMessageCore();
    EnumerateJoypads();

    WriteLogText("マウスデバイスの初期化... ");
    in.mouse = CreateSystemDevice(GUID_SysMouse);
    if (in.mouse == nullptr) FailDevice("マウスデバイスの取得に失敗しました");
    if (FAILED(IDirectInputDevice_SetDataFormat(in.mouse, &c_dfDIMouse2))) {
        FailDevice("マウスデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(IDirectInputDevice_SetCooperativeLevel(in.mouse, window, CooperativeBackground))) {
        FailDevice("マウスデバイスの協調レベルの設定に失敗しました");
    }
    WriteLogText("初期化成功\n");
    in.lastPollTime = timeGetTime();

    WriteLogText("キーボードデバイスの初期化... ");
    in.keyboard = CreateSystemDevice(GUID_SysKeyboard);
    if (in.keyboard == nullptr) FailDevice("キーボードデバイスの取得に失敗しました");
    if (FAILED(IDirectInputDevice_SetDataFormat(in.keyboard, &c_dfDIKeyboard))) {
        FailDevice("キーボードデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(IDirectInputDevice_SetCooperativeLevel(in.keyboard, window, CooperativeBackground))) {
        FailDevice("キーボードデバイスの協調レベルの設定に失敗しました");
    }
    DIPROPDWORD buffer = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, KeyboardBufferSize};
    if (FAILED(IDirectInputDevice_SetProperty(in.keyboard, DIPROP_BUFFERSIZE, &buffer.diph))) {
        WriteLogText("キーボードのプロパティ設定に失敗しました\n");
    }
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notified = event != nullptr ? IDirectInputDevice_SetEventNotification(in.keyboard, event) : E_FAIL;
    if (notified != DI_OK && notified != DI_POLLEDDEVICE) {
        if (event != nullptr) CloseHandle(event);
        WriteLogText("キーボードイベントのセットアップが失敗しました\n");
        DecLogIndent();  // the indent of the set-up ends here too
        return 1;
    }
    in.keyboardEvent = event;
    if (FAILED(IDirectInputDevice_Acquire(in.keyboard)) && FAILED(IDirectInputDevice_Acquire(in.keyboard))) {
        FailDevice("キーボードデバイスの取得に失敗しました");
    }
    WriteLogText("初期化成功\n");
    in.lastPollTime = timeGetTime();
    DecLogIndent();
    WriteLogText("DirectInput 関連の初期化は正常に終了しました\n");
    return 0;
}

int ShutdownDirectInput(void) {
    InputState& in = InputStateRecord;
    if (in.directInput == nullptr) return 0;
    if (InputIsWinmmMode()) {
        WriteLogText("入力関連の終了処理... 完了\n");
        std::memset(in.pads, 0, sizeof in.pads);
        in.padCount = 0;
        in.directInput = nullptr;
        return 0;
    }
    WriteLogText("DirectInput 関連の終了処理... 完了\n");
    ReleaseAllJoypads();
    if (in.keyboard != nullptr) {
        IDirectInputDevice_Unacquire(in.keyboard);
        IDirectInputDevice_Release(in.keyboard);
        in.keyboard = nullptr;
    }
    if (in.keyboardEvent != nullptr) {
        CloseHandle(in.keyboardEvent);
        in.keyboardEvent = nullptr;
    }
    if (in.mouse != nullptr) {
        IDirectInputDevice_Unacquire(in.mouse);
        IDirectInputDevice_Release(in.mouse);
        in.mouse = nullptr;
    }
    IDirectInput_Release(in.directInput);
    in.directInput = nullptr;
    return 0;
}

// The keyboard state by virtual key copied over the key codes of the pairs up to `end`.
static void OverlayKeyboardState(uint16_t end) {
    BYTE virtualKeys[256];
    if (!GetKeyboardState(virtualKeys)) return;
    for (const VkScanPair* pair = VkToScanCodeTable; pair->virtualKey != VkTableEnd; ++pair) {
        if (pair->virtualKey == VkTablePartEnd) {
            if (end == VkTablePartEnd) break;
            continue;
        }
        InputStateRecord.keyStateBuffer[pair->keyCode] = virtualKeys[pair->virtualKey];
    }
}

int UpdateKeyStateBuffer(void) {
    InputState& in = InputStateRecord;
    if (InputIsWinmmMode()) {
        DWORD now = timeGetTime();
        if (now == in.lastPollTime) return 0;
        in.lastPollTime = now;
        if (ProcessMessageCore() != 0) return 0;
        std::memset(in.keyStateBuffer, 0, sizeof in.keyStateBuffer);
        OverlayKeyboardState(VkTableEnd);
        return 1;
    }
    if (!InputIsSetUp() || in.keyboard == nullptr) return 0;
    DWORD now = timeGetTime();
    bool signalled = in.keyboardEvent != nullptr && WaitForSingleObject(in.keyboardEvent, 0) == WAIT_OBJECT_0;
    if (now == in.lastPollTime && !signalled) return 0;
    // The pump may run shutdown (the window closed): then there is nothing to read.
    if (ProcessMessageCore() != 0 || !InputUsesDirectInput() || in.keyboard == nullptr) return 0;
    // Reset before reading, so a change during the read is seen by the next call.
    if (in.keyboardEvent != nullptr) ResetEvent(in.keyboardEvent);
    if (FAILED(IDirectInputDevice_GetDeviceState(in.keyboard, KeyStateBytes, in.keyStateBuffer))) {
        if (FAILED(IDirectInputDevice_Acquire(in.keyboard))) return 0;
        if (FAILED(IDirectInputDevice_GetDeviceState(in.keyboard, KeyStateBytes, in.keyStateBuffer))) return 0;
    }
    in.lastPollTime = now;
    if (GetCurrentThreadId() == SystemStateRecord.window.mainThreadId) OverlayKeyboardState(VkTablePartEnd);
    return 1;
}

int CheckKeyDownCore(int code) {
    if (code < 0 || code >= KeyStateBytes) return 0;
    WaitWhileInactive();
    if (!InputIsSetUp()) {
        // Set up now; the keys read as up until the next call.
        if (!CheckWindowClosing()) SetupDirectInput();
        return 0;
    }
    UpdateKeyStateBuffer();
    return (InputStateRecord.keyStateBuffer[code] & 0x80) != 0 ? 1 : 0;
}

int SetInputMessageFlag1(void) {
    InputStateRecord.messageFlag1 = 1;
    return 0;
}

int ClearInputMessageFlag1(void) {
    InputStateRecord.messageFlag1 = 0;
    return 0;
}

int SetInputMessageFlag2(void) {
    InputStateRecord.messageFlag2 = 1;
    return 0;
}

int ClearInputMessageFlag2(void) {
    InputStateRecord.messageFlag2 = 0;
    return 0;
}
