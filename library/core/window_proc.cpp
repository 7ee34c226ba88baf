// The main window's procedure. See window_proc.h.
#include "library/core/window_proc.h"

#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/menu.h"
#include "library/core/system_state.h"
#include "library/d3d/d3d.h"
#include "library/display/display_device.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_restore.h"
#include "library/graph/movie.h"
#include "library/input/input.h"
#include "library/network/network.h"
#include "library/sound/sound.h"
#include "platform/window/window.h"
#include "platform/window/window_region.h"

enum { ToolbarCommandBase = 1280 };

static void OnPaint(HWND window) {
    SystemState& s = SystemStateRecord;
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    if (s.settings.windowed) {
        s.mode.painting = 1;
        if ((s.life.libraryInitialised || CheckWindowRegionSet()) && GetDrawTargetHandle() == -2) {
            int vsync = GetPresentWaitVSync();
            SetPresentWaitVSync(0);
            CopyBackBufferToWindow();
            SetPresentWaitVSync(vsync);
        }
        // Before start-up the window shows what the display layer gives a new window
        // (black): the window layer has no device context to fill.
        s.mode.painting = 0;
    }
    EndPaint(window, &paint);
}

static void OnActivate(HWND window, WPARAM wParam) {
    SystemState& s = SystemStateRecord;
    const bool active = LOWORD(wParam) != 0;
    s.life.active = active;
    if (s.mode.windowCreating) return;
    if (active) {
        StartImeRestoreIfWasInUse();
        RestoreAllSurface2D();
        G_D3D_RestoreAllSurface3D();
        if (!s.settings.windowed && s.life.libraryInitialised) {
            if (HIWORD(wParam) == 0) RestoreGraphicsAfterDeviceLoss();
            s.mode.restorePending = 0;
        } else {
            RunAllGraphMovieStreams();
        }
        ReacquireInputDevices();
    } else if (!s.settings.windowed && IsDisplayModeChanged() && !IsDirectDrawUsed()) {
        FreeDirectDrawObject();
        ShowWindow(window, SW_MINIMIZE);
    } else if (!s.settings.windowed && IsDisplayModeChanged() && GetDirectDrawObject() != nullptr) {
        if (HasGraphRestoreHandler()) {
            s.mode.restorePending = 1;
        } else {
            WriteLogText("復元関数が登録されていないため終了します\n");
            if (!s.life.closeRequested.load()) {
                s.life.closeRequested = 1;
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
        }
        return;
    } else {
        PauseAllGraphMovieStreams();
        ReacquireInputDevices();
    }
    ApplyPadEffectStates();
}

static void OnDisplayChange(HWND window, WPARAM wParam, LPARAM lParam) {
    SystemState& s = SystemStateRecord;
    if (s.settings.windowed && !s.mode.modeChangeRunning) {
        int bits = static_cast<int>(wParam);
        int width = LOWORD(lParam);
        int height = HIWORD(lParam);
        int screenWidth, screenHeight, screenBits;
        GetScreenSizeAndDepth(&screenWidth, &screenHeight, &screenBits);
        if (width != screenWidth || height != screenHeight || bits != screenBits) {
            if (HasGraphRestoreHandler() && bits != 24 && (bits == screenBits || bits != 8) && width >= screenWidth &&
                height >= screenHeight) {
                ReleaseAllMovieObjects();
                SetupScreenColorFormat();
                RestoreGraphicsAfterDeviceLoss();
                RunAllGraphMovieStreams();
            } else {
                WriteLogText("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
                WriteLogText("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
                if (!s.life.closeRequested.load()) {
                    s.life.closeRequested = 1;
                    PostMessageA(window, WM_CLOSE, 0, 0);
                }
                return;
            }
        }
    }
    s.mode.displayChangeSeen = 1;
}

static void OnCommand(WPARAM wParam) {
    SystemState& s = SystemStateRecord;
    int id = LOWORD(wParam);
    if (s.menu.toolbarExists && id >= ToolbarCommandBase) {
        int index = FindToolbarButton(id - ToolbarCommandBase);
        if (index >= 0 && !s.menu.toolbarButtons[index].disabled) s.menu.toolbarButtons[index].clicked = 1;
    } else if (s.settings.menuInUse) {
        RecordChosenMenuItem(id);
    }
}

static void HideCursorIfInvisible(void) {
    if (SystemStateRecord.menu.cursorVisible) return;
    SetCursor(nullptr);
    while (ShowCursor(FALSE) >= 0) {
    }
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SystemState& s = SystemStateRecord;
    switch (message) {
    case WM_CREATE:
        if (s.settings.region != nullptr) SetWindowRgn(window, s.settings.region, FALSE);
        break;
    case WM_DESTROY:
        WriteLogText("ウインドウが破棄されようとしています\n");
        s.life.destroyed = 1;
        WriteLogText("ソフトを終了する準備が整いました\n");
        PostQuitMessage(0);
        s.life.quit = 1;
        break;
    case WM_MOVE:
        if (s.settings.windowed && !s.mode.modeChangeRunning) TrackWindowMove(lParam);
        break;
    case WM_SIZE:
        if (wParam != SIZE_MAXIMIZED) {
            FitWindowToClientSize();
            if (s.menu.toolbarExists) SendMessageA(s.menu.toolbar, WM_SIZE, wParam, lParam);
        }
        break;
    case WM_PAINT:
        OnPaint(window);
        break;
    case WM_CLOSE:
        WriteLogText("ウインドウを閉じようとしています\n");
        s.life.closeRequested = 1;
        DestroyWindow(window);
        if (s.life.libraryEnding == 0) s.life.libraryEnding = 4;
        return 0;
    case WM_ACTIVATE:
        OnActivate(window, wParam);
        break;
    case WM_ACTIVATEAPP:
        if (!wParam) OnActivate(window, 0);
        break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        HideCursorIfInvisible();
        break;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(window, wParam, lParam);
        break;
    case WM_KEYDOWN:
        // Editing keys put their code into the character input.
        if (CheckCharCodeRoom()) {
            if (int code = EditKeyCharCode(wParam)) PushCharCode(code);
        }
        break;
    case WM_CHAR: {
        int code = static_cast<int>(wParam & 0xFF);
        if (code == 10) code = 13;
        if (code == 8 || code == 9 || code == 13 || code == 16 || code == 27 || code >= 32) PushCharCode(code);
        break;
    }
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
        return HandleImeMessage(window, message, wParam, lParam);
    case WM_COMMAND:
        OnCommand(wParam);
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 1;
        break;
    case WM_MOUSEWHEEL:
        s.menu.mouseWheelCount += GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1;
        break;
    case WM_MOVING:
        if (!s.settings.windowed && lParam != 0) GetWindowRect(window, reinterpret_cast<RECT*>(lParam));
        break;
    case MM_MCINOTIFY:
        HandleMciNotifyMessage(wParam, lParam);
        break;
    case WM_INPUT_FLAG1:
        if (wParam == 1) {
            SetInputMessageFlag1();
        } else {
            ClearInputMessageFlag1();
        }
        break;
    case WM_INPUT_FLAG2:
        if (wParam == 1) {
            SetInputMessageFlag2();
        } else {
            ClearInputMessageFlag2();
        }
        break;
    case WM_NETWORK_SOCKET:
        return HandleSocketMessage(window, message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
