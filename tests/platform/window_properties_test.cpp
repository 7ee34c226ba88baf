// Window classes, titles, geometry, icons, the cursor, the desktop and the screen saver.
#include <sys/wait.h>

#include <cstring>

#include "window_test_support.h"

TEST_F(WindowTest, ClassesAreUniqueAndFoundWithoutCase) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "testwindow";
    EXPECT_EQ(0, RegisterClassExA(&wc));
    HWND w = Create("Title");
    EXPECT_EQ(w, FindWindowA("TESTWINDOW", nullptr));
    EXPECT_EQ(w, FindWindowA("TestWindow", "Title"));
    EXPECT_EQ(nullptr, FindWindowA("TestWindow", "Other"));
    EXPECT_FALSE(UnregisterClassA("TestWindow", nullptr));  // still in use
    EXPECT_EQ(nullptr, CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(WindowTest, CreationSendsCreateMoveAndSizeAndAFailedCreateLeavesNothing) {
    HWND w = Create("Test", 7, 9, 150, 200);
    ASSERT_NE(nullptr, w);
    ASSERT_GE(SeenMessages().size(), 3u);
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), SeenMessages()[0].message);
    ASSERT_EQ(1u, Seen(WM_SIZE).size());
    EXPECT_EQ(MAKELPARAM(150, 200), Seen(WM_SIZE)[0].lParam);
    ASSERT_EQ(1u, Seen(WM_MOVE).size());
    EXPECT_EQ(MAKELPARAM(7, 9), Seen(WM_MOVE)[0].lParam);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcA(h, m, wp, lp);
    };
    wc.lpszClassName = "Refusing";
    ASSERT_NE(0, RegisterClassExA(&wc));
    int before = WindowSeamWindowCount();
    EXPECT_EQ(nullptr, CreateWindowExA(0, "Refusing", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(before, WindowSeamWindowCount());
}

TEST_F(WindowTest, TitleReachesSdlAsUtf8) {
    HWND w = Create("Cinderwhirl");
    EXPECT_EQ("Cinderwhirl", WindowSeamSdlTitle(w));
    ASSERT_TRUE(SetWindowTextA(w, "\x83\x65\x83\x58\x83\x67"));  // "テスト" in CP932
    EXPECT_EQ("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", WindowSeamSdlTitle(w));
    char back[16];
    EXPECT_EQ(6, GetWindowTextA(w, back, sizeof back));
    EXPECT_EQ(0, std::strcmp(back, "\x83\x65\x83\x58\x83\x67"));
    EXPECT_EQ(3, GetWindowTextA(w, back, 4));  // cut to the buffer
}

TEST_F(WindowTest, GeometryMovesSendMoveAndSizeOnlyWhenTheyChange) {
    HWND w = Create("Test", 10, 20, 150, 200);
    SeenMessages().clear();
    ASSERT_TRUE(MoveWindow(w, 10, 20, 150, 200, TRUE));
    EXPECT_TRUE(SeenMessages().empty());
    ASSERT_TRUE(SetWindowPos(w, HWND_TOPMOST, 30, 40, 0, 0, SWP_NOSIZE));
    ASSERT_EQ(1u, Seen(WM_MOVE).size());
    EXPECT_TRUE(Seen(WM_SIZE).empty());
    ASSERT_TRUE(MoveWindow(w, 30, 40, 300, 400, TRUE));
    ASSERT_EQ(1u, Seen(WM_SIZE).size());
    RECT client, outer;
    GetClientRect(w, &client);
    GetWindowRect(w, &outer);
    EXPECT_EQ(300, client.right);
    EXPECT_EQ(400, client.bottom);
    EXPECT_EQ(30, outer.left);
    EXPECT_EQ(440, outer.bottom);
    POINT p = {1, 2};
    ClientToScreen(w, &p);
    EXPECT_EQ(31, p.x);
    EXPECT_EQ(42, p.y);
    int x, y;
    SDL_GetWindowPosition(WindowSeamSdlWindow(w), &x, &y);
    EXPECT_EQ(30, x);
    int sw, sh;
    SDL_GetWindowSize(WindowSeamSdlWindow(w), &sw, &sh);
    EXPECT_EQ(300, sw);
    EXPECT_EQ(400, sh);
}

TEST_F(WindowTest, StyleVisibleBitShowsTheWindow) {
    HWND w = Create();
    SDL_Window* sdl = WindowSeamSdlWindow(w);
    EXPECT_EQ(0u, SDL_GetWindowFlags(sdl) & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN));
    SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_NE(0u, SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(static_cast<LONG>(WS_POPUP | WS_VISIBLE), GetWindowLongA(w, GWL_STYLE));
}

TEST_F(WindowTest, IconsComeFromTheResourceTable) {
    EXPECT_NE(nullptr, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(nullptr, LoadIconA(nullptr, MAKEINTRESOURCEA(101)));
    uint32_t pixels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0};
    ASSERT_EQ(0, RegisterIconResource(101, 2, 2, pixels));
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(101));
    ASSERT_NE(nullptr, icon);
    HWND w = Create();
    EXPECT_EQ(0u, SetClassLongPtrA(w, GCL_HICON, reinterpret_cast<LONG_PTR>(icon)));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(icon), SetClassLongPtrA(w, GCL_HICON, 0));
}

TEST_F(WindowTest, CursorCounterAndNullCursorDecideVisibility) {
    HWND w = Create();
    ASSERT_NE(nullptr, w);
    EXPECT_TRUE(WindowSeamCursorShown());
    EXPECT_EQ(-1, ShowCursor(FALSE));
    EXPECT_FALSE(WindowSeamCursorShown());
    EXPECT_EQ(0, ShowCursor(TRUE));
    EXPECT_TRUE(WindowSeamCursorShown());
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_EQ(arrow, SetCursor(nullptr));
    EXPECT_FALSE(WindowSeamCursorShown());
    SetCursor(arrow);
    EXPECT_TRUE(WindowSeamCursorShown());
}

TEST_F(WindowTest, HeadlessDesktopIsThirtyTwoBitsNeverTwentyFour) {
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(32, GetDesktopColorBits());  // SDL calls the dummy desktop's XRGB8888 24 bits
}

TEST_F(WindowTest, ScreenSaverIsInhibitedForThisProcessOnly) {
    HWND w = Create();
    ASSERT_NE(nullptr, w);
    EXPECT_FALSE(WindowSeamScreenSaverInhibited());
    EXPECT_FALSE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE));
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0));
    EXPECT_TRUE(WindowSeamScreenSaverInhibited());
    BOOL active = TRUE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    EXPECT_FALSE(active);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    EXPECT_FALSE(WindowSeamScreenSaverInhibited());
}

TEST_F(WindowTest, ASecondProcessFindsTheFirstOnesWindowByClass) {
    int ready[2];
    int done[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(done));
    pid_t child = fork();  // before this process touches SDL: the child has its own
    if (child == 0) {
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
    HWND found = FindWindowA("Cinderwhirl", nullptr);
    EXPECT_TRUE(IsForeignWindow(found));
    EXPECT_EQ(nullptr, FindWindowA("Other", nullptr));
    (void)!write(done[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(nullptr, FindWindowA("Cinderwhirl", nullptr));  // its lock went with it
}
