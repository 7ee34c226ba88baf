// The archive format: name records, keys, scrambling, the LZ decoder's code
// grammar and its refusal of damaged streams, and the encoder's round trip.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "library/file/archive_format.h"
#include "tools/archive/archive_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ArchiveNameRecord, WordCountSumAndCase) {
    ArchiveNameKey a, b;
    uint32_t length = 0;
    ASSERT_EQ(0, MakeArchiveNameRecord(&a, "abcdefg", &length));
    EXPECT_EQ(7u, length);
    EXPECT_EQ(2, a.words);
    ASSERT_EQ(0, MakeArchiveNameRecord(&a, "abcdefgh", &length));
    EXPECT_EQ(3, a.words) << "8 bytes and at least one zero byte";
    EXPECT_EQ(0, std::memcmp(a.upper, "ABCDEFGH\0\0\0\0", 12));
    EXPECT_EQ('A' + 'B' + 'C' + 'D' + 'E' + 'F' + 'G' + 'H', a.sum);

    // A Shift-JIS pair is summed raw and never upper-cased; its 0x5C trail byte
    // does not end the name, a single "\" does.
    ASSERT_EQ(0, MakeArchiveNameRecord(&a, "\x95\x5Cx\\rest", &length));
    EXPECT_EQ(3u, length);
    EXPECT_EQ(0x95 + 0x5C + 'X', a.sum);
    EXPECT_EQ(0, std::memcmp(a.upper, "\x95\x5CX\0", 4));
    ASSERT_EQ(0, MakeArchiveNameRecord(&b, "\x95\x5CX", nullptr));
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a - sizeof a.upper + 4));
    // A lead byte whose trail byte is a lower-case letter stays as it is.
    ASSERT_EQ(0, MakeArchiveNameRecord(&a, "\x83\x61", nullptr));
    EXPECT_EQ(0, std::memcmp(a.upper, "\x83\x61", 2));

    std::string longest(ArchiveNameMax, 'n');
    EXPECT_EQ(0, MakeArchiveNameRecord(&a, longest.c_str(), nullptr));
    EXPECT_EQ(-1, MakeArchiveNameRecord(&a, (longest + "n").c_str(), nullptr));
}

// A name-table record as the writer lays it out.
Bytes StoredRecord(const char* name) {
    ArchiveNameKey key;
    MakeArchiveNameRecord(&key, name, nullptr);
    Bytes record(4 + 8u * key.words, 0);
    WriteArchiveU16(record.data(), key.words);
    WriteArchiveU16(record.data() + 2, key.sum);
    std::memcpy(record.data() + 4, key.upper, key.words * 4u);
    std::memcpy(record.data() + 4 + key.words * 4u, name, std::strlen(name));
    return record;
}

TEST(ArchiveNameRecord, MatchingIgnoresCaseAndChecksBounds) {
    Bytes stored = StoredRecord("Img01.Png");
    ArchiveNameKey wanted;
    MakeArchiveNameRecord(&wanted, "IMG01.pNG", nullptr);
    EXPECT_EQ(1, MatchArchiveNameRecord(stored.data(), stored.size(), &wanted));
    EXPECT_EQ(0, MatchArchiveNameRecord(stored.data(), stored.size() - 1, &wanted)) << "record cut short";
    EXPECT_EQ(0, MatchArchiveNameRecord(stored.data(), 3, &wanted));
    MakeArchiveNameRecord(&wanted, "IMG01.PNH", nullptr);
    EXPECT_EQ(0, MatchArchiveNameRecord(stored.data(), stored.size(), &wanted));
    // Same sum, same length, different bytes.
    Bytes swapped = StoredRecord("ab");
    MakeArchiveNameRecord(&wanted, "BA", nullptr);
    EXPECT_EQ(0, MatchArchiveNameRecord(swapped.data(), swapped.size(), &wanted));
}

TEST(ArchiveKey, DerivationRepeatsTheStringAndTransforms) {
    uint8_t one[12], repeated[12], twelve[12], longer[12], none[12], empty[12];
    DeriveArchiveKey("k", one);
    DeriveArchiveKey("kkkkkkkkkkkk", repeated);
    EXPECT_EQ(0, std::memcmp(one, repeated, 12));
    DeriveArchiveKey("abcdefghijkl", twelve);
    DeriveArchiveKey("abcdefghijklmnop", longer);
    EXPECT_EQ(0, std::memcmp(twelve, longer, 12)) << "only the first 12 bytes count";
    DeriveArchiveKey(nullptr, none);
    DeriveArchiveKey("", empty);
    EXPECT_EQ(0, std::memcmp(none, empty, 12)) << "an empty key string is no key string";
    EXPECT_NE(0, std::memcmp(none, ArchiveDefaultKeyFill, 12)) << "the fill is transformed";
    EXPECT_NE(0, std::memcmp(none, ArchiveFallbackKey, 12));
    // Each position has its own transform: equal input bytes give different key bytes.
    EXPECT_NE(one[0], one[1]);
}

TEST(ArchiveScramble, TwiceIsIdentityAtAnyOffset) {
    uint8_t key[12];
    DeriveArchiveKey("scramble", key);
    std::mt19937 random(7);
    Bytes original(301);
    for (uint8_t& byte : original) byte = static_cast<uint8_t>(random());
    for (uint64_t offset : {0ull, 5ull, 13ull, 47ull, 0x100000007ull}) {
        Bytes bytes = original;
        ScrambleArchiveBytes(bytes.data(), bytes.size(), offset, key);
        for (size_t i = 0; i < bytes.size(); i++) {
            ASSERT_EQ(original[i] ^ key[(offset + i) % 12], bytes[i]) << "offset " << offset << " byte " << i;
        }
        ScrambleArchiveBytes(bytes.data(), bytes.size(), offset, key);
        EXPECT_EQ(original, bytes);
    }
}

// A packed stream: pack header with the given escape byte, then the codes.
Bytes Packed(uint32_t unpackedSize, uint8_t escape, const Bytes& codes) {
    Bytes packed(9);
    WriteArchiveU32(packed.data(), unpackedSize);
    WriteArchiveU32(packed.data() + 4, static_cast<uint32_t>(9 + codes.size()));
    packed[8] = escape;
    packed.insert(packed.end(), codes.begin(), codes.end());
    return packed;
}

Bytes Decode(const Bytes& packed) {
    Bytes out(DecodeArchivePackedData(packed.data(), packed.size(), nullptr, 0) + 16, 0xEE);
    int64_t size = DecodeArchivePackedData(packed.data(), packed.size(), out.data(), out.size());
    if (size < 0) return {0xDE, 0xAD};
    out.resize(static_cast<size_t>(size));
    return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(ArchiveDecoder, CodeGrammar) {
    // Escape 0xFF, so a code byte k is e itself: e = (length - 4) << 3 | ext << 2 | mode.
    EXPECT_EQ(Text("plain text"), Decode(Packed(10, 0xFF, Text("plain text"))));
    EXPECT_EQ((Bytes{'a', 0xFF, 'b'}), Decode(Packed(3, 0xFF, {'a', 0xFF, 0xFF, 'b'})));
    // Distance 1, length 10: the last byte ten times.
    EXPECT_EQ(Text("zzzzzzzzzzz"), Decode(Packed(11, 0xFF, {'z', 0xFF, 6 << 3 | 0, 0})));
    // A code byte above the escape is taken minus 1: escape 0x10, k 0x11 -> e 0x10 = length 6, mode 0, distance 2.
    EXPECT_EQ(Text("abababab"), Decode(Packed(8, 0x10, {'a', 'b', 0x10, 0x11, 1})));
    // The length byte comes before the distance byte: length (0 | 1 << 5) + 4 = 36, distance 1.
    EXPECT_EQ(Bytes(37, 'q'), Decode(Packed(37, 0xFF, {'q', 0xFF, 0 << 3 | 4 | 0, 1, 0})));
    // The longest match: 31 | 255 << 5 = 8191, + 4.
    EXPECT_EQ(Bytes(8196, 'x'), Decode(Packed(8196, 0xFF, {'x', 0xFF, 31 << 3 | 4 | 0, 255, 0})));
    // Reuse (mode 3) gives the previous distance + 1: distance 4, then 5.
    EXPECT_EQ(Text("abcdabcddabc"), Decode(Packed(12, 0xFF, {'a', 'b', 'c', 'd', 0xFF, 0 << 3 | 0, 3, 0xFF, 0 << 3 | 3})));
}

TEST(ArchiveDecoder, TwoAndThreeByteDistances) {
    for (uint32_t distance : {300u, 70000u}) {
        Bytes expected(distance);
        for (uint32_t i = 0; i < distance; i++) expected[i] = static_cast<uint8_t>(i % 251);
        Bytes codes = expected;
        uint32_t stored = distance - 1;
        if (distance < 0x10000) {
            codes.insert(codes.end(), {0xFF, 1 << 3 | 1, static_cast<uint8_t>(stored), static_cast<uint8_t>(stored >> 8)});
        } else {
            codes.insert(codes.end(), {0xFF, 1 << 3 | 2, static_cast<uint8_t>(stored), static_cast<uint8_t>(stored >> 8),
                                       static_cast<uint8_t>(stored >> 16)});
        }
        expected.insert(expected.end(), expected.begin(), expected.begin() + 5);
        EXPECT_EQ(expected, Decode(Packed(distance + 5, 0xFF, codes))) << distance;
    }
}

TEST(ArchiveDecoder, DamagedStreamsAreRefused) {
    struct Case {
        const char* what;
        Bytes packed;
    } cases[] = {
        {"escape as the last byte", Packed(2, 0xFF, {'a', 0xFF})},
        {"length byte missing", Packed(40, 0xFF, {'a', 0xFF, 4})},
        {"distance byte missing", Packed(5, 0xFF, {'a', 0xFF, 0})},
        {"two-byte distance cut", Packed(5, 0xFF, {'a', 0xFF, 1, 0})},
        {"three-byte distance cut", Packed(5, 0xFF, {'a', 0xFF, 2, 0, 0})},
        {"distance before the output", Packed(6, 0xFF, {'a', 0xFF, 0, 1})},
        {"match past the unpacked size", Packed(4, 0xFF, {'a', 0xFF, 0, 0})},
        {"literal past the unpacked size", Packed(1, 0xFF, {'a', 'b'})},
        {"escaped literal past the unpacked size", Packed(1, 0xFF, {'a', 0xFF, 0xFF})},
        {"reuse before any match", Packed(5, 0xFF, {'a', 0xFF, 3})},
        {"output shorter than the header says", Packed(3, 0xFF, {'a', 'b'})},
    };
    for (const Case& c : cases) {
        Bytes out(64, 0);
        EXPECT_EQ(-1, DecodeArchivePackedData(c.packed.data(), c.packed.size(), out.data(), out.size())) << c.what;
    }

    Bytes good = Packed(2, 0xFF, {'a', 'b'});
    Bytes out(2);
    Bytes small(1);
    EXPECT_EQ(-1, DecodeArchivePackedData(good.data(), good.size(), small.data(), small.size())) << "capacity";
    EXPECT_EQ(-1, DecodeArchivePackedData(good.data(), good.size() - 1, out.data(), out.size())) << "stream longer than the buffer";
    EXPECT_EQ(-1, DecodeArchivePackedData(good.data(), 8, out.data(), out.size())) << "no whole header";
    Bytes tiny = good;
    WriteArchiveU32(tiny.data() + 4, 8);
    EXPECT_EQ(-1, DecodeArchivePackedData(tiny.data(), tiny.size(), out.data(), out.size())) << "packed size below 9";
    EXPECT_EQ(2, DecodeArchivePackedData(good.data(), good.size(), out.data(), out.size()));
}

TEST(ArchiveEncoder, RoundTripsThroughTheDecoder) {
    std::mt19937 random(11);
    std::vector<Bytes> inputs;
    inputs.push_back({});
    inputs.push_back(Text("a"));
    inputs.push_back(Bytes(20000, 0));                 // runs longer than the longest match
    Bytes noise(5000);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    inputs.push_back(noise);                           // every byte value, so the escape is common
    Bytes text;
    for (int i = 0; i < 2000; i++) {
        std::string word = "word" + std::to_string(random() % 97) + (i % 7 == 0 ? "\n" : " ");
        text.insert(text.end(), word.begin(), word.end());
    }
    inputs.push_back(text);
    Bytes far = noise;                                 // a repeat 70000 bytes back: three distance bytes
    far.resize(70000 + 5000);
    for (size_t i = 5000; i < 70000; i++) far[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < 5000; i++) far[70000 + i] = noise[i];
    inputs.push_back(far);
    Bytes stride;                                      // distances growing by one: reuse codes
    for (int n = 8; n < 200; n++) {
        for (int i = 0; i < n; i++) stride.push_back(static_cast<uint8_t>(i % 5 + 'a'));
        stride.push_back(static_cast<uint8_t>('A' + n % 26));
    }
    inputs.push_back(stride);

    for (const Bytes& input : inputs) {
        Bytes packed = EncodeArchivePackedData(input.data(), input.size());
        EXPECT_EQ(input, Decode(packed)) << input.size();
    }
    EXPECT_LT(EncodeArchivePackedData(inputs[2].data(), inputs[2].size()).size(), 40u);
    EXPECT_LT(EncodeArchivePackedData(text.data(), text.size()).size(), text.size() / 2);
    EXPECT_LT(EncodeArchivePackedData(far.data(), far.size()).size(), far.size() - 4000);
}

// The paths that keep the encoder fast: stepping over incompressible stretches,
// far repeats, and giving up once packing cannot pay.
TEST(ArchiveEncoder, SkipsNoiseFindsFarRepeatsAndGivesUp) {
    std::mt19937 generator(5);
    auto noise = [&](size_t size) {
        Bytes bytes(size);
        for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
        return bytes;
    };
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    Bytes block;
    while (block.size() < 3000) {
        const std::string word = "w" + std::to_string(generator() % 1000) + " ";
        block.insert(block.end(), word.begin(), word.end());
    }
    // A block of words repeated behind noise (stepped over ever further), a run,
    // or 10 MiB of noise (far beyond the hash chains): the repeat is found whole,
    // extended back to its start, and costs a few bytes.
    struct Repeat {
        const char* name;
        Bytes before;
    } repeats[] = {
        {"behind 200000 bytes of noise", join({block, noise(200000)})},
        {"1 MiB back", join({block, Bytes(1 << 20, 7)})},
        {"10 MiB back", join({block, noise(10 << 20)})},
    };
    for (const Repeat& r : repeats) {
        SCOPED_TRACE(r.name);
        const Bytes input = join({r.before, block});
        const Bytes packed = EncodeArchivePackedData(input.data(), input.size());
        EXPECT_EQ(input, Decode(packed));
        EXPECT_LE(packed.size(), EncodeArchivePackedData(r.before.data(), r.before.size()).size() + 8);
    }
    const Bytes text = Text(std::string(2000, 'x') + "some text that repeats, some text that repeats");
    const Bytes noiseThenText = join({noise(100000), text});
    const Bytes packed = EncodeArchivePackedData(noiseThenText.data(), noiseThenText.size());
    EXPECT_EQ(noiseThenText, Decode(packed));
    EXPECT_LT(packed.size(), 100000 + 1000) << "the text after the noise still packs";

    // Noise gives up at its own size (so the writer stores it); text packs within it.
    const Bytes random = noise(100000);
    EXPECT_TRUE(EncodeArchivePackedData(random.data(), random.size(), random.size()).empty());
    EXPECT_FALSE(EncodeArchivePackedData(text.data(), text.size(), text.size()).empty());
    EXPECT_EQ(random, Decode(EncodeArchivePackedData(random.data(), random.size(), random.size() + 1000)))
        << "a limit that leaves room is no limit";
}

}  // namespace
