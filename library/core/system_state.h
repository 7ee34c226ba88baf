// system_state.h - the library's one global record of window, mode, activity and
// timing state, and of the settings a program makes before start-up.
//
// Other subsystems read it through the accessors at the end of this file; the
// library-core routines (start-up, main window, window procedure, message pump,
// window mode, menus, log, allocator, lock) write it directly.
//
// Start-up clears the record (ClearSystemStateForStartUp) but keeps: every setting
// made before start-up (`settings`), the system description (`head`), the start-up
// running and COM-started flags, the start directory, the log state, the allocator's
// list, the main window handle field and the ApiLock.
//
// Flags that a thread reads without holding the ApiLock (quit, close requested,
// active, destroyed, the pump thread's ended flag) are std::atomic<int>.
#pragma once

#include <atomic>
#include <cstdint>

#include "library/core/alloc.h"
#include "library/core/apilock.h"
#include "platform/wintypes.h"

struct StreamOps;

enum {
    SystemPathCapacity = 260,
    WindowClassNameCapacity = 256,
    WindowCaptionCapacity = 260,
    MenuItemCapacity = 128,
    MenuItemNameCapacity = 128,
    ToolbarButtonCapacity = 64,
    DroppedFileCapacity = 1000,
    ChosenMenuItemCapacity = 64,
    OnScreenLogLineCount = 80,
    OnScreenLogLineBytes = 255,
};

// OS codes of the system description (0x108 makes the display keep a front copy surface).
enum {
    OsCodeWindowsVista = 0x108,
};

// Double-byte rule for multibyte text; the values are those of the fonts'
// FontCharsetKind (1 Shift-JIS, 2 Hangul), so the rule is the library's charset kind.
enum {
    DoubleByteShiftJis = 1,  // lead bytes 0x81-0x9F and 0xE0-0xFC
    DoubleByteKorean = 2,    // OEM code page 949: every byte with the high bit set
};

// What the system-information log found (written before the window step).
struct SystemDescription {
    char osText[256];          // "%s ( Build %d %s )": OS name, build number, service-pack text
    int32_t osCode;
    int32_t mmxInUse;          // the processor has MMX
    int32_t directXVersion;    // 0x70000
    int32_t cpuidAvailable;
    int32_t hasTimeStampCounter;
    uint64_t processorFrequency;  // time-stamp ticks per second, 0 when not measured
    int32_t processorMHz;
    char processorVendor[13];
    char processorName[49];    // brand string, empty when the processor has none
    uint32_t timerPeriodMin;   // multimedia-timer period raised at start-up
};

// Called with the name and command id of a menu item the user chose.
using MenuItemCallback = void (*)(const char* name, int id);

// Settings a program may make before start-up; start-up keeps them.
struct SystemSettings {
    int32_t windowed;            // 1 window mode, 0 full screen
    char className[WindowClassNameCapacity];
    char caption[WindowCaptionCapacity];
    int32_t iconId;              // 0 = the default application icon
    int32_t styleIndex;          // 0-6
    double zoomFactor;           // window mode; <= 0 reads as 1.0
    HRGN region;
    HMENU menu;
    int32_t menuInUse;
    int32_t menuHidden;
    int32_t alwaysShowMenu;      // 1: the menu is shown in full screen too
    int32_t menuAutoShowOff;     // 1: the pump does not run the menu auto-display step
    int32_t cursorShownSetting;  // the caller's wish for the mouse cursor
    int32_t windowModeSwitch;    // 1: Alt+Enter switches window / full screen
    int32_t noArchive;           // 1: the plain file table is the default
    int32_t loggingOff;          // 1: no log file is created or written
    int32_t datedLogName;        // 1: the log file is named after the start date and time
    int32_t noLogStamp;          // 1: log entries get no millisecond stamp
    int32_t userWindowMode;      // 1: the library runs in a window supplied by the user
    MenuItemCallback menuCallback;  // null: chosen items are only recorded
    int32_t backgroundRed;       // colour that clearing a draw target fills with (0-255)
    int32_t backgroundGreen;
    int32_t backgroundBlue;
};

struct MenuItemRecord {
    HMENU menu;       // the menu that holds the item
    int16_t position; // in that menu
    int16_t id;       // command id
    char name[MenuItemNameCapacity];
};

struct ToolbarButtonRecord {
    int32_t commandId;
    int32_t kind;     // kind 3 is never matched
    int32_t disabled; // a click on a disabled button is not recorded
    int32_t clicked;  // set by a click, cleared when the caller reads it
};


// The window and its thread.
struct SystemWindowState {
    HINSTANCE instance;
    HWND mainWindow;            // kept by start-up's clearing
    uint32_t mainThreadId;      // the thread that created the window
    RECT clientRect;            // client area in screen coordinates (window mode)
    RECT requestedDrawArea;     // the draw area last asked for, before clamping
    HANDLE pumpThread;
    uint32_t pumpThreadId;
    uint32_t timerPeriodMin;
    // Desktop and memory, measured by the window step.
    int32_t desktopWidth;
    int32_t desktopHeight;
    int32_t desktopColorBits;
    uint64_t totalPhysicalMemory;
    uint64_t availablePhysicalMemory;
    // The optional system-key hook (never installed in this program).
    void* keyboardHook;
    HMODULE hookLibrary;
    char hookTempFile[SystemPathCapacity];
};

// Window mode and activity.
struct SystemModeState {
    int32_t createdInWindowMode;
    int32_t stylesApplied;
    int32_t modeChangeRunning;
    int32_t displayChangeSeen;
    int32_t painting;          // inside WM_PAINT
    int32_t windowCreating;
    int32_t restorePending;
    int32_t doubleByteRule;    // DoubleByteShiftJis or DoubleByteKorean (the charset kind); 0 reads as Shift-JIS
    int32_t textEntryGuard;    // set while the pump runs the text-entry step
};

// Menu, toolbar, cursor and dropped files while the window lives.
struct SystemMenuState {
    int32_t menuAttached;
    int32_t mouseNearTop;      // cursor y <= 59
    MenuItemRecord items[MenuItemCapacity];
    int32_t itemCount;
    int32_t cursorVisible;     // the state last applied
    HWND toolbar;
    int32_t toolbarExists;
    HBITMAP toolbarBitmap;
    ToolbarButtonRecord toolbarButtons[ToolbarButtonCapacity];
    int32_t toolbarButtonCount;
    char* droppedFiles[DroppedFileCapacity];  // tracked blocks
    int32_t droppedFileCount;
    int32_t chosenMenuItems[ChosenMenuItemCapacity];  // command ids, oldest first
    int32_t chosenMenuItemCount;
    int32_t mouseWheelCount;   // +1 per step away from the user, -1 per step towards
};

// Life-cycle flags.
struct SystemLifeCycle {
    int32_t startUpRunning;      // kept by start-up's clearing
    int32_t comStarted;          // kept by start-up's clearing
    int32_t libraryInitialised;
    int32_t startUpComplete;     // set at the end of start-up, cleared first at shutdown
    int32_t libraryEnding;       // 1 during shutdown, 4 after a WM_CLOSE outside shutdown
    std::atomic<int> closeRequested;
    std::atomic<int> destroyed;
    std::atomic<int> quit;
    std::atomic<int> active;
    std::atomic<int> pumpThreadEnded;
};

struct SystemTiming {
    int32_t performanceCounterAvailable;
    int64_t performanceFrequency;
};

// The log file (kept by start-up's clearing: it is started before the window step).
struct LogState {
    char fileName[64];        // "Log.txt" or the dated name
    char filePath[SystemPathCapacity + 64];  // start directory + file name, built by StartLogFile
    int32_t indentLevel;
    int32_t midLine;          // 1 when the last text did not end with a line feed
    uint32_t startTime;       // millisecond clock at StartLogFile
};

// The on-screen log.
struct OnScreenLogState {
    int32_t initialised;
    int32_t font;             // FontHandle, -1 when none
    int32_t fontMissing;      // 1: the font must be (re)created
    int32_t shown;
    int32_t lineHeight;       // 16
    int32_t tabWidth;         // 4
    int32_t currentLine;
    int32_t bytesInLine;
    int32_t lineWidth;        // pixels
    char lines[OnScreenLogLineCount][OnScreenLogLineBytes];
};

struct SystemState {
    SystemDescription head;
    SystemSettings settings;
    SystemWindowState window;
    SystemModeState mode;
    SystemMenuState menu;
    SystemLifeCycle life;
    SystemTiming timing;
    char startDirectory[SystemPathCapacity];  // restored at shutdown; empty: no log file
    LogState log;
    OnScreenLogState onScreenLog;
    AllocState alloc;
    ApiLock lock;  // last
};

extern SystemState SystemStateRecord;

// Start-up's reset of the record (the window step): everything but what the file
// header lists is set to zero.
void ClearSystemStateForStartUp(void);
// Every life-cycle flag back to 0 (not started, not ending, no quit).
void ClearSystemLifeCycle(void);

// Accessors.
int CheckLibraryQuitting(void);
int GetWindowClientScreenRect(RECT* rect);
HWND GetAppWindowHandle(void);
int GetWindowedFlag(void);
int GetDesktopScreenInfo(int* width, int* height, int* colorBits);
int CheckApplicationActive(void);
int CheckWindowModeAtCreation(void);
int CheckMMXInUse(void);
int CheckWindowClosing(void);
int CheckWindowRegionSet(void);
double GetWindowZoomFactor(void);
StreamOps* GetFileBackendStreamOps(void);
StreamOps* GetMemoryFileStreamOps(void);
SystemState* GetSystemStateRecord(void);
int CheckVSyncWaitAllowed(void);

// 1 when the byte starts a two-byte character under the library's double-byte rule.
inline int IsDoubleByteLead(unsigned char byte) {
    if (SystemStateRecord.mode.doubleByteRule == DoubleByteKorean) return byte >= 0x80;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
