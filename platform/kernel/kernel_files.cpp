// kernel_files.cpp - files, directories, search and temporary files over POSIX.
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_files_hooks.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/kernel_paths.h"

namespace {

// Both objects start with the kernel object head, so CloseHandle closes them.
struct KernelFile {
    PlatformObject head;
    int fd;
    dev_t device;
    ino_t inode;
    DWORD access;
    DWORD share;
};

struct FindEntry {
    std::string hostName;
    std::string name;   // library form
    std::string upper;  // sort key
};

struct KernelFind {
    PlatformObject head;
    std::string hostDirectory;
    std::vector<FindEntry> entries;
    size_t next;
};

std::mutex g_mutex;  // guards the two handle sets and the sharing check
std::unordered_set<KernelFile*> g_files;
std::unordered_set<KernelFind*> g_finds;

std::mutex g_overrideMutex;
std::string g_directoryOverride;
bool g_directoryOverridden = false;

std::mutex g_holdMutex;
std::condition_variable g_holdChanged;
bool g_holdReads = false;
std::atomic<unsigned long> g_openCount{0};
std::atomic<unsigned long> g_readCount{0};

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL FailBool(DWORD error) {
    SetLastError(error);
    return FALSE;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG: return ERROR_INVALID_NAME;
        default: return ERROR_ACCESS_DENIED;
    }
}

KernelFile* LookUpFile(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* file = reinterpret_cast<KernelFile*>(handle);
    return g_files.count(file) != 0 ? file : nullptr;
}

// Two opens of one file get along when each allows what the other wants.
bool SharingAllows(const KernelFile& open, DWORD access, DWORD share) {
    auto wants = [](DWORD a) {
        return ((a & GENERIC_READ) ? FILE_SHARE_READ : 0u) | ((a & GENERIC_WRITE) ? FILE_SHARE_WRITE : 0u);
    };
    return (wants(access) & ~open.share) == 0 && (wants(open.access) & ~share) == 0;
}

bool IsOpenLocked(dev_t device, ino_t inode) {
    for (KernelFile* file : g_files) {
        if (file->device == device && file->inode == inode) return true;
    }
    return false;
}

BOOL CloseFileObject(PlatformObject* object) {
    auto* file = reinterpret_cast<KernelFile*>(object);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_files.erase(file) == 0) return FailBool(ERROR_INVALID_HANDLE);
    }
    close(file->fd);
    delete file;
    return TRUE;
}

BOOL CloseFindObject(PlatformObject* object) { return FindClose(reinterpret_cast<HANDLE>(object)); }

HANDLE Register(int fd, DWORD access, DWORD share) {
    struct stat info;
    fstat(fd, &info);
    auto* file = new KernelFile{{PlatformObjectFile, CloseFileObject, nullptr}, fd, info.st_dev, info.st_ino, access, share};
    g_files.insert(file);
    return reinterpret_cast<HANDLE>(file);
}

FILETIME ToFileTime(const struct timespec& time) {
    int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                    time.tv_nsec / 100;
    if (ticks < 0) ticks = 0;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
}

uint64_t FileTimeTicks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Fills a find record from the entry's status; false when it cannot be read.
bool FillFindData(const std::string& hostPath, const std::string& name, WIN32_FIND_DATAA* data) {
    struct statx info;
    if (statx(AT_FDCWD, hostPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return false;
    if (data == nullptr) return true;
    std::memset(data, 0, sizeof(*data));
    bool directory = S_ISDIR(info.stx_mode);
    data->dwFileAttributes = directory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((info.stx_mode & S_IWUSR) == 0) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (data->dwFileAttributes == 0) data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    auto toTimespec = [](const struct statx_timestamp& t) { return timespec{t.tv_sec, t.tv_nsec}; };
    data->ftLastWriteTime = ToFileTime(toTimespec(info.stx_mtime));
    data->ftLastAccessTime = ToFileTime(toTimespec(info.stx_atime));
    data->ftCreationTime = (info.stx_mask & STATX_BTIME) ? ToFileTime(toTimespec(info.stx_btime)) : data->ftLastWriteTime;
    uint64_t size = directory ? 0 : info.stx_size;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    return true;
}

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

size_t CharLength(const std::string& text, size_t at) {
    return IsSjisLead(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// "*" and "?" over upper-cased names, "?" taking one (possibly double-byte)
// character; "*" backtracks.
bool MatchUpper(const std::string& name, size_t n, const std::string& pattern, size_t p) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*') p++;
            if (p == pattern.size()) return true;
            for (size_t at = n; at <= name.size(); at += at < name.size() ? CharLength(name, at) : 1) {
                if (MatchUpper(name, at, pattern, p)) return true;
            }
            return false;
        }
        if (n >= name.size()) return false;
        size_t nameChar = CharLength(name, n);
        if (pattern[p] == '?') {
            p++;
        } else {
            size_t patternChar = CharLength(pattern, p);
            if (patternChar != nameChar || pattern.compare(p, patternChar, name, n, nameChar) != 0) return false;
            p += patternChar;
        }
        n += nameChar;
    }
    return n == name.size();
}

std::string UpperAscii(const std::string& text) {
    std::string upper = text;
    for (size_t i = 0; i < upper.size(); i++) {
        if (IsSjisLead(static_cast<unsigned char>(upper[i])) && i + 1 < upper.size()) {
            i++;
        } else if (upper[i] >= 'a' && upper[i] <= 'z') {
            upper[i] = static_cast<char>(upper[i] - 32);
        }
    }
    return upper;
}

bool MatchFindPattern(const std::string& name, const std::string& pattern) {
    std::string upperName = UpperAscii(name);
    std::string upperPattern = UpperAscii(pattern);
    if (upperPattern == "*.*" || upperPattern == "*") return true;
    if (MatchUpper(upperName, 0, upperPattern, 0)) return true;
    // "X.*" also matches "X"; "X." matches a name without a full stop.
    size_t size = upperPattern.size();
    if (size >= 2 && upperPattern.compare(size - 2, 2, ".*") == 0) {
        return MatchUpper(upperName, 0, upperPattern.substr(0, size - 2), 0);
    }
    if (size >= 1 && upperPattern[size - 1] == '.' && upperName.find('.') == std::string::npos) {
        return MatchUpper(upperName, 0, upperPattern.substr(0, size - 1), 0);
    }
    return false;
}

DWORD CopyOut(const std::string& text, DWORD bufferSize, char* buffer) {
    if (text.size() + 1 > bufferSize || buffer == nullptr) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

void WaitWhileReadsHeld() {
    std::unique_lock<std::mutex> lock(g_holdMutex);
    g_holdChanged.wait(lock, [] { return !g_holdReads; });
}

}  // namespace

HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void*, DWORD disposition, DWORD, HANDLE) {
    g_openCount.fetch_add(1, std::memory_order_relaxed);
    bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
    std::string host;
    if (DWORD error = MapToHostPath(path, creates, &host)) return Fail(error);

    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
        flags |= O_RDWR;
    } else if (access & GENERIC_WRITE) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    switch (disposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING:
            if (!(access & GENERIC_WRITE)) return Fail(ERROR_INVALID_PARAMETER);
            flags |= O_TRUNC;
            break;
        default: break;
    }

    std::lock_guard<std::mutex> lock(g_mutex);
    // The sharing check comes before the open, so a refused open truncates nothing.
    struct stat info;
    if (stat(host.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
        for (KernelFile* open : g_files) {
            if (open->device == info.st_dev && open->inode == info.st_ino && !SharingAllows(*open, access, shareMode)) {
                return Fail(ERROR_SHARING_VIOLATION);
            }
        }
    }
    int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) return Fail(ErrorFromErrno(errno));
    return Register(fd, access, shareMode);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD bytes, DWORD* bytesRead, void*) {
    if (bytesRead != nullptr) *bytesRead = 0;
    KernelFile* file = LookUpFile(handle);
    if (file == nullptr) return FailBool(ERROR_INVALID_HANDLE);
    if (!(file->access & GENERIC_READ)) return FailBool(ERROR_ACCESS_DENIED);
    WaitWhileReadsHeld();
    g_readCount.fetch_add(1, std::memory_order_relaxed);
    DWORD total = 0;
    while (total < bytes) {
        ssize_t got = read(file->fd, static_cast<char*>(buffer) + total, bytes - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FailBool(ErrorFromErrno(errno));
        if (got == 0) break;
        total += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr) *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD bytes, DWORD* bytesWritten, void*) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    KernelFile* file = LookUpFile(handle);
    if (file == nullptr) return FailBool(ERROR_INVALID_HANDLE);
    if (!(file->access & GENERIC_WRITE)) return FailBool(ERROR_ACCESS_DENIED);
    DWORD total = 0;
    while (total < bytes) {
        ssize_t put = write(file->fd, static_cast<const char*>(buffer) + total, bytes - total);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return FailBool(ErrorFromErrno(errno));
        total += static_cast<DWORD>(put);
    }
    if (bytesWritten != nullptr) *bytesWritten = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    KernelFile* file = LookUpFile(handle);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distanceHigh != nullptr
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                                static_cast<uint32_t>(distance))
                         : distance;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t position = lseek(file->fd, offset, whence);
    if (position < 0) {
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    KernelFile* file = LookUpFile(handle);
    struct stat info;
    if (file == nullptr || fstat(file->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL DeleteFileA(const char* path) {
    std::string host;
    if (DWORD error = MapToHostPath(path, false, &host)) return FailBool(error);
    std::lock_guard<std::mutex> lock(g_mutex);
    struct stat info;
    if (stat(host.c_str(), &info) != 0) return FailBool(ErrorFromErrno(errno));
    // Directories, pipes and devices are not files to delete.
    if (!S_ISREG(info.st_mode)) return FailBool(ERROR_ACCESS_DENIED);
    if (IsOpenLocked(info.st_dev, info.st_ino)) return FailBool(ERROR_SHARING_VIOLATION);
    if (unlink(host.c_str()) != 0) return FailBool(ErrorFromErrno(errno));
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferSize, char* buffer) {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        if (g_directoryOverridden) return CopyOut(g_directoryOverride, bufferSize, buffer);
    }
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    std::string library = HostPathToLibrary(cwd);
    free(cwd);
    return CopyOut(library, bufferSize, buffer);
}

BOOL SetCurrentDirectoryA(const char* path) {
    std::string host;
    if (DWORD error = MapToHostPath(path, false, &host)) return FailBool(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    if (chdir(host.c_str()) != 0) return FailBool(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
    if (pattern == nullptr || pattern[0] == 0) return Fail(ERROR_PATH_NOT_FOUND);
    std::string directory, namePattern;
    SplitLibraryPath(pattern, &directory, &namePattern);
    if (namePattern.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    std::string hostDirectory;
    DWORD error = MapToHostPath(directory.empty() ? "." : directory.c_str(), false, &hostDirectory);
    if (error != 0) return Fail(ERROR_PATH_NOT_FOUND);

    auto* find = new KernelFind{{PlatformObjectFind, CloseFindObject, nullptr}, hostDirectory, {}, 0};
    if (DIR* dir = opendir(hostDirectory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string hostName = entry->d_name;
            bool dots = hostName == "." || hostName == "..";
            if (dots && hostDirectory == "/") continue;
            std::string name = HostNameToLibrary(hostName);
            if (name.size() >= MAX_PATH || !MatchFindPattern(name, namePattern)) continue;
            // "." and ".." sort first, as the platform returns them.
            find->entries.push_back({hostName, name, dots ? std::string(1, '\x01') + name : UpperAscii(name)});
        }
        closedir(dir);
    }
    std::sort(find->entries.begin(), find->entries.end(),
              [](const FindEntry& a, const FindEntry& b) { return a.upper < b.upper || (a.upper == b.upper && a.name < b.name); });
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_finds.insert(find);
    }
    HANDLE handle = reinterpret_cast<HANDLE>(find);
    if (!FindNextFileA(handle, data)) {
        FindClose(handle);
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    return handle;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
    auto* find = reinterpret_cast<KernelFind*>(handle);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_finds.count(find) == 0) return FailBool(ERROR_INVALID_HANDLE);
    }
    while (find->next < find->entries.size()) {
        const FindEntry& entry = find->entries[find->next++];
        std::string hostPath = find->hostDirectory == "/" ? "/" + entry.hostName : find->hostDirectory + "/" + entry.hostName;
        if (FillFindData(hostPath, entry.name, data)) return TRUE;  // a vanished entry is skipped
    }
    return FailBool(ERROR_NO_MORE_FILES);
}

BOOL FindClose(HANDLE handle) {
    auto* find = reinterpret_cast<KernelFind*>(handle);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_finds.erase(find) == 0) return FailBool(ERROR_INVALID_HANDLE);
    }
    delete find;
    return TRUE;
}

DWORD GetTempPathA(DWORD bufferSize, char* buffer) {
    std::string host = "/tmp";
    const char* tmpdir = std::getenv("TMPDIR");
    struct stat info;
    if (tmpdir != nullptr && tmpdir[0] == '/' && stat(tmpdir, &info) == 0 && S_ISDIR(info.st_mode)) host = tmpdir;
    std::string library = HostPathToLibrary(host);
    if (library.back() != '\\') library += '\\';
    return CopyOut(library, bufferSize, buffer);
}

HANDLE CreateTempFileA(const char* directory, const char* prefix, char* nameOut, DWORD nameSize) {
    std::string host;
    if (DWORD error = MapToHostPath(directory, false, &host)) return Fail(error);
    std::string templateName = host == "/" ? "/" : host + "/";
    templateName += std::string(prefix != nullptr ? prefix : "").substr(0, 3) + "XXXXXX.tmp";
    std::vector<char> name(templateName.begin(), templateName.end());
    name.push_back(0);
    std::lock_guard<std::mutex> lock(g_mutex);
    int fd = mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0) return Fail(ErrorFromErrno(errno));
    std::string library = HostPathToLibrary(name.data());
    if (nameOut != nullptr) {
        if (library.size() + 1 > nameSize) {
            close(fd);
            unlink(name.data());
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(nameOut, library.c_str(), library.size() + 1);
    }
    return Register(fd, GENERIC_WRITE, 0);
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
    uint64_t ticks = FileTimeTicks(*fileTime);
    if (ticks > 0x7FFFFFFFFFFFFFFFull) return FailBool(ERROR_INVALID_PARAMETER);
    time_t seconds = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970);
    struct tm local;
    if (localtime_r(&seconds, &local) == nullptr) return FailBool(ERROR_INVALID_PARAMETER);
    int64_t shifted = static_cast<int64_t>(ticks) + static_cast<int64_t>(local.tm_gmtoff) * kTicksPerSecond;
    if (shifted < 0) return FailBool(ERROR_INVALID_PARAMETER);
    localFileTime->dwLowDateTime = static_cast<DWORD>(shifted);
    localFileTime->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(shifted) >> 32);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    uint64_t ticks = FileTimeTicks(*fileTime);
    if (ticks > 0x7FFFFFFFFFFFFFFFull) return FailBool(ERROR_INVALID_PARAMETER);
    const uint64_t ticksPerDay = 86400ull * kTicksPerSecond;
    int64_t days = static_cast<int64_t>(ticks / ticksPerDay);
    uint64_t dayTicks = ticks % ticksPerDay;
    // Civil date from days since 1970-01-01 (proleptic Gregorian, eras of 400 years).
    int64_t z = days - 134774 + 719468;
    int64_t era = z / 146097;
    int64_t dayOfEra = z - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    systemTime->wYear = static_cast<WORD>(year);
    systemTime->wMonth = static_cast<WORD>(month);
    systemTime->wDay = static_cast<WORD>(day);
    systemTime->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    uint64_t secondsOfDay = dayTicks / kTicksPerSecond;
    systemTime->wHour = static_cast<WORD>(secondsOfDay / 3600);
    systemTime->wMinute = static_cast<WORD>(secondsOfDay / 60 % 60);
    systemTime->wSecond = static_cast<WORD>(secondsOfDay % 60);
    systemTime->wMilliseconds = static_cast<WORD>(dayTicks % kTicksPerSecond / 10000);
    return TRUE;
}

void KernelFilesSetDirectoryOverride(const char* libraryPath) {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    g_directoryOverridden = libraryPath != nullptr;
    g_directoryOverride = libraryPath != nullptr ? libraryPath : "";
}

void KernelFilesHoldReads(bool hold) {
    {
        std::lock_guard<std::mutex> lock(g_holdMutex);
        g_holdReads = hold;
    }
    g_holdChanged.notify_all();
}

unsigned long KernelFilesOpenCount(void) { return g_openCount.load(std::memory_order_relaxed); }

unsigned long KernelFilesReadCount(void) { return g_readCount.load(std::memory_order_relaxed); }
