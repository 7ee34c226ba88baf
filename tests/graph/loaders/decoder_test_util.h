// decoder_test_util.h - shared checks of the image decoder tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "library/core/alloc.h"
#include "library/graph/graph_image.h"
#include "tests/support/image_files.h"

namespace testimg {

// What a decoded image must hold: its size, pitch, pixel size and the pixel bytes
// of each row (width x bytes per pixel, rows back to back, top row first).
struct ExpectedImage {
    int width, height, pitch, bytesPerPixel;
    Bytes pixels;
};

inline void ExpectImage(const GraphImage& image, const ExpectedImage& want) {
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, want.width);
    EXPECT_EQ(image.height, want.height);
    EXPECT_EQ(image.pitch, want.pitch);
    ASSERT_EQ(image.format.bytesPerPixel, want.bytesPerPixel);
    EXPECT_EQ(image.format.bitsPerPixel, want.bytesPerPixel * 8);
    ASSERT_EQ(image.width * image.height * want.bytesPerPixel, int(want.pixels.size()));
    size_t rowBytes = size_t(want.width) * want.bytesPerPixel;
    for (int y = 0; y < want.height; y++) {
        Bytes got(PixelAt(image, 0, y), PixelAt(image, 0, y) + rowBytes);
        Bytes expected(want.pixels.begin() + y * rowBytes, want.pixels.begin() + (y + 1) * rowBytes);
        EXPECT_EQ(got, expected) << "row " << y;
    }
}

// Decodes a file that must be refused, and checks that nothing stayed allocated
// and the caller's record was left alone.
inline void ExpectRefused(Decoder decoder, const Bytes& file, const std::string& name) {
    SCOPED_TRACE(name);
    int before = GetTrackedBlockCount();
    GraphImage image;
    std::memset(&image, 0xA5, sizeof image);
    EXPECT_EQ(DecodeBytes(decoder, file, &image), -1);
    EXPECT_EQ(GetTrackedBlockCount(), before);
    EXPECT_EQ(image.width, int(0xA5A5A5A5));
}

inline void FreeDecoded(GraphImage* image) {
    ZqFree(image->pixels);
    image->pixels = nullptr;
}

inline void ExpectMasks(const ColorFormat& format, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    EXPECT_EQ(format.redMask, red);
    EXPECT_EQ(format.greenMask, green);
    EXPECT_EQ(format.blueMask, blue);
    EXPECT_EQ(format.alphaMask, alpha);
}

// A valid file described by a builder layout, and the image it must decode to.
template <class FileLayout>
struct ValidCase {
    const char* name;
    FileLayout layout;
    ExpectedImage want;
};

template <class FileLayout>
void ExpectAllDecode(Decoder decoder, Bytes (*build)(const FileLayout&), const std::vector<ValidCase<FileLayout>>& cases) {
    for (const ValidCase<FileLayout>& c : cases) {
        SCOPED_TRACE(c.name);
        GraphImage image{};
        ASSERT_EQ(DecodeBytes(decoder, build(c.layout), &image), 0);
        ExpectImage(image, c.want);
        FreeDecoded(&image);
    }
}

// A hostile file and what it tries.
struct RefusedFile {
    const char* name;
    Bytes file;
};

inline void ExpectAllRefused(Decoder decoder, const std::vector<RefusedFile>& files) {
    for (const RefusedFile& f : files) ExpectRefused(decoder, f.file, f.name);
}

// `layout` changed by `change`, built into a file.
template <class FileLayout, class Change>
Bytes BuildChanged(FileLayout layout, Bytes (*build)(const FileLayout&), Change change) {
    change(layout);
    return build(layout);
}

// Rewrites the frame size in the first SOF0 or SOF2 marker.
inline Bytes WithJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 2; i + 9 < jpeg.size(); i++) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

}  // namespace testimg
