// acm.cpp - conversion streams from compressed wave formats to 16-bit PCM (see acm.h).
#include "platform/sound/acm.h"

#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/sound/acm_adpcm.h"
#include "platform/sound/acm_hooks.h"

enum class AcmCodec { Pcm, ImaAdpcm, MsAdpcm, Mpeg };

struct AcmStreamObject {
    AcmCodec codec;
    WAVEFORMATEX source;
    WAVEFORMATEX destination;
    AdpcmLayout adpcm;          // ADPCM: block layout and coefficients
    mpg123_handle* mpeg = nullptr;
};

namespace {

std::atomic<uint64_t> convertedSourceBytes{0};

bool MpegRate(DWORD rate) {
    static const DWORD rates[] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};
    return std::find(std::begin(rates), std::end(rates), rate) != std::end(rates);
}

// The codec for a source format, after checking that its fields describe something the
// codec can decode; false when none fits.
bool ChooseCodec(const WAVEFORMATEX* f, AcmCodec* codec, AdpcmLayout* layout) {
    if (f == nullptr || f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 192000) return false;
    switch (f->wFormatTag) {
    case WAVE_FORMAT_PCM:
        *codec = AcmCodec::Pcm;
        return f->nChannels >= 1 && f->nChannels <= 8 && (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
               f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
    case WAVE_FORMAT_IMA_ADPCM:
        *codec = AcmCodec::ImaAdpcm;
        return SetupImaAdpcmLayout(f, layout);
    case WAVE_FORMAT_ADPCM:
        *codec = AcmCodec::MsAdpcm;
        return SetupMsAdpcmLayout(f, layout);
    case WAVE_FORMAT_MPEGLAYER3:
        *codec = AcmCodec::Mpeg;
        return (f->nChannels == 1 || f->nChannels == 2) && MpegRate(f->nSamplesPerSec);
    }
    return false;
}

void SuggestPcm(const WAVEFORMATEX* source, WAVEFORMATEX* pcm) {
    pcm->wFormatTag = WAVE_FORMAT_PCM;
    pcm->nChannels = source->nChannels;
    pcm->nSamplesPerSec = source->nSamplesPerSec;
    pcm->wBitsPerSample = 16;
    pcm->nBlockAlign = static_cast<WORD>(2 * source->nChannels);
    pcm->nAvgBytesPerSec = pcm->nBlockAlign * pcm->nSamplesPerSec;
    pcm->cbSize = 0;
}

bool OpenMpeg(AcmStreamObject* s) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = 0;
    s->mpeg = mpg123_new(nullptr, &error);
    if (s->mpeg == nullptr) return false;
    mpg123_param(s->mpeg, MPG123_FLAGS, MPG123_QUIET | (s->source.nChannels == 1 ? MPG123_FORCE_MONO : 0), 0);
    mpg123_param(s->mpeg, MPG123_FORCE_RATE, s->source.nSamplesPerSec, 0);
    mpg123_format_none(s->mpeg);
    if (mpg123_format(s->mpeg, s->source.nSamplesPerSec, s->source.nChannels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(s->mpeg) != MPG123_OK) {
        mpg123_delete(s->mpeg);
        s->mpeg = nullptr;
        return false;
    }
    return true;
}

// Feeds the whole source and takes what decoded output fits; the rest stays inside the
// decoder for the next call.
void ConvertMpeg(AcmStreamObject* s, ACMSTREAMHEADER* h) {
    if (h->cbSrcLength > 0 && mpg123_feed(s->mpeg, h->pbSrc, h->cbSrcLength) == MPG123_OK)
        h->cbSrcLengthUsed = h->cbSrcLength;
    size_t done = 0;
    while (done < h->cbDstLength) {
        size_t got = 0;
        const int r = mpg123_read(s->mpeg, h->pbDst + done, h->cbDstLength - done, &got);
        done += got;
        if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && got > 0)) continue;
        break;  // needs more input, or the data is damaged beyond what it skips
    }
    h->cbDstLengthUsed = static_cast<DWORD>(done);
}

void ConvertPcm(const AcmStreamObject* s, ACMSTREAMHEADER* h) {
    const DWORD inAlign = s->source.nBlockAlign, outAlign = s->destination.nBlockAlign;
    const DWORD frames = std::min(h->cbSrcLength / inAlign, h->cbDstLength / outAlign);
    if (s->source.wBitsPerSample == 16) {
        std::memcpy(h->pbDst, h->pbSrc, static_cast<size_t>(frames) * inAlign);
    } else {
        for (DWORD i = 0; i < frames * s->source.nChannels; ++i) {
            const int16_t v = static_cast<int16_t>((h->pbSrc[i] - 128) * 256);
            std::memcpy(h->pbDst + 2 * i, &v, 2);
        }
    }
    h->cbSrcLengthUsed = frames * inAlign;
    h->cbDstLengthUsed = frames * outAlign;
}

void ConvertAdpcm(const AcmStreamObject* s, ACMSTREAMHEADER* h) {
    const AdpcmLayout& l = s->adpcm;
    const DWORD outBlock = static_cast<DWORD>(l.samplesPerBlock) * 2 * l.channels;
    const DWORD blocks = std::min<DWORD>(h->cbSrcLength / l.blockAlign, h->cbDstLength / outBlock);
    for (DWORD b = 0; b < blocks; ++b) {
        auto* out = reinterpret_cast<int16_t*>(h->pbDst + b * outBlock);
        const uint8_t* in = h->pbSrc + b * l.blockAlign;
        if (s->codec == AcmCodec::ImaAdpcm)
            DecodeImaAdpcmBlock(l, in, out);
        else
            DecodeMsAdpcmBlock(l, in, out);
    }
    h->cbSrcLengthUsed = blocks * l.blockAlign;
    h->cbDstLengthUsed = blocks * outBlock;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER, const WAVEFORMATEX* source, WAVEFORMATEX* destination, DWORD size,
                          DWORD flags) {
    if (source == nullptr || destination == nullptr || size < 16) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && destination->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    AcmCodec codec;
    AdpcmLayout layout;
    if (!ChooseCodec(source, &codec, &layout)) return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX pcm{};
    SuggestPcm(source, &pcm);
    std::memcpy(destination, &pcm, std::min<DWORD>(size, sizeof pcm));
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMOBJ, UINT metric, void* value) {
    if (value == nullptr) return MMSYSERR_INVALPARAM;
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    // Microsoft ADPCM with its seven standard coefficient pairs is the largest record.
    const DWORD largest = sizeof(WAVEFORMATEX) + 4 + 7 * 4;
    std::memcpy(value, &largest, sizeof largest);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, const WAVEFORMATEX* source, const WAVEFORMATEX* destination,
                       void* filter, uintptr_t callback, uintptr_t, DWORD) {
    if (stream == nullptr || source == nullptr || destination == nullptr || filter != nullptr || callback != 0)
        return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    auto* s = new (std::nothrow) AcmStreamObject{};
    if (s == nullptr) return MMSYSERR_NOMEM;
    WAVEFORMATEX pcm{};
    SuggestPcm(source, &pcm);
    const bool sameOutput = destination->wFormatTag == WAVE_FORMAT_PCM && destination->nChannels == pcm.nChannels &&
                            destination->nSamplesPerSec == pcm.nSamplesPerSec && destination->wBitsPerSample == 16 &&
                            destination->nBlockAlign == pcm.nBlockAlign;
    if (!ChooseCodec(source, &s->codec, &s->adpcm) || !sameOutput) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    s->source = *source;
    s->destination = pcm;
    if (s->codec == AcmCodec::Mpeg && !OpenMpeg(s)) {
        delete s;
        return ACMERR_NOTPOSSIBLE;
    }
    *stream = s;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (stream->mpeg != nullptr) mpg123_delete(stream->mpeg);
    delete stream;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (h == nullptr || h->cbStruct < sizeof(ACMSTREAMHEADER) || (h->cbSrcLength > 0 && h->pbSrc == nullptr) ||
        (h->cbDstLength > 0 && h->pbDst == nullptr))
        return MMSYSERR_INVALPARAM;
    h->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (h == nullptr) return MMSYSERR_INVALPARAM;
    if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    h->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (h == nullptr) return MMSYSERR_INVALPARAM;
    if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    h->cbSrcLengthUsed = 0;
    h->cbDstLengthUsed = 0;
    switch (stream->codec) {
    case AcmCodec::Pcm: ConvertPcm(stream, h); break;
    case AcmCodec::ImaAdpcm:
    case AcmCodec::MsAdpcm: ConvertAdpcm(stream, h); break;
    case AcmCodec::Mpeg: ConvertMpeg(stream, h); break;
    }
    convertedSourceBytes += h->cbSrcLengthUsed;
    h->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (output == nullptr || flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
    uint64_t bytes = 0;
    switch (stream->codec) {
    case AcmCodec::Pcm:
        bytes = uint64_t{input} / stream->source.nBlockAlign * stream->destination.nBlockAlign;
        break;
    case AcmCodec::ImaAdpcm:
    case AcmCodec::MsAdpcm:
        bytes = uint64_t{input} / stream->adpcm.blockAlign * stream->adpcm.samplesPerBlock * 2 * stream->adpcm.channels;
        break;
    case AcmCodec::Mpeg:
        if (stream->source.nAvgBytesPerSec == 0) return ACMERR_NOTPOSSIBLE;
        // At the stated bit rate, plus one frame of the largest size the decoder gives.
        bytes = uint64_t{input} * stream->destination.nAvgBytesPerSec / stream->source.nAvgBytesPerSec +
                1152u * stream->destination.nBlockAlign;
        break;
    }
    if (bytes > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
    *output = static_cast<DWORD>(bytes);
    return MMSYSERR_NOERROR;
}

uint64_t AcmConvertedSourceBytes(void) { return convertedSourceBytes.load(); }
