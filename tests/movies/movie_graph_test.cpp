// Movies in graphs through the fake movie engine: opening into a graph, the movie
// table, the pacing of frame fetches, pending updates, the end of the stream, run and
// pause with the window's activation, release and re-opening, and failed openings.
#include "movie_test_support.h"
#include "support/api_lock.h"

namespace {

class MovieGraphTest : public MovieTest {
protected:
    void SetUp() override {
        MovieTest::SetUp();
        StartMovies();
        SelectDrawTarget(BackBufferTarget);
    }

    int LoadMovie(const std::string& name, int frames, int width = 4, int height = 3) {
        AddMovie(name, frames, width, height);
        return LoadImageToGraph(name.c_str(), 0);
    }
    int LoadPlaying(const std::string& name, int frames) {
        const int graph = LoadMovie(name, frames);
        EXPECT_NE(-1, graph);
        EXPECT_EQ(0, RunGraphMovieStream(graph));
        return graph;
    }
    static STREAM_TIME StreamTime(int graph) {
        STREAM_TIME time = -1;
        MultiMediaStreamGetTime(MovieOf(graph)->stream, &time);
        return time;
    }
    static bool StreamRunning(int graph) {
        STREAM_STATE state = STREAMSTATE_STOP;
        MultiMediaStreamGetState(MovieOf(graph)->stream, &state);
        return state == STREAMSTATE_RUN;
    }
    // Presenting may wait on the clock; the clock is put back where the test had it.
    void Present() {
        PresentScreen();
        SetVirtualClockMilliseconds(clockMs_);
    }
    // Draws the graph twice: the first draw of a movie with no update pending only asks
    // for the frame (the layer reports every asynchronous update pending), the second
    // takes it when it is ready and the pacing allows.
    static void Show(int graph, int x = 0, int y = 0) {
        DrawGraphAt(x, y, graph, 0);
        DrawGraphAt(x, y, graph, 0);
    }
    void Activate(bool active) {
        UnderApiLock([&] { return SendMessageA(MainWindow(), WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0); });
    }
};

TEST_F(MovieGraphTest, AFileNoDecoderTakesOpensAsAMovieInAGraphOfItsFrameSize) {
    AddMovie("clip.avi", 3, 4, 3);
    const size_t mark = MaskedLog().size();
    const int memImgOption = GetGraphMemImgFlag();
    const int graph = LoadImageToGraph("clip.avi", 0);
    ASSERT_NE(-1, graph);
    EXPECT_EQ("", LogSince(mark));
    // The options forced for the movie's graph are put back as the user left them: the
    // use-hardware-3D option stays on although hardware drawing is not usable here.
    EXPECT_EQ(0, IsHardware3DDrawUsable());
    EXPECT_EQ(1, g_DrawState.useHardware3D);
    EXPECT_EQ(0, GetGraphCreateBitDepth());
    EXPECT_EQ(memImgOption, GetGraphMemImgFlag());

    const GraphRecord* g = GetGraphRecord(graph);
    EXPECT_EQ(4, g->width);
    EXPECT_EQ(3, g->height);
    EXPECT_EQ(1, g->movieOwner);
    EXPECT_EQ(0x18000000, g->movieHandle);  // slot 0, check number 0
    const MovieRecord* m = MovieOf(graph);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(MovieModeFrameCopy, m->mode);
    EXPECT_EQ(0, m->playing);
    EXPECT_EQ(0, m->updatePending);
    EXPECT_EQ(-1, m->lastFrameTime);
    EXPECT_EQ(-1, m->lastFramePresentCount);
    EXPECT_EQ(kFrameTime, m->timePerFrame);
    EXPECT_EQ(3 * kFrameTime, m->stopPosition);
    EXPECT_EQ(1, m->sampleInSystemMemory);
    EXPECT_EQ(0, m->tempCopyFlag);
    EXPECT_STREQ("clip.avi", m->fileName);
    // Frames come in the software screen's format, rows padded to 4 bytes.
    EXPECT_EQ(1, IsSameColorFormat(&m->frameFormat, BackFormat()));
    EXPECT_EQ(4, m->frameBufferWidth);
    EXPECT_EQ(8, m->frameBufferPitch);
    EXPECT_EQ(1, LiveFakeMovies());

    // Nothing is fetched before the movie plays.
    EXPECT_EQ(0, DrawGraphAt(0, 0, graph, 0));
    EXPECT_EQ(0, GetFakeMovieCounters().updates);
    EXPECT_EQ(0, RunGraphMovieStream(graph));
    EXPECT_EQ(1, MovieOf(graph)->playing);
    EXPECT_EQ(0, DrawGraphAt(10, 20, graph, 0));
    EXPECT_EQ(0, DrawGraphAt(10, 20, graph, 0));
    EXPECT_EQ(FrameInGraph(graph, 0), GraphRgb(graph));
    EXPECT_EQ(QuantizedAll(BackFormat(), FrameInGraph(graph, 0)), BackRgb(RECT{10, 20, 14, 23}));

    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
    EXPECT_EQ(0, LiveFakeMovies());
    EXPECT_EQ(0, MovieTable.liveCount);
}

TEST_F(MovieGraphTest, TheHundredAndFirstMovieIsRefusedWithoutALogLine) {
    AddMovie("dot.avi", 1, 1, 1);
    std::vector<int> graphs;
    for (int i = 0; i < MovieCapacity; i++) {
        graphs.push_back(LoadImageToGraph("dot.avi", 0));
        ASSERT_NE(-1, graphs.back());
    }
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, OpenMovieToGraph("dot.avi", nullptr, nullptr, 0));
    EXPECT_EQ("", LogSince(mark));
    EXPECT_EQ(MovieCapacity, LiveFakeMovies());

    // A freed slot is the first one taken again, with the next check number.
    ASSERT_EQ(0, DeleteGraphHandle(graphs[37], 0));
    const int again = LoadImageToGraph("dot.avi", 0);
    ASSERT_NE(-1, again);
    EXPECT_EQ(37, HandleSlot(GetGraphRecord(again)->movieHandle));
    EXPECT_EQ(MovieCapacity, HandleCheck(GetGraphRecord(again)->movieHandle));
}

// Frames of 10 ms: a frame is due at every step, but one is taken only after a present
// or once 18 ms have passed since the last.
TEST_F(MovieGraphTest, AFrameIsTakenOncePerPresentUnlessEighteenMillisecondsPassed) {
    WriteFile("fast.avi", "not an image");
    std::vector<std::vector<uint32_t>> frames;
    for (int k = 0; k < 8; k++) frames.push_back(FrameColours(k, 4, 3));
    AddFakeMovieFile("fast.avi", 4, 3, kFrameTime / 10, frames);
    const int graph = LoadImageToGraph("fast.avi", 0);
    ASSERT_NE(-1, graph);
    RunGraphMovieStream(graph);

    Show(graph);  // frame 0, and the request for frame 1 at once
    EXPECT_EQ(FrameInGraph(graph, 0), GraphRgb(graph));
    EXPECT_EQ(1, GetFakeMovieCounters().framesDelivered);
    EXPECT_EQ(1, MovieOf(graph)->updatePending);
    Advance(10);
    DrawGraphAt(0, 0, graph, 0);  // frame 1 is ready, but within one present and 18 ms
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameInGraph(graph, 0), GraphRgb(graph));
    EXPECT_EQ(2, GetFakeMovieCounters().updates);

    Present();
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameInGraph(graph, 1), GraphRgb(graph));
    EXPECT_EQ(3, GetFakeMovieCounters().updates);

    Advance(17);  // frame 2 is due; still no present, 17 ms
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameInGraph(graph, 1), GraphRgb(graph));
    Advance(1);
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameInGraph(graph, 2), GraphRgb(graph));
    EXPECT_EQ(4, GetFakeMovieCounters().updates);
}

TEST_F(MovieGraphTest, APendingUpdateIsPolledThenTakenAndTheNextRequestedAtOnce) {
    const int graph = LoadPlaying("clip.avi", 5);
    HoldFakeMovieUpdates(true);
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(1, MovieOf(graph)->updatePending);
    EXPECT_EQ(0, GetFakeMovieCounters().framesDelivered);

    Advance(100);
    Present();
    DrawGraphAt(0, 0, graph, 0);  // the event is not set: nothing taken, nothing asked
    EXPECT_EQ(1, GetFakeMovieCounters().updates);
    EXPECT_EQ(1, MovieOf(graph)->updatePending);

    HoldFakeMovieUpdates(false);  // the decoder finishes: frame 1 is the one due now
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(FrameInGraph(graph, 1), GraphRgb(graph));
    EXPECT_EQ(2, GetFakeMovieCounters().updates);
    EXPECT_EQ(1, MovieOf(graph)->updatePending);  // frame 2 is not due yet
    EXPECT_EQ(int64_t(GetPresentCount()), MovieOf(graph)->lastFramePresentCount);
    EXPECT_EQ(int(clockMs_), MovieOf(graph)->lastFrameTime);
}

TEST_F(MovieGraphTest, TheEndOfTheStreamStopsPlayingAndKeepsTheLastFrame) {
    const int graph = LoadPlaying("clip.avi", 3);
    for (int k = 0; k < 3; k++) {
        Show(graph);
        EXPECT_EQ(FrameInGraph(graph, k), GraphRgb(graph)) << "frame " << k;
        Advance(100);
        Present();
    }
    EXPECT_EQ(0, MovieOf(graph)->playing);
    const int updates = GetFakeMovieCounters().updates;
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(updates, GetFakeMovieCounters().updates);
    EXPECT_EQ(FrameInGraph(graph, 2), GraphRgb(graph));
}

TEST_F(MovieGraphTest, ASynchronousUpdateTakesTheNextFrameAtOnce) {
    const int graph = LoadPlaying("clip.avi", 4);
    EXPECT_EQ(0, UpdateMovieFrame(graph, 1));
    EXPECT_EQ(FrameInGraph(graph, 0), GraphRgb(graph));
    EXPECT_EQ(0, UpdateMovieFrame(graph, 1));  // no present, no time: the next frame all the same
    EXPECT_EQ(FrameInGraph(graph, 1), GraphRgb(graph));
    EXPECT_EQ(0, MovieOf(graph)->updatePending);
}

TEST_F(MovieGraphTest, HandlesAreCheckedAndAGraphWithoutAMovieIsLeftAlone) {
    const int plain = LoadImageToGraph("bakuhatu6.bmp", 0);
    ASSERT_NE(-1, plain);
    for (auto call : {+[](int g) { return UpdateMovieFrame(g, 0); }, RunGraphMovieStream, PauseGraphMovieStream,
                      CloseMovieHandle}) {
        EXPECT_EQ(0, call(plain));
        EXPECT_EQ(-1, call(-1));
        EXPECT_EQ(-1, call(plain + 1));
    }
    const int graph = LoadMovie("clip.avi", 2);
    const int movie = GetGraphRecord(graph)->movieHandle;
    EXPECT_EQ(nullptr, GetMovieRecord(movie + (1 << 16)));  // another check number
    EXPECT_EQ(nullptr, GetMovieRecord(movie & ~HandleKindMask));
    GetGraphRecord(plain)->movieHandle = movie + (1 << 16);  // a stale movie handle
    EXPECT_EQ(-1, UpdateMovieFrame(plain, 0));
    EXPECT_EQ(-1, RunGraphMovieStream(plain));
    GetGraphRecord(plain)->movieHandle = -1;
}

// A graph derived from a movie graph shows its rectangle of the movie; the frames go
// into the owner's storage, and only the owner closes the movie.
TEST_F(MovieGraphTest, ADerivedGraphShowsTheMovieAndOnlyTheOwnerClosesIt) {
    const int graph = LoadPlaying("clip.avi", 3);
    const int part = DeriveSubGraph(1, 1, 2, 2, graph);
    ASSERT_NE(-1, part);
    EXPECT_EQ(GetGraphRecord(graph)->movieHandle, GetGraphRecord(part)->movieHandle);
    Show(part);
    EXPECT_EQ(FrameInGraph(graph, 0), GraphRgb(graph));  // the whole frame, in the shared pixels
    const std::vector<uint32_t> frame = FrameInGraph(graph, 0);
    EXPECT_EQ((std::vector<uint32_t>{frame[5], frame[6], frame[9], frame[10]}), GraphRgb(part));
    EXPECT_EQ(0, DeleteGraphHandle(part, 0));
    EXPECT_EQ(1, LiveFakeMovies());
    EXPECT_EQ(0, DeleteGraphHandle(graph, 0));
    EXPECT_EQ(0, LiveFakeMovies());
}

TEST_F(MovieGraphTest, TheWindowsActivationRunsAndPausesEveryMovie) {
    const int a = LoadMovie("a.avi", 10);
    const int b = LoadMovie("b.avi", 10);
    const int part = DeriveSubGraph(0, 0, 2, 2, a);  // the same movie once more
    Activate(true);
    EXPECT_EQ(1, MovieOf(a)->playing);
    EXPECT_EQ(1, MovieOf(b)->playing);
    EXPECT_EQ(2, GetFakeMovieCounters().runs);
    Advance(250);
    EXPECT_EQ(STREAM_TIME(2500000), StreamTime(a));

    Activate(false);
    EXPECT_EQ(0, MovieOf(a)->playing);
    EXPECT_EQ(0, MovieOf(b)->playing);
    EXPECT_EQ(2, GetFakeMovieCounters().pauses);
    Advance(1000);
    EXPECT_EQ(STREAM_TIME(2500000), StreamTime(b));  // paused streams keep their time

    Activate(true);
    EXPECT_TRUE(StreamRunning(a) && StreamRunning(b));
    Advance(100);
    EXPECT_EQ(STREAM_TIME(3500000), StreamTime(a));
    EXPECT_NE(-1, part);
}

TEST_F(MovieGraphTest, EveryMovieComesBackAtItsTimeAfterAReleaseWithoutLeaks) {
    const int a = LoadPlaying("a.avi", 10);
    const int b = LoadPlaying("b.avi", 10);
    const int c = LoadMovie("c.avi", 10);  // never played
    DrawGraphAt(0, 0, a, 0);
    Advance(230);
    PauseGraphMovieStream(b);
    Advance(100);
    const STREAM_TIME times[3] = {StreamTime(a), StreamTime(b), StreamTime(c)};
    EXPECT_EQ((std::vector<STREAM_TIME>{3300000, 2300000, 0}), std::vector<STREAM_TIME>(times, times + 3));
    const int blocks = GetTrackedBlockCount();

    EXPECT_EQ(0, ReleaseAllMovieObjects());
    EXPECT_EQ(0, LiveFakeMovies());
    for (int graph : {a, b, c}) {
        const MovieRecord* m = MovieOf(graph);
        EXPECT_EQ(nullptr, m->stream);
        EXPECT_EQ(nullptr, m->sampleSurface);
        EXPECT_EQ(0, UpdateMovieFrame(graph, 0));  // nothing to update meanwhile
    }
    EXPECT_EQ(times[1], MovieOf(b)->savedTime);

    ResetFakeMovieCounters();
    EXPECT_EQ(0, ReopenAllMovies());
    EXPECT_EQ(3, GetFakeMovieCounters().opens);
    EXPECT_EQ(std::vector<STREAM_TIME>(times, times + 3), GetFakeMovieCounters().seeks);
    EXPECT_TRUE(StreamRunning(a));
    EXPECT_FALSE(StreamRunning(b));
    EXPECT_FALSE(StreamRunning(c));
    EXPECT_EQ(blocks, GetTrackedBlockCount());  // the frame buffers were replaced, not added

    Show(a);
    EXPECT_EQ(FrameInGraph(a, 3), GraphRgb(a));  // the frame due at its saved time
}

TEST_F(MovieGraphTest, AMovieThatCannotBeReopenedStaysStoppedAndTheOthersReopen) {
    const int a = LoadPlaying("a.avi", 10);
    const int b = LoadPlaying("b.avi", 10);
    const int c = LoadPlaying("c.avi", 10);
    ReleaseAllMovieObjects();
    ClearFakeMovieFiles();
    AddMovie("a.avi", 10);
    AddMovie("c.avi", 10);
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, ReopenAllMovies());
    EXPECT_EQ("#:ファイル:b.avi が開けませんでした", LogSince(mark));
    EXPECT_TRUE(StreamRunning(a));
    EXPECT_TRUE(StreamRunning(c));
    EXPECT_EQ(0, MovieOf(b)->playing);
    EXPECT_EQ(nullptr, MovieOf(b)->frameBuffer);
    EXPECT_EQ(0, MovieOf(b)->tempCopyFlag);
    EXPECT_TRUE(TempFiles().empty());  // the copy tried for it is gone again
    EXPECT_EQ(0, DeleteGraphHandle(b, 0));
    EXPECT_EQ(2, LiveFakeMovies());
}

// A change of the desktop's mode in a window: the movies are released, the graphics
// restored, and the movies open and play again.
TEST_F(MovieGraphTest, ADisplayChangeReopensAndRunsTheMovies) {
    const int graph = LoadPlaying("clip.avi", 10);
    Advance(300);
    UnderApiLock([] { return SendMessageA(MainWindow(), WM_DISPLAYCHANGE, 16, (768 << 16) | 1024); });
    EXPECT_EQ(1, GetFakeMovieCounters().closes);
    EXPECT_EQ(2, GetFakeMovieCounters().opens);
    EXPECT_EQ(std::vector<STREAM_TIME>{3000000}, GetFakeMovieCounters().seeks);
    EXPECT_TRUE(StreamRunning(graph));
    Show(graph);
    EXPECT_EQ(FrameInGraph(graph, 3), GraphRgb(graph));
}

TEST_F(MovieGraphTest, EveryFailedOpeningStepLogsItsTextAndLeavesNothing) {
    AddMovie("clip.avi", 2);
    struct Case {
        MovieCall call;
        const char* text;
    };
    const Case cases[] = {
        {MovieCall::CreateFilterGraph, "CLSID_FilterGraph の作成に失敗しました"},
        {MovieCall::CreateMultiMediaStream, "IAMMultimediaインターフェイスを取得できませんでした！"},
        {MovieCall::Initialize, "ストリームを読み取り用にセットアップできませんでした！"},
        {MovieCall::AddVideoStream, "プライマリビデオストリームを追加できませんでした！"},
        {MovieCall::AddAudioStream, "デフォルトサウンドレンダラを追加できませんでした！\r\n#:"},
        {MovieCall::OpenFile, "ファイル:clip.avi が開けませんでした"},
        {MovieCall::GetMediaStream, "プライマリビデオストリームインターフェイスを取得できませんでした！"},
        {MovieCall::GetFormat, "動画ファイルではない可能性があります！"},
        {MovieCall::CreateSampleSurface, "DirectDrawSurface オブジェクトの作成に失敗しました"},
        {MovieCall::CreateSample, "ストリームサンプルを作成できませんでした！"},
        {MovieCall::GetSurface, "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！"},
    };
    const int blocks = GetTrackedBlockCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ClearMovieCallFailures();
        FailMovieCall(c.call, c.call == MovieCall::CreateFilterGraph ? REGDB_E_CLASSNOTREG : E_FAIL);
        const size_t mark = MaskedLog().size();
        EXPECT_EQ(-1, LoadImageToGraph("clip.avi", 0));
        EXPECT_EQ(std::string("#:") + c.text + "ムービーファイルオープン処理時にエラーが発生しました" +
                      "右記のグラフィックファイルのロードに失敗しました：clip.avi \r\n",
                  LogSince(mark));
        EXPECT_EQ(0, MovieTable.liveCount);
        EXPECT_EQ(0, LiveFakeMovies());
        EXPECT_EQ(blocks, GetTrackedBlockCount());
        EXPECT_TRUE(TempFiles().empty());
    }
}

// A movie the stream layer refuses (no usable video stream) is not a movie.
TEST_F(MovieGraphTest, AFileWithoutAVideoStreamIsRefused) {
    WriteFile("empty.avi", "no video in here");
    AddFakeMovieFile("empty.avi", 0, 0, kFrameTime, {});
    const size_t mark = MaskedLog().size();
    EXPECT_EQ(-1, LoadImageToGraph("empty.avi", 0));
    EXPECT_EQ("#:ファイル:empty.avi が開けませんでしたムービーファイルオープン処理時にエラーが発生しました"
              "右記のグラフィックファイルのロードに失敗しました：empty.avi \r\n",
              LogSince(mark));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(MovieGraphTest, TheAlphaOptionReportsHalfTheFrameWidth) {
    AddMovie("pair.avi", 1, 8, 2);
    MovieAlphaOption = 1;
    int width = 0, height = 0;
    const int movie = OpenMovieToGraph("pair.avi", &width, &height, 0);
    MovieAlphaOption = 0;
    ASSERT_NE(-1, movie);
    EXPECT_EQ(4, width);
    EXPECT_EQ(2, height);
    EXPECT_EQ(1, GetMovieRecord(movie)->alphaMovieFlag);
    EXPECT_EQ(8, GetMovieRecord(movie)->frameBufferWidth);
    // Owned by a graph from here on, so that closing the graph closes it.
    const int graph = CreateGraphOfSize(width, height, 0, 1, 0);
    GetGraphRecord(graph)->movieHandle = movie;
    GetGraphRecord(graph)->movieOwner = 1;
}

// Every screen: 16 and 32 bits, GDI and DirectDraw output. An overlay request takes the
// 24-bit frame copy where the screen has 16 bits, and the screen's format at 32.
class MovieOnEveryScreen : public MovieTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void SetUp() override {
        MovieTest::SetUp();
        StartMovies(GetParam().output, GetParam().desktop);
        SelectDrawTarget(BackBufferTarget);
    }
};

TEST_P(MovieOnEveryScreen, FramesReachTheGraphAndTheScreenInEveryMode) {
    int bits = 0;
    GetScreenSizeAndDepth(nullptr, nullptr, &bits);
    AddMovie("clip.avi", 3, 5, 4);
    for (int mode : {MovieModeFrameCopy, MovieModeOverlay, MovieModeFrameCopy24}) {
        SCOPED_TRACE(mode);
        int width = 0, height = 0;
        const int movie = OpenMovieToGraph("clip.avi", &width, &height, mode);
        ASSERT_NE(-1, movie);
        const int expectedMode = mode != MovieModeFrameCopy && bits == 16 ? MovieModeFrameCopy24 : MovieModeFrameCopy;
        EXPECT_EQ(expectedMode, GetMovieRecord(movie)->mode);
        EXPECT_EQ(expectedMode == MovieModeFrameCopy24 ? 24 : bits, GetMovieRecord(movie)->frameFormat.bitsPerPixel);
        const int graph = CreateGraphOfSize(width, height, 0, 0, 0);
        ASSERT_NE(-1, graph);
        GetGraphRecord(graph)->movieHandle = movie;
        GetGraphRecord(graph)->movieOwner = 1;
        RunGraphMovieStream(graph);
        for (int k = 0; k < 2; k++) {
            DrawGraphAt(30, 40, graph, 0);
            DrawGraphAt(30, 40, graph, 0);
            EXPECT_EQ(FrameInGraph(graph, k), GraphRgb(graph)) << "frame " << k;
            EXPECT_EQ(QuantizedAll(BackFormat(), FrameInGraph(graph, k)), BackRgb(RECT{30, 40, 35, 44}));
            Advance(100);
        }
        DeleteGraphHandle(graph, 0);
    }
    EXPECT_EQ(0, LiveFakeMovies());
}

INSTANTIATE_TEST_SUITE_P(Screens, MovieOnEveryScreen, AllOutputs(), OutputCaseName);

}  // namespace
