// Hardware drawing through the library's drawing calls: graphs 1:1, clipped, stretched
// and mirrored, boxes and outlines, subtraction, and the draw target's switches.
#include <limits>

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

// The graph draws take float positions too: the geometry follows the floats, the clip
// tests take them truncated toward zero, and only whole-pixel ints keep an alpha test
// under the linear filter.
TEST_F(HardwarePathTest, FloatPositionsDrawWhereTheyFallAndAreClippedByTheirTruncation) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    GraphRecord* record = GetGraphRecord(Graph(4, 2, kPattern));
    const D3DDeviceSlot* s = CurrentD3DSlot();
    const auto f = [](float value) { return FloatCoord(value); };
    // The queued quad's top-left and bottom-right corners (x1, y1, x2, y2), or none.
    const auto queued = [&](int before) -> std::vector<float> {
        if (s->batchCount != before + 6) return {};
        const ScreenVertex* v = static_cast<const ScreenVertex*>(s->arrays[BatchTextured]) + before;
        return {v[0].x, v[0].y, v[3].x, v[3].y};
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        DrawCoord x, y;
        int intFlag;
        std::vector<float> corners;
    } cases[] = {
        {DrawCoord{10}, DrawCoord{20}, 1, {9.5f, 19.5f, 13.5f, 21.5f}},
        {f(10.0f), f(20.0f), 0, {9.5f, 19.5f, 13.5f, 21.5f}},       // as the ints
        {f(10.25f), f(20.75f), 0, {9.75f, 20.25f, 13.75f, 22.25f}},  // a quarter and three off
        {f(-0.75f), f(5.0f), 0, {-1.25f, 4.5f, 2.75f, 6.5f}},        // 0 for the test: inside, uncut
        {f(146.5f), f(5.0f), 0, {146.0f, 4.5f, 150.0f, 6.5f}},       // 146 + 4 ends at the edge: uncut
        {f(-2.5f), f(5.0f), 0, {0.0f, 4.5f, 1.0f, 6.5f}},            // -2 lies across: cut at the edge
        {f(-4.5f), f(5.0f), 0, {}},                                  // -4 + 4 ends at 0: outside
        {f(nan), f(5.0f), 0, {}},                                    // no position: outside
        {f(3e9f), f(5.0f), 0, {}},
    };
    for (const auto& c : cases) {
        G_D3D_FlushVertexBatch();
        const int before = s->batchCount;
        EXPECT_EQ(0, G_D3D_DrawGraph(c.x, c.y, record, 0, c.intFlag));
        EXPECT_EQ(c.corners, queued(before)) << (c.intFlag ? c.x.i : c.x.f) << ", " << (c.intFlag ? c.y.i : c.y.f);
    }

    // Stretched: a float span narrower than a pixel may still be zero in whole pixels.
    const struct {
        DrawCoord x1, y1, x2, y2;
        int intFlag, result;
        std::vector<float> corners;
    } stretched[] = {
        {DrawCoord{10}, DrawCoord{20}, DrawCoord{18}, DrawCoord{24}, 1, 0, {9.5f, 19.5f, 17.5f, 23.5f}},
        {f(10.0f), f(20.0f), f(18.0f), f(24.0f), 0, 0, {9.5f, 19.5f, 17.5f, 23.5f}},
        {f(10.25f), f(20.0f), f(18.75f), f(24.0f), 0, 0, {9.75f, 19.5f, 18.25f, 23.5f}},
        {f(18.0f), f(20.0f), f(10.0f), f(24.0f), 0, 0, {17.5f, 19.5f, 9.5f, 23.5f}},  // mirrored
        {f(10.5f), f(20.0f), f(10.9f), f(24.0f), 0, -1, {}},
        {f(10.0f), f(-0.5f), f(18.0f), f(0.5f), 0, -1, {}},  // 0 and 0 across zero
    };
    for (const auto& c : stretched) {
        G_D3D_FlushVertexBatch();
        const int before = s->batchCount;
        EXPECT_EQ(c.result, G_D3D_DrawGraphStretched(c.x1, c.y1, c.x2, c.y2, record, 0, c.intFlag));
        EXPECT_EQ(c.corners, queued(before)) << (c.intFlag ? c.x1.i : c.x1.f) << ", " << (c.intFlag ? c.x2.i : c.x2.f);
    }

    // On the screen: the left edge at 10.25 puts the first texel on pixel 11.
    ClearCurrentScreen();
    ASSERT_EQ(0, G_D3D_DrawGraph(f(10.75f), f(20.0f), record, 0, 0));
    EXPECT_EQ(0u, BackRgb(10, 20));
    for (int x = 0; x < 4; x++) EXPECT_EQ(kPattern[x] & 0xFFFFFF, BackRgb(11 + x, 20)) << x;

    // Under the linear filter an alpha-tested texture keeps its test at whole-pixel ints
    // only; at floats alpha blending takes its place.
    const int alphaTestWas = GetGraphAlphaTestFlag();
    SetGraphAlphaTestFlag(1);
    GraphImage image{};  // no alpha channel: the transparent colour becomes the 1-bit alpha
    CreateRGB24GraphImage(2, 1, &image);
    std::memset(image.pixels, 0xFF, 3);
    const int keyed = BuildGraphFromGraphImageNoAlpha(&image, 1);
    FreeGraphImage(&image);
    SetGraphAlphaTestFlag(alphaTestWas);
    GraphRecord* keyedRecord = GetGraphRecord(keyed);
    ASSERT_EQ(1, GetSurfaceDataRecord(LookupSurface3DRecord(keyedRecord->pieces[0])->texture)->settings.alphaTest);
    SetDrawFilterMode(1);
    ASSERT_EQ(0, G_D3D_DrawGraph(DrawCoord{30}, DrawCoord{30}, keyedRecord, 1, 1));
    EXPECT_EQ(1, s->alphaTest);
    ASSERT_EQ(0, G_D3D_DrawGraph(f(30.0f), f(30.0f), keyedRecord, 1, 0));
    EXPECT_EQ(0, s->alphaTest);
    EXPECT_EQ(1, s->alphaChannel);
    SetDrawFilterMode(0);
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
