// Decoders: the RIFF walk of the PCM kind, the read and seek rules every kind shares,
// ADPCM WAV through the compression layer, MPEG frame headers and the MP3 scan.
#include "sound/sound_test_support.h"

namespace {

class Decoders : public StartedSoundTest {};

Bytes Wav16(int frames, int fmtSize = 18) { return MakeWav(FormatBody(Pcm(2, 8000, 16), fmtSize), Ramp(Pcm(2, 8000, 16), frames)); }

}  // namespace

TEST_F(Decoders, PcmWalkAcceptsAndRefuses) {
    const WAVEFORMATEX f = Pcm(2, 8000, 16);
    const Bytes data = Ramp(f, 10);
    struct Case {
        const char* what;
        Bytes file;
        bool opens;
    } cases[] = {
        {"plain", MakeWav(FormatBody(f, 18), data), true},
        {"odd chunks skipped with their pad byte", MakeWav(FormatBody(f, 18), data, {{"junk", Bytes(3, 7)}, {"LIST", Bytes(5, 1)}}), true},
        {"no data chunk", [&] { Bytes b = MakeWav(FormatBody(f, 18), data); b.resize(b.size() - data.size() - 8); return b; }(), false},
        {"first chunk not the format", [&] {
             Bytes b;
             PutText(b, "RIFF");
             Put32(b, 0);
             PutText(b, "WAVE");
             PutChunk(b, "LIST", Bytes(4));
             PutChunk(b, "fmt ", FormatBody(f, 18));
             PutChunk(b, "data", data);
             return b;
         }(), false},
        {"not RIFF", [&] { Bytes b = MakeWav(FormatBody(f, 18), data); b[0] = 'X'; return b; }(), false},
        {"not WAVE", [&] { Bytes b = MakeWav(FormatBody(f, 18), data); b[8] = 'X'; return b; }(), false},
        {"compressed tag", [&] { WAVEFORMATEX g = f; g.wFormatTag = 0x1234; return MakeWav(FormatBody(g, 18), data); }(), false},
        // Bodies too short for the format tag, and a file cut right after the "fmt " id
        // (read from memory, the missing size reads as 0).
        {"format chunk of 0 bytes", MakeWav(Bytes{}, data), false},
        {"format chunk of 1 byte", MakeWav(Bytes{1}, data), false},
        {"cut at 16 bytes", [&] { Bytes b = MakeWav(FormatBody(f, 18), data); b.resize(16); return b; }(), false},
        {"huge format chunk", [&] { Bytes b = MakeWav(FormatBody(f, 18), data); b[16] = 0xFF; b[17] = 0xFF; b[18] = 0xFF; b[19] = 0x7F; return b; }(), false},
    };
    for (const Case& c : cases) {
        StreamSource s;
        ASSERT_EQ(0, OpenMemoryStreamSource(&s, c.file.data(), static_cast<int>(c.file.size())));
        SoundDecoder d{};
        d.stream = s;
        const int result = OpenSoundDecoderPCM(&d);
        EXPECT_EQ(c.opens ? 0 : -1, result) << c.what;
        if (result == 0) {
            EXPECT_EQ(40, d.dataSize) << c.what;
            EXPECT_EQ(20, d.fmtPosition);
        }
        s.ops.close(s.handle);
    }
}

TEST_F(Decoders, FormatChunkSizesDecideTheBitsPerSample) {
    WAVEFORMATEX f = Pcm(2, 8000, 16);
    f.wBitsPerSample = 12;  // what the file claims
    f.cbSize = 0x4444;
    struct Case {
        size_t size;
        int bits;
        int cbSize;
    } cases[] = {{16, 16, 0}, {18, 12, 0x4444}, {24, 12, 0x4444}};
    // The opener itself: the dispatch refuses a width no buffer takes (12 bits).
    for (const Case& c : cases) {
        Bytes file = MakeWav(FormatBody(f, c.size), Bytes(8));
        StreamSource s;
        ASSERT_EQ(0, OpenMemoryStreamSource(&s, file.data(), static_cast<int>(file.size())));
        SoundDecoder d{};
        d.stream = s;
        ASSERT_EQ(0, OpenSoundDecoderPCM(&d)) << c.size;
        EXPECT_EQ(SoundDecoderKindPCM, d.kind);
        EXPECT_EQ(c.bits, d.format.wBitsPerSample) << c.size;
        EXPECT_EQ(c.cbSize, d.format.cbSize) << c.size;
        EXPECT_EQ(static_cast<int>(c.size), d.fmtSize);
        s.ops.close(s.handle);
    }
}

TEST_F(Decoders, EmptyDataOpensAndEndsAtOnce) {
    MemoryDecoder m(MakeWav(FormatBody(Pcm(1, 8000, 8), 16), {}));
    ASSERT_TRUE(m.open);
    EXPECT_EQ(-1, DecodeSoundDecoderPCM(&m.decoder));
    uint8_t b[4];
    EXPECT_EQ(0, ReadSoundDecoder(&m.decoder, b, 4));
    EXPECT_EQ(1, m.decoder.endReached);
}

TEST_F(Decoders, BlocksAreOneSecondAndReadsMatchAcrossThem) {
    const int frames = 8000 * 2 + 1234;  // two whole seconds and a short last block
    const Bytes file = Wav16(frames);
    const Bytes expected = Ramp(Pcm(2, 8000, 16), frames);
    MemoryDecoder one(file);
    ASSERT_TRUE(one.open);
    EXPECT_EQ(32000, one.decoder.blockSize);
    EXPECT_EQ(static_cast<int>(expected.size()), GetSoundDecoderSizePCM(&one.decoder));
    Bytes all(expected.size() + 100);
    EXPECT_EQ(static_cast<int>(expected.size()), ReadSoundDecoder(&one.decoder, all.data(), static_cast<int>(all.size())));
    all.resize(expected.size());
    EXPECT_EQ(expected, all);
    EXPECT_EQ(1, one.decoder.endReached);
    MemoryDecoder pieces(file);
    EXPECT_EQ(expected, pieces.ReadAll(777));
}

TEST_F(Decoders, ReadAndSeekRules) {
    MemoryDecoder m(Wav16(100));  // 400 bytes
    ASSERT_TRUE(m.open);
    SoundDecoder& d = m.decoder;
    uint8_t b[512];
    EXPECT_EQ(0, ReadSoundDecoder(&d, b, 0));
    EXPECT_EQ(0, d.endReached);
    EXPECT_EQ(400, ReadSoundDecoder(&d, b, 500));
    EXPECT_EQ(1, d.endReached);
    EXPECT_EQ(0, ReadSoundDecoder(&d, b, 10));
    // Targets within 15 bytes do nothing, even at the end.
    EXPECT_EQ(0, SeekSoundDecoder(&d, 97));  // 388 bytes: 12 before
    EXPECT_EQ(0, ReadSoundDecoder(&d, b, 10));
    // 16 bytes or more clears the end and moves.
    EXPECT_EQ(0, SeekSoundDecoder(&d, 96));
    EXPECT_EQ(0, d.endReached);
    EXPECT_EQ(384, d.bytePosition);
    ASSERT_EQ(16, ReadSoundDecoder(&d, b, 16));
    EXPECT_EQ(96, b[0]);
    // A target past the audio leaves the decoder at its end.
    EXPECT_EQ(0, SeekSoundDecoder(&d, 1000));
    EXPECT_EQ(0, ReadSoundDecoder(&d, b, 4));
    EXPECT_EQ(1, d.endReached);
    EXPECT_EQ(0, SeekSoundDecoder(&d, 0));
    EXPECT_EQ(0, d.bytePosition);
    ASSERT_EQ(4, ReadSoundDecoder(&d, b, 4));
    EXPECT_EQ(0, b[0]);
    // Closing twice: the second is refused, and so is a read.
    EXPECT_EQ(0, CloseSoundDecoder(&d));
    EXPECT_EQ(-1, CloseSoundDecoder(&d));
    EXPECT_EQ(-1, ReadSoundDecoder(&d, b, 4));
    m.open = false;
}

// IMA ADPCM: predictor 0, step index 0; the nibbles 4, 4, 0xC give 7, 17, 4 and zeros
// after them (the step shrinks back).
TEST_F(Decoders, ImaAdpcmWavDecodesThroughTheCompressionLayer) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nBlockAlign = 8;  // 4 header bytes and 8 samples: 9 frames per block
    f.wBitsPerSample = 4;
    f.cbSize = 2;
    f.nAvgBytesPerSec = 8000 * 8 / 9;
    const Bytes block = {0, 0, 0, 0, 0x44, 0x0C, 0, 0};
    Bytes data = block;
    data.insert(data.end(), block.begin(), block.end());
    data.push_back(0x77);  // a partial block is not decoded
    MemoryDecoder m(MakeWav(FormatBody(f, 20, {9, 0}), data));
    ASSERT_TRUE(m.open);
    EXPECT_EQ(SoundDecoderKindACM, m.decoder.kind);
    EXPECT_EQ(16, m.decoder.format.wBitsPerSample);
    EXPECT_EQ(2 * 9 * 2, GetSoundDecoderSizeACM(&m.decoder));
    const Bytes pcm = m.ReadAll(5);
    ASSERT_EQ(36u, pcm.size());
    auto sample = [&](int i) { return static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8); };
    EXPECT_EQ(0, sample(0));
    EXPECT_EQ(7, sample(1));
    EXPECT_EQ(17, sample(2));
    EXPECT_EQ(5, sample(3));  // 0xC at step 11: 17 - (1 + 11)
    EXPECT_EQ(0, sample(9));  // the second block starts again from its header
}

// Blocks larger than one 2048-byte piece, up to the largest a format can state, whose
// output is also larger than a second of PCM. Each block holds its header's sample and
// zero nibbles, so it decodes to that value throughout.
TEST_F(Decoders, AdpcmBlocksLargerThanOnePieceDecode) {
    struct Case {
        const char* what;
        WORD tag, channels, blockAlign;
        int samplesPerBlock;
    } cases[] = {
        {"IMA mono", WAVE_FORMAT_IMA_ADPCM, 1, 4096, 8185},
        {"IMA largest block", WAVE_FORMAT_IMA_ADPCM, 1, 65532, 131057},
        {"Microsoft stereo", WAVE_FORMAT_ADPCM, 2, 4096, 4084},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f{};
        f.wFormatTag = c.tag;
        f.nChannels = c.channels;
        f.nSamplesPerSec = 8000;
        f.nBlockAlign = c.blockAlign;
        f.wBitsPerSample = 4;
        f.nAvgBytesPerSec = 8000 * c.blockAlign / c.samplesPerBlock;
        const int blocks = 3;
        Bytes data;
        for (int b = 0; b < blocks; ++b) {
            Bytes block(c.blockAlign, 0);
            const int value = 1000 * (b + 1);
            for (int ch = 0; ch < c.channels; ++ch) {
                if (c.tag == WAVE_FORMAT_IMA_ADPCM) {
                    block[4 * ch] = static_cast<uint8_t>(value);
                    block[4 * ch + 1] = static_cast<uint8_t>(value >> 8);
                } else {  // predictor pair 0, step 16, both history samples the value
                    block[c.channels + 2 * ch] = 16;
                    for (int at : {3 * c.channels + 2 * ch, 5 * c.channels + 2 * ch}) {
                        block[at] = static_cast<uint8_t>(value);
                        block[at + 1] = static_cast<uint8_t>(value >> 8);
                    }
                }
            }
            data.insert(data.end(), block.begin(), block.end());
        }
        data.resize(data.size() + 100, 0x77);  // a partial block is not decoded
        MemoryDecoder m(MakeWav(FormatBody(f, 18), data));
        ASSERT_TRUE(m.open) << c.what;
        const int frameBytes = 2 * c.channels;
        const int blockBytes = c.samplesPerBlock * frameBytes;
        EXPECT_GE(m.decoder.blockSize, blockBytes) << c.what;
        EXPECT_EQ(blocks * blockBytes, GetSoundDecoderSizeACM(&m.decoder)) << c.what;

        const Bytes pcm = m.ReadAll(3000);
        ASSERT_EQ(static_cast<size_t>(blocks * blockBytes), pcm.size()) << c.what;
        for (int i = 0; i < blocks * c.samplesPerBlock * c.channels; ++i) {
            const int expected = 1000 * (i / (c.samplesPerBlock * c.channels) + 1);
            ASSERT_EQ(expected, static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8)) << c.what << " sample " << i;
        }
        // Back into the second block: the stream restarts and decodes whole blocks again.
        ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, c.samplesPerBlock + 10));
        uint8_t sample[2];
        ASSERT_EQ(2, ReadSoundDecoder(&m.decoder, sample, 2)) << c.what;
        EXPECT_EQ(2000, static_cast<int16_t>(sample[0] | sample[1] << 8)) << c.what;
    }
}

TEST_F(Decoders, Mp3FrameHeaders) {
    struct Case {
        uint8_t b[4];
        int result;
        uint32_t length, samples, rate, bitRate;
        uint8_t channels;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 0, 417, 1152, 44100, 128, 2},
        {{0xFF, 0xFB, 0x92, 0x44}, 0, 418, 1152, 44100, 128, 2},
        {{0xFF, 0xF3, 0x80, 0xC4}, 0, 208, 576, 22050, 64, 1},
        {{0xFF, 0xF3, 0x82, 0xC4}, 0, 209, 576, 22050, 64, 1},
        {{0xFF, 0xFF, 0x90, 0x00}, 0, (12000 * 288 / 44100) * 4, 384, 44100, 288, 2},  // layer I
        {{0xFF, 0xFD, 0x90, 0x00}, 0, 144000 * 160 / 44100, 1152, 44100, 160, 2},      // layer II
        {{0xFF, 0xE3, 0x90, 0x44}, -2, 0, 0, 0, 0, 0},                                  // MPEG-2.5
        {{0xFE, 0xFB, 0x90, 0x44}, -2, 0, 0, 0, 0, 0},
        {{0xFF, 0xF9, 0x90, 0x44}, -1, 0, 0, 0, 0, 0},  // layer 0
        {{0xFF, 0xFB, 0xF0, 0x44}, -1, 0, 0, 0, 0, 0},  // bit rate 15
        {{0xFF, 0xFB, 0x9C, 0x44}, -1, 0, 0, 0, 0, 0},  // sample rate 3
        {{0xFF, 0xFB, 0x00, 0x44}, -1, 0, 0, 0, 0, 0},  // free format
    };
    for (const Case& c : cases) {
        Mp3FrameInfo info{};
        EXPECT_EQ(c.result, ParseMp3FrameHeader(c.b, &info)) << std::hex << int(c.b[1]) << int(c.b[2]);
        if (c.result != 0) continue;
        EXPECT_EQ(c.length, info.frameLength);
        EXPECT_EQ(c.samples, info.samplesPerFrame);
        EXPECT_EQ(c.rate, info.sampleRate);
        EXPECT_EQ(c.bitRate, info.bitRate);
        EXPECT_EQ(c.channels, info.channels);
    }
}

TEST_F(Decoders, Mp3ScanSkipsTagsAndCountsFrames) {
    Bytes id3 = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0};  // 128 bytes of tag, footer flag
    Bytes file = id3;
    file.resize(id3.size() + 128 + 10, 0);
    file.push_back(0xFF);  // junk: 0xFF and a byte without the sync bits
    file.push_back(0x12);
    const size_t first = file.size();
    for (int i = 0; i < 5; ++i) {
        Bytes frame = SilentMp3Frame(i % 2 == 1);
        file.insert(file.end(), frame.begin(), frame.end());
    }
    Bytes trailer(128, 0);
    trailer[0] = 'T', trailer[1] = 'A', trailer[2] = 'G';
    file.insert(file.end(), trailer.begin(), trailer.end());

    MemoryDecoder m(file);
    ASSERT_TRUE(m.open);
    EXPECT_EQ(SoundDecoderKindACM, m.decoder.kind);
    EXPECT_EQ(static_cast<int>(first), m.decoder.dataPosition);
    EXPECT_EQ(static_cast<int>(file.size() - 128 - first), m.decoder.dataSize);
    EXPECT_EQ(5 * 1152, m.decoder.kindState.acm.totalSamples);
    EXPECT_EQ(5 * 1152 * 4, GetSoundDecoderSizeACM(&m.decoder));
    EXPECT_EQ(176400 * 4 / 3, m.decoder.blockSize);
    const Bytes pcm = m.ReadAll();
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_LE(pcm.size(), 5u * 1152 * 4);
    for (uint8_t b : pcm) ASSERT_EQ(0, b) << "silent frames decode to silence";

    // A sync pair whose header does not parse fails the open.
    Bytes bad = file;
    bad[first - 1] = 0xFB;
    bad[first - 2] = 0xFF;
    bad.insert(bad.begin() + static_cast<long>(first), {0xF0, 0x00});
    MemoryDecoder refused(bad);
    EXPECT_FALSE(refused.open);
}

// An encoder's Info frame (layer III, "Info" or "Xing" where the side information would
// start) holds no sound: the scan does not count it; the tag anywhere else is sound.
TEST_F(Decoders, Mp3InfoFrameIsNotCounted) {
    struct Case {
        const char* what;
        uint8_t protection;  // b1 bit 0: 0 puts a CRC behind the header
        bool mono;
        size_t tagAt;
        const char* tag;
        int counted;  // frames counted of the four
    } cases[] = {
        {"stereo", 1, false, 4 + 32, "Info", 3},
        {"stereo with a CRC", 0, false, 4 + 2 + 32, "Xing", 3},
        {"mono", 1, true, 4 + 17, "Info", 3},
        {"mono with a CRC", 0, true, 4 + 2 + 17, "Xing", 3},
        {"the tag misplaced", 1, false, 4 + 17, "Info", 4},
    };
    for (const Case& c : cases) {
        Bytes first = SilentMp3Frame(false, c.mono);
        first[1] = static_cast<uint8_t>(0xFA | c.protection);
        std::memcpy(first.data() + c.tagAt, c.tag, 4);
        Bytes file = first;
        for (int i = 0; i < 3; ++i) {
            const Bytes frame = SilentMp3Frame(false, c.mono);
            file.insert(file.end(), frame.begin(), frame.end());
        }
        MemoryDecoder m(file);
        ASSERT_TRUE(m.open) << c.what;
        EXPECT_EQ(c.counted * 1152, m.decoder.kindState.acm.totalSamples) << c.what;
    }
}
