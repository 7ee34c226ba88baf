// gdi_font_seams.h - test seams of the GDI fonts (platform/gdi/gdi_font.h).
//
// Real fonts, pinned: FreeType over exactly the given font files and the layer's alias
// table, so a test does not depend on the machine's other fonts.
//
//     UseRealFontsForTest(PinnedTestFontFiles());
//     HFONT font = CreateFontA(18, ..., "ＭＳ ゴシック");
//     EXPECT_EQ("IPAGothic", FontSourceForTest(font));
//
// Fixed glyph pictures, for tests of exact pixels: fonts created after the call come
// from the given faces. A picture is rows separated by '/', one character per pixel:
// '.' is 0, '1'..'9' are levels 1..9, 'a'..'g' are 10..16 and '#' is 16. The grey
// formats return the levels (GGO_GRAY4_BITMAP as they are, GRAY2 and GRAY8 rescaled),
// GGO_BITMAP sets the bits of every level above 0. An empty picture is a glyph without
// ink. Boxes are returned as given, not cut to the metrics.
//
//     FakeFontFace face;
//     face.face = "ＭＳ ゴシック";  // Shift-JIS, as CreateFontA receives it
//     face.metrics.tmHeight = 16; ...
//     face.glyphs = {{'A', 0, 12, 8, ".##./#..#/####/#..#"}};
//     UseFakeFontsForTest({face});
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/gdi_font.h"

struct FakeGlyph {
    UINT character; // as GetGlyphOutlineA receives it
    int originX = 0; // gmptGlyphOrigin
    int originY = 0;
    int cellIncX = 0;
    const char* picture = ""; // see above
};

struct FakeFontFace {
    // The face a request must name, byte for byte. A request with an empty face gets
    // the first face of the list that takes its charset. A named face that no entry
    // has is refused (null font).
    const char* face = "";
    int charset = -1; // the only lfCharSet it answers; -1: any
    TEXTMETRICA metrics{}; // what GetTextMetricsA returns
    std::vector<FakeGlyph> glyphs;
    FakeGlyph missing{}; // given for characters not in the list
};

// Fonts created from now on come from these faces (the list is copied).
void UseFakeFontsForTest(const std::vector<FakeFontFace>& faces);
// Fonts created from now on come from FreeType over exactly these font files.
void UseRealFontsForTest(const std::vector<std::string>& files);
// Fonts created from now on come from FreeType over the machine's fonts (the default).
void UseMachineFontsForTest();
// The font files the tests pin: IPA Gothic, P Gothic, Mincho and P Mincho, DejaVu Sans
// and DejaVu Sans Mono, where scripts/install-deps puts them.
std::vector<std::string> PinnedTestFontFiles();

// The family a font came from (UTF-8), or the fake face's name; "" for a bad handle.
std::string FontSourceForTest(HFONT font);

// Every CreateFontA request since the last clear (recording starts with the first
// clear), as LOGFONTs; and the GetGlyphOutlineA calls since then.
const std::vector<LOGFONTA>& RecordedFontRequests();
long GlyphOutlineCallCount();
void ClearFontCallRecord();

// Failure injection: the next `count` CreateFontA calls return null; the next `count`
// CreateCompatibleDC calls return null; the next `count` selections of a font fail.
void FailNextFontCreations(int count);
void FailNextCompatibleDcs(int count);
void FailNextFontSelections(int count);
