// Which pixels the 3D rasteriser covers: the rule (row centre strictly between the top
// and bottom vertex, pixel centre strictly right of the left edge and at or left of the
// right edge, cut to the draw area) against a float model, shared edges drawn exactly
// once, the thin and degenerate triangles that draw nothing, and vertex positions far
// outside the image.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "library/d3d/d3d.h"
#include "library/softrender/triangle.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

struct P {
    float x, y;
};

ScreenVertex At(P p, uint32_t colour = 0xFFFFFFFF) { return ScreenVertex{p.x, p.y, 0.5f, 1.0f, colour, 0.5f, 0.5f}; }

// Where a pixel centre lies against a triangle: 1 inside, 0 outside, -1 too close to an
// edge (or to the top or bottom line) for a float model to decide.
int Inside(const P t[3], float cx, float cy) {
    const float top = std::min({t[0].y, t[1].y, t[2].y}), bottom = std::max({t[0].y, t[1].y, t[2].y});
    const float left = std::min({t[0].x, t[1].x, t[2].x}), right = std::max({t[0].x, t[1].x, t[2].x});
    if (bottom - top < 1.1f || right - left < 1.1f) return 0;  // too thin to draw
    if (std::fabs(cy - top) < 0.01f || std::fabs(cy - bottom) < 0.01f) return -1;
    const double area = double(t[1].x - t[0].x) * (t[2].y - t[0].y) - double(t[2].x - t[0].x) * (t[1].y - t[0].y);
    bool inside = true;
    for (int i = 0; i < 3; i++) {
        const P &a = t[i], &b = t[(i + 1) % 3];
        const double cross = double(b.x - a.x) * (cy - a.y) - double(b.y - a.y) * (cx - a.x);
        const double length = std::hypot(double(b.x - a.x), double(b.y - a.y));
        if (std::fabs(cross) / length < 0.01) return -1;
        if ((cross > 0) != (area > 0)) inside = false;
    }
    return inside ? 1 : 0;
}

class Raster3DCoverageTest : public SoftRenderTest {
protected:
    std::mt19937 rng{4411};
    float Uniform(float lo, float hi) { return lo + (hi - lo) * float(rng() % 1000000) / 1000000.0f; }

    // Draws the triangle in white on black and compares every decidable pixel with the model.
    void ExpectCoverage(const P t[3], RECT clip, int width = 48, int height = 40) {
        SetDrawSettings(BlendNone, 0, 0xFFFFFF, clip, 0);
        Image dest = MakeImage(MemImgFormat32, width, height);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        const ScreenVertex v[3] = {At(t[0]), At(t[1]), At(t[2])};
        DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                const bool inClip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                const int inside = inClip ? Inside(t, x + 0.5f, y + 0.5f) : 0;
                if (inside < 0) continue;
                ASSERT_EQ(ReadPixel(dest.get(), x, y), inside ? 0xFFFFFFFFu : 0u)
                    << "pixel " << x << "," << y << " of (" << t[0].x << "," << t[0].y << ") (" << t[1].x << ","
                    << t[1].y << ") (" << t[2].x << "," << t[2].y << ")";
            }
        }
    }
};

TEST_F(Raster3DCoverageTest, RandomTrianglesFollowTheRule) {
    for (int i = 0; i < 300; i++) {
        const P t[3] = {{Uniform(-10, 58), Uniform(-10, 50)}, {Uniform(-10, 58), Uniform(-10, 50)},
                        {Uniform(-10, 58), Uniform(-10, 50)}};
        const RECT clip = i % 2 ? RECT{0, 0, 48, 40} : RECT{LONG(rng() % 10), LONG(rng() % 10), 38 + LONG(rng() % 10), 30 + LONG(rng() % 10)};
        ExpectCoverage(t, clip);
        if (HasFatalFailure()) return;
    }
}

// The shapes the set-up treats apart: flat top and bottom (top and middle, or middle
// and bottom, on one pixel row), the middle vertex left or right, the first row already
// past the middle vertex (by rounding, and by a draw area that starts lower), vertices
// above the image.
TEST_F(Raster3DCoverageTest, SetupShapesFollowTheRule) {
    struct Shape {
        P t[3];
        RECT clip;
    };
    const Shape shapes[] = {
        {{{3.3f, 2.1f}, {20.7f, 2.9f}, {11.2f, 30.4f}}, {0, 0, 48, 40}},   // flat top, T left
        {{{20.7f, 2.1f}, {3.3f, 2.9f}, {11.2f, 30.4f}}, {0, 0, 48, 40}},   // flat top, M left
        {{{11.2f, 1.4f}, {3.3f, 30.1f}, {30.7f, 30.8f}}, {0, 0, 48, 40}},  // flat bottom
        {{{10.2f, 1.3f}, {2.6f, 17.7f}, {30.4f, 36.2f}}, {0, 0, 48, 40}},  // middle on the left
        {{{10.2f, 1.3f}, {40.6f, 9.7f}, {14.4f, 36.2f}}, {0, 0, 48, 40}},  // middle on the right
        {{{10.2f, 0.7f}, {44.6f, 1.2f}, {14.4f, 36.2f}}, {0, 0, 48, 40}},  // first row below the middle vertex
        {{{10.2f, 0.7f}, {1.6f, 1.2f}, {30.4f, 36.2f}}, {0, 0, 48, 40}},
        {{{10.2f, 1.3f}, {40.6f, 9.7f}, {14.4f, 36.2f}}, {0, 20, 48, 40}},  // draw area starts past the bend
        {{{10.2f, 1.3f}, {2.6f, 17.7f}, {30.4f, 36.2f}}, {0, 25, 48, 40}},
        {{{10.2f, -20.3f}, {40.6f, 9.7f}, {-14.4f, 36.2f}}, {0, 0, 48, 40}},  // vertices outside the image
    };
    for (const Shape& s : shapes) {
        ExpectCoverage(s.t, s.clip);
        if (HasFatalFailure()) return;
    }
}

TEST_F(Raster3DCoverageTest, ThinAndDegenerateTrianglesDrawNothing) {
    struct Thin {
        P t[3];
        int pixels;
    };
    const Thin cases[] = {
        {{{0.2f, 0.0f}, {20.0f, 0.5f}, {10.0f, 1.0f}}, 0},   // 1.0 tall
        {{{0.0f, 0.2f}, {1.05f, 10.0f}, {0.5f, 20.0f}}, 0},  // 1.05 wide
        {{{1.0f, 1.0f}, {5.0f, 5.0f}, {9.0f, 9.0f}}, 0},     // on one line
        {{{0.4f, 0.4f}, {1.6f, 0.4f}, {0.4f, 1.6f}}, 3},     // 1.2 x 1.2: (0, 0), and (1, 0) and (0, 1) on its right edge
    };
    for (const Thin& c : cases) {
        SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 24, 24}, 0);
        Image dest = MakeImage(MemImgFormat16, 24, 24);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        const ScreenVertex v[3] = {At(c.t[0]), At(c.t[1]), At(c.t[2])};
        DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
        int drawn = 0;
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 24; x++) drawn += ReadPixel(dest.get(), x, y) != 0;
        EXPECT_EQ(drawn, c.pixels) << c.t[0].x << "," << c.t[0].y;
    }
}

// A mesh of quads with shaken inner corners, each split into two triangles along either
// diagonal, added onto black with weight 1: every pixel ends up exactly 1.
TEST_F(Raster3DCoverageTest, SharedEdgesAreDrawnOnce) {
    constexpr int kCells = 6, kCell = 10, kSize = kCells * kCell;
    SetDrawSettings(BlendAdd, 255, 0xFFFFFF, RECT{0, 0, kSize, kSize}, 0);
    Image dest = MakeImage(MemImgFormat32, kSize, kSize);
    Image one = MakeImage(MemImgFormat32, 1, 1);
    WritePixel(one.get(), 0, 0, 1);
    for (int round = 0; round < 4; round++) {
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        P grid[kCells + 1][kCells + 1];
        for (int j = 0; j <= kCells; j++) {
            for (int i = 0; i <= kCells; i++) {
                const bool inner = i > 0 && i < kCells && j > 0 && j < kCells;
                grid[j][i] = {float(i * kCell) + (inner ? Uniform(-4, 4) : 0), float(j * kCell) + (inner ? Uniform(-4, 4) : 0)};
            }
        }
        for (int j = 0; j < kCells; j++) {
            for (int i = 0; i < kCells; i++) {
                const P a = grid[j][i], b = grid[j][i + 1], c = grid[j + 1][i], d = grid[j + 1][i + 1];
                const bool other = (i + j + round) % 2;
                const ScreenVertex t1[3] = {At(a), At(b), At(other ? d : c)};
                const ScreenVertex t2[3] = {At(other ? a : b), At(d), At(c)};
                DrawTriangle3DOnMemImg(dest.get(), nullptr, one.get(), t1, 0, nullptr, 0, 0, 0, 0);
                DrawTriangle3DOnMemImg(dest.get(), nullptr, one.get(), t2, 0, nullptr, 0, 0, 0, 0);
            }
        }
        for (int y = 0; y < kSize; y++)
            for (int x = 0; x < kSize; x++) ASSERT_EQ(ReadPixel(dest.get(), x, y), 1u) << x << "," << y << " round " << round;
    }
}

// Positions far outside the image, infinite or not numbers: nothing is written outside
// the draw area, nothing crashes, and a huge triangle covering the image fills it.
TEST_F(Raster3DCoverageTest, ExtremePositionsStayInsideTheDrawArea) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = {-1e30f, -3e9f, -70000.0f, -8193.0f, -0.5f, 3.0f, 12.0f, 8193.0f, 70000.0f, 3e9f, 1e30f, inf, -inf, nan};
    const RECT clip{2, 3, 14, 11};
    Image dest = MakeImage(MemImgFormat16, 16, 12);
    for (float a : values) {
        for (float b : values) {
            SetDrawSettings(BlendNone, 0, 0xFFFFFF, clip, 0);
            FillMemImgRectRaw(dest.get(), nullptr, 0);
            const ScreenVertex v[3] = {At({a, 5.0f}), At({8.0f, b}), At({b, a})};
            DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
            for (int y = 0; y < 12; y++) {
                for (int x = 0; x < 16; x++) {
                    const bool outside = x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom;
                    ASSERT_TRUE(!outside || ReadPixel(dest.get(), x, y) == 0) << x << "," << y << " " << a << " " << b;
                }
            }
        }
    }
    // A triangle many times the image's size covers all of the draw area.
    const ScreenVertex huge[3] = {At({-1e6f, -1e6f}), At({3e6f, -1e6f}), At({-1e6f, 3e6f})};
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, huge, 0, nullptr, 0, 0, 0, 0);
    for (int y = clip.top; y < clip.bottom; y++)
        for (int x = clip.left; x < clip.right; x++) ASSERT_EQ(ReadPixel(dest.get(), x, y), 0xFFFFu) << x << "," << y;
}

// A draw area left larger than the image (from a bigger target) is cut to the image.
TEST_F(Raster3DCoverageTest, DrawAreaBeyondTheImageIsCut) {
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{-50, -50, 5000, 5000}, 0);
    Image dest = MakeImage(MemImgFormat32, 8, 8);
    Image depth = MakeImage(MemImgFormatZ16, 8, 8);
    FillMemImgRectRaw(depth.get(), nullptr, 0xFFFF);
    const ScreenVertex v[3] = {At({-100, -100}), At({300, -100}), At({-100, 300})};
    DrawTriangle3DOnMemImg(dest.get(), depth.get(), nullptr, v, 0, nullptr, 1, 0, 0, 0);
    EXPECT_EQ(ReadPixel(dest.get(), 7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(ReadPixel(depth.get(), 7, 7), 0x8000u);
}

// Rows are not limited by a table: an image taller than 4096 rows is covered to the end.
TEST_F(Raster3DCoverageTest, TallImagesAreCoveredToTheLastRow) {
    SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 4, 5000}, 0);
    Image dest = MakeImage(MemImgFormat16, 4, 5000);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    const ScreenVertex v[3] = {At({0, 0}), At({10, 0}), At({0, 10000})};
    DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
    EXPECT_EQ(ReadPixel(dest.get(), 0, 4999), 0xFFFFu);
    EXPECT_EQ(ReadPixel(dest.get(), 3, 4096), 0xFFFFu);
}

}  // namespace
