// alloc.h - the tracked allocator.
//
// Every heap block of the library comes from here. Each block carries a header
// (source tag, serial, line, size) and sits in one list, so shutdown can list what
// is still alive ("Alloc memory dump" in the log). The library's own callers pass an
// empty tag and line 0: use ZqAlloc / ZqAllocZero / ZqFree.
#pragma once

#include <cstddef>

void* AllocTrackedMemory(size_t size, const char* tag, int line);
void* AllocTrackedMemoryZero(size_t size, const char* tag, int line);
int FreeTrackedMemory(void* data);
int DumpTrackedMemory(void);
int CheckAllAllocHeaders(void);

inline void* ZqAlloc(size_t size) { return AllocTrackedMemory(size, "", 0); }
inline void* ZqAllocZero(size_t size) { return AllocTrackedMemoryZero(size, "", 0); }
inline int ZqFree(void* data) { return FreeTrackedMemory(data); }
