// DirectInput set-up and shutdown, the key-state buffer and CheckKeyDownCore: the log
// sequences, the snapshot per millisecond, the main-thread overlay, winmm mode, the
// fatal device failures and the mends (set-up reports keys up, codes out of range).
#include <climits>
#include <thread>

#include <gmock/gmock.h>

#include "input_test_support.h"

class KeyboardTest : public InputTest {};

TEST_F(KeyboardTest, StartUpAndShutdownLogTheDirectInputSequence) {
    if (MachineHasJoysticks()) GTEST_SKIP() << "joysticks attached";
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_FALSE(InputIsWinmmMode());
    EXPECT_EQ(0, InputStateRecord.directInput8);
    EXPECT_EQ(0, SetupDirectInput()) << "already set up";
    ShutdownDirectInput();
    EXPECT_FALSE(InputIsSetUp());
    EXPECT_EQ(Log(),
              "0:文字コードバッファの初期化を行います... 完了しました\r\n"
              "0:DirectInput関係初期化処理\r\n"
              "0:\tDirectInput7 の取得中... 成功\r\n"
              "0:\t\t引き続き初期化処理... 初期化成功\r\n"
              "0:\tジョイパッドの初期化... \r\n"
              "0:\tジョイパッドの初期化は正常に終了しました\r\n"
              "0:\tマウスデバイスの初期化... 初期化成功\r\n"
              "0:\tキーボードデバイスの初期化... 初期化成功\r\n"
              "0:DirectInput 関連の初期化は正常に終了しました\r\n"
              "0:DirectInput 関連の終了処理... 完了\r\n");
}

TEST_F(KeyboardTest, VersionEightIsTakenWhenSevenIsMissing) {
    if (MachineHasJoysticks()) GTEST_SKIP() << "joysticks attached";
    DinputSeamFailCreation(7, DIERR_DEVICENOTREG);
    size_t mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_EQ(1, InputStateRecord.directInput8);
    EXPECT_THAT(LogSince(mark), ::testing::StartsWith("0:DirectInput関係初期化処理\r\n"
                                                      "0:\tDirectInput7 の取得中... 取得に失敗。\r\n"
                                                      "0:\tエラーコード 0x80040154\r\n\r\n"
                                                      "0:\tDirectInput8 の取得を試みます...成功\r\n"
                                                      "0:\t\t引き続き初期化処理... 初期化成功\r\n"
                                                      "0:\tジョイパッドの初期化... \r\n"));
}

TEST_F(KeyboardTest, WithoutDirectInputKeysComeFromTheVirtualKeyState) {
    DinputSeamFailCreation(7, DIERR_DEVICENOTREG);
    DinputSeamFailInitialize(8, DIERR_OLDDIRECTINPUTVERSION);
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    int joysticks = std::min(SDL_NumJoysticks(), 8);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    size_t mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_TRUE(InputIsWinmmMode());
    EXPECT_EQ(8, InputStateRecord.padCount);
    EXPECT_EQ(LogSince(mark), "0:DirectInput関係初期化処理\r\n"
                              "0:\tDirectInput7 の取得中... 取得に失敗。\r\n"
                              "0:\tエラーコード 0x80040154\r\n\r\n"
                              "0:\tDirectInput8 の取得を試みます...成功\r\n"
                              "0:\t\t引き続き初期化処理... 初期化に失敗。DirectInput を使用しません。\r\n"
                              "0:\t\tパッドの数は " + std::to_string(joysticks) + " 個です\r\n\r\n"
                              "0:\t入力関連の初期化をしました\r\n");

    // Both parts of the table: F1, either Enter, the left Shift.
    const struct {
        SDL_Scancode scancode;
        int codes[2];
    } table[] = {
        {SDL_SCANCODE_F1, {0x3B, 0x3B}},
        {SDL_SCANCODE_RETURN, {0x1C, 0x9C}},
        {SDL_SCANCODE_KP_ENTER, {0x1C, 0x9C}},
        {SDL_SCANCODE_LSHIFT, {0x2A, 0x2A}},
        {SDL_SCANCODE_Z, {0x2C, 0x2C}},
    };
    DWORD now = PeekVirtualClockMilliseconds();
    for (const auto& row : table) {
        SCOPED_TRACE(SDL_GetScancodeName(row.scancode));
        DinputSeamSetKey(row.scancode, true);
        SetVirtualClockMilliseconds(++now);
        for (int code : row.codes) EXPECT_EQ(1, CheckKeyDownCore(code));
        DinputSeamSetKey(row.scancode, false);
        SetVirtualClockMilliseconds(++now);
        for (int code : row.codes) EXPECT_EQ(0, CheckKeyDownCore(code));
    }

    // A later set-up goes straight to winmm mode.
    ShutdownDirectInput();
    DinputSeamReset();
    mark = Log().size();
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_TRUE(InputIsWinmmMode());
    EXPECT_EQ(std::string::npos, LogSince(mark).find("DirectInput7"));
    ShutdownDirectInput();
    EXPECT_NE(std::string::npos, Log().find("入力関連の終了処理... 完了\r\n"));
    InputStateRecord.winmmOnly = 0;
}

TEST_F(KeyboardTest, GameKeysReadDownWhileHeldAndUpAfterRelease) {
    ASSERT_EQ(0, SetupDirectInput());
    for (const GameKey& key : GameKeys) {
        SCOPED_TRACE(SDL_GetScancodeName(key.scancode));
        WindowSeamInjectKey(key.scancode, true, window_);
        Drain();
        EXPECT_EQ(1, CheckKeyDownCore(key.code));
        WindowSeamInjectKey(key.scancode, false, window_);
        Drain();
        EXPECT_EQ(0, CheckKeyDownCore(key.code));
    }
}

TEST_F(KeyboardTest, OneSnapshotPerMillisecondUnlessTheKeyboardSignalled) {
    // Without the keyboard's event only the clock decides.
    DinputSeamFailDeviceCall(DinputCall::SetEventNotification, DinputDeviceKind::Keyboard, 1, E_FAIL);
    size_t mark = Log().size();
    ASSERT_EQ(1, SetupDirectInput());
    EXPECT_NE(std::string::npos, LogSince(mark).find("初期化... キーボードイベントのセットアップが失敗しました\r\n"));
    EXPECT_EQ(0, CheckKeyDownCore(44));
    DinputSeamSetKey(SDL_SCANCODE_Z, true);
    EXPECT_EQ(0, CheckKeyDownCore(44)) << "same millisecond: the same snapshot";
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    EXPECT_EQ(1, CheckKeyDownCore(44)) << "next tick: read again (and acquired on the first read)";
    DinputSeamSetKey(SDL_SCANCODE_Z, false);
    EXPECT_EQ(1, CheckKeyDownCore(44));
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    EXPECT_EQ(0, CheckKeyDownCore(44));
    ShutdownDirectInput();

    // With it, a key change is read within the same millisecond.
    ASSERT_EQ(0, SetupDirectInput());
    EXPECT_EQ(0, CheckKeyDownCore(44));
    DinputSeamSetKey(SDL_SCANCODE_Z, true);
    EXPECT_EQ(1, CheckKeyDownCore(44));
    DinputSeamSetKey(SDL_SCANCODE_Z, false);
    EXPECT_EQ(0, CheckKeyDownCore(44));
}

TEST_F(KeyboardTest, TheVirtualKeyOverlayAppliesOnTheMainThreadOnly) {
    ASSERT_EQ(0, SetupDirectInput());
    // The key right of P: DirectInput's '[' (0x1A), on a Japanese keyboard the '@' key,
    // whose virtual key the table gives the key code 0x91.
    DinputSeamSetKey(SDL_SCANCODE_LEFTBRACKET, true);
    EXPECT_EQ(0, CheckKeyDownCore(0x1A));
    EXPECT_EQ(1, CheckKeyDownCore(0x91));
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    int fromOtherThread[2] = {-1, -1};
    std::thread other([&] {
        fromOtherThread[0] = CheckKeyDownCore(0x1A);
        fromOtherThread[1] = CheckKeyDownCore(0x91);
    });
    other.join();
    EXPECT_EQ(1, fromOtherThread[0]);
    EXPECT_EQ(0, fromOtherThread[1]);
    DinputSeamSetKey(SDL_SCANCODE_LEFTBRACKET, false);
}

TEST_F(KeyboardTest, KeysReadUpUntilSetUpAndOutsideTheirRange) {
    DinputSeamSetKey(SDL_SCANCODE_Z, true);
    // Set-up's own result (1 here, the keyboard event failed) is no key state.
    DinputSeamFailDeviceCall(DinputCall::SetEventNotification, DinputDeviceKind::Keyboard, 1, E_FAIL);
    EXPECT_EQ(0, CheckKeyDownCore(44));
    EXPECT_TRUE(InputIsSetUp());
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    EXPECT_EQ(1, CheckKeyDownCore(44));
    for (int code : {-1, 256, INT_MAX, INT_MIN}) EXPECT_EQ(0, CheckKeyDownCore(code)) << code;

    // After a shutdown the next call sets input up again and reports the key up.
    ShutdownDirectInput();
    EXPECT_EQ(0, CheckKeyDownCore(44));
    EXPECT_TRUE(InputIsSetUp());
    SetVirtualClockMilliseconds(PeekVirtualClockMilliseconds() + 1);
    EXPECT_EQ(1, CheckKeyDownCore(44));
    ShutdownDirectInput();

    // While the window is closing nothing is set up.
    SystemStateRecord.life.closeRequested = 1;
    EXPECT_EQ(0, CheckKeyDownCore(44));
    EXPECT_FALSE(InputIsSetUp());
    SystemStateRecord.life.closeRequested = 0;
    DinputSeamSetKey(SDL_SCANCODE_Z, false);
}

TEST_F(KeyboardTest, InputMessageFlagsFollowTheirCalls) {
    SetInputMessageFlag1();
    SetInputMessageFlag2();
    EXPECT_EQ(1, InputStateRecord.messageFlag1);
    EXPECT_EQ(1, InputStateRecord.messageFlag2);
    ClearInputMessageFlag2();
    EXPECT_EQ(1, InputStateRecord.messageFlag1);
    EXPECT_EQ(0, InputStateRecord.messageFlag2);
    ClearInputMessageFlag1();
    EXPECT_EQ(0, InputStateRecord.messageFlag1);
}

struct DeviceFailure {
    const char* name;
    DinputCall call;
    DinputDeviceKind device;
    int count;
    const char* text;
};

void PrintTo(const DeviceFailure& f, std::ostream* out) { *out << f.name; }

class DeviceFailureTest : public KeyboardTest, public ::testing::WithParamInterface<DeviceFailure> {};

TEST_P(DeviceFailureTest, EndsTheProcessWithItsText) {
    const DeviceFailure& f = GetParam();
    EXPECT_EXIT(
        {
            DinputSeamFailDeviceCall(f.call, f.device, f.count, E_FAIL);
            SetupDirectInput();
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find(std::string(f.text) + "\r\n")) << Log();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceFailureTest,
    ::testing::Values(
        DeviceFailure{"MouseCreate", DinputCall::CreateDevice, DinputDeviceKind::Mouse, 1,
                      "マウスデバイスの取得に失敗しました"},
        DeviceFailure{"MouseFormat", DinputCall::SetDataFormat, DinputDeviceKind::Mouse, 1,
                      "マウスデバイスのデータ形式の設定に失敗しました"},
        DeviceFailure{"MouseLevel", DinputCall::SetCooperativeLevel, DinputDeviceKind::Mouse, 1,
                      "マウスデバイスの協調レベルの設定に失敗しました"},
        DeviceFailure{"KeyboardCreate", DinputCall::CreateDevice, DinputDeviceKind::Keyboard, 1,
                      "キーボードデバイスの取得に失敗しました"},
        DeviceFailure{"KeyboardFormat", DinputCall::SetDataFormat, DinputDeviceKind::Keyboard, 1,
                      "キーボードデバイスのデータ形式の設定に失敗しました"},
        DeviceFailure{"KeyboardLevel", DinputCall::SetCooperativeLevel, DinputDeviceKind::Keyboard, 1,
                      "キーボードデバイスの協調レベルの設定に失敗しました"},
        DeviceFailure{"KeyboardAcquiredTwice", DinputCall::Acquire, DinputDeviceKind::Keyboard, 2,
                      "キーボードデバイスの取得に失敗しました"}),
    [](const ::testing::TestParamInfo<DeviceFailure>& info) { return info.param.name; });

TEST_F(KeyboardTest, OneFailedAcquireIsTriedAgainAndAFailedPropertyOnlyLogged) {
    DinputSeamFailDeviceCall(DinputCall::Acquire, DinputDeviceKind::Keyboard, 1, E_FAIL);
    DinputSeamFailDeviceCall(DinputCall::SetProperty, DinputDeviceKind::Keyboard, 1, E_FAIL);
    size_t mark = Log().size();
    EXPECT_EQ(0, SetupDirectInput());
    EXPECT_NE(std::string::npos,
              LogSince(mark).find("0:\tキーボードデバイスの初期化... キーボードのプロパティ設定に失敗しました\r\n"));
}
