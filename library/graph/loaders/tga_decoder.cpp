// tga_decoder.cpp - Truevision TGA files of types 1, 2, 9 and 10.
//
// Colour-mapped (1), true colour (2) and their run-length forms (9, 10), at an
// effective depth of 16 (X1R5G5B5), 24 or 32 bits; colour-mapped files must use
// 8-bit indices into a map of at most 256 entries, and a colour map that a
// true-colour file carries (colour-map type 1) is skipped. Sizes run from 1 to 4095, both
// origins must be 0. Run-length data ends at the end of the stream, or before the
// 26-byte footer when one is present (signature matched, extension offset 0).
// Packets that run past the image are cut at its end; data that ends before the
// image is complete refuses the file. Output rows run top to bottom, left to right,
// with pitch = width x bytes per pixel.
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/size_refusal.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

namespace {

enum TgaType { kTgaMapped = 1, kTgaTrueColor = 2, kTgaMappedRle = 9, kTgaTrueColorRle = 10 };

constexpr int kHeaderSize = 18;
constexpr int kFooterSize = 26;
constexpr int kMaxTgaSide = 4095;

struct TgaInfo {
    int type;
    int idLength;
    int mapFirst, mapLength;
    int64_t skippedMapBytes;  // a colour map in a true-colour file, which only other programs use
    int width, height;
    int bytesPerPixel;  // of the output, and of colour-map entries or stored pixels
    int descriptor;
    bool mapped;
    int64_t dataEnd;    // where run-length data ends
};

bool HasFooter(StreamSource* source, int64_t size) {
    uint8_t footer[kFooterSize];
    if (size < kHeaderSize + kFooterSize) return false;
    SeekStreamTo(source, size - kFooterSize);
    if (ReadStreamBytes(source, footer, sizeof footer) != 0) return false;
    return std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 && ReadLe32(footer) == 0;
}

int ReadTgaInfo(StreamSource* source, TgaInfo* info) {
    SeekStreamTo(source, 0);
    int64_t size = StreamBytesLeft(source);
    info->dataEnd = HasFooter(source, size) ? size - kFooterSize : size;
    SeekStreamTo(source, 0);

    uint8_t h[kHeaderSize];
    if (ReadStreamBytes(source, h, sizeof h) != 0) return -1;
    info->idLength = h[0];
    info->type = h[2];
    info->mapFirst = ReadLe16(h + 3);
    info->mapLength = ReadLe16(h + 5);
    info->width = ReadLe16(h + 12);
    info->height = ReadLe16(h + 14);
    info->descriptor = h[17];
    info->mapped = info->type == kTgaMapped || info->type == kTgaMappedRle;
    if (!info->mapped && info->type != kTgaTrueColor && info->type != kTgaTrueColorRle) return -1;
    if (ReadLe16(h + 8) != 0 || ReadLe16(h + 10) != 0) return -1;
    if (info->width < 1 || info->height < 1) return -1;
    if (info->width > kMaxTgaSide || info->height > kMaxTgaSide) {
        NoteSizeRefusal(info->width, info->height);
        return -1;
    }
    int depth = info->mapped ? h[7] : h[16];
    if (depth != 16 && depth != 24 && depth != 32) return -1;
    if (info->mapped && (h[16] != 8 || info->mapFirst + info->mapLength > 256)) return -1;
    info->bytesPerPixel = depth / 8;
    info->skippedMapBytes = !info->mapped && h[1] == 1 ? int64_t(info->mapLength) * ((h[7] + 7) / 8) : 0;
    return 0;
}

// Run-length packets until `count` pixels are written. A stored pixel is an 8-bit
// index into `map` or, without a map, bytesPerPixel bytes.
int DecodeTgaPackets(const uint8_t* data, size_t size, const uint8_t* map, int bytesPerPixel, uint8_t* out,
                     size_t count) {
    const size_t stored = map ? 1 : size_t(bytesPerPixel);
    auto pixelAt = [&](const uint8_t* p) { return map ? map + size_t(*p) * bytesPerPixel : p; };
    size_t p = 0, written = 0;
    while (written < count) {
        if (p >= size) return -1;
        uint8_t packet = data[p++];
        size_t n = std::min(size_t(packet & 0x7F) + 1, count - written);
        if (packet & 0x80) {
            if (size - p < stored) return -1;
            const uint8_t* pixel = pixelAt(data + p);
            for (size_t i = 0; i < n; i++) std::memcpy(out + (written + i) * bytesPerPixel, pixel, bytesPerPixel);
            p += stored;
        } else {
            if ((size - p) / stored < n) return -1;
            for (size_t i = 0; i < n; i++) {
                std::memcpy(out + (written + i) * bytesPerPixel, pixelAt(data + p + i * stored), bytesPerPixel);
            }
            p += n * stored;
        }
        written += n;
    }
    return 0;
}

// Reads the pixels of a checked header into `out` (width x height, unflipped).
int ReadTgaPixels(StreamSource* source, const TgaInfo& info, uint8_t* out) {
    const size_t count = size_t(info.width) * info.height;
    const int bpp = info.bytesPerPixel;
    SeekStreamTo(source, kHeaderSize + info.idLength + info.skippedMapBytes);

    uint8_t map[256 * 4] = {};
    if (info.mapped && ReadStreamBytes(source, map + info.mapFirst * bpp, size_t(info.mapLength) * bpp) != 0) {
        return -1;
    }
    if (info.type == kTgaTrueColor) return ReadStreamBytes(source, out, count * bpp);

    size_t size = count;  // type 1: one index per pixel
    if (info.type != kTgaMapped) {
        int64_t position = source->ops.tell(source->handle);
        size = size_t(std::max<int64_t>(info.dataEnd - position, 0));
    }
    uint8_t* data = static_cast<uint8_t*>(ZqAlloc(size ? size : 1));
    if (data == nullptr) return -1;
    int result = ReadStreamBytes(source, data, size);
    if (result == 0 && info.type == kTgaMapped) {
        for (size_t i = 0; i < count; i++) std::memcpy(out + i * bpp, map + size_t(data[i]) * bpp, bpp);
    } else if (result == 0) {
        result = DecodeTgaPackets(data, size, info.mapped ? map : nullptr, bpp, out, count);
    }
    ZqFree(data);
    return result;
}

// Turns the stored order into top-to-bottom, left-to-right rows, in place.
void OrientTgaPixels(const TgaInfo& info, uint8_t* pixels) {
    const size_t pitch = size_t(info.width) * info.bytesPerPixel;
    const int bpp = info.bytesPerPixel;
    if (!(info.descriptor & 0x20)) {  // stored bottom to top
        for (int top = 0, bottom = info.height - 1; top < bottom; top++, bottom--) {
            std::swap_ranges(pixels + top * pitch, pixels + (top + 1) * pitch, pixels + bottom * pitch);
        }
    }
    if (info.descriptor & 0x10) {  // stored right to left
        for (int y = 0; y < info.height; y++) {
            uint8_t* row = pixels + y * pitch;
            for (int left = 0, right = info.width - 1; left < right; left++, right--) {
                std::swap_ranges(row + left * bpp, row + (left + 1) * bpp, row + right * bpp);
            }
        }
    }
}

}  // namespace

int DecodeTgaGraphImage(StreamSource* source, GraphImage* image) {
    TgaInfo info;
    if (ReadTgaInfo(source, &info) != 0) return -1;
    const int pitch = info.width * info.bytesPerPixel;
    uint8_t* pixels = static_cast<uint8_t*>(ZqAlloc(size_t(pitch) * info.height));
    if (pixels == nullptr) return -1;
    if (ReadTgaPixels(source, info, pixels) != 0) {
        ZqFree(pixels);
        return -1;
    }
    OrientTgaPixels(info, pixels);

    GraphImage out{};
    if (info.bytesPerPixel == 2) {
        InitColorFormatFromMasks(&out.format, 16, 0x7C00, 0x03E0, 0x001F, 0);  // X1R5G5B5
    } else if (info.bytesPerPixel == 3) {
        InitRgb24ColorFormat(&out.format);
    } else {
        InitArgb32ColorFormat(&out.format);
    }
    out.width = info.width;
    out.height = info.height;
    out.pitch = pitch;
    out.pixels = pixels;
    *image = out;
    return 0;
}
