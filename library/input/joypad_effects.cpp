// joypad_effects.cpp - the force-feedback bookkeeping of the pads: effects run while the
// application is active and the pad's effect is on (the sine only above half power),
// stop when it is deactivated, and stop for good once their duration has passed.
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/timing.h"
#include "library/input/input.h"
#include "library/input/input_state.h"

// Starts or stops one effect so that it runs exactly when `want` is set.
static void MatchEffect(IDirectInputEffect* effect, int32_t* running, int want) {
    if (effect == nullptr || *running == want) return;
    if (want) {
        IDirectInputEffect_Start(effect, 1, 0);
    } else {
        IDirectInputEffect_Stop(effect);
    }
    *running = want;
}

int ApplyPadEffectStates(void) {
    InputState& in = InputStateRecord;
    if (!InputUsesDirectInput()) return 0;
    bool active = CheckApplicationActive() != 0;
    for (JoypadRecord& pad : in.pads) {
        if (pad.device == nullptr) continue;
        if (active) {
            int on = pad.effectActive == 1 ? 1 : 0;
            MatchEffect(pad.constantEffect, &pad.constantRunning, on);
            MatchEffect(pad.sineEffect, &pad.sineRunning, on && pad.effectPower > PadEffectFullPower / 2);
        } else {
            if (pad.constantEffect != nullptr && pad.constantRunning) IDirectInputEffect_Stop(pad.constantEffect);
            if (pad.sineEffect != nullptr && pad.sineRunning) IDirectInputEffect_Stop(pad.sineEffect);
            pad.constantRunning = 0;
            pad.sineRunning = 0;
        }
    }
    return 0;
}

int UpdatePadEffectTimers(void) {
    InputState& in = InputStateRecord;
    if (!InputUsesDirectInput()) return 0;
    uint32_t now = static_cast<uint32_t>(GetTimeMillisecondsCore(0));
    for (int i = 0; i < JoypadCapacity; ++i) {
        JoypadRecord& pad = in.pads[i];
        if (!pad.effectActive || pad.device == nullptr || pad.effectDuration < 0 || pad.effectLastTime == now) continue;
        if (pad.effectLastTime > now) pad.effectLastTime = now;  // the clock went back
        pad.effectElapsed += static_cast<int32_t>(now - pad.effectLastTime);
        pad.effectLastTime = now;
        if (pad.effectElapsed >= pad.effectDuration) StopPadEffect(i + 1);
    }
    return ApplyPadEffectStates();
}

int StopPadEffect(int pad) {
    InputState& in = InputStateRecord;
    if (!InputIsSetUp() && !CheckWindowClosing()) return SetupDirectInput();
    int index = (pad & ~0x1000) - 1;
    if (index < 0 || index >= in.padCount || index >= JoypadCapacity) return 0;
    JoypadRecord& record = in.pads[index];
    if (record.device != nullptr && record.constantEffect != nullptr && record.effectActive) {
        record.effectActive = 0;
        record.effectPower = PadEffectFullPower;
        ApplyPadEffectStates();
    }
    return 0;
}
