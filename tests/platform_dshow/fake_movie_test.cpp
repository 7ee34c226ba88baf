// The scripted fake engine and the stream objects' own rules: what code built on the
// movie streams is tested against.
#include <gtest/gtest.h>

#include <cstring>

#include "support/movie_files.h"
#include "movie_session.h"
#include "platform/testing.h"

namespace {

constexpr STREAM_TIME kFrame = 1000000;
const DDPIXELFORMAT kXrgb = PixelFormat(32, 0xFF0000, 0xFF00, 0xFF);

std::vector<std::vector<uint32_t>> Frames(int count, int width, int height) {
    std::vector<std::vector<uint32_t>> frames;
    for (int k = 0; k < count; ++k) {
        std::vector<uint32_t> f;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) f.push_back(FramePixel(k, x, y));
        frames.push_back(f);
    }
    return frames;
}

class FakeMovie : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMovieSeams();
        UseFakeMovieEngine();
        InstallVirtualClock(0, 0);
        AddFakeMovieFile("data\\movie.avi", 4, 2, kFrame, Frames(3, 4, 2));
    }
    void TearDown() override {
        RemoveVirtualClock();
        ResetMovieSeams();
    }
};

TEST_F(FakeMovie, ScriptedFramesPendingStatesAndEndOfStream) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open("DATA\\Movie.avi", &kXrgb));
    LONGLONG stop = 0;
    FilterGraphGetStopPosition(m.graph, &stop);
    EXPECT_EQ(3 * kFrame, stop);
    ASSERT_EQ(S_OK, m.Run());
    // Frame 0 is due: the update is pending in name only, its event already set.
    ASSERT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.event, 0));
    EXPECT_EQ(ExpectedFrame(0, 4, 2, kXrgb), m.Pixels());
    // Frame 1 is due only when the clock reaches it.
    ResetEvent(m.event);
    ASSERT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m.event, 0));
    // The clock reaches frame 1; the update finishes at the next look at the stream.
    SetVirtualClockMilliseconds(100);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m.event, 0));
    STREAM_STATE state;
    EXPECT_EQ(S_OK, MultiMediaStreamGetState(m.stream, &state));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.event, 0));
    EXPECT_EQ(ExpectedFrame(1, 4, 2, kXrgb), m.Pixels());
    // Held updates stay pending even when due.
    HoldFakeMovieUpdates(true);
    ASSERT_EQ(MS_S_PENDING, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    SetVirtualClockMilliseconds(200);
    PumpFakeMovies();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m.event, 0));
    EXPECT_EQ(MS_S_PENDING, StreamSampleCompletionStatus(m.sample));
    HoldFakeMovieUpdates(false);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m.event, 0));
    EXPECT_EQ(ExpectedFrame(2, 4, 2, kXrgb), m.Pixels());
    EXPECT_EQ(MS_S_ENDOFSTREAM, StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event));
    const FakeMovieCounters c = GetFakeMovieCounters();
    EXPECT_EQ(3, c.framesDelivered);
    EXPECT_EQ(4, c.updates);
    ASSERT_EQ(1u, c.openedNames.size());
    EXPECT_EQ("DATA\\Movie.avi", c.openedNames[0]);
}

TEST_F(FakeMovie, RunPauseSeekAndReopenAreRecorded) {
    MovieSession m;
    ASSERT_EQ(S_OK, m.Open("data\\movie.avi"));
    ASSERT_EQ(S_OK, m.Run());
    SetVirtualClockMilliseconds(150);
    EXPECT_EQ(1500000, m.Time());
    ASSERT_EQ(S_OK, FilterGraphPause(m.graph));
    const STREAM_TIME saved = m.Time();
    m.Release();
    EXPECT_EQ(0, LiveFakeMovies());
    ASSERT_EQ(S_OK, m.Open("data\\movie.avi"));
    ASSERT_EQ(S_OK, MultiMediaStreamSeek(m.stream, saved));
    EXPECT_EQ(MS_E_NOTRUNNING, StreamSampleUpdate(m.sample, 0, nullptr));
    ASSERT_EQ(S_OK, m.Run());
    ASSERT_EQ(S_OK, StreamSampleUpdate(m.sample, 0, nullptr));   // synchronous: at once
    EXPECT_EQ(ExpectedFrame(1, 4, 2, kXrgb), m.Pixels());
    const FakeMovieCounters c = GetFakeMovieCounters();
    EXPECT_EQ(2, c.opens);
    EXPECT_EQ(1, c.closes);
    EXPECT_EQ(2, c.runs);
    EXPECT_EQ(1, c.pauses);
    EXPECT_EQ(std::vector<STREAM_TIME>{1500000}, c.seeks);
}

// Each setup call can be made to fail; a missing service fails at the first one.
TEST_F(FakeMovie, InjectedFailuresStopTheOpeningWhereTheyHit) {
    const MovieCall calls[] = {MovieCall::CreateFilterGraph, MovieCall::CreateMultiMediaStream,
                               MovieCall::Initialize,        MovieCall::AddVideoStream,
                               MovieCall::AddAudioStream,    MovieCall::OpenFile,
                               MovieCall::GetMediaStream,    MovieCall::GetFormat,
                               MovieCall::CreateSampleSurface, MovieCall::CreateSample,
                               MovieCall::GetSurface};
    for (MovieCall call : calls) {
        FailMovieCall(call, REGDB_E_CLASSNOTREG);
        MovieSession m;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, m.Open("data\\movie.avi", &kXrgb)) << static_cast<int>(call);
        ClearMovieCallFailures();
    }
    EXPECT_EQ(0, LiveFakeMovies());
    FailMovieCall(MovieCall::OpenFile, MOVIE_E_FILE_NOT_FOUND, 1);   // the second open fails
    MovieSession first, second;
    EXPECT_EQ(S_OK, first.Open("data\\movie.avi"));
    EXPECT_EQ(MOVIE_E_FILE_NOT_FOUND, second.Open("data\\movie.avi"));
    ClearMovieCallFailures();
    MovieSession unknown, still;
    EXPECT_EQ(MOVIE_E_FILE_NOT_FOUND, unknown.Open("other.avi"));
    AddFakeMovieFile("still.png", 0, 0, kFrame, {});
    EXPECT_EQ(VFW_E_UNSUPPORTED_STREAM, still.Open("still.png"));
}

// The objects' own checks, whatever engine is behind them.
TEST_F(FakeMovie, CallsOutOfOrderAreRefused) {
    MultiMediaStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateMultiMediaStream(&stream));
    EXPECT_EQ(MS_E_NOTINIT, MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryVideo, 0));
    EXPECT_EQ(MS_E_NOTINIT, MultiMediaStreamOpenFile(stream, "data\\movie.avi", 0));
    ASSERT_EQ(S_OK, MultiMediaStreamInitialize(stream, STREAMTYPE_READ, 0, nullptr));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, MultiMediaStreamInitialize(stream, STREAMTYPE_READ, 0, nullptr));
    EXPECT_EQ(MS_E_NOSTREAM, MultiMediaStreamOpenFile(stream, "data\\movie.avi", 0));
    EXPECT_EQ(E_NOTIMPL, MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryAudio, 0));
    ASSERT_EQ(S_OK, MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryVideo, 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryVideo, 0));
    MediaStream* media = nullptr;
    ASSERT_EQ(S_OK, MultiMediaStreamGetMediaStream(stream, MSPID_PrimaryVideo, &media));
    SampleSurfaceDesc desc{};
    EXPECT_EQ(MS_E_NOTINIT, MediaStreamGetFormat(media, &desc));
    EXPECT_EQ(MS_E_NOTINIT, MultiMediaStreamSetState(stream, STREAMSTATE_RUN));
    ASSERT_EQ(S_OK, MultiMediaStreamOpenFile(stream, "data\\movie.avi", 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, MultiMediaStreamOpenFile(stream, "data\\movie.avi", 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryAudio,
                                                                        AMMSF_ADDDEFAULTRENDERER));
    MediaStream* audio = nullptr;
    EXPECT_EQ(MS_E_NOSTREAM, MultiMediaStreamGetMediaStream(stream, MSPID_PrimaryAudio, &audio));

    // Surfaces the stream cannot fill, and rectangles that do not fit the frame.
    SampleSurface* packed8 = nullptr;
    SampleSurfaceDesc packed8Desc{4, 2, 0, PixelFormat(8, 0xE0, 0x1C, 0x03), 0};
    EXPECT_EQ(E_INVALIDARG, CreateSampleSurface(&packed8Desc, &packed8));
    SampleSurface* big = nullptr;
    SampleSurfaceDesc bigDesc{8, 8, 0, kXrgb, 0};
    ASSERT_EQ(S_OK, CreateSampleSurface(&bigDesc, &big));
    StreamSample* sample = nullptr;
    EXPECT_EQ(MS_E_INCOMPATIBLE, MediaStreamCreateSample(media, big, nullptr, 0, &sample));
    const RECT outside{6, 0, 10, 2};
    EXPECT_EQ(E_INVALIDARG, MediaStreamCreateSample(media, big, &outside, 0, &sample));
    const RECT inside{2, 3, 6, 5};
    ASSERT_EQ(S_OK, MediaStreamCreateSample(media, big, &inside, 0, &sample));
    EXPECT_EQ(MS_E_NOTRUNNING, StreamSampleUpdate(sample, SSUPDATE_ASYNC, nullptr));
    ASSERT_EQ(S_OK, MultiMediaStreamSetState(stream, STREAMSTATE_RUN));
    EXPECT_EQ(E_INVALIDARG, StreamSampleUpdate(sample, 2, nullptr));   // continuous updates
    HoldFakeMovieUpdates(true);
    EXPECT_EQ(MS_S_PENDING, StreamSampleUpdate(sample, SSUPDATE_ASYNC, nullptr));
    EXPECT_EQ(MS_E_BUSY, StreamSampleUpdate(sample, SSUPDATE_ASYNC, nullptr));
    HoldFakeMovieUpdates(false);
    EXPECT_EQ(S_OK, StreamSampleCompletionStatus(sample));
    // The frame lands in the rectangle; the rest of the surface stays as it was.
    void* bits;
    LONG pitch;
    ASSERT_EQ(S_OK, SampleSurfaceLock(big, &bits, &pitch));
    EXPECT_EQ(MS_E_BUSY, SampleSurfaceLock(big, &bits, &pitch));
    const auto* px = static_cast<const uint32_t*>(bits);
    EXPECT_EQ(0u, px[0]);
    EXPECT_EQ(FramePixel(0, 0, 0), px[3 * pitch / 4 + 2]);
    EXPECT_EQ(FramePixel(0, 3, 1), px[4 * pitch / 4 + 5]);
    EXPECT_EQ(0u, px[4 * pitch / 4 + 6]);
    EXPECT_EQ(S_OK, SampleSurfaceUnlock(big));
    EXPECT_EQ(E_INVALIDARG, SampleSurfaceUnlock(big));

    StreamSampleRelease(sample);
    SampleSurfaceRelease(big);
    MediaStreamRelease(media);
    MultiMediaStreamRelease(stream);
    EXPECT_EQ(0, LiveFakeMovies());
}

// Frames written into the less common layouts: each channel scaled to its width with
// rounding, alpha opaque, bits outside the masks clear.
TEST(SampleSurfaceFormats, GenericLayoutsPackEachChannel) {
    struct Case {
        DDPIXELFORMAT format;
        uint32_t expected;   // for 0x00C86432 (R 200, G 100, B 50)
    } cases[] = {
        {PixelFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0xFC63},
        {PixelFormat(16, 0x7C00, 0x03E0, 0x001F), 0x6186},
        {PixelFormat(16, 0x001F, 0x07E0, 0xF800), 0x3338},
        {PixelFormat(24, 0x0000FF, 0x00FF00, 0xFF0000), 0x3264C8},
        {PixelFormat(32, 0x3FF00000, 0x000FFC00, 0x000003FF), 0x323644C8},
    };
    for (const Case& c : cases) {
        SampleSurfaceDesc desc{1, 1, 0, c.format, 0};
        SampleSurface* s = nullptr;
        ASSERT_EQ(S_OK, CreateSampleSurface(&desc, &s));
        const uint32_t pixel = 0x00C86432;
        {
            std::lock_guard<std::mutex> lock(s->writeLock);
            CopyFrameIntoSurface(reinterpret_cast<const uint8_t*>(&pixel), 4, 1, 1, false, s, RECT{0, 0, 1, 1});
        }
        void* bits;
        LONG pitch;
        ASSERT_EQ(S_OK, SampleSurfaceLock(s, &bits, &pitch));
        uint32_t got = 0;
        std::memcpy(&got, bits, c.format.dwRGBBitCount / 8);
        EXPECT_EQ(c.expected, got) << std::hex << c.format.dwRBitMask;
        SampleSurfaceUnlock(s);
        SampleSurfaceRelease(s);
    }
}

// A palette surface takes each pixel as the index of the nearest entry of the palette
// last set (the lower index on a tie), all black before one is set.
TEST(SampleSurfaceFormats, PaletteSurfacesTakeTheNearestEntryOfTheirPalette) {
    SampleSurfaceDesc desc{4, 1, 0, DDPIXELFORMAT{32, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0}, 0};
    SampleSurface* s = nullptr;
    ASSERT_EQ(S_OK, CreateSampleSurface(&desc, &s));
    const uint32_t frame[4] = {0xFF0000, 0x0000F0, 0x10F010, 0xFFFFFF};
    auto written = [&] {
        {
            std::lock_guard<std::mutex> lock(s->writeLock);
            CopyFrameIntoSurface(reinterpret_cast<const uint8_t*>(frame), 16, 4, 1, false, s, RECT{0, 0, 4, 1});
        }
        void* bits;
        LONG pitch;
        std::vector<int> indices;
        if (SampleSurfaceLock(s, &bits, &pitch) != S_OK) return indices;
        for (int x = 0; x < 4; ++x) indices.push_back(static_cast<const uint8_t*>(bits)[x]);
        SampleSurfaceUnlock(s);
        return indices;
    };
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), written());

    PALETTEENTRY entries[256] = {};
    for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 0};  // greys
    entries[10] = {255, 0, 0, 0};
    entries[20] = {0, 0, 255, 0};
    entries[30] = {0, 255, 0, 0};
    entries[40] = {0, 255, 0, 0};  // the same green: index 30 wins
    ASSERT_EQ(S_OK, SampleSurfaceSetPalette(s, entries));
    EXPECT_EQ((std::vector<int>{10, 20, 30, 255}), written());

    entries[10] = {128, 128, 128, 0};  // red is gone: the next frame follows
    entries[50] = {240, 16, 16, 0};
    ASSERT_EQ(S_OK, SampleSurfaceSetPalette(s, entries));
    EXPECT_EQ((std::vector<int>{50, 20, 30, 255}), written());

    SampleSurfaceDesc rgbDesc{4, 1, 0, kXrgb, 0};
    SampleSurface* rgb = nullptr;
    ASSERT_EQ(S_OK, CreateSampleSurface(&rgbDesc, &rgb));
    EXPECT_EQ(E_INVALIDARG, SampleSurfaceSetPalette(rgb, entries));
    EXPECT_EQ(E_POINTER, SampleSurfaceSetPalette(s, nullptr));
    SampleSurfaceRelease(rgb);
    SampleSurfaceRelease(s);
}

}  // namespace
