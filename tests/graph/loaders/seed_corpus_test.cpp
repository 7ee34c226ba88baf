// The fuzz seed corpora are valid files: each one decodes with its own decoder and
// leaves nothing allocated. Keeps the seeds (and any file added there) honest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

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
            std::ifstream in(entry.path(), std::ios::binary);
            Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

}  // namespace
