// memimg.cpp - setting up, viewing and releasing software images.
#include "library/softrender/memimg.h"

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/display/screen_state.h"

const int MemImgBytesPerPixelTable[4] = {2, 4, 1, 2};

namespace {

// The exponent of the smallest power of two not below `bytes`, when that power equals
// `pitch`; else -1.
int Log2PitchFor(int pitch, int bytes) {
    int shift = 0;
    while ((int64_t(1) << shift) < bytes) shift++;
    return (int64_t(1) << shift) == pitch ? shift : -1;
}

void FreeOwnedBuffers(MEMIMG* image) {
    if (!image->pixelsNotOwned && image->pixels != nullptr) ZqFree(image->pixels);
    if (image->premultiplied != nullptr) ZqFree(image->premultiplied);
    if (image->runStream != nullptr) ZqFree(image->runStream);
    image->pixels = nullptr;
    image->premultiplied = nullptr;
    image->runStream = nullptr;
}

}  // namespace

int SetupMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t transparentValue,
                int formatKind, int paletteFlag, int alphaFlag, int extrasFlag) {
    if (image->validMark == MemImgValidMark) return -1;
    if (paletteFlag) alphaFlag = 0;
    if (formatKind == MemImgFormat8 || formatKind == MemImgFormatZ16) paletteFlag = alphaFlag = 0;

    const int bytesPerPixel = paletteFlag                             ? 1
                              : (formatKind == MemImgFormat16 && alphaFlag) ? 4
                              : (formatKind >= 0 && formatKind < 4)  ? MemImgBytesPerPixelTable[formatKind]
                                                                     : 0;
    // Sizes whose buffer could not be addressed with the record's 32-bit pitch are
    // refused before anything is stored.
    const int64_t rowBytes = int64_t(width) * bytesPerPixel;
    const int64_t paddedRow = (rowBytes + 15) / 16 * 16;
    const int64_t usedPitch = pitch == -1 ? paddedRow : pitch;
    if (bytesPerPixel == 0 || width < 0 || height < 0 || width > MemImgMaxSide ||
        height > MemImgMaxSide || usedPitch < rowBytes || usedPitch * height >= (int64_t(1) << 31)) {
        return WriteLogFormat("MEMIMG の設定が不正です ( 幅 %d 高さ %d ピッチ %d 形式 %d ) in SetupMemImg",
                              width, height, pitch, formatKind);
    }

    image->width = width;
    image->height = height;
    image->transparentValue = transparentValue;
    image->formatKind = formatKind;
    image->paletteFlag = paletteFlag;
    image->alphaFlag = alphaFlag;
    InvalidateMemImgDerivedData(image);
    image->paletteA = image->inlinePalettes[0];
    image->paletteB = image->inlinePalettes[1];
    image->pitch = int32_t(usedPitch);
    image->log2Pitch = Log2PitchFor(image->pitch, int(pitch == -1 ? rowBytes : usedPitch));
    image->colorFormat = LookupMemImgColorFormat(formatKind, alphaFlag, paletteFlag);

    const size_t bufferBytes = size_t(image->pitch) * size_t(height);
    if (image->pixels != nullptr) {
        image->pixelsNotOwned = 1;
    } else {
        image->pixelsNotOwned = 0;
        image->pixels = static_cast<uint8_t*>(ZqAlloc(bufferBytes));
        if (image->pixels == nullptr) return -1;
    }
    if (extrasFlag) {
        if (alphaFlag && image->premultiplied == nullptr)
            image->premultiplied = static_cast<uint8_t*>(ZqAlloc(bufferBytes));
        if (formatKind != MemImgFormat8 && image->runStream == nullptr)
            image->runStream = static_cast<uint8_t*>(ZqAlloc(size_t(width + 5) * size_t(height)));
        if ((alphaFlag && image->premultiplied == nullptr) ||
            (formatKind != MemImgFormat8 && image->runStream == nullptr)) {
            FreeOwnedBuffers(image);  // the record is left without its mark
            return -1;
        }
    }
    image->validMark = MemImgValidMark;
    return 0;
}

int CreateMemImgInScreenFormat(MEMIMG* image, int width, int height, int formatKind) {
    std::memset(image, 0, sizeof(*image));
    if (formatKind == -1) formatKind = GetScreenColorBitDepth() == 16 ? MemImgFormat16 : MemImgFormat32;
    return SetupMemImg(image, width, height, -1, 0, formatKind, 0, 0, 0);
}

int CreateZBufferMemImg(MEMIMG* image, int width, int height) {
    std::memset(image, 0, sizeof(*image));
    return SetupMemImg(image, width, height, -1, 0, MemImgFormatZ16, 0, 0, 0);
}

MEMIMG* MakeMemImgView(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height) {
    std::memset(view, 0, sizeof(*view));
    // A view must stay inside its source; anything else would let every later draw
    // run past the source's buffer.
    const bool inside = source->validMark == MemImgValidMark && x >= 0 && y >= 0 && width >= 0 &&
                        height >= 0 && int64_t(x) + width <= source->width &&
                        int64_t(y) + height <= source->height;
    if (!inside) {
        WriteLogFormat("MEMIMG のビューの範囲が不正です ( %d, %d, %d, %d ) in MakeMemImgView", x, y,
                       width, height);
        width = height = 0;  // an empty view draws nothing
    }
    view->validMark = MemImgValidMark;
    view->width = width;
    view->height = height;
    view->pitch = source->pitch;
    view->log2Pitch = source->log2Pitch;
    view->colorFormat = source->colorFormat;
    view->transparentValue = source->transparentValue;
    view->formatKind = source->formatKind;
    view->paletteFlag = source->paletteFlag;
    view->paletteCount = source->paletteCount;
    view->alphaFlag = source->alphaFlag;
    view->pixelsNotOwned = 1;
    view->paletteA = source->paletteA;
    view->paletteB = source->paletteB;
    view->pixels = inside ? MemImgPixelAddress(source, x, y) : nullptr;
    return view;
}

int HasMemImgPixels(const MEMIMG* image) { return image->pixels != nullptr ? 1 : 0; }

void ReleaseMemImg(MEMIMG* image) {
    if (image->validMark != MemImgValidMark) return;
    FreeOwnedBuffers(image);
    image->validMark = 0;
}
