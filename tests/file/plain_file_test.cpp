// Plain files: the read rules in direct, threaded and cached modes, non-blocking
// reads, the reader thread's exclusive hold, directories, search and temp files.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <unistd.h>

#include "file_test_support.h"
#include "library/file/path.h"
#include "library/file/plain_file.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"
#include "platform/testing.h"

namespace {

struct Mode {
    const char* name;
    int cache;
    int nonBlocking;
};
const Mode kModes[] = {{"direct", 0, 0}, {"cache", 1, 0}, {"non-blocking", 0, 1}, {"cache+non-blocking", 1, 1}};

// A read that waits for a non-blocking file before the data is looked at.
size_t ReadNow(void* buffer, size_t elementSize, size_t count, StreamHandle file) {
    size_t got = PlainFileRead(buffer, elementSize, count, file);
    PlainFileWaitReady(file);
    return got;
}

// Threads of the process; with `expected`, waits a while for the count to settle
// there (a finished thread leaves the task list shortly after it returns). A
// sanitizer's runtime starts a helper thread with the program's first thread: one
// thread is started and joined before the first count, so the helper is counted in it.
int ThreadCount(int expected = -1) {
    static const bool helperStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helperStarted;
    for (int wait = 0; wait < 200; wait++) {
        int count = 0;
        if (DIR* tasks = opendir("/proc/self/task")) {
            while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
            closedir(tasks);
        }
        if (expected < 0 || count == expected) return count;
        usleep(5000);
    }
    return -1;
}

using PlainFiles = FileLayerTest;

TEST_F(PlainFiles, ReadRulesAreTheSameInEveryMode) {
    root.write("ten.bin", "0123456789");
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        StreamHandle file = PlainFileOpen("ten.bin", mode.cache, 1, mode.nonBlocking);
        ASSERT_NE(0u, file);
        char buffer[16] = {};
        EXPECT_EQ(2u, ReadNow(buffer, 4, 3, file)) << "whole elements only";
        EXPECT_EQ(0, std::memcmp(buffer, "01234567", 8));
        EXPECT_EQ(8, PlainFileTell(file));
        EXPECT_EQ(0, PlainFileCheckEnd(file));
        EXPECT_EQ(0u, ReadNow(buffer, 4, 1, file)) << "less than one element left";
        EXPECT_EQ(-1, PlainFileCheckEnd(file));
        EXPECT_EQ(8, PlainFileTell(file));
        EXPECT_EQ(0, PlainFileSeek(file, 0, 2));
        EXPECT_EQ(0, PlainFileCheckEnd(file)) << "a seek clears the end flag and never sets it";
        EXPECT_EQ(10, PlainFileTell(file));
        EXPECT_EQ(0u, ReadNow(buffer, 1, 1, file));
        EXPECT_EQ(-1, PlainFileCheckEnd(file));
        EXPECT_EQ(0, PlainFileSeek(file, -5, 0));
        EXPECT_EQ(0, PlainFileTell(file));
        EXPECT_EQ(0, PlainFileSeek(file, 100, 0));
        EXPECT_EQ(10, PlainFileTell(file)) << "seeks are clamped to the size";
        EXPECT_EQ(0, PlainFileSeek(file, INT64_MIN, 1));
        EXPECT_EQ(0, PlainFileTell(file));
        EXPECT_EQ(0, PlainFileSeek(file, -3, 2));
        EXPECT_EQ(3u, ReadNow(buffer, 1, 10, file));
        EXPECT_EQ(0, std::memcmp(buffer, "789", 3));
        EXPECT_EQ(0u, ReadNow(buffer, 0, 10, file));
        EXPECT_EQ(1, PlainFileCheckReady(file));
        PlainFileClose(file);
    }
}

// The same random seeks and reads on every mode give the same bytes, results,
// positions and end flags; pauses let the read-ahead cache fill in between.
TEST_F(PlainFiles, ModesAgreeOnRandomAccess) {
    const Bytes content = Pattern(300000, 3);
    StreamHandle files[4];
    for (int m = 0; m < 4; m++) {
        // One copy each: a reader thread holds its file without sharing.
        std::string name = "big" + std::to_string(m) + ".bin";
        root.write(name, content);
        files[m] = PlainFileOpen(name.c_str(), kModes[m].cache, 1, kModes[m].nonBlocking);
        ASSERT_NE(0u, files[m]);
    }
    std::mt19937 random(5);
    for (int step = 0; step < 400; step++) {
        if (step % 50 == 25) usleep(150 * 1000);
        const int kind = static_cast<int>(random() % 6);
        const int64_t offset = static_cast<int64_t>(random() % 340000) - 20000;
        const int origin = static_cast<int>(random() % 3);
        const size_t elementSize = 1 + random() % 7;
        const size_t count = random() % 3 == 0 ? random() % 30000 : random() % 700;
        Bytes expected;
        size_t expectedCount = 0;
        for (int m = 0; m < 4; m++) {
            SCOPED_TRACE(testing::Message() << kModes[m].name << " step " << step);
            if (kind == 0) {
                EXPECT_EQ(0, PlainFileSeek(files[m], offset, origin));
            } else {
                Bytes buffer(elementSize * count + 1, 0xCC);
                size_t got = ReadNow(buffer.data(), elementSize, count, files[m]);
                buffer.resize(got * elementSize);
                if (m == 0) {
                    expected = buffer;
                    expectedCount = got;
                } else {
                    EXPECT_EQ(expectedCount, got);
                    EXPECT_TRUE(expected == buffer);
                }
            }
            EXPECT_EQ(PlainFileTell(files[0]), PlainFileTell(files[m]));
            EXPECT_EQ(PlainFileCheckEnd(files[0]), PlainFileCheckEnd(files[m]));
        }
        if (kind != 0 && expectedCount != 0) {
            const size_t at = static_cast<size_t>(PlainFileTell(files[0])) - expected.size();
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), content.begin() + static_cast<long>(at)));
        }
    }
    for (StreamHandle file : files) PlainFileClose(file);
}

TEST_F(PlainFiles, CachedReadsComeFromTheCache) {
    root.write("big.bin", Pattern(200000, 4));
    StreamHandle file = PlainFileOpen("big.bin", 1, 1, 0);
    ASSERT_NE(0u, file);
    // The reader thread fills the cache once it has been idle for 100 ms.
    const unsigned long before = CountFileReadCalls();
    for (int wait = 0; wait < 500 && CountFileReadCalls() == before; wait++) {
        usleep(10 * 1000);
    }
    ASSERT_GT(CountFileReadCalls(), before);
    usleep(20 * 1000);
    const unsigned long filled = CountFileReadCalls();
    uint8_t buffer[1000];
    for (int i = 0; i < 100; i++) ASSERT_EQ(1000u, PlainFileRead(buffer, 1, 1000, file));
    EXPECT_EQ(filled, CountFileReadCalls()) << "100 KB served by the 128 KB cache";
    // A read elsewhere goes to the file and restarts the cache behind it.
    PlainFileSeek(file, 150000, 0);
    ASSERT_EQ(1000u, PlainFileRead(buffer, 1, 1000, file));
    EXPECT_GT(CountFileReadCalls(), filled);
    EXPECT_EQ(0, std::memcmp(buffer, Pattern(200000, 4).data() + 150000, 1000));
    PlainFileClose(file);
}

TEST_F(PlainFiles, NonBlockingReadReturnsAtOnce) {
    root.write("ten.bin", "0123456789");
    StreamHandle file = PlainFileOpen("ten.bin", 0, 1, 1);
    ASSERT_NE(0u, file);
    char buffer[8] = {};
    HoldFileReads(true);
    EXPECT_EQ(5u, PlainFileRead(buffer, 1, 5, file)) << "the count comes before the data";
    EXPECT_EQ(0, PlainFileCheckReady(file));
    EXPECT_EQ(0, PlainFileCheckReady(file));
    HoldFileReads(false);
    PlainFileWaitReady(file);
    EXPECT_EQ(1, PlainFileCheckReady(file));
    EXPECT_EQ(0, std::memcmp(buffer, "01234", 5));
    EXPECT_EQ(5u, PlainFileLastReadBytes(file));
    PlainFileClose(file);
}

TEST_F(PlainFiles, ReaderThreadHoldsTheFileAndEndsWithIt) {
    root.write("held.bin", "data");
    const int threads = ThreadCount();
    StreamHandle held = PlainFileOpen("held.bin", 0, 1, 1);
    ASSERT_NE(0u, held);
    EXPECT_EQ(threads + 1, ThreadCount(threads + 1));
    EXPECT_EQ(0u, PlainFileOpen("held.bin", 0, 1, 0)) << "held without sharing";
    EXPECT_EQ(0u, PlainFileOpen("HELD.BIN", 1, 1, 0));
    PlainFileClose(held);
    EXPECT_EQ(threads, ThreadCount(threads));
    StreamHandle again = PlainFileOpen("held.bin", 0, 1, 0);
    EXPECT_NE(0u, again);
    PlainFileClose(again);
    EXPECT_EQ("", Log()) << "nothing logged";
}

TEST_F(PlainFiles, FailedOpensLogOnlyWhenTheThreadFails) {
    root.write("shared.bin", "data");
    EXPECT_EQ(0u, PlainFileOpen("missing.bin", 0, 1, 0));
    EXPECT_EQ(0u, PlainFileOpen("missing.bin", 1, 1, 0));
    EXPECT_EQ("", Log()) << "a missing file fails before any thread starts";
    // Another reader lets the size probe through but not the thread's exclusive open.
    HANDLE other = CreateFileA("shared.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    const int threads = ThreadCount();
    EXPECT_EQ(0u, PlainFileOpen("shared.bin", 1, 1, 0));
    EXPECT_NE(std::string::npos, Log().find("ファイルのオープンに失敗しました\r\n"));
    EXPECT_EQ(threads, ThreadCount(threads)) << "the thread has ended";
    CloseHandle(other);
}

TEST_F(PlainFiles, DirectoriesAndSearch) {
    root.write("dir/a.png", "aa");
    root.write("dir/b.txt", "b");
    ASSERT_EQ(0, PlainSetDir("DIR"));
    char buffer[FilePathMax];
    ASSERT_EQ(0, PlainGetDir(buffer, sizeof buffer));
    EXPECT_EQ(ScratchDirectory::libraryForm(root.path()) + "\\dir", buffer);
    char small[4] = "abc";
    EXPECT_EQ(-1, PlainGetDir(small, sizeof small)) << "a directory that does not fit";
    EXPECT_STREQ("", small);
    EXPECT_EQ(-1, PlainSetDir("nowhere"));

    FindData found;
    FindHandle find = PlainFindFirst("*.PNG", &found);
    ASSERT_NE(-1, find);
    EXPECT_STREQ("a.png", found.name);
    EXPECT_EQ(0, found.directory);
    EXPECT_EQ(2u, found.sizeLow);
    EXPECT_GE(found.written[0], 2000);
    EXPECT_EQ(-1, PlainFindNext(find, &found));
    EXPECT_EQ(0, PlainFindClose(find));
    find = PlainFindFirst("..\\d*", &found);
    ASSERT_NE(-1, find);
    EXPECT_STREQ("dir", found.name);
    EXPECT_EQ(1, found.directory);
    PlainFindClose(find);
    EXPECT_EQ(-1, PlainFindFirst("*.none", &found));
}

TEST_F(PlainFiles, TempFilesForWriting) {
    setenv("TMPDIR", root.path().c_str(), 1);
    char name[FilePathMax];
    HANDLE file = CreateTempFileForWrite(name, sizeof name);
    ASSERT_NE(nullptr, file);
    std::string text = name;
    std::string directory = ScratchDirectory::libraryForm(root.path()) + "\\tmp";
    EXPECT_EQ(directory, text.substr(0, directory.size()));
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(file, "copy", 4, &put, nullptr));
    CloseHandle(file);
    EXPECT_EQ(BytesOf("copy"), ReadFile(name));

    char second[FilePathMax];
    HANDLE other = CreateTempFileForWrite(second, sizeof second);
    ASSERT_NE(nullptr, other);
    EXPECT_STRNE(name, second);
    CloseHandle(other);

    char tiny[10];
    EXPECT_EQ(nullptr, CreateTempFileForWrite(tiny, sizeof tiny));
    FindData found;
    int count = 0;
    FindHandle find = PlainFindFirst("tmp*.tmp", &found);
    for (; find != -1 && count < 10 && PlainFindNext(find, &found) == 0;) count++;
    if (find != -1) PlainFindClose(find);
    EXPECT_EQ(1, count) << "two files, and nothing left of the refused one";
}

}  // namespace
