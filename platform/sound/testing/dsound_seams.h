// dsound_seams.h - test seams of the sound groups (DirectSound, the module loader):
// mixing on request instead of an output device, the reported caps, and failing
// creation and buffer calls.
//
//     DsoundSeamUseManualOutput(true);         // before the object is initialised
//     ... start sound, play a buffer ...
//     std::vector<int16_t> out = DsoundSeamMix(441);   // 10 ms at 44100 Hz, stereo
//     DsoundSeamReset();
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound/dsound.h"
#include "platform/kernel/module.h"

// Objects initialised from now on open no output device: their buffers move only when
// a test mixes them with DsoundSeamMix.
void DsoundSeamUseManualOutput(bool on);
// Mixes `frames` frames of the newest live object at its output rate; interleaved
// stereo 16-bit samples (empty when no object is alive).
std::vector<int16_t> DsoundSeamMix(int frames);
// The output format of the newest live object (rate, channels, bits); false when none.
bool DsoundSeamOutputFormat(int* rate, int* channels, int* bits);

// Creation (DirectSoundCreateInstance), Initialize and SetCooperativeLevel fail with
// `error`, `count` times (-1: every time).
void DsoundSeamFailCreation(HRESULT error, int count = -1);
void DsoundSeamFailInitialize(HRESULT error, int count = -1);
void DsoundSeamFailCooperativeLevel(HRESULT error, int count = -1);
// Buffers whose creation flags hold every bit of `flagsMask` fail with `error`.
void DsoundSeamFailBufferCreation(DWORD flagsMask, HRESULT error, int count = -1);
// After `succeeding` more duplicates succeed, the next `count` fail.
void DsoundSeamFailDuplicates(int succeeding, int count = -1);
void DsoundSeamFailLocks(int count);
void DsoundSeamFailStatus(int count);
void DsoundSeamFailSetFormat(int count);
// The caps every object reports from now on.
void DsoundSeamSetCaps(const DSCAPS& caps);

// Objects and buffers alive.
int DsoundSeamLiveObjectCount(void);
int DsoundSeamLiveBufferCount(void);

// The module loader: a module name that fails to load, an export that is not found
// (null: none).
void ModuleSeamFailLoad(const char* name);
void ModuleSeamHideExport(const char* name);

// Every fault and setting back to its default (manual output off).
void DsoundSeamReset(void);
