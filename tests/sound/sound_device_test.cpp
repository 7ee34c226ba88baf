// The sound device: start-up in order, the primary format chosen from the caps, every
// failure of start-up, the DirectMusic fallback, the hardware log without DSOUND.DLL,
// and shutdown.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "sound/sound_test_support.h"

namespace {

DSCAPS Caps(DWORD flags, DWORD maxRate) {
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    caps.dwFlags = flags;
    caps.dwMinSecondarySampleRate = 100;
    caps.dwMaxSecondarySampleRate = maxRate;
    return caps;
}

}  // namespace

TEST_F(SoundTest, StartsLogsTheHardwareAndShutsDownOnce) {
    ASSERT_EQ(0, SetupDirectSound());
    EXPECT_NE(nullptr, Device().directSound);
    EXPECT_NE(nullptr, Device().primaryBuffer);
    ASSERT_NE(nullptr, Device().silentBuffer);
    DWORD status = 0;
    IDirectSoundBuffer_GetStatus(Device().silentBuffer, &status);
    EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, status);
    EXPECT_EQ(&Device().streamTail, Device().streamHead.next) << "the stream list starts empty";
    EXPECT_TRUE(InOrder(Log(), {"DirectSound の初期化を行います\r\n",
                                "DirectSound インターフェースの取得を行います....  成功\r\n",
                                "引き続きインターフェースの初期化処理...  成功\r\n",
                                "DirectSound デバイスを列挙します\r\n",
                                std::string("モジュール名:") + std::string(17, ' ') + "ドライバ記述:Primary Sound Driver \r\n",
                                "最大サンプリングレート:200.00KHz 最小サンプリングレート:0.10KHz \r\n",
                                "総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB \r\n",
                                "利用可能サンプリング精度\r\n",
                                " プライマリ １６bit = OK  ８bit = OK \r\n",
                                " セカンダリ １６bit = OK  ８bit = OK \r\n",
                                "利用可能チャンネル\r\n",
                                " プライマリ MONO = OK  STEREO = OK \r\n",
                                " セカンダリ MONO = OK  STEREO = OK \r\n",
                                "DirectSound の初期化は正常に終了しました\r\n"}));
    EXPECT_EQ(std::string::npos, Log().find("失敗"));

    // A second start-up changes nothing.
    IDirectSound* first = Device().directSound;
    EXPECT_EQ(-1, SetupDirectSound());
    EXPECT_EQ(first, Device().directSound);

    EXPECT_EQ(0, ShutdownDirectSound());
    EXPECT_EQ(nullptr, Device().directSound);
    EXPECT_EQ(nullptr, Device().primaryBuffer);
    EXPECT_EQ(nullptr, Device().silentBuffer);
    EXPECT_EQ(0, DsoundSeamLiveObjectCount());
    EXPECT_NE(std::string::npos, Log().find("DirectSound の終了処理は正常に終了しました\r\n"));
    const std::string before = Log();
    EXPECT_EQ(-1, ShutdownDirectSound());
    EXPECT_EQ(before, Log());
}

TEST_F(SoundTest, PrimaryFormatFollowsTheCaps) {
    const DWORD all = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT;
    struct Case {
        DWORD flags;
        DWORD maxRate;
        int rate, channels, bits;
    } cases[] = {
        {all, 48000, 44100, 2, 16},
        {all, 22050, 22050, 2, 16},
        {all & ~DSCAPS_PRIMARY16BIT, 44100, 44100, 2, 8},
        {all & ~DSCAPS_PRIMARYSTEREO, 44100, 44100, 1, 16},
    };
    for (const Case& c : cases) {
        DsoundSeamSetCaps(Caps(c.flags, c.maxRate));
        ASSERT_EQ(0, SetupDirectSound());
        int rate = 0, channels = 0, bits = 0;
        ASSERT_TRUE(DsoundSeamOutputFormat(&rate, &channels, &bits));
        EXPECT_EQ(c.rate, rate) << c.maxRate;
        EXPECT_EQ(c.channels, channels) << c.flags;
        EXPECT_EQ(c.bits, bits) << c.flags;
        ShutdownDirectSound();
    }
    EXPECT_NE(std::string::npos, Log().find(" プライマリ １６bit = NO  ８bit = OK "));
}

TEST_F(SoundTest, EachFailedStepLeavesNoDeviceAndLogsItsText) {
    struct Case {
        void (*inject)();
        const char* text;
    } cases[] = {
        {[] { DsoundSeamFailCreation(REGDB_E_CLASSNOTREG, 1); }, "DirectSoundインターフェースの作成に失敗しました\r\n"},
        {[] { DsoundSeamFailInitialize(DSERR_NODRIVER, 1); }, "初期化に失敗しました\r\n"},
        {[] { DsoundSeamFailCooperativeLevel(DSERR_INVALIDPARAM, 1); },
         "DirectSoundの協調レベルの設定に失敗しました\r\n"},
        {[] { DsoundSeamFailBufferCreation(DSBCAPS_PRIMARYBUFFER, DSERR_ALLOCATED, 1); },
         "DirectSoundのプライマリサウンドバッファの作成に失敗しました\r\n"},
    };
    for (const Case& c : cases) {
        c.inject();
        EXPECT_EQ(-1, SetupDirectSound()) << c.text;
        EXPECT_EQ(nullptr, Device().directSound) << c.text;
        EXPECT_EQ(0, DsoundSeamLiveObjectCount()) << c.text;
        EXPECT_NE(std::string::npos, Log().find(c.text));
        // Every sound operation refuses while stopped.
        EXPECT_EQ(-1, RefillAllStreamSounds());
        EXPECT_EQ(-1, DeleteAllSoundHandles(0));
        EXPECT_EQ(-1, UpdateMusicPlayFlags());
    }
    // A later try starts normally.
    EXPECT_EQ(0, SetupDirectSound());
}

TEST_F(SoundTest, OptionalPartsFailWithoutStoppingStartUp) {
    DsoundSeamFailSetFormat(1);
    DsoundSeamFailBufferCreation(DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC, DSERR_OUTOFMEMORY, 1);
    ASSERT_EQ(0, SetupDirectSound());
    EXPECT_EQ(nullptr, Device().silentBuffer);
    EXPECT_TRUE(InOrder(Log(), {"DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\r\n",
                                "無音バッファの作成に失敗しました", "DirectSound の初期化は正常に終了しました"}));
}

TEST_F(SoundTest, SilentBufferThatCannotBeLockedIsReleased) {
    DsoundSeamFailLocks(1);
    ASSERT_EQ(0, SetupDirectSound());
    EXPECT_EQ(nullptr, Device().silentBuffer);
    EXPECT_NE(std::string::npos, Log().find("無音バッファのロックに失敗しました"));
    EXPECT_EQ(1, DsoundSeamLiveBufferCount()) << "only the primary buffer is left";
}

// Without a General MIDI soundfont DirectMusic's classes are not registered.
TEST_F(SoundTest, DirectMusicModeFallsBackToDirectSound) {
    MciSeamSetSoundFont("/nonexistent/none.sf2");
    Device().mode = SoundModeDirectMusic;
    ASSERT_EQ(0, SetupDirectSound());
    EXPECT_EQ(SoundModeDirectSound, Device().mode);
    EXPECT_NE(nullptr, Device().primaryBuffer);
    EXPECT_TRUE(InOrder(Log(), {"DirectSound8 の初期化を行います\r\n",
                                "DirectMusicLoader8 オブジェクトの作成に失敗しました\r\n",
                                "前バージョンでの初期化処理に移ります\r\n", "DirectSound の初期化を行います\r\n",
                                "DirectSound の初期化は正常に終了しました\r\n"}));
    // The common steps ran once.
    const std::string log = Log();
    EXPECT_EQ(log.find("DirectSound デバイスを列挙します"), log.rfind("DirectSound デバイスを列挙します"));
    EXPECT_EQ(nullptr, Device().loader);
    EXPECT_EQ(nullptr, Device().performance);
}

// The line that ends start-up keeps the indentation of the line before the hardware log.
TEST_F(SoundTest, MissingModuleOrExportKeepsTheIndentation) {
    auto indentOf = [](const std::string& log, const std::string& text) {
        const size_t at = log.find(text);
        size_t tabs = 0;
        for (size_t i = at; i > 0 && log[i - 1] == '\t'; --i) ++tabs;
        return at == std::string::npos ? size_t{99} : tabs;
    };
    for (int missingExport = 0; missingExport < 2; ++missingExport) {
        if (missingExport)
            ModuleSeamHideExport("DirectSoundEnumerateA");
        else
            ModuleSeamFailLoad("DSOUND.DLL");
        StartLogFile();
        ASSERT_EQ(0, SetupDirectSound());
        const std::string log = Log();
        EXPECT_NE(std::string::npos, log.find(missingExport ? "DirectSound デバイスの列挙用関数のポインタ取得に失敗しました"
                                                            : "DSOUND.DLL のロードに失敗しました"));
        EXPECT_EQ(indentOf(log, "DirectSound の初期化を行います"), indentOf(log, "DirectSound の初期化は正常に終了しました"));
        ShutdownDirectSound();
        DsoundSeamReset();
        DsoundSeamUseManualOutput(true);
    }
}

// Without a sound card, the libraries under SDL's audio output report their failed
// look-ups on standard error: none of that reaches the terminal, and the library's own
// log says that start-up failed. (SDL is sent to the sound card through alsa, which on
// this machine kind has none; where one exists start-up works and still prints nothing.)
TEST_F(SoundTest, StartingWithoutASoundCardPrintsNothingOnStandardError) {
    DsoundSeamUseManualOutput(false);
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string previous = driver != nullptr ? driver : "";
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* captured = std::tmpfile();
    ASSERT_NE(nullptr, captured);
    dup2(fileno(captured), 2);
    const int result = SetupDirectSound();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    if (driver != nullptr)
        setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    std::string printed(static_cast<size_t>(std::ftell(captured)), '\0');
    std::rewind(captured);
    printed.resize(std::fread(printed.data(), 1, printed.size(), captured));
    std::fclose(captured);
    EXPECT_EQ("", printed);
    if (result != 0) {
        EXPECT_TRUE(InOrder(Log(), {"引き続きインターフェースの初期化処理...  初期化に失敗しました\r\n"}));
    }
}
