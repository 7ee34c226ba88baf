// font_seams.h - font operations the library core calls before the font subsystem is
// built. Stand-ins in font_seams.cpp report a machine without fonts; the font
// subsystem replaces both files with its own header and definitions.
#pragma once

using FontHandle = int;

enum FontTypeFlags {
    FontTypeOutlined = 1,    // glyphs get an outline of edge-size pixels
    FontTypeGreyLevels = 2,  // 17 grey levels instead of 1 bit
};

enum FontCharsetKind {
    FontCharsetDefault = 0,
    FontCharsetShiftJIS = 1,
    FontCharsetHangul = 2,
};

FontHandle CreateFontToHandle(const char* faceName, int size, int thickness, int typeFlags, int charsetKind,
                              int edgeSize, int italic, int slot, int checkNumber);
int SetFontDeletedFlagPointer(FontHandle font, int* deletedFlag);
int DestroyFontHandle(FontHandle font);
int MeasureTextWidthWithFont(const char* text, int length, FontHandle font, int vertical);
int DrawTextWithFontHandle(int x, int y, const char* text, int color, FontHandle font, int edgeColor,
                           int vertical);

// 1 when the byte at `text` starts a two-byte character under the charset kind:
// for FontCharsetHangul any byte with the high bit set, for every other kind the
// Shift-JIS lead bytes 0x81-0x9F and 0xE0-0xFC; else 0.
int IsLeadByteForCharset(const char* text, int charsetKind);
// The default font's settings and measuring (the public font entry points).
int SetDefaultFontSizeCore(int size);
int SetDefaultFontFaceCore(const char* faceName, int charset);
int SetDefaultFontTypeCore(int typeFlags);
int MeasureTextWidthCore(const char* text, int length, int flag);

// The default font across a screen-mode change.
FontHandle FetchDefaultFontHandle(void);
int IsLiveFontHandle(FontHandle font);  // 1 for a live font
int GetFontFaceAndSize(char* faceName, int* size, int* thickness, FontHandle font);  // -1 for a bad handle
int SetDefaultFontSizeThickness(const char* faceName, int size, int thickness);
