// The emulated sound buffer: its lock, volume and pan scales, and the software mixer.
#include "sound/sound_test_support.h"

namespace {

class EmulatedBuffer : public StartedSoundTest {
protected:
    void SetUp() override {
        StartedSoundTest::SetUp();
        Device().softwareBuffers = 1;
    }
    void TearDown() override {
        for (SoundBufferRecord& r : records)
            if (r.valid) SoundBufferRelease(&r);
        Device().softwareBuffers = 0;
        StartedSoundTest::TearDown();
    }
    SoundBufferRecord* Make(WAVEFORMATEX f, const Bytes& samples) {
        SoundBufferRecord& r = records[used++];
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwBufferBytes = static_cast<DWORD>(samples.size());
        desc.lpwfxFormat = &f;
        EXPECT_EQ(0, SoundBufferCreate(&r, &desc));
        std::memcpy(r.memory, samples.data(), samples.size());
        return &r;
    }
    SoundBufferRecord records[4]{};
    int used = 0;
};

Bytes Samples16(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) Put16(b, static_cast<unsigned>(v) & 0xFFFF);
    return b;
}

}  // namespace

TEST_F(EmulatedBuffer, LockSplitsAtTheEnd) {
    SoundBufferRecord* r = Make(Pcm(2, 44100, 16), Bytes(4000));
    void *first, *second;
    DWORD firstBytes, secondBytes;
    ASSERT_EQ(0, SoundBufferLock(r, 3000, 1000, &first, &firstBytes, &second, &secondBytes));
    EXPECT_EQ(static_cast<uint8_t*>(r->memory) + 3000, first);
    EXPECT_EQ(1000u, firstBytes);
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(0u, secondBytes);
    ASSERT_EQ(0, SoundBufferLock(r, 3600, 1000, &first, &firstBytes, &second, &secondBytes));
    EXPECT_EQ(400u, firstBytes);
    EXPECT_EQ(r->memory, second);
    EXPECT_EQ(600u, secondBytes);
    EXPECT_EQ(-1, SoundBufferLock(r, 4000, 4, &first, &firstBytes, &second, &secondBytes)) << "outside the buffer";
}

TEST_F(EmulatedBuffer, VolumeAndPanScales) {
    const struct {
        int decibels, scale;
    } toScale[] = {{-10000, 0}, {0, 256}, {-1000, 25}, {-600, 64}};
    for (auto c : toScale) EXPECT_EQ(c.scale, EmulatedVolumeFromDecibels(c.decibels)) << c.decibels;
    const struct {
        int scale, decibels;
    } toDecibels[] = {{0, -10000}, {256, 0}, {255, -1}, {128, -301}};
    for (auto c : toDecibels) EXPECT_EQ(c.decibels, EmulatedVolumeToDecibels(c.scale)) << c.scale;
    EXPECT_EQ(-256, EmulatedPanFromDecibels(-10000));
    EXPECT_EQ(256, EmulatedPanFromDecibels(10000));
    EXPECT_EQ(0, EmulatedPanFromDecibels(0));
    EXPECT_EQ(128, EmulatedPanFromDecibels(5000));
}

TEST_F(EmulatedBuffer, MixClampsAndConvertsEightBitSamples) {
    SoundBufferRecord* loud = Make(Pcm(2, 44100, 16), Samples16({32767, -32768}));
    MixFrame out[1] = {{30000, -30000}};
    int count = 1;
    MixSoundBuffer(loud, &count, out);
    EXPECT_EQ(32767, out[0].left);
    EXPECT_EQ(-32768, out[0].right);

    SoundBufferRecord* bytes = Make(Pcm(1, 44100, 8), Bytes{0, 255, 128});
    MixFrame e[3] = {};
    count = 3;
    MixSoundBuffer(bytes, &count, e);
    EXPECT_EQ(-32768, e[0].left);
    EXPECT_EQ(32767, e[1].right);
    EXPECT_EQ(128, e[2].left);
    EXPECT_EQ(128, e[2].right);
}

TEST_F(EmulatedBuffer, VolumeAndPanApplyPerSide) {
    SoundBufferRecord* r = Make(Pcm(2, 44100, 16), Samples16({1000, 1000}));
    r->loop = 1;
    SoundBufferSetVolume(r, -600);  // scale 64: a quarter
    SoundBufferSetPan(r, -10000);   // all the way left
    MixFrame out[1] = {};
    int count = 1;
    MixSoundBuffer(r, &count, out);
    EXPECT_EQ(250, out[0].left);
    EXPECT_EQ(0, out[0].right);
}

TEST_F(EmulatedBuffer, HalfRateBufferInterpolatesEveryOtherFrame) {
    SoundBufferRecord* r = Make(Pcm(1, 22050, 16), Samples16({0, 100, 300, 700}));
    MixFrame out[4] = {};
    int count = 4;
    MixSoundBuffer(r, &count, out);
    const int expected[4] = {0, 50, 100, 200};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(expected[i], out[i].left) << i;
    EXPECT_EQ(2, count);
    EXPECT_EQ(2, r->position);
}

TEST_F(EmulatedBuffer, EndOfBufferStopsOrWraps) {
    SoundBufferRecord* once = Make(Pcm(1, 44100, 16), Samples16({1, 2, 3}));
    SoundBufferPlay(once, 0);
    MixFrame out[5] = {};
    int count = 5;
    MixSoundBuffer(once, &count, out);
    EXPECT_EQ(3, once->position);
    EXPECT_EQ(0, once->playing);
    EXPECT_EQ(0, out[3].left) << "nothing mixed past the end";

    SoundBufferRecord* looped = Make(Pcm(1, 44100, 16), Samples16({1, 2, 3}));
    SoundBufferPlay(looped, 1);
    MixFrame wrap[5] = {};
    count = 5;
    MixSoundBuffer(looped, &count, wrap);
    EXPECT_EQ(2, looped->position);
    EXPECT_EQ(1, wrap[3].left);
    EXPECT_EQ(1, looped->playing);

    SoundBufferRecord* other = Make(Pcm(1, 48000, 16), Samples16({9, 9, 9, 9}));
    MixFrame none[2] = {};
    count = 2;
    MixSoundBuffer(other, &count, none);
    EXPECT_EQ(0, none[0].left) << "48000 Hz is not mixed";
    EXPECT_EQ(2, other->position);
}
