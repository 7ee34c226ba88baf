// Code pages of the font layer: characters to Unicode for the glyph lookup, face names
// to UTF-8 for fontconfig, and the charset -> code page rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi_font_codepage.h"
#include "platform/gdi/gdi_font_match.h"
#include "platform/testing.h"

namespace {

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

} // namespace

TEST(FontCodePage, CharactersToUnicode) {
    struct Case {
        UINT codePage;
        std::vector<uint8_t> bytes;
        uint32_t unicode;
    };
    const Case cases[] = {
        {932, {0x41}, 0x41},
        {932, {0x5C}, 0x5C},
        {932, {0xB1}, 0xFF71}, // half-width katakana
        {932, {0x82, 0x60}, 0xFF21}, // full-width A
        {932, {0x82, 0xA0}, 0x3042},
        {932, {0x81, 0x40}, 0x3000},
        {932, {0x87, 0x40}, 0x2460}, // a vendor extension of CP932
        {932, {0x82, 0x00}, 0}, // invalid trail byte
        {932, {0x82}, 0}, // lone lead byte
        {932, {0xFD}, 0},
        {932, {0x41, 0x42}, 0}, // two characters
        {932, {}, 0},
        {949, {0xB0, 0xA1}, 0xAC00},
        {949, {0xAA, 0xA2}, 0x3042},
        {1252, {0x80}, 0x20AC},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.unicode, CodePageCharToUnicode(c.codePage, c.bytes.data(), c.bytes.size()))
            << c.codePage << " " << c.bytes.size();
}

TEST(FontCodePage, FaceNamesToUtf8) {
    EXPECT_EQ(Utf8(u8"ＭＳ ゴシック"), GdiFaceNameUtf8("ＭＳ ゴシック"));
    EXPECT_EQ("Arial", GdiFaceNameUtf8("Arial"));
    EXPECT_EQ("", GdiFaceNameUtf8(""));
    // Not Shift-JIS (a lone lead byte at the end): read as Korean, else byte by byte.
    // (Hangul stays out of the assertion macros, which quote their arguments in Shift-JIS.)
    const std::string dotum = Utf8(u8"돋움");
    EXPECT_EQ(dotum, GdiFaceNameUtf8("\xB5\xB8\xBF\xF2"));
    EXPECT_EQ(Utf8(u8"Face\u0081"), GdiFaceNameUtf8("Face\x81"));
    // At most the 31 bytes a LOGFONT holds are read.
    EXPECT_EQ(std::string(31, 'x'), GdiFaceNameUtf8(std::string(40, 'x').c_str()));
}

TEST(FontCodePage, CharsetsChooseTheCodePage) {
    EXPECT_EQ(932u, GdiCharsetCodePage(SHIFTJIS_CHARSET));
    EXPECT_EQ(949u, GdiCharsetCodePage(HANGEUL_CHARSET));
    EXPECT_EQ(1252u, GdiCharsetCodePage(ANSI_CHARSET));
    EXPECT_EQ(932u, GdiCharsetCodePage(DEFAULT_CHARSET));
    SetFakeOemCodePage(949);
    EXPECT_EQ(949u, GdiCharsetCodePage(DEFAULT_CHARSET));
    SetFakeOemCodePage(0);
}
