// The blitters' worked values, refusals, clipping and stepping properties, and the
// stretched draw's source rectangle.
#include <gtest/gtest.h>

#include <climits>

#include "blit_reference.h"
#include "library/softrender/blit.h"
#include "library/softrender/soft_draw.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

class BlitCasesTest : public SoftRenderTest {
protected:
    // One source pixel drawn 1:1 onto one destination pixel.
    uint32_t DrawOne(int kind, uint32_t source, uint32_t dest, int transparent = 0, int alpha = 0,
                     uint32_t key = 0) {
        Image s = MakeImage(kind, 1, 1, alpha, 0, 0, key), d = MakeImage(kind, 1, 1);
        WritePixel(s.get(), 0, 0, source);
        WritePixel(d.get(), 0, 0, dest);
        DrawImageOnMemImg(d.get(), s.get(), 0, 0, transparent, nullptr);
        return ReadPixel(d.get(), 0, 0);
    }
    // A row of pixels as one image.
    Image Row(int kind, std::initializer_list<uint32_t> pixels, int alpha = 0, int extras = 0, uint32_t key = 0) {
        Image image = MakeImage(kind, int(pixels.size()), 1, alpha, 0, extras, key);
        int x = 0;
        for (uint32_t p : pixels) WritePixel(image.get(), x++, 0, p);
        return image;
    }
    std::vector<uint32_t> Pixels(const MEMIMG* image) {
        std::vector<uint32_t> out;
        for (int y = 0; y < image->height; y++)
            for (int x = 0; x < image->width; x++) out.push_back(ReadPixel(image, x, y));
        return out;
    }
};

TEST_F(BlitCasesTest, WorkedValues) {
    struct Row {
        const char* what;
        int kind, mode, p, mmx;
        uint32_t source, dest, want;
    } rows[] = {
        {"565 add 255 saturates", MemImgFormat16, BlendAdd, 255, 0, 0xFFFF, 0xFFFF, 0xFFFF},
        {"565 add 255 drops the low bits of red and green", MemImgFormat16, BlendAdd, 255, 0, 0xFFFF, 0x0000, 0xF7DF},
        {"565 add 255: blue's carry sets green's low bit", MemImgFormat16, BlendAdd, 255, 0, 0x0010, 0x0010, 0x003F},
        {"8888 subtract 255", MemImgFormat32, BlendSubtract, 255, 0, 0x00204010, 0x00102030, 0x00000020},
        {"8888 subtract 255, MMX", MemImgFormat32, BlendSubtract, 255, 1, 0x00204010, 0x00102030, 0x00000020},
        {"565 multiply white by white", MemImgFormat16, BlendMultiply, 0, 0, 0xFFFF, 0xFFFF, 0xF7DE},
        {"8888 average clears byte 3", MemImgFormat32, BlendAlpha, 128, 0, 0x00FEFEFE, 0xAA000000, 0x007F7F7F},
        {"8888 average, MMX, the same", MemImgFormat32, BlendAlpha, 128, 1, 0x00FEFEFE, 0xAA000000, 0x007F7F7F},
        {"8888 per-channel alpha keeps byte 3", MemImgFormat32, BlendAlpha, 64, 0, 0x00FFFFFF, 0xAA000000, 0xAA3F3F3F},
        {"8888 add 255 carries into byte 3", MemImgFormat32, BlendAdd, 255, 0, 0xFF800000, 0x01800000, 0x01FF0000},
        {"8888 add 255, MMX, saturates every byte", MemImgFormat32, BlendAdd, 255, 1, 0xFF800000, 0x01800000, 0xFFFF0000},
        // The guard bits of the packed subtract stay in green's and red's low bits.
        {"8888 subtract 255 clears byte 3", MemImgFormat32, BlendSubtract, 255, 0, 0x01000000, 0x80000000, 0x00010100},
        {"8888 subtract 255, MMX, subtracts byte 3", MemImgFormat32, BlendSubtract, 255, 1, 0x01000000, 0x80000000, 0x7F000000},
        {"alpha p = 255 is mode none", MemImgFormat16, BlendAlpha, 255, 0, 0x1234, 0xFFFF, 0x1234},
        {"alpha p = 0 draws nothing", MemImgFormat16, BlendAlpha, 0, 0, 0x1234, 0xFFFF, 0xFFFF},
        {"add p = 0 draws nothing", MemImgFormat32, BlendAdd, 0, 0, 0xFFFFFF, 0x123456, 0x123456},
        {"mode 5 draws nothing", MemImgFormat16, 5, 128, 0, 0x1234, 0xFFFF, 0xFFFF},
        // BlendLerp6Table[127 >> 2 = 31]: (31 * 31 + 32 * 0) / 63 = 15 for red and blue,
        // (31 * 63) / 63 = 31 for green.
        {"565 alpha 127 through the 6-bit table", MemImgFormat16, BlendAlpha, 127, 0, 0xFFFF, 0x0000, 15 << 11 | 31 << 5 | 15},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetDrawSettings(row.mode, row.p, 0xFFFFFF, RECT{0, 0, 1, 1}, row.mmx);
        EXPECT_EQ(DrawOne(row.kind, row.source, row.dest), row.want);
    }
}

// Worked values of the two blitters side by side: the 1:1 blitter's 16-bit alpha goes
// through BlendLerp6Table[100 >> 2] (red (25 * 31) / 63 = 12, green (38 * 63) / 63 = 38,
// blue (38 * 31) / 63 = 18), the scaled one's through BlendSignedMulTable[100] (red
// 100 * 31 / 255 = 12, green 63 - 24 = 39, blue 31 - 12 = 19). An alpha source in add
// and subtract without a blend image scales by (s * a) >> 8 at every alpha, 255 included:
// white at alpha 255 gives the term 254 (30, 62, 30 in RGB565).
TEST_F(BlitCasesTest, WorkedValuesOfBothBlitters) {
    struct Row {
        const char* what;
        int kind, mode, p, alpha, transparent;
        uint32_t source, dest, want1to1, wantScaled;
    } rows[] = {
        {"565 alpha 100", MemImgFormat16, BlendAlpha, 100, 0, 0, 0xF800, 0x07FF, 0x64D2, 0x64F3},
        {"8888 add 255, alpha 255", MemImgFormat32, BlendAdd, 255, 1, 0, 0xFFFFFFFF, 0, 0xFEFEFE, 0xFEFEFE},
        {"8888 add 255, alpha 255, transparent", MemImgFormat32, BlendAdd, 255, 1, 1, 0xFFFFFFFF, 0, 0xFEFEFE, 0xFEFEFE},
        {"8888 subtract 255, alpha 255", MemImgFormat32, BlendSubtract, 255, 1, 0, 0xFFFFFFFF, 0xFFFFFF, 0x010101, 0x010101},
        {"565 add 255, alpha 255", MemImgFormat16, BlendAdd, 255, 1, 0, 0x00FFFFFF, 0, 0xF7DE, 0xF7DE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetDrawSettings(row.mode, row.p, 0xFFFFFF, RECT{0, 0, 2, 1}, 0);
        Image source = MakeImage(row.kind, 1, 1, row.alpha);
        WritePixel(source.get(), 0, 0, row.source);
        Image dest = MakeImage(row.kind, 2, 1);
        WritePixel(dest.get(), 0, 0, row.dest);
        DrawImageOnMemImg(dest.get(), source.get(), 0, 0, row.transparent, nullptr);
        EXPECT_EQ(ReadPixel(dest.get(), 0, 0), row.want1to1);
        WritePixel(dest.get(), 0, 0, row.dest);
        const RECT twoWide{0, 0, 2, 1};
        DrawStretchedImageOnMemImg(dest.get(), source.get(), &twoWide, row.transparent, nullptr);
        EXPECT_EQ(ReadPixel(dest.get(), 0, 0), row.wantScaled);
    }
}

TEST_F(BlitCasesTest, AlphaSourcesAndTransparency) {
    // A 16-bit alpha source in mode none: without the flag alpha is ignored; with it,
    // alpha 0 is skipped and alpha 255 copied.
    EXPECT_EQ(DrawOne(MemImgFormat16, 0x00001234, 0xFFFF, 0, 1), 0x1234u);
    EXPECT_EQ(DrawOne(MemImgFormat16, 0x00001234, 0xFFFF, 1, 1), 0xFFFFu);
    EXPECT_EQ(DrawOne(MemImgFormat16, 0x00FF1234, 0xFFFF, 1, 1), 0x1234u);
    // A 32-bit alpha source copies its alpha byte with the pixel.
    EXPECT_EQ(DrawOne(MemImgFormat32, 0xFF123456, 0, 1, 1), 0xFF123456u);
    // Multiply with alpha 0 writes black.
    SetDrawSettings(BlendMultiply, 0, 0xFFFFFF, RECT{0, 0, 1, 1}, 0);
    EXPECT_EQ(DrawOne(MemImgFormat16, 0x0000FFFF, 0xFFFF, 1, 1), 0u);
    EXPECT_EQ(DrawOne(MemImgFormat32, 0x00FFFFFF, 0x55FFFFFF, 1, 1), 0x55000000u);
    // Key pixels of a direct source are left out.
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 1, 1}, 0);
    EXPECT_EQ(DrawOne(MemImgFormat16, 0xF81F, 0x1111, 1, 0, 0xF81F), 0x1111u);
    EXPECT_EQ(DrawOne(MemImgFormat16, 0xF81F, 0x1111, 0, 0, 0xF81F), 0xF81Fu);
}

// On a pair of RGB565 pixels the packed add keeps its pair form: the second pixel
// loses its blue low bit, and the first pixel's red carry lands in it.
TEST_F(BlitCasesTest, PackedAddPairsWithoutTransparency) {
    SetDrawSettings(BlendAdd, 255, 0xFFFFFF, RECT{0, 0, 3, 1}, 0);
    Image source = Row(MemImgFormat16, {0x8000, 0x0001, 0x0001});
    Image dest = Row(MemImgFormat16, {0x8000, 0x0000, 0x0000});
    DrawImageOnMemImg(dest.get(), source.get(), 0, 0, 0, nullptr);
    // Pixel 0: red 16 + 16 saturates; its carry sets pixel 1's blue bit 0, whose own
    // blue 1 was masked off. Pixel 2 is the odd one, added alone.
    EXPECT_EQ(Pixels(dest.get()), (std::vector<uint32_t>{0xF800, 0x0001, 0x0001}));
    Image dest2 = Row(MemImgFormat16, {0x0000, 0x0000, 0x0000});
    DrawImageOnMemImg(dest2.get(), source.get(), 0, 0, 0, nullptr);
    EXPECT_EQ(Pixels(dest2.get()), (std::vector<uint32_t>{0x8000, 0x0000, 0x0001}));
}

TEST_F(BlitCasesTest, Refusals) {
    struct Row {
        const char* what;
        int sourceKind, destKind, destPalette, destAlpha;
    } rows[] = {
        {"16-bit onto 32-bit", MemImgFormat16, MemImgFormat32, 0, 0},
        {"32-bit onto 16-bit", MemImgFormat32, MemImgFormat16, 0, 0},
        {"onto a palette image", MemImgFormat16, MemImgFormat16, 1, 0},
        {"onto an alpha image", MemImgFormat32, MemImgFormat32, 0, 1},
        {"8-bit images", MemImgFormat8, MemImgFormat8, 0, 0},
        {"Z images", MemImgFormatZ16, MemImgFormatZ16, 0, 0},
    };
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 64, 64}, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Image source = MakeImage(row.sourceKind, 4, 4);
        FillMemImgRectRaw(source.get(), nullptr, 0x12345678);
        Image dest = MakeImage(row.destKind, 8, 8, row.destAlpha, row.destPalette);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        const std::vector<uint8_t> before = ImageBytes(dest.get());
        DrawImageOnMemImg(dest.get(), source.get(), 0, 0, 0, nullptr);
        const RECT scaled{0, 0, 8, 7};
        DrawStretchedImageOnMemImg(dest.get(), source.get(), &scaled, 0, nullptr);
        EXPECT_EQ(ImageBytes(dest.get()), before);
    }
    // A blend image that does not cover the drawn part of the source.
    Image source = MakeImage(MemImgFormat16, 4, 4), dest = MakeImage(MemImgFormat16, 8, 8);
    FillMemImgRectRaw(source.get(), nullptr, 0xFFFF);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    Image small = MakeImage(MemImgFormat8, 3, 4);
    FillMemImgRectRaw(small.get(), nullptr, 255);
    DrawImageOnMemImg(dest.get(), source.get(), 0, 0, 0, small.get());
    const RECT scaled{0, 0, 8, 8};
    DrawStretchedImageOnMemImg(dest.get(), source.get(), &scaled, 0, small.get());
    EXPECT_EQ(ReadPixel(dest.get(), 0, 0), 0u);
    // ... but is enough when the clip leaves out the part it does not cover.
    g_DrawState.clipRect = RECT{0, 0, 3, 8};
    DrawImageOnMemImg(dest.get(), source.get(), 0, 0, 0, small.get());
    EXPECT_EQ(ReadPixel(dest.get(), 0, 0), 0xF7DEu);  // lerp(0, 31, 255, 8) = 30, green 62
    EXPECT_EQ(ReadPixel(dest.get(), 3, 0), 0u);
}

TEST_F(BlitCasesTest, ClippingProperties) {
    std::mt19937 rng(3);
    SetDrawSettings(BlendAlpha, 100, 0xFFFFFF, RECT{0, 0, 30, 20}, 0);
    Image source = MakeImage(MemImgFormat32, 9, 5, 0, 0, 0, 0x123);
    FillRandom(source.get(), rng);
    // A clipped draw equals the unclipped draw cropped.
    Image whole = MakeImage(MemImgFormat32, 30, 20), clipped = MakeImage(MemImgFormat32, 30, 20);
    FillRandom(whole.get(), rng);
    std::memcpy(clipped->pixels, whole->pixels, size_t(whole->pitch) * 20);
    Image original = MakeImage(MemImgFormat32, 30, 20);
    std::memcpy(original->pixels, whole->pixels, size_t(whole->pitch) * 20);
    DrawImageOnMemImg(whole.get(), source.get(), 10, 7, 1, nullptr);
    g_DrawState.clipRect = RECT{12, 8, 16, 10};
    DrawImageOnMemImg(clipped.get(), source.get(), 10, 7, 1, nullptr);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 30; x++) {
            const bool inside = x >= 12 && x < 16 && y >= 8 && y < 10;
            const MEMIMG* want = inside ? whole.get() : original.get();
            EXPECT_EQ(ReadPixel(clipped.get(), x, y), ReadPixel(want, x, y)) << x << "," << y;
        }
    // An overlap of one column draws exactly that column.
    Image canvas = MakeImage(MemImgFormat16, 10, 10);
    Image opaque = MakeImage(MemImgFormat16, 4, 4);
    FillMemImgRectRaw(canvas.get(), nullptr, 0);
    FillMemImgRectRaw(opaque.get(), nullptr, 0xFFFF);
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 10, 10}, 0);
    DrawImageOnMemImg(canvas.get(), opaque.get(), -3, 2, 0, nullptr);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) EXPECT_EQ(ReadPixel(canvas.get(), x, y), x == 0 && y >= 2 && y < 6 ? 0xFFFFu : 0u);
    // Wholly outside: nothing.
    FillMemImgRectRaw(canvas.get(), nullptr, 0);
    DrawImageOnMemImg(canvas.get(), opaque.get(), 10, 0, 0, nullptr);
    DrawImageOnMemImg(canvas.get(), opaque.get(), INT_MAX - 1, INT_MIN, 0, nullptr);
    EXPECT_EQ(Pixels(canvas.get()), std::vector<uint32_t>(100, 0));
}

// The run stream gives the plain rows' pixels, and is not used once the source changed.
TEST_F(BlitCasesTest, RunStreamMatchesPlainRowsAndNeverGoesStale) {
    std::mt19937 rng(8);
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 64, 8}, 0);
    Image source = MakeImage(MemImgFormat16, 50, 3, 0, 0, 1, 0xF81F);
    FillRandom(source.get(), rng);
    BuildMemImgRunStream(source.get());
    Image a = MakeImage(MemImgFormat16, 64, 8), b = MakeImage(MemImgFormat16, 64, 8);
    FillMemImgRectRaw(a.get(), nullptr, 0x1111);
    FillMemImgRectRaw(b.get(), nullptr, 0x1111);
    DrawImageOnMemImg(a.get(), source.get(), 5, 2, 1, nullptr);
    source->runStreamValid = 0;
    DrawImageOnMemImg(b.get(), source.get(), 5, 2, 1, nullptr);
    EXPECT_EQ(ImageBytes(a.get()), ImageBytes(b.get()));

    // Draw into the source after its stream was built: the new pixels show.
    BuildMemImgRunStream(source.get());
    FillMemImgRectRaw(source.get(), nullptr, 0x07E0);
    FillMemImgRectRaw(a.get(), nullptr, 0);
    DrawImageOnMemImg(a.get(), source.get(), 0, 0, 1, nullptr);
    for (int x = 0; x < 50; x++) ASSERT_EQ(ReadPixel(a.get(), x, 1), 0x07E0u) << x;
}

TEST_F(BlitCasesTest, ScaledColumnMaps) {
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 16, 1}, 0);
    Image four = Row(MemImgFormat32, {10, 11, 12, 13});
    Image two = Row(MemImgFormat32, {20, 21});
    Image dest = MakeImage(MemImgFormat32, 16, 1);
    auto draw = [&](const MEMIMG* source, RECT rect, int count) {
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawStretchedImageOnMemImg(dest.get(), source, &rect, 0, nullptr);
        std::vector<uint32_t> out;
        for (int x = 0; x < count; x++) out.push_back(ReadPixel(dest.get(), x, 0));
        return out;
    };
    EXPECT_EQ(draw(four.get(), RECT{0, 0, 2, 1}, 2), (std::vector<uint32_t>{10, 12}));
    EXPECT_EQ(draw(two.get(), RECT{0, 0, 4, 1}, 4), (std::vector<uint32_t>{20, 20, 21, 21}));
    EXPECT_EQ(draw(four.get(), RECT{4, 0, 0, 1}, 4), (std::vector<uint32_t>{13, 12, 11, 10}));  // mirrored 1:1
    EXPECT_EQ(draw(four.get(), RECT{0, 0, 4, 1}, 4), (std::vector<uint32_t>{10, 11, 12, 13}));
    // Clipped on the left: mirrored, the visible part starts from the source's right end
    // minus what was clipped; unmirrored, the stepping continues exactly.
    g_DrawState.clipRect = RECT{2, 0, 16, 1};
    EXPECT_EQ(draw(four.get(), RECT{8, 0, 0, 1}, 8), (std::vector<uint32_t>{0, 0, 12, 12, 11, 11, 10, 10}));
    EXPECT_EQ(draw(four.get(), RECT{-3, 0, 4, 1}, 4), (std::vector<uint32_t>{0, 0, 12, 13}));
}

// A palette source keyed where one source pixel spans several destination pixels.
TEST_F(BlitCasesTest, ScaledPaletteTransparency) {
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 8, 2}, 0);
    Image source = MakeImage(MemImgFormat16, 2, 1, 0, 1, 0, 3);
    source->pixels[0] = 3;
    source->pixels[1] = 5;
    static_cast<uint16_t*>(source->paletteA)[3] = 0xAAAA;
    static_cast<uint16_t*>(source->paletteA)[5] = 0x5555;
    Image dest = MakeImage(MemImgFormat16, 8, 2);
    FillMemImgRectRaw(dest.get(), nullptr, 0x1111);
    const RECT rect{0, 0, 8, 2};
    DrawStretchedImageOnMemImg(dest.get(), source.get(), &rect, 1, nullptr);
    EXPECT_EQ(Pixels(dest.get()), (std::vector<uint32_t>{0x1111, 0x1111, 0x1111, 0x1111, 0x5555, 0x5555, 0x5555,
                                                          0x5555, 0x1111, 0x1111, 0x1111, 0x1111, 0x5555, 0x5555,
                                                          0x5555, 0x5555}));
}

// An unscaled, unmirrored stretch is the 1:1 draw (its run stream included); a 64 x 64
// graph drawn from (100, 50) to (36, 114) is its mirror image at 1:1 size.
TEST_F(BlitCasesTest, ScaledAtOneToOne) {
    std::mt19937 rng(12);
    SetDrawSettings(BlendAdd, 255, 0xFFFFFF, RECT{0, 0, 160, 120}, 0);
    Image source = MakeImage(MemImgFormat16, 64, 64, 0, 0, 1, 0x1234);
    FillRandom(source.get(), rng);
    BuildMemImgRunStream(source.get());
    Image a = MakeImage(MemImgFormat16, 160, 120), b = MakeImage(MemImgFormat16, 160, 120);
    FillRandom(a.get(), rng);
    std::memcpy(b->pixels, a->pixels, size_t(a->pitch) * 120);
    const RECT same{36, 50, 100, 114};
    DrawStretchedImageOnMemImg(a.get(), source.get(), &same, 1, nullptr);
    DrawImageOnMemImg(b.get(), source.get(), 36, 50, 1, nullptr);
    EXPECT_EQ(ImageBytes(a.get()), ImageBytes(b.get()));

    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 160, 120}, 0);
    const RECT mirrored{100, 50, 36, 114};
    DrawStretchedImageOnMemImg(a.get(), source.get(), &mirrored, 0, nullptr);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            ASSERT_EQ(ReadPixel(a.get(), 36 + x, 50 + y), ReadPixel(source.get(), 63 - x, y)) << x << "," << y;
}

// Wide and far-clipped rectangles: 64-bit stepping keeps every read inside the source
// and the visible part where the unclipped stepping puts it.
TEST_F(BlitCasesTest, ScaledWideAndFarClippedRectangles) {
    std::mt19937 rng(4);
    Image source = MakeImage(MemImgFormat32, 7, 3);
    FillRandom(source.get(), rng);
    Image dest = MakeImage(MemImgFormat32, 64, 4);
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 64, 4}, 0);
    const RECT cases[] = {
        {-100000, 0, -60000, 4},  // 40000 wide, starting far left of the clip
        {-100000, 0, 40, 3},
        {40, -2000000000, -2000000000, 4},  // mirrored, both ends far away
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {0, 0, 64, 70000},
    };
    for (const RECT& rect : cases) {
        SCOPED_TRACE(testing::Message() << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawStretchedImageOnMemImg(dest.get(), source.get(), &rect, 0, nullptr);
        // Where the span is small enough for the model, compare with it too.
        if (int64_t(rect.right) - rect.left < 200000 && int64_t(rect.bottom) - rect.top < 200000) {
            Image expected = MakeImage(MemImgFormat32, 64, 4);
            FillMemImgRectRaw(expected.get(), nullptr, 0);
            EXPECT_EQ(ImageBytes(dest.get()),
                      ReferenceDrawStretched(expected.get(), source.get(), rect.left, rect.top, rect.right, rect.bottom,
                                             0, nullptr, CurrentRefSettings()));
        }
    }
    // The source pixel shown at the last column of a 40000-wide span is the last one.
    g_DrawState.clipRect = RECT{0, 0, 64, 4};
    const RECT endsAtClip{64 - 40000, 0, 64, 3};
    DrawStretchedImageOnMemImg(dest.get(), source.get(), &endsAtClip, 0, nullptr);
    EXPECT_EQ(ReadPixel(dest.get(), 63, 0), ReadPixel(source.get(), 6, 0));
}

// The draw state's rectangle clip: an inverted rectangle collapses onto its left and
// top edge before the edges are clamped.
TEST(ClipRectByRectCore, CollapsesAndClamps) {
    struct Row {
        RECT rect, clip, want;
    } rows[] = {
        {{50, 50, 10, 10}, {0, 0, 640, 480}, {50, 50, 50, 50}},
        {{-20, 5, 700, 500}, {0, 0, 640, 480}, {0, 5, 640, 480}},
        {{700, 10, 800, 20}, {0, 0, 640, 480}, {640, 10, 640, 20}},
        {{10, 10, 20, 20}, {12, 0, 15, 480}, {12, 10, 15, 20}},
    };
    for (const Row& row : rows) {
        RECT r = row.rect;
        EXPECT_EQ(ClipRectByRectCore(&r, &row.clip), 0);
        EXPECT_EQ(r.left, row.want.left);
        EXPECT_EQ(r.top, row.want.top);
        EXPECT_EQ(r.right, row.want.right);
        EXPECT_EQ(r.bottom, row.want.bottom);
    }
}

TEST_F(BlitCasesTest, StretchedSourceRectangle) {
    // A 132-pixel graph stretched to 509 pixels with 293 columns clipped and 164 visible
    // samples columns 75 to 118.
    const RECT ordered{-293, 0, 216, 10};
    RECT clipped, sourceRect;
    ASSERT_TRUE(StretchedSourceRect(ordered, false, false, 132, 10, RECT{0, 0, 164, 480}, &clipped, &sourceRect));
    EXPECT_EQ(clipped.left, 0);
    EXPECT_EQ(clipped.right, 164);
    EXPECT_EQ(sourceRect.left, 75);
    EXPECT_EQ(sourceRect.right, 119);
    EXPECT_EQ(sourceRect.top, 0);
    EXPECT_EQ(sourceRect.bottom, 10);
    // The columns are the ones the scaled blitter reads.
    const std::vector<int> columns = ReferenceScaledIndices(509, 132);
    EXPECT_EQ(columns[293], 75);
    EXPECT_EQ(columns[293 + 163], 118);
    // Mirrored: the same count of columns from the right end.
    ASSERT_TRUE(StretchedSourceRect(ordered, true, false, 132, 10, RECT{0, 0, 164, 480}, &clipped, &sourceRect));
    EXPECT_EQ(sourceRect.left, 132 - 119);
    EXPECT_EQ(sourceRect.right, 132 - 75);
    EXPECT_FALSE(StretchedSourceRect(ordered, false, false, 132, 10, RECT{300, 0, 400, 480}, &clipped, &sourceRect));

    // Without the 2D-surface table nothing can be looked up yet: refused.
    GraphRecord* none = nullptr;
    g_Screen.noDirectDraw = 1;
    EXPECT_EQ(DrawGraphStretchedSoft({0}, {0}, {10}, {10}, none, 0, 1, 5), -1);
    g_Screen.noDirectDraw = 0;
}

}  // namespace
