// The glyph rasteriser: fetches glyph bitmaps from GDI (1 bit or 17 grey levels),
// stamps the outline of outlined fonts, and stores the cells in the memory strip or,
// through the work image, in the cache graph. See font.h.
//
// Cell contents by font type (strip: one byte per pixel except type 0; outlined cells
// have the glyph at (edge, edge)):
//   type 0  the glyph's bits                     type 1  0 empty, 1 glyph, 2 outline
//   type 2  level - 1 (0 where empty)            type 3  low nibble level - 1, high
//                                                        nibble the outline's level - 1
// Texture cells hold white with the coverage in the alpha bits; the outline half of
// an outlined font lies cache-width to the right.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/font/font_internal.h"
#include "library/graph/draw_state.h"
#include "platform/gdi/gdi_font.h"

namespace {
uint16_t InternalCodeList[TextCodeListCapacity];
uint16_t GlyphRequestList[GlyphBatchCapacity];

constexpr MAT2 IdentityMatrix = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// The outline stamped around each glyph pixel for edge sizes 1 to 4 (size e uses the
// (2e+1) x (2e+1) square centred on the pixel); larger edges stamp the full square.
const char* const EdgePatterns[4][9] = {
    {".#.", "###", ".#."},
    {".###.", "#####", "#####", "#####", ".###."},
    {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."},
    {"..#####..", ".#######.", "#########", "#########", "#########", "#########", "#########", ".#######.",
     "..#####.."},
};

// Whether the outline of edge size e covers (dx, dy) from a glyph pixel. Size 1
// stamps only the four direct neighbours.
bool Stamps(int e, int dx, int dy) {
    if (e > 4) return true;
    if (e == 1 && dx == 0 && dy == 0) return false;
    return EdgePatterns[e - 1][dy + e][dx + e] == '#';
}

}  // namespace

void WriteGlyphToStripCell(FontRecord* font, int cellY, const GlyphBitmap& glyph) {
    const int e = (font->typeFlags & FontTypeOutlined) ? font->edgeSize : 0;
    const int pitch = font->stripPitch;
    uint8_t* cell = font->strip + size_t(cellY) * pitch;
    auto at = [&](int i, int j) -> uint8_t& { return cell[size_t(j) * pitch + i]; };
    switch (font->typeFlags) {
        case 0: {
            const int bytes = glyph.pitch < pitch ? glyph.pitch : pitch;
            for (int j = 0; j < glyph.height; j++) std::memcpy(&at(0, j), glyph.bytes + size_t(j) * glyph.pitch, bytes);
            break;
        }
        case FontTypeGreyLevels:
            for (int j = 0; j < glyph.height; j++)
                for (int i = 0; i < glyph.width; i++)
                    if (int level = glyph.At(i, j)) at(i, j) = uint8_t(level - 1);
            break;
        case FontTypeOutlined:
            for (int j = 0; j < glyph.height; j++) {
                for (int i = 0; i < glyph.width; i++) {
                    if (!glyph.At(i, j)) continue;
                    at(e + i, e + j) = 1;
                    for (int dy = -e; dy <= e; dy++)
                        for (int dx = -e; dx <= e; dx++)
                            if (Stamps(e, dx, dy) && at(e + i + dx, e + j + dy) != 1) at(e + i + dx, e + j + dy) = 2;
                }
            }
            break;
        default:  // outlined grey levels
            for (int j = 0; j < glyph.height; j++) {
                for (int i = 0; i < glyph.width; i++) {
                    const int level = glyph.At(i, j);
                    if (level == 0) continue;
                    uint8_t& pixel = at(e + i, e + j);
                    pixel = uint8_t((pixel & 0xF0) | (level - 1));
                    for (int dy = -e; dy <= e; dy++) {
                        for (int dx = -e; dx <= e; dx++) {
                            uint8_t& stamp = at(e + i + dx, e + j + dy);
                            if (Stamps(e, dx, dy) && (stamp >> 4) < level - 1) stamp = uint8_t((stamp & 0x0F) | (level - 1) << 4);
                        }
                    }
                }
            }
            break;
    }
}

void WriteGlyphToWorkImage(FontRecord* font, const GlyphBitmap& glyph) {
    GraphImage& work = font->workImage;
    const ColorFormat& format = work.format;
    const int e = (font->typeFlags & FontTypeOutlined) ? font->edgeSize : 0;
    const int half = work.width / 2;
    const uint16_t alpha = uint16_t(format.alphaMask);
    const uint16_t colour = uint16_t(format.redMask | format.greenMask | format.blueMask);
    const int levelShift = format.alphaWidth + format.alphaShift - 4;
    auto at = [&](int i, int j) -> uint16_t& {
        return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(work.pixels) + size_t(j) * work.pitch)[i];
    };
    auto levelPixel = [&](int level) { return uint16_t(level > 0 ? ((level << levelShift) - 1) | colour : colour); };
    switch (font->typeFlags) {
        case 0:
            for (int j = 0; j < glyph.height; j++)
                for (int i = 0; i < glyph.width; i++) at(i, j) = uint16_t((glyph.At(i, j) ? alpha : 0) | colour);
            break;
        case FontTypeGreyLevels:
            for (int j = 0; j < glyph.height; j++)
                for (int i = 0; i < glyph.width; i++) at(i, j) = levelPixel(glyph.At(i, j));
            break;
        case FontTypeOutlined:
            for (int j = 0; j < glyph.height; j++) {
                for (int i = 0; i < glyph.width; i++) {
                    if (!glyph.At(i, j)) continue;
                    at(e + i, e + j) = alpha | colour;
                    for (int dy = -e; dy <= e; dy++)
                        for (int dx = -e; dx <= e; dx++) {
                            uint16_t& stamp = at(half + e + i + dx, e + j + dy);
                            if (Stamps(e, dx, dy) && (stamp & alpha) == 0) stamp = alpha | colour;
                        }
                }
            }
            break;
        default: {  // outlined grey levels: coverages combine as a + b - a * b in sixteenths
            for (int j = 0; j < glyph.height; j++) {
                for (int i = 0; i < glyph.width; i++) {
                    const int level = glyph.At(i, j);
                    if (level == 0) continue;
                    at(e + i, e + j) = uint16_t(level);
                    for (int dy = -e; dy <= e; dy++)
                        for (int dx = -e; dx <= e; dx++) {
                            uint16_t& stamp = at(half + e + i + dx, e + j + dy);
                            if (Stamps(e, dx, dy)) stamp = uint16_t((256 - (16 - stamp) * (16 - level)) >> 4);
                        }
                }
            }
            for (int j = 0; j < glyph.height + 2 * e; j++)
                for (int i = 0; i < glyph.width + 2 * e; i++) {
                    at(i, j) = levelPixel(at(i, j));
                    at(half + i, j) = levelPixel(at(half + i, j));
                }
            break;
        }
    }
}

namespace {
bool IsSpaceCode(uint16_t code) { return code == ' ' || code == FullWidthSpaceCode; }

// The character value GDI takes: lead byte * 256 + second byte for a two-byte code.
UINT GdiCharacter(uint16_t code) { return code > 0xFF ? UINT(code & 0xFF) << 8 | (code >> 8) : code; }

// Rasterises one code into its freshly assigned cell. Spaces and glyphs without ink
// keep a 0 x 0 box and only advance.
void RenderOneGlyph(FontRecord* font, HDC dc, const TEXTMETRICA& metrics, uint16_t code, GlyphCacheEntry* entry) {
    const int e = (font->typeFlags & FontTypeOutlined) ? font->edgeSize : 0;
    const UINT format = (font->typeFlags & FontTypeGreyLevels) ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    const UINT character = GdiCharacter(code);
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineA(dc, character, format, &gm, 0, nullptr, &IdentityMatrix);
    if (size == GDI_ERROR) FatalErrorExit("GetGlyphOutline 関数が失敗しました");
    entry->advance = int16_t(gm.gmCellIncX + 2 * e);
    entry->offsetX = entry->offsetY = 0;
    entry->boxWidth = entry->boxHeight = 0;
    const int pitch = gm.gmBlackBoxY > 0 ? int(size / gm.gmBlackBoxY) & ~3 : 0;
    if (IsSpaceCode(code) || pitch == 0) return;

    uint8_t* bytes = static_cast<uint8_t*>(ZqAllocZero(size));
    if (bytes == nullptr) FatalErrorExit("アンチエイリアス文字取得用バッファの確保に失敗しました");
    if (GetGlyphOutlineA(dc, character, format, &gm, size, bytes, &IdentityMatrix) == GDI_ERROR) {
        FatalErrorExit("GetGlyphOutline 関数が失敗しました");
    }
    // The box is cut to what the buffer holds and to the cell (inside its outline).
    const int levels = format == GGO_BITMAP ? 1 : GlyphBitmap::GreyLevelMax;
    const int inCell = font->cellSize - 2 * e;
    const int inRow = levels == 1 ? pitch * 8 : pitch;
    GlyphBitmap glyph = {bytes, pitch, int(gm.gmBlackBoxX), int(size / pitch), levels};
    if (glyph.height > int(gm.gmBlackBoxY)) glyph.height = int(gm.gmBlackBoxY);
    if (glyph.width > inRow) glyph.width = inRow;
    if (glyph.width > inCell) glyph.width = inCell;
    if (glyph.height > inCell) glyph.height = inCell;

    entry->offsetX = int16_t(gm.gmptGlyphOrigin.x);
    entry->offsetY = int16_t(metrics.tmAscent - gm.gmptGlyphOrigin.y);
    if (font->textureCacheFlag) {
        WriteGlyphToWorkImage(font, glyph);
        StoreWorkImageInCacheGraph(font, GlyphCellX(font, entry->slot), GlyphCellY(font, entry->slot),
                                   glyph.width + 2 * e, glyph.height + 2 * e);
    } else {
        WriteGlyphToStripCell(font, GlyphCellY(font, entry->slot), glyph);
    }
    ZqFree(bytes);
    entry->boxWidth = int16_t(glyph.width + 2 * e);
    entry->boxHeight = int16_t(glyph.height + 2 * e);
}
}  // namespace

GlyphCacheEntry* RenderGlyphsToFontCache(int count, const uint16_t* codes, FontHandle handle) {
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr || FontDisplayMissing()) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) FatalErrorExit("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    HGDIOBJ previous = SelectObject(dc, font->gdiFont);
    if (previous == nullptr) {
        DeleteDC(dc);
        FatalErrorExit("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    }
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);

    GlyphCacheEntry* entry = nullptr;
    for (int k = 0; k < count; k++) {
        entry = AssignGlyphSlot(font, codes[k]);
        RenderOneGlyph(font, dc, metrics, codes[k], entry);
        AdvanceGlyphSlot(font);
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return entry;
}

// Walks at most TextCodeListCapacity characters of the first n bytes of the text into
// codes and rasterises the missing ones in one batch (at most GlyphBatchCapacity, and
// no more than the cache holds). Returns the bytes walked: a lead byte takes the byte
// after it too, even past n (n never exceeds the text, so that byte is at most its NUL).
int PrecacheTextPiece(FontRecord* font, FontHandle handle, const char* text, int n, uint16_t* codes, int* count) {
    int offset = 0, characters = 0, listed = 0;
    const int batchLimit = font->capacity < GlyphBatchCapacity ? font->capacity : GlyphBatchCapacity;
    while (offset < n && characters < TextCodeListCapacity) {
        const uint8_t first = uint8_t(text[offset]);
        uint16_t code = first;
        if (IsLeadByteForCharset(text + offset, font->charsetKind)) {
            code = uint16_t(first | uint8_t(text[offset + 1]) << 8);
            offset += 2;
        } else {
            offset += 1;
        }
        codes[characters++] = code;
        if (!font->glyphMap[code].present && listed < batchLimit) GlyphRequestList[listed++] = code;
    }
    if (listed > 0) RenderGlyphsToFontCache(listed, GlyphRequestList, handle);
    *count = characters;
    return offset;
}

int PrecacheTextGlyphs(FontHandle handle, const char* text, int length, uint16_t* codeList, int* countOut) {
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    int n = text != nullptr ? int(std::strlen(text)) : 0;
    if (length != -1 && length < n) n = length > 0 ? length : 0;
    int count = 0;
    PrecacheTextPiece(font, handle, text, n, codeList != nullptr ? codeList : InternalCodeList, &count);
    if (countOut != nullptr) *countOut = count;
    return 0;
}

int BltByteBufferClipped(int x, int y, int width, int height, const uint8_t* source, uint8_t* dest, int destPitch,
                         int mode) {
    RECT area = {x, y, x + width, y + height};
    ClipRectByRectCore(&area, &g_DrawState.clipRect);
    for (int row = area.top; row < area.bottom; row++) {
        const uint8_t* from = source + size_t(row - y) * width + (area.left - x);
        uint8_t* to = dest + size_t(row) * destPitch + area.left;
        for (int i = 0; i < area.right - area.left; i++) {
            if (mode == 2 || from[i] != 0) to[i] = from[i];
        }
    }
    return 0;
}
