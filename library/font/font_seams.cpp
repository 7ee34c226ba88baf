// font_seams.cpp - the font layer's lead-byte test, used before the font subsystem
// exists (the font subsystem replaces this file).
#include "library/font/font.h"

int IsLeadByteForCharset(const char* text, int charsetKind) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (charsetKind == FontCharsetHangul) return byte >= 0x80 ? 1 : 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}
