// color_format.cpp - building ColorFormat records and converting single pixel values.
//
// A channel is described by its mask; its shift is the position of the lowest set
// bit and its width the run of set bits from there upward (a hole ends the run).
// Encoding drops low bits, decoding rescales to 0..255, and value conversion between
// two formats only shifts (no bit replication), so these routines are cheap enough
// to call per pixel.
#include "library/display/color_format.h"

#include <cstring>

#include "platform/ddraw/ddraw_types.h"

namespace {

struct ChannelBits {
    uint8_t shift;
    uint8_t width;
};

// Shift and width of a mask. A zero mask is absent (0, 0). An all-ones mask counts
// 32 bits when fullWidth32 is set; built from a display pixel format it counts 0.
ChannelBits MaskChannelBits(uint32_t mask, bool fullWidth32) {
    if (mask == 0) return {0, 0};
    if (mask == 0xFFFFFFFFu) return {0, static_cast<uint8_t>(fullWidth32 ? 32 : 0)};
    int shift = __builtin_ctz(mask);
    uint32_t run = mask >> shift;
    int width = (~run == 0) ? 32 - shift : __builtin_ctz(~run);
    return {static_cast<uint8_t>(shift), static_cast<uint8_t>(width)};
}

// All bits of a pixel of the given size (0 for sizes that hold no bits).
uint32_t PixelBitsMask(int bitsPerPixel) {
    if (bitsPerPixel >= 32) return 0xFFFFFFFFu;
    if (bitsPerPixel <= 0) return 0;
    return (1u << bitsPerPixel) - 1;
}

void StoreMasks(ColorFormat* format, int bitsPerPixel, uint32_t red, uint32_t green,
                uint32_t blue, uint32_t alpha, bool fullWidth32) {
    format->bitsPerPixel = static_cast<uint16_t>(bitsPerPixel);
    format->bytesPerPixel = static_cast<uint16_t>(bitsPerPixel / 8);
    format->redMask = red;
    format->greenMask = green;
    format->blueMask = blue;
    format->alphaMask = alpha;
    format->unusedMask = PixelBitsMask(bitsPerPixel) & ~(red | green | blue | alpha);

    ChannelBits r = MaskChannelBits(red, fullWidth32);
    ChannelBits g = MaskChannelBits(green, fullWidth32);
    ChannelBits b = MaskChannelBits(blue, fullWidth32);
    ChannelBits a = MaskChannelBits(alpha, fullWidth32);
    ChannelBits u = MaskChannelBits(format->unusedMask, fullWidth32);
    format->redShift = r.shift, format->redWidth = r.width;
    format->greenShift = g.shift, format->greenWidth = g.width;
    format->blueShift = b.shift, format->blueWidth = b.width;
    format->alphaShift = a.shift, format->alphaWidth = a.width;
    format->unusedShift = u.shift, format->unusedWidth = u.width;
}

// One channel of EncodePixelRgba: the low 8 bits of v brought to the channel's width
// (low bits dropped; a channel wider than 8 bits gets zero low bits) and placed.
uint32_t EncodeChannel(int v, int width, int shift) {
    uint32_t bits = static_cast<uint32_t>(v) & 0xFF;
    bits = width <= 8 ? bits >> (8 - width) : bits << (width - 8);
    return bits << shift;
}

// One channel of DecodePixelRgba, rescaled to 0..255. An absent channel is 0.
int DecodeChannel(uint32_t value, uint32_t mask, int shift, int width) {
    if (width == 0) return 0;
    uint64_t bits = (value & mask) >> shift;
    uint64_t maxValue = (uint64_t{1} << width) - 1;
    return static_cast<int>(bits * 255 / maxValue);
}

// One channel of ConvertPixelValueFormat: shifted to the destination width.
uint32_t MoveChannel(uint32_t value, uint32_t srcMask, int srcShift, int srcWidth, int destShift,
                     int destWidth) {
    uint32_t bits = (value & srcMask) >> srcShift;
    int diff = destWidth - srcWidth;
    if (diff > 0) bits = diff >= 32 ? 0 : bits << diff;
    if (diff < 0) bits = -diff >= 32 ? 0 : bits >> -diff;
    return bits << destShift;
}

void SetPresetChannels(ColorFormat* format, int bits, uint32_t alphaMask, uint32_t unusedMask) {
    format->bitsPerPixel = static_cast<uint16_t>(bits);
    format->bytesPerPixel = static_cast<uint16_t>(bits / 8);
    format->redWidth = 8, format->redShift = 16, format->redMask = 0x00FF0000;
    format->greenWidth = 8, format->greenShift = 8, format->greenMask = 0x0000FF00;
    format->blueWidth = 8, format->blueShift = 0, format->blueMask = 0x000000FF;
    format->alphaWidth = alphaMask ? 8 : 0;
    format->alphaShift = alphaMask ? 24 : 0;
    format->alphaMask = alphaMask;
    format->unusedMask = unusedMask;
}

}  // namespace

int InitColorFormatFromDDPixelFormat(const DDPIXELFORMAT* pixelFormat, ColorFormat* format) {
    // The display reports the bit count in the low byte.
    int bits = static_cast<int8_t>(pixelFormat->dwRGBBitCount & 0xFF);
    StoreMasks(format, bits, pixelFormat->dwRBitMask, pixelFormat->dwGBitMask,
               pixelFormat->dwBBitMask, pixelFormat->dwRGBAlphaBitMask, false);
    return 0;
}

int InitColorFormatFromMasks(ColorFormat* format, int bitsPerPixel, uint32_t redMask,
                             uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    StoreMasks(format, bitsPerPixel, redMask, greenMask, blueMask, alphaMask, true);
    return 0;
}

ColorFormat* UpdateColorFormatUnusedMask(ColorFormat* format) {
    int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
    if (widths == format->bitsPerPixel) {
        format->unusedMask = 0;
    } else {
        format->unusedMask = PixelBitsMask(format->bitsPerPixel) &
                             ~(format->redMask | format->greenMask | format->blueMask |
                               format->alphaMask);
    }
    return format;
}

int InitPalette8ColorFormat(ColorFormat* format) {
    SetPresetChannels(format, 8, 0, 0xFF000000u);
    return 0;
}

int InitArgb32ColorFormat(ColorFormat* format) {
    SetPresetChannels(format, 32, 0xFF000000u, 0);
    return 0;
}

int InitRgb24ColorFormat(ColorFormat* format) {
    SetPresetChannels(format, 24, 0, 0);
    return 0;
}

int InitGray8ColorFormat(ColorFormat* format) {
    SetPresetChannels(format, 8, 0, 0xFF000000u);
    for (uint32_t i = 0; i < 256; i++) format->palette[i] = i | i << 8 | i << 16;
    return 0;
}

int InitDDPixelFormatRgb(DDPIXELFORMAT* pixelFormat, int bitCount, uint32_t redMask,
                         uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    std::memset(pixelFormat, 0, sizeof(*pixelFormat));
    pixelFormat->dwSize = sizeof(DDPIXELFORMAT);
    pixelFormat->dwFlags = DDPF_RGB;
    pixelFormat->dwRGBBitCount = static_cast<DWORD>(bitCount);
    pixelFormat->dwRBitMask = redMask;
    pixelFormat->dwGBitMask = greenMask;
    pixelFormat->dwBBitMask = blueMask;
    pixelFormat->dwRGBAlphaBitMask = alphaMask;
    return 0;
}

uint32_t EncodePixelRgb(const ColorFormat* format, int r, int g, int b) {
    return EncodeChannel(r, format->redWidth, format->redShift) + format->unusedMask +
           EncodeChannel(g, format->greenWidth, format->greenShift) +
           EncodeChannel(b, format->blueWidth, format->blueShift);
}

uint32_t EncodePixelRgba(const ColorFormat* format, int r, int g, int b, int a) {
    uint32_t value = EncodePixelRgb(format, r, g, b);
    if (format->alphaWidth != 0) value += EncodeChannel(a, format->alphaWidth, format->alphaShift);
    return value;
}

int DecodePixelRgba(const ColorFormat* format, uint32_t value, int* r, int* g, int* b, int* a) {
    if (r) *r = DecodeChannel(value, format->redMask, format->redShift, format->redWidth);
    if (g) *g = DecodeChannel(value, format->greenMask, format->greenShift, format->greenWidth);
    if (b) *b = DecodeChannel(value, format->blueMask, format->blueShift, format->blueWidth);
    if (a) *a = DecodeChannel(value, format->alphaMask, format->alphaShift, format->alphaWidth);
    return 0;
}

uint32_t ConvertPixelValueFormat(const ColorFormat* dest, const ColorFormat* source,
                                 uint32_t value) {
    uint32_t result =
        MoveChannel(value, source->redMask, source->redShift, source->redWidth, dest->redShift,
                    dest->redWidth) |
        MoveChannel(value, source->greenMask, source->greenShift, source->greenWidth,
                    dest->greenShift, dest->greenWidth) |
        MoveChannel(value, source->blueMask, source->blueShift, source->blueWidth, dest->blueShift,
                    dest->blueWidth);
    if (source->alphaWidth == 0) {
        result |= (dest->alphaMask >> dest->alphaShift) << dest->alphaShift;
    } else {
        result |= MoveChannel(value, source->alphaMask, source->alphaShift, source->alphaWidth,
                              dest->alphaShift, dest->alphaWidth);
    }
    return result | dest->unusedMask;
}

int IsSameColorFormat(const ColorFormat* a, const ColorFormat* b) {
    return a->bitsPerPixel == b->bitsPerPixel && a->redMask == b->redMask &&
                   a->greenMask == b->greenMask && a->blueMask == b->blueMask &&
                   a->alphaMask == b->alphaMask
               ? 1
               : 0;
}
