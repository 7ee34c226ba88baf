// The message pump, the window procedure and the window settings on a started library.
#include <atomic>
#include <cstring>
#include <thread>

#include "library/core/message_pump.h"
#include "library/core/window_mode.h"
#include "library/core/window_proc.h"
#include "library/input/char_input.h"
#include "library_test_support.h"
#include "support/api_lock.h"

// The bytes of every character waiting in the character ring.
static std::vector<int> TakeCharCodes() {
    std::vector<int> codes;
    unsigned char bytes[2];
    while (int size = PopCharCode(bytes, 1)) codes.insert(codes.end(), bytes, bytes + size);
    return codes;
}

class PumpTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        GameSettings();
        ASSERT_EQ(0, InitializeLibrary());
        TakeCharCodes();
    }
};

TEST_F(PumpTest, OneCallDrainsTheQueueInPassesOfFive) {
    ProcessMessage();
    for (int i = 0; i < 10; ++i) PostMessageA(MainWindow(), WM_CHAR, 'a' + i, 0);
    long before = GetMessagePumpPassCount();
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ(10u, TakeCharCodes().size());
    EXPECT_EQ(3, GetMessagePumpPassCount() - before);  // 5, 5, then an empty pass ends it
}

namespace {
int SelfPostingCalls = 0;
// Every message it handles brings the next: a steady stream, like a socket whose every
// receive re-arms its event.
LRESULT SelfPostingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER) return DefWindowProcA(window, message, wParam, lParam);
    SelfPostingCalls++;
    PostMessageA(window, WM_USER, 0, 0);
    return 0;
}
}  // namespace

// A call returns after a bounded number of passes even when the queue never empties.
TEST_F(PumpTest, OneCallEndsUnderASteadyStreamOfMessages) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SelfPostingProc;
    wc.lpszClassName = "SelfPosting";
    ASSERT_NE(0, RegisterClassExA(&wc));
    HWND window = CreateWindowExA(0, "SelfPosting", "", WS_CHILD, 0, 0, 0, 0, MainWindow(), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ProcessMessage();
    SelfPostingCalls = 0;
    PostMessageA(window, WM_USER, 0, 0);
    const long passes = GetMessagePumpPassCount();
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_GE(SelfPostingCalls, 5);
    EXPECT_LE(GetMessagePumpPassCount() - passes, 64);
    DestroyWindow(window);
    UnregisterClassA("SelfPosting", nullptr);
}

// SDL's queue is polled once per pass, not once per peek, and what it brings still
// comes after the messages posted before it, in order.
TEST_F(PumpTest, EachPassPumpsTheSystemEventsOnce) {
    ProcessMessage();
    PostMessageA(MainWindow(), WM_CHAR, 'a', 0);
    WindowSeamInjectText("bcdefgh", MainWindow());
    const long passes = GetMessagePumpPassCount(), pumps = WindowSeamPumpCount();
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_EQ((std::vector<int>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}), TakeCharCodes());
    EXPECT_EQ(3, GetMessagePumpPassCount() - passes);  // 5, 3, then an empty pass ends it
    EXPECT_EQ(3, WindowSeamPumpCount() - pumps);
}

TEST_F(PumpTest, ClosingTheWindowEndsTheLoop) {
    WindowSeamInjectClose(MainWindow());
    EXPECT_EQ(-1, ProcessMessage());
    EXPECT_EQ(-1, ProcessMessage());  // and every call after
    EXPECT_FALSE(IsWindow(MainWindow()));
    EXPECT_EQ(4, SystemStateRecord.life.libraryEnding);
    EXPECT_TRUE(InOrder(LogWithoutTimes(), {"ウインドウを閉じようとしています\r\n", "ウインドウが破棄されようとしています\r\n",
                                            "ソフトを終了する準備が整いました\r\n"}));
    EXPECT_EQ(0, ShutdownLibrary());
    EXPECT_NE(std::string::npos, Log().find("Alloc num:0"));
}

TEST_F(PumpTest, AnInactiveWindowHoldsThePumpUntilActivation) {
    WindowSeamSetActive(MainWindow(), false);
    std::atomic<bool> activated{false};
    std::thread helper([&] {
        usleep(50 * 1000);
        activated = true;
        WindowSeamSetActive(MainWindow(), true);
    });
    EXPECT_EQ(0, ProcessMessage());
    EXPECT_TRUE(activated.load());
    EXPECT_EQ(1, CheckApplicationActive());
    helper.join();
}

TEST_F(PumpTest, ACallFromAnotherThreadMakesOnePass) {
    PostMessageA(MainWindow(), WM_CHAR, 'x', 0);
    std::thread other([] {
        long before = GetMessagePumpPassCount();
        EXPECT_EQ(0, ProcessMessage());
        EXPECT_EQ(before, GetMessagePumpPassCount());  // only the main thread's passes are counted
    });
    other.join();
    EXPECT_TRUE(TakeCharCodes().empty());  // the window's messages stay with its own thread
    ProcessMessage();
    EXPECT_EQ(std::vector<int>{'x'}, TakeCharCodes());
}

TEST_F(PumpTest, KeysAndCharactersFeedTheCharacterInput) {
    const struct {
        WPARAM vk;
        int code;
    } keys[] = {{VK_DELETE, 0x10}, {VK_LEFT, 0x1D}, {VK_RIGHT, 0x1C}, {VK_UP, 0x1E}, {VK_DOWN, 0x1F}, {'Z', -1}};
    for (const auto& key : keys) {
        UnderApiLock([&] { return SendMessageA(MainWindow(), WM_KEYDOWN, key.vk, 0); });
        std::vector<int> expected;
        if (key.code >= 0) expected.push_back(key.code);
        EXPECT_EQ(expected, TakeCharCodes()) << key.vk;
    }
    for (int code : {10, 8, 9, 13, 16, 27, 32, 0x82, 0xA0, 1, 7, 31}) {
        UnderApiLock([&] { return SendMessageA(MainWindow(), WM_CHAR, code, 0); });
    }
    EXPECT_EQ((std::vector<int>{13, 8, 9, 13, 16, 27, 32, 0x82, 0xA0}), TakeCharCodes());
    WindowSeamInjectText("\xE3\x81\x82", MainWindow());  // typed HIRAGANA A arrives as Shift-JIS
    ProcessMessage();
    EXPECT_EQ((std::vector<int>{0x82, 0xA0}), TakeCharCodes());
}

TEST_F(PumpTest, TheScreenSaverIsRefused) {
    HeldApiLock held;
    EXPECT_EQ(1, SendMessageA(MainWindow(), WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_EQ(1, SendMessageA(MainWindow(), WM_SYSCOMMAND, SC_MONITORPOWER, 2));
}

TEST_F(PumpTest, ADisplayChangeToTwentyFourBitsClosesTheWindow) {
    UnderApiLock([] { return SendMessageA(MainWindow(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768)); });
    EXPECT_EQ(-1, ProcessMessage());
    EXPECT_TRUE(InOrder(LogWithoutTimes(),
                        {"復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\r\n",
                         "またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\r\n",
                         "ウインドウを閉じようとしています\r\n"}));
}

TEST_F(PumpTest, TitleAndIconReachTheLiveWindow) {
    SetWindowTitleText("\x83\x65\x83\x58\x83\x67");  // "テスト" in CP932
    EXPECT_EQ("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", WindowSeamSdlTitle(MainWindow()));
    EXPECT_EQ(0, SetWindowIconResource(0));  // the standard application icon
    std::string longCaption(400, 'x');
    EXPECT_EQ(0, SetWindowTitleText(longCaption.c_str()));
    EXPECT_EQ(259u, std::strlen(SystemStateRecord.settings.caption));  // the copy is bounded
}

TEST_F(PumpTest, AWindowModeChangeEndsWhenTheDisplayReportsTheNewMode) {
    EXPECT_EQ(0, ChangeWindowMode(0));
    EXPECT_EQ(1, SystemStateRecord.mode.displayChangeSeen);  // WM_DISPLAYCHANGE ended the wait
    EXPECT_EQ(0, SystemStateRecord.mode.modeChangeRunning);
    EXPECT_TRUE(InOrder(LogWithoutTimes(), {"ChangeWindowMode実行 \r\n", "ウインドウモードフラグが倒されました\r\n",
                                            "ウインドウスタイルをフルスクリーンモード用に変更します... 完了\r\n",
                                            "画面解像度を変更します... 成功しました\r\n"}));
}

TEST_F(LibraryTest, WindowSettingsBeforeStartUpAreOnlyStored) {
    EXPECT_EQ(0, ChangeWindowMode(1));
    EXPECT_EQ(1, GetWindowedFlag());
    EXPECT_EQ(0, ChangeWindowMode(1));
    EXPECT_EQ(-1, SetWindowStyleIndex(7));
    EXPECT_EQ(0, SystemStateRecord.settings.styleIndex);
    EXPECT_EQ(0, SetWindowStyleIndex(2));
    EXPECT_EQ(2, SystemStateRecord.settings.styleIndex);
    SystemStateRecord.settings.styleIndex = 0;
}

TEST_F(LibraryTest, DrawingBeforeStartUpDoesNotWaitForAWindow) {
    EXPECT_EQ(0, CheckKeyDown(0x2C));
    EXPECT_EQ(-1, DrawBoxShape(0, 0, 1, 1, 0, 1));
}
