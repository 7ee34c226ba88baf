// dshow_ffmpeg.cpp - the movie engine on FFmpeg: demuxing, decoding on a thread of its
// own, converting the frame due at the stream time into the sample surface, and the
// audio track through dshow_audio.
//
// The decoding thread keeps a few decoded frames ahead of the stream time. A frame is
// due when its time has come; when a newer frame is due, the older one is dropped, so a
// late stream skips frames instead of falling behind. A frame is handed out only once
// the frame after it has been decoded (or the file has ended), so that it is known to
// be the latest one due. A pending update is finished by
// the thread with the latest due frame, or with MS_S_ENDOFSTREAM once the file is
// exhausted and every frame has been handed out.
//
// Files often store their sound later than the pictures it goes with (MPEG program
// streams by half a second, Ogg files by a second or more). While the sound queued for
// the device is short, the thread reads on whatever the pictures hold, keeping the
// video packets it meets undecoded in a queue bounded by their bytes, and decodes them
// as the frames fall due.
//
// Files are read through a file descriptor of our own (no protocol names are parsed),
// probed from their first megabyte, and accepted only as one of the movie containers
// below with a video stream of non-zero size no larger than MOVIE_MAX_FRAME_SIDE.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include "platform/movies/dshow_audio.h"

std::atomic<void (*)()> g_movieDecodeHook{nullptr};

namespace {

constexpr int kIoBufferBytes = 32 * 1024;
constexpr int kProbeBytes = 1 << 20;
constexpr size_t kFramesAhead = 3;          // decoded frames kept ahead of the stream time
constexpr int64_t kAudioAheadMs = 500;      // audio kept queued ahead of the device
constexpr size_t kVideoPacketBytesMost = 32 << 20;   // undecoded video read ahead for the sound
constexpr STREAM_TIME kHns = 10000000;      // 100 ns units per second
constexpr AVRational kHnsBase{1, 10000000};

// Demuxer names of the accepted containers.
const char* const kMovieContainers[] = {
    "avi", "mpeg", "mpegts", "asf", "mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm", "ogg",
};

bool IsMovieContainer(const AVInputFormat* format) {
    for (const char* name : kMovieContainers)
        if (std::strcmp(format->name, name) == 0) return true;
    return false;
}

struct VideoFrame {
    AVFrame* frame;
    STREAM_TIME time;
};

}  // namespace

struct MoviePlayback {
    // Owned by the decoding thread once it runs.
    int fd = -1;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    int videoIndex = -1;
    int audioIndex = -1;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;        // only when the sound is played
    SwrContext* resampler = nullptr;
    SwsContext* scaler = nullptr;
    std::vector<uint8_t> scratch;           // XRGB rows for surfaces that need packing
    std::vector<int16_t> audioBuffer;
    AVPacket* packet = nullptr;
    std::deque<AVPacket*> videoPackets;     // read ahead of the decoder, oldest first
    size_t videoPacketBytes = 0;
    AVFrame* decoded = nullptr;
    STREAM_TIME origin = 0;                 // container start time
    STREAM_TIME timePerFrame = 0;
    STREAM_TIME duration = 0;               // 0 when unknown
    STREAM_TIME lastVideoTime = -1;
    STREAM_TIME nextAudioTime = 0;
    bool demuxEnded = false;
    bool flushSent = false;
    MovieAudioOutput* sound = nullptr;

    // Shared with the callers, under m.
    std::mutex m;
    std::condition_variable wake;
    std::condition_variable claimDone;
    std::deque<VideoFrame> queue;
    bool endOfStream = false;
    bool quit = false;
    bool running = false;
    bool seekPending = false;
    STREAM_TIME seekTarget = 0;
    uint64_t generation = 0;
    UpdateRequest* request = nullptr;
    bool claimed = false;                    // the thread is writing the request's frame
    StreamClock clock;
    std::thread thread;
};

namespace {

// ---- File access ----------------------------------------------------------------------

int ReadFile(void* opaque, uint8_t* buffer, int size) {
    auto* p = static_cast<MoviePlayback*>(opaque);
    for (;;) {
        const ssize_t n = read(p->fd, buffer, static_cast<size_t>(size));
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return AVERROR_EOF;
        if (errno != EINTR) return AVERROR(errno);
    }
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
    auto* p = static_cast<MoviePlayback*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat st;
        return fstat(p->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    const off_t at = lseek(p->fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* debug = std::getenv("ZQ_DEBUG_OUTPUT");
        av_log_set_level(debug && std::strcmp(debug, "1") == 0 ? AV_LOG_WARNING : AV_LOG_QUIET);
    });
}

void DropVideoPackets(MoviePlayback* p) {
    for (AVPacket*& packet : p->videoPackets) av_packet_free(&packet);
    p->videoPackets.clear();
    p->videoPacketBytes = 0;
}

void FreePlayback(MoviePlayback* p) {
    for (VideoFrame& f : p->queue) av_frame_free(&f.frame);
    DropVideoPackets(p);
    CloseMovieAudio(p->sound);
    sws_freeContext(p->scaler);
    swr_free(&p->resampler);
    avcodec_free_context(&p->video);
    avcodec_free_context(&p->audio);
    av_packet_free(&p->packet);
    av_frame_free(&p->decoded);
    avformat_close_input(&p->format);
    if (p->io) {
        av_freep(&p->io->buffer);
        avio_context_free(&p->io);
    }
    if (p->fd >= 0) close(p->fd);
    delete p;
}

STREAM_TIME ToStreamTime(int64_t timestamp, AVRational base, STREAM_TIME origin) {
    return av_rescale_q(timestamp, base, kHnsBase) - origin;
}

// ---- Frames into surfaces -------------------------------------------------------------

void WriteFrame(MoviePlayback* p, const AVFrame* frame, UpdateRequest* r) {
    SampleSurface* s = r->surface;
    const int w = r->rect.right - r->rect.left;
    const int h = r->rect.bottom - r->rect.top;
    // XRGB8888 and BGR24 surfaces take the scaler's output directly; every other
    // format gets BGRA rows that the layer's pixel converter packs.
    const bool xrgb = IsXrgb8888Format(s->desc.format);
    const bool bgr24 = IsBgr24Format(s->desc.format);
    const AVPixelFormat target = xrgb ? AV_PIX_FMT_BGR0 : bgr24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
    p->scaler = sws_getCachedContext(p->scaler, frame->width, frame->height,
                                     static_cast<AVPixelFormat>(frame->format), w, h, target,
                                     SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                                     nullptr);
    std::lock_guard<std::mutex> lock(s->writeLock);
    if (!p->scaler) return;   // a frame format the scaler does not know: the surface keeps its pixels
    if (xrgb || bgr24) {
        const int bytes = static_cast<int>(s->desc.format.dwRGBBitCount / 8);
        uint8_t* dst[4] = {s->pixels.data() + static_cast<size_t>(r->rect.top) * s->desc.pitch +
                               static_cast<size_t>(r->rect.left) * bytes,
                           nullptr, nullptr, nullptr};
        const int dstPitch[4] = {s->desc.pitch, 0, 0, 0};
        sws_scale(p->scaler, frame->data, frame->linesize, 0, frame->height, dst, dstPitch);
        if (xrgb) {
            for (int y = 0; y < h; ++y) {   // X as the pixel converter writes it
                uint8_t* row = dst[0] + static_cast<size_t>(y) * s->desc.pitch;
                for (int x = 0; x < w; ++x) row[x * 4 + 3] = 0;
            }
        }
        return;
    }
    const int pitch = w * 4;
    p->scratch.resize(static_cast<size_t>(pitch) * h);
    uint8_t* dst[4] = {p->scratch.data(), nullptr, nullptr, nullptr};
    const int dstPitch[4] = {pitch, 0, 0, 0};
    sws_scale(p->scaler, frame->data, frame->linesize, 0, frame->height, dst, dstPitch);
    CopyFrameIntoSurface(p->scratch.data(), pitch, w, h, true, s, r->rect);
}

// Finishes the pending update with the latest due frame, or with the end of the stream.
// Called with the lock held; returns whether it did anything.
bool TryDeliver(MoviePlayback* p, std::unique_lock<std::mutex>& lock) {
    if (!p->request || p->claimed) return false;
    const STREAM_TIME now = StreamClockNow(p->clock);
    while (p->queue.size() >= 2 && p->queue[1].time <= now) {
        av_frame_free(&p->queue.front().frame);
        p->queue.pop_front();
    }
    // The front frame is the one to show once it is due and the frame after it is known
    // not to be (or there is none): a frame still being decoded might be due as well.
    const bool knownLatest = p->queue.size() >= 2 || p->endOfStream;
    if (!p->queue.empty() && p->queue.front().time <= now && knownLatest) {
        VideoFrame f = p->queue.front();
        p->queue.pop_front();
        p->claimed = true;
        UpdateRequest* r = p->request;
        lock.unlock();
        WriteFrame(p, f.frame, r);
        av_frame_free(&f.frame);
        lock.lock();
        p->claimed = false;
        p->request = nullptr;
        FinishUpdate(r, S_OK);
        p->claimDone.notify_all();
        return true;
    }
    if (p->queue.empty() && p->endOfStream) {
        UpdateRequest* r = p->request;
        p->request = nullptr;
        FinishUpdate(r, MS_S_ENDOFSTREAM);
        return true;
    }
    return false;
}

// ---- Decoding -------------------------------------------------------------------------

// Adds a decoded frame; frames that a newer due frame replaces are dropped.
void PushVideoFrame(MoviePlayback* p, AVFrame* frame, STREAM_TIME time, uint64_t generation) {
    std::lock_guard<std::mutex> lock(p->m);
    if (generation != p->generation) {
        av_frame_free(&frame);
        return;
    }
    if (time <= StreamClockNow(p->clock)) {
        for (VideoFrame& f : p->queue) av_frame_free(&f.frame);
        p->queue.clear();
    }
    p->queue.push_back({frame, time});
}

void ReceiveVideoFrames(MoviePlayback* p, uint64_t generation) {
    for (;;) {
        const int ret = avcodec_receive_frame(p->video, p->decoded);
        if (ret == AVERROR_EOF) {
            std::lock_guard<std::mutex> lock(p->m);
            if (generation == p->generation) p->endOfStream = true;
            return;
        }
        if (ret < 0) return;
        const AVRational base = p->format->streams[p->videoIndex]->time_base;
        STREAM_TIME time = p->decoded->best_effort_timestamp != AV_NOPTS_VALUE
                               ? ToStreamTime(p->decoded->best_effort_timestamp, base, p->origin)
                               : (p->lastVideoTime < 0 ? 0 : p->lastVideoTime + p->timePerFrame);
        p->lastVideoTime = time;
        AVFrame* copy = av_frame_alloc();
        if (!copy) {
            av_frame_unref(p->decoded);
            continue;
        }
        av_frame_move_ref(copy, p->decoded);
        PushVideoFrame(p, copy, time, generation);
    }
}

void DecodeAudio(MoviePlayback* p, const AVPacket* packet, uint64_t generation) {
    if (avcodec_send_packet(p->audio, packet) < 0) return;
    const AVRational base = p->format->streams[p->audioIndex]->time_base;
    const int channels = MovieAudioChannels(p->sound);
    while (avcodec_receive_frame(p->audio, p->decoded) == 0) {
        AVFrame* f = p->decoded;
        if (f->best_effort_timestamp != AV_NOPTS_VALUE)
            p->nextAudioTime = ToStreamTime(f->best_effort_timestamp, base, p->origin);
        const int room = swr_get_out_samples(p->resampler, f->nb_samples);
        if (room > 0) {
            p->audioBuffer.resize(static_cast<size_t>(room) * channels);
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(p->audioBuffer.data())};
            const int n = swr_convert(p->resampler, out, room, const_cast<const uint8_t**>(f->extended_data),
                                      f->nb_samples);
            if (n > 0) QueueMovieAudio(p->sound, p->audioBuffer.data(), n, p->nextAudioTime, generation);
        }
        p->nextAudioTime += static_cast<STREAM_TIME>(f->nb_samples) * kHns / f->sample_rate;
        av_frame_unref(f);
    }
}

// Decodes the oldest video packet read ahead; at the end of the file, once none is
// left, drains the video decoder.
void DecodeVideoStep(MoviePlayback* p, uint64_t generation) {
    if (p->videoPackets.empty()) {
        if (!p->flushSent) {
            avcodec_send_packet(p->video, nullptr);
            p->flushSent = true;
        }
        ReceiveVideoFrames(p, generation);
        return;
    }
    AVPacket* packet = p->videoPackets.front();
    p->videoPackets.pop_front();
    p->videoPacketBytes -= static_cast<size_t>(packet->size);
    avcodec_send_packet(p->video, packet);   // a damaged packet is skipped
    av_packet_free(&packet);
    ReceiveVideoFrames(p, generation);
}

// Reads one packet: sound is decoded and queued for the device at once, pictures are
// queued for the video decoder.
void DemuxStep(MoviePlayback* p, uint64_t generation) {
    if (av_read_frame(p->format, p->packet) < 0) {
        p->demuxEnded = true;   // the end, or a read error that ends the stream the same way
        return;
    }
    if (p->packet->stream_index == p->videoIndex) {
        if (AVPacket* copy = av_packet_alloc()) {
            av_packet_move_ref(copy, p->packet);
            p->videoPacketBytes += static_cast<size_t>(copy->size);
            p->videoPackets.push_back(copy);
        }
    } else if (p->sound && p->packet->stream_index == p->audioIndex) {
        DecodeAudio(p, p->packet, generation);
    }
    av_packet_unref(p->packet);
}

// The next piece of work for the thread: pictures while fewer than kFramesAhead frames
// are decoded; reading while the pictures need packets or the sound runs short (up to
// kVideoPacketBytesMost of pictures read ahead).
enum class Work { None, DecodeVideo, Demux };

Work NextWork(MoviePlayback* p) {
    const bool framesWanted = !p->endOfStream && p->queue.size() < kFramesAhead;
    if (framesWanted && (!p->videoPackets.empty() || p->demuxEnded)) return Work::DecodeVideo;
    if (p->demuxEnded) return Work::None;
    if (framesWanted) return Work::Demux;
    const bool soundShort =
        p->sound && QueuedMovieAudioFrames(p->sound) * 1000 < kAudioAheadMs * MovieAudioRate(p->sound);
    return soundShort && p->videoPacketBytes < kVideoPacketBytesMost ? Work::Demux : Work::None;
}

void SeekDemuxer(MoviePlayback* p, STREAM_TIME target) {
    // To the last key frame at or before the target, in the video stream's own time
    // base rounded down, so that the frame showing at the target is decoded again.
    const AVRational base = p->format->streams[p->videoIndex]->time_base;
    const int64_t at = av_rescale_q_rnd(target + p->origin, kHnsBase, base, AV_ROUND_DOWN);
    const int64_t start = av_rescale_q_rnd(p->origin, kHnsBase, base, AV_ROUND_DOWN);
    if (av_seek_frame(p->format, p->videoIndex, at, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(p->format, p->videoIndex, start, AVSEEK_FLAG_BACKWARD) < 0)
        avformat_seek_file(p->format, -1, 0, 0, 0, AVSEEK_FLAG_BYTE);
    DropVideoPackets(p);
    avcodec_flush_buffers(p->video);
    if (p->audio) {
        avcodec_flush_buffers(p->audio);
        swr_init(p->resampler);   // drops what the resampler still held
    }
    p->demuxEnded = false;
    p->flushSent = false;
    p->lastVideoTime = -1;
}

void DecodeThread(MoviePlayback* p) {
    std::unique_lock<std::mutex> lock(p->m);
    while (!p->quit) {
        if (p->seekPending) {
            p->seekPending = false;
            const STREAM_TIME target = p->seekTarget;
            lock.unlock();
            SeekDemuxer(p, target);
            lock.lock();
            continue;
        }
        if (TryDeliver(p, lock)) continue;
        const Work work = NextWork(p);
        if (work != Work::None) {
            const uint64_t generation = p->generation;
            lock.unlock();
            if (void (*hook)() = g_movieDecodeHook.load()) hook();
            if (work == Work::DecodeVideo) DecodeVideoStep(p, generation);
            else DemuxStep(p, generation);
            lock.lock();
            continue;
        }
        // Idle: look again when the next frame may be due or the sound has drained.
        p->wake.wait_for(lock, std::chrono::milliseconds(p->request ? 2 : 10));
    }
}

// ---- Opening --------------------------------------------------------------------------

HRESULT OpenFileDescriptor(const char* name, int* fd) {
    std::string path;
    if (!ResolveMoviePath(name, &path)) return MOVIE_E_FILE_NOT_FOUND;
    *fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (*fd < 0) return errno == EACCES ? MOVIE_E_ACCESS_DENIED : MOVIE_E_FILE_NOT_FOUND;
    struct stat st;
    if (fstat(*fd, &st) != 0 || !S_ISREG(st.st_mode)) return MOVIE_E_ACCESS_DENIED;
    return S_OK;
}

HRESULT OpenDemuxer(MoviePlayback* p) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (!buffer) return E_OUTOFMEMORY;
    p->io = avio_alloc_context(buffer, kIoBufferBytes, 0, p, ReadFile, nullptr, SeekFile);
    if (!p->io) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }
    const AVInputFormat* container = nullptr;
    if (av_probe_input_buffer2(p->io, &container, "", nullptr, 0, kProbeBytes) < 0 || !container ||
        !IsMovieContainer(container))
        return VFW_E_UNKNOWN_FILE_TYPE;
    p->format = avformat_alloc_context();
    if (!p->format) return E_OUTOFMEMORY;
    p->format->pb = p->io;
    p->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    p->format->probesize = 8 << 20;
    p->format->max_analyze_duration = 5 * AV_TIME_BASE;
    if (avformat_open_input(&p->format, "", container, nullptr) < 0) return VFW_E_INVALID_FILE_FORMAT;
    // Probing decodes a little of each stream: no decoder may allocate beyond the
    // largest frame accepted, whatever the headers claim.
    const unsigned streams = p->format->nb_streams;
    std::vector<AVDictionary*> options(streams ? streams : 1, nullptr);
    for (unsigned i = 0; i < streams; ++i)
        av_dict_set_int(&options[i], "max_pixels", static_cast<int64_t>(MOVIE_MAX_FRAME_SIDE) * MOVIE_MAX_FRAME_SIDE, 0);
    const int found = avformat_find_stream_info(p->format, options.data());
    for (AVDictionary*& d : options) av_dict_free(&d);
    if (found < 0) return VFW_E_INVALID_FILE_FORMAT;
    return S_OK;
}

HRESULT OpenVideoDecoder(MoviePlayback* p, MovieInfo* info) {
    const AVCodec* codec = nullptr;
    p->videoIndex = av_find_best_stream(p->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (p->videoIndex < 0 || !codec) return VFW_E_UNSUPPORTED_STREAM;
    AVStream* st = p->format->streams[p->videoIndex];
    const int w = st->codecpar->width, h = st->codecpar->height;
    if (w < 1 || h < 1 || w > MOVIE_MAX_FRAME_SIDE || h > MOVIE_MAX_FRAME_SIDE) return VFW_E_UNSUPPORTED_STREAM;
    p->video = avcodec_alloc_context3(codec);
    if (!p->video) return E_OUTOFMEMORY;
    if (avcodec_parameters_to_context(p->video, st->codecpar) < 0) return VFW_E_UNSUPPORTED_STREAM;
    p->video->max_pixels = static_cast<int64_t>(MOVIE_MAX_FRAME_SIDE) * MOVIE_MAX_FRAME_SIDE;
    p->video->thread_count = 2;
    if (avcodec_open2(p->video, codec, nullptr) < 0) return VFW_E_UNSUPPORTED_STREAM;
    for (int i = 0; i < static_cast<int>(p->format->nb_streams); ++i)
        if (i != p->videoIndex) p->format->streams[i]->discard = AVDISCARD_ALL;

    info->width = w;
    info->height = h;
    const AVRational rate = av_guess_frame_rate(p->format, st, nullptr);
    if (rate.num > 0 && rate.den > 0) info->timePerFrame = av_rescale(kHns, rate.den, rate.num);
    p->timePerFrame = info->timePerFrame;
    p->origin = p->format->start_time != AV_NOPTS_VALUE ? av_rescale(p->format->start_time, kHns, AV_TIME_BASE) : 0;
    if (p->format->duration != AV_NOPTS_VALUE && p->format->duration > 0)
        info->duration = av_rescale(p->format->duration, kHns, AV_TIME_BASE);
    else if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        info->duration = av_rescale_q(st->duration, st->time_base, kHnsBase);
    else if (st->nb_frames > 0)
        info->duration = st->nb_frames * info->timePerFrame;
    p->duration = info->duration;
    return S_OK;
}

// The sound, when the file has some and an audio device opens; otherwise the stream
// runs on the platform clock alone.
void OpenSound(MoviePlayback* p, MovieInfo* info) {
    const AVCodec* codec = nullptr;
    p->audioIndex = av_find_best_stream(p->format, AVMEDIA_TYPE_AUDIO, -1, p->videoIndex, &codec, 0);
    if (p->audioIndex < 0) return;
    info->hasAudio = true;
    AVStream* st = p->format->streams[p->audioIndex];
    const int channels = st->codecpar->ch_layout.nb_channels;
    if (!codec || channels < 1 || channels > 8 || st->codecpar->sample_rate < 1 ||
        st->codecpar->sample_rate > 384000)
        return;
    p->audio = avcodec_alloc_context3(codec);
    if (!p->audio || avcodec_parameters_to_context(p->audio, st->codecpar) < 0 ||
        avcodec_open2(p->audio, codec, nullptr) < 0) {
        avcodec_free_context(&p->audio);
        return;
    }
    p->sound = OpenMovieAudio(p->audio->sample_rate, p->audio->ch_layout.nb_channels, &p->clock);
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, p->sound ? MovieAudioChannels(p->sound) : 1);
    if (!p->sound ||
        swr_alloc_set_opts2(&p->resampler, &outLayout, AV_SAMPLE_FMT_S16, MovieAudioRate(p->sound),
                            &p->audio->ch_layout, p->audio->sample_fmt, p->audio->sample_rate, 0, nullptr) < 0 ||
        swr_init(p->resampler) < 0) {
        CloseMovieAudio(p->sound);
        p->sound = nullptr;
        swr_free(&p->resampler);
        avcodec_free_context(&p->audio);
        return;
    }
    st->discard = AVDISCARD_DEFAULT;
}

HRESULT FfmpegOpen(const char* name, bool playAudio, MovieInfo* info, MoviePlayback** out) {
    QuietLibraries();
    *out = nullptr;
    auto* p = new (std::nothrow) MoviePlayback;
    if (!p) return E_OUTOFMEMORY;
    HRESULT hr = OpenFileDescriptor(name, &p->fd);
    if (hr == S_OK) hr = OpenDemuxer(p);
    if (hr == S_OK) hr = OpenVideoDecoder(p, info);
    if (hr == S_OK) {
        p->packet = av_packet_alloc();
        p->decoded = av_frame_alloc();
        if (!p->packet || !p->decoded) hr = E_OUTOFMEMORY;
    }
    if (hr != S_OK) {
        FreePlayback(p);
        return hr;
    }
    if (playAudio) OpenSound(p, info);
    try {
        p->thread = std::thread(DecodeThread, p);
    } catch (const std::system_error&) {
        FreePlayback(p);
        return E_OUTOFMEMORY;
    }
    *out = p;
    return S_OK;
}

// ---- Control --------------------------------------------------------------------------

void FfmpegClose(MoviePlayback* p) {
    {
        std::lock_guard<std::mutex> lock(p->m);
        p->quit = true;
    }
    p->wake.notify_all();
    p->thread.join();
    FreePlayback(p);
}

void FfmpegSetRunning(MoviePlayback* p, bool running) {
    std::lock_guard<std::mutex> lock(p->m);
    if (running == p->running) return;
    p->running = running;
    if (running) {
        StreamClockSetRunning(p->clock, true);
        if (p->sound) SetMovieAudioRunning(p->sound, true);
    } else {
        if (p->sound) SetMovieAudioRunning(p->sound, false);
        StreamClockSetRunning(p->clock, false);
        // A caller waiting for a frame would wait forever on a frozen clock.
        if (p->request && p->request->synchronous && !p->claimed) {
            FinishUpdate(p->request, MS_E_NOTRUNNING);
            p->request = nullptr;
        }
    }
    p->wake.notify_all();
}

STREAM_TIME FfmpegGetTime(MoviePlayback* p) { return StreamClockNow(p->clock); }

void FfmpegSeek(MoviePlayback* p, STREAM_TIME time) {
    std::lock_guard<std::mutex> lock(p->m);
    ++p->generation;
    for (VideoFrame& f : p->queue) av_frame_free(&f.frame);
    p->queue.clear();
    // At or past the stop position no frame is due any more: the stream is at its end.
    const bool pastEnd = p->duration > 0 && time >= p->duration;
    p->seekPending = !pastEnd;
    p->seekTarget = time;
    p->endOfStream = pastEnd;
    StreamClockSet(p->clock, time);
    if (p->sound) FlushMovieAudio(p->sound, p->generation, time);
    p->wake.notify_all();
}

HRESULT FfmpegBeginUpdate(MoviePlayback* p, UpdateRequest* r) {
    std::lock_guard<std::mutex> lock(p->m);
    if (p->request) return MS_E_BUSY;
    if (!p->running) return MS_E_NOTRUNNING;
    if (p->endOfStream && p->queue.empty() && !p->seekPending) return MS_S_ENDOFSTREAM;
    p->request = r;
    p->wake.notify_all();
    return MS_S_PENDING;
}

void FfmpegCancelUpdate(MoviePlayback* p, UpdateRequest* r) {
    std::unique_lock<std::mutex> lock(p->m);
    p->claimDone.wait(lock, [&] { return p->request != r || !p->claimed; });
    if (p->request == r) p->request = nullptr;
}

}  // namespace

const MovieEngineOps FfmpegMovieEngine = {
    FfmpegOpen, FfmpegClose, FfmpegSetRunning, FfmpegGetTime, FfmpegSeek, FfmpegBeginUpdate, FfmpegCancelUpdate,
    nullptr,
};
