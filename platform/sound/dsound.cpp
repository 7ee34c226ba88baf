// dsound.cpp - the DirectSound object and its buffers (see dsound.h).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/sound/dsound_internal.h"

const GUID CLSID_DirectSound = {0x5D50A001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x53, 0x4F, 0x55, 0x4E, 0x44}};
const GUID IID_IDirectSound = {0x5D50B001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x53, 0x4F, 0x55, 0x4E, 0x44}};

std::mutex& DsoundMutex(void) {
    static std::mutex m;
    return m;
}

DsoundTestSettings& DsoundTests(void) {
    static DsoundTestSettings settings;
    return settings;
}

bool DsoundTakeFailure(int& count) {
    if (count == 0) return false;
    if (count > 0) --count;
    return true;
}

namespace {

using Lock = std::lock_guard<std::mutex>;

bool Alive(IDirectSound* ds) {
    const auto& live = DsoundTests().live;
    return ds != nullptr && std::find(live.begin(), live.end(), ds) != live.end();
}

// Searches the live objects' lists, so a buffer of a released object is refused
// without reading it.
bool Alive(IDirectSoundBuffer* b) {
    if (b == nullptr) return false;
    for (IDirectSound* ds : DsoundTests().live)
        if (std::find(ds->buffers.begin(), ds->buffers.end(), b) != ds->buffers.end()) return true;
    return false;
}

DSCAPS DefaultCaps(void) {
    DSCAPS caps{};
    caps.dwSize = sizeof(DSCAPS);
    caps.dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                   DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT |
                   DSCAPS_SECONDARY16BIT;
    caps.dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps.dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps.dwPrimaryBuffers = 1;
    return caps;  // software mixing: no hardware buffers and no sound memory
}

// A PCM format the mixer can read.
bool PlayableFormat(const WAVEFORMATEX* f) {
    if (f == nullptr || f->wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f->nChannels < 1 || f->nChannels > 2) return false;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return false;
    if (f->nSamplesPerSec < DSBFREQUENCY_MIN || f->nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    return f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

void Destroy(IDirectSoundBuffer* b) {
    auto& list = b->owner->buffers;
    list.erase(std::remove(list.begin(), list.end(), b), list.end());
    delete b;
}

}  // namespace

HRESULT DirectSoundCreateInstance(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Lock lock(DsoundMutex());
    DsoundTestSettings& t = DsoundTests();
    if (DsoundTakeFailure(t.createCount)) return t.createError;
    if (!IsEqualGUID(clsid, CLSID_DirectSound)) return REGDB_E_CLASSNOTREG;
    if (!IsEqualGUID(iid, IID_IDirectSound)) return DSERR_NOINTERFACE;
    auto* ds = new (std::nothrow) IDirectSound;
    if (ds == nullptr) return E_OUTOFMEMORY;
    t.live.push_back(ds);
    *out = ds;
    return S_OK;
}

ULONG IDirectSound_AddRef(IDirectSound* ds) {
    Lock lock(DsoundMutex());
    return Alive(ds) ? static_cast<ULONG>(++ds->refs) : 0;
}

ULONG IDirectSound_Release(IDirectSound* ds) {
    SDL_AudioDeviceID device = 0;
    {
        Lock lock(DsoundMutex());
        if (!Alive(ds)) return 0;
        if (--ds->refs > 0) return static_cast<ULONG>(ds->refs);
        device = ds->output.device;
        ds->output.device = 0;
        for (IDirectSoundBuffer* b : ds->buffers) delete b;
        ds->buffers.clear();
        auto& live = DsoundTests().live;
        live.erase(std::remove(live.begin(), live.end(), ds), live.end());
    }
    // Closing waits for the device's thread, which mixes under the mutex.
    if (device != 0) DsoundCloseOutput(device);
    delete ds;
    return 0;
}

HRESULT IDirectSound_Initialize(IDirectSound* ds, const GUID* device) {
    {
        Lock lock(DsoundMutex());
        if (!Alive(ds)) return DSERR_INVALIDPARAM;
        if (ds->initialized) return DSERR_ALREADYINITIALIZED;
        DsoundTestSettings& t = DsoundTests();
        if (DsoundTakeFailure(t.initializeCount)) return t.initializeError;
        if (device != nullptr) {
            static const GUID none{};
            if (!IsEqualGUID(*device, none)) return DSERR_NODRIVER;  // only the default output exists
        }
    }
    if (!DsoundOpenOutput(ds, 44100, 2, 16)) return DSERR_NODRIVER;
    Lock lock(DsoundMutex());
    ds->initialized = true;
    return DS_OK;
}

HRESULT IDirectSound_SetCooperativeLevel(IDirectSound* ds, HWND, DWORD level) {
    Lock lock(DsoundMutex());
    if (!Alive(ds)) return DSERR_INVALIDPARAM;
    if (!ds->initialized) return DSERR_UNINITIALIZED;
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    DsoundTestSettings& t = DsoundTests();
    if (DsoundTakeFailure(t.levelCount)) return t.levelError;
    ds->level = level;
    return DS_OK;
}

HRESULT IDirectSound_GetCaps(IDirectSound* ds, DSCAPS* caps) {
    Lock lock(DsoundMutex());
    if (!Alive(ds) || caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    if (!ds->initialized) return DSERR_UNINITIALIZED;
    const DsoundTestSettings& t = DsoundTests();
    *caps = t.capsOverridden ? t.caps : DefaultCaps();
    caps->dwSize = sizeof(DSCAPS);
    return DS_OK;
}

HRESULT IDirectSound_CreateSoundBuffer(IDirectSound* ds, const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                                       void* outer) {
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    Lock lock(DsoundMutex());
    if (!Alive(ds) || desc == nullptr || desc->dwSize != sizeof(DSBUFFERDESC) || outer != nullptr)
        return DSERR_INVALIDPARAM;
    if (!ds->initialized) return DSERR_UNINITIALIZED;
    DsoundTestSettings& t = DsoundTests();
    if ((desc->dwFlags & t.bufferFlagsMask) == t.bufferFlagsMask && t.bufferFlagsMask != 0 &&
        DsoundTakeFailure(t.bufferCount))
        return t.bufferError;
    const bool primary = (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (primary) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
        if (ds->level == 0) return DSERR_PRIOLEVELNEEDED;
        for (IDirectSoundBuffer* b : ds->buffers)
            if (b->primary) {
                ++b->refs;  // one primary buffer per object
                *out = b;
                return DS_OK;
            }
    } else {
        if (!PlayableFormat(desc->lpwfxFormat)) return DSERR_BADFORMAT;
        const DWORD align = desc->lpwfxFormat->nBlockAlign;
        // The platform's limits: 4 bytes .. 256 MB, at least one frame.
        if (desc->dwBufferBytes < 4 || desc->dwBufferBytes > 0x0FFFFFFFu || desc->dwBufferBytes < align)
            return DSERR_INVALIDPARAM;
    }
    auto* b = new (std::nothrow) IDirectSoundBuffer;
    if (b == nullptr) return DSERR_OUTOFMEMORY;
    b->owner = ds;
    b->primary = primary;
    b->flags = desc->dwFlags;
    if (primary) {
        b->format = WAVEFORMATEX{WAVE_FORMAT_PCM, static_cast<WORD>(ds->output.channels),
                                 static_cast<DWORD>(ds->output.rate), 0, 0, static_cast<WORD>(ds->output.bits), 0};
        b->format.nBlockAlign = static_cast<WORD>(b->format.nChannels * b->format.wBitsPerSample / 8);
        b->format.nAvgBytesPerSec = b->format.nBlockAlign * b->format.nSamplesPerSec;
    } else {
        b->format = *desc->lpwfxFormat;
        b->format.cbSize = 0;
        b->format.nAvgBytesPerSec = b->format.nBlockAlign * b->format.nSamplesPerSec;
        b->frames = desc->dwBufferBytes / b->format.nBlockAlign;
        b->bytes = b->frames * b->format.nBlockAlign;
        const uint8_t silence = b->format.wBitsPerSample == 8 ? 0x80 : 0;
        try {
            b->samples = std::make_shared<std::vector<uint8_t>>(b->bytes, silence);
        } catch (const std::bad_alloc&) {
            delete b;
            return DSERR_OUTOFMEMORY;
        }
    }
    ds->buffers.push_back(b);
    *out = b;
    return DS_OK;
}

HRESULT IDirectSound_DuplicateSoundBuffer(IDirectSound* ds, IDirectSoundBuffer* original, IDirectSoundBuffer** out) {
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    Lock lock(DsoundMutex());
    if (!Alive(ds) || !Alive(original) || original->owner != ds) return DSERR_INVALIDPARAM;
    if (original->primary) return DSERR_INVALIDCALL;
    DsoundTestSettings& t = DsoundTests();
    if (t.duplicatesBeforeFailure == 0 && DsoundTakeFailure(t.duplicateFailures)) return DSERR_OUTOFMEMORY;
    if (t.duplicatesBeforeFailure > 0) --t.duplicatesBeforeFailure;
    auto* b = new (std::nothrow) IDirectSoundBuffer;
    if (b == nullptr) return DSERR_OUTOFMEMORY;
    b->owner = ds;
    b->flags = original->flags;
    b->format = original->format;
    b->samples = original->samples;
    b->bytes = original->bytes;
    b->frames = original->frames;
    ds->buffers.push_back(b);
    *out = b;
    return DS_OK;
}

ULONG IDirectSoundBuffer_AddRef(IDirectSoundBuffer* b) {
    Lock lock(DsoundMutex());
    return Alive(b) ? static_cast<ULONG>(++b->refs) : 0;
}

ULONG IDirectSoundBuffer_Release(IDirectSoundBuffer* b) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return 0;
    if (--b->refs > 0) return static_cast<ULONG>(b->refs);
    Destroy(b);
    return 0;
}

HRESULT IDirectSoundBuffer_GetCaps(IDirectSoundBuffer* b, DWORD* flags, DWORD* bytes) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    if (flags) *flags = b->flags;
    if (bytes) *bytes = b->bytes;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_Play(IDirectSoundBuffer* b, DWORD reserved, DWORD, DWORD flags) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || reserved != 0) return DSERR_INVALIDPARAM;
    if (b->primary && (flags & DSBPLAY_LOOPING) == 0) return DSERR_INVALIDPARAM;
    b->playing = true;
    b->looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_Stop(IDirectSoundBuffer* b) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    b->playing = false;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_GetStatus(IDirectSoundBuffer* b, DWORD* status) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || status == nullptr) return DSERR_INVALIDPARAM;
    if (DsoundTakeFailure(DsoundTests().statusFailures)) return DSERR_INVALIDCALL;
    *status = (b->playing ? DSBSTATUS_PLAYING : 0) | (b->playing && b->looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

// The write cursor leads the play cursor by about 15 ms of the buffer's own rate.
static DWORD WriteLead(const IDirectSoundBuffer* b) {
    const DWORD rate = b->frequency ? b->frequency : b->format.nSamplesPerSec;
    return std::min<DWORD>(b->frames - 1, std::max<DWORD>(1, rate * 15 / 1000));
}

static DWORD PlayFrame(const IDirectSoundBuffer* b) { return static_cast<DWORD>(b->position >> 32); }

HRESULT IDirectSoundBuffer_Lock(IDirectSoundBuffer* b, DWORD offset, DWORD bytes, void** first, DWORD* firstBytes,
                                void** second, DWORD* secondBytes, DWORD flags) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || b->primary || first == nullptr || firstBytes == nullptr) return DSERR_INVALIDPARAM;
    if (DsoundTakeFailure(DsoundTests().lockFailures)) return DSERR_INVALIDCALL;
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = b->bytes;
    if (flags & DSBLOCK_FROMWRITECURSOR)
        offset = (PlayFrame(b) + WriteLead(b)) % b->frames * b->format.nBlockAlign;
    if (offset >= b->bytes || bytes == 0 || bytes > b->bytes) return DSERR_INVALIDPARAM;
    uint8_t* memory = b->samples->data();
    const DWORD run = std::min(bytes, b->bytes - offset);
    *first = memory + offset;
    *firstBytes = run;
    if (second != nullptr) *second = run < bytes ? memory : nullptr;
    if (secondBytes != nullptr) *secondBytes = bytes - run;
    if (run < bytes && second == nullptr) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_Unlock(IDirectSoundBuffer* b, void* first, DWORD firstBytes, void* second,
                                  DWORD secondBytes) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || b->primary) return DSERR_INVALIDPARAM;
    const uint8_t* begin = b->samples->data();
    const uint8_t* end = begin + b->bytes;
    auto inside = [&](void* p, DWORD n) {
        auto* q = static_cast<const uint8_t*>(p);
        return n == 0 || (q >= begin && q <= end && n <= static_cast<DWORD>(end - q));
    };
    return inside(first, firstBytes) && inside(second, secondBytes) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT IDirectSoundBuffer_GetCurrentPosition(IDirectSoundBuffer* b, DWORD* playCursor, DWORD* writeCursor) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || b->primary) return DSERR_INVALIDPARAM;
    const DWORD play = PlayFrame(b);
    if (playCursor) *playCursor = play * b->format.nBlockAlign;
    if (writeCursor) {
        const DWORD lead = b->playing ? WriteLead(b) : 0;
        *writeCursor = (play + lead) % b->frames * b->format.nBlockAlign;
    }
    return DS_OK;
}

HRESULT IDirectSoundBuffer_SetCurrentPosition(IDirectSoundBuffer* b, DWORD playCursor) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || b->primary || playCursor >= b->bytes) return DSERR_INVALIDPARAM;
    b->position = static_cast<uint64_t>(playCursor / b->format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_SetFrequency(IDirectSoundBuffer* b, DWORD hz) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLFREQUENCY) || b->primary) return DSERR_CONTROLUNAVAIL;
    if (hz != DSBFREQUENCY_ORIGINAL && (hz < DSBFREQUENCY_MIN || hz > DSBFREQUENCY_MAX)) return DSERR_INVALIDPARAM;
    b->frequency = hz;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_GetFrequency(IDirectSoundBuffer* b, DWORD* hz) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || hz == nullptr) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *hz = b->frequency ? b->frequency : b->format.nSamplesPerSec;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_SetPan(IDirectSoundBuffer* b, LONG pan) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    b->pan = pan;
    DsoundUpdateGains(b);
    return DS_OK;
}

HRESULT IDirectSoundBuffer_GetPan(IDirectSoundBuffer* b, LONG* pan) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || pan == nullptr) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    *pan = b->pan;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_SetVolume(IDirectSoundBuffer* b, LONG volume) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    b->volume = volume;
    DsoundUpdateGains(b);
    return DS_OK;
}

HRESULT IDirectSoundBuffer_GetVolume(IDirectSoundBuffer* b, LONG* volume) {
    Lock lock(DsoundMutex());
    if (!Alive(b) || volume == nullptr) return DSERR_INVALIDPARAM;
    if (!(b->flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    *volume = b->volume;
    return DS_OK;
}

HRESULT IDirectSoundBuffer_SetFormat(IDirectSoundBuffer* b, const WAVEFORMATEX* format) {
    IDirectSound* ds = nullptr;
    SDL_AudioDeviceID old = 0;
    {
        Lock lock(DsoundMutex());
        if (!Alive(b)) return DSERR_INVALIDPARAM;
        if (!b->primary) return DSERR_INVALIDCALL;
        if (b->owner->level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        if (!PlayableFormat(format)) return DSERR_BADFORMAT;
        if (DsoundTakeFailure(DsoundTests().setFormatFailures)) return DSERR_BADFORMAT;
        ds = b->owner;
        old = ds->output.device;
        ds->output.device = 0;
    }
    if (old != 0) DsoundCloseOutput(old);
    if (!DsoundOpenOutput(ds, static_cast<int>(format->nSamplesPerSec), format->nChannels, format->wBitsPerSample)) {
        DsoundOpenOutput(ds, 44100, 2, 16);
        return DSERR_BADFORMAT;
    }
    Lock lock(DsoundMutex());
    if (Alive(b)) {
        b->format = *format;
        b->format.cbSize = 0;
        b->format.nAvgBytesPerSec = b->format.nBlockAlign * b->format.nSamplesPerSec;
    }
    return DS_OK;
}

HRESULT IDirectSoundBuffer_GetFormat(IDirectSoundBuffer* b, WAVEFORMATEX* format, DWORD size, DWORD* written) {
    Lock lock(DsoundMutex());
    if (!Alive(b)) return DSERR_INVALIDPARAM;
    const DWORD n = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
    if (format != nullptr) std::memcpy(format, &b->format, n);
    if (written != nullptr) *written = format != nullptr ? n : sizeof(WAVEFORMATEX);
    return DS_OK;
}
