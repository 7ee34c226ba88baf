// movie_files.cpp - writers of the test movies.
#include "support/movie_files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/pixels.h"

uint32_t FramePixel(int frame, int x, int y) {
    const uint32_t r = static_cast<uint32_t>(30 + 50 * frame + 7 * x) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(200 - 40 * y + 3 * frame) & 0xFF;
    const uint32_t b = static_cast<uint32_t>(17 * x + 29 * y + 90 * frame) & 0xFF;
    return r << 16 | g << 8 | b;
}

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
void PutTag(std::vector<uint8_t>& v, const char* tag) { v.insert(v.end(), tag, tag + 4); }

// Appends a chunk (tag, size, data, pad byte) and returns the offset of its tag.
size_t PutChunk(std::vector<uint8_t>& v, const char* tag, const std::vector<uint8_t>& data) {
    const size_t at = v.size();
    PutTag(v, tag);
    Put32(v, static_cast<uint32_t>(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    if (data.size() & 1) v.push_back(0);
    return at;
}

std::vector<uint8_t> List(const char* type, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> v;
    PutTag(v, type);
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

}  // namespace

bool WriteRawAvi(const std::string& path, const AviLayout& s) {
    const int w = s.width, h = s.height;
    const int hw = s.storedWidth < 0 ? w : s.storedWidth;
    const int hh = s.storedHeight < 0 ? h : s.storedHeight;
    const uint32_t rowBytes = (w * 3 + 3) & ~3u;
    const uint32_t frameBytes = rowBytes * h;
    const bool audio = s.audioRate > 0;
    const uint32_t samplesPerFrame = audio ? s.audioRate / s.framesPerSecond : 0;

    std::vector<uint8_t> avih;
    Put32(avih, 1000000 / s.framesPerSecond);
    Put32(avih, frameBytes * s.framesPerSecond);
    Put32(avih, 0);
    Put32(avih, 0x10);   // has an index
    Put32(avih, s.frames);
    Put32(avih, 0);
    Put32(avih, audio ? 2 : 1);
    Put32(avih, frameBytes);
    Put32(avih, hw);
    Put32(avih, hh);
    for (int i = 0; i < 4; ++i) Put32(avih, 0);

    std::vector<uint8_t> strh;
    PutTag(strh, "vids");
    Put32(strh, 0);   // handler: uncompressed DIB
    Put32(strh, 0);
    Put32(strh, 0);
    Put32(strh, 0);
    Put32(strh, 1);   // scale
    Put32(strh, s.framesPerSecond);
    Put32(strh, 0);
    Put32(strh, s.frames);
    Put32(strh, frameBytes);
    Put32(strh, 0xFFFFFFFFu);
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put16(strh, hw);
    Put16(strh, hh);
    std::vector<uint8_t> strf;
    Put32(strf, 40);
    Put32(strf, hw);
    Put32(strf, hh);   // positive: rows stored bottom-up
    Put16(strf, 1);
    Put16(strf, 24);
    Put32(strf, 0);    // BI_RGB
    Put32(strf, frameBytes);
    for (int i = 0; i < 4; ++i) Put32(strf, 0);
    std::vector<uint8_t> strl;
    PutChunk(strl, "strh", strh);
    PutChunk(strl, "strf", strf);

    std::vector<uint8_t> hdrlBody;
    PutChunk(hdrlBody, "avih", avih);
    PutChunk(hdrlBody, "LIST", List("strl", strl));
    if (audio) {
        std::vector<uint8_t> ash;
        PutTag(ash, "auds");
        Put32(ash, 1);
        Put32(ash, 0);
        Put32(ash, 0);
        Put32(ash, 0);
        Put32(ash, 2);                // scale: block align
        Put32(ash, s.audioRate * 2);  // rate: bytes per second
        Put32(ash, 0);
        Put32(ash, samplesPerFrame * s.frames);
        Put32(ash, samplesPerFrame * 2);
        Put32(ash, 0xFFFFFFFFu);
        Put32(ash, 2);                // sample size
        for (int i = 0; i < 4; ++i) Put16(ash, 0);
        std::vector<uint8_t> wf;
        Put16(wf, 1);   // PCM
        Put16(wf, 1);
        Put32(wf, s.audioRate);
        Put32(wf, s.audioRate * 2);
        Put16(wf, 2);
        Put16(wf, 16);
        std::vector<uint8_t> astrl;
        PutChunk(astrl, "strh", ash);
        PutChunk(astrl, "strf", wf);
        PutChunk(hdrlBody, "LIST", List("strl", astrl));
    }

    std::vector<uint8_t> movi;
    PutTag(movi, "movi");
    std::vector<uint8_t> idx;
    for (int k = 0; k < s.frames; ++k) {
        std::vector<uint8_t> pixels(frameBytes, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t p = FramePixel(k, x, y);
                uint8_t* d = &pixels[(h - 1 - y) * rowBytes + x * 3];
                d[0] = p & 0xFF;
                d[1] = (p >> 8) & 0xFF;
                d[2] = (p >> 16) & 0xFF;
            }
        size_t at = PutChunk(movi, "00db", pixels);
        PutTag(idx, "00db");
        Put32(idx, 0x10);
        Put32(idx, static_cast<uint32_t>(at));
        Put32(idx, frameBytes);
        if (audio) {
            std::vector<uint8_t> pcm;
            for (uint32_t i = 0; i < samplesPerFrame; ++i) {
                const double t = static_cast<double>(k * samplesPerFrame + i) / s.audioRate;
                Put16(pcm, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t))));
            }
            at = PutChunk(movi, "01wb", pcm);
            PutTag(idx, "01wb");
            Put32(idx, 0x10);
            Put32(idx, static_cast<uint32_t>(at));
            Put32(idx, static_cast<uint32_t>(pcm.size()));
        }
    }

    std::vector<uint8_t> body;
    PutTag(body, "AVI ");
    PutChunk(body, "LIST", List("hdrl", hdrlBody));
    // The whole file: RIFF header, body so far, movi list and index (chunk sizes even).
    const size_t written = 8 + body.size() + 8 + movi.size() + 8 + idx.size();
    if (s.fileBytes >= written + 8) PutChunk(body, "JUNK", std::vector<uint8_t>(s.fileBytes - written - 8, 0));
    PutChunk(body, "LIST", movi);
    PutChunk(body, "idx1", idx);
    std::vector<uint8_t> file;
    PutChunk(file, "RIFF", body);
    return WriteBytes(path, file);
}

namespace {

// Fills frame k: the test pattern itself in a packed RGB frame; in a planar YUV frame a
// luma ramp that moves with k and a chroma that changes with k (codecs that lose detail
// are only timed, never compared pixel by pixel).
void FillFrame(AVFrame* frame, int k) {
    if (frame->format == AV_PIX_FMT_0RGB32) {
        for (int y = 0; y < frame->height; ++y)
            for (int x = 0; x < frame->width; ++x) {
                const uint32_t p = FramePixel(k, x, y);
                std::memcpy(frame->data[0] + y * frame->linesize[0] + x * 4, &p, 4);
            }
        return;
    }
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x) frame->data[0][y * frame->linesize[0] + x] = (x + y + 8 * k) & 0xFF;
    for (int y = 0; y < (frame->height + 1) / 2; ++y)
        for (int x = 0; x < (frame->width + 1) / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = (64 + 16 * k) & 0xFF;
            frame->data[2][y * frame->linesize[2] + x] = (192 - 16 * k) & 0xFF;
        }
}

// Fills samples [first, first + count) of a 440 Hz tone in the frame's sample format
// (signed 16-bit or planar float, mono or more channels).
void FillTone(AVFrame* frame, int64_t first, int rate) {
    const int channels = frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double v = 0.25 * std::sin(2 * M_PI * 440 * static_cast<double>(first + i) / rate);
        for (int c = 0; c < channels; ++c) {
            if (frame->format == AV_SAMPLE_FMT_S16)
                reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = static_cast<int16_t>(v * 32767);
            else if (frame->format == AV_SAMPLE_FMT_S16P)
                reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(v * 32767);
            else if (frame->format == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(frame->data[c])[i] = static_cast<float>(v);
            else if (frame->format == AV_SAMPLE_FMT_FLT)
                reinterpret_cast<float*>(frame->data[0])[i * channels + c] = static_cast<float>(v);
        }
    }
}

struct Track {
    AVCodecContext* enc = nullptr;
    AVStream* st = nullptr;
};

bool OpenTrack(AVFormatContext* out, Track& t, const char* encoder, const EncodedMovieSettings& s, bool video) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
    t.enc = codec ? avcodec_alloc_context3(codec) : nullptr;
    t.st = avformat_new_stream(out, nullptr);
    if (!t.enc || !t.st) return false;
    if (video) {
        t.enc->width = s.width;
        t.enc->height = s.height;
        t.enc->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        if (codec->id == AV_CODEC_ID_FFV1) t.enc->pix_fmt = AV_PIX_FMT_0RGB32;   // B, G, R, X in memory
        t.enc->time_base = AVRational{1, s.framesPerSecond};
        t.enc->framerate = AVRational{s.framesPerSecond, 1};
        if (s.videoBitRate > 0) t.enc->bit_rate = s.videoBitRate;
    } else {
        t.enc->sample_rate = s.audioRate;
        t.enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&t.enc->ch_layout, 2);
        t.enc->time_base = AVRational{1, s.audioRate};
        t.enc->bit_rate = 128000;
    }
    if (out->oformat->flags & AVFMT_GLOBALHEADER) t.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(t.enc, codec, nullptr) < 0 || avcodec_parameters_from_context(t.st->codecpar, t.enc) < 0)
        return false;
    t.st->time_base = t.enc->time_base;
    return true;
}

bool WriteEncoded(const std::string& path, const EncodedMovieSettings& s) {
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, s.container, path.c_str()) < 0) return false;
    Track video, audio;
    AVFrame* frame = av_frame_alloc();
    AVFrame* sound = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    bool ok = frame && sound && pkt && OpenTrack(out, video, s.videoEncoder, s, true) &&
              (!s.audioEncoder || OpenTrack(out, audio, s.audioEncoder, s, false));
    ok = ok && avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(out, nullptr) >= 0;
    auto drain = [&](Track& t) {
        while (avcodec_receive_packet(t.enc, pkt) == 0) {
            av_packet_rescale_ts(pkt, t.enc->time_base, t.st->time_base);
            pkt->stream_index = t.st->index;
            av_interleaved_write_frame(out, pkt);
        }
    };
    if (ok) {
        frame->format = video.enc->pix_fmt;
        frame->width = s.width;
        frame->height = s.height;
        ok = av_frame_get_buffer(frame, 0) >= 0;
    }
    const int64_t totalSamples = static_cast<int64_t>(s.frames) * s.audioRate / s.framesPerSecond;
    int64_t samples = 0;
    if (ok && audio.enc) {
        sound->format = audio.enc->sample_fmt;
        sound->sample_rate = s.audioRate;
        av_channel_layout_copy(&sound->ch_layout, &audio.enc->ch_layout);
        sound->nb_samples = audio.enc->frame_size > 0 ? audio.enc->frame_size : 1024;
        ok = av_frame_get_buffer(sound, 0) >= 0;
    }
    for (int k = 0; ok && k < s.frames; ++k) {
        ok = av_frame_make_writable(frame) >= 0;
        if (!ok) break;
        FillFrame(frame, k);
        frame->pts = k;
        ok = avcodec_send_frame(video.enc, frame) >= 0;
        drain(video);
        // The sound up to the end of this frame, in the encoder's frame size.
        const int64_t until = std::min(totalSamples, static_cast<int64_t>(k + 1) * s.audioRate / s.framesPerSecond);
        while (ok && audio.enc && samples < until) {
            ok = av_frame_make_writable(sound) >= 0;
            FillTone(sound, samples, s.audioRate);
            sound->pts = samples;
            ok = ok && avcodec_send_frame(audio.enc, sound) >= 0;
            drain(audio);
            samples += sound->nb_samples;
        }
    }
    if (ok) {
        avcodec_send_frame(video.enc, nullptr);
        drain(video);
        if (audio.enc) {
            avcodec_send_frame(audio.enc, nullptr);
            drain(audio);
        }
        ok = av_write_trailer(out) >= 0;
    }
    if (out->pb) avio_closep(&out->pb);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    av_frame_free(&sound);
    avcodec_free_context(&video.enc);
    avcodec_free_context(&audio.enc);
    avformat_free_context(out);
    return ok;
}

}  // namespace

bool WriteEncodedMovie(const std::string& path, const EncodedMovieSettings& s) {
    // The encoders' remarks about the test pattern are not wanted in the test output.
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);
    const bool ok = WriteEncoded(path, s);
    av_log_set_level(logLevel);
    return ok;
}

bool WriteFfv1Matroska(const std::string& path, int width, int height, int frames, int fps) {
    EncodedMovieSettings s;
    s.container = "matroska";
    s.videoEncoder = "ffv1";
    s.width = width;
    s.height = height;
    s.frames = frames;
    s.framesPerSecond = fps;
    return WriteEncodedMovie(path, s);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> CorruptPngBytes() {
    std::vector<uint8_t> v = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                              0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 16, 0, 0, 0, 16, 8, 2, 0, 0, 0,
                              0x90, 0x91, 0x68, 0x36,   // header CRC
                              0, 0, 0x10, 0, 'I', 'D', 'A', 'T'};
    const std::vector<uint8_t> junk = RandomBytes(600, 7);
    v.insert(v.end(), junk.begin(), junk.end());
    return v;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> v(count);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

DDPIXELFORMAT PixelFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0u), 0, bits, r, g, b, a};
}

std::vector<uint32_t> ExpectedFrame(int frame, int width, int height, const DDPIXELFORMAT& f) {
    const PixelView surface{nullptr, 0, 0, 0, LayoutFromDDPixelFormat(f), nullptr};
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(EncodePixel(surface, 0xFF000000u | FramePixel(frame, x, y)));
    return out;
}
