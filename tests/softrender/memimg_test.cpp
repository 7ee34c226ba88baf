// The software image record: set-up rules, views, release, conversions, the run stream
// and the premultiplied plane, the raw fill, and the refusals that keep every buffer
// access inside its image.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "library/core/alloc.h"
#include "library/softrender/blit.h"
#include "library/softrender/primitives.h"
#include "platform/ddraw/ddraw_types.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

struct OwnedGraphImage {
    GraphImage image{};
    std::vector<uint8_t> bytes;
};

OwnedGraphImage MakeGraphImage(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, int width, int height) {
    OwnedGraphImage out;
    InitColorFormatFromMasks(&out.image.format, bits, r, g, b, a);
    out.image.width = width;
    out.image.height = height;
    out.image.pitch = width * (bits / 8);
    out.bytes.assign(size_t(out.image.pitch) * height, 0);
    out.image.pixels = out.bytes.data();
    return out;
}

TEST(MemImgSetup, PitchAndLog2Pitch) {
    struct Row {
        int kind, width, height, pitch, alpha;
        int wantPitch, wantLog2;
    } rows[] = {
        {MemImgFormat32, 3, 2, -1, 0, 16, 4},   // 12 bytes -> 16, the pitch itself
        {MemImgFormat16, 5, 1, -1, 0, 16, 4},   // 10 -> 16
        {MemImgFormat16, 4, 1, -1, 0, 16, -1},  // 8 bytes is a power of two, but the pitch is 16
        {MemImgFormat16, 16, 1, -1, 0, 32, 5},
        {MemImgFormat16, 10, 1, -1, 1, 48, -1},  // 4 bytes per pixel with alpha
        {MemImgFormat32, 5, 1, 64, 0, 64, 6},
        {MemImgFormat32, 5, 1, 48, 0, 48, -1},
        {MemImgFormat8, 3, 1, -1, 0, 16, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << " width " << row.width << " pitch " << row.pitch);
        MEMIMG image{};
        ASSERT_EQ(SetupMemImg(&image, row.width, row.height, row.pitch, 0, row.kind, 0, row.alpha, 0), 0);
        EXPECT_EQ(image.pitch, row.wantPitch);
        EXPECT_EQ(image.log2Pitch, row.wantLog2);
        EXPECT_EQ(image.validMark, uint32_t(MemImgValidMark));
        ReleaseMemImg(&image);
    }
}

TEST(MemImgSetup, FlagsFormatsAndBuffers) {
    // A palette image has no alpha; 8-bit and Z images have neither.
    Image palette = MakeImage(MemImgFormat16, 4, 4, 1, 1, 1);
    EXPECT_EQ(palette->paletteFlag, 1);
    EXPECT_EQ(palette->alphaFlag, 0);
    EXPECT_EQ(MemImgBytesPerPixel(palette.get()), 1);
    EXPECT_EQ(palette->paletteA, palette->inlinePalettes[0]);
    EXPECT_EQ(palette->paletteB, palette->inlinePalettes[1]);
    EXPECT_NE(palette->runStream, nullptr);
    EXPECT_EQ(palette->premultiplied, nullptr);
    Image z = MakeImage(MemImgFormatZ16, 4, 4, 1, 1, 1);
    EXPECT_EQ(z->paletteFlag + z->alphaFlag, 0);
    Image eight = MakeImage(MemImgFormat8, 4, 4, 0, 0, 1);
    EXPECT_EQ(eight->runStream, nullptr);  // 8-bit images never get a run stream
    Image alpha = MakeImage(MemImgFormat32, 4, 4, 1, 0, 1);
    EXPECT_NE(alpha->premultiplied, nullptr);
    EXPECT_EQ(alpha->colorFormat, LookupMemImgColorFormat(MemImgFormat32, 1, 0));
    EXPECT_EQ(alpha->runStreamValid + alpha->premultipliedValid, 0);
}

TEST(MemImgSetup, RefusalsAndRelease) {
    const int blocks = GetTrackedBlockCount();
    MEMIMG image{};
    ASSERT_EQ(SetupMemImg(&image, 8, 8, -1, 0, MemImgFormat16, 0, 0, 1), 0);
    EXPECT_EQ(SetupMemImg(&image, 8, 8, -1, 0, MemImgFormat16, 0, 0, 0), -1);  // already set up
    EXPECT_EQ(GetTrackedBlockCount(), blocks + 2);
    ReleaseMemImg(&image);
    ReleaseMemImg(&image);  // the second release frees nothing
    EXPECT_EQ(GetTrackedBlockCount(), blocks);
    EXPECT_EQ(image.pixels, nullptr);

    struct Bad {
        int width, height, pitch, kind;
    } bad[] = {{-1, 4, -1, MemImgFormat16}, {4, -1, -1, MemImgFormat16}, {70000, 1, -1, MemImgFormat16},
               {40000, 40000, -1, MemImgFormat32}, {8, 2, 10, MemImgFormat16}, {4, 4, -1, 7}};
    for (const Bad& b : bad) {
        MEMIMG refused{};
        EXPECT_EQ(SetupMemImg(&refused, b.width, b.height, b.pitch, 0, b.kind, 0, 0, 0), -1);
        EXPECT_NE(refused.validMark, uint32_t(MemImgValidMark));
    }
    EXPECT_EQ(GetTrackedBlockCount(), blocks);

    // Pixels preset by the caller stay the caller's.
    std::vector<uint8_t> mine(64);
    MEMIMG borrowed{};
    borrowed.pixels = mine.data();
    ASSERT_EQ(SetupMemImg(&borrowed, 4, 2, 16, 0, MemImgFormat32, 0, 0, 0), 0);
    EXPECT_EQ(borrowed.pixelsNotOwned, 1);
    ReleaseMemImg(&borrowed);
    EXPECT_EQ(GetTrackedBlockCount(), blocks);
}

TEST(MemImgSetup, ScreenFormatAndZBuffer) {
    MEMIMG image;
    g_Screen.requestedColorBits = 16;
    ASSERT_EQ(CreateMemImgInScreenFormat(&image, 5, 5, -1), 0);
    EXPECT_EQ(image.formatKind, MemImgFormat16);
    ReleaseMemImg(&image);
    g_Screen.requestedColorBits = 32;
    ASSERT_EQ(CreateMemImgInScreenFormat(&image, 5, 5, -1), 0);
    EXPECT_EQ(image.formatKind, MemImgFormat32);
    ReleaseMemImg(&image);
    g_Screen.requestedColorBits = 0;
    ASSERT_EQ(CreateZBufferMemImg(&image, 3, 3), 0);
    EXPECT_EQ(image.formatKind, MemImgFormatZ16);
    EXPECT_EQ(image.runStream, nullptr);
    ReleaseMemImg(&image);
}

TEST(MemImgView, SharesPixelsAndOwnsNothing) {
    Image source = MakeImage(MemImgFormat32, 10, 6, 0, 0, 1, 0x123456);
    source->paletteCount = 7;
    MEMIMG view;
    ASSERT_EQ(MakeMemImgView(&view, source.get(), 3, 2, 4, 3), &view);
    EXPECT_EQ(view.pixels, source->pixels + 3 * 4 + 2 * source->pitch);
    EXPECT_EQ(view.width, 4);
    EXPECT_EQ(view.pitch, source->pitch);
    EXPECT_EQ(view.transparentValue, 0x123456u);
    EXPECT_EQ(view.paletteCount, 7);
    EXPECT_EQ(view.runStream, nullptr);
    EXPECT_EQ(view.pixelsNotOwned, 1);
    const int blocks = GetTrackedBlockCount();
    ReleaseMemImg(&view);
    EXPECT_EQ(GetTrackedBlockCount(), blocks);
    // A rectangle that leaves the source gives an empty view, which draws nothing.
    MakeMemImgView(&view, source.get(), 8, 0, 4, 2);
    EXPECT_EQ(view.width, 0);
    EXPECT_EQ(view.pixels, nullptr);
}

// A whole-image conversion of a 132-pixel row: 130 key pixels then 2 others.
TEST(MemImgRunStream, RunsAreCutAt64AndClosedPerRow) {
    OwnedGraphImage row = MakeGraphImage(16, 0xF800, 0x07E0, 0x001F, 0, 132, 1);
    uint16_t* pixels = reinterpret_cast<uint16_t*>(row.bytes.data());
    for (int x = 0; x < 132; x++) pixels[x] = x < 130 ? 0x1234 : 0xFFFF;
    Image image = MakeImage(MemImgFormat16, 132, 1, 0, 0, 1, 0x1234);
    ASSERT_GE(ConvertGraphImageToMemImg(&row.image, nullptr, image.get(), 0, 0, 132, 1, 0, 0, 0), 0);
    EXPECT_EQ(image->runStreamValid, 1);
    const uint8_t want[] = {0x3F, 0x3F, 0x01, 0x41, 0xC0};
    EXPECT_EQ(std::vector<uint8_t>(image->runStream, image->runStream + 5), std::vector<uint8_t>(want, want + 5));
}

TEST(MemImgRunStream, AlphaKindsAndPremultipliedPlane) {
    OwnedGraphImage row = MakeGraphImage(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 5, 1);
    const uint32_t argb[5] = {0x00102030, 0xFF102030, 0x80FF8040, 0x80FF8040, 0x00FFFFFF};
    std::memcpy(row.bytes.data(), argb, sizeof(argb));
    Image image = MakeImage(MemImgFormat32, 5, 1, 1, 0, 1);
    ASSERT_GE(ConvertGraphImageToMemImg(&row.image, nullptr, image.get(), 0, 0, 5, 1, 0, 0, 0), 0);
    const uint8_t want[] = {0x00, 0x40, 0x81, 0x00, 0xC0};
    EXPECT_EQ(std::vector<uint8_t>(image->runStream, image->runStream + 5), std::vector<uint8_t>(want, want + 5));
    EXPECT_EQ(image->premultipliedValid, 1);
    uint32_t premultiplied;
    std::memcpy(&premultiplied, image->premultiplied + 8, 4);
    EXPECT_EQ(premultiplied, 0x807F4020u);  // 0xFF * 128 >> 8 = 0x7F, 0x80 -> 0x40, 0x40 -> 0x20

    // The 16-bit alpha layout: RGB565 word, alpha byte, pad byte.
    Image alpha16 = MakeImage(MemImgFormat16, 5, 1, 1, 0, 1);
    ASSERT_GE(ConvertGraphImageToMemImg(&row.image, nullptr, alpha16.get(), 0, 0, 5, 1, 0, 0, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(alpha16->runStream, alpha16->runStream + 5), std::vector<uint8_t>(want, want + 5));
    EXPECT_EQ(alpha16->pixels[8 + 2], 0x80);
    const uint32_t c = alpha16->pixels[8] | alpha16->pixels[9] << 8;  // 0xFF8040 in RGB565
    const uint32_t p = alpha16->premultiplied[8] | alpha16->premultiplied[9] << 8;
    EXPECT_EQ(c, 0xFC08u);
    EXPECT_EQ(p, ((0xF800u * 0x80 >> 8) & 0xF800) | ((0x0400u * 0x80 >> 8) & 0x07E0) | ((0x08u * 0x80 >> 8) & 0x1F));
}

TEST(MemImgRunStream, PartialConversionAndEveryWriteInvalidate) {
    OwnedGraphImage source = MakeGraphImage(16, 0xF800, 0x07E0, 0x001F, 0, 8, 4);
    Image image = MakeImage(MemImgFormat16, 8, 4, 0, 0, 1);
    auto convertWhole = [&] {
        ASSERT_GE(ConvertGraphImageToMemImg(&source.image, nullptr, image.get(), 0, 0, 8, 4, 0, 0, 0), 0);
        ASSERT_EQ(image->runStreamValid, 1);
    };
    convertWhole();
    ConvertGraphImageToMemImg(&source.image, nullptr, image.get(), 0, 0, 8, 3, 0, 0, 0);
    EXPECT_EQ(image->runStreamValid, 0) << "partial conversion";

    BuildBlendTables();
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 8, 4}, 0);
    Image other = MakeImage(MemImgFormat16, 8, 4);
    const std::function<void()> writes[] = {
        [&] { FillMemImgRectRaw(image.get(), nullptr, 1); },
        [&] { FillMemImgBoxBlend(image.get(), 0, 0, 2, 2, 1); },
        [&] { PlotLineOnMemImg(image.get(), 0, 0, 3, 3, 1); },
        [&] { DrawImageOnMemImg(image.get(), other.get(), 0, 0, 0, nullptr); },
        [&] { ConvertMemImgToMemImg(image.get(), other.get(), nullptr, 0, 0); },
    };
    for (const auto& write : writes) {
        convertWhole();
        write();
        EXPECT_EQ(image->runStreamValid, 0);
    }
}

TEST(MemImgConvert, PaletteEntriesAndCount) {
    OwnedGraphImage indices = MakeGraphImage(8, 0xFF0000, 0xFF00, 0xFF, 0, 4, 1);
    for (int i = 0; i < 256; i++) indices.image.format.palette[i] = 0x00FF8040u + uint32_t(i);
    indices.bytes = {0, 9, 3, 2};
    indices.image.pixels = indices.bytes.data();
    Image image16 = MakeImage(MemImgFormat16, 4, 1, 0, 1);
    ASSERT_EQ(ConvertGraphImageToMemImg(&indices.image, nullptr, image16.get(), 0, 0, 4, 1, 0, 0, 0), 9);
    EXPECT_EQ(image16->paletteCount, 10);
    EXPECT_EQ(static_cast<uint16_t*>(image16->paletteA)[1], (0xFF >> 3) << 11 | (0x80 >> 2) << 5 | (0x41 >> 3));
    EXPECT_EQ(std::memcmp(image16->paletteA, image16->paletteB, 512), 0);
    EXPECT_EQ(std::vector<uint8_t>(image16->pixels, image16->pixels + 4), indices.bytes);
    // A later conversion of lower indices keeps the count covering index 9.
    ASSERT_EQ(ConvertGraphImageToMemImg(&indices.image, nullptr, image16.get(), 3, 0, 1, 1, 0, 0, 0), 2);
    EXPECT_EQ(image16->paletteCount, 10);

    Image image32 = MakeImage(MemImgFormat32, 4, 1, 0, 1);
    ASSERT_EQ(ConvertGraphImageToMemImg(&indices.image, nullptr, image32.get(), 0, 0, 4, 1, 0, 0, 0), 9);
    EXPECT_EQ(static_cast<uint32_t*>(image32->paletteA)[5], 0x00FF8045u);
}

TEST(MemImgConvert, DepthImagesTakeTheRedChannel) {
    OwnedGraphImage source = MakeGraphImage(32, 0xFF0000, 0xFF00, 0xFF, 0, 2, 1);
    const uint32_t pixels[2] = {0x00AB0000, 0x0012FFFF};
    std::memcpy(source.bytes.data(), pixels, 8);
    Image eight = MakeImage(MemImgFormat8, 2, 1);
    ASSERT_GE(ConvertGraphImageToMemImg(&source.image, nullptr, eight.get(), 0, 0, 2, 1, 0, 0, 0), 0);
    EXPECT_EQ(eight->pixels[0], 0xAB);
    EXPECT_EQ(eight->pixels[1], 0x12);
}

TEST(MemImgConvert, BlocksOutsideEitherImageAreRefused) {
    OwnedGraphImage source = MakeGraphImage(16, 0xF800, 0x07E0, 0x001F, 0, 4, 4);
    Image image = MakeImage(MemImgFormat16, 4, 4);
    FillMemImgRectRaw(image.get(), nullptr, 0x5555);
    const std::vector<uint8_t> before = ImageBytes(image.get());
    EXPECT_EQ(ConvertGraphImageToMemImg(&source.image, nullptr, image.get(), 2, 0, 4, 4, 0, 0, 0), -1);
    EXPECT_EQ(ConvertGraphImageToMemImg(&source.image, nullptr, image.get(), 0, 0, 4, 4, 1, 0, 0), -1);
    EXPECT_EQ(ConvertGraphImageToMemImg(&source.image, nullptr, image.get(), -1, 0, 2, 2, 0, 0, 0), -1);
    Image small = MakeImage(MemImgFormat16, 2, 2);
    EXPECT_EQ(ConvertMemImgToMemImg(small.get(), image.get(), nullptr, 0, 0), -1);
    const RECT outside{3, 3, 5, 5};
    EXPECT_EQ(ConvertMemImgToMemImg(image.get(), image.get(), &outside, 0, 0), -1);
    ConvertMemImgToGraphImage(&source.image, image.get(), 0, 0, 4, 4, 1, 1, 0, 0);
    EXPECT_EQ(ImageBytes(image.get()), before);
    EXPECT_EQ(source.bytes, std::vector<uint8_t>(32, 0));
}

TEST(MemImgConvert, ToGraphImageWithKey) {
    Image image = MakeImage(MemImgFormat16, 3, 1);
    WritePixel(image.get(), 0, 0, 0x1111);
    WritePixel(image.get(), 1, 0, 0xF81F);
    WritePixel(image.get(), 2, 0, 0x2222);
    OwnedGraphImage out = MakeGraphImage(16, 0xF800, 0x07E0, 0x001F, 0, 3, 1);
    ConvertMemImgToGraphImage(&out.image, image.get(), 0, 0, 3, 1, 0, 0, 0xF81F, 1);
    const uint16_t* px = reinterpret_cast<const uint16_t*>(out.bytes.data());
    EXPECT_EQ(px[0], 0x1111);
    EXPECT_EQ(px[1], 0);  // the key is not written
    EXPECT_EQ(px[2], 0x2222);
    // Palette and alpha images are not copied out.
    Image alpha = MakeImage(MemImgFormat16, 3, 1, 1);
    FillMemImgRectRaw(alpha.get(), nullptr, 0xFFFFFFFF);
    ConvertMemImgToGraphImage(&out.image, alpha.get(), 0, 0, 3, 1, 0, 0, 0, 0);
    EXPECT_EQ(px[0], 0x1111);
}

TEST(MemImgFill, RawFillClipsAndKeepsThePadding) {
    Image image = MakeImage(MemImgFormat16, 5, 3);  // pitch 16: 6 bytes of padding per row
    std::memset(image->pixels, 0xEE, size_t(image->pitch) * 3);
    const RECT outside{5, 0, 9, 3};
    FillMemImgRectRaw(image.get(), &outside, 0x1234);
    EXPECT_EQ(image->pixels[0], 0xEE);
    FillMemImgRectRaw(image.get(), nullptr, 0xABCD1234);
    for (int y = 0; y < 3; y++) {
        for (int x = 0; x < 5; x++) EXPECT_EQ(ReadPixel(image.get(), x, y), 0x1234u);
        for (int i = 10; i < 16; i++) EXPECT_EQ(image->pixels[y * 16 + i], 0xEE);
    }
    const RECT corner{-3, -3, 2, 1};
    Image eight = MakeImage(MemImgFormat8, 4, 2);
    std::memset(eight->pixels, 0, size_t(eight->pitch) * 2);
    FillMemImgRectRaw(eight.get(), &corner, 0x1FF);
    EXPECT_EQ(eight->pixels[0], 0xFF);
    EXPECT_EQ(eight->pixels[1], 0xFF);
    EXPECT_EQ(eight->pixels[2], 0);
    EXPECT_EQ(eight->pixels[eight->pitch], 0);
}

TEST(MemImgFormats, DDPixelFormatPresets) {
    const DDPIXELFORMAT* f = LookupMemImgDDPixelFormat(MemImgFormat16, 1, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->dwSize, 32u);
    EXPECT_EQ(f->dwFlags, DDPF_RGB);
    EXPECT_EQ(f->dwRGBBitCount, 32u);
    EXPECT_EQ(f->dwRGBAlphaBitMask, 0xFF0000u);
    EXPECT_EQ(LookupMemImgDDPixelFormat(MemImgFormat32, 0, 1)->dwRGBBitCount, 8u);
    const DDPIXELFORMAT* z = LookupMemImgDDPixelFormat(MemImgFormatZ16, 0, 0);
    EXPECT_EQ(z->dwSize, 0u);
    EXPECT_EQ(z->dwRGBBitCount, 16u);
    EXPECT_EQ(z->dwGBitMask, 0xFFFFu);
    EXPECT_EQ(LookupMemImgDDPixelFormat(MemImgFormat8, 0, 0)->dwRGBAlphaBitMask, 0xFFu);
    EXPECT_EQ(LookupMemImgDDPixelFormat(4, 0, 0), nullptr);
}

}  // namespace
