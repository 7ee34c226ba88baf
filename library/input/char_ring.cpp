// char_ring.cpp - the character ring and its set-up.
//
// A two-byte character goes in whole or not at all: a lead byte needs two free slots,
// and the byte after a refused lead byte (its trail) is dropped too, so a full ring never
// holds half a character that would pair with the next unrelated byte.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/display/color_format.h"
#include "library/input/char_input.h"
#include "library/input/input.h"

CharInputState CharInputStateRecord;

static const struct {
    uint8_t virtualKey;
    uint8_t code;
} EditKeyCodeTable[] = {
    {VK_DELETE, CharCodeDelete}, {VK_LEFT, CharCodeLeft}, {VK_RIGHT, CharCodeRight},
    {VK_UP, CharCodeUp},         {VK_DOWN, CharCodeDown}, {0, 0},
};

int IsEditControlCode(int byte) {
    for (int i = 0; EditKeyCodeTable[i].virtualKey != 0; ++i) {
        if (EditKeyCodeTable[i].code == byte) return 1;
    }
    return 0;
}

int EditKeyCharCode(WPARAM virtualKey) {
    for (int i = 0; EditKeyCodeTable[i].virtualKey != 0; ++i) {
        if (EditKeyCodeTable[i].virtualKey == virtualKey) return EditKeyCodeTable[i].code;
    }
    return 0;
}

// A byte that starts a two-byte character in the ring.
static bool StartsPair(uint8_t byte) { return !IsEditControlCode(byte) && IsDoubleByteLead(byte); }

static int FreeSlots(void) {
    const CharInputState& c = CharInputStateRecord;
    return (c.readIndex - c.writeIndex - 1 + CharRingSize) % CharRingSize;
}

static void Store(uint8_t byte) {
    CharInputState& c = CharInputStateRecord;
    c.ring[c.writeIndex] = byte;
    c.writeIndex = (c.writeIndex + 1) % CharRingSize;
}

int CheckCharCodeRoom(void) { return FreeSlots() >= 1 ? 1 : 0; }

int PushCharCode(int code) {
    CharInputState& c = CharInputStateRecord;
    auto byte = static_cast<uint8_t>(code);
    if (c.trailPending != CharTrailNone) {
        int pending = c.trailPending;
        c.trailPending = CharTrailNone;
        if (byte >= 0x40) {  // a trail byte: it shares its lead byte's fate
            if (pending == CharTrailDrop) return -1;
            Store(byte);
            return 0;
        }
        // No trail came: a lead byte already stored is taken back.
        if (pending == CharTrailKeep) c.writeIndex = (c.writeIndex + CharRingSize - 1) % CharRingSize;
    }
    bool lead = StartsPair(byte);
    if (FreeSlots() < (lead ? 2 : 1)) {
        if (lead) c.trailPending = CharTrailDrop;
        return -1;
    }
    Store(byte);
    if (lead) c.trailPending = CharTrailKeep;
    return 0;
}

int PopCharCode(unsigned char out[2], int take) {
    CharInputState& c = CharInputStateRecord;
    out[0] = out[1] = 0;
    if (c.readIndex == c.writeIndex) return 0;
    uint8_t first = c.ring[c.readIndex];
    int next = (c.readIndex + 1) % CharRingSize;
    if (!StartsPair(first)) {
        out[0] = first;
        if (take) c.readIndex = next;
        return 1;
    }
    if (next == c.writeIndex) return 0;  // the trail byte has not come yet
    out[0] = first;
    out[1] = c.ring[next];
    if (take) c.readIndex = (next + 1) % CharRingSize;
    return 2;
}

int CountEqualLeadingChars(const char* a, const char* b) {
    int count = 0;
    for (size_t i = 0; a[i] != '\0' && b[i] != '\0';) {
        size_t size = IsDoubleByteLead(static_cast<unsigned char>(a[i])) && a[i + 1] != '\0' ? 2 : 1;
        if (std::memcmp(a + i, b + i, size) != 0) break;
        ++count;
        i += size;
    }
    return count;
}

int InitCharCodeBuffer(void) {
    WriteLogText("文字コードバッファの初期化を行います... ");
    CharInputState& c = CharInputStateRecord;
    ZqFree(c.candidates);
    for (TextEntryRecord& entry : c.entries) ZqFree(entry.text);
    std::memset(&c, 0, sizeof c);
    static const uint8_t Rgb[TextEntryColorCount][3] = {
        {255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {255, 255, 255}, {255, 0, 0},
        {255, 255, 20},  {0, 0, 0},       {0, 0, 0},     {0, 0, 0},     {255, 255, 0},   {0, 0, 0},
    };
    for (int i = 0; i < TextEntryColorCount; ++i) c.colors[i] = RgbToScreenPixel(Rgb[i][0], Rgb[i][1], Rgb[i][2]);
    c.activeHandle = -1;
    c.otherHandle = -1;
    c.blinkPeriod = CursorBlinkPeriodMs;
    c.cursorVisible = 1;
    WriteLogText("完了しました\n");
    return 0;
}
