// archive.cpp - the table of open archives, opening and checking an archive, path
// resolution with its one-entry cache, and walking archive directories.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/file/archive_internal.h"
#include "library/file/plain_file.h"
#include "platform/kernel/kernel.h"

namespace {

struct ArchiveLayerState {
    ArchiveRecord* archives[ArchiveTableSize];
    char extension[64];  // empty: "ZQA"
    int32_t extensionLength;
    int32_t keySet;
    char keyString[16];
    int32_t archiveCount;
    int32_t cachedIndex;
    char cachedArchive[FilePathMax];  // prefix + "." + extension of the last resolution
    int32_t cachedPrefixLength;       // 0: cache empty
};

ArchiveLayerState ArchiveLayer;

bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

const char* ArchiveExtension() { return ArchiveLayer.extensionLength != 0 ? ArchiveLayer.extension : "ZQA"; }

void CloseArchiveState(ArchiveState* archive) {
    FinishArchiveLoad(archive);
    if (archive->file != 0) PlainFileClose(archive->file);
    if (archive->block != nullptr) ZqFree(archive->block);
    if (archive->image != nullptr) ZqFree(archive->image);
    std::memset(archive, 0, sizeof *archive);
}

int RefuseDamagedArchive(ArchiveState* archive, const char* name) {
    CloseArchiveState(archive);
    WriteLogFormat("アーカイブファイルが壊れています : %s", name);
    return -1;
}

// Reads and checks the header under the derived key, then the fallback key.
// 1 when it is an archive of ours, 0 when not, -1 when the file is too short.
int ReadArchiveHeader(ArchiveState* archive) {
    uint8_t bytes[ArchiveHeaderSize];
    for (int attempt = 0; attempt < 2; attempt++) {
        if (attempt == 1) std::memcpy(archive->key, ArchiveFallbackKey, ArchiveKeySize);
        if (ReadArchiveBytes(bytes, sizeof bytes, archive->file, archive->key, 0) != 0) return -1;
        ParseArchiveHeader(bytes, &archive->header);
        if (CheckArchiveHeader(&archive->header)) return 1;
    }
    return 0;
}

// The header's promises about the directory block, checked against the file.
bool DirectoryBlockFits(const ArchiveState* archive) {
    const ArchiveHeader& h = archive->header;
    const uint64_t size = archive->fileSize;
    return h.directoryBlockOffset <= size && h.directoryBlockSize <= size - h.directoryBlockOffset &&
           h.dataStart <= size && h.fileTableOffset <= h.directoryBlockSize &&
           static_cast<uint64_t>(h.directoryTableOffset) + ArchiveDirectorySize <= h.directoryBlockSize;
}

int OpenArchiveState(ArchiveState* archive, const char* name, int memoryMode, int asynchronous) {
    std::memset(archive, 0, sizeof *archive);
    archive->file = PlainFileOpen(name, 0, 1, 1);
    if (archive->file == 0) return -1;
    archive->fileSize = PlainFileSize(archive->file);
    DeriveArchiveKey(ArchiveLayer.keySet ? ArchiveLayer.keyString : nullptr, archive->key);
    if (ReadArchiveHeader(archive) != 1) {
        CloseArchiveState(archive);  // too short, or not one of ours: as if absent
        return -1;
    }
    if (!DirectoryBlockFits(archive)) return RefuseDamagedArchive(archive, name);
    archive->entrySize = ArchiveFileEntrySize(archive->header.version);
    archive->block = static_cast<uint8_t*>(ZqAlloc(archive->header.directoryBlockSize));
    if (archive->block == nullptr) {
        CloseArchiveState(archive);
        return -1;
    }
    ArchiveDirectory root;
    if (ReadArchiveBytes(archive->block, archive->header.directoryBlockSize, archive->file, archive->key,
                         archive->header.directoryBlockOffset) != 0 ||
        !ReadArchiveDirectory(archive, 0, &root) || root.parent != ArchiveNoParent) {
        return RefuseDamagedArchive(archive, name);
    }
    archive->currentDirectory = 0;

    if (memoryMode) {
        archive->memoryMode = 1;
        archive->image = static_cast<uint8_t*>(ZqAlloc(archive->fileSize != 0 ? archive->fileSize : 1));
        if (archive->image == nullptr) {
            CloseArchiveState(archive);
            return -1;
        }
        PlainFileSeek(archive->file, 0, 0);
        PlainFileRead(archive->image, static_cast<size_t>(archive->fileSize), 1, archive->file);
        archive->loading = 1;
        if (!asynchronous) FinishArchiveLoad(archive);
    }
    return 0;
}

void StoreText(char* destination, size_t capacity, const char* text) {
    if (destination != nullptr && capacity > 0) CopyTextBounded(destination, capacity, text);
}

}  // namespace

ArchiveState* GetArchiveState(int index) {
    if (index < 0 || index >= ArchiveTableSize || ArchiveLayer.archives[index] == nullptr) return nullptr;
    return &ArchiveLayer.archives[index]->state;
}

void FinishArchiveLoad(ArchiveState* archive) {
    if (!archive->loading) return;
    PlainFileWaitReady(archive->file);
    ScrambleArchiveBytes(archive->image, archive->fileSize, 0, archive->key);
    PlainFileClose(archive->file);
    archive->file = 0;
    archive->loading = 0;
}

int ReadArchiveBytes(void* buffer, uint64_t length, StreamHandle file, const uint8_t key[ArchiveKeySize],
                     int64_t fileOffset) {
    if (length == 0) return 0;
    const uint64_t at = fileOffset < 0 ? static_cast<uint64_t>(PlainFileTell(file)) : static_cast<uint64_t>(fileOffset);
    if (at > PlainFileSize(file) || length > PlainFileSize(file) - at || length > SIZE_MAX) return -1;
    if (fileOffset >= 0) PlainFileSeek(file, fileOffset, 0);
    PlainFileRead(buffer, static_cast<size_t>(length), 1, file);
    PlainFileWaitReady(file);
    if (PlainFileLastReadBytes(file) != length) return -1;
    ScrambleArchiveBytes(buffer, static_cast<size_t>(length), at, key);
    return 0;
}

bool ReadArchiveDirectory(const ArchiveState* archive, uint32_t directoryOffset, ArchiveDirectory* directory) {
    const ArchiveHeader& h = archive->header;
    const uint64_t at = static_cast<uint64_t>(h.directoryTableOffset) + directoryOffset;
    if (directoryOffset % ArchiveDirectorySize != 0 || at + ArchiveDirectorySize > h.directoryBlockSize) return false;
    const uint8_t* bytes = archive->block + at;
    directory->ownEntry = ReadArchiveU32(bytes);
    directory->parent = ReadArchiveU32(bytes + 4);
    directory->count = ReadArchiveU32(bytes + 8);
    directory->firstEntry = ReadArchiveU32(bytes + 12);
    // All of the directory's entries lie inside the block (64-bit sums, no wrap).
    return static_cast<uint64_t>(h.fileTableOffset) + directory->firstEntry +
               static_cast<uint64_t>(directory->count) * archive->entrySize <= h.directoryBlockSize;
}

bool ReadArchiveEntry(const ArchiveState* archive, const ArchiveDirectory* directory, uint32_t index,
                      ArchiveFileEntry* entry) {
    if (index >= directory->count) return false;
    const uint8_t* bytes = archive->block + archive->header.fileTableOffset + directory->firstEntry +
                           static_cast<uint64_t>(index) * archive->entrySize;
    entry->nameOffset = ReadArchiveU32(bytes);
    entry->attributes = ReadArchiveU32(bytes + 4);
    entry->created = ReadArchiveU32(bytes + 8) | static_cast<uint64_t>(ReadArchiveU32(bytes + 12)) << 32;
    entry->accessed = ReadArchiveU32(bytes + 16) | static_cast<uint64_t>(ReadArchiveU32(bytes + 20)) << 32;
    entry->written = ReadArchiveU32(bytes + 24) | static_cast<uint64_t>(ReadArchiveU32(bytes + 28)) << 32;
    entry->dataOffset = ReadArchiveU32(bytes + 32);
    entry->size = ReadArchiveU32(bytes + 36);
    entry->packedSize = archive->entrySize == ArchiveFileEntrySizeV2 ? ReadArchiveU32(bytes + 40) : ArchiveNotPacked;
    return true;
}

const uint8_t* ArchiveEntryName(const ArchiveState* archive, const ArchiveFileEntry* entry, size_t* available) {
    if (entry->nameOffset >= archive->header.directoryBlockSize) {
        *available = 0;
        return archive->block;
    }
    *available = archive->header.directoryBlockSize - entry->nameOffset;
    return archive->block + entry->nameOffset;
}

int EnterArchiveSubdirectory(ArchiveState* archive, const ArchiveNameKey* name) {
    ArchiveDirectory current, next;
    if (!ReadArchiveDirectory(archive, archive->currentDirectory, &current)) return -1;
    for (uint32_t i = 0; i < current.count; i++) {
        ArchiveFileEntry entry;
        size_t available;
        if (!ReadArchiveEntry(archive, &current, i, &entry) || !(entry.attributes & ArchiveAttributeDirectory)) continue;
        const uint8_t* record = ArchiveEntryName(archive, &entry, &available);
        if (MatchArchiveNameRecord(record, available, name) && ReadArchiveDirectory(archive, entry.dataOffset, &next)) {
            archive->currentDirectory = entry.dataOffset;
            return 0;
        }
    }
    return -1;
}

int ChangeArchiveDirectory(ArchiveState* archive, const char* path, int restoreOnFailure, ArchiveNameKey* nameOut) {
    FinishArchiveLoad(archive);
    if (CompareText(path, ".") == 0) return 0;
    if (CompareText(path, "\\") == 0) {
        archive->currentDirectory = 0;
        return 0;
    }
    if (CompareText(path, "..") == 0) {
        ArchiveDirectory current, parent;
        if (!ReadArchiveDirectory(archive, archive->currentDirectory, &current) || current.parent == ArchiveNoParent ||
            !ReadArchiveDirectory(archive, current.parent, &parent)) {
            return -1;
        }
        archive->currentDirectory = current.parent;
        return 0;
    }
    const uint32_t start = archive->currentDirectory;
    const char* p = path;
    if (*p == '\\') {
        archive->currentDirectory = 0;
        p++;
    }
    ArchiveNameKey name = {};
    while (*p != 0) {
        uint32_t length = 0;
        if (MakeArchiveNameRecord(&name, p, &length) != 0 || EnterArchiveSubdirectory(archive, &name) != 0) {
            if (restoreOnFailure) archive->currentDirectory = start;
            if (nameOut != nullptr) *nameOut = name;
            return -1;
        }
        p += length;
        if (*p == '\\') p++;
    }
    if (nameOut != nullptr) *nameOut = name;
    return 0;
}

int FindArchiveFileEntry(ArchiveState* archive, const char* innerPath, ArchiveFileEntry* entry) {
    // Split at the last "\" (never a Shift-JIS trail byte).
    size_t last = static_cast<size_t>(-1);
    size_t length = 0;
    while (innerPath[length] != 0) {
        if (IsShiftJisLead(static_cast<unsigned char>(innerPath[length])) && innerPath[length + 1] != 0) {
            length += 2;
            continue;
        }
        if (innerPath[length] == '\\') last = length;
        length++;
    }
    if (length >= FilePathMax) return -1;
    const uint32_t start = archive->currentDirectory;
    const char* fileName = innerPath;
    if (last != static_cast<size_t>(-1)) {
        char directory[FilePathMax];
        const size_t directoryLength = last == 0 ? 1 : last;  // "\NAME": the root
        std::memcpy(directory, innerPath, directoryLength);
        directory[directoryLength] = 0;
        if (ChangeArchiveDirectory(archive, directory, 1, nullptr) != 0) return -1;
        fileName = innerPath + last + 1;
    }
    ArchiveNameKey name;
    ArchiveDirectory current;
    int result = -1;
    if (*fileName != 0 && MakeArchiveNameRecord(&name, fileName, nullptr) == 0 &&
        ReadArchiveDirectory(archive, archive->currentDirectory, &current)) {
        for (uint32_t i = 0; i < current.count && result != 0; i++) {
            size_t available;
            if (!ReadArchiveEntry(archive, &current, i, entry) || (entry->attributes & ArchiveAttributeDirectory)) continue;
            const uint8_t* record = ArchiveEntryName(archive, entry, &available);
            if (MatchArchiveNameRecord(record, available, &name)) result = 0;
        }
    }
    archive->currentDirectory = start;
    return result;
}

int InitArchiveSystem(void) {
    std::memset(&ArchiveLayer, 0, sizeof ArchiveLayer);
    ClearArchiveFiles();
    return 0;
}

int TermArchiveSystem(void) { return CloseUnreferencedArchives(); }

int SetArchiveExtension(const char* extension) {
    size_t length = extension != nullptr ? std::strlen(extension) : 0;
    if (length >= sizeof ArchiveLayer.extension) return -1;
    std::memcpy(ArchiveLayer.extension, extension != nullptr ? extension : "", length + 1);
    ArchiveLayer.extensionLength = static_cast<int32_t>(length);
    ArchiveLayer.cachedPrefixLength = 0;
    return 0;
}

int SetArchiveKeyString(const char* keyString) {
    size_t length = keyString != nullptr ? std::strlen(keyString) : 0;
    if (length >= sizeof ArchiveLayer.keyString) return -1;
    std::memcpy(ArchiveLayer.keyString, keyString != nullptr ? keyString : "", length + 1);
    ArchiveLayer.keySet = length != 0 ? 1 : 0;
    return 0;
}

int OpenArchiveByName(const char* archiveName, int indexHint, int memoryMode, int asynchronous) {
    ArchiveLayerState& layer = ArchiveLayer;
    if (std::strlen(archiveName) >= FilePathMax) return -1;
    if (indexHint >= 0 && indexHint < ArchiveTableSize && layer.archives[indexHint] != nullptr &&
        CompareText(layer.archives[indexHint]->name, archiveName) == 0) {
        layer.archives[indexHint]->references++;
        return indexHint;
    }
    int freeSlot = -1;
    for (int i = 0; i < ArchiveTableSize; i++) {
        if (layer.archives[i] == nullptr) {
            freeSlot = i;
        } else if (CompareText(layer.archives[i]->name, archiveName) == 0) {
            layer.archives[i]->references++;
            return i;
        }
    }
    if (layer.archiveCount == ArchiveTableSize) {
        CloseUnreferencedArchives();
        if (layer.archiveCount == ArchiveTableSize) return -1;
    }
    if (freeSlot < 0 || layer.archives[freeSlot] != nullptr) {
        for (freeSlot = 0; layer.archives[freeSlot] != nullptr; freeSlot++) {
        }
    }
    ArchiveState state;
    if (OpenArchiveState(&state, archiveName, memoryMode, asynchronous) != 0) return -1;
    auto* record = static_cast<ArchiveRecord*>(ZqAlloc(sizeof(ArchiveRecord)));
    if (record == nullptr) {
        CloseArchiveState(&state);
        return -1;
    }
    record->state = state;
    record->references = 1;
    CopyTextBounded(record->name, sizeof record->name, archiveName);
    layer.archives[freeSlot] = record;
    layer.archiveCount++;
    return freeSlot;
}

int ReleaseArchive(int index) {
    if (index < 0 || index >= ArchiveTableSize || ArchiveLayer.archives[index] == nullptr ||
        ArchiveLayer.archives[index]->references <= 0) {
        return -1;
    }
    ArchiveLayer.archives[index]->references--;
    return 0;
}

int CloseUnreferencedArchives(void) {
    for (int i = 0; i < ArchiveTableSize; i++) {
        ArchiveRecord* record = ArchiveLayer.archives[i];
        if (record == nullptr || record->references > 0) continue;
        CloseArchiveState(&record->state);
        ZqFree(record);
        ArchiveLayer.archives[i] = nullptr;
        ArchiveLayer.archiveCount--;
    }
    return 0;
}

int FindOpenArchive(const char* archiveName) {
    for (int i = 0; i < ArchiveTableSize; i++) {
        if (ArchiveLayer.archives[i] != nullptr && CompareText(ArchiveLayer.archives[i]->name, archiveName) == 0) return i;
    }
    return -1;
}

int GetArchiveReferenceCount(int index) {
    if (index < 0 || index >= ArchiveTableSize || ArchiveLayer.archives[index] == nullptr) return -1;
    return ArchiveLayer.archives[index]->references;
}

int ResolveArchivePath(const char* path, int* index, char* archiveName, size_t archiveNameSize, char* innerPath,
                       size_t innerPathSize) {
    ArchiveLayerState& layer = ArchiveLayer;
    char normalized[FilePathMax];
    if (NormalizePathUpper(path, normalized, sizeof normalized) != 0) return -1;
    const char* extension = ArchiveExtension();
    const size_t cached = static_cast<size_t>(layer.cachedPrefixLength);
    int found;
    const char* inner;
    if (cached != 0 && std::strncmp(normalized, layer.cachedArchive, cached) == 0 &&
        (normalized[cached] == '\\' || normalized[cached] == '/')) {
        found = OpenArchiveByName(layer.cachedArchive, layer.cachedIndex, 0, 0);
        if (found < 0) return -1;
        inner = normalized + cached;
    } else {
        char candidate[FilePathMax];
        size_t prefix = 0;
        const char* p = normalized;
        if (p[0] == '\\' && p[1] == '\\') {
            std::memcpy(candidate, "\\\\", 2);
            prefix = 2;
            p += 2;
        }
        for (;;) {
            const char* start = p;
            while (*p != 0 && *p != '\\' && *p != '/') p += IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != 0 ? 2 : 1;
            const size_t length = static_cast<size_t>(p - start);
            if (*p == 0 || length == 0) return -1;  // the file name itself, or nothing
            if (prefix + length + 2 + std::strlen(extension) >= sizeof candidate) return -1;
            std::memcpy(candidate + prefix, start, length);
            // A drive ("C:") names no folder: "C:.ZQA" would be a file in the
            // current directory, not an archive of the drive's root.
            const bool drive = prefix == 0 && length == 2 && start[1] == ':';
            prefix += length;
            candidate[prefix] = '.';
            CopyText(candidate + prefix + 1, extension);
            found = drive ? -1 : OpenArchiveByName(candidate, -1, 0, 0);
            if (found >= 0) break;
            candidate[prefix++] = '\\';
            p++;
        }
        inner = p + 1;
        CopyText(layer.cachedArchive, candidate);
        layer.cachedPrefixLength = static_cast<int32_t>(prefix);
        layer.cachedIndex = found;
    }
    if ((archiveName != nullptr && std::strlen(layer.cachedArchive) >= archiveNameSize) ||
        (innerPath != nullptr && std::strlen(inner) >= innerPathSize)) {
        ReleaseArchive(found);
        return -1;
    }
    StoreText(archiveName, archiveNameSize, layer.cachedArchive);
    StoreText(innerPath, innerPathSize, inner);
    *index = found;
    return 0;
}
