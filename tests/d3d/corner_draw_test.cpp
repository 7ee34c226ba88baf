// Graphs on four corners and caller-built triangle lists on the hardware path: a
// rectangle of whole pixels is a stretched draw, a parallelogram one quad, any other
// shape an 8 x 8 grid whose pieces meet edge to edge; with a blend graph the corners
// are whole pixels and the pieces go unbatched; a whole-texture vertex list rewrites
// the texture coordinates of its pairs of triangles only.
#include "d3d/d3d_test_support.h"
#include "library/graph/draw_state.h"

namespace {

// A 4 x 2 graph: red, green, blue, white over black, grey, yellow, cyan.
const std::vector<uint32_t> kPattern = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                                        0xFF000000, 0xFF808080, 0xFFFFFF00, 0xFF00FFFF};

class CornerDrawTest : public HardwarePathTest {
protected:
    void SetUp() override {
        HardwarePathTest::SetUp();
        Start(150, 200, 32, DesktopFormat::Xrgb8888);
        ClearCurrentScreen();
    }
    static std::vector<uint32_t> BackArea(int x, int y, int width, int height) {
        std::vector<uint32_t> area;
        for (int j = 0; j < height; j++)
            for (int i = 0; i < width; i++) area.push_back(BackRgb(x + i, y + j));
        return area;
    }
    // The pattern turned a quarter clockwise with its top-left texel at (x0 + 1, y0):
    // graph pixel (gx, gy) lands on (x0 + 1 - gy, y0 + gx).
    static void ExpectTurnedPattern(int x0, int y0) {
        for (int gy = 0; gy < 2; gy++)
            for (int gx = 0; gx < 4; gx++)
                EXPECT_EQ(kPattern[gy * 4 + gx] & 0xFFFFFF, BackRgb(x0 + 1 - gy, y0 + gx)) << gx << "," << gy;
    }
    static int Calls(D3DCall call) { return CountDirect3DCalls(call); }
};

TEST_F(CornerDrawTest, RectanglesParallelogramsAndOtherShapes) {
    const int graph = Graph(4, 2, kPattern);
    GraphRecord* record = GetGraphRecord(graph);

    // Whole-pixel corners of a rectangle: exactly the stretched draw, half-pixel offset
    // and clipping included.
    SetDrawClipRect(0, 0, 150, 23);
    ASSERT_EQ(0, G_D3D_DrawGraphStretched(DrawCoord{10}, DrawCoord{20}, DrawCoord{18}, DrawCoord{24}, record, 0, 1));
    const std::vector<uint32_t> stretched = BackArea(8, 18, 12, 8);
    ClearCurrentScreen();
    ASSERT_EQ(0, G_D3D_DrawGraphToCornersInt(10, 20, 18, 20, 10, 24, 18, 24, record, 0));
    EXPECT_EQ(stretched, BackArea(8, 18, 12, 8));
    EXPECT_EQ(0xFF0000u, BackRgb(10, 20));
    EXPECT_EQ(0u, BackRgb(10, 23));  // cut at the draw area
    SetDrawClipRect(0, 0, 150, 200);

    // Turned a quarter: a parallelogram, one quad in the batch. Float corners carry no
    // half-pixel offset, so they are given on the pixel edges.
    RecordDirect3DCalls(true);
    ASSERT_EQ(0, G_D3D_DrawGraphToCorners(41.5f, 39.5f, 41.5f, 43.5f, 39.5f, 39.5f, 39.5f, 43.5f, record, 0));
    EXPECT_EQ(6, CurrentD3DSlot()->batchCount);
    ExpectTurnedPattern(40, 40);
    EXPECT_EQ(0, Calls(D3DCall::DrawIndexedPrimitive));

    // A trapezoid goes through the 8 x 8 grid: the left column is twice as tall as the
    // right one, and the texels keep their order along both edges.
    ASSERT_EQ(0, G_D3D_DrawGraphToCorners(60.0f, 60.0f, 100.0f, 70.0f, 60.0f, 100.0f, 100.0f, 90.0f, record, 0));
    EXPECT_EQ(1, Calls(D3DCall::DrawIndexedPrimitive));
    EXPECT_EQ(0xFF0000u, BackRgb(62, 62));
    EXPECT_EQ(0xFFFFFFu, BackRgb(97, 72));
    EXPECT_EQ(0x808080u, BackRgb(72, 95));
    EXPECT_EQ(0x00FFFFu, BackRgb(97, 88));
    EXPECT_EQ(0u, BackRgb(97, 65));  // above the shorter right edge
}

TEST_F(CornerDrawTest, PiecesOfAWideGraphMeetEdgeToEdgeOnATrapezoid) {
    const int graph = Graph(300, 20, std::vector<uint32_t>(300 * 20, 0xFFFFFFFF));
    ASSERT_EQ(2, GetGraphRecord(graph)->pieceCount);  // a 256 and a 64 texture
    ASSERT_EQ(0, G_D3D_DrawGraphToCorners(10.0f, 10.0f, 140.0f, 30.0f, 10.0f, 70.0f, 140.0f, 50.0f,
                                          GetGraphRecord(graph), 0));
    // Every pixel well inside the trapezoid is covered, across the seam at x ~ 121.
    int holes = 0;
    for (int x = 12; x < 139; x++) {
        const float top = 10.0f + 20.0f * float(x - 10) / 130.0f, bottom = 70.0f - 20.0f * float(x - 10) / 130.0f;
        for (int y = int(top) + 2; y < int(bottom) - 1; y++) holes += BackRgb(x, y) != 0xFFFFFFu;
    }
    EXPECT_EQ(0, holes);
}

TEST_F(CornerDrawTest, WithABlendGraphCornersAreWholePixelsAndDrawnUnbatched) {
    const int graph = Graph(4, 2, kPattern);
    const int blend = Graph(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFF));
    // Range 255 with parameter 0 lets every pixel through.
    ASSERT_EQ(0, SelectBlendGraph(blend, 0, 255));
    RecordDirect3DCalls(true);
    ASSERT_EQ(0, G_D3D_DrawGraphToCorners(42.9f, 40.7f, 42.2f, 44.9f, 40.0f, 40.5f, 40.3f, 44.1f,
                                          GetGraphRecord(graph), 0));
    ExpectTurnedPattern(40, 40);
    EXPECT_EQ(0, CurrentD3DSlot()->batchCount);
    int strips = 0;
    for (const D3DCallRecord& r : RecordedDirect3DCalls())
        strips += r.call == D3DCall::DrawPrimitive && r.a == D3DPT_TRIANGLESTRIP && r.b == 0x2C4 && r.c == 4;
    EXPECT_EQ(1, strips);
    // The same corners as whole numbers draw the same pixels.
    const std::vector<uint32_t> drawn = BackArea(38, 38, 6, 8);
    ClearCurrentScreen();
    ASSERT_EQ(0, G_D3D_DrawGraphToCornersInt(42, 40, 42, 44, 40, 40, 40, 44, GetGraphRecord(graph), 0));
    EXPECT_EQ(drawn, BackArea(38, 38, 6, 8));
    SelectBlendGraph(-1, 0, 0);
}

TEST_F(CornerDrawTest, AWholeTextureListRewritesItsPairsOfTrianglesOnly) {
    const int graph = Graph(2, 1, {0xFFFF0000, 0xFF00FF00});
    const Surface3DRecord* piece = GetSurface3DData(GetGraphRecord(graph)->pieces[0]);
    const float uRight = piece->vertices[3].u, vBottom = piece->vertices[3].v;
    auto vertex = [&](float x, float y, float u, float v) {
        return ScreenVertex{x - 0.5f, y - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu, u, v};
    };
    // Two quads of two triangles whose coordinates all point at the red texel, and a
    // fifth triangle that points at the green one.
    std::vector<ScreenVertex> list;
    for (int quad = 0; quad < 2; quad++) {
        const float x = 10.0f + 20.0f * float(quad);
        for (const auto& c : {std::pair{0, 0}, {8, 0}, {0, 4}, {8, 4}, {0, 4}, {8, 0}})
            list.push_back(vertex(x + float(c.first), 10.0f + float(c.second), 0.0f, 0.0f));
    }
    for (const auto& c : {std::pair{0, 0}, {8, 0}, {0, 8}})
        list.push_back(vertex(60.0f + float(c.first), 10.0f + float(c.second), 0.75f * uRight, 0.5f * vBottom));
    ASSERT_EQ(0, G_D3D_DrawVertexList2D(list.data(), 5, GetGraphRecord(graph), 0, 1, 0));
    for (int quad = 0; quad < 2; quad++) {
        const int x = 10 + 20 * quad;
        EXPECT_EQ(0xFF0000u, BackRgb(x, 11)) << quad;
        EXPECT_EQ(0xFF0000u, BackRgb(x + 3, 13)) << quad;
        EXPECT_EQ(0x00FF00u, BackRgb(x + 4, 11)) << quad;
        EXPECT_EQ(0x00FF00u, BackRgb(x + 7, 13)) << quad;
    }
    EXPECT_EQ(0x00FF00u, BackRgb(61, 11));
    EXPECT_EQ(0x00FF00u, BackRgb(61, 14));
    EXPECT_EQ(list[0].u, 0.0f);  // the caller's list is left as it was
    // Without a graph there is no rectangle to take.
    EXPECT_EQ(-1, G_D3D_DrawVertexList2D(list.data(), 5, nullptr, 0, 1, 0));
}

}  // namespace
