// archive_host_files.cpp - the files of a host directory as archive items: the
// walk that lists them and the read that loads one file's bytes when the writer
// comes to it, so only one file is in memory at a time.
#include <string>
#include <vector>

#include "tools/archive/archive_writer.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

namespace {

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
        if (!item.directory) item.hostPath = full;
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

bool ReadArchiveHostFile(const std::string& path, std::vector<uint8_t>* buffer, size_t* size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD length = GetFileSize(file, &high);
    bool ok = high == 0 && length != INVALID_FILE_SIZE;
    if (ok) {
        // The buffer only grows, so it is cleared once, not once per file.
        if (buffer->size() < length) buffer->resize(length);
        DWORD got = 0;
        ok = ReadFile(file, buffer->data(), length, &got, nullptr) && got == length;
        *size = length;
    }
    CloseHandle(file);
    return ok;
}
