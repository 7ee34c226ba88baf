// sound_decoder.cpp - reading, seeking and closing a sound decoder of any kind, and
// opening one over a stream.
//
// Each kind decodes one block at a time into the decoder's block buffer; a read copies
// from that block and decodes the next when it runs dry. A read that comes up short
// marks the end, and later reads return 0 until a seek of 16 bytes or more.
#include <cstdlib>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/sound/sound_internal.h"

namespace {

int DecodeBlock(SoundDecoder* d) {
    switch (d->kind) {
    case SoundDecoderKindPCM: return DecodeSoundDecoderPCM(d);
    case SoundDecoderKindACM: return DecodeSoundDecoderACM(d);
    case SoundDecoderKindOgg: return DecodeSoundDecoderOgg(d);
    }
    return -1;
}

int SeekKind(SoundDecoder* d, int sampleFrame) {
    switch (d->kind) {
    case SoundDecoderKindPCM: return SeekSoundDecoderPCM(d, sampleFrame);
    case SoundDecoderKindACM: return SeekSoundDecoderACM(d, sampleFrame);
    case SoundDecoderKindOgg: return SeekSoundDecoderOgg(d, sampleFrame);
    }
    return 0;
}

int CloseKind(SoundDecoder* d) {
    switch (d->kind) {
    case SoundDecoderKindPCM: return CloseSoundDecoderPCM(d);
    case SoundDecoderKindACM: return CloseSoundDecoderACM(d);
    case SoundDecoderKindOgg: return CloseSoundDecoderOgg(d);
    }
    return 0;
}

// Whether a sound buffer takes the PCM the decoder delivers: 8 or 16 bits in one or two
// channels at a rate DirectSound plays. The openers deliver whatever the file holds
// (24-bit samples, surround channels), and a buffer refused later ends the process.
bool BufferTakesFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           f.nAvgBytesPerSec == f.nBlockAlign * f.nSamplesPerSec;
}

}  // namespace

int ReadSoundDecoder(SoundDecoder* d, void* destination, int bytes) {
    if (!d->opened) return -1;
    if (d->endReached) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    int copied = 0;
    while (copied < bytes) {
        if (d->bytesLeft == 0) {
            d->readOffset = 0;
            if (DecodeBlock(d) == -1) break;
            if (d->bytesLeft <= 0) {  // a step that delivered nothing ends the read too
                d->bytesLeft = 0;
                break;
            }
        }
        const int n = bytes - copied < d->bytesLeft ? bytes - copied : d->bytesLeft;
        std::memcpy(out + copied, d->blockBuffer + d->readOffset, static_cast<size_t>(n));
        copied += n;
        d->bytesLeft -= n;
        d->readOffset += n;
        d->bytePosition += n;
    }
    if (copied < bytes) d->endReached = 1;
    return copied;
}

int SeekSoundDecoder(SoundDecoder* d, int sampleFrame) {
    const int target = static_cast<int>(static_cast<unsigned>(sampleFrame) * d->format.nBlockAlign);
    if (std::abs(static_cast<int64_t>(target) - d->bytePosition) < 16) return 0;
    const int result = SeekKind(d, sampleFrame);
    d->endReached = 0;
    return result;
}

int CloseSoundDecoder(SoundDecoder* d) {
    if (!d->opened) return -1;
    if (d->blockBuffer != nullptr) {
        ZqFree(d->blockBuffer);
        d->blockBuffer = nullptr;
    }
    CloseKind(d);
    d->opened = 0;
    return 0;
}

int OpenSoundDecoderOgg16(SoundDecoder* d) { return OpenSoundDecoderOgg(d, 2); }

int OpenSoundDecoderWith(SoundDecoder* d, const StreamSource* stream, int checkpointPosition,
                         SoundDecoderOpener const* openers, int count) {
    std::memset(d, 0, sizeof *d);
    d->stream = *stream;
    const int64_t start = stream->ops.tell(stream->handle);
    int i = 0;
    for (; i < count; ++i) {
        d->stream.ops.seek(d->stream.handle, start, 0);
        if (openers[i](d) == 0) break;
    }
    if (i == count) return -1;
    const WAVEFORMATEX& f = d->format;
    if (!BufferTakesFormat(f)) {
        WriteLogFormat("再生できない形式のサウンドです ( チャンネル数 %d ビット数 %d 周波数 %u ) in OpenSoundDecoder",
                       f.nChannels, f.wBitsPerSample, static_cast<unsigned>(f.nSamplesPerSec));
        CloseKind(d);
        return -1;
    }
    // A block is a second or so of PCM; a format claiming more than 8 MB per block is
    // not audio this library can hold.
    if (d->blockSize <= 0 || d->blockSize > (8 << 20) ||
        (d->blockBuffer = static_cast<uint8_t*>(ZqAlloc(static_cast<size_t>(d->blockSize)))) == nullptr) {
        CloseKind(d);
        return -1;
    }
    d->bytesLeft = d->readOffset = d->bytePosition = d->endReached = 0;
    d->checkpointPosition = checkpointPosition;
    d->opened = 1;
    return 0;
}

int OpenSoundDecoder(SoundDecoder* d, const StreamSource* stream, int checkpointPosition) {
    static const SoundDecoderOpener openers[] = {OpenSoundDecoderPCM, OpenSoundDecoderACM, OpenSoundDecoderOgg16,
                                                 OpenSoundDecoderMP3};
    return OpenSoundDecoderWith(d, stream, checkpointPosition, openers, 4);
}
