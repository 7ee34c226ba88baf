// The graph table: handle values, refusals, the high-water mark, deletion and
// derived graphs; the graph manager's start and restart.
#include <string>

#include "graph_test_support.h"

namespace {

class GraphTableTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(Output::DirectDraw);
    }
    static int Blank(int width = 8, int height = 8) { return CreateBlankGraph(width, height, 0); }
};

TEST_F(GraphTableTest, TheFirstGraphIsSlotZeroAndCheckNumbersWrapAfter2047) {
    const int first = Blank();
    EXPECT_EQ(0x08000000, first);
    ASSERT_EQ(0, DeleteGraphHandle(first, 0));
    // 2047 more graphs use check numbers 1..2047; the next wraps to 0 at slot 0 again.
    for (int i = 1; i < 2048; i++) {
        const int graph = Blank(1, 1);
        ASSERT_EQ(MakeResourceHandle(HandleKindGraph, i, 0), graph);
        ASSERT_EQ(0, DeleteGraphHandle(graph, 0));
    }
    const int wrapped = Blank(1, 1);
    EXPECT_EQ(0x08000000, wrapped);
    EXPECT_NE(nullptr, GetGraphRecord(wrapped));
}

TEST_F(GraphTableTest, ForeignAndStaleHandlesAreRefused) {
    const int graph = Blank();
    ASSERT_NE(nullptr, GetGraphRecord(graph));
    const int stale = graph + (1 << 16);  // the next check number in the same slot
    const int cases[] = {
        MakeResourceHandle(HandleKindFont, 0, 0),      // another kind
        -1,                                             // the error value
        -2,                                             // a screen, not a graph
        MakeResourceHandle(HandleKindGraph, 0, 32768),  // past the table
        MakeResourceHandle(HandleKindGraph, 0, 65535),
        MakeResourceHandle(HandleKindGraph, 0, 5),      // an empty slot
        stale,
    };
    for (int handle : cases) {
        EXPECT_EQ(nullptr, GetGraphRecord(handle)) << std::hex << handle;
        EXPECT_EQ(-1, DeleteGraphHandle(handle, 0)) << std::hex << handle;
        EXPECT_EQ(-1, DrawGraphAtCore(0, 0, handle, 1)) << std::hex << handle;
    }
    EXPECT_EQ(1, GraphTable.liveCount);
}

TEST_F(GraphTableTest, TheHighWaterMarkFallsPastEmptySlots) {
    int graphs[4];
    for (int& g : graphs) g = Blank();
    DeleteGraphHandle(graphs[1], 0);
    DeleteGraphHandle(graphs[2], 0);
    EXPECT_EQ(4, GraphTable.highWater);
    DeleteGraphHandle(graphs[3], 0);
    EXPECT_EQ(1, GraphTable.highWater);
    EXPECT_EQ(1, HandleSlot(Blank()));  // new graphs take the mark without searching
    DeleteAllGraphHandles(0);
    EXPECT_EQ(0, GraphTable.highWater);
    EXPECT_EQ(0, GraphTable.liveCount);
}

TEST_F(GraphTableTest, TheLostFlagIsSetWhenTheGraphGoes) {
    const int graph = Blank();
    int lost = 7;
    ASSERT_EQ(0, SetGraphLostFlagPointer(graph, &lost));
    EXPECT_EQ(0, lost);
    DeleteGraphHandle(graph, 1);
    EXPECT_EQ(1, lost);
    EXPECT_NE(std::string::npos, Log().find("グラフィック  の削除"));
}

TEST_F(GraphTableTest, DerivedGraphsStayInsideTheirParent) {
    const int parent = Blank(40, 30);
    GetGraphRecord(parent)->sourceX = 100;  // as a cell of a larger sheet
    const int cut = DeriveSubGraphCore(30, 0, 50, 20, parent);
    ASSERT_NE(-1, cut);
    const GraphRecord* g = GetGraphRecord(cut);
    EXPECT_EQ(10, g->width);
    EXPECT_EQ(20, g->height);
    EXPECT_EQ(130, g->sourceX);
    struct Case {
        int x, y, width, height;
    };
    for (const Case c : {Case{40, 0, 5, 5}, Case{0, 30, 5, 5}, Case{41, 0, 5, 5}, Case{-1, 0, 5, 5},
                         Case{0, -3, 5, 5}, Case{0, 0, 0, 5}, Case{0, 0, 5, -2}}) {
        EXPECT_EQ(-1, DeriveSubGraphCore(c.x, c.y, c.width, c.height, parent)) << c.x << "," << c.y;
    }
    EXPECT_EQ(-1, DeriveSubGraphCore(0, 0, 5, 5, parent + (1 << 16)));
    // The cell outlives its parent: the shared storage stays alive.
    DeleteGraphHandle(parent, 0);
    EXPECT_EQ(0, DrawGraphAtCore(0, 0, cut, 0));
}

TEST_F(GraphTableTest, OnlyTheGraphThatOpenedAMovieOwnsIt) {
    const int parent = Blank(16, 16);
    GraphRecord* p = GetGraphRecord(parent);
    p->movieHandle = MakeResourceHandle(HandleKindMovie, 3, 2);
    p->movieOwner = 1;
    const int cut = DeriveSubGraphCore(0, 0, 8, 8, parent);
    const GraphRecord* c = GetGraphRecord(cut);
    EXPECT_EQ(p->movieHandle, c->movieHandle);  // its frames show in the cell too
    EXPECT_EQ(0, c->movieOwner);                // but deleting the cell leaves the movie alone
    p->movieHandle = -1;
}

TEST_F(GraphTableTest, DeletingTheDrawTargetSelectsTheBackScreenFirst) {
    SetGraphDrawValidFlag(1);
    const int target = Blank(32, 32);
    SetGraphDrawValidFlag(0);
    ASSERT_EQ(0, SelectDrawTargetCore(target));
    ASSERT_EQ(32, g_DrawState.targetWidth);
    DeleteGraphHandle(target, 0);
    EXPECT_EQ(BackBufferTarget, GetDrawTargetHandle());
    EXPECT_EQ(g_Screen.BackSurface, g_Screen.drawTargetSurface);
    EXPECT_EQ(150, g_DrawState.targetWidth);
    EXPECT_EQ(0, DrawBoxShapeCore(0, 0, 10, 10, RgbToScreenPixel(255, 0, 0), 1));
    EXPECT_EQ(0xFF0000u, BackRgbAt(5, 5));
}

TEST_F(GraphTableTest, GraphsAreMadeWithTheDrawStateOptions) {
    SetGraphDrawValidFlag(1);
    const GraphRecord* target = GetGraphRecord(CreateGraphOfSize(4, 4, 1, 1, 0));
    SetGraphDrawValidFlag(0);
    EXPECT_EQ(1, target->drawValidFlag);
    EXPECT_EQ(0, target->alphaChannelFlag);  // draw targets never keep alpha
    const GraphRecord* plain = GetGraphRecord(CreateGraphOfSize(4, 4, 1, 1, 0));
    EXPECT_EQ(0, plain->hardwareFlag);  // no Direct3D object
    EXPECT_EQ(1, plain->alphaChannelFlag);
    EXPECT_EQ(1, plain->alphaTestFlag);
    EXPECT_EQ(GetScreenColorBitDepth(), plain->colorBitDepth);
    EXPECT_EQ(-1, plain->movieHandle);
}

TEST_F(GraphTableTest, TheGraphManagerLogsItsStartAndStartsOnlyOnce) {
    const std::string log = MaskedLog();
    EXPECT_NE(std::string::npos, log.find("\t\tグラフィック管理系の初期化を行います\r\n#:\t\t\t３Ｄグラフィック描画機能は使用しません\r\n"
                                          "#:\t\t\tフォントの初期化を行います\r\n"
                                          "#:\t\t\tフォントの初期化は正常に終了しました\r\n"
                                          "#:\t\tグラフィック管理系の初期化は正常に終了しました\r\n"));
    EXPECT_EQ(0, IsDirect3DAvailable());
    const int graph = Blank();
    SetBlendModeParam(BlendAdd, 10);
    EXPECT_EQ(0, InitGraphManager());  // already started: nothing changes
    EXPECT_NE(nullptr, GetGraphRecord(graph));
    EXPECT_EQ(BlendAdd, g_DrawState.blendMode);
}

}  // namespace
