// Shared body of the sound decoder fuzz targets: open one decoder kind over the bytes
// in memory, read everything in uneven pieces, seek back and forward, read again, close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/sound/sound_internal.h"

inline int FuzzSoundDecoder(SoundDecoderOpener opener, const uint8_t* data, size_t size) {
    StreamSource source;
    if (OpenMemoryStreamSource(&source, data, static_cast<int>(size)) != 0) return 0;
    SoundDecoder decoder;
    if (OpenSoundDecoderWith(&decoder, &source, 44100, &opener, 1) == 0) {
        uint8_t piece[3000];
        int total = 0;
        // Bounded: a decoder that never ends would hold the target forever.
        for (int i = 0; i < 4000; ++i) {
            const int got = ReadSoundDecoder(&decoder, piece, 1 + i % sizeof piece);
            if (got <= 0) break;
            total += got;
        }
        SeekSoundDecoder(&decoder, 0);
        ReadSoundDecoder(&decoder, piece, sizeof piece);
        SeekSoundDecoder(&decoder, total / 8 / (decoder.format.nBlockAlign ? decoder.format.nBlockAlign : 1));
        ReadSoundDecoder(&decoder, piece, sizeof piece);
        CloseSoundDecoder(&decoder);
    }
    source.ops.close(source.handle);
    return 0;
}
