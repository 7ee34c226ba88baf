// stream.h - the stream interface that image loaders and sound decoders read through.
//
// A StreamSource carries a copy of one set of six operations and the handle they
// work on: either a file opened through the file-operation table (plain or inside
// an archive) or a MemoryFile laid over a block of memory. A decoder never knows
// which one it reads.
#pragma once

#include <cstddef>
#include <cstdint>

using StreamHandle = uintptr_t;

struct StreamOps {
    int64_t (*tell)(StreamHandle handle);
    int (*seek)(StreamHandle handle, int64_t offset, int origin);  // origin 0 start, 1 current, 2 end
    size_t (*read)(void* buffer, size_t elementSize, size_t count, StreamHandle handle);
    int (*checkEnd)(StreamHandle handle);    // non-zero once a read reached the end
    int (*checkReady)(StreamHandle handle);  // 1 when no request is pending
    int (*close)(StreamHandle handle);
};

struct StreamSource {
    StreamOps ops;
    StreamHandle handle;
};

// A stream over caller-owned memory (one tracked block; the data is not owned).
struct MemoryFile {
    const uint8_t* data;
    int32_t size;
    int32_t position;
    int32_t end;
};

MemoryFile* OpenMemoryFile(const void* data, int size);
int CloseMemoryFile(MemoryFile* file);

// Memory streams. Reads follow the stream contract: whole elements, the end flag set
// only by a read that finds no byte left. A read with less than one element left
// copies the rest, zero-fills the remainder of that element and counts it as one.
// Seeks clamp to 0..size and clear the end flag; an unknown origin counts as 0.
int64_t TellMemoryFile(MemoryFile* file);
int SeekMemoryFile(MemoryFile* file, int64_t offset, int origin);
size_t ReadMemoryFile(void* buffer, size_t elementSize, size_t count, MemoryFile* file);
int CheckMemoryFileEnd(MemoryFile* file);
int CheckMemoryFileReady(MemoryFile* file);  // always 1
// Mirrors the read into the memory (not part of the stream set): whole elements that
// fit, 0 and the end flag at the end. The caller's memory must be writable.
size_t WriteMemoryFile(const void* buffer, size_t elementSize, size_t count, MemoryFile* file);

// The memory set of stream operations, over a MemoryFile* handle. Start-up copies it
// into the table that GetMemoryFileStreamOps returns.
extern const StreamOps MemoryFileStreamOpsTable;

// Opens a memory stream over (data, size) and fills `source` with the memory set and
// its handle; 0, or -1 when the record cannot be made. Close it with
// source->ops.close(source->handle).
int OpenMemoryStreamSource(StreamSource* source, const void* data, int size);
