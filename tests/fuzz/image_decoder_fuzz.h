// image_decoder_fuzz.h - the body every image-decoder fuzz target shares.
//
// Runs one decoder over the input as a memory stream. An accepted image must keep
// the decoder contract: a size within the limits, a pitch that holds a row, and
// pixels that can be read to the last byte of the last row (ASan checks the reads).
// Refused or accepted, no tracked block may stay behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "library/core/alloc.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"

inline void FuzzCheck(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "decoder contract broken: %s\n", what);
        std::abort();
    }
}

inline int FuzzImageDecoder(int (*decoder)(StreamSource*, GraphImage*), const uint8_t* data, size_t size) {
    if (size > size_t(INT32_MAX)) return 0;
    int before = GetTrackedBlockCount();
    StreamSource source;
    FuzzCheck(OpenMemoryStreamSource(&source, data, int(size)) == 0, "memory stream");
    GraphImage image{};
    int result = decoder(&source, &image);
    source.ops.close(source.handle);
    FuzzCheck(result == 0 || result == -1, "result is 0 or -1");
    if (result == 0) {
        int bytesPerPixel = image.format.bytesPerPixel;
        FuzzCheck(image.pixels != nullptr, "pixels");
        FuzzCheck(image.width >= 1 && image.height >= 1 && image.width <= kMaxImageSide &&
                      image.height <= kMaxImageSide, "size within the limits");
        FuzzCheck(bytesPerPixel >= 1 && bytesPerPixel <= 4, "pixel size");
        FuzzCheck(image.pitch >= image.width * bytesPerPixel, "pitch holds a row");
        volatile uint8_t sink = 0;
        const uint8_t* pixels = static_cast<const uint8_t*>(image.pixels);
        for (int y = 0; y < image.height; y++) {
            const uint8_t* row = pixels + size_t(y) * image.pitch;
            sink = sink + row[0] + row[image.width * bytesPerPixel - 1];
        }
        ZqFree(image.pixels);
    }
    FuzzCheck(GetTrackedBlockCount() == before, "nothing left allocated");
    return 0;
}
