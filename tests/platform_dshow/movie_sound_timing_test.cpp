// Movies with a sound track on a real-time audio driver (SDL's "disk" driver, which
// plays into /dev/null at the speed of a sound card): the movie ends on time and its
// stream time never runs backwards, also when the file stores its sound later than the
// pictures it goes with, as MPEG program streams and Ogg files usually do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "movie_session.h"
#include "platform/testing.h"
#include "support/movie_files.h"
#include "support/scratch_directory.h"

namespace {

constexpr int kFramesPerSecond = 25;
constexpr int kFrames = 50;   // 2 s   // 1.6 s
constexpr STREAM_TIME kFrame = 10000000 / kFramesPerSecond;
constexpr STREAM_TIME kLength = kFrames * kFrame;

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct PlayResult {
    double seconds = 0;            // from run to the end of the stream, wall time
    STREAM_TIME endTime = 0;       // stream time at the end of the stream
    STREAM_TIME lastFrameAt = -1;  // stream time when the last frame was taken
    int backwards = 0;             // readings of the stream time below the one before
    int frames = 0;
};

// Plays the file as a game loop does: start an update, poll its event and the stream
// time every 2 ms, take the frame and ask for the next, until the stream ends.
PlayResult Play(const std::string& file) {
    PlayResult r;
    MovieSession m;
    const DDPIXELFORMAT xrgb = PixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
    EXPECT_EQ(S_OK, m.Open(file.c_str(), &xrgb));
    EXPECT_EQ(1, MovieAudioDevicesOpen()) << "the sound did not open on the disk driver";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, m.Run());
    STREAM_TIME last = 0;
    const auto deadline = start + std::chrono::seconds(8);
    for (;;) {
        HRESULT hr = StreamSampleUpdate(m.sample, SSUPDATE_ASYNC, m.event);
        while (hr == MS_S_PENDING) {
            const STREAM_TIME now = m.Time();
            if (now < last) ++r.backwards;
            last = now;
            if (WaitForSingleObject(m.event, 2) == WAIT_OBJECT_0) hr = StreamSampleCompletionStatus(m.sample);
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the movie did not end";
                return r;
            }
        }
        if (hr != S_OK) {
            EXPECT_EQ(MS_S_ENDOFSTREAM, hr);
            break;
        }
        ++r.frames;
        r.lastFrameAt = m.Time();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.endTime = m.Time();
    return r;
}

class MovieSoundTiming : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMovieSeams();
        ASSERT_FALSE(dir.path().empty());
    }
    void TearDown() override { ResetMovieSeams(); }

    // Writes a 2 s movie of 320 x 240 pictures at 1.5 Mbit/s with a stereo tone, plays
    // it and checks its timing.
    void PlaysOnTime(const char* name, const char* container, const char* video, const char* audio) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        // Decoding under the sanitizers runs several times slower than real time on a
        // busy machine: the timing is measured in the optimised build only.
        GTEST_SKIP() << "real-time movie timing is measured in the optimised build";
#endif
        EncodedMovieSettings settings;
        settings.container = container;
        settings.videoEncoder = video;
        settings.audioEncoder = audio;
        settings.width = 320;
        settings.height = 240;
        settings.frames = kFrames;
        settings.framesPerSecond = kFramesPerSecond;
        settings.videoBitRate = 1500000;
        const std::string file = dir / name;
        ASSERT_TRUE(WriteEncodedMovie(file, settings));
        const PlayResult r = Play(file);
        EXPECT_EQ(0, r.backwards) << "readings of the stream time that went back";
        EXPECT_NEAR(static_cast<double>(kLength) / 1e7, r.seconds, 2.0 * kFrame / 1e7) << "seconds played";
        EXPECT_NEAR(static_cast<double>(kLength), static_cast<double>(r.endTime), 2.0 * kFrame);
        EXPECT_NEAR(static_cast<double>(kLength - kFrame), static_cast<double>(r.lastFrameAt), 2.0 * kFrame);
        EXPECT_GT(r.frames, kFrames / 2);
    }

    ScratchDirectory dir{"zq_dshow"};
    ScopedEnv driver{"SDL_AUDIODRIVER", "disk"};
    ScopedEnv output{"SDL_DISKAUDIOFILE", "/dev/null"};
};

// The muxer stores the sound about half a second after the pictures it goes with.
TEST_F(MovieSoundTiming, AnMpegProgramStreamEndsOnTimeWithTheStreamTimeNeverRunningBackwards) {
    PlaysOnTime("clip.mpg", "mpeg", "mpeg1video", "mp2");
}

// The muxer stores a second of pictures before the first sound.
TEST_F(MovieSoundTiming, AnOggTheoraVorbisFileEndsOnTimeWithTheStreamTimeNeverRunningBackwards) {
    PlaysOnTime("clip.ogv", "ogg", "libtheora", "libvorbis");
}

// The clock follows the sound by turning its speed (a tenth at most), never by jumping:
// a sound far behind slows it, a sound a little ahead speeds it up, and only a seek
// sets the time outright.
TEST(StreamClockSteering, TheSoundTurnsTheSpeedAndTheTimeNeverRunsBack) {
    constexpr STREAM_TIME kMs = 10000;
    InstallVirtualClock(0, 0);
    StreamClock clock;
    StreamClockSetRunning(clock, true);
    SetVirtualClockMilliseconds(1000);
    EXPECT_EQ(1000 * kMs, StreamClockNow(clock));
    StreamClockFollow(clock, 0);   // the sound a second behind
    EXPECT_EQ(1000 * kMs, StreamClockNow(clock));
    SetVirtualClockMilliseconds(1100);
    EXPECT_EQ(1090 * kMs, StreamClockNow(clock));
    StreamClockFollow(clock, 1100 * kMs);   // 10 ms ahead: 2 % faster
    SetVirtualClockMilliseconds(1200);
    EXPECT_EQ(1192 * kMs, StreamClockNow(clock));
    StreamClockSetRunning(clock, false);   // pausing keeps the time
    SetVirtualClockMilliseconds(1300);
    EXPECT_EQ(1192 * kMs, StreamClockNow(clock));
    StreamClockFollow(clock, 5000 * kMs);   // a paused clock is not steered
    StreamClockSetRunning(clock, true);
    SetVirtualClockMilliseconds(1400);
    EXPECT_EQ(1294 * kMs, StreamClockNow(clock));
    StreamClockSet(clock, 100 * kMs);   // a seek: the time set, the speed normal
    SetVirtualClockMilliseconds(1500);
    EXPECT_EQ(200 * kMs, StreamClockNow(clock));
    RemoveVirtualClock();
}

}  // namespace
