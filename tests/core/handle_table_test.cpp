// Handle tables: slot choice, high-water mark, check numbers, refusals, lost flags.
#include <gtest/gtest.h>

#include <vector>

#include "library/core/alloc.h"
#include "library/core/handle_table.h"

struct TestRecord {
    HandleRecordHead head;
    int payload;
};

// A small table of graph kind (HWM policy, writes lost flags).
class HandleTableTest : public ::testing::Test {
protected:
    void TearDown() override { ResetHandleTable(&table); }
    int Add() {
        void* record = nullptr;
        return AddHandleRecord(&table, sizeof(TestRecord), &record);
    }
    void* slots[8] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindGraph, 8, HandleSlotHighWater, HandleTableWritesLostFlag);
};

TEST_F(HandleTableTest, HandlesCarryKindCheckAndSlot) {
    EXPECT_EQ(Add(), 0x08000000);
    EXPECT_EQ(Add(), 0x08000000 | (1 << 16) | 1);
    EXPECT_EQ(table.liveCount, 2);
    EXPECT_EQ(table.highWater, 2);
}

TEST_F(HandleTableTest, RefusesForeignAndStaleHandles) {
    int h = Add();
    ASSERT_NE(LookupHandleRecord(&table, h), nullptr);
    const int refused[] = {
        -1, 0, int(0xF0000000u) | 0,                      // error values, archive file handle
        MakeResourceHandle(HandleKindSurface2D, 0, 0),    // another kind
        MakeResourceHandle(HandleKindGraph, 5, 0),        // check mismatch
        MakeResourceHandle(HandleKindGraph, 0, 3),        // free slot
        MakeResourceHandle(HandleKindGraph, 0, 8),        // slot beyond capacity
        MakeResourceHandle(HandleKindGraph, 0, 0x8000),   // bit 15
    };
    for (int handle : refused) {
        EXPECT_EQ(LookupHandleRecord(&table, handle), nullptr) << std::hex << handle;
        EXPECT_EQ(DeleteHandleRecord(&table, handle), -1) << std::hex << handle;
    }
    EXPECT_EQ(DeleteHandleRecord(&table, h), 0);
    EXPECT_EQ(LookupHandleRecord(&table, h), nullptr);
}

TEST_F(HandleTableTest, HighWaterDropsPastFreedSlotsAndToZero) {
    std::vector<int> h;
    for (int i = 0; i < 5; i++) h.push_back(Add());
    DeleteHandleRecord(&table, h[2]);
    DeleteHandleRecord(&table, h[3]);
    EXPECT_EQ(table.highWater, 5);
    DeleteHandleRecord(&table, h[4]);
    EXPECT_EQ(table.highWater, 2);  // past the free slots 2..4 at once
    EXPECT_EQ(HandleSlot(Add()), 2);  // new records go to the high-water mark
    DeleteHandleRecord(&table, h[0]);
    DeleteHandleRecord(&table, h[1]);
    DeleteHandleRecord(&table, MakeResourceHandle(HandleKindGraph, 5, 2));
    EXPECT_EQ(table.liveCount, 0);
    EXPECT_EQ(table.highWater, 0);
}

TEST_F(HandleTableTest, AtCapacityTheLowestFreeSlotIsReused) {
    std::vector<int> h;
    for (int i = 0; i < 8; i++) h.push_back(Add());
    EXPECT_EQ(Add(), HandleTableFull);
    DeleteHandleRecord(&table, h[5]);
    DeleteHandleRecord(&table, h[3]);
    EXPECT_EQ(HandleSlot(Add()), 3);
    EXPECT_EQ(HandleSlot(Add()), 5);
    EXPECT_EQ(table.highWater, 8);
    EXPECT_EQ(Add(), HandleTableFull);
}

TEST_F(HandleTableTest, CheckNumberWrapsAfter2048AndAStaleHandleIsThenAccepted) {
    int first = Add();
    DeleteHandleRecord(&table, first);
    for (int i = 1; i < HandleCheckLimit; i++) DeleteHandleRecord(&table, Add());
    int again = Add();  // the 2049th record: check number 0 in slot 0
    EXPECT_EQ(again, first);
    EXPECT_NE(LookupHandleRecord(&table, first), nullptr);
}

TEST_F(HandleTableTest, LostFlagIsClearedOnSetAndWrittenOnDelete) {
    int h = Add();
    int lost = 7;
    EXPECT_EQ(SetHandleLostFlagPointer(&table, h, &lost), 0);
    EXPECT_EQ(lost, 0);
    DeleteHandleRecord(&table, h);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(SetHandleLostFlagPointer(&table, h, &lost), -1);
}

TEST(HandleTableVariants, TableWithoutLostFlagWritesNothing) {
    void* slots[4] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindSurface2D, 4, HandleSlotHighWater, 0);
    void* record;
    int h = AddHandleRecord(&table, sizeof(TestRecord), &record);
    int lost = 5;
    SetHandleLostFlagPointer(&table, h, &lost);
    DeleteHandleRecord(&table, h);
    EXPECT_EQ(lost, 0);
}

TEST(HandleTableVariants, FirstFreePolicyAlwaysTakesTheLowestSlot) {
    void* slots[4] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindMovie, 4, HandleSlotFirstFree, 0);
    void* record;
    int a = AddHandleRecord(&table, sizeof(TestRecord), &record);
    AddHandleRecord(&table, sizeof(TestRecord), &record);
    DeleteHandleRecord(&table, a);
    EXPECT_EQ(HandleSlot(AddHandleRecord(&table, sizeof(TestRecord), &record)), 0);
    ResetHandleTable(&table);
}

TEST(HandleTableVariants, ReserveCancelLeavesTheCounterAndSlot) {
    void* slots[4] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindSurface2D, 4, HandleSlotHighWater, 0);
    void* record;
    int slot = ReserveHandleSlot(&table, sizeof(TestRecord), &record);
    ASSERT_EQ(slot, 0);
    CancelHandleSlot(&table, slot);
    EXPECT_EQ(table.nextCheck, 0);
    EXPECT_EQ(table.liveCount, 0);
    EXPECT_EQ(slots[0], nullptr);
    slot = ReserveHandleSlot(&table, sizeof(TestRecord), &record);
    EXPECT_EQ(CommitHandleSlot(&table, slot), MakeResourceHandle(HandleKindSurface2D, 0, 0));
    ResetHandleTable(&table);
    EXPECT_EQ(GetTrackedBlockCount(), 0);
}

TEST(HandleTableVariants, GivenSlotAndCheckNumberKeepHandleValues) {
    void* slots[4] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindFont, 4, HandleSlotFirstFree, HandleTableWritesLostFlag);
    void* record;
    int h = AddHandleRecordAt(&table, 2, 300, sizeof(TestRecord), &record);
    EXPECT_EQ(h, MakeResourceHandle(HandleKindFont, 300, 2));
    EXPECT_EQ(AddHandleRecordAt(&table, 2, 1, sizeof(TestRecord), &record), HandleTableFull);
    EXPECT_EQ(table.nextCheck, 0);
    EXPECT_EQ(HandleOfSlot(&table, 2), h);
    EXPECT_EQ(HandleOfSlot(&table, 1), -1);
    ResetHandleTable(&table);
}

TEST(HandleTableVariants, FailedRecordAllocationChangesNothing) {
    void* slots[4] = {};
    HandleTable table = MakeHandleTable(slots, HandleKindSurfaceData, 4, HandleSlotHighWater, 0);
    void* record = &table;
    EXPECT_EQ(AddHandleRecord(&table, size_t(1) << 40, &record), HandleRecordNoMemory);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(table.liveCount, 0);
    EXPECT_EQ(table.nextCheck, 0);
    EXPECT_EQ(slots[0], nullptr);
}
