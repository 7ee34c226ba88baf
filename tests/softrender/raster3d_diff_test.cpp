// The 3D rasteriser against the reference model, byte for byte in the destination and
// the depth image: both formats, both shadings, every texture kind (none, direct, with
// alpha, palette), every blend mode with the parameter values that have shortcuts,
// blend image, brightness and transparency, with and without depth test and write, on
// random triangles, images and draw areas.
#include <gtest/gtest.h>

#include <sstream>

#include "library/d3d/d3d.h"
#include "platform/kernel/cpu.h"
#include "library/softrender/triangle.h"
#include "raster3d_reference.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

enum TextureKind { NoTexture, Direct, WithAlpha, Palette };

struct Case {
    int kind;
    TextureKind texture;
    int mode, p;
    uint32_t brightness;
    bool blend, transparent, gouraud;
    int depth;  // 0 none, 1 test, 2 test and write
};

std::string Describe(const Case& c) {
    std::ostringstream out;
    out << "kind " << c.kind << " texture " << c.texture << " mode " << c.mode << " p " << c.p << " bright "
        << std::hex << c.brightness << std::dec << " blend " << c.blend << " transparent " << c.transparent
        << " gouraud " << c.gouraud << " depth " << c.depth;
    return out.str();
}

std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, int pitch, int bpp) {
    for (size_t i = 0; i < got.size(); i++) {
        if (got[i] == want[i]) continue;
        const size_t base = i - i % size_t(bpp);
        uint32_t g = 0, w = 0;
        std::memcpy(&g, got.data() + base, size_t(bpp));
        std::memcpy(&w, want.data() + base, size_t(bpp));
        std::ostringstream out;
        out << "pixel (" << (base % size_t(pitch)) / size_t(bpp) << ", " << base / size_t(pitch) << ") got " << std::hex
            << g << " want " << w;
        return out.str();
    }
    return "none";
}

class Raster3DDiffTest : public SoftRenderTest {
protected:
    std::mt19937 rng{7031};

    float Uniform(float lo, float hi) { return lo + (hi - lo) * float(rng() % 100000) / 100000.0f; }

    // The image drawn into; wide images make spans longer than the loops' chunks.
    int width = 40, height = 32;
    // Sometimes an rhw so small that W drops to a few units (rhw below 2^-18).
    bool tinyRhw = false;

    ScreenVertex RandomVertex() {
        ScreenVertex v{};
        v.x = Uniform(-8, float(width) + 8);
        v.y = Uniform(-8, float(height) + 8);
        v.z = Uniform(0, 1);
        v.rhw = tinyRhw && rng() % 3 == 0 ? Uniform(1e-8f, 6e-6f) : Uniform(0.3f, 2.0f);
        v.colour = uint32_t(rng());
        v.u = Uniform(-0.1f, 1.1f);
        v.v = Uniform(-0.1f, 1.1f);
        return v;
    }

    void Run(const Case& c) {
        Image dest = MakeImage(c.kind, width, height);
        FillRandom(dest.get(), rng);
        Image depth = MakeImage(MemImgFormatZ16, width, height);
        FillRandom(depth.get(), rng);
        const uint32_t keyMask = c.texture == Palette ? 0xFF : c.kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFFFF;
        Image texture = MakeImage(c.kind, 16, 8, c.texture == WithAlpha, c.texture == Palette, 0, uint32_t(rng()) & keyMask);
        FillRandom(texture.get(), rng);
        Image blend = MakeImage(MemImgFormat8, 16, 8);
        FillRandom(blend.get(), rng);

        SetDrawSettings(c.mode, c.p, c.brightness,
                        RECT{LONG(rng() % 6), LONG(rng() % 6), width - 4 + LONG(rng() % 10), height - 4 + LONG(rng() % 10)}, 0);
        const ScreenVertex v[3] = {RandomVertex(), RandomVertex(), RandomVertex()};
        const MEMIMG* tex = c.texture == NoTexture ? nullptr : texture.get();
        const MEMIMG* bl = c.blend ? blend.get() : nullptr;
        MEMIMG* z = c.depth ? depth.get() : nullptr;

        const Ref3DImages want =
            ReferenceDrawTriangle3D(dest.get(), z, tex, v, c.transparent, bl, c.depth == 2, c.gouraud, CurrentRef3DSettings());
        DrawTriangle3DOnMemImg(dest.get(), z, tex, v, c.transparent, bl, c.depth == 2, 0, c.gouraud, 0);
        const std::vector<uint8_t> got = ImageBytes(dest.get());
        EXPECT_TRUE(got == want.dest) << Describe(c) << ": "
                                      << FirstDifference(got, want.dest, dest->pitch, MemImgBytesPerPixel(dest.get()));
        if (z != nullptr) {
            const std::vector<uint8_t> gotDepth = ImageBytes(z);
            EXPECT_TRUE(gotDepth == want.depth) << Describe(c) << ": depth " << FirstDifference(gotDepth, want.depth, z->pitch, 2);
        }
    }

    // Every texture kind, blend mode and parameter shortcut, blend image, brightness and
    // transparent flag of one format and shading; the depth set-up rotates.
    void RunAll(int kind, bool gouraud) {
        const int modes[][2] = {{BlendNone, 0},      {BlendAlpha, 128},   {BlendAlpha, 255}, {BlendAlpha, 0},
                                {BlendAlpha, 77},    {BlendAdd, 255},     {BlendAdd, 100},   {BlendAdd, 0},
                                {BlendSubtract, 255}, {BlendSubtract, 60}, {BlendSubtract, 0}, {BlendMultiply, 0},
                                {BlendHardwareAdd, 128}};
        int n = 0;
        for (TextureKind texture : {NoTexture, Direct, WithAlpha, Palette})
            for (const auto& m : modes)
                for (bool blend : {false, true})
                    for (uint32_t brightness : {0xFFFFFFu, 0x80C040u})
                        for (bool transparent : {false, true})
                            for (int repeat = 0; repeat < 2; repeat++)
                                Run(Case{kind, texture, m[0], m[1], brightness, blend, transparent, gouraud, n++ % 3});
    }


    // Every vector level the processor has: the SSE2 loops, then the widest.
    template <class Fn>
    void AtEachSimdLevel(Fn fn) {
        for (SimdWidth level : {SimdSse2, SimdAvx2}) {
            SCOPED_TRACE(level == SimdSse2 ? "SSE2" : "widest");
            const SimdWidth before = LimitCpuSimdLevel(level);
            fn();
            LimitCpuSimdLevel(before);
        }
    }
};

TEST_F(Raster3DDiffTest, Uniform16) { AtEachSimdLevel([&] { RunAll(MemImgFormat16, false); }); }
TEST_F(Raster3DDiffTest, Uniform32) { AtEachSimdLevel([&] { RunAll(MemImgFormat32, false); }); }
TEST_F(Raster3DDiffTest, Gouraud16) { AtEachSimdLevel([&] { RunAll(MemImgFormat16, true); }); }
TEST_F(Raster3DDiffTest, Gouraud32) { AtEachSimdLevel([&] { RunAll(MemImgFormat32, true); }); }

// Spans longer than the loops' chunks of 256 pixels, and W falling to a few units (where
// the division goes one pixel at a time), in the commonest modes.
TEST_F(Raster3DDiffTest, WideSpansAndTinyRhw) {
    width = 600;
    height = 12;
    tinyRhw = true;
    AtEachSimdLevel([&] {
        int n = 0;
        for (int kind : {MemImgFormat16, MemImgFormat32})
            for (TextureKind texture : {NoTexture, Direct, WithAlpha, Palette})
                for (const auto& m : {std::pair{BlendNone, 0}, std::pair{BlendAlpha, 128}, std::pair{BlendAdd, 200}})
                    for (bool gouraud : {false, true})
                        for (int repeat = 0; repeat < 4; repeat++)
                            Run(Case{kind, texture, m.first, m.second, 0xFFFFFF, false, false, gouraud, n++ % 3});
    });
}

}  // namespace
