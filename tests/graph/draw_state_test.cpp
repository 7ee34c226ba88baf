// The draw state's setters, the draw target and draw area, the blend-graph weights and
// the default camera.
#include <cmath>

#include "graph_test_support.h"
#include "library/graph/camera.h"

namespace {

TEST(DrawStateValues, ParametersAndBrightnessAreClamped) {
    struct Case {
        int given, stored;
    };
    for (const Case c : {Case{300, 255}, Case{-5, 0}, Case{128, 128}}) {
        SetBlendModeParam(BlendAlpha, c.given);
        EXPECT_EQ(c.stored, g_DrawState.blendParam);
        SetBlendModeParam(BlendNone, 0);
    }
    SetBrightnessRGB(256, 128, -1);
    EXPECT_EQ(0xFF8000u, g_DrawState.brightness);
    SetBrightnessColorPacked(0xAB123456);
    EXPECT_EQ(0x123456u, g_DrawState.brightness);
    g_DrawState.suspended = 1;
    SetBlendModeParam(BlendAdd, 9);  // nothing changes while drawing is suspended
    EXPECT_EQ(BlendNone, g_DrawState.blendMode);
    g_DrawState.suspended = 0;
}

TEST(DrawStateValues, RectanglesClipNormaliseAndMeasure) {
    RECT r{50, 50, 10, 10};
    const RECT screen{0, 0, 640, 480};
    ClipRectByRectCore(&r, &screen);
    EXPECT_EQ((std::vector<LONG>{50, 50, 50, 50}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
    r = RECT{-20, 400, 700, 500};
    ClipRectByRectCore(&r, &screen);
    EXPECT_EQ((std::vector<LONG>{0, 400, 640, 480}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
    r = RECT{9, 8, 3, 2};
    NormalizeRect(&r);
    int w = 0, h = 0;
    GetRectSize(&r, &w, &h);
    EXPECT_EQ((std::vector<int>{3, 2, 6, 6}), (std::vector<int>{int(r.left), int(r.top), w, h}));
}

TEST(DrawStateValues, TheScreenSizeBeforeOneIsSetIs640By480) {
    int w = 0, h = 0, bits = 0;
    EXPECT_EQ(0, GetGraphOrScreenSize(BackBufferTarget, &w, &h));
    EXPECT_EQ((std::vector<int>{640, 480}), (std::vector<int>{w, h}));
    GetScreenSizeAndDepth(nullptr, nullptr, &bits);
    EXPECT_EQ(16, bits);
    EXPECT_EQ(-1, GetGraphOrScreenSize(0x08000000, &w, &h));
    EXPECT_EQ(-1, SelectDrawTargetCore(BackBufferTarget));  // no graph manager yet
}

TEST(BlendGraphWeights, TheBorderParametersShapeTheRamp) {
    BuildBlendGraphWeightTable(128, 0);
    EXPECT_EQ(0, BlendGraphWeightTable[127]);
    EXPECT_EQ(128, BlendGraphWeightTable[128]);
    EXPECT_EQ(255, BlendGraphWeightTable[129]);
    BuildBlendGraphWeightTable(0, 77);
    for (int v : {0, 100, 255}) EXPECT_EQ(255, BlendGraphWeightTable[v]);
    BuildBlendGraphWeightTable(255, 255);
    EXPECT_EQ(0, BlendGraphWeightTable[254]);
    EXPECT_EQ(1, BlendGraphWeightTable[255]);
    BuildBlendGraphWeightTable(128, 255);
    for (int v : {0, 1, 77, 200, 255}) EXPECT_EQ(v, BlendGraphWeightTable[v]);
}

// ---- The camera ---------------------------------------------------------------------

// A point through the combined matrix and the perspective divide.
std::pair<float, float> Project(float x, float y) {
    const Matrix4& m = g_GraphCamera.combined;
    float out[4];
    for (int j = 0; j < 4; j++) out[j] = x * m.m[0][j] + y * m.m[1][j] + m.m[3][j];
    return {out[0] / out[3], out[1] / out[3]};
}

TEST(Camera, TheDefaultCameraMapsWorldUnitsOntoPixelsWithYUp) {
    ResetCameraForTarget(640, 480);
    const float d = 240 * 1.7320508f;
    const Matrix4& view = g_GraphCamera.view;
    EXPECT_NEAR(-320.0f, view.m[3][0], 1e-3);
    EXPECT_NEAR(-240.0f, view.m[3][1], 1e-3);
    EXPECT_NEAR(d, view.m[3][2], 1e-3);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(i == j ? 1.0f : 0.0f, view.m[i][j], 1e-6);
    const Matrix4& p = g_GraphCamera.projection;
    const float nearZ = d * 0.1f, farZ = d + 1000.0f;
    EXPECT_NEAR(-nearZ * farZ / (farZ - nearZ), p.m[3][2], 1e-2);
    for (auto [x, y] : {std::pair{0.0f, 0.0f}, {100.0f, 50.0f}, {639.0f, 479.0f}, {320.0f, 240.0f}}) {
        const auto [px, py] = Project(x, y);
        EXPECT_NEAR(x, px, 1e-2) << x << "," << y;
        EXPECT_NEAR(480 - y, py, 1e-2) << x << "," << y;
    }
    ResetCameraForTarget(100, 481);  // an odd height takes half of 480
    EXPECT_NEAR(240 * 1.7320508f, g_GraphCamera.view.m[3][2], 1e-3);
}

TEST(Camera, PerspectiveRefusalsLeaveTheMatrixAndIdentityIsNeutral) {
    Matrix4 m;
    SetIdentityMatrix(&m);
    m.m[1][2] = 5.0f;
    const Matrix4 kept = m;
    EXPECT_EQ(-1, BuildPerspectiveMatrix(&m, 1.0471976f, 10.0f, 10.005f));
    EXPECT_EQ(-1, BuildPerspectiveMatrix(&m, 0.001f, 1.0f, 100.0f));
    EXPECT_EQ(0, std::memcmp(&kept, &m, sizeof m));
    Matrix4 identity, product;
    SetIdentityMatrix(&identity);
    MultiplyMatrix(&product, &identity, &kept);
    EXPECT_EQ(0, std::memcmp(&kept, &product, sizeof m));
    MultiplyMatrix(&product, &kept, &identity);
    EXPECT_EQ(0, std::memcmp(&kept, &product, sizeof m));
}

// ---- Target and area on a running screen ---------------------------------------------

class DrawTargetTest : public GraphTest, public ::testing::WithParamInterface<Output> {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(GetParam());
        ASSERT_EQ(0, SelectDrawTargetCore(BackBufferTarget));
    }
    static int DrawValidGraph(int width, int height) {
        SetGraphDrawValidFlag(1);
        const int graph = CreateBlankGraph(width, height, 0);
        SetGraphDrawValidFlag(0);
        return graph;
    }
    static std::vector<LONG> Area() {
        const RECT& r = g_DrawState.clipRect;
        return {r.left, r.top, r.right, r.bottom};
    }
};

TEST_P(DrawTargetTest, TheDrawAreaIsOrderedAndClampedToTheTarget) {
    SetDrawClipRect(100, 80, 20, 10);
    EXPECT_EQ((std::vector<LONG>{20, 10, 100, 80}), Area());
    SetDrawClipRect(-50, 0, 1000, 480);
    EXPECT_EQ((std::vector<LONG>{0, 0, 150, 200}), Area());
    EXPECT_EQ(0, g_DrawState.emptyArea);
    SetDrawClipRect(5, 5, 5, 100);
    EXPECT_EQ(1, g_DrawState.emptyArea);
    const std::vector<uint32_t> before = BackRgb(RECT{0, 0, 150, 200});
    EXPECT_EQ(0, DrawBoxShapeCore(0, 0, 150, 200, RgbToScreenPixel(255, 255, 255), 1));
    EXPECT_EQ(before, BackRgb(RECT{0, 0, 150, 200}));
    EXPECT_EQ(100, SystemStateRecord.window.requestedDrawArea.bottom);  // as asked, before clamping
}

TEST_P(DrawTargetTest, DrawingGoesIntoASelectedGraphAndTheAreaFollowsTheTargetSize) {
    const int a = DrawValidGraph(40, 30), b = DrawValidGraph(40, 30), c = DrawValidGraph(20, 20);
    ASSERT_EQ(0, SelectDrawTargetCore(a));
    EXPECT_EQ((std::vector<LONG>{0, 0, 40, 30}), Area());
    EXPECT_EQ(0, DrawBoxShapeCore(5, 5, 15, 15, RgbToScreenPixel(255, 0, 0), 1));
    const std::vector<uint32_t> pixels = GraphRgb(a);
    EXPECT_EQ(0xFF0000u, pixels[size_t(10) * 40 + 10]);
    EXPECT_NE(0xFF0000u, pixels[size_t(20) * 40 + 20]);
    EXPECT_NE(0xFF0000u, BackRgbAt(10, 10));

    SetDrawClipRect(2, 2, 10, 10);
    ASSERT_EQ(0, SelectDrawTargetCore(b));  // same size: the area stays
    EXPECT_EQ((std::vector<LONG>{2, 2, 10, 10}), Area());
    ASSERT_EQ(0, SelectDrawTargetCore(c));  // another size: the whole graph
    EXPECT_EQ((std::vector<LONG>{0, 0, 20, 20}), Area());
    EXPECT_NEAR(-10.0f, g_GraphCamera.view.m[3][0], 1e-3);  // the camera follows the target
}

TEST_P(DrawTargetTest, ARefusedTargetKeepsThePreviousOne) {
    const int graph = DrawValidGraph(40, 30);
    ASSERT_EQ(0, SelectDrawTargetCore(graph));
    SetDrawClipRect(1, 2, 3, 4);
    const int maskUse = g_DrawState.maskUse;
    for (int refused : {graph + (1 << 16), 7, MakeResourceHandle(HandleKindFont, 0, 0)}) {
        EXPECT_EQ(-1, SelectDrawTargetCore(refused)) << std::hex << refused;
        EXPECT_EQ(graph, GetDrawTargetHandle());
        EXPECT_EQ((std::vector<LONG>{1, 2, 3, 4}), Area());
        EXPECT_EQ(maskUse, g_DrawState.maskUse);
    }
    // The draw area of a target that is no graph (any more) is left alone.
    g_DrawState.drawTarget = MakeResourceHandle(HandleKindGraph, 0, 65535);
    EXPECT_EQ(0, SetDrawClipRect(0, 0, 1, 1));
    EXPECT_EQ((std::vector<LONG>{1, 2, 3, 4}), Area());
    g_DrawState.drawTarget = graph;
}

TEST_P(DrawTargetTest, TheTransparentColourIsKeptButNotOnAnEightBitScreen) {
    SetTransparentColorKeyCore(0x100 | 12, 34, 56);  // each part taken as a byte
    EXPECT_EQ(0x0C2238u, g_DrawState.transparentColor);
    const int saved = g_Screen.requestedColorBits;
    g_Screen.requestedColorBits = 8;
    SetTransparentColorKeyCore(1, 2, 3);
    EXPECT_EQ(0x0C2238u, g_DrawState.transparentColor);
    g_Screen.requestedColorBits = saved;
}

TEST_P(DrawTargetTest, ABlendGraphMustBeValidAndAtLeastAsLargeAsTheDrawnGraph) {
    const int small = CreateBlankGraph(8, 8, 0), large = CreateBlankGraph(16, 16, 0);
    EXPECT_EQ(-1, SelectBlendGraph(small + (1 << 16), 0, 0));
    EXPECT_EQ(-1, g_DrawState.blendGraph);
    ASSERT_EQ(0, SelectBlendGraph(small, 300, -4));
    EXPECT_EQ(255, g_DrawState.blendGraphBorderParam);
    EXPECT_EQ(0, g_DrawState.blendGraphBorderRange);
    EXPECT_EQ(-1, DrawGraphAtCore(0, 0, large, 0));
    EXPECT_EQ(0, DrawGraphAtCore(0, 0, small, 0));
    SelectBlendGraph(-1, 0, 0);
    EXPECT_EQ(0, DrawGraphAtCore(0, 0, large, 0));
}

INSTANTIATE_TEST_SUITE_P(Outputs, DrawTargetTest, ::testing::Values(Output::Gdi, Output::DirectDraw),
                         [](const ::testing::TestParamInfo<Output>& info) {
                             return info.param == Output::Gdi ? std::string("Gdi") : std::string("DirectDraw");
                         });

}  // namespace
