// decoder_acm.cpp - compressed audio converted to PCM by the compression manager: the
// compressed-WAV opener, and the decode, seek and close that MP3 shares.
//
// The whole compressed data sits in memory. Two conversion streams run over it: the
// main one fills the block buffer, and a checkpoint stream runs ahead (discarding its
// output) until it is within 10240 PCM bytes of `checkpointPosition`, so a jump back to
// that position decodes only from there instead of from the start.
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/sound/sound_internal.h"

namespace {

constexpr int PieceBytes = 2048;
constexpr int CheckpointSlack = 10240;
// The most compressed data held in memory.
constexpr int32_t CompressedLimit = 256 << 20;

MMRESULT OpenStream(SoundDecoder* d, HACMSTREAM* stream) {
    return acmStreamOpen(stream, nullptr, d->kindState.acm.sourceFormat, &d->format, nullptr, 0, 0,
                         ACM_STREAMOPENF_NONREALTIME);
}

void CloseStream(HACMSTREAM* stream) {
    if (*stream != nullptr) acmStreamClose(*stream, 0);
    *stream = nullptr;
}

// Converts one piece; false when the header cannot be prepared. The bytes used on both
// sides come back through the pointers.
bool ConvertPiece(HACMSTREAM stream, uint8_t* source, int sourceBytes, uint8_t* destination, int destinationBytes,
                  int* sourceUsed, int* destinationUsed) {
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = source;
    h.cbSrcLength = static_cast<DWORD>(sourceBytes);
    h.pbDst = destination;
    h.cbDstLength = static_cast<DWORD>(destinationBytes);
    if (acmStreamPrepareHeader(stream, &h, 0) != MMSYSERR_NOERROR) return false;
    acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN);
    acmStreamUnprepareHeader(stream, &h, 0);
    *sourceUsed = static_cast<int>(h.cbSrcLengthUsed);
    *destinationUsed = static_cast<int>(h.cbDstLengthUsed);
    return true;
}

int Min(int a, int b) { return a < b ? a : b; }

// Restarts the main stream at a place in the compressed data whose first PCM byte is
// at `position`.
void RestartMainStream(SoundDecoder* d, int32_t offset, int32_t position) {
    AcmDecoderState& s = d->kindState.acm;
    CloseStream(&s.mainStream);
    OpenStream(d, &s.mainStream);
    s.mainInputOffset = offset;
    d->bytePosition = position;
    d->bytesLeft = 0;
    d->readOffset = 0;
}

// The MP3 frame mark from which a restarted stream reaches `sample` in the state a
// decode from the start has there: a layer III frame takes data from up to 511 bytes
// of the frames before it and overlaps the frame before it, so the mark lies at least
// four frames and 1024 bytes before the group of four frames that holds the sample
// (the decoder's output also follows the frame count modulo four, which marks every
// fourth frame keep). Null when no such mark lies past the first.
const Mp3FrameMark* FrameMarkBefore(const AcmDecoderState& s, int sample) {
    const Mp3FrameMark* marks = s.frameMarks;
    const int count = s.frameMarkCount;
    const int group = static_cast<int>(std::upper_bound(marks, marks + count, sample,
                                                        [](int v, const Mp3FrameMark& m) { return v < m.sample; }) -
                                       marks) - 1;
    int mark = group - 1;
    while (mark > 0 && marks[group].offset - marks[mark].offset < 1024) --mark;
    return mark > 0 && marks[mark].offset < s.compressedSize ? &marks[mark] : nullptr;
}

// Compressed bytes one conversion takes: 2048, or one whole block of a codec whose
// blocks are larger. Block codecs (ADPCM) convert whole blocks only, so a smaller piece
// would yield nothing and end the audio. A block is at most 65535 bytes.
int PieceSize(const AcmDecoderState& s) {
    const int block = s.sourceFormat != nullptr ? s.sourceFormat->nBlockAlign : 0;
    return block > PieceBytes ? block : PieceBytes;
}

}  // namespace

void ReleaseAcmDecoderState(AcmDecoderState* s) {
    CloseStream(&s->mainStream);
    CloseStream(&s->checkpointStream);
    ZqFree(s->checkpointScratch);
    ZqFree(s->sourceFormat);
    ZqFree(s->compressedData);
    ZqFree(s->frameMarks);
    s->checkpointScratch = nullptr;
    s->sourceFormat = nullptr;
    s->compressedData = nullptr;
    s->frameMarks = nullptr;
    s->frameMarkCount = 0;
}

int FinishAcmDecoderOpen(SoundDecoder* d, bool mp3) {
    AcmDecoderState& s = d->kindState.acm;
    std::memset(&d->format, 0, sizeof d->format);
    d->format.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, s.sourceFormat, &d->format, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) !=
        MMSYSERR_NOERROR)
        return -1;
    if (d->dataSize < 0 || d->dataSize > CompressedLimit) return -1;
    s.compressedSize = d->dataSize;
    s.compressedData = static_cast<uint8_t*>(ZqAlloc(d->dataSize > 0 ? static_cast<size_t>(d->dataSize) : 1));
    if (s.compressedData == nullptr) return -1;
    s.mainInputOffset = 0;
    // Data that claims more than the stream holds ends where the stream ends.
    const size_t got = d->stream.ops.read(s.compressedData, 1, static_cast<size_t>(d->dataSize), d->stream.handle);
    s.compressedSize = static_cast<int32_t>(got);
    d->stream.ops.seek(d->stream.handle, d->dataPosition, 0);
    if (OpenStream(d, &s.mainStream) != MMSYSERR_NOERROR) return -1;
    if (OpenStream(d, &s.checkpointStream) != MMSYSERR_NOERROR) return -1;
    d->blockSize = static_cast<int32_t>(mp3 ? d->format.nAvgBytesPerSec * 4u / 3u : d->format.nAvgBytesPerSec);
    // The block takes all that one piece converts to (one large ADPCM block gives up to
    // about 256 KB), or the piece would convert nothing.
    DWORD pieceOutput = 0;
    if (acmStreamSize(s.mainStream, static_cast<DWORD>(PieceSize(s)), &pieceOutput, ACM_STREAMSIZEF_SOURCE) ==
            MMSYSERR_NOERROR &&
        pieceOutput > static_cast<DWORD>(d->blockSize) && pieceOutput <= (1u << 20))
        d->blockSize = static_cast<int32_t>(pieceOutput);
    if (d->blockSize <= 0) return -1;
    s.checkpointScratch = static_cast<uint8_t*>(ZqAlloc(static_cast<size_t>(d->blockSize)));
    if (s.checkpointScratch == nullptr) return -1;
    d->kind = SoundDecoderKindACM;
    return 0;
}

int OpenSoundDecoderACM(SoundDecoder* d) {
    AcmDecoderState& s = d->kindState.acm;
    std::memset(&s, 0, sizeof s);
    s.totalSamples = -1;
    int n = 0;
    if (ReadWaveHeader(d, &n) != 0) return -1;
    // Room for a whole WAVEFORMATEX however short the body is.
    s.sourceFormat = static_cast<WAVEFORMATEX*>(ZqAllocZero(static_cast<size_t>(n < 18 ? 18 : n)));
    if (s.sourceFormat == nullptr) return -1;
    d->fmtPosition = static_cast<int32_t>(d->stream.ops.tell(d->stream.handle));
    d->fmtSize = n;
    if (n > 0) d->stream.ops.read(s.sourceFormat, 1, static_cast<size_t>(n), d->stream.handle);
    WAVEFORMATEX* f = s.sourceFormat;
    if (f->wFormatTag == WAVE_FORMAT_PCM && n == 16) {
        f->wBitsPerSample = f->nChannels ? static_cast<WORD>(f->nBlockAlign / f->nChannels * 8) : 0;
        f->cbSize = 0;
    }
    // The codec reads cbSize extra bytes behind the record: never more than the body has.
    if (n < 18)
        f->cbSize = 0;
    else if (f->cbSize > n - 18)
        f->cbSize = static_cast<WORD>(n - 18);
    if (FindWaveDataChunk(d) != 0 || FinishAcmDecoderOpen(d, false) != 0) {
        ReleaseAcmDecoderState(&s);
        return -1;
    }
    return 0;
}

int DecodeSoundDecoderACM(SoundDecoder* d) {
    AcmDecoderState& s = d->kindState.acm;
    if (s.checkpointOutputPosition != d->checkpointPosition) {
        if (d->checkpointPosition < s.checkpointOutputPosition) {
            CloseStream(&s.checkpointStream);
            OpenStream(d, &s.checkpointStream);
            s.checkpointOutputPosition = 0;
            s.checkpointInputOffset = 0;
        }
        if (s.checkpointStream != nullptr && s.checkpointOutputPosition < d->checkpointPosition - CheckpointSlack &&
            s.checkpointInputOffset < s.compressedSize) {
            int used = 0, made = 0;
            if (!ConvertPiece(s.checkpointStream, s.compressedData + s.checkpointInputOffset,
                              Min(PieceSize(s), s.compressedSize - s.checkpointInputOffset), s.checkpointScratch,
                              Min(d->blockSize, d->checkpointPosition - s.checkpointOutputPosition), &used, &made))
                return -1;
            s.checkpointOutputPosition += made;
            s.checkpointInputOffset += used;
        }
    }
    // With all the data taken, the stream may still hold decoded sound that did not
    // fit the destination of an earlier piece (a checkpoint stream, whose pieces are
    // cut short at the checkpoint, holds up to a piece's worth): an empty piece takes
    // it, and only a piece that yields nothing ends the audio.
    int used = 0, made = 0;
    if (!ConvertPiece(s.mainStream, s.compressedData + s.mainInputOffset,
                      Min(PieceSize(s), s.compressedSize - s.mainInputOffset), d->blockBuffer, d->blockSize, &used,
                      &made))
        return -1;
    d->bytesLeft = made;
    s.mainInputOffset += used;
    if (made == 0) {
        d->bytesLeft = 0;
        s.mainInputOffset = s.compressedSize;  // the data counts as used up
        return -1;
    }
    return 0;
}

int SeekSoundDecoderACM(SoundDecoder* d, int sampleFrame) {
    AcmDecoderState& s = d->kindState.acm;
    const int target = static_cast<int>(static_cast<unsigned>(sampleFrame) * d->format.nBlockAlign);
    auto moveInsideBlock = [&] {
        const int step = target - d->bytePosition;
        d->readOffset += step;
        d->bytesLeft -= step;
        d->bytePosition = target;
    };
    if (d->bytePosition <= target && target <= d->bytePosition + d->bytesLeft) {
        moveInsideBlock();
        return 0;
    }
    // A frame mark closer to the target than where decoding would start otherwise (the
    // checkpoint, the start of the data, or the end of the current block) saves
    // decoding the stretch between.
    const bool back = target < d->bytePosition;
    const bool fromCheckpoint = back && target >= s.checkpointOutputPosition && s.checkpointStream != nullptr;
    const int from = !back ? d->bytePosition + d->bytesLeft : fromCheckpoint ? s.checkpointOutputPosition : 0;
    const int align = d->format.nBlockAlign ? d->format.nBlockAlign : 1;
    const Mp3FrameMark* mark = FrameMarkBefore(s, target / align);
    if (mark != nullptr && static_cast<int64_t>(mark->sample) * align > from) {
        RestartMainStream(d, mark->offset, mark->sample * align);
    } else if (back) {
        if (fromCheckpoint) {
            HACMSTREAM old = s.mainStream;
            s.mainStream = s.checkpointStream;
            s.checkpointStream = old;
            s.mainInputOffset = s.checkpointInputOffset;
            d->bytePosition = s.checkpointOutputPosition;
            d->bytesLeft = 0;
            d->readOffset = 0;
            CloseStream(&s.checkpointStream);
            OpenStream(d, &s.checkpointStream);
            s.checkpointInputOffset = 0;
            s.checkpointOutputPosition = 0;
        } else {
            RestartMainStream(d, 0, 0);
            d->stream.ops.seek(d->stream.handle, d->dataPosition, 0);
        }
    }
    while (target > d->bytePosition + d->bytesLeft) {
        d->bytePosition += d->bytesLeft;
        d->bytesLeft = 0;
        d->readOffset = 0;
        if (s.mainStream == nullptr || DecodeSoundDecoderACM(d) == -1) {
            d->bytesLeft = 0;
            return 0;  // at the end of the data
        }
    }
    moveInsideBlock();
    return 0;
}

int CloseSoundDecoderACM(SoundDecoder* d) {
    ReleaseAcmDecoderState(&d->kindState.acm);
    return 0;
}

int GetSoundDecoderSizeACM(SoundDecoder* d) {
    const AcmDecoderState& s = d->kindState.acm;
    if (s.totalSamples != -1) return s.totalSamples * d->format.nBlockAlign;
    DWORD out = 0;
    if (acmStreamSize(s.mainStream, static_cast<DWORD>(d->dataSize), &out, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
        return 0;  // unknown: reported as no audio
    return static_cast<int>(out);
}
