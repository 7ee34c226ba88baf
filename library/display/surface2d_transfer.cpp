// surface2d_transfer.cpp - decoded images and movie frames into one piece's storage
// (see surface2d.h).
//
// Image sizes come from image files, so every transfer is cut to the part that lies
// inside both the image and the piece; nothing is written anywhere else.
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/display/pixel_converter.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/dib_graph.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_record.h"
#include "library/graph/movie_record.h"
#include "library/softrender/memimg_formats.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

namespace {

int ColorBitsInForce() { return g_Screen.colorBits != 0 ? g_Screen.colorBits : ScreenDefaultColorBits; }

// Cuts the source rectangle to the image and its destination (destX, destY) to the
// piece's rectangle in its storage; false when nothing is left.
bool ClipTransfer(RECT* source, int* destX, int* destY, const GraphImage* image, const Surface2DRecord* piece) {
    int64_t left = source->left, top = source->top, right = source->right, bottom = source->bottom;
    int64_t x = *destX, y = *destY;
    const int64_t pieceLeft = piece->sourceX, pieceTop = piece->sourceY;
    const int64_t pieceRight = pieceLeft + piece->width, pieceBottom = pieceTop + piece->height;
    const int64_t skipX = std::max({int64_t(0), -left, pieceLeft - x});
    const int64_t skipY = std::max({int64_t(0), -top, pieceTop - y});
    left += skipX, x += skipX, top += skipY, y += skipY;
    right = std::min({right, int64_t(image->width), left + (pieceRight - x)});
    bottom = std::min({bottom, int64_t(image->height), top + (pieceBottom - y)});
    if (right <= left || bottom <= top) return false;
    *source = RECT{LONG(left), LONG(top), LONG(right), LONG(bottom)};
    *destX = int(x);
    *destY = int(y);
    return true;
}

// The index of the draw state's transparent colour in a palette image's palette, or 0.
uint32_t PaletteTransparentIndex(const SurfaceDataRecord* data) {
    const int kind = data->settings.colorBits == 16 ? MemImgFormat16 : MemImgFormat32;
    const uint32_t c = g_DrawState.transparentColor;
    const uint32_t key = EncodePixelRgba(LookupMemImgColorFormat(kind, data->settings.alphaChannel, 0), (c >> 16) & 0xFF,
                                         (c >> 8) & 0xFF, c & 0xFF, 255);
    for (uint32_t i = 0; i < 256; i++) {
        if (kind == MemImgFormat32) {
            const uint32_t entry = static_cast<const uint32_t*>(data->image.paletteA)[i];
            if ((entry & 0xFFFFFF) == (key & 0xFFFFFF)) return i;
        } else if (static_cast<const uint16_t*>(data->image.paletteA)[i] == uint16_t(key)) {
            return i;
        }
    }
    return 0;
}

int TransferIntoSurface(SurfaceDataRecord* data, const RECT& source, int destX, int destY, const GraphImage* image) {
    const ColorFormat* format = SurfaceDataColorFormat(data);
    RECT destRect{destX, destY, destX + (source.right - source.left), destY + (source.bottom - source.top)};
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (format == nullptr ||
        IDirectDrawSurface7_Lock(data->surface, &destRect, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
        return WriteLogText("２Ｄサーフェスのロックに失敗しました");
    }
    ConvertPixelsBetweenFormats(desc.lpSurface, desc.lPitch, format, image->pixels, image->pitch, &image->format,
                                nullptr, 0, nullptr, 0, 0, &source, 0, 0, 0, DitherNone, 0, 0, 0);
    IDirectDrawSurface7_Unlock(data->surface, &destRect);
    return 0;
}

// An 8-bit screen: the image goes in through GDI, which maps its colours onto the
// screen palette. The alpha image plays no part.
int TransferThroughGdi(SurfaceDataRecord* data, const RECT& source, int destX, int destY, const GraphImage* image) {
    HDC memory = CreateCompatibleDC(nullptr);
    HDC surfaceDc = nullptr;
    if (memory == nullptr || data->surface == nullptr || IDirectDrawSurface7_GetDC(data->surface, &surfaceDc) != DD_OK) {
        if (memory != nullptr) DeleteDC(memory);
        return -1;
    }
    BmpInfoBlock block;
    void* bits = nullptr;
    const int converted = ConvertGraphImageToBmp(image, &block, &bits, 0, 0);
    HBITMAP bitmap = nullptr;
    if (converted >= 0) {
        bitmap = CreateDIBSectionFromBitmapInfo(reinterpret_cast<const BITMAPINFO*>(&block), bits, 0, &image->format);
        if (converted == 1) ZqFree(bits);
    }
    int result = 0;
    if (converted < 0) {
        result = WriteLogText("GraphImage を BMP に変換する処理が失敗しました");
    } else if (bitmap == nullptr) {
        result = WriteLogText("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました");
    } else {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(surfaceDc, destX, destY, source.right - source.left, source.bottom - source.top, memory, source.left,
               source.top, SRCCOPY);
        SelectObject(memory, previous);
    }
    IDirectDrawSurface7_ReleaseDC(data->surface, surfaceDc);
    DeleteDC(memory);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return result;
}

int TransferIntoImage(SurfaceDataRecord* data, const RECT& source, int destX, int destY, const GraphImage* image,
                      const GraphImage* alphaImage) {
    if (!HasMemImgPixels(&data->image)) return -1;
    const int transparentFlag = g_DrawState.imageTransferOption == 0 ? 1 : 0;
    if (ConvertGraphImageToMemImg(image, alphaImage, &data->image, source.left, source.top,
                                  source.right - source.left, source.bottom - source.top, destX, destY,
                                  transparentFlag) < 0) {
        return WriteLogText("イメージの転送に失敗しました in TransferImageToSurface2DArea\n");
    }
    if (data->settings.paletteImage == 1) data->image.transparentValue = PaletteTransparentIndex(data);
    return 0;
}

}  // namespace

int TransferImageToSurface2D(int imageX, int imageY, int handle, const GraphImage* image,
                             const GraphImage* alphaImage) {
    if (!IsDisplayStarted()) return -1;
    const Surface2DRecord* piece = LookupSurface2D(handle);
    EndSurface2DAccess();
    if (piece == nullptr) return -1;
    const RECT source{imageX, imageY, imageX + piece->width, imageY + piece->height};
    return TransferImageToSurface2DArea(&source, piece->sourceX, piece->sourceY, handle, image, alphaImage);
}

int TransferImageToSurface2DArea(const RECT* sourceRect, int destX, int destY, int handle, const GraphImage* image,
                                 const GraphImage* alphaImage) {
    if (!IsDisplayStarted()) return -1;
    const Surface2DRecord* piece = LookupSurface2D(handle);
    EndSurface2DAccess();
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    if (data == nullptr || image == nullptr || image->pixels == nullptr) return -1;

    RECT source = *sourceRect;
    if (ClipTransfer(&source, &destX, &destY, image, piece)) {
        int result;
        if (ColorBitsInForce() == 8) result = TransferThroughGdi(data, source, destX, destY, image);
        else if (data->surface != nullptr) result = TransferIntoSurface(data, source, destX, destY, image);
        else result = TransferIntoImage(data, source, destX, destY, image, alphaImage);
        if (result < 0) return -1;
    }
    SetSurfaceDataColorKey(piece->surfaceData);
    return 0;
}

// The frame goes into the graph's first piece, cut to the piece: a frame larger than
// the graph, or of another depth, never writes past the graph's pixels.
int TransferMovieFrameToGraph(const MovieRecord* movie, GraphRecord* graph) {
    const Surface2DRecord* piece = graph->pieceCount >= 1 ? LookupSurface2D(graph->pieces[0]) : nullptr;
    EndSurface2DAccess();
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    if (data == nullptr || movie->frameBuffer == nullptr) return -1;
    const ColorFormat& frameFormat = movie->frameFormat;
    const int frameBytes = frameFormat.bytesPerPixel;

    if (movie->alphaMovieFlag) {
        // The colour image is the frame's left half, the alpha image its right half.
        const int half = movie->frameBufferWidth / 2;
        GraphImage colour{frameFormat, half, movie->frameBufferHeight, movie->frameBufferPitch, movie->frameBuffer};
        GraphImage alpha = colour;
        alpha.pixels = movie->frameBuffer + intptr_t(half) * frameBytes;
        const RECT source{0, 0, graph->width, graph->height};
        return TransferImageToSurface2DArea(&source, piece->sourceX, piece->sourceY, graph->pieces[0], &colour, &alpha);
    }

    uint8_t* pixels;
    int pitch;
    DDPIXELFORMAT destFormat;
    const bool image = (IsSoftwareRenderMode() && ColorBitsInForce() != 8) || data->memImgFlag == 1;
    if (image) {
        if (!HasMemImgPixels(&data->image)) return -1;
        pixels = data->image.pixels;
        pitch = data->image.pitch;
        destFormat = *LookupMemImgDDPixelFormat(data->image.formatKind, data->image.alphaFlag, data->image.paletteFlag);
    } else {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (data->surface == nullptr ||
            IDirectDrawSurface7_Lock(data->surface, nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
            return WriteLogText("ムービーグラフィック転送先サーフェスのロックに失敗しました");
        }
        pixels = static_cast<uint8_t*>(desc.lpSurface);
        pitch = desc.lPitch;
        destFormat = desc.ddpfPixelFormat;
    }
    const int destBytes = int(destFormat.dwRGBBitCount / 8);
    pixels += intptr_t(piece->sourceY) * pitch + intptr_t(piece->sourceX) * destBytes;
    const int width = std::min<int>(movie->frameBufferWidth, piece->width);
    const int height = std::min<int>(movie->frameBufferHeight, piece->height);

    if (width > 0 && height > 0) {
        if (movie->mode == MovieModeFrameCopy24 || frameBytes * 8 != int(destFormat.dwRGBBitCount)) {
            ColorFormat format;
            InitColorFormatFromDDPixelFormat(&destFormat, &format);
            const RECT source{0, 0, width, height};
            ConvertPixelsBetweenFormats(pixels, pitch, &format, movie->frameBuffer, movie->frameBufferPitch,
                                        &frameFormat, nullptr, 0, nullptr, 0, 0, &source, 0, 0, 0,
                                        g_DrawState.dibFullColorOption, 0, 0, 0);
        } else {
            for (int y = 0; y < height; y++) {
                std::memcpy(pixels + intptr_t(y) * pitch, movie->frameBuffer + intptr_t(y) * movie->frameBufferPitch,
                            size_t(width) * size_t(destBytes));
            }
        }
    }
    if (!image) IDirectDrawSurface7_Unlock(data->surface, nullptr);
    return 0;
}
