// The colour kernels of the 3D rasteriser on known values: one texel stretched over an
// 8 x 8 destination by two triangles with one vertex colour, the result read in the
// middle. The values are worked out by hand from the blend rules, so they also catch
// a misreading shared by the library and the reference model.
#include <gtest/gtest.h>

#include "library/d3d/d3d.h"
#include "library/softrender/triangle.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

enum TextureKind { NoTexture, Direct, WithAlpha, Palette };
constexpr int kNoBlend = -1;

struct KernelCase {
    const char* what;
    int kind;
    bool gouraud;
    int mode, p;
    uint32_t brightness;
    TextureKind texture;
    uint32_t texel;  // a palette entry for Palette; with alpha: 16-bit colour | alpha << 16, or 0xAARRGGBB
    bool transparent;
    int weight;  // blend-image weight, or kNoBlend
    uint32_t vertexColour;
    uint32_t dest;
    uint32_t expected;
};

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kGrey = 0x808080;

const KernelCase kCases[] = {
    // Uniform shading, 16-bit.
    {"none, brightness 0x808080", 0, false, BlendNone, 0, kGrey, Direct, 0xFFFF, false, kNoBlend, kWhite, 0, 0x7BEF},
    {"palette none copies the entry", 0, false, BlendNone, 0, 0xFFFFFF, Palette, 0x1234, false, kNoBlend, kWhite, 0xFFFF, 0x1234},
    {"multiply, p 0", 0, false, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0xFFFF, 0xF7DE},
    {"multiply, p 200", 0, false, BlendMultiply, 200, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0xFFFF, 0xF7DE},
    {"alpha 128 red onto black", 0, false, BlendAlpha, 128, 0xFFFFFF, Direct, 0xF800, false, kNoBlend, kWhite, 0, 0x7800},
    {"alpha 128 black onto red truncates toward zero", 0, false, BlendAlpha, 128, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0xF800, 0x8000},
    {"alpha 255 is none", 0, false, BlendAlpha, 255, 0xFFFFFF, Direct, 0x1234, false, kNoBlend, kWhite, 0xFFFF, 0x1234},
    {"alpha 0 draws nothing", 0, false, BlendAlpha, 0, 0xFFFFFF, Direct, 0x1234, false, kNoBlend, kWhite, 0xFFFF, 0xFFFF},
    {"add carries blue into green", 0, false, BlendAdd, 255, 0xFFFFFF, Direct, 0x0001, false, kNoBlend, kWhite, 0x001F, 0x003F},
    {"add of black keeps the pixel", 0, false, BlendAdd, 255, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0x1234, 0x1234},
    {"add p 0 draws nothing", 0, false, BlendAdd, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0x1234, 0x1234},
    {"subtract of black from white", 0, false, BlendSubtract, 255, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0xFFFF, 0xFFDF},
    {"subtract of black from 0x1234", 0, false, BlendSubtract, 255, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0x1234, 0x1A14},
    {"palette subtract p 0 runs", 0, false, BlendSubtract, 0, 0xFFFFFF, Palette, 0xFFFF, false, kNoBlend, kWhite, 0xFFFF, 0xFFDF},
    {"direct subtract p 0 draws nothing", 0, false, BlendSubtract, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0xFFFF, 0xFFFF},
    {"alpha texel 255 keyed copies", 0, false, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFF800, true, kNoBlend, kWhite, 0, 0xF800},
    {"alpha texel 255 unkeyed blends", 0, false, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFF800, false, kNoBlend, kWhite, 0, 0xF000},
    {"alpha texel 0 keyed, none", 0, false, BlendNone, 0, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0x1234},
    {"alpha texel 0 keyed, alpha", 0, false, BlendAlpha, 100, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0x1234},
    {"alpha texel 0 keyed, add", 0, false, BlendAdd, 255, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0x1234},
    {"alpha texel 0 keyed, subtract", 0, false, BlendSubtract, 255, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0x1234},
    {"alpha texel 0 keyed, multiply", 0, false, BlendMultiply, 0, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0},
    {"weight 0, none", 0, false, BlendNone, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0x1234, 0x1234},
    {"weight 0, alpha", 0, false, BlendAlpha, 100, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0x1234, 0x1234},
    {"weight 0, add", 0, false, BlendAdd, 255, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0x1234, 0x1234},
    {"weight 0, subtract", 0, false, BlendSubtract, 255, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0xFFFF, 0xFFDF},
    {"weight 0, multiply", 0, false, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0xFFFF, 0},
    {"add, alpha scaled before brightness", 0, false, BlendAdd, 255, kGrey, WithAlpha, 0x64001F, false, kNoBlend, kWhite, 0, 0x0006},
    {"add, brightness before weight and alpha", 0, false, BlendAdd, 255, kGrey, WithAlpha, 0x64001F, false, 255, kWhite, 0, 0x0005},
    {"untextured none is white", 0, false, BlendNone, 0, 0xFFFFFF, NoTexture, 0, false, kNoBlend, 0x123456, 0, 0xFFFF},
    {"blend mode 5 draws nothing", 0, false, BlendHardwareAdd, 128, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0x1234, 0x1234},

    // Uniform shading, 32-bit.
    {"palette none copies all four bytes", 1, false, BlendNone, 0, 0xFFFFFF, Palette, 0xA1B2C3, false, kNoBlend, kWhite, 0xFF000000, 0x00A1B2C3},
    {"alpha 128, 255 onto 0", 1, false, BlendAlpha, 128, 0xFFFFFF, Direct, 0x0000FF, false, kNoBlend, kWhite, 0, 0x7F},
    {"brightness keeps byte 3", 1, false, BlendNone, 0, kGrey, Direct, 0xFFFFFFFF, false, kNoBlend, kWhite, 0xAA000000, 0xAA808080},
    {"weight 255 divides by 256", 1, false, BlendNone, 0, 0xFFFFFF, Direct, 0xFF, false, 255, kWhite, 0, 0xFE},
    {"alpha texel 255 keyed copies the texel", 1, false, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFFF0000, true, kNoBlend, kWhite, 0x11000000, 0xFFFF0000},
    {"alpha texel 255 unkeyed blends", 1, false, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFFF0000, false, kNoBlend, kWhite, 0x11000000, 0x11FE0000},
    {"alpha texel 0 keyed, multiply", 1, false, BlendMultiply, 0, 0xFFFFFF, WithAlpha, 0x00FFFFFF, true, kNoBlend, kWhite, 0x55FFFFFF, 0x55000000},
    {"alpha 254, weight 255, texel alpha 255", 1, false, BlendAlpha, 254, 0xFFFFFF, WithAlpha, 0xFF0000FF, false, 255, kWhite, 0, 0xFB},
    {"add carries blue into green", 1, false, BlendAdd, 255, 0xFFFFFF, Direct, 0x20, false, kNoBlend, kWhite, 0xF0, 0x1FF},
    {"add ORs the low bits", 1, false, BlendAdd, 255, 0xFFFFFF, Direct, 0x010101, false, kNoBlend, kWhite, 0x010101, 0x010102},
    {"add saturates and sets byte 3", 1, false, BlendAdd, 255, 0xFFFFFF, Direct, 0xFEFEFE, false, kNoBlend, kWhite, 0xFEFEFE, 0x01FFFFFF},
    {"subtract floors at 0", 1, false, BlendSubtract, 255, 0xFFFFFF, Direct, 0xFFFFFF, false, kNoBlend, kWhite, 0x808080, 0},
    {"palette subtract p 0", 1, false, BlendSubtract, 0, 0xFFFFFF, Palette, 0xFFFFFF, false, kNoBlend, kWhite, 0xFF808080, 0x00818180},
    {"direct subtract p 0 draws nothing", 1, false, BlendSubtract, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, kNoBlend, kWhite, 0xFF808080, 0xFF808080},
    {"multiply weight 0", 1, false, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0x33FFFFFF, 0x33000000},
    {"add, weight, p and alpha", 1, false, BlendAdd, 128, 0xFFFFFF, WithAlpha, 0x80C8C8C8, false, 200, kWhite, 0, 0x272727},

    // Gouraud shading, 16-bit.
    {"white vertices darken by 1/256", 0, true, BlendNone, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0, 0xF7DE},
    {"untextured white vertices", 0, true, BlendNone, 0, 0xFFFFFF, NoTexture, 0, false, kNoBlend, kWhite, 0, 0xF7DE},
    {"vertex alpha 0 keeps the pixel", 0, true, BlendAlpha, 255, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, 0x00FFFFFF, 0x1234, 0x1234},
    {"vertex alpha 255", 0, true, BlendAlpha, 0, 0xFFFFFF, Direct, 0xF800, false, kNoBlend, kWhite, 0, 0xE800},
    {"weight 0, alpha", 0, true, BlendAlpha, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0x1234, 0x1234},
    {"alpha texel 255 keyed is m", 0, true, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFF800, true, kNoBlend, kWhite, 0, 0xF000},
    {"alpha texel 255 unkeyed blends m", 0, true, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFFF800, false, kNoBlend, kWhite, 0, 0xE800},
    {"alpha texel 0 keyed, add", 0, true, BlendAdd, 0, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0x1234},
    {"alpha texel 0 keyed, multiply", 0, true, BlendMultiply, 0, 0xFFFFFF, WithAlpha, 0x00FFFF, true, kNoBlend, kWhite, 0x1234, 0},
    {"add of zero keeps the pixel", 0, true, BlendAdd, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, 0x00FFFFFF, 0x1234, 0x1234},
    {"add carries blue into green", 0, true, BlendAdd, 0, 0xFFFFFF, Direct, 0x0002, false, kNoBlend, kWhite, 0x001F, 0x003F},
    {"add saturates green and sets red's low bit", 0, true, BlendAdd, 0, 0xFFFFFF, Direct, 0x0420, false, kNoBlend, kWhite, 0x0400, 0x0FC0},
    {"add saturates red", 0, true, BlendAdd, 0, 0xFFFFFF, Direct, 0x8800, false, kNoBlend, kWhite, 0x8000, 0xF800},
    {"subtract of zero from black", 0, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0, 0x0800},
    {"subtract of zero from white", 0, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0xFFFF, 0xFFDF},
    {"multiply", 0, true, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0xFFFF, 0xEFBD},
    {"weight 0, add", 0, true, BlendAdd, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0x1234, 0x1234},
    {"weight 0, subtract", 0, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0xFFFF, 0xFFDF},
    {"weight 0, multiply", 0, true, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFF, false, 0, kWhite, 0xFFFF, 0},
    {"brightness is not read", 0, true, BlendNone, 0, 0, Direct, 0xFFFF, false, kNoBlend, kWhite, 0, 0xF7DE},
    {"blend mode 5 draws nothing", 0, true, BlendHardwareAdd, 0, 0xFFFFFF, Direct, 0xFFFF, false, kNoBlend, kWhite, 0x1234, 0x1234},

    // Gouraud shading, 32-bit.
    {"255 under 255 gives 254", 1, true, BlendNone, 0, 0xFFFFFF, Direct, 0xFF, false, kNoBlend, kWhite, 0xAA000000, 0xAA0000FE},
    {"vertex alpha 255 onto 0", 1, true, BlendAlpha, 0, 0xFFFFFF, Direct, 0xFF, false, kNoBlend, kWhite, 0, 0xFD},
    {"untextured, vertex 128", 1, true, BlendNone, 0, 0xFFFFFF, NoTexture, 0, false, kNoBlend, 0xFF808080, 0, 0x7F7F7F},
    {"alpha texel 255 keyed is m", 1, true, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFF0000FF, true, kNoBlend, kWhite, 0, 0xFE},
    {"alpha texel 255 unkeyed", 1, true, BlendNone, 0, 0xFFFFFF, WithAlpha, 0xFF0000FF, false, kNoBlend, kWhite, 0, 0xFD},
    {"alpha texel 0 keyed, multiply", 1, true, BlendMultiply, 0, 0xFFFFFF, WithAlpha, 0x00FFFFFF, true, kNoBlend, kWhite, 0x77FFFFFF, 0x77000000},
    {"add of zero clears byte 3", 1, true, BlendAdd, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, kNoBlend, 0x00FFFFFF, 0xFF123456, 0x00123456},
    {"add carries blue into green", 1, true, BlendAdd, 0, 0xFFFFFF, Direct, 0x21, false, kNoBlend, kWhite, 0xF0, 0x1FF},
    {"subtract of zero sets low bits", 1, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0, false, kNoBlend, kWhite, 0x808080, 0x818180},
    {"subtract of 252s", 1, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 255, kWhite, 0x808080, 0},
    {"weight 0, none", 1, true, BlendNone, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0xAA123456, 0xAA123456},
    {"weight 0, alpha", 1, true, BlendAlpha, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0xAA123456, 0xAA123456},
    {"weight 0, add", 1, true, BlendAdd, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0xAA123456, 0x00123456},
    {"weight 0, subtract", 1, true, BlendSubtract, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0xAA123456, 0x00133556},
    {"weight 0, multiply", 1, true, BlendMultiply, 0, 0xFFFFFF, Direct, 0xFFFFFF, false, 0, kWhite, 0xAA123456, 0xAA000000},
};

class Raster3DKernelTest : public SoftRenderTest, public testing::WithParamInterface<KernelCase> {};

// The whole 8 x 8 destination, every pixel mapped to texel (0, 0).
void DrawCovering(MEMIMG* dest, const MEMIMG* texture, const MEMIMG* blend, const KernelCase& c) {
    auto at = [&](float x, float y) { return ScreenVertex{x, y, 0.5f, 1.0f, c.vertexColour, 0.25f, 0.25f}; };
    const ScreenVertex a[3] = {at(0, 0), at(8, 0), at(0, 8)};
    const ScreenVertex b[3] = {at(8, 0), at(8, 8), at(0, 8)};
    for (const ScreenVertex* tri : {a, b})
        DrawTriangle3DOnMemImg(dest, nullptr, texture, tri, c.transparent, blend, 0, 0, c.gouraud, 0);
}

TEST_P(Raster3DKernelTest, PixelValue) {
    const KernelCase& c = GetParam();
    SetDrawSettings(c.mode, c.p, c.brightness, RECT{0, 0, 8, 8}, 0);
    Image dest = MakeImage(c.kind, 8, 8);
    FillMemImgRectRaw(dest.get(), nullptr, c.dest);
    Image texture = MakeImage(c.kind, 1, 1, c.texture == WithAlpha, c.texture == Palette, 0, 0x0BADF00D);
    if (c.texture == Palette) {
        WritePixel(texture.get(), 0, 0, 7);
        if (c.kind == MemImgFormat16) static_cast<uint16_t*>(texture->paletteA)[7] = uint16_t(c.texel);
        else static_cast<uint32_t*>(texture->paletteA)[7] = c.texel;
    } else {
        WritePixel(texture.get(), 0, 0, c.texel);
    }
    Image blend = MakeImage(MemImgFormat8, 1, 1);
    WritePixel(blend.get(), 0, 0, uint32_t(c.weight));
    DrawCovering(dest.get(), c.texture == NoTexture ? nullptr : texture.get(), c.weight == kNoBlend ? nullptr : blend.get(), c);
    EXPECT_EQ(ReadPixel(dest.get(), 4, 4), c.expected) << std::hex << c.what;
    // Two triangles cover every pixel exactly once.
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) ASSERT_EQ(ReadPixel(dest.get(), x, y), c.expected) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Cases, Raster3DKernelTest, testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.what;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

}  // namespace
