// Library start-up and shutdown, the main window and the public start and stop.
#include <sys/wait.h>

#include <cstring>

#include "library/core/message_pump.h"
#include "library/graph/draw_state.h"
#include "library_test_support.h"

TEST_F(LibraryTest, StartsAndStopsInTheFixedOrderAndLeavesNoBlock) {
    GameSettings();
    ASSERT_EQ(0, InitializeLibrary());
    EXPECT_NE(nullptr, MainWindow());
    EXPECT_EQ(FrontBufferTarget, GetDrawTargetHandle());  // the front buffer stays the target
    ASSERT_EQ(0, ShutdownLibrary());
    EXPECT_EQ(nullptr, MainWindow());
    EXPECT_TRUE(InOrder(LogWithoutTimes(), {
        "システムの情報を出力します\r\n",
        "ＣＯＭの初期化... 成功しました\r\n",
        "メモリ総量:",
        "タイマーの精度を検査します\r\n",
        "精度結果 更新回数 マルチメディアタイマー：",
        "ソフトの二重起動検査... 二重起動はされていませんでした\r\n",
        "ウインドウクラスを登録します... 登録に成功しました\r\n",
        "ウインドウモード起動用のウインドウを作成します\r\n",
        "ＩＭＥを無効にしました\r\n",
        "ウインドウスタイルをウインドウモード用に変更します... 完了\r\n",
        "ウインドウを閉じようとしています\r\n",
        "ウインドウが破棄されようとしています\r\n",
        "ソフトを終了する準備が整いました\r\n",
        "ＣＯＭを終了... 完了\r\n",
        "Alloc memory dump",
        "Total size:0(0.000kb)  Alloc num:0",
    }));
}

TEST_F(LibraryTest, TheGameGetsA150By200WindowClassedAndTitledAfterItsCaption) {
    GameSettings();
    ASSERT_EQ(0, InitializeLibrary());
    HWND window = MainWindow();
    EXPECT_EQ(window, FindWindowA("Cinderwhirl", nullptr));
    EXPECT_EQ("Cinderwhirl", WindowSeamSdlTitle(window));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(150, client.right);
    EXPECT_EQ(200, client.bottom);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ((1024 - 150) / 2, outer.left);  // centred on the desktop
    EXPECT_EQ((768 - 200) / 2, outer.top);
    EXPECT_EQ(outer.left, SystemStateRecord.window.clientRect.left);
    EXPECT_TRUE(WindowSeamScreenSaverInhibited());
    EXPECT_FALSE(WindowSeamImeEnabled(window));
    ShutdownLibrary();
    EXPECT_FALSE(WindowSeamScreenSaverInhibited());
    EXPECT_EQ(0, WindowSeamWindowCount());
}

TEST_F(LibraryTest, WithoutCaptionTheClassIsZ123987QAndTheCaptionZqLib) {
    ASSERT_EQ(0, InitializeLibrary());
    EXPECT_NE(nullptr, FindWindowA("Z123987Q", nullptr));
    char caption[32];
    GetWindowTextA(MainWindow(), caption, sizeof caption);
    EXPECT_STREQ("ZqLib", caption);
}

TEST_F(LibraryTest, AClassNameSetBeforeStartUpNamesTheClass) {
    CopyTextBounded(SystemStateRecord.settings.className, WindowClassNameCapacity, "OwnClass");
    SetWindowTitleText("Title");
    ASSERT_EQ(0, InitializeLibrary());
    EXPECT_NE(nullptr, FindWindowA("OwnClass", "Title"));
    ShutdownLibrary();
    SystemStateRecord.settings.className[0] = '\0';
}

TEST_F(LibraryTest, StartsAndStopsTwiceInOneProcess) {
    GameSettings();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(0, InitializeLibrary()) << round;
        EXPECT_EQ(0, ProcessMessage());
        ASSERT_EQ(0, ShutdownLibrary());
        EXPECT_NE(std::string::npos, Log().find("Alloc num:0")) << round;
    }
}

TEST_F(LibraryTest, ATwentyFourBitDesktopIsRefusedBeforeAnythingStarts) {
    WindowSeamSetDesktop(1024, 768, 24);
    GameSettings();
    EXPECT_EQ(-1, InitializeLibrary());
    EXPECT_NE(std::string::npos, Log().find("ＺＱライブラリは２４ビットカラーモードに対応していません\r\n"));
    EXPECT_EQ(0, WindowSeamWindowCount());
    EXPECT_EQ(0, SystemStateRecord.life.comStarted);
    EXPECT_EQ(0, SystemStateRecord.life.startUpRunning);
    EXPECT_EQ(std::string::npos, Log().find("ＣＯＭ"));
    WindowSeamSetDesktop(1024, 768, 32);
    EXPECT_EQ(0, InitializeLibrary());  // and a later start-up works
}

TEST_F(LibraryTest, ASecondCopyOfTheGameRefusesToStart) {
    int ready[2];
    int done[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(done));
    pid_t child = fork();
    if (child == 0) {  // the first copy: a window of the class "Cinderwhirl"
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "Cinderwhirl";
        RegisterClassExA(&wc);
        HWND w = CreateWindowExA(0, "Cinderwhirl", "Cinderwhirl", WS_POPUP, 0, 0, 150, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        char c = w != nullptr ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    ASSERT_EQ('y', c);
    GameSettings();
    EXPECT_EQ(-1, InitializeLibrary());
    (void)!write(done[1], "x", 1);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(InOrder(LogWithoutTimes(), {"ソフトの二重起動検査... 二重起動されています、ソフトを終了します\r\n",
                                            "ＣＯＭを終了... 完了\r\n", "Alloc num:0"}));
    EXPECT_EQ(0, WindowSeamWindowCount());
    EXPECT_EQ(std::string::npos, Log().find("ウインドウクラスを登録します"));
}

TEST_F(LibraryTest, ShutdownRestoresTheStartDirectory) {
    ASSERT_EQ(0, InitializeLibrary());
    ASSERT_EQ(0, chdir("/"));
    ShutdownLibrary();
    char cwd[512];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    EXPECT_EQ(dir_, cwd);
}

TEST_F(LibraryTest, ShutdownWithoutStartUpEndsAtOnce) {
    EXPECT_EQ(0, ShutdownLibrary());  // no window ever existed: the final pump must not spin
    EXPECT_EQ(0, ShutdownLibrary());
}

TEST_F(LibraryTest, TheUpkeepThreadRunsUnderTheLockAndEndsAtShutdown) {
    RemoveVirtualClock();  // the thread's 17 ms are real time
    ASSERT_EQ(0, InitializeLibrary());
    ASSERT_NE(nullptr, SystemStateRecord.window.pumpThread);
    long before = GetPumpThreadUpkeepCount();
    usleep(200 * 1000);
    long ran = GetPumpThreadUpkeepCount() - before;
    EXPECT_GE(ran, 3);   // about 11 in 200 ms at one upkeep per 17 ms
    EXPECT_LE(ran, 14);
    ShutdownLibrary();
    EXPECT_EQ(1, SystemStateRecord.life.pumpThreadEnded.load());
    EXPECT_EQ(nullptr, SystemStateRecord.window.pumpThread);
    long after = GetPumpThreadUpkeepCount();
    usleep(50 * 1000);
    EXPECT_EQ(after, GetPumpThreadUpkeepCount());
}

TEST_F(LibraryTest, WaitWithMessagesLetsTheUpkeepThreadIn) {
    RemoveVirtualClock();
    ASSERT_EQ(0, InitializeLibrary());
    long before = GetPumpThreadUpkeepCount();
    EXPECT_EQ(0, WaitWithMessages(150));
    EXPECT_GE(GetPumpThreadUpkeepCount() - before, 2);
}
