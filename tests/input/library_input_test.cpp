// Input on a started library: the start-up and shutdown log, the game's keys through
// CheckKeyDown and the pump, the character ring fed by the window procedure, the IME,
// and activation.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/library_test_support.h"
#include "input_test_support.h"
#include "support/api_lock.h"

class LibraryInputTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        DinputSeamReset();
        GameSettings();
        ASSERT_EQ(0, InitializeLibrary());
    }
    void TearDown() override {
        LibraryTest::TearDown();
        EXPECT_EQ(0, DinputSeamLiveObjectCount());
        DinputSeamReset();
    }
    static void Press(SDL_Scancode scancode, bool down) { WindowSeamInjectKey(scancode, down, MainWindow()); }
    static std::vector<std::string> PopAll() {
        std::vector<std::string> out;
        unsigned char bytes[2];
        while (int size = PopCharCode(bytes, 1)) out.emplace_back(reinterpret_cast<char*>(bytes), size);
        return out;
    }
};

TEST_F(LibraryInputTest, StartUpAndShutdownLogTheInputSequence) {
    if (MachineHasJoysticks()) GTEST_SKIP() << "joysticks attached";
    ShutdownLibrary();
    EXPECT_TRUE(InOrder(Log(), {
                                               "DirectInput関係初期化処理\r\n",
                                               "\tDirectInput7 の取得中... 成功\r\n",
                                               "\t\t引き続き初期化処理... 初期化成功\r\n",
                                               "\tジョイパッドの初期化... \r\n",
                                               "\tジョイパッドの初期化は正常に終了しました\r\n",
                                               "\tマウスデバイスの初期化... 初期化成功\r\n",
                                               "\tキーボードデバイスの初期化... 初期化成功\r\n",
                                               "DirectInput 関連の初期化は正常に終了しました\r\n",
                                               "文字コードバッファの初期化を行います... 完了しました\r\n",
                                               "DirectInput 関連の終了処理... 完了\r\n",
                                           }))
        << Log();
}

TEST_F(LibraryInputTest, GameKeysReadDownWhileTheirKeyIsDown) {
    for (const GameKey& key : GameKeys) {
        SCOPED_TRACE(SDL_GetScancodeName(key.scancode));
        // The key's SDL event waits in SDL's queue; CheckKeyDown's pump takes it.
        Press(key.scancode, true);
        EXPECT_EQ(1, CheckKeyDown(key.code));
        Press(key.scancode, false);
        EXPECT_EQ(0, CheckKeyDown(key.code));
    }
    EXPECT_EQ(0, CheckKeyDown(-1));
    EXPECT_EQ(0, CheckKeyDown(256));
}

TEST_F(LibraryInputTest, KeysAreReadOncePerMillisecond) {
    SetVirtualClockStep(0);
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 10);
    EXPECT_EQ(0, CheckKeyDown(44));
    Press(SDL_SCANCODE_Z, true);
    EXPECT_EQ(0, CheckKeyDown(44)) << "within the millisecond nothing is pumped or read";
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    EXPECT_EQ(1, CheckKeyDown(44));
    Press(SDL_SCANCODE_Z, false);
    ProcessMessage();  // the release reaches the keyboard, which signals the change
    EXPECT_EQ(0, CheckKeyDown(44)) << "a signalled change is read within the millisecond";
}

TEST_F(LibraryInputTest, TypedTextAndEditingKeysFillTheCharacterRing) {
    PopAll();
    WindowSeamInjectText(Utf8(u8"aあ"), MainWindow());
    for (SDL_Scancode key : {SDL_SCANCODE_DELETE, SDL_SCANCODE_LEFT, SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_Z}) {
        Press(key, true);
        Press(key, false);
    }
    ProcessMessage();
    EXPECT_EQ((std::vector<std::string>{"a", "\x82\xA0", "\x10", "\x1D", "\x08"}), PopAll());
}

TEST_F(LibraryInputTest, ImeResultsReachTheRingThroughTheWindowProcedure) {
    PopAll();
    // The main window starts with its IME off: a composition is not followed, its result
    // arrives as typed characters.
    DinputSeamInjectEditing(Utf8(u8"か"), 1, MainWindow());
    WindowSeamInjectText(Utf8(u8"下"), MainWindow());
    ProcessMessage();
    EXPECT_EQ(0, CharInputStateRecord.imeMessageSeen);
    EXPECT_EQ((std::vector<std::string>{"\x89\xBA"}), PopAll());

    EnableImeInput(1);
    DinputSeamInjectEditing(Utf8(u8"かな"), 2, MainWindow());
    ProcessMessage();
    EXPECT_EQ(1, CharInputStateRecord.composing);
    EXPECT_STREQ("\x82\xA9\x82\xC8", CharInputStateRecord.composition);
    EXPECT_EQ(2, CharInputStateRecord.compositionCursor);
    WindowSeamInjectText(Utf8(u8"仮名"), MainWindow());
    ProcessMessage();
    EXPECT_EQ(0, CharInputStateRecord.composing);
    EXPECT_EQ((std::vector<std::string>{"\x89\xBC", "\x96\xBC"}), PopAll()) << "no second copy as characters";
}

TEST_F(LibraryInputTest, TheImeOpenStatusIsSdlsTextInputAndReactivationReopensIt) {
    CharInputState& c = CharInputStateRecord;
    EnableImeInput(1);
    // Each change reaches the window procedure, which reads the status back.
    SetImeOpenStatus(0);
    ProcessMessage();
    EXPECT_EQ(0, c.imeOpen);
    EXPECT_FALSE(SDL_IsTextInputActive());
    SetImeOpenStatus(1);
    ProcessMessage();
    EXPECT_EQ(1, c.imeOpen);
    EXPECT_TRUE(SDL_IsTextInputActive());

    // Reactivated while composing: the IME is closed and opened again and stays open;
    // the composition is taken out, and cannot be handed back to SDL.
    DinputSeamInjectEditing(Utf8(u8"かな"), 2, MainWindow());
    ProcessMessage();
    ASSERT_EQ(1, c.composing);
    WindowSeamSetActive(MainWindow(), false);
    WindowSeamSetActive(MainWindow(), true);
    ProcessMessage();
    EXPECT_EQ(0, c.imeRestoreState);
    EXPECT_STREQ("\x82\xA9\x82\xC8", c.savedComposition);
    ProcessMessage();  // the messages the restore posted
    EXPECT_EQ(0, c.composing);
    EXPECT_EQ(1, c.imeOpen);
    EXPECT_TRUE(SDL_IsTextInputActive());
}

TEST_F(LibraryInputTest, KeysWaitWhileTheApplicationIsInactive) {
    Press(SDL_SCANCODE_X, true);
    WindowSeamSetActive(MainWindow(), false);
    std::atomic<bool> activated{false};
    std::thread helper([&] {
        usleep(50 * 1000);
        activated = true;
        WindowSeamSetActive(MainWindow(), true);
    });
    EXPECT_EQ(1, CheckKeyDown(45));
    EXPECT_TRUE(activated.load());
    helper.join();

    // The headless window ignores a focus loss that no test forces.
    SDL_Event lost = {};
    lost.type = SDL_WINDOWEVENT;
    lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    WindowSeamInjectEvent(lost, MainWindow());
    ProcessMessage();
    EXPECT_EQ(1, CheckApplicationActive());
    EXPECT_EQ(1, CheckKeyDown(45));
    Press(SDL_SCANCODE_X, false);
}

TEST_F(LibraryInputTest, DeactivationStopsPadEffectsAndActivationRestartsThem) {
    if (MachineHasJoysticks()) GTEST_SKIP() << "joysticks attached";
    ShutdownLibrary();
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 2, 0);
    ASSERT_GE(index, 0);
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    DinputSeamUseRecordingEffects(true);
    ASSERT_EQ(0, InitializeLibrary());
    ASSERT_EQ(1, InputStateRecord.padCount);
    {
        HeldApiLock held;  // the pump thread's upkeep reads the effect settings
        JoypadRecord& pad = InputStateRecord.pads[0];
        pad.effectActive = 1;
        pad.effectDuration = -1;
        ProcessMessage();  // the pump's upkeep starts the effects
        EXPECT_EQ(2, DinputSeamRunningEffectCount());
        SendMessageA(MainWindow(), WM_ACTIVATEAPP, 0, 0);
        EXPECT_EQ(0, DinputSeamRunningEffectCount());
        SendMessageA(MainWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_EQ(2, DinputSeamRunningEffectCount());
    }
    ShutdownLibrary();
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
