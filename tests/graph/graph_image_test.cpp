// Decoded images, their bitmap form, and dividing an image into cell graphs.
#include "graph_test_support.h"

namespace {

TEST(GraphImage, CreateHelpersRoundPitchesAndFreeEverything) {
    const int blocks = GetTrackedBlockCount();
    GraphImage rgb{}, argb{};
    ASSERT_EQ(0, CreateRGB24GraphImage(5, 2, &rgb));
    ASSERT_EQ(0, CreateARGB32GraphImage(5, 2, &argb));
    EXPECT_EQ(16, rgb.pitch);
    EXPECT_EQ(20, argb.pitch);
    EXPECT_EQ(24, rgb.format.bitsPerPixel);
    EXPECT_EQ(8, argb.format.alphaWidth);
    FreeGraphImage(&rgb);
    DisposeGraphImage(&argb);
    EXPECT_EQ(nullptr, rgb.pixels);
    EXPECT_EQ(0, argb.width);
    EXPECT_EQ(blocks, GetTrackedBlockCount());
    EXPECT_EQ(-1, CreateRGB24GraphImage(0, 3, &rgb));  // nothing to allocate
    EXPECT_EQ(nullptr, rgb.pixels);
}

TEST(GraphImage, PixelsAreWrittenReadAndMirroredInEveryWidth) {
    GraphImage image{};
    ASSERT_EQ(0, CreateRGB24GraphImage(3, 2, &image));
    FillGraphImageColor(&image, 1, 2, 3, 255);
    SetGraphImagePixel(&image, 0, 1, 200, 100, 50, 255);
    SetGraphImagePixel(&image, 2, 1, 10, 20, 30, 255);
    EXPECT_EQ(-1, SetGraphImagePixel(&image, 3, 0, 0, 0, 0, 0));
    EXPECT_EQ(-1, SetGraphImagePixel(&image, 0, -1, 0, 0, 0, 0));
    ASSERT_EQ(0, MirrorGraphImage(&image));
    int r, g, b, a;
    GetGraphImagePixel(&image, 2, 1, &r, &g, &b, &a);
    EXPECT_EQ((std::vector<int>{200, 100, 50}), (std::vector<int>{r, g, b}));
    GetGraphImagePixel(&image, 0, 1, &r, &g, &b, &a);
    EXPECT_EQ((std::vector<int>{10, 20, 30}), (std::vector<int>{r, g, b}));
    GetGraphImagePixel(&image, 1, 1, &r, &g, &b, &a);  // the middle pixel stays
    EXPECT_EQ((std::vector<int>{1, 2, 3}), (std::vector<int>{r, g, b}));
    EXPECT_EQ(-1, GetGraphImagePixel(&image, 3, 1, &r, &g, &b, &a));
    FreeGraphImage(&image);
    EXPECT_EQ(-1, MirrorGraphImage(&image));
}

TEST(GraphImage, PaletteImagesAreReadThroughThePaletteAndNeverFilled) {
    uint8_t pixels[4] = {0, 1, 2, 3};
    GraphImage image{};
    InitPalette8ColorFormat(&image.format);
    image.format.palette[1] = 0x00C08040;  // red 0xC0, green 0x80, blue 0x40
    image.width = 4;
    image.height = 1;
    image.pitch = 4;
    image.pixels = pixels;
    FillGraphImageColor(&image, 9, 9, 9, 9);
    EXPECT_EQ(3, pixels[3]);
    int r, g, b, a;
    GetGraphImagePixel(&image, 1, 0, &r, &g, &b, &a);
    EXPECT_EQ((std::vector<int>{0xC0, 0x80, 0x40}), (std::vector<int>{r, g, b}));
}

TEST(GraphImage, TheBitmapFormCopiesOnlyWhenTheLayoutDiffers) {
    BmpInfoBlock block;
    void* bits = nullptr;
    uint8_t eightBit[10 * 2] = {};
    GraphImage palette{};
    InitPalette8ColorFormat(&palette.format);
    palette.format.palette[5] = 0x00112233;
    palette.width = 8, palette.height = 2, palette.pitch = 8, palette.pixels = eightBit;
    EXPECT_EQ(0, ConvertGraphImageToBmp(&palette, &block, &bits, 0, 0));
    EXPECT_EQ(eightBit, bits);
    EXPECT_EQ(8, block.header.biBitCount);
    EXPECT_EQ(-2, block.header.biHeight);
    EXPECT_EQ(0x33, block.colors[5].rgbBlue);
    palette.pitch = 10;  // rows of 8 bytes no longer match
    EXPECT_EQ(1, ConvertGraphImageToBmp(&palette, &block, &bits, 0, 0));
    ZqFree(bits);

    GraphImage rgb{};
    ASSERT_EQ(0, CreateRGB24GraphImage(3, 2, &rgb));  // pitch 12: already the bitmap's row size
    FillGraphImageColor(&rgb, 10, 20, 30, 255);
    EXPECT_EQ(0, ConvertGraphImageToBmp(&rgb, &block, &bits, 0, 0));
    EXPECT_EQ(rgb.pixels, bits);
    EXPECT_EQ(1, ConvertGraphImageToBmp(&rgb, &block, &bits, 1, 0));
    ZqFree(bits);
    FreeGraphImage(&rgb);

    GraphImage argb{};
    ASSERT_EQ(0, CreateARGB32GraphImage(2, 1, &argb));
    FillGraphImageColor(&argb, 10, 20, 30, 255);
    EXPECT_EQ(1, ConvertGraphImageToBmp(&argb, &block, &bits, 0, 0));
    EXPECT_EQ(24, block.header.biBitCount);
    const uint8_t* b = static_cast<const uint8_t*>(bits);
    EXPECT_EQ((std::vector<int>{30, 20, 10, 30, 20, 10}), (std::vector<int>{b[0], b[1], b[2], b[3], b[4], b[5]}));
    ZqFree(bits);
    FreeGraphImage(&argb);
}

class DividedGraphTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(Output::DirectDraw);
    }
};

TEST_F(DividedGraphTest, CellsAreCutRowByRowAndEntriesPastTheGridNameNoGraph) {
    GraphImage image{};
    ASSERT_EQ(0, CreateRGB24GraphImage(96, 32, &image));
    FillGraphImageColor(&image, 0, 0, 0, 0);
    int cells[7];
    ASSERT_EQ(0, CreateDivGraphFromGraphImage(&image, nullptr, 5, 4, 2, 24, 16, cells, 1));
    const int expected[5][2] = {{0, 0}, {24, 0}, {48, 0}, {72, 0}, {0, 16}};
    for (int i = 0; i < 5; i++) {
        const GraphRecord* g = GetGraphRecord(cells[i]);
        ASSERT_NE(nullptr, g);
        EXPECT_EQ(expected[i][0], g->sourceX);
        EXPECT_EQ(expected[i][1], g->sourceY);
        EXPECT_EQ(24, g->width);
    }
    EXPECT_EQ(5, GraphTable.liveCount);  // the whole-image graph is gone

    ASSERT_EQ(0, CreateDivGraphFromGraphImage(&image, nullptr, 7, 2, 1, 24, 16, cells, 1));
    EXPECT_NE(-1, cells[1]);
    EXPECT_EQ(-1, cells[2]);
    EXPECT_EQ(-1, cells[6]);
    FreeGraphImage(&image);
}

TEST_F(DividedGraphTest, AFailedCutLeavesNoCellBehind) {
    GraphImage image{};
    ASSERT_EQ(0, CreateRGB24GraphImage(64, 32, &image));
    int cells[4];
    // The third cell would start at x = 64, outside the image.
    EXPECT_EQ(-1, CreateDivGraphFromGraphImage(&image, nullptr, 4, 4, 1, 32, 32, cells, 1));
    EXPECT_EQ(0, GraphTable.liveCount);
    EXPECT_EQ(-1, cells[0]);
    EXPECT_NE(std::string::npos, Log().find("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\r\n"));
    FreeGraphImage(&image);
}

TEST_F(DividedGraphTest, EmptyImagesAndMismatchedAlphaImagesMakeNoGraph) {
    GraphImage image{}, alpha{};
    EXPECT_EQ(-1, BuildGraphFromGraphImage(&image, nullptr, 1));
    ASSERT_EQ(0, CreateRGB24GraphImage(8, 8, &image));
    ASSERT_EQ(0, CreateRGB24GraphImage(8, 7, &alpha));
    EXPECT_EQ(-1, BuildGraphFromGraphImage(&image, &alpha, 1));
    EXPECT_EQ(0, GraphTable.liveCount);
    FreeGraphImage(&alpha);
    ASSERT_EQ(0, CreateRGB24GraphImage(8, 8, &alpha));
    const int graph = BuildGraphFromGraphImage(&image, &alpha, 1);
    ASSERT_NE(-1, graph);
    EXPECT_EQ(1, GetGraphRecord(graph)->alphaChannelFlag);
    FreeGraphImage(&image);
    FreeGraphImage(&alpha);
}

}  // namespace
