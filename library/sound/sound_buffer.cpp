// sound_buffer.cpp - the sound-buffer wrapper: each operation forwards to the DirectSound
// buffer, or, while SoftwareSoundBuffers is set, works on the record's own memory.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/core/alloc.h"
#include "library/sound/sound_internal.h"

static bool Emulated(void) { return SoundDeviceStateRecord.softwareBuffers != 0; }

// The fields a new emulated buffer starts with.
static void ResetEmulation(SoundBufferRecord* r) {
    r->playing = 0;
    r->position = 0;
    r->loop = 0;
    r->pan = 0;
    r->volume = 255;
    r->frequency = -1;
}

int SoundBufferCreate(SoundBufferRecord* r, const DSBUFFERDESC* desc) {
    if (r->valid) return -1;
    if (!Emulated()) {
        r->buffer = nullptr;
        if (SoundDeviceStateRecord.directSound == nullptr ||
            FAILED(IDirectSound_CreateSoundBuffer(SoundDeviceStateRecord.directSound, desc, &r->buffer, nullptr)))
            return -1;
    } else {
        const WAVEFORMATEX* f = desc->lpwfxFormat;
        if (f == nullptr || f->nBlockAlign == 0) return -1;
        r->memory = ZqAllocZero(desc->dwBufferBytes);
        if (r->memory == nullptr) return -1;
        ResetEmulation(r);
        r->length = static_cast<int>(desc->dwBufferBytes / f->nBlockAlign);
        r->format = *f;
    }
    r->valid = 1;
    return 0;
}

int SoundBufferDuplicate(SoundBufferRecord* r, const SoundBufferRecord* source) {
    if (r->valid || !source->valid) return -1;
    if (!Emulated()) {
        r->buffer = nullptr;
        if (FAILED(IDirectSound_DuplicateSoundBuffer(SoundDeviceStateRecord.directSound, source->buffer, &r->buffer)))
            return -1;
    } else {
        // A duplicate plays the same sound: it gets a block of its own holding a copy.
        const size_t bytes = static_cast<size_t>(source->format.nBlockAlign) * source->length;
        r->memory = ZqAlloc(bytes);
        if (r->memory == nullptr) return -1;
        std::memcpy(r->memory, source->memory, bytes);
        ResetEmulation(r);
        r->length = source->length;
        r->format = source->format;
    }
    r->valid = 1;
    return 0;
}

int SoundBufferRelease(SoundBufferRecord* r) {
    if (!r->valid) return -1;
    if (!Emulated()) {
        if (r->buffer != nullptr) IDirectSoundBuffer_Release(r->buffer);
        r->buffer = nullptr;
    } else {
        ZqFree(r->memory);
        r->memory = nullptr;
    }
    r->valid = 0;
    return 0;
}

int SoundBufferPlay(SoundBufferRecord* r, int loop) {
    if (!r->valid) return -1;
    if (!Emulated()) {
        IDirectSoundBuffer_Play(r->buffer, 0, 0, loop ? DSBPLAY_LOOPING : 0);
    } else {
        r->playing = 1;
        r->loop = loop;
    }
    return 0;
}

int SoundBufferStop(SoundBufferRecord* r) {
    if (!r->valid) return -1;
    if (!Emulated())
        IDirectSoundBuffer_Stop(r->buffer);
    else
        r->playing = 0;
    return 0;
}

int SoundBufferGetStatus(SoundBufferRecord* r, DWORD* status) {
    if (!r->valid) return -1;
    if (!Emulated()) return FAILED(IDirectSoundBuffer_GetStatus(r->buffer, status)) ? -1 : 0;
    if (status != nullptr) *status = r->playing ? 1 : 0;
    return 0;
}

int SoundBufferLock(SoundBufferRecord* r, unsigned offset, unsigned bytes, void** first, DWORD* firstBytes,
                    void** second, DWORD* secondBytes) {
    if (!r->valid) return -1;
    if (!Emulated())
        return FAILED(IDirectSoundBuffer_Lock(r->buffer, offset, bytes, first, firstBytes, second, secondBytes, 0))
                   ? -1
                   : 0;
    const unsigned a = r->format.nBlockAlign;
    const unsigned o = offset / a;
    const unsigned n = bytes / a;
    const unsigned length = static_cast<unsigned>(r->length);
    // A range starting outside the buffer or longer than it has no pieces to give.
    if (o >= length || n > length) return -1;
    auto* memory = static_cast<uint8_t*>(r->memory);
    if (o + n > length) {
        *first = memory + offset;
        *firstBytes = length * a - offset;
        *second = memory;
        *secondBytes = (n - (length - o)) * a;
    } else {
        *first = memory + offset;
        *firstBytes = std::min(bytes, length * a - offset);  // never past the end
        *second = nullptr;
        *secondBytes = 0;
    }
    return 0;
}

int SoundBufferUnlock(SoundBufferRecord* r, void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
    if (!r->valid) return -1;
    if (!Emulated()) return FAILED(IDirectSoundBuffer_Unlock(r->buffer, first, firstBytes, second, secondBytes)) ? -1 : 0;
    return 0;
}

int SoundBufferSetFrequency(SoundBufferRecord* r, unsigned hz) {
    if (!r->valid) return -1;
    if (!Emulated())
        IDirectSoundBuffer_SetFrequency(r->buffer, hz);
    else
        r->frequency = hz == 0 ? -1 : static_cast<int>(hz);
    return 0;
}

int SoundBufferSetPan(SoundBufferRecord* r, int pan) {
    if (!r->valid) return -1;
    if (!Emulated())
        IDirectSoundBuffer_SetPan(r->buffer, pan);
    else
        r->pan = EmulatedPanFromDecibels(pan);
    return 0;
}

int SoundBufferSetVolume(SoundBufferRecord* r, int volume) {
    if (!r->valid) return -1;
    if (!Emulated())
        IDirectSoundBuffer_SetVolume(r->buffer, volume);
    else
        r->volume = EmulatedVolumeFromDecibels(volume);
    return 0;
}

int SoundBufferGetVolume(SoundBufferRecord* r, int* volume) {
    if (!r->valid) return -1;
    if (!Emulated()) {
        LONG v = 0;
        IDirectSoundBuffer_GetVolume(r->buffer, &v);
        *volume = v;
    } else {
        *volume = EmulatedVolumeToDecibels(r->volume);
    }
    return 0;
}

int SoundBufferGetCurrentPosition(SoundBufferRecord* r, DWORD* playCursor, DWORD* writeCursor) {
    if (!r->valid) return -1;
    if (!Emulated()) {
        IDirectSoundBuffer_GetCurrentPosition(r->buffer, playCursor, writeCursor);
    } else {
        const DWORD bytes = static_cast<DWORD>(r->position) * r->format.nBlockAlign;
        if (playCursor) *playCursor = bytes;
        if (writeCursor) *writeCursor = bytes;
    }
    return 0;
}

int SoundBufferSetCurrentPosition(SoundBufferRecord* r, unsigned offset) {
    if (!r->valid) return -1;
    if (!Emulated())
        IDirectSoundBuffer_SetCurrentPosition(r->buffer, offset);
    else
        r->position = static_cast<int>(offset / r->format.nBlockAlign);
    return 0;
}

int EmulatedVolumeFromDecibels(int hundredths) {
    if (hundredths <= -10000) return 0;
    if (hundredths >= 0) return 256;  // DirectSound has no gain above unity
    return static_cast<int>(256.0 * std::pow(10.0, hundredths / 1000.0) / (1.0 - 1e-10));
}

int EmulatedVolumeToDecibels(int scale) {
    if (scale == 0) return -10000;
    if (scale == 256) return 0;
    return static_cast<int>(1000.0 * std::log10(scale / 256.0));
}

// Linear in decibels between the centre and the ends: the attenuated side's factor is
// (256 - |pan|) / 256, and -100 dB (10000) silences it.
int EmulatedPanFromDecibels(int hundredths) {
    if (hundredths <= -10000) return -256;
    if (hundredths >= 10000) return 256;
    return hundredths * 256 / 10000;
}
