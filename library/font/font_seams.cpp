// Stand-ins for the font operations (see font_seams.h): no font can be created, and
// every operation on a font handle refuses it as invalid.
#include "library/font/font_seams.h"

#include "library/core/text.h"

FontHandle CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int SetFontDeletedFlagPointer(FontHandle, int*) { return -1; }
int DestroyFontHandle(FontHandle) { return -1; }
int MeasureTextWidthWithFont(const char*, int, FontHandle, int) { return -1; }
int DrawTextWithFontHandle(int, int, const char*, int, FontHandle, int, int) { return -1; }
FontHandle FetchDefaultFontHandle(void) { return -1; }
int IsLiveFontHandle(FontHandle) { return 0; }
int GetFontFaceAndSize(char*, int*, int*, FontHandle) { return -1; }
int SetDefaultFontSizeThickness(const char*, int, int) { return -1; }

int IsLeadByteForCharset(const char* text, int charsetKind) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (charsetKind == FontCharsetHangul) return byte >= 0x80 ? 1 : 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}
// The default-font settings are stored; measuring needs a font, which cannot exist.
namespace {
int defaultFontSize = 16;
int defaultFontType = 0;
int defaultFontCharset = 1;
char defaultFontFace[64];
}  // namespace

int SetDefaultFontSizeCore(int size) {
    defaultFontSize = size == -1 ? 16 : size;
    return 0;
}

int SetDefaultFontFaceCore(const char* faceName, int charset) {
    CopyTextBounded(defaultFontFace, sizeof defaultFontFace, faceName != nullptr ? faceName : "");
    defaultFontCharset = charset == -1 ? 1 : charset;
    return 0;
}

int SetDefaultFontTypeCore(int typeFlags) {
    defaultFontType = typeFlags == -1 ? 0 : typeFlags;
    return 0;
}

int MeasureTextWidthCore(const char*, int, int) { return -1; }
