// Colour formats: masks to shifts and widths, the presets, encode, decode and value
// conversion for every format the library uses, and format comparison.
#include "library/display/color_format.h"

#include <gtest/gtest.h>

#include "platform/ddraw/ddraw_types.h"
#include "test_formats.h"

namespace {

struct Layout {
    int bits, bytes;
    int rw, gw, bw, aw;
    int rs, gs, bs, as;
    uint32_t unused;
    int unusedShift, unusedWidth;
};

void ExpectLayout(const ColorFormat& f, const Layout& l, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(f.bitsPerPixel, l.bits);
    EXPECT_EQ(f.bytesPerPixel, l.bytes);
    EXPECT_EQ(f.redWidth, l.rw);
    EXPECT_EQ(f.greenWidth, l.gw);
    EXPECT_EQ(f.blueWidth, l.bw);
    EXPECT_EQ(f.alphaWidth, l.aw);
    EXPECT_EQ(f.redShift, l.rs);
    EXPECT_EQ(f.greenShift, l.gs);
    EXPECT_EQ(f.blueShift, l.bs);
    EXPECT_EQ(f.alphaShift, l.as);
    EXPECT_EQ(f.unusedMask, l.unused);
    EXPECT_EQ(f.unusedShift, l.unusedShift);
    EXPECT_EQ(f.unusedWidth, l.unusedWidth);
}

TEST(ColorFormat, MasksGiveShiftsAndWidths) {
    struct Row {
        const char* name;
        ColorFormat format;
        Layout layout;
    } rows[] = {
        {"RGB565", Rgb565(), {16, 2, 5, 6, 5, 0, 11, 5, 0, 0, 0, 0, 0}},
        {"X1R5G5B5", Xrgb1555(), {16, 2, 5, 5, 5, 0, 10, 5, 0, 0, 0x8000, 15, 1}},
        {"A1R5G5B5", Argb1555(), {16, 2, 5, 5, 5, 1, 10, 5, 0, 15, 0, 0, 0}},
        {"A4R4G4B4", Argb4444(), {16, 2, 4, 4, 4, 4, 8, 4, 0, 12, 0, 0, 0}},
        {"X8R8G8B8", Xrgb8888(), {32, 4, 8, 8, 8, 0, 16, 8, 0, 0, 0xFF000000u, 24, 8}},
        {"A2R10G10B10", A2r10g10b10(), {32, 4, 10, 10, 10, 2, 20, 10, 0, 30, 0, 0, 0}},
        {"MEMIMG 16-bit with alpha", MemImg16Alpha(), {32, 4, 5, 6, 5, 8, 11, 5, 0, 16, 0xFF000000u, 24, 8}},
        // A hole in a mask ends the channel's run.
        {"mask with a hole", MakeFormat(16, 0xF0F0, 0, 0x000F, 0), {16, 2, 4, 0, 4, 0, 4, 0, 0, 0, 0x0F00, 8, 4}},
        // All four masks zero: the unused mask is every bit, width 32.
        {"32-bit, no channels", MakeFormat(32, 0, 0, 0, 0), {32, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFFFFu, 0, 32}},
    };
    for (const Row& row : rows) ExpectLayout(row.format, row.layout, row.name);
}

TEST(ColorFormat, FromDisplayPixelFormat) {
    DDPIXELFORMAT pf{};
    EXPECT_EQ(InitDDPixelFormatRgb(&pf, 16, 0xF800, 0x07E0, 0x001F, 0x8000), 0);
    EXPECT_EQ(pf.dwSize, 32u);
    EXPECT_EQ(pf.dwFlags, DDPF_RGB);  // the RGB flag alone, also with an alpha mask
    EXPECT_EQ(pf.dwFourCC, 0u);
    EXPECT_EQ(pf.dwRGBBitCount, 16u);
    EXPECT_EQ(pf.dwRGBAlphaBitMask, 0x8000u);

    ColorFormat f{};
    InitDDPixelFormatRgb(&pf, 16, 0x7C00, 0x03E0, 0x001F, 0);
    InitColorFormatFromDDPixelFormat(&pf, &f);
    ExpectLayout(f, {16, 2, 5, 5, 5, 0, 10, 5, 0, 0, 0x8000, 15, 1}, "X1R5G5B5 from the display");

    // All-zero masks at 32 bits: through the display format a full mask counts width 0.
    InitDDPixelFormatRgb(&pf, 32, 0, 0, 0, 0);
    InitColorFormatFromDDPixelFormat(&pf, &f);
    EXPECT_EQ(f.unusedMask, 0xFFFFFFFFu);
    EXPECT_EQ(f.unusedShift, 0);
    EXPECT_EQ(f.unusedWidth, 0);
}

TEST(ColorFormat, Presets) {
    ColorFormat f{};
    f.unusedShift = 7, f.unusedWidth = 3;  // left as they were by every preset
    f.palette[5] = 0xABCDEF;
    InitPalette8ColorFormat(&f);
    ExpectLayout(f, {8, 1, 8, 8, 8, 0, 16, 8, 0, 0, 0xFF000000u, 7, 3}, "Palette8");
    EXPECT_EQ(f.palette[5], 0xABCDEFu);
    InitArgb32ColorFormat(&f);
    ExpectLayout(f, {32, 4, 8, 8, 8, 8, 16, 8, 0, 24, 0, 7, 3}, "ARGB32");
    EXPECT_EQ(f.alphaMask, 0xFF000000u);
    InitRgb24ColorFormat(&f);
    ExpectLayout(f, {24, 3, 8, 8, 8, 0, 16, 8, 0, 0, 0, 7, 3}, "RGB24");
    InitGray8ColorFormat(&f);
    ExpectLayout(f, {8, 1, 8, 8, 8, 0, 16, 8, 0, 0, 0xFF000000u, 7, 3}, "Gray8");
    EXPECT_EQ(f.palette[0], 0u);
    EXPECT_EQ(f.palette[0x5A], 0x5A5A5Au);
    EXPECT_EQ(f.palette[255], 0xFFFFFFu);
}

TEST(ColorFormat, UpdateUnusedMask) {
    ColorFormat f = Xrgb1555();
    f.unusedMask = 0;
    EXPECT_EQ(UpdateColorFormatUnusedMask(&f), &f);
    EXPECT_EQ(f.unusedMask, 0x8000u);
    f = Argb1555();
    f.unusedMask = 0x1234;
    UpdateColorFormatUnusedMask(&f);  // widths add up to the pixel: no unused bits
    EXPECT_EQ(f.unusedMask, 0u);
}

TEST(ColorFormat, EncodeAndDecodeEveryLibraryFormat) {
    struct Row {
        const char* name;
        ColorFormat format;
        int r, g, b, a;
        uint32_t encoded;
        int dr, dg, db, da;  // decoded back
    } rows[] = {
        {"RGB565 white", Rgb565(), 255, 255, 255, 0, 0xFFFF, 255, 255, 255, 0},
        {"RGB565 (8, 4, 8)", Rgb565(), 8, 4, 8, 99, 0x0821, 8, 4, 8, 0},
        {"X1R5G5B5: bit 15 set", Xrgb1555(), 0, 0, 0, 0, 0x8000, 0, 0, 0, 0},
        {"A1R5G5B5", Argb1555(), 255, 0, 0, 255, 0xFC00, 255, 0, 0, 255},
        {"A4R4G4B4", Argb4444(), 0x30, 0x60, 0x90, 0xC0, 0xC369, 0x33, 0x66, 0x99, 0xCC},
        {"X8R8G8B8: top byte set", Xrgb8888(), 1, 2, 3, 0, 0xFF010203, 1, 2, 3, 0},
        {"A8R8G8B8", Argb8888(), 1, 2, 3, 4, 0x04010203, 1, 2, 3, 4},
        {"RGB24", Rgb24(), 0x12, 0x34, 0x56, 0, 0x123456, 0x12, 0x34, 0x56, 0},
        {"MEMIMG 16 with alpha", MemImg16Alpha(), 255, 255, 255, 0x80, 0xFF80FFFF, 255, 255, 255, 0x80},
        // Channels wider than 8 bits get zero low bits.
        {"A2R10G10B10", A2r10g10b10(), 0xFF, 0x80, 0x01, 0xFF, 0xFFC80004, 254, 127, 0, 255},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(EncodePixelRgba(&row.format, row.r, row.g, row.b, row.a), row.encoded);
        int r = -1, g = -1, b = -1, a = -1;
        EXPECT_EQ(DecodePixelRgba(&row.format, row.encoded, &r, &g, &b, &a), 0);
        EXPECT_EQ(r, row.dr);
        EXPECT_EQ(g, row.dg);
        EXPECT_EQ(b, row.db);
        EXPECT_EQ(a, row.da);
    }
    // Only the low 8 bits of each input count; EncodePixelRgb leaves alpha out.
    ColorFormat argb = Argb8888();
    EXPECT_EQ(EncodePixelRgba(&argb, 0x1FF, 0x100, -1, 0x180), 0x80FF00FFu);
    EXPECT_EQ(EncodePixelRgb(&argb, 1, 2, 3), 0x00010203u);
}

TEST(ColorFormat, DecodeOnlyWritesRequestedOutputs) {
    ColorFormat f = Rgb565();
    int b = -1;
    EXPECT_EQ(DecodePixelRgba(&f, 0x001F, nullptr, nullptr, &b, nullptr), 0);
    EXPECT_EQ(b, 255);
    int r = -1, g = -1, a = -1;
    DecodePixelRgba(&f, 0x001F, &r, &g, &b, &a);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(a, 0);
    // A format without colour channels decodes to 0 instead of dividing by zero.
    ColorFormat empty{};
    DecodePixelRgba(&empty, 0xFFFFFFFF, &r, &g, &b, &a);
    EXPECT_EQ(r + g + b + a, 0);
}

TEST(ColorFormat, ValueConversionShiftsWithoutReplication) {
    struct Row {
        const char* name;
        ColorFormat dest, src;
        uint32_t value, expected;
    } rows[] = {
        {"RGB565 white to A8R8G8B8: full alpha", Argb8888(), Rgb565(), 0xFFFF, 0xFFF8FCF8},
        {"A8R8G8B8 to itself", Argb8888(), Argb8888(), 0x80123456, 0x80123456},
        {"A8R8G8B8 to A4R4G4B4", Argb4444(), Argb8888(), 0x80FF8040, 0x8F84},
        {"X8R8G8B8 to X1R5G5B5: unused bit set", Xrgb1555(), Xrgb8888(), 0x00FF0000, 0xFC00},
        {"A8R8G8B8 to RGB565: alpha dropped", Rgb565(), Argb8888(), 0xFFFFFFFF, 0xFFFF},
        {"RGB565 to BGR565", Bgr565(), Rgb565(), 0xF800, 0x001F},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ConvertPixelValueFormat(&row.dest, &row.src, row.value), row.expected) << row.name;
}

TEST(ColorFormat, SameFormatComparesBitsAndMasksOnly) {
    ColorFormat a = Palette8([](int i) { return uint32_t(i); });
    ColorFormat b = Palette8([](int i) { return uint32_t(255 - i); });
    EXPECT_EQ(IsSameColorFormat(&a, &b), 1);
    ColorFormat x = Xrgb1555(), y = Argb1555();
    EXPECT_EQ(IsSameColorFormat(&x, &y), 0);
    ColorFormat r565 = Rgb565(), b565 = Bgr565();
    EXPECT_EQ(IsSameColorFormat(&r565, &b565), 0);
    ColorFormat argb = Argb8888(), rgb24 = Rgb24();
    EXPECT_EQ(IsSameColorFormat(&argb, &rgb24), 0);
}

}  // namespace
