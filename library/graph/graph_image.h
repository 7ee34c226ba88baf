// graph_image.h - a decoded image in memory, as every image loader fills it, and the
// helpers that make, fill, read and free one.
//
//     GraphImage image = {};
//     CreateRGB24GraphImage(256, 256, &image);     // pitch rounded up to 4 bytes
//     FillGraphImageColor(&image, 0, 0, 0, 0);
//     int graph = BuildGraphFromGraphImageDefault(&image);   // graph_create.h
//     FreeGraphImage(&image);                      // the graph keeps its own copy
#pragma once

#include "library/display/color_format.h"

struct GraphImage {
    ColorFormat format;
    int width;
    int height;
    int pitch;      // bytes from one row to the next; rows run top to bottom
    void* pixels;   // from the tracked allocator; owned by the record
};

// Pixels allocated (not cleared); 0, or -1 with the pixel pointer null.
int CreateARGB32GraphImage(int width, int height, GraphImage* image);  // pitch width x 4
int CreateRGB24GraphImage(int width, int height, GraphImage* image);   // pitch width x 3 rounded up to 4
// Frees the pixels and clears the record; 0. DisposeGraphImage is the same.
int FreeGraphImage(GraphImage* image);
int DisposeGraphImage(GraphImage* image);

// Every pixel set to the colour; images of 1 byte per pixel are left as they are.
int FillGraphImageColor(GraphImage* image, int r, int g, int b, int a);
// One pixel; coordinates outside the image are refused with -1.
int SetGraphImagePixel(GraphImage* image, int x, int y, int r, int g, int b, int a);
int GetGraphImagePixel(const GraphImage* image, int x, int y, int* r, int* g, int* b, int* a);
// Reverses every row in place; -1 for an empty image.
int MirrorGraphImage(GraphImage* image);
