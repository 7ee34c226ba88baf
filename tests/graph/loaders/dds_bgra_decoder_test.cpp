// The DDS and "BGRA" decoders: formats, pitches and hostile files.
#include <gtest/gtest.h>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

struct ValidDds {
    const char* name;
    DdsLayout layout;
    ExpectedImage want;
    uint32_t masks[4];  // red, green, blue, alpha of the resulting format
};

DdsLayout FourCC(uint32_t number, uint32_t width, uint32_t height, Bytes pixels) {
    DdsLayout s;
    s.formatFlags = 0x4;
    s.fourCC = number;
    s.bitCount = 0;
    for (uint32_t& m : s.masks) m = 0;
    s.width = width, s.height = height;
    s.pixels = pixels;
    return s;
}

std::vector<ValidDds> ValidDdsFiles() {
    std::vector<ValidDds> cases;
    Bytes argb = {1, 2, 3, 4, 5, 6, 7, 8};
    cases.push_back({"FourCC 21 (A8R8G8B8)", FourCC(21, 2, 1, argb), {2, 1, 8, 4, argb},
                     {0xFF0000, 0xFF00, 0xFF, 0xFF000000}});
    cases.push_back({"FourCC 20 (R8G8B8)", FourCC(20, 1, 2, {1, 2, 3, 4, 5, 6}), {1, 2, 3, 3, {1, 2, 3, 4, 5, 6}},
                     {0xFF0000, 0xFF00, 0xFF, 0}});
    cases.push_back({"FourCC 31 (A2B10G10R10)", FourCC(31, 1, 1, {1, 2, 3, 4}), {1, 1, 4, 4, {1, 2, 3, 4}},
                     {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}});
    {
        DdsLayout s;  // RGB + alpha pixels: A4R4G4B4 from the header's masks
        s.formatFlags = 0x41, s.bitCount = 16, s.width = 2, s.height = 1;
        s.masks[0] = 0xF00, s.masks[1] = 0xF0, s.masks[2] = 0xF, s.masks[3] = 0xF000;
        s.pixels = {0x34, 0x12, 0x78, 0x56};
        cases.push_back({"RGB with alpha pixels", s, {2, 1, 4, 2, s.pixels}, {0xF00, 0xF0, 0xF, 0xF000}});
        s.formatFlags = 0x40;  // RGB alone: the alpha mask is not taken
        s.masks[0] = 0xF800, s.masks[1] = 0x7E0, s.masks[2] = 0x1F, s.masks[3] = 0xFFFF;
        cases.push_back({"RGB alone (R5G6B5)", s, {2, 1, 4, 2, s.pixels}, {0xF800, 0x7E0, 0x1F, 0}});
    }
    {
        DdsLayout s;  // X8R8G8B8 with a padded pitch and a mip-map after the top level
        s.flags |= 0x8, s.pitch = 12, s.width = 2, s.height = 2;
        s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0, 99, 99, 99, 99};
        cases.push_back({"pitch given", s, {2, 2, 12, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
                         {0xFF0000, 0xFF00, 0xFF, 0}});
    }
    return cases;
}

TEST(DdsDecoder, DecodesTableAndMaskFormats) {
    for (const ValidDds& c : ValidDdsFiles()) {
        SCOPED_TRACE(c.name);
        GraphImage image{};
        ASSERT_EQ(DecodeBytes(DecodeDdsGraphImage, BuildDds(c.layout), &image), 0);
        ExpectImage(image, c.want);
        ExpectMasks(image.format, c.masks[0], c.masks[1], c.masks[2], c.masks[3]);
        FreeDecoded(&image);
    }
}

// R3G3B2 is one byte per pixel: it loads as a palette image whose palette holds
// what each of the 256 values means, channels widened to 0..255.
TEST(DdsDecoder, R3G3B2LoadsAsAPaletteImage) {
    DdsLayout rgb;
    rgb.formatFlags = 0x40, rgb.bitCount = 8, rgb.width = 4, rgb.height = 1;
    rgb.masks[0] = 0xE0, rgb.masks[1] = 0x1C, rgb.masks[2] = 0x03, rgb.masks[3] = 0;
    rgb.pixels = {0xE0, 0x1C, 0x03, 0x49};
    const struct {
        const char* name;
        DdsLayout layout;
    } files[] = {{"FourCC 27", FourCC(27, 4, 1, rgb.pixels)}, {"RGB masks, 8 bits", rgb}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        GraphImage image{};
        ASSERT_EQ(DecodeBytes(DecodeDdsGraphImage, BuildDds(f.layout), &image), 0);
        ExpectImage(image, {4, 1, 4, 1, rgb.pixels});
        EXPECT_EQ(0xFF0000u, image.format.palette[0xE0]);
        EXPECT_EQ(0x00FF00u, image.format.palette[0x1C]);
        EXPECT_EQ(0x0000FFu, image.format.palette[0x03]);
        EXPECT_EQ(0x484855u, image.format.palette[0x49]) << "red 2/7, green 2/7, blue 1/3";
        EXPECT_EQ(0xFFFFFFu, image.format.palette[0xFF]);
        EXPECT_EQ(0u, image.format.palette[0]);
        FreeDecoded(&image);
    }
}

TEST(DdsDecoder, RefusesHostileFiles) {
    DdsLayout good;
    good.width = 2, good.height = 1, good.pixels.assign(8, 7);
    std::vector<RefusedFile> cases;
    auto with = [&](const char* name, auto change) { cases.push_back({name, BuildChanged(good, BuildDds, change)}); };
    Bytes valid = BuildDds(good);
    Bytes badMagic = valid;
    badMagic[2] = 'X';
    cases.push_back({"bad magic", badMagic});
    cases.push_back({"header cut", Bytes(valid.begin(), valid.begin() + 100)});
    cases.push_back({"pixels cut", Bytes(valid.begin(), valid.end() - 1)});
    with("unknown FourCC (DXT1)", [](DdsLayout& s) { s = FourCC(0x31545844, 2, 1, s.pixels); });
    with("FourCC with RGB flag clear and no FourCC flag", [](DdsLayout& s) { s.formatFlags = 0x1; });
    with("RGB 8 bits with alpha", [](DdsLayout& s) {
        s.formatFlags = 0x41, s.bitCount = 8, s.masks[0] = 0x30, s.masks[1] = 0x0C, s.masks[2] = 3, s.masks[3] = 0xC0;
    });
    with("RGB 12 bits", [](DdsLayout& s) { s.bitCount = 12; });
    with("RGB 0 bits", [](DdsLayout& s) { s.bitCount = 0; });
    with("mask beyond the pixel", [](DdsLayout& s) { s.bitCount = 16, s.masks[0] = 0xF0000; });
    with("pitch below the row", [](DdsLayout& s) { s.flags |= 0x8, s.pitch = 7; });
    with("pitch 0", [](DdsLayout& s) { s.flags |= 0x8, s.pitch = 0; });
    with("pitch negative", [](DdsLayout& s) { s.flags |= 0x8, s.pitch = 0xFFFFFFF8; });
    with("width 0", [](DdsLayout& s) { s.width = 0; });
    with("height 0", [](DdsLayout& s) { s.height = 0; });
    with("width 65536", [](DdsLayout& s) { s.width = 65536; });
    with("over the byte limit", [](DdsLayout& s) { s.width = 30000, s.height = 30000; });
    with("huge pitch times height", [](DdsLayout& s) { s.flags |= 0x8, s.pitch = 0x7FFFFFFF, s.height = 3; });
    ExpectAllRefused(DecodeDdsGraphImage, cases);
}

TEST(BgraDecoder, DecodesBothChannelSizes) {
    GraphImage image{};
    Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_EQ(DecodeBytes(DecodeBgraGraphImage, BuildBgra(0x08080808, 2, 2, pixels), &image), 0);
    ExpectImage(image, {2, 2, 8, 4, pixels});
    ExpectMasks(image.format, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_EQ(image.format.bitsPerPixel, 32);
    FreeDecoded(&image);

    // u16 channels (0x1234, 0xABCD, 0x00FF, 0xFFFF) keep their high bytes.
    Bytes wide = {0x34, 0x12, 0xCD, 0xAB, 0xFF, 0x00, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(DecodeBytes(DecodeBgraGraphImage, BuildBgra(0x10101010, 2, 1, wide), &image), 0);
    ExpectImage(image, {2, 1, 8, 4, {0x12, 0xAB, 0x00, 0xFF, 2, 4, 6, 8}});
    FreeDecoded(&image);
}

TEST(BgraDecoder, RefusesHostileFiles) {
    Bytes four(16, 1);
    Bytes valid = BuildBgra(0x08080808, 2, 2, four);
    Bytes badMagic = valid;
    badMagic[0] = 'b';
    ExpectAllRefused(DecodeBgraGraphImage, {
        {"header cut", Bytes(valid.begin(), valid.begin() + 12)},
        {"bad magic", badMagic},
        {"channel size 0x20202020", BuildBgra(0x20202020, 2, 2, four)},
        {"width 0", BuildBgra(0x08080808, 0, 2, four)},
        {"height negative", BuildBgra(0x08080808, 2, -2, four)},
        {"width 65536", BuildBgra(0x08080808, 65536, 1, four)},
        {"over the byte limit", BuildBgra(0x08080808, 32767, 32767, four)},
        {"8-bit pixels cut", Bytes(valid.begin(), valid.end() - 1)},
        {"16-bit pixels cut", BuildBgra(0x10101010, 2, 2, Bytes(31, 1))},
    });
}

}  // namespace
