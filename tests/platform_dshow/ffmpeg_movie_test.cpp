// Movies decoded by FFmpeg: files written here, read back frame by frame, pixels compared
// exactly. The streams run on the test clock, so which frame is due is fixed.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "support/movie_files.h"
#include "support/scratch_directory.h"
#include "movie_session.h"
#include "platform/testing.h"

namespace {

constexpr STREAM_TIME kFrame = 1000000;   // 10 frames per second in 100 ns units
const DDPIXELFORMAT kXrgb = PixelFormat(32, 0xFF0000, 0xFF00, 0xFF);

class FfmpegMovie : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMovieSeams();
        InstallVirtualClock(0, 0);
        ASSERT_FALSE(dir.path().empty());
        avi = dir / "clip.avi";
        ASSERT_TRUE(WriteRawAvi(avi, AviLayout{}));
    }
    void TearDown() override {
        RemoveVirtualClock();
        ResetMovieSeams();
    }

    // Moves the clock 1 ms into frame k and takes the next frame.
    HRESULT FrameAt(MovieSession& m, int k) {
        SetVirtualClockMilliseconds(k * 100 + 1);
        return m.NextFrame();
    }

    ScratchDirectory dir{"zq_dshow"};
    std::string avi;
};

TEST_F(FfmpegMovie, ReportsSizeTimePerFrameAndStopPosition) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str()));
    EXPECT_EQ(5, m.width);
    EXPECT_EQ(3, m.height);
    STREAM_TIME perFrame = 0;
    EXPECT_EQ(S_OK, MediaStreamGetTimePerFrame(m.video, &perFrame));
    EXPECT_EQ(kFrame, perFrame);
    LONGLONG stop = 0;
    EXPECT_EQ(S_OK, FilterGraphGetStopPosition(m.graph, &stop));
    EXPECT_EQ(4 * kFrame, stop);
    STREAM_STATE state = STREAMSTATE_RUN;
    EXPECT_EQ(S_OK, MultiMediaStreamGetState(m.stream, &state));
    EXPECT_EQ(STREAMSTATE_STOP, state);
    SampleSurfaceDesc desc{};
    EXPECT_EQ(S_OK, SampleSurfaceGetDesc(m.surface, &desc));
    EXPECT_TRUE(desc.inSystemMemory);
    EXPECT_EQ(32u, desc.format.dwRGBBitCount);
}

// Every frame in order, in the pixel formats a screen or a 24-bit sample surface has,
// then the end of the stream.
TEST_F(FfmpegMovie, DeliversEveryFrameExactlyInEachPixelFormat) {
    const DDPIXELFORMAT formats[] = {
        kXrgb,
        PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u),
        PixelFormat(24, 0xFF0000, 0xFF00, 0xFF),
        PixelFormat(16, 0xF800, 0x07E0, 0x001F),
        PixelFormat(16, 0x7C00, 0x03E0, 0x001F),
        PixelFormat(32, 0xFF, 0xFF00, 0xFF0000),
    };
    for (const DDPIXELFORMAT& f : formats) {
        SCOPED_TRACE(::testing::Message() << f.dwRGBBitCount << " bits, red mask " << std::hex << f.dwRBitMask);
        SetVirtualClockMilliseconds(0);
        MovieSession m;
        ASSERT_EQ(S_OK, m.Open(avi.c_str(), &f));
        ASSERT_EQ(S_OK, m.Run());
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(S_OK, FrameAt(m, k)) << "frame " << k;
            EXPECT_EQ(ExpectedFrame(k, 5, 3, f), m.Pixels()) << "frame " << k;
        }
        SetVirtualClockMilliseconds(1000);
        EXPECT_EQ(MS_S_ENDOFSTREAM, m.NextFrame());
        EXPECT_EQ(MS_S_ENDOFSTREAM, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    }
}

// A palette surface takes every decoded pixel as the index of its nearest entry: with
// the movie's own colours as the palette (frame by frame, row by row), each pixel finds
// its own colour's entry.
TEST_F(FfmpegMovie, APaletteSurfaceTakesTheNearestEntryOfEachDecodedColour) {
    const DDPIXELFORMAT palette8{sizeof(DDPIXELFORMAT), DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0};
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &palette8));
    PALETTEENTRY entries[256] = {};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 15; ++i) {
            const uint32_t c = FramePixel(k, i % 5, i / 5);
            entries[k * 15 + i] = PALETTEENTRY{BYTE(c >> 16), BYTE(c >> 8), BYTE(c), 0};
        }
    ASSERT_EQ(S_OK, SampleSurfaceSetPalette(m.surface, entries));
    ASSERT_EQ(S_OK, m.Run());
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(S_OK, FrameAt(m, k)) << "frame " << k;
        std::vector<uint32_t> expected;
        for (int i = 0; i < 15; ++i) expected.push_back(uint32_t(k * 15 + i));
        EXPECT_EQ(expected, m.Pixels()) << "frame " << k;
    }
}

TEST_F(FfmpegMovie, AnUpdateWaitsForItsFrameTimeAndLateFramesAreSkipped) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, FrameAt(m, 0));
    // Frame 1 is not due yet: the update stays pending however long the decoder has.
    ASSERT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m.event, 0));
    EXPECT_EQ(MS_E_BUSY, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    // The clock jumps past frame 2: frame 1 is dropped and frame 2 is the one shown.
    SetVirtualClockMilliseconds(201);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.event, 5000));
    EXPECT_EQ(S_OK, StreamSampleCompletionStatus(m.sample));
    EXPECT_EQ(ExpectedFrame(2, 5, 3, kXrgb), m.Pixels());
}

TEST_F(FfmpegMovie, SynchronousUpdateReturnsTheDueFrame) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    EXPECT_EQ(MS_E_NOTRUNNING, StreamSampleUpdate(m.sample, 0, nullptr));
    ASSERT_EQ(S_OK, m.Run());
    SetVirtualClockMilliseconds(101);
    ASSERT_EQ(S_OK, StreamSampleUpdate(m.sample, 0, nullptr));
    EXPECT_EQ(ExpectedFrame(1, 5, 3, kXrgb), m.Pixels());
}

TEST_F(FfmpegMovie, PauseFreezesTheStreamTime) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    EXPECT_EQ(0, m.Time());
    SetVirtualClockMilliseconds(500);   // a stopped stream does not move
    EXPECT_EQ(0, m.Time());
    ASSERT_EQ(S_OK, m.Run());
    SetVirtualClockMilliseconds(650);
    EXPECT_EQ(1500000, m.Time());
    ASSERT_EQ(S_OK, FilterGraphPause(m.graph));
    STREAM_STATE state = STREAMSTATE_RUN;
    MultiMediaStreamGetState(m.stream, &state);
    EXPECT_EQ(STREAMSTATE_STOP, state);
    SetVirtualClockMilliseconds(2000);
    EXPECT_EQ(1500000, m.Time());
    EXPECT_EQ(MS_E_NOTRUNNING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    ASSERT_EQ(S_OK, m.Run());
    SetVirtualClockMilliseconds(2100);
    EXPECT_EQ(2500000, m.Time());
    ASSERT_EQ(S_OK, m.NextFrame());
    EXPECT_EQ(ExpectedFrame(2, 5, 3, kXrgb), m.Pixels());
}

TEST_F(FfmpegMovie, SeekShowsTheFrameDueAtTheNewTime) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, FrameAt(m, 3));
    EXPECT_EQ(ExpectedFrame(3, 5, 3, kXrgb), m.Pixels());
    // Back to the middle of frame 1, then forward again past the end.
    ASSERT_EQ(S_OK, MultiMediaStreamSeek(m.stream, 15 * kFrame / 10));
    EXPECT_EQ(1500000, m.Time());
    ASSERT_EQ(S_OK, m.NextFrame());
    EXPECT_EQ(ExpectedFrame(1, 5, 3, kXrgb), m.Pixels());
    ASSERT_EQ(S_OK, MultiMediaStreamSeek(m.stream, 0));
    ASSERT_EQ(S_OK, m.NextFrame());
    EXPECT_EQ(ExpectedFrame(0, 5, 3, kXrgb), m.Pixels());
    ASSERT_EQ(S_OK, MultiMediaStreamSeek(m.stream, 50 * kFrame));
    EXPECT_EQ(MS_S_ENDOFSTREAM, m.NextFrame());
}

// A device loss: the stream time is saved, everything released, the movie opened
// again and set to the saved time and running state.
TEST_F(FfmpegMovie, ReleaseAndReopenAtTheSavedTime) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, FrameAt(m, 1));
    SetVirtualClockMilliseconds(205);
    const STREAM_TIME saved = m.Time();
    EXPECT_EQ(2 * kFrame + 50000, saved);
    m.Release();

    SetVirtualClockMilliseconds(9000);   // time passes while the device is lost
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    ASSERT_EQ(S_OK, MultiMediaStreamSeek(m.stream, saved));
    ASSERT_EQ(S_OK, m.Run());
    EXPECT_EQ(saved, m.Time());
    ASSERT_EQ(S_OK, m.NextFrame());
    EXPECT_EQ(ExpectedFrame(2, 5, 3, kXrgb), m.Pixels());
}

TEST_F(FfmpegMovie, MatroskaWithLosslessFramesPlays) {
    const std::string mkv = dir / "clip.mkv";
    ASSERT_TRUE(WriteFfv1Matroska(mkv, 6, 4, 3, 10));
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(mkv.c_str(), &kXrgb));
    EXPECT_EQ(6, m.width);
    EXPECT_EQ(4, m.height);
    ASSERT_EQ(S_OK, m.Run());
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(S_OK, FrameAt(m, k));
        EXPECT_EQ(ExpectedFrame(k, 6, 4, kXrgb), m.Pixels()) << "frame " << k;
    }
}

// Files that are not movies fail to open, and the stream can try another file.
TEST_F(FfmpegMovie, RefusesFilesThatAreNotMovies) {
    AviLayout zeroWidth;
    zeroWidth.storedWidth = 0;
    AviLayout huge;   // 15000 x 15000 claimed: 675 MB a frame, never allocated
    huge.storedWidth = 15000;
    huge.storedHeight = 15000;
    ASSERT_TRUE(WriteRawAvi(dir / "zero.avi", zeroWidth));
    ASSERT_TRUE(WriteRawAvi(dir / "huge.avi", huge));
    ASSERT_TRUE(WriteBytes(dir / "corrupt.png", CorruptPngBytes()));
    ASSERT_TRUE(WriteBytes(dir / "random.bin", RandomBytes(64 * 1024, 1)));
    ASSERT_TRUE(WriteBytes(dir / "empty.avi", {}));
    const std::string text = "just some text, not a movie\n";
    ASSERT_TRUE(WriteBytes(dir / "notes.txt", std::vector<uint8_t>(text.begin(), text.end())));
    struct Case {
        std::string name;
        HRESULT result;
    } cases[] = {
        {dir / "corrupt.png", VFW_E_UNKNOWN_FILE_TYPE},
        {dir / "random.bin", VFW_E_UNKNOWN_FILE_TYPE},
        {dir / "empty.avi", VFW_E_UNKNOWN_FILE_TYPE},
        {dir / "notes.txt", VFW_E_UNKNOWN_FILE_TYPE},
        {dir / "zero.avi", VFW_E_UNSUPPORTED_STREAM},
        {dir / "huge.avi", VFW_E_UNSUPPORTED_STREAM},
        {dir / "missing.avi", MOVIE_E_FILE_NOT_FOUND},
        {dir.path(), MOVIE_E_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        MovieSession m;
        EXPECT_EQ(c.result, m.Open(c.name.c_str())) << c.name;
        EXPECT_EQ(MS_E_NOTINIT, MultiMediaStreamSeek(m.stream, 0)) << c.name;
        EXPECT_EQ(S_OK, MultiMediaStreamOpenFile(m.stream, avi.c_str(), 0)) << c.name;
    }
}

// The library's names: '\' separators, the drive C: as the root, any case, Shift-JIS.
TEST_F(FfmpegMovie, OpensFilesByTheLibrarysNames) {
    ASSERT_EQ(0, mkdir((dir / "Movies").c_str(), 0755));
    ASSERT_TRUE(WriteRawAvi(dir / "Movies/Intro.avi", AviLayout{}));
    // "表示.avi" on disk in UTF-8; the library names it in Shift-JIS, whose first
    // character ends in the byte 0x5C ('\').
    ASSERT_TRUE(WriteRawAvi(dir / "\xE8\xA1\xA8\xE7\xA4\xBA.avi", AviLayout{}));
    std::string windows = "C:" + dir.path() + "\\MOVIES\\intro.AVI";
    for (char& c : windows)
        if (c == '/') c = '\\';
    const std::string shiftJis = dir.path() + "/" + "表示.avi";
    ASSERT_EQ('\x5C', shiftJis[dir.path().size() + 2]);
    for (const std::string& name : {windows, shiftJis}) {
        MovieSession m;
        EXPECT_EQ(S_OK, m.Open(name.c_str())) << name;
    }
}

// The drawing thread polls the event while the decoder is busy: nothing it calls may
// wait for the decoder.
std::atomic<bool> g_releaseDecoder{false};
std::atomic<bool> g_decoderHeld{false};
void HoldDecoder() {
    g_decoderHeld.store(true);
    while (!g_releaseDecoder.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(FfmpegMovie, PollingTheUpdateNeverWaitsForTheDecoder) {
    g_releaseDecoder.store(false);
    g_decoderHeld.store(false);
    SetMovieDecodeHook(HoldDecoder);
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    while (!g_decoderHeld.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto polls = std::async(std::launch::async, [&] {
        EXPECT_EQ(S_OK, m.Run());
        EXPECT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
        for (int i = 0; i < 100; ++i) EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m.event, 0));
        STREAM_STATE state;
        EXPECT_EQ(S_OK, MultiMediaStreamGetState(m.stream, &state));
        EXPECT_EQ(0, m.Time());
    });
    const bool finished = polls.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    g_releaseDecoder.store(true);
    polls.wait();
    EXPECT_TRUE(finished) << "a poll waited for the decoding thread";
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.event, 5000));
    EXPECT_EQ(ExpectedFrame(0, 5, 3, kXrgb), m.Pixels());
}

// Releasing a sample while its update is pending, and the objects in any order.
TEST_F(FfmpegMovie, ReleasingWithAPendingUpdateIsSafe) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(avi.c_str(), &kXrgb));
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, m.NextFrame());
    ASSERT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    SampleSurfaceRelease(m.surface);
    MultiMediaStreamRelease(m.stream);
    FilterGraphRelease(m.graph);
    MediaStreamRelease(m.video);
    SetVirtualClockMilliseconds(100);   // the frame falls due while the sample goes away
    StreamSampleRelease(m.sample);
    CloseHandle(m.event);
    m.graph = nullptr;
    m.stream = nullptr;
    m.video = nullptr;
    m.sample = nullptr;
    m.surface = nullptr;
    m.event = nullptr;
}

// With a sound track the audio device plays it; without a device the movie still plays.
TEST_F(FfmpegMovie, SoundTrackPlaysOnTheAudioDevice) {
    RemoveVirtualClock();
    AviLayout layout;
    layout.frames = 6;
    layout.audioRate = 8000;
    const std::string withSound = dir / "sound.avi";
    ASSERT_TRUE(WriteRawAvi(withSound, layout));
    const int64_t playedBefore = MovieAudioFramesPlayed();
    {
        MovieSession m;
        ASSERT_EQ(S_OK, m.Open(withSound.c_str(), &kXrgb));
        ASSERT_EQ(1, MovieAudioDevicesOpen());
        ASSERT_EQ(S_OK, m.Run());
        int last = -1;
        HRESULT hr;
        while ((hr = m.NextFrame()) == S_OK) {
            const std::vector<uint32_t> pixels = m.Pixels();
            int shown = -1;
            for (int k = 0; k < layout.frames; ++k)
                if (pixels == ExpectedFrame(k, 5, 3, kXrgb)) shown = k;
            ASSERT_GT(shown, last);
            last = shown;
        }
        EXPECT_EQ(MS_S_ENDOFSTREAM, hr);
        EXPECT_EQ(layout.frames - 1, last);
        EXPECT_GE(m.Time(), 5 * kFrame);
    }
    EXPECT_GT(MovieAudioFramesPlayed(), playedBefore);
    EXPECT_EQ(0, MovieAudioDevicesOpen());

    InstallVirtualClock(0, 0);
    FailMovieCall(MovieCall::AudioDevice, E_FAIL);
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open(withSound.c_str(), &kXrgb));
    EXPECT_EQ(0, MovieAudioDevicesOpen());
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, FrameAt(m, 4));
    EXPECT_EQ(ExpectedFrame(4, 5, 3, kXrgb), m.Pixels());
    EXPECT_EQ(4 * kFrame + 10000, m.Time());
}

}  // namespace
