// The loader chain, the decoder front end, alpha images and the two graph loaders.
#include <fstream>
#include <sstream>
#include <string>

#include "graph_test_support.h"
#include "library/file/file_backend.h"
#include "library/file/stream.h"

namespace {

TEST(AlphaFileName, UnderscoreAGoesBeforeTheLastDotOfTheWholeName) {
    struct Case {
        const char* name;
        const char* alpha;
    };
    for (const Case c : {Case{"image01.png", "image01_a.png"}, Case{"data.v1/pic", "data_a.v1/pic"},
                         Case{"sprite", "sprite_a"}, Case{"dir\\x.y.bmp", "dir\\x.y_a.bmp"}, Case{".png", "_a.png"}}) {
        char out[AlphaFileNameCapacity];
        ASSERT_EQ(0, BuildAlphaFileName(c.name, out, sizeof out));
        EXPECT_STREQ(c.alpha, out);
    }
    const std::string tooLong(AlphaFileNameCapacity - 2, 'x');
    char out[AlphaFileNameCapacity];
    EXPECT_EQ(-1, BuildAlphaFileName(tooLong.c_str(), out, sizeof out));
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A memory stream that records every seek.
std::vector<std::pair<int64_t, int>> g_Seeks;
int RecordingSeek(StreamHandle handle, int64_t offset, int origin) {
    g_Seeks.push_back({offset, origin});
    return MemoryFileStreamOpsTable.seek(handle, offset, origin);
}

TEST(LoaderChain, EveryDecoderStartsAtTheBeginningOfTheData) {
    const std::string png = FileBytes(std::string(ZQ_SOURCE_DIR) + "/game/data/image01.png");
    StreamSource source{};
    ASSERT_EQ(0, OpenMemoryStreamSource(&source, png.data(), int(png.size())));
    source.ops.seek = RecordingSeek;
    GraphImage image{};
    g_Seeks.clear();
    ASSERT_EQ(0, RunGraphImageLoaders(&source, &image));  // BMP, JPEG refuse; PNG takes it
    EXPECT_EQ(96, image.width);
    ASSERT_LE(3u, g_Seeks.size());
    EXPECT_EQ((std::pair<int64_t, int>{0, 0}), g_Seeks[0]);
    FreeGraphImage(&image);

    const std::string junk(64, 'B');
    source.ops.close(source.handle);
    ASSERT_EQ(0, OpenMemoryStreamSource(&source, junk.data(), int(junk.size())));
    source.ops.seek = RecordingSeek;
    g_Seeks.clear();
    EXPECT_EQ(-1, RunGraphImageLoaders(&source, &image));
    int rewinds = 0;
    for (const auto& seek : g_Seeks) rewinds += seek == std::pair<int64_t, int>{0, 0};
    EXPECT_LE(6, rewinds);
    source.ops.close(source.handle);
}

TEST(LoaderChain, MemoryImagesDecodeMirroredAndIntoTheBitmapForm) {
    const std::string bmp = FileBytes(std::string(ZQ_SOURCE_DIR) + "/game/data/bakuhatu6.bmp");
    GraphImage plain{}, mirrored{};
    ASSERT_EQ(0, DecodeImageToGraphImage(nullptr, bmp.data(), int(bmp.size()), 1, &plain, 0));
    ASSERT_EQ(0, DecodeImageToGraphImage(nullptr, bmp.data(), int(bmp.size()), 1, &mirrored, 1));
    for (int x : {0, 17, 319}) {
        int r1, g1, b1, a1, r2, g2, b2, a2;
        GetGraphImagePixel(&plain, x, 5, &r1, &g1, &b1, &a1);
        GetGraphImagePixel(&mirrored, 319 - x, 5, &r2, &g2, &b2, &a2);
        EXPECT_EQ((std::vector<int>{r1, g1, b1}), (std::vector<int>{r2, g2, b2})) << x;
    }
    BmpInfoBlock* header = nullptr;
    void* bits = nullptr;
    GraphImage unused{};
    ASSERT_EQ(0, DecodeImageData(nullptr, bmp.data(), int(bmp.size()), 1, 1, 0, &unused, &header, &bits));
    EXPECT_EQ(320, header->header.biWidth);
    EXPECT_EQ(-32, header->header.biHeight);
    EXPECT_EQ(0, std::memcmp(bits, plain.pixels, 320 * 3));
    ZqFree(header);
    ZqFree(bits);
    FreeGraphImage(&plain);
    FreeGraphImage(&mirrored);
}

class GraphLoaderTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(Output::Gdi);
    }
    // The log written since `mark`.
    std::string LogSince(size_t mark) const { return MaskedLog().substr(mark); }
};

TEST_F(GraphLoaderTest, AMissingFileIsLoggedAndRefused) {
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("nothere.png", 0));
    int cells[2];
    EXPECT_EQ(-1, LoadImageToDivGraphs("nothere.png", 2, 2, 1, 8, 8, cells, 0));
    EXPECT_EQ("#:グラフィックファイル nothere.png がありません\r\n"
              "#:右記のグラフィックファイルのロードに失敗しました：nothere.png\r\n",
              LogSince(mark));
}

TEST_F(GraphLoaderTest, AFileNoDecoderTakesIsTriedAsAMovie) {
    WriteFile("notes.png", "just some text, no image at all\n");
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("notes.png", 0));
    EXPECT_EQ("#:ファイル:notes.png が開けませんでした"
              "ムービーファイルオープン処理時にエラーが発生しました"
              "右記のグラフィックファイルのロードに失敗しました：notes.png \r\n",
              LogSince(mark));
    EXPECT_EQ(1, g_DrawState.useHardware3D);  // the option is as it was
    EXPECT_EQ(0, GetGraphCreateBitDepth());
}

TEST_F(GraphLoaderTest, AGraphRemembersItsFileAndDirectoryAndLoadsWithoutAnAlphaFileSilently) {
    const size_t mark = MaskedLog().size();
    const int graph = LoadImageToGraph("bakuhatu6.bmp", 0);
    ASSERT_NE(-1, graph);
    EXPECT_EQ("", LogSince(mark));
    const GraphRecord* g = GetGraphRecord(graph);
    EXPECT_STREQ("bakuhatu6.bmp", g->fileName);
    char directory[300];
    FileBackendGetDir(directory, sizeof directory);
    EXPECT_STREQ(directory, g->directory);
    EXPECT_EQ(0, g->alphaChannelFlag);
    EXPECT_EQ((std::vector<int>{320, 32}), (std::vector<int>{g->width, g->height}));
}

TEST_F(GraphLoaderTest, AnAlphaFileOfTheSameSizeGivesTheGraphAlpha) {
    CopyGameFile("bakuhatu5.png", "bakuhatu6_a.bmp");  // a PNG under a BMP name: the chain finds it
    const int graph = LoadImageToGraph("bakuhatu6.bmp", 0);
    ASSERT_NE(-1, graph);
    EXPECT_EQ(1, GetGraphRecord(graph)->alphaChannelFlag);
    int cells[10];
    ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu6.bmp", 10, 10, 1, 32, 32, cells, 0));
    EXPECT_EQ(1, GetGraphRecord(cells[3])->alphaChannelFlag);
}

TEST_F(GraphLoaderTest, AnAlphaFileOfAnotherSizeFailsTheLoadWithAMessage) {
    CopyGameFile("image01.png", "bakuhatu6_a.bmp");
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("bakuhatu6.bmp", 0));
    EXPECT_EQ("#:アルファチャンネル用画像の大きさが元の画像と違います：bakuhatu6.bmp\r\n", LogSince(mark));
    EXPECT_EQ(0, GraphTable.liveCount);
}

TEST_F(GraphLoaderTest, FailedLoadsLeaveNoBlockAndNoStreamBehind) {
    const std::string png = FileBytes(dir_ + "/image01.png");
    WriteFile("cut.png", png.substr(0, png.size() / 2));
    WriteFile("text.bmp", "BM but not really");
    CopyGameFile("image01.png", "bakuhatu5_a.png");
    const int blocks = GetTrackedBlockCount();
    int cells[10];
    for (int round = 0; round < 3; round++) {
        EXPECT_EQ(-1, LoadImageToGraph("cut.png", 0));
        EXPECT_EQ(-1, LoadImageToGraph("text.bmp", 0));
        EXPECT_EQ(-1, LoadImageToGraph("missing.png", 0));
        EXPECT_EQ(-1, LoadImageToDivGraphs("cut.png", 10, 10, 1, 32, 32, cells, 0));
        EXPECT_EQ(-1, LoadImageToDivGraphs("bakuhatu5.png", 10, 10, 1, 32, 32, cells, 0));
    }
    EXPECT_EQ(blocks, GetTrackedBlockCount());
    EXPECT_EQ(0, GraphTable.liveCount);
}

TEST_F(GraphLoaderTest, AfterLoadsDerivesFailuresAndDeletesTheShutdownDumpIsEmpty) {
    WriteFile("text.png", "no image");
    const int sheet = LoadImageToGraph("image01.png", 0);
    const int ship = DeriveSubGraph(0, 0, 25, 10, sheet);
    int cells[10];
    LoadImageToDivGraphs("bakuhatu5.png", 10, 10, 1, 32, 32, cells, 0);
    LoadImageToGraph("text.png", 0);
    LoadImageToGraph("missing.png", 0);
    DeriveSubGraph(200, 0, 5, 5, sheet);
    DeleteGraphHandle(sheet, 0);
    DeleteGraphHandle(cells[4], 0);
    EXPECT_EQ(0, DrawGraphAt(0, 0, ship, 1));  // the cell keeps the sheet's pixels
    ASSERT_EQ(0, ShutdownLibrary());
    started_ = false;
    const std::string log = MaskedLog();
    EXPECT_NE(std::string::npos, log.find("Total size:0(0.000kb)  Alloc num:0"));
}

}  // namespace
