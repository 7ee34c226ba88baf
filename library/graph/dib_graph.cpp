// dib_graph.cpp - GDI DIB sections made from image files or bitmap data (see
// dib_graph.h).
#include "library/graph/dib_graph.h"

#include <cstdlib>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_loader.h"

namespace {

// The top-down section described by `header` (and its colour table), holding `bits`
// laid out as `source` says. Null (header freed) when the section cannot be made.
HBITMAP MakeSection(BITMAPINFO* header, const void* bits, const BITMAPINFO* source, bool logFailures) {
    HDC dc = CreateCompatibleDC(nullptr);
    void* sectionBits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, header, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    ZqFree(header);
    if (bitmap == nullptr) {
        if (logFailures) WriteLogText("ＤＩＢの作成に失敗しました3\n");
        DeleteDC(dc);
        return nullptr;
    }
    BITMAP description{};
    GetObjectA(bitmap, sizeof description, &description);
    if (description.bmBits == nullptr) {
        if (logFailures) WriteLogText("ＤＩＢの作成に失敗しました2\n");
        DeleteObject(bitmap);
        DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const LONG height = std::labs(source->bmiHeader.biHeight);
    SetDIBitsToDevice(dc, 0, 0, DWORD(source->bmiHeader.biWidth), DWORD(height), 0, 0, 0, UINT(height), bits, source,
                      DIB_RGB_COLORS);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return bitmap;
}

BITMAPINFO* NewSectionHeader(LONG width, LONG height, WORD bitCount, const RGBQUAD* colors) {
    auto* header = static_cast<BITMAPINFO*>(ZqAllocZero(sizeof(BmpInfoBlock)));
    if (header == nullptr) return nullptr;
    BITMAPINFOHEADER& h = header->bmiHeader;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = -std::labs(height);
    h.biPlanes = 1;
    h.biBitCount = bitCount;
    h.biCompression = BI_RGB;
    if (colors != nullptr) std::memcpy(reinterpret_cast<BmpInfoBlock*>(header)->colors, colors, 256 * sizeof(RGBQUAD));
    return header;
}

}  // namespace

HBITMAP CreateDIBGraph(const char* fileName, const void* memory, int memorySize, int fromMemory, int mirror,
                       const ColorFormat*) {
    BmpInfoBlock* block = nullptr;
    void* bits = nullptr;
    GraphImage unused{};
    if (DecodeImageData(fileName, memory, memorySize, fromMemory, 1, mirror, &unused, &block, &bits) < 0) {
        return nullptr;
    }
    const BITMAPINFOHEADER& h = block->header;
    BITMAPINFO* header = NewSectionHeader(h.biWidth, h.biHeight, h.biBitCount == 8 ? 8 : 24,
                                          h.biBitCount == 8 ? block->colors : nullptr);
    HBITMAP bitmap = nullptr;
    if (header == nullptr) {
        WriteLogText("メモリの確保に失敗しました in CreateDIBGraph \n");
    } else {
        bitmap = MakeSection(header, bits, reinterpret_cast<const BITMAPINFO*>(block), true);
    }
    ZqFree(bits);
    ZqFree(block);
    return bitmap;
}

HBITMAP CreateDIBGraphFromFile(const char* fileName, int mirror, const ColorFormat* format) {
    return CreateDIBGraph(fileName, nullptr, 0, 0, mirror, format);
}

HBITMAP CreateDIBSectionFromBitmapInfo(const BITMAPINFO* info, const void* bits, int, const ColorFormat*) {
    BITMAPINFO* header = NewSectionHeader(info->bmiHeader.biWidth, info->bmiHeader.biHeight, 24, nullptr);
    return header != nullptr ? MakeSection(header, bits, info, false) : nullptr;
}

int GetDIBGraphInfo(HBITMAP bitmap, int* width, int* height, const void** pixels, int* pitch, int* bytesPerPixel) {
    BITMAP description{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof description, &description) != int(sizeof description)) {
        return -1;
    }
    if (width != nullptr) *width = description.bmWidth;
    if (height != nullptr) *height = std::labs(description.bmHeight);
    if (pixels != nullptr) *pixels = description.bmBits;
    if (pitch != nullptr) *pitch = description.bmWidthBytes;
    if (bytesPerPixel != nullptr) *bytesPerPixel = description.bmBitsPixel / 8;
    return 0;
}

int DeleteDIBGraph(HBITMAP bitmap) { return bitmap != nullptr && DeleteObject(bitmap) ? 0 : -1; }
