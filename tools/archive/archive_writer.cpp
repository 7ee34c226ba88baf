// archive_writer.cpp - lays out, scrambles and writes a "ZQA" archive.
//
// Layout written: header | data area (file data in file-entry order) | directory
// block (name table, file-entry table, directory table). Directories are numbered
// breadth first, the root first; the entries of one directory follow one another,
// in the order of their upper-cased names.
//
// The archive is written in that order as it is made: each file is loaded, packed
// or stored and written before the next is loaded, the tables follow, and the
// header, which needs the tables' sizes, goes to offset 0 last. Memory holds one
// file, its packed form and the tables, whatever the size of the tree.
#include "tools/archive/archive_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "library/file/archive_format.h"

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

// The tree of an archive, numbered: directories breadth first, the root first,
// and the entries directory by directory. Holds pointers into itself, so it is
// filled where it lives and never moved.
struct Tree {
    Node root;
    std::vector<Node*> directories;
    std::vector<uint32_t> parents;  // directory-table offset of each directory's parent
    std::vector<Node*> entries;     // in file-entry order, which is also data order
};

bool LayOutTree(const std::vector<ArchiveWriterItem>& items, uint32_t entrySize, Tree* tree, std::string* error) {
    tree->root.directory = true;
    for (const ArchiveWriterItem& item : items) {
        if (!AddItem(&tree->root, item, error)) return false;
    }
    tree->directories = {&tree->root};
    tree->parents = {ArchiveNoParent};
    for (size_t d = 0; d < tree->directories.size(); d++) {
        Node* directory = tree->directories[d];
        directory->directoryOffset = static_cast<uint32_t>(d * ArchiveDirectorySize);
        std::sort(directory->children.begin(), directory->children.end(),
                  [](const Node& a, const Node& b) { return a.upper < b.upper; });
        for (Node& child : directory->children) {
            child.entryOffset = static_cast<uint32_t>(tree->entries.size() * entrySize);
            tree->entries.push_back(&child);
            if (child.directory) {
                tree->directories.push_back(&child);
                tree->parents.push_back(directory->directoryOffset);
            }
        }
    }
    return true;
}

// Where the archive's bytes go: a host file or memory. Every byte is scrambled
// for its file offset on the way.
struct Output {
    int fd = -1;
    std::vector<uint8_t>* image = nullptr;
    uint8_t key[ArchiveKeySize];
    uint64_t size = ArchiveHeaderSize;  // offset of the next data or table byte; the header comes last
    std::string error;
};

// Scrambles the bytes in place and writes them at the file offset.
bool PutBytesAt(Output* out, uint8_t* bytes, size_t length, uint64_t offset) {
    if (length == 0) return true;  // an empty file or table may have no buffer at all
    ScrambleArchiveBytes(bytes, length, offset, out->key);
    if (out->image != nullptr) {
        if (out->image->size() < offset + length) out->image->resize(offset + length);
        std::memcpy(out->image->data() + offset, bytes, length);
        return true;
    }
    for (size_t done = 0; done < length;) {
        const ssize_t put = pwrite(out->fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool AppendBytes(Output* out, uint8_t* bytes, size_t length) {
    if (!PutBytesAt(out, bytes, length, out->size)) return false;
    out->size += length;
    return true;
}

// A file's bytes into the buffer (which only grows, so it is cleared once, not
// once per file): its own data, or its host file read now.
bool LoadFileBytes(const ArchiveWriterItem& item, std::vector<uint8_t>* buffer, size_t* size, std::string* error) {
    if (!item.hostPath.empty()) {
        if (ReadArchiveHostFile(item.hostPath, buffer, size)) return true;
        *error = "cannot read " + item.hostPath;
        return false;
    }
    if (buffer->size() < item.data.size()) buffer->resize(item.data.size());
    std::copy(item.data.begin(), item.data.end(), buffer->begin());
    *size = item.data.size();
    return true;
}

// Writes the files' data one file at a time, then the directory block, then the
// header at offset 0.
bool WriteArchive(const Tree& tree, const ArchiveWriterOptions& options, Output* out, std::string* error) {
    const uint32_t entrySize = ArchiveFileEntrySize(options.version);
    std::vector<uint8_t> names, fileTable(tree.entries.size() * entrySize), directoryTable, bytes;
    uint64_t dataSize = 0;
    for (const Node* node : tree.entries) {
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
            size_t size = 0;
            if (!LoadFileBytes(*item, &bytes, &size, error)) return false;
            if (size > 0xFFFFFFFFu) {
                *error = "file too large: " + item->path;
                return false;
            }
            WriteArchiveU32(entry + 32, static_cast<uint32_t>(dataSize));
            WriteArchiveU32(entry + 36, static_cast<uint32_t>(size));
            // Packed only when that makes the file smaller (unless every file must be).
            std::vector<uint8_t> packed;
            if (options.version >= 2 && options.packing != ArchivePacking::Never) {
                const bool always = options.packing == ArchivePacking::Always;
                packed = EncodeArchivePackedData(bytes.data(), size, always ? SIZE_MAX : size);
            }
            if (!packed.empty()) packedSize = static_cast<uint32_t>(packed.size());
            uint8_t* data = packed.empty() ? bytes.data() : packed.data();
            const size_t length = packed.empty() ? size : packed.size();
            dataSize += length;
            if (ArchiveHeaderSize + dataSize > 0xFFFFFFFFu) {
                *error = "archive larger than 4 GB";
                return false;
            }
            if (!AppendBytes(out, data, length)) {
                *error = out->error;
                return false;
            }
        }
        if (entrySize == ArchiveFileEntrySizeV2) WriteArchiveU32(entry + 40, packedSize);
    }
    for (size_t d = 0; d < tree.directories.size(); d++) {
        const Node* directory = tree.directories[d];
        uint8_t record[ArchiveDirectorySize];
        WriteArchiveU32(record, d == 0 ? ArchiveNoParent : directory->entryOffset);
        WriteArchiveU32(record + 4, tree.parents[d]);
        WriteArchiveU32(record + 8, static_cast<uint32_t>(directory->children.size()));
        WriteArchiveU32(record + 12, directory->children.empty() ? 0 : directory->children.front().entryOffset);
        directoryTable.insert(directoryTable.end(), record, record + sizeof record);
    }

    const uint64_t blockSize = names.size() + fileTable.size() + directoryTable.size();
    const uint64_t blockOffset = ArchiveHeaderSize + dataSize;
    if (blockOffset + blockSize > 0xFFFFFFFFu) {
        *error = "archive larger than 4 GB";
        return false;
    }
    uint8_t header[ArchiveHeaderSize] = {};
    std::memcpy(header, ArchiveMagic, 2);
    WriteArchiveU16(header + 2, options.version);
    WriteArchiveU32(header + 4, static_cast<uint32_t>(blockSize));
    WriteArchiveU32(header + 8, ArchiveHeaderSize);
    WriteArchiveU32(header + 12, static_cast<uint32_t>(blockOffset));
    WriteArchiveU32(header + 16, static_cast<uint32_t>(names.size()));
    WriteArchiveU32(header + 20, static_cast<uint32_t>(names.size() + fileTable.size()));
    if (!AppendBytes(out, names.data(), names.size()) || !AppendBytes(out, fileTable.data(), fileTable.size()) ||
        !AppendBytes(out, directoryTable.data(), directoryTable.size()) || !PutBytesAt(out, header, sizeof header, 0)) {
        *error = out->error;
        return false;
    }
    return true;
}

// The key the options ask for; false for a version the format does not have.
bool PrepareOutput(const ArchiveWriterOptions& options, Output* out, std::string* error) {
    if (options.version > ArchiveMaxVersion) {
        *error = "version above 3";
        return false;
    }
    if (options.fallbackKey) {
        std::memcpy(out->key, ArchiveFallbackKey, sizeof out->key);
    } else {
        DeriveArchiveKey(options.keyString.empty() ? nullptr : options.keyString.c_str(), out->key);
    }
    return true;
}

}  // namespace

bool BuildArchiveImage(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                       std::vector<uint8_t>* image, std::string* error) {
    Output out;
    Tree tree;
    if (!PrepareOutput(options, &out, error) ||
        !LayOutTree(items, ArchiveFileEntrySize(options.version), &tree, error)) {
        return false;
    }
    image->assign(ArchiveHeaderSize, 0);
    out.image = image;
    return WriteArchive(tree, options, &out, error);
}

bool WriteArchiveFile(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                      const std::string& archivePath, uint64_t* archiveSize, std::string* error) {
    Output out;
    Tree tree;
    if (!PrepareOutput(options, &out, error) ||
        !LayOutTree(items, ArchiveFileEntrySize(options.version), &tree, error)) {
        return false;
    }
    // Written beside the archive and renamed over it once whole, so a failure on the
    // way leaves an earlier archive as it was and no half-written one.
    const std::string partPath = archivePath + ".part";
    out.error = "cannot write " + archivePath;
    out.fd = open(partPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out.fd < 0) {
        *error = out.error;
        return false;
    }
    bool ok = WriteArchive(tree, options, &out, error);
    const bool closed = close(out.fd) == 0;
    if (ok && !(closed && rename(partPath.c_str(), archivePath.c_str()) == 0)) {
        *error = out.error;
        ok = false;
    }
    if (!ok) unlink(partPath.c_str());
    if (ok && archiveSize != nullptr) *archiveSize = out.size;
    return ok;
}
