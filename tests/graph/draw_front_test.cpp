// The drawing front ends and the software and DirectDraw side behind them.
#include <string>

#include "graph_test_support.h"
#include "library/display/screen_surfaces.h"
#include "library/graph/draw_side.h"

namespace {

TEST(VertexLists, StripsAndFansBecomeTriangleLists) {
    ScreenVertex in[5] = {};
    for (int i = 0; i < 5; i++) in[i].x = float(i);
    ScreenVertex out[15];
    auto order = [&out](int triangles) {
        std::vector<int> xs;
        for (int i = 0; i < triangles * 3; i++) xs.push_back(int(out[i].x));
        return xs;
    };
    ASSERT_EQ(3, ExpandToTriangleList(in, 5, PrimitiveTriangleStrip, out));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 2, 1, 4, 2, 3}), order(3));
    ASSERT_EQ(3, ExpandToTriangleList(in, 5, PrimitiveTriangleFan, out));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 0, 2, 4, 0, 3}), order(3));
    EXPECT_EQ(1, ExpandToTriangleList(in, 3, PrimitiveTriangleList, out));
    EXPECT_EQ(-1, ExpandToTriangleList(in, 4, PrimitiveTriangleList, out));
    EXPECT_EQ(-1, ExpandToTriangleList(in, 2, PrimitiveTriangleStrip, out));
    EXPECT_EQ(0, ExpandToTriangleList(in, 5, 9, out));
}

class DrawFrontTest : public GraphTest, public ::testing::WithParamInterface<Output> {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(GetParam());
        ASSERT_EQ(0, SelectDrawTargetCore(BackBufferTarget));
        FillBack(0x000000);
    }
    void FillBack(uint32_t rgb) {
        DrawBoxShapeCore(0, 0, 150, 200, RgbToScreenPixel(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)), 1);
    }
    // A graph whose column x has the colour (x * 16, 255 - x * 16, 0) in every row.
    static int ColumnGraph(int width, int height) {
        GraphImage image{};
        CreateRGB24GraphImage(width, height, &image);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) SetGraphImagePixel(&image, x, y, x * 16, 255 - x * 16, 0, 255);
        const int graph = BuildGraphFromGraphImage(&image, nullptr, 1);
        FreeGraphImage(&image);
        return graph;
    }
    uint32_t ColumnRgb(int x) const { return Quantized(BackFormat(), uint32_t(x * 16) << 16 | uint32_t(255 - x * 16) << 8); }
};

TEST_P(DrawFrontTest, AMirroredGraphCoversExactlyItsWidthReversed) {
    const int graph = ColumnGraph(8, 4);
    ASSERT_EQ(0, DrawGraphMirroredAtCore(20, 30, graph, 0));
    EXPECT_EQ(0u, BackRgbAt(19, 31));
    EXPECT_EQ(0u, BackRgbAt(28, 31));
    for (int i = 0; i < 8; i++) EXPECT_EQ(ColumnRgb(7 - i), BackRgbAt(20 + i, 31)) << i;
    EXPECT_EQ(0u, BackRgbAt(20, 34));
}

TEST_P(DrawFrontTest, APartDrawShowsOnlyTheIntersectionAndKeepsTheDrawArea) {
    const int graph = ColumnGraph(10, 10);
    SetDrawClipRect(0, 0, 100, 100);
    // Source columns 2..7 at x = 96: only x 96..99 lies in the area.
    ASSERT_EQ(0, DrawGraphPartAtCore(96, 50, 2, 0, 6, 3, graph, 0, 0));
    for (int i = 0; i < 4; i++) EXPECT_EQ(ColumnRgb(2 + i), BackRgbAt(96 + i, 50)) << i;
    EXPECT_EQ(0u, BackRgbAt(100, 50));
    EXPECT_EQ(0u, BackRgbAt(95, 50));
    EXPECT_EQ(0u, BackRgbAt(96, 53));
    const RECT area = g_DrawState.clipRect;
    EXPECT_EQ((std::vector<LONG>{0, 0, 100, 100}), (std::vector<LONG>{area.left, area.top, area.right, area.bottom}));
    EXPECT_EQ(100.0f, g_DrawState.clipRectFloat[2]);
    EXPECT_EQ(-1, DrawGraphPartAtCore(10, 10, 0, 0, 5, 5, graph + (1 << 16), 0, 0));
    EXPECT_EQ(100, g_DrawState.clipRect.right);
    // Mirrored: the source columns 2..7 shown right to left.
    ASSERT_EQ(0, DrawGraphPartAtCore(10, 60, 2, 0, 6, 1, graph, 0, 1));
    for (int i = 0; i < 6; i++) EXPECT_EQ(ColumnRgb(7 - i), BackRgbAt(10 + i, 60)) << i;
    EXPECT_EQ(0u, BackRgbAt(16, 60));
}

TEST_P(DrawFrontTest, AStretchedPartLandsOnItsRectangleAndSwappedCornersMirror) {
    const int graph = ColumnGraph(8, 2);
    ASSERT_EQ(0, DrawGraphPartStretched(10, 10, 22, 12, 2, 0, 3, 1, graph, 0));  // 3 columns to 12 pixels
    for (int i = 0; i < 12; i++) EXPECT_EQ(ColumnRgb(2 + i / 4), BackRgbAt(10 + i, 10)) << i;
    EXPECT_EQ(0u, BackRgbAt(22, 10));
    EXPECT_EQ(0u, BackRgbAt(9, 10));
    ASSERT_EQ(0, DrawGraphPartStretched(42, 20, 30, 22, 2, 0, 3, 1, graph, 0));
    for (int i = 0; i < 12; i++) EXPECT_EQ(ColumnRgb(4 - i / 4), BackRgbAt(30 + i, 20)) << i;
    EXPECT_EQ(-1, DrawGraphPartStretched(0, 0, 10, 10, 0, 0, 0, 1, graph, 0));
    EXPECT_EQ(150, g_DrawState.clipRect.right);
}

TEST_P(DrawFrontTest, FourCornersShowTheGraphAsTwoTriangles) {
    const int graph = ColumnGraph(8, 4);
    // On its own rectangle the graph shows one to one, the seam of the two triangles
    // included; the column and row past the corners stay untouched.
    ASSERT_EQ(0, DrawGraphToCorners(20, 30, 28, 30, 28, 34, 20, 34, graph, 0));
    for (int y = 30; y < 34; y++)
        for (int i = 0; i < 8; i++) EXPECT_EQ(ColumnRgb(i), BackRgbAt(20 + i, y)) << i << "," << y;
    EXPECT_EQ(0u, BackRgbAt(28, 31));
    EXPECT_EQ(0u, BackRgbAt(23, 34));
    EXPECT_EQ(0u, BackRgbAt(19, 31));
    // Twice as wide and mirrored: each column twice, right to left.
    ASSERT_EQ(0, DrawGraphToCorners(76, 50, 60, 50, 60, 54, 76, 54, graph, 0));
    for (int i = 0; i < 16; i++) EXPECT_EQ(ColumnRgb(7 - i / 2), BackRgbAt(61 + i, 52)) << i;
}

TEST_P(DrawFrontTest, NothingIsDrawnWhileSuspendedOrWithAnEmptyArea) {
    const int graph = ColumnGraph(4, 4);
    const std::vector<uint32_t> before = BackRgb(RECT{0, 0, 150, 200});
    g_DrawState.suspended = 1;
    EXPECT_EQ(0, DrawGraphAtCore(0, 0, graph, 0));
    EXPECT_EQ(0, DrawBoxShapeCore(0, 0, 9, 9, RgbToScreenPixel(255, 255, 255), 1));
    EXPECT_EQ(0, ClearCurrentScreenCore());
    g_DrawState.suspended = 0;
    SetDrawClipRect(3, 3, 3, 3);
    EXPECT_EQ(0, DrawGraphMirroredAtCore(0, 0, graph, 0));
    EXPECT_EQ(0, DrawBoxShapeCore(0, 0, 9, 9, RgbToScreenPixel(255, 255, 255), 0));
    EXPECT_EQ(before, BackRgb(RECT{0, 0, 150, 200}));
}

TEST_P(DrawFrontTest, BoxOutlinesDrawOnlyTheBorder) {
    ASSERT_EQ(0, DrawBoxShapeCore(10, 10, 20, 15, RgbToScreenPixel(255, 255, 255), 0));
    EXPECT_EQ(0xFFFFFFu, BackRgbAt(10, 10));
    EXPECT_EQ(0xFFFFFFu, BackRgbAt(19, 14));
    EXPECT_EQ(0u, BackRgbAt(15, 12));
    EXPECT_EQ(0u, BackRgbAt(20, 12));
}

TEST_P(DrawFrontTest, ClearingFillsTheTargetWithTheBackgroundAndItsDepthWithFar) {
    SystemStateRecord.settings.backgroundRed = 255;
    ASSERT_EQ(0, ClearCurrentScreenCore());
    EXPECT_EQ(Quantized(BackFormat(), 0xFF0000), BackRgbAt(75, 100));
    if (GetParam() == Output::Gdi) {
        EXPECT_EQ(0xFFFF, *reinterpret_cast<const uint16_t*>(MemImgPixelAddress(&ZBufferMemImg, 3, 4)));
    }
    SystemStateRecord.settings.backgroundRed = 0;
}

TEST_P(DrawFrontTest, GraphsAreFilledAndTheScreenIsCopiedIntoGraphsOfItsSize) {
    const int graph = CreateBlankGraph(32, 32, 0), shorter = CreateBlankGraph(32, 31, 0);
    ASSERT_EQ(0, FillGraphColor(graph, 0, 0, 255, 255));
    EXPECT_EQ(0x0000FFu, GraphRgb(graph).at(33));
    const int corner = DeriveSubGraphCore(8, 8, 4, 4, graph);  // fills only its own pixels
    ASSERT_EQ(0, FillGraphColor(corner, 255, 0, 0, 255));
    EXPECT_EQ(std::vector<uint32_t>(16, 0xFF0000u), GraphRgb(corner));
    EXPECT_EQ(0x0000FFu, GraphRgb(graph).at(size_t(8) * 32 + 7));
    EXPECT_EQ(0xFF0000u, GraphRgb(graph).at(size_t(8) * 32 + 8));
    EXPECT_EQ(0x0000FFu, GraphRgb(graph).at(size_t(12) * 32 + 8));
    DrawBoxShapeCore(10, 10, 30, 20, RgbToScreenPixel(0, 255, 0), 1);
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 32, 32, graph, 0));
    const std::vector<uint32_t> copied = GraphRgb(graph);
    EXPECT_EQ(0x00FF00u, copied.at(size_t(15) * 32 + 15));
    EXPECT_EQ(0u, copied.at(size_t(25) * 32 + 15));
    EXPECT_EQ(-1, GetDrawScreenGraph(0, 0, 32, 32, shorter, 0));
    EXPECT_EQ(-1, GetDrawScreenGraph(140, 0, 172, 32, graph, 0));  // past the screen
    EXPECT_EQ(-1, GetDrawScreenGraph(-1, 0, 31, 32, graph, 0));
}

TEST_P(DrawFrontTest, StringsNeedALiveFont) {
    const size_t mark = Log().size();
    const FontHandle never = MakeResourceHandle(HandleKindFont, 2047, 39);  // no font was made there
    EXPECT_EQ(0, DrawTextWithFontHandle(0, 0, "", 0, never, 0, 0));
    EXPECT_EQ(-1, DrawTextWithFontHandle(0, 0, "score", 0, never, 0, 0));
    EXPECT_NE(std::string::npos, Log().find("フォントハンドル値が異常です\r\n", mark));
}

TEST_P(DrawFrontTest, VertexListsRefuseCountsTheirKindCannotTake) {
    const Vertex2D v[4] = {};
    EXPECT_EQ(-1, DrawVertexList2D(v, 4, PrimitiveTriangleList, NoTextureGraph, 0));
    EXPECT_EQ(-1, DrawVertexList2D(v, 2, PrimitiveTriangleFan, NoTextureGraph, 0));
    EXPECT_EQ(0, DrawVertexList2D(v, 3, PrimitiveTriangleList, NoTextureGraph, 0));
    EXPECT_EQ(-1, DrawVertexList2D(v, 3, PrimitiveTriangleList, 0x08001234, 0));
    EXPECT_EQ(0, DrawThickLine(0, 0, 10, 10, RgbToScreenPixel(255, 0, 0), 0));
}

TEST_P(DrawFrontTest, VertexListsDrawTrianglesInSoftware) {
    // An untextured fan of two triangles: white wherever it covers, nothing outside.
    const Vertex2D quad[4] = {{10, 10, 0, 0, 255, 255, 255, 255},
                              {90, 10, 1, 0, 255, 255, 255, 255},
                              {90, 50, 1, 1, 255, 255, 255, 255},
                              {10, 50, 0, 1, 255, 255, 255, 255}};
    ASSERT_EQ(0, DrawVertexList2D(quad, 4, PrimitiveTriangleFan, NoTextureGraph, 0));
    EXPECT_EQ(Quantized(BackFormat(), 0xFFFFFF), BackRgbAt(50, 30));
    EXPECT_EQ(Quantized(BackFormat(), 0xFFFFFF), BackRgbAt(10, 49));
    EXPECT_EQ(0u, BackRgbAt(9, 30));
    EXPECT_EQ(0u, BackRgbAt(90, 30));
    EXPECT_EQ(0u, BackRgbAt(50, 50));

    // A graph stretched over 32 x 10 pixels: 4 pixels per column of the graph.
    const int graph = ColumnGraph(8, 4);
    const Vertex2D strip[4] = {{100, 60, 0, 0, 255, 255, 255, 255},
                               {132, 60, 1, 0, 255, 255, 255, 255},
                               {100, 70, 0, 1, 255, 255, 255, 255},
                               {132, 70, 1, 1, 255, 255, 255, 255}};
    ASSERT_EQ(0, DrawVertexList2D(strip, 4, PrimitiveTriangleStrip, graph, 0));
    for (int i = 0; i < 8; i++) EXPECT_EQ(ColumnRgb(i), BackRgbAt(100 + 4 * i + 2, 65)) << i;
    EXPECT_EQ(0u, BackRgbAt(133, 65));
}

INSTANTIATE_TEST_SUITE_P(Outputs, DrawFrontTest, ::testing::Values(Output::Gdi, Output::DirectDraw),
                         [](const ::testing::TestParamInfo<Output>& info) {
                             return info.param == Output::Gdi ? std::string("Gdi") : std::string("DirectDraw");
                         });

class FrontScreenTest : public GraphTest {};

TEST_F(FrontScreenTest, OnASoftwareFrontScreenEachDrawIsShownAtOnceForItsRectangle) {
    Start(Output::Gdi);
    ASSERT_EQ(FrontBufferTarget, GetDrawTargetHandle());  // start-up leaves the front screen selected
    RECT client{};
    GetWindowClientScreenRect(&client);
    const long presents = PresentedFrameCount();
    ASSERT_EQ(0, DrawBoxShapeCore(10, 20, 30, 25, RgbToScreenPixel(255, 255, 0), 1));
    EXPECT_EQ(presents + 1, PresentedFrameCount());
    const RECT shown = LastPresentedRect();
    EXPECT_EQ((std::vector<LONG>{client.left + 10, client.top + 20, client.left + 30, client.top + 25}),
              (std::vector<LONG>{shown.left, shown.top, shown.right, shown.bottom}));
    EXPECT_EQ(0xFFFF00u, ReadDesktopRgb(client.left + 15, client.top + 22));
}

}  // namespace
