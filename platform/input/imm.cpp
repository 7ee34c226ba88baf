// imm.cpp - the input-method calls over SDL's text-editing events. See imm.h.
//
// The composition lives here, written on the thread that pumps SDL's events and read by
// the window procedure through ImmGetCompositionStringA. Messages are posted after the
// state they announce is in place, in the order of SDL's events, so they keep their
// place among the WM_KEYDOWN and WM_CHAR messages of the same pump.
//
// The open status is kept here too and SDL's text input follows it on the SDL thread:
// the status is what the program last set, at once for every thread, while SDL catches
// up at that thread's next pump.
#include <deque>
#include <string>
#include <vector>

#include "platform/input/imm.h"
#include "platform/input/imm_internal.h"
#include "platform/window/window_internal.h"

struct PlatformImeContext {
    int unused;
};

namespace {

enum { ResultCapacity = 64 };  // results nobody took are dropped, oldest first

struct PendingMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct ImeState {
    std::mutex mutex;
    bool composing = false;
    HWND window = nullptr;    // where the composition's messages go
    std::string composition;  // CP932
    LONG cursor = 0;          // bytes into the composition
    std::deque<std::string> results;
    bool open = true;  // SDL starts its text input with the video
};

ImeState& Ime() {
    static ImeState state;
    return state;
}

PlatformImeContext TheContext;

void Post(const std::vector<PendingMessage>& messages) {
    for (const PendingMessage& m : messages) PostMessageA(m.window, m.message, m.wParam, m.lParam);
}

// Ends the composition (mutex held); the end message goes out with the others.
void EndComposition(ImeState& ime, std::vector<PendingMessage>* out) {
    if (!ime.composing) return;
    ime.composing = false;
    ime.composition.clear();
    ime.cursor = 0;
    out->push_back({ime.window, WM_IME_ENDCOMPOSITION, 0, 0});
}

// The Shift-JIS byte count of the first `characters` characters of a UTF-8 text.
LONG Cp932Offset(const char* utf8, int characters) {
    std::string text(utf8);
    size_t end = 0;
    for (int seen = 0; end < text.size(); ++end) {
        bool starts = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
        if (starts && seen++ == characters) break;
    }
    return static_cast<LONG>(Utf8ToCp932(text.substr(0, end).c_str()).size());
}

void Editing(const char* text, int start) {
    HWND window = GetActiveWindow();
    bool wanted = window != nullptr && WindowImeEnabled(window);
    std::vector<PendingMessage> messages;
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        if (!wanted || text[0] == '\0') {
            EndComposition(ime, &messages);
        } else {
            if (!ime.composing) {
                ime.composing = true;
                ime.window = window;
                messages.push_back({window, WM_IME_STARTCOMPOSITION, 0, 0});
            }
            ime.composition = Utf8ToCp932(text);
            ime.cursor = Cp932Offset(text, start < 0 ? 0 : start);
            messages.push_back({ime.window, WM_IME_COMPOSITION, 0, GCS_COMPSTR | GCS_CURSORPOS});
        }
    }
    Post(messages);
}

bool Commit(const char* text) {
    std::vector<PendingMessage> messages;
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        if (!ime.composing) return false;
        if (ime.results.size() == ResultCapacity) ime.results.pop_front();
        ime.results.push_back(Utf8ToCp932(text));
        messages.push_back({ime.window, WM_IME_COMPOSITION, 0, GCS_RESULTSTR});
        EndComposition(ime, &messages);
    }
    Post(messages);
    return true;
}

// Copies a string into the caller's buffer as the call's contract says.
LONG CopyOut(const std::string& text, void* buffer, DWORD size) {
    if (size == 0) return static_cast<LONG>(text.size());
    if (buffer == nullptr) return IMM_ERROR_GENERAL;
    size_t count = std::min<size_t>(text.size(), size);
    text.copy(static_cast<char*>(buffer), count);
    return static_cast<LONG>(count);
}

}  // namespace

bool ImmTranslateSdlEvent(const SDL_Event& event) {
    // Long compositions arrive whole (SDL_TEXTEDITING_EXT) instead of cut at 31 bytes.
    static const bool hinted = SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    (void)hinted;
    switch (event.type) {
    case SDL_TEXTEDITING:
        Editing(event.edit.text, event.edit.start);
        return true;
    case SDL_TEXTEDITING_EXT:
        Editing(event.editExt.text != nullptr ? event.editExt.text : "", event.editExt.start);
        SDL_free(event.editExt.text);
        return true;
    case SDL_TEXTINPUT:
        return Commit(event.text.text);
    default:
        return false;
    }
}

void ImmApplyOpenStatus(void) {
    bool open;
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        open = ime.open;
    }
    if (open) {
        SDL_StartTextInput();
    } else {
        SDL_StopTextInput();
    }
}

void ImmResetForTest(void) {
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        ime.composing = false;
        ime.window = nullptr;
        ime.composition.clear();
        ime.cursor = 0;
        ime.results.clear();
        ime.open = true;
    }
    RunOnSdlThread(ImmApplyOpenStatus);
}

HIMC ImmGetContext(HWND window) { return IsWindow(window) ? &TheContext : nullptr; }

BOOL ImmReleaseContext(HWND window, HIMC context) { return IsWindow(window) && context == &TheContext; }

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD size) {
    if (context != &TheContext) return IMM_ERROR_GENERAL;
    ImeState& ime = Ime();
    std::lock_guard<std::mutex> lock(ime.mutex);
    switch (index) {
    case GCS_COMPSTR:
        return CopyOut(ime.composition, buffer, size);
    case GCS_RESULTSTR: {
        if (ime.results.empty()) return 0;
        LONG result = CopyOut(ime.results.front(), buffer, size);
        if (size != 0 && result >= 0) ime.results.pop_front();
        return result;
    }
    case GCS_CURSORPOS:
        return ime.cursor;
    case GCS_COMPCLAUSE:
        return 0;
    default:
        return IMM_ERROR_GENERAL;
    }
}

BOOL ImmSetCompositionStringA(HIMC, DWORD, const void*, DWORD, const void*, DWORD) { return FALSE; }

DWORD ImmGetCandidateListA(HIMC, DWORD, CANDIDATELIST*, DWORD) { return 0; }

BOOL ImmGetOpenStatus(HIMC context) {
    if (context != &TheContext) return FALSE;
    ImeState& ime = Ime();
    std::lock_guard<std::mutex> lock(ime.mutex);
    return ime.open ? TRUE : FALSE;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
    if (context != &TheContext) return FALSE;
    HWND window = GetActiveWindow();
    std::vector<PendingMessage> messages;
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        if (ime.open == (open != FALSE)) return TRUE;
        ime.open = open != FALSE;
        // Closing drops the composition, as SDL's input method does when text input stops.
        if (!ime.open) EndComposition(ime, &messages);
        if (window != nullptr) messages.push_back({window, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0});
    }
    Post(messages);
    RunOnSdlThread(ImmApplyOpenStatus);
    return TRUE;
}

BOOL ImmNotifyIME(HIMC context, DWORD action, DWORD index, DWORD) {
    if (context != &TheContext || action != NI_COMPOSITIONSTR || index != CPS_CANCEL) return FALSE;
    std::vector<PendingMessage> messages;
    {
        ImeState& ime = Ime();
        std::lock_guard<std::mutex> lock(ime.mutex);
        EndComposition(ime, &messages);
    }
    Post(messages);
    RunOnSdlThread([] { SDL_ClearComposition(); });
    return TRUE;
}
