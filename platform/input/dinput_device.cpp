// dinput_device.cpp - the device methods shared by the keyboard, the mouse and game
// controllers: data format, cooperative level, properties, notification, acquisition and
// reading the state.
#include <cstring>

#include "platform/input/dinput_internal.h"
#include "platform/window/window.h"

// Runs `body` with the mutex held when the device is live, else answers `refused`.
template <typename Body>
static HRESULT WithDevice(IDirectInputDeviceA* device, HRESULT refused, Body body) {
    std::lock_guard<std::mutex> lock(DinputLock());
    if (!DinputIsDevice(device)) return refused;
    return body();
}

static HRESULT Fault(IDirectInputDeviceA* device, DinputCall call) {
    return DinputTakeFault(call, DinputDeviceTarget(device->kind));
}

ULONG IDirectInputDevice_AddRef(IDirectInputDeviceA* device) {
    std::lock_guard<std::mutex> lock(DinputLock());
    if (!DinputIsDevice(device)) return 0;
    return static_cast<ULONG>(++device->refs);
}

ULONG IDirectInputDevice_Release(IDirectInputDeviceA* device) {
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsDevice(device)) return 0;
        if (--device->refs > 0) return static_cast<ULONG>(device->refs);
        device->acquired = false;
        DinputUnregister(device);
    }
    if (device->kind == DinputDeviceKind::Joystick) {
        SdlCallScope sdl;
        DinputReleaseHaptic(device);
        DinputCloseJoystick(device);
    }
    IDirectInput_Release(device->owner);
    delete device;
    return 0;
}

HRESULT IDirectInputDevice_GetDeviceInfo(IDirectInputDeviceA* device, DIDEVICEINSTANCEA* info) {
    if (info == nullptr || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        *info = device->info;
        return DI_OK;
    });
}

static const DIDATAFORMAT* FormatOfKind(DinputDeviceKind kind) {
    switch (kind) {
    case DinputDeviceKind::Keyboard: return &c_dfDIKeyboard;
    case DinputDeviceKind::Mouse: return &c_dfDIMouse2;
    case DinputDeviceKind::Joystick: return &c_dfDIJoystick;
    }
    return nullptr;
}

HRESULT IDirectInputDevice_SetDataFormat(IDirectInputDeviceA* device, const DIDATAFORMAT* format) {
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        if (device->acquired) return DIERR_ACQUIRED;
        if (HRESULT fault = Fault(device, DinputCall::SetDataFormat); fault != S_OK) return fault;
        // The layer knows the three standard formats; each fits its own kind of device.
        if (format != FormatOfKind(device->kind)) return DIERR_INVALIDPARAM;
        device->format = format;
        return DI_OK;
    });
}

HRESULT IDirectInputDevice_SetCooperativeLevel(IDirectInputDeviceA* device, HWND window, DWORD flags) {
    DWORD exclusive = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    DWORD ground = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    // Background non-exclusive use needs no window; every other level needs a top-level one.
    bool anyWindow = exclusive == DISCL_NONEXCLUSIVE && ground == DISCL_BACKGROUND && window == nullptr;
    bool valid = (exclusive == DISCL_EXCLUSIVE || exclusive == DISCL_NONEXCLUSIVE) &&
                 (ground == DISCL_FOREGROUND || ground == DISCL_BACKGROUND) &&
                 (anyWindow || (IsWindow(window) && GetParent(window) == nullptr));
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        if (!valid) return DIERR_INVALIDPARAM;
        if (HRESULT fault = Fault(device, DinputCall::SetCooperativeLevel); fault != S_OK) return fault;
        device->cooperativeLevel = flags;
        device->window = window;
        return DI_OK;
    });
}

// The axis slot of a joystick offset, or -1.
static int AxisSlot(DWORD offset) {
    if (offset % 4 != 0 || offset / 4 >= DinputAxisSlots) return -1;
    return static_cast<int>(offset / 4);
}

HRESULT IDirectInputDevice_SetProperty(IDirectInputDeviceA* device, DWORD property, const DIPROPHEADER* header) {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    return WithDevice(device, DIERR_INVALIDPARAM, [&]() -> HRESULT {
        if (HRESULT fault = Fault(device, DinputCall::SetProperty); fault != S_OK) return fault;
        if (device->acquired) return DIERR_ACQUIRED;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            device->bufferSize = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        if (device->kind != DinputDeviceKind::Joystick || (property != DIPROP_RANGE && property != DIPROP_DEADZONE)) {
            return DIERR_UNSUPPORTED;
        }
        int first = 0, last = DinputAxisSlots - 1;
        if (header->dwHow == DIPH_BYOFFSET) {
            first = last = AxisSlot(header->dwObj);
            if (first < 0) return DIERR_OBJECTNOTFOUND;
        } else if (header->dwHow != DIPH_DEVICE) {
            return DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_RANGE) {
            if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            for (int i = first; i <= last; ++i) {
                device->rangeMin[i] = range->lMin;
                device->rangeMax[i] = range->lMax;
            }
        } else {
            if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
            DWORD zone = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (zone > 10000) return DIERR_INVALIDPARAM;
            for (int i = first; i <= last; ++i) device->deadZone[i] = zone;
        }
        return DI_OK;
    });
}

HRESULT IDirectInputDevice_GetProperty(IDirectInputDeviceA* device, DWORD property, DIPROPHEADER* header) {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    return WithDevice(device, DIERR_INVALIDPARAM, [&]() -> HRESULT {
        if (property == DIPROP_BUFFERSIZE && header->dwSize == sizeof(DIPROPDWORD)) {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = device->bufferSize;
            return DI_OK;
        }
        int slot = header->dwHow == DIPH_BYOFFSET ? AxisSlot(header->dwObj) : -1;
        if (device->kind != DinputDeviceKind::Joystick || slot < 0) return DIERR_UNSUPPORTED;
        if (property == DIPROP_RANGE && header->dwSize == sizeof(DIPROPRANGE)) {
            auto* range = reinterpret_cast<DIPROPRANGE*>(header);
            range->lMin = device->rangeMin[slot];
            range->lMax = device->rangeMax[slot];
            return DI_OK;
        }
        if (property == DIPROP_DEADZONE && header->dwSize == sizeof(DIPROPDWORD)) {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = device->deadZone[slot];
            return DI_OK;
        }
        return DIERR_INVALIDPARAM;
    });
}

HRESULT IDirectInputDevice_SetEventNotification(IDirectInputDeviceA* device, HANDLE event) {
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        if (HRESULT fault = Fault(device, DinputCall::SetEventNotification); fault != S_OK) return fault;
        if (device->acquired) return DIERR_ACQUIRED;
        device->event = event;
        return device->kind == DinputDeviceKind::Joystick ? DI_POLLEDDEVICE : DI_OK;
    });
}

HRESULT IDirectInputDevice_Acquire(IDirectInputDeviceA* device) {
    HWND active = GetActiveWindow();
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        if (device->format == nullptr) return DIERR_INVALIDPARAM;
        if (device->acquired) return DI_NOEFFECT;
        if (HRESULT fault = Fault(device, DinputCall::Acquire); fault != S_OK) return fault;
        if ((device->cooperativeLevel & DISCL_FOREGROUND) != 0 && device->window != active) {
            return DIERR_OTHERAPPHASPRIO;
        }
        device->acquired = true;
        device->mouseX = device->mouseY = device->mouseZ = 0;
        return DI_OK;
    });
}

HRESULT IDirectInputDevice_Unacquire(IDirectInputDeviceA* device) {
    return WithDevice(device, DIERR_INVALIDPARAM, [&] {
        if (!device->acquired) return DI_NOEFFECT;
        device->acquired = false;
        return DI_OK;
    });
}

HRESULT IDirectInputDevice_Poll(IDirectInputDeviceA* device) {
    DinputDeviceKind kind;
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsDevice(device)) return DIERR_INVALIDPARAM;
        if (!device->acquired) return DIERR_NOTACQUIRED;
        kind = device->kind;
    }
    if (kind != DinputDeviceKind::Joystick) return DI_NOEFFECT;
    SdlCallScope sdl;
    DinputPollJoysticks();
    return DI_OK;
}

HRESULT IDirectInputDevice_GetDeviceState(IDirectInputDeviceA* device, DWORD size, void* data) {
    if (data == nullptr) return DIERR_INVALIDPARAM;
    DinputDeviceKind kind;
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsDevice(device) || device->format == nullptr || size != device->format->dwDataSize) {
            return DIERR_INVALIDPARAM;
        }
        if (!device->acquired) return DIERR_NOTACQUIRED;
        kind = device->kind;
        if (kind == DinputDeviceKind::Mouse) {
            DinputReadMouseState(device, static_cast<DIMOUSESTATE2*>(data));
            return DI_OK;
        }
    }
    if (kind == DinputDeviceKind::Keyboard) {
        DinputReadKeyState(static_cast<BYTE*>(data));
        return DI_OK;
    }
    SdlCallScope sdl;
    HRESULT result = DinputReadJoystick(device, static_cast<DIJOYSTATE*>(data));
    if (result == DIERR_INPUTLOST) IDirectInputDevice_Unacquire(device);
    return result;
}
