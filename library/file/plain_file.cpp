// plain_file.cpp - plain files: direct reads, the reader thread and its read-ahead
// cache, directories, search and temporary files.
#include "library/file/plain_file.h"

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/file/path.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

namespace {

enum PlainFileCommand : int32_t {
    CommandOpen = 0,
    CommandCloseFile = 1,
    CommandRead = 2,
    CommandSeek = 3,
    CommandEnd = 4,  // close the file and end the thread
};

// One open plain file; its address is the file handle.
struct PlainFileRecord {
    HANDLE handle;  // direct mode: the open file
    int32_t threaded;
    int32_t cacheWanted;
    int32_t nonBlocking;
    int32_t end;
    uint64_t position;
    uint64_t size;
    DWORD threadId;
    HANDLE thread;
    HANDLE threadFile;  // the file as the reader thread opened it
    HANDLE request;     // manual reset: a command is waiting
    HANDLE done;        // manual reset: no command is running
    int32_t command;
    int32_t threadEnded;
    int32_t openFailed;
    const char* name;  // command 0; the poster waits, so the caller's text stays valid
    uint8_t* readBuffer;
    uint64_t readPosition;
    uint64_t readSize;
    uint64_t delivered;  // what the last read command put into the buffer
    uint64_t seekPosition;
    uint8_t* cache;
    uint64_t cachePosition;  // file position of the first valid cached byte
    uint32_t cacheStart;     // where that byte lies in the cache
    uint32_t cacheFill;      // valid bytes from there
};

PlainFileRecord* Record(StreamHandle file) { return reinterpret_cast<PlainFileRecord*>(file); }

HANDLE OpenShared(const char* path, DWORD share) {
    return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads up to `bytes` from the file's current position; the bytes delivered.
uint64_t ReadFully(HANDLE file, uint8_t* buffer, uint64_t bytes, bool* failed) {
    uint64_t total = 0;
    while (total < bytes) {
        DWORD chunk = bytes - total > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes - total);
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, chunk, &got, nullptr)) {
            if (failed != nullptr) *failed = true;
            break;
        }
        total += got;
        if (got < chunk) break;
    }
    return total;
}

bool SeekTo(HANDLE file, uint64_t position) {
    LONG high = static_cast<LONG>(position >> 32);
    DWORD low = SetFilePointer(file, static_cast<LONG>(position), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != 0);
}

uint64_t ReadAt(HANDLE file, uint64_t position, uint8_t* buffer, uint64_t bytes) {
    return SeekTo(file, position) ? ReadFully(file, buffer, bytes, nullptr) : 0;
}

uint64_t FileSizeOf(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    return (static_cast<uint64_t>(high) << 32) | low;
}

// Idle time: fill the cache behind its valid bytes, moving them to the front first.
void RefillCache(PlainFileRecord* record) {
    if (record->cacheFill == PlainFileCacheSize) return;
    if (record->cacheStart != 0) {
        std::memmove(record->cache, record->cache + record->cacheStart, record->cacheFill);
        record->cacheStart = 0;
    }
    uint64_t got = ReadAt(record->threadFile, record->cachePosition + record->cacheFill,
                          record->cache + record->cacheFill, PlainFileCacheSize - record->cacheFill);
    record->cacheFill += static_cast<uint32_t>(got);
}

void RunReadCommand(PlainFileRecord* record) {
    uint64_t delivered = 0;
    if (record->cache != nullptr && record->readPosition == record->cachePosition && record->cacheFill > 0) {
        uint32_t take = record->readSize < record->cacheFill ? static_cast<uint32_t>(record->readSize) : record->cacheFill;
        std::memcpy(record->readBuffer, record->cache + record->cacheStart, take);
        record->readBuffer += take;
        record->readPosition += take;
        record->readSize -= take;
        record->cachePosition += take;
        record->cacheStart += take;
        record->cacheFill -= take;
        if (record->cacheFill == 0) record->cacheStart = 0;
        delivered = take;
    }
    if (record->readSize > 0) {
        uint64_t got = ReadAt(record->threadFile, record->readPosition, record->readBuffer, record->readSize);
        delivered += got;
        if (got < record->readSize) std::memset(record->readBuffer + got, 0, record->readSize - got);
        record->readSize = got;
        if (record->cache != nullptr) {
            record->cachePosition = record->readPosition + got;
            record->cacheStart = 0;
            record->cacheFill = 0;
        }
    }
    record->delivered = delivered;
}

DWORD FileReaderThreadProc(void* parameter) {
    PlainFileRecord* record = static_cast<PlainFileRecord*>(parameter);
    for (;;) {
        if (record->cache != nullptr) {
            if (WaitForSingleObject(record->request, 100) == WAIT_TIMEOUT) {
                if (record->threadFile != nullptr) RefillCache(record);
                continue;
            }
        } else {
            WaitForSingleObject(record->request, INFINITE);
        }
        ResetEvent(record->request);
        ResetEvent(record->done);
        switch (record->command) {
            case CommandOpen:
                record->threadFile = OpenShared(record->name, 0);
                if (record->threadFile == INVALID_HANDLE_VALUE) {
                    record->threadFile = nullptr;
                    record->openFailed = 1;
                    record->threadEnded = 1;
                    SetEvent(record->done);
                    return 1;
                }
                break;
            case CommandCloseFile:
                if (record->threadFile != nullptr) CloseHandle(record->threadFile);
                record->threadFile = nullptr;
                break;
            case CommandRead:
                RunReadCommand(record);
                break;
            case CommandSeek:
                SeekTo(record->threadFile, record->seekPosition);
                if (record->cache != nullptr) {
                    record->cachePosition = record->seekPosition;
                    record->cacheStart = 0;
                    record->cacheFill = 0;
                }
                break;
            case CommandEnd:
                if (record->threadFile != nullptr) CloseHandle(record->threadFile);
                record->threadFile = nullptr;
                record->threadEnded = 1;
                SetEvent(record->done);
                return 1;
            default:
                break;
        }
        SetEvent(record->done);
    }
}

// Posting a command: wait until the previous one has finished, then fill in the
// arguments (the caller does, between these two calls), then start it.
void WaitCommandDone(PlainFileRecord* record) { WaitForSingleObject(record->done, INFINITE); }

void StartCommand(PlainFileRecord* record, int32_t command) {
    record->command = command;
    ResetEvent(record->done);
    SetEvent(record->request);
}

void FreeThreadedRecord(PlainFileRecord* record) {
    if (record->cache != nullptr) ZqFree(record->cache);
    if (record->request != nullptr) CloseHandle(record->request);
    if (record->done != nullptr) CloseHandle(record->done);
    if (record->thread != nullptr) CloseHandle(record->thread);
    ZqFree(record);
}

StreamHandle OpenThreaded(PlainFileRecord* record, const char* path) {
    HANDLE probe = OpenShared(path, FILE_SHARE_READ);
    if (probe == INVALID_HANDLE_VALUE) {
        ZqFree(record);
        return 0;
    }
    record->size = FileSizeOf(probe);
    CloseHandle(probe);

    if (record->cacheWanted) {
        record->cache = static_cast<uint8_t*>(ZqAlloc(PlainFileCacheSize));
        if (record->cache == nullptr) {
            ZqFree(record);
            WriteLogText("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            return 0;
        }
    }
    record->request = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    record->done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (record->request != nullptr && record->done != nullptr) {
        record->thread = CreateThread(nullptr, 0, FileReaderThreadProc, record, 0, &record->threadId);
    }
    if (record->thread == nullptr) {
        FreeThreadedRecord(record);
        WriteLogText("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return 0;
    }

    WaitCommandDone(record);
    record->name = path;
    StartCommand(record, CommandOpen);
    WaitCommandDone(record);
    record->name = nullptr;
    if (record->openFailed) {
        WaitForSingleObject(record->thread, INFINITE);
        FreeThreadedRecord(record);
        WriteLogText("ファイルのオープンに失敗しました\n");
        return 0;
    }
    return reinterpret_cast<StreamHandle>(record);
}

}  // namespace

StreamHandle PlainFileOpen(const char* path, int useCache, int, int nonBlocking) {
    auto* record = static_cast<PlainFileRecord*>(ZqAllocZero(sizeof(PlainFileRecord)));
    if (record == nullptr) return 0;
    record->cacheWanted = useCache != 0;
    record->nonBlocking = nonBlocking != 0;
    record->threaded = record->cacheWanted || record->nonBlocking;
    if (record->threaded) return OpenThreaded(record, path);

    record->handle = OpenShared(path, FILE_SHARE_READ);
    if (record->handle == INVALID_HANDLE_VALUE) {
        ZqFree(record);
        return 0;
    }
    record->size = FileSizeOf(record->handle);
    return reinterpret_cast<StreamHandle>(record);
}

int PlainFileClose(StreamHandle file) {
    PlainFileRecord* record = Record(file);
    if (record == nullptr) return -1;
    if (!record->threaded) {
        CloseHandle(record->handle);
        ZqFree(record);
        return 0;
    }
    WaitCommandDone(record);
    StartCommand(record, CommandEnd);
    WaitCommandDone(record);
    WaitForSingleObject(record->thread, INFINITE);
    FreeThreadedRecord(record);
    return 0;
}

int64_t PlainFileTell(StreamHandle file) { return static_cast<int64_t>(Record(file)->position); }

int PlainFileSeek(StreamHandle file, int64_t offset, int origin) {
    PlainFileRecord* record = Record(file);
    // Clamped to 0..size, so the read arithmetic never sees a position past the end.
    const int64_t size = static_cast<int64_t>(record->size);
    const int64_t base = origin == 1 ? static_cast<int64_t>(record->position) : origin == 2 ? size : 0;
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : size;
    if (target < 0) target = 0;
    if (target > size) target = size;
    if (record->threaded) {
        WaitCommandDone(record);
        record->seekPosition = static_cast<uint64_t>(target);
        StartCommand(record, CommandSeek);
    } else if (!SeekTo(record->handle, static_cast<uint64_t>(target))) {
        return -1;
    }
    record->position = static_cast<uint64_t>(target);
    record->end = 0;
    return 0;
}

size_t PlainFileRead(void* buffer, size_t elementSize, size_t count, StreamHandle file) {
    PlainFileRecord* record = Record(file);
    if (elementSize == 0) return 0;
    if (record->position >= record->size) {
        record->end = 1;
        return 0;
    }
    const uint64_t remaining = record->size - record->position;
    if (count > remaining / elementSize) count = static_cast<size_t>(remaining / elementSize);
    if (count == 0) {
        record->end = 1;
        return 0;
    }
    const uint64_t bytes = static_cast<uint64_t>(elementSize) * count;
    uint64_t got;
    if (record->threaded) {
        WaitCommandDone(record);
        record->readBuffer = static_cast<uint8_t*>(buffer);
        record->readPosition = record->position;
        record->readSize = bytes;
        StartCommand(record, CommandRead);
        if (record->nonBlocking) {
            got = bytes;
        } else {
            WaitCommandDone(record);
            got = record->delivered;
        }
    } else {
        bool failed = false;
        got = ReadFully(record->handle, static_cast<uint8_t*>(buffer), bytes, &failed);
        if (failed) got = 0;
    }
    record->position += bytes;
    return static_cast<size_t>(got / elementSize);
}

int PlainFileCheckEnd(StreamHandle file) { return Record(file)->end ? -1 : 0; }

int PlainFileCheckReady(StreamHandle file) {
    PlainFileRecord* record = Record(file);
    if (!record->threaded) return 1;
    return WaitForSingleObject(record->done, 0) == WAIT_OBJECT_0 ? 1 : 0;
}

uint64_t PlainFileSize(StreamHandle file) { return Record(file)->size; }

void PlainFileWaitReady(StreamHandle file) {
    PlainFileRecord* record = Record(file);
    if (record->threaded) WaitCommandDone(record);
}

uint64_t PlainFileLastReadBytes(StreamHandle file) { return Record(file)->delivered; }

int PlainSetDir(const char* path) { return SetCurrentDirectoryA(path) ? 0 : -1; }

int PlainGetDir(char* buffer, size_t size) {
    if (size == 0) return -1;
    DWORD capacity = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
    DWORD length = GetCurrentDirectoryA(capacity, buffer);
    if (length == 0 || length >= capacity) {
        buffer[0] = 0;
        return -1;
    }
    return 0;
}

FindHandle PlainFindFirst(const char* pattern, FindData* out) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return -1;
    if (out != nullptr) ConvertFindData(&data, out);
    return reinterpret_cast<FindHandle>(find);
}

int PlainFindNext(FindHandle find, FindData* out) {
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &data)) return -1;
    if (out != nullptr) ConvertFindData(&data, out);
    return 0;
}

int PlainFindClose(FindHandle find) { return FindClose(reinterpret_cast<HANDLE>(find)) ? 0 : -1; }

HANDLE CreateTempFileForWrite(char* nameOut, size_t nameSize) {
    char directory[FilePathMax];
    DWORD length = GetTempPathA(sizeof directory - 1, directory);
    if (length == 0 || length >= sizeof directory - 1) return nullptr;
    if (directory[length - 1] != '\\') AppendText(directory, "\\");
    char name[FilePathMax];
    HANDLE file = CreateTempFileA(directory, "tmp", name, sizeof name);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    char full[FilePathMax];
    if (ConvertToFullPath(name, full, sizeof full, nullptr) != 0 ||
        (nameOut != nullptr && std::strlen(full) + 1 > nameSize)) {
        CloseHandle(file);
        DeleteFileA(name);
        return nullptr;
    }
    if (nameOut != nullptr) CopyText(nameOut, full);
    return file;
}

const FileBackendTable PlainFileBackendTable = {
    PlainFileOpen, PlainFileClose,    PlainFileTell, PlainFileSeek,  PlainFileRead,  PlainFileCheckEnd,
    PlainFileCheckReady, PlainSetDir, PlainGetDir,   PlainFindFirst, PlainFindNext, PlainFindClose,
};
