// dshow.cpp - the movie-stream objects: filter graph, multimedia stream, video stream and
// stream samples, with their reference counts and argument checks. Decoding is left to
// the engine chosen when the file is opened (see dshow_internal.h).
#include <memory>
#include <new>

#include "platform/movies/dshow_internal.h"

// ---- Failure injection ----------------------------------------------------------------

namespace {
struct InjectedFailure {
    std::atomic<HRESULT> result{S_OK};
    std::atomic<int> successesFirst{0};
};
InjectedFailure g_injected[static_cast<int>(MovieCall::Count)];
}  // namespace

HRESULT TakeInjectedMovieFailure(MovieCall call) {
    InjectedFailure& f = g_injected[static_cast<int>(call)];
    const HRESULT hr = f.result.load();
    if (hr == S_OK) return S_OK;
    int left = f.successesFirst.load();
    while (left > 0)
        if (f.successesFirst.compare_exchange_weak(left, left - 1)) return S_OK;
    return hr;
}

void SetInjectedMovieFailure(MovieCall call, HRESULT result, int successesFirst) {
    InjectedFailure& f = g_injected[static_cast<int>(call)];
    f.successesFirst.store(successesFirst);
    f.result.store(result);
}

void ClearInjectedMovieFailures() {
    for (InjectedFailure& f : g_injected) {
        f.result.store(S_OK);
        f.successesFirst.store(0);
    }
}

std::atomic<const MovieEngineOps*> g_movieEngine{&FfmpegMovieEngine};

// ---- Objects --------------------------------------------------------------------------

namespace {

// What a multimedia stream, its graph and its video stream share: the open movie.
struct MovieCore {
    std::mutex m;
    bool initialized = false;
    bool videoAdded = false;
    bool audioAdded = false;
    bool audioRenderer = false;
    const MovieEngineOps* ops = nullptr;
    MoviePlayback* playback = nullptr;   // set once by OpenFile
    MovieInfo info;
    STREAM_STATE state = STREAMSTATE_STOP;

    ~MovieCore() {
        if (playback) ops->close(playback);
    }
};
using CorePtr = std::shared_ptr<MovieCore>;

// The open movie of a core, or none; the caller's reference keeps it alive.
MoviePlayback* PlaybackOf(MovieCore& core, const MovieEngineOps** ops) {
    std::lock_guard<std::mutex> lock(core.m);
    *ops = core.ops;
    return core.playback;
}

template <typename T>
void AddRef(T* object) {
    object->refs.fetch_add(1);
}

template <typename T>
ULONG DropRef(T* object) {
    if (!object) return 0;
    const ULONG left = object->refs.fetch_sub(1) - 1;
    if (left == 0) delete object;
    return left;
}

}  // namespace

struct FilterGraph {
    std::atomic<ULONG> refs{1};
    std::mutex m;
    CorePtr core;   // set when a multimedia stream is initialised on the graph
};

struct MediaStream {
    std::atomic<ULONG> refs{1};
    CorePtr core;
};

struct MultiMediaStream {
    std::atomic<ULONG> refs{1};
    CorePtr core;
    FilterGraph* graph = nullptr;   // one reference, from Initialize
    MediaStream* video = nullptr;   // one reference, from AddMediaStream
    ~MultiMediaStream() {
        DropRef(video);
        DropRef(graph);
    }
};

struct StreamSample {
    std::atomic<ULONG> refs{1};
    MediaStream* media = nullptr;
    SampleSurface* surface = nullptr;
    RECT rect{};
    UpdateRequest request;
    ~StreamSample() {
        const MovieEngineOps* ops;
        MoviePlayback* playback = PlaybackOf(*media->core, &ops);
        bool pending;
        {
            std::lock_guard<std::mutex> lock(request.m);
            pending = request.status == MS_S_PENDING;
        }
        if (pending && playback) ops->cancelUpdate(playback, &request);
        SampleSurfaceRelease(surface);
        DropRef(media);
    }
};

// ---- Creation and setup ---------------------------------------------------------------

HRESULT CreateFilterGraph(FilterGraph** graph) {
    if (!graph) return E_POINTER;
    *graph = nullptr;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::CreateFilterGraph)) return hr;
    *graph = new (std::nothrow) FilterGraph;
    return *graph ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateMultiMediaStream(MultiMediaStream** stream) {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::CreateMultiMediaStream)) return hr;
    auto* s = new (std::nothrow) MultiMediaStream;
    if (!s) return E_OUTOFMEMORY;
    s->core = std::shared_ptr<MovieCore>(new (std::nothrow) MovieCore);
    if (!s->core) {
        delete s;
        return E_OUTOFMEMORY;
    }
    *stream = s;
    return S_OK;
}

HRESULT MultiMediaStreamInitialize(MultiMediaStream* stream, STREAM_TYPE type, DWORD, FilterGraph* graph) {
    if (!stream) return E_POINTER;
    if (type != STREAMTYPE_READ) return E_INVALIDARG;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::Initialize)) return hr;
    std::lock_guard<std::mutex> lock(stream->core->m);
    if (stream->core->initialized) return MS_E_SOURCEALREADYDEFINED;
    if (graph) {
        std::lock_guard<std::mutex> graphLock(graph->m);
        if (graph->core) return E_INVALIDARG;   // the graph already carries a stream
        graph->core = stream->core;
        AddRef(graph);
        stream->graph = graph;
    }
    stream->core->initialized = true;
    return S_OK;
}

HRESULT MultiMediaStreamAddMediaStream(MultiMediaStream* stream, MediaPurposeId purpose, DWORD flags) {
    if (!stream) return E_POINTER;
    if (purpose != MSPID_PrimaryVideo && purpose != MSPID_PrimaryAudio) return MS_E_PURPOSEID;
    if (HRESULT hr = TakeInjectedMovieFailure(purpose == MSPID_PrimaryVideo ? MovieCall::AddVideoStream
                                                                            : MovieCall::AddAudioStream))
        return hr;
    MovieCore& core = *stream->core;
    std::lock_guard<std::mutex> lock(core.m);
    if (!core.initialized) return MS_E_NOTINIT;
    if (core.playback) return MS_E_SOURCEALREADYDEFINED;
    if (purpose == MSPID_PrimaryVideo) {
        if (core.videoAdded) return MS_E_SOURCEALREADYDEFINED;
        auto* media = new (std::nothrow) MediaStream;
        if (!media) return E_OUTOFMEMORY;
        media->core = stream->core;
        stream->video = media;
        core.videoAdded = true;
        return S_OK;
    }
    // Audio is only played, never handed to the caller, so it needs the renderer.
    if (!(flags & AMMSF_ADDDEFAULTRENDERER)) return E_NOTIMPL;
    if (core.audioAdded) return MS_E_SOURCEALREADYDEFINED;
    core.audioAdded = true;
    core.audioRenderer = true;
    return S_OK;
}

HRESULT MultiMediaStreamOpenFile(MultiMediaStream* stream, const char* name, DWORD) {
    if (!stream || !name) return E_POINTER;
    MovieCore& core = *stream->core;
    std::lock_guard<std::mutex> lock(core.m);
    if (!core.initialized) return MS_E_NOTINIT;
    if (core.playback) return MS_E_SOURCEALREADYDEFINED;
    if (!core.videoAdded) return MS_E_NOSTREAM;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::OpenFile)) return hr;
    const MovieEngineOps* ops = g_movieEngine.load();
    MovieInfo info;
    MoviePlayback* playback = nullptr;
    const HRESULT hr = ops->open(name, core.audioRenderer, &info, &playback);
    if (FAILED(hr)) return hr;
    core.ops = ops;
    core.playback = playback;
    core.info = info;
    core.state = STREAMSTATE_STOP;
    return S_OK;
}

HRESULT MultiMediaStreamGetMediaStream(MultiMediaStream* stream, MediaPurposeId purpose, MediaStream** media) {
    if (!stream || !media) return E_POINTER;
    *media = nullptr;
    if (purpose != MSPID_PrimaryVideo && purpose != MSPID_PrimaryAudio) return MS_E_PURPOSEID;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::GetMediaStream)) return hr;
    std::lock_guard<std::mutex> lock(stream->core->m);
    if (purpose != MSPID_PrimaryVideo || !stream->video) return MS_E_NOSTREAM;
    AddRef(stream->video);
    *media = stream->video;
    return S_OK;
}

ULONG FilterGraphRelease(FilterGraph* graph) { return DropRef(graph); }
ULONG MultiMediaStreamRelease(MultiMediaStream* stream) { return DropRef(stream); }
ULONG MediaStreamRelease(MediaStream* media) { return DropRef(media); }

// ---- Playback -------------------------------------------------------------------------

namespace {
HRESULT SetRunning(MovieCore& core, bool running) {
    const MovieEngineOps* ops;
    MoviePlayback* playback;
    {
        std::lock_guard<std::mutex> lock(core.m);
        if (!core.playback) return MS_E_NOTINIT;
        core.state = running ? STREAMSTATE_RUN : STREAMSTATE_STOP;
        ops = core.ops;
        playback = core.playback;
    }
    ops->setRunning(playback, running);
    return S_OK;
}
}  // namespace

HRESULT MultiMediaStreamGetState(MultiMediaStream* stream, STREAM_STATE* state) {
    if (!stream || !state) return E_POINTER;
    const MovieEngineOps* ops;
    MoviePlayback* playback = PlaybackOf(*stream->core, &ops);
    if (playback && ops->poll) ops->poll(playback);
    std::lock_guard<std::mutex> lock(stream->core->m);
    *state = stream->core->state;
    return S_OK;
}

HRESULT MultiMediaStreamSetState(MultiMediaStream* stream, STREAM_STATE state) {
    if (!stream) return E_POINTER;
    if (state != STREAMSTATE_STOP && state != STREAMSTATE_RUN) return E_INVALIDARG;
    return SetRunning(*stream->core, state == STREAMSTATE_RUN);
}

HRESULT FilterGraphPause(FilterGraph* graph) {
    if (!graph) return E_POINTER;
    CorePtr core;
    {
        std::lock_guard<std::mutex> lock(graph->m);
        core = graph->core;
    }
    if (!core) return S_OK;   // nothing in the graph to pause
    const HRESULT hr = SetRunning(*core, false);
    return hr == MS_E_NOTINIT ? S_OK : hr;
}

HRESULT MultiMediaStreamGetTime(MultiMediaStream* stream, STREAM_TIME* time) {
    if (!stream || !time) return E_POINTER;
    *time = 0;
    const MovieEngineOps* ops;
    MoviePlayback* playback = PlaybackOf(*stream->core, &ops);
    if (!playback) return MS_E_NOTINIT;
    *time = ops->getTime(playback);
    return S_OK;
}

HRESULT MultiMediaStreamSeek(MultiMediaStream* stream, STREAM_TIME time) {
    if (!stream) return E_POINTER;
    const MovieEngineOps* ops;
    MoviePlayback* playback = PlaybackOf(*stream->core, &ops);
    if (!playback) return MS_E_NOTINIT;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::Seek)) return hr;
    ops->seek(playback, time < 0 ? 0 : time);
    return S_OK;
}

HRESULT FilterGraphGetStopPosition(FilterGraph* graph, LONGLONG* stop) {
    if (!graph || !stop) return E_POINTER;
    *stop = 0;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::GetStopPosition)) return hr;
    CorePtr core;
    {
        std::lock_guard<std::mutex> lock(graph->m);
        core = graph->core;
    }
    if (!core) return MS_E_NOTINIT;
    std::lock_guard<std::mutex> lock(core->m);
    if (!core->playback) return MS_E_NOTINIT;
    *stop = core->info.duration;
    return S_OK;
}

// ---- The video stream -----------------------------------------------------------------

HRESULT MediaStreamGetFormat(MediaStream* media, SampleSurfaceDesc* format) {
    if (!media || !format) return E_POINTER;
    *format = SampleSurfaceDesc{};
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::GetFormat)) return hr;
    std::lock_guard<std::mutex> lock(media->core->m);
    if (!media->core->playback) return MS_E_NOTINIT;
    format->width = static_cast<DWORD>(media->core->info.width);
    format->height = static_cast<DWORD>(media->core->info.height);
    format->pitch = static_cast<LONG>(format->width * 4);
    format->format = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF0000}, {0xFF00}, 0xFF, {0}};
    format->inSystemMemory = TRUE;
    return S_OK;
}

HRESULT MediaStreamGetTimePerFrame(MediaStream* media, STREAM_TIME* timePerFrame) {
    if (!media || !timePerFrame) return E_POINTER;
    std::lock_guard<std::mutex> lock(media->core->m);
    *timePerFrame = media->core->info.timePerFrame;
    if (!media->core->playback) return MS_E_NOTINIT;
    return *timePerFrame > 0 ? S_OK : E_FAIL;   // the movie gives no frame rate
}

HRESULT MediaStreamCreateSample(MediaStream* media, SampleSurface* surface, const RECT* rect, DWORD,
                                StreamSample** sample) {
    if (!media || !sample) return E_POINTER;
    *sample = nullptr;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::CreateSample)) return hr;
    int width, height;
    {
        std::lock_guard<std::mutex> lock(media->core->m);
        if (!media->core->playback) return MS_E_NOTINIT;
        width = media->core->info.width;
        height = media->core->info.height;
    }
    RECT area{0, 0, width, height};
    if (surface) {
        if (!IsWritableSurfaceFormat(surface->desc.format)) return MS_E_INCOMPATIBLE;
        if (rect) area = *rect;
        else area = RECT{0, 0, static_cast<LONG>(surface->desc.width), static_cast<LONG>(surface->desc.height)};
        if (area.left < 0 || area.top < 0 || area.right > static_cast<LONG>(surface->desc.width) ||
            area.bottom > static_cast<LONG>(surface->desc.height))
            return E_INVALIDARG;
        if (area.right - area.left != width || area.bottom - area.top != height) return MS_E_INCOMPATIBLE;
        AddRef(surface);
    } else {
        SampleSurfaceDesc desc{};
        MediaStreamGetFormat(media, &desc);
        if (HRESULT hr = CreateSampleSurface(&desc, &surface)) return hr;
    }
    auto* s = new (std::nothrow) StreamSample;
    if (!s) {
        SampleSurfaceRelease(surface);
        return E_OUTOFMEMORY;
    }
    AddRef(media);
    s->media = media;
    s->surface = surface;
    s->rect = area;
    *sample = s;
    return S_OK;
}

// ---- Samples --------------------------------------------------------------------------

void FinishUpdate(UpdateRequest* request, HRESULT status) {
    // All under the request's lock: once the caller sees the result it may release the
    // sample (and then close the event), and that waits for this lock.
    std::lock_guard<std::mutex> lock(request->m);
    request->status = status;
    request->done.notify_all();
    if (request->event) SetEvent(request->event);
}

HRESULT StreamSampleUpdate(StreamSample* sample, DWORD flags, HANDLE event) {
    if (!sample) return E_POINTER;
    if (flags & ~SSUPDATE_ASYNC) return E_INVALIDARG;
    const MovieEngineOps* ops;
    MoviePlayback* playback = PlaybackOf(*sample->media->core, &ops);
    UpdateRequest& request = sample->request;
    {
        std::lock_guard<std::mutex> lock(request.m);
        if (request.status == MS_S_PENDING) return MS_E_BUSY;
        if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::Update)) return request.status = hr;
        request.surface = sample->surface;
        request.rect = sample->rect;
        request.event = event;
        request.synchronous = !(flags & SSUPDATE_ASYNC);
        request.status = MS_S_PENDING;
    }
    if (event) ResetEvent(event);
    const HRESULT hr = ops->beginUpdate(playback, &request);
    std::unique_lock<std::mutex> lock(request.m);
    if (hr != MS_S_PENDING) return request.status = hr;
    if (flags & SSUPDATE_ASYNC) return MS_S_PENDING;
    request.done.wait(lock, [&] { return request.status != MS_S_PENDING; });
    return request.status;
}

HRESULT StreamSampleCompletionStatus(StreamSample* sample) {
    if (!sample) return E_POINTER;
    std::lock_guard<std::mutex> lock(sample->request.m);
    return sample->request.status;
}

HRESULT StreamSampleGetSurface(StreamSample* sample, SampleSurface** surface, RECT* rect) {
    if (!sample) return E_POINTER;
    if (HRESULT hr = TakeInjectedMovieFailure(MovieCall::GetSurface)) return hr;
    if (surface) {
        AddRef(sample->surface);
        *surface = sample->surface;
    }
    if (rect) *rect = sample->rect;
    return S_OK;
}

ULONG StreamSampleRelease(StreamSample* sample) { return DropRef(sample); }
