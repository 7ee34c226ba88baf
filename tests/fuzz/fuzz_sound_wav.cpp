// Fuzz target: the sound decoder opened by OpenSoundDecoderPCM over arbitrary bytes.
#include "tests/fuzz/sound_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzSoundDecoder(OpenSoundDecoderPCM, data, size);
}
