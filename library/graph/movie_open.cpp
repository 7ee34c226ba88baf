// movie_open.cpp - opening a movie file into a record: the multimedia stream with its
// video and sound, the temporary copy of a file the stream cannot open by name, the
// sample surface in the pixel format frames are copied in, the frame buffer and the
// frame event (see movie.h).
#include <algorithm>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/core/timing.h"
#include "library/display/screen_state.h"
#include "library/file/file_backend.h"
#include "library/file/path.h"
#include "library/file/plain_file.h"
#include "library/graph/movie.h"
#include "library/softrender/memimg_formats.h"
#include "library/softrender/soft_target.h"
#include "platform/movies/dshow.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

void ReleaseMovieStreamObjects(MovieRecord* movie) {
    StreamSampleRelease(movie->sample);
    SampleSurfaceRelease(movie->sampleSurface);
    MediaStreamRelease(movie->video);
    MultiMediaStreamRelease(movie->stream);
    FilterGraphRelease(movie->filterGraph);
    movie->sample = nullptr;
    movie->sampleSurface = nullptr;
    movie->video = nullptr;
    movie->stream = nullptr;
    movie->filterGraph = nullptr;
    movie->updatePending = 0;
}

void FreeMovieFrameStore(MovieRecord* movie) {
    if (movie->frameBuffer != nullptr) ZqFree(movie->frameBuffer);
    movie->frameBuffer = nullptr;
    if (movie->frameEvent != nullptr) CloseHandle(movie->frameEvent);
    movie->frameEvent = nullptr;
}

void DeleteMovieTempCopy(MovieRecord* movie) {
    if (!movie->tempCopyFlag) return;
    DeleteFileA(movie->fileName);
    movie->tempCopyFlag = 0;
}

namespace {

// The record's pixel format for sample surfaces of a mode (after the mode adjustment).
DDPIXELFORMAT SampleSurfaceFormat(int mode) {
    if (mode == MovieModeFrameCopy24) {
        return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {24}, {0xFF0000}, {0xFF00}, 0xFF, {0}};
    }
    if (IsSoftwareScreen()) {
        const int kind = GetScreenColorBitDepth() == 16 ? MemImgFormat16 : MemImgFormat32;
        return *LookupMemImgDDPixelFormat(kind, 0, 0);
    }
    return *GetScreenDDPixelFormat();
}

// Copies the file through the file layer (it may lie in an archive) into a new
// temporary file whose name goes into the record. Only a whole copy counts: a source
// that gives fewer bytes than its size, or a write that falls short, removes the copy
// again. 0, or -1 with nothing left on disk.
int CopyMovieToTempFile(MovieRecord* movie, const char* name) {
    const StreamHandle source = FileBackendOpen(name, 0, 1, 0);
    if (source == 0) return -1;
    FileBackendSeek(source, 0, 2);
    const int64_t size = FileBackendTell(source);
    FileBackendSeek(source, 0, 0);
    auto* buffer = static_cast<uint8_t*>(size >= 0 ? ZqAlloc(MovieCopyChunkBytes) : nullptr);
    if (buffer == nullptr) {
        FileBackendClose(source);
        return -1;
    }
    const HANDLE copy = CreateTempFileForWrite(movie->fileName, sizeof movie->fileName);
    if (copy == nullptr) {
        FileBackendClose(source);
        ZqFree(buffer);
        return -1;
    }
    movie->tempCopyFlag = 1;

    bool whole = true;
    for (int64_t left = size; left > 0 && whole;) {
        const DWORD chunk = DWORD(std::min<int64_t>(MovieCopyChunkBytes, left));
        DWORD written = 0;
        whole = FileBackendRead(buffer, 1, chunk, source) == chunk && WriteFile(copy, buffer, chunk, &written, nullptr) &&
                written == chunk;
        left -= chunk;
    }
    FileBackendClose(source);
    CloseHandle(copy);
    ZqFree(buffer);
    if (!whole) {
        DeleteMovieTempCopy(movie);
        return -1;
    }
    return 0;
}

// Opens the file by name; when the stream cannot (a file inside an archive, or a name
// too long for the record), through a temporary copy made here unless the record
// already is one. 0, or -1 after logging.
int OpenMovieStreamFile(MovieRecord* movie, const char* name) {
    if (std::strlen(name) < sizeof movie->fileName) {
        CopyText(movie->fileName, name);
        if (MultiMediaStreamOpenFile(movie->stream, movie->fileName, 0) == S_OK) return 0;
    }
    if (!movie->tempCopyFlag && CopyMovieToTempFile(movie, name) == 0) {
        if (MultiMediaStreamOpenFile(movie->stream, movie->fileName, 0) == S_OK) return 0;
        DeleteMovieTempCopy(movie);
    }
    char failure[FilePathMax + 64];
    CopyTextBounded(failure, sizeof failure, "ファイル:");
    AppendTextBounded(failure, sizeof failure, name);
    AppendTextBounded(failure, sizeof failure, " が開けませんでした");
    return WriteLogText(failure);
}

// The sample surface in the mode's format, and the sample on it; a surface the
// stream cannot fill gives way to one the stream makes itself (frame copy, screen
// format no longer guaranteed). The mode actually used, or -1.
int CreateMovieSample(MovieRecord* movie, const SampleSurfaceDesc& frame, int mode) {
    SampleSurfaceDesc desc = frame;
    desc.format = SampleSurfaceFormat(mode);
    SampleSurface* surface = nullptr;
    if (CreateSampleSurface(&desc, &surface) != S_OK) return WriteLogText("DirectDrawSurface オブジェクトの作成に失敗しました");
    if (MediaStreamCreateSample(movie->video, surface, nullptr, DDSFF_PROGRESSIVERENDER, &movie->sample) != S_OK) {
        SampleSurfaceRelease(surface);
        surface = nullptr;
        mode = MovieModeFrameCopy;
        if (MediaStreamCreateSample(movie->video, nullptr, nullptr, 0, &movie->sample) != S_OK) {
            return WriteLogText("ストリームサンプルを作成できませんでした！");
        }
    }
    SampleSurfaceRelease(surface);
    return mode;
}

// Steps 2 to 12 of opening; the caller undoes everything on -1.
int OpenMovieSteps(MovieRecord* movie, const char* name, int* width, int* height, int mode) {
    if (CreateFilterGraph(&movie->filterGraph) != S_OK) return WriteLogText("CLSID_FilterGraph の作成に失敗しました");
    if (CreateMultiMediaStream(&movie->stream) != S_OK) {
        return WriteLogText("IAMMultimediaインターフェイスを取得できませんでした！");
    }
    if (MultiMediaStreamInitialize(movie->stream, STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, movie->filterGraph) != S_OK) {
        return WriteLogText("ストリームを読み取り用にセットアップできませんでした！");
    }
    // Frames go through memory surfaces of the stream layer, but only once the display
    // is up: its object stands for that.
    if (GetDirectDrawObject() == nullptr) return WriteLogText("DirectDraw4オブジェクトを取得できませんでした");
    if (MultiMediaStreamAddMediaStream(movie->stream, MSPID_PrimaryVideo, 0) != S_OK) {
        return WriteLogText("プライマリビデオストリームを追加できませんでした！");
    }
    if (MultiMediaStreamAddMediaStream(movie->stream, MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER) != S_OK) {
        return WriteLogText("デフォルトサウンドレンダラを追加できませんでした！\n");
    }
    if (OpenMovieStreamFile(movie, name) < 0) return -1;

    if (FilterGraphGetStopPosition(movie->filterGraph, &movie->stopPosition) != S_OK) movie->stopPosition = 0;
    if (MultiMediaStreamGetMediaStream(movie->stream, MSPID_PrimaryVideo, &movie->video) != S_OK) {
        return WriteLogText("プライマリビデオストリームインターフェイスを取得できませんでした！");
    }
    SampleSurfaceDesc frame{};
    MediaStreamGetFormat(movie->video, &frame);
    if (frame.width == 0 || frame.height == 0) return WriteLogText("動画ファイルではない可能性があります！");

    movie->mode = CreateMovieSample(movie, frame, mode);
    if (movie->mode < 0) return -1;
    if (StreamSampleGetSurface(movie->sample, &movie->sampleSurface, &movie->sampleRect) != S_OK) {
        return WriteLogText("ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！");
    }
    movie->frameWidth = movie->sampleRect.right - movie->sampleRect.left;
    movie->frameHeight = movie->sampleRect.bottom - movie->sampleRect.top;
    if (width != nullptr) *width = movie->alphaMovieFlag ? movie->frameWidth / 2 : movie->frameWidth;
    if (height != nullptr) *height = movie->frameHeight;
    SampleSurfaceDesc desc{};
    SampleSurfaceGetDesc(movie->sampleSurface, &desc);
    movie->sampleInSystemMemory = desc.inSystemMemory ? 1 : 0;

    InitColorFormatFromDDPixelFormat(&desc.format, &movie->frameFormat);
    movie->frameBufferWidth = movie->frameWidth;
    movie->frameBufferHeight = movie->frameHeight;
    movie->frameBufferPitch = (movie->frameWidth * movie->frameFormat.bytesPerPixel + 3) / 4 * 4;
    movie->frameBuffer =
        static_cast<uint8_t*>(ZqAllocZero(size_t(movie->frameBufferPitch) * size_t(movie->frameBufferHeight)));
    if (movie->frameBuffer == nullptr) return WriteLogText("メモリの確保に失敗しました in OpenMovieToGraph");

    movie->frameEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (movie->frameEvent == nullptr) return WriteLogText("メモリの確保に失敗しました in OpenMovieToGraph");
    movie->updatePending = 0;
    movie->lastFramePresentCount = -1;
    movie->lastFrameTime = -1;
    movie->openTime = int64_t(GetTimeMicroseconds(0));
    if (MediaStreamGetTimePerFrame(movie->video, &movie->timePerFrame) != S_OK) movie->timePerFrame = 0;
    return 0;
}

}  // namespace

int OpenMovieFile(MovieRecord* movie, const char* fileName, int* width, int* height, int mode) {
    // A record opened before (re-opening after a device loss) gets a new frame buffer
    // and event: the old ones go first.
    FreeMovieFrameStore(movie);
    // The display layer has no overlay surfaces (it reports no overlay format), so an
    // overlay request takes the route of a driver without overlays.
    if (mode == MovieModeOverlay) mode = MovieModeFrameCopy24;
    if (mode == MovieModeFrameCopy24 && GetScreenColorBitDepth() == 32) mode = MovieModeFrameCopy;

    // Re-opening passes the record's own name, which opening rewrites: keep a copy.
    char ownName[MovieFileNameCapacity];
    if (fileName == movie->fileName) fileName = CopyText(ownName, movie->fileName);
    const int hadCopy = movie->tempCopyFlag;
    if (OpenMovieSteps(movie, fileName != nullptr ? fileName : "", width, height, mode) == 0) return 0;
    ReleaseMovieStreamObjects(movie);
    FreeMovieFrameStore(movie);
    if (!hadCopy) DeleteMovieTempCopy(movie);
    return -1;
}
