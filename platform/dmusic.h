// dmusic.h - the DirectMusic 8 calls of the library: loader, performance, the music
// object's port list and segments.
//
// DirectMusic is not installed in this layer: DirectMusicCreateInstance answers
// REGDB_E_CLASSNOTREG for every class, as the platform does on a system without it, and
// the library takes its DirectSound path (MIDI through MCI, mci.h). The methods below
// exist for the library's DirectMusic path; with no object to call them on, each answers
// E_POINTER.
#pragma once

#include "platform/dsound.h"
#include "platform/wintypes.h"

struct IDirectMusic;  // also answers for IDirectMusic8
struct IDirectMusicLoader8;
struct IDirectMusicPerformance8;
struct IDirectMusicSegment8;
struct IDirectMusicSegmentState;

extern const GUID CLSID_DirectMusicLoader;
extern const GUID CLSID_DirectMusicPerformance;
extern const GUID CLSID_DirectMusic;
extern const GUID IID_IDirectMusicLoader8;
extern const GUID IID_IDirectMusicPerformance8;
extern const GUID IID_IDirectMusic;
extern const GUID IID_IDirectMusic8;
extern const GUID GUID_PerfMasterVolume;

#define CLSCTX_INPROC_SERVER 1u
#define CLSCTX_INPROC_HANDLER 2u
#define CLSCTX_ALL 23u

struct DMUS_PORTCAPS {
    DWORD dwSize;  // 308
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    uint16_t wszDescription[128];  // UTF-16
};
static_assert(sizeof(DMUS_PORTCAPS) == 308, "DMUS_PORTCAPS is 308 bytes");
#define DMUS_PC_INPUTCLASS 0u
#define DMUS_PC_OUTPUTCLASS 1u

struct DMUS_AUDIOPARAMS {
    DWORD dwSize;  // 40
    BOOL fInitNow;
    DWORD dwValidData;
    DWORD dwFeatures;
    DWORD dwVoices;
    DWORD dwSampleRate;
    GUID clsidDefaultSynth;
};
static_assert(sizeof(DMUS_AUDIOPARAMS) == 40, "DMUS_AUDIOPARAMS is 40 bytes");
#define DMUS_AUDIOPARAMS_FEATURES 0x00000001u
#define DMUS_AUDIOPARAMS_VOICES 0x00000002u
#define DMUS_AUDIOPARAMS_SAMPLERATE 0x00000004u
#define DMUS_AUDIOF_ALL 0x3Fu
#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1u

// The class factory behind CoCreateInstance for the three classes above.
HRESULT DirectMusicCreateInstance(REFCLSID clsid, DWORD context, REFIID iid, void** out);

HRESULT IDirectMusic_QueryInterface(IDirectMusic* dm, REFIID iid, void** out);
ULONG IDirectMusic_Release(IDirectMusic* dm);
// S_OK with the port's caps, S_FALSE past the last port.
HRESULT IDirectMusic8_EnumPort(IDirectMusic* dm, DWORD index, DMUS_PORTCAPS* caps);

ULONG IDirectMusicLoader8_Release(IDirectMusicLoader8* loader);
HRESULT IDirectMusicLoader8_ReleaseObjectByUnknown(IDirectMusicLoader8* loader, void* object);

HRESULT IDirectMusicPerformance8_InitAudio(IDirectMusicPerformance8* perf, IDirectMusic** music,
                                           IDirectSound** sound, HWND window, DWORD defaultPath,
                                           DWORD channels, DWORD flags, DMUS_AUDIOPARAMS* params);
HRESULT IDirectMusicPerformance8_GetGlobalParam(IDirectMusicPerformance8* perf, REFIID guid, void* data,
                                                DWORD size);
HRESULT IDirectMusicPerformance8_Stop(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                      IDirectMusicSegmentState* state, int64_t time, DWORD flags);
HRESULT IDirectMusicPerformance8_StopEx(IDirectMusicPerformance8* perf, void* object, int64_t time, DWORD flags);
// S_OK while the segment plays, S_FALSE when not.
HRESULT IDirectMusicPerformance8_IsPlaying(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                           IDirectMusicSegmentState* state);
HRESULT IDirectMusicPerformance8_CloseDown(IDirectMusicPerformance8* perf);
ULONG IDirectMusicPerformance8_Release(IDirectMusicPerformance8* perf);

HRESULT IDirectMusicSegment8_Unload(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf);
ULONG IDirectMusicSegment8_Release(IDirectMusicSegment8* segment);

// UTF-16 to the ANSI code page (932): the bytes written including the NUL, 0 when the
// text does not fit.
int WideCharToAnsi(const uint16_t* text, int length, char* out, int outSize);
