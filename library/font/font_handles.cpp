// Font handles: the table of 40 fonts, creating a GDI font with its fallbacks, laying
// out its glyph cache, and deleting it again. See font.h.
#include <algorithm>
#include <cstdint>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/font/font_internal.h"
#include "library/graph/graph_handles.h"
#include "platform/gdi/gdi_font.h"
#include "platform/kernel/kernel.h"

namespace {
void* FontSlots[FontHandleCapacity];

// The GDI character set of each FontCharsetKind.
constexpr DWORD FontCharsetTable[3] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGEUL_CHARSET};

// The face "ＭＳ ゴシック" that stands in for an empty face name.
constexpr const char FallbackFace[] = "ＭＳ ゴシック";

// The memory strip holds 0x50000 pixels' worth of cells, 20 cells at least.
constexpr int StripPixelBudget = 0x50000;
constexpr int StripMinCells = 20;

// A cache that cannot be had: no memory for the strip, or cells too large to cache.
constexpr const char CacheMemoryFailure[] = "フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle";

// Cache entries keep box sizes and advances in 16 bits, so no cell may be larger.
constexpr int64_t CellSizeMax = INT16_MAX;

// GDI takes weights from 0 (the face's own) to 1000; the thickness counts hundreds.
constexpr int64_t GdiWeightMax = 1000;
}  // namespace

HandleTable FontHandleTable =
    MakeHandleTable(FontSlots, HandleKindFont, FontHandleCapacity, HandleSlotFirstFree, HandleTableWritesLostFlag);

int FontDisplayMissing(void) { return IsDirectDrawUsed() && GetDirectDrawObject() == nullptr ? 1 : 0; }

FontRecord* GetFontRecord(FontHandle font) {
    return static_cast<FontRecord*>(LookupHandleRecord(&FontHandleTable, font));
}

int IsLiveFontHandle(FontHandle font) { return GetFontRecord(font) != nullptr ? 1 : 0; }

int IsLeadByteForCharset(const char* text, int charsetKind) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (charsetKind == FontCharsetHangul) return byte >= 0x80 ? 1 : 0;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}

int ValidFontType(int typeFlags) { return typeFlags == -1 ? 0 : typeFlags & (FontTypeOutlined | FontTypeGreyLevels); }

int ValidFontCharsetKind(int charsetKind) {
    if (charsetKind == -1) return GetOEMCP() == 949 ? FontCharsetHangul : FontCharsetShiftJIS;
    return charsetKind >= FontCharsetDefault && charsetKind <= FontCharsetHangul ? charsetKind : FontCharsetDefault;
}

// The outline patterns start at edge size 1: a smaller edge (0 or below; -1 is the
// default) takes that pattern, the nearest there is, so the font is still made.
static int ValidEdgeSize(int edgeSize) { return edgeSize < 1 ? 1 : edgeSize; }

static HFONT CreateGdiFont(const FontRecord* font, const char* face, DWORD charset, int italic) {
    const int weight = int(std::clamp<int64_t>(int64_t(font->thickness) * 100, 0, GdiWeightMax));
    return CreateFontA(font->size, 0, 0, 0, weight, DWORD(italic), FALSE, FALSE, charset, 0, 0, NONANTIALIASED_QUALITY,
                       FIXED_PITCH, face);
}

// The GDI font with its fallbacks: a named face is tried with the font's character
// set, then DEFAULT_CHARSET, then SHIFTJIS_CHARSET; an empty face takes the fallback
// face, then the same without italic in DEFAULT_CHARSET, then no face at all.
static HFONT CreateGdiFontWithFallbacks(const FontRecord* font, const char** failure) {
    const DWORD charset = FontCharsetTable[font->charsetKind];
    HFONT gdi = nullptr;
    if (font->face[0] != '\0') {
        const DWORD tries[3] = {charset, DEFAULT_CHARSET, SHIFTJIS_CHARSET};
        for (int i = 0; i < 3 && gdi == nullptr; i++) gdi = CreateGdiFont(font, font->face, tries[i], font->italic);
        *failure = "指定のフォントの作成に失敗しました\n";
    } else {
        gdi = CreateGdiFont(font, FallbackFace, charset, font->italic);
        if (gdi == nullptr) gdi = CreateGdiFont(font, FallbackFace, DEFAULT_CHARSET, 0);
        if (gdi == nullptr) gdi = CreateGdiFont(font, nullptr, DEFAULT_CHARSET, 0);
        *failure = "フォントの作成に失敗しました\n";
    }
    return gdi;
}

static int64_t RoundUpTo8(int64_t value) { return (value + 7) & ~int64_t(7); }

// Cell size and line height from the font's metrics: the widest glyph plus 2 (plus
// the outline on both sides), rounded up to 8; at least as tall as the line. Worked
// out wide, as a huge edge size would overflow an int: -1 when the DC cannot be had,
// -2 when the cell is too large for the cache.
static int LayOutCells(FontRecord* font, HFONT gdi) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return -1;
    TEXTMETRICA metrics{};
    HGDIOBJ old = SelectObject(dc, gdi);
    GetTextMetricsA(dc, &metrics);
    if (old != nullptr) SelectObject(dc, old);
    DeleteDC(dc);

    const int64_t outline = (font->typeFlags & FontTypeOutlined) ? 2 * int64_t(font->edgeSize) : 0;
    int64_t cell = RoundUpTo8(int64_t(metrics.tmMaxCharWidth) + 2 + outline);
    int64_t line = int64_t(metrics.tmHeight) + outline;
    if (line & 1) line++;
    if (line > cell) cell = line;
    if (cell > CellSizeMax) return -2;
    font->cellSize = int(cell);
    font->lineHeight = int(line);
    return 0;
}

// The memory strip: one column of cells, 1 bit per pixel for plain fonts and 1 byte
// for the others, and the draw screen the software path blends text from.
static int SetUpMemoryCache(FontRecord* font, const char** failure) {
    const int cell = font->cellSize;
    int cells = StripPixelBudget / (cell * cell);
    if (cells < StripMinCells) cells = StripMinCells;
    if (cells > GlyphCacheCapacityMax) cells = GlyphCacheCapacityMax;
    font->capacity = cells;
    font->cellsPerColumn = cells;
    font->cacheWidth = cell;
    font->cacheHeight = cells * cell;
    font->stripBits = font->typeFlags == 0 ? 1 : 8;
    font->stripPitch = (font->stripBits * cell + 7) / 8;
    font->strip = static_cast<uint8_t*>(ZqAlloc(size_t(font->stripPitch) * font->cacheHeight));
    if (font->strip == nullptr) {
        *failure = CacheMemoryFailure;
        return -1;
    }
    font->drawScreenPending = 1;
    if (PrepareFontGraphs(font) < 0) {
        *failure = "フォント用描画スクリーンの作成に失敗しました\n";
        return -1;
    }
    return 0;
}

FontHandle CreateFontToHandle(const char* face, int size, int thickness, int typeFlags, int charsetKind,
                              int edgeSize, int italic, int slot, int checkNumber) {
    if (FontDisplayMissing()) return -1;

    typeFlags = ValidFontType(typeFlags);
    if (edgeSize > 1) typeFlags |= FontTypeOutlined;
    edgeSize = ValidEdgeSize(edgeSize);
    if (size == -1) size = 16;
    if (thickness == -1) thickness = 6;
    charsetKind = ValidFontCharsetKind(charsetKind);

    if (slot == -1) {
        for (slot = 0; slot < FontHandleCapacity && FontSlots[slot] != nullptr; slot++) {
        }
        if (slot == FontHandleCapacity) {
            return WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", FontHandleCapacity);
        }
    } else if (slot < 0 || slot >= FontHandleCapacity || FontSlots[slot] != nullptr) {
        return -1;
    }

    int check = checkNumber;
    if (check == -1) {
        check = FontHandleTable.nextCheck;
        FontHandleTable.nextCheck = (check + 1) % HandleCheckLimit;
    }
    void* block = nullptr;
    const FontHandle handle = AddHandleRecordAt(&FontHandleTable, slot, check, sizeof(FontRecord), &block);
    if (handle < 0) return WriteLogText("フォント管理用メモリ領域の確保に失敗しました\n");
    FontRecord* font = static_cast<FontRecord*>(block);
    font->drawScreenSurface = -1;
    font->cacheGraph = -1;
    font->edgeGraph = -1;

    if (GetScreenColorBitDepth() == 8) typeFlags &= ~FontTypeGreyLevels;
    font->size = size;
    font->thickness = thickness;
    font->typeFlags = typeFlags;
    font->edgeSize = edgeSize;
    font->italic = italic;
    font->letterSpacing = 0;
    font->charsetKind = charsetKind;
    CopyTextBounded(font->face, sizeof font->face, face != nullptr ? face : "");

    const char* failure = nullptr;
    HFONT gdi = CreateGdiFontWithFallbacks(font, &failure);
    const int layout = gdi != nullptr ? LayOutCells(font, gdi) : 0;
    if (layout < 0) {
        DeleteObject(gdi);
        gdi = nullptr;
        failure = layout == -1 ? "ＤＣの取得に失敗しました\n" : CacheMemoryFailure;
    }
    if (gdi == nullptr) {
        DestroyFontHandle(handle);
        return WriteLogText(failure);
    }
    font->gdiFont = gdi;

    font->textureCacheFlag = FontTextureCacheAvailable();
    if (font->textureCacheFlag) {
        const int result = SetUpFontTextureCache(font, FontCacheTextureFormat(font->typeFlags & FontTypeGreyLevels));
        if (result == -2) {
            DestroyFontHandle(handle);
            return WriteLogText("文字キャッシュ処理用メモリの確保に失敗しました\n");
        }
        if (result == -1) {
            WriteLogText("テクスチャ文字キャッシュの作成に失敗しました\n");
            font->textureCacheFlag = 0;
            font->cacheGraphPending = 0;
        }
    }
    if (!font->textureCacheFlag && SetUpMemoryCache(font, &failure) < 0) {
        DestroyFontHandle(handle);
        return WriteLogText(failure);
    }

    ClearGlyphCache(font);
    font->head.lostFlag = nullptr;
    return handle;
}

int DestroyFontHandle(FontHandle handle) {
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    if (font->gdiFont != nullptr) DeleteObject(font->gdiFont);
    ZqFree(font->strip);
    if (font->drawScreenSurface != -1) DeleteSurface2D(font->drawScreenSurface);
    if (font->cacheGraph != -1) {
        DeleteGraphHandle(font->cacheGraph, 0);
        if (font->edgeGraph != -1) DeleteGraphHandle(font->edgeGraph, 0);
    }
    ZqFree(font->workImage.pixels);
    return DeleteHandleRecord(&FontHandleTable, handle);
}

int SetFontLetterSpacing(int spacing, FontHandle handle) {
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    font->letterSpacing = spacing;
    return 0;
}

int SetFontDeletedFlagPointer(FontHandle handle, int* deletedFlag) {
    return SetHandleLostFlagPointer(&FontHandleTable, handle, deletedFlag);
}

int GetFontFaceAndSize(char* faceOut, int* sizeOut, int* thicknessOut, FontHandle handle) {
    const FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    if (faceOut != nullptr) CopyText(faceOut, font->face);
    if (sizeOut != nullptr) *sizeOut = font->size;
    if (thicknessOut != nullptr) *thicknessOut = font->thickness;
    return 0;
}

int GetFontHandleSize(FontHandle handle) {
    const FontRecord* font = GetFontRecord(handle);
    return font != nullptr ? font->size : -1;
}

FontHandle FetchDefaultFontHandle(void) { return DefaultFontSettings.handle; }
