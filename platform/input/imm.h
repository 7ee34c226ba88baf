// imm.h - the input-method calls: the composition and result strings of the IME.
//
// SDL's text-editing events stand behind the composition: while the active window wants
// an input method (WINNLSEnableIME, window.h), the first non-empty editing text posts
// WM_IME_STARTCOMPOSITION to it, every editing text WM_IME_COMPOSITION with GCS_COMPSTR
// | GCS_CURSORPOS, and the end of the editing WM_IME_ENDCOMPOSITION. Text that SDL
// commits during a composition is its result: WM_IME_COMPOSITION with GCS_RESULTSTR, then
// WM_IME_ENDCOMPOSITION, and no WM_CHAR. Other committed text arrives as WM_CHAR (window.h).
// Strings are Shift-JIS (CP932); characters outside it are left out.
//
// The open status is SDL's text input, which SDL starts with its video. Closing the IME
// stops it, so the system's input method gets no keys and SDL gives no text at all:
// until it opens again only the characters TranslateMessage makes of keys (Backspace,
// Tab, Enter, Escape) arrive as WM_CHAR. Closing ends a composition in progress, and
// every change posts WM_IME_NOTIFY with IMN_SETOPENSTATUS to the active window.
//
// What SDL does not tell has no data here: candidate lists and clause information read
// as empty, setting the composition string fails (SDL cannot hand a composition back
// to the input method), and no WM_IME_SETCONTEXT and no other WM_IME_NOTIFY is sent.
#pragma once

#include "platform/wintypes.h"

struct PlatformImeContext;
using HIMC = PlatformImeContext*;

// ImmGetCompositionStringA
#define GCS_COMPSTR 0x0008
#define GCS_COMPCLAUSE 0x0020
#define GCS_CURSORPOS 0x0080
#define GCS_RESULTSTR 0x0800
#define IMM_ERROR_NODATA (-1)
#define IMM_ERROR_GENERAL (-2)
// ImmSetCompositionStringA
#define SCS_SETSTR 0x0009
// ImmNotifyIME
#define NI_COMPOSITIONSTR 0x0015
#define CPS_COMPLETE 0x0001
#define CPS_CANCEL 0x0004
// WM_IME_NOTIFY
#define IMN_CLOSECANDIDATE 0x0004
#define IMN_OPENCANDIDATE 0x0005
#define IMN_CHANGECANDIDATE 0x0003
#define IMN_SETOPENSTATUS 0x0008
#define IMN_SETCANDIDATEPOS 0x0009

struct CANDIDATELIST {
    DWORD dwSize;
    DWORD dwStyle;
    DWORD dwCount;
    DWORD dwSelection;
    DWORD dwPageStart;
    DWORD dwPageSize;
    DWORD dwOffset[1];
};

// The input context of a window (one per process); null for an invalid window.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// GCS_COMPSTR: the composition; GCS_RESULTSTR: the oldest committed result not yet
// taken (reading it into a buffer takes it, a size query with no buffer does not);
// both copy at most `size` bytes (no terminator) and return the string's byte count, or
// with size 0 only the count. GCS_CURSORPOS: the cursor as a byte offset into the
// composition. GCS_COMPCLAUSE: 0 (no data). IMM_ERROR_GENERAL for a bad context or index.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD size);
// Not available: FALSE.
BOOL ImmSetCompositionStringA(HIMC context, DWORD index, const void* composition, DWORD compositionSize,
                              const void* reading, DWORD readingSize);
// No candidate list is ever known: 0.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, CANDIDATELIST* list, DWORD size);
// The open status (see the top of this file); FALSE for a bad context. Setting it
// fails only for a bad context; setting it to what it is changes and posts nothing.
BOOL ImmGetOpenStatus(HIMC context);
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
// NI_COMPOSITIONSTR with CPS_CANCEL drops the composition (the system IME's too) and ends
// it with WM_IME_ENDCOMPOSITION; other requests fail.
BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD value);
