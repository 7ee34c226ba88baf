// The kernel group's file calls: path mapping, sharing, search, temporary files
// and file times.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"
#include "platform/testing.h"
#include "support/scratch_directory.h"

namespace {

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

HANDLE OpenForRead(const std::string& path, DWORD share = FILE_SHARE_READ) {
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads a whole file through the layer; "<fail>" when it does not open.
std::string ReadThrough(const std::string& path) {
    HANDLE file = OpenForRead(path);
    if (file == INVALID_HANDLE_VALUE) return "<fail>";
    char buffer[256];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

class KernelFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_.write("Data/Img.PNG", "image");
        root_.write(Utf8(u8"表/x.txt"), "hyou");
        root_.write("case/a.txt", "lower");
        root_.write("case/A.TXT", "upper");
        ASSERT_EQ(0, chdir(root_.path().c_str()));
    }
    ScratchDirectory root_;
};

TEST_F(KernelFiles, PathFormsReachTheSameFile) {
    const std::string library = ScratchDirectory::libraryForm(root_.path());
    std::string upper = library;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct Case {
        std::string path;
        std::string expected;
    } cases[] = {
        {root_ / "Data/Img.PNG", "image"},                  // a Linux path as it is
        {library + "\\Data\\Img.PNG", "image"},             // drive letter and backslashes
        {upper + "\\DATA\\IMG.PNG", "image"},               // every component in another case
        {"c:" + root_.path() + "/data\\img.png", "image"},  // mixed separators, lower-case drive
        {"Data\\Img.PNG", "image"},                          // relative
        {"data/../Data/./img.png", "image"},                 // "." and ".." by text
        {"C:data\\img.png", "image"},                        // drive-relative
        {"\x95\x5C\\x.txt", "hyou"},                         // Shift-JIS name whose trail byte is 0x5C
        {Utf8(u8"表/X.TXT"), "hyou"},                        // UTF-8 name as on disk
        {"case\\a.txt", "lower"},                            // the exact name wins over other cases
        {"case\\A.TXT", "upper"},
        {"case\\A.txt", "upper"},                            // no exact name: the smallest match
        {"D:\\Data\\Img.PNG", "<fail>"},                     // only C: exists
        {"\\\\server\\share\\x", "<fail>"},                  // no UNC paths
        {"Data\\None.png", "<fail>"},
        {"None\\Img.PNG", "<fail>"},
        {"Data", "<fail>"},                                  // a directory is not a file
        {"", "<fail>"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, ReadThrough(c.path)) << c.path;
}

// Sets a directory's modification time some seconds into the past, so its listing
// counts as settled and is kept.
void AgeDirectory(const std::string& path, int seconds) {
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
}

TEST_F(KernelFiles, KeptListingsFollowChangesToTheDirectory) {
    root_.write("old/x.txt", "x");
    AgeDirectory(root_ / "old", 60);
    EXPECT_EQ("x", ReadThrough("OLD\\X.TXT"));  // lists "old" and keeps the listing
    root_.write("old/y.txt", "y");              // a new time stamp on "old"
    EXPECT_EQ("y", ReadThrough("OLD\\Y.TXT"));
    AgeDirectory(root_ / "old", 50);
    EXPECT_EQ("y", ReadThrough("old\\Y.txt"));
    std::filesystem::rename(root_ / "old/y.txt", root_ / "old/z.txt");
    EXPECT_EQ("<fail>", ReadThrough("old\\Y.TXT"));
    EXPECT_EQ("y", ReadThrough("old\\Z.TXT"));
}

TEST_F(KernelFiles, MissingFilesReportWhatIsMissing) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForRead("Data\\None.png"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForRead("None\\Img.png"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(KernelFiles, WriteSeekAndSize) {
    HANDLE file = CreateFileA("DATA\\new.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &put, nullptr));
    EXPECT_EQ(10u, put);
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, -1, nullptr, FILE_BEGIN));
    EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
    EXPECT_EQ(4u, SetFilePointer(file, -6, nullptr, FILE_END));
    ASSERT_TRUE(WriteFile(file, "ab", 2, &put, nullptr));
    DWORD high = 99;
    EXPECT_EQ(10u, GetFileSize(file, &high));
    EXPECT_EQ(0u, high);
    char buffer[4];
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(file, buffer, 4, &got, nullptr)) << "opened for writing only";
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ("0123ab6789", root_.read("Data/new.bin"));

    // The new file was made in the existing directory "Data", under the name as written.
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA("data\\NEW.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
    HANDLE again = CreateFileA("data\\NEW.BIN", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, again);
    EXPECT_EQ(10u, SetFilePointer(again, 0, nullptr, FILE_END));
    CloseHandle(again);
}

TEST_F(KernelFiles, SharingIsKeptWithinTheProcess) {
    HANDLE shared = OpenForRead("Data\\Img.PNG", FILE_SHARE_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, shared);
    HANDLE second = OpenForRead("data\\img.png", FILE_SHARE_READ);
    EXPECT_NE(INVALID_HANDLE_VALUE, second);
    // A writer is refused while readers do not share writing, and truncates nothing.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("Data\\Img.PNG", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ("image", root_.read("Data/Img.PNG"));
    EXPECT_FALSE(DeleteFileA("Data\\Img.PNG"));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(shared);
    CloseHandle(second);

    HANDLE exclusive = OpenForRead("Data\\Img.PNG", 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForRead("Data\\Img.PNG", FILE_SHARE_READ));
    CloseHandle(exclusive);
    EXPECT_TRUE(DeleteFileA("DATA\\IMG.PNG"));
    EXPECT_EQ("<fail>", ReadThrough("Data\\Img.PNG"));
}

// Only files are deleted: a directory, or a pipe or device that a path names, stays
// (a program running as root must never unlink a device node it was asked to write to).
TEST_F(KernelFiles, DeleteRemovesOnlyFiles) {
    ASSERT_EQ(0, mkfifo((root_ / "pipe").c_str(), 0600));
    for (const char* name : {"pipe", "Data"}) {
        EXPECT_FALSE(DeleteFileA((root_ / name).c_str())) << name;
        EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError()) << name;
        struct stat info;
        EXPECT_EQ(0, stat((root_ / name).c_str(), &info)) << name;
    }
    EXPECT_TRUE(DeleteFileA((root_ / "Data/Img.PNG").c_str()));
}

TEST_F(KernelFiles, CurrentDirectoryInLibraryForm) {
    ASSERT_TRUE(SetCurrentDirectoryA(("C:" + root_.path() + "\\DATA").c_str()));
    char buffer[MAX_PATH];
    std::string expected = ScratchDirectory::libraryForm(root_.path()) + "\\Data";
    EXPECT_EQ(expected.size(), GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_EQ(expected, buffer);

    // Too small: the needed size comes back and the buffer is untouched.
    char small[8] = "keep";
    EXPECT_EQ(expected.size() + 1, GetCurrentDirectoryA(sizeof small, small));
    EXPECT_STREQ("keep", small);

    ASSERT_TRUE(SetCurrentDirectoryA(".."));
    ASSERT_TRUE(SetCurrentDirectoryA("\x95\x5C"));
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(ScratchDirectory::libraryForm(root_.path()) + "\\\x95\x5C", buffer) << "names come back in Shift-JIS";
    EXPECT_FALSE(SetCurrentDirectoryA("x.txt"));
    EXPECT_FALSE(SetCurrentDirectoryA("nowhere"));

    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(3u, GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_STREQ("C:\\", buffer);

    SetFakeCurrentDirectory("D:\\GAME");
    EXPECT_EQ(7u, GetCurrentDirectoryA(sizeof buffer, buffer));
    EXPECT_STREQ("D:\\GAME", buffer);
    SetFakeCurrentDirectory(nullptr);
}

std::vector<std::string> FindAll(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(find));
    return names;
}

TEST_F(KernelFiles, SearchFollowsThePlatformWildcards) {
    root_.write("find/b.PNG", "bb");
    root_.write("find/a.png", "a");
    root_.write("find/A.B.png", "ab");
    root_.write("find/noext", "");
    root_.makeDirectory("find/Sub");
    using Names = std::vector<std::string>;
    struct Case {
        const char* pattern;
        Names expected;
    } cases[] = {
        {"find\\*", {".", "..", "A.B.png", "a.png", "b.PNG", "noext", "Sub"}},
        {"FIND\\*.*", {".", "..", "A.B.png", "a.png", "b.PNG", "noext", "Sub"}},
        {"find/*.png", {"A.B.png", "a.png", "b.PNG"}},  // "*" backtracks here, unlike the archive rule
        {"find\\?.PNG", {"a.png", "b.PNG"}},
        {"find\\*.", {".", "..", "noext", "Sub"}},
        {"find\\NOEXT.*", {"noext"}},
        {"find\\a.PNG", {"a.png"}},
        {"find\\z*", {}},
        {"nowhere\\*", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, FindAll(c.pattern)) << c.pattern;

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("find\\b.png", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(2u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(0u, data.ftLastWriteTime.dwHighDateTime);
    FindClose(find);
    find = FindFirstFileA("find\\sub", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("Sub", data.cFileName);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(find);
    EXPECT_EQ((Names{"\x95\x5C"}), FindAll("\x95\x5C*")) << "Shift-JIS names in and out";
}

TEST_F(KernelFiles, TempFilesAreMadeUniqueAndOpen) {
    setenv("TMPDIR", root_.path().c_str(), 1);
    char directory[MAX_PATH];
    std::string expected = ScratchDirectory::libraryForm(root_.path()) + "\\";
    ASSERT_EQ(expected.size(), GetTempPathA(sizeof directory, directory));
    EXPECT_EQ(expected, directory);

    char first[MAX_PATH], second[MAX_PATH];
    HANDLE a = CreateTempFileA(directory, "tmp", first, sizeof first);
    HANDLE b = CreateTempFileA(directory, "tmp", second, sizeof second);
    ASSERT_NE(INVALID_HANDLE_VALUE, a);
    ASSERT_NE(INVALID_HANDLE_VALUE, b);
    EXPECT_STRNE(first, second);
    std::string name = first;
    EXPECT_EQ(expected + "tmp", name.substr(0, expected.size() + 3));
    EXPECT_EQ(".tmp", name.substr(name.size() - 4));
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(a, "xyz", 3, &put, nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForRead(first)) << "held without sharing";
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ("xyz", ReadThrough(first));

    char tiny[8];
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateTempFileA(directory, "tmp", tiny, sizeof tiny));
    EXPECT_EQ(3u, FindAll(std::string(directory) + "tmp*").size() + 1) << "a refused name leaves no file";
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateTempFileA("C:\\nowhere-at-all", "tmp", first, sizeof first));
}

FILETIME Ticks(uint64_t ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

TEST(FileTimes, ConvertToCalendarFields) {
    struct Case {
        uint64_t ticks;
        SYSTEMTIME expected;  // year, month, day of week, day, hour, minute, second, ms
    } cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},
        // 2024-02-29 12:34:56.789 UTC, a leap day.
        {(1709210096ull + 11644473600ull) * 10000000ull + 7890000ull, {2024, 2, 4, 29, 12, 34, 56, 789}},
        {(951782400ull + 11644473600ull) * 10000000ull, {2000, 2, 2, 29, 0, 0, 0, 0}},
        {(4107542399ull + 11644473600ull) * 10000000ull, {2100, 2, 0, 28, 23, 59, 59, 0}},  // 2100 has no leap day
    };
    for (const Case& c : cases) {
        FILETIME time = Ticks(c.ticks);
        SYSTEMTIME fields;
        ASSERT_TRUE(FileTimeToSystemTime(&time, &fields));
        EXPECT_EQ(0, std::memcmp(&fields, &c.expected, sizeof fields))
            << fields.wYear << "-" << fields.wMonth << "-" << fields.wDay << " " << fields.wDayOfWeek;
    }
    FILETIME huge = Ticks(0x8000000000000000ull);
    SYSTEMTIME fields;
    EXPECT_FALSE(FileTimeToSystemTime(&huge, &fields));
    FILETIME local;
    EXPECT_FALSE(FileTimeToLocalFileTime(&huge, &local));
}

TEST(FileTimes, LocalTimeFollowsTheTimeZone) {
    FILETIME utc = Ticks(116444736000000000ull + 36000000000ull);  // 1970-01-01 01:00 UTC
    FILETIME local;
    setenv("TZ", "UTC", 1);
    tzset();
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(utc.dwLowDateTime, local.dwLowDateTime);
    setenv("TZ", "JST-9", 1);
    tzset();
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    SYSTEMTIME fields;
    FileTimeToSystemTime(&local, &fields);
    EXPECT_EQ(10, fields.wHour);
}

}  // namespace
