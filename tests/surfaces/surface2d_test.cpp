// 2D surfaces: graphs' pieces on both kinds of storage, derived graphs sharing pixels,
// clipped transfers, the palette key, the lost flag and movie frames.
#include "library/graph/movie_record.h"
#include "surfaces/surfaces_test_support.h"

namespace {

class Surface2DTest : public SurfacesTest, public ::testing::WithParamInterface<Storage> {};

// A parent keeps its pixels in one storage; a derived graph's piece points into it.
// Deleting the parent leaves the child's pixels, deleting both frees the storage once.
TEST_P(Surface2DTest, DerivedGraphsSharePixelsAndTheStorageIsFreedOnce) {
    StartDirectDraw();
    const int blocksBefore = GetTrackedBlockCount();
    const int dataBefore = SurfaceDataTable.liveCount, piecesBefore = Surface2DTable.liveCount;
    TestImage image(32, 16);
    image.Fill(PatternRgb);
    auto parent = MakeGraph(32, 16, GetParam());
    ASSERT_EQ(0, TransferImageToGraphSurfaces(0, 0, parent.get(), &image.image, nullptr));
    EXPECT_EQ(GetParam() == Storage::MemImg, Data(*parent)->surface == nullptr);

    auto child = Derive(*parent, 8, 4, 16, 8);
    EXPECT_EQ(Piece(*parent)->surfaceData, Piece(*child)->surfaceData);
    EXPECT_EQ(8, Piece(*child)->sourceX);
    EXPECT_EQ(4, Piece(*child)->sourceY);
    EXPECT_EQ(2, Data(*child)->referenceCount);
    EXPECT_EQ(ImageRgb(image, RECT{8, 4, 24, 12}), GraphRgb(*child));

    // A graph derived from the child names pixels of the child.
    auto grandchild = Derive(*child, 2, 1, 4, 4);
    EXPECT_EQ(10, Piece(*grandchild)->sourceX);
    EXPECT_EQ(ImageRgb(image, RECT{10, 5, 14, 9}), GraphRgb(*grandchild));
    GraphRecord refused = *child;
    for (RECT r : {RECT{14, 0, 4, 4}, RECT{-1, 0, 4, 4}, RECT{0, 6, 4, 4}, RECT{0, 0, 0, 4}}) {
        EXPECT_EQ(-1, CreateGraphSurface2DShared(&refused, r.left, r.top, r.right, r.bottom, child.get()));
    }

    EXPECT_EQ(0, DeleteGraphSurface2D(parent.get()));
    EXPECT_EQ(2, Data(*child)->referenceCount);
    EXPECT_EQ(ImageRgb(image, RECT{8, 4, 24, 12}), GraphRgb(*child));
    EXPECT_EQ(0, DeleteGraphSurface2D(grandchild.get()));
    EXPECT_EQ(0, DeleteGraphSurface2D(child.get()));
    EXPECT_EQ(dataBefore, SurfaceDataTable.liveCount);
    EXPECT_EQ(piecesBefore, Surface2DTable.liveCount);
    EXPECT_EQ(blocksBefore, GetTrackedBlockCount());
}

// Images from files may be smaller than the graph or placed partly outside it: only
// the part inside both is written.
TEST_P(Surface2DTest, TransfersAreClippedToTheImageAndThePiece) {
    StartDirectDraw(DesktopFormat::Xrgb8888);
    TestImage image(10, 12);
    image.Fill([](int x, int y) { return uint32_t(0x100000 * (x + 1) + 0x0100 * (y + 1) + 0x80); });
    auto graph = MakeGraph(16, 16, GetParam());
    auto pixel = [&](int x, int y) { return GraphRgb(*graph)[size_t(y) * 16 + x]; };

    EXPECT_EQ(0, TransferImageToGraphSurfaces(0, 0, graph.get(), &image.image, nullptr));
    EXPECT_EQ(image.at(9, 11) & 0xFFFFFF, pixel(9, 11));
    EXPECT_EQ(0u, pixel(10, 11));
    EXPECT_EQ(0u, pixel(9, 12));

    // Starting left of the image: the piece's first columns stay as they were.
    FillSurfaceDataColor(Piece(*graph)->surfaceData, 0, 0, 0, 255);
    EXPECT_EQ(0, TransferImageToGraphSurfaces(-4, -2, graph.get(), &image.image, nullptr));
    EXPECT_EQ(0u, pixel(3, 5));
    EXPECT_EQ(image.at(0, 0) & 0xFFFFFF, pixel(4, 2));
    EXPECT_EQ(image.at(9, 11) & 0xFFFFFF, pixel(13, 13));
    EXPECT_EQ(0u, pixel(14, 13));

    // A rectangle transfer lands only on the part of the piece it covers.
    FillSurfaceDataColor(Piece(*graph)->surfaceData, 0, 0, 0, 255);
    const RECT corner{0, 0, 4, 4};
    EXPECT_EQ(0, TransferImageRectToGraphSurfaces(&corner, 14, 13, graph.get(), &image.image, nullptr));
    EXPECT_EQ(image.at(1, 2) & 0xFFFFFF, pixel(15, 15));
    EXPECT_EQ(0u, pixel(13, 15));
    const std::vector<uint32_t> before = GraphRgb(*graph);
    EXPECT_EQ(0, TransferImageRectToGraphSurfaces(&corner, 16, 0, graph.get(), &image.image, nullptr));
    EXPECT_EQ(0, TransferImageRectToGraphSurfaces(&corner, -4, 0, graph.get(), &image.image, nullptr));
    EXPECT_EQ(0, TransferImageToGraphSurfaces(10, 12, graph.get(), &image.image, nullptr));
    EXPECT_EQ(before, GraphRgb(*graph));

    if (GetParam() == Storage::MemImg) {  // an alpha image must cover the colour image's rectangle
        TestImage alpha(4, 4);
        EXPECT_EQ(-1, TransferImageToGraphSurfaces(0, 0, graph.get(), &image.image, &alpha.image));
    }
}

INSTANTIATE_TEST_SUITE_P(BothStorages, Surface2DTest, ::testing::Values(Storage::Surface, Storage::MemImg),
                         [](const auto& info) { return info.param == Storage::Surface ? "Surface" : "MemImg"; });

// A palette image's transparent value is the palette index of the transparent colour,
// 0 when the palette does not hold it.
TEST_F(SurfacesTest, APaletteImageKeysThePaletteIndexOfTheTransparentColour) {
    StartDirectDraw();
    std::vector<uint8_t> indices(8 * 4, 3);
    GraphImage image{};
    InitPalette8ColorFormat(&image.format);
    for (int i = 0; i < 256; i++) image.format.palette[i] = 0x101010u * uint32_t(i % 16);
    image.format.palette[5] = 0x00FF00;
    image.width = 8;
    image.height = 4;
    image.pitch = 8;
    image.pixels = indices.data();

    g_DrawState.transparentColor = 0x00FF00;
    auto graph = MakeGraph(8, 4, Storage::MemImg, false, true);
    ASSERT_EQ(1, Data(*graph)->image.paletteFlag);
    ASSERT_EQ(0, TransferImageToGraphSurfaces(0, 0, graph.get(), &image, nullptr));
    EXPECT_EQ(5u, Data(*graph)->image.transparentValue);
    EXPECT_EQ(3, Data(*graph)->image.pixels[0]);

    g_DrawState.transparentColor = 0x123456;
    ASSERT_EQ(0, TransferImageToGraphSurfaces(0, 0, graph.get(), &image, nullptr));
    EXPECT_EQ(0u, Data(*graph)->image.transparentValue);
}

// The font registers a lost flag on its draw screen: deleting the piece sets it.
TEST_F(SurfacesTest, DeletingAPieceSetsItsLostFlag) {
    StartDirectDraw();
    const SurfaceDataSettings settings{0, 0, 1, 1, 0, 16, 0, 0};
    const int piece = AddSurface2D(64, 48, 0, 0, -1, nullptr, 0, 0, &settings);
    int lost = 5;
    EXPECT_EQ(0, SetSurface2DLostFlagPtr(piece, &lost));
    EXPECT_EQ(0, lost);
    EXPECT_EQ(0, SetSurface2DLostFlagPtr(-1, &lost));
    EXPECT_EQ(0, DeleteSurface2D(piece));
    EXPECT_EQ(1, lost);
    EXPECT_EQ(0, DeleteSurface2D(piece));  // refused, still 0
}

// Movie frames: of the graph's depth copied row by row, otherwise converted; always cut
// to the graph's piece, so a larger frame never writes beside it.
TEST_F(SurfacesTest, MovieFramesGoIntoThePieceAndNoFurther) {
    StartDirectDraw();
    auto sheet = MakeGraph(32, 16, Storage::Surface);
    auto movieGraph = Derive(*sheet, 16, 0, 16, 16);
    const std::vector<uint32_t> sheetBefore = GraphRgb(*sheet);

    // A 24 x 20 frame in the screen's own format (RGB565): copied row by row.
    MovieRecord movie{};
    movie.frameFormat = *GetScreenColorFormat();
    movie.frameBufferWidth = 24;
    movie.frameBufferHeight = 20;
    movie.frameBufferPitch = 24 * 2;
    std::vector<uint16_t> frame(24 * 20);
    for (int i = 0; i < 24 * 20; i++) frame[size_t(i)] = uint16_t(0xF800 >> (i % 3 * 5));
    movie.frameBuffer = reinterpret_cast<uint8_t*>(frame.data());
    ASSERT_EQ(0, TransferMovieFrameToGraph(&movie, movieGraph.get()));
    const std::vector<uint32_t> shown = GraphRgb(*movieGraph);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) EXPECT_EQ(ScreenRgb(frame[size_t(y) * 24 + x]), shown[size_t(y) * 16 + x]);
    const std::vector<uint32_t> sheetAfter = GraphRgb(*sheet);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) EXPECT_EQ(sheetBefore[size_t(y) * 32 + x], sheetAfter[size_t(y) * 32 + x]);

    // A 24-bit frame (the second frame-copy mode) into a software image: converted.
    auto imageGraph = MakeGraph(8, 8, Storage::MemImg);
    MovieRecord wide{};
    InitRgb24ColorFormat(&wide.frameFormat);
    wide.mode = MovieModeFrameCopy24;
    wide.frameBufferWidth = 12;
    wide.frameBufferHeight = 12;
    wide.frameBufferPitch = 36;
    std::vector<uint8_t> rgb24(36 * 12, 0);
    for (size_t i = 2; i < rgb24.size(); i += 3) rgb24[i] = 0xFF;  // red
    wide.frameBuffer = rgb24.data();
    ASSERT_EQ(0, TransferMovieFrameToGraph(&wide, imageGraph.get()));
    for (uint32_t rgb : GraphRgb(*imageGraph)) EXPECT_EQ(0xF80000u, rgb & 0xF80000);

    // Alpha beside the colour: the left half is the colour, the right half's red the alpha.
    auto alphaGraph = MakeGraph(4, 2, Storage::MemImg, true);
    MovieRecord alphaMovie{};
    alphaMovie.alphaMovieFlag = 1;
    InitColorFormatFromMasks(&alphaMovie.frameFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    alphaMovie.frameBufferWidth = 8;
    alphaMovie.frameBufferHeight = 2;
    alphaMovie.frameBufferPitch = 32;
    std::vector<uint32_t> pair(16);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) {
            pair[size_t(y) * 8 + x] = 0x0000FF;
            pair[size_t(y) * 8 + 4 + x] = uint32_t(x * 0x40) << 16;
        }
    alphaMovie.frameBuffer = reinterpret_cast<uint8_t*>(pair.data());
    ASSERT_EQ(0, TransferMovieFrameToGraph(&alphaMovie, alphaGraph.get()));
    const MEMIMG& alphaImage = Data(*alphaGraph)->image;
    EXPECT_EQ(0x001Fu, *reinterpret_cast<const uint16_t*>(MemImgPixelAddress(&alphaImage, 1, 1)));
    EXPECT_EQ(0x40, MemImgPixelAddress(&alphaImage, 1, 1)[2]);
    EXPECT_EQ(0xC0, MemImgPixelAddress(&alphaImage, 3, 0)[2]);
}

}  // namespace
