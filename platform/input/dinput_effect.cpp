// dinput_effect.cpp - force-feedback effects of game controllers over SDL's haptic API.
//
// The controller's haptic device is opened with its first effect and closed with its
// last. Magnitudes (0..10000, scaled by the gain) become SDL levels (0..32767), times in
// microseconds become milliseconds, INFINITE becomes SDL_HAPTIC_INFINITY.
#include <algorithm>

#include "platform/input/dinput_internal.h"

namespace {

enum : uint32_t { EffectMagic = 0x44494F42u + 2 };

Sint16 Level(long magnitude, DWORD gain) {
    long long level = static_cast<long long>(magnitude) * 32767 * std::min<DWORD>(gain, 10000) / (10000LL * 10000);
    return static_cast<Sint16>(std::clamp<long long>(level, -32767, 32767));
}

Uint16 Milliseconds(DWORD microseconds) { return static_cast<Uint16>(std::min<DWORD>(microseconds / 1000, 65535)); }

Uint32 Length(DWORD duration) {
    return duration == INFINITE ? SDL_HAPTIC_INFINITY : std::min<DWORD>(duration / 1000, 0x7FFFFFFF);
}

SDL_HapticDirection Direction(const DIEFFECT& params) {
    SDL_HapticDirection direction{};
    direction.type = (params.dwFlags & DIEFF_POLAR) != 0 ? SDL_HAPTIC_POLAR
                     : (params.dwFlags & DIEFF_SPHERICAL) != 0 ? SDL_HAPTIC_SPHERICAL
                                                              : SDL_HAPTIC_CARTESIAN;
    for (DWORD i = 0; i < std::min<DWORD>(params.cAxes, 3) && params.rglDirection != nullptr; ++i) {
        direction.dir[i] = params.rglDirection[i];
    }
    return direction;
}

// SDL's description of the effect, or false when the parameters do not fit the kind.
bool Describe(bool sine, const DIEFFECT& params, SDL_HapticEffect* effect) {
    *effect = SDL_HapticEffect{};
    if (sine) {
        if (params.cbTypeSpecificParams != sizeof(DIPERIODIC) || params.lpvTypeSpecificParams == nullptr) return false;
        const auto& periodic = *static_cast<const DIPERIODIC*>(params.lpvTypeSpecificParams);
        SDL_HapticPeriodic& p = effect->periodic;
        p.type = SDL_HAPTIC_SINE;
        p.direction = Direction(params);
        p.length = Length(params.dwDuration);
        p.delay = Milliseconds(params.dwStartDelay);
        p.period = Milliseconds(periodic.dwPeriod);
        p.magnitude = Level(static_cast<long>(std::min<DWORD>(periodic.dwMagnitude, 10000)), params.dwGain);
        p.offset = Level(periodic.lOffset, params.dwGain);
        p.phase = static_cast<Uint16>(periodic.dwPhase % 36000);
        if (params.lpEnvelope != nullptr) {
            p.attack_length = Milliseconds(params.lpEnvelope->dwAttackTime);
            p.attack_level = static_cast<Uint16>(Level(static_cast<long>(params.lpEnvelope->dwAttackLevel), 10000));
            p.fade_length = Milliseconds(params.lpEnvelope->dwFadeTime);
            p.fade_level = static_cast<Uint16>(Level(static_cast<long>(params.lpEnvelope->dwFadeLevel), 10000));
        }
        return true;
    }
    if (params.cbTypeSpecificParams != sizeof(DICONSTANTFORCE) || params.lpvTypeSpecificParams == nullptr) return false;
    SDL_HapticConstant& c = effect->constant;
    c.type = SDL_HAPTIC_CONSTANT;
    c.direction = Direction(params);
    c.length = Length(params.dwDuration);
    c.delay = Milliseconds(params.dwStartDelay);
    c.level = Level(static_cast<const DICONSTANTFORCE*>(params.lpvTypeSpecificParams)->lMagnitude, params.dwGain);
    return true;
}

// The device's haptic device, opened on first use; null when it has none.
SDL_Haptic* HapticOf(IDirectInputDeviceA* device) {
    if (device->haptic == nullptr && SDL_JoystickIsHaptic(device->joystick) == SDL_TRUE) {
        device->haptic = SDL_HapticOpenFromJoystick(device->joystick);
    }
    return device->haptic;
}

void CloseHapticIfUnused(IDirectInputDeviceA* device) {
    if (device->effectCount == 0 && device->haptic != nullptr) {
        SDL_HapticClose(device->haptic);
        device->haptic = nullptr;
    }
}

bool LiveEffect(IDirectInputEffect* effect) {
    std::lock_guard<std::mutex> lock(DinputLock());
    return DinputIsEffect(effect);
}

}  // namespace

HRESULT IDirectInputDevice_CreateEffect(IDirectInputDeviceA* device, REFCLSID guid, const DIEFFECT* params,
                                        IDirectInputEffect** out, void*) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (params == nullptr || params->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
    bool sine = IsEqualGUID(guid, GUID_Sine);
    if (!sine && !IsEqualGUID(guid, GUID_ConstantForce)) return DIERR_DEVICENOTREG;
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsDevice(device) || device->kind != DinputDeviceKind::Joystick) return DIERR_INVALIDPARAM;
    }
    if (HRESULT fault = DinputTakeFault(DinputCall::CreateEffect, DinputDeviceTarget(device->kind)); fault != S_OK) {
        return fault;
    }
    SDL_HapticEffect description;
    if (!Describe(sine, *params, &description)) return DIERR_INVALIDPARAM;
    SdlCallScope sdl;
    int id = -1;
    if (SDL_Haptic* haptic = HapticOf(device)) {
        unsigned int wanted = sine ? SDL_HAPTIC_SINE : SDL_HAPTIC_CONSTANT;
        if ((SDL_HapticQuery(haptic) & wanted) != 0) id = SDL_HapticNewEffect(haptic, &description);
        if (id < 0) {
            CloseHapticIfUnused(device);
            return DIERR_UNSUPPORTED;
        }
    } else if (!DinputRecordingEffects) {
        return DIERR_UNSUPPORTED;
    }
    ++device->effectCount;
    IDirectInputDevice_AddRef(device);
    auto* effect = new IDirectInputEffect{EffectMagic, 1, device, id, false};
    std::lock_guard<std::mutex> lock(DinputLock());
    DinputRegister(effect);
    *out = effect;
    return DI_OK;
}

ULONG IDirectInputEffect_AddRef(IDirectInputEffect* effect) {
    std::lock_guard<std::mutex> lock(DinputLock());
    if (!DinputIsEffect(effect)) return 0;
    return static_cast<ULONG>(++effect->refs);
}

ULONG IDirectInputEffect_Release(IDirectInputEffect* effect) {
    {
        std::lock_guard<std::mutex> lock(DinputLock());
        if (!DinputIsEffect(effect)) return 0;
        if (--effect->refs > 0) return static_cast<ULONG>(effect->refs);
        DinputUnregister(effect);
    }
    IDirectInputDeviceA* device = effect->device;
    SdlCallScope sdl;
    if (effect->hapticEffect >= 0) {
        SDL_HapticStopEffect(device->haptic, effect->hapticEffect);
        SDL_HapticDestroyEffect(device->haptic, effect->hapticEffect);
    }
    --device->effectCount;
    CloseHapticIfUnused(device);
    delete effect;
    IDirectInputDevice_Release(device);
    return 0;
}

HRESULT IDirectInputEffect_Start(IDirectInputEffect* effect, DWORD iterations, DWORD flags) {
    if (!LiveEffect(effect) || iterations == 0) return DIERR_INVALIDPARAM;
    SdlCallScope sdl;
    if (effect->hapticEffect >= 0) {
        SDL_Haptic* haptic = effect->device->haptic;
        if ((flags & DIES_SOLO) != 0) SDL_HapticStopAll(haptic);
        Uint32 runs = iterations == INFINITE ? SDL_HAPTIC_INFINITY : iterations;
        if (SDL_HapticRunEffect(haptic, effect->hapticEffect, runs) != 0) return DIERR_INPUTLOST;
    }
    effect->running = true;
    return DI_OK;
}

HRESULT IDirectInputEffect_Stop(IDirectInputEffect* effect) {
    if (!LiveEffect(effect)) return DIERR_INVALIDPARAM;
    SdlCallScope sdl;
    if (effect->hapticEffect >= 0 && SDL_HapticStopEffect(effect->device->haptic, effect->hapticEffect) != 0) {
        return DIERR_INPUTLOST;
    }
    effect->running = false;
    return DI_OK;
}

void DinputReleaseHaptic(IDirectInputDeviceA* device) {
    device->effectCount = 0;
    CloseHapticIfUnused(device);
}
