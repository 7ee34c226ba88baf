// Ogg Vorbis through vorbisfile: a tone encoded here with libvorbisenc, opened by the
// decoder dispatch, read to its end in 16-bit and 8-bit output, seeks that clear the
// block, a loop back to the start, the stream callbacks and closing; chained files
// (made with oggenc and cat) whose links play in order, in the first link's format.
#include <vorbis/vorbisenc.h>

#include <cmath>

#include "sound/sound_test_support.h"

namespace {

// An Ogg Vorbis file of a 441 Hz sine at half scale, `frames` frames long.
Bytes EncodeOggTone(int channels, int rate, int frames) {
    vorbis_info info;
    vorbis_info_init(&info);
    EXPECT_EQ(0, vorbis_encode_init_vbr(&info, channels, rate, 0.4f));
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    Bytes file;
    ogg_page page;
    auto putPage = [&] {
        file.insert(file.end(), page.header, page.header + page.header_len);
        file.insert(file.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, commentPacket, codebook;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebook);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebook);
    while (ogg_stream_flush(&stream, &page) != 0) putPage();

    for (int done = 0; done <= frames;) {
        const int n = std::min(1024, frames - done);
        if (n > 0) {
            float** in = vorbis_analysis_buffer(&dsp, n);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    in[c][i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 441.0 * (done + i) / rate + c));
        }
        vorbis_analysis_wrote(&dsp, n);  // 0 marks the end
        done += n > 0 ? n : 1;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) putPage();
            }
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0) putPage();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return file;
}

int OpenOgg8(SoundDecoder* d) { return OpenSoundDecoderOgg(d, 1); }
const SoundDecoderOpener kOgg8[] = {OpenOgg8};

std::vector<int16_t> Samples16(const Bytes& pcm) {
    std::vector<int16_t> s(pcm.size() / 2);
    std::memcpy(s.data(), pcm.data(), s.size() * 2);
    return s;
}

// The tone's frequency in channel `channel` between two sample frames, from its zero
// crossings.
double ToneHz(const std::vector<int16_t>& s, int channels, int rate, int channel, double fromSecond, double toSecond) {
    const size_t from = static_cast<size_t>(fromSecond * rate), to = static_cast<size_t>(toSecond * rate);
    int crossings = 0;
    for (size_t i = from + 1; i < to && i * channels < s.size(); ++i)
        crossings += (s[(i - 1) * channels + channel] < 0) != (s[i * channels + channel] < 0);
    return crossings / 2.0 / (toSecond - fromSecond);
}

int Peak(const std::vector<int16_t>& s, int channels, int rate, int channel, double fromSecond, double toSecond) {
    int peak = 0;
    for (size_t i = static_cast<size_t>(fromSecond * rate); i < static_cast<size_t>(toSecond * rate); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i * channels + channel])));
    return peak;
}

// The file with its two links in the other order: the second link starts at the
// second page that begins a stream.
Bytes SwapLinks(const Bytes& file) {
    for (size_t at = 1; at + 6 < file.size(); ++at)
        if (std::memcmp(&file[at], "OggS", 4) == 0 && (file[at + 5] & 2) != 0) {
            Bytes swapped(file.begin() + static_cast<long>(at), file.end());
            swapped.insert(swapped.end(), file.begin(), file.begin() + static_cast<long>(at));
            return swapped;
        }
    ADD_FAILURE() << "one link only";
    return file;
}

class OggDecoder : public StartedSoundTest {
protected:
    static constexpr int Frames = 11025;  // a quarter of a second at 44100 Hz
    static const Bytes& Stereo() {
        static const Bytes file = EncodeOggTone(2, 44100, Frames);
        return file;
    }
};

}  // namespace

TEST_F(OggDecoder, OpensThroughTheDispatchAndReadsToTheEnd) {
    const struct {
        int channels, rate;
    } cases[] = {{2, 44100}, {1, 22050}};
    for (auto c : cases) {
        MemoryDecoder m(c.channels == 2 ? Stereo() : EncodeOggTone(1, 22050, Frames));
        ASSERT_TRUE(m.open) << c.channels;
        const WAVEFORMATEX& f = m.decoder.format;
        EXPECT_EQ(SoundDecoderKindOgg, m.decoder.kind);
        EXPECT_EQ(1, m.decoder.kindState.ogg.readerOpen);
        EXPECT_EQ(2, m.decoder.kindState.ogg.bytesPerSample);
        EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
        EXPECT_EQ(c.channels, f.nChannels);
        EXPECT_EQ(static_cast<DWORD>(c.rate), f.nSamplesPerSec);
        EXPECT_EQ(16, f.wBitsPerSample);
        EXPECT_EQ(2 * c.channels, f.nBlockAlign);
        EXPECT_EQ(f.nBlockAlign * f.nSamplesPerSec, f.nAvgBytesPerSec);

        const Bytes pcm = m.ReadAll(1000);
        EXPECT_EQ(static_cast<size_t>(Frames) * f.nBlockAlign, pcm.size()) << "every frame encoded, no more";
        EXPECT_EQ(1, m.decoder.endReached);
        uint8_t more[4];
        EXPECT_EQ(0, ReadSoundDecoder(&m.decoder, more, 4));
        // The tone comes back at about half scale, little-endian and signed.
        const std::vector<int16_t> s = Samples16(pcm);
        int peak = 0, low = 0;
        for (int16_t v : s) peak = std::max(peak, static_cast<int>(v)), low = std::min(low, static_cast<int>(v));
        EXPECT_NEAR(16384, peak, 1200);
        EXPECT_NEAR(-16384, low, 1200);
    }
}

TEST_F(OggDecoder, EightBitOutputIsUnsignedAndFollowsTheSixteenBitOne) {
    MemoryDecoder wide(Stereo());
    MemoryDecoder narrow(Stereo(), 0, kOgg8, 1);
    ASSERT_TRUE(wide.open && narrow.open);
    EXPECT_EQ(8, narrow.decoder.format.wBitsPerSample);
    EXPECT_EQ(2, narrow.decoder.format.nBlockAlign);
    EXPECT_EQ(1, narrow.decoder.kindState.ogg.bytesPerSample);
    const std::vector<int16_t> s16 = Samples16(wide.ReadAll());
    const Bytes s8 = narrow.ReadAll(333);
    ASSERT_EQ(s16.size(), s8.size());
    for (size_t i = 0; i < s8.size(); ++i) ASSERT_NEAR((s16[i] >> 8) + 128, s8[i], 1) << i;
}

TEST_F(OggDecoder, SeekClearsTheBlockAndDecodingGoesOnAtTheTarget) {
    MemoryDecoder m(Stereo());
    ASSERT_TRUE(m.open);
    const Bytes all = m.ReadAll();
    ASSERT_EQ(static_cast<size_t>(Frames) * 4, all.size());
    for (int target : {5000, 100, 9000}) {
        ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, target));
        EXPECT_EQ(0, m.decoder.bytesLeft);
        EXPECT_EQ(0, m.decoder.readOffset);
        EXPECT_EQ(target * 4, m.decoder.bytePosition);
        EXPECT_EQ(0, m.decoder.endReached);
        Bytes piece(400);
        ASSERT_EQ(400, ReadSoundDecoder(&m.decoder, piece.data(), 400)) << target;
        const std::vector<int16_t> got = Samples16(piece);
        const std::vector<int16_t> want = Samples16(Bytes(all.begin() + target * 4, all.begin() + target * 4 + 400));
        for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(want[i], got[i], 2) << target << " " << i;
    }
    // A target past the end: the position takes the target and the reader stands at
    // the end.
    ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, Frames * 4));
    EXPECT_EQ(Frames * 16, m.decoder.bytePosition);
    uint8_t b[64];
    EXPECT_EQ(0, ReadSoundDecoder(&m.decoder, b, 64));
    EXPECT_EQ(1, m.decoder.endReached);
}

// A looping stream seeks its source back to the loop start at the end and reads on.
TEST_F(OggDecoder, LoopBackReadsTheSameAudioAgain) {
    MemoryDecoder m(Stereo());
    ASSERT_TRUE(m.open);
    const Bytes first = m.ReadAll(4096);
    for (int loopStart : {0, 2048}) {
        ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, loopStart));
        const Bytes again = m.ReadAll(4096);
        ASSERT_EQ(first.size() - static_cast<size_t>(loopStart) * 4, again.size()) << loopStart;
        const std::vector<int16_t> a = Samples16(Bytes(first.begin() + loopStart * 4, first.end()));
        const std::vector<int16_t> b = Samples16(again);
        for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 2) << loopStart << " " << i;
    }
}

TEST_F(OggDecoder, CallbacksAndClosing) {
    Bytes file = Stereo();
    StreamSource s;
    ASSERT_EQ(0, OpenMemoryStreamSource(&s, file.data(), static_cast<int>(file.size())));
    uint8_t b[8];
    EXPECT_EQ(static_cast<size_t>(-1), ReadStreamForOgg(b, 1, 8, nullptr));
    EXPECT_EQ(-1, SeekStreamForOgg(nullptr, 0, 0));
    EXPECT_EQ(-1, TellStreamForOgg(nullptr));
    EXPECT_EQ(4u, ReadStreamForOgg(b, 2, 4, &s));
    EXPECT_EQ(0, std::memcmp(b, "OggS", 4));
    EXPECT_EQ(8, TellStreamForOgg(&s));
    EXPECT_EQ(0, SeekStreamForOgg(&s, -4, 2));
    EXPECT_EQ(static_cast<long>(file.size()) - 4, TellStreamForOgg(&s));
    EXPECT_EQ(0, CloseStreamForOgg(&s));
    EXPECT_EQ(0, SeekStreamForOgg(&s, 0, 0)) << "the stream stays open";

    SoundDecoder d{};
    d.stream = s;
    ASSERT_EQ(0, OpenSoundDecoderOgg(&d, 2));
    EXPECT_EQ(0, CloseSoundDecoderOgg(&d));
    EXPECT_EQ(0, d.kindState.ogg.readerOpen);
    EXPECT_EQ(0, CloseSoundDecoderOgg(&d)) << "a closed reader is left alone";
    ASSERT_EQ(0, SeekStreamForOgg(&s, 0, 0)) << "closing the reader leaves the stream open";
    EXPECT_EQ(4u, ReadStreamForOgg(b, 1, 4, &s));
    s.ops.close(s.handle);
}

// Damaged files: a cut one plays what it has; one whose audio pages are garbage opens
// or not, but never gives more than the file held.
TEST_F(OggDecoder, DamagedFilesEndTheAudio) {
    const int frames = 44100 * 2;
    const Bytes whole = EncodeOggTone(2, 44100, frames);
    Bytes cut(whole.begin(), whole.end() - 200);  // the last page incomplete
    MemoryDecoder shortened(cut);
    ASSERT_TRUE(shortened.open);
    const Bytes pcm = shortened.ReadAll();
    EXPECT_GT(pcm.size(), static_cast<size_t>(frames) / 4 * 4);
    EXPECT_LT(pcm.size(), static_cast<size_t>(frames) * 4);

    Bytes scrambled = whole;
    for (size_t i = whole.size() / 2; i < whole.size(); i += 7) scrambled[i] ^= 0x5A;
    MemoryDecoder damaged(scrambled);
    if (damaged.open) {
        EXPECT_LE(damaged.ReadAll().size(), static_cast<size_t>(frames) * 4);
    }

    MemoryDecoder headerOnly(Bytes(whole.begin(), whole.begin() + 58));
    EXPECT_FALSE(headerOnly.open);
}

// Two links of the same format, 1 s of 550 Hz then 2 s of 660 Hz (mono, 44100 Hz): both
// play, in order, and seeks back into the first link or on into the second give what
// the read from the start gave there.
TEST_F(OggDecoder, ChainedLinksPlayInOrder) {
    MemoryDecoder m(SourceFileBytes("tests/sound/data/chained_same_format.ogg"));
    ASSERT_TRUE(m.open);
    EXPECT_EQ(1, m.decoder.format.nChannels);
    EXPECT_EQ(44100u, m.decoder.format.nSamplesPerSec);
    const Bytes all = m.ReadAll(1000);
    ASSERT_EQ(132300u * 2, all.size()) << "every frame of both links";
    const std::vector<int16_t> s = Samples16(all);
    EXPECT_NEAR(550, ToneHz(s, 1, 44100, 0, 0.05, 0.95), 5);
    EXPECT_NEAR(660, ToneHz(s, 1, 44100, 0, 1.05, 2.95), 5);

    for (int target : {66150, 22050, 0, 44100 - 300, 100000}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, target));
        EXPECT_EQ(target * 2, m.decoder.bytePosition);
        Bytes piece(3000);
        piece.resize(static_cast<size_t>(ReadSoundDecoder(&m.decoder, piece.data(), 3000)));
        EXPECT_EQ(Bytes(all.begin() + target * 2, all.begin() + target * 2 + 3000), piece);
    }
    ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, 0));
    EXPECT_EQ(all, m.ReadAll(777)) << "the loop back plays the whole file again";
}

// Links of other channels and rate than the first play converted to the first link's
// format, each at its own pitch and length and at its own level: 2 s of stereo 660 Hz
// at 44100 Hz and 3 s of mono 440 Hz at 22050 Hz, in either order.
TEST_F(OggDecoder, LinksOfAnotherFormatAreConvertedToTheFirstLinksFormat) {
    const Bytes stereoFirst = SourceFileBytes("tests/sound/data/chained_format_change.ogg");
    const struct {
        const char* order;
        Bytes file;
        int channels, rate;
        double firstSeconds, firstHz, secondHz;
    } cases[] = {{"stereo 44100 Hz, then mono 22050 Hz", stereoFirst, 2, 44100, 2, 660, 440},
                 {"mono 22050 Hz, then stereo 44100 Hz", SwapLinks(stereoFirst), 1, 22050, 3, 440, 660}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        for (int bytesPerSample : {2, 1}) {
            const SoundDecoderOpener opener = bytesPerSample == 2 ? OpenSoundDecoderOgg16 : OpenOgg8;
            MemoryDecoder m(c.file, 0, &opener, 1);
            ASSERT_TRUE(m.open);
            const WAVEFORMATEX& f = m.decoder.format;
            EXPECT_EQ(c.channels, f.nChannels);
            EXPECT_EQ(static_cast<DWORD>(c.rate), f.nSamplesPerSec);
            const Bytes all = m.ReadAll(1000);
            const int frames = static_cast<int>(all.size()) / f.nBlockAlign;
            EXPECT_EQ(5 * c.rate, frames) << "5 s at the first link's rate, 8-bit " << (bytesPerSample == 1);
            if (bytesPerSample == 1) continue;
            const std::vector<int16_t> s = Samples16(all);
            const double end = static_cast<double>(frames) / c.rate;
            for (int channel = 0; channel < c.channels; ++channel) {
                EXPECT_NEAR(c.firstHz, ToneHz(s, c.channels, c.rate, channel, 0.05, c.firstSeconds - 0.05), 5);
                EXPECT_NEAR(c.secondHz, ToneHz(s, c.channels, c.rate, channel, c.firstSeconds + 0.05, end - 0.05), 5);
                const int first = Peak(s, c.channels, c.rate, channel, 0.05, c.firstSeconds - 0.05);
                EXPECT_NEAR(first, Peak(s, c.channels, c.rate, channel, c.firstSeconds + 0.05, end - 0.05), first / 10);
            }
            // A seek into the converted link delivers what the read from the start did.
            const int target = static_cast<int>((c.firstSeconds + 1) * c.rate);
            ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, target));
            Bytes piece(2000);
            piece.resize(static_cast<size_t>(ReadSoundDecoder(&m.decoder, piece.data(), 2000)));
            const size_t at = static_cast<size_t>(target) * f.nBlockAlign;
            EXPECT_EQ(Bytes(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at) + 2000), piece);
        }
    }
}
