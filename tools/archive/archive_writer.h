// archive_writer.h - builds "ZQA" archives: the LZ encoder and the writer.
//
// The counterpart of the library's archive reader (library/file/archive_format.h
// holds the layout and the key constants both use). The zqa_pack tool packs a
// directory with it; the tests and the fuzz corpus build their archives with it.
//
//     std::vector<ArchiveWriterItem> items;
//     items.push_back({"img.png", false, pngBytes});
//     items.push_back({"sub/a.txt", false, textBytes});
//     std::vector<uint8_t> image;
//     std::string error;
//     if (BuildArchiveImage(items, ArchiveWriterOptions{}, &image, &error)) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One file or directory of the archive. Paths are relative, "/" or "\" separated,
// names in the library's form (Shift-JIS); directories on the way are made
// implicitly, so a directory item is needed only for an empty directory.
struct ArchiveWriterItem {
    std::string path;
    bool directory = false;
    std::vector<uint8_t> data;
    uint64_t created = 0;  // FILETIME ticks
    uint64_t accessed = 0;
    uint64_t written = 0;
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

// Builds the whole archive file. False with a message for names that clash
// (equal without regard to case), a file and a directory of one name, empty or
// over-long names, a version above 3, or sizes beyond 32 bits.
bool BuildArchiveImage(const std::vector<ArchiveWriterItem>& items, const ArchiveWriterOptions& options,
                       std::vector<uint8_t>* image, std::string* error);

// Collects the files and directories below a host directory (names turned into
// the library's form, times from the file system).
bool CollectArchiveItems(const std::string& hostDirectory, std::vector<ArchiveWriterItem>* items, std::string* error);
