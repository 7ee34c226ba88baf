// Fuzz target: the DDS decoder over arbitrary bytes.
#include "library/graph/loaders/image_decoders.h"
#include "tests/fuzz/image_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzImageDecoder(DecodeDdsGraphImage, data, size);
}
