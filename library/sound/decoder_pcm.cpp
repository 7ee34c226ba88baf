// decoder_pcm.cpp - uncompressed PCM WAV: the RIFF walk to the format and data chunks,
// and blocks of one second read straight from the stream.
#include <cstring>

#include "library/core/alloc.h"
#include "library/sound/sound_internal.h"

namespace {

// The largest format chunk body taken: the format record and any codec's extra bytes.
constexpr uint32_t FormatChunkLimit = 0x10000;

uint32_t ReadLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool ReadBytes(SoundDecoder* d, void* out, size_t n) {
    return d->stream.ops.read(out, n, 1, d->stream.handle) == 1;
}

}  // namespace

int ReadWaveHeader(SoundDecoder* d, int* fmtSize) {
    uint8_t chunk[8];
    if (!ReadBytes(d, chunk, 8) || std::memcmp(chunk, "RIFF", 4) != 0) return -1;
    uint8_t form[4];
    if (!ReadBytes(d, form, 4) || std::memcmp(form, "WAVE", 4) != 0) return -1;
    if (!ReadBytes(d, chunk, 8) || std::memcmp(chunk, "fmt ", 4) != 0) return -1;
    const uint32_t n = ReadLe32(chunk + 4);
    if (n > FormatChunkLimit) return -1;
    *fmtSize = static_cast<int>(n);
    return 0;
}

int FindWaveDataChunk(SoundDecoder* d) {
    const StreamSource& s = d->stream;
    uint8_t chunk[8];
    bool found = false;
    while (s.ops.checkEnd(s.handle) == 0) {
        if (!ReadBytes(d, chunk, 8)) return -1;
        if (std::memcmp(chunk, "data", 4) == 0) {
            found = true;
            break;
        }
        const uint32_t size = ReadLe32(chunk + 4);
        s.ops.seek(s.handle, static_cast<int64_t>(size) + (size & 1), 1);
    }
    if (!found || s.ops.checkEnd(s.handle) != 0) return -1;
    d->dataPosition = static_cast<int32_t>(s.ops.tell(s.handle));
    d->dataSize = static_cast<int32_t>(ReadLe32(chunk + 4));
    return 0;
}

int OpenSoundDecoderPCM(SoundDecoder* d) {
    int n = 0;
    if (ReadWaveHeader(d, &n) != 0) return -1;
    auto* body = static_cast<uint8_t*>(ZqAllocZero(n > 0 ? static_cast<size_t>(n) : 1));
    if (body == nullptr) return -1;
    d->fmtPosition = static_cast<int32_t>(d->stream.ops.tell(d->stream.handle));
    d->fmtSize = n;
    if (n > 0) d->stream.ops.read(body, static_cast<size_t>(n), 1, d->stream.handle);
    // A body too short to hold the format tag holds no format (and the block has no
    // second byte to read).
    if (n < 2 || (body[0] | body[1] << 8) != WAVE_FORMAT_PCM) {
        ZqFree(body);
        return -1;
    }
    std::memset(&d->format, 0, sizeof d->format);
    std::memcpy(&d->format, body, n < 18 ? static_cast<size_t>(n) : 18);
    if (n == 16) {
        // Bodies without the extra-size field take their sample width from the frame size.
        d->format.wBitsPerSample =
            d->format.nChannels ? static_cast<WORD>(d->format.nBlockAlign / d->format.nChannels * 8) : 0;
        d->format.cbSize = 0;
    }
    ZqFree(body);
    if (FindWaveDataChunk(d) != 0) return -1;
    d->blockSize = static_cast<int32_t>(d->format.nAvgBytesPerSec);
    d->kind = SoundDecoderKindPCM;
    return 0;
}

int DecodeSoundDecoderPCM(SoundDecoder* d) {
    const int64_t p = d->stream.ops.tell(d->stream.handle) - d->dataPosition;
    if (p >= d->dataSize || p < 0) return -1;
    const int64_t left = d->dataSize - p;
    const int n = static_cast<int>(left < d->blockSize ? left : d->blockSize);
    // A data chunk that claims more than the stream holds ends where the stream ends.
    const size_t got = d->stream.ops.read(d->blockBuffer, 1, static_cast<size_t>(n), d->stream.handle);
    if (got == 0) return -1;
    d->bytesLeft = static_cast<int32_t>(got);
    return 0;
}

int SeekSoundDecoderPCM(SoundDecoder* d, int sampleFrame) {
    const int offset = static_cast<int>(static_cast<unsigned>(sampleFrame) * d->format.nBlockAlign);
    d->stream.ops.seek(d->stream.handle, static_cast<int64_t>(d->dataPosition) + offset, 0);
    d->bytesLeft = 0;
    d->readOffset = 0;
    d->bytePosition = offset;
    return 0;
}

int CloseSoundDecoderPCM(SoundDecoder*) { return 0; }

int GetSoundDecoderSizePCM(SoundDecoder* d) { return d->dataSize; }
