// dds_decoder.cpp - the top-level surface of uncompressed DirectDraw Surface files.
//
// The pixel format comes from the FourCC table when the pixel-format flags say
// FourCC alone, and from the header's masks when the RGB flag is set (its alpha
// mask only with the alpha-pixels flag), so plain X8R8G8B8 and R5G6B5 files load.
// Formats of 16, 24 or 32 bits are taken as they are; an 8-bit format without
// alpha (R3G3B2) becomes a palette image whose palette spells out the 256 values.
// The pitch is the header's when its flag is set, checked against the row size;
// mip-maps, cube faces and volume slices are ignored.
#include <cstring>

#include "library/core/alloc.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

namespace {

constexpr int kDdsHeaderSize = 124;
constexpr uint32_t kDdsPitchGiven = 0x8;
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;

struct DdsFormatEntry {
    int number;  // D3DFORMAT
    int bits;
    uint32_t redMask, greenMask, blueMask, alphaMask;
};

const DdsFormatEntry DdsFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},                        // R8G8B8
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},               // A8R8G8B8
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},                        // X8R8G8B8
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},                           // R5G6B5
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},                           // X1R5G5B5
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},                      // A1R5G5B5
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},                         // A4R4G4B4
    {27, 8, 0xE0, 0x1C, 0x3, 0},                                // R3G3B2
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},                          // A8R3G3B2
    {30, 16, 0xF00, 0xF0, 0xF, 0},                              // X4R4G4B4
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},           // A2B10G10R10
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},               // A8B8G8R8
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},                        // X8B8G8R8
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},           // A2R10G10B10
    {-1, 0, 0, 0, 0, 0},
};

// The format the header describes, or -1.
int ChooseDdsFormat(const uint8_t* header, DdsFormatEntry* format) {
    uint32_t flags = ReadLe32(header + 76);
    if (flags == kDdpfFourCC) {
        uint32_t fourCC = ReadLe32(header + 80);
        for (const DdsFormatEntry* e = DdsFormatTable; e->number != -1; e++) {
            if (uint32_t(e->number) == fourCC) {
                *format = *e;
                return 0;
            }
        }
        return -1;
    }
    if (!(flags & kDdpfRgb)) return -1;
    format->bits = int(ReadLe32(header + 84));
    format->redMask = ReadLe32(header + 88);
    format->greenMask = ReadLe32(header + 92);
    format->blueMask = ReadLe32(header + 96);
    format->alphaMask = flags & kDdpfAlphaPixels ? ReadLe32(header + 100) : 0;
    return 0;
}

bool IsUsableDdsFormat(const DdsFormatEntry& format) {
    if (format.bits == 8 && format.alphaMask != 0) return false;  // a palette holds no alpha
    if (format.bits != 8 && format.bits != 16 && format.bits != 24 && format.bits != 32) return false;
    uint32_t allBits = format.bits == 32 ? 0xFFFFFFFFu : (1u << format.bits) - 1;
    uint32_t used = format.redMask | format.greenMask | format.blueMask | format.alphaMask;
    return (used & ~allBits) == 0;
}

}  // namespace

int DecodeDdsGraphImage(StreamSource* source, GraphImage* image) {
    uint8_t magic[4], header[kDdsHeaderSize];
    if (ReadStreamBytes(source, magic, sizeof magic) != 0 || std::memcmp(magic, "DDS", 3) != 0) return -1;
    if (ReadStreamBytes(source, header, sizeof header) != 0) return -1;

    DdsFormatEntry format;
    if (ChooseDdsFormat(header, &format) != 0 || !IsUsableDdsFormat(format)) return -1;
    int64_t height = ReadLe32(header + 8), width = ReadLe32(header + 12);
    int64_t rowBytes = width * (format.bits / 8);
    int64_t pitch = ReadLe32(header + 4) & kDdsPitchGiven ? int64_t(ReadLe32(header + 16)) : rowBytes;
    if (pitch < rowBytes || !IsImageSizeAllowed(width, height, pitch)) return -1;
    // The stream must hold the surface before anything is allocated for it.
    if (StreamBytesLeft(source) < pitch * height) return -1;

    uint8_t* pixels = static_cast<uint8_t*>(ZqAlloc(size_t(pitch * height)));
    if (pixels == nullptr) return -1;
    if (ReadStreamBytes(source, pixels, size_t(pitch * height)) != 0) {
        ZqFree(pixels);
        return -1;
    }
    GraphImage out{};
    InitColorFormatFromMasks(&out.format, format.bits, format.redMask, format.greenMask, format.blueMask,
                             format.alphaMask);
    if (format.bits == 8) {
        // Every byte value through the masks, widened to 0..255, as a palette entry.
        const ColorFormat masks = out.format;
        InitPalette8ColorFormat(&out.format);
        for (uint32_t value = 0; value < 256; value++) {
            int r, g, b;
            DecodePixelRgba(&masks, value, &r, &g, &b, nullptr);
            out.format.palette[value] = uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16;
        }
    }
    out.width = int(width);
    out.height = int(height);
    out.pitch = int(pitch);
    out.pixels = pixels;
    *image = out;
    return 0;
}
