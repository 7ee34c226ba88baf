// The tracked allocator: tags, list links and their check copies, the dump and block
// lines in Log.txt, serial wrap, refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "core_test_support.h"
#include "library/core/alloc.h"
#include "platform/testing.h"

static AllocHeader* HeaderOf(void* data) { return static_cast<AllocHeader*>(data) - 1; }

TEST(TrackedAllocator, TagKeepsItsLast15Bytes) {
    struct {
        const char* tag;
        const char* kept;
    } cases[] = {{"abcdefghijklmn", "abcdefghijklmn"},
                 {"abcdefghijklmno", "abcdefghijklmno"},
                 {"0123456789abcdefghij", "56789abcdefghij"},
                 {nullptr, ""}};
    for (const auto& c : cases) {
        void* block = AllocTrackedMemory(4, c.tag, 70000);
        ASSERT_NE(block, nullptr);
        EXPECT_STREQ(HeaderOf(block)->tag, c.kept);
        EXPECT_EQ(HeaderOf(block)->line, uint16_t(70000));
        FreeTrackedMemory(block);
    }
}

TEST(TrackedAllocator, UnlinkingRefreshesTheNeighboursChecks) {
    void* a = ZqAlloc(8);
    void* b = ZqAlloc(8);
    void* c = ZqAlloc(8);
    EXPECT_EQ(GetTrackedBlockCount(), 3);
    ZqFree(b);  // middle
    EXPECT_EQ(HeaderOf(c)->older, HeaderOf(a));
    EXPECT_EQ(HeaderOf(a)->newer, HeaderOf(c));
    EXPECT_EQ(CheckAllAllocHeaders(), 0);
    ZqFree(c);  // newest
    EXPECT_EQ(SystemStateRecord.alloc.newest, HeaderOf(a));
    EXPECT_EQ(HeaderOf(a)->newer, nullptr);
    EXPECT_EQ(CheckAllAllocHeaders(), 0);
    ZqFree(a);
    EXPECT_EQ(SystemStateRecord.alloc.newest, &SystemStateRecord.alloc.sentinel);
    EXPECT_EQ(GetTrackedBlockCount(), 0);
    EXPECT_EQ(GetTrackedTotalSize(), 0);
}

TEST(TrackedAllocator, ZeroingAllocationAndFreeOfNull) {
    auto* bytes = static_cast<unsigned char*>(ZqAllocZero(100));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 100; i++) ASSERT_EQ(bytes[i], 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes) % 16, 0u);
    EXPECT_EQ(ZqFree(nullptr), 0);
    EXPECT_NE(ZqFree(bytes), 0);
}

TEST(TrackedAllocator, SerialWrapsAfter65535) {
    SystemStateRecord.alloc.nextSerial = 65535;
    void* a = ZqAlloc(1);
    void* b = ZqAlloc(1);
    EXPECT_EQ(HeaderOf(a)->serial, 65535);
    EXPECT_EQ(HeaderOf(b)->serial, 0);
    ZqFree(a);
    ZqFree(b);
}

TEST_F(LogTest, DumpOfAnEmptyList) {
    DumpTrackedMemory();
    EXPECT_EQ(Log(), "0:\r\n0:Alloc memory dump\tTotal size:0(0.000kb)  Alloc num:0\r\n0:\r\n");
}

TEST_F(LogTest, DumpListsNewestFirstWithCharactersAndHex) {
    SystemStateRecord.alloc.traceSize = 99999;  // no tracing, only the dump
    auto* first = static_cast<unsigned char*>(AllocTrackedMemory(3, "src.cpp", 12));
    std::memcpy(first, "AB\x01", 3);
    auto* second = static_cast<char*>(ZqAlloc(20));
    std::memcpy(second, "0123456789abcdefghij", 20);
    DumpTrackedMemory();
    EXPECT_EQ(Log(),
              "0:\r\n"
              "0:Alloc memory dump\tsize:20(0.020kb)  file:  line:0  ID:1  data:<0123456789abcdef> "
              "[30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66]\r\n"
              "0:\tsize:3(0.003kb)  file:src.cpp  line:12  ID:0  data:<AB.> [41 42 01]\r\n"
              "0:\tTotal size:23(0.022kb)  Alloc num:2\r\n"
              "0:\r\n");
    ZqFree(first);
    ZqFree(second);
}

TEST_F(LogTest, ZeroByteAllocationIsTracedByDefault) {
    void* block = ZqAlloc(0);
    ASSERT_NE(block, nullptr);
    void* other = ZqAlloc(4);  // not traced: trace size is 0
    ZqFree(other);
    SystemStateRecord.alloc.traceSize = 1;  // keep the free of the empty block out of the log
    ZqFree(block);
    EXPECT_EQ(Log(), "0:mem alloc  \tsize:0(0.000kb)  file:  line:0  ID:0  data:<>]\r\n");
}

TEST_F(LogTest, TraceAllAndTotalsSettings) {
    SystemStateRecord.alloc.traceAll = 1;
    SystemStateRecord.alloc.logTotals = 1;
    void* block = AllocTrackedMemory(1, "t", 3);  // traced before it holds data
    static_cast<char*>(block)[0] = 'x';
    ZqFree(block);
    std::string log = Log();
    const std::string head = "0:mem alloc  \tsize:1(0.001kb)  file:t  line:3  ID:0  data:<";
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(log.substr(log.find("\r\n") + 2),
              "0:\tTotal size:1(0.001kb)  Alloc num:1\r\n"
              "0:mem free  \tsize:1(0.001kb)  file:t  line:3  ID:0  data:<x> [78]\r\n"
              "0:\tTotal size:0(0.000kb)  Alloc num:0\r\n");
}

TEST_F(LogTest, DamagedHeaderIsFoundAndLogged) {
    void* a = ZqAlloc(2);
    void* b = ZqAlloc(2);
    HeaderOf(a)->line = 77;  // damage without refreshing the copy
    EXPECT_EQ(CheckAllAllocHeaders(), -1);
    std::string log = Log();
    EXPECT_EQ(log.find("0:以下のメモリ確保情報が破損しました\tsize:2(0.002kb)  file:  line:77  ID:0"), 0u);
    HeaderOf(a)->line = 0;
    EXPECT_EQ(CheckAllAllocHeaders(), 0);
    ZqFree(a);
    ZqFree(b);
}

TEST_F(LogTest, HeapFailureAndHugeSizesDumpAndGiveNull) {
    void* live = ZqAlloc(5);
    FailNextHeapAllocations(1);
    EXPECT_EQ(ZqAlloc(10), nullptr);
    EXPECT_EQ(ZqAlloc(size_t(1) << 31), nullptr);
    EXPECT_EQ(ZqAlloc(SIZE_MAX - 8), nullptr);
    EXPECT_EQ(GetTrackedBlockCount(), 1);
    std::string log = Log();
    size_t first = log.find("Alloc memory dump");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("Alloc memory dump", first + 1), std::string::npos);
    EXPECT_NE(log.find("\tsize:5(0.005kb)"), std::string::npos);
    ZqFree(live);
}

#if defined(__SANITIZE_ADDRESS__)
#define ZQ_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_TEST_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef ZQ_TEST_ADDRESS_SANITIZER
// AddressSanitizer sees a read of one byte past any tracked block, however small (even
// an empty one): the block ends where the caller's bytes end, with nothing unwatched
// behind it.
static int ReadOnePastTheEnd(size_t size, bool zeroed) {
    auto* bytes = static_cast<volatile unsigned char*>(zeroed ? ZqAllocZero(size) : ZqAlloc(size));
    int past = bytes[size];
    ZqFree(const_cast<unsigned char*>(bytes));
    return past;
}

TEST(TrackedAllocatorDeathTest, AddressSanitizerReportsAReadOnePastAnySmallBlock) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (size_t size : {0, 1, 13, 100}) {
        SCOPED_TRACE(size);
        EXPECT_DEATH(ReadOnePastTheEnd(size, false), "heap-buffer-overflow");
        EXPECT_DEATH(ReadOnePastTheEnd(size, true), "heap-buffer-overflow");
    }
}
#endif
