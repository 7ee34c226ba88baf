// file_seams.h - the file-operation table and archive routines that start-up and
// shutdown call before the file subsystem is built. Stand-ins in file_seams.cpp; the
// file subsystem replaces both files with its own headers and definitions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/file/stream.h"

struct FileBackendTable;

int InitArchiveSystem(void);                  // clears the archive layer; 0
int TermArchiveSystem(void);                  // closes the archives no file uses; 0
int SetFileBackendTable(const FileBackendTable* table);  // null: the default set; 0
int FileBackendGetDir(char* buffer);          // the current directory into buffer (260 bytes)
int FileBackendSetDir(const char* path);

// The two sets of stream operations start-up installs (slot order of StreamOps).
int64_t FileBackendTell(StreamHandle handle);
int FileBackendSeek(StreamHandle handle, int64_t offset, int origin);
size_t FileBackendRead(void* buffer, size_t elementSize, size_t count, StreamHandle handle);
int FileBackendCheckEnd(StreamHandle handle);
int FileBackendCheckReady(StreamHandle handle);
int FileBackendClose(StreamHandle handle);
int64_t TellMemoryFile(StreamHandle handle);
int SeekMemoryFile(StreamHandle handle, int64_t offset, int origin);
size_t ReadMemoryFile(void* buffer, size_t elementSize, size_t count, StreamHandle handle);
int CheckMemoryFileEnd(StreamHandle handle);
int CheckMemoryFileReady(StreamHandle handle);
int CloseMemoryFile(StreamHandle handle);
