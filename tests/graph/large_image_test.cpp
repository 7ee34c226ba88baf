// Long images on the 2D path: every size the decoders take becomes a graph, with or
// without alpha and on every output, and draws to its last pixel; a size refused
// anywhere is logged as too large, with the file's name, never as a memory failure.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "graph/graph_test_support.h"
#include "platform/ddraw/testing/ddraw_seams.h"
#include "tests/support/image_files.h"

namespace {

using testimg::Bytes;

constexpr uint32_t kFirst = 0xFF0000, kMiddle = 0x0000FF, kLast = 0x00FF00;

// A PNG of one row or one column: the first pixel red, the last green, blue between
// (the fixtures in tests/graph/data are made the same way by make_wide_png.py).
Bytes LongPng(int width, int height, bool alpha) {
    const int length = width > height ? width : height;
    const int channels = alpha ? 4 : 3;
    testimg::PngLayout png;
    png.width = width, png.height = height;
    png.colorType = alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    for (int i = 0; i < length; i++) {
        const uint32_t rgb = i == 0 ? kFirst : i == length - 1 ? kLast : kMiddle;
        const uint8_t pixel[4] = {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 0xFF};
        png.rows.insert(png.rows.end(), pixel, pixel + channels);
    }
    return testimg::EncodePng(png);
}

const char* const kVariants[] = {"rgb", "rgba"};

// The bytes of a fixture in tests/graph/data, or nothing when there is none.
std::string FixtureBytes(const std::string& name) {
    std::ifstream in(std::string(ZQ_SOURCE_DIR) + "/tests/graph/data/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class LargeImageTest : public GraphTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(GetParam().output, GetParam().desktop);
        ASSERT_EQ(0, SelectDrawTargetCore(BackBufferTarget));
    }
    std::string LogSince(size_t mark) const { return MaskedLog().substr(mark); }
    void WriteBytes(const std::string& name, const Bytes& bytes) {
        WriteFile(name, std::string(bytes.begin(), bytes.end()));
    }
    // The file of a case: the fixture where there is one, else made here.
    std::string PutLongPng(const std::string& stem, int width, int height, bool alpha) {
        const std::string name = stem + "_" + kVariants[alpha] + ".png";
        const std::string fixture = FixtureBytes(name);
        if (!fixture.empty()) {
            WriteFile(name, fixture);
        } else {
            WriteBytes(name, LongPng(width, height, alpha));
        }
        return name;
    }
};

TEST_P(LargeImageTest, EveryLengthTheDecodersTakeLoadsAndDrawsWithAndWithoutAlpha) {
    struct Case {
        const char* stem;
        int width, height;
    } cases[] = {
        {"wide_16384", 16384, 1}, {"wide_16385", 16385, 1}, {"wide_65535", 65535, 1},
        {"tall_16385", 1, 16385}, {"tall_65535", 1, 65535},
    };
    for (const Case& c : cases) {
        for (bool alpha : {false, true}) {
            const std::string name = PutLongPng(c.stem, c.width, c.height, alpha);
            SCOPED_TRACE(name);
            const size_t mark = MaskedLog().size();
            const int graph = LoadImageToGraph(name.c_str(), 1);
            ASSERT_NE(-1, graph) << LogSince(mark);
            EXPECT_EQ("", LogSince(mark));
            const GraphRecord* g = GetGraphRecord(graph);
            EXPECT_EQ(alpha ? 1 : 0, g->alphaChannelFlag);
            EXPECT_EQ((std::vector<int>{c.width, c.height}), (std::vector<int>{g->width, g->height}));
            const std::vector<uint32_t> stored = GraphRgb(graph);
            ASSERT_EQ(size_t(c.width) * size_t(c.height), stored.size());
            EXPECT_EQ(kFirst, stored.front());
            EXPECT_EQ(kMiddle, stored[stored.size() / 2]);
            EXPECT_EQ(kLast, stored.back());

            // Drawn with its far end in the screen's bottom right corner, then at (0, 0).
            ASSERT_EQ(0, DrawGraphAt(150 - c.width, 200 - c.height, graph, 0));
            EXPECT_EQ(kLast, BackRgbAt(149, 199));
            EXPECT_EQ(kMiddle, c.width > 1 ? BackRgbAt(148, 199) : BackRgbAt(149, 198));
            ASSERT_EQ(0, DrawGraphAt(0, 0, graph, 0));
            EXPECT_EQ(kFirst, BackRgbAt(0, 0));
            EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
        }
    }
}

TEST_P(LargeImageTest, ASizePastTheDecodersLimitsIsLoggedAsTooLargeBeforeTheMovieAttempt) {
    struct Case {
        std::string name;
        Bytes file;
        const char* size;
    } cases[] = {
        {"wide_65536_rgb.png", LongPng(65536, 1, false), "幅 65536 高さ 1"},
        {"wide_65536_rgba.png", LongPng(65536, 1, true), "幅 65536 高さ 1"},
        {"tall_65536_rgb.png", LongPng(1, 65536, false), "幅 1 高さ 65536"},
        {"tall_65536_rgba.png", LongPng(1, 65536, true), "幅 1 高さ 65536"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(c.name, c.file);
        const size_t mark = MaskedLog().size();
        EXPECT_EQ(-1, LoadImageToGraph(c.name.c_str(), 1));
        EXPECT_EQ("#:グラフィックファイル " + c.name + " は大きすぎます ( " + c.size + " )\r\n"
                  "#:ファイル:" + c.name + " が開けませんでした"
                  "ムービーファイルオープン処理時にエラーが発生しました"
                  "右記のグラフィックファイルのロードに失敗しました：" + c.name + " \r\n",
                  LogSince(mark));
        int cells[2];
        const size_t divided = MaskedLog().size();
        EXPECT_EQ(-1, LoadImageToDivGraphs(c.name.c_str(), 2, 2, 1, 1, 1, cells, 1));
        EXPECT_EQ("#:グラフィックファイル " + c.name + " は大きすぎます ( " + c.size + " )\r\n"
                  "#:右記のグラフィックファイルのロードに失敗しました：" + c.name + "\r\n",
                  LogSince(divided));
    }
    EXPECT_EQ(0, GraphTable.liveCount);
}

INSTANTIATE_TEST_SUITE_P(Outputs, LargeImageTest, AllOutputs(), OutputCaseName);

// The raw pixel at (x, y) of a graph's storage, a surface or a software image.
uint32_t StoredRaw(int graph, int x, int y) {
    const Surface2DRecord* piece = GetSurface2DRecord(GetGraphRecord(graph)->pieces[0]);
    SurfaceDataRecord* data = GetSurfaceDataRecord(piece->surfaceData);
    if (data->surface == nullptr) {
        return GraphTest::ReadRaw(MemImgPixelAddress(&data->image, x, y), MemImgBytesPerPixel(&data->image));
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    RECT at{x, y, x + 1, y + 1};
    if (IDirectDrawSurface7_Lock(data->surface, &at, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return ~0u;
    const uint32_t raw = GraphTest::ReadRaw(static_cast<const uint8_t*>(desc.lpSurface),
                                            int(desc.ddpfPixelFormat.dwRGBBitCount / 8));
    IDirectDrawSurface7_Unlock(data->surface, &at);
    return raw;
}

// The palette index at (x, 0) of the 8-bit back screen.
uint32_t BackIndexAt(int x) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    RECT at{x, 0, x + 1, 1};
    if (IDirectDrawSurface7_Lock(g_Screen.BackSurface, &at, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return ~0u;
    const uint32_t index = *static_cast<const uint8_t*>(desc.lpSurface);
    IDirectDrawSurface7_Unlock(g_Screen.BackSurface, &at);
    return index;
}

// An 8-bit full screen puts images into surfaces through a GDI bitmap of their size:
// the far pixels of a long image get the palette entries a short one of the same
// colours gets, and draw as those entries.
TEST_F(GraphTest, AnEightBitScreenLoadsLongImagesThroughGdi) {
    ChangeWindowMode(0);
    SetScreenMode(320, 240, 8, 60);
    StartDisplay(true);
    ASSERT_EQ(8, GetScreenColorBitDepth());
    for (bool alpha : {false, true}) {
        const Bytes shortFile = LongPng(3, 1, alpha);
        WriteFile("short.png", std::string(shortFile.begin(), shortFile.end()));
        const int reference = LoadImageToGraph("short.png", 1);
        ASSERT_NE(-1, reference);
        for (int width : {16385, 40000, 65535}) {
            const std::string name = "wide_" + std::to_string(width) + "_" + kVariants[alpha] + ".png";
            SCOPED_TRACE(name);
            const Bytes file = LongPng(width, 1, alpha);
            WriteFile(name, std::string(file.begin(), file.end()));
            const size_t mark = MaskedLog().size();
            const int graph = LoadImageToGraph(name.c_str(), 1);
            ASSERT_NE(-1, graph) << MaskedLog().substr(mark);
            EXPECT_EQ(StoredRaw(reference, 0, 0), StoredRaw(graph, 0, 0));
            EXPECT_EQ(StoredRaw(reference, 1, 0), StoredRaw(graph, width / 2, 0));
            EXPECT_EQ(StoredRaw(reference, 2, 0), StoredRaw(graph, width - 1, 0));
            // Drawn at both ends, clipped to the screen, it lands as the short one does.
            // (An image with alpha is a software image, which draws nothing on a palette
            // screen, long or short.)
            SelectDrawTarget(BackBufferTarget);
            ClearCurrentScreen();
            ASSERT_EQ(0, DrawGraphAt(0, 0, reference, 0));
            const uint32_t first = BackIndexAt(0), last = BackIndexAt(2);
            ClearCurrentScreen();
            ASSERT_EQ(0, DrawGraphAt(0, 0, graph, 0)) << MaskedLog().substr(mark);
            EXPECT_EQ(first, BackIndexAt(0));
            ASSERT_EQ(0, DrawGraphAt(320 - width, 0, graph, 0)) << MaskedLog().substr(mark);
            EXPECT_EQ(last, BackIndexAt(319));
            EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
        }
        EXPECT_EQ(0, DeleteGraphHandle(reference, 0));
    }
}

// The platform's own surface limit, on the DirectDraw output where graphs are surfaces.
class SurfaceLimitTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(Output::DirectDraw, DesktopFormat::Xrgb8888);
    }
    std::string LogSince(size_t mark) const { return MaskedLog().substr(mark); }
    // The log of a graph whose surface was not made, for the reason given between.
    static std::string NoSurfaceLog(const std::string& reason) {
        return "#:標準サーフェスの作成に失敗しました\r\n" + reason + "#:グラフィックの作成に失敗しました\r\n";
    }
};

TEST_F(SurfaceLimitTest, ASurfaceThePlatformRefusesAsTooLargeIsLoggedSoAndNamesTheFile) {
    WriteFile("wide_16385_rgb.png", FixtureBytes("wide_16385_rgb.png"));
    FailSurfaceCreation(DDSCAPS_OFFSCREENPLAIN, DDERR_TOOBIGWIDTH);
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("wide_16385_rgb.png", 1));
    int cells[2];
    EXPECT_EQ(-1, LoadImageToDivGraphs("wide_16385_rgb.png", 2, 2, 1, 1, 1, cells, 1));
    const std::string once = NoSurfaceLog("#:サーフェスが大きすぎます ( 幅 16385 高さ 1 )\r\n") +
                             "#:グラフィックファイル wide_16385_rgb.png は大きすぎます ( 幅 16385 高さ 1 )\r\n";
    EXPECT_EQ(once + once, LogSince(mark));
    EXPECT_EQ(0, GraphTable.liveCount);
}

TEST_F(SurfaceLimitTest, AGraphPastThePlatformsSurfaceBytesIsTooLargeNotOutOfMemory) {
    // 65535 x 65535 at 4 bytes is 16 GiB: refused for its size before any allocation.
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, CreateGraphOfSize(65535, 65535, 0, 0, 0));
    EXPECT_EQ(NoSurfaceLog("#:サーフェスが大きすぎます ( 幅 65535 高さ 65535 )\r\n"), LogSince(mark));
    // A failure after it that is not about the size is reported as before.
    FailSurfaceCreation(DDSCAPS_OFFSCREENPLAIN, DDERR_OUTOFMEMORY, 2);
    const size_t next = MaskedLog().size();
    EXPECT_EQ(-1, CreateGraphOfSize(16385, 1, 0, 0, 0));
    EXPECT_EQ(NoSurfaceLog("#:メモリの確保に失敗しました in AddSurface2D \r\n"), LogSince(next));
    const int graph = CreateGraphOfSize(16385, 1, 0, 0, 0);
    EXPECT_NE(-1, graph);
    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
}

}  // namespace
