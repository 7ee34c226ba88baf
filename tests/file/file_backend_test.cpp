// The file-operation table: the dispatchers forward unchanged, start-up's choice
// of set, the file set of stream operations, and the conversion of find records
// and file times.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "file_test_support.h"
#include "library/file/archive.h"
#include "library/file/plain_file.h"
#include "platform/kernel/kernel_files.h"

namespace {

// A table that records each call and answers with a value of its own.
struct Recorder {
    int slot = -1;
    const char* path = nullptr;
    int flags[3] = {};
    StreamHandle file = 0;
    int64_t offset = 0;
    int origin = 0;
    void* buffer = nullptr;
    size_t elementSize = 0, count = 0;
    size_t size = 0;
};
Recorder recorded;

const FileBackendTable kRecordingTable = {
    [](const char* path, int a, int b, int c) -> StreamHandle {
        recorded = {0, path, {a, b, c}};
        return 0xABC;
    },
    [](StreamHandle f) { recorded.slot = 1, recorded.file = f; return 11; },
    [](StreamHandle f) -> int64_t { recorded.slot = 2, recorded.file = f; return 1LL << 40; },
    [](StreamHandle f, int64_t o, int g) { recorded.slot = 3, recorded.file = f, recorded.offset = o, recorded.origin = g; return 13; },
    [](void* b, size_t e, size_t n, StreamHandle f) -> size_t {
        recorded.slot = 4, recorded.buffer = b, recorded.elementSize = e, recorded.count = n, recorded.file = f;
        return 14;
    },
    [](StreamHandle f) { recorded.slot = 5, recorded.file = f; return 15; },
    [](StreamHandle f) { recorded.slot = 6, recorded.file = f; return 16; },
    [](const char* p) { recorded.slot = 7, recorded.path = p; return 17; },
    [](char* b, size_t n) { recorded.slot = 8, recorded.buffer = b, recorded.size = n; return 18; },
    [](const char*, FindData*) -> FindHandle { return 19; },
    [](FindHandle, FindData*) { return 20; },
    [](FindHandle) { return 21; },
};

TEST(FileBackend, DispatchersForwardUnchanged) {
    SetFileBackendTable(&kRecordingTable);
    char buffer[4];
    const StreamHandle file = 0x1234567890ull;
    EXPECT_EQ(0xABCu, FileBackendOpen("p", 1, 2, 3));
    EXPECT_EQ(0, recorded.slot);
    EXPECT_STREQ("p", recorded.path);
    EXPECT_EQ(3, recorded.flags[2]);
    EXPECT_EQ(11, FileBackendClose(file));
    EXPECT_EQ(1LL << 40, FileBackendTell(file));
    EXPECT_EQ(13, FileBackendSeek(file, -7, 2));
    EXPECT_EQ(-7, recorded.offset);
    EXPECT_EQ(2, recorded.origin);
    EXPECT_EQ(14u, FileBackendRead(buffer, 3, 5, file));
    EXPECT_EQ(buffer, recorded.buffer);
    EXPECT_EQ(3u, recorded.elementSize);
    EXPECT_EQ(5u, recorded.count);
    EXPECT_EQ(15, FileBackendCheckEnd(file));
    EXPECT_EQ(16, FileBackendCheckReady(file));
    EXPECT_EQ(file, recorded.file);
    EXPECT_EQ(17, FileBackendSetDir("d"));
    EXPECT_EQ(18, FileBackendGetDir(buffer, sizeof buffer));
    EXPECT_EQ(4u, recorded.size);
    EXPECT_EQ(19, GetFileBackendTable()->findFirst("x", nullptr));

    const StreamOps& ops = FileBackendStreamOpsTable;
    EXPECT_EQ(1LL << 40, ops.tell(file));
    EXPECT_EQ(13, ops.seek(file, 1, 0));
    EXPECT_EQ(14u, ops.read(buffer, 1, 1, file));
    EXPECT_EQ(15, ops.checkEnd(file));
    EXPECT_EQ(16, ops.checkReady(file));
    EXPECT_EQ(11, ops.close(file));
    SetFileBackendTable(nullptr);
}

TEST(FileBackend, DefaultSetFollowsTheNoArchiveSetting) {
    SystemStateRecord.settings.noArchive = 0;
    SetFileBackendTable(nullptr);
    EXPECT_EQ(ArchiveAwareOpen, GetFileBackendTable()->open);
    SystemStateRecord.settings.noArchive = 1;
    SetFileBackendTable(nullptr);
    EXPECT_EQ(PlainFileOpen, GetFileBackendTable()->open);
    EXPECT_EQ(PlainGetDir, GetFileBackendTable()->getDir);
    SystemStateRecord.settings.noArchive = 0;
}

TEST(FileBackend, FileTimesAsLocalDateFields) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        uint64_t ticks;
        int32_t fields[6];
        int result;
    } cases[] = {
        {116444736000000000ull, {1970, 1, 1, 0, 0, 0}, 0},
        {(951825599ull + 11644473600ull) * 10000000ull, {2000, 2, 29, 11, 59, 59}, 0},  // a leap day
        {(1709251199ull + 11644473600ull) * 10000000ull + 9999999ull, {2024, 2, 29, 23, 59, 59}, 0},
        {0xFFFFFFFFFFFFFFFFull, {0, 0, 0, 0, 0, 0}, -1},  // garbage, as an archive may hold
    };
    for (const Case& c : cases) {
        FILETIME time = {static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
        int32_t fields[6] = {9, 9, 9, 9, 9, 9};
        EXPECT_EQ(c.result, FileTimeToDateFields(&time, fields));
        EXPECT_EQ(0, std::memcmp(fields, c.fields, sizeof fields)) << fields[0] << "-" << fields[1] << "-" << fields[2];
    }
    setenv("TZ", "JST-9", 1);
    tzset();
    FILETIME epoch = {static_cast<DWORD>(116444736000000000ull), static_cast<DWORD>(116444736000000000ull >> 32)};
    int32_t fields[6];
    FileTimeToDateFields(&epoch, fields);
    EXPECT_EQ(9, fields[3]) << "local time";
}

TEST(FileBackend, ConvertFindData) {
    WIN32_FIND_DATAA source = {};
    source.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
    source.nFileSizeHigh = 1;
    source.nFileSizeLow = 2;
    std::memset(source.cFileName, 'a', 259);
    FindData out;
    ConvertFindData(&source, &out);
    EXPECT_EQ(259u, std::strlen(out.name));
    EXPECT_EQ(1, out.directory);
    EXPECT_EQ(1u, out.sizeHigh);
    EXPECT_EQ(2u, out.sizeLow);
}

}  // namespace
