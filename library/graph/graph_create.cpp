// graph_create.cpp - graphs made from decoded images, divided images, the remembered
// source file and the bitmap form of an image (see graph_create.h).
#include "library/graph/graph_create.h"

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/text.h"
#include "library/d3d/d3d.h"
#include "library/display/pixel_converter.h"
#include "library/file/file_backend.h"
#include "library/graph/graph_handles.h"

int CreateGraphForGraphImage(const GraphImage* image, const GraphImage* alphaImage, int hardwareRequest) {
    G_D3D_EndScene();
    WaitWhileInactive();
    if (image->width <= 0 || image->height <= 0) return -1;  // nothing could be drawn from it
    if (alphaImage != nullptr && (alphaImage->width != image->width || alphaImage->height != image->height)) {
        return -1;
    }
    const int alphaFlag = image->format.alphaWidth != 0 || alphaImage != nullptr ? 1 : 0;
    const int paletteFlag = image->format.bytesPerPixel == 1 && alphaFlag == 0 ? 1 : 0;
    return CreateGraphOfSize(image->width, image->height, hardwareRequest, alphaFlag, paletteFlag);
}

int BuildGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int hardwareRequest) {
    UpdateColorFormatUnusedMask(&image->format);
    if (alphaImage != nullptr) UpdateColorFormatUnusedMask(&alphaImage->format);
    G_D3D_EndScene();
    const int graph = CreateGraphForGraphImage(image, alphaImage, hardwareRequest);
    if (graph == -1) return -1;
    TransferImageToGraph(nullptr, 0, 0, nullptr, 0, image, alphaImage, 0, 0, graph, 0);
    return graph;
}

int BuildGraphFromGraphImageNoAlpha(GraphImage* image, int hardwareRequest) {
    return BuildGraphFromGraphImage(image, nullptr, hardwareRequest);
}

int BuildGraphFromGraphImageDefault(GraphImage* image) { return BuildGraphFromGraphImage(image, nullptr, 1); }

int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int count, int across, int down,
                                 int cellWidth, int cellHeight, int* handles, int hardwareRequest) {
    const int base = BuildGraphFromGraphImage(image, alphaImage, hardwareRequest);
    if (base == -1) return -1;
    int made = 0;
    for (int row = 0; row < down && made < count; row++) {
        for (int column = 0; column < across && made < count; column++) {
            const int cell = DeriveSubGraphCore(column * cellWidth, row * cellHeight, cellWidth, cellHeight, base);
            if (cell == -1) {
                WriteLogText("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
                for (int i = 0; i < made; i++) DeleteGraphHandle(handles[i], 0);
                for (int i = 0; i < count; i++) handles[i] = -1;
                DeleteGraphHandle(base, 0);
                return -1;
            }
            handles[made++] = cell;
        }
    }
    // Entries the grid could not fill name no graph.
    for (int i = made; i < count; i++) handles[i] = -1;
    DeleteGraphHandle(base, 0);
    return 0;
}

int RememberGraphSourceFile(int graph, const char* fileName) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    char directory[GraphDirectoryCapacity + 4];
    FileBackendGetDir(directory, sizeof directory);
    CopyTextBounded(record->directory, sizeof record->directory, directory);
    CopyTextBounded(record->fileName, sizeof record->fileName, fileName != nullptr ? fileName : "");
    return 0;
}

int ConvertGraphImageToBmp(const GraphImage* image, BmpInfoBlock* block, void** bits, int copyFlag, int force24) {
    std::memset(block, 0, sizeof *block);
    BITMAPINFOHEADER& h = block->header;
    h.biSize = 40;
    h.biWidth = image->width;
    h.biHeight = -image->height;
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    const ColorFormat& f = image->format;

    if (f.bitsPerPixel == 8 && !force24) {
        h.biBitCount = 8;
        std::memcpy(block->colors, f.palette, sizeof block->colors);
        const int rowSize = (image->width + 3) / 4 * 4;
        if (!copyFlag && rowSize == image->pitch) {
            *bits = image->pixels;
            return 0;
        }
        uint8_t* copy = static_cast<uint8_t*>(ZqAlloc(size_t(rowSize) * size_t(image->height)));
        if (copy == nullptr) return -1;
        for (int y = 0; y < image->height; y++) {
            std::memcpy(copy + ptrdiff_t(y) * rowSize, static_cast<const uint8_t*>(image->pixels) + ptrdiff_t(y) * image->pitch,
                        size_t(image->width));
        }
        *bits = copy;
        return 1;
    }

    h.biBitCount = 24;
    const int rowSize = (image->width * 3 + 3) / 4 * 4;
    const bool plain24 = f.bitsPerPixel == 24 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF;
    if (plain24 && !copyFlag && rowSize == image->pitch) {
        *bits = image->pixels;
        return 0;
    }
    uint8_t* copy = static_cast<uint8_t*>(ZqAlloc(size_t(rowSize) * size_t(image->height)));
    if (copy == nullptr) return -1;
    if (plain24) {
        for (int y = 0; y < image->height; y++) {
            std::memcpy(copy + ptrdiff_t(y) * rowSize, static_cast<const uint8_t*>(image->pixels) + ptrdiff_t(y) * image->pitch,
                        size_t(image->width) * 3);
        }
    } else {
        ColorFormat rgb24;
        InitRgb24ColorFormat(&rgb24);
        const RECT whole{0, 0, image->width, image->height};
        ConvertPixelsBetweenFormats(copy, rowSize, &rgb24, image->pixels, image->pitch, &f, nullptr, 0, nullptr, 0, 0,
                                    &whole, 0, 0, 0, DitherNone, 0, 0, 0);
    }
    *bits = copy;
    return 1;
}
