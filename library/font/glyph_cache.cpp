// The glyph cache of a font: the map from character code to cache entry, the ring of
// cache slots reused oldest first, and the graphs a font draws through. See font.h.
#include <cstring>

#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/font/font_internal.h"

void ClearGlyphCache(FontRecord* font) {
    std::memset(font->glyphMap, 0, sizeof font->glyphMap);
    std::memset(font->cacheEntries, 0, sizeof font->cacheEntries);
    for (int slot = 0; slot < font->capacity; slot++) font->cacheEntries[slot].slot = slot;
    font->cacheEntries[font->capacity].slot = -1;
    font->nextSlot = 0;
}

int ResetGlyphCache(FontHandle handle) {
    FontRecord* font = GetFontRecord(handle);
    if (font == nullptr) return -1;
    ClearGlyphCache(font);
    return 0;
}

GlyphCacheEntry* AssignGlyphSlot(FontRecord* font, uint16_t code) {
    GlyphCacheEntry* entry = &font->cacheEntries[font->nextSlot];
    if (entry->inUse) {
        // A code listed twice in one batch owns two entries; the map keeps the later.
        GlyphMapEntry* owner = entry->owner;
        if (owner->entry == entry) {
            owner->present = 0;
            owner->entry = nullptr;
        }
        entry->inUse = 0;
    }
    GlyphMapEntry* map = &font->glyphMap[code];
    map->present = 1;
    map->entry = entry;
    entry->owner = map;
    entry->inUse = 1;

    if (font->textureCacheFlag) {
        const GraphImage& work = font->workImage;
        std::memset(work.pixels, 0, size_t(work.pitch) * work.height);
    } else {
        uint8_t* cell = font->strip + size_t(GlyphCellY(font, entry->slot)) * font->stripPitch;
        std::memset(cell, 0, size_t(font->cellSize) * font->stripPitch);
    }
    return entry;
}

void AdvanceGlyphSlot(FontRecord* font) {
    if (++font->nextSlot == font->capacity) font->nextSlot = 0;
}

// The draw screen is a screen-sized software image (with alpha for grey fonts) that
// blended text is drawn into first; both graphs register the pending flags as their
// lost flags, so a deletion by graph management makes them again on the next use.
int PrepareFontGraphs(FontRecord* font) {
    if (font->drawScreenPending) {
        int width = 0, height = 0;
        GetScreenPixelSize(&width, &height);
        const SurfaceDataSettings settings = {0, uint8_t((font->typeFlags & FontTypeGreyLevels) ? 1 : 0), 0, 1, 0,
                                              uint8_t(GetScreenColorBitDepth()), 0, 0};
        const int screen = AddSurface2D(width, height, 0, 0, -1, nullptr, 0, 0, &settings);
        if (screen < 0) return -1;
        font->drawScreenSurface = screen;
        SetSurface2DLostFlagPtr(screen, &font->drawScreenPending);
    }
    if (font->cacheGraphPending && MakeFontCacheGraph(font) < 0) return -1;
    return 0;
}

int PrepareFontCacheGraphs(FontHandle handle) {
    FontRecord* font = GetFontRecord(handle);
    return font != nullptr ? PrepareFontGraphs(font) : -1;
}
