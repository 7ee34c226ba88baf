// graph_create.h - graphs made from decoded images: one graph per image, a grid of
// cell graphs cut from one image, the remembered source file, and the top-down
// Windows bitmap form of an image.
//
//     int graph = BuildGraphFromGraphImage(&image, nullptr, 1);   // pixels copied in
//     int cells[10];
//     CreateDivGraphFromGraphImage(&image, nullptr, 10, 10, 1, 32, 32, cells, 1);
//     FreeGraphImage(&image);
#pragma once

#include <cstdint>

#include "library/graph/graph_image.h"
#include "platform/gdi/gdi.h"

// The header block of an image's bitmap form: a 40-byte top-down BITMAPINFOHEADER
// (bit count 8 or 24) and 256 colour-table entries.
struct BmpInfoBlock {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    uint8_t spare[4];
};
static_assert(sizeof(BmpInfoBlock) == 1068, "the bitmap header block is 1068 bytes");

// -1 for an empty image or an alpha image of another size (without a message).
int BuildGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int hardwareRequest);
int BuildGraphFromGraphImageNoAlpha(GraphImage* image, int hardwareRequest);
int BuildGraphFromGraphImageDefault(GraphImage* image);
// An empty graph of the image's size with the image's alpha and palette options.
int CreateGraphForGraphImage(const GraphImage* image, const GraphImage* alphaImage, int hardwareRequest);

// Cells row by row (across, then down) until `count` are made; entries past the grid
// are set to -1. 0, or -1 with no cell left behind.
int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int count, int across, int down,
                                 int cellWidth, int cellHeight, int* handles, int hardwareRequest);

// Stores the file name (empty for null) and the file layer's current directory in the
// record; names that do not fit are cut at a character boundary. 0, -1 for a refused handle.
int RememberGraphSourceFile(int graph, const char* fileName);

// Fills the header block; *bits receives the image's own pixels (result 0) or a new
// tracked copy in the bitmap's row layout (result 1). -1 when an allocation fails.
int ConvertGraphImageToBmp(const GraphImage* image, BmpInfoBlock* header, void** bits, int copyFlag, int force24);
