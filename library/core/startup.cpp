// Library start-up and shutdown. See startup.h.
#include "library/core/startup.h"

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/message_pump.h"
#include "library/core/onscreen_log.h"
#include "library/core/sysinfo.h"
#include "library/core/system_state.h"
#include "library/display/screen_state.h"
#include "library/file/archive.h"
#include "library/file/file_backend.h"
#include "library/file/stream.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "library/graph/graph_restore.h"
#include "library/input/input.h"
#include "library/network/network.h"
#include "library/sound/sound.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/com.h"
#include "platform/window/window.h"

int StartCom(void) {
    SystemState& s = SystemStateRecord;
    if (s.life.comStarted) return -1;
    WriteLogText("ＣＯＭの初期化... ");
    if (CoInitialize(nullptr) < 0) return WriteLogText("ＣＯＭの初期化に失敗しました\n");
    WriteLogText("成功しました\n");
    s.life.comStarted = 1;
    return 0;
}

int EndCom(void) {
    SystemState& s = SystemStateRecord;
    if (!s.life.comStarted) return -1;
    CoUninitialize();
    WriteLogText("ＣＯＭを終了... 完了\n");
    s.life.comStarted = 0;
    return 0;
}

// The platform has no foreground lock to step around: raising the window is enough.
int BringWindowToForeground(HWND window, int topmost) {
    SetForegroundWindow(window);
    if (topmost) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
    return 0;
}

static void InstallStreamOps(void) {
    *GetFileBackendStreamOps() = FileBackendStreamOpsTable;
    *GetMemoryFileStreamOps() = MemoryFileStreamOpsTable;
}

// Creates and draws the graphs of the first frame once, so the drawing paths are
// set up before the program draws.
static void WarmUpDrawing(void) {
    SetGraphDrawValidFlag(1);
    int target = CreateBlankGraph(256, 256, 0);
    SetGraphDrawValidFlag(0);
    SelectDrawTargetCore(target);
    SelectDrawTargetCore(-4);
    DeleteGraphHandle(target, 0);
    SelectDrawTargetCore(-2);

    GraphImage image = {};
    CreateRGB24GraphImage(256, 256, &image);
    FillGraphImageColor(&image, 0, 0, 0, 0);
    int black = BuildGraphFromGraphImageDefault(&image);
    FreeGraphImage(&image);
    SetBlendModeParam(3, 128);
    DrawGraphAtCore(0, 0, black, 1);
    SetBlendModeParam(0, 0);
    SelectDrawTargetCore(-4);
    DrawGraphAtCore(0, 0, black, 1);
    DeleteGraphHandle(black, 0);

    CreateRGB24GraphImage(256, 256, &image);
    FillGraphImageColor(&image, 0, 0, 0, 0);
    int stretched = BuildGraphFromGraphImageDefault(&image);
    DrawGraphStretched(0, 0, 640, 480, stretched, 1);
    DeleteGraphHandle(stretched, 0);
    FreeGraphImage(&image);
}

static int FailStartUp(void) {
    ShutdownLibraryCore();
    SystemStateRecord.life.startUpRunning = 0;
    return -1;
}

int InitializeLibraryCore(void) {
    SystemState& s = SystemStateRecord;
    s.life.startUpRunning = 1;
    if (GetSoftwareScreenRequest() == 1) SetScreenUseDirectDraw(0);
    InitArchiveSystem();
    SetFileBackendTable(nullptr);
    FileBackendGetDir(s.startDirectory, sizeof s.startDirectory);
    StartLogFile();

    int desktopBits = GetDesktopColorBits();
    if ((desktopBits == 24 && s.settings.windowed) || GetScreenColorBitDepth() == 24) {
        WriteLogText("ＺＱライブラリは２４ビットカラーモードに対応していません\n");
        s.life.startUpRunning = 0;  // nothing runs: a later start-up may try again
        return -1;
    }

    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    s.timing.performanceFrequency = frequency.QuadPart;
    s.timing.performanceCounterAvailable = frequency.QuadPart != 0;
    LogSystemInfo();
    if (s.head.osCode == OsCodeWindowsVista) SetFrontCopySurfaceUse(1);
    InstallStreamOps();
    SetGraphRestoreHandler(nullptr);

    if (StartCom() != 0 || CreateMainWindow() != 0 || ClearHttpDownloadState() != 0 || SetupDirectInput() == -1) {
        return FailStartUp();
    }
    SetupDirectSound();
    if (StartGraphicsDevice(s.window.mainWindow) < 0) return FailStartUp();

    InitCharCodeBuffer();
    s.life.libraryInitialised = 1;
    SetPresentWaitVSync(1);
    if (!s.settings.windowed) BringWindowToForeground(s.window.mainWindow, 1);
    InitOnScreenLog();
    SelectDrawTargetCore(-2);
    SelectDrawTargetCore(-4);
    WarmUpDrawing();

    s.life.startUpRunning = 0;
    s.life.startUpComplete = 1;
    return 0;
}

int ShutdownLibraryCore(void) {
    SystemState& s = SystemStateRecord;
    s.life.startUpComplete = 0;
    s.life.libraryEnding = 1;
    EndOnScreenLog();
    ShutdownHttpDownloads();
    ShutdownNetWork();
    ReleaseKeptSoundHandle();
    StopGraphicsDevice();
    ShutdownDirectInput();
    ShutdownDirectSound();
    DestroyMainWindow();
    EndCom();
    EndLogFile();
    s.life.libraryInitialised = 0;
    // The window procedure's last messages; without a window there is nothing to wait for.
    while (s.window.mainWindow != nullptr && ProcessMessageCore() == 0 && !s.life.quit.load()) {
    }
    FileBackendSetDir(s.startDirectory);
    TermArchiveSystem();
    DumpTrackedMemory();
    return 0;
}
