// Joypads found at set-up through SDL's virtual joysticks: the eight-pad limit, skipped
// devices, the release of a pad whose event failed, re-acquisition on activation changes
// and the effect timers.
#include <memory>
#include <string>
#include <vector>

#include "input_test_support.h"

namespace {

// Virtual joysticks attached for a test; detached again at its end.
class VirtualSticks {
public:
    VirtualSticks() { SDL_InitSubSystem(SDL_INIT_JOYSTICK); }
    ~VirtualSticks() {
        for (SDL_JoystickID id : ids_) {
            for (int i = 0; i < SDL_NumJoysticks(); ++i) {
                if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
            }
        }
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void Attach(const std::string& name) {
        names_.push_back(name);
        SDL_VirtualJoystickDesc desc = {};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
        desc.naxes = 4;
        desc.nbuttons = 4;
        desc.name = names_.back().c_str();
        int index = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index, 0) << SDL_GetError();
        ids_.push_back(SDL_JoystickGetDeviceInstanceID(index));
    }

private:
    std::vector<std::string> names_{};
    std::vector<SDL_JoystickID> ids_;
};

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}


}  // namespace

class JoypadTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        if (MachineHasJoysticks()) GTEST_SKIP() << "joysticks attached";
        sticks_ = std::make_unique<VirtualSticks>();
    }
    void TearDown() override {
        InputTest::TearDown();
        sticks_.reset();
    }
    std::unique_ptr<VirtualSticks> sticks_;
};

TEST_F(JoypadTest, AtMostEightPadsAreAddedAndLogged) {
    for (int i = 0; i < 9; ++i) sticks_->Attach("Pad " + std::to_string(i));
    size_t mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_EQ(8, InputStateRecord.padCount);
    EXPECT_STREQ("Pad 0", InputStateRecord.pads[0].instanceName);
    EXPECT_STREQ("Pad 7", InputStateRecord.pads[7].productName);
    std::string log = LogSince(mark);
    EXPECT_EQ(8, Count(log, "入力装置を見つけました\r\n")) << "the ninth is never offered";
    EXPECT_EQ(8, Count(log, "ジョイパッドの追加は正常に終了しました\r\n"));
    EXPECT_NE(std::string::npos, log.find("0:\t入力装置を見つけました\r\n0:\t\tデバイスの登録名:Pad 0\r\n0:\t\tデバイスの製品登録名:Pad 0\r\n0:\t周期的エフェクトの作成に失敗しました。\r\n0:\tジョイパッドの追加は正常に終了しました\r\n"));
    // Object, mouse, keyboard and eight pads; the virtual pads have no effects.
    EXPECT_EQ(11, DinputSeamLiveObjectCount());
}

TEST_F(JoypadTest, ARefusedDeviceIsSkippedAndTheNextTakesItsPlace) {
    sticks_->Attach("Refused");
    sticks_->Attach("Taken");
    DinputSeamFailDeviceCall(DinputCall::SetDataFormat, DinputDeviceKind::Joystick, 1, E_FAIL);
    size_t mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_EQ(1, InputStateRecord.padCount);
    EXPECT_STREQ("Taken", InputStateRecord.pads[0].instanceName);
    EXPECT_NE(std::string::npos, LogSince(mark).find("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\r\n"));
    EXPECT_EQ(4, DinputSeamLiveObjectCount()) << "the refused device was released";
}

TEST_F(JoypadTest, APadWhoseEventFailsIsReleasedWithItsEffects) {
    sticks_->Attach("No Event");
    DinputSeamUseRecordingEffects(true);
    DinputSeamFailDeviceCall(DinputCall::SetEventNotification, DinputDeviceKind::Joystick, 1, E_FAIL);
    size_t mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_EQ(0, InputStateRecord.padCount);
    EXPECT_NE(std::string::npos, LogSince(mark).find("ジョイパッドイベントのセットアップが失敗しました\r\n"));
    EXPECT_EQ(3, DinputSeamLiveObjectCount()) << "object, mouse and keyboard only";
}

TEST_F(JoypadTest, ActivationChangesReopenThePadsForTheirWindowState) {
    sticks_->Attach("Pad");
    ASSERT_EQ(0, SetupDirectInput());
    IDirectInputDeviceA* pad = InputStateRecord.pads[0].device;
    ASSERT_NE(nullptr, pad);
    DIJOYSTATE state;
    EXPECT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state)) << "acquired at set-up";

    // Inactive: non-exclusive in the background, so it can be acquired without the focus.
    SystemStateRecord.life.active = 0;
    WindowSeamSetActive(window_, false);
    Drain();
    ReacquireInputDevices();
    EXPECT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));

    // Active again: exclusive in the foreground, which needs the window to be active.
    SystemStateRecord.life.active = 1;
    WindowSeamSetActive(window_, true);
    Drain();
    ReacquireInputDevices();
    EXPECT_EQ(DI_OK, IDirectInputDevice_GetDeviceState(pad, sizeof state, &state));
    WindowSeamSetActive(window_, false);
    Drain();
    IDirectInputDevice_Unacquire(pad);
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, IDirectInputDevice_Acquire(pad));
    WindowSeamSetActive(window_, true);
    Drain();
}

TEST_F(JoypadTest, EffectsRunWhileActiveAndStopWhenTheirTimeIsUp) {
    sticks_->Attach("Rumble");
    DinputSeamUseRecordingEffects(true);
    ASSERT_EQ(0, SetupDirectInput());
    JoypadRecord& pad = InputStateRecord.pads[0];
    ASSERT_NE(nullptr, pad.constantEffect);
    ASSERT_NE(nullptr, pad.sineEffect);
    EXPECT_EQ(6, DinputSeamLiveObjectCount()) << "object, mouse, keyboard, pad, two effects";
    UpdatePadEffectTimers();
    EXPECT_EQ(0, DinputSeamRunningEffectCount()) << "no effect is switched on at start";

    // What an activating call would set: on, full power, 100 ms from now.
    DWORD now = PeekVirtualClockMilliseconds();
    pad.effectActive = 1;
    pad.effectPower = PadEffectFullPower;
    pad.effectDuration = 100;
    pad.effectElapsed = 0;
    pad.effectLastTime = now;
    ApplyPadEffectStates();
    EXPECT_EQ(2, DinputSeamRunningEffectCount());

    // Deactivation stops both; activation starts them again.
    SystemStateRecord.life.active = 0;
    ApplyPadEffectStates();
    EXPECT_EQ(0, DinputSeamRunningEffectCount());
    SystemStateRecord.life.active = 1;
    ApplyPadEffectStates();
    EXPECT_EQ(2, DinputSeamRunningEffectCount());

    // Half power: the sine stops, the constant force goes on.
    pad.effectPower = PadEffectFullPower / 2;
    ApplyPadEffectStates();
    EXPECT_TRUE(DinputSeamEffectRunning(pad.constantEffect));
    EXPECT_FALSE(DinputSeamEffectRunning(pad.sineEffect));

    SetVirtualClockMilliseconds(now + 60);
    UpdatePadEffectTimers();
    EXPECT_EQ(60, pad.effectElapsed);
    EXPECT_EQ(1, pad.effectActive);
    SetVirtualClockMilliseconds(now + 100);
    UpdatePadEffectTimers();
    EXPECT_EQ(0, pad.effectActive);
    EXPECT_EQ(PadEffectFullPower, pad.effectPower);
    EXPECT_EQ(0, DinputSeamRunningEffectCount());

    // Endless effects (negative duration) are left to run.
    pad.effectActive = 1;
    pad.effectDuration = -1;
    SetVirtualClockMilliseconds(now + 100000);
    UpdatePadEffectTimers();
    EXPECT_EQ(1, pad.effectActive);
    EXPECT_EQ(0, StopPadEffect(1 | 0x1000));
    EXPECT_EQ(0, pad.effectActive);
    EXPECT_EQ(0, StopPadEffect(2)) << "no second pad";
}
