// archive_writer.cpp - lays out and scrambles a "ZQA" archive.
//
// Layout written: header | data area (file data in file-entry order) | directory
// block (name table, file-entry table, directory table). Directories are numbered
// breadth first, the root first; the entries of one directory follow one another,
// in the order of their upper-cased names.
#include "tools/archive/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "library/file/archive_format.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

namespace {

struct Node {
    std::string name;  // as stored, with its case
    std::string upper;
    bool directory = false;
    const ArchiveWriterItem* item = nullptr;  // null for a directory made on the way
    std::vector<Node> children;
    uint32_t entryOffset = 0;      // in the file-entry table
    uint32_t directoryOffset = 0;  // in the directory table (directories)
};

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::vector<std::string> SplitItemPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 0; i < path.size(); i++) {
        if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            current += path.substr(i++, 2);
        } else if (path[i] == '/' || path[i] == '\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += path[i];
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

bool AddItem(Node* root, const ArchiveWriterItem& item, std::string* error) {
    std::vector<std::string> parts = SplitItemPath(item.path);
    if (parts.empty()) {
        *error = "empty path";
        return false;
    }
    Node* directory = root;
    for (size_t i = 0; i < parts.size(); i++) {
        const bool last = i + 1 == parts.size();
        const bool wantDirectory = !last || item.directory;
        ArchiveNameKey key;
        if (parts[i] == "." || parts[i] == ".." || MakeArchiveNameRecord(&key, parts[i].c_str(), nullptr) != 0) {
            *error = "bad name: " + parts[i];
            return false;
        }
        std::string upper(reinterpret_cast<const char*>(key.upper), key.length);
        auto found = std::find_if(directory->children.begin(), directory->children.end(),
                                  [&](const Node& child) { return child.upper == upper; });
        if (found != directory->children.end()) {
            if (!found->directory || !wantDirectory) {
                *error = "names clash: " + item.path;
                return false;
            }
            if (last) found->item = &item;
            directory = &*found;
            continue;
        }
        Node node;
        node.name = parts[i];
        node.upper = upper;
        node.directory = wantDirectory;
        node.item = last ? &item : nullptr;
        directory->children.push_back(std::move(node));
        directory = &directory->children.back();
    }
    return true;
}

void AppendNameRecord(std::vector<uint8_t>* table, const Node& node) {
    ArchiveNameKey key;
    MakeArchiveNameRecord(&key, node.name.c_str(), nullptr);
    size_t at = table->size();
    table->resize(at + 4 + 8u * key.words, 0);
    uint8_t* record = table->data() + at;
    WriteArchiveU16(record, key.words);
    WriteArchiveU16(record + 2, key.sum);
    std::memcpy(record + 4, key.upper, key.words * 4u);
    std::memcpy(record + 4 + key.words * 4u, node.name.data(), node.name.size());
}

}  // namespace

bool BuildArchiveImage(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                       std::vector<uint8_t>* image, std::string* error) {
    if (options.version > ArchiveMaxVersion) {
        *error = "version above 3";
        return false;
    }
    Node root;
    root.directory = true;
    for (const ArchiveWriterItem& item : items) {
        if (!AddItem(&root, item, error)) return false;
    }

    // Number the directories breadth first and the entries directory by directory.
    const uint32_t entrySize = ArchiveFileEntrySize(options.version);
    std::vector<Node*> directories = {&root};
    std::vector<uint32_t> parents = {ArchiveNoParent};
    std::vector<Node*> entries;
    for (size_t d = 0; d < directories.size(); d++) {
        Node* directory = directories[d];
        directory->directoryOffset = static_cast<uint32_t>(d * ArchiveDirectorySize);
        std::sort(directory->children.begin(), directory->children.end(),
                  [](const Node& a, const Node& b) { return a.upper < b.upper; });
        for (Node& child : directory->children) {
            child.entryOffset = static_cast<uint32_t>(entries.size() * entrySize);
            entries.push_back(&child);
            if (child.directory) {
                directories.push_back(&child);
                parents.push_back(directory->directoryOffset);
            }
        }
    }

    // Data area and name table.
    std::vector<uint8_t> data, names, fileTable(entries.size() * entrySize), directoryTable;
    for (Node* node : entries) {
        const size_t recordAt = names.size();
        AppendNameRecord(&names, *node);
        uint8_t* entry = fileTable.data() + node->entryOffset;
        const ArchiveWriterItem* item = node->item;
        WriteArchiveU32(entry, static_cast<uint32_t>(recordAt));
        WriteArchiveU32(entry + 4, node->directory ? uint32_t{ArchiveAttributeDirectory} : 0u);
        for (int t = 0; t < 3 && item != nullptr; t++) {
            uint64_t ticks = t == 0 ? item->created : t == 1 ? item->accessed : item->written;
            WriteArchiveU32(entry + 8 + 8 * t, static_cast<uint32_t>(ticks));
            WriteArchiveU32(entry + 12 + 8 * t, static_cast<uint32_t>(ticks >> 32));
        }
        uint32_t packedSize = ArchiveNotPacked;
        if (node->directory) {
            WriteArchiveU32(entry + 32, node->directoryOffset);
            WriteArchiveU32(entry + 36, 0);
        } else {
            const std::vector<uint8_t>& bytes = item->data;
            if (bytes.size() > 0xFFFFFFFFu) {
                *error = "file too large: " + item->path;
                return false;
            }
            WriteArchiveU32(entry + 32, static_cast<uint32_t>(data.size()));
            WriteArchiveU32(entry + 36, static_cast<uint32_t>(bytes.size()));
            // Packed only when that makes the file smaller (unless every file must be).
            std::vector<uint8_t> packed;
            if (options.version >= 2 && options.packing != ArchivePacking::Never) {
                const bool always = options.packing == ArchivePacking::Always;
                packed = EncodeArchivePackedData(bytes.data(), bytes.size(), always ? SIZE_MAX : bytes.size());
            }
            if (!packed.empty()) {
                packedSize = static_cast<uint32_t>(packed.size());
                data.insert(data.end(), packed.begin(), packed.end());
            } else {
                data.insert(data.end(), bytes.begin(), bytes.end());
            }
        }
        if (entrySize == ArchiveFileEntrySizeV2) WriteArchiveU32(entry + 40, packedSize);
    }
    for (size_t d = 0; d < directories.size(); d++) {
        const Node* directory = directories[d];
        uint8_t record[ArchiveDirectorySize];
        bool isRoot = d == 0;
        uint32_t parent = parents[d];
        WriteArchiveU32(record, isRoot ? ArchiveNoParent : directory->entryOffset);
        WriteArchiveU32(record + 4, parent);
        WriteArchiveU32(record + 8, static_cast<uint32_t>(directory->children.size()));
        WriteArchiveU32(record + 12, directory->children.empty() ? 0 : directory->children.front().entryOffset);
        directoryTable.insert(directoryTable.end(), record, record + sizeof record);
    }

    const uint64_t blockSize = names.size() + fileTable.size() + directoryTable.size();
    const uint64_t blockOffset = ArchiveHeaderSize + data.size();
    if (blockOffset + blockSize > 0xFFFFFFFFu) {
        *error = "archive larger than 4 GB";
        return false;
    }
    image->assign(ArchiveHeaderSize, 0);
    uint8_t* header = image->data();
    std::memcpy(header, ArchiveMagic, 2);
    WriteArchiveU16(header + 2, options.version);
    WriteArchiveU32(header + 4, static_cast<uint32_t>(blockSize));
    WriteArchiveU32(header + 8, ArchiveHeaderSize);
    WriteArchiveU32(header + 12, static_cast<uint32_t>(blockOffset));
    WriteArchiveU32(header + 16, static_cast<uint32_t>(names.size()));
    WriteArchiveU32(header + 20, static_cast<uint32_t>(names.size() + fileTable.size()));
    image->insert(image->end(), data.begin(), data.end());
    image->insert(image->end(), names.begin(), names.end());
    image->insert(image->end(), fileTable.begin(), fileTable.end());
    image->insert(image->end(), directoryTable.begin(), directoryTable.end());

    uint8_t key[ArchiveKeySize];
    if (options.fallbackKey) {
        std::memcpy(key, ArchiveFallbackKey, sizeof key);
    } else {
        DeriveArchiveKey(options.keyString.empty() ? nullptr : options.keyString.c_str(), key);
    }
    ScrambleArchiveBytes(image->data(), image->size(), 0, key);
    return true;
}

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    bool ok = high == 0 && size != INVALID_FILE_SIZE;
    if (ok) {
        bytes->resize(size);
        DWORD got = 0;
        ok = ReadFile(file, bytes->data(), size, &got, nullptr) && got == size;
    }
    CloseHandle(file);
    return ok;
}

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// Walks one directory through the platform's search, so names come in the
// library's form and in a fixed order.
bool CollectFrom(const std::string& directory, const std::string& prefix, std::vector<ArchiveWriterItem>* items,
                 std::string* error) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        *error = "cannot read directory " + directory;
        return false;
    }
    bool ok = true;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        ArchiveWriterItem item;
        item.path = prefix + name;
        item.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.created = Ticks(found.ftCreationTime);
        item.accessed = Ticks(found.ftLastAccessTime);
        item.written = Ticks(found.ftLastWriteTime);
        std::string full = directory + "\\" + name;
        if (!item.directory && !ReadWholeFile(full, &item.data)) {
            *error = "cannot read " + full;
            ok = false;
            break;
        }
        items->push_back(std::move(item));
        if (items->back().directory && !CollectFrom(full, prefix + name + "\\", items, error)) {
            ok = false;
            break;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ok;
}

}  // namespace

bool CollectArchiveItems(const std::string& hostDirectory, std::vector<ArchiveWriterItem>* items, std::string* error) {
    return CollectFrom(hostDirectory, "", items, error);
}
