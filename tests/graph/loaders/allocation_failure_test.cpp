// Decoders whose pixel (or row-table) allocation fails refuse the file, leave
// nothing allocated and say nothing, except the BMP conversion path, which logs
// that its 24-bit copy could not be allocated.
#include <gtest/gtest.h>

#include "library/graph/loaders/image_decoders.h"
#include "platform/kernel/testing/kernel_seams.h"
#include "tests/core/core_test_support.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

class DecoderAllocationFailure : public LogTest {};

// Decodes `file` with the decoder's first tracked allocation failing.
int DecodeWithFirstAllocationFailing(Decoder decoder, const Bytes& file) {
    StreamSource source;
    if (OpenMemoryStreamSource(&source, file.data(), int(file.size())) != 0) return -2;
    GraphImage image{};
    FailNextHeapAllocations(1);
    int result = decoder(&source, &image);
    FailNextHeapAllocations(0);
    source.ops.close(source.handle);
    return result;
}

// The log writes line feeds as CR LF.
const char kConvertedCopyFailed[] = "２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\r\n";

TEST_F(DecoderAllocationFailure, EveryDecoderRefusesCleanly) {
    BmpLayout bmp8;
    bmp8.width = 2, bmp8.bitCount = 8, bmp8.palette = {1, 2}, bmp8.pixels = {0, 1, 0, 0};
    PngLayout png;
    png.width = 2, png.rows = TestPicture(2, 1, 3);
    JpegLayout jpeg;
    jpeg.width = 8, jpeg.height = 8, jpeg.pixels = TestPicture(8, 8, 3);
    TgaLayout tga;
    tga.data = {1, 2, 3};
    DdsLayout dds;
    dds.pixels = {1, 2, 3, 4};
    RefusedFile files[] = {
        {"BMP", BuildBmp(bmp8)},   {"PNG", EncodePng(png)},  {"JPEG", EncodeJpeg(jpeg)},
        {"TGA", BuildTga(tga)},    {"DDS", BuildDds(dds)},   {"BGRA", BuildBgra(0x08080808, 1, 1, {1, 2, 3, 4})},
    };
    Decoder decoders[] = {DecodeBmpGraphImage, DecodePngGraphImage,  DecodeJpegGraphImage,
                          DecodeTgaGraphImage, DecodeDdsGraphImage, DecodeBgraGraphImage};
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(files[i].name);
        int before = GetTrackedBlockCount();
        EXPECT_EQ(DecodeWithFirstAllocationFailing(decoders[i], files[i].file), -1);
        EXPECT_EQ(GetTrackedBlockCount(), before);
    }
    EXPECT_EQ(Log().find(kConvertedCopyFailed), std::string::npos);
}

TEST_F(DecoderAllocationFailure, BmpConversionLogsItsFailedCopy) {
    BmpLayout bmp16;
    bmp16.width = 1, bmp16.bitCount = 16, bmp16.pixels = {0xFF, 0x7F, 0, 0};
    EXPECT_EQ(DecodeWithFirstAllocationFailing(DecodeBmpGraphImage, BuildBmp(bmp16)), -1);
    EXPECT_NE(Log().find(kConvertedCopyFailed), std::string::npos);
}

}  // namespace
