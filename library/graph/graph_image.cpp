// graph_image.cpp - making, filling, reading and freeing decoded images (see
// graph_image.h).
#include "library/graph/graph_image.h"

#include <cstring>
#include <utility>

#include "library/core/alloc.h"

namespace {

int CreateGraphImage(int width, int height, int pitch, GraphImage* image) {
    image->width = width;
    image->height = height;
    image->pitch = pitch;
    image->pixels = width > 0 && height > 0 ? ZqAlloc(size_t(pitch) * size_t(height)) : nullptr;
    return image->pixels != nullptr ? 0 : -1;
}

uint8_t* PixelAddress(const GraphImage* image, int x, int y) {
    return static_cast<uint8_t*>(image->pixels) + ptrdiff_t(y) * image->pitch + ptrdiff_t(x) * image->format.bytesPerPixel;
}

// Writes one encoded value of 2, 3 or 4 bytes (the 3-byte form: low 16 bits, then bits 16-23).
void StorePixel(uint8_t* at, int bytes, uint32_t value) {
    if (bytes == 2) {
        const uint16_t v = uint16_t(value);
        std::memcpy(at, &v, 2);
    } else if (bytes == 3) {
        const uint16_t low = uint16_t(value);
        std::memcpy(at, &low, 2);
        at[2] = uint8_t(value >> 16);
    } else if (bytes == 4) {
        std::memcpy(at, &value, 4);
    }
}

bool Inside(const GraphImage* image, int x, int y) {
    return image->pixels != nullptr && x >= 0 && y >= 0 && x < image->width && y < image->height;
}

}  // namespace

int CreateARGB32GraphImage(int width, int height, GraphImage* image) {
    InitArgb32ColorFormat(&image->format);
    return CreateGraphImage(width, height, width * 4, image);
}

int CreateRGB24GraphImage(int width, int height, GraphImage* image) {
    InitRgb24ColorFormat(&image->format);
    return CreateGraphImage(width, height, (width * 3 + 3) / 4 * 4, image);
}

int FreeGraphImage(GraphImage* image) {
    if (image->pixels != nullptr) ZqFree(image->pixels);
    *image = GraphImage{};
    return 0;
}

int DisposeGraphImage(GraphImage* image) { return FreeGraphImage(image); }

int FillGraphImageColor(GraphImage* image, int r, int g, int b, int a) {
    const int bytes = image->format.bytesPerPixel;
    if (bytes == 1 || image->pixels == nullptr) return 0;
    const uint32_t value = EncodePixelRgba(&image->format, r, g, b, a);
    for (int y = 0; y < image->height; y++) {
        uint8_t* row = PixelAddress(image, 0, y);
        for (int x = 0; x < image->width; x++) StorePixel(row + x * bytes, bytes, value);
    }
    return 0;
}

int SetGraphImagePixel(GraphImage* image, int x, int y, int r, int g, int b, int a) {
    if (!Inside(image, x, y)) return -1;
    StorePixel(PixelAddress(image, x, y), image->format.bytesPerPixel, EncodePixelRgba(&image->format, r, g, b, a));
    return 0;
}

int GetGraphImagePixel(const GraphImage* image, int x, int y, int* r, int* g, int* b, int* a) {
    if (!Inside(image, x, y)) return -1;
    const ColorFormat& f = image->format;
    const uint8_t* at = PixelAddress(image, x, y);
    uint32_t value = 0;
    if (f.bytesPerPixel == 1) {
        // Palette entries are stored blue, green, red: place each at its channel.
        const uint32_t entry = f.palette[*at];
        value = ((entry >> 16) & 0xFF) << f.redShift | ((entry >> 8) & 0xFF) << f.greenShift |
                (entry & 0xFF) << f.blueShift;
    } else if (f.bytesPerPixel == 3) {
        value = uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16;
    } else {
        std::memcpy(&value, at, f.bytesPerPixel);
    }
    return DecodePixelRgba(&f, value, r, g, b, a);
}

int MirrorGraphImage(GraphImage* image) {
    if (image->width == 0 || image->height == 0 || image->pixels == nullptr) return -1;
    const int bytes = image->format.bytesPerPixel;
    for (int y = 0; y < image->height; y++) {
        uint8_t* row = PixelAddress(image, 0, y);
        for (int i = 0; i < image->width / 2; i++) {
            uint8_t* left = row + i * bytes;
            uint8_t* right = row + (image->width - 1 - i) * bytes;
            for (int k = 0; k < bytes; k++) std::swap(left[k], right[k]);
        }
    }
    return 0;
}
