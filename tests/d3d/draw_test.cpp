// Hardware drawing through the library's drawing calls: graphs 1:1, clipped, stretched
// and mirrored, boxes and outlines, subtraction, and the draw target's switches.
#include "d3d/d3d_test_support.h"

namespace {
// A 4 x 2 graph: red, green, blue, white over black, grey, yellow, cyan.
const std::vector<uint32_t> kPattern = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                                        0xFF000000, 0xFF808080, 0xFFFFFF00, 0xFF00FFFF};
}  // namespace

TEST_F(HardwarePathTest, GraphsLandOnTheirPixelsAndAreCutAtTheDrawArea) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    const int graph = Graph(4, 2, kPattern);
    ASSERT_TRUE(GetGraphRecord(graph)->hardwareFlag);
    ClearCurrentScreen();
    DrawGraphAt(10, 20, graph, 0);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(kPattern[y * 4 + x] & 0xFFFFFF, BackRgb(10 + x, 20 + y)) << x << "," << y;
    EXPECT_EQ(0u, BackRgb(9, 20));
    EXPECT_EQ(0u, BackRgb(14, 21));
    // Cut at the draw area: the visible texels stay where an uncut draw puts them.
    SetDrawClipRect(31, 0, 150, 200);
    DrawGraphAt(29, 40, graph, 0);
    EXPECT_EQ(0u, BackRgb(30, 40));
    EXPECT_EQ(0x0000FFu, BackRgb(31, 40));
    EXPECT_EQ(0x00FFFFu, BackRgb(32, 41));
    // Wholly outside: nothing queued.
    const int before = CurrentD3DSlot()->batchCount;
    DrawGraphAt(0, 60, graph, 0);
    EXPECT_EQ(before, CurrentD3DSlot()->batchCount);
    SetDrawClipRect(0, 0, 150, 200);
    // Stretched to twice the size, and mirrored.
    DrawGraphStretched(50, 50, 58, 54, graph, 0);
    EXPECT_EQ(0xFF0000u, BackRgb(51, 51));
    EXPECT_EQ(0x00FFFFu, BackRgb(57, 53));
    DrawGraphMirroredAt(70, 50, graph, 0);
    EXPECT_EQ(0xFFFFFFu, BackRgb(70, 50));
    EXPECT_EQ(0xFF0000u, BackRgb(73, 50));
}

TEST_F(HardwarePathTest, BoxesOutlinesAndSubtractionOnTheDevice) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    ClearCurrentScreen();
    DrawBoxShape(20, 20, 10, 10, ComposeColorValue(255, 0, 0), 1);  // corners swapped
    EXPECT_EQ(0xFF0000u, BackRgb(10, 10));
    EXPECT_EQ(0xFF0000u, BackRgb(19, 19));
    EXPECT_EQ(0u, BackRgb(20, 19));
    // The outline from bottom-left to top-right puts its corners on pixels 30 and 39.
    DrawBoxShape(30, 40, 40, 30, ComposeColorValue(0, 255, 0), 0);
    for (int i = 30; i < 40; i++) {
        EXPECT_EQ(0x00FF00u, BackRgb(i, 30)) << i;
        EXPECT_EQ(0x00FF00u, BackRgb(i, 39)) << i;
        EXPECT_EQ(0x00FF00u, BackRgb(30, i)) << i;
        EXPECT_EQ(0x00FF00u, BackRgb(39, i)) << i;
    }
    EXPECT_EQ(0u, BackRgb(35, 35));
    EXPECT_EQ(0u, BackRgb(40, 40));
    // Subtraction: three draws that leave dest - src.
    DrawBoxShape(50, 50, 60, 60, ComposeColorValue(200, 100, 50), 1);
    const int graph = Graph(1, 1, {0xFF406080});
    SetBlendModeParam(BlendSubtract, 255);
    DrawGraphAt(55, 55, graph, 0);
    SetBlendModeParam(BlendNone, 0);
    EXPECT_EQ(0x880400u, BackRgb(55, 55));  // 200-64, 100-96, 50-128 floored at 0
    EXPECT_EQ(0xC86432u, BackRgb(54, 55));
}

TEST_F(HardwarePathTest, TheFrontBufferEndsTheSceneAfterEachDrawAndGraphsCanBeTargets) {
    Start();
    EXPECT_EQ(0u, g_D3D.endSceneAfterEachDraw);  // the back buffer is the target
    SelectDrawTarget(FrontBufferTarget);
    EXPECT_EQ(1u, g_D3D.endSceneAfterEachDraw);
    SelectDrawTarget(BackBufferTarget);
    EXPECT_EQ(0u, g_D3D.endSceneAfterEachDraw);

    // A graph made as a draw target is a render target: draw a box into it and the
    // graph onto the screen.
    SetGraphDrawValidFlag(1);
    const int target = CreateBlankGraph(8, 8, 0);
    SetGraphDrawValidFlag(0);
    ASSERT_NE(-1, target);
    ASSERT_EQ(0, SelectDrawTarget(target));
    ClearCurrentScreen();
    DrawBoxShape(2, 2, 4, 4, ComposeColorValue(255, 255, 255), 1);
    SelectDrawTarget(BackBufferTarget);
    ClearCurrentScreen();
    DrawGraphAt(100, 100, target, 0);
    EXPECT_EQ(0xFFFFFFu, BackRgb(102, 102));
    EXPECT_EQ(0u, BackRgb(101, 102));
    // A graph that is no draw target is refused and the back buffer stays the target.
    const int plain = Graph(2, 2, std::vector<uint32_t>(4, 0xFFFFFFFF));
    EXPECT_EQ(-1, SelectDrawTarget(plain));
    EXPECT_EQ(BackBufferTarget, GetDrawTargetHandle());
}
