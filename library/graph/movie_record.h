// movie_record.h - the record of a movie that plays into a graph.
//
// Only the fields the frame transfer into a graph's pieces reads are declared so far;
// the movie code completes the record (its stream objects, timing and file fields).
#pragma once

#include <cstdint>

#include "library/display/color_format.h"

enum MovieMode {
    MovieModeFrameCopy = 0,    // frames through a surface in the screen's (or software image's) format
    MovieModeOverlay = 1,      // shown through an overlay surface
    MovieModeFrameCopy24 = 2,  // frames through a 24-bit system-memory surface
};

struct MovieRecord {
    int32_t alphaMovieFlag;  // the alpha image stands right of the colour image in each frame
    int32_t mode;            // MovieMode
    ColorFormat frameFormat; // of the sample surface and the frame buffer
    int32_t frameBufferWidth;
    int32_t frameBufferHeight;
    int32_t frameBufferPitch;
    uint8_t* frameBuffer;    // the last frame copied out of the sample surface
};
