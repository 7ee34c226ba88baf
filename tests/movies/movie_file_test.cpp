// Movie files end to end: files written here, loaded with LoadImageToGraph, played by
// the FFmpeg movie engine and compared pixel for pixel; movies inside archives through
// their temporary copies; and files that are not movies.
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "library/file/file_backend.h"
#include "movie_test_support.h"
#include "support/scratch_directory.h"
#include "tools/archive/archive_writer.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class MovieFileTest : public MovieTest {
protected:
    void StartFfmpeg(Output output = Output::Gdi, DesktopFormat desktop = DesktopFormat::Xrgb8888) {
        StartMovies(output, desktop, false);
        SelectDrawTarget(BackBufferTarget);
    }

    // Draws the graph until it shows frame k; the decoding thread works in real time.
    static bool DrawUntilFrame(int graph, int k) {
        for (int i = 0; i < 2500; i++) {
            DrawGraphAt(20, 30, graph, 0);
            if (GraphRgb(graph) == FrameInGraph(graph, k)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    static bool DrawUntilStopped(int graph) {
        for (int i = 0; i < 2500 && MovieOf(graph)->playing; i++) {
            DrawGraphAt(20, 30, graph, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return MovieOf(graph)->playing == 0;
    }

    // Plays the movie graph from its start, 10 frames per second, checking each frame
    // in the graph and on the back screen, up to the end of the stream.
    void PlayAndCompare(int graph, int frames) {
        RunAllGraphMovieStreams();  // as the window's activation does
        const DWORD start = clockMs_;
        for (int k = 0; k < frames; k++) {
            SetVirtualClockMilliseconds(clockMs_ = start + DWORD(k) * 100 + 1);
            ASSERT_TRUE(DrawUntilFrame(graph, k)) << "frame " << k;
            const GraphRecord* g = GetGraphRecord(graph);
            EXPECT_EQ(QuantizedAll(BackFormat(), FrameInGraph(graph, k)),
                      BackRgb(RECT{20, 30, 20 + g->width, 30 + g->height}))
                << "frame " << k;
        }
        SetVirtualClockMilliseconds(clockMs_ = start + DWORD(frames) * 100 + 1);
        EXPECT_TRUE(DrawUntilStopped(graph));
        EXPECT_EQ(FrameInGraph(graph, frames - 1), GraphRgb(graph));
    }
};

class MovieFileOnEveryScreen : public MovieFileTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(MovieFileOnEveryScreen, ATinyAviPlaysFrameByFrameIntoItsGraph) {
    StartFfmpeg(GetParam().output, GetParam().desktop);
    ASSERT_TRUE(WriteRawAvi(dir_ + "/clip.avi", AviLayout{}));
    const int graph = LoadImageToGraph("clip.avi", 0);
    ASSERT_NE(-1, graph);
    EXPECT_EQ(5, GetGraphRecord(graph)->width);
    EXPECT_EQ(3, GetGraphRecord(graph)->height);
    PlayAndCompare(graph, 4);
    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
    EXPECT_EQ(0, MovieTable.liveCount);
}

INSTANTIATE_TEST_SUITE_P(Screens, MovieFileOnEveryScreen, AllOutputs(), OutputCaseName);

TEST_F(MovieFileTest, ALosslessMatroskaMoviePlaysToo) {
    StartFfmpeg();
    ASSERT_TRUE(WriteFfv1Matroska(dir_ + "/clip.mkv", 6, 4, 3, 10));
    const int graph = LoadImageToGraph("clip.mkv", 0);
    ASSERT_NE(-1, graph);
    PlayAndCompare(graph, 3);
}

// The record holds names of up to 259 bytes: a longer one is opened through a
// temporary copy, whose name fits, and never written past the field.
TEST_F(MovieFileTest, ANameTooLongForTheRecordPlaysThroughATemporaryCopy) {
    StartFfmpeg();
    std::string name;
    for (int i = 0; i < 3; i++) {
        name += std::string(90, char('a' + i)) + "/";
        ASSERT_EQ(0, mkdir((dir_ + "/" + name).c_str(), 0755));
    }
    name += "clip.avi";
    ASSERT_GT(name.size(), size_t(MovieFileNameCapacity));
    ASSERT_TRUE(WriteRawAvi(dir_ + "/" + name, AviLayout{}));
    const int graph = LoadImageToGraph(name.c_str(), 0);
    ASSERT_NE(-1, graph);
    const MovieRecord* m = MovieOf(graph);
    EXPECT_EQ(1, m->tempCopyFlag);
    const std::vector<std::string> temp = TempFiles();
    ASSERT_EQ(1u, temp.size());
    EXPECT_EQ(ScratchDirectory::libraryForm(tempDir_ + "/" + temp[0]), m->fileName);
    PlayAndCompare(graph, 4);
    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(MovieFileTest, ACorruptPngIsRefusedAndNotTakenForAMovie) {
    StartFfmpeg();
    ASSERT_TRUE(WriteBytes(dir_ + "/broken.png", CorruptPngBytes()));
    const int graphs = GraphTable.liveCount;
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("broken.png", 0));
    EXPECT_EQ("#:ファイル:broken.png が開けませんでしたムービーファイルオープン処理時にエラーが発生しました"
              "右記のグラフィックファイルのロードに失敗しました：broken.png \r\n",
              LogSince(mark));
    EXPECT_EQ(graphs, GraphTable.liveCount);
    EXPECT_EQ(0, MovieTable.liveCount);
    EXPECT_TRUE(TempFiles().empty());
}

// ---- Movies inside archives ------------------------------------------------------------

// The file layer's table with its read slot recorded: the size of every read of 64 KB
// or more, one of which can be cut short.
FileBackendTable g_Inner;
std::vector<size_t> g_LargeReads;
int g_ShortenRead = -1;

size_t RecordingRead(void* buffer, size_t elementSize, size_t count, StreamHandle file) {
    size_t got = g_Inner.read(buffer, elementSize, count, file);
    if (elementSize * count >= 0x10000) {
        if (int(g_LargeReads.size()) == g_ShortenRead) got /= 2;
        g_LargeReads.push_back(elementSize * count);
    }
    return got;
}

class ArchivedMovieTest : public MovieFileTest {
protected:
    static constexpr size_t kMovieBytes = 0x280000;  // 2.5 MB

    void SetUp() override {
        MovieFileTest::SetUp();
        StartFfmpeg();
        AviLayout layout;
        layout.fileBytes = kMovieBytes;
        const std::string avi = dir_ + "/clip.avi";
        ASSERT_TRUE(WriteRawAvi(avi, layout));
        movie_ = ReadBytes(avi);
        ASSERT_EQ(kMovieBytes, movie_.size());
        std::remove(avi.c_str());
        std::vector<uint8_t> image;
        std::string error;
        ASSERT_TRUE(BuildArchiveImage({ArchiveWriterItem{"clip.avi", false, movie_}}, ArchiveWriterOptions{}, &image,
                                      &error))
            << error;
        ASSERT_TRUE(WriteBytes(dir_ + "/movies.ZQA", image));

        g_Inner = *GetFileBackendTable();
        FileBackendTable recording = g_Inner;
        recording.read = RecordingRead;
        SetFileBackendTable(&recording);
        g_LargeReads.clear();
        g_ShortenRead = -1;
    }
    void TearDown() override {
        SetFileBackendTable(&g_Inner);
        MovieFileTest::TearDown();
    }

    std::vector<uint8_t> movie_;
};

TEST_F(ArchivedMovieTest, IsCopiedInMegabyteChunksToATemporaryFileThatPlaysAndGoesOnClose) {
    const int graph = LoadImageToGraph("movies\\clip.avi", 0);
    ASSERT_NE(-1, graph);
    EXPECT_EQ((std::vector<size_t>{0x100000, 0x100000, 0x80000}), g_LargeReads);

    const MovieRecord* m = MovieOf(graph);
    EXPECT_EQ(1, m->tempCopyFlag);
    const std::vector<std::string> temp = TempFiles();
    ASSERT_EQ(1u, temp.size());
    EXPECT_EQ(ScratchDirectory::libraryForm(tempDir_ + "/" + temp[0]), m->fileName);
    EXPECT_EQ(movie_, ReadBytes(tempDir_ + "/" + temp[0]));

    PlayAndCompare(graph, 4);

    // Around a device loss the copy is opened again, not copied again.
    ReleaseAllMovieObjects();
    g_LargeReads.clear();
    EXPECT_EQ(0, ReopenAllMovies());
    EXPECT_TRUE(g_LargeReads.empty());
    EXPECT_EQ(temp, TempFiles());

    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(ArchivedMovieTest, ATruncatedCopyFailsAndLeavesNoFileBehind) {
    g_ShortenRead = 1;
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("movies\\clip.avi", 0));
    EXPECT_EQ(2u, g_LargeReads.size());  // the copy stopped at the short chunk
    EXPECT_EQ("#:ファイル:movies\\clip.avi が開けませんでしたムービーファイルオープン処理時にエラーが発生しました"
              "右記のグラフィックファイルのロードに失敗しました：movies\\clip.avi \r\n",
              LogSince(mark));
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(0, MovieTable.liveCount);
}

TEST_F(ArchivedMovieTest, AFailureAfterTheCopyRemovesTheCopy) {
    for (MovieCall call : {MovieCall::GetMediaStream, MovieCall::CreateSampleSurface, MovieCall::GetSurface}) {
        ClearMovieCallFailures();
        FailMovieCall(call, E_FAIL);
        EXPECT_EQ(-1, LoadImageToGraph("movies\\clip.avi", 0));
        EXPECT_TRUE(TempFiles().empty());
    }
    EXPECT_EQ(0, MovieTable.liveCount);
}

}  // namespace
