// bgra_decoder.cpp - the library's raw "BGRA" image files.
//
// A 16-byte header ("BGRA", channel size 0x08080808 or 0x10101010, width, height),
// then the pixels top row first: blue, green, red, alpha of 8 bits each, or of 16
// bits each of which the high byte is kept. The result is A8R8G8B8.
#include <cstring>

#include "library/core/alloc.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

namespace {

constexpr uint32_t kChannels8 = 0x08080808;
constexpr uint32_t kChannels16 = 0x10101010;

// 16-bit channels, row by row: keep the high byte of each little-endian u16.
int ReadWideChannels(StreamSource* source, int width, int height, uint8_t* pixels) {
    const size_t rowBytes = size_t(width) * 8;
    uint8_t* row = static_cast<uint8_t*>(ZqAlloc(rowBytes));
    if (row == nullptr) return -1;
    int result = 0;
    for (int y = 0; y < height && result == 0; y++) {
        result = ReadStreamBytes(source, row, rowBytes);
        uint8_t* out = pixels + size_t(y) * width * 4;
        for (size_t i = 0; result == 0 && i < size_t(width) * 4; i++) out[i] = row[2 * i + 1];
    }
    ZqFree(row);
    return result;
}

}  // namespace

int DecodeBgraGraphImage(StreamSource* source, GraphImage* image) {
    uint8_t header[16];
    if (ReadStreamBytes(source, header, sizeof header) != 0 || std::memcmp(header, "BGRA", 4) != 0) return -1;
    uint32_t channels = ReadLe32(header + 4);
    if (channels != kChannels8 && channels != kChannels16) return -1;
    int64_t width = int32_t(ReadLe32(header + 8)), height = int32_t(ReadLe32(header + 12));
    if (!IsImageSizeAllowed(width, height, width * 4)) return -1;
    int64_t storedBytes = width * height * (channels == kChannels8 ? 4 : 8);
    if (StreamBytesLeft(source) < storedBytes) return -1;

    uint8_t* pixels = static_cast<uint8_t*>(ZqAlloc(size_t(width * height * 4)));
    if (pixels == nullptr) return -1;
    int result = channels == kChannels8 ? ReadStreamBytes(source, pixels, size_t(storedBytes))
                                        : ReadWideChannels(source, int(width), int(height), pixels);
    if (result != 0) {
        ZqFree(pixels);
        return -1;
    }
    GraphImage out{};
    InitArgb32ColorFormat(&out.format);
    out.width = int(width);
    out.height = int(height);
    out.pitch = int(width * 4);
    out.pixels = pixels;
    *image = out;
    return 0;
}
