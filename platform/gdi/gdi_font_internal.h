// gdi_font_internal.h - the font object and the font providers behind gdi_font.h.
//
// A provider turns a LOGFONTA into a face and renders its glyphs. The FreeType provider
// (gdi_font_freetype.cpp) serves the program; the test seams can put a provider of
// fixed glyph pictures in its place (platform/gdi/testing/gdi_font_seams.h). Every provider
// call runs under GdiFontMutex().
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi_font.h"
#include "platform/gdi/gdi_internal.h"

// One glyph as a provider hands it over: values 0..maxLevel, top row first.
struct GdiGlyphRaster {
    int width = 0; // 0 x 0: a glyph without ink
    int height = 0;
    int originX = 0; // black box left from the pen
    int originY = 0; // black box top above the baseline
    int advance = 0;
    std::vector<uint8_t> levels; // width x height
};

struct GdiFontProvider {
    // The provider's face for a request, with its text metrics; null when there is none.
    void* (*open)(const LOGFONTA& request, TEXTMETRICA* metrics);
    // The glyph of a character value with values 0..maxLevel (1: one bit). Never fails:
    // a value with no glyph gives the face's missing glyph.
    void (*render)(void* face, UINT character, int maxLevel, GdiGlyphRaster* out);
    void (*close)(void* face);
    // Where the face came from: a family name (UTF-8), for tests and diagnostics.
    std::string (*source)(void* face);
};

struct GdiFont : PlatformGdiObject {
    LOGFONTA request;
    TEXTMETRICA metrics;
    const GdiFontProvider* provider;
    void* face;
    // The last glyph rendered: callers ask for the size, then for the same glyph's bits.
    bool lastValid = false;
    UINT lastCharacter = 0;
    int lastMaxLevel = 0;
    GdiGlyphRaster last;
};

extern const GdiFontProvider GdiFreeTypeProvider;

std::mutex& GdiFontMutex();
// The provider new fonts come from (the FreeType one unless a test replaced it).
void GdiSetFontProvider(const GdiFontProvider* provider);
// The font behind a font handle, or null.
GdiFont* GdiFontFromHandle(HFONT font);

// The FreeType provider's font configuration: null files = the machine's fonts; else
// exactly these font files. The layer's alias table applies either way.
void GdiSetFontFiles(const std::vector<std::string>* files);

// Observers and failure counters of the test seams.
extern void (*GdiFontCreateObserver)(const LOGFONTA& request);
extern std::atomic<long> GdiGlyphOutlineCalls;
extern std::atomic<int> GdiFontCreateFailures;
extern std::atomic<int> GdiCompatibleDcFailures;
extern std::atomic<int> GdiFontSelectFailures;
