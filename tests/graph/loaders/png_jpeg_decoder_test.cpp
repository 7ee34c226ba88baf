// The PNG and JPEG decoders over libpng and libjpeg: output formats and pixels,
// truncated and hostile files, and nothing left allocated after a long jump.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "library/graph/loaders/image_decoders.h"
#include "tests/graph/loaders/decoder_test_util.h"

using namespace testimg;

namespace {

// Swaps the first and third byte of every pixel (RGB <-> BGR).
Bytes SwapRedBlue(Bytes pixels, int bytesPerPixel) {
    for (size_t i = 0; i + 2 < pixels.size(); i += size_t(bytesPerPixel)) std::swap(pixels[i], pixels[i + 2]);
    return pixels;
}

PngLayout Png(int width, int height, int colorType, int bitDepth, Bytes rows) {
    PngLayout s;
    s.width = width, s.height = height, s.colorType = colorType, s.bitDepth = bitDepth;
    s.rows = rows;
    return s;
}

std::vector<uint32_t> GreyPalette(int entries) {
    std::vector<uint32_t> p;
    for (int i = 0; i < entries; i++) p.push_back(uint32_t(i) * 0x010203 + 0x102030);
    return p;
}

using ValidPng = ValidCase<PngLayout>;

std::vector<ValidPng> ValidPngs() {
    std::vector<ValidPng> cases;
    {
        PngLayout s = Png(4, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 5, 10, 15});
        s.palette = GreyPalette(16);
        cases.push_back({"8-bit palette of 16 entries", s, {4, 1, 4, 1, {0, 5, 10, 15}}});
        s = Png(8, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01, 0x23, 0x45, 0x67});
        s.palette = GreyPalette(16);
        cases.push_back({"4-bit palette unpacked in order", s, {8, 1, 8, 1, {0, 1, 2, 3, 4, 5, 6, 7}}});
        s = Png(10, 1, PNG_COLOR_TYPE_PALETTE, 1, {0xA5, 0x40});
        s.palette = GreyPalette(2);
        cases.push_back({"1-bit palette", s, {10, 1, 10, 1, {1, 0, 1, 0, 0, 1, 0, 1, 0, 1}}});
    }
    cases.push_back({"RGBA", Png(2, 1, PNG_COLOR_TYPE_RGBA, 8, {1, 2, 3, 4, 5, 6, 7, 8}),
                     {2, 1, 8, 4, {3, 2, 1, 4, 7, 6, 5, 8}}});
    {
        Bytes rgb = TestPicture(5, 2, 3);
        cases.push_back({"RGB width 5, unpadded", Png(5, 2, PNG_COLOR_TYPE_RGB, 8, rgb), {5, 2, 15, 3, SwapRedBlue(rgb, 3)}});
    }
    cases.push_back({"16-bit RGB stripped", Png(1, 1, PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}),
                     {1, 1, 3, 3, {0x9A, 0x56, 0x12}}});
    cases.push_back({"grey 8", Png(3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 128, 255}), {3, 1, 3, 1, {0, 128, 255}}});
    cases.push_back({"grey 4 expanded", Png(2, 1, PNG_COLOR_TYPE_GRAY, 4, {0x1F}), {2, 1, 2, 1, {0x11, 0xFF}}});
    cases.push_back({"grey 16 stripped", Png(1, 1, PNG_COLOR_TYPE_GRAY, 16, {0xAB, 0xCD}), {1, 1, 1, 1, {0xAB}}});
    cases.push_back({"grey with alpha", Png(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {10, 20, 30, 40}),
                     {2, 1, 4, 2, {10, 20, 30, 40}}});
    {
        PngLayout s = Png(3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2});
        s.palette = {0x112233, 0x445566, 0x778899};
        s.transparency = {0, 128};
        cases.push_back({"palette with transparency expanded", s,
                         {3, 1, 12, 4, {0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 128, 0x99, 0x88, 0x77, 255}}});
    }
    {
        PngLayout s = Png(2, 1, PNG_COLOR_TYPE_RGB, 8, {0, 0, 0, 1, 2, 3});
        s.greyKey = true;  // colour key black
        cases.push_back({"RGB with a colour key", s, {2, 1, 8, 4, {0, 0, 0, 0, 3, 2, 1, 255}}});
    }
    {
        Bytes rgb = TestPicture(9, 9, 3);
        PngLayout s = Png(9, 9, PNG_COLOR_TYPE_RGB, 8, rgb);
        s.interlaced = true;
        cases.push_back({"interlaced", s, {9, 9, 27, 3, SwapRedBlue(rgb, 3)}});
    }
    return cases;
}

TEST(PngDecoder, DecodesEveryColourType) { ExpectAllDecode(DecodePngGraphImage, EncodePng, ValidPngs()); }

TEST(PngDecoder, ColourFormats) {
    std::vector<ValidPng> cases = ValidPngs();
    GraphImage image{};
    ASSERT_EQ(DecodeBytes(DecodePngGraphImage, EncodePng(cases[0].layout), &image), 0);
    EXPECT_EQ(image.format.bitsPerPixel, 8);
    for (int i = 0; i < 16; i++) EXPECT_EQ(image.format.palette[i], uint32_t(i) * 0x010203 + 0x102030) << i;
    for (int i = 16; i < 256; i++) EXPECT_EQ(image.format.palette[i], 0u) << i;
    FreeDecoded(&image);

    ASSERT_EQ(DecodeBytes(DecodePngGraphImage, EncodePng(cases[3].layout), &image), 0);  // RGBA
    EXPECT_EQ(image.format.bitsPerPixel, 32);
    ExpectMasks(image.format, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    FreeDecoded(&image);

    ASSERT_EQ(DecodeBytes(DecodePngGraphImage, EncodePng(cases[6].layout), &image), 0);  // grey 8
    EXPECT_EQ(image.format.bitsPerPixel, 8);
    EXPECT_EQ(image.format.palette[200], 0x00C8C8C8u);
    FreeDecoded(&image);

    ASSERT_EQ(DecodeBytes(DecodePngGraphImage, EncodePng(cases[9].layout), &image), 0);  // grey + alpha
    EXPECT_EQ(image.format.bitsPerPixel, 16);
    ExpectMasks(image.format, 0xFF, 0xFF, 0xFF, 0);
    EXPECT_EQ(image.format.unusedMask, 0xFF00u);
    FreeDecoded(&image);
}

// Rewrites the IHDR size of a PNG and its checksum.
Bytes WithPngSize(Bytes png, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; i++) {
        png[16 + i] = uint8_t(width >> (24 - 8 * i));
        png[20 + i] = uint8_t(height >> (24 - 8 * i));
    }
    uint32_t crc = uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; i++) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

TEST(PngDecoder, RefusesHostileFilesAndFreesEverything) {
    Bytes valid = EncodePng(Png(64, 64, PNG_COLOR_TYPE_RGB, 8, TestPicture(64, 64, 3)));
    Bytes badCrc = valid;
    badCrc[20] ^= 1;
    Bytes bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ExpectAllRefused(DecodePngGraphImage, {
        {"empty", {}},
        {"signature only", Bytes(valid.begin(), valid.begin() + 8)},
        {"cut inside the image data", Bytes(valid.begin(), valid.begin() + long(valid.size() / 2))},
        {"without its end chunk", Bytes(valid.begin(), valid.end() - 12)},
        {"damaged header checksum", badCrc},
        {"width over the side limit", WithPngSize(valid, 40000, 1)},
        {"over the byte limit", WithPngSize(valid, 16000, 16000)},
        {"not a PNG", bmp},
    });
}

// libjpeg's own decode of the same bytes, as the decoder must deliver it.
Bytes ReferenceJpegDecode(const Bytes& file, int* width, int* height) {
    DirectImage direct = DecodeJpegDirect(file);
    *width = direct.width, *height = direct.height;
    return Bytes(direct.pixels.get(), direct.pixels.get() + size_t(direct.width) * direct.height * direct.components);
}

JpegLayout Jpeg(int width, int height, int components) {
    JpegLayout s;
    s.width = width, s.height = height, s.components = components;
    s.pixels = TestPicture(width, height, components);
    return s;
}

void ExpectSameAsLibrary(const Bytes& file, int components) {
    int width = 0, height = 0;
    Bytes want = ReferenceJpegDecode(file, &width, &height);
    GraphImage image{};
    ASSERT_EQ(DecodeBytes(DecodeJpegGraphImage, file, &image), 0);
    ExpectImage(image, {width, height, width * components, components, want});
    EXPECT_EQ(image.format.bitsPerPixel, components * 8);
    if (components == 1) {
        EXPECT_EQ(image.format.palette[7], 0x00070707u);
    }
    FreeDecoded(&image);
}

TEST(JpegDecoder, DecodesGreyColourAndProgressive) {
    {
        SCOPED_TRACE("colour, width 5");
        ExpectSameAsLibrary(EncodeJpeg(Jpeg(5, 3, 3)), 3);
    }
    {
        SCOPED_TRACE("grey");
        ExpectSameAsLibrary(EncodeJpeg(Jpeg(4, 4, 1)), 1);
    }
    {
        SCOPED_TRACE("progressive");
        JpegLayout s = Jpeg(33, 17, 3);
        s.progressive = true;
        ExpectSameAsLibrary(EncodeJpeg(s), 3);
    }
    {
        SCOPED_TRACE("cut inside the scan data: decodes what is there");
        Bytes file = EncodeJpeg(Jpeg(64, 64, 3));
        file.resize(file.size() * 2 / 3);
        ExpectSameAsLibrary(file, 3);
    }
}

// CMYK and YCCK files hold their inks inverted, as Adobe's programs write them:
// red = C x K / 255 and so on, each value as stored. Four flat 8 x 8 blocks (so the
// lossy coding keeps their values within a step or two).
TEST(JpegDecoder, CmykAndYcckBecomeRgb) {
    struct Block {
        uint8_t c, m, y, k;  // as stored
        uint8_t b, g, r;     // expected
    } blocks[] = {
        {255, 0, 0, 255, 0, 0, 255},        // no cyan ink, full magenta and yellow: red
        {255, 255, 255, 255, 255, 255, 255},  // no ink: white
        {200, 100, 50, 0, 0, 0, 0},         // full black
        {128, 255, 255, 128, 128, 128, 64},  // half cyan ink, half black
    };
    for (bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        JpegLayout s;
        s.width = 32, s.height = 8, s.components = 4, s.quality = 100, s.ycck = ycck;
        for (int y = 0; y < 8; y++) {
            for (const Block& block : blocks) {
                for (int x = 0; x < 8; x++) Append(s.pixels, {block.c, block.m, block.y, block.k});
            }
        }
        GraphImage image{};
        ASSERT_EQ(DecodeBytes(DecodeJpegGraphImage, EncodeJpeg(s), &image), 0);
        EXPECT_EQ(image.format.bitsPerPixel, 24);
        EXPECT_EQ(image.pitch, 32 * 3);
        for (int i = 0; i < 4; i++) {
            const uint8_t* pixel = PixelAt(image, 8 * i + 3, 4);
            EXPECT_NEAR(pixel[0], blocks[i].b, 3) << "block " << i;
            EXPECT_NEAR(pixel[1], blocks[i].g, 3) << "block " << i;
            EXPECT_NEAR(pixel[2], blocks[i].r, 3) << "block " << i;
        }
        FreeDecoded(&image);
    }
}

// A memory stream that hands out at most 100 bytes per read, as a file layer may.
size_t ReadInDribbles(void* buffer, size_t elementSize, size_t count, StreamHandle handle) {
    size_t most = std::max<size_t>(1, 100 / elementSize);
    return MemoryFileStreamOpsTable.read(buffer, elementSize, std::min(count, most), handle);
}

TEST(JpegDecoder, CountsOnlyTheBytesEachReadDelivers) {
    Bytes file = EncodeJpeg(Jpeg(40, 24, 3));
    int width = 0, height = 0;
    Bytes want = ReferenceJpegDecode(file, &width, &height);
    StreamSource source;
    ASSERT_EQ(OpenMemoryStreamSource(&source, file.data(), int(file.size())), 0);
    source.ops.read = ReadInDribbles;
    GraphImage image{};
    ASSERT_EQ(DecodeJpegGraphImage(&source, &image), 0);
    source.ops.close(source.handle);
    ExpectImage(image, {width, height, width * 3, 3, want});
    FreeDecoded(&image);
}

// A progressive file whose last scan is repeated until it has `scans` scans.
Bytes WithRepeatedScans(Bytes jpeg, int scans) {
    size_t last = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); i++) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
    }
    Bytes scan(jpeg.begin() + long(last), jpeg.end() - 2);
    jpeg.resize(jpeg.size() - 2);
    for (int i = 0; i < scans; i++) Append(jpeg, scan);
    Append(jpeg, {0xFF, 0xD9});
    return jpeg;
}

TEST(JpegDecoder, RefusesHostileFilesAndFreesEverything) {
    Bytes valid = EncodeJpeg(Jpeg(16, 16, 3));
    JpegLayout progressive = Jpeg(16, 16, 3);
    progressive.progressive = true;
    size_t sos = 0;
    while (!(valid[sos] == 0xFF && valid[sos + 1] == 0xDA)) sos++;
    ExpectAllRefused(DecodeJpegGraphImage, {
        {"empty", {}},
        {"not a JPEG", EncodePng(Png(1, 1, PNG_COLOR_TYPE_GRAY, 8, {0}))},
        {"cut before the first scan", Bytes(valid.begin(), valid.begin() + long(sos))},
        {"a large image from a few bytes", WithJpegSize(valid, 12000, 12000)},
        {"over the byte limit", WithJpegSize(valid, 30000, 30000)},
        {"more scans than any real file", WithRepeatedScans(EncodeJpeg(progressive), 300)},
    });
}

}  // namespace

namespace {

// A PNG with a text chunk after the header whose checksum is wrong: libpng warns and
// skips the chunk.
Bytes WithBrokenTextChunk(const Bytes& png) {
    Bytes chunk = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b', 0xDE, 0xAD, 0xBE, 0xEF};
    Bytes out(png.begin(), png.begin() + 33);  // the signature and the header chunk
    Append(out, chunk);
    out.insert(out.end(), png.begin() + 33, png.end());
    return out;
}

}  // namespace

// The loader offers each file to every decoder in turn, so refusals are routine: they,
// and the warnings of files that still decode, print nothing to standard error.
TEST(ImageDecoders, RefusalsAndWarningsPrintNothing) {
    const Bytes jpeg = EncodeJpeg(Jpeg(64, 64, 3));
    const Bytes png = EncodePng(Png(4, 4, PNG_COLOR_TYPE_RGB, 8, TestPicture(4, 4, 3)));
    const Bytes cutJpeg(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
    const Bytes cutPng(png.begin(), png.end() - 20);
    const Bytes warnedPng = WithBrokenTextChunk(png);

    ::testing::internal::CaptureStderr();
    ExpectRefused(DecodeJpegGraphImage, png, "a PNG offered to the JPEG decoder");
    ExpectRefused(DecodePngGraphImage, jpeg, "a JPEG offered to the PNG decoder");
    ExpectRefused(DecodePngGraphImage, cutPng, "a PNG cut short");
    const std::pair<Decoder, const Bytes*> decodedWithWarnings[] = {{DecodeJpegGraphImage, &cutJpeg},
                                                                    {DecodePngGraphImage, &warnedPng}};
    for (auto [decoder, file] : decodedWithWarnings) {
        GraphImage image{};
        EXPECT_EQ(0, DecodeBytes(decoder, *file, &image));
        FreeDecoded(&image);
    }
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}
