// Stand-ins for the font operations (see font_seams.h): no font can be created, and
// every operation on a font handle refuses it as invalid.
#include "library/font/font_seams.h"

#include "library/core/text.h"

FontHandle CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int SetFontDeletedFlagPointer(FontHandle, int*) { return -1; }
int DestroyFontHandle(FontHandle) { return -1; }
int MeasureTextWidthWithFont(const char*, int, FontHandle, int) { return -1; }

int IsLeadByteForCharset(const char* text, int charsetKind) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (charsetKind == FontCharsetHangul) return byte >= 0x80 ? 1 : 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}
FontHandle FetchDefaultFontHandle(void) { return DefaultFontSettings.handle; }
int IsLiveFontHandle(FontHandle) { return 0; }
int GetFontFaceAndSize(char*, int*, int*, FontHandle) { return -1; }
int SetDefaultFontSizeThickness(const char*, int, int) { return -1; }

// The default-font settings are stored; measuring needs a font, which cannot exist.
DefaultFontSettingsRecord DefaultFontSettings;

int SetDefaultFontSizeCore(int size) {
    DefaultFontSettings.size = size == -1 ? 16 : size;
    return 0;
}

int SetDefaultFontFaceCore(const char* faceName, int charset) {
    CopyTextBounded(DefaultFontSettings.face, sizeof DefaultFontSettings.face, faceName != nullptr ? faceName : "");
    DefaultFontSettings.charsetKind = charset == -1 ? 1 : charset;
    return 0;
}

int SetDefaultFontTypeCore(int typeFlags) {
    DefaultFontSettings.typeFlags = typeFlags == -1 ? 0 : typeFlags;
    return 0;
}

int MeasureTextWidthCore(const char*, int, int) { return -1; }

FontRecord* GetFontRecord(FontHandle) { return nullptr; }
int GetFontHandleSize(FontHandle) { return -1; }
// No font exists to delete, re-create or make: the default font stays missing.
int ResetFontSystem(void) { return 0; }
int ShutdownFontSystem(void) { return 0; }
int RecreateAllFonts(void) { return 0; }
int ApplyDefaultFontSettings(void) { return 0; }
int PrepareFontCacheGraphs(FontHandle) { return -1; }
int DrawOrMeasureTextWithFont(int, int, int, uint8_t, double, double, const char*, uint32_t, MEMIMG*, const RECT*, int,
                              FontHandle, uint32_t, int, int, int*) {
    return -1;
}
