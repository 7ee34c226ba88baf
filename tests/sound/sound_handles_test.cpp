// Sound handles: buffer sets, shared streaming buffers, stopping, deleting (delete
// pending for group leaders), the high-water mark and refused handles.
#include "sound/sound_test_support.h"

namespace {

class SoundHandles : public StartedSoundTest {
protected:
    // A streaming handle with its buffer and no sources.
    ResourceHandle Stream(ResourceHandle group = -1) {
        const ResourceHandle h = AddSoundHandle();
        SoundHandleRecord* r = GetSoundHandleRecord(h);
        r->streamFormat = Pcm(2, 44100, 16);
        r->group = group;
        if (group == -1) {
            CreateSoundBufferSet(&r->streamFormat, 0, SoundKindStream, 1, h);
        } else {
            r->kind = SoundKindStream;
            InsertLinkNode(&Device().streamHead, &r->listNode, h, r);
            ++GetSoundHandleRecord(group)->sharers;
        }
        return h;
    }
    bool Playing(SoundBufferRecord* b) {
        DWORD status = 0;
        SoundBufferGetStatus(b, &status);
        return status & DSBSTATUS_PLAYING;
    }
};

}  // namespace

TEST_F(SoundHandles, StaticSetShrinksWhenADuplicateFails) {
    const WAVEFORMATEX f = Pcm(1, 22050, 16);
    const ResourceHandle h = AddSoundHandle();
    DsoundSeamFailDuplicates(1);  // the second duplicate (the third buffer) fails
    ASSERT_EQ(0, CreateSoundBufferSet(&f, 4410, SoundKindStatic, 4, h));
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    EXPECT_EQ(2, r->bufferCount);
    EXPECT_TRUE(r->buffers[0].valid && r->buffers[1].valid && !r->buffers[2].valid);
    EXPECT_EQ(0, DeleteSoundHandle(h));
    EXPECT_EQ(2, DsoundSeamLiveBufferCount()) << "primary and silence remain";
}

TEST_F(SoundHandles, StaticSetWithoutFrequencyControlStillWorks) {
    const WAVEFORMATEX f = Pcm(2, 44100, 16);
    const ResourceHandle h = AddSoundHandle();
    DsoundSeamFailBufferCreation(DSBCAPS_CTRLFREQUENCY, DSERR_CONTROLUNAVAIL, 1);
    ASSERT_EQ(0, CreateSoundBufferSet(&f, 44100, SoundKindStatic, 1, h));
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    ASSERT_EQ(1, r->bufferCount);
    DWORD flags = 0;
    IDirectSoundBuffer_GetCaps(r->buffers[0].buffer, &flags, nullptr);
    EXPECT_EQ(DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC, flags);
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, IDirectSoundBuffer_SetFrequency(r->buffers[0].buffer, 22050));
    SoundBufferPlay(&r->buffers[0], 1);
    EXPECT_EQ(0, StopSoundHandle(h));
    EXPECT_FALSE(Playing(&r->buffers[0]));
}

TEST_F(SoundHandles, GroupMembersShareTheLeadersBuffer) {
    const ResourceHandle leader = Stream();
    const ResourceHandle a = Stream(leader);
    const ResourceHandle b = Stream(leader);
    SoundHandleRecord* lr = GetSoundHandleRecord(leader);
    SoundBufferRecord* buffer = nullptr;
    ASSERT_EQ(0, GetSoundHandleBuffer(a, GetSoundHandleRecord(a), &buffer, 0));
    EXPECT_EQ(&lr->buffers[0], buffer);
    EXPECT_EQ(a, lr->owner);
    SoundBufferPlay(buffer, 1);
    EXPECT_EQ(-1, GetSoundHandleBuffer(b, GetSoundHandleRecord(b), &buffer, 0));
    EXPECT_TRUE(Playing(&lr->buffers[0]));
    ASSERT_EQ(0, GetSoundHandleBuffer(b, GetSoundHandleRecord(b), &buffer, 1));
    EXPECT_EQ(b, lr->owner);
    EXPECT_FALSE(Playing(&lr->buffers[0])) << "taking over stops the old owner";
    // A stop by a member that does not own the buffer stops nothing.
    SoundBufferPlay(buffer, 1);
    EXPECT_EQ(0, StopStreamSound(a));
    EXPECT_TRUE(Playing(&lr->buffers[0]));
}

TEST_F(SoundHandles, LeaderWaitsForItsLastSharer) {
    const ResourceHandle leader = Stream();
    const ResourceHandle member = Stream(leader);
    EXPECT_EQ(0, DeleteSoundHandle(leader));
    SoundHandleRecord* lr = GetSoundHandleRecord(leader);
    ASSERT_NE(nullptr, lr) << "the leader stays while shared";
    EXPECT_EQ(1, lr->deletePending);
    EXPECT_EQ(0, DeleteSoundHandle(member));
    EXPECT_EQ(nullptr, GetSoundHandleRecord(leader));
    EXPECT_EQ(nullptr, GetSoundHandleRecord(member));
    EXPECT_EQ(0, Device().handleCount);
    EXPECT_EQ(&Device().streamTail, Device().streamHead.next);
}

TEST_F(SoundHandles, HighWaterMarkFollowsTheHighestSlot) {
    ResourceHandle h[6];
    for (ResourceHandle& x : h) x = AddSoundHandle();
    for (int i = 1; i <= 4; ++i) DeleteSoundHandle(h[i]);
    EXPECT_EQ(6, Device().highWater);
    DeleteSoundHandle(h[5]);
    EXPECT_EQ(1, Device().highWater);
    DeleteSoundHandle(h[0]);
    EXPECT_EQ(0, Device().highWater);
}

TEST_F(SoundHandles, ForeignOrStaleHandlesAreRefusedEverywhere) {
    const ResourceHandle h = Stream();
    const ResourceHandle slot = HandleSlot(h);
    const ResourceHandle bad[] = {
        h + (1 << 16),                                     // another check number
        MakeResourceHandle(HandleKindGraph, HandleCheck(h), slot),  // another kind
        h | static_cast<int>(0x80000000u),                 // error bit
        MakeResourceHandle(HandleKindSound, HandleCheck(h), 4096),  // slot outside the table
    };
    for (ResourceHandle x : bad) {
        EXPECT_EQ(-1, StopSoundHandle(x)) << std::hex << x;
        EXPECT_EQ(-1, StopStreamSound(x));
        EXPECT_EQ(-1, DeleteSoundHandle(x));
        EXPECT_EQ(-1, RefillStreamSound(x));
        EXPECT_EQ(-1, UpdateStreamPlayCounter(x, 0));
        EXPECT_EQ(-1, CreateSoundBufferSet(&GetSoundHandleRecord(h)->streamFormat, 100, 0, 1, x));
    }
    EXPECT_NE(nullptr, GetSoundHandleRecord(h));
    ShutdownDirectSound();
    EXPECT_EQ(-1, StopSoundHandle(h)) << "no device";
}

TEST_F(SoundHandles, StatusFailureStopsTheWalkOfAStaticSet) {
    const WAVEFORMATEX f = Pcm(1, 44100, 8);
    const ResourceHandle h = AddSoundHandle();
    ASSERT_EQ(0, CreateSoundBufferSet(&f, 441, SoundKindStatic, 3, h));
    SoundHandleRecord* r = GetSoundHandleRecord(h);
    for (int i = 0; i < 3; ++i) SoundBufferPlay(&r->buffers[i], 1);
    DsoundSeamFailStatus(1);
    EXPECT_EQ(-1, StopSoundHandle(h));
    EXPECT_TRUE(Playing(&r->buffers[1])) << "the walk ended at the failed status";
}
