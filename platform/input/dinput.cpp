// dinput.cpp - the DirectInput object: class factory, Initialize, device enumeration and
// creation, the registry of live objects and the failure injection of the tests.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/input/dinput_internal.h"
#include "platform/kernel/kernel.h"
#include "platform/window/window_internal.h"

const GUID CLSID_DirectInput = {0x7A9D2007u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x49, 0x4E, 0x50, 0x55, 0x37}};
const GUID CLSID_DirectInput8 = {0x7A9D2008u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x49, 0x4E, 0x50, 0x55, 0x38}};
const GUID IID_IDirectInput7A = {0x7A9D3007u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x49, 0x4E, 0x50, 0x55, 0x37}};
const GUID IID_IDirectInput8A = {0x7A9D3008u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x49, 0x4E, 0x50, 0x55, 0x38}};
const GUID IID_IDirectInputDevice7A = {0x7A9D4007u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x45, 0x56, 0x49, 0x43, 0x37}};
const GUID IID_IDirectInputDevice8A = {0x7A9D4008u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x44, 0x45, 0x56, 0x49, 0x43, 0x38}};
const GUID GUID_SysMouse = {0x7A9D5001u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x4D, 0x4F, 0x55, 0x53, 0x45, 0x00}};
const GUID GUID_SysKeyboard = {0x7A9D5002u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x4B, 0x45, 0x59, 0x42, 0x44, 0x00}};
const GUID GUID_ConstantForce = {0x7A9D6001u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x43, 0x4F, 0x4E, 0x53, 0x54, 0x00}};
const GUID GUID_Sine = {0x7A9D6002u, 0x1D11, 0x4E21, {0x8E, 0x20, 0x53, 0x49, 0x4E, 0x45, 0x00, 0x00}};

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 2, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), 16, 2, sizeof(DIMOUSESTATE2), 11, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 16, 1, sizeof(DIJOYSTATE), 44, nullptr};

static_assert(sizeof(DIJOYSTATE) == 80, "the joystick state layout the library reads");
static_assert(sizeof(DIMOUSESTATE2) == 20, "the mouse state layout");

enum : uint32_t { ObjectMagic = 0x44494F42u };  // "DIOB"

// ---- Registry and faults ----------------------------------------------------------------

namespace {
struct Fault {
    int count = 0;  // -1: every call
    HRESULT error = S_OK;
};
struct DinputGlobals {
    std::mutex mutex;
    std::mutex faultMutex;  // apart, so calls can take a fault while the registry is held
    std::set<const void*> live;
    Fault faults[9][9];  // [call][target]
};
DinputGlobals& Globals() {
    static DinputGlobals globals;
    return globals;
}
}  // namespace

std::atomic<bool> DinputRecordingEffects{false};

std::mutex& DinputLock(void) { return Globals().mutex; }

static bool IsLive(const void* object) { return object != nullptr && Globals().live.count(object) != 0; }
bool DinputIsObject(const IDirectInputA* di) { return IsLive(di) && di->magic == ObjectMagic; }
bool DinputIsDevice(const IDirectInputDeviceA* device) { return IsLive(device) && device->magic == ObjectMagic + 1; }
bool DinputIsEffect(const IDirectInputEffect* effect) { return IsLive(effect) && effect->magic == ObjectMagic + 2; }
void DinputRegister(void* object) { Globals().live.insert(object); }
void DinputUnregister(void* object) { Globals().live.erase(object); }
int DinputLiveCount(void) {
    std::lock_guard<std::mutex> lock(DinputLock());
    return static_cast<int>(Globals().live.size());
}

// Live devices of a kind that are acquired (mutex held).
template <typename Visit>
static void ForEachAcquired(DinputDeviceKind kind, Visit visit) {
    for (const void* object : Globals().live) {
        if (*static_cast<const uint32_t*>(object) != ObjectMagic + 1) continue;  // every record starts with its magic
        auto* device = static_cast<IDirectInputDeviceA*>(const_cast<void*>(object));
        if (device->kind == kind && device->acquired) visit(device);
    }
}

void DinputSignalDevices(DinputDeviceKind kind) {
    ForEachAcquired(kind, [](IDirectInputDeviceA* device) {
        if (device->event != nullptr) SetEvent(device->event);
    });
}

void DinputAddMouseMotion(LONG dx, LONG dy, LONG dz) {
    ForEachAcquired(DinputDeviceKind::Mouse, [&](IDirectInputDeviceA* device) {
        device->mouseX += dx;
        device->mouseY += dy;
        device->mouseZ += dz;
        if (device->event != nullptr) SetEvent(device->event);
    });
}

int DinputRunningEffectCount(void) {
    std::lock_guard<std::mutex> lock(DinputLock());
    int count = 0;
    for (const void* object : Globals().live) {
        if (*static_cast<const uint32_t*>(object) != ObjectMagic + 2) continue;
        count += static_cast<const IDirectInputEffect*>(object)->running ? 1 : 0;
    }
    return count;
}

int DinputDeviceTarget(DinputDeviceKind kind) { return static_cast<int>(kind); }

HRESULT DinputTakeFault(DinputCall call, int target) {
    std::lock_guard<std::mutex> lock(Globals().faultMutex);
    Fault& fault = Globals().faults[static_cast<int>(call)][std::clamp(target, 0, 8)];
    if (fault.count == 0) return S_OK;
    if (fault.count > 0) --fault.count;
    return fault.error;
}

void DinputSetFault(DinputCall call, int target, int count, HRESULT error) {
    std::lock_guard<std::mutex> lock(Globals().faultMutex);
    Globals().faults[static_cast<int>(call)][std::clamp(target, 0, 8)] = Fault{count, error};
}

void DinputClearFaults(void) {
    std::lock_guard<std::mutex> lock(Globals().faultMutex);
    for (auto& row : Globals().faults) std::fill(std::begin(row), std::end(row), Fault{});
    DinputRecordingEffects = false;
}

SdlCallScope::~SdlCallScope() {
    if (!OnSdlThread()) SDL_TLSCleanup();
}

// ---- The object ---------------------------------------------------------------------------

HRESULT DirectInputCreateInstance(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int version;
    if (IsEqualGUID(clsid, CLSID_DirectInput)) {
        version = 7;
    } else if (IsEqualGUID(clsid, CLSID_DirectInput8)) {
        version = 8;
    } else {
        return DIERR_DEVICENOTREG;
    }
    if (!IsEqualGUID(iid, version == 7 ? IID_IDirectInput7A : IID_IDirectInput8A)) return DIERR_NOINTERFACE;
    if (HRESULT fault = DinputTakeFault(DinputCall::CreateInstance, version); fault != S_OK) return fault;
    auto* di = new IDirectInputA{ObjectMagic, 1, version, false, false, false};
    std::lock_guard<std::mutex> lock(DinputLock());
    DinputRegister(di);
    *out = di;
    return S_OK;
}

static bool CheckObject(IDirectInputA* di) {
    std::lock_guard<std::mutex> lock(DinputLock());
    return DinputIsObject(di);
}

ULONG IDirectInput_AddRef(IDirectInputA* di) {
    std::lock_guard<std::mutex> lock(DinputLock());
    if (!DinputIsObject(di)) return 0;
    return static_cast<ULONG>(++di->refs);
}

ULONG IDirectInput_Release(IDirectInputA* di) {
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsObject(di)) return 0;
        if (--di->refs > 0) return static_cast<ULONG>(di->refs);
        DinputUnregister(di);
    }
    SdlCallScope sdl;
    if (di->hapticStarted) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    if (di->joysticksStarted) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
    delete di;
    return 0;
}

HRESULT IDirectInput_Initialize(IDirectInputA* di, HINSTANCE, DWORD version) {
    if (!CheckObject(di)) return E_POINTER;
    if (di->initialized) return DIERR_ALREADYINITIALIZED;
    DWORD own = di->version == 7 ? 0x700u : 0x800u;
    if (version < own) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > own) return DIERR_BETADIRECTINPUTVERSION;
    if (HRESULT fault = DinputTakeFault(DinputCall::Initialize, di->version); fault != S_OK) return fault;
    SdlCallScope sdl;
    // Cooperative levels decide about background reading here, so SDL must not drop
    // joystick input while no window of the process has the keyboard focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Without joysticks or haptics the keyboard and mouse still work.
    di->joysticksStarted = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
    di->hapticStarted = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
    di->initialized = true;
    return DI_OK;
}

static void DescribeSystemDevice(DinputDeviceKind kind, int version, DIDEVICEINSTANCEA* info) {
    *info = DIDEVICEINSTANCEA{};
    info->dwSize = sizeof *info;
    bool keyboard = kind == DinputDeviceKind::Keyboard;
    info->guidInstance = keyboard ? GUID_SysKeyboard : GUID_SysMouse;
    info->guidProduct = info->guidInstance;
    // Version 8 numbers the device types 0x12 (mouse) and 0x13 (keyboard).
    info->dwDevType = keyboard ? (version == 8 ? 0x13u : DIDEVTYPE_KEYBOARD) : (version == 8 ? 0x12u : DIDEVTYPE_MOUSE);
    const char* name = keyboard ? "Keyboard" : "Mouse";
    std::strcpy(info->tszInstanceName, name);
    std::strcpy(info->tszProductName, name);
    info->wUsagePage = 1;
    info->wUsage = keyboard ? 6 : 2;
}

HRESULT IDirectInput_EnumDevices(IDirectInputA* di, DWORD type, LPDIENUMDEVICESCALLBACKA callback, void* context,
                                 DWORD) {
    if (!CheckObject(di) || callback == nullptr) return DIERR_INVALIDPARAM;
    if (!di->initialized) return DIERR_NOTINITIALIZED;
    if (type > DIDEVTYPE_JOYSTICK) return DIERR_INVALIDPARAM;
    DIDEVICEINSTANCEA info;
    // Every device listed is attached, so DIEDFL_ATTACHEDONLY changes nothing.
    for (DinputDeviceKind kind : {DinputDeviceKind::Mouse, DinputDeviceKind::Keyboard}) {
        DWORD own = kind == DinputDeviceKind::Mouse ? DIDEVTYPE_MOUSE : DIDEVTYPE_KEYBOARD;
        if (type != 0 && type != own) continue;
        DescribeSystemDevice(kind, di->version, &info);
        if (callback(&info, context) == DIENUM_STOP) return DI_OK;
    }
    if ((type == 0 || type == DIDEVTYPE_JOYSTICK) && di->joysticksStarted) {
        SdlCallScope sdl;
        int count = DinputJoystickCount();
        for (int i = 0; i < count; ++i) {
            if (!DinputDescribeJoystick(i, di->version, &info)) continue;
            if (callback(&info, context) == DIENUM_STOP) break;
        }
    }
    return DI_OK;
}

static HRESULT CreateDevice(IDirectInputA* di, REFCLSID guid, IDirectInputDeviceA** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!CheckObject(di)) return DIERR_INVALIDPARAM;
    if (!di->initialized) return DIERR_NOTINITIALIZED;
    DinputDeviceKind kind;
    if (IsEqualGUID(guid, GUID_SysKeyboard)) {
        kind = DinputDeviceKind::Keyboard;
    } else if (IsEqualGUID(guid, GUID_SysMouse)) {
        kind = DinputDeviceKind::Mouse;
    } else if (DinputIsJoystickGuid(guid) && di->joysticksStarted) {
        kind = DinputDeviceKind::Joystick;
    } else {
        return DIERR_DEVICENOTREG;
    }
    if (HRESULT fault = DinputTakeFault(DinputCall::CreateDevice, DinputDeviceTarget(kind)); fault != S_OK) {
        return fault;
    }
    auto* device = new IDirectInputDeviceA{};
    device->magic = ObjectMagic + 1;
    device->refs = 1;
    device->owner = di;
    device->kind = kind;
    device->bufferSize = 0;
    for (int i = 0; i < DinputAxisSlots; ++i) device->rangeMax[i] = 65535;
    if (kind == DinputDeviceKind::Joystick) {
        SdlCallScope sdl;
        if (HRESULT result = DinputOpenJoystick(device, guid); FAILED(result)) {
            delete device;
            return result;
        }
    } else {
        DescribeSystemDevice(kind, di->version, &device->info);
    }
    IDirectInput_AddRef(di);
    std::lock_guard<std::mutex> lock(DinputLock());
    DinputRegister(device);
    *out = device;
    return DI_OK;
}

HRESULT IDirectInput7_CreateDeviceEx(IDirectInputA* di, REFCLSID guid, REFIID iid, void** out, void*) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!CheckObject(di) || di->version != 7) return DIERR_INVALIDPARAM;
    if (!IsEqualGUID(iid, IID_IDirectInputDevice7A)) return DIERR_NOINTERFACE;
    return CreateDevice(di, guid, reinterpret_cast<IDirectInputDeviceA**>(out));
}

HRESULT IDirectInput8_CreateDevice(IDirectInputA* di, REFCLSID guid, IDirectInputDeviceA** out, void*) {
    if (out != nullptr) *out = nullptr;
    if (!CheckObject(di) || di->version != 8) return DIERR_INVALIDPARAM;
    return CreateDevice(di, guid, out);
}
