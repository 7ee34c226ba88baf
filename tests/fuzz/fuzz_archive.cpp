// fuzz_archive - the archive reader on hostile bytes: the input is an archive file
// (header, directory block, entries, LZ streams), read through the file layer the
// way the library reads it: every directory searched, every file opened, read,
// seeked and closed, in streamed and in memory mode. The input is also decoded
// as a bare LZ stream.
//
// Seeds (tests/fuzz/corpus/fuzz_archive/) are small archives written by zqa_pack:
// versions 0-3, packed and stored files, both built-in keys, nested directories,
// Shift-JIS names.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "library/file/archive.h"
#include "library/file/archive_format.h"
#include "library/file/file_backend.h"
#include "library/file/path.h"
#include "platform/kernel/clock.h"
#include "tests/support/scratch_directory.h"

namespace {

// A directory of our own at the root of the build tree (the program lies in its
// tests/fuzz), removed when the run ends. It is named by absolute paths (the fuzzer's
// corpus paths are relative to the current directory, which therefore stays as it
// is), which the archive layer looks up a component at a time, each leading folder
// as a possible archive: hence a short path, away from the temporary folder, whose
// constant changes would defeat the file layer's directory listings.
std::string BuildTree() {
    char* program = realpath("/proc/self/exe", nullptr);
    if (program == nullptr) std::abort();
    std::filesystem::path path = program;
    free(program);
    return path.parent_path().parent_path().parent_path().string();
}

const ScratchDirectory& Scratch() {
    static const ScratchDirectory scratch("fuzz-scratch", BuildTree());
    return scratch;
}

// The archive is written in place at each input: a file truncated and written anew
// is written out to disk as it is closed, which took longer than all else an input
// does.
void WriteArchive(const std::string& path, const uint8_t* data, size_t size) {
    static const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0 || pwrite(file, data, size, 0) != static_cast<ssize_t>(size) ||
        ftruncate(file, static_cast<off_t>(size)) != 0) {
        std::abort();
    }
}

void ReadThrough(const std::string& path, int nonBlocking) {
    StreamHandle file = FileBackendOpen(path.c_str(), 0, 1, nonBlocking);
    if (file == 0) return;
    static uint8_t buffer[16384];
    for (int chunk = 0; chunk < 4; chunk++) {
        size_t got = FileBackendRead(buffer, 3, sizeof buffer / 3, file);
        while (FileBackendCheckReady(file) == 0) Sleep(0);  // the reader thread's turn
        if (got == 0 || FileBackendCheckEnd(file) != 0) break;
    }
    FileBackendSeek(file, -7, 2);
    FileBackendRead(buffer, 1, 100, file);
    FileBackendSeek(file, FileBackendTell(file) / 2, 0);
    FileBackendRead(buffer, 5, 3, file);
    FileBackendClose(file);
}

// Whether a path names something inside the archive's directory. Names in an archive
// are hostile bytes: one such as "..\\.." would lead the walk out of the archive into
// the file system around it, to list and read whatever lies there.
bool InsideArchive(const std::string& path) {
    static const std::string inside = [] {
        char name[FilePathMax];
        if (NormalizePathUpper((Scratch() / "DATA").c_str(), name, sizeof name) != 0) std::abort();
        return std::string(name) + "\\";
    }();
    char name[FilePathMax];
    return NormalizePathUpper(path.c_str(), name, sizeof name) == 0 && std::strncmp(name, inside.c_str(), inside.size()) == 0;
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
        if (!InsideArchive(path)) continue;
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
    // The input as a bare pack stream.
    int64_t unpacked = DecodeArchivePackedData(data, size, nullptr, 0);
    if (unpacked >= 0 && static_cast<uint64_t>(unpacked) <= ArchiveUnpackedSizeLimit(size) && unpacked <= (1 << 24)) {
        std::vector<uint8_t> out(static_cast<size_t>(unpacked));
        DecodeArchivePackedData(data, size, out.data(), out.size());
    }

    // The input as the archive that stands in for the directory DATA.
    if (Scratch().path().empty()) std::abort();
    const std::string archive = Scratch() / "DATA.ZQA";
    const std::string directory = Scratch() / "DATA";
    WriteArchive(archive, data, size);
    InitArchiveSystem();
    SetFileBackendTable(nullptr);
    char name[FilePathMax];
    if (NormalizePathUpper(archive.c_str(), name, sizeof name) != 0) std::abort();
    if (size % 2 == 1) {
        int index = OpenArchiveByName(name, -1, 1, size % 4 == 1);
        if (index >= 0) ReleaseArchive(index);
    }
    int budget = 200;
    Walk(directory, 0, &budget);
    // A file opened by name, when the search found nothing in an archive that opened
    // (without one, the open would only repeat the search's failed look for it).
    if (budget == 200 && FindOpenArchive(name) >= 0) ReadThrough(directory + "\\sub\\b.txt", 1);
    TermArchiveSystem();
    return 0;
}
