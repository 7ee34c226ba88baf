// font_seams.h - font operations the library core calls before the font subsystem is
// built. Stand-ins in font_seams.cpp report a machine without fonts; the font
// subsystem replaces both files with its own header and definitions.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct MEMIMG;

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

// The default font's settings (graph-manager start-up sets the start values).
struct DefaultFontSettingsRecord {
    FontHandle handle;  // 0 = none yet
    char face[128];
    int32_t size;
    int32_t thickness;
    int32_t typeFlags;    // FontTypeFlags
    int32_t charsetKind;  // FontCharsetKind
    int32_t edgeSize;
    int32_t italic;
    int32_t letterSpacing;
};
extern DefaultFontSettingsRecord DefaultFontSettings;

// The fields of a font that the drawing front ends read.
struct FontRecord {
    int32_t size;
    int32_t typeFlags;          // FontTypeFlags
    int32_t textureCacheFlag;   // 1: glyphs are drawn through a texture graph
    int32_t drawScreenSurface;  // 2D-surface handle of the font's draw screen, -1 = none
};
FontRecord* GetFontRecord(FontHandle font);  // null for an invalid handle
int GetFontHandleSize(FontHandle font);      // the font's size, -1 for an invalid handle

// Fonts around the graph manager's start and stop and a device restore.
int ResetFontSystem(void);
int ShutdownFontSystem(void);
int RecreateAllFonts(void);
// Re-creates the default font when its settings changed; before each default-font use.
int ApplyDefaultFontSettings(void);
// Makes the font's pending graphs (its draw screen among them); 0 or -1.
int PrepareFontCacheGraphs(FontHandle font);
// Draws (drawFlag 1) the text into dest clipped to clip, or measures it (size out:
// width and height). The advance in pixels, -1 when refused.
int DrawOrMeasureTextWithFont(int drawFlag, int x, int y, uint8_t scaleFlag, double scaleX, double scaleY,
                              const char* text, uint32_t color, MEMIMG* dest, const RECT* clip, int transparent,
                              FontHandle font, uint32_t edgeColor, int length, int vertical, int* sizeOut);
