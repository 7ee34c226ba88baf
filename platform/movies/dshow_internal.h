// dshow_internal.h - the pieces of the movie-stream group shared by its own files and
// its test seams: the engine table behind a multimedia stream, update requests, the
// stream clock, surfaces and pixel packing, and the failure-injection points.
//
// The front (dshow.cpp) owns the objects, their reference counts, argument checks and
// events; an engine (FFmpeg in dshow_ffmpeg.cpp, or the scripted fake of the test seams)
// decodes and fills the surfaces. One engine table is chosen when a file is opened.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/movies/dshow.h"

// ---- Surfaces -------------------------------------------------------------------------

struct SampleSurface {
    std::atomic<ULONG> refs{1};
    SampleSurfaceDesc desc{};
    std::vector<uint8_t> pixels;    // desc.pitch * desc.height bytes
    std::mutex writeLock;           // held while a frame is written or the caller has it locked
    std::atomic<bool> lockedByCaller{false};

    // Palette surfaces: the entries the caller set (0x00RRGGBB) and a count of their
    // changes, under paletteLock; the writer keeps the nearest entry of every 15-bit
    // colour, rebuilt under writeLock by the first frame written after a change.
    std::mutex paletteLock;
    uint32_t palette[256] = {};
    uint64_t paletteChanges = 0;
    uint64_t nearestBuiltFor = UINT64_MAX;   // paletteChanges when nearest was built
    std::vector<uint8_t> nearest;            // 32768 indices, by 0RRRRRGGGGGBBBBB
};

// Copies a frame into a surface rectangle through the layer's pixel converter, or, for
// a palette surface, as the indices of the nearest palette entries. The frame's rows
// are B, G, R, X bytes; with opaque the X byte is an alpha of 255 (as the frame scaler
// writes it), else it is ignored. The caller holds surface->writeLock.
void CopyFrameIntoSurface(const uint8_t* src, int srcPitch, int width, int height, bool opaque,
                          SampleSurface* surface, const RECT& rect);
// Whether a pixel format can be written by CopyFrameIntoSurface.
bool IsWritableSurfaceFormat(const DDPIXELFORMAT& format);
bool IsPaletteSurfaceFormat(const DDPIXELFORMAT& format);
// Formats the frame scaler writes straight into the surface: XRGB8888 (B, G, R, X
// bytes, X written 0) and 24-bit B, G, R.
bool IsXrgb8888Format(const DDPIXELFORMAT& format);
bool IsBgr24Format(const DDPIXELFORMAT& format);

// ---- Update requests ------------------------------------------------------------------

// One update of a sample, from StreamSampleUpdate until the engine finishes it.
struct UpdateRequest {
    std::mutex m;
    std::condition_variable done;
    SampleSurface* surface = nullptr;   // destination, kept alive by the sample
    RECT rect{};
    HANDLE event = nullptr;             // kernel event set when finished
    bool synchronous = false;           // the caller waits; a stopped stream ends it
    HRESULT status = S_OK;              // MS_S_PENDING while the engine holds it
};

// Called by an engine when a pending update is finished (frame written, end of stream,
// or stopped): stores the result, signals the event and wakes a synchronous caller.
void FinishUpdate(UpdateRequest* request, HRESULT status);

// ---- Stream clock ---------------------------------------------------------------------

// Microseconds of the platform's high-resolution counter (the virtual clock in tests).
int64_t MoviePlatformMicroseconds();

// Stream time that runs on the platform clock from a reference point. While a sound
// track plays, the audio output leads it: each report of the sound's position turns
// the clock's speed a little up or down (by a tenth at most) so that it drifts onto the
// sound instead of jumping, and the time never runs backwards. Only a seek sets the
// time outright.
struct StreamClock {
    std::mutex m;
    bool running = false;
    STREAM_TIME base = 0;       // stream time at the reference point
    int64_t referenceUs = 0;    // platform microseconds at the reference point
    int speedPerMille = 1000;   // stream time per platform time since the reference point
};
STREAM_TIME StreamClockNow(StreamClock& clock);
void StreamClockSetRunning(StreamClock& clock, bool running);
// Seeking: the time becomes the given one at once, at normal speed.
void StreamClockSet(StreamClock& clock, STREAM_TIME time);
// The sound now being played is at the given stream time: steer towards it.
void StreamClockFollow(StreamClock& clock, STREAM_TIME soundTime);

// ---- Engines --------------------------------------------------------------------------

struct MoviePlayback;   // an engine's open movie

struct MovieInfo {
    int width = 0;
    int height = 0;
    STREAM_TIME timePerFrame = 0;   // 0 when the movie does not say
    STREAM_TIME duration = 0;
    bool hasAudio = false;
};

struct MovieEngineOps {
    // Opens a movie by the library's name; playAudio when the audio stream was added
    // with the default renderer. Fills info and returns S_OK, or returns a failure.
    HRESULT (*open)(const char* name, bool playAudio, MovieInfo* info, MoviePlayback** playback);
    void (*close)(MoviePlayback* playback);
    void (*setRunning)(MoviePlayback* playback, bool running);
    STREAM_TIME (*getTime)(MoviePlayback* playback);
    void (*seek)(MoviePlayback* playback, STREAM_TIME time);
    // Starts an update: returns MS_S_PENDING and later calls FinishUpdate, or returns
    // the final result at once without calling it.
    HRESULT (*beginUpdate)(MoviePlayback* playback, UpdateRequest* request);
    // Withdraws a pending update; once it returns the engine no longer touches it.
    void (*cancelUpdate)(MoviePlayback* playback, UpdateRequest* request);
    // Called when the caller asks for the stream state (each frame); may be null.
    void (*poll)(MoviePlayback* playback);
};

extern const MovieEngineOps FfmpegMovieEngine;
// The engine new files are opened with (tests install the fake one).
extern std::atomic<const MovieEngineOps*> g_movieEngine;

// Resolves the library's name of a file (Shift-JIS, '\' or '/', drive letter, any
// case) to an existing Linux path; false when no such file exists.
bool ResolveMoviePath(const char* name, std::string* path);

// ---- Failure injection ----------------------------------------------------------------

enum class MovieCall {
    CreateFilterGraph,
    CreateMultiMediaStream,
    Initialize,
    AddVideoStream,
    AddAudioStream,
    OpenFile,
    GetMediaStream,
    GetFormat,
    CreateSampleSurface,
    CreateSample,
    GetSurface,
    GetStopPosition,
    Update,
    Seek,
    AudioDevice,      // the audio output cannot be opened: the video clock is used
    Count
};

// The failure injected for a call, or S_OK. Each call site asks once per call.
HRESULT TakeInjectedMovieFailure(MovieCall call);
void SetInjectedMovieFailure(MovieCall call, HRESULT result, int successesFirst);
void ClearInjectedMovieFailures();

// ---- Observation for tests ------------------------------------------------------------

// Bumped by the FFmpeg engine: frames of audio handed to the device, and whether the
// last opened movie's audio device opened.
extern std::atomic<int64_t> g_movieAudioFramesPlayed;
extern std::atomic<int> g_movieAudioDevicesOpen;
// When set, the decoding thread calls it before each packet it reads or decodes (outside
// its lock).
extern std::atomic<void (*)()> g_movieDecodeHook;
