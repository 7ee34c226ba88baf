// Shared helpers of the font layer's tests: a memory DC, fonts freed after each test,
// and a glyph fetched the way the library fetches it (size query, then the bitmap).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi_font.h"
#include "platform/testing.h"

namespace fonttest {

inline const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
constexpr uint8_t kUnwritten = 0xCD; // fills buffers before a fetch, to see what is written

struct Glyph {
    DWORD result = GDI_ERROR;
    GLYPHMETRICS gm{};
    std::vector<uint8_t> bytes; // as fetched into a buffer of exactly `result` bytes

    int Width() const { return static_cast<int>(gm.gmBlackBoxX); }
    int Height() const { return static_cast<int>(gm.gmBlackBoxY); }
    // Pixel (x, y) of the black box: 0/1 for GGO_BITMAP, the level for the grey formats.
    int At(int x, int y, UINT format) const {
        if (format == GGO_BITMAP) {
            size_t pitch = (Width() + 31) / 32 * 4;
            return (bytes[y * pitch + x / 8] >> (7 - x % 8)) & 1;
        }
        size_t pitch = (Width() + 3) & ~3;
        return bytes[y * pitch + x];
    }
};

inline Glyph FetchGlyph(HDC dc, UINT character, UINT format) {
    Glyph g;
    g.result = GetGlyphOutlineA(dc, character, format, &g.gm, 0, nullptr, &kIdentity);
    if (g.result == GDI_ERROR || g.result == 0) return g;
    g.bytes.assign(g.result, kUnwritten);
    GLYPHMETRICS again{};
    EXPECT_EQ(g.result, GetGlyphOutlineA(dc, character, format, &again, g.result, g.bytes.data(), &kIdentity));
    EXPECT_EQ(0, std::memcmp(&again, &g.gm, sizeof again)) << "metrics differ between size query and fetch";
    return g;
}

// A memory DC and the fonts a test makes; everything is freed again after the test.
class FontTestBase : public ::testing::Test {
protected:
    void TearDown() override {
        if (dc_) {
            if (previous_) SelectObject(dc_, previous_);
            DeleteDC(dc_);
        }
        for (HFONT font : fonts_) EXPECT_TRUE(DeleteObject(font));
        SetFakeOemCodePage(0);
        UseMachineFontsForTest();
    }

    HDC Dc() {
        if (!dc_) dc_ = CreateCompatibleDC(nullptr);
        return dc_;
    }

    HFONT Make(int height, int weight, DWORD charset, const char* face, DWORD italic = FALSE,
               DWORD pitch = FIXED_PITCH) {
        HFONT font = CreateFontA(height, 0, 0, 0, weight, italic, FALSE, FALSE, charset, 0, 0, NONANTIALIASED_QUALITY,
                                 pitch, face);
        if (font) fonts_.push_back(font);
        return font;
    }

    // Selects the font into the test's DC; the DC's first font comes back at the end.
    HDC Select(HFONT font) {
        HGDIOBJ old = SelectObject(Dc(), font);
        EXPECT_NE(nullptr, old);
        if (!previous_) previous_ = old;
        return dc_;
    }

    TEXTMETRICA Metrics(HFONT font) {
        TEXTMETRICA tm{};
        EXPECT_TRUE(GetTextMetricsA(Select(font), &tm));
        return tm;
    }

    std::vector<HFONT> fonts_;

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// Real fonts pinned to the IPA and DejaVu files, so the machine's other fonts do not count.
class RealFontTest : public FontTestBase {
protected:
    void SetUp() override {
        for (const std::string& file : PinnedTestFontFiles())
            ASSERT_EQ(0, access(file.c_str(), R_OK)) << file << " is missing: run scripts/install-deps";
        UseRealFontsForTest(PinnedTestFontFiles());
    }
};

} // namespace fonttest
