// decoder_mp3.cpp - MPEG audio files: the frame-header parser, and the opener that skips
// the ID3 tags, scans the frames (counting samples) and describes the stream to the
// compression manager as MPEG layer III.
#include <cstring>

#include "library/core/alloc.h"
#include "library/sound/sound_internal.h"

namespace {

// kbit/s by bit-rate index 1-14.
constexpr uint16_t Mpeg1Rates[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // layer III
};
constexpr uint16_t Mpeg2Rates[2][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // layers II and III
};
constexpr uint32_t SampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

bool ReadBytes(SoundDecoder* d, void* out, size_t n) { return d->stream.ops.read(out, n, 1, d->stream.handle) == 1; }

int64_t Tell(SoundDecoder* d) { return d->stream.ops.tell(d->stream.handle); }

void Seek(SoundDecoder* d, int64_t offset, int origin) { d->stream.ops.seek(d->stream.handle, offset, origin); }

// The size of a leading ID3v2 tag, footer included; 0 without one.
int64_t Id3v2Size(SoundDecoder* d) {
    uint8_t id[3];
    if (!ReadBytes(d, id, 3) || std::memcmp(id, "ID3", 3) != 0) return 0;
    uint8_t h[7];  // major version, revision, flags, four size bytes
    if (!ReadBytes(d, h, 7)) return 0;
    int64_t size = (int64_t{h[3]} << 21) + (int64_t{h[4]} << 14) + (int64_t{h[5]} << 7) + h[6] + 10;
    if (h[0] == 4 && (h[2] & 0x10)) size += 10;
    return size;
}

// Whether the frame whose header was just read (the stream right behind it) is the
// encoders' Info frame: layer III with "Xing" or "Info" where its side information
// would start. It carries the stream's length and no sound, and the decoder skips it,
// so its samples are not counted. The stream is left where it was.
bool InfoFrame(SoundDecoder* d, const uint8_t h[4], const Mp3FrameInfo& info) {
    if (info.layerIndex != 2) return false;
    const bool mono = info.channels == 1;
    int offset = info.versionIndex == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    if ((h[1] & 1) == 0) offset += 2;  // a CRC follows the header
    if (offset + 4 > static_cast<int>(info.frameLength) - 4) return false;
    const int64_t back = Tell(d);
    uint8_t bytes[2 + 32 + 4];  // the CRC, the longest side information, the tag
    const bool read = ReadBytes(d, bytes, static_cast<size_t>(offset + 4));
    Seek(d, back, 0);
    return read && (std::memcmp(bytes + offset, "Xing", 4) == 0 || std::memcmp(bytes + offset, "Info", 4) == 0);
}

// Appends a frame mark, growing the table by half when it is full; false when memory
// runs out.
bool AddFrameMark(AcmDecoderState* s, int32_t* capacity, int64_t offset, int32_t sample) {
    if (s->frameMarkCount == *capacity) {
        const int32_t grown = *capacity < 64 ? 64 : *capacity + *capacity / 2;
        auto* table = static_cast<Mp3FrameMark*>(ZqAlloc(sizeof(Mp3FrameMark) * static_cast<size_t>(grown)));
        if (table == nullptr) return false;
        if (s->frameMarkCount > 0)
            std::memcpy(table, s->frameMarks, sizeof(Mp3FrameMark) * static_cast<size_t>(s->frameMarkCount));
        ZqFree(s->frameMarks);
        s->frameMarks = table;
        *capacity = grown;
    }
    s->frameMarks[s->frameMarkCount++] = Mp3FrameMark{static_cast<int32_t>(offset), sample};
    return true;
}

}  // namespace

int ParseMp3FrameHeader(const uint8_t b[4], Mp3FrameInfo* info) {
    if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return -2;
    const int version = (b[1] >> 3) & 1;
    const int layer = (b[1] >> 1) & 3;
    const int bitRateIndex = b[2] >> 4;
    const int sampleRateIndex = (b[2] >> 2) & 3;
    // Free format (index 0) has no bit rate to size the frame by: refused like the
    // reserved values, so every frame the scan steps over has a length of its own.
    if (layer == 0 || bitRateIndex == 15 || bitRateIndex == 0 || sampleRateIndex == 3) return -1;
    Mp3FrameInfo f{};
    f.layerIndex = static_cast<uint8_t>(3 - layer);
    f.versionIndex = static_cast<uint8_t>(version ? 0 : 1);
    f.bitRateIndex = static_cast<uint8_t>(bitRateIndex);
    f.sampleRateIndex = static_cast<uint8_t>(sampleRateIndex);
    f.paddingBit = static_cast<uint8_t>((b[2] >> 1) & 1);
    f.channels = static_cast<uint8_t>((b[3] >> 6) == 3 ? 1 : 2);
    f.sampleRate = SampleRates[f.versionIndex][sampleRateIndex];
    if (f.versionIndex == 0)
        f.bitRate = Mpeg1Rates[f.layerIndex][bitRateIndex - 1];
    else
        f.bitRate = Mpeg2Rates[f.layerIndex == 0 ? 0 : 1][bitRateIndex - 1];
    if (f.layerIndex == 0) {
        f.frameLength = (12000 * f.bitRate / f.sampleRate + f.paddingBit) * 4;
        f.samplesPerFrame = 384;
    } else if (f.layerIndex == 1 || f.versionIndex == 0) {
        f.frameLength = 144000 * f.bitRate / f.sampleRate + f.paddingBit;
        f.samplesPerFrame = 1152;
    } else {
        f.frameLength = 72000 * f.bitRate / f.sampleRate + f.paddingBit;
        f.samplesPerFrame = 576;
    }
    *info = f;
    return 0;
}

int OpenSoundDecoderMP3(SoundDecoder* d) {
    AcmDecoderState& s = d->kindState.acm;
    std::memset(&s, 0, sizeof s);
    s.totalSamples = 0;
    Seek(d, 0, 2);
    const int64_t fileSize = Tell(d);
    Seek(d, 0, 0);
    const int64_t tagSize = Id3v2Size(d);
    int64_t audioEnd = fileSize;
    if (fileSize > 128) {
        Seek(d, fileSize - 128, 0);
        uint8_t tag[3];
        if (ReadBytes(d, tag, 3) && std::memcmp(tag, "TAG", 3) == 0) audioEnd = fileSize - 128;
    }

    Seek(d, tagSize, 0);
    int64_t firstFrame = -1;
    int64_t dataEnd = -1;
    int64_t lastFrameEnd = -1;
    int32_t soundFrames = 0;
    int32_t markCapacity = 0;
    uint8_t h[4];
    Mp3FrameInfo info;
    for (;;) {
        if (!ReadBytes(d, &h[0], 1)) break;
        if (h[0] != 0xFF) continue;
        if (!ReadBytes(d, &h[1], 1)) break;
        if ((h[1] & 0xF0) != 0xF0) continue;
        if (!ReadBytes(d, &h[2], 2)) break;
        if (ParseMp3FrameHeader(h, &info) != 0) {
            ReleaseAcmDecoderState(&s);
            return -1;
        }
        const int64_t frameStart = Tell(d) - 4;
        const bool first = firstFrame < 0;
        if (first) firstFrame = frameStart;
        if (!(first && InfoFrame(d, h, info))) {
            // A decoder restarted at a mark every fourth frame gives the very samples
            // of a decode from the start (see SeekSoundDecoderACM).
            if (soundFrames++ % 4 == 0 &&
                !AddFrameMark(&s, &markCapacity, frameStart - firstFrame, s.totalSamples)) {
                ReleaseAcmDecoderState(&s);
                return -1;
            }
            s.totalSamples += static_cast<int32_t>(info.samplesPerFrame);
        }
        const int64_t frameEnd = frameStart + info.frameLength;
        if (frameEnd >= audioEnd) {
            dataEnd = audioEnd;
            break;
        }
        lastFrameEnd = frameEnd;
        Seek(d, info.frameLength - 4, 1);
    }
    if (dataEnd < 0) dataEnd = lastFrameEnd > 0 ? lastFrameEnd : audioEnd;
    if (firstFrame >= 0) Seek(d, firstFrame, 0);
    if (firstFrame < 0 || !ReadBytes(d, h, 4) || ParseMp3FrameHeader(h, &info) != 0) {
        ReleaseAcmDecoderState(&s);
        return -1;
    }
    DWORD formatSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &formatSize) != MMSYSERR_NOERROR || formatSize == 0)
        formatSize = 32;
    if (formatSize < sizeof(MPEGLAYER3WAVEFORMAT)) formatSize = sizeof(MPEGLAYER3WAVEFORMAT);
    auto* mp3 = static_cast<MPEGLAYER3WAVEFORMAT*>(ZqAllocZero(formatSize));
    if (mp3 == nullptr) {
        ReleaseAcmDecoderState(&s);
        return -1;
    }
    mp3->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3->wfx.nChannels = info.channels;
    mp3->wfx.nSamplesPerSec = info.sampleRate;
    mp3->wfx.nAvgBytesPerSec = info.bitRate * 1000 / 8;
    mp3->wfx.nBlockAlign = 1;
    mp3->wfx.wBitsPerSample = 0;
    mp3->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3->wID = MPEGLAYER3_ID_MPEG;
    mp3->fdwFlags = info.paddingBit ? MPEGLAYER3_FLAG_PADDING_ON : MPEGLAYER3_FLAG_PADDING_ISO;
    mp3->nBlockSize = static_cast<WORD>(info.frameLength);
    mp3->nFramesPerBlock = 1;
    mp3->nCodecDelay = 700;
    Seek(d, firstFrame, 0);
    s.sourceFormat = &mp3->wfx;
    d->dataPosition = static_cast<int32_t>(firstFrame);
    d->dataSize = static_cast<int32_t>(dataEnd - firstFrame);
    if (FinishAcmDecoderOpen(d, true) != 0) {
        ReleaseAcmDecoderState(&s);
        return -1;
    }
    return 0;
}
