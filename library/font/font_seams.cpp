// Stand-ins for the font operations (see font_seams.h): no font can be created, and
// every operation on a font handle refuses it as invalid.
#include "library/font/font_seams.h"

FontHandle CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int SetFontDeletedFlagPointer(FontHandle, int*) { return -1; }
int DestroyFontHandle(FontHandle) { return -1; }
int MeasureTextWidthWithFont(const char*, int, FontHandle, int) { return -1; }
int DrawTextWithFontHandle(int, int, const char*, int, FontHandle, int, int) { return -1; }

int IsLeadByteForCharset(const char* text, int charsetKind) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (charsetKind == FontCharsetHangul) return byte >= 0x80 ? 1 : 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}
