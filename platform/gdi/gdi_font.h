// gdi_font.h - GDI fonts: CreateFontA, text metrics and glyph bitmaps.
//
// A font is a GDI object (gdi.h): select it into a device context with SelectObject,
// ask that DC for GetTextMetricsA and GetGlyphOutlineA, restore the old font, and free
// it with DeleteObject. A DC starts with a stock font that answers like a 16-pixel
// default face.
//
//     HDC dc = CreateCompatibleDC(NULL);
//     HFONT font = CreateFontA(18, 0, 0, 0, 600, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0,
//                              NONANTIALIASED_QUALITY, FIXED_PITCH, "ＭＳ ゴシック");
//     HGDIOBJ old = SelectObject(dc, font);
//     TEXTMETRICA tm;  GetTextMetricsA(dc, &tm);
//     GLYPHMETRICS gm;  MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
//     DWORD size = GetGlyphOutlineA(dc, 0x82A0, GGO_GRAY4_BITMAP, &gm, 0, NULL, &identity);
//     ... fetch into a buffer of that size ...
//     SelectObject(dc, old);  DeleteDC(dc);  DeleteObject(font);
//
// Fonts come from FreeType through fontconfig. Face names are Shift-JIS; the layer maps
// the usual Japanese faces ("ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", ...) onto
// the IPA fonts with an alias table of its own, and, like the platform's font mapper,
// substitutes an unknown face instead of refusing it (a Shift-JIS or Hangul request gets
// a face that covers that script when one is installed). CreateFontA fails only when no
// font can be loaded at all, or for escapement and orientation, which it does not draw.
//
// Sizes: a positive height is the cell height (OS/2 Windows ascent plus descent, in
// pixels); a negative height is the em height; 0 gives a 16-pixel cell. Heights are cut
// to 1..1024 pixels. A weight of 600 and more on a face that has no bold is emboldened
// by one pixel (black box and advance one pixel wider); italic on an upright face is
// slanted.
//
// Text metrics bound every glyph: a black box is at most tmMaxCharWidth wide and lies
// between tmAscent above and tmDescent below the baseline (ink outside is cut).
//
// The quality does not change the bitmaps: GGO_BITMAP is never smoothed, the grey formats
// always are (as on the platform). Underline and strike-out are kept in the LOGFONT only;
// glyph bitmaps never carry them.
//
// GetGlyphOutlineA takes a character value (one byte, or lead byte * 256 + trail byte)
// in the font's code page: Shift-JIS (CP932) for SHIFTJIS_CHARSET, CP949 for
// HANGEUL_CHARSET, CP1252 for ANSI_CHARSET, the OEM code page (GetOEMCP) otherwise. It
// never fails for a valid font and an identity matrix: a value that is no character, or
// that the face has no glyph for, gives the face's missing glyph; a glyph without ink
// gives a 1 x 1 black box and size 0. Formats: GGO_BITMAP (1 bit per pixel, most
// significant bit first, 1 = ink) and GGO_GRAY2/4/8_BITMAP (one byte per pixel, 0..4,
// 0..16, 0..64); rows top first, each padded to a multiple of 4 bytes; the result is
// pitch x gmBlackBoxY bytes. With a null buffer or size 0 it returns the size needed.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/wintypes.h"

#define LF_FACESIZE 32

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE]; // Shift-JIS, NUL-terminated, cut at a character boundary
};
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA is 60 bytes");

struct TEXTMETRICA {
    LONG tmHeight; // the cell height: tmAscent + tmDescent
    LONG tmAscent; // cell top to baseline
    LONG tmDescent; // baseline to cell bottom
    LONG tmInternalLeading; // tmHeight minus the em height
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth; // no black box is wider
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily; // TMPF_* bits and the family
    BYTE tmCharSet;
};
static_assert(sizeof(TEXTMETRICA) == 56, "TEXTMETRICA is 56 bytes");

struct GLYPHMETRICS {
    UINT gmBlackBoxX; // black box width, at least 1
    UINT gmBlackBoxY; // black box height, at least 1
    POINT gmptGlyphOrigin; // black box top-left from the pen on the baseline (y up)
    short gmCellIncX; // advance
    short gmCellIncY;
};
static_assert(sizeof(GLYPHMETRICS) == 20, "GLYPHMETRICS is 20 bytes");

// 16.16 fixed point: value + fract / 65536.
struct FIXED {
    WORD fract;
    short value;
};
struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

#define GGO_BITMAP 1u
#define GGO_GRAY2_BITMAP 4u
#define GGO_GRAY4_BITMAP 5u
#define GGO_GRAY8_BITMAP 6u
#define GDI_ERROR 0xFFFFFFFFu

#define ANSI_CHARSET 0u
#define DEFAULT_CHARSET 1u
#define SHIFTJIS_CHARSET 128u
#define HANGEUL_CHARSET 129u

#define DEFAULT_PITCH 0u
#define FIXED_PITCH 1u
#define VARIABLE_PITCH 2u
#define FF_DONTCARE 0x00u
#define FF_ROMAN 0x10u
#define FF_SWISS 0x20u
#define FF_MODERN 0x30u

#define DEFAULT_QUALITY 0u
#define NONANTIALIASED_QUALITY 3u
#define ANTIALIASED_QUALITY 4u

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_SEMIBOLD 600
#define FW_BOLD 700

// tmPitchAndFamily bits. TMPF_FIXED_PITCH is set for a proportional font.
#define TMPF_FIXED_PITCH 0x01u
#define TMPF_VECTOR 0x02u
#define TMPF_TRUETYPE 0x04u

// Null when no font can be had. width 0 keeps the face's proportions.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charset, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* face);
// The metrics of the DC's selected font. FALSE for a bad DC or a null record.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// See the top of this file. GDI_ERROR for a bad DC, a null glyph record or matrix, a
// matrix other than the identity, another format, or a buffer smaller than the glyph
// (ERROR_INSUFFICIENT_BUFFER).
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2* matrix);
