// The TGA decoder: raw, colour-mapped and run-length files in every orientation,
// the footer rule, and hostile files.
#include <gtest/gtest.h>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

using ValidTga = ValidCase<TgaLayout>;

// A colour-mapped RLE image of 30 x 1 pixels whose indices sit in the last bytes of
// the file, so reading the data only up to 26 bytes before the end would lose them.
TgaLayout MappedRle30(bool footer) {
    TgaLayout s;
    s.type = 9, s.width = 30, s.height = 1, s.pixelDepth = 8, s.mapEntryBits = 16;
    s.mapLength = 2;
    s.map = {0x11, 0x22, 0x33, 0x44};
    s.data = {0x1D};  // raw packet of 30 indices
    for (int i = 0; i < 30; i++) s.data.push_back(uint8_t(i % 2));
    s.footer = footer;
    return s;
}

Bytes MappedRle30Pixels() {
    Bytes want;
    for (int i = 0; i < 30; i++) Append(want, i % 2 ? Bytes{0x33, 0x44} : Bytes{0x11, 0x22});
    return want;
}

std::vector<ValidTga> ValidTgas() {
    std::vector<ValidTga> cases;
    {
        TgaLayout s;
        s.width = 2, s.height = 2, s.descriptor = 0;  // bottom to top
        s.data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        cases.push_back({"true colour 24-bit bottom-up", s, {2, 2, 6, 3, {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}}});
        s.descriptor = 0x10;  // right to left, bottom to top
        cases.push_back({"24-bit right-to-left bottom-up", s, {2, 2, 6, 3, {10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3}}});
    }
    {
        TgaLayout s;
        s.width = 2, s.height = 1, s.pixelDepth = 32, s.descriptor = 0x30;  // top-down, right to left
        s.data = {1, 2, 3, 4, 5, 6, 7, 8};
        cases.push_back({"32-bit right-to-left", s, {2, 1, 8, 4, {5, 6, 7, 8, 1, 2, 3, 4}}});
    }
    {
        TgaLayout s;
        s.width = 2, s.height = 1, s.pixelDepth = 16;
        s.data = {0x1F, 0x00, 0x00, 0xFC};
        cases.push_back({"16-bit top-down", s, {2, 1, 4, 2, {0x1F, 0x00, 0x00, 0xFC}}});
    }
    {
        TgaLayout s;
        s.type = 1, s.width = 2, s.height = 2, s.pixelDepth = 8, s.mapEntryBits = 24;
        s.id = {'h', 'i'};
        s.mapFirst = 2, s.mapLength = 2;
        s.map = {10, 11, 12, 20, 21, 22};
        s.data = {2, 3, 0, 3};
        cases.push_back({"colour-mapped, first index 2, image ID skipped", s,
                         {2, 2, 6, 3, {10, 11, 12, 20, 21, 22, 0, 0, 0, 20, 21, 22}}});
    }
    cases.push_back({"colour-mapped RLE without footer keeps its last bytes", MappedRle30(false),
                     {30, 1, 60, 2, MappedRle30Pixels()}});
    cases.push_back({"colour-mapped RLE with footer", MappedRle30(true), {30, 1, 60, 2, MappedRle30Pixels()}});
    {
        TgaLayout s;
        s.type = 10, s.width = 3, s.height = 2, s.descriptor = 0;
        s.data = {0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        Bytes want = {4, 5, 6, 7, 8, 9, 10, 11, 12, 1, 2, 3, 1, 2, 3, 1, 2, 3};
        s.footer = true;
        cases.push_back({"true-colour RLE with footer", s, {3, 2, 9, 3, want}});
        s.extensionOffset = 100;  // not a footer by our rule: the data runs to the end
        cases.push_back({"true-colour RLE, extension offset set", s, {3, 2, 9, 3, want}});
    }
    {
        TgaLayout s;
        s.type = 10, s.width = 2, s.height = 1, s.pixelDepth = 32;
        s.data = {0x84, 9, 8, 7, 6};  // a run of 5 into an image of 2
        cases.push_back({"RLE run cut at the image end", s, {2, 1, 8, 4, {9, 8, 7, 6, 9, 8, 7, 6}}});
    }
    {
        // A colour map in a true-colour file is there for other programs: skipped.
        TgaLayout s;
        s.width = 4, s.height = 4, s.mapLength = 5, s.mapEntryBits = 24;
        s.id = {'i', 'd'};
        s.map = TestPicture(5, 1, 3);
        s.data = TestPicture(4, 4, 3);
        cases.push_back({"true colour carrying a 24-bit colour map", s, {4, 4, 12, 3, s.data}});
        s.type = 10, s.mapFirst = 2, s.mapLength = 3, s.mapEntryBits = 15;
        s.map = TestPicture(3, 1, 2);
        s.data = {0x8F, 7, 8, 9};
        cases.push_back({"true-colour RLE carrying a 15-bit colour map", s, {4, 4, 12, 3, Bytes(16 * 3, 0)}});
        for (int i = 0; i < 16; i++) std::copy_n(s.data.begin() + 1, 3, cases.back().want.pixels.begin() + 3 * i);
    }
    {
        TgaLayout s;
        s.width = 4095, s.height = 1, s.pixelDepth = 16;
        s.data.assign(4095 * 2, 0x5A);
        cases.push_back({"width 4095", s, {4095, 1, 8190, 2, s.data}});
    }
    return cases;
}

TEST(TgaDecoder, DecodesEveryTypeAndOrientation) { ExpectAllDecode(DecodeTgaGraphImage, BuildTga, ValidTgas()); }

TEST(TgaDecoder, ColourFormatsFollowTheDepth) {
    std::vector<ValidTga> cases = ValidTgas();
    GraphImage image{};
    ASSERT_EQ(DecodeBytes(DecodeTgaGraphImage, BuildTga(cases[3].layout), &image), 0);  // 16-bit
    ExpectMasks(image.format, 0x7C00, 0x03E0, 0x001F, 0);
    EXPECT_EQ(image.format.unusedMask, 0x8000u);
    FreeDecoded(&image);
    ASSERT_EQ(DecodeBytes(DecodeTgaGraphImage, BuildTga(cases[2].layout), &image), 0);  // 32-bit
    ExpectMasks(image.format, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    FreeDecoded(&image);
}

TEST(TgaDecoder, RefusesHostileFiles) {
    TgaLayout good;
    good.width = 2, good.height = 1;
    good.data = {1, 2, 3, 4, 5, 6};
    std::vector<RefusedFile> cases;
    auto with = [&](const char* name, const TgaLayout& base, auto change) {
        cases.push_back({name, BuildChanged(base, BuildTga, change)});
    };
    Bytes valid = BuildTga(good);
    cases.push_back({"header cut", Bytes(valid.begin(), valid.begin() + 10)});
    cases.push_back({"raw pixels cut", Bytes(valid.begin(), valid.end() - 1)});
    with("grey (type 3)", good, [](TgaLayout& s) { s.type = 3; });
    with("type 11", good, [](TgaLayout& s) { s.type = 11; });
    with("no image (type 0)", good, [](TgaLayout& s) { s.type = 0; });
    with("pixel depth 8 for true colour", good, [](TgaLayout& s) { s.pixelDepth = 8; });
    with("pixel depth 15", good, [](TgaLayout& s) { s.pixelDepth = 15; });
    with("width 4096", good, [](TgaLayout& s) { s.width = 4096, s.data.assign(4096 * 3, 0); });
    with("width 0", good, [](TgaLayout& s) { s.width = 0; });
    with("height 0", good, [](TgaLayout& s) { s.height = 0; });
    with("x origin", good, [](TgaLayout& s) { s.xOrigin = 1; });
    with("y origin", good, [](TgaLayout& s) { s.yOrigin = 1; });

    TgaLayout mapped;
    mapped.type = 1, mapped.width = 2, mapped.height = 1, mapped.pixelDepth = 8, mapped.mapEntryBits = 24;
    mapped.mapLength = 2, mapped.map = {1, 2, 3, 4, 5, 6}, mapped.data = {0, 1};
    with("15-bit colour map", mapped, [](TgaLayout& s) { s.mapEntryBits = 15; });
    with("16-bit indices", mapped, [](TgaLayout& s) { s.pixelDepth = 16; });
    with("colour map past 256 entries", mapped, [](TgaLayout& s) {
        s.mapFirst = 200, s.mapLength = 100, s.map.assign(300, 0);
    });
    with("colour map cut", mapped, [](TgaLayout& s) { s.map.resize(4), s.data.clear(); });
    with("indices cut", mapped, [](TgaLayout& s) { s.data.resize(1); });

    TgaLayout rle;
    rle.type = 10, rle.width = 2, rle.height = 1;
    with("RLE data ends before the image", rle, [](TgaLayout& s) { s.data = {0x80, 1, 2, 3}; });
    with("RLE raw packet cut", rle, [](TgaLayout& s) { s.data = {0x01, 1, 2, 3, 4}; });
    with("RLE run packet cut", rle, [](TgaLayout& s) { s.data = {0x81, 1, 2}; });
    with("RLE data completed only by the footer", rle, [](TgaLayout& s) {
        s.data = {0x80, 1, 2, 3, 0x80};
        s.footer = true;
    });
    with("mapped RLE run without its index", MappedRle30(false), [](TgaLayout& s) { s.data = {0x9D}; });
    ExpectAllRefused(DecodeTgaGraphImage, cases);
}

}  // namespace
