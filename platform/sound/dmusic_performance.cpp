// dmusic_performance.cpp - DirectMusic's performance: its synthesizer mixed into the
// DirectSound output, and the one primary segment it plays (see dmusic.h).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/sound/dmusic_internal.h"
#include "platform/sound/dsound_internal.h"
#include "platform/window/window.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

// The DirectSound mixer's music source: adds the synthesizer's next frames. Rendering
// moves the segment's player on, since it runs on the synthesizer's sample time.
void RenderPerformance(void* context, int32_t* sums, int frames, int) {
    auto* p = static_cast<IDirectMusicPerformance8*>(context);
    MixMidiSynth(&p->synth, p->player, p->plays, &p->rounds, &p->segmentOver, sums, frames);
}

bool Ready(const IDirectMusicPerformance8* p) { return p->initialized && !p->closed; }

// Ends the segment playing, its notes cut, and lets go of it.
void StopLocked(IDirectMusicPerformance8* p) {
    if (p->player != nullptr) {
        fluid_player_stop(p->player);
        delete_fluid_player(p->player);
        p->player = nullptr;
    }
    if (p->synth.synth != nullptr) fluid_synth_all_sounds_off(p->synth.synth, -1);
    if (p->current != nullptr) DmusicReleaseSegmentLocked(p->current);
    p->current = nullptr;
}

bool KnownAudioPath(DWORD path) {
    return path == 0 || path == DMUS_APATH_SHARED_STEREOPLUSREVERB || path == DMUS_APATH_DYNAMIC_3D ||
           path == DMUS_APATH_DYNAMIC_MONO || path == DMUS_APATH_DYNAMIC_STEREO;
}

// The DirectSound object the performance plays into: the caller's, or a new one.
HRESULT TakeDirectSound(IDirectSound** given, HWND window, IDirectSound** out) {
    if (given != nullptr && *given != nullptr) {
        if (IDirectSound_AddRef(*given) == 0) return E_INVALIDARG;
        *out = *given;
        return S_OK;
    }
    void* made = nullptr;
    HRESULT hr = DirectSoundCreateInstance(CLSID_DirectSound, IID_IDirectSound, &made);
    if (FAILED(hr)) return hr;
    auto* ds = static_cast<IDirectSound*>(made);
    if (FAILED(hr = IDirectSound_Initialize(ds, nullptr)) ||
        FAILED(hr = IDirectSound_SetCooperativeLevel(ds, window ? window : GetDesktopWindow(), DSSCL_PRIORITY))) {
        IDirectSound_Release(ds);
        return hr;
    }
    *out = ds;
    return S_OK;
}

}  // namespace

HRESULT IDirectMusicPerformance8_InitAudio(IDirectMusicPerformance8* perf, IDirectMusic** music,
                                           IDirectSound** sound, HWND window, DWORD defaultPath, DWORD,
                                           DWORD, DMUS_AUDIOPARAMS* params) {
    {
        Lock lock(DsoundMutex());
        if (!DmusicAlive(perf, DmusicKind::Performance)) return E_POINTER;
        if (perf->initialized) return E_FAIL;  // once per performance
    }
    if ((params != nullptr && params->dwSize < sizeof(DMUS_AUDIOPARAMS)) || !KnownAudioPath(defaultPath))
        return E_INVALIDARG;
    IDirectSound* ds = nullptr;
    const HRESULT hr = TakeDirectSound(sound, window, &ds);
    if (FAILED(hr)) return hr;
    int rate;
    {
        Lock lock(DsoundMutex());
        rate = ds->output.rate;
    }
    // The synthesizer renders at the output's rate, whatever rate was asked for.
    MidiSynth synth;
    if (!CreateMidiSynth(rate, &synth)) {
        IDirectSound_Release(ds);
        return DSERR_NODRIVER;
    }
    IDirectMusic* dm = nullptr;
    if (music != nullptr && *music == nullptr && (dm = DmusicNewMusicObject()) == nullptr) {
        DestroyMidiSynth(&synth);
        IDirectSound_Release(ds);
        return E_OUTOFMEMORY;
    }
    {
        Lock lock(DsoundMutex());
        perf->sound = ds;
        perf->synth = synth;
        perf->initialized = true;
        DsoundAddMixSourceLocked(ds, DsoundMixSource{RenderPerformance, perf});
    }
    if (dm != nullptr) *music = dm;
    if (sound != nullptr && *sound == nullptr) {
        IDirectSound_AddRef(ds);  // the caller's reference; the performance keeps its own
        *sound = ds;
    }
    if (params != nullptr) {  // what was granted
        params->dwSampleRate = static_cast<DWORD>(rate);
        params->dwVoices = static_cast<DWORD>(fluid_synth_get_polyphony(synth.synth));
        params->dwFeatures = 0;  // no 3D, environment or effect buffers
    }
    return S_OK;
}

HRESULT IDirectMusicPerformance8_GetGlobalParam(IDirectMusicPerformance8* perf, REFIID guid, void* data,
                                                DWORD size) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(perf, DmusicKind::Performance) || data == nullptr) return E_POINTER;
    if (!IsEqualGUID(guid, GUID_PerfMasterVolume)) return E_NOTIMPL;
    if (size != sizeof perf->masterVolume) return E_INVALIDARG;
    std::memcpy(data, &perf->masterVolume, sizeof perf->masterVolume);
    return S_OK;
}

HRESULT IDirectMusicPerformance8_PlaySegmentEx(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                               const uint16_t*, void*, DWORD flags, int64_t,
                                               IDirectMusicSegmentState** state, void*, void*) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(perf, DmusicKind::Performance) || !DmusicAlive(segment, DmusicKind::Segment)) return E_POINTER;
    if (!Ready(perf)) return E_FAIL;
    if (state != nullptr || (flags & DMUS_SEGF_SECONDARY)) return E_NOTIMPL;
    StopLocked(perf);
    fluid_player_t* player = new_fluid_player(perf->synth.synth);
    if (player == nullptr) return E_OUTOFMEMORY;
    // The player counts plays: once more than the repeats, or -1 for ever.
    const DWORD repeats = segment->repeats;
    const int plays = repeats == DMUS_SEG_REPEAT_INFINITE ? -1 : repeats >= INT_MAX ? INT_MAX : static_cast<int>(repeats) + 1;
    if (fluid_player_add_mem(player, segment->midi.data(), segment->midi.size()) != FLUID_OK ||
        fluid_player_set_loop(player, plays) != FLUID_OK || fluid_player_play(player) != FLUID_OK) {
        delete_fluid_player(player);
        return E_FAIL;
    }
    perf->player = player;
    perf->current = segment;
    perf->plays = plays;
    perf->rounds = MidiRounds{};
    perf->segmentOver = false;
    ++segment->refs;
    return S_OK;
}

HRESULT IDirectMusicPerformance8_StopEx(IDirectMusicPerformance8* perf, void* object, int64_t, DWORD) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(perf, DmusicKind::Performance)) return E_POINTER;
    if (!Ready(perf)) return E_FAIL;
    if (object == nullptr || object == perf->current) StopLocked(perf);
    return S_OK;
}

HRESULT IDirectMusicPerformance8_Stop(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                      IDirectMusicSegmentState* state, int64_t time, DWORD flags) {
    if (state != nullptr) return E_NOTIMPL;
    return IDirectMusicPerformance8_StopEx(perf, segment, time, flags);
}

HRESULT IDirectMusicPerformance8_IsPlaying(IDirectMusicPerformance8* perf, IDirectMusicSegment8* segment,
                                           IDirectMusicSegmentState* state) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(perf, DmusicKind::Performance)) return E_POINTER;
    if (segment == nullptr && state == nullptr) return E_POINTER;
    if (!Ready(perf)) return E_FAIL;
    if (state != nullptr) return E_NOTIMPL;
    const bool plays = perf->player != nullptr && perf->current == segment && !perf->segmentOver &&
                       fluid_player_get_status(perf->player) == FLUID_PLAYER_PLAYING;
    return plays ? S_OK : S_FALSE;
}

HRESULT IDirectMusicPerformance8_CloseDown(IDirectMusicPerformance8* perf) {
    IDirectSound* ds = nullptr;
    MidiSynth synth;
    {
        Lock lock(DsoundMutex());
        if (!DmusicAlive(perf, DmusicKind::Performance)) return E_POINTER;
        if (!Ready(perf)) return S_OK;
        StopLocked(perf);
        ds = perf->sound;
        DsoundRemoveMixSourceLocked(perf);
        synth = perf->synth;
        perf->synth = MidiSynth{};
        perf->sound = nullptr;
        perf->closed = true;
    }
    // The output no longer renders the synthesizer, and the object's release may close
    // the output, which must happen outside the mutex.
    DestroyMidiSynth(&synth);
    IDirectSound_Release(ds);
    return S_OK;
}

ULONG IDirectMusicPerformance8_Release(IDirectMusicPerformance8* perf) {
    {
        Lock lock(DsoundMutex());
        if (!DmusicAlive(perf, DmusicKind::Performance)) return 0;
        if (--perf->refs > 0) return static_cast<ULONG>(perf->refs);
    }
    IDirectMusicPerformance8_CloseDown(perf);
    {
        Lock lock(DsoundMutex());
        DmusicForget(perf);
    }
    delete perf;
    return 0;
}
