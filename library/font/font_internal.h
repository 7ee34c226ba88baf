// font_internal.h - what the font files share among themselves.
#pragma once

#include <cstdint>

#include "library/font/font.h"

struct ColorFormat;

// The code of the full-width space (bytes 0x81 0x40): like ' ', it only advances.
constexpr uint16_t FullWidthSpaceCode = 0x4081;

// 1 while DirectDraw output is chosen but its object does not exist (fonts refuse then).
int FontDisplayMissing(void);

// The type and charset kind a font is made with. -1 takes the default (type 0; the
// charset kind of the OEM code page); a type keeps only its two flag bits and a charset
// kind outside 0..2 is FontCharsetDefault, so the default-font settings hold what the
// font is made with and a bad value never picks a cell layout that does not exist.
int ValidFontType(int typeFlags);
int ValidFontCharsetKind(int charsetKind);

// The top-left pixel of a slot's cell: cells run down a column, then on to the next.
inline int GlyphCellX(const FontRecord* font, int slot) { return slot / font->cellsPerColumn * font->cellSize; }
inline int GlyphCellY(const FontRecord* font, int slot) { return slot % font->cellsPerColumn * font->cellSize; }

// PrepareFontCacheGraphs and ResetGlyphCache on a record.
int PrepareFontGraphs(FontRecord* font);
void ClearGlyphCache(FontRecord* font);

// The entry at the ring position, evicting what it held, now owned by the code; its
// cell's pixels are cleared. The ring advances when the glyph is stored
// (AdvanceGlyphSlot).
GlyphCacheEntry* AssignGlyphSlot(FontRecord* font, uint16_t code);
void AdvanceGlyphSlot(FontRecord* font);

// Walks at most TextCodeListCapacity characters of the first n bytes of the text into
// codes (count receives how many) and rasterises the missing ones in one batch;
// returns the bytes walked.
int PrecacheTextPiece(FontRecord* font, FontHandle handle, const char* text, int n, uint16_t* codes, int* count);

// A fetched glyph bitmap: GGO_BITMAP bits (most significant first) or GRAY4 levels.
struct GlyphBitmap {
    static constexpr int GreyLevelMax = 16;
    const uint8_t* bytes;
    int pitch;
    int width;   // cut to the cell
    int height;
    int levels;  // 1: bits, else grey levels 0..16
    int At(int i, int j) const {
        const uint8_t* row = bytes + intptr_t(j) * pitch;
        if (levels == 1) return (row[i >> 3] >> (7 - (i & 7))) & 1;
        return row[i] < GreyLevelMax ? row[i] : GreyLevelMax;
    }
};

// Writes a glyph into the strip cell starting at row cellY, or into the cleared work
// image, by the font's type (see glyph_raster.cpp).
void WriteGlyphToStripCell(FontRecord* font, int cellY, const GlyphBitmap& glyph);
void WriteGlyphToWorkImage(FontRecord* font, const GlyphBitmap& glyph);

// Texture cache (hardware path). The formats the cache needs, or null when the
// Direct3D path does not offer them: A4R4G4B4 for grey fonts, A1R5G5B5 otherwise.
const ColorFormat* FontCacheTextureFormat(int greyLevels);
int FontTextureCacheAvailable(void);
// Lays out the texture cache (a power-of-two graph of at least 10 cells), makes the
// cache graph and the work image of one glyph cell in workFormat. -1 when the graph
// cannot be made (the caller falls back to the memory strip), -2 when the work image
// cannot be allocated.
int SetUpFontTextureCache(FontRecord* font, const ColorFormat* workFormat);
// Makes the pending cache graph (and the outline half), filled with transparent white.
int MakeFontCacheGraph(FontRecord* font);
// Copies the work image's glyph into the cache graph at the cell (x, y).
void StoreWorkImageInCacheGraph(FontRecord* font, int x, int y, int width, int height);
// Draws one cached glyph with the graph drawers (outline first, then body).
void DrawGlyphWithCacheGraph(FontRecord* font, const GlyphCacheEntry* glyph, const RECT* source, int x, int y,
                             double pen, int vertical, int scaled, double scaleX, double scaleY, uint32_t color,
                             uint32_t edgeColor);
