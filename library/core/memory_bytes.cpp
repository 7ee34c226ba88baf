// Memory helpers. The run-time's memset/memcmp/memmove do exactly these jobs fast.
#include "library/core/memory_bytes.h"

#include <cstring>

#include "platform/kernel/kernel.h"

void FillMemoryBytes(void* destination, int byte, size_t n) { std::memset(destination, byte, n); }

int CompareMemoryBytes(const void* a, const void* b, size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0 ? 0 : 1;
}

void* CopyMemoryBytes(void* destination, const void* source, size_t n) {
    // memmove gives the forward copy's result wherever that one is defined.
    return std::memmove(destination, source, n);
}

void* MoveMemoryBytes(void* destination, const void* source, size_t n) {
    if (destination == source) return destination;
    return std::memmove(destination, source, n);
}

void* HeapAllocBytes(size_t n) { return HeapAlloc(GetProcessHeap(), 0, n); }
int HeapFreeBytes(void* block) { return HeapFree(GetProcessHeap(), 0, block); }
