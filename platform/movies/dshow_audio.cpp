// dshow_audio.cpp - movie sound through an SDL2 audio device of its own.
#include "platform/movies/dshow_audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>

std::atomic<int64_t> g_movieAudioFramesPlayed{0};
std::atomic<int> g_movieAudioDevicesOpen{0};

namespace {
struct AudioChunk {
    STREAM_TIME time;              // stream time of samples[0]
    std::vector<int16_t> samples;  // interleaved
    size_t offsetFrames = 0;       // frames already played
};
}  // namespace

struct MovieAudioOutput {
    SDL_AudioDeviceID device = 0;
    int rate = 0;
    int channels = 0;
    StreamClock* clock = nullptr;
    std::mutex m;
    std::deque<AudioChunk> chunks;
    int64_t queuedFrames = 0;
    uint64_t generation = 0;
    STREAM_TIME playFrom = 0;
};

namespace {

STREAM_TIME FramesToTime(int64_t frames, int rate) { return frames * 10000000 / rate; }
int64_t TimeToFrames(STREAM_TIME time, int rate) { return time * rate / 10000000; }

// Sound further than this from the stream time is not steered onto: sound that came
// too late (the decoder fell behind) is dropped, and sound still to come waits behind
// silence, so the clock only ever follows the sound across small gaps.
constexpr STREAM_TIME kSyncWindow = 500000;   // 50 ms

void FillDevice(void* userdata, Uint8* stream, int length) {
    auto* out = static_cast<MovieAudioOutput*>(userdata);
    const int frameBytes = 2 * out->channels;
    const int64_t wanted = length / frameBytes;
    const STREAM_TIME start = StreamClockNow(*out->clock);   // the stream time this buffer starts at
    int64_t written = 0;
    int64_t played = 0;
    STREAM_TIME heard = -1;   // the stream time the sound puts the buffer's start at
    {
        std::lock_guard<std::mutex> lock(out->m);
        while (written < wanted && !out->chunks.empty()) {
            AudioChunk& c = out->chunks.front();
            const int64_t left = static_cast<int64_t>(c.samples.size() / out->channels - c.offsetFrames);
            const STREAM_TIME at = c.time + FramesToTime(static_cast<int64_t>(c.offsetFrames), out->rate);
            const STREAM_TIME slot = start + FramesToTime(written, out->rate);
            if (at < slot - kSyncWindow) {   // late: skip up to the stream time
                const int64_t n = std::clamp<int64_t>(TimeToFrames(slot - at, out->rate), 1, left);
                c.offsetFrames += n;
                out->queuedFrames -= n;
            } else if (at > slot + kSyncWindow) {   // early: silence until it is due
                const int64_t n = std::clamp<int64_t>(TimeToFrames(at - slot, out->rate), 1, wanted - written);
                std::memset(stream + written * frameBytes, 0, static_cast<size_t>(n) * frameBytes);
                written += n;
                continue;
            } else {
                if (heard < 0) heard = at - FramesToTime(written, out->rate);
                const int64_t n = std::min(left, wanted - written);
                std::memcpy(stream + written * frameBytes, c.samples.data() + c.offsetFrames * out->channels,
                            static_cast<size_t>(n) * frameBytes);
                c.offsetFrames += n;
                written += n;
                played += n;
                out->queuedFrames -= n;
            }
            if (c.offsetFrames * out->channels == c.samples.size()) out->chunks.pop_front();
        }
    }
    std::memset(stream + written * frameBytes, 0, static_cast<size_t>(length - written * frameBytes));
    if (played > 0) {
        g_movieAudioFramesPlayed.fetch_add(played);
        StreamClockFollow(*out->clock, heard);   // what is heard now leads the stream time
    }
}

}  // namespace

MovieAudioOutput* OpenMovieAudio(int sampleRate, int channels, StreamClock* clock) {
    if (TakeInjectedMovieFailure(MovieCall::AudioDevice)) return nullptr;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    auto* out = new (std::nothrow) MovieAudioOutput;
    if (!out) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = std::clamp(sampleRate, 8000, 192000);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(std::clamp(channels, 1, 2));
    // About 20 ms per callback: the clock is moved at each one.
    want.samples = 256;
    while (want.samples < 4096 && want.samples * 50 < want.freq) want.samples *= 2;
    want.callback = FillDevice;
    want.userdata = out;
    out->clock = clock;
    out->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                      SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (out->device == 0 || have.channels < 1 || have.freq < 1) {
        if (out->device) SDL_CloseAudioDevice(out->device);
        delete out;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    out->rate = have.freq;
    out->channels = have.channels;
    g_movieAudioDevicesOpen.fetch_add(1);
    return out;   // starts paused
}

void CloseMovieAudio(MovieAudioOutput* out) {
    if (!out) return;
    SDL_CloseAudioDevice(out->device);   // waits for the callback to finish
    delete out;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_movieAudioDevicesOpen.fetch_sub(1);
}

int MovieAudioRate(const MovieAudioOutput* out) { return out->rate; }
int MovieAudioChannels(const MovieAudioOutput* out) { return out->channels; }

void QueueMovieAudio(MovieAudioOutput* out, const int16_t* samples, int frames, STREAM_TIME time,
                     uint64_t generation) {
    std::lock_guard<std::mutex> lock(out->m);
    if (generation != out->generation || frames <= 0) return;
    // Samples before the position played from (after a seek) are not heard.
    int skip = 0;
    if (time < out->playFrom) {
        skip = static_cast<int>(std::min<int64_t>(frames, (out->playFrom - time) * out->rate / 10000000));
        if (skip == frames) return;
    }
    AudioChunk c;
    c.time = time + FramesToTime(skip, out->rate);
    c.samples.assign(samples + static_cast<size_t>(skip) * out->channels,
                     samples + static_cast<size_t>(frames) * out->channels);
    out->queuedFrames += frames - skip;
    out->chunks.push_back(std::move(c));
}

int64_t QueuedMovieAudioFrames(MovieAudioOutput* out) {
    std::lock_guard<std::mutex> lock(out->m);
    return out->queuedFrames;
}

void FlushMovieAudio(MovieAudioOutput* out, uint64_t generation, STREAM_TIME from) {
    std::lock_guard<std::mutex> lock(out->m);
    out->chunks.clear();
    out->queuedFrames = 0;
    out->generation = generation;
    out->playFrom = from;
}

void SetMovieAudioRunning(MovieAudioOutput* out, bool running) {
    SDL_PauseAudioDevice(out->device, running ? 0 : 1);   // waits for a running callback
}
