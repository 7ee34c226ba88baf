// SDL events translated into window messages, and activation on the headless driver.
#include <cstring>

#include "window_test_support.h"

TEST_F(WindowTest, KeysGiveVirtualKeyCodes) {
    HWND w = Create();
    Drain();
    const struct {
        SDL_Scancode scancode;
        WPARAM vk;
    } table[] = {
        {SDL_SCANCODE_Z, 'Z'},          {SDL_SCANCODE_X, 'X'},        {SDL_SCANCODE_7, '7'},
        {SDL_SCANCODE_LEFT, VK_LEFT},   {SDL_SCANCODE_UP, VK_UP},     {SDL_SCANCODE_RIGHT, VK_RIGHT},
        {SDL_SCANCODE_DOWN, VK_DOWN},   {SDL_SCANCODE_DELETE, VK_DELETE}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
        {SDL_SCANCODE_F5, VK_F1 + 4},   {SDL_SCANCODE_LSHIFT, VK_SHIFT}, {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3},
        {SDL_SCANCODE_SPACE, VK_SPACE}, {SDL_SCANCODE_SLASH, VK_OEM_2},
    };
    for (const auto& row : table) {
        SeenMessages().clear();
        WindowSeamInjectKey(row.scancode, true, w);
        WindowSeamInjectKey(row.scancode, false, w);
        Drain();
        auto downs = Seen(WM_KEYDOWN);
        auto ups = Seen(WM_KEYUP);
        ASSERT_EQ(1u, downs.size()) << SDL_GetScancodeName(row.scancode);
        ASSERT_EQ(1u, ups.size());
        EXPECT_EQ(row.vk, downs[0].wParam) << SDL_GetScancodeName(row.scancode);
        EXPECT_EQ(0, downs[0].lParam & (1L << 31));
        EXPECT_NE(0, ups[0].lParam & (1L << 31));
    }
}

TEST_F(WindowTest, KeysWithAltAreSystemKeys) {
    HWND w = Create();
    Drain();
    SeenMessages().clear();
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.sym = SDLK_RETURN;
    e.key.keysym.mod = KMOD_LALT;
    WindowSeamInjectEvent(e, w);
    Drain();
    ASSERT_EQ(1u, Seen(WM_SYSKEYDOWN).size());
    EXPECT_EQ(static_cast<WPARAM>(VK_RETURN), Seen(WM_SYSKEYDOWN)[0].wParam);
    EXPECT_TRUE(Seen(WM_KEYDOWN).empty());
}

TEST_F(WindowTest, TextArrivesAsShiftJisBytes) {
    HWND w = Create();
    Drain();
    SeenMessages().clear();
    WindowSeamInjectText("a\xE3\x81\x82\xF0\x9F\x98\x80", w);  // "a", HIRAGANA A, an emoji CP932 lacks
    Drain();
    std::vector<WPARAM> chars;
    for (const SeenMessage& m : Seen(WM_CHAR)) chars.push_back(m.wParam);
    EXPECT_EQ((std::vector<WPARAM>{'a', 0x82, 0xA0}), chars);
}

TEST_F(WindowTest, MouseEventsGiveClientCoordinatesAndWheelSteps) {
    HWND w = Create("Test", 100, 50);
    Drain();
    SeenMessages().clear();
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 12;
    e.motion.y = 34;
    WindowSeamInjectEvent(e, w);
    e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.x = 5;
    e.button.y = 6;
    WindowSeamInjectEvent(e, w);
    e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = -1;
    WindowSeamInjectEvent(e, w);
    Drain();
    ASSERT_EQ(1u, Seen(WM_MOUSEMOVE).size());
    EXPECT_EQ(12, GET_X_LPARAM(Seen(WM_MOUSEMOVE)[0].lParam));
    EXPECT_EQ(34, GET_Y_LPARAM(Seen(WM_MOUSEMOVE)[0].lParam));
    POINT p;
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(112, p.x);
    EXPECT_EQ(84, p.y);
    ASSERT_EQ(1u, Seen(WM_RBUTTONDOWN).size());
    EXPECT_EQ(MAKELPARAM(5, 6), Seen(WM_RBUTTONDOWN)[0].lParam);
    ASSERT_EQ(1u, Seen(WM_MOUSEWHEEL).size());
    EXPECT_EQ(-WHEEL_DELTA, GET_WHEEL_DELTA_WPARAM(Seen(WM_MOUSEWHEEL)[0].wParam));
}

TEST_F(WindowTest, CloseMoveAndSizeEvents) {
    HWND w = Create("Test", 100, 50);
    Drain();
    SeenMessages().clear();
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_MOVED;
    e.window.data1 = 300;
    e.window.data2 = 200;
    WindowSeamInjectEvent(e, w);
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 160;
    e.window.data2 = 210;
    WindowSeamInjectEvent(e, w);
    WindowSeamInjectClose(w);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    WindowSeamInjectEvent(quit, w);  // the same close, once more: only one WM_CLOSE
    MSG msg;
    std::vector<UINT> order;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_PAINT) order.push_back(msg.message);
        if (msg.message == WM_MOVE) {
            EXPECT_EQ(MAKELPARAM(300, 200), msg.lParam);
        }
        if (msg.message == WM_SIZE) {
            EXPECT_EQ(MAKELPARAM(160, 210), msg.lParam);
        }
        if (msg.message != WM_CLOSE) DispatchMessageA(&msg);
    }
    EXPECT_EQ((std::vector<UINT>{WM_MOVE, WM_SIZE, WM_CLOSE}), order);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(300, r.left);
    EXPECT_EQ(460, r.right);
    EXPECT_EQ(410, r.bottom);
}

TEST_F(WindowTest, HeadlessWindowStaysActiveUnlessATestForcesIt) {
    HWND w = Create();
    SeenMessages().clear();
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(w, GetActiveWindow());
    auto activate = Seen(WM_ACTIVATE);
    ASSERT_EQ(1u, activate.size());  // sent at once, like showing a new window
    EXPECT_EQ(static_cast<WPARAM>(WA_ACTIVE), activate[0].wParam);
    ASSERT_EQ(1u, Seen(WM_ACTIVATEAPP).size());
    Drain();
    SeenMessages().clear();

    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    WindowSeamInjectEvent(e, w);
    Drain();
    EXPECT_EQ(w, GetActiveWindow());
    EXPECT_TRUE(Seen(WM_ACTIVATE).empty());

    WindowSeamSetActive(w, false);
    Drain();
    EXPECT_EQ(nullptr, GetActiveWindow());
    ASSERT_EQ(1u, Seen(WM_ACTIVATE).size());
    EXPECT_EQ(static_cast<WPARAM>(WA_INACTIVE), Seen(WM_ACTIVATE)[0].wParam);
    ASSERT_EQ(1u, Seen(WM_ACTIVATEAPP).size());
    EXPECT_EQ(0u, Seen(WM_ACTIVATEAPP)[0].wParam);

    SeenMessages().clear();
    WindowSeamSetActive(w, true);
    Drain();
    EXPECT_EQ(w, GetActiveWindow());
    ASSERT_EQ(1u, Seen(WM_ACTIVATEAPP).size());
    EXPECT_EQ(1u, Seen(WM_ACTIVATEAPP)[0].wParam);
}
