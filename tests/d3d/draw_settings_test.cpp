// Draw settings on the hardware path: the filter mode on every texture stage in use,
// graphs as draw targets (drawn into, cut at their edges, refused when they cannot be
// one render target, drawn in software when they are software images), and the camera
// transforms reaching the device.
#include "d3d/d3d_test_support.h"
#include "library/graph/camera.h"
#include "library/graph/draw_state.h"

namespace {

DWORD StageFilter(int stage) { return CurrentD3DSlot()->device->stageState[stage][D3DTSS_MAGFILTER]; }

}  // namespace

TEST_F(HardwarePathTest, TheFilterModeSamplesAndReachesEveryStageInUse) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    const int graph = Graph(2, 1, {0xFFFF0000, 0xFF0000FF});
    ClearCurrentScreen();
    // Stretched eight times: point sampling keeps two solid halves, the linear filter
    // runs from red to blue in between.
    DrawGraphStretched(10, 10, 26, 11, graph, 0);
    EXPECT_EQ(0xFF0000u, BackRgb(17, 10));
    EXPECT_EQ(0x0000FFu, BackRgb(18, 10));
    SetDrawFilterMode(1);
    DrawGraphStretched(10, 20, 26, 21, graph, 0);
    const uint32_t middle = BackRgb(17, 20);
    EXPECT_GT(middle >> 16, 0x40u) << std::hex << middle;
    EXPECT_GT(middle & 0xFF, 0x40u) << std::hex << middle;
    EXPECT_EQ(uint32_t(D3DTFG_LINEAR), StageFilter(0));

    // A blend graph takes a second stage, which gets the filter too; back to point
    // sampling, both stages follow.
    const int blend = Graph(2, 1, {0xFFFFFFFF, 0xFFFFFFFF});
    SelectBlendGraph(blend, 0, 255);
    DrawGraphAt(40, 40, graph, 0);
    G_D3D_EndScene();
    ASSERT_GE(CurrentD3DSlot()->stagesInUse, 2);
    EXPECT_EQ(uint32_t(D3DTFG_LINEAR), StageFilter(1));
    SetDrawFilterMode(0);
    EXPECT_EQ(uint32_t(D3DTFG_POINT), StageFilter(0));
    EXPECT_EQ(uint32_t(D3DTFG_POINT), StageFilter(1));
    SelectBlendGraph(-1, 0, 0);
}

TEST_F(HardwarePathTest, GraphsAsDrawTargets) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    const int pattern = Graph(4, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080,
                                     0xFFFFFF00, 0xFF00FFFF});
    SetGraphDrawValidFlag(1);
    const int target = CreateBlankGraph(16, 16, 0);
    g_D3D.maxTextureSize = 32;  // a target larger than one texture
    const int wide = CreateBlankGraph(40, 16, 0);
    g_D3D.maxTextureSize = 2048;
    SetGraphDrawValidFlag(0);
    ASSERT_EQ(1, GetGraphRecord(target)->pieceCount);
    ASSERT_EQ(2, GetGraphRecord(wide)->pieceCount);

    // Drawn into, and cut at the graph's edge: the graph is the whole draw area.
    ASSERT_EQ(0, SelectDrawTarget(target));
    ClearCurrentScreen();
    DrawGraphAt(14, 3, pattern, 0);
    DrawBoxShape(0, 0, 2, 2, ComposeColorValue(255, 255, 255), 1);
    ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
    const std::vector<uint32_t> texels = Graph3DTexels(target);
    EXPECT_EQ(0xFFFF0000u, texels[3 * 16 + 14]);
    EXPECT_EQ(0xFF00FF00u, texels[3 * 16 + 15]);
    EXPECT_EQ(0xFF808080u, texels[4 * 16 + 15]);
    EXPECT_EQ(0xFFFFFFFFu, texels[1 * 16 + 1]);
    EXPECT_EQ(0xFF000000u, texels[8 * 16 + 8]);  // cleared to the background
    // The back buffer is the whole draw area again.
    ClearCurrentScreen();
    DrawGraphAt(120, 180, target, 0);
    EXPECT_EQ(0xFFFFFFu, BackRgb(121, 181));
    EXPECT_EQ(0xFF0000u, BackRgb(134, 183));

    // A graph of several textures cannot be one render target: refused, and the back
    // buffer stays the target, drawn as before.
    const IDirectDrawSurface7* renderTarget = CurrentD3DSlot()->renderTarget;
    EXPECT_EQ(-1, SelectDrawTarget(wide));
    EXPECT_EQ(BackBufferTarget, GetDrawTargetHandle());
    EXPECT_EQ(renderTarget, CurrentD3DSlot()->renderTarget);
    DrawBoxShape(0, 0, 4, 4, ComposeColorValue(0, 255, 0), 1);
    EXPECT_EQ(0x00FF00u, BackRgb(1, 1));

    // A software image as target: the hardware queues nothing and leaves the screen be.
    SetGraphMemImgFlag(1);
    const int soft = CreateBlankGraph(16, 16, 1);
    SetGraphMemImgFlag(0);
    ASSERT_EQ(0, SelectDrawTarget(soft));
    EXPECT_EQ(1, g_D3D.softwareTarget);
    EXPECT_EQ(0, DrawGraphAt(0, 0, pattern, 0));
    EXPECT_EQ(0, CurrentD3DSlot()->batchCount);
    ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
    EXPECT_EQ(0, g_D3D.softwareTarget);
    EXPECT_EQ(0x00FF00u, BackRgb(1, 1));
}

TEST_F(HardwarePathTest, CameraTransformsReachTheDeviceWithoutDrawingTheBatch) {
    Start();
    const int graph = Graph(2, 2, std::vector<uint32_t>(4, 0xFFFFFFFF));
    DrawGraphAt(10, 10, graph, 0);
    const int pending = CurrentD3DSlot()->batchCount;
    ASSERT_GT(pending, 0);
    Matrix4 world{}, view{}, projection{};
    for (int i = 0; i < 16; i++) {
        world.m[i / 4][i % 4] = float(i);
        view.m[i / 4][i % 4] = float(i) * 0.5f;
        projection.m[i / 4][i % 4] = -float(i);
    }
    StoreWorldTransform(&world);
    StoreViewTransform(&view);
    StoreProjectionTransform(&projection);
    EXPECT_EQ(pending, CurrentD3DSlot()->batchCount);
    const IDirect3DDevice7* device = CurrentD3DSlot()->device;
    EXPECT_EQ(0, std::memcmp(&world, &device->transforms[D3DTRANSFORMSTATE_WORLD], sizeof world));
    EXPECT_EQ(0, std::memcmp(&view, &device->transforms[D3DTRANSFORMSTATE_VIEW], sizeof view));
    EXPECT_EQ(0, std::memcmp(&projection, &device->transforms[D3DTRANSFORMSTATE_PROJECTION], sizeof projection));
}
