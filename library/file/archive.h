// archive.h - the archive reader: the archive-aware set of the file-operation
// table.
//
// Archives stand in for directories: a file D:\GAME\DATA\IMG.PNG is looked for in
// D:.ZQA, then D:\GAME.ZQA, then D:\GAME\DATA.ZQA (each leading directory of the
// absolute, upper-cased path, shortest first). The first archive that exists
// decides: the file is read from it, or fails to open when the archive does not
// hold it. Only when no such archive exists is the file opened as a plain file.
// A one-entry cache remembers the last archive found, so the next file under the
// same directory only compares names.
//
// Up to 512 archives stay open, reference counted (one reference per open file and
// per search); an archive nobody references stays open until the table is full or
// TermArchiveSystem. Up to 512 files are open at once; their handles are
// slot | 0xF0000000 (ArchiveFileHandle), never 0, and anything else is refused.
// Packed files are unpacked whole when they are opened; stored files are read from
// the archive at each read, optionally without blocking.
//
// Every byte of an archive is checked before it is used (header, directory block
// offsets and counts, name records, data ranges, pack headers and the LZ stream).
// An archive whose magic or version is wrong under both keys counts as absent; a
// damaged one is refused with a log line and counts as absent too; a damaged file
// inside an archive fails to open with a log line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/archive_format.h"
#include "library/file/file_backend.h"

enum {
    ArchiveTableSize = 512,
    ArchiveFileTableSize = 512,
};
enum : uint32_t { ArchiveFileHandleTag = 0xF0000000u };

// The archive-aware set, in slot order.
extern const FileBackendTable ArchiveAwareFileBackendTable;

StreamHandle ArchiveAwareOpen(const char* path, int useCache, int archiveFlag, int nonBlocking);  // 0 on failure
int ArchiveAwareClose(StreamHandle file);  // -1 for a handle that names no open file
int64_t ArchiveAwareTell(StreamHandle file);
int ArchiveAwareSeek(StreamHandle file, int64_t offset, int origin);
size_t ArchiveAwareRead(void* buffer, size_t elementSize, size_t count, StreamHandle file);  // whole elements
int ArchiveAwareCheckEnd(StreamHandle file);
int ArchiveAwareCheckReady(StreamHandle file);
int ArchiveAwareSetDir(const char* path);
int ArchiveAwareGetDir(char* buffer, size_t size);
FindHandle ArchiveAwareFindFirst(const char* pattern, FindData* out);
int ArchiveAwareFindNext(FindHandle find, FindData* out);
int ArchiveAwareFindClose(FindHandle find);

// Start-up clears the layer (before the table is chosen); shutdown closes the
// archives that nothing references any more.
int InitArchiveSystem(void);
int TermArchiveSystem(void);

// The extension of archive files (default "ZQA", at most 63 bytes) and the key
// string for archives opened from now on (null or empty: the built-in key).
int SetArchiveExtension(const char* extension);
int SetArchiveKeyString(const char* keyString);

// Finds the archive that decides the path: its index (with one new reference the
// caller releases), and optionally its file name and the path inside it. -1 when
// no archive stands for any leading directory of the path.
int ResolveArchivePath(const char* path, int* index, char* archiveName, size_t archiveNameSize, char* innerPath,
                       size_t innerPathSize);
// Opens an archive by file name, or takes another reference on it when it is open.
// memoryMode loads the whole archive into memory (asynchronously when asked).
// The index, or -1.
int OpenArchiveByName(const char* archiveName, int indexHint, int memoryMode, int asynchronous);
int ReleaseArchive(int index);  // 0, or -1 when the archive has no reference
int CloseUnreferencedArchives(void);
int FindOpenArchive(const char* archiveName);  // index without a new reference, or -1
int GetArchiveReferenceCount(int index);       // -1 for an empty slot
