// archive_format.cpp - archive records, keys, scrambling, name records, LZ decoder.
#include "library/file/archive_format.h"

#include <cstring>

namespace {

bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

uint8_t RotateLeft(uint8_t value, unsigned bits) {
    bits &= 7;
    return bits == 0 ? value : static_cast<uint8_t>((value << bits) | (value >> (8 - bits)));
}

}  // namespace

uint16_t ReadArchiveU16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

uint32_t ReadArchiveU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void WriteArchiveU16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

void WriteArchiveU32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void ParseArchiveHeader(const uint8_t bytes[ArchiveHeaderSize], ArchiveHeader* header) {
    header->magic = ReadArchiveU16(bytes);
    header->version = ReadArchiveU16(bytes + 2);
    header->directoryBlockSize = ReadArchiveU32(bytes + 4);
    header->dataStart = ReadArchiveU32(bytes + 8);
    header->directoryBlockOffset = ReadArchiveU32(bytes + 12);
    header->fileTableOffset = ReadArchiveU32(bytes + 16);
    header->directoryTableOffset = ReadArchiveU32(bytes + 20);
}

int CheckArchiveHeader(const ArchiveHeader* header) {
    return header->magic == ReadArchiveU16(ArchiveMagic) && header->version <= ArchiveMaxVersion ? 1 : 0;
}

uint32_t ArchiveFileEntrySize(uint32_t version) { return version >= 2 ? ArchiveFileEntrySizeV2 : ArchiveFileEntrySizeV0; }

int DeriveArchiveKey(const char* keyString, uint8_t key[ArchiveKeySize]) {
    // An empty key string would repeat nothing; it stands for "no key string".
    size_t length = keyString != nullptr ? std::strlen(keyString) : 0;
    for (uint32_t i = 0; i < ArchiveKeySize; i++) {
        uint8_t byte = length != 0 ? static_cast<uint8_t>(keyString[i % length]) : ArchiveDefaultKeyFill[i];
        const ArchiveKeyTransform& step = ArchiveKeyTransforms[i];
        byte = RotateLeft(static_cast<uint8_t>(byte ^ step.xorValue), step.rotateLeft);
        key[i] = step.complement ? static_cast<uint8_t>(~byte) : byte;
    }
    return 0;
}

void ScrambleArchiveBytes(void* buffer, size_t length, uint64_t fileOffset, const uint8_t key[ArchiveKeySize]) {
    // The key laid out from this offset over 48 bytes (a multiple of 12 and of 8),
    // so whole 48-byte runs XOR as six 64-bit words.
    uint8_t pattern[48];
    for (size_t i = 0; i < sizeof pattern; i++) pattern[i] = key[(fileOffset + i) % ArchiveKeySize];
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    for (; done + sizeof pattern <= length; done += sizeof pattern) {
        for (size_t word = 0; word < sizeof pattern; word += 8) {
            uint64_t data, mask;
            std::memcpy(&data, bytes + done + word, 8);
            std::memcpy(&mask, pattern + word, 8);
            data ^= mask;
            std::memcpy(bytes + done + word, &data, 8);
        }
    }
    for (size_t i = 0; done < length; done++, i++) bytes[done] ^= pattern[i];
}

int MakeArchiveNameRecord(ArchiveNameKey* record, const char* text, uint32_t* lengthOut) {
    const uint8_t* name = reinterpret_cast<const uint8_t*>(text);
    uint32_t length = 0;
    uint16_t sum = 0;
    while (name[length] != 0 && name[length] != '\\') {
        uint32_t step = IsLeadByte(name[length]) && name[length + 1] != 0 ? 2 : 1;
        if (length + step > ArchiveNameMax) return -1;
        for (uint32_t i = 0; i < step; i++) {
            uint8_t c = name[length + i];
            if (step == 1 && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
            record->upper[length + i] = c;
            sum = static_cast<uint16_t>(sum + c);
        }
        length += step;
    }
    record->words = static_cast<uint16_t>((length + 4) / 4);
    record->sum = sum;
    record->length = length;
    std::memset(record->upper + length, 0, record->words * 4u - length);
    if (lengthOut != nullptr) *lengthOut = length;
    return 0;
}

int MatchArchiveNameRecord(const uint8_t* stored, size_t available, const ArchiveNameKey* wanted) {
    if (available < 4) return 0;
    uint32_t words = ReadArchiveU16(stored);
    if (words != wanted->words || ReadArchiveU16(stored + 2) != wanted->sum) return 0;
    if (4 + 8ull * words > available) return 0;
    return std::memcmp(stored + 4, wanted->upper, words * 4u) == 0 ? 1 : 0;
}

uint64_t ArchiveUnpackedSizeLimit(uint64_t packedSize) {
    // The densest code is escape, code byte and length byte with a reused
    // distance: 3 bytes for ArchiveMatchLengthMax bytes.
    if (packedSize < ArchivePackHeaderSize) return 0;
    return (packedSize - ArchivePackHeaderSize) * ArchiveMatchLengthMax / 3 + ArchiveMatchLengthMax;
}

int64_t DecodeArchivePackedData(const uint8_t* packed, size_t packedLength, uint8_t* output, size_t outputCapacity) {
    if (packedLength < ArchivePackHeaderSize) return -1;
    const uint32_t unpackedSize = ReadArchiveU32(packed);
    const uint32_t packedSize = ReadArchiveU32(packed + 4);
    const uint8_t escape = packed[8];
    if (output == nullptr) return unpackedSize;
    if (packedSize < ArchivePackHeaderSize || packedSize > packedLength || unpackedSize > outputCapacity) return -1;

    const uint8_t* in = packed + ArchivePackHeaderSize;
    const uint8_t* const end = packed + packedSize;
    size_t produced = 0;
    size_t previousDistance = 0;  // 0 until the first match
    while (in < end) {
        const uint8_t byte = *in++;
        if (byte != escape) {
            if (produced == unpackedSize) return -1;
            output[produced++] = byte;
            continue;
        }
        if (in == end) return -1;
        const uint8_t code = *in++;
        if (code == escape) {
            if (produced == unpackedSize) return -1;
            output[produced++] = escape;
            continue;
        }
        const uint32_t e = code > escape ? code - 1u : code;
        size_t length = e >> 3;
        if (e & 4) {
            if (in == end) return -1;
            length |= static_cast<size_t>(*in++) << 5;
        }
        length += ArchiveMatchLengthMin;
        size_t value;
        switch (e & 3) {
            case 0:
                if (end - in < 1) return -1;
                value = in[0];
                in += 1;
                break;
            case 1:
                if (end - in < 2) return -1;
                value = ReadArchiveU16(in);
                in += 2;
                break;
            case 2:
                if (end - in < 3) return -1;
                value = ReadArchiveU16(in) | (static_cast<size_t>(in[2]) << 16);
                in += 3;
                break;
            default:
                if (previousDistance == 0) return -1;
                value = previousDistance;
                break;
        }
        const size_t distance = value + 1;
        if (distance > produced || length > unpackedSize - produced) return -1;
        uint8_t* to = output + produced;
        const uint8_t* from = to - distance;
        if (distance >= length) {
            std::memcpy(to, from, length);
        } else if (distance == 1) {
            std::memset(to, *from, length);
        } else {
            // Overlapping: the bytes repeat with period `distance`; copy runs of
            // growing size from the first period (distance, 2 x distance, ...).
            size_t done = 0;
            while (done < length) {
                size_t run = distance + done < length - done ? distance + done : length - done;
                std::memcpy(to + done, from, run);
                done += run;
            }
        }
        produced += length;
        previousDistance = distance;
    }
    return produced == unpackedSize ? static_cast<int64_t>(unpackedSize) : -1;
}
