// fuzz_archive - the archive reader on hostile bytes: the input is an archive file
// (header, directory block, entries, LZ streams), read through the file layer the
// way the library reads it: every directory searched, every file opened, read,
// seeked and closed, in streamed and in memory mode. The input is also decoded
// as a bare LZ stream.
//
// Seeds (tests/fuzz/corpus/fuzz_archive/) are small archives written by zqa_pack:
// versions 0-3, packed and stored files, both built-in keys, nested directories,
// Shift-JIS names.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library/file/archive.h"
#include "library/file/archive_format.h"
#include "library/file/file_backend.h"
#include "library/file/path.h"

namespace {

// A directory of our own beside the program, in the build tree: named by absolute
// paths (the fuzzer's corpus paths are relative to the current directory, which
// therefore stays as it is), and away from /tmp, whose constant changes would
// defeat the file layer's directory listings.
std::string ScratchDirectory;

void RemoveScratch() {
    std::remove((ScratchDirectory + "/DATA.ZQA").c_str());
    rmdir(ScratchDirectory.c_str());
}

void SetUpOnce() {
    if (!ScratchDirectory.empty()) return;
    char* program = realpath("/proc/self/exe", nullptr);
    if (program == nullptr) std::abort();
    std::string name = program;
    free(program);
    name = name.substr(0, name.rfind('/')) + "/fuzz-scratch-XXXXXX";
    if (mkdtemp(name.data()) == nullptr) std::abort();
    ScratchDirectory = name;
    std::atexit(RemoveScratch);
}

void ReadThrough(const std::string& path, int nonBlocking) {
    StreamHandle file = FileBackendOpen(path.c_str(), 0, 1, nonBlocking);
    if (file == 0) return;
    static uint8_t buffer[16384];
    for (int chunk = 0; chunk < 4; chunk++) {
        size_t got = FileBackendRead(buffer, 3, sizeof buffer / 3, file);
        while (FileBackendCheckReady(file) == 0) {
        }
        if (got == 0 || FileBackendCheckEnd(file) != 0) break;
    }
    FileBackendSeek(file, -7, 2);
    FileBackendRead(buffer, 1, 100, file);
    FileBackendSeek(file, FileBackendTell(file) / 2, 0);
    FileBackendRead(buffer, 5, 3, file);
    FileBackendClose(file);
}

// Searches a directory of the archive and everything found in it, within bounds.
void Walk(const std::string& directory, int depth, int* budget) {
    const FileBackendTable* table = GetFileBackendTable();
    FindData found;
    FindHandle find = table->findFirst((directory + "\\*").c_str(), &found);
    if (find == -1) return;
    do {
        if (--*budget < 0) break;
        std::string name = found.name;
        if (name == "." || name == "..") continue;
        std::string path = directory + "\\" + name;
        if (found.directory) {
            if (depth < 4) Walk(path, depth + 1, budget);
        } else {
            ReadThrough(path, *budget & 1);
        }
    } while (table->findNext(find, &found) == 0);
    table->findClose(find);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpOnce();

    // The input as a bare pack stream.
    int64_t unpacked = DecodeArchivePackedData(data, size, nullptr, 0);
    if (unpacked >= 0 && static_cast<uint64_t>(unpacked) <= ArchiveUnpackedSizeLimit(size) && unpacked <= (1 << 24)) {
        std::vector<uint8_t> out(static_cast<size_t>(unpacked));
        DecodeArchivePackedData(data, size, out.data(), out.size());
    }

    // The input as the archive that stands in for the directory DATA.
    const std::string archive = ScratchDirectory + "/DATA.ZQA";
    const std::string directory = ScratchDirectory + "/DATA";
    FILE* file = std::fopen(archive.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    InitArchiveSystem();
    SetFileBackendTable(nullptr);
    if (size % 2 == 1) {
        char name[FilePathMax];
        if (NormalizePathUpper(archive.c_str(), name, sizeof name) == 0) {
            int index = OpenArchiveByName(name, -1, 1, size % 4 == 1);
            if (index >= 0) ReleaseArchive(index);
        }
    }
    int budget = 200;
    Walk(directory, 0, &budget);
    if (budget == 200) ReadThrough(directory + "\\sub\\b.txt", 1);
    TermArchiveSystem();
    return 0;
}
