// The DirectSound layer's mixer and buffers, mixed on request.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing.h"

namespace {

class DsoundLayer : public ::testing::Test {
protected:
    void SetUp() override {
        DsoundSeamReset();
        DsoundSeamUseManualOutput(true);
        void* made = nullptr;
        ASSERT_EQ(S_OK, DirectSoundCreateInstance(CLSID_DirectSound, IID_IDirectSound, &made));
        ds = static_cast<IDirectSound*>(made);
        ASSERT_EQ(S_OK, IDirectSound_Initialize(ds, nullptr));
        ASSERT_EQ(S_OK, IDirectSound_SetCooperativeLevel(ds, GetDesktopWindow(), DSSCL_PRIORITY));
    }
    void TearDown() override {
        IDirectSound_Release(ds);
        EXPECT_EQ(0, DsoundSeamLiveObjectCount());
        DsoundSeamReset();
    }
    IDirectSoundBuffer* Buffer(int rate, int channels, const std::vector<int16_t>& samples, DWORD flags) {
        WAVEFORMATEX f{WAVE_FORMAT_PCM, static_cast<WORD>(channels), static_cast<DWORD>(rate), 0,
                       static_cast<WORD>(2 * channels), 16, 0};
        f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), flags, static_cast<DWORD>(samples.size() * 2), 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(S_OK, IDirectSound_CreateSoundBuffer(ds, &d, &b, nullptr));
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(S_OK, IDirectSoundBuffer_Lock(b, 0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0));
        std::memcpy(p1, samples.data(), n1);
        IDirectSoundBuffer_Unlock(b, p1, n1, p2, n2);
        return b;
    }
    IDirectSound* ds = nullptr;
};

}  // namespace

TEST_F(DsoundLayer, HalfRateMonoIsInterpolatedOntoBothSides) {
    IDirectSoundBuffer* b = Buffer(22050, 1, {0, 1000, 2000, 3000}, 0);
    IDirectSoundBuffer_Play(b, 0, 0, 0);
    const std::vector<int16_t> out = DsoundSeamMix(10);
    const int16_t expected[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3000};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(expected[i], out[2 * i]) << i;
        EXPECT_EQ(expected[i], out[2 * i + 1]) << i;
    }
    EXPECT_EQ(0, out[16]) << "a one-shot buffer stops at its end";
    DWORD status = 9, play = 9;
    IDirectSoundBuffer_GetStatus(b, &status);
    IDirectSoundBuffer_GetCurrentPosition(b, &play, nullptr);
    EXPECT_EQ(0u, status);
    EXPECT_EQ(0u, play);
}

TEST_F(DsoundLayer, VolumeAndPanNeedTheirControlsAndScaleTheSides) {
    IDirectSoundBuffer* plain = Buffer(44100, 2, {10000, 10000}, 0);
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, IDirectSoundBuffer_SetVolume(plain, -600));
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, IDirectSoundBuffer_SetPan(plain, 0));
    IDirectSoundBuffer_Release(plain);
    IDirectSoundBuffer* b = Buffer(44100, 2, {10000, 10000}, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN);
    ASSERT_EQ(S_OK, IDirectSoundBuffer_SetVolume(b, -2000));  // a tenth
    ASSERT_EQ(S_OK, IDirectSoundBuffer_SetPan(b, DSBPAN_RIGHT));
    IDirectSoundBuffer_Play(b, 0, 0, DSBPLAY_LOOPING);
    const std::vector<int16_t> out = DsoundSeamMix(3);
    EXPECT_EQ(0, out[0]) << "a pan to the right silences the left";
    EXPECT_NEAR(1000, out[1], 1);
    EXPECT_NEAR(1000, out[5], 1) << "looping";
    EXPECT_EQ(DSERR_INVALIDPARAM, IDirectSoundBuffer_SetVolume(b, 1));
}

TEST_F(DsoundLayer, DuplicatesShareTheSamplesAndDieWithTheObject) {
    IDirectSoundBuffer* b = Buffer(44100, 1, {1, 2, 3, 4}, 0);
    IDirectSoundBuffer* dup = nullptr;
    ASSERT_EQ(S_OK, IDirectSound_DuplicateSoundBuffer(ds, b, &dup));
    EXPECT_EQ(2, DsoundSeamLiveBufferCount());
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(S_OK, IDirectSoundBuffer_Lock(dup, 6, 4, &p1, &n1, &p2, &n2, 0));
    EXPECT_EQ(2u, n1) << "the range wraps past the end";
    EXPECT_EQ(2u, n2);
    EXPECT_EQ(4, *static_cast<int16_t*>(p1));
    EXPECT_EQ(1, *static_cast<int16_t*>(p2));
    IDirectSoundBuffer_Unlock(dup, p1, n1, p2, n2);
    EXPECT_EQ(DSERR_INVALIDPARAM, IDirectSoundBuffer_Lock(dup, 8, 2, &p1, &n1, &p2, &n2, 0));
}

TEST(DsoundModules, LoadsTheKnownModuleOnly) {
    HMODULE dll = LoadLibraryA("dsound.dll");
    ASSERT_NE(nullptr, dll);
    EXPECT_NE(nullptr, GetProcAddress(dll, "DirectSoundEnumerateA"));
    EXPECT_EQ(nullptr, GetProcAddress(dll, "DirectSoundCreate"));
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(nullptr, LoadLibraryA("zzqq_MesHoooooook.dll"));
}

// With SDL's dummy driver the output's own thread plays the buffer.
TEST(DsoundOutput, TheDeviceThreadMovesThePlayCursor) {
    DsoundSeamReset();
    void* made = nullptr;
    ASSERT_EQ(S_OK, DirectSoundCreateInstance(CLSID_DirectSound, IID_IDirectSound, &made));
    auto* ds = static_cast<IDirectSound*>(made);
    if (IDirectSound_Initialize(ds, nullptr) != S_OK) {
        IDirectSound_Release(ds);
        GTEST_SKIP() << "no audio output";
    }
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), 0, 176400, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(S_OK, IDirectSound_CreateSoundBuffer(ds, &d, &b, nullptr));
    IDirectSoundBuffer_Play(b, 0, 0, DSBPLAY_LOOPING);
    DWORD play = 0;
    for (int i = 0; i < 300 && play == 0; ++i) {
        SDL_Delay(10);
        IDirectSoundBuffer_GetCurrentPosition(b, &play, nullptr);
    }
    EXPECT_GT(play, 0u);
    IDirectSound_Release(ds);
}
