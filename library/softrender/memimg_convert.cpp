// memimg_convert.cpp - moving pixels between software images and decoded images through
// the pixel-format converter, and the run stream and premultiplied plane built when a
// whole image is converted.
#include <algorithm>
#include <cstring>

#include "library/display/pixel_converter.h"
#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

namespace {

bool BlockInside(int x, int y, int width, int height, int areaWidth, int areaHeight) {
    return x >= 0 && y >= 0 && width >= 0 && height >= 0 && int64_t(x) + width <= areaWidth &&
           int64_t(y) + height <= areaHeight;
}

bool IsSetUp(const MEMIMG* image) {
    return image->validMark == MemImgValidMark && image->pixels != nullptr && image->colorFormat != nullptr;
}

// The kind of run a pixel starts (MemImgRunKind).
int ClassifyPixel(const MEMIMG* image, const uint8_t* pixel) {
    if (image->alphaFlag) {
        const uint8_t alpha = image->formatKind == MemImgFormat16 ? pixel[2] : pixel[3];
        return alpha == 0 ? MemImgRunSkip : alpha == 255 ? MemImgRunOpaque : MemImgRunAlpha;
    }
    uint32_t value, key = image->transparentValue;
    if (image->paletteFlag) {
        value = pixel[0];
        key &= 0xFF;
    } else if (image->formatKind == MemImgFormat16) {
        uint16_t v;
        std::memcpy(&v, pixel, 2);
        value = v;
        key &= 0xFFFF;
    } else {
        std::memcpy(&value, pixel, 4);
    }
    return value == key ? MemImgRunSkip : MemImgRunOpaque;
}

// Premultiplied plane: every colour channel times alpha / 256, then the alpha byte.
void BuildPremultipliedPlane(MEMIMG* image) {
    for (int y = 0; y < image->height; y++) {
        const uint8_t* src = image->pixels + size_t(y) * image->pitch;
        uint8_t* dst = image->premultiplied + size_t(y) * image->pitch;
        for (int x = 0; x < image->width; x++, src += 4, dst += 4) {
            if (image->formatKind == MemImgFormat16) {
                const uint32_t c = src[0] | src[1] << 8, a = src[2];
                const uint32_t v = ((c & 0xF800) * a >> 8 & 0xF800) | ((c & 0x07E0) * a >> 8 & 0x07E0) |
                                   ((c & 0x001F) * a >> 8 & 0x001F);
                dst[0] = uint8_t(v);
                dst[1] = uint8_t(v >> 8);
                dst[2] = uint8_t(a);
                dst[3] = 0;
            } else {
                const uint32_t a = src[3];
                for (int i = 0; i < 3; i++) dst[i] = uint8_t(src[i] * a >> 8);
                dst[3] = uint8_t(a);
            }
        }
    }
    image->premultipliedValid = 1;
}

}  // namespace

void BuildMemImgRunStream(MEMIMG* image) {
    uint8_t* out = image->runStream;
    const int bytesPerPixel = MemImgBytesPerPixel(image);
    for (int y = 0; y < image->height; y++) {
        const uint8_t* row = image->pixels + size_t(y) * image->pitch;
        for (int x = 0; x < image->width;) {
            const int kind = ClassifyPixel(image, row + size_t(x) * bytesPerPixel);
            int length = 1;
            while (length < MemImgRunMaxLength && x + length < image->width &&
                   ClassifyPixel(image, row + size_t(x + length) * bytesPerPixel) == kind)
                length++;
            *out++ = uint8_t(kind << 6 | (length - 1));
            x += length;
        }
        *out++ = MemImgRowEnd;
    }
    image->runStreamValid = 1;
}

int ConvertMemImgToMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* sourceRect, int x, int y) {
    RECT rect = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->width, source->height};
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!IsSetUp(dest) || !IsSetUp(source) ||
        !BlockInside(rect.left, rect.top, width, height, source->width, source->height) ||
        !BlockInside(x, y, width, height, dest->width, dest->height))
        return -1;
    InvalidateMemImgDerivedData(dest);
    return ConvertPixelsBetweenFormats(dest->pixels, dest->pitch, dest->colorFormat, source->pixels,
                                       source->pitch, source->colorFormat, nullptr, 0, nullptr, x, y, &rect,
                                       0, 0, 0, DitherNone, 0, 0, 0);
}

int ConvertGraphImageToMemImg(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dest,
                              int sourceX, int sourceY, int width, int height, int destX, int destY,
                              int transparentFlag) {
    if (!IsSetUp(dest) || image->pixels == nullptr ||
        !BlockInside(sourceX, sourceY, width, height, image->width, image->height) ||
        (alphaImage != nullptr &&
         (alphaImage->pixels == nullptr ||
          !BlockInside(sourceX, sourceY, width, height, alphaImage->width, alphaImage->height))) ||
        !BlockInside(destX, destY, width, height, dest->width, dest->height))
        return -1;

    const RECT rect{sourceX, sourceY, sourceX + width, sourceY + height};
    int result;
    InvalidateMemImgDerivedData(dest);
    if (dest->formatKind == MemImgFormat8 || dest->formatKind == MemImgFormatZ16) {
        result = ConvertPixelsBetweenFormats(dest->pixels, dest->pitch, dest->colorFormat, image->pixels,
                                             image->pitch, &image->format, nullptr, 0, nullptr, destX, destY,
                                             &rect, 0, 0, 0, DitherNone, 1, 1, 0);
    } else {
        result = ConvertPixelsBetweenFormats(
            dest->pixels, dest->pitch, dest->colorFormat, image->pixels, image->pitch, &image->format,
            alphaImage ? alphaImage->pixels : nullptr, alphaImage ? alphaImage->pitch : 0,
            alphaImage ? &alphaImage->format : nullptr, destX, destY, &rect, 0, transparentFlag,
            dest->transparentValue, DitherNone, 0, 0, 0);
    }
    if (result < 0) return result;

    if (dest->paletteFlag) {
        // A later partial conversion may write only low indices: the count keeps
        // covering every index written so far.
        if (alphaImage == nullptr) dest->paletteCount = std::max(dest->paletteCount, result + 1);
        for (int i = 0; i < 256; i++) {
            const uint32_t entry = image->format.palette[i];
            const uint32_t r = entry >> 16 & 0xFF, g = entry >> 8 & 0xFF, b = entry & 0xFF;
            if (dest->formatKind == MemImgFormat16)
                static_cast<uint16_t*>(dest->paletteA)[i] = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            else
                static_cast<uint32_t*>(dest->paletteA)[i] = r << 16 | g << 8 | b;
        }
        std::memcpy(dest->paletteB, dest->paletteA, dest->formatKind == MemImgFormat16 ? 512 : 1024);
    }

    if (width == dest->width && height == dest->height &&
        (dest->formatKind == MemImgFormat16 || dest->formatKind == MemImgFormat32) &&
        dest->runStream != nullptr) {
        if (dest->alphaFlag && dest->premultiplied != nullptr) BuildPremultipliedPlane(dest);
        BuildMemImgRunStream(dest);
    }
    return result;
}

void ConvertMemImgToGraphImage(GraphImage* dest, const MEMIMG* source, int sourceX, int sourceY,
                               int width, int height, int destX, int destY, uint32_t keyValue,
                               int keyFlag) {
    if (!IsSetUp(source) || source->paletteFlag || source->alphaFlag ||
        (source->formatKind != MemImgFormat16 && source->formatKind != MemImgFormat32))
        return;
    if (dest->pixels == nullptr ||
        !BlockInside(sourceX, sourceY, width, height, source->width, source->height) ||
        !BlockInside(destX, destY, width, height, dest->width, dest->height))
        return;
    const RECT rect{sourceX, sourceY, sourceX + width, sourceY + height};
    ConvertPixelsBetweenFormats(dest->pixels, dest->pitch, &dest->format, source->pixels, source->pitch,
                                source->colorFormat, nullptr, 0, nullptr, destX, destY, &rect, 0, 0, keyValue,
                                DitherNone, 0, 0, keyFlag);
}
