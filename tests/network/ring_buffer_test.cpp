// The connection's byte ring: order across the wrap and across growth, peeking, and
// failed growth.
#include <gtest/gtest.h>

#include <string>

#include "library/core/alloc.h"
#include "library/network/ring_buffer.h"

namespace {
std::string Read(RingBuffer* ring, int n, int peek) {
    std::string out(n, '\0');
    if (ReadRingBuffer(ring, out.data(), n, peek) != 0) return "<refused>";
    return out;
}
}  // namespace

TEST(RingBuffer, KeepsOrderAcrossTheWrapAndAcrossGrowth) {
    const int blocks = GetTrackedBlockCount();
    RingBuffer ring;
    InitRingBuffer(&ring);
    ASSERT_EQ(0, WriteRingBuffer(&ring, "abcdef", 6));
    EXPECT_EQ(1006, ring.capacity);  // count + n + 1000
    EXPECT_EQ("abcd", Read(&ring, 4, 0));
    // Fill to the end so the next write wraps around.
    const std::string filler(1000, 'x');
    ASSERT_EQ(0, WriteRingBuffer(&ring, filler.data(), 1000));
    EXPECT_EQ(1006, ring.writeIndex);
    ASSERT_EQ(0, WriteRingBuffer(&ring, "0123", 4));
    EXPECT_EQ(4, ring.writeIndex);
    EXPECT_EQ(1006, GetRingBufferCount(&ring));
    EXPECT_EQ(0, GetRingBufferSpace(&ring));
    // Growing while wrapped keeps the bytes in order from the start of the new block.
    ASSERT_EQ(0, WriteRingBuffer(&ring, "XYZ", 3));
    EXPECT_EQ(0, ring.readIndex);
    EXPECT_EQ(1009, ring.writeIndex);
    EXPECT_EQ(2012, ring.capacity);  // twice the old capacity, more than count + n + 1000
    EXPECT_EQ("ef" + filler + "0123XYZ", Read(&ring, 1009, 1));
    EXPECT_EQ(1009, GetRingBufferCount(&ring));
    EXPECT_EQ("<refused>", Read(&ring, 1010, 0));
    EXPECT_EQ("ef" + filler + "0123XYZ", Read(&ring, 1009, 0));
    EXPECT_EQ(0, GetRingBufferCount(&ring));
    FreeRingBuffer(&ring);
    EXPECT_EQ(nullptr, ring.data);
    EXPECT_EQ(blocks, GetTrackedBlockCount());
}

// A receiver that takes nothing while packets keep coming: each growth copies all the
// ring holds, so the ring must grow by a factor, not by each packet's size.
TEST(RingBuffer, GrowsGeometricallyWhileNothingIsTaken) {
    RingBuffer ring;
    InitRingBuffer(&ring);
    const std::string packet(65536, 'p');
    int growths = 0;
    for (int i = 0; i < 256; i++) {
        const int capacity = ring.capacity;
        ASSERT_EQ(0, ReserveRingBuffer(&ring, 65536));
        ASSERT_EQ(0, WriteRingBuffer(&ring, packet.data(), 65536));
        if (ring.capacity != capacity) growths++;
    }
    EXPECT_EQ(256 * 65536, GetRingBufferCount(&ring));
    EXPECT_LE(growths, 10);
    FreeRingBuffer(&ring);
}

TEST(RingBuffer, ReadsAcrossTheEndInTwoPieces) {
    RingBuffer ring;
    InitRingBuffer(&ring);
    ASSERT_EQ(0, ReserveRingBuffer(&ring, 10));  // capacity 1010
    const std::string head(1005, 'h');
    ASSERT_EQ(0, WriteRingBuffer(&ring, head.data(), 1005));
    EXPECT_EQ(head, Read(&ring, 1005, 0));
    ASSERT_EQ(0, WriteRingBuffer(&ring, "abcdefghij", 10));  // 5 at the end, 5 at the start
    EXPECT_EQ(1010, ring.capacity);
    EXPECT_EQ("abcdefg", Read(&ring, 7, 1));
    EXPECT_EQ("abcdefghij", Read(&ring, 10, 0));
    FreeRingBuffer(&ring);
}

TEST(RingBuffer, FailedGrowthLosesTheHeldBytes) {
    RingBuffer ring;
    InitRingBuffer(&ring);
    ASSERT_EQ(0, WriteRingBuffer(&ring, "abc", 3));
    EXPECT_EQ(-1, ReserveRingBuffer(&ring, 0x7FFFFFFF));  // beyond any block the ring may have
    EXPECT_EQ(nullptr, ring.data);
    EXPECT_EQ(0, GetRingBufferCount(&ring));
    EXPECT_EQ(-1, WriteRingBuffer(&ring, "x", -1));
    FreeRingBuffer(&ring);
}
