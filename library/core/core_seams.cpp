// Stand-ins for core routines not built yet (see core_seams.h). Each does only what
// the real routine does on a library that never started a window.
#include "library/core/core_seams.h"

#include "library/core/alloc.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"

#include "library/core/apilock.h"
#include "library/core/timing.h"

// Without a window, device or subsystem started, shutdown's only visible work is
// the allocation dump.
int ShutdownLibraryCore(void) {
    SystemStateRecord.life.startUpComplete = 0;
    SystemStateRecord.life.libraryEnding = 1;
    SystemStateRecord.life.libraryInitialised = 0;
    DumpTrackedMemory();
    return 0;
}

int GetToolbarHeight(void) { return 0; }

// Without a main window the pump does no upkeep: -1 once quit is set, else 0.
int ProcessMessage(void) {
    EnterApiLock();
    int result = SystemStateRecord.life.quit.load() ? -1 : 0;
    LeaveApiLock();
    return result;
}

int GetTimeMilliseconds(int ignored) {
    EnterApiLock();
    int result = GetTimeMillisecondsCore(ignored);
    LeaveApiLock();
    return result;
}

int CheckMenuInUse(void) { return SystemStateRecord.menu.menuAttached ? 1 : 0; }

// Without a main window the pump has nothing to dispatch and no upkeep to run.
int ProcessMessageCore(void) { return SystemStateRecord.life.quit.load() ? -1 : 0; }

// Without a main window nothing can make the application active again: no wait.
void WaitWhileInactive(void) {}
