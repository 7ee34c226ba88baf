// display_device.cpp - start-up and shutdown of the display device (see display_device.h).
#include "library/display/display_device.h"

#include <cstring>

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/blend_tables.h"
#include "library/display/present.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/graph/draw_state.h"
#include "library/graph/draw_front.h"
#include "library/graph/graph_manager.h"
#include "platform/ddraw/ddraw.h"
#include "platform/input/keystate.h"
#include "platform/window/window.h"

namespace {

constexpr uint32_t DefaultVideoMemoryBytes = 16u * 1024 * 1024;

// Overlays are only used when the driver can shrink them (stretch factors are
// thousandths): a driver that cannot go below 1.0 and not beyond 2.0 gets none.
constexpr DWORD OverlayMinStretchLimit = 1000;
constexpr DWORD OverlayMaxStretchLimit = 2000;

double Megabytes(DWORD bytes) { return bytes / 1048576.0; }

// Reads the driver identifier and the video memory into the screen state, logging both.
void ReadVideoCard(IDirectDraw7* object) {
    ScreenState& s = g_Screen;
    DDDEVICEIDENTIFIER2 id{};
    if (IDirectDraw7_GetDeviceIdentifier(object, &id, 0) == DD_OK) {
        DWORD high = id.liDriverVersion.u.HighPart, low = id.liDriverVersion.u.LowPart;
        WriteLogFormat("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u ", id.szDriver, unsigned(high >> 16),
                       unsigned(high & 0xFFFF), unsigned(low >> 16), unsigned(low & 0xFFFF));
        char line[600];
        FormatText(line, sizeof line, "ドライバ記述:%s \n", id.szDescription);
        WriteLogText(line);
        CopyTextBounded(s.videoDriverName, sizeof s.videoDriverName, id.szDriver);
        CopyTextBounded(s.videoDriverDescription, sizeof s.videoDriverDescription, id.szDescription);
    }
    DDSCAPS2 caps{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
    DWORD total = 0, free = 0;
    if (IDirectDraw7_GetAvailableVidMem(object, &caps, &total, &free) == DD_OK) {
        WriteLogFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB", Megabytes(total), Megabytes(free));
        s.videoMemoryTotal = total;
        s.videoMemoryFree = free;
    }
}

// Tries the overlay formats on a 16 x 16 video-memory overlay surface; the first one
// that the driver makes in video memory is taken.
int ProbeOverlayFormats(IDirectDraw7* object) {
    for (int row = 0; row < OverlayFormatCount; row++) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
        desc.dwWidth = 16;
        desc.dwHeight = 16;
        desc.ddpfPixelFormat = OverlayFormatTable[row];
        IDirectDrawSurface7* trial = nullptr;
        if (IDirectDraw7_CreateSurface(object, &desc, &trial, nullptr) != DD_OK) continue;
        DDSCAPS2 caps{};
        IDirectDrawSurface7_GetCaps(trial, &caps);
        IDirectDrawSurface7_Release(trial);
        if ((caps.dwCaps & DDSCAPS_SYSTEMMEMORY) == 0) return row;
    }
    return -1;
}

// Takes the driver caps and chooses the overlay format (none on Vista).
void ProbeOverlay(void) {
    ScreenState& s = g_Screen;
    s.overlayFormatIndex = -1;
    if (SystemStateRecord.head.osCode == OsCodeWindowsVista || s.directDraw == nullptr) return;
    void* queried = nullptr;
    if (IDirectDraw7_QueryInterface(s.directDraw, IID_IDirectDraw, &queried) != DD_OK) return;
    auto* object = static_cast<IDirectDraw*>(queried);
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    IDirectDraw7_GetCaps(object, &caps, nullptr);
    static_assert(sizeof caps == DirectDrawCapsSize, "the caps block keeps its size");
    std::memcpy(s.driverCaps, &caps, sizeof caps);
    if (caps.dwMinOverlayStretch < OverlayMinStretchLimit || caps.dwMaxOverlayStretch < OverlayMaxStretchLimit)
        s.overlayFormatIndex = ProbeOverlayFormats(object);
    if (s.overlayFormatIndex >= 0) {
        WriteLogFormat("オーバーレイサーフェスを使用します　　　%s", OverlayFormatNames[s.overlayFormatIndex]);
    } else {
        WriteLogText("オーバーレイサーフェスは使用しません\n");
    }
    IDirectDraw7_Release(object);
}

void ReleaseObject(void) {
    if (g_Screen.directDraw != nullptr) IDirectDraw7_Release(g_Screen.directDraw);
    g_Screen.directDraw = nullptr;
}

}  // namespace

int SetGraphicsWindow(HWND window) {
    g_Screen.graphicsWindow = window;
    return 0;
}

HWND GetGraphicsWindow(void) { return g_Screen.graphicsWindow; }

int CreateDirectDrawObject(IDirectDraw7** object) {
    ScreenState& s = g_Screen;
    WriteLogText("DirectDraw オブジェクトの取得を行います....  ");
    void* made = nullptr;
    if (DirectDrawCreateInstance(IID_IDirectDraw7, &made) != DD_OK) {
        return WriteLogText("オブジェクトの取得に失敗しました\n");
    }
    auto* created = static_cast<IDirectDraw7*>(made);
    WriteLogText("成功\n");
    WriteLogText("引き続き初期化処理... ");
    if (IDirectDraw7_Initialize(created, nullptr) != DD_OK) {
        WriteLogText("DirectDrawオブジェクトの初期化に失敗しました\n");
        IDirectDraw7_Release(created);
        return -1;
    }
    WriteLogText("初期化に成功しました\n");

    WriteLogText("ビデオカードの情報\n");
    IncLogIndent();
    s.videoDriverName[0] = '\0';
    s.videoDriverDescription[0] = '\0';
    s.videoMemoryFree = 0;
    s.videoMemoryTotal = DefaultVideoMemoryBytes;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) ReadVideoCard(created);
    DecLogIndent();
    *object = created;
    return 0;
}

int CreateScreenClipper(IDirectDraw7* object, IDirectDrawClipper** clipper, HWND window) {
    IDirectDrawClipper* made = nullptr;
    if (IDirectDraw7_CreateClipper(object, 0, &made, nullptr) != DD_OK) {
        return WriteLogText("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
    }
    IDirectDrawClipper_SetHWnd(made, 0, window);
    *clipper = made;
    return 0;
}

int StartDirectDrawSystem(void) {
    ScreenState& s = g_Screen;
    if (s.directDraw != nullptr) return -1;
    WriteLogText("DirectDraw 関連の初期化を行います\n");
    IncLogIndent();

    if (s.noDirectDraw) {
        SetHardware3DDrawFlag(0);
        SetGraphDirectDrawSurfaceFlag(0);
        SetScreenUseDirectDraw(0);
    }
    if (CreateDirectDrawObject(&s.directDraw) == -1) FatalErrorExit("DirectDrawオブジェクトの作成に失敗しました");
    if (!s.noDirectDraw && CreateScreenClipper(s.directDraw, &s.clipper, s.graphicsWindow) == -1) {
        FatalErrorExit("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
    }

    if (s.width == 0) s.width = ScreenDefaultWidth;
    if (s.height == 0) s.height = ScreenDefaultHeight;
    if (s.colorBits == 0) s.colorBits = ScreenDefaultColorBits;
    s.requestedColorBits = s.colorBits;
    if (ChangeScreenMode(s.width, s.height, s.colorBits, 1, -1) < 0) {
        DecLogIndent();
        EndDirectDrawSystem();
        return -1;
    }

    if (!CheckWindowRegionSet()) {
        SelectDrawTargetCore(BackBufferTarget);
        ClearCurrentScreenCore();
        SelectDrawTargetCore(FrontBufferTarget);
    }
    SetGraphicsStartedFlag(1);
    s.SoftRenderUseMMX = CheckMMXInUse();
    ProbeOverlay();

    DecLogIndent();
    WriteLogText("DirectDraw 関連の初期化は正常に終了しました\n");
    BuildBlendTables();
    s.startupDone = 1;
    return 0;
}

int EndDirectDrawSystem(void) {
    ScreenState& s = g_Screen;
    KillTimer(GetAppWindowHandle(), FrontCopyTimerId);
    if (!s.noDirectDraw && s.directDraw == nullptr) return 0;

    WriteLogText("DirectDraw 関連の終了処理をおこないます\n");
    IncLogIndent();
    if (!s.noDirectDraw) ReleaseScreenPalette();
    TermGraphManager();
    DeleteAllSurface2D();
    if (!s.noDirectDraw) G_D3D_ShutdownDirect3D();
    ReleaseScreenSurfaces();
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    if (!s.noDirectDraw) FreeScreenClipper();
    ReleaseObject();
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    RestoreDesktopDisplayMode();
    DecLogIndent();
    WriteLogText("DirectDraw 関連の終了処理は正常に終了しました\n");
    s.startupDone = 0;
    return 0;
}

// ---- The 8-bit palette ----------------------------------------------------------------

int CreateScreenPalette(void) {
    ScreenState& s = g_Screen;
    if (s.directDraw == nullptr || s.palette != nullptr || s.colorBits != 8) return 0;
    for (int i = 0; i < 256; i++) {
        s.paletteEntries[i] = {DefaultScreenPalette[i][0], DefaultScreenPalette[i][1], DefaultScreenPalette[i][2], 0};
    }
    auto* entries = reinterpret_cast<PALETTEENTRY*>(s.paletteEntries);
    if (IDirectDraw7_CreatePalette(s.directDraw, DDPCAPS_8BIT, entries, &s.palette, nullptr) != DD_OK) {
        FatalErrorExit("パレットの作成に失敗しました");
    }
    if (GetWindowedFlag()) {
        IDirectDrawSurface7_SetPalette(s.PrimarySurface, s.palette);
        IDirectDrawSurface7_SetPalette(s.BackSurface, s.palette);
    } else {
        IDirectDrawSurface7_SetPalette(s.PrimarySurface, s.palette);
        IDirectDrawSurface7_EnumAttachedSurfaces(s.PrimarySurface, nullptr, SetSurfacePaletteCallback);
    }
    return 0;
}

int ReleaseScreenPalette(void) {
    if (g_Screen.palette != nullptr) IDirectDrawPalette_Release(g_Screen.palette);
    g_Screen.palette = nullptr;
    return 0;
}

int RecreateScreenPalette(void) {
    ScreenState& s = g_Screen;
    if (s.colorBits != 8 || s.directDraw == nullptr) return 0;
    ScreenPaletteEntry kept[256];
    std::memcpy(kept, s.paletteEntries, sizeof kept);
    ReleaseScreenPalette();
    CreateScreenPalette();
    std::memcpy(s.paletteEntries, kept, sizeof kept);
    return ReapplyScreenPaletteEntries();
}

// ---- Around a lost device ---------------------------------------------------------------

int FreeScreenClipper(void) {
    if (g_Screen.clipper != nullptr) IDirectDrawClipper_Release(g_Screen.clipper);
    g_Screen.clipper = nullptr;
    return 0;
}

int RecreateScreenClipper(void) {
    ScreenState& s = g_Screen;
    if (s.noDirectDraw || s.clipper != nullptr) return 0;
    if (CreateScreenClipper(s.directDraw, &s.clipper, s.graphicsWindow) == -1) {
        FatalErrorExit("クリッパーオブジェクトの作成失敗しました");
    }
    return 0;
}

int FreeDirectDrawObject(void) {
    ScreenState& s = g_Screen;
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    if (s.directDraw == nullptr && !s.noDirectDraw) {
        WriteLogText("既に解放されています\n");
        return 0;
    }
    ReleaseAllSurface2DStorage();
    RestoreDisplayModeForRelease();
    ReleaseScreenPalette();
    FreeScreenClipper();
    ReleaseObject();
    WriteLogText("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    return 0;
}

int RecreateDirectDrawObjects(void) {
    ScreenState& s = g_Screen;
    if (s.directDraw != nullptr) return 0;
    if (CreateDirectDrawObject(&s.directDraw) == -1) {
        FatalErrorExit("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    }
    ReapplyDisplayMode();
    RecreateAllSurface2DStorage();
    RecreateScreenClipper();
    return 0;
}
