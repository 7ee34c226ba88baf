// The converter's decision steps, one table of telling cases each: 8-bit copy,
// same-format copy, key-to-alpha copy, the fast-path formulas, the general path
// (alpha sources, rescaling, dithering), in-place use, and SetAlphaBitsInRect.
#include "library/display/pixel_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "library/core/system_state.h"
#include "platform/wintypes.h"
#include "test_formats.h"

namespace {

struct Options {
    int mirror = 0;
    int keyToAlpha = 0;
    uint32_t key = 0;
    int dither = 0;
    int colorZero = 0;
    int alphaFromRed = 0;
    int skipKey = 0;
    const void* plane = nullptr;
    const ColorFormat* planeFormat = nullptr;
    int planePitch = 0;
};

// Converts one row of source pixels (typed by S) into a zero-filled row typed by D.
template <typename D, typename S>
std::vector<D> ConvertRow(const ColorFormat& dest, const ColorFormat& src, const std::vector<S>& pixels,
                          const Options& o = {}, int* result = nullptr) {
    std::vector<D> out(pixels.size(), D{});
    RECT rect{0, 0, int(pixels.size()), 1};
    int r = ConvertPixelsBetweenFormats(out.data(), int(out.size() * sizeof(D)), &dest, pixels.data(),
                                        int(pixels.size() * sizeof(S)), &src, o.plane, o.planePitch,
                                        o.planeFormat, 0, 0, &rect, o.mirror, o.keyToAlpha, o.key,
                                        o.dither, o.colorZero, o.alphaFromRed, o.skipKey);
    if (result) *result = r;
    return out;
}

std::vector<uint8_t> Bytes24(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> bytes;
    for (uint32_t v : values) bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    return bytes;
}

// Converts a 24-bit row (three bytes per pixel) into a row typed by D.
template <typename D>
std::vector<D> ConvertRow24(const ColorFormat& dest, std::initializer_list<uint32_t> values,
                            const Options& o = {}) {
    std::vector<uint8_t> src = Bytes24(values);
    std::vector<D> out(values.size(), D{});
    RECT rect{0, 0, int(values.size()), 1};
    ColorFormat rgb24 = Rgb24();
    ConvertPixelsBetweenFormats(out.data(), int(out.size() * sizeof(D)), &dest, src.data(), int(src.size()),
                                &rgb24, nullptr, 0, nullptr, 0, 0, &rect, o.mirror, o.keyToAlpha,
                                o.key, o.dither, 0, 0, 0);
    return out;
}

ColorFormat TestPalette() {
    return Palette8([](int i) { return i == 1 ? 0x00FF8040u : i == 2 ? 0x00123456u : uint32_t(i) * 0x010101u; });
}

TEST(PixelConverter, EmptyRectangleConvertsNothing) {
    ColorFormat f = Rgb565();
    uint16_t src[2] = {1, 2}, dest[2] = {7, 7};
    for (RECT rect : {RECT{1, 0, 1, 1}, RECT{0, 1, 2, 1}}) {
        EXPECT_EQ(ConvertPixelsBetweenFormats(dest, 4, &f, src, 4, &f, nullptr, 0, nullptr, 0, 0, &rect,
                                              0, 0, 0, 0, 0, 0, 0),
                  -1);
    }
    EXPECT_EQ(dest[0], 7);
    EXPECT_EQ(dest[1], 7);
}

TEST(PixelConverter, EightBitCopyTakesTheSubRectangleAndReturnsTheHighestByte) {
    ColorFormat pal = TestPalette();
    // 4 x 3 source, pitch 5; copy (1, 1)-(3, 3) to (2, 1) of a 5 x 4 destination, pitch 6.
    const uint8_t src[15] = {9, 9, 9, 9, 0, 9, 3, 200, 9, 0, 9, 17, 4, 9, 0};
    std::vector<uint8_t> dest(24, 0xEE);
    RECT rect{1, 1, 3, 3};
    int r = ConvertPixelsBetweenFormats(dest.data(), 6, &pal, src, 5, &pal, nullptr, 0, nullptr, 2, 1,
                                        &rect, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(r, 200);
    std::vector<uint8_t> expected(24, 0xEE);
    expected[6 + 2] = 3, expected[6 + 3] = 200, expected[12 + 2] = 17, expected[12 + 3] = 4;
    EXPECT_EQ(dest, expected);

    const uint8_t zeros[4] = {0, 0, 0, 0};
    uint8_t out[4] = {5, 5, 5, 5};
    RECT all{0, 0, 4, 1};
    EXPECT_EQ(ConvertPixelsBetweenFormats(out, 4, &pal, zeros, 4, &pal, nullptr, 0, nullptr, 0, 0, &all,
                                          0, 0, 0, 0, 0, 0, 0),
              0);
    // No palette remapping between different 8-bit formats; mirror reverses.
    ColorFormat gray = Gray8();
    EXPECT_EQ((ConvertRow<uint8_t, uint8_t>(gray, pal, {1, 2, 3}, {.mirror = 1})),
              (std::vector<uint8_t>{3, 2, 1}));
    // An 8-bit destination takes only 8-bit sources.
    int result = 0;
    std::vector<uint8_t> untouched = ConvertRow<uint8_t, uint16_t>(pal, Rgb565(), {0xFFFF}, {}, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(untouched[0], 0);
}

TEST(PixelConverter, SameFormatCopy) {
    // 24-bit rows two pixels wide: all six bytes of each row, rows kept apart.
    ColorFormat rgb24 = Rgb24();
    std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 0xAA, 0xAA, 7, 8, 9, 10, 11, 12, 0xAA, 0xAA};
    std::vector<uint8_t> dest(14, 0);
    RECT rect{0, 0, 2, 2};
    EXPECT_EQ(ConvertPixelsBetweenFormats(dest.data(), 7, &rgb24, src.data(), 8, &rgb24, nullptr, 0,
                                          nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0),
              0);
    EXPECT_EQ(dest, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12, 0}));

    ColorFormat f565 = Rgb565(), argb = Argb8888();
    struct Row {
        const char* what;
        Options options;
        std::vector<uint16_t> expected;
    } rows[] = {
        {"mirror ABC gives CBA", {.mirror = 1}, {0x3333, 0x2222, 0x1111}},
        {"skip key compares the low 16 bits", {.key = 0xABCD2222, .skipKey = 1}, {0x1111, 0, 0x3333}},
        {"skip key is ignored when mirrored", {.mirror = 1, .key = 0x2222, .skipKey = 1}, {0x3333, 0x2222, 0x1111}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(f565, f565, {0x1111, 0x2222, 0x3333}, row.options)),
                  row.expected)
            << row.what;
    }
    // Skip key is ignored when alpha is transferred (both have alpha).
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(argb, argb, {0x80102030, 0x11223344},
                                              {.key = 0x80102030, .skipKey = 1})),
              (std::vector<uint32_t>{0x80102030, 0x11223344}));
}

TEST(PixelConverter, KeyToAlphaCopyOfEqualColourMasks) {
    // X8R8G8B8 -> A8R8G8B8: the key colour gets alpha 0, every other pixel 0xFF.
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(Argb8888(), Xrgb8888(), {0x00123456, 0x00123457, 0x55123456},
                                              {.keyToAlpha = 1, .key = 0x123456})),
              (std::vector<uint32_t>{0x00123456, 0xFF123457, 0x55123456 & 0x00FFFFFF}));
    // X1R5G5B5 -> A1R5G5B5: the key is compared in the destination's 5 bits per channel.
    EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(Argb1555(), Xrgb1555(), {0x7C00, 0x7C01, 0x8000 | 0x7C00},
                                              {.mirror = 1, .keyToAlpha = 1, .key = 0xFF0000})),
              (std::vector<uint16_t>{0x7C00, 0xFC01, 0x7C00}));
    // Key to alpha is dropped when the source has alpha: a plain same-format copy.
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(Argb8888(), Argb8888(), {0x00123456},
                                              {.keyToAlpha = 1, .key = 0x123456})),
              (std::vector<uint32_t>{0x00123456}));
}

TEST(PixelConverter, FastPathFormulas) {
    ColorFormat pal = TestPalette();  // entry 1 = 0xFF8040, entry 2 = 0x123456
    const uint8_t idx[] = {1, 2};
    auto fromPalette16 = [&](const ColorFormat& dest, Options o = {}) {
        return ConvertRow<uint16_t, uint8_t>(dest, pal, std::vector<uint8_t>(idx, idx + 2), o);
    };
    auto fromPalette32 = [&](const ColorFormat& dest, Options o = {}) {
        return ConvertRow<uint32_t, uint8_t>(dest, pal, std::vector<uint8_t>(idx, idx + 2), o);
    };
    EXPECT_EQ(fromPalette16(Rgb565()), (std::vector<uint16_t>{0xFC08, 0x11AA}));
    EXPECT_EQ(fromPalette16(Xrgb1555()), (std::vector<uint16_t>{0xFE08, 0x88CA}));
    EXPECT_EQ(fromPalette32(Xrgb8888()), (std::vector<uint32_t>{0xFFFF8040, 0xFF123456}));
    EXPECT_EQ(fromPalette16(Argb1555(), {.keyToAlpha = 1, .key = 0xFF8040}),
              (std::vector<uint16_t>{0x7E08, 0x88CA}));
    EXPECT_EQ(fromPalette32(Argb8888(), {.keyToAlpha = 1, .key = 0x123456}),
              (std::vector<uint32_t>{0xFFFF8040, 0x00123456}));

    EXPECT_EQ(ConvertRow24<uint16_t>(Rgb565(), {0xFF8040, 0x070307}), (std::vector<uint16_t>{0xFC08, 0x0000}));
    EXPECT_EQ(ConvertRow24<uint16_t>(Xrgb1555(), {0xFF8040}), (std::vector<uint16_t>{0xFE08}));
    EXPECT_EQ(ConvertRow24<uint32_t>(Xrgb8888(), {0x123456}), (std::vector<uint32_t>{0xFF123456}));
    EXPECT_EQ(ConvertRow24<uint32_t>(Rgb32Alpha4(), {0x123456}), (std::vector<uint32_t>{0xFF123456}));
    // 24-bit keyed into A1R5G5B5 compares 5:5:5 values: 0xFF8040 and 0xF88447 agree there.
    EXPECT_EQ(ConvertRow24<uint16_t>(Argb1555(), {0xF88447, 0x000008}, {.keyToAlpha = 1, .key = 0xFF8040}),
              (std::vector<uint16_t>{0x7E08, 0x8001}));
    EXPECT_EQ(ConvertRow24<uint32_t>(Argb8888(), {0x123456, 0x123457}, {.keyToAlpha = 1, .key = 0x123456}),
              (std::vector<uint32_t>{0x00123456, 0xFF123457}));

    EXPECT_EQ((ConvertRow<uint16_t, uint32_t>(Rgb565(), Xrgb8888(), {0xAAFF8040})),
              (std::vector<uint16_t>{0xFC08}));

    // RGB565 sources: widened channels get zero low bits; bit 15 of X1R5G5B5 stays clear.
    ColorFormat f565 = Rgb565();
    EXPECT_EQ((ConvertRow<uint32_t, uint16_t>(Xrgb8888(), f565, {0xFFFF, 0x0821})),
              (std::vector<uint32_t>{0x00F8FCF8, 0x00080408}));
    EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(Xrgb1555(), f565, {0xFFFF, 0x0821})),
              (std::vector<uint16_t>{0x7FFF, 0x0401}));
    std::vector<uint8_t> out24(3);
    const uint16_t white = 0xFFFF;
    RECT one{0, 0, 1, 1};
    ColorFormat rgb24 = Rgb24();
    ConvertPixelsBetweenFormats(out24.data(), 3, &rgb24, &white, 2, &f565, nullptr, 0, nullptr, 0, 0, &one,
                                0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(out24, (std::vector<uint8_t>{0xF8, 0xFC, 0xF8}));
    // Keyed into A1R5G5B5: colours that differ only in the dropped green bit are keyed too.
    EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(Argb1555(), f565, {0xF800, 0xF820, 0xF840},
                                              {.keyToAlpha = 1, .key = 0xFF0000})),
              (std::vector<uint16_t>{0x7C00, 0x7C00, 0xFC20}));
    EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(f565, Xrgb1555(), {0xFFFF, 0x0421})),
              (std::vector<uint16_t>{0xFFFF, 0x0861}));
}

// The 16-bit pairs give the same pixels with the MMX-rule loop and the plain loop.
TEST(PixelConverter, SixteenBitPairsAgreeForBothMmxSettings) {
    std::vector<uint16_t> src;
    for (int i = 0; i < 21; i++) src.push_back(uint16_t(i * 0x0C3D + 0x8421));
    for (int mmx = 0; mmx < 2; mmx++) {
        SystemStateRecord.head.mmxInUse = mmx;
        std::vector<uint16_t> to555 = ConvertRow<uint16_t, uint16_t>(Xrgb1555(), Rgb565(), src);
        std::vector<uint16_t> to565 = ConvertRow<uint16_t, uint16_t>(Rgb565(), Xrgb1555(), src);
        for (size_t i = 0; i < src.size(); i++) {
            EXPECT_EQ(to555[i], ((src[i] & 0xFFC0) >> 1) | (src[i] & 0x1F)) << "mmx " << mmx << " pixel " << i;
            EXPECT_EQ(to565[i], ((src[i] & 0x7FE0) << 1) | (src[i] & 0x3F)) << "mmx " << mmx << " pixel " << i;
        }
    }
    SystemStateRecord.head.mmxInUse = 0;
}

TEST(PixelConverter, GeneralPathAlphaSources) {
    ColorFormat argb = Argb8888(), f565 = Rgb565(), gray = Gray8();
    // A source without alpha takes the destination's full alpha, not rescaled: RGB565
    // white into A8R8G8B8 widens every channel by replication.
    EXPECT_EQ((ConvertRow<uint32_t, uint16_t>(argb, f565, {0xFFFF, 0x0821})),
              (std::vector<uint32_t>{0xFFFFFFFF, 0xFF080408}));

    // Alpha plane (8-bit, looked up in its palette) gives the alpha of a source without alpha.
    const uint8_t plane[2] = {0x40, 0xC0};
    Options withPlane{.plane = plane, .planeFormat = &gray, .planePitch = 2};
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(argb, Xrgb8888(), {0x00102030, 0x00405060}, withPlane)),
              (std::vector<uint32_t>{0x40102030, 0xC0405060}));
    // A plane of another width is rescaled: an RGB565 plane's 5-bit red into 8 bits.
    const uint16_t plane565[2] = {0xF800, 0x8000};
    Options with565Plane{.plane = plane565, .planeFormat = &f565, .planePitch = 4};
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(argb, Xrgb8888(), {0x00102030, 0x00405060}, with565Plane)),
              (std::vector<uint32_t>{0xFF102030, 0x83405060}));
    // A source with its own alpha wins; the plane is not read.
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(argb, A2r10g10b10(), {0x40000000}, withPlane)),
              (std::vector<uint32_t>{0x55000000}));
    // Equal colour widths, different alpha widths: the source alpha is still rescaled
    // (the top four bits belong to no channel and are set).
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(Rgb32Alpha4(), argb, {0xAB102030})),
              (std::vector<uint32_t>{0xFA102030}));
}

TEST(PixelConverter, GeneralPathColourZeroAndAlphaFromRed) {
    // The source's red channel becomes the single value of 8-bit and 16-bit Z images.
    Options redOnly{.colorZero = 1, .alphaFromRed = 1};
    EXPECT_EQ((ConvertRow<uint8_t, uint32_t>(MemImg8(), Xrgb8888(), {0x00AB1234}, redOnly)),
              (std::vector<uint8_t>{0xAB}));
    EXPECT_EQ((ConvertRow<uint16_t, uint32_t>(MemImgZ16(), Xrgb8888(), {0x00AB1234}, redOnly)),
              (std::vector<uint16_t>{0xABAB}));
    // Colour zero alone keeps the alpha.
    EXPECT_EQ((ConvertRow<uint32_t, uint32_t>(Argb8888(), Argb8888(), {0x80FFFFFF}, {.colorZero = 1})),
              (std::vector<uint32_t>{0x80000000}));
}

TEST(PixelConverter, OrderedDitherRoundsUpBelowTheDroppedBits) {
    // 8-bit channels into 5 bits (d = 3), every source value with low bits 100:
    // thresholds are the matrix entries halved, so blue rounds up where the entry < 8.
    const int w = 4, h = 4;
    std::vector<uint32_t> src(w * h, 0x00000084);  // blue 0x84 = 10000 100
    std::vector<uint16_t> dest(w * h);
    ColorFormat xrgb = Xrgb8888(), bgr = Bgr565();  // blue 5 bits at the top: not a fast path
    RECT rect{0, 0, w, h};
    ConvertPixelsBetweenFormats(dest.data(), w * 2, &bgr, src.data(), w * 4, &xrgb, nullptr, 0, nullptr, 0,
                                0, &rect, 0, 0, 0, DitherOrdered, 0, 0, 0);
    for (int i = 0; i < w * h; i++) {
        uint16_t expectedBlue = OrderedDitherMatrix[i] < 8 ? 0x11 : 0x10;
        EXPECT_EQ(dest[i] >> 11, expectedBlue) << "position " << i;
    }
    // The matrix is anchored at the block's first pixel, not at absolute coordinates.
    std::vector<uint16_t> shifted(8 * 8);
    RECT inner{0, 0, w, h};
    ConvertPixelsBetweenFormats(shifted.data(), 16, &bgr, src.data(), w * 4, &xrgb, nullptr, 0, nullptr, 3,
                                2, &inner, 0, 0, 0, DitherOrdered, 0, 0, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) EXPECT_EQ(shifted[(y + 2) * 8 + x + 3], dest[y * w + x]);

    // The rounded-up field is limited to its mask: 0xFF stays 31, never carries.
    std::vector<uint32_t> top(4, 0x00FF00FF);
    std::vector<uint16_t> limited = ConvertRow<uint16_t, uint32_t>(bgr, xrgb, top, {.dither = DitherOrdered});
    for (uint16_t v : limited) EXPECT_EQ(v, 0xF81F);
}

TEST(PixelConverter, ErrorCarryRunsAcrossRows) {
    // Dropped value 4 of 8 per pixel: the accumulator passes 7 every second pixel, and
    // it carries from the end of one row into the next.
    const int w = 3, h = 2;
    std::vector<uint32_t> src(w * h, 0x00000084);
    std::vector<uint16_t> dest(w * h);
    ColorFormat xrgb = Xrgb8888(), bgr = Bgr565();
    RECT rect{0, 0, w, h};
    ConvertPixelsBetweenFormats(dest.data(), w * 2, &bgr, src.data(), w * 4, &xrgb, nullptr, 0, nullptr, 0,
                                0, &rect, 0, 0, 0, DitherErrorCarry, 0, 0, 0);
    const uint16_t expectedBlue[w * h] = {0x10, 0x11, 0x10, 0x11, 0x10, 0x11};
    for (int i = 0; i < w * h; i++) EXPECT_EQ(dest[i] >> 11, expectedBlue[i]) << "pixel " << i;
}

TEST(PixelConverter, GeneralPathKeyToAlphaAndSkipKey) {
    // RGB565 into A4R4G4B4 (general path): the key compares the converted 4-bit fields.
    EXPECT_EQ((ConvertRow<uint16_t, uint16_t>(Argb4444(), Rgb565(), {0xF800, 0xE000, 0x001F},
                                              {.keyToAlpha = 1, .key = 0xF00000})),
              (std::vector<uint16_t>{0x0F00, 0xFE00, 0xF00F}));
    // Skip key on the general path compares the raw source value at its width.
    EXPECT_EQ((ConvertRow<uint32_t, uint16_t>(Argb8888(), Rgb565(), {0xF800, 0x001F},
                                              {.key = 0x1234F800, .skipKey = 1})),
              (std::vector<uint32_t>{0, 0xFF0000FF}));
}

TEST(PixelConverter, ConvertsInPlace) {
    // 16-bit to 16-bit in the same buffer, and a same-format copy onto itself.
    std::vector<uint16_t> pixels = {0xFFFF, 0x0821, 0x1234, 0xF800, 0x07E0, 0x001F, 0xABCD, 0x4321, 0x8888};
    std::vector<uint16_t> expected;
    for (uint16_t p : pixels) expected.push_back(uint16_t(((p & 0xFFC0) >> 1) | (p & 0x1F)));
    ColorFormat f565 = Rgb565(), f555 = Xrgb1555();
    RECT rect{0, 0, 3, 3};
    for (int mmx = 0; mmx < 2; mmx++) {
        SystemStateRecord.head.mmxInUse = mmx;
        std::vector<uint16_t> buffer = pixels;
        ConvertPixelsBetweenFormats(buffer.data(), 6, &f555, buffer.data(), 6, &f565, nullptr, 0, nullptr, 0,
                                    0, &rect, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(buffer, expected);
        ConvertPixelsBetweenFormats(buffer.data(), 6, &f555, buffer.data(), 6, &f555, nullptr, 0, nullptr, 0,
                                    0, &rect, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(buffer, expected);
    }
    SystemStateRecord.head.mmxInUse = 0;
}

TEST(PixelConverter, SetAlphaBitsInRect) {
    ColorFormat xrgb = Xrgb8888(), f555 = Xrgb1555(), f565 = Rgb565();
    {
        std::vector<uint32_t> pixels(4 * 3, 0x00123456);
        RECT reversed{3, 2, 1, 0};
        EXPECT_EQ(SetAlphaBitsInRect(&reversed, pixels.data(), 16, &xrgb, 255), 0);
        EXPECT_EQ(reversed.left, 1);
        EXPECT_EQ(reversed.top, 0);
        EXPECT_EQ(reversed.right, 3);
        EXPECT_EQ(reversed.bottom, 2);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 4; x++)
                EXPECT_EQ(pixels[y * 4 + x], (x >= 1 && x < 3 && y < 2) ? 0xFF123456 : 0x00123456);
    }
    {
        std::vector<uint16_t> pixels = {0x1234, 0x0001};
        RECT rect{0, 0, 2, 1};
        SetAlphaBitsInRect(&rect, pixels.data(), 4, &f555, 1);
        EXPECT_EQ(pixels, (std::vector<uint16_t>{0x9234, 0x8001}));
        // A format without unused bits changes nothing.
        std::vector<uint16_t> unchanged = {0x1234};
        RECT single{0, 0, 1, 1};
        SetAlphaBitsInRect(&single, unchanged.data(), 2, &f565, 0xFFFF);
        EXPECT_EQ(unchanged[0], 0x1234);
    }
}

}  // namespace
