// text_entry.cpp - text-entry fields fed from the character ring, and the IME restore
// after re-activation.
//
// Character boundaries are found by walking the text from its start: a Shift-JIS trail
// byte can lie in the lead-byte range, so looking back from the cursor could split a
// character.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/handles.h"
#include "library/core/system_state.h"
#include "library/input/char_input.h"
#include "library/input/input.h"

TextEntryRecord* GetTextEntryRecord(int handle) {
    if (handle < 0 || HandleKindOf(handle) != HandleKindTextEntry) return nullptr;
    int slot = HandleSlot(handle);
    if (slot >= TextEntryCapacity) return nullptr;
    TextEntryRecord& entry = CharInputStateRecord.entries[slot];
    if (!entry.inUse || entry.check != HandleCheck(handle)) return nullptr;
    return &entry;
}

int DeleteTextEntryHandle(int handle) {
    CharInputState& c = CharInputStateRecord;
    TextEntryRecord* entry = GetTextEntryRecord(handle);
    if (entry == nullptr) return -1;
    ZqFree(entry->text);
    std::memset(entry, 0, sizeof *entry);
    if (c.activeHandle == handle) c.activeHandle = -1;
    bool anyLeft = false;
    for (const TextEntryRecord& other : c.entries) anyLeft |= other.inUse != 0;
    if (!anyLeft) EnableImeInput(0);
    return 0;
}

int DeleteAllTextEntryHandles(void) {
    CharInputState& c = CharInputStateRecord;
    for (int slot = 0; slot < TextEntryCapacity; ++slot) {
        const TextEntryRecord& entry = c.entries[slot];
        if (entry.inUse) DeleteTextEntryHandle(MakeResourceHandle(HandleKindTextEntry, entry.check, slot));
    }
    c.activeHandle = -1;
    return 0;
}

// Byte count of the character at `at` (never past the end).
static int CharSizeAt(const TextEntryRecord& entry, int at) {
    bool pair = IsDoubleByteLead(static_cast<unsigned char>(entry.text[at])) && at + 1 < entry.length;
    return pair ? 2 : 1;
}

// Start of the character that ends at `at`, found from the start of the text.
static int PreviousCharStart(const TextEntryRecord& entry, int at) {
    int start = 0;
    for (int i = 0; i < at; i += CharSizeAt(entry, i)) start = i;
    return start;
}

static void RemoveBytes(TextEntryRecord& entry, int at, int count) {
    std::memmove(entry.text + at, entry.text + at + count, static_cast<size_t>(entry.length - at - count));
    entry.length -= count;
    entry.text[entry.length] = '\0';
}

// Inserts one typed character at the cursor, under the field's rules.
static void InsertCharacter(TextEntryRecord& entry, const unsigned char* bytes, int size) {
    if (entry.digitsOnly && !(size == 1 && ((bytes[0] >= '0' && bytes[0] <= '9') || (bytes[0] == '-' && entry.cursor == 0)))) {
        return;
    }
    if (entry.singleByteOnly && size == 2) return;
    // Make room by dropping characters from the end; a character that cannot fit even in
    // an empty field is refused.
    while (entry.length + size > entry.maxLength) {
        if (entry.length == 0) return;
        int last = PreviousCharStart(entry, entry.length);
        if (entry.cursor == entry.length) entry.cursor = last;
        entry.length = last;
        entry.text[last] = '\0';
    }
    std::memmove(entry.text + entry.cursor + size, entry.text + entry.cursor,
                 static_cast<size_t>(entry.length - entry.cursor));
    std::memcpy(entry.text + entry.cursor, bytes, static_cast<size_t>(size));
    entry.cursor += size;
    entry.length += size;
    entry.text[entry.length] = '\0';
}

static void ApplyCharacter(TextEntryRecord& entry, const unsigned char* bytes, int size) {
    switch (size == 1 ? bytes[0] : -1) {
    case CharCodeBackspace:
        if (entry.cursor > 0) {
            int start = PreviousCharStart(entry, entry.cursor);
            RemoveBytes(entry, start, entry.cursor - start);
            entry.cursor = start;
        }
        return;
    case CharCodeDelete:
        if (entry.cursor < entry.length) RemoveBytes(entry, entry.cursor, CharSizeAt(entry, entry.cursor));
        return;
    case CharCodeLeft:
        if (entry.cursor > 0) entry.cursor = PreviousCharStart(entry, entry.cursor);
        return;
    case CharCodeRight:
        if (entry.cursor < entry.length) entry.cursor += CharSizeAt(entry, entry.cursor);
        return;
    case CharCodeTab:
    case CharCodeUp:
    case CharCodeDown:
        return;
    case CharCodeEnter:
        entry.done = 1;
        return;
    case CharCodeEscape:
        if (entry.escapeAllowed) {
            entry.cancelled = 1;
            entry.done = 1;
        }
        return;
    default:
        InsertCharacter(entry, bytes, size);
        return;
    }
}

// After re-activation: the composition is taken out, the IME closed and opened again,
// and the composition put back.
static void RestoreIme(void) {
    CharInputState& c = CharInputStateRecord;
    HWND window = GetAppWindowHandle();
    if (HIMC context = window != nullptr ? ImmGetContext(window) : nullptr) {
        LONG size = ImmGetCompositionStringA(context, GCS_COMPSTR, c.savedComposition, CompositionBytes - 1);
        c.savedComposition[size > 0 ? size : 0] = '\0';
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        ImmReleaseContext(window, context);
    }
    SetImeOpenStatus(0);
    SetImeOpenStatus(1);
    if (HIMC context = window != nullptr ? ImmGetContext(window) : nullptr) {
        ImmSetOpenStatus(context, TRUE);
        ImmSetCompositionStringA(context, SCS_SETSTR, c.savedComposition,
                                 static_cast<DWORD>(std::strlen(c.savedComposition)), nullptr, 0);
        ImmReleaseContext(window, context);
    }
    c.imeRestoreState = 0;
}

int ProcessTextEntry(void) {
    CharInputState& c = CharInputStateRecord;
    if (c.imeRestoreState == 1) RestoreIme();
    if (c.activeHandle == -1) return 0;
    TextEntryRecord* entry = GetTextEntryRecord(c.activeHandle);
    if (entry == nullptr || entry->text == nullptr) return -1;
    unsigned char bytes[2];
    while (!entry->done) {
        int size = PopCharCode(bytes, 1);
        if (size == 0) break;
        ResetTextCursorBlink();
        ApplyCharacter(*entry, bytes, size);
    }
    return 0;
}
