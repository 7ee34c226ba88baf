// sound_device.cpp - starting and ending the sound device.
//
// SetupDirectSound makes the one DirectSound object (directly, or through DirectMusic's
// performance in DirectMusic mode, which falls back to plain DirectSound when its loader
// cannot be made), the primary buffer, a looping buffer of silence and the empty stream
// list, and logs the sound hardware. Library start-up ignores its result: without a
// device the library runs silent. ShutdownDirectSound closes the capture, deletes every
// sound and music handle and releases the objects.
#include <cstring>

#include "library/core/log.h"
#include "library/sound/sound.h"
#include "library/sound/sound_internal.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/module.h"
#include "platform/window/window.h"

SoundDeviceState SoundDeviceStateRecord;

int LogSoundDriverEntry(GUID*, const char* description, const char* module, void*) {
    WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

namespace {

SoundDeviceState& Device(void) { return SoundDeviceStateRecord; }

// Releases the object after a failed start-up step and leaves the field null.
int AbandonDirectSound(const char* text) {
    WriteLogText(text);
    IDirectSound_Release(Device().directSound);
    Device().directSound = nullptr;
    return -1;
}

// Closes down and releases the performance and the loader, when made.
void ReleaseDirectMusicObjects(void) {
    SoundDeviceState& d = Device();
    if (d.performance != nullptr) {
        IDirectMusicPerformance8_Stop(d.performance, nullptr, nullptr, 0, 0);
        IDirectMusicPerformance8_CloseDown(d.performance);
        IDirectMusicPerformance8_Release(d.performance);
        d.performance = nullptr;
    }
    if (d.loader != nullptr) IDirectMusicLoader8_Release(d.loader);
    d.loader = nullptr;
}

// A failed DirectMusic start-up step: the shutdown finds no DirectSound object and does
// nothing, so the objects made so far are released here, and a later start-up begins
// afresh.
int AbandonDirectMusic(const char* text) {
    WriteLogText(text);
    ShutdownDirectSound();
    ReleaseDirectMusicObjects();
    return -1;
}

WAVEFORMATEX PcmFormat(int channels, int rate, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

int StartDirectSoundMode(void) {
    SoundDeviceState& d = Device();
    WriteLogText("DirectSound の初期化を行います\n");
    WriteLogText("DirectSound インターフェースの取得を行います....  ");
    void* made = nullptr;
    if (FAILED(DirectSoundCreateInstance(CLSID_DirectSound, IID_IDirectSound, &made))) {
        d.directSound = nullptr;
        return WriteLogText("DirectSoundインターフェースの作成に失敗しました\n");
    }
    d.directSound = static_cast<IDirectSound*>(made);
    WriteLogText("成功\n");
    WriteLogText("引き続きインターフェースの初期化処理...  ");
    if (FAILED(IDirectSound_Initialize(d.directSound, nullptr))) return AbandonDirectSound("初期化に失敗しました\n");
    WriteLogText("成功\n");
    if (FAILED(IDirectSound_SetCooperativeLevel(d.directSound, GetDesktopWindow(), DSSCL_PRIORITY)))
        return AbandonDirectSound("DirectSoundの協調レベルの設定に失敗しました\n");

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(IDirectSound_CreateSoundBuffer(d.directSound, &desc, &d.primaryBuffer, nullptr))) {
        d.primaryBuffer = nullptr;
        return AbandonDirectSound("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    }

    DSCAPS caps{};
    caps.dwSize = sizeof(DSCAPS);
    IDirectSound_GetCaps(d.directSound, &caps);
    const int channels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    const int bits = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    const int rate = caps.dwMaxSecondarySampleRate > 44100 ? 44100 : static_cast<int>(caps.dwMaxSecondarySampleRate);
    WAVEFORMATEX primary = PcmFormat(channels, rate, bits);
    if (FAILED(IDirectSoundBuffer_SetFormat(d.primaryBuffer, &primary)))
        WriteLogText("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    return 0;
}

// Each port of the music object, in the log.
void LogMusicPorts(IDirectMusic* music) {
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(DMUS_PORTCAPS);
    for (DWORD index = 0;; ++index) {
        if (IDirectMusic8_EnumPort(music, index, &caps) != S_OK) break;
        char description[256];
        int length = 0;
        while (length < 128 && caps.wszDescription[length] != 0) ++length;
        if (WideCharToAnsi(caps.wszDescription, length, description, sizeof description) == 0) description[0] = '\0';
        WriteLogFormat("%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                       static_cast<int>(index), description);
    }
}

int StartDirectMusicMode(void) {
    SoundDeviceState& d = Device();
    WriteLogText("DirectSound8 の初期化を行います\n");
    void* made = nullptr;
    if (FAILED(DirectMusicCreateInstance(CLSID_DirectMusicLoader, 3, IID_IDirectMusicLoader8, &made))) {
        WriteLogText("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        WriteLogText("前バージョンでの初期化処理に移ります\n");
        d.mode = SoundModeDirectSound;
        return SetupDirectSound();
    }
    d.loader = static_cast<IDirectMusicLoader8*>(made);
    if (FAILED(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, 3, IID_IDirectMusicPerformance8, &made)))
        return AbandonDirectMusic("DirectMusicPerformance オブジェクトの作成に失敗しました\n");
    d.performance = static_cast<IDirectMusicPerformance8*>(made);
    if (FAILED(DirectMusicCreateInstance(CLSID_DirectMusic, CLSCTX_INPROC_SERVER, IID_IDirectMusic, &made)))
        return AbandonDirectMusic("DirectMusic オブジェクトの取得に失敗しました\n");
    auto* music = static_cast<IDirectMusic*>(made);
    void* music8 = nullptr;
    if (FAILED(IDirectMusic_QueryInterface(music, IID_IDirectMusic8, &music8))) {
        IDirectMusic_Release(music);
        return AbandonDirectMusic("DirectMusic8 オブジェクトの取得に失敗しました\n");
    }
    LogMusicPorts(static_cast<IDirectMusic*>(music8));
    IDirectMusic_Release(static_cast<IDirectMusic*>(music8));
    IDirectMusic_Release(music);

    DMUS_AUDIOPARAMS params{};
    params.dwSize = sizeof(DMUS_AUDIOPARAMS);
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    d.directSound = nullptr;
    IDirectMusic* notKept = nullptr;
    if (FAILED(IDirectMusicPerformance8_InitAudio(d.performance, &notKept, &d.directSound, nullptr,
                                                  DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                                                  &params)))
        return AbandonDirectMusic("DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
    if (notKept != nullptr) IDirectMusic_Release(notKept);
    IDirectMusicPerformance8_GetGlobalParam(d.performance, GUID_PerfMasterVolume, &d.masterVolume, 4);
    return 0;
}

// The looping buffer of silence that keeps the output running.
void StartSilentLoop(void) {
    SoundDeviceState& d = Device();
    WAVEFORMATEX format = PcmFormat(2, 44100, 16);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC;
    desc.dwBufferBytes = 100 * format.nBlockAlign;
    desc.lpwfxFormat = &format;
    if (FAILED(IDirectSound_CreateSoundBuffer(d.directSound, &desc, &d.silentBuffer, nullptr))) {
        d.silentBuffer = nullptr;
        WriteLogText("無音バッファの作成に失敗しました");
        return;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (FAILED(IDirectSoundBuffer_Lock(d.silentBuffer, 0, desc.dwBufferBytes, &first, &firstBytes, &second,
                                       &secondBytes, 0))) {
        WriteLogText("無音バッファのロックに失敗しました");
        IDirectSoundBuffer_Release(d.silentBuffer);
        d.silentBuffer = nullptr;
        return;
    }
    if (first) std::memset(first, 0, firstBytes / 2 * 2);
    if (second) std::memset(second, 0, secondBytes / 2 * 2);
    IDirectSoundBuffer_Unlock(d.silentBuffer, first, firstBytes, second, secondBytes);
    IDirectSoundBuffer_Play(d.silentBuffer, 0, 0, DSBPLAY_LOOPING);
}

const char* Ok(DWORD flags, DWORD bit) { return (flags & bit) ? "OK" : "NO"; }

void LogSoundHardware(void) {
    SoundDeviceState& d = Device();
    if (d.directSound == nullptr) return;
    IncLogIndent();
    DSCAPS caps{};
    caps.dwSize = sizeof(DSCAPS);
    IDirectSound_GetCaps(d.directSound, &caps);
    WriteLogText("DirectSound デバイスを列挙します\n");
    IncLogIndent();
    HMODULE dll = LoadLibraryA("DSOUND.DLL");
    if (dll == nullptr) {
        WriteLogText("DSOUND.DLL のロードに失敗しました\n");
        DecLogIndent();
        DecLogIndent();
        return;
    }
    auto enumerate = reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, void*)>(GetProcAddress(dll, "DirectSoundEnumerateA"));
    if (enumerate == nullptr) {
        FreeLibrary(dll);
        WriteLogText("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        DecLogIndent();
        DecLogIndent();
        return;
    }
    enumerate(LogSoundDriverEntry, nullptr);
    DecLogIndent();
    WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                   caps.dwMaxSecondarySampleRate * 0.001, caps.dwMinSecondarySampleRate * 0.001);
    WriteLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                   caps.dwFreeHwMemBytes / 1024.0);
    WriteLogText("利用可能サンプリング精度\n");
    WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", Ok(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                   Ok(caps.dwFlags, DSCAPS_PRIMARY8BIT));
    WriteLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", Ok(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                   Ok(caps.dwFlags, DSCAPS_SECONDARY8BIT));
    WriteLogText("利用可能チャンネル\n");
    WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", Ok(caps.dwFlags, DSCAPS_PRIMARYMONO),
                   Ok(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
    WriteLogFormat(" セカンダリ MONO = %s  STEREO = %s \n", Ok(caps.dwFlags, DSCAPS_SECONDARYMONO),
                   Ok(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
    DecLogIndent();
    FreeLibrary(dll);
}

}  // namespace

int SetupDirectSound(void) {
    SoundDeviceState& d = Device();
    if (d.directSound != nullptr) return -1;
    if (d.mode == SoundModeDirectMusic) {
        const int result = StartDirectMusicMode();
        // A fallback to DirectSound mode has finished the whole start-up already.
        if (result != 0 || d.mode != SoundModeDirectMusic) return result;
    } else if (StartDirectSoundMode() != 0) {
        return -1;
    }
    StartSilentLoop();
    InitLinkList(&d.streamHead, &d.streamTail);
    LogSoundHardware();
    WriteLogText("DirectSound の初期化は正常に終了しました\n");
    DeleteAllSoundHandles(0);
    return 0;
}

int ShutdownDirectSound(void) {
    SoundDeviceState& d = Device();
    if (d.directSound == nullptr) return -1;
    CloseSoundCaptureFile();
    DeleteAllSoundHandles(0);
    DeleteAllMusicHandles();
    DeleteFileA(MusicStateRecord.tempMidiPath);
    if (d.mode == SoundModeDirectMusic) ReleaseDirectMusicObjects();
    if (d.primaryBuffer != nullptr) {
        IDirectSoundBuffer_Stop(d.primaryBuffer);
        IDirectSoundBuffer_Release(d.primaryBuffer);
        d.primaryBuffer = nullptr;
    }
    if (d.silentBuffer != nullptr) {
        IDirectSoundBuffer_Stop(d.silentBuffer);
        IDirectSoundBuffer_Release(d.silentBuffer);
        d.silentBuffer = nullptr;
    }
    IDirectSound_Release(d.directSound);
    d.directSound = nullptr;
    WriteLogText("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}
