// screen_mode.cpp - ChangeScreenMode (see screen_mode.h).
//
// The change runs in three stages: tear down everything that depends on the screen,
// put the display mode into force (after start-up with DirectDraw output the object is
// made anew every time), then build the screens and everything on them again and
// measure the copy method and the frame period.
#include "library/display/screen_mode.h"

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/onscreen_log.h"
#include "library/core/system_state.h"
#include "library/core/window_mode.h"
#include "library/d3d/d3d.h"
#include "library/display/display_device.h"
#include "library/display/frame_timing.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/font/font.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "platform/kernel/clock.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr DWORD ModeChangeSpacingMs = 2000;  // between two mode changes
constexpr DWORD ModeChangeSettleMs = 60;     // every change waits at least this long

struct ScreenMode {
    int width;
    int height;
    int colorBits;
    int refreshRate;

    bool operator==(const ScreenMode&) const = default;
};

constexpr ScreenMode LastResortMode = {640, 480, 16, 0};

ScreenMode CurrentMode(void) {
    const ScreenState& s = g_Screen;
    return {s.width, s.height, s.colorBits, s.refreshRate};
}

void StoreMode(const ScreenMode& mode) {
    ScreenState& s = g_Screen;
    s.width = mode.width;
    s.height = mode.height;
    s.colorBits = mode.colorBits;
    s.refreshRate = mode.refreshRate;
}

// The default font's face, size and thickness, kept across the change.
struct KeptFont {
    bool kept = false;
    char face[FontFaceCapacity] = {};
    int size = -1;
    int thickness = -1;
};

KeptFont KeepDefaultFont(void) {
    KeptFont font;
    FontHandle handle = FetchDefaultFontHandle();
    if (IsLiveFontHandle(handle)) {
        font.kept = GetFontFaceAndSize(font.face, &font.size, &font.thickness, handle) == 0;
    }
    return font;
}

void KeepModeChangeSpacing(void) {
    ScreenState& s = g_Screen;
    DWORD elapsed = timeGetTime() - s.lastModeChangeTime;
    Sleep(elapsed < ModeChangeSpacingMs ? ModeChangeSpacingMs - elapsed + ModeChangeSettleMs : ModeChangeSettleMs);
    s.lastModeChangeTime = timeGetTime();
}

bool SetDisplayModeOf(const ScreenMode& mode, int refreshRate) {
    return IDirectDraw7_SetDisplayMode(g_Screen.directDraw, DWORD(mode.width), DWORD(mode.height),
                                       DWORD(mode.colorBits), DWORD(refreshRate), 0) == DD_OK;
}

bool ChangeDisplaySettingsOf(const ScreenMode& mode, int refreshRate, DWORD flags) {
    return ChangeDisplaySettingsTo(mode.width, mode.height, mode.colorBits, refreshRate, flags) ==
           DISP_CHANGE_SUCCESSFUL;
}

// Full screen after start-up: the mode asked for, then without its refresh rate, then
// the mode in force before (at previousRefresh), then 640 x 480 x 16; failing all of
// them ends the process. 0, or -2 for the last resort.
template <typename TryMode>
int SetFullScreenModeWithFallbacks(const ScreenMode& previous, int previousRefresh, TryMode tryMode) {
    ScreenState& s = g_Screen;
    WriteLogText("画面解像度を変更します... ");
    int result = 0;
    if (!tryMode(CurrentMode(), s.refreshRate, true)) {
        s.refreshRate = 0;
        if (!tryMode(CurrentMode(), 0, false)) {
            StoreMode(previous);
            if (!tryMode(previous, previousRefresh, false)) {
                result = -2;
                StoreMode(LastResortMode);
                if (!tryMode(LastResortMode, 0, false)) {
                    FatalErrorExit("予期せぬ画面モード変更不能現象が起きました2\n");
                }
            }
        }
    }
    s.displayModeChanged = 1;
    WriteLogText("成功しました\n");
    return result;
}

// GDI output after start-up.
int ChangeGdiDisplayMode(const ScreenMode& previous) {
    ScreenState& s = g_Screen;
    const bool wasChanged = s.displayModeChanged != 0;
    s.displayModeChanged = 0;
    if (GetWindowedFlag()) {
        // Back to a window: the desktop gets its own mode again.
        if (wasChanged) ChangeDisplaySettingsA(nullptr, 0);
        return 0;
    }
    return SetFullScreenModeWithFallbacks(previous, previous.refreshRate, [](const ScreenMode& mode, int refreshRate, bool first) {
        return ChangeDisplaySettingsOf(mode, refreshRate, first ? CDS_FULLSCREEN : 0);
    });
}

// DirectDraw output after start-up: the object is made anew for every mode.
int RecreateObjectForMode(const ScreenMode& previous) {
    ScreenState& s = g_Screen;
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    IDirectDraw7_SetCooperativeLevel(s.directDraw, s.graphicsWindow, ScreenCoopWindowed);
    IDirectDraw7_Release(s.directDraw);
    s.directDraw = nullptr;
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    // Nothing below can run without an object.
    if (CreateDirectDrawObject(&s.directDraw) == -1) {
        FatalErrorExit("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    }
    if (GetWindowedFlag()) {
        SetWindowCooperativeLevel(s.directDraw, s.graphicsWindow);
        s.cooperativeLevel = ScreenCoopWindowed;
    } else {
        SetFullScreenCooperativeLevel(s.directDraw, s.graphicsWindow);
        s.cooperativeLevel = ScreenCoopFullScreen;
    }
    s.displayModeChanged = 0;
    if (GetWindowedFlag()) return 0;
    return SetFullScreenModeWithFallbacks(previous, 0, [](const ScreenMode& mode, int refreshRate, bool) {
        return SetDisplayModeOf(mode, refreshRate);
    });
}

int SetInitialModeWith(const ScreenMode& mode) {
    ScreenState& s = g_Screen;
    int desktopWidth = 0, desktopHeight = 0;
    GetDesktopScreenInfo(&desktopWidth, &desktopHeight, nullptr);
    return SetInitialDisplayMode(s.directDraw, desktopWidth, desktopHeight, mode.width, mode.height, mode.colorBits,
                                 &s.colorBits, &s.cooperativeLevel, GetWindowedFlag(), &s.displayModeChanged,
                                 s.graphicsWindow);
}

// At start-up: the mode asked for, else the mode remembered, else 640 x 480 x 16, else
// the process ends. 0, -1 (the remembered mode) or -2.
int SetStartUpDisplayMode(const ScreenMode& previous) {
    ScreenState& s = g_Screen;
    const bool windowed = GetWindowedFlag() != 0;
    if (!windowed) ApplyWindowStyleForMode();
    if (s.width == 0) s.width = ScreenDefaultWidth;
    if (s.height == 0) s.height = ScreenDefaultHeight;
    if (s.colorBits == 0) s.colorBits = ScreenDefaultColorBits;
    const ScreenMode requested = CurrentMode();
    if (SetInitialModeWith(requested) == 0) return 0;

    StoreMode(previous);
    if (!windowed) ApplyWindowStyleForMode();
    const bool sameAsPrevious = requested == previous && previous.refreshRate == 0;
    if (!sameAsPrevious && SetInitialModeWith(previous) == 0) return -1;

    StoreMode(LastResortMode);
    if (windowed) ApplyWindowStyleForMode();
    if (SetInitialModeWith(LastResortMode) != 0) FatalErrorExit("予期せぬ画面モード変更不能現象が起きました\n");
    return -2;
}

}  // namespace

int ChangeScreenMode(int width, int height, int colorBits, int force, int refreshRate) {
    ScreenState& s = g_Screen;
    const SystemState& sys = SystemStateRecord;
    const ScreenMode asked = {width == -1 ? s.width : width, height == -1 ? s.height : height,
                              colorBits == -1 ? s.colorBits : colorBits, refreshRate == -1 ? s.refreshRate : refreshRate};
    if (asked == CurrentMode() && !force) return 0;

    WriteLogText("画面モード変更処理を開始します\n");
    IncLogIndent();
    const KeptFont font = KeepDefaultFont();
    const ScreenMode previous = CurrentMode();
    StoreMode(asked);
    if ((!sys.life.libraryInitialised && !sys.life.startUpRunning) || (!s.noDirectDraw && s.directDraw == nullptr)) {
        DecLogIndent();
        return 0;  // only stored: start-up puts it into force
    }

    s.gdiCompatibleApplied = -1;
    KeepModeChangeSpacing();
    DeleteAllGraphHandles(0);
    TermGraphManager();
    G_D3D_ShutdownDirect3D();
    ReleaseScreenPalette();
    ReleaseScreenSurfaces();

    const bool afterStartUp = s.startupDone != 0;
    uint32_t keptTransparentColor = 0;
    int result;
    if (afterStartUp) {
        keptTransparentColor = g_DrawState.transparentColor;
        DeleteAllSurface2D();
        result = s.noDirectDraw ? ChangeGdiDisplayMode(previous) : RecreateObjectForMode(previous);
    } else {
        result = SetStartUpDisplayMode(previous);
    }

    SetupScreenColorFormat();
    if (GetWindowedFlag() || s.noDirectDraw) ApplyWindowStyleForMode();
    if (CreateScreenSurfaces() < 0) {
        DecLogIndent();
        return WriteLogText("DirectDrawSurface の初期化に失敗しました\n");
    }
    if (!s.noDirectDraw && !s.softwareScreenRequest && !s.softwareRenderer && G_D3D_SetupDirect3D() < 0) {
        DecLogIndent();
        ReleaseScreenSurfaces();
        return -1;
    }

    InitGraphManager();
    if (font.kept) SetDefaultFontSizeThickness(font.face, font.size, font.thickness);
    InitOnScreenLog();
    CreateScreenPalette();
    MeasureCopyMethod();
    MeasureFrameTiming();

    if (afterStartUp) g_DrawState.transparentColor = keptTransparentColor;
    DecLogIndent();
    WriteLogText("画面モード変更処理は正常に終了しました\n");
    ProcessMessageCore();
    ResetPresentCount();
    return result;
}
