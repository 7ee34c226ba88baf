// acm_adpcm.h - the two ADPCM codecs of the compression layer (acm.h): the block layout a
// format record describes, and the decoding of one block into 16-bit PCM.
#pragma once

#include <cstdint>

#include "platform/sound/dsound.h"

struct AdpcmLayout {
    int channels;         // 1 or 2
    int blockAlign;       // bytes of one compressed block
    int samplesPerBlock;  // frames one block decodes to
    int coefficientCount;  // Microsoft ADPCM: predictor pairs
    int16_t coefficients[256][2];
};

// Checks an IMA ADPCM (4 bits) or Microsoft ADPCM format record and fills the layout;
// false for a record that describes no decodable block. The Microsoft record's
// coefficient table is read from its cbSize extra bytes, which must be readable.
bool SetupImaAdpcmLayout(const WAVEFORMATEX* format, AdpcmLayout* layout);
bool SetupMsAdpcmLayout(const WAVEFORMATEX* format, AdpcmLayout* layout);

// Decodes one block of layout.blockAlign bytes into samplesPerBlock interleaved frames.
void DecodeImaAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out);
void DecodeMsAdpcmBlock(const AdpcmLayout& layout, const uint8_t* block, int16_t* out);
