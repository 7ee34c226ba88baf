// stream_refill.cpp - keeps each streaming sound's six-second buffer filled, once per
// frame.
//
// The first fill writes four seconds at offset 0. While the buffer plays, each frame
// writes at least 1/8 second behind the last write and tops the queue up to three
// seconds; the play cursor must lie in the window of the last four seconds written,
// else the frame is skipped. When the sources run out the sound either loops back to
// its first source (leaving a mark where the loop begins, for the play counter) or
// writes silence until the play cursor has passed the end, and then stops.
#include <cstring>

#include "library/sound/sound.h"
#include "library/sound/sound_internal.h"

namespace {

// Consecutive empty reads that end a refill: a source that never yields a byte (an
// endless loop over empty data) cannot hold the frame forever.
constexpr int EmptyAdvanceLimit = 64;

int BytesPerSecond(const SoundHandleRecord* r) { return static_cast<int>(r->streamFormat.nAvgBytesPerSec); }

uint8_t SilenceByte(const SoundHandleRecord* r) { return r->streamFormat.wBitsPerSample == 8 ? 127 : 0; }

// The buffer offset of the next byte the lock region takes.
unsigned NextRegionOffset(const StreamLockRegion* region) {
    if (region->firstLeft > 0) return region->startOffset + region->firstWritten;
    return region->secondWritten;
}

// Whether the play cursor lies within the written window.
bool CursorInWindow(const SoundHandleRecord* r, unsigned play) {
    const unsigned w = static_cast<unsigned>(r->writePosition);
    const unsigned s = static_cast<unsigned>(r->windowStart);
    if (s < w) return s <= play && play <= w;
    if (s > w) return play >= s || play <= w;
    return play == w;
}

// Whether the play cursor has passed the end of the data. Measured from where the
// cursor stood when the end was written (the end reference), the end lies ahead by
// less than the buffer's size: once the cursor has moved further than that, it is
// past the end, on whichever side of the buffer's wrap the end fell.
bool CursorPassedEnd(const SoundHandleRecord* r, unsigned play, unsigned size) {
    const unsigned ahead = (r->endOffset + size - r->endReference) % size;
    const unsigned moved = (play + size - r->endReference) % size;
    return moved > ahead;
}

void InitRegion(StreamLockRegion* region, unsigned start, void* first, DWORD firstBytes, void* second,
                DWORD secondBytes) {
    region->startOffset = start;
    region->first = static_cast<uint8_t*>(first);
    region->firstLength = first ? firstBytes : 0;
    region->second = static_cast<uint8_t*>(second);
    region->secondLength = second ? secondBytes : 0;
    region->firstWritten = region->secondWritten = 0;
    region->firstLeft = region->firstLength;
    region->secondLeft = region->secondLength;
}

void AdvanceWritePosition(SoundHandleRecord* r, int amount) {
    const int size = 6 * BytesPerSecond(r);
    r->writePosition += amount;
    if (r->writePosition >= size) r->writePosition -= size;
    r->windowStart = r->writePosition - 4 * BytesPerSecond(r);
    if (r->windowStart < 0) r->windowStart += size;
}

}  // namespace

void FillStreamSilence(SoundHandleRecord* record, StreamLockRegion* region, unsigned bytes) {
    const uint8_t silence = SilenceByte(record);
    while (bytes > 0) {
        if (region->firstLeft > 0) {
            const DWORD n = region->firstLeft < bytes ? region->firstLeft : bytes;
            std::memset(region->first + region->firstWritten, silence, n);
            region->firstWritten += n;
            region->firstLeft -= n;
            bytes -= n;
        } else if (region->secondLeft > 0) {
            const DWORD n = region->secondLeft < bytes ? region->secondLeft : bytes;
            std::memset(region->second + region->secondWritten, silence, n);
            region->secondWritten += n;
            region->secondLeft -= n;
            bytes -= n;
        } else {
            break;
        }
    }
}

int ReadStreamIntoLock(StreamLockRegion* region, SoundDecoder* decoder, unsigned bytes) {
    int written = 0;
    while (bytes > 0) {
        DWORD* left;
        DWORD* done;
        uint8_t* piece;
        if (region->firstLeft > 0) {
            left = &region->firstLeft;
            done = &region->firstWritten;
            piece = region->first;
        } else if (region->secondLeft > 0) {
            left = &region->secondLeft;
            done = &region->secondWritten;
            piece = region->second;
        } else {
            break;
        }
        const DWORD want = *left < bytes ? *left : bytes;
        const int got = ReadSoundDecoder(decoder, piece + *done, static_cast<int>(want));
        if (got <= 0) break;
        *done += static_cast<DWORD>(got);
        *left -= static_cast<DWORD>(got);
        bytes -= static_cast<unsigned>(got);
        written += got;
    }
    return written;
}

int AdvanceStreamSource(SoundHandleRecord* r, StreamLockRegion* region, unsigned reference) {
    ++r->repeatsDone;
    const int loopCount = r->sources[r->currentSource].loopCount;
    if (!(loopCount == -1 || loopCount >= r->repeatsDone)) {
        r->repeatsDone = 0;
        ++r->currentSource;
        if (r->currentSource >= r->sourceCount) {
            r->endReached = 1;
            if (r->playType == SoundPlayLoop) {
                r->currentSource = 0;
                r->markPending = 1;
                r->markOffset = NextRegionOffset(region);
            } else {
                r->endWritten = 1;
                r->endOffset = NextRegionOffset(region);
                r->endReference = reference;
                FillStreamSilence(r, region, static_cast<unsigned>(AlignToStreamBlock(BytesPerSecond(r) / 8, r)));
                return -1;
            }
        }
    }
    SoundStreamSource& source = r->sources[r->currentSource];
    const int align = r->streamFormat.nBlockAlign ? r->streamFormat.nBlockAlign : 1;
    r->bytesRead = r->repeatsDone > 0 ? source.loopStartSample * align : 0;
    SeekSoundDecoder(&source.decoder, r->bytesRead / align);
    return 0;
}

int UpdateStreamPlayCounter(ResourceHandle handle, unsigned position) {
    if (SoundDeviceStateRecord.directSound == nullptr) return -1;
    SoundHandleRecord* r = GetSoundHandleRecord(handle);
    if (r == nullptr) return -1;
    SoundBufferRecord* buffer = nullptr;
    if (r->kind != SoundKindStream || GetSoundHandleBuffer(handle, r, &buffer, 0) != 0 || !r->active) return 0;
    unsigned p = position;
    if (position == static_cast<unsigned>(-1)) {
        DWORD play = 0;
        SoundBufferGetCurrentPosition(buffer, &play, nullptr);
        p = play;
    }
    const unsigned l = r->lastPlayPosition;
    if (p == l) return 0;
    const unsigned m = r->markOffset;
    const unsigned size = static_cast<unsigned>(r->bufferSize);
    bool marked = false;
    if (r->markPending) {
        if (l < p && l < m && m <= p) {
            r->playedBytes = static_cast<int>(p - m);
            marked = true;
        } else if (l >= p && m > l) {
            r->playedBytes = static_cast<int>(size - m + p);
            marked = true;
        } else if (l >= p && m <= l && m < p) {
            r->playedBytes = static_cast<int>(p - m);
            marked = true;
        }
        if (marked) r->markPending = 0;
    }
    if (!marked) r->playedBytes += static_cast<int>(l < p ? p - l : size - l + p);
    r->lastPlayPosition = p;
    return 0;
}

int RefillStreamSound(ResourceHandle handle) {
    if (SoundDeviceStateRecord.directSound == nullptr) return -1;
    SoundHandleRecord* r = GetSoundHandleRecord(handle);
    if (r == nullptr) return -1;
    SoundBufferRecord* buffer = nullptr;
    if (r->kind != SoundKindStream || GetSoundHandleBuffer(handle, r, &buffer, 0) != 0 || !r->active) return 0;
    UpdateStreamPlayCounter(handle, static_cast<unsigned>(-1));
    const int a = BytesPerSecond(r);
    const int size = 6 * a;
    if (a <= 0 || r->sourceCount <= 0) return 0;

    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    StreamLockRegion region;

    DWORD play = 0;
    SoundBufferGetCurrentPosition(buffer, &play, nullptr);
    if (r->endWritten) {
        if (CursorPassedEnd(r, play, static_cast<unsigned>(size))) {
            SoundBufferStop(buffer);
            r->endWritten = 0;
            return 0;
        }
        const int amount = AlignToStreamBlock(a / 8, r);
        if (!CursorInWindow(r, play)) return -1;
        if (SoundBufferLock(buffer, static_cast<unsigned>(r->writePosition), static_cast<unsigned>(amount), &first,
                            &firstBytes, &second, &secondBytes) != 0)
            return -1;
        InitRegion(&region, static_cast<unsigned>(r->writePosition), first, firstBytes, second, secondBytes);
        FillStreamSilence(r, &region, static_cast<unsigned>(amount));
        SoundBufferUnlock(buffer, first, firstBytes, second, secondBytes);
        AdvanceWritePosition(r, amount);
        return 0;
    }

    DWORD status = 0;
    SoundBufferGetStatus(buffer, &status);
    unsigned start;
    int amount;
    bool firstFill = false;
    if (!(status & DSBSTATUS_PLAYING)) {
        if (r->writePosition != StreamNotStarted) return 0;
        start = 0;
        amount = AlignToStreamBlock(4 * a, r);
        firstFill = true;
    } else {
        // A buffer started before its first fill has no window yet.
        if (r->writePosition == StreamNotStarted) return 0;
        start = static_cast<unsigned>(r->writePosition);
        amount = AlignToStreamBlock(a / 8, r);
        if (!CursorInWindow(r, play)) return -1;
        const int64_t queued = ((static_cast<int64_t>(r->writePosition) - play) % size + size) % size;
        const unsigned f = static_cast<unsigned>(queued * 128 / a);
        if (f < 384) amount = AlignToStreamBlock(static_cast<int>((384 - f) * static_cast<int64_t>(a) / 128), r);
    }
    const int asked = amount;
    if (SoundBufferLock(buffer, start, static_cast<unsigned>(amount), &first, &firstBytes, &second, &secondBytes) != 0)
        return -1;  // nothing written, positions unchanged: the next frame tries again
    InitRegion(&region, start, first, firstBytes, second, secondBytes);
    int empty = 0;
    while (amount != 0 && !r->endWritten) {
        const int got = ReadStreamIntoLock(&region, &r->sources[r->currentSource].decoder, static_cast<unsigned>(amount));
        if (got != 0) {
            amount -= got;
            r->bytesRead += got;
            empty = 0;
            continue;
        }
        if (region.firstLeft == 0 && region.secondLeft == 0) break;  // the lock gave less than asked
        // The cursor now is where the end test measures from.
        if (AdvanceStreamSource(r, &region, play) != 0) break;
        if (++empty >= EmptyAdvanceLimit) {
            FillStreamSilence(r, &region, static_cast<unsigned>(amount));
            break;
        }
    }
    SoundBufferUnlock(buffer, first, firstBytes, second, secondBytes);
    if (firstFill) {
        r->writePosition = 4 * a;
        r->windowStart = 0;
    } else {
        AdvanceWritePosition(r, asked);
    }
    return 0;
}

int RefillAllStreamSounds(void) {
    SoundDeviceState& d = SoundDeviceStateRecord;
    if (d.directSound == nullptr) return -1;
    LinkNode* node = d.streamHead.next;
    while (node != nullptr && node->next != nullptr) {
        LinkNode* next = node->next;  // a refill may stop, never delete, the sound
        RefillStreamSound(node->id);
        node = next;
    }
    return 0;
}
