// The byte ring of a connection. See ring_buffer.h.
#include "library/network/ring_buffer.h"

#include <cstdint>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/memory_bytes.h"

// The largest block a ring may have: growth beyond it fails like a refused allocation.
static constexpr int64_t RingCapacityLimit = INT32_MAX;

int InitRingBuffer(RingBuffer* ring) {
    *ring = RingBuffer{};
    return 0;
}

int FreeRingBuffer(RingBuffer* ring) {
    ZqFree(ring->data);
    *ring = RingBuffer{};
    return 0;
}

int NormalizeRingBuffer(RingBuffer* ring) {
    if (ring->readIndex == ring->capacity) ring->readIndex = 0;
    if (ring->writeIndex == ring->capacity) ring->writeIndex = 0;
    return 0;
}

int RewindEmptyRingBuffer(RingBuffer* ring) {
    if (ring->count == 0) ring->readIndex = ring->writeIndex = 0;
    return 0;
}

int GetRingBufferCount(const RingBuffer* ring) { return ring->count; }

int GetRingBufferSpace(const RingBuffer* ring) { return ring->capacity - ring->count; }

// Copies n bytes out of the ring from `index`, wrapping at the end; the next index.
static int32_t CopyOut(const RingBuffer* ring, int32_t index, unsigned char* destination, int n) {
    int first = ring->capacity - index;
    if (n > first) {
        CopyMemoryBytes(destination, ring->data + index, first);
        CopyMemoryBytes(destination + first, ring->data, n - first);
        return n - first;
    }
    CopyMemoryBytes(destination, ring->data + index, n);
    return index + n;
}

int ReserveRingBuffer(RingBuffer* ring, int n) {
    NormalizeRingBuffer(ring);
    if (n < 0) n = 0;
    const int64_t wanted = static_cast<int64_t>(ring->count) + n;
    if (wanted <= ring->capacity) return 0;
    // At least double: a ring that grows by every packet while nothing is taken would
    // copy everything it holds each time.
    int64_t capacity = wanted + 1000;
    const int64_t doubled = static_cast<int64_t>(ring->capacity) * 2;
    if (capacity < doubled) capacity = doubled < RingCapacityLimit ? doubled : RingCapacityLimit;
    unsigned char* block =
        capacity <= RingCapacityLimit ? static_cast<unsigned char*>(ZqAlloc(static_cast<size_t>(capacity))) : nullptr;
    if (block == nullptr) {
        FreeRingBuffer(ring);
        WriteLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %lld byte)",
                       static_cast<long long>(capacity));
        return -1;
    }
    if (ring->count > 0) CopyOut(ring, ring->readIndex, block, ring->count);
    ZqFree(ring->data);
    ring->data = block;
    ring->readIndex = 0;
    ring->writeIndex = ring->count;
    ring->capacity = static_cast<int32_t>(capacity);
    return 0;
}

int WriteRingBuffer(RingBuffer* ring, const void* source, int n) {
    NormalizeRingBuffer(ring);
    if (n < 0 || ReserveRingBuffer(ring, n) == -1) {
        return WriteLogFormat("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", n);
    }
    if (n == 0) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(source);
    const int first = ring->capacity - ring->writeIndex;
    if (n > first) {
        CopyMemoryBytes(ring->data + ring->writeIndex, bytes, first);
        CopyMemoryBytes(ring->data, bytes + first, n - first);
        ring->writeIndex = n - first;
    } else {
        CopyMemoryBytes(ring->data + ring->writeIndex, bytes, n);
        ring->writeIndex += n;
    }
    ring->count += n;
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* destination, int n, int peek) {
    if (n < 0 || n > ring->count) return -1;
    NormalizeRingBuffer(ring);
    if (n == 0) return 0;
    int32_t next = CopyOut(ring, ring->readIndex, static_cast<unsigned char*>(destination), n);
    if (!peek) {
        ring->readIndex = next;
        ring->count -= n;
    }
    return 0;
}
