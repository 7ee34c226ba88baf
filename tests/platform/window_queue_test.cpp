// Message queues, the default close chain, timers and cross-thread messages.
#include <atomic>
#include <thread>

#include "window_test_support.h"

TEST_F(WindowTest, PostedMessagesComeInOrderAndPeekWithoutRemovalKeepsThem) {
    HWND w = Create();
    ASSERT_NE(nullptr, w);
    Drain();
    PostMessageA(w, WM_USER + 1, 11, 0);
    PostMessageA(w, WM_USER + 2, 22, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, w, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(22u, msg.wParam);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, QuitComesAfterPostedMessagesAndOnlyForThreadFilters) {
    HWND w = Create();
    Drain();
    PostQuitMessage(3);
    PostMessageA(w, WM_USER, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, w, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER), msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, HWND_THREAD_ONLY, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(3u, msg.wParam);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, CloseRunsTheDefaultChainAndDropsPendingMessages) {
    HWND w = Create();
    Drain();
    SeenMessages().clear();
    PostMessageA(w, WM_CLOSE, 0, 0);
    PostMessageA(w, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(w));
    ASSERT_EQ(2u, SeenMessages().size());
    EXPECT_EQ(static_cast<UINT>(WM_CLOSE), SeenMessages()[0].message);
    EXPECT_EQ(static_cast<UINT>(WM_DESTROY), SeenMessages()[1].message);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // WM_USER went with the window
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
}

TEST_F(WindowTest, PaintStaysUntilTheWindowIsValidated) {
    HWND w = Create();
    ShowWindow(w, SW_SHOW);
    MSG msg;
    int paints = 0;
    for (int i = 0; i < 3 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) ++paints;
    EXPECT_EQ(3, paints);  // removing does not validate
    PAINTSTRUCT ps;
    BeginPaint(w, &ps);
    EndPaint(w, &ps);
    EXPECT_EQ(150, ps.rcPaint.right);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

static std::atomic<int> timerCalls{0};
static std::thread::id timerThread;
static void CountTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (id == 7) ++timerCalls;
    timerThread = std::this_thread::get_id();
}

TEST_F(WindowTest, TimersFireOnTheOwningThreadUntilKilled) {
    HWND w = Create();
    Drain();
    ASSERT_EQ(7u, SetTimer(w, 7, 10, CountTimer));
    // Another thread peeking never sees the window's timer.
    std::thread other([] {
        MSG msg;
        for (int i = 0; i < 50; ++i) {
            EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
            usleep(1000);
        }
    });
    other.join();
    for (int i = 0; i < 2000 && timerCalls < 2; ++i) {
        Drain();
        usleep(1000);
    }
    EXPECT_GE(timerCalls.load(), 2);
    EXPECT_EQ(std::this_thread::get_id(), timerThread);
    EXPECT_TRUE(KillTimer(w, 7));
    EXPECT_FALSE(KillTimer(w, 7));
    int before = timerCalls;
    usleep(30000);
    Drain();
    EXPECT_EQ(before, timerCalls.load());
}

TEST_F(WindowTest, MessagesPostedFromAnotherThreadReachTheOwner) {
    HWND w = Create();
    Drain();
    std::thread poster([w] { EXPECT_TRUE(PostMessageA(w, WM_USER + 5, 1, 2)); });
    poster.join();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
    EXPECT_EQ(w, msg.hwnd);
}

TEST_F(WindowTest, SendFromAnotherThreadRunsInTheOwnersPeek) {
    HWND w = Create();
    Drain();
    SeenMessages().clear();
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        SendMessageA(w, WM_USER + 9, 0, 0);
        sent = true;
    });
    MSG msg;
    for (int i = 0; i < 5000 && !sent; ++i) {
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        usleep(200);
    }
    sender.join();
    ASSERT_TRUE(sent);
    ASSERT_EQ(1u, Seen(WM_USER + 9).size());
    EXPECT_TRUE(DestroyWindow(w));
    std::thread destroyer([w] { EXPECT_FALSE(DestroyWindow(w)); });  // not its window
    destroyer.join();
}

TEST_F(WindowTest, TranslateGivesControlCharactersForTheirKeys) {
    HWND w = Create();
    Drain();
    SeenMessages().clear();
    WindowSeamInjectKey(SDL_SCANCODE_BACKSPACE, true, w);
    WindowSeamInjectKey(SDL_SCANCODE_RETURN, true, w);
    WindowSeamInjectKey(SDL_SCANCODE_A, true, w);
    Drain();
    std::vector<WPARAM> chars;
    for (const SeenMessage& m : Seen(WM_CHAR)) chars.push_back(m.wParam);
    EXPECT_EQ((std::vector<WPARAM>{8, 13}), chars);  // 'a' comes from text input, not from the key
}
