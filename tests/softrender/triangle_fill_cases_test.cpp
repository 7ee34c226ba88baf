// The triangle filler's set-up, walk and per-pixel rules on small cases with known
// answers: the packed add and subtract, the gradients, which rows and columns a
// triangle covers, texture addressing, refusals, vertices far outside the 14.18 range,
// and single pixels of every texture family and blend mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "library/softrender/triangle.h"
#include "library/softrender/triangle_fill_packed.h"
#include "library/softrender/triangle_fill_walk.h"
#include "softrender_test_support.h"
#include "triangle_fill_reference.h"

namespace {

using namespace softrender_test;

// ---- Packed add and subtract ----

enum PackedOp { Add565, Sub565, Add8888, Sub8888 };

uint32_t Apply(PackedOp op, uint32_t d, uint32_t s) {
    switch (op) {
        case Add565: return AddPixels565(d, s);
        case Sub565: return SubtractPixels565(d, s);
        case Add8888: return AddPixels8888(d, s);
        default: return SubtractPixels8888(d, s);
    }
}
uint32_t ApplyReference(PackedOp op, uint32_t d, uint32_t s) {
    switch (op) {
        case Add565: return RefAddPixels565(d, s);
        case Sub565: return RefSubtractPixels565(d, s);
        case Add8888: return RefAddPixels8888(d, s);
        default: return RefSubtractPixels8888(d, s);
    }
}

TEST(PackedPixelOps, ListedSumsAndDifferences) {
    struct Row {
        PackedOp op;
        uint32_t d, s, expected;
    };
    const Row rows[] = {
        {Add565, 0x0000, 0xFFFF, 0xFFFF}, {Add565, 0xFFFF, 0xFFFF, 0xFFFF}, {Add565, 0x0841, 0x0841, 0x0882},
        {Add565, 0x001F, 0x0001, 0x003F}, {Add565, 0x1082, 0x0841, 0x18C3}, {Add565, 0x0841, 0x0000, 0x0841},
        {Sub565, 0xFFFF, 0x0000, 0xFFDF}, {Sub565, 0x0000, 0x0000, 0x0800}, {Sub565, 0x0000, 0x0001, 0x0800},
        {Sub565, 0x0841, 0x0841, 0x0800}, {Sub565, 0xFFFF, 0xFFFF, 0x0800}, {Sub565, 0x1000, 0x0000, 0x1800},
        {Sub565, 0x1082, 0x0841, 0x1841}, {Sub565, 0x0000, 0xFFFF, 0x0000}, {Sub565, 0x0841, 0x0000, 0x0841},
        {Add8888, 0x00000000, 0x00000000, 0x00000000}, {Add8888, 0x00FFFFFF, 0x00FFFFFF, 0x01FFFFFF},
        {Add8888, 0x00010101, 0x00010101, 0x00010102}, {Add8888, 0x000000FF, 0x00000001, 0x000001FF},
        {Add8888, 0x00808080, 0x00808080, 0x01FFFFFF}, {Add8888, 0x00102030, 0x00010203, 0x00112233},
        {Add8888, 0xFF000000, 0x00000000, 0x00000000},
        {Sub8888, 0x00FFFFFF, 0x00000000, 0x00FFFFFF}, {Sub8888, 0x00000000, 0x00000000, 0x00010100},
        {Sub8888, 0x00010101, 0x00010101, 0x00010100}, {Sub8888, 0x00000000, 0x00FFFFFF, 0x00000000},
        {Sub8888, 0x00102030, 0x00010203, 0x00111F2D}, {Sub8888, 0x00808080, 0x007F7F7F, 0x00030301},
        {Sub8888, 0xFF123456, 0x00000000, 0x00133556},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.expected, Apply(r.op, r.d, r.s)) << "op " << r.op << " " << std::hex << r.d << ", " << r.s;
        EXPECT_EQ(r.expected, ApplyReference(r.op, r.d, r.s)) << "model, op " << r.op;
    }
}

TEST(PackedPixelOps, AgreeWithTheirStepsOnRandomWords) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; i++) {
        const PackedOp op = PackedOp(i % 4);
        const bool is565 = op == Add565 || op == Sub565;
        const uint32_t d = is565 ? rng() & 0xFFFF : rng();
        const uint32_t s = rng() & (is565 ? 0xFFFF : 0xFFFFFF);  // a source word has byte 3 zero
        ASSERT_EQ(ApplyReference(op, d, s), Apply(op, d, s)) << "op " << op << " " << std::hex << d << ", " << s;
    }
}

// ---- Set-up ----

TEST(TriangleSetup, GradientsAreTruncatedTexelsPerPixel) {
    struct Row {
        TexTriVertex v[3];
        int64_t dudx, dudy, dvdx, dvdy;
    };
    const Row rows[] = {
        {{{0, 0, 0, 0}, {100, 0, 50, 0}, {0, 100, 0, 50}}, 131072, 0, 0, 131072},
        {{{0, 0, 0, 0}, {3, 0, 1, 0}, {0, 3, 0, 1}}, 87381, 0, 0, 87381},
        // Toward zero for negative gradients, whichever order the vertices come in.
        {{{3, 0, 0, 0}, {0, 3, 0, 1}, {0, 0, 1, 0}}, -87381, -87381, 0, 87381},
        // A sliver: 4096 texels across one pixel is still exact.
        {{{0, 0, 0, 0}, {1, 0, 4096, 0}, {0, 1, 0, 0}}, int64_t(4096) << 18, 0, 0, 0},
    };
    for (const Row& r : rows) {
        TriangleSetup s;
        ASSERT_TRUE(SetupTriangle(r.v, &s));
        EXPECT_EQ(r.dudx, s.dudx);
        EXPECT_EQ(r.dudy, s.dudy);
        EXPECT_EQ(r.dvdx, s.dvdx);
        EXPECT_EQ(r.dvdy, s.dvdy);
    }
}

TEST(TriangleSetup, CollinearOrCoincidentVerticesAreRefusedAndRowsConvertTowardZero) {
    TriangleSetup s;
    const TexTriVertex collinear[3] = {{0, 0, 0, 0}, {2, 2, 5, 5}, {4, 4, 9, 9}};
    const TexTriVertex twoEqual[3] = {{3, 3, 0, 0}, {3, 3, 4, 0}, {9, 1, 0, 4}};
    const TexTriVertex oneRow[3] = {{0, 5, 0, 0}, {9, 5, 4, 0}, {4, 5, 0, 4}};
    EXPECT_FALSE(SetupTriangle(collinear, &s));
    EXPECT_FALSE(SetupTriangle(twoEqual, &s));
    EXPECT_FALSE(SetupTriangle(oneRow, &s));
    const TexTriVertex negative[3] = {{0, -3, 0, 0}, {9, 5, 4, 0}, {-4, 6, 0, 4}};
    ASSERT_TRUE(SetupTriangle(negative, &s));
    EXPECT_EQ(-2, s.firstRow);
    EXPECT_EQ(-3, s.x0);  // the leftmost vertex, x = -4 (value -3.5)
    EXPECT_EQ(6, s.y0);
}

// ---- Coverage ----

class TriangleFillTest : public SoftRenderTest {
protected:
    // The pixels of a w x h 32-bit image that differ from `background`, as '#' rows.
    static std::vector<std::string> Picture(const MEMIMG* image, uint32_t background) {
        std::vector<std::string> rows;
        for (int y = 0; y < image->height; y++) {
            std::string row;
            for (int x = 0; x < image->width; x++) row += ReadPixel(image, x, y) == background ? '.' : '#';
            rows.push_back(row);
        }
        return rows;
    }
    static std::vector<std::string> DrawFlat(const TexTriVertex v[3], int width, int height) {
        Image dest = MakeImage(MemImgFormat32, width, height);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawTriangle2DOnMemImg(dest.get(), nullptr, v, 0, nullptr, 0xFFFFFF);
        return Picture(dest.get(), 0);
    }
    // A 32-bit texture whose texel (x, y) holds x | y << 8 | 0x55000000.
    static Image CoordinateTexture(int width, int height) {
        Image texture = MakeImage(MemImgFormat32, width, height);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) WritePixel(texture.get(), x, y, uint32_t(x | y << 8) | 0x55000000);
        return texture;
    }
};

TEST_F(TriangleFillTest, RowsFromTheTopVertexDownToAboveTheBottomOneSpansIncludeBothEnds) {
    struct Row {
        const char* what;
        TexTriVertex v[3];
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"flat top, vertical left edge",
         {{1, 1, 0, 0}, {6, 1, 0, 0}, {1, 5, 0, 0}},
         {"........", ".######.", ".#####..", ".####...", ".##.....", "........"}},
        {"flat bottom",
         {{4, 0, 0, 0}, {1, 3, 0, 0}, {7, 3, 0, 0}},
         {"....#...", "...###..", "..#####.", "........", "........", "........"}},
        {"one row high: only the top row",
         {{0, 2, 0, 0}, {6, 2, 0, 0}, {3, 3, 0, 0}},
         {"........", "........", "#######.", "........", "........", "........"}},
        {"mid vertex on the right",
         {{1, 0, 0, 0}, {7, 2, 0, 0}, {1, 5, 0, 0}},
         {".#......", ".####...", ".#######", ".#####..", ".###....", "........"}},
        {"collinear: nothing", {{0, 0, 0, 0}, {3, 2, 0, 0}, {6, 4, 0, 0}}, std::vector<std::string>(6, "........")},
    };
    for (const Row& r : rows) EXPECT_EQ(r.expected, DrawFlat(r.v, 8, 6)) << r.what;
}

TEST_F(TriangleFillTest, AnyVertexOrderAndWindingGivesTheSamePixels) {
    const TexTriVertex shapes[][3] = {
        {{2, 1, 0, 0}, {20, 6, 9, 2}, {5, 14, 3, 9}},
        {{1, 1, 0, 0}, {19, 1, 9, 0}, {10, 15, 4, 9}},
        {{10, 0, 5, 0}, {0, 12, 0, 9}, {21, 12, 9, 9}},
    };
    Image texture = CoordinateTexture(10, 10);
    for (const auto& shape : shapes) {
        int order[3] = {0, 1, 2};
        std::vector<uint8_t> first;
        do {
            const TexTriVertex v[3] = {shape[order[0]], shape[order[1]], shape[order[2]]};
            Image dest = MakeImage(MemImgFormat32, 24, 16);
            FillMemImgRectRaw(dest.get(), nullptr, 0xDEADBEEF);
            DrawTriangle2DOnMemImg(dest.get(), texture.get(), v, 0, nullptr, 0);
            if (first.empty()) first = ImageBytes(dest.get());
            else EXPECT_EQ(first, ImageBytes(dest.get())) << order[0] << order[1] << order[2];
        } while (std::next_permutation(order, order + 3));
    }
}

TEST_F(TriangleFillTest, TheLeftmostVertexSamplesItsOwnTexelAndTexelsOutsideAreNotDrawn) {
    Image texture = CoordinateTexture(8, 8);
    Image dest = MakeImage(MemImgFormat32, 24, 16);
    FillMemImgRectRaw(dest.get(), nullptr, 0xDEADBEEF);
    // One texel per pixel, the texture's origin at (6, 3): u = x - 6 + 2 ... runs from -4
    // to 16 across the triangle, v from -1 to 12.
    const TexTriVertex v[3] = {{2, 2, -2, -1}, {22, 2, 18, -1}, {2, 15, -2, 12}};
    DrawTriangle2DOnMemImg(dest.get(), texture.get(), v, 0, nullptr, 0);
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 24; x++) {
            const int u = x - 4, t = y - 3;  // the texel at this pixel
            const bool inTriangle = y >= 2 && y < 15 && x >= 2 && x <= 22 - (y - 2) * 20 / 13;
            const bool inTexture = u >= 0 && u < 8 && t >= 0 && t < 8;
            if (inTexture && y >= 2 && y < 15 && x + y <= 20) {
                EXPECT_EQ(uint32_t(u | t << 8) | 0x55000000, ReadPixel(dest.get(), x, y)) << x << "," << y;
            } else if (!inTexture || !inTriangle) {
                EXPECT_EQ(0xDEADBEEF, ReadPixel(dest.get(), x, y)) << x << "," << y;
            }
        }
    }
    // The leftmost vertex of a triangle inside the texture samples exactly its (u, v).
    const TexTriVertex inside[3] = {{10, 4, 3, 5}, {14, 1, 7, 0}, {15, 9, 6, 7}};
    DrawTriangle2DOnMemImg(dest.get(), texture.get(), inside, 0, nullptr, 0);
    EXPECT_EQ(uint32_t(3 | 5 << 8) | 0x55000000, ReadPixel(dest.get(), 10, 4));
}

TEST_F(TriangleFillTest, ATopAboveRowZeroWithTheMiddleBelowItDrawsEveryRowOnce) {
    // Add with a colour of one per channel shows any pixel drawn twice as two.
    SetDrawSettings(BlendAdd, 255, 0xFFFFFF, RECT{0, 0, 16, 12}, 0);
    const TexTriVertex shapes[][3] = {
        {{6, -3, 0, 0}, {1, 2, 0, 0}, {12, 9, 0, 0}},   // mid on the left
        {{6, -3, 0, 0}, {14, 2, 0, 0}, {2, 9, 0, 0}},   // mid on the right
        {{6, -1, 0, 0}, {1, 0, 0, 0}, {12, 11, 0, 0}},  // mid on row 0
    };
    for (const auto& shape : shapes) {
        Image dest = MakeImage(MemImgFormat32, 16, 12);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawTriangle2DOnMemImg(dest.get(), nullptr, shape, 0, nullptr, 0x010101);
        int drawn = 0;
        for (int y = 0; y < 12; y++)
            for (int x = 0; x < 16; x++) {
                const uint32_t p = ReadPixel(dest.get(), x, y);
                EXPECT_TRUE(p == 0 || p == 0x010101) << x << "," << y << ": " << std::hex << p;
                drawn += p != 0;
            }
        EXPECT_GT(drawn, 20);
    }
}

TEST_F(TriangleFillTest, OnlyTheDrawAreaInsideTheImageIsWritten) {
    Image dest = MakeImage(MemImgFormat16, 20, 10);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    const TexTriVertex v[3] = {{-30, -30, 0, 0}, {60, -30, 0, 0}, {-30, 60, 0, 0}};
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{3, 2, 9, 7}, 0);
    DrawTriangle2DOnMemImg(dest.get(), nullptr, v, 0, nullptr, 0xFFFF);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++)
            EXPECT_EQ(x >= 3 && x < 9 && y >= 2 && y < 7 ? 0xFFFFu : 0u, ReadPixel(dest.get(), x, y)) << x << "," << y;
    // A draw area larger than the image (left from a larger target) stops at its edges;
    // the pitch's padding after each row stays as it was.
    Image small = MakeImage(MemImgFormat16, 5, 3);
    std::memset(small->pixels, 0xAB, size_t(small->pitch) * 3);
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{-100, -100, 4096, 4096}, 0);
    DrawTriangle2DOnMemImg(small.get(), nullptr, v, 0, nullptr, 0x1234);
    for (int y = 0; y < 3; y++) {
        for (int x = 0; x < 5; x++) EXPECT_EQ(0x1234u, ReadPixel(small.get(), x, y));
        for (int i = 10; i < small->pitch; i++) EXPECT_EQ(0xAB, small->pixels[y * small->pitch + i]);
    }
}

// ---- Vertices far outside the 14.18 range ----

TEST_F(TriangleFillTest, FarAwayVerticesDrawTheirVisiblePartWithoutWrapping) {
    // Beyond 8191 pixels the 32-bit fixed point would wrap; the model's 64-bit walk says
    // what the pixels must be.
    const TexTriVertex wide[][3] = {
        {{0, 0, 0, 0}, {20000, 0, 20000, 0}, {0, 10, 0, 10}},
        {{-9000, 1, 0, 0}, {30, 3, 9030, 0}, {10, 12, 0, 9}},
        {{5, -12000, 0, 0}, {30, 11, 6, 0}, {-16000, 9, 0, 6}},
    };
    Image texture = CoordinateTexture(16, 12);
    for (const auto& v : wide) {
        Image dest = MakeImage(MemImgFormat32, 32, 14);
        FillMemImgRectRaw(dest.get(), nullptr, 0xDEADBEEF);
        const std::vector<uint8_t> expected =
            ReferenceDrawTriangle(dest.get(), texture.get(), v, 0, nullptr, 0, CurrentRefSettings());
        DrawTriangle2DOnMemImg(dest.get(), texture.get(), v, 0, nullptr, 0);
        EXPECT_EQ(expected, ImageBytes(dest.get()));
        EXPECT_NE(expected, std::vector<uint8_t>(expected.size(), 0xEF)) << "draws something";
    }
}

TEST_F(TriangleFillTest, ExtremeVertexValuesStayInsideTheImagesAndFinish) {
    const int lo = INT_MIN, hi = INT_MAX;
    struct Row {
        const char* what;
        TexTriVertex v[3];
        bool textured;
        int expectAll;  // 1: every pixel drawn, 0: none, -1: not checked
    };
    const Row rows[] = {
        {"covers the image", {{-2000000000, -2000000000, 0, 0}, {2000000000, -2000000000, 0, 0}, {0, 2000000000, 0, 0}},
         false, 1},
        {"the whole range", {{lo, lo, 0, 0}, {hi, lo, 0, 0}, {lo, hi, 0, 0}}, false, -1},
        {"far off to the right", {{hi, lo, 0, 0}, {hi - 5, hi, 0, 0}, {hi - 9, 0, 0, 0}}, false, 0},
        {"far below", {{0, hi - 3, 0, 0}, {10, hi, 0, 0}, {-10, hi, 0, 0}}, false, 0},
        {"extreme texture coordinates", {{0, 0, lo, lo}, {30, 0, hi, lo}, {0, 15, lo, hi}}, true, -1},
        {"huge gradients", {{0, 0, 0, 0}, {1, 0, hi, 0}, {0, 1, 0, lo}}, true, -1},
        {"tall and thin", {{0, lo, 0, 0}, {5, hi, 0, 0}, {10, lo, 0, 0}}, false, -1},
    };
    Image texture = CoordinateTexture(16, 16);
    Image blend = MakeImage(MemImgFormat8, 16, 16);
    FillMemImgRectRaw(blend.get(), nullptr, 200);
    for (const Row& r : rows) {
        Image dest = MakeImage(MemImgFormat32, 32, 16);
        FillMemImgRectRaw(dest.get(), nullptr, 0xDEADBEEF);
        DrawTriangle2DOnMemImg(dest.get(), r.textured ? texture.get() : nullptr, r.v, 0,
                               r.textured ? blend.get() : nullptr, 0xFFFFFF);
        int drawn = 0;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 32; x++) drawn += ReadPixel(dest.get(), x, y) != 0xDEADBEEF;
        if (r.expectAll == 1) {
            EXPECT_EQ(32 * 16, drawn) << r.what;
        } else if (r.expectAll == 0) {
            EXPECT_EQ(0, drawn) << r.what;
        }
    }
    // The tall one crosses the image as a band of the same columns in every row: its
    // edges lean by less than one step of 2^-18 pixel per row.
    Image dest = MakeImage(MemImgFormat32, 32, 16);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    DrawTriangle2DOnMemImg(dest.get(), nullptr, rows[6].v, 0, nullptr, 0xFFFFFF);
    const std::vector<std::string> picture = Picture(dest.get(), 0);
    EXPECT_EQ("###########.....................", picture[0]);
    for (const std::string& row : picture) EXPECT_EQ(picture[0], row);
}

// ---- Refusals ----

TEST_F(TriangleFillTest, RefusedDrawsLeaveTheDestinationAlone) {
    struct Row {
        const char* what;
        int destKind, destPalette, destAlpha;
        int textureKind;  // -1: flat fill
        int mode, p;
        int blendWidth, blendKind;  // blendWidth 0: no blend image
    };
    const Row rows[] = {
        {"texture of another kind", MemImgFormat32, 0, 0, MemImgFormat16, BlendNone, 0, 0, 0},
        {"palette destination", MemImgFormat32, 1, 0, MemImgFormat32, BlendNone, 0, 0, 0},
        {"alpha destination", MemImgFormat32, 0, 1, MemImgFormat32, BlendNone, 0, 0, 0},
        {"alpha destination, flat", MemImgFormat16, 0, 1, -1, BlendNone, 0, 0, 0},
        {"8-bit destination, flat", MemImgFormat8, 0, 0, -1, BlendNone, 0, 0, 0},
        {"depth destination, flat", MemImgFormatZ16, 0, 0, -1, BlendNone, 0, 0, 0},
        {"8-bit texture and destination", MemImgFormat8, 0, 0, MemImgFormat8, BlendNone, 0, 0, 0},
        {"mode 5", MemImgFormat16, 0, 0, MemImgFormat16, 5, 255, 0, 0},
        {"mode 5, flat", MemImgFormat32, 0, 0, -1, 5, 128, 0, 0},
        {"alpha, p 0", MemImgFormat32, 0, 0, MemImgFormat32, BlendAlpha, 0, 0, 0},
        {"add, p 0", MemImgFormat16, 0, 0, -1, BlendAdd, 0, 0, 0},
        {"subtract, p 0", MemImgFormat16, 0, 0, MemImgFormat16, BlendSubtract, 0, 0, 0},
        {"blend image smaller than the texture", MemImgFormat32, 0, 0, MemImgFormat32, BlendNone, 0, 7, MemImgFormat8},
        {"blend image not 8-bit", MemImgFormat16, 0, 0, MemImgFormat16, BlendNone, 0, 8, MemImgFormat16},
    };
    for (const Row& r : rows) {
        SetDrawSettings(r.mode, r.p, 0xFFFFFF, RECT{0, 0, 16, 16}, 0);
        Image dest = MakeImage(r.destKind, 16, 16, r.destAlpha, r.destPalette);
        std::memset(dest->pixels, 0x5A, size_t(dest->pitch) * 16);
        Image texture = r.textureKind >= 0 ? MakeImage(r.textureKind, 8, 8) : nullptr;
        if (texture) std::memset(texture->pixels, 0x33, size_t(texture->pitch) * 8);
        Image blend = r.blendWidth ? MakeImage(r.blendKind, r.blendWidth, 8) : nullptr;
        const std::vector<uint8_t> before = ImageBytes(dest.get());
        const TexTriVertex v[3] = {{0, 0, 0, 0}, {15, 0, 8, 0}, {0, 15, 0, 8}};
        DrawTriangle2DOnMemImg(dest.get(), texture.get(), v, 0, blend.get(), 0x1111);
        EXPECT_EQ(before, ImageBytes(dest.get())) << r.what;
    }
}

// ---- Single pixels of every family ----

enum TextureKind { Flat, Direct, Alpha, Palette };

struct PixelCase {
    const char* what;
    int kind;
    TextureKind texture;
    uint32_t texel;  // the texel word (16-bit with alpha: RGB565 | alpha << 16), palette entry or fill colour
    uint32_t dest;
    int mode, p;
    uint32_t brightness;
    int weight;  // blend-image weight, -1: none
    int transparent;
    uint32_t key;  // the texture's transparent value (palette textures hold index 7)
    uint32_t expected;
};

const uint32_t kWhite = 0xFFFFFF, kNoKey = 0xFFFFFFFF;

const PixelCase kPixelCases[] = {
    // 32-bit direct colour and alpha textures.
    {"none copies the whole texel",
     MemImgFormat32, Direct, 0x12345678, 0xAB000000, BlendNone, 0, kWhite, -1, 0, kNoKey, 0x12345678},
    {"a texel equal to the key is drawn without the flag",
     MemImgFormat32, Direct, 0x00C0FFEE, 0, BlendNone, 0, kWhite, -1, 0, 0x00C0FFEE, 0x00C0FFEE},
    {"and skipped with it", MemImgFormat32, Direct, 0x00C0FFEE, 0x77, BlendNone, 0, kWhite, -1, 1, 0x00C0FFEE, 0x77},
    {"brightness keeps byte 3",
     MemImgFormat32, Direct, 0x12FFFFFF, 0xAB000000, BlendNone, 0, 0xFFFFFE, -1, 0, kNoKey, 0xABFFFFFE},
    {"weight 255 of 255 over 0 is 254",
     MemImgFormat32, Direct, 0x00FFFFFF, 0x01000000, BlendNone, 0, kWhite, 255, 0, kNoKey, 0x01FEFEFE},
    {"alpha 128: 255 over 0 and 0 over 255 give 127",
     MemImgFormat32, Direct, 0x000000FF, 0x0000FF00, BlendAlpha, 128, kWhite, -1, 0, kNoKey, 0x00007F7F},
    {"alpha 255 is none: the whole texel",
     MemImgFormat32, Direct, 0x12345678, 0, BlendAlpha, 255, kWhite, -1, 0, kNoKey, 0x12345678},
    {"multiply 255 by 255 is 254",
     MemImgFormat32, Direct, 0x00FFFFFF, 0x02FFFFFF, BlendMultiply, 7, kWhite, -1, 0, kNoKey, 0x02FEFEFE},
    {"multiply with weight 0 is black",
     MemImgFormat32, Direct, 0x00FFFFFF, 0x02FFFFFF, BlendMultiply, 7, kWhite, 0, 0, kNoKey, 0x02000000},
    {"add and subtract keep the packed low bits",
     MemImgFormat32, Direct, 0x00010203, 0x00102030, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0x00112233},
    {"alpha texture with the flag: A 0 is skipped",
     MemImgFormat32, Alpha, 0x00FFFFFF, 0x55, BlendAlpha, 100, kWhite, -1, 1, kNoKey, 0x55},
    {"A 255 with the flag is opaque: the whole texel",
     MemImgFormat32, Alpha, 0xFF102030, 0, BlendNone, 0, kWhite, -1, 1, kNoKey, 0xFF102030},
    {"A 255 without the flag weighs 255/256",
     MemImgFormat32, Alpha, 0xFFFFFFFF, 0x01000000, BlendNone, 0, kWhite, -1, 0, kNoKey, 0x01FEFEFE},
    {"an alpha texel equal to the key is drawn",
     MemImgFormat32, Alpha, 0xFF123456, 0, BlendNone, 0, kWhite, -1, 1, 0xFF123456, 0xFF123456},
    {"multiply draws A 0 black, flag or not",
     MemImgFormat32, Alpha, 0x00FFFFFF, 0x03808080, BlendMultiply, 0, kWhite, -1, 1, kNoKey, 0x03000000},
    {"A, W and P together",
     MemImgFormat32, Alpha, 0x80FF0000, 0x000000FF, BlendAlpha, 128, kWhite, 255, 0, kNoKey, 0x003F00BF},
    // 32-bit palette textures.
    {"palette copy stores the whole entry",
     MemImgFormat32, Palette, 0x00ABCDEF, 0xFF000000, BlendNone, 0, kWhite, -1, 0, kNoKey, 0x00ABCDEF},
    {"brightness 0 draws black",
     MemImgFormat32, Palette, 0x00ABCDEF, 0xFF000000, BlendNone, 0, 0, -1, 0, kNoKey, 0xFF000000},
    {"alpha 128 halves",
     MemImgFormat32, Palette, 0x00FF0010, 0x0000FF20, BlendAlpha, 128, kWhite, -1, 0, kNoKey, 0x007F7F18},
    {"add: 3+3, 200+100 and 128+128",
     MemImgFormat32, Palette, 0x008003C8, 0x00800364, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0x01FF05FF},
    {"subtract: blue under zero",
     MemImgFormat32, Palette, 0x00000014, 0x0000000A, BlendSubtract, 255, kWhite, -1, 0, kNoKey, 0x00010000},
    {"subtract: green 10 - 5",
     MemImgFormat32, Palette, 0x00000500, 0x00000A00, BlendSubtract, 255, kWhite, -1, 0, kNoKey, 0x00010700},
    {"the key index is skipped", MemImgFormat32, Palette, 0x00ABCDEF, 0x42, BlendNone, 0, kWhite, -1, 1, 7, 0x42},
    {"a key above 255 skips no index",
     MemImgFormat32, Palette, 0x00ABCDEF, 0x42, BlendNone, 0, kWhite, -1, 1, 7 + 256, 0x00ABCDEF},
    {"palette copy with weight 0 keeps the pixel",
     MemImgFormat32, Palette, 0x00FFFFFF, 0x00123456, BlendNone, 0, kWhite, 0, 0, kNoKey, 0x00123456},
    // 16-bit direct colour and alpha textures.
    {"16: weight 255, red 31 over 0 is 30",
     MemImgFormat16, Direct, 0xF800, 0, BlendNone, 0, kWhite, 255, 0, kNoKey, 0xF000},
    {"16: A 255 without the flag, red 31 over 0 is 30",
     MemImgFormat16, Alpha, 0xFFF800, 0, BlendNone, 0, kWhite, -1, 0, kNoKey, 0xF000},
    {"16: A 255 with the flag is the texel",
     MemImgFormat16, Alpha, 0xFFF800, 0, BlendNone, 0, kWhite, -1, 1, kNoKey, 0xF800},
    {"16: A 0 with the flag is skipped",
     MemImgFormat16, Alpha, 0x00F800, 0x1234, BlendAdd, 9, kWhite, -1, 1, kNoKey, 0x1234},
    {"16: multiply draws A 0 black",
     MemImgFormat16, Alpha, 0x00FFFF, 0xFFFF, BlendMultiply, 9, kWhite, -1, 1, kNoKey, 0x0000},
    {"16: alpha 128 by 255: 31 to 0 gives 16, 0 to 31 gives 15",
     MemImgFormat16, Direct, 0x001F, 0xF800, BlendAlpha, 128, kWhite, -1, 0, kNoKey, 0x800F},
    {"16: multiply 31 x 31 and 63 x 63",
     MemImgFormat16, Direct, 0xFFFF, 0xFFFF, BlendMultiply, 0, kWhite, -1, 0, kNoKey, 0xF7DE},
    {"16: brightness 255, 255, 254 is not white",
     MemImgFormat16, Direct, 0xFFFF, 0, BlendNone, 0, 0xFFFFFE, -1, 0, kNoKey, 0xFFFE},
    {"16: a texel equal to the key is skipped",
     MemImgFormat16, Direct, 0x07E0, 0x0001, BlendNone, 0, kWhite, -1, 1, 0x07E0, 0x0001},
    {"16: add with alpha and brightness weighs alpha first",
     MemImgFormat16, Alpha, 0xD007E0, 0, BlendAdd, 255, 0x050505, -1, 0, kNoKey, 0x0020},
    // 16-bit palette textures.
    {"16 palette: brightness 128 halves red 31 to 15",
     MemImgFormat16, Palette, 0xF800, 0, BlendNone, 0, 0x80FFFF, -1, 0, kNoKey, 0x7800},
    {"16 palette: add 20+20 blue, 40+40 green, 16+16 red",
     MemImgFormat16, Palette, 0x8514, 0x8514, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0xFFFF},
    {"16 palette: add green 40+40 sets red's low bit",
     MemImgFormat16, Palette, 0x0500, 0x0500, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0x0FC0},
    {"16 palette: add green 3+3",
     MemImgFormat16, Palette, 0x0060, 0x0060, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0x00A0},
    {"16 palette: subtract blue under zero",
     MemImgFormat16, Palette, 0x0014, 0x000A, BlendSubtract, 255, kWhite, -1, 0, kNoKey, 0x0800},
    {"16 palette: subtract green 10 - 5",
     MemImgFormat16, Palette, 0x00A0, 0x0140, BlendSubtract, 255, kWhite, -1, 0, kNoKey, 0x08C0},
    {"16 palette: multiply with weight 0 is black",
     MemImgFormat16, Palette, 0xFFFF, 0xFFFF, BlendMultiply, 0, kWhite, 0, 0, kNoKey, 0x0000},
    // Flat fills.
    {"flat: the colour as it is", MemImgFormat32, Flat, 0x7F123456, 0, BlendNone, 0, kWhite, -1, 0, kNoKey, 0x7F123456},
    {"flat: red brightness on white",
     MemImgFormat32, Flat, 0x00FFFFFF, 0, BlendNone, 0, 0xFF0000, -1, 0, kNoKey, 0x00FF0000},
    {"flat 16: red brightness on white",
     MemImgFormat16, Flat, 0xFFFF, 0, BlendNone, 0, 0xFF0000, -1, 0, kNoKey, 0xF800},
    {"flat: alpha 128, 255 over 0",
     MemImgFormat32, Flat, 0x00FFFFFF, 0x09000000, BlendAlpha, 128, kWhite, -1, 0, kNoKey, 0x097F7F7F},
    {"flat 16: alpha 128, 31 over 0", MemImgFormat16, Flat, 0x001F, 0, BlendAlpha, 128, kWhite, -1, 0, kNoKey, 0x000F},
    {"flat 16: multiply 31 x 31 and 63 x 63",
     MemImgFormat16, Flat, 0xFFFF, 0xFFFF, BlendMultiply, 3, kWhite, -1, 0, kNoKey, 0xF7DE},
    {"flat: multiply 255 x 255",
     MemImgFormat32, Flat, 0x00FFFFFF, 0x00FFFFFF, BlendMultiply, 3, kWhite, -1, 0, kNoKey, 0x00FEFEFE},
    {"flat: add keeps the packed low bits",
     MemImgFormat32, Flat, 0x00010101, 0x00010101, BlendAdd, 255, kWhite, -1, 0, kNoKey, 0x00010102},
    {"flat 16: subtract zero is not the identity",
     MemImgFormat16, Flat, 0x0000, 0x0000, BlendSubtract, 255, kWhite, -1, 0, kNoKey, 0x0800},
};

TEST_F(TriangleFillTest, SinglePixelsOfEveryFamily) {
    for (const PixelCase& c : kPixelCases) {
        for (int mmx = 0; mmx < 2; mmx++) {
            SetDrawSettings(c.mode, c.p, c.brightness, RECT{0, 0, 4, 4}, mmx);
            Image dest = MakeImage(c.kind, 4, 4);
            FillMemImgRectRaw(dest.get(), nullptr, c.dest);
            Image texture =
                c.texture == Flat ? nullptr : MakeImage(c.kind, 1, 1, c.texture == Alpha, c.texture == Palette, 0, c.key);
            if (c.texture == Palette) {
                texture->pixels[0] = 7;
                if (c.kind == MemImgFormat16) static_cast<uint16_t*>(texture->paletteA)[7] = uint16_t(c.texel);
                else static_cast<uint32_t*>(texture->paletteA)[7] = c.texel;
            } else if (texture) {
                std::memcpy(texture->pixels, &c.texel, 4);
            }
            Image blend = c.weight >= 0 ? MakeImage(MemImgFormat8, 1, 1) : nullptr;
            if (blend) blend->pixels[0] = uint8_t(c.weight);
            const TexTriVertex v[3] = {{0, 0, 0, 0}, {4, 0, 0, 0}, {0, 4, 0, 0}};
            DrawTriangle2DOnMemImg(dest.get(), texture.get(), v, c.transparent, blend.get(), c.texel);
            EXPECT_EQ(c.expected, ReadPixel(dest.get(), 0, 0)) << c.what << ", mmx " << mmx;
        }
    }
}

}  // namespace
