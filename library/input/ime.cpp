// ime.cpp - the IME messages of the window procedure: the composition string and its
// cursor, finished results pushed into the character ring, the candidate list, and the
// helpers that switch the IME.
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/message_pump.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/timing.h"
#include "library/input/char_input.h"
#include "library/input/input.h"

enum { OpenStatusSettleMicroseconds = 2000 };

int ResetTextCursorBlink(void) {
    CharInputState& c = CharInputStateRecord;
    c.blinkStart = static_cast<uint32_t>(GetTimeMillisecondsCore(0));
    c.cursorVisible = 1;
    return 0;
}

// Reads one of the context's strings into a buffer of `capacity` + 1 bytes, terminated.
static void ReadImeString(HIMC context, DWORD index, char* buffer, DWORD capacity) {
    std::memset(buffer, 0, capacity + 1);
    LONG size = ImmGetCompositionStringA(context, index, buffer, capacity);
    buffer[std::clamp<LONG>(size, 0, static_cast<LONG>(capacity))] = '\0';
}

// The number of characters that cover the first `bytes` bytes of the composition.
static int CharactersBefore(const char* text, LONG bytes) {
    int characters = 0;
    for (LONG i = 0; i < bytes && text[i] != '\0'; ++characters) {
        i += IsDoubleByteLead(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0' ? 2 : 1;
    }
    return characters;
}

static void FreeCandidateList(void) {
    CharInputState& c = CharInputStateRecord;
    ZqFree(c.candidates);
    c.candidates = nullptr;
}

static LRESULT OnComposition(HWND window, LPARAM flags) {
    CharInputState& c = CharInputStateRecord;
    HIMC context = ImmGetContext(window);
    if (context == nullptr) return 0;
    if (flags & GCS_COMPSTR) ReadImeString(context, GCS_COMPSTR, c.composition, CompositionBytes);
    if (flags & GCS_RESULTSTR) {
        ReadImeString(context, GCS_RESULTSTR, c.composition, CompositionBytes);
        // PushCharCode keeps each two-byte character whole when the ring runs full.
        for (const char* p = c.composition; *p != '\0'; ++p) PushCharCode(static_cast<unsigned char>(*p));
        ReadImeString(context, GCS_COMPSTR, c.composition, CompositionBytes);
    }
    if (flags & GCS_CURSORPOS) {
        c.compositionCursor = CharactersBefore(c.composition, ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0));
    }
    if (flags & GCS_COMPCLAUSE) {
        LONG size = ImmGetCompositionStringA(context, GCS_COMPCLAUSE, c.clauseData, ClauseBytes);
        c.clauseCount = std::clamp<LONG>(size, 0, ClauseBytes) / 4;
    }
    ImmReleaseContext(window, context);
    return 0;
}

static LRESULT FetchCandidateList(HWND window) {
    CharInputState& c = CharInputStateRecord;
    HIMC context = ImmGetContext(window);
    DWORD size = context != nullptr ? ImmGetCandidateListA(context, 0, nullptr, 0) : 0;
    if (size == 0) {
        WriteLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x\n",
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)),
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(context)));
        if (context != nullptr) ImmReleaseContext(window, context);
        return 0;
    }
    FreeCandidateList();
    c.candidates = static_cast<CANDIDATELIST*>(ZqAlloc(size));
    if (c.candidates == nullptr) {
        FatalErrorExitFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                             static_cast<int>(size));
    }
    if (ImmGetCandidateListA(context, 0, c.candidates, size) == 0) {
        FreeCandidateList();
        WriteLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d\n", static_cast<int>(size));
    }
    ImmReleaseContext(window, context);
    return 0;
}

// The open status settles after the notification: pump for 2 ms, then read it.
static LRESULT OnOpenStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CharInputState& c = CharInputStateRecord;
    if (c.imeNotifyBusy) return 0;
    c.imeNotifyBusy = 1;
    DefWindowProcA(window, message, wParam, lParam);
    uint64_t start = GetTimeMicroseconds(0);
    while (GetTimeMicroseconds(0) - start < OpenStatusSettleMicroseconds && ProcessMessageCore() == 0) {
    }
    if (HIMC context = ImmGetContext(window)) {
        c.imeOpen = ImmGetOpenStatus(context) ? 1 : 0;
        ImmReleaseContext(window, context);
    }
    c.imeNotifyBusy = 0;
    return 0;
}

LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CharInputState& c = CharInputStateRecord;
    c.imeMessageSeen = 1;
    ResetTextCursorBlink();
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        c.compositionCursor = 0;
        c.composing = 1;
        return 0;
    case WM_IME_ENDCOMPOSITION:
        std::memset(c.composition, 0, CompositionBytes);
        c.composing = 0;
        return 0;
    case WM_IME_COMPOSITION:
        return OnComposition(window, lParam);
    case WM_IME_SETCONTEXT:
        // lParam 0: the IME shows none of its own windows.
        return DefWindowProcA(window, message, wParam, 0);
    case WM_IME_NOTIFY:
        switch (wParam) {
        case IMN_OPENCANDIDATE:
        case IMN_CHANGECANDIDATE:
        case IMN_SETCANDIDATEPOS:
            return FetchCandidateList(window);
        case IMN_CLOSECANDIDATE:
            FreeCandidateList();
            return 0;
        case IMN_SETOPENSTATUS:
            return OnOpenStatus(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    default:
        return 0;
    }
}

int SetImeOpenStatus(int open) {
    HWND window = GetAppWindowHandle();
    if (HIMC context = window != nullptr ? ImmGetContext(window) : nullptr) {
        ImmSetOpenStatus(context, open == 1);
        ImmReleaseContext(window, context);
    }
    return 0;
}

int EnableImeInput(int enable) {
    CharInputState& c = CharInputStateRecord;
    if (enable == c.imeEnabled) return 0;
    WINNLSEnableIME(GetAppWindowHandle(), enable);
    c.imeEnabled = enable;
    if (!enable) {
        FreeCandidateList();
        std::memset(c.composition, 0, sizeof c.composition);
        c.composing = 0;
    }
    return 0;
}

int StartImeRestoreIfWasInUse(void) {
    CharInputState& c = CharInputStateRecord;
    if (c.imeEnabled && c.imeOpen) c.imeRestoreState = 1;
    return 0;
}
