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
