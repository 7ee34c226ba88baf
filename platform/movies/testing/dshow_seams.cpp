// dshow_seams.cpp - the scripted fake movie engine, the test clock and the failure and
// observation hooks of the movie-stream group.
#include "platform/movies/testing/dshow_seams.h"

#include <strings.h>

#include <algorithm>
#include <new>

namespace {

struct FakeFile {
    std::string name;
    int width, height;
    STREAM_TIME timePerFrame;
    std::vector<std::vector<uint32_t>> frames;
    bool hasAudio;
};

// One open fake movie.
struct FakePlayback {
    FakeFile file;
    StreamClock clock;
    bool running = false;
    int next = 0;                      // first frame not yet handed out
    UpdateRequest* request = nullptr;
};

std::mutex g_fakeMutex;   // guards everything below and every FakePlayback
std::vector<FakeFile> g_files;
std::vector<FakePlayback*> g_live;
bool g_hold = false;
FakeMovieCounters g_counters;

FakePlayback* Fake(MoviePlayback* p) { return reinterpret_cast<FakePlayback*>(p); }

int FrameCount(const FakePlayback* p) { return static_cast<int>(p->file.frames.size()); }

// The frame due at the stream time (the last one once the time is past the end).
int DueFrame(FakePlayback* p) {
    const STREAM_TIME now = StreamClockNow(p->clock);
    if (p->file.timePerFrame <= 0) return FrameCount(p) - 1;
    return static_cast<int>(std::min<STREAM_TIME>(now / p->file.timePerFrame, FrameCount(p) - 1));
}

void Deliver(FakePlayback* p, int index) {
    UpdateRequest* r = p->request;
    p->request = nullptr;
    {
        std::lock_guard<std::mutex> lock(r->surface->writeLock);
        CopyFrameIntoSurface(reinterpret_cast<const uint8_t*>(p->file.frames[index].data()), p->file.width * 4,
                             p->file.width, p->file.height, false, r->surface, r->rect);
    }
    p->next = index + 1;
    ++g_counters.framesDelivered;
    FinishUpdate(r, S_OK);
}

void PumpLocked(FakePlayback* p) {
    if (!p->request || g_hold) return;
    if (p->next >= FrameCount(p)) {
        UpdateRequest* r = p->request;
        p->request = nullptr;
        FinishUpdate(r, MS_S_ENDOFSTREAM);
        return;
    }
    const int due = DueFrame(p);
    if (due >= p->next) Deliver(p, due);
}

HRESULT FakeOpen(const char* name, bool, MovieInfo* info, MoviePlayback** out) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    for (const FakeFile& f : g_files) {
        if (strcasecmp(f.name.c_str(), name) != 0) continue;
        if (f.width < 1 || f.height < 1) return VFW_E_UNSUPPORTED_STREAM;
        auto* p = new (std::nothrow) FakePlayback;
        if (!p) return E_OUTOFMEMORY;
        p->file = f;
        info->width = f.width;
        info->height = f.height;
        info->timePerFrame = f.timePerFrame;
        info->duration = f.timePerFrame * static_cast<STREAM_TIME>(f.frames.size());
        info->hasAudio = f.hasAudio;
        g_live.push_back(p);
        ++g_counters.opens;
        g_counters.openedNames.push_back(name);
        *out = reinterpret_cast<MoviePlayback*>(p);
        return S_OK;
    }
    return MOVIE_E_FILE_NOT_FOUND;
}

void FakeClose(MoviePlayback* playback) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    FakePlayback* p = Fake(playback);
    g_live.erase(std::remove(g_live.begin(), g_live.end(), p), g_live.end());
    ++g_counters.closes;
    delete p;
}

void FakeSetRunning(MoviePlayback* playback, bool running) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    FakePlayback* p = Fake(playback);
    if (p->running == running) return;
    p->running = running;
    StreamClockSetRunning(p->clock, running);
    ++(running ? g_counters.runs : g_counters.pauses);
    if (running) PumpLocked(p);
}

STREAM_TIME FakeGetTime(MoviePlayback* playback) { return StreamClockNow(Fake(playback)->clock); }

void FakeSeek(MoviePlayback* playback, STREAM_TIME time) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    FakePlayback* p = Fake(playback);
    StreamClockSet(p->clock, time);
    p->next = p->file.timePerFrame > 0 ? static_cast<int>(std::min<STREAM_TIME>(time / p->file.timePerFrame,
                                                                                 FrameCount(p)))
                                       : 0;
    g_counters.seeks.push_back(time);
    PumpLocked(p);
}

HRESULT FakeBeginUpdate(MoviePlayback* playback, UpdateRequest* r) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    FakePlayback* p = Fake(playback);
    if (p->request) return MS_E_BUSY;
    if (!p->running) return MS_E_NOTRUNNING;
    ++g_counters.updates;
    if (p->next >= FrameCount(p)) return MS_S_ENDOFSTREAM;
    p->request = r;
    if (r->synchronous) Deliver(p, std::max(p->next, DueFrame(p)));
    else PumpLocked(p);
    return MS_S_PENDING;
}

void FakeCancelUpdate(MoviePlayback* playback, UpdateRequest* r) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    FakePlayback* p = Fake(playback);
    if (p->request == r) p->request = nullptr;
}

void FakePoll(MoviePlayback* playback) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    PumpLocked(Fake(playback));
}

const MovieEngineOps kFakeEngine = {
    FakeOpen, FakeClose, FakeSetRunning, FakeGetTime, FakeSeek, FakeBeginUpdate, FakeCancelUpdate, FakePoll,
};

}  // namespace

void UseFakeMovieEngine() { g_movieEngine.store(&kFakeEngine); }
void UseFfmpegMovieEngine() { g_movieEngine.store(&FfmpegMovieEngine); }

void AddFakeMovieFile(const char* name, int width, int height, STREAM_TIME timePerFrame,
                      std::vector<std::vector<uint32_t>> frames, bool hasAudio) {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    g_files.push_back({name, width, height, timePerFrame, std::move(frames), hasAudio});
}

void ClearFakeMovieFiles() {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    g_files.clear();
}

void HoldFakeMovieUpdates(bool hold) {
    {
        std::lock_guard<std::mutex> lock(g_fakeMutex);
        g_hold = hold;
    }
    if (!hold) PumpFakeMovies();
}

void PumpFakeMovies() {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    for (FakePlayback* p : g_live) PumpLocked(p);
}

FakeMovieCounters GetFakeMovieCounters() {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    return g_counters;
}

void ResetFakeMovieCounters() {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    g_counters = FakeMovieCounters{};
}

int LiveFakeMovies() {
    std::lock_guard<std::mutex> lock(g_fakeMutex);
    return static_cast<int>(g_live.size());
}

void FailMovieCall(MovieCall call, HRESULT result, int successesFirst) {
    SetInjectedMovieFailure(call, result, successesFirst);
}

void ClearMovieCallFailures() { ClearInjectedMovieFailures(); }

int64_t MovieAudioFramesPlayed() { return g_movieAudioFramesPlayed.load(); }
int MovieAudioDevicesOpen() { return g_movieAudioDevicesOpen.load(); }

void SetMovieDecodeHook(void (*hook)()) { g_movieDecodeHook.store(hook); }

void ResetMovieSeams() {
    UseFfmpegMovieEngine();
    ClearMovieCallFailures();
    SetMovieDecodeHook(nullptr);
    HoldFakeMovieUpdates(false);
    ClearFakeMovieFiles();
    ResetFakeMovieCounters();
}
