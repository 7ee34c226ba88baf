// The triangle filler against the reference model, pixel for pixel: every destination
// format, texture kind (none, direct colour, with alpha, palette), blend mode, special
// parameter, brightness, blend image, transparent flag and MMX setting over a set of
// triangle shapes; then random triangles, textures and clip rectangles.
#include <gtest/gtest.h>

#include <sstream>

#include "library/softrender/triangle.h"
#include "softrender_test_support.h"
#include "triangle_fill_reference.h"

namespace {

using namespace softrender_test;

enum TextureKind { NoTexture, DirectTexture, AlphaTexture, PaletteTexture };

struct Case {
    int kind;
    TextureKind texture;
    int mode, p;
    uint32_t brightness;
    bool blend, transparent, mmx;
};

std::string Describe(const Case& c, const TexTriVertex v[3]) {
    std::ostringstream out;
    out << "kind " << c.kind << " texture " << c.texture << " mode " << c.mode << " p " << c.p << " bright "
        << std::hex << c.brightness << std::dec << " blend " << c.blend << " transparent " << c.transparent << " mmx "
        << c.mmx << " vertices";
    for (int i = 0; i < 3; i++) out << " (" << v[i].x << "," << v[i].y << " uv " << v[i].u << "," << v[i].v << ")";
    return out.str();
}

std::string FirstDifference(const MEMIMG* dest, const std::vector<uint8_t>& expected) {
    const int bpp = MemImgBytesPerPixel(dest);
    for (size_t at = 0; at < expected.size(); at++) {
        if (dest->pixels[at] == expected[at]) continue;
        const size_t base = at - at % size_t(bpp);
        uint32_t got = 0, want = 0;
        std::memcpy(&got, dest->pixels + base, size_t(bpp));
        std::memcpy(&want, expected.data() + base, size_t(bpp));
        std::ostringstream out;
        out << "pixel (" << base % size_t(dest->pitch) / size_t(bpp) << ", " << base / size_t(dest->pitch) << ") got "
            << std::hex << got << " want " << want;
        return out.str();
    }
    return "none";
}

class TriangleFillDiffTest : public SoftRenderTest {
protected:
    std::mt19937 rng{20240917};
    int failures = 0;

    Image MakeTexture(const Case& c, int width, int height) {
        if (c.texture == NoTexture) return nullptr;
        const uint32_t keyMask = c.texture == PaletteTexture ? 0xFF : c.kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFFFF;
        Image texture = MakeImage(c.kind, width, height, c.texture == AlphaTexture, c.texture == PaletteTexture, 0,
                                  uint32_t(rng()) & keyMask);
        FillRandom(texture.get(), rng);
        return texture;
    }
    Image MakeBlend(int width, int height) {
        Image blend = MakeImage(MemImgFormat8, width, height);
        FillRandom(blend.get(), rng);
        return blend;
    }

    void Check(const Case& c, MEMIMG* dest, const MEMIMG* texture, const MEMIMG* blend, const TexTriVertex v[3]) {
        const uint32_t fill = uint32_t(rng()) & (c.kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFFFF);
        const std::vector<uint8_t> expected =
            ReferenceDrawTriangle(dest, texture, v, c.transparent, blend, fill, CurrentRefSettings());
        DrawTriangle2DOnMemImg(dest, texture, v, c.transparent, blend, fill);
        if (ImageBytes(dest) != expected) {
            ADD_FAILURE() << Describe(c, v) << ": " << FirstDifference(dest, expected);
            failures++;
        }
    }

    // The shapes: mid vertex left and right, flat top and bottom, texture coordinates
    // running past the texture on every side, a sliver, a clipped and mirrored one.
    void CheckShapes(const Case& c) {
        SetDrawSettings(c.mode, c.p, c.brightness, RECT{2, 1, 37, 22}, c.mmx);
        Image dest = MakeImage(c.kind, 40, 24);
        FillRandom(dest.get(), rng);
        Image texture = MakeTexture(c, 13, 9);
        Image blend = c.blend ? MakeBlend(14, 10) : nullptr;
        const TexTriVertex shapes[][3] = {
            {{5, 2, 0, 0}, {2, 14, 0, 9}, {30, 20, 13, 9}},     // mid on the left
            {{4, 3, 0, 0}, {35, 9, 13, 0}, {10, 21, 6, 9}},     // mid on the right
            {{1, 1, -3, -2}, {38, 1, 16, -2}, {20, 23, 6, 12}}, // flat top, past the texture
            {{20, 0, 6, 0}, {0, 20, 0, 9}, {39, 20, 13, 9}},    // flat bottom, clipped left and right
            {{3, 4, 12, 8}, {36, 5, 0, 8}, {8, 18, 12, 0}},     // mirrored texture
            {{6, 2, 0, 0}, {33, 19, 13, 9}, {7, 4, 0, 1}},      // sliver
        };
        for (const auto& shape : shapes) Check(c, dest.get(), texture.get(), blend.get(), shape);
    }
};

TEST_F(TriangleFillDiffTest, EveryVariantAgreesWithTheModel) {
    const int parameters[] = {0, 1, 128, 254, 255};
    const uint32_t brightnesses[] = {0xFFFFFF, 0xFFFFFE, 0x80C040};
    for (int kind : {MemImgFormat16, MemImgFormat32})
        for (TextureKind texture : {NoTexture, DirectTexture, AlphaTexture, PaletteTexture})
            for (int mode = 0; mode <= 5; mode++)
                for (int p : parameters)
                    for (uint32_t bright : brightnesses)
                        for (int flags = 0; flags < 4; flags++) {
                            const Case c{kind, texture, mode, p, bright, (flags & 1) != 0, (flags & 2) != 0,
                                         (p & 1) != 0};
                            CheckShapes(c);
                            ASSERT_LT(failures, 20) << "stopping after 20 mismatches";
                        }
}

TEST_F(TriangleFillDiffTest, RandomTrianglesTexturesAndClips) {
    for (int n = 0; n < 4000 && failures < 20; n++) {
        Case c{};
        c.kind = int(rng() % 2);
        c.texture = TextureKind(rng() % 4);
        c.mode = int(rng() % 6);
        static const int specials[] = {0, 1, 128, 255, 254};
        c.p = rng() % 3 == 0 ? specials[rng() % 5] : int(rng() % 256);
        c.brightness = rng() % 2 ? 0xFFFFFF : uint32_t(rng());
        c.blend = rng() % 3 == 0;
        c.transparent = rng() % 2;
        c.mmx = rng() % 2;
        const int dw = 1 + int(rng() % 48), dh = 1 + int(rng() % 30);
        const int cx1 = int(rng() % (dw + 4)) - 2, cx2 = int(rng() % (dw + 4)) - 2;
        const int cy1 = int(rng() % (dh + 4)) - 2, cy2 = int(rng() % (dh + 4)) - 2;
        SetDrawSettings(c.mode, c.p, c.brightness,
                        RECT{std::min(cx1, cx2), std::min(cy1, cy2), std::max(cx1, cx2) + 1, std::max(cy1, cy2) + 1},
                        c.mmx);
        Image dest = MakeImage(c.kind, dw, dh);
        FillRandom(dest.get(), rng);
        const int tw = 1 + int(rng() % 20), th = 1 + int(rng() % 20);
        Image texture = MakeTexture(c, tw, th);
        Image blend = c.blend ? MakeBlend(tw + int(rng() % 3), th + int(rng() % 2)) : nullptr;
        TexTriVertex v[3];
        for (auto& vertex : v) {
            // Now and then two vertices share a row or a column.
            vertex = {int(rng() % (dw + 20)) - 10, int(rng() % (dh + 20)) - 10, int(rng() % (tw + 10)) - 5,
                      int(rng() % (th + 10)) - 5};
        }
        if (rng() % 4 == 0) v[1].y = v[0].y;
        if (rng() % 4 == 0) v[2].x = v[1].x;
        Check(c, dest.get(), texture.get(), blend.get(), v);
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
