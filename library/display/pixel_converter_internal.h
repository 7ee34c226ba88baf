// pixel_converter_internal.h - what the converter's paths share: the block being
// converted and the pixel load/store helpers. Only the converter's files include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "library/display/color_format.h"

// One conversion, after the options were settled (dropped options are 0). The
// pointers address the block's first pixel: source (left, top), destination (x, y).
struct PixelBlock {
    uint8_t* dest;
    ptrdiff_t destPitch;
    const ColorFormat* destFormat;
    const uint8_t* src;
    ptrdiff_t srcPitch;
    const ColorFormat* srcFormat;
    const uint8_t* alpha;  // alpha plane, null for none
    ptrdiff_t alphaPitch;
    const ColorFormat* alphaFormat;  // never null: an all-zero format stands for none
    int width;
    int height;
    int mirror;
    int keyToAlpha;
    uint32_t key;
    int ditherMode;
    int colorZero;
    int alphaFromRed;
    int skipKey;
    bool alphaFromPlane;  // the destination's alpha comes from the plane's red channel
};

template <int Bytes>
inline uint32_t LoadPixel(const uint8_t* p) {
    if constexpr (Bytes == 1) {
        return p[0];
    } else if constexpr (Bytes == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else if constexpr (Bytes == 3) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

template <int Bytes>
inline void StorePixel(uint8_t* p, uint32_t v) {
    if constexpr (Bytes == 1) {
        p[0] = static_cast<uint8_t>(v);
    } else if constexpr (Bytes == 2) {
        uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    } else if constexpr (Bytes == 3) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
    } else {
        std::memcpy(p, &v, 4);
    }
}

inline uint32_t LoadPixelOfSize(const uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return LoadPixel<1>(p);
        case 2: return LoadPixel<2>(p);
        case 3: return LoadPixel<3>(p);
        default: return LoadPixel<4>(p);
    }
}

inline void StorePixelOfSize(uint8_t* p, int bytes, uint32_t v) {
    switch (bytes) {
        case 1: StorePixel<1>(p, v); break;
        case 2: StorePixel<2>(p, v); break;
        case 3: StorePixel<3>(p, v); break;
        default: StorePixel<4>(p, v); break;
    }
}

// The bits a pixel of the given size holds: a key is compared at this width.
inline uint32_t PixelSizeMask(int bytes) {
    return bytes >= 4 ? 0xFFFFFFFFu : (1u << (bytes * 8)) - 1;
}

// Writes fn(source pixel) for every pixel of the block, row by row; mirrored rows
// are written right to left. Each pixel is read before its destination is written.
template <int SrcBytes, int DestBytes, typename PixelFn>
inline void MapBlockPixels(const PixelBlock& block, bool mirror, PixelFn fn) {
    const ptrdiff_t step = mirror ? -DestBytes : DestBytes;
    for (int y = 0; y < block.height; y++) {
        const uint8_t* s = block.src + y * block.srcPitch;
        uint8_t* d = block.dest + y * block.destPitch;
        if (mirror) d += ptrdiff_t(block.width - 1) * DestBytes;
        for (int x = 0; x < block.width; x++, s += SrcBytes, d += step)
            StorePixel<DestBytes>(d, fn(LoadPixel<SrcBytes>(s)));
    }
}

// Calls fn with std::integral_constant<int, bytes> for a pixel size of 1 to 4.
template <typename Fn>
inline void WithPixelSize(int bytes, Fn fn) {
    switch (bytes) {
        case 1: fn(std::integral_constant<int, 1>{}); break;
        case 2: fn(std::integral_constant<int, 2>{}); break;
        case 3: fn(std::integral_constant<int, 3>{}); break;
        default: fn(std::integral_constant<int, 4>{}); break;
    }
}

// The fixed-formula fast paths; false when the pair is not one of them.
bool ConvertByFastPath(const PixelBlock& block, bool useMmxLoops);

// The general per-pixel path.
void ConvertByGeneralPath(const PixelBlock& block);
