// decoder_ogg.cpp - Ogg Vorbis through vorbisfile: the four stream callbacks, the opener,
// and the decode, seek and close of the kind.
#include <cstring>

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

int OpenSoundDecoderOgg(SoundDecoder* d, int bytesPerSample) {
    OggDecoderState& s = d->kindState.ogg;
    std::memset(&s, 0, sizeof s);
    const ov_callbacks callbacks = {ReadStreamForOgg, SeekStreamForOgg, CloseStreamForOgg, TellStreamForOgg};
    // A failed open has cleared the reader already (ov_clear again would free nothing).
    if (ov_open_callbacks(&d->stream, &s.vorbisFile, nullptr, 0, callbacks) != 0) return -1;
    s.readerOpen = 1;
    const vorbis_info* info = ov_info(&s.vorbisFile, -1);
    // Up to eight channels at a sane rate; anything else is not a stream this library plays.
    if (info == nullptr || info->channels < 1 || info->channels > 8 || info->rate < 1000 || info->rate > 192000) {
        CloseSoundDecoderOgg(d);
        return -1;
    }
    s.bytesPerSample = bytesPerSample == 1 ? 1 : 2;
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
    int stream = 0;
    const long got = ov_read(&s.vorbisFile, reinterpret_cast<char*>(d->blockBuffer), d->blockSize, 0,
                             s.bytesPerSample, s.bytesPerSample == 1 ? 0 : 1, &stream);
    if (got <= 0) return -1;
    d->bytesLeft = static_cast<int32_t>(got);
    return 0;
}

int SeekSoundDecoderOgg(SoundDecoder* d, int sampleFrame) {
    ov_pcm_seek(&d->kindState.ogg.vorbisFile, static_cast<ogg_int64_t>(sampleFrame));
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
    return 0;
}
