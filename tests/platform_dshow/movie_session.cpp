// movie_session.cpp - opening, updating and reading a movie the way a graph does.
#include "movie_session.h"

#include <cstring>

#include "support/movie_files.h"

HRESULT MovieSession::Open(const char* name, const DDPIXELFORMAT* format, bool audio) {
    HRESULT hr;
    if ((hr = CreateFilterGraph(&graph))) return hr;
    if ((hr = CreateMultiMediaStream(&stream))) return hr;
    if ((hr = MultiMediaStreamInitialize(stream, STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph))) return hr;
    if ((hr = MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryVideo, 0))) return hr;
    if (audio && (hr = MultiMediaStreamAddMediaStream(stream, MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER)))
        return hr;
    if ((hr = MultiMediaStreamOpenFile(stream, name, 0))) return hr;
    if ((hr = MultiMediaStreamGetMediaStream(stream, MSPID_PrimaryVideo, &video))) return hr;
    SampleSurfaceDesc desc{};
    if ((hr = MediaStreamGetFormat(video, &desc))) return hr;
    width = static_cast<int>(desc.width);
    height = static_cast<int>(desc.height);
    SampleSurface* own = nullptr;
    if (format) {
        desc.format = *format;
        if ((hr = CreateSampleSurface(&desc, &own))) return hr;
    }
    hr = MediaStreamCreateSample(video, own, nullptr, DDSFF_PROGRESSIVERENDER, &sample);
    SampleSurfaceRelease(own);
    if (hr) return hr;
    RECT rect;
    if ((hr = StreamSampleGetSurface(sample, &surface, &rect))) return hr;
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event ? S_OK : E_OUTOFMEMORY;
}

void MovieSession::Release() {
    StreamSampleRelease(sample);
    SampleSurfaceRelease(surface);
    MediaStreamRelease(video);
    MultiMediaStreamRelease(stream);
    FilterGraphRelease(graph);
    if (event) CloseHandle(event);
    graph = nullptr;
    stream = nullptr;
    video = nullptr;
    sample = nullptr;
    surface = nullptr;
    event = nullptr;
}

STREAM_TIME MovieSession::Time() {
    STREAM_TIME t = -1;
    MultiMediaStreamGetTime(stream, &t);
    return t;
}

HRESULT MovieSession::NextFrame() {
    const HRESULT hr = StreamSampleUpdate(sample, SSUPDATE_ASYNC, event);
    if (hr != MS_S_PENDING) return hr;
    if (WaitForSingleObject(event, 5000) != WAIT_OBJECT_0) return MS_S_PENDING;
    return StreamSampleCompletionStatus(sample);
}

std::vector<uint32_t> MovieSession::Pixels() {
    SampleSurfaceDesc desc{};
    SampleSurfaceGetDesc(surface, &desc);
    void* bits = nullptr;
    LONG pitch = 0;
    std::vector<uint32_t> out;
    if (SampleSurfaceLock(surface, &bits, &pitch)) return out;
    const int bytes = static_cast<int>(desc.format.dwRGBBitCount / 8);
    for (DWORD y = 0; y < desc.height; ++y)
        for (DWORD x = 0; x < desc.width; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, static_cast<const uint8_t*>(bits) + y * pitch + x * bytes, bytes);
            out.push_back(v);
        }
    SampleSurfaceUnlock(surface);
    return out;
}
