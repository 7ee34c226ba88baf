// The DirectMusic layer: the class factory, the port list, the loader and its cache,
// and the performance playing segments into the DirectSound output, mixed on request.
#include <gtest/gtest.h>

#include "platform/testing.h"
#include "support/midi_files.h"

namespace {

template <typename T>
T* Create(const GUID& clsid, const GUID& iid) {
    void* made = nullptr;
    EXPECT_EQ(S_OK, DirectMusicCreateInstance(clsid, 3, iid, &made));
    return static_cast<T*>(made);
}

DMUS_OBJECTDESC MemoryDesc(const std::vector<uint8_t>& data) {
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = data.data();
    desc.llMemLength = static_cast<LONGLONG>(data.size());
    return desc;
}

class DmusicLayer : public ::testing::Test {
protected:
    void SetUp() override {
        DsoundSeamReset();
        DsoundSeamUseManualOutput(true);
        DmusicSeamReset();
        MciSeamReset();
        loader = Create<IDirectMusicLoader8>(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8);
        perf = Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
    }
    void TearDown() override {
        IDirectMusicPerformance8_Release(perf);
        IDirectMusicLoader8_Release(loader);
        EXPECT_EQ(0, DmusicSeamLiveObjectCount());
        EXPECT_EQ(0, DsoundSeamLiveObjectCount());
        DsoundSeamReset();
    }
    // The performance started on an output of its own; the caller's reference dropped.
    void Start() {
        IDirectSound* ds = nullptr;
        DMUS_AUDIOPARAMS params{};
        params.dwSize = sizeof params;
        params.dwValidData = DMUS_AUDIOPARAMS_SAMPLERATE;
        params.dwSampleRate = 22050;
        ASSERT_EQ(S_OK, IDirectMusicPerformance8_InitAudio(perf, nullptr, &ds, nullptr,
                                                           DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                                                           &params));
        ASSERT_NE(nullptr, ds);
        EXPECT_EQ(44100u, params.dwSampleRate) << "the rate granted is the output's";
        EXPECT_EQ(1u, IDirectSound_Release(ds)) << "the performance keeps its own reference";
    }
    IDirectMusicSegment8* Load(const std::vector<uint8_t>& data = kOneNoteMidi) {
        const DMUS_OBJECTDESC desc = MemoryDesc(data);
        void* made = nullptr;
        EXPECT_EQ(S_OK, IDirectMusicLoader8_GetObject(loader, &desc, IID_IDirectMusicSegment8, &made));
        return static_cast<IDirectMusicSegment8*>(made);
    }
    // Mixes `ms` milliseconds; the peak of what was heard.
    int Mix(int ms) { return PeakAmplitude(DsoundSeamMix(441 * ms / 10)); }
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicPerformance8* perf = nullptr;
};

}  // namespace

TEST(DmusicFactory, ClassesInterfacesAndAMissingSoundfont) {
    struct Case {
        const GUID* clsid;
        const GUID* iid;
        HRESULT result;
    } cases[] = {
        {&CLSID_DirectMusic, &IID_IDirectMusic, S_OK},
        {&CLSID_DirectMusic, &IID_IDirectMusic8, S_OK},
        {&CLSID_DirectMusic, &IID_IDirectMusicLoader8, E_NOINTERFACE},
        {&CLSID_DirectMusicLoader, &IID_IDirectMusicPerformance8, E_NOINTERFACE},
        {&CLSID_DirectMusicSegment, &IID_IDirectMusicSegment8, REGDB_E_CLASSNOTREG},  // made by the loader only
        {&CLSID_DirectSound, &IID_IDirectSound, REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        void* made = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.result, DirectMusicCreateInstance(*c.clsid, 3, *c.iid, &made));
        EXPECT_EQ(c.result == S_OK, made != nullptr);
        if (made != nullptr) IDirectMusic_Release(static_cast<IDirectMusic*>(made));
    }
    MciSeamSetSoundFont("/nonexistent/none.sf2");
    for (const GUID* clsid : {&CLSID_DirectMusic, &CLSID_DirectMusicLoader, &CLSID_DirectMusicPerformance}) {
        void* made = nullptr;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, DirectMusicCreateInstance(*clsid, 3, IID_IDirectMusicLoader8, &made));
    }
    MciSeamReset();
    EXPECT_EQ(0, DmusicSeamLiveObjectCount());
}

TEST(DmusicFactory, OneOutputPortAndTheSameObjectUnderBothInterfaces) {
    auto* dm = Create<IDirectMusic>(CLSID_DirectMusic, IID_IDirectMusic);
    void* dm8 = nullptr;
    ASSERT_EQ(S_OK, IDirectMusic_QueryInterface(dm, IID_IDirectMusic8, &dm8));
    EXPECT_EQ(dm, dm8);
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(S_OK, IDirectMusic8_EnumPort(dm, 0, &caps));
    EXPECT_EQ(DMUS_PC_OUTPUTCLASS, caps.dwClass);
    char text[256];
    ASSERT_GT(WideCharToAnsi(caps.wszDescription, 40, text, sizeof text), 0);
    EXPECT_STREQ("General MIDI Software Synthesizer (", std::string(text).substr(0, 35).c_str());
    EXPECT_EQ(S_FALSE, IDirectMusic8_EnumPort(dm, 1, &caps));
    caps.dwSize = 300;
    EXPECT_EQ(E_INVALIDARG, IDirectMusic8_EnumPort(dm, 0, &caps));
    EXPECT_EQ(1u, IDirectMusic_Release(dm));
    EXPECT_EQ(0u, IDirectMusic_Release(static_cast<IDirectMusic*>(dm8)));
    EXPECT_EQ(E_POINTER, IDirectMusic8_EnumPort(dm, 0, &caps)) << "released";
}

TEST_F(DmusicLayer, LoaderTakesStandardMidiFilesFromMemoryOnly) {
    std::vector<uint8_t> badFormat = kOneNoteMidi;
    badFormat[9] = 3;
    std::vector<uint8_t> noTrack = kOneNoteMidi;
    noTrack[14] = 'X';
    std::vector<uint8_t> hugeHeader = kOneNoteMidi;
    hugeHeader[4] = 0x7F;
    const std::vector<uint8_t> truncated(kOneNoteMidi.begin(), kOneNoteMidi.begin() + 21);
    struct Case {
        const char* what;
        const std::vector<uint8_t>* data;
        DWORD valid;
        const GUID* iid;
        HRESULT result;
    } cases[] = {
        {"format 3", &badFormat, DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY, &IID_IDirectMusicSegment8, DMUS_E_UNSUPPORTED_STREAM},
        {"no track chunk", &noTrack, DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY, &IID_IDirectMusicSegment8, DMUS_E_UNSUPPORTED_STREAM},
        {"header past the end", &hugeHeader, DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY, &IID_IDirectMusicSegment8, DMUS_E_UNSUPPORTED_STREAM},
        {"truncated", &truncated, DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY, &IID_IDirectMusicSegment8, DMUS_E_UNSUPPORTED_STREAM},
        {"a file name", &kOneNoteMidi, DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME, &IID_IDirectMusicSegment8, E_NOTIMPL},
        {"no class", &kOneNoteMidi, DMUS_OBJ_MEMORY, &IID_IDirectMusicSegment8, E_INVALIDARG},
        {"another interface", &kOneNoteMidi, DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY, &IID_IDirectMusic, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        DMUS_OBJECTDESC desc = MemoryDesc(*c.data);
        desc.dwValidData = c.valid;
        void* made = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.result, IDirectMusicLoader8_GetObject(loader, &desc, *c.iid, &made)) << c.what;
        EXPECT_EQ(nullptr, made) << c.what;
    }
    EXPECT_EQ(2, DmusicSeamLiveObjectCount());

    // The cache holds a reference of its own until it lets go or the loader goes.
    IDirectMusicSegment8* segment = Load();
    ASSERT_NE(nullptr, segment);
    EXPECT_EQ(S_OK, IDirectMusicLoader8_ReleaseObjectByUnknown(loader, segment));
    EXPECT_EQ(S_FALSE, IDirectMusicLoader8_ReleaseObjectByUnknown(loader, segment));
    EXPECT_EQ(0u, IDirectMusicSegment8_Release(segment));
    IDirectMusicSegment8* kept = Load();
    EXPECT_EQ(1u, IDirectMusicSegment8_Release(kept));
    EXPECT_EQ(3, DmusicSeamLiveObjectCount()) << "the cached segment lives until the loader goes";
}

TEST_F(DmusicLayer, PerformancePlaysRepeatsAndStops) {
    IDirectMusicSegment8* segment = Load();
    EXPECT_EQ(E_FAIL, IDirectMusicSegment8_Download(segment, perf)) << "not started";
    EXPECT_EQ(E_FAIL, IDirectMusicPerformance8_PlaySegmentEx(perf, segment, nullptr, nullptr, 0, 0, nullptr, nullptr,
                                                             nullptr));
    Start();
    EXPECT_EQ(E_FAIL, IDirectMusicPerformance8_InitAudio(perf, nullptr, nullptr, nullptr, 0, 64, 0, nullptr))
        << "once";
    EXPECT_EQ(S_OK, IDirectMusicSegment8_Download(segment, perf));
    int32_t volume = 99;
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_GetGlobalParam(perf, GUID_PerfMasterVolume, &volume, 4));
    EXPECT_EQ(0, volume);
    EXPECT_EQ(0, Mix(100)) << "silence before anything plays";

    // One repeat: two rounds of a quarter of a second.
    ASSERT_EQ(S_OK, IDirectMusicSegment8_SetRepeats(segment, 1));
    ASSERT_EQ(S_OK, IDirectMusicPerformance8_PlaySegmentEx(perf, segment, nullptr, nullptr, 0, 0, nullptr, nullptr,
                                                           nullptr));
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr));
    EXPECT_GT(Mix(200), 100);
    Mix(200);
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr)) << "in the second round";
    EXPECT_GT(Mix(60), 100) << "struck again";
    Mix(100);
    EXPECT_EQ(S_FALSE, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr)) << "both rounds over";

    // Stopping cuts the notes; the performance lets go of the segment.
    ASSERT_EQ(S_OK, IDirectMusicSegment8_SetRepeats(segment, DMUS_SEG_REPEAT_INFINITE));
    ASSERT_EQ(S_OK, IDirectMusicPerformance8_PlaySegmentEx(perf, segment, nullptr, nullptr, 0, 0, nullptr, nullptr,
                                                           nullptr));
    Mix(2000);
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr));
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_StopEx(perf, segment, 0, 0));
    EXPECT_EQ(S_FALSE, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr));
    Mix(1500);
    EXPECT_LT(Mix(100), 50);
    EXPECT_EQ(E_POINTER, IDirectMusicPerformance8_IsPlaying(perf, nullptr, nullptr));
    IDirectMusicLoader8_ReleaseObjectByUnknown(loader, segment);
    EXPECT_EQ(0u, IDirectMusicSegment8_Release(segment));
}

TEST_F(DmusicLayer, CloseDownTakesTheMusicOutOfTheCallersOutput) {
    void* made = nullptr;
    ASSERT_EQ(S_OK, DirectSoundCreateInstance(CLSID_DirectSound, IID_IDirectSound, &made));
    auto* ds = static_cast<IDirectSound*>(made);
    ASSERT_EQ(S_OK, IDirectSound_Initialize(ds, nullptr));
    IDirectMusic* music = nullptr;
    ASSERT_EQ(S_OK, IDirectMusicPerformance8_InitAudio(perf, &music, &ds, nullptr, 0, 16, 0, nullptr));
    ASSERT_NE(nullptr, music);
    EXPECT_EQ(0u, IDirectMusic_Release(music));
    IDirectMusicSegment8* segment = Load();
    ASSERT_EQ(S_OK, IDirectMusicLoader8_ReleaseObjectByUnknown(loader, segment));
    ASSERT_EQ(S_OK, IDirectMusicSegment8_SetRepeats(segment, DMUS_SEG_REPEAT_INFINITE));
    ASSERT_EQ(S_OK, IDirectMusicPerformance8_PlaySegmentEx(perf, segment, nullptr, nullptr, 0, 0, nullptr, nullptr,
                                                           nullptr));
    EXPECT_EQ(1u, IDirectMusicSegment8_Release(segment)) << "the performance holds it while it plays";
    EXPECT_GT(Mix(100), 100);
    EXPECT_EQ(S_OK, IDirectMusicPerformance8_CloseDown(perf));
    EXPECT_EQ(0, Mix(100)) << "the synthesizer is no longer mixed";
    EXPECT_EQ(E_FAIL, IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr));
    EXPECT_EQ(0u, IDirectSound_Release(ds));
}
