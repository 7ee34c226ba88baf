// Music handles over MCI (FluidSynth): handle rules, the shared playing flag, a missing
// soundfont, the kept handle; and the capture file's header.
#include <fstream>

#include "platform/kernel/kernel_files.h"
#include "sound/sound_test_support.h"
#include "support/midi_files.h"
#include "tests/support/scratch_directory.h"

namespace {

class Music : public StartedSoundTest {
protected:
    ResourceHandle Add() { return AddMusicHandle(kOneNoteMidi.data(), static_cast<int>(kOneNoteMidi.size())); }
    MusicState& M() { return MusicStateRecord; }
};

}  // namespace

TEST_F(Music, DeletingAnyHandleStopsTheSharedMciPlayback) {
    const ResourceHandle playing = Add();
    const ResourceHandle other = Add();
    ASSERT_EQ(0, PlayMusicHandle(playing, 1));
    EXPECT_EQ(1, CheckMusicPlaying(other)) << "one playing flag for all handles";
    EXPECT_EQ(0, DeleteMusicHandle(other));
    EXPECT_EQ(0, M().mciPlaying);
    EXPECT_EQ(0, MciSeamOpenDeviceCount());
}

TEST_F(Music, WithoutASoundfontPlayingFails) {
    MciSeamSetSoundFont("/nonexistent/none.sf2");
    const ResourceHandle h = Add();
    EXPECT_EQ(-1, PlayMusicHandle(h, 0));
    EXPECT_EQ(0, M().mciPlaying);
    EXPECT_EQ(0, CheckMusicPlaying(h));
}

TEST_F(Music, HandlesAreCheckedAndTheHighWaterMarkFalls) {
    ResourceHandle h[4];
    for (ResourceHandle& x : h) x = Add();
    const ResourceHandle bad[] = {h[0] + (1 << 16), MakeResourceHandle(HandleKindSound, HandleCheck(h[0]), 0),
                                  h[0] | static_cast<int>(0x80000000u),
                                  MakeResourceHandle(HandleKindMusic, HandleCheck(h[0]), 256)};
    for (ResourceHandle x : bad) {
        EXPECT_EQ(-1, DeleteMusicHandle(x));
        EXPECT_EQ(-1, StopMusicHandle(x));
        EXPECT_EQ(-1, CheckMusicPlaying(x));
    }
    EXPECT_EQ(4, M().musicHandleCount);
    DeleteMusicHandle(h[1]);
    DeleteMusicHandle(h[2]);
    EXPECT_EQ(4, M().musicHighWater);
    DeleteMusicHandle(h[3]);
    EXPECT_EQ(1, M().musicHighWater);
    DeleteMusicHandle(h[0]);
    EXPECT_EQ(0, M().musicHighWater);
}

TEST_F(Music, KeptHandleIsReleasedAtShutdown) {
    EXPECT_EQ(0, ReleaseKeptSoundHandle());
    const ResourceHandle music = Add();
    M().keptHandle = music;
    EXPECT_EQ(0, ReleaseKeptSoundHandle());
    EXPECT_EQ(nullptr, GetMusicHandleRecord(music));
    const ResourceHandle sound = AddSoundHandle();
    M().keptHandle = sound;
    M().keptHandleIsSound = 1;
    EXPECT_EQ(0, ReleaseKeptSoundHandle());
    EXPECT_EQ(nullptr, GetSoundHandleRecord(sound));
    EXPECT_EQ(0, M().keptHandle);
}

TEST_F(StartedSoundTest, CaptureFileGetsItsHeaderWhenClosed) {
    ScratchDirectory dir;
    const struct {
        int frames;
        uint32_t riff, data;
    } cases[] = {{0, 38, 0}, {44100, 176438, 176400}};
    for (auto c : cases) {
        const std::string path = dir / "capture.wav";
        ASSERT_EQ(0, OpenSoundCaptureFile(path.c_str()));
        std::vector<MixFrame> frames(static_cast<size_t>(c.frames), MixFrame{1, -2});
        ASSERT_EQ(0, WriteSoundCaptureFrames(frames.data(), c.frames));
        ASSERT_EQ(0, CloseSoundCaptureFile());
        std::ifstream in(path, std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(46u + 4u * c.frames, file.size());
        Bytes expected;
        PutText(expected, "RIFF");
        Put32(expected, c.riff);
        PutText(expected, "WAVEfmt ");
        Put32(expected, 18);
        for (unsigned v : {1u, 2u}) Put16(expected, v);
        Put32(expected, 44100);
        Put32(expected, 176400);
        for (unsigned v : {4u, 16u, 0u}) Put16(expected, v);
        PutText(expected, "data");
        Put32(expected, c.data);
        EXPECT_EQ(expected, Bytes(file.begin(), file.begin() + 46));
        if (c.frames) {
            EXPECT_EQ((Bytes{1, 0, 0xFE, 0xFF}), Bytes(file.begin() + 46, file.begin() + 50));
        }
    }
    EXPECT_EQ(-1, CloseSoundCaptureFile()) << "nothing open";
    // Shutdown closes an open capture.
    ASSERT_EQ(0, OpenSoundCaptureFile((dir / "last.wav").c_str()));
    ShutdownDirectSound();
    EXPECT_EQ(0, SoundCaptureStateRecord.captureActive);
    std::ifstream in(dir / "last.wav", std::ios::binary);
    char riff[4] = {};
    in.read(riff, 4);
    EXPECT_EQ(0, std::memcmp(riff, "RIFF", 4));
}
