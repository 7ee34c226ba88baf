// Software glyph blitting: one memory-strip glyph cell written into a MEMIMG,
// horizontally or turned 90 degrees clockwise, clipped. It stores colours and
// coverage; blending with what lies below is left to whoever draws the image later.
// See font.h.
//
// Every strip value (a bit, or a byte) maps to one destination pixel or to nothing.
// The map is built once per glyph as a table of 2 or 256 entries, so the walk is a
// table look-up and one store per pixel, one loop per pixel size, source depth and
// transparent flag.
//
// Destination pixels by the image's layout and the font type:
//   1 byte    types 0, 1: palette index          types 2, 3: nothing
//   2 bytes   types 0, 1: RGB565                 types 2, 3: nothing (no alpha to hold them)
//   4 bytes   16-bit with alpha: RGB565 word, alpha byte, pad byte; 32-bit: ARGB8888.
//             Types 0, 1 store full alpha in a 16-bit alpha image; types 2 and 3 the
//             coverage (see CoverageTable).
#include <cstring>

#include "library/font/font_internal.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/memimg_formats.h"

namespace {

struct GlyphValueTable {
    uint32_t pixel[256];
    uint8_t covered[256];
};

// How a destination keeps colour and coverage.
struct PixelLayout {
    int bytes;      // 1, 2 or 4
    bool alpha16;   // RGB565 word, alpha byte, pad byte
    bool rgb565;    // colour channels are 5/6/5 fields, else bytes
};

uint32_t WithAlpha(const PixelLayout& layout, uint32_t colour, int alpha) {
    return layout.alpha16 ? (colour & 0xFFFF) | uint32_t(alpha) << 16 : (colour & 0xFFFFFF) | uint32_t(alpha) << 24;
}

// A body pixel partly covering its outline: A = (15 - b) e + 16 b, f = 4096 b / A, and
// each channel E + floor((T - E) f / 256), per 5/6/5 field or per byte.
uint32_t MixBodyAndOutline(const PixelLayout& layout, uint32_t body, uint32_t edge, int b, int e) {
    const int A = (15 - b) * e + 16 * b;
    const int f = b * 4096 / A;
    static const uint32_t fields565[3][2] = {{11, 0x1F}, {5, 0x3F}, {0, 0x1F}};
    static const uint32_t fields888[3][2] = {{16, 0xFF}, {8, 0xFF}, {0, 0xFF}};
    const auto& fields = layout.rgb565 ? fields565 : fields888;
    uint32_t colour = 0;
    for (const auto& field : fields) {
        const int t = int((body >> field[0]) & field[1]), s = int((edge >> field[0]) & field[1]);
        colour |= uint32_t(s + (((t - s) * f) >> 8)) << field[0];  // >> floors negative values
    }
    return WithAlpha(layout, colour, A);
}

// The destination pixel of every strip value of the font type; false when the
// destination cannot hold the type.
bool BuildValueTable(GlyphValueTable* table, const PixelLayout& layout, int type, uint32_t body, uint32_t edge) {
    std::memset(table->covered, 0, sizeof table->covered);
    const bool grey = (type & FontTypeGreyLevels) != 0;
    if (grey && (layout.bytes != 4)) return false;
    auto set = [&](int value, uint32_t pixel) {
        table->pixel[value] = pixel;
        table->covered[value] = 1;
    };
    // Types 0 and 1 in a 16-bit image with alpha are opaque.
    auto plain = [&](uint32_t colour) { return layout.alpha16 ? WithAlpha(layout, colour, 255) : colour; };
    switch (type) {
        case 0:
            set(1, plain(body));
            break;
        case FontTypeOutlined:
            set(1, plain(body));
            for (int value = 2; value < 256; value++) set(value, plain(edge));
            break;
        case FontTypeGreyLevels:
            for (int v = 1; v < 16; v++) set(v, WithAlpha(layout, body, 16 * v));
            break;
        default:
            for (int value = 1; value < 256; value++) {
                const int b = value & 0x0F, e = value >> 4;
                if (b == 15) set(value, WithAlpha(layout, body, 255));
                else if (b > 0) set(value, MixBodyAndOutline(layout, body, edge, b, e));
                else set(value, WithAlpha(layout, edge, 16 * e));
            }
            break;
    }
    return true;
}

// The clipped walk: rows and columns of the source, and where its first pixel lands
// with the steps from one source column and one source row to the next.
struct GlyphWalk {
    const uint8_t* source;  // first source row
    int sourcePitch;
    int sourceX;            // first source column (in pixels)
    int columns, rows;
    uint8_t* dest;
    intptr_t columnStep, rowStep;
};

template <int Bytes>
inline void StorePixel(uint8_t* at, uint32_t value) {
    if constexpr (Bytes == 1) *at = uint8_t(value);
    else if constexpr (Bytes == 2) std::memcpy(at, &value, 2);  // little-endian: the low half
    else std::memcpy(at, &value, 4);
}

template <int Bytes, int SourceBits, bool Transparent>
void WalkGlyph(const GlyphWalk& w, const GlyphValueTable& table) {
    for (int j = 0; j < w.rows; j++) {
        const uint8_t* row = w.source + intptr_t(j) * w.sourcePitch;
        uint8_t* at = w.dest + intptr_t(j) * w.rowStep;
        for (int i = 0, column = w.sourceX; i < w.columns; i++, column++, at += w.columnStep) {
            const unsigned value =
                SourceBits == 1 ? (row[column >> 3] >> (7 - (column & 7))) & 1u : unsigned(row[column]);
            if (table.covered[value]) StorePixel<Bytes>(at, table.pixel[value]);
            else if (!Transparent) StorePixel<Bytes>(at, 0);
        }
    }
}

template <int Bytes>
void WalkGlyphFor(const GlyphWalk& w, const GlyphValueTable& table, int sourceBits, bool transparent) {
    if (sourceBits == 1) {
        if (transparent) WalkGlyph<Bytes, 1, true>(w, table);
        else WalkGlyph<Bytes, 1, false>(w, table);
    } else {
        if (transparent) WalkGlyph<Bytes, 8, true>(w, table);
        else WalkGlyph<Bytes, 8, false>(w, table);
    }
}

bool LayoutOf(const MEMIMG* image, PixelLayout* layout) {
    if (image->paletteFlag || image->formatKind == MemImgFormat8) {
        *layout = {1, false, false};
        return true;
    }
    if (image->formatKind == MemImgFormat16) {
        *layout = {image->alphaFlag ? 4 : 2, image->alphaFlag != 0, true};
        return true;
    }
    if (image->formatKind == MemImgFormat32) {
        *layout = {4, false, false};
        return true;
    }
    return false;
}

}  // namespace

void BlitGlyphToMemImg(MEMIMG* dest, const RECT* clip, const FontRecord* font, const GlyphCacheEntry* glyph,
                       const RECT* sourceRect, int x, int y, int pen, int vertical, uint32_t color,
                       uint32_t edgeColor, int transparent) {
    PixelLayout layout{};
    if (dest == nullptr || dest->pixels == nullptr || !LayoutOf(dest, &layout)) return;
    GlyphValueTable table;
    if (!BuildValueTable(&table, layout, font->typeFlags, color, edgeColor)) return;

    const int width = sourceRect->right - sourceRect->left, height = sourceRect->bottom - sourceRect->top;
    RECT glyphRect;
    int X1 = 0, Y1 = 0;
    if (!vertical) {
        glyphRect = {x + pen + glyph->offsetX, y + glyph->offsetY, 0, 0};
        glyphRect.right = glyphRect.left + width;
        glyphRect.bottom = glyphRect.top + height;
    } else {
        X1 = x + font->lineHeight - glyph->offsetY;
        Y1 = y + pen + glyph->offsetX;
        glyphRect = {X1 - height, Y1, X1, Y1 + width};
    }
    RECT area = glyphRect;
    const RECT image = {0, 0, dest->width, dest->height};
    if (clip != nullptr) ClipRectByRectCore(&area, clip);
    ClipRectByRectCore(&area, &image);
    if (area.left >= area.right || area.top >= area.bottom) return;

    // The source columns i0..i1 and rows j0..j1 that land inside the area.
    int i0, i1, j0, j1;
    GlyphWalk walk{};
    const int bytes = layout.bytes;
    if (!vertical) {
        i0 = area.left - glyphRect.left;
        i1 = width - (glyphRect.right - area.right);
        j0 = area.top - glyphRect.top;
        j1 = height - (glyphRect.bottom - area.bottom);
        walk.dest = MemImgPixelAddress(dest, area.left, area.top);
        walk.columnStep = bytes;
        walk.rowStep = dest->pitch;
    } else {
        // Source (i, j) lands on (X1 - 1 - j, Y1 + i).
        j0 = glyphRect.right - area.right;
        j1 = height - (area.left - glyphRect.left);
        i0 = area.top - glyphRect.top;
        i1 = width - (glyphRect.bottom - area.bottom);
        walk.dest = MemImgPixelAddress(dest, X1 - 1 - j0, Y1 + i0);
        walk.columnStep = dest->pitch;
        walk.rowStep = -bytes;
    }
    walk.source = font->strip + intptr_t(sourceRect->top + j0) * font->stripPitch;
    walk.sourcePitch = font->stripPitch;
    walk.sourceX = sourceRect->left + i0;
    walk.columns = i1 - i0;
    walk.rows = j1 - j0;

    InvalidateMemImgDerivedData(dest);
    const bool keep = transparent != 0;
    switch (bytes) {
        case 1: WalkGlyphFor<1>(walk, table, font->stripBits, keep); break;
        case 2: WalkGlyphFor<2>(walk, table, font->stripBits, keep); break;
        default: WalkGlyphFor<4>(walk, table, font->stripBits, keep); break;
    }
}
