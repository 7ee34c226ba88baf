// dsound.h - the DirectSound stand-in: the sound object, its primary buffer and the
// secondary sound buffers, mixed in the layer and played through SDL2 audio.
//
// The folder also holds the rest of the sound services: compressed-audio conversion
// (acm.h: libmpg123 for MP3, our own ADPCM codecs), MIDI through MCI (mci.h) and
// DirectMusic segments (dmusic.h), both played by FluidSynth (midi_synth.h) into the mixer.
//
// Calling convention. Each interface is an opaque object; each method is a plain
// function named Interface_Method that takes the object first, with the arguments and
// HRESULT results of the method the library was written against:
//
//     IDirectSoundBuffer_Lock(buffer, offset, bytes, &p1, &n1, &p2, &n2, 0);
//     IDirectSoundBuffer_Play(buffer, 0, 0, DSBPLAY_LOOPING);
//
// The object comes from DirectSoundCreateInstance, the class factory behind
// CoCreateInstance(CLSID_DirectSound, ..., IID_IDirectSound). Initialize opens the audio
// output (SDL's default device, 44100 Hz 16-bit stereo until the primary buffer's
// SetFormat asks for another format); without an output it fails with DSERR_NODRIVER.
// A call on a null or released object returns DSERR_INVALIDPARAM.
//
// What stands behind it:
// - Secondary buffers are blocks of memory in the buffer's own PCM format (8 or 16 bits,
//   1 or 2 channels, 100 .. 200000 Hz). The output device's thread mixes every playing
//   buffer: each is read at its frequency (linear interpolation onto the output rate),
//   scaled by its volume and pan (hundredths of a decibel, as the API defines them),
//   summed and clamped to 16 bits.
// - The play cursor is the buffer frame the mixer reads next; the write cursor lies
//   about 15 ms ahead of it. A looping buffer wraps; another one stops at its end with
//   its play cursor back at 0.
// - Lock hands out the buffer's own memory in one or two pieces (the second one when
//   the range wraps past the end); the mixer goes on reading while a range is locked,
//   as it does on the platform.
// - Controls (volume, pan, frequency) answer DSERR_CONTROLUNAVAIL unless the buffer was
//   created with their DSBCAPS_CTRL flag.
// - Duplicates share the sample memory of their original.
// Tests replace the output device by mixing on request, change the reported caps and
// make creation and buffer calls fail through platform/sound/testing/dsound_seams.h.
#pragma once

#include "platform/wintypes.h"

struct IDirectSound;
struct IDirectSoundBuffer;

// The PCM format record: 18 bytes, as stored in WAV files.
struct __attribute__((packed, aligned(2))) WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
#define WAVE_FORMAT_PCM 1

struct DSBUFFERDESC {
    DWORD dwSize;  // sizeof(DSBUFFERDESC)
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

struct DSCAPS {
    DWORD dwSize;  // sizeof(DSCAPS), 96
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96, "DSCAPS is 96 bytes");

// Results besides S_OK.
#define DS_OK S_OK
#define DSERR_ALLOCATED static_cast<HRESULT>(0x8878000Au)
#define DSERR_CONTROLUNAVAIL static_cast<HRESULT>(0x8878001Eu)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL static_cast<HRESULT>(0x88780032u)
#define DSERR_PRIOLEVELNEEDED static_cast<HRESULT>(0x88780046u)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT static_cast<HRESULT>(0x88780064u)
#define DSERR_NODRIVER static_cast<HRESULT>(0x88780078u)
#define DSERR_ALREADYINITIALIZED static_cast<HRESULT>(0x88780082u)
#define DSERR_NOINTERFACE E_NOINTERFACE
#define DSERR_UNINITIALIZED static_cast<HRESULT>(0x887800AAu)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)

// Cooperative levels.
#define DSSCL_NORMAL 1u
#define DSSCL_PRIORITY 2u
#define DSSCL_EXCLUSIVE 3u
#define DSSCL_WRITEPRIMARY 4u

// Buffer capabilities.
#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u

// Device capabilities.
#define DSCAPS_PRIMARYMONO 0x00000001u
#define DSCAPS_PRIMARYSTEREO 0x00000002u
#define DSCAPS_PRIMARY8BIT 0x00000004u
#define DSCAPS_PRIMARY16BIT 0x00000008u
#define DSCAPS_CONTINUOUSRATE 0x00000010u
#define DSCAPS_EMULDRIVER 0x00000020u
#define DSCAPS_SECONDARYMONO 0x00000100u
#define DSCAPS_SECONDARYSTEREO 0x00000200u
#define DSCAPS_SECONDARY8BIT 0x00000400u
#define DSCAPS_SECONDARY16BIT 0x00000800u

#define DSBPLAY_LOOPING 0x00000001u
#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_LOOPING 0x00000004u
#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_ORIGINAL 0u
#define DSBFREQUENCY_MIN 100u
#define DSBFREQUENCY_MAX 200000u

extern const GUID CLSID_DirectSound;
extern const GUID IID_IDirectSound;

// The class factory: a new, uninitialised object for (CLSID_DirectSound,
// IID_IDirectSound); REGDB_E_CLASSNOTREG for another class, DSERR_NOINTERFACE for
// another interface.
HRESULT DirectSoundCreateInstance(REFCLSID clsid, REFIID iid, void** out);

// The output devices, as the enumeration export of "DSOUND.DLL" lists them (module.h):
// first the primary sound driver (null GUID, empty module name), then SDL's playback
// devices. The callback returns TRUE to go on.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, const char* description, const char* module, void* context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// IDirectSound
ULONG IDirectSound_AddRef(IDirectSound* ds);
ULONG IDirectSound_Release(IDirectSound* ds);  // also releases every buffer it made
HRESULT IDirectSound_Initialize(IDirectSound* ds, const GUID* device);  // null: the default output
HRESULT IDirectSound_SetCooperativeLevel(IDirectSound* ds, HWND window, DWORD level);
HRESULT IDirectSound_GetCaps(IDirectSound* ds, DSCAPS* caps);
HRESULT IDirectSound_CreateSoundBuffer(IDirectSound* ds, const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                                       void* outer);
HRESULT IDirectSound_DuplicateSoundBuffer(IDirectSound* ds, IDirectSoundBuffer* original,
                                          IDirectSoundBuffer** out);

// IDirectSoundBuffer
ULONG IDirectSoundBuffer_AddRef(IDirectSoundBuffer* b);
ULONG IDirectSoundBuffer_Release(IDirectSoundBuffer* b);
HRESULT IDirectSoundBuffer_GetCaps(IDirectSoundBuffer* b, DWORD* flags, DWORD* bytes);
HRESULT IDirectSoundBuffer_Play(IDirectSoundBuffer* b, DWORD reserved, DWORD priority, DWORD flags);
HRESULT IDirectSoundBuffer_Stop(IDirectSoundBuffer* b);
HRESULT IDirectSoundBuffer_GetStatus(IDirectSoundBuffer* b, DWORD* status);
HRESULT IDirectSoundBuffer_Lock(IDirectSoundBuffer* b, DWORD offset, DWORD bytes, void** first, DWORD* firstBytes,
                                void** second, DWORD* secondBytes, DWORD flags);
HRESULT IDirectSoundBuffer_Unlock(IDirectSoundBuffer* b, void* first, DWORD firstBytes, void* second,
                                  DWORD secondBytes);
HRESULT IDirectSoundBuffer_GetCurrentPosition(IDirectSoundBuffer* b, DWORD* playCursor, DWORD* writeCursor);
HRESULT IDirectSoundBuffer_SetCurrentPosition(IDirectSoundBuffer* b, DWORD playCursor);
HRESULT IDirectSoundBuffer_SetFrequency(IDirectSoundBuffer* b, DWORD hz);  // 0: the format's own rate
HRESULT IDirectSoundBuffer_GetFrequency(IDirectSoundBuffer* b, DWORD* hz);
HRESULT IDirectSoundBuffer_SetPan(IDirectSoundBuffer* b, LONG pan);
HRESULT IDirectSoundBuffer_GetPan(IDirectSoundBuffer* b, LONG* pan);
HRESULT IDirectSoundBuffer_SetVolume(IDirectSoundBuffer* b, LONG volume);
HRESULT IDirectSoundBuffer_GetVolume(IDirectSoundBuffer* b, LONG* volume);
// The primary buffer only: the output format (PCM, 8 or 16 bits, 1 or 2 channels);
// needs the priority cooperative level. The output is reopened in that format.
HRESULT IDirectSoundBuffer_SetFormat(IDirectSoundBuffer* b, const WAVEFORMATEX* format);
HRESULT IDirectSoundBuffer_GetFormat(IDirectSoundBuffer* b, WAVEFORMATEX* format, DWORD size, DWORD* written);
