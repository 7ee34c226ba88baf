// DirectMusic mode: start-up through the performance, its failures, music handles played
// as segments and heard in the DirectSound output, the per-frame poll, and shutdown.
#include <SDL.h>

#include "sound/sound_test_support.h"
#include "support/midi_files.h"

namespace {

class DirectMusicMode : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        Device().mode = SoundModeDirectMusic;
    }
};

class DirectMusicPlay : public DirectMusicMode {
protected:
    void SetUp() override {
        DirectMusicMode::SetUp();
        ASSERT_EQ(0, SetupDirectSound());
        ASSERT_EQ(SoundModeDirectMusic, Device().mode);
    }
    ResourceHandle Add() { return AddMusicHandle(kOneNoteMidi.data(), static_cast<int>(kOneNoteMidi.size())); }
    MusicHandleRecord* Record(ResourceHandle h) { return GetMusicHandleRecord(h); }
    // Mixes `ms` milliseconds of the output, 10 ms at a time, polling as the pump does.
    std::vector<int16_t> Run(int ms) {
        std::vector<int16_t> all;
        for (int i = 0; i < ms / 10; ++i) {
            const std::vector<int16_t> piece = DsoundSeamMix(441);
            all.insert(all.end(), piece.begin(), piece.end());
            UpdateMusicPlayFlags();
        }
        return all;
    }
};

}  // namespace

TEST_F(DirectMusicMode, StartsThroughThePerformanceAndShutsDown) {
    ASSERT_EQ(0, SetupDirectSound());
    EXPECT_EQ(SoundModeDirectMusic, Device().mode);
    EXPECT_NE(nullptr, Device().loader);
    EXPECT_NE(nullptr, Device().performance);
    EXPECT_NE(nullptr, Device().directSound) << "made by the performance";
    EXPECT_EQ(nullptr, Device().primaryBuffer) << "no primary buffer in this mode";
    EXPECT_NE(nullptr, Device().silentBuffer);
    EXPECT_EQ(0, Device().masterVolume);
    EXPECT_TRUE(InOrder(Log(), {"DirectSound8 の初期化を行います\r\n",
                                "出力ポート  Device0:General MIDI Software Synthesizer (",
                                "DirectSound デバイスを列挙します\r\n",
                                "DirectSound の初期化は正常に終了しました\r\n"}));
    EXPECT_EQ(std::string::npos, Log().find("失敗"));
    EXPECT_EQ(std::string::npos, Log().find("Device1:")) << "one port";
    EXPECT_EQ(2, DmusicSeamLiveObjectCount()) << "the loader and the performance; the music objects are released";
    int rate = 0;
    ASSERT_TRUE(DsoundSeamOutputFormat(&rate, nullptr, nullptr));
    EXPECT_EQ(44100, rate);

    EXPECT_EQ(0, ShutdownDirectSound());
    EXPECT_EQ(nullptr, Device().loader);
    EXPECT_EQ(nullptr, Device().performance);
    EXPECT_EQ(nullptr, Device().directSound);
    EXPECT_EQ(0, DmusicSeamLiveObjectCount());
    EXPECT_EQ(0, DsoundSeamLiveObjectCount());
    EXPECT_TRUE(InOrder(Log(), {"DirectSound の終了処理は正常に終了しました\r\n"}));
}

// Every failure after the loader leaves nothing behind, and start-up may be tried again.
TEST_F(DirectMusicMode, StartUpFailuresReleaseWhatWasMade) {
    struct Case {
        const char* text;
        void (*fault)(void);
    } cases[] = {
        {"DirectMusicPerformance オブジェクトの作成に失敗しました\r\n",
         [] { DmusicSeamFailClass(&CLSID_DirectMusicPerformance); }},
        {"DirectMusic オブジェクトの取得に失敗しました\r\n", [] { DmusicSeamFailClass(&CLSID_DirectMusic); }},
        {"DirectMusicPerformanceオブジェクトの初期化に失敗しました\r\n",
         [] { DsoundSeamFailCreation(REGDB_E_CLASSNOTREG); }},
        {"DirectMusicPerformanceオブジェクトの初期化に失敗しました\r\n",
         [] { DsoundSeamFailInitialize(DSERR_NODRIVER); }},
    };
    for (const Case& c : cases) {
        StartLogFile();
        c.fault();
        EXPECT_EQ(-1, SetupDirectSound()) << c.text;
        EXPECT_TRUE(InOrder(Log(), {"DirectSound8 の初期化を行います\r\n", c.text}));
        EXPECT_EQ(std::string::npos, Log().find("前バージョンでの初期化処理に移ります")) << "no fallback";
        EXPECT_EQ(SoundModeDirectMusic, Device().mode);
        EXPECT_EQ(nullptr, Device().directSound);
        EXPECT_EQ(nullptr, Device().loader);
        EXPECT_EQ(nullptr, Device().performance);
        EXPECT_EQ(0, DmusicSeamLiveObjectCount()) << c.text;
        EXPECT_EQ(0, DsoundSeamLiveObjectCount()) << c.text;
        EXPECT_EQ(-1, ShutdownDirectSound());

        DmusicSeamReset();
        DsoundSeamReset();
        DsoundSeamUseManualOutput(true);
        ASSERT_EQ(0, SetupDirectSound()) << "tried again";
        EXPECT_EQ(SoundModeDirectMusic, Device().mode);
        ASSERT_EQ(0, ShutdownDirectSound());
    }
}

TEST_F(DirectMusicPlay, MusicIsHeardInTheOutputAndThePollSeesItEnd) {
    const ResourceHandle h = Add();
    ASSERT_NE(-1, h);
    ASSERT_NE(nullptr, Record(h)->segment);
    EXPECT_EQ(nullptr, Record(h)->midiMemory) << "the segment holds the data";
    EXPECT_EQ(0, CheckMusicPlaying(h));

    ASSERT_EQ(0, PlayMusicHandle(h, 0));
    EXPECT_EQ(1, CheckMusicPlaying(h));
    EXPECT_EQ(0, Record(h)->startSeen);
    UpdateMusicPlayFlags();
    EXPECT_EQ(1, Record(h)->startSeen);
    EXPECT_GT(PeakAmplitude(Run(200)), 100) << "the note is heard";
    EXPECT_EQ(1, CheckMusicPlaying(h));
    Run(500);
    EXPECT_EQ(0, CheckMusicPlaying(h)) << "the quarter-second piece has ended";
    EXPECT_EQ(0, Record(h)->playing);

    // Played again, it starts from its beginning.
    ASSERT_EQ(0, PlayMusicHandle(h, 0));
    EXPECT_GT(PeakAmplitude(Run(200)), 100);
    EXPECT_EQ(0, DeleteMusicHandle(h));
    EXPECT_EQ(2, DmusicSeamLiveObjectCount()) << "the segment is released";
}

TEST_F(DirectMusicPlay, LoopingPlaysOnUntilStopped) {
    const ResourceHandle h = Add();
    ASSERT_EQ(0, PlayMusicHandle(h, 1));
    Run(1000);
    EXPECT_EQ(1, CheckMusicPlaying(h)) << "four rounds later";
    EXPECT_EQ(1, Record(h)->startSeen);
    EXPECT_GT(PeakAmplitude(Run(250)), 100) << "the note is struck again";

    EXPECT_EQ(0, StopMusicHandle(h));
    EXPECT_EQ(0, CheckMusicPlaying(h));
    EXPECT_EQ(0, Record(h)->startSeen);
    Run(100);
    EXPECT_EQ(0, CheckMusicPlaying(h)) << "the poll leaves stopped music alone";
    Run(1000);  // the reverberation fades
    EXPECT_LT(PeakAmplitude(Run(100)), 50) << "stopped music falls silent";
}

TEST_F(DirectMusicPlay, AnotherPieceReplacesThePlayingOne) {
    const ResourceHandle first = Add();
    const ResourceHandle second = Add();
    ASSERT_EQ(0, PlayMusicHandle(first, 1));
    Run(50);
    ASSERT_EQ(0, PlayMusicHandle(second, 1));
    Run(50);
    EXPECT_EQ(0, CheckMusicPlaying(first)) << "seen playing, then seen stopped";
    EXPECT_EQ(1, CheckMusicPlaying(second));
    // Deleting a playing handle stops it; shutdown deletes the rest.
    EXPECT_EQ(0, DeleteMusicHandle(second));
    EXPECT_EQ(0, ShutdownDirectSound());
    EXPECT_EQ(0, MusicStateRecord.musicHandleCount);
    EXPECT_EQ(0, DmusicSeamLiveObjectCount());
}

TEST_F(DirectMusicPlay, DataThatIsNotMidiMakesNoHandle) {
    const Bytes notMidi = MakeWav(FormatBody(Pcm(1, 8000, 8), 16), Bytes(100, 0x80));
    Bytes truncated(kOneNoteMidi.begin(), kOneNoteMidi.begin() + 20);
    for (const Bytes& data : {notMidi, truncated}) {
        EXPECT_EQ(-1, AddMusicHandle(data.data(), static_cast<int>(data.size())));
        EXPECT_EQ(0, MusicStateRecord.musicHandleCount);
    }
    EXPECT_EQ(2, DmusicSeamLiveObjectCount());
}

TEST_F(DirectMusicPlay, KeptMusicHandleIsReleased) {
    const ResourceHandle h = Add();
    ASSERT_EQ(0, PlayMusicHandle(h, 1));
    MusicStateRecord.keptHandle = h;
    EXPECT_EQ(0, ReleaseKeptSoundHandle());
    EXPECT_EQ(nullptr, GetMusicHandleRecord(h));
    EXPECT_EQ(2, DmusicSeamLiveObjectCount());
}

// The real output path: SDL's audio thread (the dummy driver here) renders the music in
// real time, so the piece ends by itself within a bounded wait.
TEST_F(DirectMusicMode, PlaysThroughTheAudioDevice) {
    DsoundSeamUseManualOutput(false);
    ASSERT_EQ(0, SetupDirectSound());
    const ResourceHandle h = AddMusicHandle(kOneNoteMidi.data(), static_cast<int>(kOneNoteMidi.size()));
    ASSERT_EQ(0, PlayMusicHandle(h, 0));
    for (int waited = 0; waited < 5000 && CheckMusicPlaying(h) == 1; waited += 10) {
        SDL_Delay(10);
        UpdateMusicPlayFlags();
    }
    EXPECT_EQ(1, GetMusicHandleRecord(h)->startSeen);
    EXPECT_EQ(0, CheckMusicPlaying(h));
}
