// font.h - font handles, the glyph cache, and drawing and measuring strings.
//
// Every string is drawn or measured with a font handle (kind HandleKindFont, 40 slots).
// A font is a GDI font (platform/gdi/gdi_font.h) plus a glyph cache: the glyphs a string
// needs are rasterised once into cache cells, either a memory strip (software and
// DirectDraw paths) or a texture graph (hardware path, when Direct3D offers the
// A4R4G4B4 and A1R5G5B5 texture formats).
//
//     FontHandle font = CreateFontToHandle(nullptr, 16, 6, FontTypeGreyLevels, -1, -1, 0, -1, -1);
//     int width = MeasureTextWidthWithFont("Score", -1, font, 0);
//     DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, "Score", colour, &image, &clip, 1, font, 0, -1, 0, nullptr);
//     DestroyFontHandle(font);
//
// Texts are multibyte: a lead byte (IsLeadByteForCharset with the font's charset kind)
// starts a two-byte character, whose code is its two bytes read as a little-endian u16
// (lead byte in the low half). Colours are pixel values of the screen's format.
//
// The library's default font lives in DefaultFontSettings: graph-management start-up
// sets its start values (InitDefaultFontSettings) and calls ResetFontSystem; each use
// of the default font first calls ApplyDefaultFontSettings, which re-creates the font
// when the settings changed.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"
#include "library/graph/graph_image.h"
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

enum {
    FontHandleCapacity = 40,
    FontFaceCapacity = 256,         // FontRecord face, with its NUL
    DefaultFontFaceCapacity = 128,  // DefaultFontSettings face, with its NUL
    GlyphCacheCapacityMax = 2024,
    GlyphMapSize = 65536,
    GlyphBatchCapacity = 256,       // codes rasterised in one batch
    TextCodeListCapacity = 512,     // characters walked per piece of a string
};

struct GlyphMapEntry;

// One cache slot: a glyph's metrics and the cell its pixels occupy. Box sizes and the
// advance include the outline margin (2 x edge size) of outlined fonts.
struct GlyphCacheEntry {
    int16_t inUse;
    int16_t offsetX;   // left of the black box from the pen
    int16_t offsetY;   // top of the black box below the top of the line
    int16_t advance;
    int32_t slot;      // cell number; -1 in the entry after the last
    int16_t boxWidth;
    int16_t boxHeight;
    GlyphMapEntry* owner;
};

// Indexed by character code.
struct GlyphMapEntry {
    int32_t present;
    GlyphCacheEntry* entry;
};

struct FontRecord {
    HandleRecordHead head;  // check number; the deleted flag is written 1 on deletion
    GlyphCacheEntry cacheEntries[GlyphCacheCapacityMax + 1];
    GlyphMapEntry glyphMap[GlyphMapSize];
    int32_t nextSlot;
    int32_t capacity;

    // Memory cache: one column of cells, 1 bit (type 0) or 1 byte per pixel.
    uint8_t* strip;
    int32_t stripPitch;
    int32_t stripBits;

    char face[FontFaceCapacity];  // empty: the fallback face
    int32_t thickness;
    int32_t size;
    int32_t lineHeight;           // text height, plus 2 x edge size when outlined, made even
    int32_t italic;
    int32_t letterSpacing;        // extra pixels per advance
    int32_t cellSize;
    HFONT gdiFont;
    int32_t typeFlags;            // FontTypeFlags
    int32_t charsetKind;          // FontCharsetKind
    int32_t edgeSize;
    int32_t cacheWidth;
    int32_t cacheHeight;
    int32_t cellsPerColumn;

    int32_t drawScreenSurface;           // 2D surface the software path draws blended text in; -1 none
    int32_t drawScreenPending;    // 1: make the draw screen (again)
    int32_t cacheGraph;           // texture cache graph; -1 none
    int32_t edgeGraph;            // its outline half (outlined fonts); -1 none
    int32_t cacheGraphPending;    // 1: make the cache graph (again)
    GraphImage workImage;         // one glyph cell assembled for the cache graph
    int32_t textureCacheFlag;         // 1: glyphs live in the cache graph, else in the strip
};

struct DefaultFontSettingsRecord {
    FontHandle handle;  // 0 before the first font
    char face[DefaultFontFaceCapacity];
    int32_t size;
    int32_t thickness;
    int32_t typeFlags;
    int32_t charsetKind;
    int32_t edgeSize;
    int32_t italic;
    int32_t letterSpacing;
};

extern HandleTable FontHandleTable;
extern DefaultFontSettingsRecord DefaultFontSettings;

// Handles. -1 in size, thickness, type, charset kind, edge size, slot or check means
// the default; face null or empty takes the fallback face. -1 after a log line.
FontHandle CreateFontToHandle(const char* face, int size, int thickness, int typeFlags, int charsetKind,
                              int edgeSize, int italic, int slot, int checkNumber);
int DestroyFontHandle(FontHandle font);
int SetFontLetterSpacing(int spacing, FontHandle font);
int SetFontDeletedFlagPointer(FontHandle font, int* deletedFlag);  // *deletedFlag = 0 now
int GetFontFaceAndSize(char* faceOut, int* sizeOut, int* thicknessOut, FontHandle font);  // faceOut: 256 bytes
int GetFontHandleSize(FontHandle font);  // -1 for a bad handle
FontRecord* GetFontRecord(FontHandle font);
int IsLiveFontHandle(FontHandle font);
FontHandle FetchDefaultFontHandle(void);

// 1 when the byte at text starts a two-byte character: for FontCharsetHangul any byte
// with bit 7 set, for every other kind 0x81..0x9F and 0xE0..0xFC.
int IsLeadByteForCharset(const char* text, int charsetKind);

// The default font (bodies of the public setters; each returns 0).
int InitDefaultFontSettings(void);  // start values: size 16, thickness 6, type 0, Shift-JIS, edge 1
int SetDefaultFontSizeCore(int size);                          // -1: 16
int SetDefaultFontFaceCore(const char* face, int charsetKind);  // null: empty; -1: by the OEM code page
int SetDefaultFontTypeCore(int typeFlags);                     // -1: 0
// Face (null: empty), size and thickness of the default font again after a mode change;
// size and thickness -1: 16 and 6; -1 without a DirectDraw object.
int SetDefaultFontSizeThickness(const char* face, int size, int thickness);
int ApplyDefaultFontSettings(void);
int ResetFontSystem(void);     // deletes every font and makes the default font again
int ShutdownFontSystem(void);  // ResetFontSystem, then the default font goes too
int RecreateAllFonts(void);    // after a device restore: same handles, fresh caches

int MeasureTextWidthCore(const char* text, int length, int vertical);
int MeasureTextWidthWithFont(const char* text, int length, FontHandle font, int vertical);

// Glyph cache.
int ResetGlyphCache(FontHandle font);
int PrepareFontCacheGraphs(FontHandle font);  // makes the pending draw screen and cache graph

// Glyph rasteriser. codes: count character codes (count >= 1). Returns the entry of the
// last code, or null for a bad handle.
GlyphCacheEntry* RenderGlyphsToFontCache(int count, const uint16_t* codes, FontHandle font);
// Writes the codes of the text's characters (at most TextCodeListCapacity) into
// codeList (null: an internal list) and rasterises the missing ones in one batch.
int PrecacheTextGlyphs(FontHandle font, const char* text, int length, uint16_t* codeList, int* countOut);
// Copies a width x height byte block (pitch width) to (x, y) of a buffer of the given
// pitch, clipped to the draw state's clip rectangle: every byte in mode 2, only
// non-zero bytes in mode 0.
int BltByteBufferClipped(int x, int y, int width, int height, const uint8_t* source, uint8_t* dest, int destPitch,
                         int mode);

// Draws (drawFlag 1) or measures the first length bytes of the text (-1: all). Draws
// into dest within clip for memory-strip fonts, through the graph drawers into the
// draw target for texture-cache fonts. Returns the advance in pixels (0 for a null or
// empty text), or -1 when refused. sizeOut: {width, height}, swapped for vertical text.
int DrawOrMeasureTextWithFont(int drawFlag, int x, int y, uint8_t scaleFlag, double scaleX, double scaleY,
                              const char* text, uint32_t color, MEMIMG* dest, const RECT* clip, int transparent,
                              FontHandle font, uint32_t edgeColor, int length, int vertical, int* sizeOut);

// The pixel value the colour (a screen pixel value) takes when a string is drawn into
// dest: scaled by the draw brightness, in dest's layout without unused or alpha bits.
uint32_t FontTextPixelValue(const MEMIMG* dest, uint32_t color);

// Writes one memory-strip glyph cell into dest at the pen position, clipped to clip.
// The pixel layout follows dest: 1 byte (palette index), 2 bytes (RGB565), 4 bytes
// (RGB565, alpha, pad for a 16-bit image with alpha; ARGB8888 for 32 bits).
void BlitGlyphToMemImg(MEMIMG* dest, const RECT* clip, const FontRecord* font, const GlyphCacheEntry* glyph,
                       const RECT* sourceRect, int x, int y, int pen, int vertical, uint32_t color,
                       uint32_t edgeColor, int transparent);
