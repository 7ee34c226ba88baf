// bmp_decoder.cpp - Windows bitmap files ("BM").
//
// Headers: the 40-byte info header and its longer forms (52, 56, 108, 124 bytes),
// whose size and colours-used fields are honoured, and the 12-byte OS/2 core
// header (16-bit sides, rows bottom-up, no compression, colour entries of 3
// bytes as many as fit before the pixels). Pixels:
//   8 bits, RLE8, 4 bits, RLE4  -> 8-bit palette image, one index per byte
//   24 bits                     -> 24-bit BGR as stored
//   1, 16, 32 bits, bit fields  -> converted to 24-bit BGR, as the system's DIB
//                                  conversion does it
// Output rows run top to bottom, padded to a multiple of 4 bytes. Everything the
// file declares is checked before use: sizes against the shared limit, the pixel
// offset against the header and the stream, run-length commands against the image
// (writes beyond a row are dropped, decoding ends below the last row) and against
// the data (a command cut short refuses the file).
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

namespace {

enum BmpCompression : uint32_t { kBmpRgb = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpBitFields = 3 };

constexpr int kFileHeaderSize = 14;
constexpr int kCoreHeaderSize = 12;
constexpr int kMaxInfoHeaderSize = 124;

struct BmpInfo {
    int64_t streamSize;
    int64_t pixelOffset;
    int width;
    int height;        // rows in the image, always positive
    bool bottomUp;     // rows stored last row first
    int bitCount;
    uint32_t compression;
    uint32_t masks[3];             // red, green, blue for 16 and 32 bits
    uint8_t colorTable[256 * 4];   // blue, green, red, reserved; unused entries 0
    int64_t storedStride;          // bytes per stored row, a multiple of 4
    int64_t storedRowBytes;        // bytes that hold pixels in a stored row
};

bool IsAcceptedInfoHeaderSize(uint32_t size) {
    return size == kCoreHeaderSize || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool IsAcceptedEncoding(int bitCount, uint32_t compression) {
    switch (compression) {
        case kBmpRgb:
            return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                   bitCount == 32;
        case kBmpRle8: return bitCount == 8;
        case kBmpRle4: return bitCount == 4;
        case kBmpBitFields: return bitCount == 16 || bitCount == 32;
        default: return false;  // embedded JPEG/PNG and other encodings are not ours
    }
}

// Reads the headers, the masks and the colour table, and leaves the stream at the
// pixel data. -1 for anything that is not a bitmap this decoder can read safely.
int ReadBmpInfo(StreamSource* source, BmpInfo* info) {
    SeekStreamTo(source, 0);
    info->streamSize = StreamBytesLeft(source);

    uint8_t fileHeader[kFileHeaderSize];
    if (ReadStreamBytes(source, fileHeader, sizeof fileHeader) != 0) return -1;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;
    info->pixelOffset = ReadLe32(fileHeader + 10);

    uint8_t header[kMaxInfoHeaderSize];
    if (ReadStreamBytes(source, header, 4) != 0) return -1;
    uint32_t headerSize = ReadLe32(header);
    if (!IsAcceptedInfoHeaderSize(headerSize)) return -1;
    if (ReadStreamBytes(source, header + 4, headerSize - 4) != 0) return -1;

    const bool core = headerSize == kCoreHeaderSize;
    int32_t width = core ? ReadLe16(header + 4) : int32_t(ReadLe32(header + 4));
    int32_t height = core ? ReadLe16(header + 6) : int32_t(ReadLe32(header + 8));
    info->bitCount = ReadLe16(header + (core ? 10 : 14));
    info->compression = core ? kBmpRgb : ReadLe32(header + 16);
    uint32_t colorsUsed = core ? 0 : ReadLe32(header + 32);
    if (core && info->bitCount != 1 && info->bitCount != 4 && info->bitCount != 8 && info->bitCount != 24) return -1;
    if (!IsAcceptedEncoding(info->bitCount, info->compression)) return -1;
    // Top-down files store the height negated; its size counts either way.
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    int outBytesPerPixel = info->bitCount <= 8 ? 1 : 3;
    if (!IsImageSizeAllowed(width, rows, (int64_t(width) * outBytesPerPixel + 3) & ~3)) return -1;
    info->width = width;
    info->height = int32_t(rows);
    info->bottomUp = height > 0;
    info->storedStride = (int64_t(info->bitCount) * info->width + 31) / 32 * 4;
    info->storedRowBytes = (int64_t(info->bitCount) * info->width + 7) / 8;

    // Masks: inside the longer headers, or the 12 bytes after a 40-byte header.
    int64_t headerEnd = kFileHeaderSize + headerSize;
    if (info->compression == kBmpBitFields) {
        if (headerSize == 40) {
            if (ReadStreamBytes(source, header + 40, 12) != 0) return -1;
            headerEnd += 12;
        }
        for (int i = 0; i < 3; i++) info->masks[i] = ReadLe32(header + 40 + 4 * i);
    } else if (info->bitCount == 16) {
        info->masks[0] = 0x7C00, info->masks[1] = 0x03E0, info->masks[2] = 0x001F;  // X1R5G5B5
    } else {
        info->masks[0] = 0xFF0000, info->masks[1] = 0xFF00, info->masks[2] = 0xFF;  // XRGB
    }

    // Colour table: as many entries as the file says it uses, never more than the
    // bit count can index; the rest of the 256 stay 0.
    std::memset(info->colorTable, 0, sizeof info->colorTable);
    if (info->bitCount <= 8) {
        uint32_t entries = 1u << info->bitCount;
        if (colorsUsed != 0 && colorsUsed < entries) entries = colorsUsed;
        const int entrySize = core ? 3 : 4;
        if (core && info->pixelOffset >= headerEnd && (info->pixelOffset - headerEnd) / 3 < entries) {
            entries = uint32_t((info->pixelOffset - headerEnd) / 3);
        }
        uint8_t stored[256 * 4];
        if (ReadStreamBytes(source, stored, entries * entrySize) != 0) return -1;
        for (uint32_t i = 0; i < entries; i++) std::memcpy(info->colorTable + 4 * i, stored + entrySize * i, 3);
    }

    if (info->pixelOffset < headerEnd || info->pixelOffset > info->streamSize) return -1;
    SeekStreamTo(source, info->pixelOffset);
    return 0;
}

// One colour channel of a 16- or 32-bit pixel, widened to 8 bits.
struct ChannelRule {
    uint32_t mask;
    int shift;
    int width;
    uint8_t widened[256];  // channel value -> 8 bits, for widths up to 8
};

int MakeChannelRule(uint32_t mask, int bitCount, ChannelRule* rule) {
    rule->mask = mask;
    rule->shift = 0;
    rule->width = 0;
    if (mask == 0) return 0;  // an absent channel reads as 0
    if (bitCount == 16 && mask > 0xFFFF) return -1;
    while (!(mask >> rule->shift & 1)) rule->shift++;
    uint32_t bits = mask >> rule->shift;
    while (rule->width < 32 && (bits >> rule->width & 1)) rule->width++;
    if (rule->width < 32 && (bits >> rule->width) != 0) return -1;  // a hole in the mask
    // Fewer than 8 bits are widened by repeating the channel's high bits in the low
    // ones (5 bits abcde -> abcdeabc), so the full value becomes 255 and 0 stays 0.
    for (uint32_t v = 0; rule->width <= 8 && v < (1u << rule->width); v++) {
        uint32_t top = v << (8 - rule->width), out = top;
        for (int filled = rule->width; filled < 8; filled += rule->width) out |= top >> filled;
        rule->widened[v] = uint8_t(out);
    }
    return 0;
}

inline uint8_t WidenChannel(const ChannelRule& rule, uint32_t pixel) {
    uint32_t v = (pixel & rule.mask) >> rule.shift;
    if (rule.width > 8) return uint8_t(v >> (rule.width - 8));
    return rule.width == 0 ? 0 : rule.widened[v];
}

struct RowConverter {
    const BmpInfo* info;
    ChannelRule channels[3];
};

// One stored row into one output row (8-bit indices or 24-bit BGR).
void ConvertStoredRow(const RowConverter& conv, const uint8_t* row, uint8_t* out) {
    const BmpInfo& info = *conv.info;
    int width = info.width;
    switch (info.bitCount) {
        case 1:
            for (int x = 0; x < width; x++) {
                const uint8_t* entry = info.colorTable + 4 * (row[x >> 3] >> (7 - (x & 7)) & 1);
                out[3 * x] = entry[0], out[3 * x + 1] = entry[1], out[3 * x + 2] = entry[2];
            }
            break;
        case 4:
            for (int x = 0; x < width; x++) out[x] = x & 1 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
            break;
        case 16:
        case 32:
            for (int x = 0; x < width; x++) {
                uint32_t pixel = info.bitCount == 16 ? ReadLe16(row + 2 * x) : ReadLe32(row + 4 * x);
                out[3 * x] = WidenChannel(conv.channels[2], pixel);
                out[3 * x + 1] = WidenChannel(conv.channels[1], pixel);
                out[3 * x + 2] = WidenChannel(conv.channels[0], pixel);
            }
            break;
        default:  // 8 and 24 bits are read in place
            break;
    }
}

// Uncompressed pixels, row by row from the stream: 8- and 24-bit rows straight into
// the output, the others through one stored row. The last row may lack its padding.
int ReadUncompressedRows(StreamSource* source, const BmpInfo& info, uint8_t* out, int64_t pitch) {
    int64_t dataLeft = info.streamSize - info.pixelOffset;

    RowConverter conv{&info, {}};
    bool inPlace = info.bitCount == 8 || info.bitCount == 24;
    uint8_t* stored = nullptr;
    for (int i = 0; info.bitCount >= 16 && i < 3; i++) {
        if (MakeChannelRule(info.masks[i], info.bitCount, &conv.channels[i]) != 0) return -1;
    }
    if (!inPlace) {
        stored = static_cast<uint8_t*>(ZqAlloc(size_t(info.storedStride)));
        if (stored == nullptr) return -1;
    }
    int result = 0;
    for (int r = 0; r < info.height && result == 0; r++) {
        uint8_t* outRow = out + pitch * (info.bottomUp ? info.height - 1 - r : r);
        int64_t n = std::min(info.storedStride, dataLeft);
        result = ReadStreamBytes(source, inPlace ? outRow : stored, size_t(n));
        dataLeft -= n;
        if (result == 0 && !inPlace) ConvertStoredRow(conv, stored, outRow);
    }
    ZqFree(stored);
    return result;
}

// RLE8 and RLE4 commands into a cleared 8-bit image. Returns -1 when a command is
// cut short by the end of the data.
int DecodeRunLengths(const uint8_t* data, size_t size, const BmpInfo& info, uint8_t* out, int64_t pitch) {
    const bool fourBit = info.compression == kBmpRle4;
    const int64_t width = info.width, height = info.height;
    int64_t x = 0, row = 0;  // position in stored row order
    size_t p = 0;
    auto put = [&](uint8_t value) {
        if (x < width) out[pitch * (info.bottomUp ? height - 1 - row : row) + x] = value;
        x = std::min(x + 1, width);
    };
    auto pixelOf = [&](const uint8_t* bytes, int i) -> uint8_t {
        return fourBit ? (i & 1 ? bytes[i >> 1] & 0x0F : bytes[i >> 1] >> 4) : bytes[i];
    };
    while (row < height && p < size) {
        if (size - p < 2) return -1;
        int count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {  // a run; RLE4 alternates the high and the low nibble
            for (int i = 0; i < count && x < width; i++) {
                put(uint8_t(!fourBit ? value : i & 1 ? value & 0x0F : value >> 4));
            }
        } else if (value == 0) {  // end of line
            row++;
            x = 0;
        } else if (value == 1) {  // end of bitmap
            return 0;
        } else if (value == 2) {  // delta: right, then down in stored order
            if (size - p < 2) return -1;
            x = std::min(x + data[p], width);
            row += data[p + 1];
            p += 2;
        } else {  // absolute run of `value` pixels, padded to an even byte count
            size_t bytes = fourBit ? (size_t(value) + 1) / 2 : size_t(value);
            if (size - p < bytes) return -1;
            for (int i = 0; i < value && x < width; i++) put(pixelOf(data + p, i));
            p += std::min(bytes + (bytes & 1), size - p);
        }
    }
    return 0;
}

int ReadRunLengthPixels(StreamSource* source, const BmpInfo& info, uint8_t* out, int64_t pitch) {
    size_t size = size_t(std::min(info.streamSize - info.pixelOffset, kMaxImageBytes));
    uint8_t* data = static_cast<uint8_t*>(ZqAlloc(size ? size : 1));
    if (data == nullptr) return -1;
    int result = ReadStreamBytes(source, data, size);
    if (result == 0) result = DecodeRunLengths(data, size, info, out, pitch);
    ZqFree(data);
    return result;
}

}  // namespace

int DecodeBmpGraphImage(StreamSource* source, GraphImage* image) {
    BmpInfo info;
    if (ReadBmpInfo(source, &info) != 0) return -1;

    bool palette = info.bitCount == 4 || info.bitCount == 8;
    bool converted = info.bitCount == 1 || info.bitCount == 16 || info.bitCount == 32;
    bool runLength = info.compression == kBmpRle8 || info.compression == kBmpRle4;
    int64_t pitch = (int64_t(info.width) * (palette ? 1 : 3) + 3) & ~int64_t(3);
    // The stream must hold what the header promises before the output is made.
    int64_t dataBytes = info.streamSize - info.pixelOffset;
    if (runLength ? !IsFillPlausible(pitch * info.height, dataBytes)
                  : dataBytes < info.storedStride * (info.height - 1) + info.storedRowBytes) {
        return -1;
    }
    uint8_t* pixels = static_cast<uint8_t*>(ZqAllocZero(size_t(pitch * info.height)));
    if (pixels == nullptr) {
        if (converted) WriteLogText("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    int result = runLength ? ReadRunLengthPixels(source, info, pixels, pitch)
                           : ReadUncompressedRows(source, info, pixels, pitch);
    if (result != 0) {
        ZqFree(pixels);
        return -1;
    }

    GraphImage out{};
    if (palette) {
        InitPalette8ColorFormat(&out.format);
        std::memcpy(out.format.palette, info.colorTable, sizeof out.format.palette);
    } else {
        InitRgb24ColorFormat(&out.format);
    }
    out.width = info.width;
    out.height = info.height;
    out.pitch = int(pitch);
    out.pixels = pixels;
    *image = out;
    return 0;
}
