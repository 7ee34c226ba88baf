// sound_handles.cpp - the sound handle table: making a record's buffers, finding the
// buffer a handle plays through (streaming groups share one), stopping and deleting.
#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/sound/sound_internal.h"

namespace {

SoundDeviceState& Device(void) { return SoundDeviceStateRecord; }

constexpr int SoundHandleKindBits = HandleKindConstant(HandleKindSound);

ResourceHandle HandleOfSlot(int slot) {
    return MakeResourceHandle(HandleKindSound, Device().handles[slot]->check, slot);
}

}  // namespace

SoundHandleRecord* GetSoundHandleRecord(ResourceHandle handle) {
    if (handle < 0 || HandleKindOf(handle) != HandleKindSound) return nullptr;
    const int slot = HandleSlot(handle);
    if (slot >= SoundHandleMax) return nullptr;
    SoundHandleRecord* record = Device().handles[slot];
    if (record == nullptr || (record->check << 16) != (handle & HandleCheckMask)) return nullptr;
    return record;
}

ResourceHandle AddSoundHandle(void) {
    SoundDeviceState& d = Device();
    if (d.directSound == nullptr) return -1;
    int slot = 0;
    while (slot < SoundHandleMax && d.handles[slot] != nullptr) ++slot;
    if (slot == SoundHandleMax) return -1;
    auto* record = static_cast<SoundHandleRecord*>(ZqAllocZero(sizeof(SoundHandleRecord)));
    if (record == nullptr) return -1;
    record->check = d.nextCheck;
    d.nextCheck = (d.nextCheck + 1) % HandleCheckLimit;
    record->group = -1;
    record->owner = -1;
    record->writePosition = StreamNotStarted;
    d.handles[slot] = record;
    ++d.handleCount;
    if (slot >= d.highWater) d.highWater = slot + 1;
    return HandleOfSlot(slot);
}

int CreateSoundBufferSet(const WAVEFORMATEX* format, unsigned bytes, int kind, int count, ResourceHandle handle) {
    if (Device().directSound == nullptr) return -1;
    SoundHandleRecord* record = GetSoundHandleRecord(handle);
    if (record == nullptr) return -1;
    if (count > SoundBufferSetMax) count = SoundBufferSetMax;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
    if (kind == SoundKindStatic) {
        for (int i = 0; i < count; ++i) {
            if (i == 0) {
                desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY |
                               DSBCAPS_STATIC;
                desc.dwBufferBytes = bytes;
                if (SoundBufferCreate(&record->buffers[0], &desc) != 0) {
                    desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC;
                    if (SoundBufferCreate(&record->buffers[0], &desc) != 0)
                        FatalErrorExit("DirectSoundBuffer の作成に失敗しました");
                }
            } else if (SoundBufferDuplicate(&record->buffers[i], &record->buffers[0]) != 0) {
                count = i;
                break;
            }
        }
        record->bufferCount = count < 0 ? 0 : count;
    } else if (kind == SoundKindStream) {
        desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                       DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC;
        desc.dwBufferBytes = 6 * format->nAvgBytesPerSec;
        if (SoundBufferCreate(&record->buffers[0], &desc) != 0)
            FatalErrorExit("ストリーム風サウンドバッファの作成に失敗しました");
        record->bufferCount = 1;
    }
    record->kind = kind;
    if (kind == SoundKindStream) InsertLinkNode(&Device().streamHead, &record->listNode, handle, record);
    return 0;
}

int GetSoundHandleBuffer(ResourceHandle handle, SoundHandleRecord* record, SoundBufferRecord** buffer,
                         uint8_t takeOver) {
    if (record->kind == SoundKindStatic) {
        if (buffer) *buffer = &record->buffers[0];
        return 0;
    }
    SoundHandleRecord* owning = record;
    if (record->group != -1) {
        owning = GetSoundHandleRecord(record->group);
        if (owning == nullptr) return -1;
    }
    if (buffer) *buffer = &owning->buffers[0];
    if (owning->owner == -1 || owning->owner == handle) {
        owning->owner = handle;
        return 0;
    }
    if (!takeOver) return -1;
    StopStreamSound(owning->owner);
    owning->owner = handle;
    return 0;
}

int AlignToFormatBlock(int bytes, const WAVEFORMATEX* format) {
    const int align = format->nBlockAlign;
    return align == 0 ? bytes : bytes / align * align;
}

int AlignToStreamBlock(int bytes, const SoundHandleRecord* record) {
    return AlignToFormatBlock(bytes, &record->streamFormat);
}

int StopStreamSound(ResourceHandle handle) {
    if (Device().directSound == nullptr) return -1;
    SoundHandleRecord* record = GetSoundHandleRecord(handle);
    if (record == nullptr) return -1;
    UpdateStreamPlayCounter(handle, static_cast<unsigned>(-1));
    SoundBufferRecord* buffer = nullptr;
    if (GetSoundHandleBuffer(handle, record, &buffer, 0) != 0) return 0;
    if (record->group != -1) {
        if (SoundHandleRecord* group = GetSoundHandleRecord(record->group)) group->owner = -1;
    }
    DWORD status = 0;
    if (SoundBufferGetStatus(buffer, &status) != 0) return -1;
    if (status & DSBSTATUS_PLAYING) SoundBufferStop(buffer);
    return 0;
}

int StopSoundHandle(ResourceHandle handle) {
    if (Device().directSound == nullptr) return -1;
    SoundHandleRecord* record = GetSoundHandleRecord(handle);
    if (record == nullptr) return -1;
    if (record->kind == SoundKindStream) return StopStreamSound(handle);
    for (int i = 0; i < record->bufferCount; ++i) {
        DWORD status = 0;
        if (SoundBufferGetStatus(&record->buffers[i], &status) != 0) return -1;
        if (status & DSBSTATUS_PLAYING) SoundBufferStop(&record->buffers[i]);
    }
    return 0;
}

// Closes what each source of a streaming record holds.
static void ReleaseStreamSources(SoundHandleRecord* record) {
    for (int i = 0; i < record->sourceCount && i < StreamSourceMax; ++i) {
        SoundStreamSource& source = record->sources[i];
        CloseSoundDecoder(&source.decoder);
        if (source.memoryCopy != nullptr) {
            ZqFree(source.memoryCopy);
            source.memoryCopy = nullptr;
        }
        const StreamSource& stream = source.decoder.stream;
        if (record->sourceStreamOwned[i] == 1 && source.dataKind == SoundDataKindOwnedStream && stream.handle != 0 &&
            stream.ops.close != nullptr)
            stream.ops.close(stream.handle);
        if (source.releaseArgument != nullptr && source.releaseCallback != nullptr)
            source.releaseCallback(source.releaseArgument);
    }
}

int DeleteSoundHandle(ResourceHandle handle, int) {
    SoundDeviceState& d = Device();
    if (d.directSound == nullptr) return -1;
    SoundHandleRecord* record = GetSoundHandleRecord(handle);
    if (record == nullptr) return -1;
    if (record->kind == SoundKindStream)
        StopStreamSound(handle);
    else if (record->buffers[0].valid)
        StopSoundHandle(handle);

    if (record->kind != SoundKindStream) {
        for (int i = 0; i < record->bufferCount; ++i)
            if (record->buffers[i].valid) SoundBufferRelease(&record->buffers[i]);
        ZqFree(record->waveMemory);
        record->waveMemory = nullptr;
    } else {
        if (record->group != -1) {
            if (SoundHandleRecord* group = GetSoundHandleRecord(record->group)) {
                --group->sharers;
                if (record->group != handle && group->deletePending == 1) DeleteSoundHandle(record->group);
            }
        }
        if (record->sharers != 0) {
            record->deletePending = 1;
            return 0;
        }
        UnlinkLinkNode(&record->listNode);
        ReleaseStreamSources(record);
        if (record->buffers[0].valid) SoundBufferRelease(&record->buffers[0]);
    }

    const int slot = HandleSlot(handle);
    ZqFree(record);
    d.handles[slot] = nullptr;
    --d.handleCount;
    if (slot == d.highWater - 1) {
        int top = slot;
        while (top > 0 && d.handles[top - 1] == nullptr) --top;
        d.highWater = d.handleCount == 0 ? 0 : top;
    }
    return 0;
}

int DeleteAllSoundHandles(int argument) {
    SoundDeviceState& d = Device();
    if (d.directSound == nullptr) return -1;
    for (int slot = 0; slot < SoundHandleMax; ++slot) {
        if (d.handles[slot] == nullptr) continue;
        DeleteSoundHandle(slot | d.handles[slot]->check << 16 | SoundHandleKindBits, argument);
    }
    return 0;
}
