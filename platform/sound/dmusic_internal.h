// dmusic_internal.h - the DirectMusic objects of the layer, shared by the factory, the
// loader and segments (dmusic.cpp), the performance (dmusic_performance.cpp) and the
// test seams.
//
// The DirectSound mutex (dsound_internal.h) guards them all: the output's thread renders
// the performance's synthesizer while it mixes, under that mutex.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound/dmusic.h"
#include "platform/sound/midi_synth.h"

enum class DmusicKind { Music, Loader, Performance, Segment };

struct IDirectMusic {
    int refs = 1;
};

struct IDirectMusicSegment8 {
    int refs = 1;
    std::vector<uint8_t> midi;  // the standard MIDI file
    DWORD repeats = 0;
};

struct IDirectMusicLoader8 {
    int refs = 1;
    std::vector<IDirectMusicSegment8*> cache;  // each holds one reference
};

struct IDirectMusicPerformance8 {
    int refs = 1;
    bool initialized = false;  // InitAudio succeeded
    bool closed = false;       // CloseDown ran
    IDirectSound* sound = nullptr;  // one reference, the output the synth is mixed into
    MidiSynth synth;
    fluid_player_t* player = nullptr;
    IDirectMusicSegment8* current = nullptr;  // the segment of `player`, one reference
    int plays = 0;           // rounds of the current segment, -1 for ever
    MidiRounds rounds;
    bool segmentOver = false;  // its last round has passed
    int32_t masterVolume = 0;  // hundredths of a decibel
};

// The registry of live objects; every call takes the DirectSound mutex first.
bool DmusicAlive(const void* object, DmusicKind kind);
void DmusicTrack(const void* object, DmusicKind kind);
void DmusicForget(const void* object);
int DmusicLiveCount(void);
// Drops one reference of a segment and frees it at the last one.
void DmusicReleaseSegmentLocked(IDirectMusicSegment8* segment);
// A new music object (IDirectMusic), tracked; null when out of memory. Takes the mutex.
IDirectMusic* DmusicNewMusicObject(void);

// Test faults (dmusic_seams).
struct DmusicTestSettings {
    bool failClass = false;  // this class is not registered
    GUID failedClass{};
};
DmusicTestSettings& DmusicTests(void);
