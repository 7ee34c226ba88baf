// Memory streams: the read, seek and write contract, and the stream-operation set.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "library/core/alloc.h"
#include "library/file/stream.h"

namespace {

const uint8_t kTen[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

TEST(MemoryFile, ReadsWholeElementsThenTheZeroFilledRestThenTheEnd) {
    MemoryFile* file = OpenMemoryFile(kTen, 10);
    ASSERT_NE(file, nullptr);
    uint8_t buffer[12];
    std::memset(buffer, 0xEE, sizeof buffer);

    struct Step {
        size_t elementSize, count, result;
        int position, end;
        std::vector<uint8_t> bytes;  // what the buffer starts with afterwards
    } steps[] = {
        {4, 3, 2, 8, 0, {1, 2, 3, 4, 5, 6, 7, 8}},
        {4, 1, 1, 10, 0, {9, 10, 0, 0}},  // the missing half of the element is zero, not stale
        {4, 1, 0, 10, 1, {9, 10, 0, 0}},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(ReadMemoryFile(buffer, s.elementSize, s.count, file), s.result);
        EXPECT_EQ(TellMemoryFile(file), s.position);
        EXPECT_EQ(CheckMemoryFileEnd(file), s.end);
        EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + s.bytes.size()), s.bytes);
    }
    EXPECT_EQ(CheckMemoryFileReady(file), 1);
    EXPECT_EQ(CloseMemoryFile(file), 0);
}

TEST(MemoryFile, SeeksClampAndClearTheEndFlag) {
    MemoryFile* file = OpenMemoryFile(kTen, 10);
    ASSERT_NE(file, nullptr);
    struct Seek {
        int64_t offset;
        int origin;
        int position;
    } seeks[] = {
        {-5, 0, 0},          {100, 0, 10},        {4, 0, 4},          {3, 1, 6},
        {-20, 1, 0},         {-2, 2, 8},          {5, 2, 10},         {6, 7, 6},  // unknown origin: from the start
        {INT64_MAX, 1, 10},  {INT64_MIN, 2, 0},   {int64_t(1) << 32, 0, 10},
    };
    uint8_t byte = 0;
    for (const Seek& s : seeks) {
        SeekMemoryFile(file, 10, 0);
        ReadMemoryFile(&byte, 1, 1, file);  // at the end: sets the flag
        ASSERT_EQ(CheckMemoryFileEnd(file), 1);
        SeekMemoryFile(file, 3, 0);
        EXPECT_EQ(SeekMemoryFile(file, s.offset, s.origin), 0);
        EXPECT_EQ(TellMemoryFile(file), s.position) << s.offset << " from " << s.origin;
        EXPECT_EQ(CheckMemoryFileEnd(file), 0);
    }
    CloseMemoryFile(file);
}

TEST(MemoryFile, WriteMirrorsTheRead) {
    uint8_t memory[10] = {};
    MemoryFile* file = OpenMemoryFile(memory, 10);
    ASSERT_NE(file, nullptr);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(WriteMemoryFile(data, 4, 3, file), 2u);
    EXPECT_EQ(TellMemoryFile(file), 8);
    EXPECT_EQ(WriteMemoryFile(data, 4, 1, file), 0u);  // half an element does not fit
    EXPECT_EQ(TellMemoryFile(file), 8);
    EXPECT_EQ(CheckMemoryFileEnd(file), 0);
    EXPECT_EQ(WriteMemoryFile(data, 1, 5, file), 2u);
    EXPECT_EQ(WriteMemoryFile(data, 1, 1, file), 0u);
    EXPECT_EQ(CheckMemoryFileEnd(file), 1);
    const uint8_t want[10] = {1, 2, 3, 4, 5, 6, 7, 8, 1, 2};
    EXPECT_EQ(std::memcmp(memory, want, 10), 0);
    CloseMemoryFile(file);
}

TEST(MemoryFile, StreamSetReadsThroughTheHandleAndCloseFreesTheRecord) {
    int before = GetTrackedBlockCount();
    StreamSource source;
    ASSERT_EQ(OpenMemoryStreamSource(&source, kTen, 10), 0);
    EXPECT_EQ(GetTrackedBlockCount(), before + 1);
    uint8_t buffer[4];
    EXPECT_EQ(source.ops.seek(source.handle, -3, 2), 0);
    EXPECT_EQ(source.ops.tell(source.handle), 7);
    EXPECT_EQ(source.ops.read(buffer, 2, 2, source.handle), 1u);
    EXPECT_EQ(source.ops.read(buffer, 2, 2, source.handle), 1u);
    EXPECT_EQ(buffer[0], 10);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(source.ops.checkEnd(source.handle), 0);
    EXPECT_EQ(source.ops.read(buffer, 1, 1, source.handle), 0u);
    EXPECT_EQ(source.ops.checkEnd(source.handle), 1);
    EXPECT_EQ(source.ops.checkReady(source.handle), 1);
    EXPECT_EQ(source.ops.close(source.handle), 0);
    EXPECT_EQ(GetTrackedBlockCount(), before);
}

TEST(MemoryFile, RefusesANegativeSizeAndReadsAnEmptyBlock) {
    EXPECT_EQ(OpenMemoryFile(kTen, -1), nullptr);
    EXPECT_EQ(OpenMemoryFile(nullptr, 4), nullptr);
    MemoryFile* empty = OpenMemoryFile(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    uint8_t byte = 0;
    EXPECT_EQ(ReadMemoryFile(&byte, 1, 1, empty), 0u);
    EXPECT_EQ(CheckMemoryFileEnd(empty), 1);
    CloseMemoryFile(empty);
}

}  // namespace
