// decoder_ogg.cpp - Ogg Vorbis through vorbisfile: the four stream callbacks, the opener,
// and the decode, seek and close of the kind.
//
// A chained file (links one after the other, as `cat` of two files makes) plays every
// link in order. vorbisfile's seekable open walks the links from the end of the file
// and starts decoding past a short first link, and when a later link is damaged it
// loses memory of its own; so the reader is opened without seek and tell, streams
// through the links, and a seek reopens it and decodes up to the target. A link of
// other channels or rate than the first is converted to the first link's format.
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/sound/sound_internal.h"

size_t ReadStreamForOgg(void* buffer, size_t size, size_t count, void* source) {
    auto* s = static_cast<StreamSource*>(source);
    if (s == nullptr) return static_cast<size_t>(-1);
    return s->ops.read(buffer, size, count, s->handle);
}

int SeekStreamForOgg(void* source, ogg_int64_t offset, int origin) {
    auto* s = static_cast<StreamSource*>(source);
    if (s == nullptr) return -1;
    return s->ops.seek(s->handle, static_cast<int32_t>(offset), origin);
}

// The reader never closes the sound source's stream.
int CloseStreamForOgg(void*) { return 0; }

long TellStreamForOgg(void* source) {
    auto* s = static_cast<StreamSource*>(source);
    if (s == nullptr) return -1;
    return static_cast<long>(s->ops.tell(s->handle));
}

namespace {

// Bytes of the widest frame a Vorbis link can have (255 channels of 16 bits).
constexpr int MaxOggFrameBytes = 255 * 2;

// Opens the reader over the stream from the file's first byte, with nothing converted,
// staged or skipped. 0, or -1 with the reader closed.
int OpenOggReader(SoundDecoder* d) {
    OggDecoderState& s = d->kindState.ogg;
    const ov_callbacks streaming = {ReadStreamForOgg, nullptr, CloseStreamForOgg, nullptr};
    s.link = 0;
    s.stagedBytes = 0;
    s.readerEnded = 0;
    s.producedBytes = 0;
    s.skipBytes = 0;
    d->stream.ops.seek(d->stream.handle, s.streamStart, 0);
    // A failed open has cleared the reader already (ov_clear again would free nothing).
    s.readerOpen = ov_open_callbacks(&d->stream, &s.vorbisFile, nullptr, 0, streaming) == 0 ? 1 : 0;
    return s.readerOpen ? 0 : -1;
}

// The next PCM of the reader in its link's own format, at most `bytes`: the bytes
// written, with the link they belong to, or 0 at the end of the last link or on an
// error. A hole (pages lost, or the seam between two links) is passed over.
long ReadOggPcm(OggDecoderState& s, uint8_t* into, int bytes, int* link) {
    for (;;) {
        const long got = ov_read(&s.vorbisFile, reinterpret_cast<char*>(into), bytes, 0, s.bytesPerSample,
                                 s.bytesPerSample == 1 ? 0 : 1, link);
        if (got != OV_HOLE) return got > 0 ? got : 0;
    }
}

// Moves on to the link whose PCM is staged: a converter when its channels or rate
// differ from the output's. 0, or -1 (logged) when it cannot be converted.
int StartStagedLink(SoundDecoder* d) {
    OggDecoderState& s = d->kindState.ogg;
    s.link = s.stagedLink;
    const vorbis_info* info = ov_info(&s.vorbisFile, -1);
    if (info == nullptr) return -1;
    s.linkBlockAlign = s.bytesPerSample * info->channels;
    if (info->channels == d->format.nChannels && info->rate == static_cast<long>(d->format.nSamplesPerSec)) return 0;
    s.converter = CreateOggLinkConverter(info->channels, info->rate, d->format, s.bytesPerSample);
    return s.converter ? 0 : -1;
}

// One block of output PCM in `blockBuffer`, before any skipping. 0 with `bytesLeft`
// set, or -1 when the audio is over.
int DecodeOggOutputBlock(SoundDecoder* d) {
    OggDecoderState& s = d->kindState.ogg;
    const int room = d->blockSize / d->format.nBlockAlign;
    for (;;) {
        const bool linkOver = s.readerEnded || (s.stagedBytes > 0 && s.stagedLink != s.link);
        if (s.converter && linkOver) {  // the converted link's tail first
            const int frames = ConvertOggLinkPcm(s.converter, nullptr, 0, d->blockBuffer, room);
            if (frames > 0) {
                d->bytesLeft = frames * d->format.nBlockAlign;
                return 0;
            }
            FreeOggLinkConverter(&s.converter);
        }
        if (s.stagedBytes > 0 && s.stagedLink != s.link && StartStagedLink(d) != 0) {
            s.readerEnded = 1;
            s.stagedBytes = 0;
            return -1;
        }
        if (s.stagedBytes > 0) {
            const int staged = s.stagedBytes;
            s.stagedBytes = 0;
            if (!s.converter) {  // a link in the output format: its PCM as it is
                std::memcpy(d->blockBuffer, s.staging, static_cast<size_t>(staged));
                d->bytesLeft = staged;
                return 0;
            }
            const int frames = ConvertOggLinkPcm(s.converter, s.staging, staged / s.linkBlockAlign, d->blockBuffer, room);
            if (frames < 0) return -1;
            if (frames > 0) {
                d->bytesLeft = frames * d->format.nBlockAlign;
                return 0;
            }
            continue;  // the converter gathers input
        }
        if (s.readerEnded) return -1;
        int most = d->blockSize;
        if (s.converter) {
            const int frames = OggLinkInputFrames(s.converter, room, d->blockSize / s.linkBlockAlign);
            if (frames == 0) {  // what the converter holds may fill a block
                const int written = ConvertOggLinkPcm(s.converter, s.staging, 0, d->blockBuffer, room);
                if (written < 0) return -1;
                if (written > 0) {
                    d->bytesLeft = written * d->format.nBlockAlign;
                    return 0;
                }
            }
            // At least one frame of any link: the PCM may belong to the next link already.
            most = std::max(frames * s.linkBlockAlign, MaxOggFrameBytes);
        }
        // Unconverted PCM of the same link goes straight into the block; anything else
        // waits in the staging buffer until the link it belongs to is set up.
        uint8_t* into = s.converter ? s.staging : d->blockBuffer;
        int link = s.link;
        const long got = ReadOggPcm(s, into, most, &link);
        if (got == 0) {
            s.readerEnded = 1;
            continue;
        }
        if (!s.converter && link == s.link) {
            d->bytesLeft = static_cast<int32_t>(got);
            return 0;
        }
        if (s.staging == nullptr && (s.staging = static_cast<uint8_t*>(ZqAlloc(static_cast<size_t>(d->blockSize)))) == nullptr)
            return -1;
        if (into != s.staging) std::memcpy(s.staging, into, static_cast<size_t>(got));
        s.stagedBytes = static_cast<int32_t>(got);
        s.stagedLink = link;
    }
}

}  // namespace

int OpenSoundDecoderOgg(SoundDecoder* d, int bytesPerSample) {
    OggDecoderState& s = d->kindState.ogg;
    std::memset(&s, 0, sizeof s);
    s.streamStart = d->stream.ops.tell(d->stream.handle);
    if (OpenOggReader(d) != 0) return -1;
    const vorbis_info* info = ov_info(&s.vorbisFile, -1);
    // Up to eight channels at a sane rate; anything else is not a stream this library plays.
    if (info == nullptr || info->channels < 1 || info->channels > 8 || info->rate < 1000 || info->rate > 192000) {
        CloseSoundDecoderOgg(d);
        return -1;
    }
    s.bytesPerSample = bytesPerSample == 1 ? 1 : 2;
    s.linkBlockAlign = s.bytesPerSample * info->channels;
    std::memset(&d->format, 0, sizeof d->format);
    d->format.wFormatTag = WAVE_FORMAT_PCM;
    d->format.nChannels = static_cast<WORD>(info->channels);
    d->format.nSamplesPerSec = static_cast<DWORD>(info->rate);
    d->format.wBitsPerSample = static_cast<WORD>(s.bytesPerSample * 8);
    d->format.nBlockAlign = static_cast<WORD>(s.bytesPerSample * info->channels);
    d->format.nAvgBytesPerSec = d->format.nBlockAlign * d->format.nSamplesPerSec;
    d->blockSize = 4096;
    d->kind = SoundDecoderKindOgg;
    return 0;
}

int DecodeSoundDecoderOgg(SoundDecoder* d) {
    OggDecoderState& s = d->kindState.ogg;
    if (!s.readerOpen) return -1;
    for (;;) {
        if (DecodeOggOutputBlock(d) != 0) {
            d->bytesLeft = 0;
            return -1;
        }
        s.producedBytes += d->bytesLeft;
        if (s.skipBytes == 0) return 0;
        if (s.skipBytes >= d->bytesLeft) {  // the whole block lies before the target
            s.skipBytes -= d->bytesLeft;
            d->bytesLeft = 0;
            continue;
        }
        const int skip = static_cast<int>(s.skipBytes);
        std::memmove(d->blockBuffer, d->blockBuffer + skip, static_cast<size_t>(d->bytesLeft - skip));
        d->bytesLeft -= skip;
        s.skipBytes = 0;
        return 0;
    }
}

// Forward the reader decodes on to the target; back it starts again from the file's
// start. The decoding happens in the next decode steps.
int SeekSoundDecoderOgg(SoundDecoder* d, int sampleFrame) {
    OggDecoderState& s = d->kindState.ogg;
    const int64_t target = static_cast<int64_t>(static_cast<unsigned>(sampleFrame)) * d->format.nBlockAlign;
    if (target < s.producedBytes || !s.readerOpen) {
        CloseSoundDecoderOgg(d);
        if (OpenOggReader(d) != 0)
            WriteLogText("Ogg Vorbis ファイルを先頭から読み直せませんでした in SeekSoundDecoderOgg\n");
    }
    s.skipBytes = target - s.producedBytes;
    d->bytesLeft = 0;
    d->readOffset = 0;
    d->bytePosition = static_cast<int32_t>(static_cast<unsigned>(sampleFrame) * d->format.nBlockAlign);
    return 0;
}

int CloseSoundDecoderOgg(SoundDecoder* d) {
    OggDecoderState& s = d->kindState.ogg;
    if (s.readerOpen == 1) {
        ov_clear(&s.vorbisFile);
        s.readerOpen = 0;
    }
    FreeOggLinkConverter(&s.converter);
    if (s.staging != nullptr) {
        ZqFree(s.staging);
        s.staging = nullptr;
    }
    s.stagedBytes = 0;
    return 0;
}
