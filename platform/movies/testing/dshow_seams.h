// dshow_seams.h - test seams of the movie-stream group.
//
// A scripted fake engine stands in for FFmpeg so that code built on the movie streams
// can be tested frame by frame: files are registered by name with their frames; frame i
// is due at i * timePerFrame of stream time; the stream time runs on the platform clock,
// so the virtual clock (time_seams.h) drives it. An asynchronous update finishes at once
// when a new frame is due (its event is set before StreamSampleUpdate returns), and
// otherwise at the first MultiMediaStreamGetState, run, seek or PumpFakeMovies after
// the clock has reached a new frame, as if a decoder had worked in between.
// HoldFakeMovieUpdates keeps updates pending until released. After the last frame an
// update returns MS_S_ENDOFSTREAM. A synchronous update takes the next frame at once.
// Failure injection makes any setup call fail with a chosen result (CreateFilterGraph
// failing with REGDB_E_CLASSNOTREG is a machine without the service).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/movies/dshow.h"
#include "platform/movies/dshow_internal.h"

// ---- The fake engine ------------------------------------------------------------------

// Files opened from now on use the fake engine / FFmpeg again.
void UseFakeMovieEngine();
void UseFfmpegMovieEngine();

// Registers a movie under the library's name (compared without case). Each frame is
// width * height XRGB8888 values (0x00RRGGBB). A width or height of 0 makes the file
// open fail as a file without a usable video stream.
void AddFakeMovieFile(const char* name, int width, int height, STREAM_TIME timePerFrame,
                      std::vector<std::vector<uint32_t>> frames, bool hasAudio = false);
void ClearFakeMovieFiles();

// Keeps asynchronous updates pending (true) or lets them finish as frames fall due.
void HoldFakeMovieUpdates(bool hold);
// Finishes pending updates whose frame is due (setting the clock does this too).
void PumpFakeMovies();

// What the fake engine was asked to do since the last reset.
struct FakeMovieCounters {
    int opens = 0;              // successful opens
    int closes = 0;
    int runs = 0;               // SetState(RUN) that started a stopped stream
    int pauses = 0;             // stops and pauses of a running stream
    int updates = 0;            // updates started (pending or finished at once)
    int framesDelivered = 0;
    std::vector<std::string> openedNames;
    std::vector<STREAM_TIME> seeks;
};
FakeMovieCounters GetFakeMovieCounters();
void ResetFakeMovieCounters();
// Fake movies open right now.
int LiveFakeMovies();

// ---- Failures and observation ---------------------------------------------------------

// The call fails with result after successesFirst calls have succeeded, until cleared.
void FailMovieCall(MovieCall call, HRESULT result, int successesFirst = 0);
void ClearMovieCallFailures();

// Frames of movie sound handed to audio devices so far, and audio devices open now.
int64_t MovieAudioFramesPlayed();
int MovieAudioDevicesOpen();

// The FFmpeg decoding thread calls the hook before each packet it reads or decodes
// (outside its lock).
void SetMovieDecodeHook(void (*hook)());

// Back to FFmpeg, no failures, no hook, no fake files, nothing held.
void ResetMovieSeams();
