// movie_session.h - a movie opened through the same steps a graph opens one with.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/movies/dshow.h"
#include "platform/kernel/kernel.h"
#include "support/movie_files.h"

struct MovieSession {
    FilterGraph* graph = nullptr;
    MultiMediaStream* stream = nullptr;
    MediaStream* video = nullptr;
    StreamSample* sample = nullptr;
    SampleSurface* surface = nullptr;
    HANDLE event = nullptr;
    int width = 0;
    int height = 0;

    // Graph, stream, video and audio (default renderer), file, a sample on a surface of
    // the given format (none: the stream's own), an event. Returns the first failure.
    HRESULT Open(const char* name, const DDPIXELFORMAT* format = nullptr, bool audio = true);
    // Releases every object, as a device loss or a close does.
    void Release();
    ~MovieSession() { Release(); }

    HRESULT Run() { return MultiMediaStreamSetState(stream, STREAMSTATE_RUN); }
    STREAM_TIME Time();
    // Starts an asynchronous update and, when it is pending, waits for its event (up to
    // five seconds) and returns how it finished.
    HRESULT NextFrame();
    // The surface's pixels, one value per pixel (2, 3 or 4 bytes, little-endian).
    std::vector<uint32_t> Pixels();
};
