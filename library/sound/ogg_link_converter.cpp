// ogg_link_converter.cpp - brings a link of a chained Ogg Vorbis file whose channels or
// rate differ from the first link's to the first link's format, so that it plays at
// its own pitch and length in a buffer made for the first.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "library/core/log.h"
#include "library/sound/sound_internal.h"

namespace {

// Where each channel of a Vorbis stream of 1 to 8 channels sits, in the stream's own
// channel order: L left, R right, C centre (both sides), N low frequency (left out).
const char* const kVorbisChannelSides[9] = {"", "C", "LR", "LCR", "LRLR", "LCRLR", "LCRLRN", "LCRLRCN", "LCRLRLRN"};

// The mixing matrix (output rows of `inChannels` gains) that downmixes or spreads the
// link's channels onto one or two output channels; each row sums to 1, so a mono link
// plays on both sides at its own level and nothing clips.
void FillChannelMatrix(int inChannels, int outChannels, double* matrix) {
    const char* sides = kVorbisChannelSides[inChannels];
    for (int out = 0; out < outChannels; ++out) {
        double sum = 0;
        for (int in = 0; in < inChannels; ++in) {
            const char side = sides[in];
            const double left = side == 'L' ? 1.0 : side == 'C' ? 0.7071 : 0.0;
            const double right = side == 'R' ? 1.0 : side == 'C' ? 0.7071 : 0.0;
            const double gain = outChannels == 1 ? left + right : out == 0 ? left : right;
            matrix[out * inChannels + in] = gain;
            sum += gain;
        }
        for (int in = 0; in < inChannels; ++in) matrix[out * inChannels + in] /= sum;
    }
}

}  // namespace

SwrContext* CreateOggLinkConverter(int channels, long rate, const WAVEFORMATEX& output, int bytesPerSample) {
    // The same bounds the opener puts on the first link.
    if (channels < 1 || channels > 8 || rate < 1000 || rate > 192000) {
        WriteLogFormat("再生できない形式のサウンドです ( チャンネル数 %d ビット数 %d 周波数 %ld ) in DecodeSoundDecoderOgg",
                       channels, bytesPerSample * 8, rate);
        return nullptr;
    }
    const AVSampleFormat sampleFormat = bytesPerSample == 1 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    AVChannelLayout in, out;
    av_channel_layout_default(&in, channels);
    av_channel_layout_default(&out, output.nChannels);
    SwrContext* converter = nullptr;
    double matrix[2 * 8];
    FillChannelMatrix(channels, output.nChannels, matrix);
    if (swr_alloc_set_opts2(&converter, &out, sampleFormat, static_cast<int>(output.nSamplesPerSec), &in,
                            sampleFormat, static_cast<int>(rate), 0, nullptr) < 0 ||
        swr_set_matrix(converter, matrix, channels) < 0 || swr_init(converter) < 0) {
        swr_free(&converter);
        WriteLogFormat("サウンドの形式変換の準備に失敗しました ( チャンネル数 %d 周波数 %ld ) in DecodeSoundDecoderOgg",
                       channels, rate);
        return nullptr;
    }
    return converter;
}

void FreeOggLinkConverter(SwrContext** converter) { swr_free(converter); }

int ConvertOggLinkPcm(SwrContext* converter, const uint8_t* input, int frames, uint8_t* output, int room) {
    uint8_t* outputs[1] = {output};
    const uint8_t* inputs[1] = {input};
    const int written = swr_convert(converter, outputs, room, input ? inputs : nullptr, frames);
    return written < 0 ? -1 : written;
}

int OggLinkInputFrames(SwrContext* converter, int room, int most) {
    if (swr_get_out_samples(converter, 0) >= room) return 0;
    int frames = most < 1 ? 1 : most;
    while (frames > 1 && swr_get_out_samples(converter, frames) > room) frames /= 2;
    return frames;
}
