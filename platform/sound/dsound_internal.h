// dsound_internal.h - the sound objects of the layer, shared by the object calls
// (dsound.cpp), the mixer and its output (dsound_mixer.cpp) and the test seams.
//
// One mutex guards every object: the output device's thread mixes under it, and every
// call of the API takes it. The output device is never closed while it is held, since
// closing waits for the device's thread.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sound/dsound.h"

struct IDirectSoundBuffer {
    IDirectSound* owner = nullptr;
    int refs = 1;
    bool primary = false;
    DWORD flags = 0;
    WAVEFORMATEX format{};
    std::shared_ptr<std::vector<uint8_t>> samples;  // shared with duplicates
    DWORD bytes = 0;
    DWORD frames = 0;
    bool playing = false;
    bool looping = false;
    uint64_t position = 0;  // play position in frames, 32.32 fixed point
    LONG volume = 0;        // hundredths of a decibel
    LONG pan = 0;
    DWORD frequency = 0;    // 0: the format's own rate
    int32_t gainLeft = 65536;   // volume and pan as 16.16 amplitude factors
    int32_t gainRight = 65536;
};

struct DsoundOutput {
    SDL_AudioDeviceID device = 0;  // 0 while mixing only on request (tests)
    int rate = 44100;
    int channels = 2;
    int bits = 16;
};

// A source mixed into an output after its buffers: a MIDI synthesizer of DirectMusic's
// performance (dmusic.h) or of an MCI sequencer (mci.h). `render` adds `frames` stereo
// frames at `rate` into the sums; it is called with the mutex held.
struct DsoundMixSource {
    void (*render)(void* context, int32_t* sums, int frames, int rate);
    void* context;
};

struct IDirectSound {
    int refs = 1;
    bool initialized = false;
    DWORD level = 0;
    std::vector<IDirectSoundBuffer*> buffers;  // every live buffer it made, primary included
    DsoundOutput output;
    std::vector<int32_t> mixScratch;           // stereo sums of one mixing call
    std::vector<DsoundMixSource> sources;
};

std::mutex& DsoundMutex(void);

// Opens the output in the given format (SDL's default device, or nothing in the tests'
// manual mode); false when no device opens. DsoundCloseOutput must not be called with
// the mutex held.
bool DsoundOpenOutput(IDirectSound* ds, int rate, int channels, int bits);
void DsoundCloseOutput(SDL_AudioDeviceID device);
// Mixes `frames` frames at the output rate into interleaved stereo 16-bit samples and
// moves every playing buffer on. The caller holds the mutex.
void DsoundMixStereo(IDirectSound* ds, int16_t* out, int frames);
// The 16.16 gains of a buffer's volume and pan.
void DsoundUpdateGains(IDirectSoundBuffer* b);
// The output that music sources join: the newest live initialised object, or null.
// The caller holds the mutex.
IDirectSound* DsoundMusicOutputLocked(void);
// Adds a mix source to an object, and takes the source with this context out of every
// live object. The caller holds the mutex.
void DsoundAddMixSourceLocked(IDirectSound* ds, DsoundMixSource source);
void DsoundRemoveMixSourceLocked(const void* context);

// Test faults and settings (dsound_seams).
struct DsoundTestSettings {
    bool manualOutput = false;   // no SDL device: tests mix on request
    HRESULT createError = S_OK;
    int createCount = 0;         // failures left (-1: always)
    HRESULT initializeError = S_OK;
    int initializeCount = 0;
    HRESULT levelError = S_OK;
    int levelCount = 0;
    DWORD bufferFlagsMask = 0;   // buffers whose flags hold every bit fail
    HRESULT bufferError = S_OK;
    int bufferCount = 0;
    int duplicatesBeforeFailure = -1;  // duplicates that still succeed; -1: no failure
    int duplicateFailures = 0;
    int lockFailures = 0;
    int statusFailures = 0;
    int setFormatFailures = 0;
    bool capsOverridden = false;
    DSCAPS caps{};
    std::vector<IDirectSound*> live;  // objects alive, oldest first
};
DsoundTestSettings& DsoundTests(void);
// Takes one failure from a counter (-1 counts as endless); true when it fails now.
bool DsoundTakeFailure(int& count);
