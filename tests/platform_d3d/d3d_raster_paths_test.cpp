// The rasteriser's fast paths against its general path: random triangles with random
// states, drawn once each way onto the same starting pixels and depths, must leave the
// same bytes. The scenes mix free triangles, quads of one colour and quads mapping one
// texel onto each pixel, so that every span kernel and rectangle path is reached (the
// layer counts the paths taken).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <random>
#include <sstream>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/d3d/d3d.h"
#include "platform/testing.h"
#include "platform_ddraw/ddraw_fixture.h"

namespace {

struct Vertex {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u, v;
};
constexpr DWORD kVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
constexpr int kSize = 32;

DDPIXELFORMAT Rgb(int bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = DWORD(bits);
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

class D3DRasterPathsTest : public DDrawTest {
protected:
    std::mt19937 random{20261210};
    IDirect3D7* d3d = nullptr;

    void SetUp() override {
        DDrawTest::SetUp();
        SetDirect3DProfile(DefaultDirect3DProfile());
        MakeObject();
        void* object = nullptr;
        ASSERT_EQ(DD_OK, IDirectDraw7_QueryInterface(dd, IID_IDirect3D7, &object));
        d3d = static_cast<IDirect3D7*>(object);
    }
    void TearDown() override {
        if (d3d) IDirect3D7_Release(d3d);
        SetDirect3DProfile(DefaultDirect3DProfile());
        DDrawTest::TearDown();
    }

    uint32_t Next(uint32_t n) { return uint32_t(random()) % n; }
    // A colour, half of the time one of a few, so that later scenes meet the colours of
    // earlier ones under other states (the stage tables are kept from draw to draw).
    uint32_t Colour() {
        static const uint32_t few[] = {0xFFFFFFFFu, 0x80FFFFFFu, 0xC0406080u};
        return Next(2) ? Pick(few) : uint32_t(random());
    }
    float Between(float lo, float hi) { return lo + (hi - lo) * float(random() % 4096) / 4096.0f; }
    template <typename T, size_t N>
    T Pick(const T (&options)[N]) { return options[Next(N)]; }

    std::vector<uint8_t> Bytes(IDirectDrawSurface7* s) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
        const size_t row = desc.dwWidth * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
        std::vector<uint8_t> out;
        for (DWORD y = 0; y < desc.dwHeight; y++) {
            const uint8_t* p = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            out.insert(out.end(), p, p + row);
        }
        IDirectDrawSurface7_Unlock(s, nullptr);
        return out;
    }
    void Put(IDirectDrawSurface7* s, const std::vector<uint8_t>& bytes) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
        const size_t row = desc.dwWidth * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < desc.dwHeight; y++)
            std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, &bytes[y * row], row);
        IDirectDrawSurface7_Unlock(s, nullptr);
    }
    std::vector<uint8_t> Noise(size_t n) {
        std::vector<uint8_t> out(n);
        for (uint8_t& b : out) b = uint8_t(random());
        // Runs of one value, so that colour keys and opaque texels turn up.
        for (size_t i = 0; i + 8 < n; i += 16) std::memset(&out[i], i % 32 ? 0x00 : 0xFF, 8);
        return out;
    }
    // A noise texture of the format whose colour key is one of its own texel values.
    IDirectDrawSurface7* Texture(const DDPIXELFORMAT& format, int w, int h) {
        IDirectDrawSurface7* t = Offscreen(w, h, DDSCAPS_TEXTURE, &format);
        Put(t, Noise(size_t(w * h) * (format.dwRGBBitCount / 8)));
        DDCOLORKEY key{0, 0};
        IDirectDrawSurface7_SetColorKey(t, DDCKEY_SRCBLT, &key);
        return t;
    }

    void RandomStates(IDirect3DDevice7* device, IDirectDrawSurface7* texture) {
        static const DWORD ops[] = {D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE, D3DTOP_MODULATE2X,
                                    D3DTOP_MODULATE4X, D3DTOP_ADD, D3DTOP_SUBTRACT};
        static const DWORD args[] = {D3DTA_TEXTURE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTA_CURRENT,
                                     D3DTA_SPECULAR};
        static const DWORD modifiers[] = {0, 0, 0, D3DTA_COMPLEMENT, D3DTA_ALPHAREPLICATE};
        auto arg = [&] { return Pick(args) | Pick(modifiers); };
        const int stages = Next(6) == 0 ? 2 : 1;
        for (int i = 0; i < 2; i++) {
            IDirect3DDevice7_SetTexture(device, DWORD(i), Next(6) == 0 ? nullptr : texture);
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_COLOROP, i < stages ? Pick(ops) : D3DTOP_DISABLE);
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_COLORARG1, arg());
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_COLORARG2, arg());
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_ALPHAOP, Next(5) ? Pick(ops) : D3DTOP_DISABLE);
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_ALPHAARG1, arg());
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_ALPHAARG2, arg());
            const DWORD filter = Next(2) ? D3DTFG_LINEAR : D3DTFG_POINT;
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_MAGFILTER, filter);
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_MINFILTER, filter);
            IDirect3DDevice7_SetTextureStageState(device, DWORD(i), D3DTSS_ADDRESS, 1 + Next(3));
        }
        auto state = [&](D3DRENDERSTATETYPE s, DWORD v) { IDirect3DDevice7_SetRenderState(device, s, v); };
        state(D3DRENDERSTATE_CULLMODE, 1 + Next(3));
        state(D3DRENDERSTATE_SHADEMODE, Next(2) ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
        state(D3DRENDERSTATE_TEXTUREPERSPECTIVE, Next(2));
        state(D3DRENDERSTATE_SPECULARENABLE, Next(3) == 0);
        state(D3DRENDERSTATE_COLORKEYENABLE, Next(2));
        state(D3DRENDERSTATE_TEXTUREFACTOR, Colour());
        state(D3DRENDERSTATE_ALPHATESTENABLE, Next(3) == 0);
        state(D3DRENDERSTATE_ALPHAFUNC, 1 + Next(8));
        state(D3DRENDERSTATE_ALPHAREF, Next(256));
        state(D3DRENDERSTATE_ALPHABLENDENABLE, Next(2));
        state(D3DRENDERSTATE_ZENABLE, Next(3) == 0);
        state(D3DRENDERSTATE_ZWRITEENABLE, Next(2));
        state(D3DRENDERSTATE_ZFUNC, 1 + Next(8));
        if (Next(3) == 0) {
            // A graph drawn as it stands, as the library draws most of them: alpha from
            // the texture or from the vertices, blended or not.
            IDirect3DDevice7_SetTexture(device, 0, texture);
            IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAOP, Next(2) ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2);
            IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
            IDirect3DDevice7_SetTextureStageState(device, 1, D3DTSS_COLOROP, D3DTOP_DISABLE);
            state(D3DRENDERSTATE_ALPHATESTENABLE, 0);
            state(D3DRENDERSTATE_ALPHABLENDENABLE, Next(2));
            state(D3DRENDERSTATE_ZENABLE, 0);
            state(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        }
        // Source alpha over the target, the library's usual blend, half of the time.
        const bool over = Next(2);
        state(D3DRENDERSTATE_SRCBLEND, over ? D3DBLEND_SRCALPHA : 1 + Next(10));
        state(D3DRENDERSTATE_DESTBLEND, over ? D3DBLEND_INVSRCALPHA : 1 + Next(10));
    }

    // A few quads and triangles in one draw: quads of one colour as the library sends
    // them (some mapping one texel of the 8 x 16 texture onto each pixel, at one depth),
    // triangles of one colour or of three.
    std::vector<Vertex> RandomTriangles() {
        std::vector<Vertex> out;
        const int count = 1 + int(Next(6));
        for (int n = 0; n < count; n++) {
            const uint32_t colours[2] = {Colour(), Next(3) ? 0u : Colour()};
            auto corner = [&](float x, float y, float u, float v, bool varied) {
                return Vertex{x, y, Between(0, 1), Between(0.25f, 2), varied ? uint32_t(random()) : colours[0],
                              varied ? uint32_t(random()) : colours[1], u, v};
            };
            if (Next(3) == 0) {
                // Corners on half pixels or whole ones; texel centres under pixel centres
                // most of the time, the texture's edge sometimes crossed.
                const float x1 = float(int(Next(36)) - 4) - 0.5f * float(Next(2)), y1 = float(int(Next(36)) - 4) - 0.5f;
                const float x2 = x1 + float(1 + Next(9)), y2 = y1 + float(1 + Next(17));
                // Texel coordinate minus pixel coordinate: half a texel off most of the time.
                const float ox = float(int(Next(4)) - 1) - std::floor(x1) + (Next(4) ? 0.5f : 0.25f);
                const float oy = float(int(Next(4)) - 1) - std::floor(y1) + 0.5f;
                const float z = Between(0, 1), rhw = Between(0.25f, 2);
                auto at = [&](float x, float y) {
                    return Vertex{x, y, z, rhw, colours[0], colours[1], (x + ox) / 8.0f, (y + oy) / 16.0f};
                };
                const Vertex q[4] = {at(x1, y1), at(x2, y1), at(x1, y2), at(x2, y2)};
                for (int i : {0, 1, 2, 3, 2, 1}) out.push_back(q[i]);
            } else if (Next(2)) {
                const float x1 = Between(-8, 30), y1 = Between(-8, 30), x2 = x1 + Between(1, 24), y2 = y1 + Between(1, 24);
                const float u1 = Between(-1.5f, 1), v1 = Between(-1.5f, 1), u2 = u1 + Between(-2, 2), v2 = v1 + Between(-2, 2);
                const Vertex q[4] = {corner(x1, y1, u1, v1, false), corner(x2, y1, u2, v1, false),
                                     corner(x1, y2, u1, v2, false), corner(x2, y2, u2, v2, false)};
                for (int i : {0, 1, 2, 3, 2, 1}) out.push_back(q[i]);
            } else {
                const bool varied = Next(2);
                for (int i = 0; i < 3; i++)
                    out.push_back(corner(Between(-8, 40), Between(-8, 40), Between(-1.5f, 2.5f), Between(-1.5f, 2.5f), varied));
            }
        }
        return out;
    }

    static int DifferingPixels(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got,
                               const DDPIXELFORMAT& format) {
        const size_t bytes = format.dwRGBBitCount / 8;
        int count = 0;
        for (size_t i = 0; i + bytes <= want.size(); i += bytes) count += std::memcmp(&want[i], &got[i], bytes) != 0;
        return count;
    }
    static int LargestDepthDifference(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got) {
        int largest = 0;
        for (size_t i = 0; i + 2 <= want.size(); i += 2) {
            const int w = want[i] | want[i + 1] << 8, g = got[i] | got[i + 1] << 8;
            largest = std::max(largest, std::abs(w - g));
        }
        return largest;
    }
    // The first pixel where two pictures differ and both values.
    static std::string Difference(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got,
                                  const DDPIXELFORMAT& format) {
        const size_t bytes = format.dwRGBBitCount / 8;
        for (size_t i = 0; i + bytes <= want.size(); i += bytes) {
            if (std::memcmp(&want[i], &got[i], bytes) == 0) continue;
            uint32_t w = 0, g = 0;
            std::memcpy(&w, &want[i], bytes);
            std::memcpy(&g, &got[i], bytes);
            char text[96];
            std::snprintf(text, sizeof text, ": pixel (%zu, %zu) general %08X fast %08X", i / bytes % kSize,
                          i / bytes / kSize, w, g);
            return text;
        }
        return "";
    }
    // The fast paths a scene took.
    static std::string Taken(const std::vector<int64_t>& before, const int64_t* paths) {
        std::ostringstream out;
        for (int path = 0; path < D3DRasterPathCount; path++)
            if (paths[path] != before[size_t(path)]) out << path << ' ';
        return out.str();
    }

    // Draws random scenes onto a target of the format, each through both paths.
    void CompareOn(const DDPIXELFORMAT& targetFormat, const DDPIXELFORMAT& textureFormat, int scenes) {
        IDirectDrawSurface7* target = Offscreen(kSize, kSize, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, &targetFormat);
        IDirectDrawSurface7* texture = Texture(textureFormat, 8, 16);
        IDirectDrawSurface7* depth = ZBuffer(kSize, kSize);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_AddAttachedSurface(target, depth));
        IDirect3DDevice7* device = nullptr;
        ASSERT_EQ(D3D_OK, IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, target, &device));
        const int64_t* paths = CurrentDirect3DProfile().rasterPaths;
        for (int scene = 0; scene < scenes; scene++) {
            RandomStates(device, texture);
            const std::vector<Vertex> vertices = RandomTriangles();
            // Lists mostly; strips and fans take their flat colour from other corners.
            static const D3DPRIMITIVETYPE types[] = {D3DPT_TRIANGLELIST, D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP,
                                                     D3DPT_TRIANGLEFAN};
            const D3DPRIMITIVETYPE type = Pick(types);
            const std::vector<uint8_t> start = Noise(size_t(kSize * kSize) * (targetFormat.dwRGBBitCount / 8));
            const std::vector<uint8_t> startDepth = Noise(size_t(kSize * kSize) * 2);
            std::vector<uint8_t> drawn[2], depths[2];
            const std::vector<int64_t> before(paths, paths + D3DRasterPathCount);
            for (int general = 0; general < 2; general++) {
                UseGeneralRasterPathOnly(general == 1);
                Put(target, start);
                Put(depth, startDepth);
                ASSERT_EQ(D3D_OK, IDirect3DDevice7_BeginScene(device));
                EXPECT_EQ(D3D_OK, IDirect3DDevice7_DrawPrimitive(device, type, kVertexFormat,
                                                                 const_cast<Vertex*>(vertices.data()),
                                                                 DWORD(vertices.size()), 0));
                ASSERT_EQ(D3D_OK, IDirect3DDevice7_EndScene(device));
                drawn[general] = Bytes(target);
                depths[general] = Bytes(depth);
            }
            UseGeneralRasterPathOnly(false);
            // Texture coordinates and depths stepped in fixed point (the span kernels of
            // free triangles) may take the neighbouring texel where a pixel centre lies on
            // a texel boundary, or the neighbouring depth value where the exact depth is
            // half-way (up to rounding), and a depth test may then go the other way;
            // everything else is exact.
            const bool stepped = paths[D3DPathTexturedSpans] != before[D3DPathTexturedSpans] ||
                                 paths[D3DPathFlatSpans] != before[D3DPathFlatSpans];
            const int differ = DifferingPixels(drawn[1], drawn[0], targetFormat);
            if (stepped) {
                EXPECT_LE(differ, kSize * kSize / 100) << "scene " << scene << Difference(drawn[1], drawn[0], targetFormat);
                EXPECT_LE(LargestDepthDifference(depths[1], depths[0]), 1) << "scene " << scene;
                continue;
            }
            ASSERT_EQ(0, differ) << "scene " << scene << Difference(drawn[1], drawn[0], targetFormat) << " paths "
                                 << Taken(before, paths);
            ASSERT_TRUE(depths[1] == depths[0]) << "scene " << scene << " (depth)";
        }
        IDirect3DDevice7_Release(device);
        IDirectDrawSurface7_DeleteAttachedSurface(target, 0, depth);
    }
};

}  // namespace

TEST_F(D3DRasterPathsTest, FastPathsDrawTheGeneralPathsBytesOnEveryTargetAndTextureFormat) {
    const DDPIXELFORMAT xrgb = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0), argb = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    const DDPIXELFORMAT rgb565 = Rgb(16, 0xF800, 0x07E0, 0x001F, 0), argb4444 = Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    // The row blends run at both vector widths.
    for (const SimdWidth level : {SimdSse2, SimdAvx2}) {
        SCOPED_TRACE(level == SimdSse2 ? "SSE2" : "widest");
        const SimdWidth before = LimitCpuSimdLevel(level);
        CompareOn(xrgb, argb, 400);
        CompareOn(rgb565, rgb565, 400);
        CompareOn(argb, argb4444, 400);
        CompareOn(rgb565, argb, 400);
        CompareOn(xrgb, xrgb, 400);
        LimitCpuSimdLevel(before);
    }
    const int64_t* paths = CurrentDirect3DProfile().rasterPaths;
    for (int path = 0; path < D3DRasterPathCount; path++) EXPECT_GT(paths[path], 0) << "path " << path;
}

// Stage tables are kept from draw to draw by the states and colours they were built
// from: a quad drawn after another of the same colours under a state that differs in
// one thing only must not take the first one's tables.
TEST_F(D3DRasterPathsTest, KeptStageTablesServeOnlyTheStatesTheyWereBuiltFor) {
    // A target that keeps alpha, so the alpha operation's result shows.
    const DDPIXELFORMAT argb = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
    IDirectDrawSurface7* target = Offscreen(kSize, kSize, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, &argb);
    IDirectDrawSurface7* texture = Texture(argb, 8, 16);
    IDirect3DDevice7* device = nullptr;
    ASSERT_EQ(D3D_OK, IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, target, &device));
    IDirect3DDevice7_SetTexture(device, 0, texture);
    auto stage = [&](D3DTEXTURESTAGESTATETYPE type, DWORD value) {
        IDirect3DDevice7_SetTextureStageState(device, 0, type, value);
    };
    auto state = [&](D3DRENDERSTATETYPE type, DWORD value) { IDirect3DDevice7_SetRenderState(device, type, value); };
    auto base = [&] {
        stage(D3DTSS_COLOROP, D3DTOP_MODULATE);
        stage(D3DTSS_COLORARG1, D3DTA_TEXTURE);
        stage(D3DTSS_COLORARG2, D3DTA_TFACTOR);
        stage(D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        stage(D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        stage(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        state(D3DRENDERSTATE_TEXTUREFACTOR, 0x80C08040u);
        state(D3DRENDERSTATE_SPECULARENABLE, 0);
        state(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    };
    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"texture factor", [&] { state(D3DRENDERSTATE_TEXTUREFACTOR, 0x40206080u); }},
        {"specular added", [&] { state(D3DRENDERSTATE_SPECULARENABLE, 1); }},
        {"colour operation", [&] { stage(D3DTSS_COLOROP, D3DTOP_ADD); }},
        {"colour argument 1", [&] { stage(D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT); }},
        {"colour argument 2", [&] { stage(D3DTSS_COLORARG2, D3DTA_DIFFUSE); }},
        {"alpha operation", [&] { stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1); }},
        {"alpha argument 1", [&] { stage(D3DTSS_ALPHAARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT); }},
        {"alpha argument 2", [&] { stage(D3DTSS_ALPHAARG2, D3DTA_TFACTOR); }},
    };
    // An 8 x 16 quad mapping one texel onto each pixel, of one diffuse and specular colour.
    std::vector<Vertex> quad;
    auto at = [](float x, float y) { return Vertex{x, y, 0.5f, 1, 0x90A07050u, 0x00304050u, (x + 0.5f) / 8, (y + 0.5f) / 16}; };
    const Vertex corners[4] = {at(0, 0), at(8, 0), at(0, 16), at(8, 16)};
    for (int i : {0, 1, 2, 3, 2, 1}) quad.push_back(corners[i]);
    auto draw = [&](bool general) {
        UseGeneralRasterPathOnly(general);
        IDirect3DDevice7_BeginScene(device);
        EXPECT_EQ(D3D_OK, IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLELIST, kVertexFormat, quad.data(),
                                                         DWORD(quad.size()), 0));
        IDirect3DDevice7_EndScene(device);
        UseGeneralRasterPathOnly(false);
        return Bytes(target);
    };
    const std::vector<uint8_t> start = Noise(size_t(kSize * kSize) * 4);
    const int64_t* paths = CurrentDirect3DProfile().rasterPaths;
    for (const Change& change : changes) {
        base();
        Put(target, start);
        draw(false);  // keeps the tables of the base state
        change.apply();
        Put(target, start);
        const std::vector<uint8_t> general = draw(true);
        Put(target, start);
        const int64_t tableRectangles = paths[D3DPathTableRectangle];
        const std::vector<uint8_t> fast = draw(false);
        EXPECT_EQ(tableRectangles + 1, paths[D3DPathTableRectangle]) << change.what;
        EXPECT_EQ(0, DifferingPixels(general, fast, argb)) << change.what << Difference(general, fast, argb);
    }
    IDirect3DDevice7_Release(device);
}
