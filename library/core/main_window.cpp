// The main window. See main_window.h.
#include "library/core/main_window.h"

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/menu.h"
#include "library/core/message_pump.h"
#include "library/core/random.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/window_mode.h"
#include "library/core/window_proc.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "library/graph/mask_screen.h"
#include "library/input/input.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/kernel.h"
#include "platform/window/window.h"

static const char DefaultClassName[] = "Z123987Q";
static const char DefaultCaption[] = "ZqLib";

enum { TimerTestChanges = 60, TimerTestLimitMs = 1000 };

static void LogMemory(SystemState& s) {
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    char text[256];
    FormatText(text, sizeof text, "メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", status.dwTotalPhys / 1048576.0,
               status.dwAvailPhys / 1048576.0);
    WriteLogText(text);
    FormatText(text, sizeof text, "%.2fMB\n", status.dwAvailPhys / 1048576.0);
    OutputDebugStringA(text);
    s.window.availablePhysicalMemory = status.dwAvailPhys;
    s.window.totalPhysicalMemory = status.dwTotalPhys;
}

// Which clock changes more often over a short pumping period: the high-resolution
// counter or the multimedia timer.
static void TestTimers(SystemState& s) {
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    s.timing.performanceFrequency = frequency.QuadPart;
    s.timing.performanceCounterAvailable = frequency.QuadPart != 0;
    TIMECAPS caps = {};
    timeGetDevCaps(&caps, sizeof caps);
    s.window.timerPeriodMin = caps.wPeriodMin;
    timeBeginPeriod(caps.wPeriodMin);
    if (!s.timing.performanceCounterAvailable) return;

    WriteLogText("タイマーの精度を検査します\n");
    DWORD start = timeGetTime();
    DWORD lastTime = start;
    LARGE_INTEGER lastCount;
    QueryPerformanceCounter(&lastCount);
    int timeChanges = 0;
    int counterChanges = 0;
    while (ProcessMessageCore() == 0 && timeChanges < TimerTestChanges && counterChanges < TimerTestChanges) {
        DWORD now = timeGetTime();
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        if (now != lastTime) ++timeChanges;
        if (count.QuadPart != lastCount.QuadPart) ++counterChanges;
        lastTime = now;
        lastCount = count;
        if (now - start >= TimerTestLimitMs) break;
    }
    WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timeChanges,
                   counterChanges);
    char text[256];
    if (counterChanges < timeChanges) {
        FormatText(text, sizeof text, "マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", caps.wPeriodMin);
        s.timing.performanceCounterAvailable = 0;
    } else {
        FormatText(text, sizeof text, "パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                   static_cast<double>(frequency.QuadPart) / 1000.0);
    }
    WriteLogText(text);
    WriteLogText("\n");
}

static int FailWindowStep(const char* text) {
    SystemStateRecord.life.quit = 1;
    SystemStateRecord.mode.windowCreating = 0;
    return WriteLogText(text);
}

int CreateMainWindow(void) {
    SystemState& s = SystemStateRecord;
    ClearSystemStateForStartUp();
    SystemSettings& settings = s.settings;
    if (settings.className[0] == '\0') {
        CopyTextBounded(settings.className, sizeof settings.className,
                        settings.caption[0] != '\0' ? settings.caption : DefaultClassName);
    }
    s.window.instance = nullptr;  // the program has no module handle here
    s.window.mainThreadId = GetCurrentThreadId();

    LogMemory(s);
    s.window.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    s.window.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    s.window.desktopColorBits = GetDesktopColorBits();
    TestTimers(s);
    SeedRandom(timeGetTime());
    // The screen saver stays away while the program runs; only this process is affected.
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);

    WriteLogText("ソフトの二重起動検査... ");
    if (FindWindowA(settings.className, nullptr) != nullptr) {
        return FailWindowStep("二重起動されています、ソフトを終了します\n");
    }
    WriteLogText("二重起動はされていませんでした\n");

    if (settings.menu != nullptr) {
        s.menu.itemCount = 0;
        RecordMenuItems(settings.menu);
    }

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = s.window.instance;
    wc.hIcon = LoadIconA(s.window.instance, settings.iconId != 0 ? MAKEINTRESOURCEA(settings.iconId) : IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = settings.className;
    WriteLogText("ウインドウクラスを登録します... ");
    if (RegisterClassExA(&wc) == 0) return FailWindowStep("ウインドウクラスの登録に失敗しました\n");
    WriteLogText("登録に成功しました\n");
    s.mode.windowCreating = 1;

    if (settings.caption[0] == '\0') CopyTextBounded(settings.caption, sizeof settings.caption, DefaultCaption);

    int width, height;
    GetScreenPixelSize(&width, &height);
    const WindowStyles& styles = GetWindowStyles(settings.styleIndex);
    HWND window;
    if (settings.windowed) {
        WriteLogText("ウインドウモード起動用のウインドウを作成します\n");
        s.mode.createdInWindowMode = 1;
        double zoom = GetWindowZoomFactor();
        RECT rect = {0, 0, static_cast<LONG>(width * zoom), static_cast<LONG>(height * zoom)};
        AdjustWindowRectEx(&rect, styles.windowStyle, settings.menu != nullptr, styles.windowExStyle);
        int outerWidth = rect.right - rect.left;
        int outerHeight = rect.bottom - rect.top;
        window = CreateWindowExA(styles.windowExStyle, settings.className, settings.caption, styles.windowStyle,
                                 (s.window.desktopWidth - outerWidth) / 2, (s.window.desktopHeight - outerHeight) / 2,
                                 outerWidth, outerHeight, nullptr, settings.menu, s.window.instance, nullptr);
    } else {
        WriteLogText("フルスクリーンモード用のウインドウを作成します\n");
        s.mode.createdInWindowMode = 0;
        window = CreateWindowExA(styles.fullScreenExStyle, settings.className, settings.caption, styles.fullScreenStyle,
                                 0, 0, width, height, nullptr, nullptr, s.window.instance, nullptr);
    }
    if (window == nullptr) {
        UnregisterClassA(settings.className, s.window.instance);
        return FailWindowStep("ウインドウの作成に失敗しました\n");
    }
    s.window.mainWindow = window;

    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    s.life.closeRequested = 0;
    s.life.destroyed = 0;
    s.life.active = 1;
    if (!settings.windowed) {
        WriteLogText("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }
    WriteLogText("ＩＭＥを無効にしました\n");
    WINNLSEnableIME(window, FALSE);
    if (settings.windowed) {
        RECT client;
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        s.window.clientRect = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    }
    s.mode.doubleByteRule = GetOEMCP() == 949 ? DoubleByteKorean : DoubleByteShiftJis;
    ShowMouseCursor(s.mode.createdInWindowMode);
    s.life.libraryEnding = 0;

    BringWindowToTop(window);
    DWORD start = timeGetTime();
    while (timeGetTime() - start < StartUpPumpMs) {
        if (ProcessMessageCore() != 0) break;
    }
    FitWindowToClientSize();
    s.mode.windowCreating = 0;

    StartMessagePumpThread();
    return 0;
}

int DestroyMainWindow(void) {
    SystemState& s = SystemStateRecord;
    HWND window = s.window.mainWindow;
    if (window == nullptr) return 0;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    WINNLSEnableIME(window, TRUE);
    ShowMouseCursor(1);
    SetWindowRegionFromBitmap(nullptr);
    SetMenuInUse(0);
    SetToolbarBitmap(nullptr, 0);

    if (!s.life.closeRequested.load()) {
        s.life.closeRequested = 1;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    // The window procedure destroys the window and sets the quit flag. Only the
    // window's own thread can dispatch its messages: another thread does not wait.
    while (GetCurrentThreadId() == s.window.mainThreadId && ProcessMessageCore() == 0 && IsWindow(window)) {
    }
    UnregisterClassA(s.settings.className, s.window.instance);
    DeleteAllTextEntryHandles();
    FreeDroppedFileNames();

    StopMessagePumpThread();
    timeEndPeriod(s.window.timerPeriodMin);
    s.window.mainWindow = nullptr;
    return 0;
}

int FitWindowToClientSize(void) {
    SystemState& s = SystemStateRecord;
    HWND window = s.window.mainWindow;
    if (window == nullptr) return 0;
    int width, height;
    GetScreenPixelSize(&width, &height);
    double zoom = GetWindowZoomFactor();
    RECT outer, client;
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return 0;  // already destroyed
    int newWidth = (outer.right - outer.left) - client.right + static_cast<int>(width * zoom);
    int newHeight = (outer.bottom - outer.top) - client.bottom + static_cast<int>(height * zoom) + GetToolbarHeight();
    MoveWindow(window, outer.left, outer.top, newWidth, newHeight, TRUE);
    if (s.settings.windowed && !s.mode.stylesApplied) {
        s.mode.stylesApplied = 1;
        ApplyWindowStyleForMode();
    }
    return 0;
}

int TrackWindowMove(LPARAM position) {
    SystemState& s = SystemStateRecord;
    RECT& client = s.window.clientRect;
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    int x = GET_X_LPARAM(position);
    int y = GET_Y_LPARAM(position);
    client = {x, y, x + width, y + height};
    if (GetDrawTargetHandle() == -4 && !CheckDrawOriginKept()) {
        int mask = IsMaskScreenEnabled();
        if (mask) EnableMaskScreen(0);
        SetDrawOriginRect(&client);
        if (mask) EnableMaskScreen(1);
        RECT area;
        GetDrawClipRect(&area);
        SetDrawClipRect(area.left, area.top, area.right, area.bottom);
    }
    return 0;
}
