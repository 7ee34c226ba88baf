// archive_files.cpp - the archive-aware set: files and searches that may lie
// inside archives, with the plain set as the fallback.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/file/archive_internal.h"
#include "library/file/plain_file.h"

namespace {

// A file inside an archive.
struct ArchiveInnerFile {
    ArchiveState* archive;
    ArchiveFileEntry entry;
    uint8_t* unpacked;  // the whole unpacked file (packed entries), else null
    uint8_t* packed;    // the packed bytes while their read is pending
    uint32_t packedLength;
    int32_t end;
    uint32_t position;
    int32_t nonBlocking;
    int32_t pending;  // 0 none, 1 packed read pending, 2 direct read pending
    uint64_t pendingOffset;
    uint8_t* pendingBuffer;
    uint32_t pendingLength;
    int32_t broken;  // the packed data turned out damaged after a non-blocking open
};

struct ArchiveFileSlot {
    int32_t inArchive;
    StreamHandle plainFile;
    int32_t archiveIndex;
    ArchiveInnerFile inner;
};

struct ArchiveDirFind {
    ArchiveState* archive;
    char pattern[FilePathMax];  // upper-cased name pattern
    uint32_t directory;         // directory-table offset
    uint32_t next;              // next index: pseudo entries first, then the entries
};

struct ArchiveFindRecord {
    int32_t inArchive;
    int32_t archiveIndex;
    ArchiveDirFind* dirFind;
    FindHandle plainFind;
};

ArchiveFileSlot* ArchiveFiles[ArchiveFileTableSize];
int32_t ArchiveFileCount;

bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Only slot | 0xF0000000 with a slot in range and in use names a file; 0, the
// failure value, and foreign values are refused.
ArchiveFileSlot* SlotOf(StreamHandle file) {
    if ((file & ~static_cast<StreamHandle>(0x0FFFFFFF)) != ArchiveFileHandleTag) return nullptr;
    const StreamHandle slot = file & 0x0FFFFFFF;
    return slot < ArchiveFileTableSize ? ArchiveFiles[slot] : nullptr;
}

uint64_t DataStart(const ArchiveInnerFile* inner) {
    return static_cast<uint64_t>(inner->archive->header.dataStart) + inner->entry.dataOffset;
}

int RefuseDamagedFile(ArchiveInnerFile* inner, const char* path) {
    if (inner->unpacked != nullptr) ZqFree(inner->unpacked);
    if (inner->packed != nullptr) ZqFree(inner->packed);
    inner->unpacked = nullptr;
    inner->packed = nullptr;
    WriteLogFormat("アーカイブ内のファイルが壊れています : %s", path);
    return -1;
}

bool UnpackInto(ArchiveInnerFile* inner, const uint8_t* packed) {
    return DecodeArchivePackedData(packed, inner->entry.packedSize, inner->unpacked, inner->entry.size) ==
           static_cast<int64_t>(inner->entry.size);
}

int OpenInnerFile(ArchiveInnerFile* inner, ArchiveState* archive, const char* innerPath, int nonBlocking,
                  const char* path) {
    FinishArchiveLoad(archive);
    std::memset(inner, 0, sizeof *inner);
    if (FindArchiveFileEntry(archive, innerPath, &inner->entry) != 0) return -1;  // not held: no message
    inner->archive = archive;
    inner->nonBlocking = nonBlocking != 0;
    const ArchiveFileEntry& entry = inner->entry;
    const bool packed = archive->header.version >= 2 && entry.packedSize != ArchiveNotPacked;
    const uint64_t start = DataStart(inner);
    const uint64_t stored = packed ? entry.packedSize : entry.size;
    if (start > archive->fileSize || stored > archive->fileSize - start) return RefuseDamagedFile(inner, path);
    if (!packed) return 0;  // read straight from the archive at each read

    if (entry.packedSize < ArchivePackHeaderSize || entry.size > ArchiveUnpackedSizeLimit(entry.packedSize)) {
        return RefuseDamagedFile(inner, path);
    }
    inner->unpacked = static_cast<uint8_t*>(ZqAlloc(entry.size != 0 ? entry.size : 1));
    if (inner->unpacked == nullptr) return -1;
    if (archive->image != nullptr) {
        return UnpackInto(inner, archive->image + start) ? 0 : RefuseDamagedFile(inner, path);
    }
    inner->packed = static_cast<uint8_t*>(ZqAlloc(entry.packedSize));
    if (inner->packed == nullptr) {
        ZqFree(inner->unpacked);
        inner->unpacked = nullptr;
        return -1;
    }
    inner->packedLength = entry.packedSize;
    if (inner->nonBlocking) {
        PlainFileSeek(archive->file, static_cast<int64_t>(start), 0);
        PlainFileRead(inner->packed, entry.packedSize, 1, archive->file);
        inner->pending = 1;
        inner->pendingOffset = start;
        return 0;
    }
    if (ReadArchiveBytes(inner->packed, entry.packedSize, archive->file, archive->key, static_cast<int64_t>(start)) != 0 ||
        !UnpackInto(inner, inner->packed)) {
        return RefuseDamagedFile(inner, path);
    }
    ZqFree(inner->packed);
    inner->packed = nullptr;
    return 0;
}

// Finishes a pending read once the archive's reader thread is done (waiting for
// it when asked). 1 when nothing is pending any more, 0 while it still runs.
int CompletePending(ArchiveInnerFile* inner, bool wait) {
    if (inner->pending == 0) return 1;
    ArchiveState* archive = inner->archive;
    if (wait) {
        PlainFileWaitReady(archive->file);
    } else if (!PlainFileCheckReady(archive->file)) {
        return 0;
    }
    if (inner->pending == 1) {
        ScrambleArchiveBytes(inner->packed, inner->packedLength, inner->pendingOffset, archive->key);
        if (!UnpackInto(inner, inner->packed)) {
            RefuseDamagedFile(inner, "(non-blocking)");
            inner->broken = 1;
        }
        if (inner->packed != nullptr) ZqFree(inner->packed);
        inner->packed = nullptr;
    } else {
        ScrambleArchiveBytes(inner->pendingBuffer, inner->pendingLength, inner->pendingOffset, archive->key);
    }
    inner->pending = 0;
    return 1;
}

size_t ReadInnerFile(ArchiveInnerFile* inner, void* buffer, size_t elementSize, size_t count) {
    CompletePending(inner, true);
    if (elementSize == 0) return 0;
    const uint32_t size = inner->entry.size;
    if (inner->broken || inner->position >= size) {
        inner->end = 1;
        return 0;
    }
    // Whole elements only, like every other stream.
    const size_t left = size - inner->position;
    if (count > left / elementSize) count = left / elementSize;
    if (count == 0) {
        inner->end = 1;
        return 0;
    }
    const uint32_t bytes = static_cast<uint32_t>(elementSize * count);
    ArchiveState* archive = inner->archive;
    if (inner->unpacked != nullptr) {
        std::memcpy(buffer, inner->unpacked + inner->position, bytes);
    } else if (archive->image != nullptr) {
        std::memcpy(buffer, archive->image + DataStart(inner) + inner->position, bytes);
    } else {
        const uint64_t at = DataStart(inner) + inner->position;
        if (static_cast<uint64_t>(PlainFileTell(archive->file)) != at) PlainFileSeek(archive->file, static_cast<int64_t>(at), 0);
        if (inner->nonBlocking) {
            PlainFileRead(buffer, bytes, 1, archive->file);
            inner->pending = 2;
            inner->pendingOffset = at;
            inner->pendingBuffer = static_cast<uint8_t*>(buffer);
            inner->pendingLength = bytes;
        } else if (ReadArchiveBytes(buffer, bytes, archive->file, archive->key, -1) != 0) {
            return 0;
        }
    }
    inner->position += bytes;
    return count;
}

int SeekInnerFile(ArchiveInnerFile* inner, int64_t offset, int origin) {
    CompletePending(inner, true);
    const int64_t size = inner->entry.size;
    const int64_t base = origin == 1 ? inner->position : origin == 2 ? size : 0;
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? 0 : size;
    inner->position = static_cast<uint32_t>(target < 0 ? 0 : target > size ? size : target);
    inner->end = 0;
    return 0;
}

void CloseInnerFile(ArchiveInnerFile* inner) {
    CompletePending(inner, true);
    if (inner->unpacked != nullptr) ZqFree(inner->unpacked);
    if (inner->packed != nullptr) ZqFree(inner->packed);
    std::memset(inner, 0, sizeof *inner);
}

// The longest prefix of a stored name (at most `available` bytes, ended by a zero
// byte or not) that fits `limit` bytes without splitting a double-byte character.
size_t StoredNameLength(const uint8_t* name, size_t available, size_t limit) {
    size_t length = 0;
    while (length < available && name[length] != 0) {
        size_t step = IsShiftJisLead(name[length]) && length + 1 < available && name[length + 1] != 0 ? 2 : 1;
        if (length + step > limit) break;
        length += step;
    }
    return length;
}

// A name that a lookup could reach: not empty, not "." or "..", no "\" or "/"
// outside double-byte characters. Other entries of a hostile archive are never
// listed, so a search cannot steer its caller out of the directory.
bool IsReachableName(const uint8_t* name, size_t length) {
    if (length == 0 || (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))) return false;
    for (size_t i = 0; i < length; i++) {
        if (IsShiftJisLead(name[i]) && i + 1 < length) {
            i++;
        } else if (name[i] == '\\' || name[i] == '/') {
            return false;
        }
    }
    return true;
}

void FillPseudoEntry(FindData* out, const char* name) {
    std::memset(out, 0, sizeof *out);
    CopyText(out->name, name);
    out->directory = 1;
}

void FillEntry(FindData* out, const ArchiveFileEntry& entry, const uint8_t* record) {
    std::memset(out, 0, sizeof *out);
    const uint32_t words = ReadArchiveU16(record);
    const size_t length = StoredNameLength(record + 4 + 4 * words, 4 * words, sizeof out->name - 1);
    std::memcpy(out->name, record + 4 + 4 * words, length);
    out->directory = (entry.attributes & ArchiveAttributeDirectory) != 0 ? 1 : 0;
    out->sizeLow = entry.size;
    FILETIME created = {static_cast<DWORD>(entry.created), static_cast<DWORD>(entry.created >> 32)};
    FILETIME written = {static_cast<DWORD>(entry.written), static_cast<DWORD>(entry.written >> 32)};
    FileTimeToDateFields(&created, out->created);
    FileTimeToDateFields(&written, out->written);
}

// The next match from the search's index on: "." (and ".." below the root), then
// the directory's entries in table order. 0, or -1 when none is left.
int StepArchiveFind(ArchiveDirFind* find, FindData* out) {
    ArchiveState* archive = find->archive;
    FinishArchiveLoad(archive);
    ArchiveDirectory directory;
    if (!ReadArchiveDirectory(archive, find->directory, &directory)) return -1;
    const uint32_t pseudo = find->directory == 0 ? 1 : 2;
    const uint64_t total = static_cast<uint64_t>(directory.count) + pseudo;
    for (; find->next < total; find->next++) {
        if (find->next < pseudo) {
            const char* name = find->next == 0 ? "." : "..";
            if (MatchWildcard(name, find->pattern) != 0) continue;
            if (out != nullptr) FillPseudoEntry(out, name);
        } else {
            ArchiveFileEntry entry;
            size_t available;
            if (!ReadArchiveEntry(archive, &directory, find->next - pseudo, &entry)) continue;
            const uint8_t* record = ArchiveEntryName(archive, &entry, &available);
            if (available < 4) continue;
            const uint32_t words = ReadArchiveU16(record);
            if (4 + 8ull * words > available) continue;
            const size_t length = StoredNameLength(record + 4, 4 * words, 4 * words);
            const uint8_t* stored = record + 4 + 4 * words;
            if (!IsReachableName(record + 4, length) ||
                !IsReachableName(stored, StoredNameLength(stored, 4 * words, sizeof(FindData::name) - 1))) {
                continue;
            }
            if (MatchWildcardBytes(reinterpret_cast<const char*>(record + 4), length, find->pattern) != 0) continue;
            if (out != nullptr) FillEntry(out, entry, record);
        }
        find->next++;
        return 0;
    }
    return -1;
}

}  // namespace

void ClearArchiveFiles(void) {
    std::memset(ArchiveFiles, 0, sizeof ArchiveFiles);
    ArchiveFileCount = 0;
}

StreamHandle ArchiveAwareOpen(const char* path, int useCache, int, int nonBlocking) {
    if (ArchiveFileCount == ArchiveFileTableSize) {
        WriteLogText("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (ArchiveFiles[slot] != nullptr) slot++;
    auto* file = static_cast<ArchiveFileSlot*>(ZqAllocZero(sizeof(ArchiveFileSlot)));
    if (file == nullptr) {
        WriteLogText("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    int index;
    char inner[FilePathMax];
    bool opened = false;
    if (ResolveArchivePath(path, &index, nullptr, 0, inner, sizeof inner) != 0) {
        file->plainFile = PlainFileOpen(path, useCache, 1, nonBlocking);
        opened = file->plainFile != 0;
    } else if (OpenInnerFile(&file->inner, GetArchiveState(index), inner, nonBlocking, path) == 0) {
        file->inArchive = 1;
        file->archiveIndex = index;
        opened = true;
    } else {
        ReleaseArchive(index);
    }
    if (!opened) {
        ZqFree(file);
        return 0;
    }
    ArchiveFiles[slot] = file;
    ArchiveFileCount++;
    return ArchiveFileHandleTag | static_cast<StreamHandle>(slot);
}

int ArchiveAwareClose(StreamHandle handle) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return -1;
    if (file->inArchive) {
        CloseInnerFile(&file->inner);
        ReleaseArchive(file->archiveIndex);
    } else {
        PlainFileClose(file->plainFile);
    }
    ZqFree(file);
    ArchiveFiles[handle & 0x0FFFFFFF] = nullptr;
    ArchiveFileCount--;
    return 0;
}

int64_t ArchiveAwareTell(StreamHandle handle) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return -1;
    if (!file->inArchive) return PlainFileTell(file->plainFile);
    CompletePending(&file->inner, true);
    return file->inner.position;
}

int ArchiveAwareSeek(StreamHandle handle, int64_t offset, int origin) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return -1;
    return file->inArchive ? SeekInnerFile(&file->inner, offset, origin) : PlainFileSeek(file->plainFile, offset, origin);
}

size_t ArchiveAwareRead(void* buffer, size_t elementSize, size_t count, StreamHandle handle) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return 0;
    return file->inArchive ? ReadInnerFile(&file->inner, buffer, elementSize, count)
                           : PlainFileRead(buffer, elementSize, count, file->plainFile);
}

int ArchiveAwareCheckEnd(StreamHandle handle) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return -1;
    if (!file->inArchive) return PlainFileCheckEnd(file->plainFile);
    CompletePending(&file->inner, true);
    return file->inner.end ? -1 : 0;
}

int ArchiveAwareCheckReady(StreamHandle handle) {
    ArchiveFileSlot* file = SlotOf(handle);
    if (file == nullptr) return -1;
    return file->inArchive ? CompletePending(&file->inner, false) : PlainFileCheckReady(file->plainFile);
}

int ArchiveAwareSetDir(const char* path) { return PlainSetDir(path); }

int ArchiveAwareGetDir(char* buffer, size_t size) { return PlainGetDir(buffer, size); }

FindHandle ArchiveAwareFindFirst(const char* pattern, FindData* out) {
    auto* record = static_cast<ArchiveFindRecord*>(ZqAllocZero(sizeof(ArchiveFindRecord)));
    if (record == nullptr) return -1;
    int index;
    char inner[FilePathMax];
    if (ResolveArchivePath(pattern, &index, nullptr, 0, inner, sizeof inner) != 0) {
        record->plainFind = PlainFindFirst(pattern, out);
        if (record->plainFind == -1) {
            ZqFree(record);
            return -1;
        }
        return reinterpret_cast<FindHandle>(record);
    }
    ArchiveState* archive = GetArchiveState(index);
    FinishArchiveLoad(archive);
    auto* find = static_cast<ArchiveDirFind*>(ZqAllocZero(sizeof(ArchiveDirFind)));
    char directory[FilePathMax];
    bool found = false;
    if (find != nullptr &&
        SplitPathName(inner, find->pattern, sizeof find->pattern, directory, sizeof directory) == 0) {
        UpperCaseText(find->pattern);
        UpperCaseText(directory);
        find->archive = archive;
        const uint32_t start = archive->currentDirectory;
        if (directory[0] == 0 || ChangeArchiveDirectory(archive, directory, 0, nullptr) == 0) {
            find->directory = archive->currentDirectory;
            found = StepArchiveFind(find, out) == 0;
        }
        archive->currentDirectory = start;
    }
    if (!found) {
        if (find != nullptr) ZqFree(find);
        ZqFree(record);
        ReleaseArchive(index);
        return -1;
    }
    record->inArchive = 1;
    record->archiveIndex = index;
    record->dirFind = find;
    return reinterpret_cast<FindHandle>(record);
}

int ArchiveAwareFindNext(FindHandle handle, FindData* out) {
    auto* record = reinterpret_cast<ArchiveFindRecord*>(handle);
    if (record == nullptr || handle == -1) return -1;
    return record->inArchive ? StepArchiveFind(record->dirFind, out) : PlainFindNext(record->plainFind, out);
}

int ArchiveAwareFindClose(FindHandle handle) {
    auto* record = reinterpret_cast<ArchiveFindRecord*>(handle);
    if (record == nullptr || handle == -1) return -1;
    if (record->inArchive) {
        ZqFree(record->dirFind);
        ReleaseArchive(record->archiveIndex);
    } else {
        PlainFindClose(record->plainFind);
    }
    ZqFree(record);
    return 0;
}

const FileBackendTable ArchiveAwareFileBackendTable = {
    ArchiveAwareOpen,      ArchiveAwareClose,  ArchiveAwareTell,   ArchiveAwareSeek,
    ArchiveAwareRead,      ArchiveAwareCheckEnd, ArchiveAwareCheckReady, ArchiveAwareSetDir,
    ArchiveAwareGetDir,    ArchiveAwareFindFirst, ArchiveAwareFindNext, ArchiveAwareFindClose,
};
