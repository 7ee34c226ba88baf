// Real files: the fuzz seed corpora (each seed decodes with its own decoder and
// leaves nothing allocated) and the game's own sprite sheets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

Bytes ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SeedCorpus, EverySeedDecodes) {
    struct Target {
        const char* folder;
        Decoder decoder;
    } targets[] = {
        {"fuzz_bmp", DecodeBmpGraphImage},   {"fuzz_tga", DecodeTgaGraphImage}, {"fuzz_dds", DecodeDdsGraphImage},
        {"fuzz_bgra", DecodeBgraGraphImage}, {"fuzz_png", DecodePngGraphImage}, {"fuzz_jpeg", DecodeJpegGraphImage},
    };
    for (const Target& t : targets) {
        std::filesystem::path dir = std::filesystem::path(ZQ_SOURCE_DIR) / "tests/fuzz/corpus" / t.folder;
        int seeds = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            SCOPED_TRACE(entry.path().string());
            Bytes file = ReadFileBytes(entry.path());
            int before = GetTrackedBlockCount();
            GraphImage image{};
            EXPECT_EQ(DecodeBytes(t.decoder, file, &image), 0);
            FreeDecoded(&image);
            EXPECT_EQ(GetTrackedBlockCount(), before);
            seeds++;
        }
        EXPECT_GE(seeds, 2) << t.folder;
    }
}

TEST(GameArt, SpriteSheetsDecode) {
    struct Art {
        const char* name;
        Decoder decoder;
        int width, height;
    } art[] = {
        {"image01.png", DecodePngGraphImage, 96, 40},
        {"bakuhatu5.png", DecodePngGraphImage, 320, 32},
        {"bakuhatu6.bmp", DecodeBmpGraphImage, 320, 32},
    };
    for (const Art& a : art) {
        SCOPED_TRACE(a.name);
        Bytes file = ReadFileBytes(std::filesystem::path(ZQ_SOURCE_DIR) / "game/data" / a.name);
        GraphImage image{};
        ASSERT_EQ(DecodeBytes(a.decoder, file, &image), 0);
        EXPECT_EQ(image.width, a.width);
        EXPECT_EQ(image.height, a.height);
        EXPECT_EQ(image.format.bitsPerPixel, 24);
        // The corners are the transparent colour (0, 128, 128), stored blue, green, red.
        EXPECT_EQ(Bytes(PixelAt(image, 0, 0), PixelAt(image, 0, 0) + 3), (Bytes{128, 128, 0}));
        FreeDecoded(&image);
    }
}

}  // namespace
