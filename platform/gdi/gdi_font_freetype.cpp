// The FreeType font provider: faces found through fontconfig (gdi_font_match.h), sized
// by the cell-height rule, glyphs rendered from outlines and cut to the text metrics.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

#include "platform/gdi/gdi_font_codepage.h"
#include "platform/gdi/gdi_font_internal.h"
#include "platform/gdi/gdi_font_match.h"

namespace {

constexpr int kMaxCellHeight = 1024;
constexpr int kDefaultCellHeight = 16;
// The slant given to an upright face asked for italic: x += 0.2126 y.
constexpr FT_Fixed kShear = 0x0366A;

struct FreeTypeFace {
    FT_Face face;
    std::string family;
    UINT codePage; // of the character values GetGlyphOutlineA receives
    bool embolden; // bold asked of a face without it: one pixel wider
    bool oblique; // italic asked of an upright face
    // The cell glyphs are cut to: above and below the baseline, and across.
    int ascent;
    int descent;
    int maxWidth;
};

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) made = nullptr;
        return made;
    }();
    return library;
}

// The face's vertical extent in font units: the OS/2 Windows ascent and descent, which
// the platform takes as the cell; the horizontal header or the bounding box without them.
void VerticalUnits(FT_Face face, const TT_OS2* os2, double* ascent, double* descent) {
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
    } else if (face->ascender - face->descender > 0) {
        *ascent = face->ascender;
        *descent = -face->descender;
    } else {
        *ascent = static_cast<double>(face->bbox.yMax);
        *descent = static_cast<double>(-face->bbox.yMin);
    }
}

// Sizes the face for the request and fills the text metrics.
bool SizeFace(FreeTypeFace* f, const LOGFONTA& request, const GdiFontFile& file, TEXTMETRICA* tm) {
    FT_Face face = f->face;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (os2 && os2->version == 0xFFFF) os2 = nullptr;
    double ascentUnits, descentUnits;
    VerticalUnits(face, os2, &ascentUnits, &descentUnits);
    double cellUnits = ascentUnits + descentUnits;
    double upem = face->units_per_EM;
    if (cellUnits <= 0 || upem <= 0) return false;

    // Pixels per font unit: a positive height is the cell, a negative one the em.
    int height = request.lfHeight == 0 ? kDefaultCellHeight : request.lfHeight;
    double scale = height > 0 ? std::min(height, kMaxCellHeight) / cellUnits
                              : std::min(-static_cast<double>(height), double{kMaxCellHeight}) / upem;
    int cell = height > 0 ? std::min(height, kMaxCellHeight)
                          : std::clamp(static_cast<int>(std::lround(cellUnits * scale)), 1, kMaxCellHeight);
    double em = scale * upem;
    double averageUnits = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
    // A width asks for that average character width.
    double widthScale =
        request.lfWidth == 0 ? 1.0 : std::abs(static_cast<double>(request.lfWidth)) / (averageUnits * scale);
    widthScale = std::clamp(widthScale, 1.0 / 16, 16.0);
    double emX = em * widthScale;
    if (FT_Set_Char_Size(face, std::lround(emX * 64), std::lround(em * 64), 72, 72) != 0) return false;

    int weight = request.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(request.lfWeight, 1000);
    int faceWeight = os2 ? os2->usWeightClass : ((face->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL);
    f->embolden = weight >= FW_SEMIBOLD && faceWeight < FW_SEMIBOLD;
    f->oblique = request.lfItalic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    f->ascent = std::clamp(static_cast<int>(std::lround(ascentUnits * scale)), 0, cell);
    f->descent = cell - f->ascent;
    double advanceUnits = hhea ? hhea->advance_Width_Max : face->max_advance_width;
    f->maxWidth = std::max(1, static_cast<int>(std::ceil(advanceUnits * scale * widthScale - 1e-6))) +
                  (f->embolden ? 1 : 0) + (f->oblique ? static_cast<int>(std::ceil(cell * kShear / 65536.0)) : 0);

    *tm = TEXTMETRICA{};
    tm->tmHeight = cell;
    tm->tmAscent = f->ascent;
    tm->tmDescent = f->descent;
    tm->tmInternalLeading = std::max(0, cell - static_cast<int>(std::lround(em)));
    if (hhea && os2) {
        double gap = hhea->Line_Gap - (cellUnits - (hhea->Ascender - hhea->Descender));
        tm->tmExternalLeading = std::max(0, static_cast<int>(std::lround(gap * scale)));
    }
    tm->tmAveCharWidth = std::max(1, static_cast<int>(std::lround(averageUnits * scale * widthScale)));
    tm->tmMaxCharWidth = f->maxWidth;
    tm->tmWeight = weight;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = request.lfItalic ? 1 : 0;
    tm->tmUnderlined = request.lfUnderline ? 1 : 0;
    tm->tmStruckOut = request.lfStrikeOut ? 1 : 0;
    bool fixed = file.monospaced || FT_IS_FIXED_WIDTH(face);
    tm->tmPitchAndFamily = static_cast<BYTE>((fixed ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                                             (request.lfPitchAndFamily & 0xF0));
    tm->tmCharSet = static_cast<BYTE>(f->codePage == 932    ? SHIFTJIS_CHARSET
                                      : f->codePage == 949  ? HANGEUL_CHARSET
                                      : f->codePage == 1252 ? ANSI_CHARSET
                                                            : request.lfCharSet);
    return true;
}

void* Open(const LOGFONTA& request, TEXTMETRICA* metrics) {
    if (!Library()) return nullptr;
    for (const GdiFontFile& file : GdiFindFontFiles(request)) {
        FT_Face face = nullptr;
        if (FT_New_Face(Library(), file.path.c_str(), file.index, &face) != 0) continue;
        auto* f = new FreeTypeFace{face, file.family, GdiCharsetCodePage(request.lfCharSet), false, false, 0, 0, 0};
        if (FT_IS_SCALABLE(face) && SizeFace(f, request, file, metrics)) return f;
        FT_Done_Face(face);
        delete f;
    }
    return nullptr;
}

void Close(void* handle) {
    auto* f = static_cast<FreeTypeFace*>(handle);
    FT_Done_Face(f->face);
    delete f;
}

std::string Source(void* handle) { return static_cast<FreeTypeFace*>(handle)->family; }

// The face's glyph for a character value of its code page; 0 (the missing glyph) when
// the value is no character there or the face has none for it.
FT_UInt GlyphIndex(const FreeTypeFace* f, UINT character) {
    if (character > 0xFFFF) return 0;
    uint8_t bytes[2] = {static_cast<uint8_t>(character >> 8), static_cast<uint8_t>(character)};
    uint32_t unicode = character > 0xFF ? CodePageCharToUnicode(f->codePage, bytes, 2)
                                        : CodePageCharToUnicode(f->codePage, bytes + 1, 1);
    return unicode ? FT_Get_Char_Index(f->face, unicode) : 0;
}

// Keeps columns x0.. and rows y0.. of a w x h window of the glyph.
void Crop(GdiGlyphRaster* g, int x0, int y0, int w, int h) {
    if (w <= 0 || h <= 0) {
        g->width = g->height = 0;
        g->levels.clear();
        return;
    }
    std::vector<uint8_t> kept(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::copy_n(&g->levels[static_cast<size_t>(y0 + y) * g->width + x0], w, &kept[static_cast<size_t>(y) * w]);
    g->levels = std::move(kept);
    g->width = w;
    g->height = h;
    g->originX += x0;
    g->originY -= y0;
}

// Crops the glyph to its ink (no ink: 0 x 0).
void TrimToInk(GdiGlyphRaster* g) {
    int x0 = g->width, x1 = -1, y0 = g->height, y1 = -1;
    for (int y = 0; y < g->height; ++y)
        for (int x = 0; x < g->width; ++x)
            if (g->levels[static_cast<size_t>(y) * g->width + x]) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    Crop(g, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

// Fits the glyph into the cell, so the text metrics bound it: a glyph that pokes out
// above or below (by rounding, or a mark the face draws high) is moved in; what is
// taller or wider than the cell is cut, giving up columns left of the pen first.
void FitToCell(const FreeTypeFace* f, GdiGlyphRaster* g) {
    TrimToInk(g);
    int cell = f->ascent + f->descent;
    if (g->width > f->maxWidth || g->height > cell) {
        int left = 0, width = g->width;
        if (width > f->maxWidth) {
            left = std::min(width - f->maxWidth, std::max(0, -g->originX));
            width = f->maxWidth;
        }
        int top = 0, height = g->height;
        if (height > cell) {
            top = std::clamp(g->originY - f->ascent, 0, height - cell);
            height = cell;
        }
        Crop(g, left, top, width, height);
        TrimToInk(g);
    }
    if (g->width == 0) return;
    g->originY = std::min(g->originY, f->ascent);
    g->originY = std::max(g->originY, g->height - f->descent);
}

// The platform's simulated bold: the glyph drawn again one pixel to the right.
void Embolden(GdiGlyphRaster* g) {
    if (g->width == 0) return;
    int w = g->width + 1;
    std::vector<uint8_t> wide(static_cast<size_t>(w) * g->height);
    for (int y = 0; y < g->height; ++y) {
        const uint8_t* from = &g->levels[static_cast<size_t>(y) * g->width];
        uint8_t* to = &wide[static_cast<size_t>(y) * w];
        for (int x = 0; x < w; ++x) {
            uint8_t here = x < g->width ? from[x] : 0;
            uint8_t left = x > 0 ? from[x - 1] : 0;
            to[x] = std::max(here, left);
        }
    }
    g->levels = std::move(wide);
    g->width = w;
}

void TakeBitmap(const FT_Bitmap& bitmap, int maxLevel, GdiGlyphRaster* g) {
    g->width = static_cast<int>(bitmap.width);
    g->height = static_cast<int>(bitmap.rows);
    g->levels.assign(static_cast<size_t>(g->width) * g->height, 0);
    for (int y = 0; y < g->height; ++y) {
        // A negative pitch means the rows are stored bottom row first.
        const uint8_t* row = bitmap.pitch >= 0
                                 ? bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch
                                 : bitmap.buffer + static_cast<ptrdiff_t>(g->height - 1 - y) * -bitmap.pitch;
        uint8_t* to = &g->levels[static_cast<size_t>(y) * g->width];
        for (int x = 0; x < g->width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                to[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            else
                to[x] = static_cast<uint8_t>((row[x] * maxLevel + 127) / 255);
        }
    }
}

void Render(void* handle, UINT character, int maxLevel, GdiGlyphRaster* out) {
    auto* f = static_cast<FreeTypeFace*>(handle);
    *out = GdiGlyphRaster{};
    bool mono = maxLevel == 1;
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    FT_UInt index = GlyphIndex(f, character);
    if (FT_Load_Glyph(f->face, index, flags) != 0 && (index == 0 || FT_Load_Glyph(f->face, 0, flags) != 0)) return;
    FT_GlyphSlot slot = f->face->glyph;
    out->advance = static_cast<int>((slot->advance.x + 32) >> 6) + (f->embolden ? 1 : 0);
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
    if (f->oblique) {
        FT_Matrix shear{0x10000, kShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return;
    TakeBitmap(slot->bitmap, maxLevel, out);
    out->originX = slot->bitmap_left;
    out->originY = slot->bitmap_top;
    if (f->embolden) Embolden(out);
    FitToCell(f, out);
}

} // namespace

const GdiFontProvider GdiFreeTypeProvider = {Open, Render, Close, Source};
