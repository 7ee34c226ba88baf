// Reloading graphs from their files after a device loss, and the restore handler.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>

#include "graph_test_support.h"
#include "library/core/log.h"
#include "library/file/file_backend.h"
#include "library/file/plain_file.h"
#include "library/graph/graph_restore.h"
#include "support/api_lock.h"

namespace {

std::map<std::string, int> g_Opens;
StreamHandle CountingOpen(const char* path, int useCache, int archiveFlag, int nonBlocking) {
    g_Opens[path]++;
    return PlainFileBackendTable.open(path, useCache, archiveFlag, nonBlocking);
}

int g_CustomRuns = 0;
int CustomHandler(void) {
    g_CustomRuns++;
    return 0;
}

class GraphRestoreTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(Output::DirectDraw);
        counting_ = PlainFileBackendTable;
        counting_.open = CountingOpen;
        SetFileBackendTable(&counting_);
        g_Opens.clear();
        g_CustomRuns = 0;
    }
    void TearDown() override {
        SetFileBackendTable(nullptr);
        GraphTest::TearDown();
    }
    // Blanks the graph's pixels, as a lost device leaves them.
    static void Blank(int graph) { FillGraphColor(graph, 0, 0, 0, 0); }

    FileBackendTable counting_{};
};

TEST_F(GraphRestoreTest, ARunOfGraphsFromOneFileIsDecodedOnce) {
    int sea[10];
    ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu5.png", 10, 10, 1, 32, 32, sea, 0));
    const int sheet = LoadImageToGraph("image01.png", 0);
    const int late = DeriveSubGraphCore(0, 0, 32, 32, sea[2]);  // after the other file
    const int blank = CreateBlankGraph(4, 4, 0);
    const std::vector<uint32_t> cell7 = GraphRgb(sea[7]), sheetPixels = GraphRgb(sheet), latePixels = GraphRgb(late);
    ASSERT_EQ(Decode("bakuhatu5.png").Cut(224, 0, 32, 32).size(), cell7.size());
    for (int i = 0; i < 10; i++) Blank(sea[i]);
    Blank(sheet);
    g_Opens.clear();

    MarkGraphsForRestore();
    EXPECT_EQ(2, g_Opens["bakuhatu5.png"]);  // the cells once, the graph after image01.png again
    EXPECT_EQ(1, g_Opens["image01.png"]);
    EXPECT_EQ(cell7, GraphRgb(sea[7]));
    EXPECT_EQ(sheetPixels, GraphRgb(sheet));
    EXPECT_EQ(latePixels, GraphRgb(late));
    EXPECT_EQ(0, GetGraphRecord(sea[0])->restoreFlag);
    EXPECT_EQ(1, GetGraphRecord(blank)->restoreFlag);  // nothing to reload it from
    EXPECT_NE(std::string::npos, Log().find("グラフィックを復帰します\r\n"));
}

TEST_F(GraphRestoreTest, AGraphWhoseFileIsGoneIsSkippedAndTheOthersComeBack) {
    CopyGameFile("bakuhatu6.bmp", "gone.bmp");
    const int gone = LoadImageToGraph("gone.bmp", 0);
    const int sheet = LoadImageToGraph("image01.png", 0);
    const std::vector<uint32_t> sheetPixels = GraphRgb(sheet);
    Blank(sheet);
    ASSERT_EQ(0, unlink((dir_ + "/gone.bmp").c_str()));
    MarkGraphsForRestore();
    EXPECT_EQ(0, GetGraphRecord(gone)->restoreFlag);
    EXPECT_EQ(sheetPixels, GraphRgb(sheet));
}

TEST_F(GraphRestoreTest, GraphsOfOtherDirectoriesComeBackAndTheCurrentDirectoryStays) {
    ASSERT_EQ(0, mkdir((dir_ + "/sprites").c_str(), 0755));
    ASSERT_EQ(0, FileBackendSetDir("sprites"));
    CopyGameFile("image01.png", "sprites/image01.png");
    const int inner = LoadImageToGraph("image01.png", 0);
    ASSERT_EQ(0, FileBackendSetDir(dir_.c_str()));
    WriteFile("image01.png", "not the same file any more");
    const std::vector<uint32_t> pixels = GraphRgb(inner);
    Blank(inner);
    char before[300], after[300];
    FileBackendGetDir(before, sizeof before);
    MarkGraphsForRestore();
    FileBackendGetDir(after, sizeof after);
    EXPECT_STREQ(before, after);
    EXPECT_EQ(pixels, GraphRgb(inner));
}

// Every directory the record can hold is reloaded from, not only short ones.
TEST_F(GraphRestoreTest, AGraphFromADirectoryOfMoreThan128CharactersComesBack) {
    const std::string deep = std::string(150, 'd');
    ASSERT_EQ(0, mkdir((dir_ + "/" + deep).c_str(), 0755));
    CopyGameFile("image01.png", deep + "/image01.png");
    ASSERT_EQ(0, FileBackendSetDir(deep.c_str()));
    const int graph = LoadImageToGraph("image01.png", 0);
    ASSERT_EQ(0, FileBackendSetDir(dir_.c_str()));
    ASSERT_NE(-1, graph);
    const size_t length = std::strlen(GetGraphRecord(graph)->directory);
    ASSERT_GT(length, 128u);
    ASSERT_LT(length, sizeof GetGraphRecord(graph)->directory);
    const std::vector<uint32_t> pixels = GraphRgb(graph);
    Blank(graph);
    MarkGraphsForRestore();
    EXPECT_EQ(pixels, GraphRgb(graph));
}

// The rebuild after a device loss raises and lowers the log indent in pairs only, so
// what is logged after it keeps its place.
TEST_F(GraphRestoreTest, ADeviceLossLeavesTheLogIndentAsItWas) {
    auto prefixOf = [](const std::string& log, const std::string& line) {
        const size_t at = log.rfind(line + "\r\n");
        const size_t start = log.rfind('\n', at);
        return at == std::string::npos ? std::string("missing") : log.substr(start + 1, at - start - 1);
    };
    IncLogIndent();
    WriteLogText("before the loss\n");
    UnderApiLock(RestoreGraphicsAfterDeviceLoss);
    WriteLogText("after the loss\n");
    DecLogIndent();
    const std::string log = MaskedLog();
    EXPECT_EQ(prefixOf(log, "before the loss"), prefixOf(log, "after the loss"));
}

TEST_F(GraphRestoreTest, AnInstalledHandlerRunsInsteadOfTheDefaultAndNullBringsItBack) {
    const int sheet = LoadImageToGraph("image01.png", 0);
    SetGraphRestoreHandler(CustomHandler);
    g_Opens.clear();
    MarkGraphsForRestore();
    EXPECT_EQ(1, g_CustomRuns);
    EXPECT_EQ(0, g_Opens["image01.png"]);
    EXPECT_EQ(1, GetGraphRecord(sheet)->restoreFlag);
    SetGraphRestoreHandler(nullptr);
    EXPECT_EQ(1, HasGraphRestoreHandler());
    MarkGraphsForRestore();
    EXPECT_EQ(1, g_CustomRuns);
    EXPECT_EQ(1, g_Opens["image01.png"]);
    EXPECT_EQ(0, GetGraphRecord(sheet)->restoreFlag);
}

TEST_F(GraphRestoreTest, ARestoreHandlerSurvivesAScreenModeChange) {
    SetGraphRestoreHandler(CustomHandler);
    ASSERT_EQ(0, SetScreenMode(160, 200, 16, 60));
    MarkGraphsForRestore();
    EXPECT_EQ(1, g_CustomRuns);
    SetGraphRestoreHandler(nullptr);
}

TEST_F(GraphRestoreTest, LostSurfacesAreRestoredWhenTheApplicationComesBack) {
    const int sheet = LoadImageToGraph("image01.png", 0);
    MarkAllSurfacesLost();
    EXPECT_EQ(0, RestoreAllGraphSurfaces());
    EXPECT_EQ(0, RestoreGraphAndMovieSurfaces(sheet));
    EXPECT_EQ(-1, RestoreGraphAndMovieSurfaces(sheet + (1 << 16)));
    EXPECT_EQ(0, DrawGraphAtCore(0, 0, sheet, 1));
}

}  // namespace
