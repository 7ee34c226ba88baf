// dmusic.h - the DirectMusic 8 calls of the library: the loader and its segments, the
// performance that plays them, and the music object's port list.
//
//     DirectMusicCreateInstance(CLSID_DirectMusicLoader, 3, IID_IDirectMusicLoader8, &loader);
//     DirectMusicCreateInstance(CLSID_DirectMusicPerformance, 3, IID_IDirectMusicPerformance8, &perf);
//     IDirectMusicPerformance8_InitAudio(perf, nullptr, &directSound, nullptr,
//                                        DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL, &params);
//     DMUS_OBJECTDESC desc{}; desc.dwSize = sizeof desc;
//     desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY; desc.guidClass = CLSID_DirectMusicSegment;
//     desc.pbMemData = midi; desc.llMemLength = bytes;
//     IDirectMusicLoader8_GetObject(loader, &desc, IID_IDirectMusicSegment8, &segment);
//     IDirectMusicSegment8_Download(segment, perf);
//     IDirectMusicSegment8_SetRepeats(segment, DMUS_SEG_REPEAT_INFINITE);
//     IDirectMusicPerformance8_PlaySegmentEx(perf, segment, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr);
//     ... IDirectMusicPerformance8_IsPlaying(perf, segment, nullptr) == S_OK while it plays ...
//
// What stands behind it: the performance's synthesizer is FluidSynth with the system's
// General MIDI soundfont (midi_synth.h). InitAudio makes the DirectSound object (dsound.h)
// and mixes the synthesizer into that object's output after its buffers, so the music is
// heard wherever the sound buffers are, and moves only when the output mixes (in tests,
// when they mix on request). Segments are standard MIDI files loaded from memory; one
// primary segment plays at a time, and playing another replaces it. The synthesizer
// holds every General MIDI instrument, so Download and Unload have nothing to move.
//
// On a system without a General MIDI soundfont the three classes are not registered
// (REGDB_E_CLASSNOTREG), as on a system without DirectMusic. Objects are reference
// counted; a call on a null or released object returns E_POINTER. Segment states,
// secondary segments and loading from files are not offered (E_NOTIMPL).
#pragma once

#include "platform/sound/dsound.h"
#include "platform/wintypes.h"

struct IDirectMusic;  // also answers for IDirectMusic8
struct IDirectMusicLoader8;
struct IDirectMusicPerformance8;
struct IDirectMusicSegment8;
struct IDirectMusicSegmentState;

extern const GUID CLSID_DirectMusicLoader;
extern const GUID CLSID_DirectMusicPerformance;
extern const GUID CLSID_DirectMusic;
extern const GUID CLSID_DirectMusicSegment;
extern const GUID IID_IDirectMusicLoader8;
extern const GUID IID_IDirectMusicPerformance8;
extern const GUID IID_IDirectMusic;
extern const GUID IID_IDirectMusic8;
extern const GUID IID_IDirectMusicSegment8;
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
#define DMUS_PC_SOFTWARESYNTH 0x00000004u
#define DMUS_PC_GMINHARDWARE 0x00000010u
#define DMUS_PORT_USER_MODE_SYNTH 1u

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
#define DMUS_APATH_DYNAMIC_3D 6u
#define DMUS_APATH_DYNAMIC_MONO 7u
#define DMUS_APATH_DYNAMIC_STEREO 8u

// What the loader is asked for. Only objects held in memory are loaded here.
struct DMUS_VERSION {
    DWORD dwVersionMS;
    DWORD dwVersionLS;
};
struct DMUS_OBJECTDESC {
    DWORD dwSize;
    DWORD dwValidData;  // DMUS_OBJ_ flags of the fields that hold something
    GUID guidObject;
    GUID guidClass;
    FILETIME ftDate;
    DMUS_VERSION vVersion;
    uint16_t wszName[64];
    uint16_t wszCategory[64];
    uint16_t wszFileName[260];
    LONGLONG llMemLength;
    const BYTE* pbMemData;
    void* pStream;
};
#define DMUS_OBJ_OBJECT 0x00000001u
#define DMUS_OBJ_CLASS 0x00000002u
#define DMUS_OBJ_NAME 0x00000004u
#define DMUS_OBJ_CATEGORY 0x00000008u
#define DMUS_OBJ_FILENAME 0x00000010u
#define DMUS_OBJ_FULLPATH 0x00000020u
#define DMUS_OBJ_MEMORY 0x00000400u
#define DMUS_OBJ_STREAM 0x00000800u

// The loader's answer for data that is not a standard MIDI file.
#define DMUS_E_UNSUPPORTED_STREAM static_cast<HRESULT>(0x88781205u)

#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFFu
#define DMUS_SEGF_SECONDARY 0x00000080u

// The class factory behind CoCreateInstance for the three classes above.
HRESULT DirectMusicCreateInstance(REFCLSID clsid, DWORD context, REFIID iid, void** out);

HRESULT IDirectMusic_QueryInterface(IDirectMusic* dm, REFIID iid, void** out);
ULONG IDirectMusic_Release(IDirectMusic* dm);
// S_OK with the port's caps (one output port: the synthesizer), S_FALSE past the last.
HRESULT IDirectMusic8_EnumPort(IDirectMusic* dm, DWORD index, DMUS_PORTCAPS* caps);

ULONG IDirectMusicLoader8_Release(IDirectMusicLoader8* loader);
// A segment (CLSID_DirectMusicSegment, IID_IDirectMusicSegment8) from a standard MIDI
// file in memory; the loader copies the bytes and keeps the segment in its cache until
// ReleaseObjectByUnknown or its own release.
HRESULT IDirectMusicLoader8_GetObject(IDirectMusicLoader8* loader, const DMUS_OBJECTDESC* desc, REFIID iid,
                                      void** out);
// Drops the cache's hold on an object: S_OK, or S_FALSE when the cache does not hold it.
HRESULT IDirectMusicLoader8_ReleaseObjectByUnknown(IDirectMusicLoader8* loader, void* object);

HRESULT IDirectMusicPerformance8_InitAudio(IDirectMusicPerformance8* perf, IDirectMusic** music,
                                           IDirectSound** sound, HWND window, DWORD defaultPath,
                                           DWORD channels, DWORD flags, DMUS_AUDIOPARAMS* params);
HRESULT IDirectMusicPerformance8_GetGlobalParam(IDirectMusicPerformance8* perf, REFIID guid, void* data,
                                                DWORD size);
// Plays a segment as the primary segment from its start, replacing the one playing.
HRESULT IDirectMusicPerformance8_PlaySegmentEx(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                               const uint16_t* name, void* transition, DWORD flags,
                                               int64_t startTime, IDirectMusicSegmentState** state, void* from,
                                               void* audioPath);
// Stops the segment, or every segment when it is null.
HRESULT IDirectMusicPerformance8_Stop(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                      IDirectMusicSegmentState* state, int64_t time, DWORD flags);
HRESULT IDirectMusicPerformance8_StopEx(IDirectMusicPerformance8* perf, void* object, int64_t time, DWORD flags);
// S_OK while the segment plays, S_FALSE when not.
HRESULT IDirectMusicPerformance8_IsPlaying(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                           IDirectMusicSegmentState* state);
HRESULT IDirectMusicPerformance8_CloseDown(IDirectMusicPerformance8* perf);
ULONG IDirectMusicPerformance8_Release(IDirectMusicPerformance8* perf);

// The number of times the segment repeats after its first play.
HRESULT IDirectMusicSegment8_SetRepeats(IDirectMusicSegment8* segment, DWORD repeats);
HRESULT IDirectMusicSegment8_Download(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf);
HRESULT IDirectMusicSegment8_Unload(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf);
ULONG IDirectMusicSegment8_Release(IDirectMusicSegment8* segment);

// UTF-16 to the ANSI code page (932): the bytes written including the NUL, 0 when the
// text does not fit.
int WideCharToAnsi(const uint16_t* text, int length, char* out, int outSize);
