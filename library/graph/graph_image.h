// graph_image.h - a decoded image in memory, as every image loader fills it.
#pragma once

#include "library/display/color_format.h"

struct GraphImage {
    ColorFormat format;
    int width;
    int height;
    int pitch;      // bytes from one row to the next; rows run top to bottom
    void* pixels;   // from the tracked allocator; owned by the record
};
