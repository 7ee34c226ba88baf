// movie_record.h - the record of a movie that plays into a graph.
//
// A movie is a multimedia stream of the movie-stream layer (platform/movies/dshow.h) opened on
// a file: its primary video stream fills a sample surface, from which each frame is
// copied into the record's frame buffer and from there into the graph's pixels. The
// record lives in the movie table (movie.h) behind a MovieHandle.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"
#include "library/display/color_format.h"
#include "platform/wintypes.h"

struct FilterGraph;
struct MultiMediaStream;
struct MediaStream;
struct StreamSample;
struct SampleSurface;

enum MovieMode {
    MovieModeFrameCopy = 0,    // frames through a surface in the screen's (or software image's) format
    MovieModeOverlay = 1,      // shown through an overlay surface
    MovieModeFrameCopy24 = 2,  // frames through a 24-bit system-memory surface
};

enum { MovieFileNameCapacity = 260 };

struct MovieRecord {
    HandleRecordHead head;   // check number, set once the movie has opened
    RECT sampleRect;         // the frame within the sample surface

    // The stream objects; all null while released around a device loss.
    MultiMediaStream* stream;
    MediaStream* video;           // the primary video stream
    StreamSample* sample;
    SampleSurface* sampleSurface;
    FilterGraph* filterGraph;     // also the media control and media seeking

    int64_t timePerFrame;         // stream time (100 ns units)
    int64_t openTime;             // microseconds when the movie opened
    int64_t lastFramePresentCount;  // presents counted when the last frame was taken, -1 before
    int32_t lastFrameTime;        // milliseconds when the last frame was taken, -1 before
    int64_t stopPosition;         // the movie's length in stream time
    int32_t sampleInSystemMemory;
    int32_t frameWidth;           // the sample rectangle's size
    int32_t frameHeight;
    int32_t alphaMovieFlag;  // the alpha image stands right of the colour image in each frame
    int32_t playing;
    int32_t mode;            // MovieMode
    int64_t savedTime;       // stream time kept across a release, for re-opening
    int32_t tempCopyFlag;    // fileName is a temporary copy, deleted on close
    int32_t ownerGraph;      // the graph whose storage receives the frames, -1 until one owns it
    char fileName[MovieFileNameCapacity];  // the name opened (after a copy, the copy's)
    HANDLE frameEvent;       // manual-reset event set when an update has finished
    int32_t updatePending;

    ColorFormat frameFormat; // of the sample surface and the frame buffer
    int32_t frameBufferWidth;
    int32_t frameBufferHeight;
    int32_t frameBufferPitch;
    uint8_t* frameBuffer;    // the last frame copied out of the sample surface
};
