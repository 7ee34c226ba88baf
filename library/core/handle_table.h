// handle_table.h - one table of records addressed by ResourceHandles (handles.h).
//
// Each resource kind keeps one HandleTable in its zero-initialised global state,
// with a slot array of its own capacity. Records are tracked blocks that begin with
// a HandleRecordHead (the check number, then the lost-flag pointer):
//
//     struct Surface2DRecord { HandleRecordHead head; ...; };
//     static void* Surface2DSlots[32768];
//     HandleTable Surface2DTable = MakeHandleTable(Surface2DSlots, HandleKindSurface2D, 32768,
//                                                  HandleSlotHighWater, 0);  // no lost-flag write
//
//     int handle = AddHandleRecord(&Surface2DTable, sizeof(Surface2DRecord), (void**)&record);
//     if (handle == HandleTableFull) return WriteLogText("２Ｄグラフィックの量が許容量を越えました\n");
//     if (handle == HandleRecordNoMemory) return WriteLogText("...");
//     auto* record = (Surface2DRecord*)LookupHandleRecord(&Surface2DTable, handle);
//     DeleteHandleRecord(&Surface2DTable, handle);   // after releasing what it owns
//
// When filling a new record can fail before the handle is given out, reserve the slot
// first: ReserveHandleSlot, fill, then CommitHandleSlot (gives the handle and moves the
// check counter) or CancelHandleSlot (frees the record; the counter does not move).
//
// Slots: HandleSlotHighWater takes the high-water mark while it is below the capacity
// and then the lowest free slot; HandleSlotFirstFree always takes the lowest free slot.
// Check numbers run 0..2047 and wrap; a handle whose kind, slot or check number does
// not match is refused by every lookup. Tables have no lock of their own: they are
// used under the ApiLock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/core/handles.h"

struct HandleRecordHead {
    int32_t check;     // check number 0..2047
    int* lostFlag;     // caller's int written 1 when the record is deleted, or null
};

enum HandleSlotPolicy {
    HandleSlotHighWater = 0,
    HandleSlotFirstFree = 1,
};

enum HandleTableFlags {
    HandleTableWritesLostFlag = 1,  // deleting a record writes 1 through its lost flag
};

struct HandleTable {
    void** slots;       // capacity record pointers, null for a free slot
    int32_t kind;       // HandleKind
    int32_t capacity;
    int32_t policy;     // HandleSlotPolicy
    int32_t flags;      // HandleTableFlags
    int32_t liveCount;
    int32_t highWater;  // one more than the highest occupied slot
    int32_t nextCheck;  // check number of the next record
};

constexpr HandleTable MakeHandleTable(void** slots, int kind, int capacity, int policy, int flags) {
    return HandleTable{slots, kind, capacity, policy, flags, 0, 0, 0};
}

// Results of adding besides a handle.
enum {
    HandleTableFull = -1,       // every slot is taken
    HandleRecordNoMemory = -2,  // the record could not be allocated; nothing changed
};

// Adds a zero-filled record of `recordSize` bytes: the new handle, or one of the two
// results above. *record receives the record (null on failure).
int AddHandleRecord(HandleTable* table, size_t recordSize, void** record);

// Two-step add. Reserve: a slot index (record zero-filled and stored), or one of the
// two results above. Commit: sets the check number and counts, returns the handle.
int ReserveHandleSlot(HandleTable* table, size_t recordSize, void** record);
int CommitHandleSlot(HandleTable* table, int slot);
void CancelHandleSlot(HandleTable* table, int slot);

// Adds a record at a given free slot with a given check number (fonts rebuilt after a
// device loss keep their handle values); the check counter does not move. The handle,
// HandleTableFull when the slot is taken or out of range, or HandleRecordNoMemory.
int AddHandleRecordAt(HandleTable* table, int slot, int check, size_t recordSize, void** record);

// The record of a handle, or null when the handle is refused.
inline void* LookupHandleRecord(const HandleTable* table, int handle) {
    if (handle < 0 || HandleKindOf(handle) != table->kind) return nullptr;
    int slot = HandleSlot(handle);
    if (slot >= table->capacity) return nullptr;
    void* record = table->slots[slot];
    if (record == nullptr) return nullptr;
    if ((static_cast<const HandleRecordHead*>(record)->check << 16) != (handle & HandleCheckMask)) {
        return nullptr;
    }
    return record;
}

// Removes the record of a handle (release what it owns first): writes its lost flag
// when the table does so, frees it, lowers the high-water mark past free slots.
// 0, or -1 for a refused handle.
int DeleteHandleRecord(HandleTable* table, int handle);

// Stores the caller's lost flag in the record and writes 0 through it; -1 for a
// refused handle.
int SetHandleLostFlagPointer(HandleTable* table, int handle, int* lostFlag);

// The handle of an occupied slot (for "delete all" loops from 0 to highWater), or -1.
int HandleOfSlot(const HandleTable* table, int slot);

// Empties the table: every record is freed without its lost flag being written
// (owners release what the records hold first); counts and counter restart at 0.
void ResetHandleTable(HandleTable* table);
