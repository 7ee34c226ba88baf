// Helpers for the sound tests: the sound device started on a mixer that moves only when
// the test mixes, WAV and MP3 files built in memory, and decoders over memory streams.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "library/core/alloc.h"
#include "library/sound/sound.h"
#include "library/sound/sound_internal.h"
#include "platform/testing.h"

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const char* t) { b.insert(b.end(), t, t + std::strlen(t)); }
inline void PutChunk(Bytes& b, const char* id, const Bytes& body) {
    PutText(b, id);
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
}

inline WAVEFORMATEX Pcm(int channels, int rate, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

// The format chunk body of `size` bytes (16, 18 or more) for a format record.
inline Bytes FormatBody(const WAVEFORMATEX& f, size_t size, const Bytes& extra = {}) {
    Bytes b(reinterpret_cast<const uint8_t*>(&f), reinterpret_cast<const uint8_t*>(&f) + 18);
    b.insert(b.end(), extra.begin(), extra.end());
    b.resize(size, 0);
    return b;
}

// RIFF WAVE with the format body, any chunks between, and the data.
inline Bytes MakeWav(const Bytes& fmtBody, const Bytes& data, const std::vector<std::pair<std::string, Bytes>>& between = {}) {
    Bytes body;
    PutText(body, "WAVE");
    PutChunk(body, "fmt ", fmtBody);
    for (const auto& c : between) PutChunk(body, c.first.c_str(), c.second);
    PutChunk(body, "data", data);
    Bytes file;
    PutText(file, "RIFF");
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// Frames numbered so every byte tells where it came from: frame i holds i in each
// 16-bit channel sample (or i & 0xFF for 8-bit).
inline Bytes Ramp(const WAVEFORMATEX& f, int frames, int first = 0) {
    Bytes b;
    for (int i = first; i < first + frames; ++i)
        for (int c = 0; c < f.nChannels; ++c) {
            if (f.wBitsPerSample == 16)
                Put16(b, static_cast<unsigned>(i) & 0xFFFF);
            else
                b.push_back(static_cast<uint8_t>(i));
        }
    return b;
}

// One MPEG-1 layer III frame of silence: 44100 Hz, 128 kbit/s, joint stereo or mono.
inline Bytes SilentMp3Frame(bool padding, bool mono = false) {
    Bytes b = {0xFF, 0xFB, static_cast<uint8_t>(0x90 | (padding ? 2 : 0)), static_cast<uint8_t>(mono ? 0xC4 : 0x44)};
    b.resize(padding ? 418 : 417, 0);
    return b;
}

// A file of the source tree, by its path from the top (the fuzz seeds, tests/sound/data).
inline Bytes SourceFileBytes(const std::string& path) {
    std::ifstream in(std::string(ZQ_SOURCE_DIR) + "/" + path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The texts appear in the log in this order.
inline ::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts) {
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::string::npos) return ::testing::AssertionFailure() << "missing in order: " << text;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}

// A decoder over its own copy of the bytes, opened by the dispatch or by the openers
// given.
struct MemoryDecoder {
    Bytes bytes;
    StreamSource source{};
    SoundDecoder decoder{};
    bool open = false;
    explicit MemoryDecoder(Bytes file, int checkpoint = 0, const SoundDecoderOpener* openers = nullptr,
                           int count = 0)
        : bytes(std::move(file)) {
        if (OpenMemoryStreamSource(&source, bytes.data(), static_cast<int>(bytes.size())) != 0) return;
        open = (openers ? OpenSoundDecoderWith(&decoder, &source, checkpoint, openers, count)
                        : OpenSoundDecoder(&decoder, &source, checkpoint)) == 0;
    }
    ~MemoryDecoder() {
        if (open) CloseSoundDecoder(&decoder);
        if (source.handle) source.ops.close(source.handle);
    }
    Bytes ReadAll(int piece = 4096) {
        Bytes out;
        std::vector<uint8_t> buf(static_cast<size_t>(piece));
        for (;;) {
            const int got = ReadSoundDecoder(&decoder, buf.data(), piece);
            if (got <= 0) break;
            out.insert(out.end(), buf.begin(), buf.begin() + got);
        }
        return out;
    }
};

// The sound state cleared, the mixer in manual mode, the log in a fresh directory.
class SoundTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        DsoundSeamReset();
        DsoundSeamUseManualOutput(true);
        DmusicSeamReset();
        MciSeamReset();
        std::memset(&SoundDeviceStateRecord, 0, sizeof SoundDeviceStateRecord);
        std::memset(&MusicStateRecord, 0, sizeof MusicStateRecord);
        std::memset(&SoundCaptureStateRecord, 0, sizeof SoundCaptureStateRecord);
    }
    void TearDown() override {
        ShutdownDirectSound();
        EXPECT_EQ(0, DsoundSeamLiveObjectCount());
        EXPECT_EQ(0, MciSeamOpenDeviceCount());
        EXPECT_EQ(0, DmusicSeamLiveObjectCount());
        SoundDeviceStateRecord.mode = SoundModeDirectSound;  // a setting kept across start-ups
        DsoundSeamReset();
        DmusicSeamReset();
        MciSeamReset();
        LogTest::TearDown();
    }
    SoundDeviceState& Device() { return SoundDeviceStateRecord; }
};

// A started device.
class StartedSoundTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(0, SetupDirectSound());
    }
};
