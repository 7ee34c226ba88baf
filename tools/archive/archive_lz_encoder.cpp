// archive_lz_encoder.cpp - the LZ encoder of archive files: hash chains over
// 4-byte prefixes, greedy matching with one step of lazy evaluation.
//
// Code grammar (what DecodeArchivePackedData reads): a byte other than the escape
// byte E is a literal; E E is a literal E; E k is a match, with e = k, minus 1 when
// k > E: length - 4 in bits 7-3 of e (plus, when bit 2 is set, the next byte
// shifted left by 5), then the distance by e & 3: 0 one byte, 1 two bytes, 2 three
// bytes (each distance - 1), 3 no bytes: the previous match's distance + 1.
#include <algorithm>
#include <array>
#include <cstring>

#include "library/file/archive_format.h"
#include "tools/archive/archive_writer.h"

namespace {

constexpr int kHashBits = 16;
constexpr int kChainDepth = 64;

uint32_t Hash4(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, 4);
    return (value * 2654435761u) >> (32 - kHashBits);
}

size_t MatchLength(const uint8_t* data, size_t size, size_t at, size_t distance) {
    size_t limit = std::min<size_t>(size - at, ArchiveMatchLengthMax);
    size_t length = 0;
    while (length < limit && data[at + length] == data[at + length - distance]) length++;
    return length;
}

struct Match {
    size_t length = 0;
    size_t distance = 0;
};

// The code for a match: its bytes, or an empty result when this length and
// distance mode cannot be written (e would be 255, the one value no code byte
// carries).
struct MatchCode {
    uint8_t bytes[6];
    size_t size = 0;
};

MatchCode CodeForMatch(const Match& match, size_t previousDistance, uint8_t escape, bool allowReuse) {
    MatchCode code;
    size_t lengthField = match.length - ArchiveMatchLengthMin;
    uint32_t mode;
    size_t stored = match.distance - 1;
    if (allowReuse && previousDistance != 0 && match.distance == previousDistance + 1) {
        mode = 3;
    } else if (stored < 0x100) {
        mode = 0;
    } else if (stored < 0x10000) {
        mode = 1;
    } else {
        mode = 2;
    }
    uint32_t e = static_cast<uint32_t>((lengthField & 31) << 3) | (lengthField >= 32 ? 4u : 0u) | mode;
    if (e == 255) return code;
    code.bytes[code.size++] = escape;
    code.bytes[code.size++] = static_cast<uint8_t>(e >= escape ? e + 1 : e);
    if (lengthField >= 32) code.bytes[code.size++] = static_cast<uint8_t>(lengthField >> 5);
    for (uint32_t i = 0; mode != 3 && i <= mode; i++) code.bytes[code.size++] = static_cast<uint8_t>(stored >> (8 * i));
    return code;
}

MatchCode BestCode(const Match& match, size_t previousDistance, uint8_t escape) {
    MatchCode code = CodeForMatch(match, previousDistance, escape, true);
    return code.size != 0 ? code : CodeForMatch(match, previousDistance, escape, false);
}

class Encoder {
public:
    Encoder(const uint8_t* data, size_t size) : data_(data), size_(size), previous_(size, -1) { head_.fill(-1); }

    // Adds positions up to (not including) `to` to the chains.
    void InsertUpTo(size_t to) {
        for (; inserted_ < to && inserted_ + 4 <= size_; inserted_++) {
            uint32_t hash = Hash4(data_ + inserted_);
            previous_[inserted_] = head_[hash];
            head_[hash] = static_cast<int64_t>(inserted_);
        }
    }

    Match FindMatch(size_t at, size_t previousDistance) {
        Match best;
        if (at + ArchiveMatchLengthMin > size_) return best;
        InsertUpTo(at);
        // The distance a reuse code gives costs no distance bytes; try it first.
        if (previousDistance != 0 && previousDistance + 1 <= at && previousDistance + 1 <= ArchiveMatchDistanceMax) {
            best = {MatchLength(data_, size_, at, previousDistance + 1), previousDistance + 1};
        }
        int64_t candidate = head_[Hash4(data_ + at)];
        for (int depth = 0; candidate >= 0 && depth < kChainDepth; depth++) {
            size_t distance = at - static_cast<size_t>(candidate);
            if (distance > ArchiveMatchDistanceMax) break;
            size_t length = MatchLength(data_, size_, at, distance);
            if (length > best.length) best = {length, distance};
            if (length == ArchiveMatchLengthMax) break;
            candidate = previous_[static_cast<size_t>(candidate)];
        }
        if (best.length < ArchiveMatchLengthMin) best = {};
        return best;
    }

private:
    const uint8_t* data_;
    size_t size_;
    std::array<int64_t, 1 << kHashBits> head_;
    std::vector<int64_t> previous_;
    size_t inserted_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeArchivePackedData(const uint8_t* data, size_t size) {
    // The rarest byte value makes the cheapest escape.
    std::array<size_t, 256> counts{};
    for (size_t i = 0; i < size; i++) counts[data[i]]++;
    const uint8_t escape = static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());

    std::vector<uint8_t> out(ArchivePackHeaderSize);
    auto literal = [&](uint8_t byte) {
        out.push_back(byte);
        if (byte == escape) out.push_back(escape);
    };
    auto literalCost = [&](size_t at, size_t length) {
        size_t cost = 0;
        for (size_t i = 0; i < length; i++) cost += data[at + i] == escape ? 2 : 1;
        return cost;
    };

    Encoder encoder(data, size);
    size_t previousDistance = 0;
    size_t at = 0;
    while (at < size) {
        Match match = encoder.FindMatch(at, previousDistance);
        MatchCode code;
        if (match.length != 0) code = BestCode(match, previousDistance, escape);
        if (code.size == 0 || code.size >= literalCost(at, match.length)) {
            literal(data[at++]);
            continue;
        }
        // Lazy step: a clearly longer match one byte on wins over this one.
        Match next = encoder.FindMatch(at + 1, previousDistance);
        if (next.length > match.length + 1) {
            literal(data[at++]);
            continue;
        }
        out.insert(out.end(), code.bytes, code.bytes + code.size);
        at += match.length;
        previousDistance = match.distance;
    }
    WriteArchiveU32(out.data(), static_cast<uint32_t>(size));
    WriteArchiveU32(out.data() + 4, static_cast<uint32_t>(out.size()));
    out[8] = escape;
    return out;
}
