// The layer's Direct3D device: the object and its enumerations, the call contracts the
// library relies on, and the rasteriser's pixels (fill rule, sampling, colour key, alpha
// test, blending, depth, lines, clipping).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d3d/d3d.h"
#include "platform/testing.h"
#include "platform_ddraw/ddraw_fixture.h"

namespace {

struct TexVertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
struct ColourVertex {
    float x, y, z, rhw;
    uint32_t colour;
};

DDPIXELFORMAT Argb8888() {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    f.dwRGBBitCount = 32;
    f.dwRBitMask = 0xFF0000;
    f.dwGBitMask = 0xFF00;
    f.dwBBitMask = 0xFF;
    f.dwRGBAlphaBitMask = 0xFF000000u;
    return f;
}

class D3DDeviceTest : public DDrawTest {
protected:
    IDirect3D7* d3d = nullptr;
    IDirect3DDevice7* device = nullptr;
    IDirectDrawSurface7* target = nullptr;

    void SetUp() override {
        DDrawTest::SetUp();
        SetDirect3DProfile(DefaultDirect3DProfile());
        MakeObject();
        void* object = nullptr;
        ASSERT_EQ(DD_OK, IDirectDraw7_QueryInterface(dd, IID_IDirect3D7, &object));
        d3d = static_cast<IDirect3D7*>(object);
        const DDPIXELFORMAT xrgb = XrgbFormat();
        target = Offscreen(32, 32, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, &xrgb);
        ASSERT_EQ(D3D_OK, IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, target, &device));
        // A plain 2D set-up: no culling, lighting or depth, flat colours.
        IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ZENABLE, 0);
        IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        Fill(target, 0);
    }
    void TearDown() override {
        if (device) IDirect3DDevice7_Release(device);
        if (d3d) IDirect3D7_Release(d3d);
        SetDirect3DProfile(DefaultDirect3DProfile());
        DDrawTest::TearDown();
    }

    static DDPIXELFORMAT XrgbFormat() {
        DDPIXELFORMAT f = Argb8888();
        f.dwFlags = DDPF_RGB;
        f.dwRGBAlphaBitMask = 0;
        return f;
    }

    void Fill(IDirectDrawSurface7* s, uint32_t value) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        IDirectDrawSurface7_Blt(s, nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    }
    uint32_t Pixel(IDirectDrawSurface7* s, int x, int y) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
        uint32_t value;
        std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * 4, 4);
        IDirectDrawSurface7_Unlock(s, nullptr);
        return value & 0xFFFFFF;
    }
    // An ARGB texture with the given texels, row by row.
    IDirectDrawSurface7* Texture(int w, int h, const std::vector<uint32_t>& texels) {
        const DDPIXELFORMAT f = Argb8888();
        IDirectDrawSurface7* t = Offscreen(w, h, DDSCAPS_TEXTURE, &f);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        IDirectDrawSurface7_Lock(t, nullptr, &desc, DDLOCK_WAIT, nullptr);
        for (int y = 0; y < h; y++) std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, &texels[y * w], w * 4);
        IDirectDrawSurface7_Unlock(t, nullptr);
        return t;
    }
    void UseTexture(IDirectDrawSurface7* t) {
        IDirect3DDevice7_SetTexture(device, 0, t);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    }
    // A rectangle of two triangles, in the library's vertex order.
    void Quad(float x1, float y1, float x2, float y2, uint32_t colour, float u1 = 0, float v1 = 0, float u2 = 1,
              float v2 = 1, float z = 0) {
        const TexVertex q[6] = {{x1, y1, z, 1, colour, u1, v1}, {x2, y1, z, 1, colour, u2, v1},
                                {x1, y2, z, 1, colour, u1, v2}, {x2, y2, z, 1, colour, u2, v2},
                                {x1, y2, z, 1, colour, u1, v2}, {x2, y1, z, 1, colour, u2, v1}};
        Draw(D3DPT_TRIANGLELIST, 0x144, q, 6);
    }
    void Draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* v, DWORD n) {
        ASSERT_EQ(D3D_OK, IDirect3DDevice7_BeginScene(device));
        EXPECT_EQ(D3D_OK, IDirect3DDevice7_DrawPrimitive(device, type, fvf, v, n, 0));
        ASSERT_EQ(D3D_OK, IDirect3DDevice7_EndScene(device));
    }
    // The rows of the target that hold a non-zero pixel, as "x0-x1" spans.
    std::vector<std::string> Coverage() {
        std::vector<std::string> rows;
        for (int y = 0; y < 32; y++) {
            int first = -1, last = -1;
            for (int x = 0; x < 32; x++)
                if (Pixel(target, x, y)) (first < 0 ? first : last) = x, last = x;
            if (first >= 0) rows.push_back(std::to_string(y) + ":" + std::to_string(first) + "-" + std::to_string(last));
        }
        return rows;
    }
};

}  // namespace

TEST_F(D3DDeviceTest, TheObjectListsOneHardwareDeviceItsDepthFormatAndSixTextureFormats) {
    struct Found {
        int devices = 0;
        GUID guid{};
        DWORD depths = 0;
    } found;
    ASSERT_EQ(D3D_OK, IDirect3D7_EnumDevices(d3d, [](char*, char*, D3DDEVICEDESC7* desc, void* context) -> HRESULT {
        auto* f = static_cast<Found*>(context);
        f->devices++;
        f->guid = desc->deviceGUID;
        f->depths = desc->dwDeviceRenderBitDepth;
        return D3DENUMRET_OK;
    }, &found));
    EXPECT_EQ(1, found.devices);
    EXPECT_TRUE(IsEqualGUID(IID_IDirect3DHALDevice, found.guid));
    EXPECT_EQ(DDBD_16 | DDBD_32, found.depths);
    std::vector<DDPIXELFORMAT> formats;
    auto collect = [](DDPIXELFORMAT* f, void* context) -> HRESULT {
        static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*f);
        return D3DENUMRET_OK;
    };
    ASSERT_EQ(D3D_OK, IDirect3D7_EnumZBufferFormats(d3d, IID_IDirect3DHALDevice, collect, &formats));
    ASSERT_EQ(1u, formats.size());
    EXPECT_EQ(DDPF_ZBUFFER, formats[0].dwFlags);
    EXPECT_EQ(16u, formats[0].dwZBufferBitDepth);
    formats.clear();
    ASSERT_EQ(D3D_OK, IDirect3DDevice7_EnumTextureFormats(device, collect, &formats));
    ASSERT_EQ(6u, formats.size());
    EXPECT_EQ(0xF000u, formats[3].dwRGBAlphaBitMask);  // A4R4G4B4
}

TEST_F(D3DDeviceTest, ObjectAndDeviceCreationFailAsAskedAndOnlyOnSurfacesForDrawing) {
    IDirect3DDevice7* other = nullptr;
    IDirectDrawSurface7* plain = Offscreen(8, 8);
    EXPECT_EQ(DDERR_INVALIDCAPS, IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, plain, &other));
    EXPECT_EQ(D3DERR_INVALID_DEVICE, IDirect3D7_CreateDevice(d3d, IID_IDirect3DRGBDevice, target, &other));
    FailDirect3DDeviceCreations(1);
    EXPECT_EQ(D3DERR_INITFAILED, IDirect3D7_CreateDevice(d3d, IID_IDirect3DHALDevice, target, &other));
    EXPECT_EQ(nullptr, other);
    NoDirect3DForTest();
    void* object = nullptr;
    EXPECT_EQ(E_NOINTERFACE, IDirectDraw7_QueryInterface(dd, IID_IDirect3D7, &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(D3DDeviceTest, DrawsNeedASceneAndATargetThatIsNotLocked) {
    const ColourVertex tri[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {8, 0, 0, 1, 0xFFFFFFFF}, {0, 8, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(D3DERR_SCENE_NOT_IN_SCENE, IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLELIST, 0x44, tri, 3, 0));
    ASSERT_EQ(D3D_OK, IDirect3DDevice7_BeginScene(device));
    EXPECT_EQ(D3DERR_SCENE_IN_SCENE, IDirect3DDevice7_BeginScene(device));
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(target, nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLELIST, 0x44, tri, 3, 0));
    IDirectDrawSurface7_Unlock(target, nullptr);
    EXPECT_EQ(D3DERR_INVALIDVERTEXFORMAT, IDirect3DDevice7_DrawPrimitive(device, D3DPT_TRIANGLELIST, 0x42, tri, 3, 0));
    EXPECT_EQ(D3D_OK, IDirect3DDevice7_EndScene(device));
    // The viewport must lie inside the render target.
    D3DVIEWPORT7 outside{16, 16, 17, 8, 0, 1};
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirect3DDevice7_SetViewport(device, &outside));
}

// Pixel centres lie on whole coordinates and edges follow the top-left rule: a quad
// shifted by half a pixel covers exactly its pixels, and two triangles sharing an edge
// draw every pixel of it once (added twice, a pixel would read 0x202020).
TEST_F(D3DDeviceTest, QuadsCoverTheirPixelsOnceByTheTopLeftRule) {
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    Quad(9.5f, 9.5f, 14.5f, 12.5f, 0xFF101010);
    EXPECT_EQ((std::vector<std::string>{"10:10-14", "11:10-14", "12:10-14"}), Coverage());
    for (int y = 10; y <= 12; y++)
        for (int x = 10; x <= 14; x++) ASSERT_EQ(0x101010u, Pixel(target, x, y)) << x << "," << y;
    // Whole coordinates: the left and top edges take the centres they pass through.
    Fill(target, 0);
    Quad(2, 2, 4, 3, 0xFF101010);
    EXPECT_EQ((std::vector<std::string>{"2:2-3"}), Coverage());
}

TEST_F(D3DDeviceTest, PointSamplingGivesOneTexelPerPixelAndBilinearMixesNeighbours) {
    UseTexture(Texture(4, 1, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(0xFF0000u, Pixel(target, 0, 0));
    EXPECT_EQ(0x00FF00u, Pixel(target, 1, 0));
    EXPECT_EQ(0x0000FFu, Pixel(target, 2, 0));
    EXPECT_EQ(0xFFFFFFu, Pixel(target, 3, 0));
    // Linear filter, the quad shifted by half a texel: each pixel is half of two texels.
    IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    IDirect3DDevice7_SetTextureStageState(device, 0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    Quad(-0.5f, 1.5f, 3.5f, 2.5f, 0xFFFFFFFF, 0.125f, 0, 1.125f, 1);
    EXPECT_EQ(0x808000u, Pixel(target, 0, 2));
    EXPECT_EQ(0x008080u, Pixel(target, 1, 2));
    EXPECT_EQ(0x8080FFu, Pixel(target, 2, 2));
    EXPECT_EQ(0xFFFFFFu, Pixel(target, 3, 2));  // clamped at the edge
}

TEST_F(D3DDeviceTest, ColourKeyAndAlphaTestDropTexelsAndBlendFactorsMixWithTheTarget) {
    IDirectDrawSurface7* texture = Texture(2, 1, {0xFF00FF00, 0x40FF0000});
    DDCOLORKEY key{0xFF00FF00, 0xFF00FF00};
    IDirectDrawSurface7_SetColorKey(texture, DDCKEY_SRCBLT, &key);
    UseTexture(texture);
    struct Case {
        const char* what;
        std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> states;
        uint32_t keyedPixel, translucentPixel;
    } cases[] = {
        {"plain", {}, 0x00FF00, 0xFF0000},
        {"colour key", {{D3DRENDERSTATE_COLORKEYENABLE, 1}}, 0x204080, 0xFF0000},
        {"alpha test", {{D3DRENDERSTATE_ALPHATESTENABLE, 1}, {D3DRENDERSTATE_ALPHAREF, 0x80},
                        {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER}}, 0x00FF00, 0x204080},
        // 0x40 of red over the target: 255 x 64/255 + 0x20 x 191/255, rounded, and so on.
        {"alpha blend", {{D3DRENDERSTATE_ALPHABLENDENABLE, 1}, {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                         {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA}}, 0x00FF00, 0x583060},
        // Source times the inverted target: what a white box turns into an inversion.
        {"inverse target", {{D3DRENDERSTATE_ALPHABLENDENABLE, 1}, {D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVDESTCOLOR},
                            {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO}}, 0x00BF00, 0xDF0000},
    };
    for (const Case& c : cases) {
        for (auto [state, value] : c.states) IDirect3DDevice7_SetRenderState(device, state, value);
        Fill(target, 0x204080);
        Quad(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFF);
        EXPECT_EQ(c.keyedPixel, Pixel(target, 0, 0)) << c.what;
        EXPECT_EQ(c.translucentPixel, Pixel(target, 1, 0)) << c.what;
        for (auto [state, value] : c.states) IDirect3DDevice7_SetRenderState(device, state, 0);
    }
}

TEST_F(D3DDeviceTest, TheDepthBufferKeepsTheNearerDrawAndWritesOnlyWhenAsked) {
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER);
    desc.dwWidth = desc.dwHeight = 32;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    desc.ddpfPixelFormat.dwZBufferBitDepth = 16;
    IDirectDrawSurface7* z = nullptr;
    ASSERT_EQ(DD_OK, Create(desc, &z));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_AddAttachedSurface(target, z));
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0xFFFF;
    IDirectDrawSurface7_Blt(z, nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ZENABLE, 1);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF0000FF, 0, 0, 1, 1, 0.5f);
    Quad(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFF0000, 0, 0, 1, 1, 0.75f);  // behind: hidden
    Quad(1.5f, -0.5f, 3.5f, 0.5f, 0xFF00FF00, 0, 0, 1, 1, 0.25f);   // in front
    EXPECT_EQ(0x0000FFu, Pixel(target, 0, 0));
    EXPECT_EQ(0x00FF00u, Pixel(target, 2, 0));
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ZWRITEENABLE, 0);
    Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0, 0, 1, 1, 0.1f);
    Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF808080, 0, 0, 1, 1, 0.2f);  // 0.1 was not written
    EXPECT_EQ(0x808080u, Pixel(target, 3, 0));
    IDirectDrawSurface7_DeleteAttachedSurface(target, 0, z);
}

// Lines take the pixels whose diamond they leave: the library's box outline from
// (10, 10) to (20, 20) draws the border of pixels 10 to 19 once each.
TEST_F(D3DDeviceTest, LinesFollowTheDiamondExitRule) {
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    IDirect3DDevice7_SetRenderState(device, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    const float L = 10, T = 10, R = 19, B = 19;
    const uint32_t c = 0xFF101010;
    const ColourVertex lines[8] = {{L, T, 0, 1, c},        {R - 0.1f, T, 0, 1, c}, {R, T, 0, 1, c},
                                   {R, B - 0.1f, 0, 1, c}, {L, B, 0, 1, c},        {R + 0.9f, B, 0, 1, c},
                                   {L, T + 1, 0, 1, c},    {L, B - 0.1f, 0, 1, c}};
    Draw(D3DPT_LINELIST, 0x44, lines, 8);
    for (int y = 8; y < 22; y++) {
        for (int x = 8; x < 22; x++) {
            const bool border = (x == 10 || x == 19 || y == 10 || y == 19) && x >= 10 && x <= 19 && y >= 10 && y <= 19;
            ASSERT_EQ(border ? 0x101010u : 0u, Pixel(target, x, y)) << x << "," << y;
        }
    }
}

TEST_F(D3DDeviceTest, TheViewportClipsAndEveryRunDrawsTheSamePixels) {
    D3DVIEWPORT7 viewport{4, 4, 8, 8, 0, 1};
    ASSERT_EQ(D3D_OK, IDirect3DDevice7_SetViewport(device, &viewport));
    const ColourVertex tri[3] = {{-20.3f, -7.1f, 0, 1, 0xFFFFFFFF}, {40.7f, 3.3f, 0, 1, 0xFFFFFFFF},
                                 {5.2f, 60.9f, 0, 1, 0xFFFFFFFF}};
    Draw(D3DPT_TRIANGLELIST, 0x44, tri, 3);
    const std::vector<std::string> first = Coverage();
    ASSERT_FALSE(first.empty());
    for (const std::string& row : first) EXPECT_EQ(row.substr(row.find(':')), ":4-11");
    EXPECT_EQ("4:4-11", first.front());
    EXPECT_EQ("11:4-11", first.back());
    Fill(target, 0);
    Draw(D3DPT_TRIANGLELIST, 0x44, tri, 3);
    EXPECT_EQ(first, Coverage());
}

TEST_F(D3DDeviceTest, LoadCopiesBetweenTexturesOfOneFormatAndFailsAsInjected) {
    IDirectDrawSurface7* from = Texture(2, 2, {1, 2, 3, 4});
    IDirectDrawSurface7* to = Texture(4, 4, std::vector<uint32_t>(16, 0));
    POINT at{2, 1};
    RECT rect{1, 0, 2, 2};
    ASSERT_EQ(D3D_OK, IDirect3DDevice7_Load(device, to, &at, from, &rect, 0));
    EXPECT_EQ(2u, Pixel(to, 2, 1));
    EXPECT_EQ(4u, Pixel(to, 2, 2));
    EXPECT_EQ(0u, Pixel(to, 3, 1));
    FailDirect3DLoads(DDERR_SURFACEBUSY, 2);
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirect3DDevice7_Load(device, to, &at, from, &rect, 0));
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirect3DDevice7_Load(device, to, &at, from, &rect, 0));
    EXPECT_EQ(D3D_OK, IDirect3DDevice7_Load(device, to, &at, from, &rect, 0));
    RECT outside{0, 0, 2, 2};
    POINT corner{3, 3};
    EXPECT_EQ(DDERR_INVALIDRECT, IDirect3DDevice7_Load(device, to, &corner, from, &outside, 0));
}

TEST_F(D3DDeviceTest, TheDeviceHoldsItsTargetAndTexturesUntilItGoes) {
    IDirectDrawSurface7* texture = Texture(2, 2, std::vector<uint32_t>(4, 0));
    IDirect3DDevice7_SetTexture(device, 0, texture);
    EXPECT_EQ(3u, IDirectDrawSurface7_AddRef(texture));  // ours, the device's, this one
    IDirectDrawSurface7_Release(texture);
    IDirect3DDevice7_Release(device);
    device = nullptr;
    EXPECT_EQ(1u, IDirectDrawSurface7_AddRef(texture) - 1);
    IDirectDrawSurface7_Release(texture);
}
