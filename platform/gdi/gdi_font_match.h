// gdi_font_match.h - finding the font files for a LOGFONTA through fontconfig.
//
// The layer keeps a fontconfig configuration of its own: the machine's (or, for tests,
// exactly the given font files) plus the layer's alias table, which maps the usual
// Windows faces onto installed ones (gdi_font_aliases.cpp). The process's own
// fontconfig state is not touched. Callers hold GdiFontMutex().
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/gdi_font.h"

struct GdiFontFile {
    std::string path;
    int index; // face index within the file
    std::string family; // UTF-8
    bool monospaced; // one advance, or a half and a full one
};

// The code page of a LOGFONT character set: 932 Shift-JIS, 949 Hangul, 1252 ANSI, and
// the OEM code page for the rest (DEFAULT_CHARSET among them).
UINT GdiCharsetCodePage(BYTE charset);

// The face name of a request in UTF-8 (read as Shift-JIS, else Korean, else Latin-1).
std::string GdiFaceNameUtf8(const char* face);

// Candidate font files for the request, best first: like the platform's font mapper, a
// missing face is substituted, and for Shift-JIS and Hangul requests the fonts that
// cover the script come before those that do not. Empty when there are no fonts.
std::vector<GdiFontFile> GdiFindFontFiles(const LOGFONTA& request);

// The "Windows face -> installed faces" pairs of the alias table, as fontconfig XML.
std::string GdiFontAliasConfig();
