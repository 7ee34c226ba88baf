// char_input.h - the character ring, the IME state and the text-entry fields.
//
// The window procedure pushes typed bytes and editing-key codes into a 1025-byte ring
// (1024 usable); PopCharCode reads them back one character at a time, a Shift-JIS pair
// (by the library's double-byte rule) as one character of 2 bytes and an editing code as
// one byte. The active text-entry field takes the ring's characters once per pump pass.
#pragma once

#include <cstdint>

#include "platform/input/imm.h"

enum {
    CharRingSize = 1025,  // one slot stays free
    CompositionBytes = 1024,
    ClauseBytes = 1024,
    TextEntryCapacity = 20,
    TextEntryColorCount = 12,
    CursorBlinkPeriodMs = 500,
};

// Editing codes in the ring.
enum {
    CharCodeBackspace = 0x08,
    CharCodeTab = 0x09,
    CharCodeEnter = 0x0D,
    CharCodeDelete = 0x10,
    CharCodeRight = 0x1C,
    CharCodeLeft = 0x1D,
    CharCodeUp = 0x1E,
    CharCodeDown = 0x1F,
    CharCodeEscape = 0x1B,
};

// One text-entry field. The text buffer holds maxLength + 1 bytes (the text and its NUL).
struct TextEntryRecord {
    int32_t inUse;
    int32_t check;
    int32_t done;
    int32_t cancelled;
    int32_t length;     // bytes
    int32_t maxLength;  // bytes
    int32_t cursor;     // byte offset, on a character boundary
    char* text;         // tracked block
    int32_t escapeAllowed;
    int32_t singleByteOnly;
    int32_t digitsOnly;
};

struct CharInputState {
    uint8_t ring[CharRingSize];
    int32_t readIndex;
    int32_t writeIndex;
    int32_t trailPending;  // what becomes of the next pushed byte (a trail): CharTrail*
    int32_t composing;
    int32_t compositionCursor;  // characters
    char composition[CompositionBytes + 1];
    char savedComposition[CompositionBytes];
    CANDIDATELIST* candidates;  // tracked block, null when none
    int32_t imeEnabled;         // the last value given to WINNLSEnableIME
    int32_t imeOpen;
    int32_t imeRestoreState;    // 0 idle, 1 restore at the next text-entry step
    uint8_t clauseData[ClauseBytes];
    int32_t clauseCount;
    int32_t imeMessageSeen;
    int32_t imeNotifyBusy;      // inside IMN_SETOPENSTATUS
    int32_t colors[TextEntryColorCount];  // screen pixel values
    int32_t blinkFlag;
    uint32_t blinkStart;  // ms
    int32_t blinkPeriod;  // ms
    int32_t cursorVisible;
    int32_t activeHandle;  // -1 = none
    int32_t otherHandle;   // -1
    TextEntryRecord entries[TextEntryCapacity];
};

enum { CharTrailNone = 0, CharTrailKeep = 1, CharTrailDrop = 2 };

extern CharInputState CharInputStateRecord;

// The next character of the ring into out[0..1] (cleared first): its byte count (1 or
// 2), or 0 when the ring is empty or holds only the lead byte of a pair. take 0 peeks.
int PopCharCode(unsigned char out[2], int take);
// 1 when the byte is one of the editing-key codes.
int IsEditControlCode(int byte);
// The number of leading characters two texts share.
int CountEqualLeadingChars(const char* a, const char* b);

// IME.
int SetImeOpenStatus(int open);
int EnableImeInput(int enable);
int ResetTextCursorBlink(void);

// Text-entry fields (handle kind 10: 0x50000000 | check << 16 | slot).
TextEntryRecord* GetTextEntryRecord(int handle);
int DeleteTextEntryHandle(int handle);
