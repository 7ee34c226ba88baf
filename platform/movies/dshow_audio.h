// dshow_audio.h - the audio track of a movie on the default audio output (SDL2 audio).
//
// The decoder queues signed 16-bit interleaved chunks stamped with their stream time;
// the device callback plays them and steers the stream clock towards the time of what
// it plays, so the audio is the master clock. Sound that falls well behind the stream
// time is skipped and sound ahead of it waits, so the clock never has to run back.
// Seeking flushes the queue; chunks decoded for an earlier position (older generation)
// and samples before the seek target are dropped.
#pragma once

#include <cstdint>

#include "platform/movies/dshow_internal.h"

struct MovieAudioOutput;

// Opens an output near the movie's rate and channel count; none when no device opens.
MovieAudioOutput* OpenMovieAudio(int sampleRate, int channels, StreamClock* clock);
void CloseMovieAudio(MovieAudioOutput* out);
// The device's format: what the queued chunks must be.
int MovieAudioRate(const MovieAudioOutput* out);
int MovieAudioChannels(const MovieAudioOutput* out);
// Queues frames (channels samples each) starting at the given stream time.
void QueueMovieAudio(MovieAudioOutput* out, const int16_t* samples, int frames, STREAM_TIME time,
                     uint64_t generation);
// Frames queued and not yet played.
int64_t QueuedMovieAudioFrames(MovieAudioOutput* out);
// Drops everything queued; from now on only chunks of this generation at or after the
// time are played.
void FlushMovieAudio(MovieAudioOutput* out, uint64_t generation, STREAM_TIME from);
void SetMovieAudioRunning(MovieAudioOutput* out, bool running);
