// The SystemState record, its start-up reset and its accessors.
#include "library/core/system_state.h"

#include <cstring>

#include "library/core/menu.h"
#include "library/file/stream.h"

SystemState SystemStateRecord;

// The two stream-operation sets that start-up fills (file set, memory set).
static StreamOps FileBackendStreamOps;
static StreamOps MemoryFileStreamOps;

void ClearSystemStateForStartUp(void) {
    SystemState& s = SystemStateRecord;
    const HWND mainWindow = s.window.mainWindow;
    const int startUpRunning = s.life.startUpRunning;
    const int comStarted = s.life.comStarted;

    s.window = SystemWindowState{};
    s.window.mainWindow = mainWindow;
    s.mode = SystemModeState{};
    s.menu = SystemMenuState{};
    s.timing = SystemTiming{};
    s.onScreenLog = OnScreenLogState{};

    ClearSystemLifeCycle();
    s.life.startUpRunning = startUpRunning;
    s.life.comStarted = comStarted;
}

void ClearSystemLifeCycle(void) {
    SystemLifeCycle& life = SystemStateRecord.life;
    life.startUpRunning = 0;
    life.comStarted = 0;
    life.libraryInitialised = 0;
    life.startUpComplete = 0;
    life.libraryEnding = 0;
    life.closeRequested = 0;
    life.destroyed = 0;
    life.quit = 0;
    life.active = 0;
    life.pumpThreadEnded = 0;
}

int CheckLibraryQuitting(void) { return SystemStateRecord.life.quit.load(); }

int GetWindowClientScreenRect(RECT* rect) {
    *rect = SystemStateRecord.window.clientRect;
    int toolbar = GetToolbarHeight();
    rect->top += toolbar;
    rect->bottom += toolbar;
    return 0;
}

HWND GetAppWindowHandle(void) { return SystemStateRecord.window.mainWindow; }

int GetWindowedFlag(void) { return SystemStateRecord.settings.windowed; }

int GetDesktopScreenInfo(int* width, int* height, int* colorBits) {
    const SystemWindowState& w = SystemStateRecord.window;
    if (width != nullptr) *width = w.desktopWidth;
    if (height != nullptr) *height = w.desktopHeight;
    if (colorBits != nullptr) *colorBits = w.desktopColorBits;
    return 0;
}

int CheckApplicationActive(void) { return SystemStateRecord.life.active.load(); }
int CheckWindowModeAtCreation(void) { return SystemStateRecord.mode.createdInWindowMode; }
int CheckMMXInUse(void) { return SystemStateRecord.head.mmxInUse; }
int CheckWindowClosing(void) { return SystemStateRecord.life.closeRequested.load(); }
int CheckWindowRegionSet(void) { return SystemStateRecord.settings.region != nullptr ? 1 : 0; }

double GetWindowZoomFactor(void) {
    SystemSettings& settings = SystemStateRecord.settings;
    if (settings.zoomFactor <= 0.0) settings.zoomFactor = 1.0;
    return settings.windowed ? settings.zoomFactor : 1.0;
}

StreamOps* GetFileBackendStreamOps(void) { return &FileBackendStreamOps; }
StreamOps* GetMemoryFileStreamOps(void) { return &MemoryFileStreamOps; }
SystemState* GetSystemStateRecord(void) { return &SystemStateRecord; }
int CheckVSyncWaitAllowed(void) { return 1; }
