// The archive writer's output, byte for byte: a tree on disk packed under several
// options must give exactly the archives in tests/file/golden/, which an earlier
// writer (one that built the whole archive in memory) produced from the same tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "file_test_support.h"

namespace {

const std::string kGoldenDir = std::string(ZQ_SOURCE_DIR) + "/tests/file/golden/";

// Packed text, stored noise, an empty file, an empty directory, nested
// directories, names that sort without regard to case, a Shift-JIS name.
void WriteGoldenTree(const ScratchDirectory& root) {
    std::string text;
    for (int line = 0; line < 40; line++) text += "line " + std::to_string(line) + ": the archive keeps this text packed\n";
    Bytes noise(700);
    std::mt19937 random(7);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random() >> 24);
    root.write("tree/readme.txt", text);
    root.write("tree/Noise.bin", noise);
    root.write("tree/empty.bin", "");
    root.write("tree/alpha.TXT", "first");
    root.write("tree/Zeta.txt", "last");
    root.write("tree/Sub/b.TXT", "bee");
    root.write("tree/Sub/Deep/far.bin", Pattern(3000, 2));
    root.write(reinterpret_cast<const char*>(u8"tree/表/x.txt"), "hyou");
    root.makeDirectory("tree/EmptyDir");
}

// Times fixed from each path (the file system's creation time cannot be set), with
// high words that differ from the low ones.
void FixTimes(std::vector<ArchiveWriterItem>* items) {
    for (ArchiveWriterItem& item : *items) {
        uint32_t hash = 2166136261u;
        for (unsigned char c : item.path) hash = (hash ^ c) * 16777619u;
        item.created = 0x01D9000000000000ull + hash;
        item.accessed = item.created + 0x100000000ull;
        item.written = item.created + 0x200000001ull;
    }
}

struct GoldenCase {
    const char* file;
    ArchiveWriterOptions options;
};

const GoldenCase kGoldenCases[] = {
    {"tree-v3.zqa", {3, ArchivePacking::WhenSmaller, "", false}},
    {"tree-v2-all-packed-second-key.zqa", {2, ArchivePacking::Always, "", true}},
    {"tree-v1-key-string.zqa", {1, ArchivePacking::WhenSmaller, "secret", false}},
};

Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tree as the tool sees it: names, times and host paths, no bytes.
std::vector<ArchiveWriterItem> CollectGoldenTree(const ScratchDirectory& root) {
    WriteGoldenTree(root);
    std::vector<ArchiveWriterItem> items;
    std::string error;
    EXPECT_TRUE(CollectArchiveItems(root / "tree", &items, &error)) << error;
    FixTimes(&items);
    return items;
}

// Streamed to a file from the host files, built in memory from them, and built in
// memory from items that carry their bytes: each the golden archive exactly.
TEST(ArchiveWriter, EveryWayOfWritingGivesTheGoldenBytes) {
    ScratchDirectory root;
    const std::vector<ArchiveWriterItem> items = CollectGoldenTree(root);
    std::vector<ArchiveWriterItem> loaded = items;
    for (ArchiveWriterItem& item : loaded) {
        if (item.directory) continue;
        size_t size = 0;
        ASSERT_TRUE(ReadArchiveHostFile(item.hostPath, &item.data, &size));
        item.data.resize(size);
        item.hostPath.clear();
    }
    for (const GoldenCase& c : kGoldenCases) {
        SCOPED_TRACE(c.file);
        const Bytes golden = FileBytes(kGoldenDir + c.file);
        ASSERT_GT(golden.size(), 1000u);
        std::string error;
        uint64_t size = 0;
        ASSERT_TRUE(WriteArchiveFile(items, c.options, root / "out.zqa", &size, &error)) << error;
        EXPECT_EQ(golden.size(), size);
        EXPECT_TRUE(golden == FileBytes(root / "out.zqa")) << "streamed to a file";
        EXPECT_FALSE(std::filesystem::exists(root / "out.zqa.part"));
        Bytes image;
        ASSERT_TRUE(BuildArchiveImage(items, c.options, &image, &error)) << error;
        EXPECT_TRUE(golden == image) << "in memory from host files";
        ASSERT_TRUE(BuildArchiveImage(loaded, c.options, &image, &error)) << error;
        EXPECT_TRUE(golden == image) << "in memory from items with bytes";
    }
}

// A failure before or while writing leaves the archive already at the path as it
// was, and no partial file beside it.
TEST(ArchiveWriter, FailuresLeaveAnEarlierArchiveAlone) {
    ScratchDirectory root;
    std::vector<ArchiveWriterItem> items = CollectGoldenTree(root);
    const std::string archive = root.write("out.zqa", "earlier archive");
    struct Case {
        const char* name;
        std::vector<ArchiveWriterItem> items;
        const char* error;
    };
    std::vector<ArchiveWriterItem> clash = items, unreadable = items;
    clash.push_back({"SUB/B.txt", false, BytesOf("clash")});
    unreadable.push_back({"gone.bin", false, {}, 0, 0, 0, root / "tree/gone.bin"});
    const Case cases[] = {
        {"names clash", clash, "names clash: SUB/B.txt"},
        {"unreadable file", unreadable, "cannot read "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(WriteArchiveFile(c.items, ArchiveWriterOptions{}, archive, nullptr, &error));
        EXPECT_EQ(0u, error.find(c.error)) << error;
        EXPECT_EQ("earlier archive", root.read("out.zqa"));
        EXPECT_FALSE(std::filesystem::exists(archive + ".part"));
    }
    std::string error;
    EXPECT_FALSE(WriteArchiveFile(items, ArchiveWriterOptions{}, root / "no/such/dir/out.zqa", nullptr, &error));
    EXPECT_EQ("cannot write " + root / "no/such/dir/out.zqa", error);
}

}  // namespace
