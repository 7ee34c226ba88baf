// plain_file.h - the plain set of the file-operation table: files of the file
// system, read directly or by a reader thread with an optional read-ahead cache.
//
// Direct mode (no flags) reads with blocking calls. With the cache flag or the
// non-blocking flag the file gets a reader thread of its own, which holds the file
// without sharing and carries out one command at a time (open, read, seek, close).
// With the cache flag the thread fills a 128 KB read-ahead cache whenever no
// command has come for 100 ms. With the non-blocking flag a read returns at once
// and the caller polls PlainFileCheckReady before it touches the buffer.
//
// Reads deliver whole elements only; the end flag is set by a read that starts at
// the end or finds less than one element left, never by a seek. Seeks are clamped
// to 0..size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/file_backend.h"
#include "platform/wintypes.h"

enum : uint32_t { PlainFileCacheSize = 0x20000 };

// The plain set, in slot order.
extern const FileBackendTable PlainFileBackendTable;

StreamHandle PlainFileOpen(const char* path, int useCache, int ignored, int nonBlocking);  // 0 on failure
int PlainFileClose(StreamHandle file);
int64_t PlainFileTell(StreamHandle file);
int PlainFileSeek(StreamHandle file, int64_t offset, int origin);  // 0, -1 on failure
size_t PlainFileRead(void* buffer, size_t elementSize, size_t count, StreamHandle file);
int PlainFileCheckEnd(StreamHandle file);    // -1 when the end flag is set, else 0
int PlainFileCheckReady(StreamHandle file);  // threaded: 0 while a command runs; else 1
int PlainSetDir(const char* path);
int PlainGetDir(char* buffer, size_t size);
FindHandle PlainFindFirst(const char* pattern, FindData* out);
int PlainFindNext(FindHandle find, FindData* out);
int PlainFindClose(FindHandle find);

// For the archive layer, which reads its archives through non-blocking files:
// the size taken at open; waiting until the running command has finished; and the
// bytes the last read delivered (known once it has finished; the undelivered rest
// of the caller's buffer is zero-filled).
uint64_t PlainFileSize(StreamHandle file);
void PlainFileWaitReady(StreamHandle file);
uint64_t PlainFileLastReadBytes(StreamHandle file);

// Creates a new temporary file (GetTempPathA, prefix "tmp", made unique and opened
// by the platform in one step, without sharing) and returns it open for writing;
// its full name goes to nameOut when given. Null on failure.
HANDLE CreateTempFileForWrite(char* nameOut, size_t nameSize);
