// font.h - fonts and text (declarations the other subsystems call).
#pragma once

// The character set of a font, which also decides how its text is split into
// characters.
enum FontCharsetKind {
    FontCharsetDefault = 0,
    FontCharsetShiftJIS = 1,
    FontCharsetHangul = 2,
};

// 1 when the byte at `text` starts a two-byte character under the charset kind:
// for FontCharsetHangul any byte with the high bit set, for every other kind the
// Shift-JIS lead bytes 0x81-0x9F and 0xE0-0xFC; else 0.
int IsLeadByteForCharset(const char* text, int charsetKind);
