// dinput_joystick.cpp - game controllers over SDL's joysticks: enumeration, opening and
// the DIJOYSTATE read from SDL's axes, hats and buttons.
//
// A device's instance identifier carries SDL's joystick instance id, so a device made
// from an enumerated instance finds its joystick even when others were plugged in since.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/input/dinput_internal.h"
#include "platform/window/window_internal.h"

namespace {

constexpr WORD InstanceMark2 = 0x4A53;
constexpr WORD InstanceMark3 = 0x5444;
constexpr BYTE InstanceMark4[8] = {'S', 'D', 'L', 'J', 'O', 'Y', 'S', 'T'};

GUID InstanceGuid(SDL_JoystickID id) {
    GUID guid{static_cast<DWORD>(id), InstanceMark2, InstanceMark3, {}};
    std::memcpy(guid.Data4, InstanceMark4, sizeof guid.Data4);
    return guid;
}

int IndexOfInstance(SDL_JoystickID id) {
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    }
    return -1;
}

}  // namespace

void DinputCopyName(char* field, size_t size, const char* utf8) {
    std::string name = Utf8ToCp932(utf8 != nullptr ? utf8 : "Joystick");
    size_t length = 0;
    while (length < name.size()) {
        auto lead = static_cast<unsigned char>(name[length]);
        size_t step = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
        if (length + step > size - 1 || length + step > name.size()) break;
        length += step;
    }
    std::memcpy(field, name.data(), length);
    field[length] = '\0';
}

namespace {

// An SDL axis value as -1..1.
double Normalize(Sint16 value) { return value < 0 ? value / 32768.0 : value / 32767.0; }

// A trigger (0..32767 released to pressed) as an axis from its minimum to its maximum.
double NormalizeTrigger(Sint16 value) { return std::max<int>(value, 0) / 32767.0 * 2.0 - 1.0; }

LONG ScaleAxis(double position, LONG min, LONG max, DWORD deadZone) {
    double zone = deadZone / 10000.0;
    double magnitude = std::fabs(position);
    double scaled = magnitude <= zone || zone >= 1.0 ? 0.0 : std::min((magnitude - zone) / (1.0 - zone), 1.0);
    double centre = (static_cast<double>(min) + max) / 2.0;
    double half = (static_cast<double>(max) - min) / 2.0;
    return static_cast<LONG>(std::lround(centre + std::copysign(scaled, position) * half));
}

// Hundredths of a degree clockwise from north for SDL's hat bits; 0xFFFFFFFF centred.
DWORD PovOfHat(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

// Axis slots (offset / 4) of the raw axes in SDL's order: X Y Z Rz Rx Ry Slider0 Slider1.
constexpr int RawAxisSlot[DinputAxisSlots] = {0, 1, 2, 5, 3, 4, 6, 7};

struct AxisSettings {
    LONG min[DinputAxisSlots];
    LONG max[DinputAxisSlots];
    DWORD deadZone[DinputAxisSlots];
};

void ReadController(SDL_GameController* pad, const AxisSettings& axes, DIJOYSTATE* state) {
    auto axis = [&](int slot, double position) {
        return ScaleAxis(position, axes.min[slot], axes.max[slot], axes.deadZone[slot]);
    };
    auto raw = [&](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(pad, a); };
    state->lX = axis(0, Normalize(raw(SDL_CONTROLLER_AXIS_LEFTX)));
    state->lY = axis(1, Normalize(raw(SDL_CONTROLLER_AXIS_LEFTY)));
    state->lZ = axis(2, Normalize(raw(SDL_CONTROLLER_AXIS_RIGHTX)));
    state->lRz = axis(5, Normalize(raw(SDL_CONTROLLER_AXIS_RIGHTY)));
    state->lRx = axis(3, NormalizeTrigger(raw(SDL_CONTROLLER_AXIS_TRIGGERLEFT)));
    state->lRy = axis(4, NormalizeTrigger(raw(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)));
    state->rglSlider[0] = axis(6, 0.0);
    state->rglSlider[1] = axis(7, 0.0);
    auto pressed = [&](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
    Uint8 hat = (pressed(SDL_CONTROLLER_BUTTON_DPAD_UP) ? SDL_HAT_UP : 0) |
                (pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) ? SDL_HAT_RIGHT : 0) |
                (pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN) ? SDL_HAT_DOWN : 0) |
                (pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT) ? SDL_HAT_LEFT : 0);
    state->rgdwPOV[0] = PovOfHat(hat);
    for (int i = 1; i < 4; ++i) state->rgdwPOV[i] = 0xFFFFFFFFu;
    static constexpr SDL_GameControllerButton Buttons[] = {
        SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,          SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y,         SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,      SDL_CONTROLLER_BUTTON_LEFTSTICK,
        SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE,     SDL_CONTROLLER_BUTTON_MISC1,
        SDL_CONTROLLER_BUTTON_PADDLE1,   SDL_CONTROLLER_BUTTON_PADDLE2,    SDL_CONTROLLER_BUTTON_PADDLE3,
        SDL_CONTROLLER_BUTTON_PADDLE4,   SDL_CONTROLLER_BUTTON_TOUCHPAD,
    };
    int i = 0;
    for (SDL_GameControllerButton b : Buttons) state->rgbButtons[i++] = pressed(b) ? 0x80 : 0x00;
}

void ReadRawJoystick(SDL_Joystick* stick, const AxisSettings& axes, DIJOYSTATE* state) {
    LONG* slots[DinputAxisSlots] = {&state->lX,  &state->lY,  &state->lZ,           &state->lRx,
                                    &state->lRy, &state->lRz, &state->rglSlider[0], &state->rglSlider[1]};
    int axisCount = std::min(SDL_JoystickNumAxes(stick), static_cast<int>(DinputAxisSlots));
    for (int a = 0; a < DinputAxisSlots; ++a) {
        int slot = RawAxisSlot[a];
        double position = a < axisCount ? Normalize(SDL_JoystickGetAxis(stick, a)) : 0.0;
        *slots[slot] = ScaleAxis(position, axes.min[slot], axes.max[slot], axes.deadZone[slot]);
    }
    int hats = std::min(SDL_JoystickNumHats(stick), 4);
    for (int h = 0; h < 4; ++h) state->rgdwPOV[h] = h < hats ? PovOfHat(SDL_JoystickGetHat(stick, h)) : 0xFFFFFFFFu;
    int buttons = std::min(SDL_JoystickNumButtons(stick), 32);
    for (int b = 0; b < buttons; ++b) state->rgbButtons[b] = SDL_JoystickGetButton(stick, b) ? 0x80 : 0x00;
}

}  // namespace

int DinputJoystickCount(void) { return std::max(SDL_NumJoysticks(), 0); }

bool DinputIsJoystickGuid(const GUID& guid) {
    return guid.Data2 == InstanceMark2 && guid.Data3 == InstanceMark3 &&
           std::memcmp(guid.Data4, InstanceMark4, sizeof guid.Data4) == 0;
}

bool DinputDescribeJoystick(int index, int version, DIDEVICEINSTANCEA* info) {
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    if (id < 0) return false;
    bool pad = SDL_IsGameController(index) == SDL_TRUE;
    *info = DIDEVICEINSTANCEA{};
    info->dwSize = sizeof *info;
    info->guidInstance = InstanceGuid(id);
    SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(index);
    static_assert(sizeof product.data == sizeof(GUID));
    std::memcpy(&info->guidProduct, product.data, sizeof(GUID));
    // HID devices; version 8 numbers game pads 0x15 and joysticks 0x14, version 7 calls
    // both joysticks (4) with the game-pad subtype 2 for pads.
    DWORD type = version == 8 ? (pad ? 0x15u : 0x14u) : (DIDEVTYPE_JOYSTICK | (pad ? 0x200u : 0x100u));
    info->dwDevType = type | 0x10000u;
    const char* name = pad ? SDL_GameControllerNameForIndex(index) : SDL_JoystickNameForIndex(index);
    // SDL has one name for a joystick; it serves as instance and product name.
    DinputCopyName(info->tszInstanceName, sizeof info->tszInstanceName, name);
    DinputCopyName(info->tszProductName, sizeof info->tszProductName, name);
    info->wUsagePage = 1;
    info->wUsage = pad ? 5 : 4;
    return true;
}

HRESULT DinputOpenJoystick(IDirectInputDeviceA* device, const GUID& instance) {
    int index = IndexOfInstance(static_cast<SDL_JoystickID>(instance.Data1));
    if (index < 0) return DIERR_DEVICENOTREG;
    if (SDL_IsGameController(index)) {
        device->controller = SDL_GameControllerOpen(index);
        device->joystick = device->controller != nullptr ? SDL_GameControllerGetJoystick(device->controller) : nullptr;
    } else {
        device->joystick = SDL_JoystickOpen(index);
    }
    if (device->joystick == nullptr) return DIERR_DEVICENOTREG;
    device->joystickId = SDL_JoystickInstanceID(device->joystick);
    DinputDescribeJoystick(index, device->owner->version, &device->info);
    return DI_OK;
}

void DinputCloseJoystick(IDirectInputDeviceA* device) {
    if (device->controller != nullptr) {
        SDL_GameControllerClose(device->controller);
    } else if (device->joystick != nullptr) {
        SDL_JoystickClose(device->joystick);
    }
    device->controller = nullptr;
    device->joystick = nullptr;
}

HRESULT DinputReadJoystick(IDirectInputDeviceA* device, DIJOYSTATE* state) {
    AxisSettings axes;
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        std::copy(std::begin(device->rangeMin), std::end(device->rangeMin), axes.min);
        std::copy(std::begin(device->rangeMax), std::end(device->rangeMax), axes.max);
        std::copy(std::begin(device->deadZone), std::end(device->deadZone), axes.deadZone);
    }
    if (!SDL_JoystickGetAttached(device->joystick)) return DIERR_INPUTLOST;
    *state = DIJOYSTATE{};
    if (device->controller != nullptr) {
        ReadController(device->controller, axes, state);
    } else {
        ReadRawJoystick(device->joystick, axes, state);
    }
    return DI_OK;
}

void DinputPollJoysticks(void) { SDL_JoystickUpdate(); }
