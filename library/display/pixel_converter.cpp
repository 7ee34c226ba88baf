// pixel_converter.cpp - the converter's decision chain and its copy paths.
//
// The options are settled first (some combinations drop an option), then the first
// path that applies converts the whole block: 8-bit copy, same-format copy,
// key-to-alpha copy, the fast-path table (pixel_converter_fast.cpp), the general
// path (pixel_converter_general.cpp).
#include "library/display/pixel_converter.h"

#include <algorithm>

#include "library/core/system_state.h"
#include "library/display/pixel_converter_internal.h"
#include "platform/wintypes.h"

const uint32_t OrderedDitherMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

namespace {

// Byte copy between 8-bit buffers; returns the largest byte copied.
int CopyBytes8(const PixelBlock& block) {
    uint8_t highest = 0;
    MapBlockPixels<1, 1>(block, block.mirror != 0, [&highest](uint32_t v) {
        highest = std::max(highest, static_cast<uint8_t>(v));
        return v;
    });
    return highest;
}

void CopySameFormat(const PixelBlock& block) {
    const int bytes = block.srcFormat->bytesPerPixel;
    if (block.mirror) {
        WithPixelSize(bytes, [&](auto size) {
            MapBlockPixels<size(), size()>(block, true, [](uint32_t v) { return v; });
        });
        return;
    }
    if (block.skipKey) {
        const uint32_t key = block.key & PixelSizeMask(bytes);
        WithPixelSize(bytes, [&](auto size) {
            for (int y = 0; y < block.height; y++) {
                const uint8_t* s = block.src + y * block.srcPitch;
                uint8_t* d = block.dest + y * block.destPitch;
                for (int x = 0; x < block.width; x++, s += size(), d += size()) {
                    uint32_t v = LoadPixel<size()>(s);
                    if (v != key) StorePixel<size()>(d, v);
                }
            }
        });
        return;
    }
    const size_t rowBytes = size_t(block.width) * bytes;
    if (block.srcPitch == ptrdiff_t(rowBytes) && block.destPitch == ptrdiff_t(rowBytes)) {
        std::memmove(block.dest, block.src, rowBytes * block.height);  // one contiguous block
        return;
    }
    for (int y = 0; y < block.height; y++)
        std::memmove(block.dest + y * block.destPitch, block.src + y * block.srcPitch, rowBytes);
}

// Equal colour masks, destination with alpha: the key colour becomes transparent,
// every other pixel opaque; bits outside the colour masks are set.
void CopyKeyToAlpha(const PixelBlock& block) {
    const ColorFormat* dest = block.destFormat;
    const uint32_t colorMask = dest->redMask | dest->greenMask | dest->blueMask;
    const uint32_t keyColor =
        EncodePixelRgba(dest, block.key >> 16 & 0xFF, block.key >> 8 & 0xFF, block.key & 0xFF, 255) &
        colorMask;
    const uint32_t alphaMask = dest->alphaMask;
    WithPixelSize(dest->bytesPerPixel, [&](auto size) {
        const uint32_t otherBits = PixelSizeMask(size()) & ~colorMask;
        MapBlockPixels<size(), size()>(block, block.mirror != 0, [=](uint32_t v) {
            v |= otherBits;
            return (v & colorMask) == keyColor ? v & ~alphaMask : v;
        });
    });
}

bool SameMasks(const ColorFormat* a, const ColorFormat* b, bool withAlpha) {
    return a->bitsPerPixel == b->bitsPerPixel && a->redMask == b->redMask &&
           a->greenMask == b->greenMask && a->blueMask == b->blueMask &&
           (!withAlpha || a->alphaMask == b->alphaMask);
}

}  // namespace

int ConvertPixelsBetweenFormats(void* destPixels, int destPitch, const ColorFormat* destFormat,
                                const void* srcPixels, int srcPitch, const ColorFormat* srcFormat,
                                const void* alphaPixels, int alphaPitch,
                                const ColorFormat* alphaFormat, int destX, int destY,
                                const RECT* srcRect, int mirror, int keyToAlpha, uint32_t key,
                                int ditherMode, int colorZero, int alphaFromRed, int skipKey) {
    static const ColorFormat noPlaneFormat{};
    if (alphaFormat == nullptr) alphaFormat = &noPlaneFormat;

    const bool destHasAlpha = destFormat->alphaWidth != 0;
    const bool srcHasAlpha = srcFormat->alphaWidth != 0;
    const bool planeGiven = alphaPixels != nullptr;
    const bool alphaTransfer = destHasAlpha && (planeGiven || srcHasAlpha);
    if (alphaTransfer || !destHasAlpha || alphaFromRed) keyToAlpha = 0;
    if (alphaTransfer || mirror) skipKey = 0;

    const int width = srcRect->right - srcRect->left;
    const int height = srcRect->bottom - srcRect->top;
    if (width <= 0 || height <= 0) return -1;

    const PixelBlock block{
        .dest = static_cast<uint8_t*>(destPixels) + ptrdiff_t(destY) * destPitch +
                ptrdiff_t(destX) * destFormat->bytesPerPixel,
        .destPitch = destPitch,
        .destFormat = destFormat,
        .src = static_cast<const uint8_t*>(srcPixels) + ptrdiff_t(srcRect->top) * srcPitch +
               ptrdiff_t(srcRect->left) * srcFormat->bytesPerPixel,
        .srcPitch = srcPitch,
        .srcFormat = srcFormat,
        .alpha = planeGiven ? static_cast<const uint8_t*>(alphaPixels) +
                                  ptrdiff_t(srcRect->top) * alphaPitch +
                                  ptrdiff_t(srcRect->left) * alphaFormat->bytesPerPixel
                            : nullptr,
        .alphaPitch = alphaPitch,
        .alphaFormat = alphaFormat,
        .width = width,
        .height = height,
        .mirror = mirror,
        .keyToAlpha = keyToAlpha,
        .key = key,
        .ditherMode = ditherMode,
        .colorZero = colorZero,
        .alphaFromRed = alphaFromRed,
        .skipKey = skipKey,
        .alphaFromPlane = destHasAlpha && planeGiven && !srcHasAlpha,
    };

    if (destFormat->bitsPerPixel == 8 && !colorZero && !skipKey) {
        if (srcFormat->bitsPerPixel != 8) return -1;
        return CopyBytes8(block);
    }
    if (!keyToAlpha && !block.alphaFromPlane && !colorZero && !alphaFromRed &&
        SameMasks(destFormat, srcFormat, true)) {
        CopySameFormat(block);
        return 0;
    }
    if (!skipKey) {
        if (destHasAlpha && keyToAlpha && !colorZero && !alphaFromRed &&
            SameMasks(destFormat, srcFormat, false)) {
            CopyKeyToAlpha(block);
            return 0;
        }
        if (ditherMode == DitherNone && !colorZero && !alphaFromRed && !mirror && !planeGiven &&
            ConvertByFastPath(block, CheckMMXInUse() != 0)) {
            return 0;
        }
    }
    ConvertByGeneralPath(block);
    return 0;
}

int SetAlphaBitsInRect(RECT* rect, void* pixels, int pitch, const ColorFormat* format,
                       uint32_t value) {
    if (rect->right < rect->left) std::swap(rect->left, rect->right);
    if (rect->bottom < rect->top) std::swap(rect->top, rect->bottom);
    if (format->unusedMask == 0) return 0;

    const int bytes = format->bytesPerPixel;
    if (bytes != 2 && bytes != 4) return 0;
    const uint32_t bits = value << format->unusedShift;
    const bool topByte = bytes == 4 && format->unusedMask == 0xFF000000u;
    for (int y = rect->top; y < rect->bottom; y++) {
        uint8_t* row = static_cast<uint8_t*>(pixels) + ptrdiff_t(y) * pitch;
        for (int x = rect->left; x < rect->right; x++) {
            uint8_t* p = row + ptrdiff_t(x) * bytes;
            if (topByte) {
                p[3] |= static_cast<uint8_t>(value);
            } else if (bytes == 2) {
                StorePixel<2>(p, LoadPixel<2>(p) | bits);
            } else {
                StorePixel<4>(p, LoadPixel<4>(p) | bits);
            }
        }
    }
    return 0;
}
