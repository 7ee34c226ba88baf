// memory_file.cpp - streams over a block of memory the caller owns.
//
// A MemoryFile is one tracked record (data, size, position, end flag); closing it
// frees the record, never the data. The memory set of StreamOps wraps these calls
// so that decoders read memory exactly as they read files.
#include "library/file/stream.h"

#include <cstring>

#include "library/core/alloc.h"

MemoryFile* OpenMemoryFile(const void* data, int size) {
    if (size < 0 || (data == nullptr && size > 0)) return nullptr;
    MemoryFile* file = static_cast<MemoryFile*>(ZqAlloc(sizeof(MemoryFile)));
    if (file == nullptr) return nullptr;
    file->data = static_cast<const uint8_t*>(data);
    file->size = size;
    file->position = 0;
    file->end = 0;
    return file;
}

int CloseMemoryFile(MemoryFile* file) {
    ZqFree(file);
    return 0;
}

int64_t TellMemoryFile(MemoryFile* file) { return file->position; }

int SeekMemoryFile(MemoryFile* file, int64_t offset, int origin) {
    int64_t base = origin == 1 ? file->position : origin == 2 ? file->size : 0;
    // Offsets beyond the 32-bit range land outside 0..size from any base; the
    // others are added in 64 bits, where they cannot overflow.
    int64_t target = offset > INT32_MAX ? file->size : offset < INT32_MIN ? 0 : base + offset;
    if (target < 0) target = 0;
    if (target > file->size) target = file->size;
    file->position = static_cast<int32_t>(target);
    file->end = 0;
    return 0;
}

// The whole elements of `elementSize` bytes among `remaining` bytes, at most `count`.
static size_t WholeElements(size_t elementSize, size_t count, size_t remaining) {
    size_t fit = remaining / elementSize;
    return fit < count ? fit : count;
}

size_t ReadMemoryFile(void* buffer, size_t elementSize, size_t count, MemoryFile* file) {
    if (elementSize == 0 || count == 0) return 0;
    if (file->position >= file->size) {
        file->end = 1;
        return 0;
    }
    size_t remaining = static_cast<size_t>(file->size - file->position);
    const uint8_t* from = file->data + file->position;
    size_t whole = WholeElements(elementSize, count, remaining);
    if (whole > 0) {
        std::memcpy(buffer, from, whole * elementSize);
        file->position += static_cast<int32_t>(whole * elementSize);
        file->end = 0;
        return whole;
    }
    // Less than one element left: the rest, then zeros, so no stale byte of the
    // caller's buffer passes for data. It still counts as one element.
    std::memcpy(buffer, from, remaining);
    std::memset(static_cast<uint8_t*>(buffer) + remaining, 0, elementSize - remaining);
    file->position = file->size;
    file->end = 0;
    return 1;
}

int CheckMemoryFileEnd(MemoryFile* file) { return file->end; }

int CheckMemoryFileReady(MemoryFile*) { return 1; }

size_t WriteMemoryFile(const void* buffer, size_t elementSize, size_t count, MemoryFile* file) {
    if (elementSize == 0 || count == 0) return 0;
    if (file->position >= file->size) {
        file->end = 1;
        return 0;
    }
    size_t remaining = static_cast<size_t>(file->size - file->position);
    size_t whole = WholeElements(elementSize, count, remaining);
    if (whole == 0) return 0;
    std::memcpy(const_cast<uint8_t*>(file->data) + file->position, buffer, whole * elementSize);
    file->position += static_cast<int32_t>(whole * elementSize);
    file->end = 0;
    return whole;
}

static MemoryFile* AsMemoryFile(StreamHandle handle) { return reinterpret_cast<MemoryFile*>(handle); }

static int64_t TellMemoryStream(StreamHandle handle) { return TellMemoryFile(AsMemoryFile(handle)); }
static int SeekMemoryStream(StreamHandle handle, int64_t offset, int origin) {
    return SeekMemoryFile(AsMemoryFile(handle), offset, origin);
}
static size_t ReadMemoryStream(void* buffer, size_t elementSize, size_t count, StreamHandle handle) {
    return ReadMemoryFile(buffer, elementSize, count, AsMemoryFile(handle));
}
static int CheckMemoryStreamEnd(StreamHandle handle) { return CheckMemoryFileEnd(AsMemoryFile(handle)); }
static int CheckMemoryStreamReady(StreamHandle handle) { return CheckMemoryFileReady(AsMemoryFile(handle)); }
static int CloseMemoryStream(StreamHandle handle) { return CloseMemoryFile(AsMemoryFile(handle)); }

const StreamOps MemoryFileStreamOpsTable = {
    TellMemoryStream, SeekMemoryStream, ReadMemoryStream,
    CheckMemoryStreamEnd, CheckMemoryStreamReady, CloseMemoryStream,
};

int OpenMemoryStreamSource(StreamSource* source, const void* data, int size) {
    MemoryFile* file = OpenMemoryFile(data, size);
    if (file == nullptr) return -1;
    source->ops = MemoryFileStreamOpsTable;
    source->handle = reinterpret_cast<StreamHandle>(file);
    return 0;
}
