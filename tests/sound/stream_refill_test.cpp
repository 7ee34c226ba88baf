// The per-frame refill of streaming sounds: the first fill, topping up while playing,
// repeats from the loop start, looping back over the sources with the play-counter mark,
// silence after the end and the stop once the cursor has passed it.
#include <algorithm>

#include "sound/sound_test_support.h"

namespace {

struct SourceFile {
    Bytes file;
    int loopCount = 0;
    int loopStart = 0;
    int checkpoint = 0;  // PCM byte position the decoder prepares a jump back to
};

class StreamRefill : public StartedSoundTest {
protected:
    ResourceHandle Make(const WAVEFORMATEX& f, std::vector<SourceFile> sources, int playType) {
        files = std::move(sources);
        const ResourceHandle h = AddSoundHandle();
        SoundHandleRecord* r = GetSoundHandleRecord(h);
        r->streamFormat = f;
        r->bufferSize = 6 * static_cast<int>(f.nAvgBytesPerSec);
        r->playType = playType;
        EXPECT_EQ(0, CreateSoundBufferSet(&f, 0, SoundKindStream, 1, h));
        for (size_t i = 0; i < files.size(); ++i) {
            StreamSource s;
            EXPECT_EQ(0, OpenMemoryStreamSource(&s, files[i].file.data(), static_cast<int>(files[i].file.size())));
            SoundStreamSource& src = r->sources[i];
            EXPECT_EQ(0, OpenSoundDecoder(&src.decoder, &s, files[i].checkpoint));
            src.loopCount = static_cast<int8_t>(files[i].loopCount);
            src.loopStartSample = files[i].loopStart;
            src.dataKind = SoundDataKindOwnedStream;  // the handle closes the memory stream
            r->sourceStreamOwned[i] = 1;
        }
        r->sourceCount = static_cast<int>(files.size());
        r->active = 1;
        return h;
    }
    // The buffer's bytes from offset on.
    Bytes Contents(ResourceHandle h, unsigned offset, unsigned bytes) {
        SoundBufferRecord* b = &GetSoundHandleRecord(h)->buffers[0];
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(0, SoundBufferLock(b, offset, bytes, &p1, &n1, &p2, &n2));
        Bytes out(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
        if (p2) out.insert(out.end(), static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p2) + n2);
        SoundBufferUnlock(b, p1, n1, p2, n2);
        return out;
    }
    // Plays the started handle through the mixer, refilling once per 1/60 s as the pump
    // does, until its buffer stops or `seconds` have been heard; the stereo frames heard.
    std::vector<int16_t> Play(ResourceHandle h, double seconds) {
        SoundBufferRecord* buffer = &GetSoundHandleRecord(h)->buffers[0];
        EXPECT_EQ(0, RefillAllStreamSounds());
        SoundBufferPlay(buffer, 1);
        std::vector<int16_t> heard;
        DWORD status = DSBSTATUS_PLAYING;
        while ((status & DSBSTATUS_PLAYING) && heard.size() < 2 * static_cast<size_t>(seconds * 44100)) {
            const std::vector<int16_t> piece = DsoundSeamMix(735);
            heard.insert(heard.end(), piece.begin(), piece.end());
            EXPECT_EQ(0, RefillAllStreamSounds());
            SoundBufferGetStatus(buffer, &status);
        }
        return heard;
    }
    std::vector<SourceFile> files;
};

Bytes Slice(const Bytes& b, size_t from, size_t n) { return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n)); }

}  // namespace

TEST_F(StreamRefill, FirstFillThenTopUpWhilePlaying) {
    const WAVEFORMATEX f = Pcm(2, 44100, 16);
    const Bytes pcm = Ramp(f, 44100 * 5);
    const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 16), pcm)}}, 0);
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    ASSERT_EQ(0, RefillStreamSound(h));
    EXPECT_EQ(705600, r->writePosition);
    EXPECT_EQ(0, r->windowStart);
    EXPECT_EQ(Slice(pcm, 0, 705600), Contents(h, 0, 705600));
    EXPECT_EQ(1058400u, GetSoundHandleRecord(h)->buffers[0].buffer ? 1058400u : 0u);

    // Not playing and already filled: left alone.
    ASSERT_EQ(0, RefillAllStreamSounds());
    EXPECT_EQ(705600, r->writePosition);

    SoundBufferPlay(&r->buffers[0], 1);
    DsoundSeamMix(441);
    ASSERT_EQ(0, RefillAllStreamSounds());
    EXPECT_EQ(705600 + 22048, r->writePosition) << "three seconds or more queued: an eighth of a second";
    EXPECT_EQ(Slice(pcm, 705600, 22048), Contents(h, 705600, 22048));
    EXPECT_EQ(441 * 4, r->playedBytes);

    // A cursor outside the written window skips the frame.
    r->windowStart = 10000;  // the cursor (1764) lies behind the window
    EXPECT_EQ(-1, RefillStreamSound(h));
    EXPECT_EQ(705600 + 22048, r->writePosition);
    EXPECT_EQ(0, DeleteSoundHandle(h));
}

TEST_F(StreamRefill, RepeatsResumeFromTheLoopStart) {
    const WAVEFORMATEX f = Pcm(1, 8000, 16);
    const Bytes pcm = Ramp(f, 1000);
    const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 18), pcm), 2, 500}}, 0);
    ASSERT_EQ(0, RefillStreamSound(h));
    Bytes expected = pcm;
    for (int i = 0; i < 2; ++i) expected.insert(expected.end(), pcm.begin() + 1000, pcm.end());
    expected.resize(expected.size() + 2000, 0);  // an eighth of a second of silence
    EXPECT_EQ(expected, Contents(h, 0, static_cast<unsigned>(expected.size())));
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    EXPECT_EQ(1, r->endWritten);
    EXPECT_EQ(4000u, r->endOffset);
}

TEST_F(StreamRefill, SilenceAfterTheEndUntilTheCursorPassesIt) {
    const WAVEFORMATEX f = Pcm(1, 8000, 8);
    const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 16), Ramp(f, 100))}}, 0);
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    ASSERT_EQ(0, RefillStreamSound(h));
    EXPECT_EQ(Bytes(1000, 127), Contents(h, 100, 1000)) << "8-bit silence is 127";
    SoundBufferPlay(&r->buffers[0], 1);
    DsoundSeamMix(200);  // about 36 frames: still before the end
    ASSERT_EQ(0, RefillStreamSound(h));
    EXPECT_EQ(33000, r->writePosition);
    EXPECT_EQ(Bytes(1000, 127), Contents(h, 32000, 1000));
    DsoundSeamMix(600);  // past frame 100
    ASSERT_EQ(0, RefillStreamSound(h));
    DWORD status = 1;
    SoundBufferGetStatus(&r->buffers[0], &status);
    EXPECT_EQ(0u, status & DSBSTATUS_PLAYING);
    EXPECT_EQ(0, r->endWritten);
    ASSERT_EQ(0, RefillStreamSound(h));
    EXPECT_EQ(33000, r->writePosition) << "a stopped sound is no longer refilled";
}

TEST_F(StreamRefill, LoopingSoundRunsBackToItsFirstSourceAndMarksIt) {
    const WAVEFORMATEX f = Pcm(1, 8000, 16);
    const Bytes a = Ramp(f, 300), b = Ramp(f, 200, 1000);
    const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 18), a)}, {MakeWav(FormatBody(f, 18), b)}}, SoundPlayLoop);
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    ASSERT_EQ(0, RefillStreamSound(h));
    Bytes cycle = a;
    cycle.insert(cycle.end(), b.begin(), b.end());
    Bytes expected;
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(expected, Contents(h, 0, static_cast<unsigned>(expected.size())));
    EXPECT_EQ(0, r->endWritten);
    EXPECT_EQ(1, r->markPending);
    EXPECT_EQ(0u, r->markOffset % 1000) << "marks fall on cycle boundaries";
    // The played-bytes counter restarts at the mark once the cursor passes it.
    const unsigned mark = r->markOffset;
    r->lastPlayPosition = mark - 100;
    r->playedBytes = 12345;
    ASSERT_EQ(0, UpdateStreamPlayCounter(h, mark + 10));
    EXPECT_EQ(10, r->playedBytes);
    EXPECT_EQ(0, r->markPending);
    ASSERT_EQ(0, UpdateStreamPlayCounter(h, mark + 50));
    EXPECT_EQ(50, r->playedBytes);
}

TEST_F(StreamRefill, EndlessEmptySourceDoesNotHoldTheFrame) {
    const WAVEFORMATEX f = Pcm(1, 8000, 16);
    const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 16), {}), -1}}, 0);
    ASSERT_EQ(0, RefillStreamSound(h));
    EXPECT_EQ(64000, GetSoundHandleRecord(h)->writePosition);
    EXPECT_EQ(Bytes(64000, 0), Contents(h, 0, 64000));
}

// A sound played through the mixer with the refill run once per 1/60 s, as the pump
// does, is heard whole and then stops, whatever its length (the end falls on either
// side of the buffer's wrap, one or more rounds after the start).
TEST_F(StreamRefill, EveryLengthPlaysToItsEnd) {
    const WAVEFORMATEX f = Pcm(1, 44100, 16);
    for (double seconds : {4.5, 5.0, 6.5, 8.0, 9.5, 13.0}) {
        SCOPED_TRACE(seconds);
        const int frames = static_cast<int>(seconds * 44100);
        const Bytes pcm = Ramp(f, frames);
        const ResourceHandle h = Make(f, {{MakeWav(FormatBody(f, 16), pcm)}}, 0);
        const std::vector<int16_t> heard = Play(h, seconds + 1);
        DWORD status = DSBSTATUS_PLAYING;
        SoundBufferGetStatus(&GetSoundHandleRecord(h)->buffers[0], &status);
        EXPECT_EQ(0u, status & DSBSTATUS_PLAYING) << "stopped after the end";
        const int heardFrames = static_cast<int>(heard.size() / 2);
        EXPECT_GE(heardFrames, frames) << "stopped at " << heardFrames / 44100.0 << " s";
        int first = -1;  // the first frame not heard as written
        for (int i = 0; i < std::min(frames, heardFrames) && first < 0; ++i)
            if (heard[2 * i] != static_cast<int16_t>(i) || heard[2 * i + 1] != static_cast<int16_t>(i)) first = i;
        EXPECT_EQ(-1, first) << "differs from " << first / 44100.0 << " s on";
        EXPECT_LE(heard.size(), 2u * (frames + 44100 / 4)) << "stopped within a quarter second of the end";
        for (size_t i = 2u * frames; i < heard.size(); ++i) ASSERT_EQ(0, heard[i]) << "silence after the end";
        EXPECT_EQ(0, DeleteSoundHandle(h));
    }
}

// Loops of an MP3 near its end: every repeat is heard, and a repeat decodes only a few
// frames before the loop start, not the file from its beginning.
TEST_F(StreamRefill, Mp3LoopsNearTheEndPlayEveryRepeat) {
    const WAVEFORMATEX f = Pcm(1, 44100, 16);
    const Bytes file = SourceFileBytes("tests/sound/data/chirp_mono.mp3");
    const Bytes reference = MemoryDecoder(file).ReadAll();
    const int total = static_cast<int>(reference.size() / 2);
    const struct {
        const char* what;
        int loopStart, loopCount;
        bool checkpoint;
        double seconds;
    } cases[] = {
        {"the last five frames for ever, no checkpoint", total - 5 * 1152, -1, false, 4.0},
        {"the last 60 ms twice, the checkpoint at its start", total - 2646, 2, true, 4.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uint64_t before = AcmSeamConvertedSourceBytes();
        const ResourceHandle h =
            Make(f, {{file, c.loopCount, c.loopStart, c.checkpoint ? 2 * c.loopStart : 0}}, 0);
        const std::vector<int16_t> heard = Play(h, c.seconds);
        std::vector<int16_t> expected(reference.size() / 2);
        std::memcpy(expected.data(), reference.data(), reference.size());
        for (int repeat = 0; c.loopCount < 0 ? expected.size() < heard.size() / 2 : repeat < c.loopCount; ++repeat)
            expected.insert(expected.end(), expected.begin() + c.loopStart, expected.begin() + total);
        const size_t n = std::min(heard.size() / 2, expected.size());
        ASSERT_GE(heard.size() / 2, c.loopCount < 0 ? n : expected.size()) << "every repeat heard";
        int first = -1;
        for (size_t i = 0; i < n && first < 0; ++i)
            if (heard[2 * i] != expected[i]) first = static_cast<int>(i);
        EXPECT_EQ(-1, first) << "differs from frame " << first << " (" << total << " in the file)";
        const int repeats = GetSoundHandleRecord(h)->repeatsDone;
        if (c.loopCount < 0 && repeats > 0) {
            EXPECT_LT((AcmSeamConvertedSourceBytes() - before - file.size()) / static_cast<unsigned>(repeats),
                      file.size() / 4)
                << "compressed bytes decoded per repeat, over " << repeats << " repeats";
        }
        EXPECT_EQ(0, DeleteSoundHandle(h));
    }
}
