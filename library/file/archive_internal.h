// archive_internal.h - the open-archive records shared by the archive table
// (archive.cpp) and the files and searches inside archives (archive_files.cpp).
#pragma once

#include <cstdint>

#include "library/file/archive.h"
#include "library/file/path.h"

// One open archive. Table offsets are kept, not pointers, and every record is
// read through the checked readers below.
struct ArchiveState {
    ArchiveHeader header;
    StreamHandle file;       // the archive's plain file (non-blocking reader thread); 0 once a memory image is loaded
    uint64_t fileSize;
    uint8_t key[ArchiveKeySize];
    uint8_t* block;          // the directory block, unscrambled
    uint32_t entrySize;      // file-entry size of this version
    uint32_t currentDirectory;  // directory-table offset; the root (0) after opening
    int32_t memoryMode;
    int32_t loading;         // memory mode: the image is still being read
    uint8_t* image;          // memory mode: the whole archive, unscrambled once loaded
};

struct ArchiveRecord {
    int32_t references;
    ArchiveState state;
    char name[FilePathMax];
};

// The archive in a slot, or null.
ArchiveState* GetArchiveState(int index);
// Memory mode: waits until an asynchronous load has finished.
void FinishArchiveLoad(ArchiveState* archive);

// Checked readers of the directory block: false when the record would reach
// outside the block (or its table), so hostile offsets and counts are harmless.
bool ReadArchiveDirectory(const ArchiveState* archive, uint32_t directoryOffset, ArchiveDirectory* directory);
bool ReadArchiveEntry(const ArchiveState* archive, const ArchiveDirectory* directory, uint32_t index,
                      ArchiveFileEntry* entry);
// The entry's name record: its start and the bytes of the block from there (0 when
// the offset lies outside).
const uint8_t* ArchiveEntryName(const ArchiveState* archive, const ArchiveFileEntry* entry, size_t* available);

// Reads length bytes of the archive file at a file offset (or, with -1, at the
// plain file's position), waits for the reader thread and unscrambles them. 0, or
// -1 when the range lies outside the file or was not delivered.
int ReadArchiveBytes(void* buffer, uint64_t length, StreamHandle file, const uint8_t key[ArchiveKeySize],
                     int64_t fileOffset);

// Directory walk ("\" separated; "." and "\" and ".." on their own). 0, or -1 with
// the failing component's record in nameOut; with restoreOnFailure the current
// directory is put back on failure.
int ChangeArchiveDirectory(ArchiveState* archive, const char* path, int restoreOnFailure, ArchiveNameKey* nameOut);
// Enters the subdirectory of that name of the current directory: 0, or -1.
int EnterArchiveSubdirectory(ArchiveState* archive, const ArchiveNameKey* name);
// The file entry of an inner path (directories walked from the current one, or
// from the root after a leading "\"); the current directory is kept. 0, or -1.
int FindArchiveFileEntry(ArchiveState* archive, const char* innerPath, ArchiveFileEntry* entry);

// Start-up's clearing of the open-file table (archive_files.cpp).
void ClearArchiveFiles(void);
