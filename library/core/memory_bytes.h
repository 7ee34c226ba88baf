// memory_bytes.h - the library's own memory fill, compare, copy and move, and the
// process-heap pair below the tracked allocator.
#pragma once

#include <cstddef>

void FillMemoryBytes(void* destination, int byte, size_t n);
int CompareMemoryBytes(const void* a, const void* b, size_t n);  // 0 equal, 1 different
// Forward copy: overlap is safe only when the destination lies below the source.
void* CopyMemoryBytes(void* destination, const void* source, size_t n);
// Overlap-safe in both directions.
void* MoveMemoryBytes(void* destination, const void* source, size_t n);

void* HeapAllocBytes(size_t n);   // null when the heap has no room
int HeapFreeBytes(void* block);   // non-zero on success
