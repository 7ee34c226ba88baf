// archive_lz_encoder.cpp - the LZ encoder of archive files.
//
// Code grammar (what DecodeArchivePackedData reads): a byte other than the escape
// byte E is a literal; E E is a literal E; E k is a match, with e = k, minus 1 when
// k > E: length - 4 in bits 7-3 of e (plus, when bit 2 is set, the next byte
// shifted left by 5), then the distance by e & 3: 0 one byte, 1 two bytes, 2 three
// bytes (each distance - 1), 3 no bytes: the previous match's distance + 1.
//
// Search: hash chains over 4-byte prefixes for near repeats, a table of 8-byte
// prefixes for far ones (see MatchFinder), a match chosen by the bytes it saves,
// and one step of lazy evaluation at a time. The economies that keep it fast:
// - a chain walk ends at the first match of kNiceLength bytes, is cut to a quarter
//   when the match it has to beat is already kGoodLength long, and a candidate is
//   compared only when it can beat the best match so far;
// - no lazy step after a match of kMaxLazyLength bytes;
// - after kSkipAfterMisses positions in a row without a match the search steps
//   over bytes, the further the longer the stretch (incompressible data is crossed
//   quickly), and every match found is extended backwards over the bytes skipped;
// - encoding stops as soon as the packed stream reaches the caller's limit, where
//   packing no longer pays.
#include <algorithm>
#include <bit>
#include <cstring>

#include "library/file/archive_format.h"
#include "tools/archive/archive_writer.h"

namespace {

constexpr int kMaxChain = 64;
constexpr size_t kNiceLength = 128;
constexpr size_t kGoodLength = 8;
constexpr size_t kMaxLazyLength = 32;
constexpr size_t kSkipAfterMisses = 128;
constexpr int kSkipGrowthShift = 6;  // the step grows by one every 64 further misses
constexpr int kMaxHashBits = 16;
constexpr size_t kNearWindow = size_t{1} << 16;
constexpr size_t kFarStride = 2;
constexpr int kMaxFarBits = 20;

struct Match {
    size_t length = 0;
    size_t distance = 0;
};

// Two indexes of earlier positions. Near: hash chains over 4-byte prefixes
// within kNearWindow bytes; head[hash] and chain[position & chainMask] hold
// positions + 1 (0 ends a chain), and the chain is a ring as long as the window,
// so an entry is overwritten only once it lies beyond it. The window is kept small
// enough for the chains and the bytes they point at to stay in the processor's
// cache. Far: for longer files, one slot per hash of 8 bytes holding the latest
// position (+ 1) of every kFarStride-th byte, across the format's whole 16 MiB
// window; a repeat found there starts at most kFarStride - 1 bytes late, which
// extending the match backwards recovers.
struct MatchFinder {
    const uint8_t* data;
    size_t size;
    int hashShift;
    std::vector<uint32_t> head;
    std::vector<uint32_t> chain;
    size_t chainMask;
    int farShift;
    std::vector<uint32_t> far;  // empty when the file fits the near window
    size_t inserted = 0;        // positions below this are indexed (or were skipped)
};

void InitMatchFinder(MatchFinder* finder, const uint8_t* data, size_t size) {
    const int hashBits = std::clamp(static_cast<int>(std::bit_width(size)), 8, kMaxHashBits);
    const size_t ring = std::bit_ceil(std::clamp<size_t>(size, 256, kNearWindow));
    finder->data = data;
    finder->size = size;
    finder->hashShift = 32 - hashBits;
    finder->head.assign(size_t{1} << hashBits, 0);
    finder->chain.assign(ring, 0);
    finder->chainMask = ring - 1;
    if (size > kNearWindow) {
        const int farBits = std::clamp(static_cast<int>(std::bit_width(size / kFarStride)), 8, kMaxFarBits);
        finder->farShift = 64 - farBits;
        finder->far.assign(size_t{1} << farBits, 0);
    }
}

uint32_t Load32(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

uint64_t Load64(const uint8_t* bytes) {
    uint64_t value;
    std::memcpy(&value, bytes, 8);
    return value;
}

uint32_t Hash4(const MatchFinder& finder, size_t at) { return (Load32(finder.data + at) * 2654435761u) >> finder.hashShift; }

size_t Hash8(const MatchFinder& finder, size_t at) {
    return static_cast<size_t>((Load64(finder.data + at) * 0x9E3779B97F4A7C15u) >> finder.farShift);
}

void InsertUpTo(MatchFinder* finder, size_t to) {
    to = std::min(to, finder->size >= 3 ? finder->size - 3 : 0);
    uint32_t* head = finder->head.data();
    uint32_t* chain = finder->chain.data();
    for (size_t at = finder->inserted; at < to; at++) {
        uint32_t& slot = head[Hash4(*finder, at)];
        chain[at & finder->chainMask] = slot;
        slot = static_cast<uint32_t>(at + 1);
    }
    if (!finder->far.empty()) {
        const size_t farTo = std::min(to, finder->size >= 7 ? finder->size - 7 : 0);
        for (size_t at = (finder->inserted + kFarStride - 1) / kFarStride * kFarStride; at < farTo; at += kFarStride) {
            finder->far[Hash8(*finder, at)] = static_cast<uint32_t>(at + 1);
        }
    }
    finder->inserted = std::max(finder->inserted, to);
}

// Bytes that match between a and b, at most limit; 8 at a time.
size_t CommonLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
    }
    while (n < limit && a[n] == b[n]) n++;
    return n;
}

// Bytes of the code for a match (the reuse form when it applies and can be written).
size_t CodeSize(size_t length, size_t distance, size_t previousDistance) {
    const size_t lengthField = length - ArchiveMatchLengthMin;
    const size_t extra = lengthField >= 32 ? 1 : 0;
    const bool reuse = previousDistance != 0 && distance == previousDistance + 1 && !(extra && (lengthField & 31) == 31);
    if (reuse) return 2 + extra;
    const size_t stored = distance - 1;
    return 2 + extra + (stored < 0x100 ? 1 : stored < 0x10000 ? 2 : 3);
}

// Bytes a match saves against writing its bytes as literals (escape bytes aside).
int64_t Savings(const Match& match, size_t previousDistance) {
    if (match.length == 0) return 0;
    return static_cast<int64_t>(match.length) - static_cast<int64_t>(CodeSize(match.length, match.distance, previousDistance));
}

// The match at `at` that saves the most bytes (the reuse distance first, since its
// code carries no distance bytes), walking at most maxChain candidates. Length 0
// when none reaches ArchiveMatchLengthMin.
Match FindMatch(MatchFinder* finder, size_t at, size_t previousDistance, int maxChain) {
    Match best;
    const uint8_t* data = finder->data;
    if (at + ArchiveMatchLengthMin > finder->size) return best;
    InsertUpTo(finder, at);
    const size_t limit = std::min<size_t>(finder->size - at, ArchiveMatchLengthMax);
    const size_t reuse = previousDistance + 1;
    if (previousDistance != 0 && reuse <= at && reuse <= ArchiveMatchDistanceMax &&
        Load32(data + at) == Load32(data + at - reuse)) {
        best = {CommonLength(data + at, data + at - reuse, limit), reuse};
        if (best.length < ArchiveMatchLengthMin) best = {};
    }
    int64_t bestSavings = Savings(best, previousDistance);
    if (best.length >= kGoodLength) maxChain /= 4;
    uint32_t candidate = finder->head[Hash4(*finder, at)];
    for (; candidate != 0 && maxChain-- > 0 && best.length < kNiceLength && best.length < limit;
         candidate = finder->chain[(candidate - 1) & finder->chainMask]) {
        const size_t from = candidate - 1;
        const size_t distance = at - from;
        if (distance > kNearWindow) break;
        // Candidates come nearest first, so a farther one must be longer to save
        // more; only one that agrees over the 4 bytes up to the best length's end
        // (or over its first 4 bytes, the shortest match) can be.
        const size_t check = std::max<size_t>(best.length, 3) - 3;
        if (Load32(data + from + check) != Load32(data + at + check)) continue;
        const Match match = {CommonLength(data + at, data + from, limit), distance};
        if (match.length <= best.length || match.length < ArchiveMatchLengthMin) continue;
        const int64_t savings = Savings(match, previousDistance);
        if (savings >= bestSavings) best = match, bestSavings = savings;
    }
    // A repeat of at least 8 bytes, possibly beyond the near window.
    if (!finder->far.empty() && best.length < kNiceLength && at + 8 <= finder->size) {
        const uint32_t slot = finder->far[Hash8(*finder, at)];
        const size_t from = slot - 1;
        if (slot != 0 && at - from <= ArchiveMatchDistanceMax &&
            Load64(data + from) == Load64(data + at)) {
            const Match match = {CommonLength(data + at, data + from, limit), at - from};
            if (match.length > best.length && Savings(match, previousDistance) >= bestSavings) best = match;
        }
    }
    return best;
}

// Writes the code for a match (the reuse form when CodeSize chose it).
void EmitMatch(std::vector<uint8_t>* bytes, size_t* size, const Match& match, size_t previousDistance, uint8_t escape) {
    const size_t lengthField = match.length - ArchiveMatchLengthMin;
    const size_t extra = lengthField >= 32 ? 1 : 0;
    const size_t stored = match.distance - 1;
    const size_t codeSize = CodeSize(match.length, match.distance, previousDistance);
    const uint32_t mode = codeSize == 2 + extra ? 3 : stored < 0x100 ? 0 : stored < 0x10000 ? 1 : 2;
    const uint32_t e = static_cast<uint32_t>((lengthField & 31) << 3) | (extra ? 4u : 0u) | mode;
    uint8_t* out = bytes->data() + *size;
    *out++ = escape;
    *out++ = static_cast<uint8_t>(e >= escape ? e + 1 : e);  // never 255: e = 255 is never chosen
    if (extra) *out++ = static_cast<uint8_t>(lengthField >> 5);
    for (uint32_t i = 0; mode != 3 && i <= mode; i++) *out++ = static_cast<uint8_t>(stored >> (8 * i));
    *size += codeSize;
}

// The packed stream, written into a buffer sized for the worst case (every byte
// a literal, each escape byte doubled).
struct PackedOutput {
    std::vector<uint8_t> bytes;
    size_t size = ArchivePackHeaderSize;
    uint8_t escape = 0;
};

void EmitLiterals(PackedOutput* out, const uint8_t* from, const uint8_t* to) {
    while (from < to) {
        const void* hit = std::memchr(from, out->escape, static_cast<size_t>(to - from));
        const uint8_t* end = hit != nullptr ? static_cast<const uint8_t*>(hit) + 1 : to;
        std::memcpy(out->bytes.data() + out->size, from, static_cast<size_t>(end - from));
        out->size += static_cast<size_t>(end - from);
        if (hit != nullptr) out->bytes[out->size++] = out->escape;
        from = end;
    }
}

// Bytes the literals of a short stretch would take (a match of 7 or more bytes
// always beats its literals: no code is longer than 6 bytes).
size_t LiteralCost(const uint8_t* data, size_t length, uint8_t escape) {
    if (length > 6) return length;
    size_t cost = 0;
    for (size_t i = 0; i < length; i++) cost += data[i] == escape ? 2 : 1;
    return cost;
}

// The byte value that occurs least often makes the cheapest escape.
uint8_t RarestByte(const uint8_t* data, size_t size) {
    size_t counts[4][256] = {};
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        counts[0][data[i]]++;
        counts[1][data[i + 1]]++;
        counts[2][data[i + 2]]++;
        counts[3][data[i + 3]]++;
    }
    for (; i < size; i++) counts[0][data[i]]++;
    size_t best = 0;
    for (size_t value = 0; value < 256; value++) {
        const size_t total = counts[0][value] + counts[1][value] + counts[2][value] + counts[3][value];
        const size_t bestTotal = counts[0][best] + counts[1][best] + counts[2][best] + counts[3][best];
        if (total < bestTotal) best = value;
    }
    return static_cast<uint8_t>(best);
}

}  // namespace

std::vector<uint8_t> EncodeArchivePackedData(const uint8_t* data, size_t size, size_t giveUpAt) {
    PackedOutput out;
    out.escape = RarestByte(data, size);
    out.bytes.resize(ArchivePackHeaderSize + size + size / 256 + 1);

    MatchFinder finder;
    InitMatchFinder(&finder, data, size);
    size_t previousDistance = 0;
    size_t literalStart = 0;  // the first byte not yet written
    size_t misses = 0;        // positions in a row without a match
    size_t at = 0;
    Match match = FindMatch(&finder, at, previousDistance, kMaxChain);
    while (at < size) {
        if (match.length == 0 ||
            CodeSize(match.length, match.distance, previousDistance) >= LiteralCost(data + at, match.length, out.escape)) {
            // No match here: step on, over more bytes the longer the stretch without one.
            const size_t step = misses < kSkipAfterMisses ? 1 : 1 + ((misses - kSkipAfterMisses) >> kSkipGrowthShift);
            misses++;
            if (step > 1) {
                InsertUpTo(&finder, at + 1);
                finder.inserted = std::max(finder.inserted, at + step);
            }
            at += step;
            // The literals so far already fill the limit: packing cannot pay.
            if (out.size + (std::min(at, size) - literalStart) >= giveUpAt) return {};
            match = FindMatch(&finder, at, previousDistance, kMaxChain);
            continue;
        }
        // Lazy step: a match one byte on that saves more wins over this one.
        if (match.length < kMaxLazyLength) {
            const int chain = match.length >= kGoodLength ? kMaxChain / 4 : kMaxChain;
            const Match next = FindMatch(&finder, at + 1, previousDistance, chain);
            const bool better = next.length != 0 && Savings(next, previousDistance) > Savings(match, previousDistance);
            if (better) {
                at++;
                match = next;
                continue;
            }
        }
        // Take back the bytes before the match that it also covers.
        while (at > literalStart && at > match.distance && match.length < ArchiveMatchLengthMax &&
               data[at - 1] == data[at - 1 - match.distance]) {
            at--;
            match.length++;
        }
        EmitLiterals(&out, data + literalStart, data + at);
        EmitMatch(&out.bytes, &out.size, match, previousDistance, out.escape);
        if (out.size >= giveUpAt) return {};
        at += match.length;
        literalStart = at;
        previousDistance = match.distance;
        misses = 0;
        match = FindMatch(&finder, at, previousDistance, kMaxChain);
    }
    EmitLiterals(&out, data + literalStart, data + size);
    if (out.size >= giveUpAt) return {};
    out.bytes.resize(out.size);
    WriteArchiveU32(out.bytes.data(), static_cast<uint32_t>(size));
    WriteArchiveU32(out.bytes.data() + 4, static_cast<uint32_t>(out.size));
    out.bytes[8] = out.escape;
    return std::move(out.bytes);
}
