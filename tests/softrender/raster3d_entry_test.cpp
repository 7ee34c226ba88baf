// The 3D rasteriser's entry: what it refuses (leaving colour and depth untouched), the
// depth test and write around the texel tests, and the cuts at depth 0 and 1 with their
// fan of Gouraud-shaded pieces; then wild vertex values through every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "library/d3d/d3d.h"
#include "library/softrender/triangle.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

constexpr int kSize = 40;

ScreenVertex Vertex(float x, float y, float z, uint32_t colour = 0xFFFFFFFF, float u = 0.5f, float v = 0.5f) {
    return ScreenVertex{x, y, z, 1.0f, colour, u, v};
}
ScreenVertex Perspective(float x, float y, float z, float rhw) { return ScreenVertex{x, y, z, rhw, 0xFFFFFFFF, 0.5f, 0.5f}; }

class Raster3DEntryTest : public SoftRenderTest {
protected:
    std::mt19937 rng{99};
    void SetUp() override {
        SoftRenderTest::SetUp();
        SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, kSize, kSize}, 0);
    }
};

// ---- Refusals ----

TEST_F(Raster3DEntryTest, RefusedTrianglesLeaveColourAndDepthAlone) {
    struct Refusal {
        const char* what;
        int destPalette, destAlpha, depthWidth, textureKind, blendWidth, mode, p, gouraud;
        float z0, z1, z2;
        int clipDepth;
    };
    const Refusal cases[] = {
        {"depth image one pixel narrower", 0, 0, kSize - 1, 0, 0, BlendNone, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"destination with a palette", 1, 0, kSize, 0, 0, BlendNone, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"destination with alpha", 0, 1, kSize, 0, 0, BlendNone, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"texture of the other format", 0, 0, kSize, 1, 0, BlendNone, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"blend image smaller than the texture", 0, 0, kSize, 0, 3, BlendNone, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"blend mode 5, uniform", 0, 0, kSize, 0, 0, BlendHardwareAdd, 128, 0, 0.5f, 0.5f, 0.5f, 0},
        {"blend mode 5, Gouraud", 0, 0, kSize, 0, 0, BlendHardwareAdd, 128, 1, 0.5f, 0.5f, 0.5f, 0},
        {"alpha with parameter 0", 0, 0, kSize, 0, 0, BlendAlpha, 0, 0, 0.5f, 0.5f, 0.5f, 0},
        {"two vertices in front, one behind", 0, 0, kSize, 0, 0, BlendNone, 0, 0, -0.5f, -0.1f, 1.5f, 1},
        {"every vertex behind", 0, 0, kSize, 0, 0, BlendNone, 0, 0, 1.5f, 1.1f, 7.0f, 1},
        {"all depths below 0, unclipped", 0, 0, kSize, 0, 0, BlendNone, 0, 0, -0.5f, -0.1f, -1.0f, 0},
        {"all depths at or above 1, unclipped", 0, 0, kSize, 0, 0, BlendNone, 0, 0, 1.0f, 1.1f, 3.0f, 0},
    };
    for (const Refusal& c : cases) {
        SetDrawSettings(c.mode, c.p, 0xFFFFFF, RECT{0, 0, kSize, kSize}, 0);
        Image dest = MakeImage(MemImgFormat16, kSize, kSize, c.destAlpha, c.destPalette);
        FillRandom(dest.get(), rng);
        Image depth = MakeImage(MemImgFormatZ16, c.depthWidth, kSize);
        FillMemImgRectRaw(depth.get(), nullptr, 0xFFFF);
        Image texture = MakeImage(c.textureKind, 4, 4);
        FillRandom(texture.get(), rng);
        Image blend = MakeImage(MemImgFormat8, 3, 3);
        const std::vector<uint8_t> destBefore = ImageBytes(dest.get()), depthBefore = ImageBytes(depth.get());
        const ScreenVertex v[3] = {Vertex(0, 0, c.z0), Vertex(80, 0, c.z1), Vertex(0, 80, c.z2)};
        DrawTriangle3DOnMemImg(dest.get(), depth.get(), texture.get(), v, 0, c.blendWidth ? blend.get() : nullptr, 1, 1,
                               c.gouraud, c.clipDepth);
        EXPECT_TRUE(ImageBytes(dest.get()) == destBefore) << c.what;
        EXPECT_TRUE(ImageBytes(depth.get()) == depthBefore) << c.what;
    }
}

// ---- Depth test and write ----

TEST_F(Raster3DEntryTest, DepthIsTestedAndWrittenBeforeTheTexelTests) {
    enum Texel { Drawn, Keyed, OutsideTexture };
    struct DepthCase {
        const char* what;
        float z;
        uint16_t stored;
        int depthWrite;
        Texel texel;
        bool drawn;
        uint16_t depthAfter;
    };
    const DepthCase cases[] = {
        {"equal depth passes", 0.5f, 0x8000, 1, Drawn, true, 0x8000},
        {"farther fails", 0.5f, 0x7FFF, 1, Drawn, false, 0x7FFF},
        {"nearer passes and writes", 0.25f, 0x9000, 1, Drawn, true, 0x4000},
        {"without depth write nothing is stored", 0.25f, 0x9000, 0, Drawn, true, 0x9000},
        {"depth 1.0 wraps to 0", 1.0f, 0x0001, 1, Drawn, true, 0x0000},
        {"a keyed texel still writes depth", 0.25f, 0x9000, 1, Keyed, false, 0x4000},
        {"a texel outside the texture still writes depth", 0.25f, 0x9000, 1, OutsideTexture, false, 0x4000},
    };
    for (const DepthCase& c : cases) {
        Image dest = MakeImage(MemImgFormat32, kSize, kSize);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        Image depth = MakeImage(MemImgFormatZ16, kSize, kSize);
        FillMemImgRectRaw(depth.get(), nullptr, c.stored);
        Image texture = MakeImage(MemImgFormat32, 1, 1, 0, 0, 0, 0x00ABCDEF);
        WritePixel(texture.get(), 0, 0, c.texel == Keyed ? 0x00ABCDEF : 0x00123456);
        const float u = c.texel == OutsideTexture ? 1.5f : 0.5f;
        ScreenVertex v[3] = {Vertex(0, 0, c.z, 0xFFFFFFFF, u), Vertex(80, 0, c.z, 0xFFFFFFFF, u),
                             Vertex(0, 80, c.z, 0xFFFFFFFF, u)};
        if (c.z == 1.0f) {
            // Depth 1 at every vertex is refused: exactly 1 on the centre line of row 1,
            // from a slope of -1/128 per row that fixed point holds exactly.
            v[0] = Vertex(0, -0.5f, 1.015625f), v[1] = Vertex(64, -0.5f, 1.015625f), v[2] = Vertex(0, 63.5f, 0.515625f);
        }
        DrawTriangle3DOnMemImg(dest.get(), depth.get(), texture.get(), v, 1, nullptr, c.depthWrite, 0, 0, 0);
        EXPECT_EQ(ReadPixel(dest.get(), 1, 1), c.drawn ? 0x00123456u : 0u) << c.what;
        EXPECT_EQ(ReadPixel(depth.get(), 1, 1), c.depthAfter) << c.what;
    }
}

// ---- Cuts at depth 0 and 1 ----

// Whether a pixel lies inside the triangle with its screen depth (linear on screen,
// whatever the rhw) within 0..1; `unsure` when its centre is within 0.02 of an edge or
// its depth within 0.002 of a cut plane, where rounding may decide either way.
struct PixelCover {
    bool visible, unsure;
};
PixelCover CoverOf(const ScreenVertex v[3], int x, int y) {
    const double area = double(v[1].x - v[0].x) * (v[2].y - v[0].y) - double(v[2].x - v[0].x) * (v[1].y - v[0].y);
    const double px = x + 0.5, py = y + 0.5;
    double bary[3];
    bool unsure = false, inside = true;
    for (int i = 0; i < 3; i++) {
        const ScreenVertex &a = v[(i + 1) % 3], &b = v[(i + 2) % 3];
        const double cross = (double(b.x) - a.x) * (py - a.y) - (double(b.y) - a.y) * (px - a.x);
        bary[i] = cross / area;
        if (std::fabs(cross) / std::hypot(double(b.x) - a.x, double(b.y) - a.y) < 0.02) unsure = true;
        if (bary[i] < 0) inside = false;
    }
    const double z = bary[0] * v[0].z + bary[1] * v[1].z + bary[2] * v[2].z;
    // Depth changes by well over 0.01 per pixel in these triangles.
    if (std::fabs(z) < 0.002 || std::fabs(z - 1) < 0.002) unsure = true;
    return PixelCover{inside && z >= 0 && z <= 1, unsure};
}

// Every pixel of the part of the triangle within depth 0..1 is drawn exactly once by
// the pieces (each draw adds 1); nothing else is drawn. Returns the visible pixels.
int ExpectVisiblePart(const MEMIMG* dest, const ScreenVertex v[3]) {
    int visible = 0, wrong = 0;
    for (int y = 0; y < dest->height; y++) {
        for (int x = 0; x < dest->width; x++) {
            const PixelCover c = CoverOf(v, x, y);
            if (c.unsure) continue;
            visible += c.visible;
            if (ReadPixel(dest, x, y) != (c.visible ? 1u : 0u) && wrong++ == 0)
                ADD_FAILURE() << "first wrong pixel " << x << "," << y;
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << visible << " visible";
    return visible;
}

// A 1 x 1 texture of blue 2: Gouraud add under white vertices adds exactly 1 per draw.
Image AddOneTexture() {
    SetDrawSettings(BlendAdd, 0, 0xFFFFFF, RECT{0, 0, kSize, kSize}, 0);
    Image texture = MakeImage(MemImgFormat32, 1, 1);
    WritePixel(texture.get(), 0, 0, 2);
    return texture;
}

TEST_F(Raster3DEntryTest, CutPiecesCoverTheVisiblePartOnce) {
    Image texture = AddOneTexture();
    const ScreenVertex triangles[][3] = {
        {Vertex(4, 4, -1.0f), Vertex(36, 4, 0.5f), Vertex(4, 36, 0.5f)},   // near cut: 4 corners
        {Vertex(4, 4, 2.0f), Vertex(36, 4, 0.5f), Vertex(4, 36, 0.5f)},    // far cut: 4 corners
        {Vertex(4, 4, -1.0f), Vertex(38, 4, 2.0f), Vertex(4, 38, 0.5f)},   // both: 5 corners
        {Vertex(38, 2, 0.2f), Vertex(2, 20, -0.7f), Vertex(30, 38, 1.6f)},  // both, other winding
        {Vertex(2, 2, 0.5f), Vertex(38, 9, 0.6f), Vertex(12, 38, 0.9f)},   // nothing to cut
    };
    for (const auto& t : triangles) {
        Image dest = MakeImage(MemImgFormat32, kSize, kSize);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawTriangle3DOnMemImg(dest.get(), nullptr, texture.get(), t, 0, nullptr, 0, 0, 1, 1);
        ExpectVisiblePart(dest.get(), t);
        if (HasFailure()) return;
    }
}

// Under perspective (vertex rhw differing) the far cut still lands on depth 1: nothing
// of the visible part is lost. The right corner lies at depth 2 with rhw 1, 0.5, 0.1.
TEST_F(Raster3DEntryTest, FarCutUnderPerspectiveKeepsTheVisiblePart) {
    Image texture = AddOneTexture();
    for (float rhw : {1.0f, 0.5f, 0.1f}) {
        const ScreenVertex t[3] = {Perspective(0, 0, 0.5f, 1), Perspective(32, 0, 2.0f, rhw), Perspective(0, 32, 0.5f, 1)};
        Image dest = MakeImage(MemImgFormat32, kSize, kSize);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        DrawTriangle3DOnMemImg(dest.get(), nullptr, texture.get(), t, 0, nullptr, 0, 0, 1, 1);
        EXPECT_GT(ExpectVisiblePart(dest.get(), t), 250) << "rhw " << rhw;
        if (HasFailure()) return;
    }
}

// Whether the far cut of a triangle (depth linear on screen) makes a piece narrower
// than 1.5 pixels in some direction: the set-up drops pieces below 1.1 pixels.
bool HasThinPiece(const ScreenVertex t[3]) {
    struct Point {
        double x, y;
    };
    Point polygon[4];
    int n = 0;
    for (int i = 0; i < 3; i++) {
        const ScreenVertex &a = t[i], &b = t[(i + 1) % 3];
        if (a.z <= 1) polygon[n++] = Point{a.x, a.y};
        if ((a.z <= 1) != (b.z <= 1)) {
            const double s = (1.0 - a.z) / (double(b.z) - a.z);
            polygon[n++] = Point{a.x + (double(b.x) - a.x) * s, a.y + (double(b.y) - a.y) * s};
        }
    }
    for (int k = 2; k < n; k++) {
        const Point p[3] = {polygon[0], polygon[k - 1], polygon[k]};
        const double area = std::fabs((p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y));
        double longest = 0;
        for (int e = 0; e < 3; e++)
            longest = std::max(longest, std::hypot(p[(e + 1) % 3].x - p[e].x, p[(e + 1) % 3].y - p[e].y));
        if (area / longest < 1.5) return true;  // the smallest altitude
    }
    return false;
}

// Random triangles crossing depth 1 with rhw in [0.05, 1]: the cut pieces draw what the
// whole triangle, drawn uncut, draws in front of a depth image standing at depth 1 (the
// depths halved against 0x8000, so that no depth wraps past 0xFFFF). Triangles with a
// piece too thin to be drawn are left out.
TEST_F(Raster3DEntryTest, FarCutMatchesAnUncutDrawBehindADepthTest) {
    Image texture = AddOneTexture();
    std::uniform_real_distribution<float> coord(-4.0f, 44.0f), near(0.0f, 0.95f), far(1.05f, 1.95f), rhw(0.05f, 1.0f);
    Image depth = MakeImage(MemImgFormatZ16, kSize, kSize);
    int triangles = 0, visible = 0, drawnVisible = 0, wrongTriangles = 0;
    for (int i = 0; i < 300; i++) {
        ScreenVertex t[3], halved[3];
        for (int k = 0; k < 3; k++) {
            const float z = k == 0 || (k == 1 && i % 2) ? far(rng) : near(rng);
            t[k] = Perspective(coord(rng), coord(rng), z, rhw(rng));
            halved[k] = t[k];
            halved[k].z = z / 2;
        }
        if (HasThinPiece(t)) continue;
        triangles++;
        Image cut = MakeImage(MemImgFormat32, kSize, kSize), whole = MakeImage(MemImgFormat32, kSize, kSize);
        FillMemImgRectRaw(cut.get(), nullptr, 0);
        FillMemImgRectRaw(whole.get(), nullptr, 0);
        FillMemImgRectRaw(depth.get(), nullptr, 0x8000);
        DrawTriangle3DOnMemImg(cut.get(), nullptr, texture.get(), t, 0, nullptr, 0, 0, 1, 1);
        DrawTriangle3DOnMemImg(whole.get(), depth.get(), texture.get(), halved, 0, nullptr, 0, 0, 1, 0);
        for (int y = 0; y < kSize; y++) {
            for (int x = 0; x < kSize; x++) {
                if (CoverOf(t, x, y).unsure) continue;
                const uint32_t expected = ReadPixel(whole.get(), x, y), drawn = ReadPixel(cut.get(), x, y);
                visible += expected != 0;
                drawnVisible += expected != 0 && drawn == expected;
                if (drawn != expected && wrongTriangles++ == 0)
                    ADD_FAILURE() << "first wrong pixel: triangle " << i << " pixel " << x << "," << y;
            }
        }
    }
    EXPECT_GT(triangles, 200);
    EXPECT_GT(visible, 10000);
    EXPECT_EQ(drawnVisible, visible);
    EXPECT_EQ(wrongTriangles, 0);
}

TEST_F(Raster3DEntryTest, CutPiecesAreGouraudShadedAndWriteDepthByTheirOwnFlag) {
    const ScreenVertex cut[3] = {Vertex(4, 4, -1.0f, 0xFF808080), Vertex(36, 4, 0.5f, 0xFF808080),
                                 Vertex(4, 36, 0.5f, 0xFF808080)};
    struct Flags {
        int depthWrite, pieceDepthWrite;
        bool depthWritten;
    };
    for (const Flags f : {Flags{0, 1, true}, Flags{1, 0, false}}) {
        Image dest = MakeImage(MemImgFormat32, kSize, kSize);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        Image depth = MakeImage(MemImgFormatZ16, kSize, kSize);
        FillMemImgRectRaw(depth.get(), nullptr, 0xFFFF);
        // Asked for uniform shading: an uncut triangle would be plain white.
        DrawTriangle3DOnMemImg(dest.get(), depth.get(), nullptr, cut, 0, nullptr, f.depthWrite, f.pieceDepthWrite, 0, 1);
        EXPECT_EQ(ReadPixel(dest.get(), 20, 10), 0x7F7F7Fu);
        EXPECT_EQ(ReadPixel(dest.get(), 6, 6), 0u);  // in front of depth 0
        EXPECT_EQ(ReadPixel(depth.get(), 20, 10) != 0xFFFF, f.depthWritten);
    }
}

// A depth-cut flag other than exactly 1 cuts nothing, and a triangle within 0..1 is drawn
// as it is (with its own shading) when cutting is asked for.
TEST_F(Raster3DEntryTest, CutOnlyWhenAskedAndNeeded) {
    struct Case {
        float z0;
        int clipDepth, gouraud;
    };
    for (const Case c : {Case{1.5f, 2, 0}, Case{1.5f, -1, 1}, Case{0.7f, 1, 0}, Case{0.7f, 1, 1}}) {
        const ScreenVertex v[3] = {Vertex(3, 2, c.z0, 0xC0804020, 0.1f, 0.2f), Vertex(37, 8, 0.3f, 0x40FF8000, 0.9f, 0.1f),
                                   Vertex(9, 37, 0.6f, 0xFF2080FF, 0.4f, 0.95f)};
        Image texture = MakeImage(MemImgFormat16, 8, 8);
        FillRandom(texture.get(), rng);
        Image cut = MakeImage(MemImgFormat16, kSize, kSize), plain = MakeImage(MemImgFormat16, kSize, kSize);
        FillMemImgRectRaw(cut.get(), nullptr, 0);
        FillMemImgRectRaw(plain.get(), nullptr, 0);
        DrawTriangle3DOnMemImg(cut.get(), nullptr, texture.get(), v, 0, nullptr, 0, 0, c.gouraud, c.clipDepth);
        DrawTriangle3DOnMemImg(plain.get(), nullptr, texture.get(), v, 0, nullptr, 0, 0, c.gouraud, 0);
        EXPECT_TRUE(ImageBytes(cut.get()) == ImageBytes(plain.get())) << c.z0 << " " << c.clipDepth;
        int drawn = 0;
        for (int y = 0; y < kSize; y++)
            for (int x = 0; x < kSize; x++) drawn += ReadPixel(plain.get(), x, y) != 0;
        EXPECT_GT(drawn, 200);
    }
}

// ---- Wild input ----

// Non-finite, huge and negative values in every vertex field, through cuts, depth,
// textures and blend images: no crash, no read or write outside an image (the
// sanitizer build checks), nothing outside the draw area.
TEST_F(Raster3DEntryTest, WildVerticesAreSafe) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float wild[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-30f, -1e-30f, 1e30f, -1e30f, 3e9f, 65536.0f, inf, -inf, nan};
    auto pick = [&](float lo, float hi) {
        return rng() % 3 ? lo + (hi - lo) * float(rng() % 1000) / 1000.0f : wild[rng() % std::size(wild)];
    };
    const RECT clip{3, 2, 30, 35};
    Image texture16 = MakeImage(MemImgFormat16, 5, 7, 1), texture32 = MakeImage(MemImgFormat32, 6, 3, 0, 1);
    FillRandom(texture16.get(), rng);
    FillRandom(texture32.get(), rng);
    Image blend = MakeImage(MemImgFormat8, 6, 7);
    FillRandom(blend.get(), rng);
    for (int i = 0; i < 3000; i++) {
        const int kind = i % 2 ? MemImgFormat16 : MemImgFormat32;
        SetDrawSettings(int(rng() % 5), int(rng() % 256), rng() % 2 ? 0xFFFFFF : 0x8040C0, clip, 0);
        Image dest = MakeImage(kind, kSize, kSize);
        FillMemImgRectRaw(dest.get(), nullptr, 0);
        Image depth = MakeImage(MemImgFormatZ16, kSize, kSize);
        FillMemImgRectRaw(depth.get(), nullptr, 0x8000);
        ScreenVertex v[3];
        for (ScreenVertex& p : v)
            p = ScreenVertex{pick(-20, 60), pick(-20, 60), pick(-1, 2), pick(-0.5f, 3), uint32_t(rng()), pick(-1, 2), pick(-1, 2)};
        const MEMIMG* texture = rng() % 3 == 0 ? nullptr : kind == MemImgFormat16 ? texture16.get() : texture32.get();
        DrawTriangle3DOnMemImg(dest.get(), rng() % 2 ? depth.get() : nullptr, texture, v, int(rng() % 2),
                               rng() % 2 ? blend.get() : nullptr, int(rng() % 2), int(rng() % 2), int(rng() % 2),
                               rng() % 2 ? 1 : 0);
        for (int y = 0; y < kSize; y++) {
            for (int x = 0; x < kSize; x++) {
                const bool outside = x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom;
                ASSERT_TRUE(!outside || (ReadPixel(dest.get(), x, y) == 0 && ReadPixel(depth.get(), x, y) == 0x8000))
                    << "round " << i << " pixel " << x << "," << y;
            }
        }
    }
}

}  // namespace
