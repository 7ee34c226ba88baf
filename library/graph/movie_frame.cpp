// movie_frame.cpp - bringing a movie's frames into its graph: the asynchronous fetch
// with its frame event, the copy out of the sample surface and the transfer into the
// graph's pixels (see movie.h).
#include <cstring>

#include "library/core/timing.h"
#include "library/d3d/d3d.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/graph/graph_handles.h"
#include "library/graph/movie.h"
#include "platform/movies/dshow.h"
#include "platform/kernel/kernel.h"

namespace {

// Copies the finished frame into the frame buffer and on into the graph.
void TakeMovieFrame(MovieRecord* movie, GraphRecord* graph) {
    void* bits = nullptr;
    LONG pitch = 0;
    if (movie->frameBuffer != nullptr && SampleSurfaceLock(movie->sampleSurface, &bits, &pitch) == S_OK) {
        const int bytes = movie->frameFormat.bytesPerPixel;
        const uint8_t* row = static_cast<const uint8_t*>(bits) + intptr_t(movie->sampleRect.top) * pitch +
                             intptr_t(movie->sampleRect.left) * bytes;
        for (int y = 0; y < movie->frameHeight; y++) {
            std::memcpy(movie->frameBuffer + intptr_t(y) * movie->frameBufferPitch, row + intptr_t(y) * pitch,
                        size_t(movie->frameWidth) * size_t(bytes));
        }
        SampleSurfaceUnlock(movie->sampleSurface);
    }
    if (movie->mode != MovieModeOverlay) {
        if (graph->hardwareFlag) {
            G_D3D_TransferMovieFrameToGraph(movie, graph);
        } else {
            TransferMovieFrameToGraph(movie, graph);
        }
    }
    movie->lastFramePresentCount = int64_t(GetPresentCount());
    movie->lastFrameTime = GetTimeMillisecondsCore(0);
    ResetEvent(movie->frameEvent);
    movie->updatePending = 0;
}

// On an 8-bit screen the sample surface's indices stand for the screen palette: it gets
// the palette in force at each update (the movie layer builds its colour table again
// only when the entries changed; a frame already written keeps the entries it had).
void HandScreenPaletteToSample(const MovieRecord* movie) {
    if (movie->frameFormat.bitsPerPixel != 8) return;
    SampleSurfaceSetPalette(movie->sampleSurface, reinterpret_cast<const PALETTEENTRY*>(g_Screen.paletteEntries));
}

// A frame was taken recently: none was presented since, and 18 ms have not passed.
bool FrameTakenRecently(const MovieRecord* movie) {
    return int64_t(GetPresentCount()) == movie->lastFramePresentCount &&
           GetTimeMillisecondsCore(0) - movie->lastFrameTime < MovieRefreshMilliseconds;
}

}  // namespace

int UpdateMovieFrame(int graph, int synchronous) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    if (record->movieHandle == -1) return 0;
    MovieRecord* movie = GetMovieRecord(record->movieHandle);
    if (movie == nullptr) return -1;
    if (movie->sampleSurface == nullptr) return 0;
    // A graph derived from the movie's graph shares its pixels: the whole frame goes
    // into the owner's storage, so every graph shows its own rectangle of it.
    if (!record->movieOwner && movie->ownerGraph != -1) {
        if (GraphRecord* owner = GetGraphRecord(movie->ownerGraph)) record = owner;
    }

    HandScreenPaletteToSample(movie);  // before the state query, which may let a due frame in
    STREAM_STATE state = STREAMSTATE_STOP;
    MultiMediaStreamGetState(movie->stream, &state);
    int framesTaken = 0;
    if (!synchronous) {
        if (!movie->playing || state != STREAMSTATE_RUN || FrameTakenRecently(movie)) return 0;
        if (movie->updatePending) {
            if (WaitForSingleObject(movie->frameEvent, 0) != WAIT_OBJECT_0) return 0;
            // The event is set however the update ended; only a frame is taken.
            if (StreamSampleCompletionStatus(movie->sample) != S_OK) {
                ResetEvent(movie->frameEvent);
                movie->updatePending = 0;
                movie->playing = 0;
                return 0;
            }
            TakeMovieFrame(movie, record);
            framesTaken = 1;
        }
    }
    // Each frame taken asynchronously is followed at once by the request for the next,
    // so that it decodes while the game works; no more than two frames per call.
    for (;;) {
        const HRESULT result = synchronous ? StreamSampleUpdate(movie->sample, 0, nullptr)
                                           : StreamSampleUpdate(movie->sample, SSUPDATE_ASYNC, movie->frameEvent);
        if (result == MS_S_PENDING) {
            movie->updatePending = 1;
            return 0;
        }
        if (result != S_OK) {
            movie->playing = 0;
            return 0;
        }
        TakeMovieFrame(movie, record);
        if (synchronous || ++framesTaken >= 2) return 0;
    }
}

// Movies never show through an overlay here: the display layer has no overlay
// surfaces, so every movie copies its frames into its graph and there is nothing to
// place on the screen.
int UpdateMovieOverlay(int, int, int, MovieRecord*, int) { return 0; }
