// sound_mixer.cpp - adds an emulated sound buffer into a stereo 16-bit mixing array.
//
// Formats mixed: 44100 or 22050 Hz, 8 or 16 bits, 1 or 2 channels. A 44100 Hz buffer
// gives one frame per output frame; a 22050 Hz buffer gives two, the second one the mean
// of the frame and its successor. Other formats are not mixed, but their position still
// moves on, so timing holds. Frequency and the playing flag play no part here.
#include <algorithm>
#include <cstring>

#include "library/sound/sound_internal.h"

namespace {

struct SourcePair {
    int left;
    int right;
};

inline int ReadSample(const uint8_t* p, int bits) {
    if (bits == 16) {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    return *p * 65535 / 255 - 32768;
}

inline SourcePair ReadFrame(const SoundBufferRecord* r, int frame) {
    const uint8_t* p = static_cast<const uint8_t*>(r->memory) + static_cast<size_t>(frame) * r->format.nBlockAlign;
    const int bits = r->format.wBitsPerSample;
    const int left = ReadSample(p, bits);
    const int right = r->format.nChannels == 2 ? ReadSample(p + bits / 8, bits) : left;
    return {left, right};
}

inline void AddPair(const SoundBufferRecord* r, SourcePair s, MixFrame* out) {
    int l = s.left, rt = s.right;
    if (r->volume != 255) {
        l = (l * r->volume) >> 8;
        rt = (rt * r->volume) >> 8;
    }
    // A pan to the left (negative, as DirectSound counts it) quiets the right side.
    if (r->pan < 0) rt = (rt * (256 + r->pan)) >> 8;
    if (r->pan > 0) l = (l * (256 - r->pan)) >> 8;
    out->left = static_cast<int16_t>(std::clamp(out->left + l, -32768, 32767));
    out->right = static_cast<int16_t>(std::clamp(out->right + rt, -32768, 32767));
}

bool Mixable(const WAVEFORMATEX& f) {
    return (f.nSamplesPerSec == 44100 || f.nSamplesPerSec == 22050) &&
           (f.wBitsPerSample == 16 || f.wBitsPerSample == 8) && (f.nChannels == 2 || f.nChannels == 1) &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

void Mix44100(const SoundBufferRecord* r, int count, MixFrame* out) {
    int frame = r->position;
    for (int i = 0; i < count; ++i) {
        if (frame < 0 || frame >= r->length) break;
        AddPair(r, ReadFrame(r, frame), &out[i]);
        if (++frame == r->length) {
            if (!r->loop) break;
            frame = 0;
        }
    }
}

void Mix22050(const SoundBufferRecord* r, int count, MixFrame* out) {
    int frame = r->position;
    bool between = (r->position & 1) != 0;  // the phase starts from the position's parity
    for (int i = 0; i < count; ++i) {
        if (frame < 0 || frame >= r->length) break;
        const SourcePair a = ReadFrame(r, frame);
        if (!between) {
            AddPair(r, a, &out[i]);
        } else {
            int next = frame + 1;
            if (next == r->length) {
                if (!r->loop) break;
                next = 0;
            }
            const SourcePair b = ReadFrame(r, next);
            AddPair(r, {a.left + (b.left - a.left) / 2, a.right + (b.right - a.right) / 2}, &out[i]);
            frame = next;
        }
        between = !between;
    }
}

}  // namespace

int MixSoundBuffer(SoundBufferRecord* r, int* count, MixFrame* out) {
    if (out != nullptr && r->memory != nullptr && r->length > 0 && Mixable(r->format)) {
        if (r->format.nSamplesPerSec == 44100) {
            Mix44100(r, *count, out);
        } else {
            Mix22050(r, *count, out);
            *count >>= 1;
        }
    }
    const int p = r->position + *count;
    if (p < r->length || r->loop == 1) {
        r->position = p >= r->length && r->length > 0 ? p % r->length : p;
    } else {
        r->position = r->length;
        r->playing = 0;
    }
    return 0;
}
