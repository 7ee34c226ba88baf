// The primitives: line pixel sets and clipping, the box outline, the blended fill's
// kernels and its clipping, and the draw-target routes of the filled box.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "library/softrender/primitives.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

using PixelSet = std::set<std::pair<int, int>>;

// The pixels a line sets on a zero canvas of 16 x 16 (16-bit, mode none).
PixelSet LinePixels(int x1, int y1, int x2, int y2, RECT clip = RECT{0, 0, 16, 16}) {
    Image canvas = MakeImage(MemImgFormat16, 16, 16);
    FillMemImgRectRaw(canvas.get(), nullptr, 0);
    g_DrawState.clipRect = clip;
    PlotLineOnMemImg(canvas.get(), x1, y1, x2, y2, 0xFFFF);
    PixelSet set;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            if (ReadPixel(canvas.get(), x, y) != 0) set.insert({x, y});
    return set;
}

class PrimitivesTest : public SoftRenderTest {};

TEST_F(PrimitivesTest, LinePixelSets) {
    struct Row {
        int x1, y1, x2, y2;
        PixelSet want;
    } rows[] = {
        {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {5, 5, 5, 5, {}},
        {0, 0, 0, 1, {{0, 0}}},
        {4, 2, 0, 0, {{4, 2}, {3, 2}, {2, 1}, {1, 1}}},  // reversed: from the other end
        {3, 0, 3, 4, {{3, 0}, {3, 1}, {3, 2}, {3, 3}}},
        {6, 1, 2, 1, {{6, 1}, {5, 1}, {4, 1}, {3, 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.x1 << "," << row.y1 << " -> " << row.x2 << "," << row.y2);
        EXPECT_EQ(LinePixels(row.x1, row.y1, row.x2, row.y2), row.want);
    }
}

TEST_F(PrimitivesTest, LineClipping) {
    const RECT clip{4, 2, 12, 10};
    EXPECT_TRUE(LinePixels(0, 3, 3, 8, clip).empty()) << "wholly left of the clip";
    EXPECT_TRUE(LinePixels(12, 3, 20, 8, clip).empty());
    // Crossing the left edge: the first pixel is on the edge column.
    const PixelSet crossing = LinePixels(0, 5, 8, 5, clip);
    EXPECT_EQ(crossing, (PixelSet{{4, 5}, {5, 5}, {6, 5}, {7, 5}}));
    // A long line through the whole area stays inside it and reaches both edges.
    const PixelSet through = LinePixels(-100, 6, 100, 6, clip);
    EXPECT_EQ(through.size(), 8u);
    EXPECT_EQ(through.begin()->first, 4);
    EXPECT_EQ(through.rbegin()->first, 11);
}

// Random lines, huge coordinates included, never write outside the draw area.
TEST_F(PrimitivesTest, LinesNeverLeaveTheDrawArea) {
    std::mt19937 rng(5);
    Image canvas = MakeImage(MemImgFormat32, 40, 30);
    const RECT clip{8, 6, 31, 23};
    for (int n = 0; n < 2000; n++) {
        FillMemImgRectRaw(canvas.get(), nullptr, 0);
        g_DrawState.clipRect = clip;
        auto coord = [&](int span) {
            switch (rng() % 4) {
                case 0: return int(rng() % uint32_t(span + 20)) - 10;
                case 1: return int(rng());
                case 2: return rng() % 2 ? INT32_MAX - int(rng() % 4) : INT32_MIN + int(rng() % 4);
                default: return int(rng() % 2000) - 1000;
            }
        };
        PlotLineOnMemImg(canvas.get(), coord(40), coord(30), coord(40), coord(30), 0xFFFFFFFF);
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 40; x++)
                if (ReadPixel(canvas.get(), x, y) != 0) {
                    ASSERT_TRUE(x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
                        << "pixel " << x << "," << y;
                }
    }
}

TEST_F(PrimitivesTest, OutlineDrawsEveryBorderPixelOnce) {
    Image canvas = MakeImage(MemImgFormat16, 8, 8);
    FillMemImgRectRaw(canvas.get(), nullptr, 0);
    SetDrawSettings(BlendAdd, 255, 0xFFFFFF, RECT{0, 0, 8, 8}, 0);
    LineSegmentRecord segments[4];
    MakeRectOutlineSegments(0, 0, 4, 3, 0x0001, segments);
    PlotLineListOnMemImg(canvas.get(), segments, 4);
    int border = 0;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            const bool onBorder = x < 4 && y < 3 && (x == 0 || x == 3 || y == 0 || y == 2);
            EXPECT_EQ(ReadPixel(canvas.get(), x, y), onBorder ? 1u : 0u) << x << "," << y;
            border += onBorder;
        }
    EXPECT_EQ(border, 10);
    // Without a software target the outline goes to the draw side, not built yet.
    EXPECT_EQ(DrawRectOutlineSoft(0, 0, 4, 3, 1), -1);
}

TEST_F(PrimitivesTest, FillNormalisesAndClips) {
    Image a = MakeImage(MemImgFormat16, 16, 16), b = MakeImage(MemImgFormat16, 16, 16);
    FillMemImgRectRaw(a.get(), nullptr, 0);
    FillMemImgRectRaw(b.get(), nullptr, 0);
    FillMemImgBoxBlend(a.get(), 10, 10, 5, 5, 0x1234);
    FillMemImgBoxBlend(b.get(), 5, 5, 10, 10, 0x1234);
    EXPECT_EQ(ImageBytes(a.get()), ImageBytes(b.get()));
    EXPECT_EQ(ReadPixel(a.get(), 5, 5), 0x1234u);
    EXPECT_EQ(ReadPixel(a.get(), 10, 10), 0u);
    // Outside the draw area, or zero wide: nothing.
    const std::vector<uint8_t> before = ImageBytes(a.get());
    g_DrawState.clipRect = RECT{0, 0, 4, 4};
    FillMemImgBoxBlend(a.get(), 5, 5, 10, 10, 0xFFFF);
    FillMemImgBoxBlend(a.get(), 2, 0, 2, 4, 0xFFFF);
    EXPECT_EQ(ImageBytes(a.get()), before);
    // A draw area larger than the image writes only inside the image.
    g_DrawState.clipRect = RECT{0, 0, 100, 100};
    FillMemImgBoxBlend(a.get(), 12, 12, 40, 40, 0xFFFF);
    EXPECT_EQ(ReadPixel(a.get(), 15, 15), 0xFFFFu);
}

// Long rows (filled through the wide memset) at odd starts and widths.
TEST_F(PrimitivesTest, LongRowsFillExactly) {
    for (int kind : {MemImgFormat16, MemImgFormat32}) {
        Image image = MakeImage(kind, 600, 3);
        FillMemImgRectRaw(image.get(), nullptr, 0);
        g_DrawState.clipRect = RECT{0, 0, 600, 3};
        FillMemImgBoxBlend(image.get(), 1, 1, 558, 2, 0x12345678);
        const uint32_t colour = kind == MemImgFormat16 ? 0x5678 : 0x12345678;
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 600; x++)
                ASSERT_EQ(ReadPixel(image.get(), x, y), y == 1 && x >= 1 && x < 558 ? colour : 0u) << x << "," << y;
    }
}

// The fill's kernel per mode, on one pixel.
TEST_F(PrimitivesTest, FillKernels) {
    struct Row {
        int kind, mode, p;
        uint32_t brightness, d, colour, want;
    } rows[] = {
        {MemImgFormat16, BlendNone, 0, 0xFFFFFF, 0x1234, 0xF800, 0xF800},
        {MemImgFormat16, BlendNone, 0, 0x80FFFF, 0, 0xF800, 15 << 11},  // red 31 at 128 -> 15
        {MemImgFormat16, BlendAlpha, 0, 0xFFFFFF, 0x1234, 0xFFFF, 0x1234},  // p = 0: no effect
        {MemImgFormat16, BlendAlpha, 255, 0xFFFFFF, 0x1234, 0xFFFF, 0xFFFF},
        // d + BlendSignedMulTable[128][c - d]: 31 -> 0 + 15, 63 -> 31, 0 - 31 -> 31 - 15
        {MemImgFormat16, BlendAlpha, 128, 0xFFFFFF, 0x001F, 0xFFE0, 15 << 11 | 31 << 5 | 16},
        {MemImgFormat16, BlendMultiply, 7, 0xFFFFFF, 0xFFFF, 0xFFFF, 0xF7DE},  // p ignored
        {MemImgFormat16, BlendMultiply, 200, 0xFFFFFF, 0xFFFF, 0xFFFF, 0xF7DE},
        // t = BlendMulTable[128][31] = 15 into a blue of 20: 35 saturates, and the packed
        // add's blue carry sets green's low bit
        {MemImgFormat16, BlendAdd, 128, 0xFFFFFF, 0x0014, 0x001F, 0x003F},
        // blue 20 - 4; the packed subtract's guard bit leaves red's low bit set
        {MemImgFormat16, BlendSubtract, 255, 0xFFFFFF, 0x0014, 0x0004, 0x0810},
        {MemImgFormat32, BlendNone, 0, 0xFFFFFF, 0, 0xAB123456, 0xAB123456},
        {MemImgFormat32, BlendAlpha, 128, 0xFFFFFF, 0x55000000, 0x00FF00FF, 0x557F007F},  // byte 3 kept
        {MemImgFormat32, BlendMultiply, 0, 0xFFFFFF, 0x11FFFFFF, 0x00808080, 0x117F7F7F},
        {MemImgFormat32, BlendAdd, 255, 0xFFFFFF, 0x00FF0000, 0x00FF0000, 0x01FF0000},  // red carries into byte 3
        {MemImgFormat32, BlendAdd, 255, 0xFFFFFF, 0x00010101, 0x00000000, 0x00010101},  // low bits kept by the OR
        {MemImgFormat32, BlendSubtract, 255, 0xFFFFFF, 0x00102030, 0x00204010, 0x00000020},
        {MemImgFormat32, BlendNone, 0, 0x808080, 0, 0xFFFFFFFF, 0xFF7F7F7F},  // channel * 128 >> 8
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << " mode " << row.mode << " p " << row.p);
        Image image = MakeImage(row.kind, 1, 1);
        WritePixel(image.get(), 0, 0, row.d);
        SetDrawSettings(row.mode, row.p, row.brightness, RECT{0, 0, 1, 1}, 0);
        FillMemImgRectBlend(image.get(), nullptr, row.colour);
        EXPECT_EQ(ReadPixel(image.get(), 0, 0), row.want);
        // The line takes the same kernel.
        WritePixel(image.get(), 0, 0, row.d);
        PlotLineOnMemImg(image.get(), 0, 0, 1, 0, row.colour);
        EXPECT_EQ(ReadPixel(image.get(), 0, 0), row.want);
    }
}

TEST_F(PrimitivesTest, RefusedImagesAndModes) {
    Image palette = MakeImage(MemImgFormat16, 4, 4, 0, 1);
    Image alpha = MakeImage(MemImgFormat32, 4, 4, 1);
    Image plain = MakeImage(MemImgFormat32, 4, 4);
    for (MEMIMG* image : {palette.get(), alpha.get(), plain.get()}) {
        FillMemImgRectRaw(image, nullptr, 0);
        const std::vector<uint8_t> before = ImageBytes(image);
        SetDrawSettings(image == plain.get() ? 5 : BlendNone, 0, 0xFFFFFF, RECT{0, 0, 4, 4}, 0);
        FillMemImgRectBlend(image, nullptr, 0xFFFFFFFF);
        PlotLineOnMemImg(image, 0, 0, 3, 3, 0xFFFFFFFF);
        EXPECT_EQ(ImageBytes(image), before);
    }
}

// The filled box on the current target: into the software image on a software screen,
// refused while the target is unusable, and refused where the DirectDraw target cannot
// be prepared.
TEST_F(PrimitivesTest, FilledBoxRoutes) {
    Image target = MakeImage(MemImgFormat16, 8, 8);
    FillMemImgRectRaw(target.get(), nullptr, 0);
    const ScreenState saved = g_Screen;
    g_Screen.noDirectDraw = 1;
    g_Screen.softwareRenderer = 1;
    g_Screen.requestedColorBits = 16;
    g_Screen.drawTargetMemImg = target.get();
    g_DrawState.clipRect = RECT{0, 0, 8, 8};
    EXPECT_EQ(DrawFilledRectSoft(1, 1, 3, 3, 0x07E0), 0);
    EXPECT_EQ(ReadPixel(target.get(), 2, 2), 0x07E0u);
    EXPECT_EQ(ReadPixel(target.get(), 3, 3), 0u);
    g_Screen.drawTargetUnusable = 1;
    EXPECT_EQ(DrawFilledRectSoft(4, 4, 6, 6, 0x07E0), -1);
    EXPECT_EQ(ReadPixel(target.get(), 4, 4), 0u);
    g_Screen.drawTargetUnusable = 0;
    g_Screen.softwareRenderer = 0;  // DirectDraw output without a target surface: nothing to prepare
    g_Screen.drawTargetMemImg = nullptr;
    EXPECT_EQ(DrawFilledRectSoft(4, 4, 6, 6, 0x07E0), -1);
    g_Screen.noDirectDraw = 0;  // and without a DirectDraw object at all
    EXPECT_EQ(DrawFilledRectSoft(4, 4, 6, 6, 0x07E0), -1);
    g_Screen = saved;
}

}  // namespace
