// archive_format.h - the "ZQA" archive format: layout, keys, scrambling, name
// records and the LZ decoder.
//
// An archive is one file that stands for a directory tree:
//
//   file offset 0       ArchiveHeader (24 bytes)
//   data start          the files' data, each optionally LZ-packed behind a 9-byte
//                       pack header (unpacked size, packed size, escape byte)
//   block offset        the directory block: the name table (at block offset 0),
//                       the file-entry table and the directory table
//
// All integers are little-endian; block offsets count from the start of the
// directory block, data offsets from the data start. Every byte of the file is
// stored XORed with key[file offset % 12].
//
// The reader (archive.cpp) and the archive writer (tools/archive) share everything
// here, the key constants above all, so the two cannot drift apart. Every routine
// that reads archive bytes takes their length and checks it: archives are hostile
// input.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    ArchiveHeaderSize = 24,
    ArchiveMaxVersion = 3,
    ArchiveFileEntrySizeV0 = 40,  // versions 0 and 1: no packed-size field
    ArchiveFileEntrySizeV2 = 44,  // version 2 and later
    ArchiveDirectorySize = 16,
    ArchivePackHeaderSize = 9,
    ArchiveAttributeDirectory = 0x10,
    ArchiveNotPacked = 0xFFFFFFFF,  // packed size of an entry stored as it is
    ArchiveNoParent = 0xFFFFFFFF,   // parent of the root directory
    ArchiveKeySize = 12,
    ArchiveNameMax = 255,               // longest name (bytes) a lookup can ask for
    ArchiveMatchLengthMin = 4,          // LZ match lengths 4..8195
    ArchiveMatchLengthMax = 8195,
    ArchiveMatchDistanceMax = 0x1000000,  // three distance bytes, stored minus 1
};

// The two magic bytes at offset 0 of an unscrambled archive.
constexpr uint8_t ArchiveMagic[2] = {'Z', 'Q'};

// The key constants of this library's archives, chosen once.
//
// DeriveArchiveKey repeats the key string (or, without one, ArchiveDefaultKeyFill)
// over 12 bytes and passes byte i through ArchiveKeyTransforms[i]: XOR with the
// constant, rotate left, then complement when asked. An archive whose magic does
// not come out under that key is tried once more with ArchiveFallbackKey, used as
// it is.
struct ArchiveKeyTransform {
    uint8_t xorValue;
    uint8_t rotateLeft;  // 0..7
    uint8_t complement;  // 0 or 1
};
constexpr uint8_t ArchiveDefaultKeyFill[ArchiveKeySize] = {0x5A, 0x51, 0x4C, 0x69, 0x62, 0x2D,
                                                           0x41, 0x72, 0x63, 0x68, 0x69, 0x76};
constexpr ArchiveKeyTransform ArchiveKeyTransforms[ArchiveKeySize] = {
    {0xA7, 3, 1}, {0x1C, 5, 0}, {0x6E, 1, 1}, {0xD2, 7, 0}, {0x39, 2, 0}, {0x84, 6, 1},
    {0xF0, 4, 0}, {0x5B, 1, 1}, {0x2D, 3, 0}, {0xC6, 5, 1}, {0x93, 2, 0}, {0x48, 6, 0},
};
constexpr uint8_t ArchiveFallbackKey[ArchiveKeySize] = {0x3F, 0xC2, 0x95, 0x0E, 0x71, 0xDA,
                                                        0x26, 0xB8, 0x4D, 0xE3, 0x17, 0x8C};

// The header, entries and directory records in native form (parsed from the
// little-endian bytes by the Read* routines below).
struct ArchiveHeader {
    uint16_t magic;  // the bytes "ZQ" read as a little-endian u16
    uint16_t version;
    uint32_t directoryBlockSize;
    uint32_t dataStart;
    uint32_t directoryBlockOffset;  // file offset
    uint32_t fileTableOffset;       // block offset of the file-entry table
    uint32_t directoryTableOffset;  // block offset of the directory table
};

struct ArchiveFileEntry {
    uint32_t nameOffset;  // block offset of the entry's name record
    uint32_t attributes;  // ArchiveAttributeDirectory for a directory
    uint64_t created;     // FILETIME ticks
    uint64_t accessed;
    uint64_t written;
    uint32_t dataOffset;  // files: data offset; directories: directory-table offset
    uint32_t size;        // unpacked size
    uint32_t packedSize;  // version 2+: packed size with its header, or ArchiveNotPacked
};

struct ArchiveDirectory {
    uint32_t ownEntry;  // not read by the library; the writer stores the directory's file-entry offset
    uint32_t parent;    // directory-table offset of the parent, ArchiveNoParent for the root
    uint32_t count;     // number of entries
    uint32_t firstEntry;  // file-entry-table offset of the first entry
};

// The wanted name of a lookup in record form: word count W = (n + 4) / 4, the
// 16-bit sum of the upper-cased bytes, the upper-cased name zero-padded to W words.
struct ArchiveNameKey {
    uint16_t words;
    uint16_t sum;
    uint32_t length;  // n
    uint8_t upper[ArchiveNameMax + 5];
};

uint16_t ReadArchiveU16(const uint8_t* bytes);
uint32_t ReadArchiveU32(const uint8_t* bytes);
void WriteArchiveU16(uint8_t* bytes, uint16_t value);
void WriteArchiveU32(uint8_t* bytes, uint32_t value);

// Parses the 24 header bytes (unscrambled).
void ParseArchiveHeader(const uint8_t bytes[ArchiveHeaderSize], ArchiveHeader* header);
// 1 when the header's magic is "ZQ" and its version at most ArchiveMaxVersion.
int CheckArchiveHeader(const ArchiveHeader* header);
// The size of one file entry for the archive's version.
uint32_t ArchiveFileEntrySize(uint32_t version);

// The 12-byte key from a key string (null or empty: the built-in fill) -> 0.
int DeriveArchiveKey(const char* keyString, uint8_t key[ArchiveKeySize]);
// XORs length bytes that lie at the given file offset with the key; applying it
// twice restores the bytes.
void ScrambleArchiveBytes(void* buffer, size_t length, uint64_t fileOffset, const uint8_t key[ArchiveKeySize]);

// Builds the lookup record of the name that starts the text and ends at its NUL or
// first "\" (a Shift-JIS pair is never taken for one). a-z become A-Z; both bytes
// of a Shift-JIS character stay as they are and both count in the sum. Returns 0,
// or -1 for a name longer than ArchiveNameMax bytes. lengthOut (optional) gets n.
int MakeArchiveNameRecord(ArchiveNameKey* record, const char* text, uint32_t* lengthOut);

// Compares a name record of the name table (at most `available` bytes from
// `stored`) with a lookup record: word count, sum, then the upper-cased words.
// A record that does not fit in the available bytes never matches.
int MatchArchiveNameRecord(const uint8_t* stored, size_t available, const ArchiveNameKey* wanted);

// Decodes an LZ-packed file. `packed` holds `packedLength` bytes starting with the
// pack header. With no output, returns the unpacked size U of the header. With an
// output of `outputCapacity` bytes, decodes and returns U, or -1 when the data is
// damaged: a pack header whose packed size is below 9 or beyond packedLength, U
// beyond the capacity, a code cut off inside a token, a distance reaching before
// the output, a match running past U, "reuse the previous distance" before any
// match, or a stream that does not produce exactly U bytes.
int64_t DecodeArchivePackedData(const uint8_t* packed, size_t packedLength, uint8_t* output,
                                size_t outputCapacity);

// The most bytes a packed stream of `packedSize` bytes (header included) can
// unpack to; a larger unpacked size is damage, refused before anything is allocated.
uint64_t ArchiveUnpackedSizeLimit(uint64_t packedSize);
