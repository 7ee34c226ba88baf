// The size limit every decoder checks: ordinary large images pass, headers beyond
// the limit are refused before anything is allocated for them, and decoders that
// fill their whole output believe a large header only from a stream that could
// hold such an image.
#include <gtest/gtest.h>

#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

TEST(ImageSizeLimit, SidesAndBytesAtTheBoundary) {
    struct Case {
        int64_t width, height, bytesPerRow;
        int allowed;
    } cases[] = {
        {6000, 6000, 6000 * 4, 1},     {40000, 2, 40000 * 3, 1},      {65535, 1, 65535 * 4, 1},
        {65536, 1, 65536, 0},          {1, 65535, 4, 1},              {1, 65536, 4, 0},
        {16384, 16384, 16384 * 4, 1},  {16384, 16385, 16384 * 4, 0},  {65535, 16384, 65535, 1},
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
