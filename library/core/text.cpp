// Shift-JIS aware string helpers. See text.h.
#include "library/core/text.h"

#include <cstdint>

#include "library/core/system_state.h"

static inline unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

// Bytes of the character at p: 2 for a lead byte followed by a non-NUL byte.
static inline size_t CharLength(const char* p) {
    return (IsDoubleByteLead(Byte(p)) && p[1] != '\0') ? 2 : 1;
}

char* CopyText(char* destination, const char* text) {
    char* d = destination;
    while ((*d++ = *text++) != '\0') {
    }
    return destination;
}

char* AppendText(char* destination, const char* text) {
    char* end = destination;
    while (*end != '\0') end++;
    CopyText(end, text);
    return destination;
}

size_t TextPrefixLength(const char* text, size_t limit) {
    size_t length = 0;
    while (text[length] != '\0') {
        size_t step = CharLength(text + length);
        if (length + step > limit) break;
        length += step;
    }
    return length;
}

char* CopyTextBounded(char* destination, size_t capacity, const char* text) {
    if (capacity == 0) return destination;
    size_t length = TextPrefixLength(text, capacity - 1);
    for (size_t i = 0; i < length; i++) destination[i] = text[i];
    destination[length] = '\0';
    return destination;
}

char* AppendTextBounded(char* destination, size_t capacity, const char* text) {
    size_t used = 0;
    while (used < capacity && destination[used] != '\0') used++;
    if (used < capacity) CopyTextBounded(destination + used, capacity - used, text);
    return destination;
}

const char* FindTextInText(const char* text, const char* wanted) {
    if (*wanted == '\0') return text;
    for (; *text != '\0'; text++) {
        const char* a = text;
        const char* b = wanted;
        while (*b != '\0' && *a == *b) {
            a++;
            b++;
        }
        if (*b == '\0') return text;
    }
    return nullptr;
}

const char* FindCharInText(const char* text, int byte) {
    for (const char* p = text; *p != '\0'; p += CharLength(p)) {
        if (CharLength(p) == 1 && Byte(p) == static_cast<unsigned char>(byte)) return p;
    }
    return nullptr;
}

const char* FindLastCharInText(const char* text, int byte) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p += CharLength(p)) {
        if (CharLength(p) == 1 && Byte(p) == static_cast<unsigned char>(byte)) last = p;
    }
    return last;
}

int CompareText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b ? 0 : 1;
}

int CompareTextN(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (a[i] != b[i]) return 1;
    }
    return 0;
}

char* UpperCaseText(char* text) {
    for (char* p = text; *p != '\0'; p += CharLength(p)) {
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
    return text;
}

int TextToInt(const char* text) {
    while (*text != '\0' && *text != '-' && !(*text >= '0' && *text <= '9')) text++;
    if (*text == '\0') return -1;
    bool negative = false;
    if (*text == '-') {
        negative = true;
        text++;
    }
    uint32_t value = 0;  // 32-bit wrap-around, as the digit sum in 32-bit arithmetic
    for (; *text >= '0' && *text <= '9'; text++) value = value * 10u + uint32_t(*text - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

char* IntToText(int value, char* out, int radix) {
    if (radix < 2 || radix > 36) radix = 10;
    char* p = out;
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[33];
    int count = 0;
    do {
        uint32_t digit = magnitude % uint32_t(radix);
        digits[count++] = char(digit < 10 ? '0' + digit : 'a' + (digit - 10));
        magnitude /= uint32_t(radix);
    } while (magnitude != 0);
    while (count > 0) *p++ = digits[--count];
    *p = '\0';
    return out;
}
