// The BMP decoder: every stored form against expected pixels, and hostile files.
#include <gtest/gtest.h>

#include <climits>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

// Image rows (top row first, rowBytes each) laid out as a BMP stores them.
Bytes StoreRows(const Bytes& imageRows, int rowBytes, int stride, bool bottomUp) {
    Bytes rows;
    int height = int(imageRows.size()) / rowBytes;
    for (int i = 0; i < height; i++) {
        int y = bottomUp ? height - 1 - i : i;
        rows.insert(rows.end(), imageRows.begin() + y * rowBytes, imageRows.begin() + (y + 1) * rowBytes);
    }
    return PadRows(rows, rowBytes, stride);
}

BmpLayout Bmp24(int width, int height, const Bytes& imageRows) {
    BmpLayout s;
    s.width = width;
    s.height = height;
    s.bitCount = 24;
    s.pixels = StoreRows(imageRows, width * 3, BmpStride(24, width), height > 0);
    return s;
}

std::vector<uint32_t> Palette16() {
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i < 16; i++) p.push_back(0xEE000000 | i * 0x100000 | i * 0x1000 | i * 0x10);
    return p;
}

using ValidBmp = ValidCase<BmpLayout>;

std::vector<ValidBmp> ValidBmps() {
    std::vector<ValidBmp> cases;
    Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    cases.push_back({"24-bit bottom-up, width 3", Bmp24(3, 2, rgb), {3, 2, 12, 3, rgb}});
    cases.push_back({"24-bit top-down", Bmp24(3, -2, rgb), {3, 2, 12, 3, rgb}});
    {
        BmpLayout s = Bmp24(1, 2, {1, 2, 3, 4, 5, 6});
        s.pixels.pop_back();  // the last stored row lacks its padding byte
        cases.push_back({"24-bit, last row unpadded", s, {1, 2, 4, 3, {1, 2, 3, 4, 5, 6}}});
    }
    {
        BmpLayout s;
        s.width = 3, s.height = -2, s.bitCount = 8;
        s.palette = {0xAA112233, 0xBB445566, 0xCC778899};
        s.colorsUsed = 3;
        s.pixels = StoreRows({0, 1, 2, 2, 1, 0}, 3, 4, false);
        cases.push_back({"8-bit top-down, 3 colours", s, {3, 2, 4, 1, {0, 1, 2, 2, 1, 0}}});
        s.height = 2;
        s.pixels = StoreRows({0, 1, 2, 2, 1, 0}, 3, 4, true);
        cases.push_back({"8-bit bottom-up", s, {3, 2, 4, 1, {0, 1, 2, 2, 1, 0}}});
        s.headerSize = 108;
        s.colorsUsed = 0;
        s.palette.resize(256, 0);
        cases.push_back({"8-bit, 108-byte header", s, {3, 2, 4, 1, {0, 1, 2, 2, 1, 0}}});
    }
    {
        BmpLayout s;
        s.width = 5, s.height = 2, s.bitCount = 4;
        s.palette = Palette16();
        // image rows 0 1 2 3 4 / 15 14 13 12 11, two pixels per byte, high nibble first
        s.pixels = PadRows({0xFE, 0xDC, 0xB0, 0x01, 0x23, 0x40}, 3, 4);
        cases.push_back({"4-bit width 5", s, {5, 2, 8, 1, {0, 1, 2, 3, 4, 15, 14, 13, 12, 11}}});
    }
    {
        BmpLayout s;
        s.width = 10, s.height = -1, s.bitCount = 1;
        s.palette = {0x102030, 0xA0B0C0};
        s.pixels = {0xAA, 0x80, 0, 0};  // 1010101010
        Bytes want;
        for (int x = 0; x < 10; x++) {
            Bytes px = x % 2 == 0 ? Bytes{0xC0, 0xB0, 0xA0} : Bytes{0x30, 0x20, 0x10};
            Append(want, px);
        }
        cases.push_back({"1-bit through the table", s, {10, 1, 32, 3, want}});
    }
    {
        BmpLayout s;
        s.width = 3, s.height = -1, s.bitCount = 16;
        s.pixels = {0xFF, 0x7F, 0x21, 0x04, 0x00, 0x7C, 0, 0};  // white, 1/1/1, red
        cases.push_back({"16-bit X1R5G5B5 widened by bit replication", s,
                         {3, 1, 12, 3, {0xFF, 0xFF, 0xFF, 0x08, 0x08, 0x08, 0x00, 0x00, 0xFF}}});
        s.compression = 3;
        s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
        s.pixels = {0x00, 0xF8, 0xE0, 0x07, 0x41, 0x08, 0, 0};  // red, green, r1 g2 b1
        cases.push_back({"16-bit 565 bit fields", s,
                         {3, 1, 12, 3, {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x08, 0x08, 0x08}}});
    }
    {
        BmpLayout s;
        s.width = 1, s.height = 1, s.bitCount = 32;
        s.pixels = {0x33, 0x22, 0x11, 0xFF};
        cases.push_back({"32-bit, top byte ignored", s, {1, 1, 4, 3, {0x33, 0x22, 0x11}}});
        s.compression = 3;
        s.masks[0] = 0x3FF00000, s.masks[1] = 0x000FFC00, s.masks[2] = 0x000003FF;
        uint32_t px = 0x3FFu << 20 | 0x200u << 10 | 0x001u;
        s.pixels = {uint8_t(px), uint8_t(px >> 8), uint8_t(px >> 16), uint8_t(px >> 24)};
        cases.push_back({"32-bit 10-bit bit fields keep the high bits", s, {1, 1, 4, 3, {0x00, 0x80, 0xFF}}});
        s.headerSize = 124;
        s.masks[0] = 0x0000FF00, s.masks[1] = 0x00FF0000, s.masks[2] = 0xFF000000;
        s.pixels = {0x44, 0x33, 0x22, 0x11};
        cases.push_back({"32-bit bit fields inside a 124-byte header", s, {1, 1, 4, 3, {0x11, 0x22, 0x33}}});
    }
    {
        BmpLayout s;
        s.width = 4, s.height = 3, s.bitCount = 8, s.compression = 1;
        s.palette.assign(256, 0);
        s.pixels = {2, 5, 0, 0,                    // stored row 0: 5 5, end of line
                    0, 3, 'a', 'b', 'c', 0, 1, 9,  // absolute run of 3 (padded), then 9
                    0, 0,                          // end of line
                    0, 2, 1, 0, 2, 7,              // delta right 1, then 7 7
                    0, 1};                         // end of bitmap
        cases.push_back({"RLE8 runs, absolute run, delta, early end of line", s,
                         {4, 3, 4, 1, {0, 7, 7, 0, 'a', 'b', 'c', 9, 5, 5, 0, 0}}});
        s.width = 2, s.height = 2;
        s.pixels = {5, 3, 0, 0, 1, 4, 0, 2, 0, 5, 9, 9, 9};  // run past the row, delta below the image
        cases.push_back({"RLE8 clipped to the row and the image", s, {2, 2, 4, 1, {4, 0, 3, 3}}});
    }
    {
        BmpLayout s;
        s.width = 5, s.height = 1, s.bitCount = 4, s.compression = 2;
        s.palette = Palette16();
        s.pixels = {5, 0x12, 0, 1};
        cases.push_back({"RLE4 run (5, 0x12)", s, {5, 1, 8, 1, {1, 2, 1, 2, 1}}});
        s.width = 8;
        s.pixels = {0, 5, 0x34, 0x56, 0x70, 0, 3, 0x89, 0, 1};
        cases.push_back({"RLE4 absolute run and run", s, {8, 1, 8, 1, {3, 4, 5, 6, 7, 8, 9, 8}}});
    }
    return cases;
}

TEST(BmpDecoder, DecodesEveryStoredForm) { ExpectAllDecode(DecodeBmpGraphImage, BuildBmp, ValidBmps()); }

TEST(BmpDecoder, PaletteHonoursColoursUsedAndClearsTheFourthByte) {
    ValidBmp eight = ValidBmps()[3];
    GraphImage image{};
    ASSERT_EQ(DecodeBytes(DecodeBmpGraphImage, BuildBmp(eight.layout), &image), 0);
    EXPECT_EQ(image.format.palette[0], 0x00112233u);
    EXPECT_EQ(image.format.palette[2], 0x00778899u);
    for (int i = 3; i < 256; i++) EXPECT_EQ(image.format.palette[i], 0u) << i;
    EXPECT_EQ(image.format.redMask, 0x00FF0000u);
    FreeDecoded(&image);

    ValidBmp four = ValidBmps()[6];
    ASSERT_EQ(DecodeBytes(DecodeBmpGraphImage, BuildBmp(four.layout), &image), 0);
    for (int i = 0; i < 16; i++) EXPECT_EQ(image.format.palette[i], uint32_t(i) * 0x101010u) << i;
    for (int i = 16; i < 256; i++) EXPECT_EQ(image.format.palette[i], 0u) << i;
    FreeDecoded(&image);
}

// OS/2 bitmaps (the 12-byte core header: 16-bit sides, always bottom-up, colour
// entries of 3 bytes) decode as the same picture stored with the 40-byte header.
TEST(BmpDecoder, Os2BitmapsDecodeAsTheirWindowsTwins) {
    std::vector<uint32_t> palette256;
    for (uint32_t i = 0; i < 256; i++) palette256.push_back(i * 0x030507 & 0xFFFFFF);
    struct Case {
        const char* name;
        int bitCount, colours;
    } cases[] = {{"1 bit", 1, 2}, {"4 bits", 4, 16}, {"8 bits", 8, 256}, {"24 bits", 24, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpLayout windows;
        windows.width = 7, windows.height = 3, windows.bitCount = uint16_t(c.bitCount);
        windows.palette.assign(palette256.begin(), palette256.begin() + c.colours);
        windows.pixels = TestPicture(BmpStride(c.bitCount, 7), 3, 1);
        BmpLayout os2 = windows;
        os2.headerSize = 12;
        GraphImage want{}, got{};
        ASSERT_EQ(0, DecodeBytes(DecodeBmpGraphImage, BuildBmp(windows), &want));
        ASSERT_EQ(0, DecodeBytes(DecodeBmpGraphImage, BuildBmp(os2), &got));
        Bytes wantRows;
        for (int y = 0; y < want.height; y++) {
            wantRows.insert(wantRows.end(), PixelAt(want, 0, y), PixelAt(want, want.width, y));
        }
        ExpectImage(got, {want.width, want.height, want.pitch, want.format.bytesPerPixel, wantRows});
        EXPECT_EQ(0, std::memcmp(&want.format, &got.format, sizeof want.format));
        FreeDecoded(&want);
        FreeDecoded(&got);
    }
    // A colour table shorter than the bit count allows ends where the pixels start.
    BmpLayout shortTable;
    shortTable.headerSize = 12, shortTable.width = 2, shortTable.height = 1, shortTable.bitCount = 8;
    shortTable.palette = {0x112233, 0x445566};
    shortTable.pixels = {1, 0, 0, 0};
    GraphImage image{};
    ASSERT_EQ(0, DecodeBytes(DecodeBmpGraphImage, BuildBmp(shortTable), &image));
    ExpectImage(image, {2, 1, 4, 1, {1, 0}});
    EXPECT_EQ(0x445566u, image.format.palette[1]);
    EXPECT_EQ(0u, image.format.palette[2]);
    FreeDecoded(&image);
}

TEST(BmpDecoder, RefusesHostileFiles) {
    const BmpLayout good = Bmp24(2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    std::vector<RefusedFile> cases;
    auto with = [&](const char* name, auto change) { cases.push_back({name, BuildChanged(good, BuildBmp, change)}); };
    Bytes valid = BuildBmp(good);
    cases.push_back({"empty", {}});
    Bytes notBm = valid;
    notBm[1] = 'A';
    cases.push_back({"not BM", notBm});
    cases.push_back({"file header cut", Bytes(valid.begin(), valid.begin() + 10)});
    cases.push_back({"info header cut", Bytes(valid.begin(), valid.begin() + 40)});
    cases.push_back({"pixels cut by a row", Bytes(valid.begin(), valid.end() - 8)});
    cases.push_back({"pixels cut inside the last row", Bytes(valid.begin(), valid.end() - 3)});
    with("core header, 16 bits", [](BmpLayout& s) { s.headerSize = 12, s.bitCount = 16; });
    with("core header, 32 bits", [](BmpLayout& s) { s.headerSize = 12, s.bitCount = 32; });
    with("core header, pixels cut", [](BmpLayout& s) { s.headerSize = 12, s.pixels.resize(10); });
    with("header size 64", [](BmpLayout& s) { s.headerSize = 64; });
    with("width 0", [](BmpLayout& s) { s.width = 0; });
    with("width negative", [](BmpLayout& s) { s.width = -2; });
    with("height 0", [](BmpLayout& s) { s.height = 0; });
    with("width 65536", [](BmpLayout& s) { s.width = 65536; });
    with("height -65536", [](BmpLayout& s) { s.height = -65536; });
    with("height INT_MIN", [](BmpLayout& s) { s.height = INT_MIN; });
    with("over the byte limit", [](BmpLayout& s) { s.width = 32767, s.height = 32767; });
    with("bit count 2", [](BmpLayout& s) { s.bitCount = 2; });
    with("bit count 0", [](BmpLayout& s) { s.bitCount = 0; });
    with("RLE8 on 24 bits", [](BmpLayout& s) { s.compression = 1; });
    with("RLE4 on 8 bits", [](BmpLayout& s) { s.bitCount = 8, s.compression = 2, s.palette.assign(256, 0); });
    with("bit fields on 24 bits", [](BmpLayout& s) { s.compression = 3; });
    with("embedded JPEG", [](BmpLayout& s) { s.compression = 4; });
    with("embedded PNG", [](BmpLayout& s) { s.compression = 5; });
    with("mask with a hole", [](BmpLayout& s) {
        s.bitCount = 16, s.compression = 3, s.masks[0] = 0xF00F, s.masks[1] = 0x00F0, s.masks[2] = 0x0F00;
    });
    with("16-bit mask beyond 16 bits", [](BmpLayout& s) {
        s.bitCount = 16, s.compression = 3, s.masks[0] = 0xF0000, s.masks[1] = 0x00F0, s.masks[2] = 0x000F;
    });
    with("pixel offset past the end", [](BmpLayout& s) { s.pixelOffset = 1000; });
    with("pixel offset inside the header", [](BmpLayout& s) { s.pixelOffset = 20; });
    with("colour table cut", [](BmpLayout& s) { s.bitCount = 8, s.palette.assign(10, 0), s.pixels.clear(); });
    auto rle8 = [&](const char* name, Bytes data) {
        BmpLayout s;
        s.width = 4, s.height = 2, s.bitCount = 8, s.compression = 1, s.palette.assign(256, 0);
        s.pixels = data;
        cases.push_back({name, BuildBmp(s)});
    };
    rle8("RLE8 absolute run cut", {0, 5, 1, 2});
    rle8("RLE8 delta cut", {0, 2, 1});
    rle8("RLE8 run without its value", {2, 5, 3});
    ExpectAllRefused(DecodeBmpGraphImage, cases);
}

}  // namespace
