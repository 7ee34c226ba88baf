// file_backend.h - the file-operation table and its dispatchers.
//
// All file reading of the library goes through one replaceable table of twelve
// operations. Two sets exist: the plain set (plain_file.h), which reads the file
// system, and the archive-aware set (archive.h), which finds files inside the
// library's archives and falls back to plain files. Start-up installs the
// archive-aware set unless the "no archive" setting is 1:
//
//     InitArchiveSystem();
//     SetFileBackendTable(nullptr);
//     StreamHandle file = FileBackendOpen("data\\img.png", 0, 1, 0);  // 0: failed
//     size_t got = FileBackendRead(buffer, 1, sizeof buffer, file);   // whole elements
//     FileBackendClose(file);
//
// A file handle is a pointer-sized value that only the set that made it reads.
// The find slots have no dispatcher; callers reach them through the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/stream.h"
#include "platform/wintypes.h"

struct WIN32_FIND_DATAA;

// One directory entry as the find operations return it.
struct FindData {
    char name[260];      // without the directory
    int32_t directory;   // 1 for a directory
    uint32_t sizeLow;
    uint32_t sizeHigh;
    int32_t created[6];  // local year, month, day, hour, minute, second
    int32_t written[6];
};

using FindHandle = intptr_t;  // -1: nothing found

// The twelve operations, in slot order.
struct FileBackendTable {
    // (path, read-ahead cache flag, archive flag, non-blocking flag) -> handle, 0 on failure
    StreamHandle (*open)(const char* path, int useCache, int archiveFlag, int nonBlocking);
    int (*close)(StreamHandle file);
    int64_t (*tell)(StreamHandle file);
    int (*seek)(StreamHandle file, int64_t offset, int origin);  // origin 0 start, 1 current, 2 end
    size_t (*read)(void* buffer, size_t elementSize, size_t count, StreamHandle file);  // whole elements
    int (*checkEnd)(StreamHandle file);    // non-zero once a read reached the end
    int (*checkReady)(StreamHandle file);  // 1 when no request is pending
    int (*setDir)(const char* path);       // 0, -1 on failure
    // Writes the current directory into a buffer of `size` bytes: 0, or -1 (buffer
    // emptied) when it cannot be read or does not fit.
    int (*getDir)(char* buffer, size_t size);
    FindHandle (*findFirst)(const char* pattern, FindData* out);  // -1 when nothing matches
    int (*findNext)(FindHandle find, FindData* out);              // 0, -1 when no more
    int (*findClose)(FindHandle find);                            // 0
};

// Copies a table in, or with null installs the default set (plain when the "no
// archive" setting is 1, else archive-aware). Returns 0.
int SetFileBackendTable(const FileBackendTable* table);
// The current table (its find slots are the way to search).
const FileBackendTable* GetFileBackendTable(void);

// Dispatchers: each forwards to its slot of the current table unchanged.
StreamHandle FileBackendOpen(const char* path, int useCache, int archiveFlag, int nonBlocking);
int FileBackendClose(StreamHandle file);
int64_t FileBackendTell(StreamHandle file);
int FileBackendSeek(StreamHandle file, int64_t offset, int origin);
size_t FileBackendRead(void* buffer, size_t elementSize, size_t count, StreamHandle file);
int FileBackendCheckEnd(StreamHandle file);
int FileBackendCheckReady(StreamHandle file);
int FileBackendSetDir(const char* path);
int FileBackendGetDir(char* buffer, size_t size);

// The file set of stream operations (tell, seek, read, end test, ready check,
// close: the dispatchers above). Start-up copies it into the table that
// GetFileBackendStreamOps returns.
extern const StreamOps FileBackendStreamOpsTable;

// A platform find record as a FindData: name (cut at a character boundary to
// fit), directory flag, size, creation and last-write times. Returns 0.
int ConvertFindData(const WIN32_FIND_DATAA* source, FindData* out);
// A FILETIME as local year, month, day, hour, minute, second. 0, or -1 with all
// six fields 0 for a time the platform cannot convert.
int FileTimeToDateFields(const FILETIME* time, int32_t fields[6]);
