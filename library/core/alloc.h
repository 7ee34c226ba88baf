// alloc.h - the tracked allocator.
//
// Every heap block of the library comes from here. Each block carries a header
// (source tag, serial, line, size) and sits in one list, so shutdown can list what
// is still alive ("Alloc memory dump" in the log). The library's own callers pass an
// empty tag and line 0: use ZqAlloc / ZqAllocZero / ZqFree.
//
// A size that cannot be tracked (2 GiB or more) is refused like an exhausted heap:
// the live blocks are dumped into the log and the result is null.
#pragma once

#include <cstddef>
#include <cstdint>

void* AllocTrackedMemory(size_t size, const char* tag, int line);
void* AllocTrackedMemoryZero(size_t size, const char* tag, int line);
int FreeTrackedMemory(void* data);
int DumpTrackedMemory(void);
int CheckAllAllocHeaders(void);

inline void* ZqAlloc(size_t size) { return AllocTrackedMemory(size, "", 0); }
inline void* ZqAllocZero(size_t size) { return AllocTrackedMemoryZero(size, "", 0); }
inline int ZqFree(void* data) { return FreeTrackedMemory(data); }

// The header in front of every block. The first AllocHeaderCheckedBytes bytes (tag
// through newer) are copied into `check`, so damage to a header can be found.
struct AllocHeader {
    char tag[16];         // last 15 bytes of the requester's tag, NUL-terminated
    uint16_t serial;
    uint16_t line;
    uint32_t size;
    AllocHeader* older;   // towards the oldest block (the sentinel at the end)
    AllocHeader* newer;   // towards the newest; null for the newest
    unsigned char check[40];
};
enum { AllocHeaderCheckedBytes = 40 };
static_assert(sizeof(AllocHeader) % 16 == 0, "blocks stay 16-byte aligned");

// The allocator's list and settings (kept in SystemState across start-up's clearing).
struct AllocState {
    AllocHeader sentinel;  // oldest end of the list; never freed, never listed
    AllocHeader* newest;   // null until the first allocation, then the sentinel while empty
    uint16_t nextSerial;
    int64_t totalSize;
    int32_t blockCount;
    int32_t traceAll;      // 1: log every allocation and free
    int32_t logTotals;     // 1: log the totals after every allocation and free
    int32_t checkAlways;   // 1: check every header on every allocation and free
    int32_t traceSize;     // log blocks of exactly this size; negative: all
};

int LogAllocTotals(void);
int LogAllocBlock(const AllocHeader* header);

// The number of live blocks and their total size.
int GetTrackedBlockCount(void);
int64_t GetTrackedTotalSize(void);
