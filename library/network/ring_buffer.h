// ring_buffer.h - the byte ring of a connection: received packets waiting to be
// taken, or bytes queued for sending. It grows (to count + n + 1000 bytes, and at
// least to twice its capacity) when a write or reservation does not fit, never
// shrinks, and moves its contents only when it grows. An index equal to the capacity
// stands for 0.
//
//     RingBuffer ring;
//     InitRingBuffer(&ring);
//     WriteRingBuffer(&ring, "abc", 3);
//     char out[3]; ReadRingBuffer(&ring, out, 3, 0);
//     FreeRingBuffer(&ring);
#pragma once

#include <cstdint>

struct RingBuffer {
    unsigned char* data;  // tracked block of capacity bytes; null while empty
    int32_t readIndex;    // the oldest byte
    int32_t writeIndex;   // where the next byte goes
    int32_t count;
    int32_t capacity;
};

int InitRingBuffer(RingBuffer* ring);
int FreeRingBuffer(RingBuffer* ring);
// Room for n more bytes; -1 when the block cannot grow (the held bytes are then lost).
int ReserveRingBuffer(RingBuffer* ring, int n);
int WriteRingBuffer(RingBuffer* ring, const void* source, int n);  // 0, or -1
// Copies the n oldest bytes; peek 0 removes them. -1 when fewer than n are held.
int ReadRingBuffer(RingBuffer* ring, void* destination, int n, int peek);
int GetRingBufferCount(const RingBuffer* ring);
int GetRingBufferSpace(const RingBuffer* ring);
int NormalizeRingBuffer(RingBuffer* ring);
// An empty ring starts again at its beginning, so the next bytes go in one piece
// instead of wrapping around its end (a socket call each piece). 0.
int RewindEmptyRingBuffer(RingBuffer* ring);
