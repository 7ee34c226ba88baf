// The converter against its slow reference model on random blocks: every pair of the
// formats below, random rectangles and destination points, padded pitches, and random
// options (mirror, key to alpha, skip key, both dither modes, colour zero, alpha from
// red, alpha planes), with the 16-bit loops of both MMX settings.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "library/core/system_state.h"
#include "library/display/pixel_converter.h"
#include "reference_converter.h"
#include "test_formats.h"

namespace {

struct NamedFormat {
    const char* name;
    ColorFormat format;
};

std::vector<NamedFormat> AllFormats() {
    std::mt19937 rng(7);
    ColorFormat palette = Palette8([&](int) { return rng() & 0xFFFFFF; });
    // A few entries repeat so palette keys and duplicates occur.
    for (int i = 0; i < 256; i += 17) palette.palette[i] = palette.palette[3];
    return {
        {"Palette8", palette},        {"Gray8", Gray8()},
        {"MemImg8", MemImg8()},       {"MemImgZ16", MemImgZ16()},
        {"Rgb565", Rgb565()},         {"Xrgb1555", Xrgb1555()},
        {"Argb1555", Argb1555()},     {"Argb4444", Argb4444()},
        {"Bgr565", Bgr565()},         {"Rgb24", Rgb24()},
        {"Xrgb8888", Xrgb8888()},     {"Argb8888", Argb8888()},
        {"Xbgr8888", Xbgr8888()},     {"Rgb32Alpha4", Rgb32Alpha4()},
        {"A2r10g10b10", A2r10g10b10()}, {"MemImg16Alpha", MemImg16Alpha()},
    };
}

struct Buffer {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0, pitch = 0;
};

Buffer RandomBuffer(std::mt19937& rng, int width, int height, int bytesPerPixel, bool fewValues) {
    Buffer b;
    b.width = width;
    b.height = height;
    b.pitch = width * bytesPerPixel + int(rng() % 8);
    b.bytes.resize(size_t(b.pitch) * height);
    uint32_t pool[3] = {uint32_t(rng()), uint32_t(rng()), uint32_t(rng())};
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < b.pitch; x += bytesPerPixel) {
            uint32_t v = fewValues ? pool[rng() % 3] : uint32_t(rng());
            for (int i = 0; i < bytesPerPixel && x + i < b.pitch; i++)
                b.bytes[size_t(y) * b.pitch + x + i] = uint8_t(v >> (8 * i));
        }
    }
    return b;
}

void SetMmxLoops(int on) { SystemStateRecord.head.mmxInUse = on; }

struct Case {
    RECT rect;
    int destX, destY, mirror, keyToAlpha, ditherMode, colorZero, alphaFromRed, skipKey;
    uint32_t key;
    bool plane;
};

std::string Describe(const NamedFormat& s, const NamedFormat& d, const NamedFormat* p,
                     const Case& c, int mmx) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "%s -> %s plane %s rect (%d,%d,%d,%d) at (%d,%d) mirror %d keyToAlpha %d key "
                  "%08x dither %d colorZero %d alphaFromRed %d skipKey %d mmx %d",
                  s.name, d.name, p ? p->name : "-", int(c.rect.left), int(c.rect.top),
                  int(c.rect.right), int(c.rect.bottom), c.destX, c.destY, c.mirror,
                  c.keyToAlpha, c.key, c.ditherMode, c.colorZero, c.alphaFromRed, c.skipKey, mmx);
    return text;
}

TEST(PixelConverterDiff, MatchesReferenceOnEveryFormatPair) {
    const std::vector<NamedFormat> formats = AllFormats();
    const NamedFormat planes[] = {{"Gray8", Gray8()}, {"Argb8888", Argb8888()},
                                  {"Rgb565", Rgb565()}, {"A2r10g10b10", A2r10g10b10()}};
    std::mt19937 rng(20240601);
    int compared = 0;

    for (const NamedFormat& src : formats) {
        for (const NamedFormat& dest : formats) {
            for (int trial = 0; trial < 40; trial++) {
                const int sb = src.format.bytesPerPixel, db = dest.format.bytesPerPixel;
                const bool fewValues = rng() % 2;
                Buffer source = RandomBuffer(rng, 1 + rng() % 19, 1 + rng() % 6, sb, fewValues);
                Case c{};
                c.rect.left = rng() % source.width;
                c.rect.top = rng() % source.height;
                c.rect.right = c.rect.left + 1 + rng() % (source.width - c.rect.left);
                c.rect.bottom = c.rect.top + 1 + rng() % (source.height - c.rect.top);
                const int w = c.rect.right - c.rect.left, h = c.rect.bottom - c.rect.top;

                c.mirror = rng() % 4 == 0;
                c.keyToAlpha = rng() % 2;
                c.skipKey = rng() % 3 == 0;
                c.ditherMode = rng() % 2 ? 0 : 1 + rng() % 2;
                c.colorZero = rng() % 8 == 0;
                c.alphaFromRed = rng() % 8 == 0;
                if (rng() % 10 == 0) c.colorZero = c.alphaFromRed = 1;
                c.plane = rng() % 3 == 0;

                // Keys that occur in the block: a raw pixel, or its colour as 0x00RRGGBB.
                const uint8_t* keyPixel =
                    source.bytes.data() + (c.rect.top + rng() % h) * source.pitch +
                    (c.rect.left + rng() % w) * sb;
                uint32_t raw = 0;
                std::memcpy(&raw, keyPixel, sb);
                int r, g, b;
                uint32_t colour = src.format.bitsPerPixel == 8 ? src.format.palette[raw & 0xFF] : raw;
                DecodePixelRgba(&src.format, colour, &r, &g, &b, nullptr);
                switch (rng() % 4) {
                    case 0: c.key = raw; break;
                    case 1: c.key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); break;
                    case 2: c.key = colour; break;
                    default: c.key = rng(); break;
                }

                Buffer dst = RandomBuffer(rng, w + rng() % 5, h + rng() % 4, db, false);
                c.destX = rng() % (dst.width - w + 1);
                c.destY = rng() % (dst.height - h + 1);

                const NamedFormat* plane = c.plane ? &planes[rng() % 4] : nullptr;
                Buffer alpha;
                if (plane)
                    alpha = RandomBuffer(rng, source.width, source.height,
                                         plane->format.bytesPerPixel, false);

                std::vector<uint8_t> expected = dst.bytes;
                const int expectedResult = ReferenceConvertPixels(
                    expected.data(), dst.pitch, &dest.format, source.bytes.data(), source.pitch,
                    &src.format, plane ? alpha.bytes.data() : nullptr, alpha.pitch,
                    plane ? &plane->format : nullptr, c.destX, c.destY, &c.rect, c.mirror,
                    c.keyToAlpha, c.key, c.ditherMode, c.colorZero, c.alphaFromRed, c.skipKey);

                for (int mmx = 0; mmx < 2; mmx++) {
                    SetMmxLoops(mmx);
                    std::vector<uint8_t> actual = dst.bytes;
                    const int result = ConvertPixelsBetweenFormats(
                        actual.data(), dst.pitch, &dest.format, source.bytes.data(), source.pitch,
                        &src.format, plane ? alpha.bytes.data() : nullptr, alpha.pitch,
                        plane ? &plane->format : nullptr, c.destX, c.destY, &c.rect, c.mirror,
                        c.keyToAlpha, c.key, c.ditherMode, c.colorZero, c.alphaFromRed, c.skipKey);
                    ASSERT_EQ(result, expectedResult) << Describe(src, dest, plane, c, mmx);
                    ASSERT_EQ(actual, expected) << Describe(src, dest, plane, c, mmx);
                    compared++;
                }
            }
        }
    }
    SetMmxLoops(0);
    EXPECT_EQ(compared, int(formats.size() * formats.size()) * 40 * 2);
}

// Long rows reach the wide loops of the 16-bit pairs (eight pixels per step) and
// their tails; both MMX settings must give the reference's pixels.
TEST(PixelConverterDiff, SixteenBitLoopsOnLongRows) {
    const ColorFormat pairs[][2] = {{Rgb565(), Xrgb1555()}, {Xrgb1555(), Rgb565()}};
    std::mt19937 rng(99);
    for (const auto& pair : pairs) {
        for (int width = 1; width <= 40; width++) {
            Buffer source = RandomBuffer(rng, width + 3, 3, 2, false);
            Buffer dst = RandomBuffer(rng, width + 2, 3, 2, false);
            RECT rect{int(rng() % 4), 0, 0, 3};
            rect.right = rect.left + width;
            std::vector<uint8_t> expected = dst.bytes;
            ReferenceConvertPixels(expected.data(), dst.pitch, &pair[1], source.bytes.data(),
                                   source.pitch, &pair[0], nullptr, 0, nullptr, 1, 0, &rect, 0, 0,
                                   0, 0, 0, 0, 0);
            for (int mmx = 0; mmx < 2; mmx++) {
                SetMmxLoops(mmx);
                std::vector<uint8_t> actual = dst.bytes;
                ConvertPixelsBetweenFormats(actual.data(), dst.pitch, &pair[1], source.bytes.data(),
                                            source.pitch, &pair[0], nullptr, 0, nullptr, 1, 0,
                                            &rect, 0, 0, 0, 0, 0, 0, 0);
                ASSERT_EQ(actual, expected) << "width " << width << " mmx " << mmx;
            }
        }
    }
    SetMmxLoops(0);
}

}  // namespace
