// window.h - the window group of the platform layer: window classes, windows,
// per-thread message queues, window timers, the cursor and the desktop metrics.
//
// Windows are backed by SDL2. Everything that touches SDL runs on the thread that
// first brought SDL's video up (the main thread); calls from other threads only
// change the layer's own records and leave the SDL side to that thread, which
// catches up the next time it peeks for messages. SDL events are translated into
// window messages there too:
//   window close / SDL_QUIT   -> WM_CLOSE
//   focus gained / lost       -> WM_ACTIVATEAPP + WM_ACTIVATE
//   exposed                   -> WM_PAINT (the window becomes invalid)
//   moved / size changed      -> WM_MOVE / WM_SIZE
//   key down / up             -> WM_KEYDOWN / WM_KEYUP (WM_SYS* with Alt), virtual-key codes
//   text input                -> WM_CHAR, one message per Shift-JIS byte
//   mouse motion / buttons / wheel -> WM_MOUSEMOVE, WM_[LRM]BUTTON{DOWN,UP}, WM_MOUSEWHEEL
// With SDL's "dummy" or "offscreen" video driver (headless runs) a window that was
// activated stays active: focus losses are ignored, except those a test forces
// through the window seams (platform/window/testing/window_seams.h).
//
// Typical use:
//     WNDCLASSEXA wc = {}; wc.cbSize = sizeof wc; wc.lpfnWndProc = Proc; wc.lpszClassName = "C";
//     RegisterClassExA(&wc);
//     HWND w = CreateWindowExA(0, "C", "Title", WS_POPUP | WS_CAPTION, x, y, 150, 200,
//                              nullptr, nullptr, nullptr, nullptr);
//     ShowWindow(w, SW_SHOW);
//     MSG m;
//     while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) { TranslateMessage(&m); DispatchMessageA(&m); }
#pragma once

#include "platform/wintypes.h"

using ATOM = WORD;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

#define MAKEINTRESOURCEA(id) (reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)
#define LOWORD(v) (static_cast<WORD>(static_cast<uintptr_t>(v) & 0xFFFF))
#define HIWORD(v) (static_cast<WORD>((static_cast<uintptr_t>(v) >> 16) & 0xFFFF))
#define MAKELONG(lo, hi) (static_cast<LONG>((static_cast<DWORD>(static_cast<WORD>(lo))) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define MAKEWPARAM(lo, hi) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))))
#define MAKELPARAM(lo, hi) (static_cast<LPARAM>(MAKELONG(lo, hi)))
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))
#define GET_WHEEL_DELTA_WPARAM(wp) (static_cast<short>(HIWORD(wp)))

// ---- Messages -------------------------------------------------------------------
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_DISPLAYCHANGE 0x007E
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_IME_STARTCOMPOSITION 0x010D
#define WM_IME_ENDCOMPOSITION 0x010E
#define WM_IME_COMPOSITION 0x010F
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WM_MOVING 0x0216
#define WM_IME_SETCONTEXT 0x0281
#define WM_IME_NOTIFY 0x0282
#define WM_USER 0x0400

#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<uintptr_t>(0xFFFF)))
// PeekMessage filter that selects only the thread's own messages (no window).
#define HWND_THREAD_ONLY (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))

// WM_ACTIVATE low word
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
// WM_SIZE wParam
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
// WM_SYSCOMMAND wParam
#define SC_MINIMIZE 0xF020
#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100
#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170
// Mouse key state in wParam
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WHEEL_DELTA 120
#define HTCLIENT 1

// PeekMessage
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
// The layer's own: look at the queue as it is, without pumping SDL first.
#define PM_NOPUMP 0x8000

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// ---- Classes and windows ----------------------------------------------------------
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u

#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GCL_HICON (-14)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<intptr_t>(0)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
    HICON hIconSm;
};

// Registers a class; 0 when the name is taken or the record is incomplete.
ATOM RegisterClassExA(const WNDCLASSEXA* wc);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
// A window of this class (and caption, when given) that exists in this process, or,
// for a top-level window, in another process of the same user (the single-instance
// lock in $XDG_RUNTIME_DIR, or /tmp, held by every top-level window of the class).
// Another process's window is reported as an HWND that only IsForeignWindow knows.
HWND FindWindowA(const char* className, const char* windowName);
BOOL IsForeignWindow(HWND window);

// Creates a window owned by the calling thread (WS_CHILD without a parent fails).
// Sends WM_CREATE (a result of -1 fails the creation), then WM_MOVE and WM_SIZE. The
// caption is Shift-JIS (CP932). Sizes are outer sizes; the layer's frames are empty
// (the desktop's window manager draws the decorations outside the SDL window), so
// outer and client rectangles coincide.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
// Sends WM_DESTROY and removes the window, its timers and its pending messages. Only
// the owning thread may destroy a window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);

BOOL ShowWindow(HWND window, int command);  // previous visibility
BOOL UpdateWindow(HWND window);             // sends WM_PAINT when the window is invalid
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL BringWindowToTop(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND SetActiveWindow(HWND window);
HWND GetForegroundWindow(void);
HWND GetActiveWindow(void);

BOOL SetWindowTextA(HWND window, const char* text);  // CP932; SDL gets it as UTF-8
int GetWindowTextA(HWND window, char* text, int size);
LONG SetWindowLongA(HWND window, int index, LONG value);  // GWL_STYLE / GWL_EXSTYLE
LONG GetWindowLongA(HWND window, int index);
ULONG_PTR SetClassLongPtrA(HWND window, int index, LONG_PTR value);  // GCL_HICON

BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);

// Keeps the window's wish for an input method; characters keep arriving as WM_CHAR.
BOOL WINNLSEnableIME(HWND window, BOOL enable);

// ---- Icons, cursor ----------------------------------------------------------------
// Icons by resource id come from the program's icon table (RegisterIconResource);
// IDI_APPLICATION is the layer's own application icon. NULL when the id is unknown.
HICON LoadIconA(HINSTANCE instance, const char* name);
// Adds an icon image to the program's resources: width x height pixels, 0xAARRGGBB.
int RegisterIconResource(int id, int width, int height, const uint32_t* argb);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
// SetCursor(NULL) hides the cursor over the layer's windows; ShowCursor keeps the
// display counter (the cursor shows while it is 0 or more) and returns its new value.
HCURSOR SetCursor(HCURSOR cursor);
int ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* point);

// ---- Messages and timers ------------------------------------------------------------
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posted messages first (in order), then WM_QUIT, WM_PAINT for an invalid window, and
// WM_TIMER for a due timer. window NULL: every message of the thread; HWND_THREAD_ONLY:
// only messages posted to no window; otherwise that window's. PM_REMOVE takes the
// message out (WM_PAINT stays until the window is validated). On the SDL thread the
// call first pumps SDL's events into the queues (PumpWindowEvents), unless PM_NOPUMP
// is given.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// On the SDL thread: runs the SDL work other threads queued and translates SDL's pending
// events (and the tests' injected ones) into window messages; elsewhere nothing. Every
// pump polls the system (a few poll() calls), so a loop that peeks many times in a row
// pumps once per turn and peeks with PM_NOPUMP.
void PumpWindowEvents(void);
// Posts WM_CHAR for the keys that give a control character (Back, Tab, Return, Escape);
// printable characters arrive from SDL's text input as WM_CHAR already (while the IME
// is open, platform/input/imm.h).
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// WM_CLOSE destroys the window; WM_PAINT validates it; WM_SETCURSOR sets the class cursor;
// WM_SYSCOMMAND SC_CLOSE sends WM_CLOSE.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Timers run on the thread that owns the window: a due timer gives a WM_TIMER to that
// thread's PeekMessage, dispatched to the procedure given here or to the window.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
// Validates the window and gives the invalid rectangle. The layer has no device
// contexts of its own: hdc is NULL.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- Desktop and system settings ------------------------------------------------------
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
int GetSystemMetrics(int index);
// Planes x bits per pixel of the desktop, as its device context reports them: bytes per
// pixel x 8, so an XRGB8888 desktop is 32 (never 24) and RGB565 is 16. 0 when no video
// driver is available.
int GetDesktopColorBits(void);
// The handle that stands for the desktop (for calls that take a window only to name the
// owner of a setting, such as DirectSound's cooperative level); it takes no messages.
HWND GetDesktopWindow(void);

#define SPI_GETSCREENSAVEACTIVE 0x0010
#define SPI_SETSCREENSAVEACTIVE 0x0011
#define SPI_GETFOREGROUNDLOCKTIMEOUT 0x2000
#define SPI_SETFOREGROUNDLOCKTIMEOUT 0x2001
#define SPIF_UPDATEINIFILE 0x0001
#define SPIF_SENDCHANGE 0x0002
// SPI_SETSCREENSAVEACTIVE inhibits (FALSE) or allows (TRUE) the screen saver for this
// process only; the user's settings are never changed, so the flags must be 0.
// SPI_GETSCREENSAVEACTIVE reads that state. Other actions fail.
BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT winIni);

// ---- Virtual-key codes ----------------------------------------------------------------
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2
