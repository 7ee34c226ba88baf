// archive_writer.h - builds "ZQA" archives: the LZ encoder and the writer.
//
// The counterpart of the library's archive reader (library/file/archive_format.h
// holds the layout and the key constants both use). The zqa_pack tool packs a
// directory with it, straight to the archive file; the tests and the fuzz corpus
// build their archives in memory with it.
//
//     std::vector<ArchiveWriterItem> items;
//     items.push_back({"img.png", false, pngBytes});
//     items.push_back({"sub/a.txt", false, textBytes});
//     std::vector<uint8_t> image;
//     std::string error;
//     if (BuildArchiveImage(items, ArchiveWriterOptions{}, &image, &error)) ...
//
//     CollectArchiveItems("data", &items, &error);   // names and times only
//     WriteArchiveFile(items, ArchiveWriterOptions{}, "data.ZQA", &size, &error);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One file or directory of the archive. Paths are relative, "/" or "\" separated,
// names in the library's form (Shift-JIS); directories on the way are made
// implicitly, so a directory item is needed only for an empty directory. A file's
// bytes are its data, or, when it has a host path, that file's bytes, read only
// when the writer comes to it.
struct ArchiveWriterItem {
    std::string path;
    bool directory = false;
    std::vector<uint8_t> data;
    uint64_t created = 0;  // FILETIME ticks
    uint64_t accessed = 0;
    uint64_t written = 0;
    std::string hostPath = {};
};

enum class ArchivePacking {
    Never,        // every file stored as it is
    WhenSmaller,  // files that the encoder shrinks are packed
    Always,       // every file packed (tests of the decoder)
};

struct ArchiveWriterOptions {
    uint16_t version = 3;  // 0..3; versions 0 and 1 have no packed files
    ArchivePacking packing = ArchivePacking::WhenSmaller;
    std::string keyString;     // empty: the built-in key
    bool fallbackKey = false;  // scramble with the second built-in key instead
};

// Encodes data into a packed stream with its 9-byte pack header. Gives up with an
// empty result once the stream would take giveUpAt bytes or more.
std::vector<uint8_t> EncodeArchivePackedData(const uint8_t* data, size_t size, size_t giveUpAt = SIZE_MAX);

// Builds the whole archive file in memory. False with a message for names that
// clash (equal without regard to case), a file and a directory of one name, empty
// or over-long names, a version above 3, a host file that cannot be read, or sizes
// beyond 32 bits.
bool BuildArchiveImage(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                       std::vector<uint8_t>* image, std::string* error);

// Writes the same archive to a host file, one item's bytes at a time; the archive's
// size goes to archiveSize (optional). The same failures, and a file that cannot
// be written. The archive is written to "<archivePath>.part" and renamed when
// whole, so a failure leaves an earlier archive at the path as it was.
bool WriteArchiveFile(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                      const std::string& archivePath, uint64_t* archiveSize, std::string* error);

// Collects the files and directories below a host directory (names turned into
// the library's form, times from the file system, each file's host path; no bytes).
bool CollectArchiveItems(const std::string& hostDirectory, std::vector<ArchiveWriterItem>* items, std::string* error);

// Reads a whole host file into the buffer, which grows when the file is larger and
// is never shrunk; size gets the file's length. False when it cannot be read.
bool ReadArchiveHostFile(const std::string& path, std::vector<uint8_t>* buffer, size_t* size);
