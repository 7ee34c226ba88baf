// Drawing and measuring a string with a font: the one walk over a text's characters.
// See font.h.
#include <cstring>

#include "library/core/arith.h"
#include "library/core/log.h"
#include "library/display/color_format.h"
#include "library/display/screen_state.h"
#include "library/font/font_internal.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"

namespace {
// The characters of the piece of text being walked (shared by every font and call).
uint16_t TextCodeList[TextCodeListCapacity];


struct TextColours {
    uint32_t soft, softEdge;  // pixel values of the destination image
    uint32_t hard, hardEdge;  // 0xFFRRGGBB modulation colours of the graph drawers
};

struct Rgb {
    int r, g, b;
};

// A screen pixel value as r, g, b, each scaled by the draw brightness.
Rgb BrightenedRgb(uint32_t value) {
    Rgb c{};
    ScreenPixelToRgb(value, &c.r, &c.g, &c.b);
    const uint32_t brightness = g_DrawState.brightness;
    c.r = c.r * int((brightness >> 16) & 0xFF) / 255;
    c.g = c.g * int((brightness >> 8) & 0xFF) / 255;
    c.b = c.b * int(brightness & 0xFF) / 255;
    return c;
}

// The colour as the destination keeps it, without the bits outside its colour
// channels: a palette index on an 8-bit screen.
uint32_t SoftwareValue(const MEMIMG* dest, const Rgb& c) {
    if (dest == nullptr || MemImgBytesPerPixel(dest) == 1) return uint32_t(RgbToScreenPixel(c.r, c.g, c.b)) & 0xFF;
    const ColorFormat* format = dest->colorFormat;
    return EncodePixelRgb(format, c.r, c.g, c.b) & ~(format->unusedMask | format->alphaMask);
}

uint32_t HardwareValue(const Rgb& c) { return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b); }

bool IsInvisible(uint16_t code, const GlyphCacheEntry* glyph) {
    return (code & 0xFF) == ' ' || code == FullWidthSpaceCode || (glyph->boxWidth == 0 && glyph->boxHeight == 0);
}

// Whether the glyph can reach the area, its footprint worked out in doubles with two
// pixels to spare on every side for the drawers' rounding. A text placed near the
// ends of the int range has glyphs whose positions an int cannot hold; they lie
// beyond every area and are passed over, so the glyphs drawn stay near the area.
bool GlyphMeetsArea(const FontRecord* font, const GlyphCacheEntry* glyph, int x, int y, double pen, int vertical,
                    double scaleX, double scaleY, const RECT& area) {
    double left, top, right, bottom;
    if (!vertical) {
        left = x + pen + glyph->offsetX * scaleX;
        top = y + glyph->offsetY * scaleY;
        right = left + glyph->boxWidth * scaleX;
        bottom = top + glyph->boxHeight * scaleY;
    } else {
        right = x + (font->lineHeight - glyph->offsetY) * scaleX;
        top = y + pen + glyph->offsetX * scaleY;
        left = right - glyph->boxHeight * scaleX;
        bottom = top + glyph->boxWidth * scaleY;
    }
    return right + 2 > area.left && left - 2 < area.right && bottom + 2 > area.top && top - 2 < area.bottom;
}
}  // namespace

uint32_t FontTextPixelValue(const MEMIMG* dest, uint32_t color) { return SoftwareValue(dest, BrightenedRgb(color)); }

int DrawOrMeasureTextWithFont(int drawFlag, int x, int y, uint8_t scaleFlag, double scaleX, double scaleY,
                              const char* text, uint32_t color, MEMIMG* dest, const RECT* clip, int transparent,
                              FontHandle handle, uint32_t edgeColor, int length, int vertical, int* sizeOut) {
    if (g_DrawState.suspended || FontDisplayMissing()) return -1;
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    const bool drawing = drawFlag == 1;
    if ((drawing && !scaleFlag) || !font->textureCacheFlag) {
        scaleFlag = 0;
        scaleX = scaleY = 1.0;
    }

    TextColours colours{};
    if (drawing) {
        const Rgb body = BrightenedRgb(color), edge = BrightenedRgb(edgeColor);
        colours = {SoftwareValue(dest, body), SoftwareValue(dest, edge), HardwareValue(body), HardwareValue(edge)};
    }
    if (text == nullptr || text[0] == '\0') return 0;
    int n = int(std::strlen(text));
    if (length != -1 && length < n) n = length > 0 ? length : 0;

    if (drawing) {
        // The software side draws into an image; the texture cache needs its graph,
        // which a failed re-creation leaves pending: try again, or report the failure.
        if (!font->textureCacheFlag && dest == nullptr) return -1;
        if (font->textureCacheFlag && font->cacheGraphPending && PrepareFontGraphs(font) < 0) return -1;
    }
    RECT wholeImage{};
    if (drawing && clip == nullptr && dest != nullptr) {
        wholeImage = RECT{0, 0, dest->width, dest->height};
        clip = &wholeImage;
    }
    // The hardware path draws into the draw area whatever clip it is handed.
    const RECT& area = font->textureCacheFlag || clip == nullptr ? g_DrawState.clipRect : *clip;

    // Texts longer than the code list are walked in pieces; the pen runs on.
    const double penScale = vertical ? scaleY : scaleX;
    double pen = 0.0;
    for (int offset = 0; offset < n;) {
        int count = 0;
        offset += PrecacheTextPiece(font, handle, text + offset, n - offset, TextCodeList, &count);
        for (int k = 0; k < count; k++) {
            uint16_t code = TextCodeList[k];
            const GlyphCacheEntry* glyph = font->glyphMap[code].present ? font->glyphMap[code].entry
                                                                        : RenderGlyphsToFontCache(1, &code, handle);
            if (glyph == nullptr) FatalErrorExit("テキストキャッシュの作成に失敗しました");
            if (drawing && !IsInvisible(code, glyph) &&
                GlyphMeetsArea(font, glyph, x, y, pen, vertical, scaleX, scaleY, area)) {
                const int left = GlyphCellX(font, glyph->slot), top = GlyphCellY(font, glyph->slot);
                const RECT source = {left, top, left + glyph->boxWidth, top + glyph->boxHeight};
                if (font->textureCacheFlag) {
                    DrawGlyphWithCacheGraph(font, glyph, &source, x, y, pen, vertical, scaleFlag, scaleX, scaleY,
                                            colours.hard, colours.hardEdge);
                } else {
                    BlitGlyphToMemImg(dest, clip, font, glyph, &source, x, y, DoubleToIntTrunc(pen), vertical,
                                      colours.soft, colours.softEdge, transparent);
                }
            }
            pen += (glyph->advance + font->letterSpacing) * penScale;
        }
    }

    const int advance = DoubleToIntTrunc(pen);
    if (sizeOut != nullptr) {
        sizeOut[0] = vertical ? font->lineHeight : advance;
        sizeOut[1] = vertical ? advance : font->lineHeight;
    }
    return advance;
}
