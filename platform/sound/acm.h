// acm.h - the compressed-audio conversion stand-in: format suggestion and conversion
// streams from a compressed wave format to 16-bit PCM.
//
// Codecs: MPEG audio layer III (WAVE_FORMAT_MPEGLAYER3, decoded by libmpg123, which
// also takes layers I and II), IMA ADPCM (WAVE_FORMAT_IMA_ADPCM) and Microsoft ADPCM
// (WAVE_FORMAT_ADPCM) of our own, and PCM itself (copied, or 8-bit widened to 16).
// Every other format tag has no codec: acmFormatSuggest answers ACMERR_NOTPOSSIBLE.
//
//     WAVEFORMATEX pcm{}; pcm.wFormatTag = WAVE_FORMAT_PCM;
//     acmFormatSuggest(nullptr, source, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG);
//     acmStreamOpen(&stream, nullptr, source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
//     ACMSTREAMHEADER h{}; h.cbStruct = sizeof h; h.pbSrc = ...; h.pbDst = ...;
//     acmStreamPrepareHeader(stream, &h, 0);
//     acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN);
//     acmStreamUnprepareHeader(stream, &h, 0);
//
// A conversion consumes whole source blocks (ADPCM) or any bytes (MPEG, which keeps
// partial frames and decoded samples that did not fit the destination for the next
// call) and reports the bytes used on both sides. Hostile data never makes a codec read
// or write outside the header's two ranges.
#pragma once

#include "platform/sound/dsound.h"  // WAVEFORMATEX
#include "platform/wintypes.h"

struct AcmStreamObject;
using HACMSTREAM = AcmStreamObject*;
using HACMDRIVER = void*;
using HACMOBJ = void*;
using MMRESULT = UINT;

#define WAVE_FORMAT_ADPCM 0x0002
#define WAVE_FORMAT_IMA_ADPCM 0x0011
#define WAVE_FORMAT_MPEGLAYER3 0x0055

#define MMSYSERR_NOERROR 0u
#define MMSYSERR_ERROR 1u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_NOTSUPPORTED 8u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define ACMERR_NOTPOSSIBLE 512u
#define ACMERR_UNPREPARED 514u

#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000u
#define ACM_FORMATSUGGESTF_NCHANNELS 0x00020000u
#define ACM_FORMATSUGGESTF_NSAMPLESPERSEC 0x00040000u
#define ACM_FORMATSUGGESTF_WBITSPERSAMPLE 0x00080000u
#define ACM_METRIC_MAX_SIZE_FORMAT 50u
#define ACM_STREAMOPENF_NONREALTIME 0x00000004u
#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004u
#define ACM_STREAMCONVERTF_START 0x00000010u
#define ACM_STREAMCONVERTF_END 0x00000020u
#define ACM_STREAMSIZEF_SOURCE 0x00000000u
#define ACM_STREAMSIZEF_DESTINATION 0x00000001u
#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000u
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000u

struct ACMSTREAMHEADER {
    DWORD cbStruct;  // sizeof(ACMSTREAMHEADER)
    DWORD fdwStatus;
    uintptr_t dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    uintptr_t dwDstUser;
    DWORD dwReservedDriver[10];
};

// The layer III format record: WAVEFORMATEX with cbSize 12 and these fields behind it.
struct __attribute__((packed, aligned(2))) MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
};
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "MPEGLAYER3WAVEFORMAT is 30 bytes");
#define MPEGLAYER3_WFX_EXTRA_BYTES 12
#define MPEGLAYER3_ID_MPEG 1
#define MPEGLAYER3_FLAG_PADDING_ISO 0x00000000u
#define MPEGLAYER3_FLAG_PADDING_ON 0x00000001u
#define MPEGLAYER3_FLAG_PADDING_OFF 0x00000002u

// Fills `destination` (its wFormatTag set when ACM_FORMATSUGGESTF_WFORMATTAG is given)
// with the PCM format the source converts to: 16 bits, the source's channels and rate.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* source, WAVEFORMATEX* destination, DWORD size,
                          DWORD flags);
// ACM_METRIC_MAX_SIZE_FORMAT: the largest format record of any codec, in bytes.
MMRESULT acmMetrics(HACMOBJ object, UINT metric, void* value);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                       const WAVEFORMATEX* destination, void* filter, uintptr_t callback, uintptr_t instance,
                       DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// ACM_STREAMSIZEF_SOURCE: the destination bytes `input` source bytes give at most.
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
