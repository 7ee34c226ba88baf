// The size limit every decoder checks: ordinary large images pass, headers beyond
// the limit are refused before anything is allocated for them, and decoders that
// fill their whole output believe a large header only from a stream that could
// hold such an image.
#include <gtest/gtest.h>

#include "library/core/size_refusal.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

// Sides, bytes, and pixels: a graph keeps every pixel in at most 4 bytes, so an image
// of one byte a pixel is held to the pixels of 1 GiB at 4 bytes all the same.
TEST(ImageSizeLimit, SidesAndBytesAtTheBoundary) {
    struct Case {
        int64_t width, height, bytesPerRow;
        int allowed;
    } cases[] = {
        {6000, 6000, 6000 * 4, 1},     {40000, 2, 40000 * 3, 1},      {65535, 1, 65535 * 4, 1},
        {65536, 1, 65536, 0},          {1, 65535, 4, 1},              {1, 65536, 4, 0},
        {16384, 16384, 16384 * 4, 1},  {16384, 16385, 16384 * 4, 0},  {65535, 16384, 65535, 0},
        {65535, 4096, 65535, 1},       {65535, 4097, 65535, 0},       {16384, 16385, 16384, 0},
        {0, 1, 1, 0},                  {1, 1, 0, 0},                  {1, 1, (int64_t(1) << 30) + 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.allowed, IsImageSizeAllowed(c.width, c.height, c.bytesPerRow))
            << c.width << " x " << c.height << ", " << c.bytesPerRow << " bytes per row";
    }
    // Sides through a decoder: one more than the longest side is refused.
    Bytes row(65536 * 4, 0x5A);
    GraphImage image{};
    ASSERT_EQ(0, DecodeBytes(DecodeBgraGraphImage, BuildBgra(0x08080808, 65535, 1, row), &image));
    EXPECT_EQ(65535, image.width);
    FreeDecoded(&image);
    ExpectRefused(DecodeBgraGraphImage, BuildBgra(0x08080808, 65536, 1, row), "65536 x 1");
    ExpectRefused(DecodeBgraGraphImage, BuildBgra(0x08080808, 1, 65536, row), "1 x 65536");
}

// A PNG whose rows are all `row`, encoded without holding the whole picture.
Bytes RepeatedRowPng(int width, int height, int colorType, const Bytes& row) {
    PngLayout s;
    s.width = width, s.height = height, s.colorType = colorType;
    std::vector<png_bytep> rows(size_t(height), const_cast<png_bytep>(row.data()));
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    WritePng(png, info, s, nullptr, rows.data(), &out);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(ImageSizeLimit, OrdinaryLargeImagesDecode) {
    struct Case {
        const char* name;
        int width, height, colorType, components;
    } cases[] = {
        {"6000 x 6000 RGBA", 6000, 6000, PNG_COLOR_TYPE_RGBA, 4},
        {"40000 x 2 RGB", 40000, 2, PNG_COLOR_TYPE_RGB, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes row = TestPicture(c.width, 1, c.components);
        GraphImage image{};
        ASSERT_EQ(0, DecodeBytes(DecodePngGraphImage, RepeatedRowPng(c.width, c.height, c.colorType, row), &image));
        EXPECT_EQ(c.width, image.width);
        EXPECT_EQ(c.height, image.height);
        EXPECT_EQ(c.width * c.components, image.pitch);
        // The last pixel of the last row, red and blue swapped into B, G, R(, A).
        const uint8_t* last = PixelAt(image, c.width - 1, c.height - 1);
        const uint8_t* stored = row.data() + size_t(c.width - 1) * c.components;
        EXPECT_EQ(stored[2], last[0]);
        EXPECT_EQ(stored[0], last[2]);
        FreeDecoded(&image);
    }
}

// Every decoder notes the size it refuses for being too large, whichever limit it
// meets (a side, the bytes, the pixels, libjpeg's own, the TGA side); a malformed or
// foreign file is refused without a note.
TEST(ImageSizeLimit, EveryDecoderNotesTheSizeItRefusesAsTooLarge) {
    JpegLayout jpeg;
    jpeg.width = 16, jpeg.height = 16, jpeg.pixels = TestPicture(16, 16, 3);
    const Bytes smallJpeg = EncodeJpeg(jpeg);
    PngLayout png;
    png.width = 65536, png.rows = Bytes(65536 * 3, 0x40);
    BmpLayout wideBmp, tallBmp, manyPixelBmp, noWidthBmp;
    wideBmp.width = 65536;
    tallBmp.height = -65536;  // top-down
    manyPixelBmp.width = 16385, manyPixelBmp.height = 16385, manyPixelBmp.bitCount = 8;
    manyPixelBmp.palette.assign(256, 0);
    noWidthBmp.width = 0;
    TgaLayout wideTga, noHeightTga;
    wideTga.width = 4096;
    noHeightTga.height = 0;
    DdsLayout wideDds, hugePitchDds;
    wideDds.width = 65536;
    hugePitchDds.flags |= 0x8, hugePitchDds.pitch = 0x80000000u;  // the pitch given
    struct Case {
        const char* name;
        Decoder decoder;
        Bytes file;
        int noted;
        int64_t width, height;
    } cases[] = {
        {"BMP 65536 x 1", DecodeBmpGraphImage, BuildBmp(wideBmp), 1, 65536, 1},
        {"BMP 1 x -65536", DecodeBmpGraphImage, BuildBmp(tallBmp), 1, 1, 65536},
        {"BMP 16385 x 16385, 8 bits", DecodeBmpGraphImage, BuildBmp(manyPixelBmp), 1, 16385, 16385},
        {"JPEG 65501 x 1", DecodeJpegGraphImage, WithJpegSize(smallJpeg, 65501, 1), 1, 65501, 1},
        {"JPEG 16385 x 16385", DecodeJpegGraphImage, WithJpegSize(smallJpeg, 16385, 16385), 1, 16385, 16385},
        {"PNG 65536 x 1", DecodePngGraphImage, EncodePng(png), 1, 65536, 1},
        {"BGRA 65536 x 1", DecodeBgraGraphImage, BuildBgra(0x08080808, 65536, 1, {}), 1, 65536, 1},
        {"BGRA 16385 x 16385", DecodeBgraGraphImage, BuildBgra(0x08080808, 16385, 16385, {}), 1, 16385, 16385},
        {"TGA 4096 x 1", DecodeTgaGraphImage, BuildTga(wideTga), 1, 4096, 1},
        {"DDS 65536 x 1", DecodeDdsGraphImage, BuildDds(wideDds), 1, 65536, 1},
        {"DDS 1 x 1, pitch 2 GiB", DecodeDdsGraphImage, BuildDds(hugePitchDds), 1, 1, 1},
        {"BMP 0 x 1", DecodeBmpGraphImage, BuildBmp(noWidthBmp), 0, 0, 0},
        {"TGA 1 x 0", DecodeTgaGraphImage, BuildTga(noHeightTga), 0, 0, 0},
        {"BGRA -1 x 1", DecodeBgraGraphImage, BuildBgra(0x08080808, -1, 1, {}), 0, 0, 0},
        {"JPEG cut in its header", DecodeJpegGraphImage, Bytes(smallJpeg.begin(), smallJpeg.begin() + 30), 0, 0, 0},
        {"PNG read by the BMP decoder", DecodeBmpGraphImage, EncodePng(png), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearSizeRefusal();
        ExpectRefused(c.decoder, c.file, c.name);
        int64_t width = 0, height = 0;
        EXPECT_EQ(c.noted, GetSizeRefusal(&width, &height));
        EXPECT_EQ(c.width, width);
        EXPECT_EQ(c.height, height);
    }
}

TEST(ImageSizeLimit, FilledOutputNeedsAStreamToMatch) {
    // A grey JPEG of a few hundred bytes whose header claims more: 4096 x 4096
    // (16 MiB) is filled in without a question, 20000 x 20000 (400 MB) is refused.
    JpegLayout small;
    small.width = 16, small.height = 16, small.components = 1, small.pixels = TestPicture(16, 16, 1);
    const Bytes jpeg = EncodeJpeg(small);
    GraphImage image{};
    ASSERT_EQ(0, DecodeBytes(DecodeJpegGraphImage, WithJpegSize(jpeg, 4096, 4096), &image));
    EXPECT_EQ(4096, image.width);
    FreeDecoded(&image);
    ExpectRefused(DecodeJpegGraphImage, WithJpegSize(jpeg, 20000, 20000), "JPEG 20000 x 20000");

    // A run-length BMP that ends at once: 1000 x 1000 is fine, 20000 x 20000 is not.
    BmpLayout rle;
    rle.width = 1000, rle.height = 1000, rle.bitCount = 8, rle.compression = 1, rle.palette.assign(256, 0);
    rle.pixels = {0, 1};
    ASSERT_EQ(0, DecodeBytes(DecodeBmpGraphImage, BuildBmp(rle), &image));
    FreeDecoded(&image);
    rle.width = 20000, rle.height = 20000;
    ExpectRefused(DecodeBmpGraphImage, BuildBmp(rle), "RLE8 20000 x 20000");

    EXPECT_EQ(1, IsFillPlausible(kMaxUncheckedFillBytes, 0));
    EXPECT_EQ(0, IsFillPlausible(kMaxUncheckedFillBytes + kMaxFillRatio, 0));
    EXPECT_EQ(1, IsFillPlausible(kMaxImageBytes, kMaxImageBytes / kMaxFillRatio));
    EXPECT_EQ(0, IsFillPlausible(kMaxImageBytes, kMaxImageBytes / kMaxFillRatio - 1));
}

}  // namespace
