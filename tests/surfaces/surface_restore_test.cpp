// Losing the display device: lost surfaces are restored and reported, released storage
// is made again once per shared surface data, and the graphs' pixels come back when the
// restore hands each graph its part of the image again.
#include "library/display/display_device.h"
#include "library/display/screen_surfaces.h"
#include "surfaces/surfaces_test_support.h"

namespace {

struct Loaded {
    std::unique_ptr<GraphRecord> graph;
    POINT source;  // where the graph's pixels lie in the sheet
};

TEST_F(SurfacesTest, ADeviceLossAndRestoreBringsBackEveryPiece) {
    StartDirectDraw(DesktopFormat::Rgb555);
    TestImage sheet(32, 16);
    sheet.Fill(PatternRgb);
    std::vector<Loaded> graphs;
    graphs.push_back({MakeGraph(32, 16, Storage::Surface), {0, 0}});
    graphs.push_back({Derive(*graphs[0].graph, 16, 0, 16, 16), {16, 0}});
    graphs.push_back({MakeGraph(32, 16, Storage::MemImg), {0, 0}});
    graphs.push_back({Derive(*graphs[2].graph, 8, 8, 8, 8), {8, 8}});
    graphs.push_back({Derive(*graphs[3].graph, 2, 2, 4, 4), {10, 10}});
    // What the graph restore does: each graph takes its own part of the image again.
    auto reload = [&] {
        for (Loaded& g : graphs) {
            ASSERT_EQ(0, TransferImageToGraphSurfaces(g.source.x, g.source.y, g.graph.get(), &sheet.image, nullptr));
        }
    };
    auto expectAllBack = [&](const char* when) {
        for (Loaded& g : graphs) {
            const RECT area{g.source.x, g.source.y, g.source.x + g.graph->width, g.source.y + g.graph->height};
            EXPECT_EQ(ImageRgb(sheet, area), GraphRgb(*g.graph)) << when << ": graph at " << g.source.x << ","
                                                                 << g.source.y;
        }
    };
    reload();
    expectAllBack("loaded");

    // Surfaces lost while the application was away come back empty, and the restore
    // says so once; software images keep their pixels.
    MarkAllSurfacesLost();
    EXPECT_EQ(-1, RestoreAllSurface2D());
    EXPECT_EQ(0, RestoreAllSurface2D());
    MarkSurfaceLost(Data(*graphs[0].graph)->surface);
    EXPECT_EQ(-1, RestoreGraphSurfaces(graphs[1].graph.get()));  // the cell shares the lost surface
    EXPECT_EQ(0, RestoreGraphSurfaces(graphs[0].graph.get()));
    EXPECT_EQ(0, RestoreGraphSurfaces(graphs[3].graph.get()));
    reload();
    expectAllBack("restored");

    // The whole device: storage goes with the DirectDraw object and is made again, once
    // for each shared surface data.
    ASSERT_EQ(0, ReleaseScreenSurfaces());
    ASSERT_EQ(0, FreeDirectDrawObject());
    EXPECT_EQ(nullptr, Data(*graphs[0].graph)->surface);
    EXPECT_EQ(0, HasMemImgPixels(&Data(*graphs[2].graph)->image));
    ASSERT_EQ(0, RecreateDirectDrawObjects());
    ASSERT_EQ(0, CreateScreenSurfaces());
    SelectBackBuffer();
    EXPECT_EQ(2, Data(*graphs[1].graph)->referenceCount);
    EXPECT_EQ(3, Data(*graphs[4].graph)->referenceCount);
    reload();
    expectAllBack("re-created");

    // Making the storage again while it exists changes nothing.
    EXPECT_EQ(0, RecreateAllSurface2DStorage());
    expectAllBack("made again while alive");

    // The restored pieces draw, keyed BltFast included (the colour key came back too).
    ClearBack(0);
    EXPECT_EQ(0, DrawSurface2D(0, 0, graphs[1].graph->pieces[0], 1));
    EXPECT_EQ(0, DrawSurface2D(20, 0, graphs[3].graph->pieces[0], 1));
    EXPECT_EQ(ImageRgb(sheet, RECT{16, 0, 32, 16}), BackRgb(RECT{0, 0, 16, 16}));
    EXPECT_EQ(ImageRgb(sheet, RECT{8, 8, 16, 16}), BackRgb(RECT{20, 0, 28, 8}));
}

}  // namespace
