// color_format.h - the description of one pixel of a buffer.
//
// Every pixel buffer of the library travels with a ColorFormat: the screen, each
// decoded GraphImage, each MEMIMG, each texture format. For 8-bit formats the masks,
// shifts and widths describe the palette entries; the pixel is a palette index.
#pragma once

#include <cstdint>

struct DDPIXELFORMAT;

struct ColorFormat {
    uint16_t bitsPerPixel;   // 8, 16, 24 or 32
    uint16_t bytesPerPixel;  // bitsPerPixel / 8
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;  // 0 = channel absent
    uint8_t redShift, greenShift, blueShift, alphaShift;
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t unusedMask;     // bits of the pixel that belong to no channel
    uint32_t palette[256];   // 8-bit formats: entries laid out by the masks (bytes B, G, R, 0)
    uint8_t unusedShift;
    uint8_t unusedWidth;
};

int InitColorFormatFromDDPixelFormat(const DDPIXELFORMAT* pixelFormat, ColorFormat* format);
int InitColorFormatFromMasks(ColorFormat* format, int bitsPerPixel, uint32_t redMask,
                             uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);
ColorFormat* UpdateColorFormatUnusedMask(ColorFormat* format);
int InitPalette8ColorFormat(ColorFormat* format);
int InitArgb32ColorFormat(ColorFormat* format);
int InitRgb24ColorFormat(ColorFormat* format);
int InitGray8ColorFormat(ColorFormat* format);
int InitDDPixelFormatRgb(DDPIXELFORMAT* pixelFormat, int bitCount, uint32_t redMask,
                         uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);

// Pixel values. Encoding keeps the top bits of each 8-bit channel and sets every
// unused bit; decoding rescales each channel to 0..255 (an absent channel gives 0).
uint32_t EncodePixelRgba(const ColorFormat* format, int r, int g, int b, int a);
uint32_t EncodePixelRgb(const ColorFormat* format, int r, int g, int b);  // no alpha field
int DecodePixelRgba(const ColorFormat* format, uint32_t value, int* r, int* g, int* b, int* a);
uint32_t ConvertPixelValueFormat(const ColorFormat* dest, const ColorFormat* source, uint32_t value);
int IsSameColorFormat(const ColorFormat* a, const ColorFormat* b);

// The screen's colours: the nearest palette index on an 8-bit screen, else the value
// in the screen's format (the software screen's format under the software renderer).
int RgbToScreenPixel(int r, int g, int b);
int ScreenPixelToRgb(uint32_t value, int* r, int* g, int* b);

static_assert(sizeof(ColorFormat) == 1060, "ColorFormat keeps its 1060-byte layout");
