// Handle tables. See handle_table.h.
#include "library/core/handle_table.h"

#include "library/core/alloc.h"

static HandleRecordHead* Head(void* record) { return static_cast<HandleRecordHead*>(record); }

// A zero-filled record block stored in the slot; null when the heap has no room.
static void* NewRecord(HandleTable* table, int slot, size_t recordSize) {
    void* block = ZqAllocZero(recordSize < sizeof(HandleRecordHead) ? sizeof(HandleRecordHead) : recordSize);
    table->slots[slot] = block;
    return block;
}

static int FirstFreeSlot(const HandleTable* table) {
    for (int slot = 0; slot < table->capacity; slot++) {
        if (table->slots[slot] == nullptr) return slot;
    }
    return -1;
}

int ReserveHandleSlot(HandleTable* table, size_t recordSize, void** record) {
    *record = nullptr;
    if (table->liveCount >= table->capacity) return HandleTableFull;
    int slot = (table->policy == HandleSlotHighWater && table->highWater < table->capacity)
                   ? table->highWater
                   : FirstFreeSlot(table);
    if (slot < 0) return HandleTableFull;
    *record = NewRecord(table, slot, recordSize);
    return *record != nullptr ? slot : HandleRecordNoMemory;
}

static int CountIn(HandleTable* table, int slot, int check) {
    Head(table->slots[slot])->check = check;
    table->liveCount++;
    if (slot >= table->highWater) table->highWater = slot + 1;
    return MakeResourceHandle(table->kind, check, slot);
}

int CommitHandleSlot(HandleTable* table, int slot) {
    int check = table->nextCheck;
    table->nextCheck = (check + 1) % HandleCheckLimit;
    return CountIn(table, slot, check);
}

void CancelHandleSlot(HandleTable* table, int slot) {
    ZqFree(table->slots[slot]);
    table->slots[slot] = nullptr;
}

int AddHandleRecord(HandleTable* table, size_t recordSize, void** record) {
    int slot = ReserveHandleSlot(table, recordSize, record);
    if (slot < 0) return slot;
    return CommitHandleSlot(table, slot);
}

int AddHandleRecordAt(HandleTable* table, int slot, int check, size_t recordSize, void** record) {
    *record = nullptr;
    if (slot < 0 || slot >= table->capacity || table->slots[slot] != nullptr) return HandleTableFull;
    *record = NewRecord(table, slot, recordSize);
    if (*record == nullptr) return HandleRecordNoMemory;
    return CountIn(table, slot, check & (HandleCheckLimit - 1));
}

int DeleteHandleRecord(HandleTable* table, int handle) {
    void* record = LookupHandleRecord(table, handle);
    if (record == nullptr) return -1;
    int slot = HandleSlot(handle);
    table->liveCount--;
    if (table->highWater == slot + 1) {
        int top = table->liveCount == 0 ? -1 : slot - 1;
        while (top >= 0 && table->slots[top] == nullptr) top--;
        table->highWater = top + 1;
    }
    if ((table->flags & HandleTableWritesLostFlag) && Head(record)->lostFlag != nullptr) {
        *Head(record)->lostFlag = 1;
    }
    ZqFree(record);
    table->slots[slot] = nullptr;
    return 0;
}

int SetHandleLostFlagPointer(HandleTable* table, int handle, int* lostFlag) {
    void* record = LookupHandleRecord(table, handle);
    if (record == nullptr) return -1;
    Head(record)->lostFlag = lostFlag;
    if (lostFlag != nullptr) *lostFlag = 0;
    return 0;
}

int HandleOfSlot(const HandleTable* table, int slot) {
    if (slot < 0 || slot >= table->capacity || table->slots[slot] == nullptr) return -1;
    return MakeResourceHandle(table->kind, Head(table->slots[slot])->check, slot);
}

void ResetHandleTable(HandleTable* table) {
    // Every occupied slot lies below the high-water mark.
    for (int slot = 0; slot < table->highWater; slot++) {
        ZqFree(table->slots[slot]);
        table->slots[slot] = nullptr;
    }
    table->liveCount = 0;
    table->highWater = 0;
    table->nextCheck = 0;
}
