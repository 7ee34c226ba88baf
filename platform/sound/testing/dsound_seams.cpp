// Test seams of the sound groups (see dsound_seams.h).
#include "platform/sound/testing/dsound_seams.h"

#include "platform/sound/dsound_internal.h"
#include "platform/kernel/module_hooks.h"

namespace {
using Lock = std::lock_guard<std::mutex>;
}

void DsoundSeamUseManualOutput(bool on) {
    Lock lock(DsoundMutex());
    DsoundTests().manualOutput = on;
}

std::vector<int16_t> DsoundSeamMix(int frames) {
    Lock lock(DsoundMutex());
    std::vector<int16_t> out;
    const auto& live = DsoundTests().live;
    if (live.empty() || frames <= 0) return out;
    out.resize(static_cast<size_t>(frames) * 2);
    DsoundMixStereo(live.back(), out.data(), frames);
    return out;
}

bool DsoundSeamOutputFormat(int* rate, int* channels, int* bits) {
    Lock lock(DsoundMutex());
    const auto& live = DsoundTests().live;
    if (live.empty()) return false;
    const DsoundOutput& o = live.back()->output;
    if (rate) *rate = o.rate;
    if (channels) *channels = o.channels;
    if (bits) *bits = o.bits;
    return true;
}

void DsoundSeamFailCreation(HRESULT error, int count) {
    Lock lock(DsoundMutex());
    DsoundTests().createError = error;
    DsoundTests().createCount = count;
}

void DsoundSeamFailInitialize(HRESULT error, int count) {
    Lock lock(DsoundMutex());
    DsoundTests().initializeError = error;
    DsoundTests().initializeCount = count;
}

void DsoundSeamFailCooperativeLevel(HRESULT error, int count) {
    Lock lock(DsoundMutex());
    DsoundTests().levelError = error;
    DsoundTests().levelCount = count;
}

void DsoundSeamFailBufferCreation(DWORD flagsMask, HRESULT error, int count) {
    Lock lock(DsoundMutex());
    DsoundTests().bufferFlagsMask = flagsMask;
    DsoundTests().bufferError = error;
    DsoundTests().bufferCount = count;
}

void DsoundSeamFailDuplicates(int succeeding, int count) {
    Lock lock(DsoundMutex());
    DsoundTests().duplicatesBeforeFailure = succeeding;
    DsoundTests().duplicateFailures = count;
}

void DsoundSeamFailLocks(int count) {
    Lock lock(DsoundMutex());
    DsoundTests().lockFailures = count;
}

void DsoundSeamFailStatus(int count) {
    Lock lock(DsoundMutex());
    DsoundTests().statusFailures = count;
}

void DsoundSeamFailSetFormat(int count) {
    Lock lock(DsoundMutex());
    DsoundTests().setFormatFailures = count;
}

void DsoundSeamSetCaps(const DSCAPS& caps) {
    Lock lock(DsoundMutex());
    DsoundTests().caps = caps;
    DsoundTests().capsOverridden = true;
}

int DsoundSeamLiveObjectCount(void) {
    Lock lock(DsoundMutex());
    return static_cast<int>(DsoundTests().live.size());
}

int DsoundSeamLiveBufferCount(void) {
    Lock lock(DsoundMutex());
    int n = 0;
    for (IDirectSound* ds : DsoundTests().live) n += static_cast<int>(ds->buffers.size());
    return n;
}

void ModuleSeamFailLoad(const char* name) { ModuleHooksRecord().failLoad = name; }
void ModuleSeamHideExport(const char* name) { ModuleHooksRecord().hideExport = name; }

void DsoundSeamReset(void) {
    {
        Lock lock(DsoundMutex());
        DsoundTestSettings& t = DsoundTests();
        std::vector<IDirectSound*> live = std::move(t.live);
        t = DsoundTestSettings{};
        t.live = std::move(live);
    }
    ModuleHooksRecord() = ModuleHooks{};
}
