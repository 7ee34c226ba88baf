// acm_adpcm.cpp - IMA and Microsoft ADPCM block decoding (see acm_adpcm.h).
#include "platform/sound/acm_adpcm.h"

#include <algorithm>
#include <cstring>

namespace {

const int16_t imaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t imaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

const int msAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
const int16_t msStandardCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208},
                                              {392, -232}};

int16_t Le16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

struct ImaChannel {
    int predictor;
    int index;
};

int16_t ImaStep(ImaChannel& c, int nibble) {
    const int step = imaStepTable[c.index];
    int diff = step >> 3;
    if (nibble & 1) diff += step >> 2;
    if (nibble & 2) diff += step >> 1;
    if (nibble & 4) diff += step;
    c.predictor += (nibble & 8) ? -diff : diff;
    c.predictor = std::clamp(c.predictor, -32768, 32767);
    c.index = std::clamp(c.index + imaIndexTable[nibble], 0, 88);
    return static_cast<int16_t>(c.predictor);
}

struct MsChannel {
    int c1, c2, delta, s1, s2;
};

int16_t MsStep(MsChannel& c, int nibble) {
    const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
    const int64_t predicted = (int64_t{c.s1} * c.c1 + int64_t{c.s2} * c.c2) / 256;
    const int value = static_cast<int>(std::clamp<int64_t>(predicted + int64_t{signedNibble} * c.delta, -32768, 32767));
    c.s2 = c.s1;
    c.s1 = value;
    // The step size stays within 16 .. 2^23 so damaged data cannot overflow it.
    c.delta = static_cast<int>(std::clamp<int64_t>(int64_t{msAdaptationTable[nibble]} * c.delta / 256, 16, 1 << 23));
    return static_cast<int16_t>(value);
}

}  // namespace

bool SetupImaAdpcmLayout(const WAVEFORMATEX* f, AdpcmLayout* l) {
    const int ch = f->nChannels;
    if ((ch != 1 && ch != 2) || f->wBitsPerSample != 4) return false;
    const int header = 4 * ch;
    if (f->nBlockAlign <= header || (f->nBlockAlign - header) % (4 * ch) != 0) return false;
    l->channels = ch;
    l->blockAlign = f->nBlockAlign;
    l->samplesPerBlock = (f->nBlockAlign - header) * 8 / (4 * ch) + 1;
    l->coefficientCount = 0;
    return true;
}

bool SetupMsAdpcmLayout(const WAVEFORMATEX* f, AdpcmLayout* l) {
    const int ch = f->nChannels;
    if ((ch != 1 && ch != 2) || f->wBitsPerSample != 4 || f->nBlockAlign < 7 * ch) return false;
    l->channels = ch;
    l->blockAlign = f->nBlockAlign;
    l->samplesPerBlock = (f->nBlockAlign - 7 * ch) * 2 / ch + 2;
    // The extra bytes: samples per block, the number of pairs, then the pairs.
    const auto* extra = reinterpret_cast<const uint8_t*>(f) + sizeof(WAVEFORMATEX);
    int count = 0;
    if (f->cbSize >= 4) count = static_cast<uint16_t>(Le16(extra + 2));
    if (count >= 1 && count <= 256 && f->cbSize >= 4 + 4 * count) {
        for (int i = 0; i < count; ++i) {
            l->coefficients[i][0] = Le16(extra + 4 + 4 * i);
            l->coefficients[i][1] = Le16(extra + 6 + 4 * i);
        }
    } else {
        // Without a readable table the standard seven pairs apply.
        count = 7;
        std::memcpy(l->coefficients, msStandardCoefficients, sizeof msStandardCoefficients);
    }
    l->coefficientCount = count;
    return true;
}

void DecodeImaAdpcmBlock(const AdpcmLayout& l, const uint8_t* block, int16_t* out) {
    const int ch = l.channels;
    ImaChannel c[2];
    for (int i = 0; i < ch; ++i) {
        c[i].predictor = Le16(block + 4 * i);
        c[i].index = std::clamp<int>(block[4 * i + 2], 0, 88);
        out[i] = static_cast<int16_t>(c[i].predictor);
    }
    const uint8_t* data = block + 4 * ch;
    const int groups = (l.samplesPerBlock - 1) / 8;  // eight samples per channel per group
    for (int g = 0; g < groups; ++g) {
        for (int i = 0; i < ch; ++i) {
            const uint8_t* bytes = data + (g * ch + i) * 4;
            for (int k = 0; k < 8; ++k) {
                const int nibble = (k & 1) ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0F;
                out[(1 + g * 8 + k) * ch + i] = ImaStep(c[i], nibble);
            }
        }
    }
}

void DecodeMsAdpcmBlock(const AdpcmLayout& l, const uint8_t* block, int16_t* out) {
    const int ch = l.channels;
    MsChannel c[2];
    for (int i = 0; i < ch; ++i) {
        const int predictor = std::min<int>(block[i], l.coefficientCount - 1);
        c[i].c1 = l.coefficients[predictor][0];
        c[i].c2 = l.coefficients[predictor][1];
        c[i].delta = Le16(block + ch + 2 * i);
        c[i].s1 = Le16(block + 3 * ch + 2 * i);
        c[i].s2 = Le16(block + 5 * ch + 2 * i);
        out[i] = static_cast<int16_t>(c[i].s2);
        out[ch + i] = static_cast<int16_t>(c[i].s1);
    }
    const uint8_t* data = block + 7 * ch;
    const int nibbles = (l.samplesPerBlock - 2) * ch;
    for (int n = 0; n < nibbles; ++n) {
        const int nibble = (n & 1) ? data[n / 2] & 0x0F : data[n / 2] >> 4;
        out[2 * ch + n] = MsStep(c[n % ch], nibble);
    }
}
