// MIDI through MCI on a started library, as a game plays it: the piece is heard in the
// sound device's output, its end's notification reaches the main window and closes or
// replays it, switching pieces keeps the new one playing, and all of it works on SDL's
// single-device `dummy` output.
#include <SDL.h>

#include "core/library_test_support.h"
#include "library/core/apilock.h"
#include "library/sound/sound.h"
#include "library/sound/sound_internal.h"
#include "platform/kernel/kernel_files.h"
#include "support/midi_files.h"

namespace {

// The library started in DirectSound mode; the test holds the API lock, as an entry
// point would, so the pump thread waits meanwhile (ProcessMessage enters it again).
class MciMusic : public LibraryTest {
protected:
    // Mixing on request (the default) or through SDL's audio device.
    explicit MciMusic(bool manualOutput = true) : manualOutput_(manualOutput) {}
    void SetUp() override {
        LibraryTest::SetUp();
        DsoundSeamReset();
        DsoundSeamUseManualOutput(manualOutput_);
        MciSeamReset();
        SoundDeviceStateRecord.mode = SoundModeDirectSound;  // MIDI through MCI
        ASSERT_EQ(0, InitializeLibrary());
        ASSERT_NE(nullptr, SoundDeviceStateRecord.directSound);
        EnterApiLock();
        locked_ = true;
    }
    void TearDown() override {
        if (locked_) LeaveApiLock();
        LibraryTest::TearDown();
        EXPECT_EQ(0, MciSeamOpenDeviceCount());
        DsoundSeamReset();
    }
    ResourceHandle Add() { return AddMusicHandle(kOneNoteMidi.data(), static_cast<int>(kOneNoteMidi.size())); }
    MusicState& M() { return MusicStateRecord; }
    // `ms` milliseconds of the output, mixed 10 ms at a time with a pump after each.
    std::vector<int16_t> Run(int ms) {
        std::vector<int16_t> all;
        for (int i = 0; i < ms / 10; ++i) {
            const std::vector<int16_t> piece = DsoundSeamMix(441);
            all.insert(all.end(), piece.begin(), piece.end());
            EXPECT_EQ(0, ProcessMessage());
        }
        return all;
    }

private:
    bool manualOutput_;
    bool locked_ = false;
};

class MciMusicOnTheDevice : public MciMusic {
protected:
    MciMusicOnTheDevice() : MciMusic(false) {}
    // Pumps for up to `ms` milliseconds of real time while the music plays.
    void PumpWhilePlaying(ResourceHandle h, int ms) {
        for (int waited = 0; waited < ms && CheckMusicPlaying(h) == 1; waited += 10) {
            SDL_Delay(10);
            ProcessMessage();
        }
    }
};

}  // namespace

TEST_F(MciMusic, PlaysInTheSoundOutputAndItsEndClosesTheDevice) {
    const ResourceHandle h = Add();
    ASSERT_EQ(0, PlayMusicHandle(h, 0));
    EXPECT_EQ(1, MciSeamOpenDeviceCount());
    EXPECT_GT(PeakAmplitude(Run(200)), 100) << "the note is heard";
    EXPECT_EQ(1, CheckMusicPlaying(h));
    Run(300);
    EXPECT_EQ(0, CheckMusicPlaying(h)) << "the quarter-second piece has ended";
    EXPECT_EQ(0, MciSeamOpenDeviceCount());
    EXPECT_EQ(0, DeleteMusicHandle(h));
}

TEST_F(MciMusic, ALoopingPieceStartsAgainUntilStopped) {
    const ResourceHandle h = Add();
    ASSERT_EQ(0, PlayMusicHandle(h, 1));
    Run(1000);
    EXPECT_EQ(1, CheckMusicPlaying(h)) << "four rounds later";
    EXPECT_EQ(1, MciSeamOpenDeviceCount());
    EXPECT_GT(PeakAmplitude(Run(250)), 100) << "the note is struck again";
    EXPECT_EQ(1, M().tempMidiFileExists);
    EXPECT_EQ(0, StopMusicHandle(h));
    EXPECT_EQ(0, M().midiLoop);
    EXPECT_EQ(0, CheckMusicPlaying(h));
    EXPECT_EQ(0, MciSeamOpenDeviceCount());
    EXPECT_EQ(0, M().tempMidiFileExists);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(M().tempMidiPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    Run(1000);  // the reverberation fades
    EXPECT_LT(PeakAmplitude(Run(100)), 50) << "stopped music falls silent";
}

// The device of the old piece is closed when the new one starts; its "aborted"
// notification, which arrives while the new piece plays, is not the new piece's end.
TEST_F(MciMusic, SwitchingPiecesKeepsTheNewOnePlaying) {
    const struct {
        const char* what;
        int firstLoops, secondLoops;
    } cases[] = {{"looping title music, then a piece played once", 1, 0},
                 {"a piece played once, then looping stage music", 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ResourceHandle first = Add();
        const ResourceHandle second = Add();
        ASSERT_EQ(0, PlayMusicHandle(first, c.firstLoops));
        Run(50);
        ASSERT_EQ(0, PlayMusicHandle(second, c.secondLoops));
        const UINT device = M().mciDeviceId;
        Run(100);
        EXPECT_EQ(1, CheckMusicPlaying(second)) << "the new piece plays on";
        EXPECT_EQ(device, M().mciDeviceId);
        EXPECT_EQ(1, MciSeamOpenDeviceCount());
        Run(400);  // past the new piece's end
        EXPECT_EQ(c.secondLoops, CheckMusicPlaying(second));
        EXPECT_EQ(c.secondLoops, MciSeamOpenDeviceCount());
        if (c.secondLoops) {
            EXPECT_GT(PeakAmplitude(Run(250)), 100) << "the looping piece is struck again";
        }
        EXPECT_EQ(0, DeleteMusicHandle(first));
        EXPECT_EQ(0, DeleteMusicHandle(second));
        EXPECT_EQ(0, MciSeamOpenDeviceCount());
    }
}

// SDL's `dummy` driver gives one output device, which the sound device holds: MIDI is
// mixed into it and plays, ends and loops in real time.
TEST_F(MciMusicOnTheDevice, PlaysEndsAndLoopsOnTheSoundDevice) {
    const ResourceHandle h = Add();
    ASSERT_EQ(0, PlayMusicHandle(h, 0));
    PumpWhilePlaying(h, 5000);
    EXPECT_EQ(0, CheckMusicPlaying(h)) << "ended by itself";
    EXPECT_EQ(0, MciSeamOpenDeviceCount());

    ASSERT_EQ(0, PlayMusicHandle(h, 1));
    PumpWhilePlaying(h, 700);
    EXPECT_EQ(1, CheckMusicPlaying(h)) << "still playing after its end, twice over";
    EXPECT_EQ(0, StopMusicHandle(h));
    EXPECT_EQ(0, MciSeamOpenDeviceCount());
}
