// The archive reader: an archive stands in for its directory (open, read, seek,
// end, find), the path cache, references, handle checks, non-blocking and memory
// modes, and damaged archives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_test_support.h"
#include "library/file/archive_internal.h"
#include "library/file/path.h"
#include "library/file/plain_file.h"
#include "platform/testing.h"

namespace {

#define HYOU "\x95\x5C"  // "表": its trail byte is "\"

// The same tree as a plain directory (plain/DATA) and as an archive (arch/DATA.ZQA).
void WriteTree(const ScratchDirectory& root) {
    root.write("plain/DATA/Img.png", Pattern(5000, 1));
    root.write("plain/DATA/readme.txt", "hello");
    root.write("plain/DATA/empty.bin", "");
    root.write("plain/DATA/Sub/Deep/far.bin", Pattern(70000, 2));
    root.write("plain/DATA/Sub/b.TXT", "bee");
    root.write(reinterpret_cast<const char*>(u8"plain/DATA/表/x.txt"), "hyou");
    root.makeDirectory("plain/DATA/EmptyDir");
}

struct Variant {
    const char* name;
    ArchiveWriterOptions options;
    const char* keyString;  // set in the reader before opening
};

void PrintTo(const Variant& variant, std::ostream* out) { *out << variant.name; }

const Variant kVariants[] = {
    {"packed v3", {3, ArchivePacking::WhenSmaller, "", false}, nullptr},
    {"all packed v2", {2, ArchivePacking::Always, "", false}, nullptr},
    {"stored v3", {3, ArchivePacking::Never, "", false}, nullptr},
    {"v1", {1, ArchivePacking::Always, "", false}, nullptr},
    {"v0", {0, ArchivePacking::WhenSmaller, "", false}, nullptr},
    {"second key", {3, ArchivePacking::Always, "", true}, nullptr},
    {"key string", {3, ArchivePacking::WhenSmaller, "secret", false}, "secret"},
};

class ArchiveStandsIn : public FileLayerTest, public ::testing::WithParamInterface<Variant> {
protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        WriteTree(root);
        std::vector<ArchiveWriterItem> items;
        std::string error;
        ASSERT_TRUE(CollectArchiveItems(root / "plain/DATA", &items, &error)) << error;
        WriteArchive("arch/DATA.ZQA", items, GetParam().options);
        SetArchiveKeyString(GetParam().keyString);
    }
};

// A scripted mix of reads, seeks and end tests; the trace of every result.
std::string Exercise(const std::string& path) {
    StreamHandle file = FileBackendOpen(path.c_str(), 0, 1, 0);
    if (file == 0) return "<fail>";
    std::string trace;
    auto note = [&](int64_t value) { trace += std::to_string(value) + " "; };
    uint8_t buffer[100] = {};
    note(static_cast<int64_t>(FileBackendRead(buffer, 4, 2, file)));  // 8 bytes as 4-byte elements: 2
    trace += std::string(reinterpret_cast<char*>(buffer), 3) + " ";
    note(FileBackendTell(file));
    note(FileBackendSeek(file, -3, 2));
    note(static_cast<int64_t>(FileBackendRead(buffer, 2, 5, file)));  // one whole element of the 3 bytes
    note(FileBackendCheckEnd(file));
    note(static_cast<int64_t>(FileBackendRead(buffer, 2, 1, file)));
    note(FileBackendCheckEnd(file));
    note(FileBackendSeek(file, 100000000, 0));  // clamped to the size
    note(FileBackendTell(file));
    note(static_cast<int64_t>(FileBackendRead(buffer, 1, 1, file)));
    note(FileBackendCheckEnd(file));
    note(FileBackendSeek(file, 1, 0));
    note(FileBackendCheckEnd(file));
    note(FileBackendCheckReady(file));
    FileBackendClose(file);
    return trace;
}

std::vector<std::string> FindAll(const std::string& pattern) {
    std::vector<std::string> found;
    const FileBackendTable* table = GetFileBackendTable();
    FindData data;
    FindHandle find = table->findFirst(pattern.c_str(), &data);
    if (find == -1) return found;
    do {
        // The times of "." and ".." are the directory's own in a plain search and 0 in an archive.
        const std::string name = data.name;
        const bool pseudo = name == "." || name == "..";
        found.push_back(name + (data.directory ? "/" : "") + " " + std::to_string(data.sizeLow) +
                        (pseudo ? "" : " " + std::to_string(data.written[0]) + "-" + std::to_string(data.written[5])));
    } while (table->findNext(find, &data) == 0);
    table->findClose(find);
    return found;
}

TEST_P(ArchiveStandsIn, ForItsDirectory) {
    const char* paths[] = {
        "Img.png", "IMG.PNG", "img.Png", "readme.txt", "empty.bin", "Sub/Deep/far.bin", "SUB\\DEEP\\FAR.BIN",
        "sub\\b.txt", HYOU "\\x.txt", HYOU "/X.TXT", "missing.txt", "Sub\\missing", "Sub", "EmptyDir\\x",
    };
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        const std::string plain = "plain/DATA/" + std::string(path);
        const std::string archived = "arch\\DATA\\" + std::string(path);
        EXPECT_TRUE(ReadFile(plain) == ReadFile(archived));
        EXPECT_EQ(Exercise(plain), Exercise(archived));
        EXPECT_EQ(Exercise(plain), Exercise(archived + ""));
    }
    // Packed or not, the data is the whole file, and the plain directory is not there.
    EXPECT_TRUE(Pattern(5000, 1) == ReadFile("arch/DATA/img.png"));
    EXPECT_EQ(7u, FindAll("arch/DATA/*").size());
    EXPECT_EQ(BytesOf("<fail>"), ReadFile("arch/DATA")) << "the archive itself is no file of the directory";
    EXPECT_TRUE(Pattern(70000, 2) == ReadFile("arch/data/sub/deep/far.bin"));
    EXPECT_TRUE(Pattern(70000, 2) == ReadFile("arch/DATA/Sub/Deep/far.bin", 1)) << "non-blocking";

    const char* patterns[] = {"*", "*.TXT", "sub\\*", "Sub\\Deep\\*", "SUB\\B.*", HYOU "\\*", "EmptyDir\\*", "none*"};
    for (const char* pattern : patterns) {
        SCOPED_TRACE(pattern);
        std::vector<std::string> plain = FindAll("plain/DATA/" + std::string(pattern));
        std::vector<std::string> archived = FindAll("arch/DATA/" + std::string(pattern));
        // An archive's root has no "..", as the root of a drive.
        if (std::string(pattern).find('\\') == std::string::npos && plain.size() > 1 && plain[1].rfind("../", 0) == 0) {
            plain.erase(plain.begin() + 1);
        }
        EXPECT_EQ(plain, archived);
    }
    EXPECT_EQ("", Log()) << "nothing is logged on any of these paths";
}

INSTANTIATE_TEST_SUITE_P(Variants, ArchiveStandsIn, ::testing::ValuesIn(kVariants),
                         [](const ::testing::TestParamInfo<Variant>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) c = (c == ' ') ? '_' : c;
                             return name;
                         });

using ArchiveReader = FileLayerTest;

// Reads at the end of a file, in elements larger than a byte: an archived file
// stored or packed answers every read as the plain file does (a read that finds
// less than one element returns 0 and sets the end flag, yet a later read of
// smaller elements still gets the bytes left).
TEST_F(ArchiveReader, TailReadsAgreeWithPlainFiles) {
    struct Read {
        size_t elementSize, count;
    };
    struct Script {
        const char* name;
        std::vector<Read> reads;
    } scripts[] = {
        {"4, 1, 1", {{4, 1}, {1, 1}, {1, 1}}},
        {"2, 2, 1, 1", {{2, 1}, {2, 1}, {1, 1}, {1, 1}}},
        {"4 x 3, 4, 1 x 5, 1", {{4, 3}, {4, 1}, {1, 5}, {1, 1}}},
        {"3, 2 x 2, 8, 1 x 2", {{3, 1}, {2, 2}, {8, 1}, {1, 2}}},
    };
    const size_t sizes[] = {1, 3, 10};
    std::vector<ArchiveWriterItem> items;
    for (size_t size : sizes) {
        const std::string name = "f" + std::to_string(size) + ".bin";
        root.write("plain/T/" + name, Pattern(size, static_cast<unsigned>(size)));
        items.push_back({name, false, Pattern(size, static_cast<unsigned>(size))});
    }
    WriteArchive("stored/T.ZQA", items, {3, ArchivePacking::Never, "", false});
    WriteArchive("packed/T.ZQA", items, {3, ArchivePacking::Always, "", false});

    // Every result of a script: element count, bytes delivered, position, end flag.
    auto trace = [](const std::string& path, const Script& script) {
        StreamHandle file = FileBackendOpen(path.c_str(), 0, 1, 0);
        if (file == 0) return std::string("<fail>");
        std::string text;
        for (const Read& read : script.reads) {
            uint8_t buffer[16] = {};
            const size_t got = FileBackendRead(buffer, read.elementSize, read.count, file);
            text += std::to_string(got) + ":";
            for (size_t i = 0; i < got * read.elementSize; i++) text += std::to_string(buffer[i]) + ".";
            text += " @" + std::to_string(FileBackendTell(file)) + " end " + std::to_string(FileBackendCheckEnd(file)) + "; ";
        }
        FileBackendClose(file);
        return text;
    };
    for (size_t size : sizes) {
        for (const Script& script : scripts) {
            SCOPED_TRACE("size " + std::to_string(size) + ", reads " + script.name);
            const std::string name = "/T/f" + std::to_string(size) + ".bin";
            const std::string plain = trace("plain" + name, script);
            EXPECT_EQ(plain, trace("stored" + name, script)) << "stored";
            EXPECT_EQ(plain, trace("packed" + name, script)) << "packed";
        }
    }
    // The answers, spelled out for the one-byte file: the end flag, once set, stays
    // until a seek.
    const uint8_t byte = Pattern(1, 1)[0];
    EXPECT_EQ("0: @0 end -1; 1:" + std::to_string(byte) + ". @1 end -1; 0: @1 end -1; ",
              trace("packed/T/f1.bin", scripts[0]));
}

std::vector<ArchiveWriterItem> SmallTree() {
    std::vector<ArchiveWriterItem> items(3);
    items[0].path = "Img.png";
    items[0].data = Pattern(3000, 7);
    items[1].path = "Sub/b.txt";
    items[1].data = BytesOf("bee");
    items[2].path = "Sub/Deep/c.txt";
    items[2].data = BytesOf("sea");
    return items;
}

TEST_F(ArchiveReader, TheArchiveDecidesAndItsPathIsCached) {
    WriteArchive("DATA.ZQA", SmallTree());
    root.write("DATA/Img.png", "plain");
    root.write("DATA/only-plain.txt", "plain");
    root.write("OTHER/x.txt", "other");

    const unsigned long probes = CountFileOpenCalls();
    StreamHandle first = FileBackendOpen("DATA\\IMG.PNG", 0, 1, 0);
    ASSERT_NE(0u, first);
    EXPECT_GT(CountFileOpenCalls(), probes) << "the leading directories were probed";
    int index = FindOpenArchive((std::string(ScratchDirectory::libraryForm(root.path())) + "\\DATA.ZQA").c_str());
    EXPECT_EQ(-1, index) << "archive names are upper-cased";
    char normalized[FilePathMax];
    ASSERT_EQ(0, NormalizePathUpper("DATA.ZQA", normalized, sizeof normalized));
    index = FindOpenArchive(normalized);
    ASSERT_GE(index, 0);
    EXPECT_EQ(1, GetArchiveReferenceCount(index));

    const unsigned long cached = CountFileOpenCalls();
    StreamHandle second = FileBackendOpen("data\\sub\\B.TXT", 0, 1, 0);
    ASSERT_NE(0u, second);
    EXPECT_EQ(cached, CountFileOpenCalls()) << "the second open only compares names";
    EXPECT_EQ(2, GetArchiveReferenceCount(index));
    EXPECT_EQ(BytesOf("bee"), ReadAll(second));

    EXPECT_EQ(0u, FileBackendOpen("DATA\\only-plain.txt", 0, 1, 0)) << "the archive decides, no plain fallback";
    EXPECT_EQ(2, GetArchiveReferenceCount(index)) << "a failed open gives its reference back";
    EXPECT_EQ(BytesOf("other"), ReadFile("OTHER\\x.txt")) << "outside the archive's directory: plain";

    FileBackendClose(first);
    FileBackendClose(second);
    EXPECT_EQ(0, GetArchiveReferenceCount(index));
    EXPECT_EQ(index, FindOpenArchive(normalized)) << "an unreferenced archive stays open";
    TermArchiveSystem();
    EXPECT_EQ(-1, FindOpenArchive(normalized));
    EXPECT_EQ(Pattern(3000, 7), ReadFile("DATA/Img.png")) << "opened again after shutdown's closing";

    // With the "no archive" setting only the file system is searched.
    SystemStateRecord.settings.noArchive = 1;
    SetFileBackendTable(nullptr);
    EXPECT_EQ(BytesOf("plain"), ReadFile("DATA/Img.png"));
    EXPECT_EQ(BytesOf("<fail>"), ReadFile("DATA/Sub/b.txt"));
    SystemStateRecord.settings.noArchive = 0;
    EXPECT_EQ("", Log());
}

// The root of a drive has no folder name, so no archive stands for it: a file
// named ".ZQA" in the current directory (where "C:.ZQA" would lead) takes over
// no path.
TEST_F(ArchiveReader, TheDriveRootHasNoArchive) {
    std::vector<ArchiveWriterItem> items(1);
    items[0].path = "x.txt";
    items[0].data = BytesOf("inside");
    WriteArchive(".ZQA", items);
    root.write("dir/y.txt", "outside");
    EXPECT_EQ(BytesOf("outside"), ReadFile(root / "dir/y.txt"));
    EXPECT_EQ(BytesOf("outside"), ReadFile(ScratchDirectory::libraryForm(root / "dir/y.txt")));
    EXPECT_EQ(BytesOf("outside"), ReadFile("dir\\y.txt"));
    EXPECT_EQ(-1, FindOpenArchive("C:.ZQA"));
}

TEST_F(ArchiveReader, FindListsPseudoEntriesThenTableOrder) {
    WriteArchive("DATA.ZQA", SmallTree());
    std::vector<std::string> names;
    for (const std::string& entry : FindAll("DATA\\*")) names.push_back(entry.substr(0, entry.find(' ')));
    EXPECT_EQ((std::vector<std::string>{"./", "Img.png", "Sub/"}), names);
    names.clear();
    for (const std::string& entry : FindAll("data\\sub\\*")) names.push_back(entry.substr(0, entry.find(' ')));
    EXPECT_EQ((std::vector<std::string>{"./", "../", "b.txt", "Deep/"}), names);
    EXPECT_TRUE(FindAll("DATA\\nowhere\\*").empty());
    char name[FilePathMax];
    ASSERT_EQ(0, NormalizePathUpper("DATA.ZQA", name, sizeof name));
    EXPECT_EQ(0, GetArchiveReferenceCount(FindOpenArchive(name))) << "searches give their references back, failed ones too";
}

TEST_F(ArchiveReader, HandlesAreChecked) {
    WriteArchive("DATA.ZQA", SmallTree());
    StreamHandle file = FileBackendOpen("DATA\\Img.png", 0, 1, 0);
    ASSERT_EQ(ArchiveFileHandleTag | 0u, file) << "slot 0";
    uint8_t byte;
    const StreamHandle foreign[] = {0, ArchiveFileHandleTag | 1, ArchiveFileHandleTag | 511, ArchiveFileHandleTag | 512,
                                    ArchiveFileHandleTag | 0x0FFFFFFF, 0x12345678, file | (StreamHandle{1} << 40)};
    for (StreamHandle handle : foreign) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(-1, ArchiveAwareTell(handle));
        EXPECT_EQ(-1, ArchiveAwareSeek(handle, 0, 0));
        EXPECT_EQ(0u, ArchiveAwareRead(&byte, 1, 1, handle));
        EXPECT_EQ(-1, ArchiveAwareCheckEnd(handle));
        EXPECT_EQ(-1, ArchiveAwareCheckReady(handle));
        EXPECT_EQ(-1, ArchiveAwareClose(handle));
    }
    EXPECT_EQ(0, ArchiveAwareTell(file)) << "slot 0 is untouched";
    EXPECT_EQ(0, ArchiveAwareClose(file));
    EXPECT_EQ(-1, ArchiveAwareClose(file)) << "closed twice";
}

TEST_F(ArchiveReader, OpenFileLimitAndAllocationFailureAreLogged) {
    WriteArchive("DATA.ZQA", SmallTree());
    std::vector<StreamHandle> files;
    for (int i = 0; i < ArchiveFileTableSize; i++) {
        files.push_back(FileBackendOpen("DATA\\Sub\\b.txt", 0, 1, 0));
        ASSERT_NE(0u, files.back());
    }
    EXPECT_EQ(0u, FileBackendOpen("DATA\\Sub\\b.txt", 0, 1, 0));
    EXPECT_NE(std::string::npos, Log().find("同時に開けるファイルの数が限界を超えました\r\n"));
    for (StreamHandle file : files) FileBackendClose(file);

    FailNextHeapAllocations(1);
    EXPECT_EQ(0u, FileBackendOpen("DATA\\Sub\\b.txt", 0, 1, 0));
    EXPECT_NE(std::string::npos, Log().find("ファイルの情報を格納するメモリの確保に失敗しました\r\n"));
    EXPECT_EQ(BytesOf("bee"), ReadFile("DATA\\Sub\\b.txt"));
}

TEST_F(ArchiveReader, NonBlockingReadsCompleteThroughTheReadyCheck) {
    for (ArchivePacking packing : {ArchivePacking::Never, ArchivePacking::Always}) {
        InitArchiveSystem();
        ArchiveWriterOptions options;
        options.packing = packing;
        WriteArchive("DATA.ZQA", SmallTree(), options);
        EXPECT_EQ(BytesOf("sea"), ReadFile("DATA\\Sub\\Deep\\c.txt"));  // opens the archive first

        HoldFileReads(true);
        StreamHandle file = FileBackendOpen("DATA\\Img.png", 0, 1, 1);
        ASSERT_NE(0u, file);
        uint8_t buffer[3000];
        if (packing == ArchivePacking::Always) {
            EXPECT_EQ(0, FileBackendCheckReady(file)) << "the packed bytes are still being read";
            HoldFileReads(false);
            while (FileBackendCheckReady(file) == 0) Sleep(0);
            HoldFileReads(true);
            EXPECT_EQ(3000u, FileBackendRead(buffer, 1, 3000, file)) << "served from memory";
            EXPECT_EQ(1, FileBackendCheckReady(file));
        } else {
            EXPECT_EQ(1000u, FileBackendRead(buffer, 3, 1000, file));
            EXPECT_EQ(0, FileBackendCheckReady(file));
            EXPECT_EQ(0, FileBackendCheckReady(file));
        }
        HoldFileReads(false);
        while (FileBackendCheckReady(file) == 0) Sleep(0);
        EXPECT_EQ(0, std::memcmp(buffer, Pattern(3000, 7).data(), 3000));
        FileBackendClose(file);
        TermArchiveSystem();
    }
}

TEST_F(ArchiveReader, MemoryModeServesFromTheImage) {
    WriteArchive("DATA.ZQA", SmallTree());
    char name[FilePathMax];
    ASSERT_EQ(0, NormalizePathUpper("DATA.ZQA", name, sizeof name));
    for (int asynchronous : {0, 1}) {
        SCOPED_TRACE(asynchronous);
        int index = OpenArchiveByName(name, -1, 1, asynchronous);
        ASSERT_GE(index, 0);
        EXPECT_TRUE(Pattern(3000, 7) == ReadFile("DATA\\IMG.PNG"));
        EXPECT_EQ(BytesOf("sea"), ReadFile("data\\sub\\deep\\C.TXT"));
        EXPECT_EQ(index, FindOpenArchive(name));
        std::vector<std::string> names = FindAll("DATA\\SUB\\*");
        EXPECT_EQ(4u, names.size());
        ReleaseArchive(index);
        TermArchiveSystem();
        EXPECT_EQ(-1, FindOpenArchive(name));
    }
}

// --- damaged archives -------------------------------------------------------

// Offsets inside a SmallTree archive, found by walking it unscrambled.
struct Layout {
    Bytes image;  // unscrambled
    ArchiveHeader header;
    uint64_t block;                   // file offset of the directory block
    uint64_t rootRecord;              // file offset of the root directory record
    uint64_t rootEntry(int i) const { return block + header.fileTableOffset + ReadArchiveU32(image.data() + rootRecord + 12) + i * 44ull; }
    uint64_t subRecord() const { return block + header.directoryTableOffset + ReadArchiveU32(image.data() + rootEntry(1) + 32); }
    uint64_t packHeader() const { return header.dataStart + ReadArchiveU32(image.data() + rootEntry(0) + 32); }
};

Layout Unpack(const std::vector<ArchiveWriterItem>& items) {
    Layout layout;
    std::string error;
    ArchiveWriterOptions options;
    options.packing = ArchivePacking::Always;
    BuildArchiveImage(items, options, &layout.image, &error);
    uint8_t key[ArchiveKeySize];
    DeriveArchiveKey(nullptr, key);
    ScrambleArchiveBytes(layout.image.data(), layout.image.size(), 0, key);
    ParseArchiveHeader(layout.image.data(), &layout.header);
    layout.block = layout.header.directoryBlockOffset;
    layout.rootRecord = layout.block + layout.header.directoryTableOffset;
    return layout;
}

void Put32(Bytes& image, uint64_t at, uint32_t value) { WriteArchiveU32(image.data() + at, value); }

// Scrambles the (damaged) layout again and writes it as DATA.ZQA.
void WriteLayout(const ScratchDirectory& root, Layout& layout) {
    uint8_t key[ArchiveKeySize];
    DeriveArchiveKey(nullptr, key);
    ScrambleArchiveBytes(layout.image.data(), layout.image.size(), 0, key);
    root.write("DATA.ZQA", layout.image);
}

enum Outcome { Absent, Refused, InnerDamaged, NotFound };

struct Damage {
    const char* what;
    void (*apply)(Layout& layout);
    Outcome outcome;
};

const Damage kDamages[] = {
    {"random bytes (wrong magic under both keys)", [](Layout& l) { l.image = Pattern(500, 9); }, Absent},
    {"shorter than a header", [](Layout& l) { l.image.resize(10); }, Absent},
    {"version 4", [](Layout& l) { l.image[2] = 4; }, Absent},
    {"cut inside the directory block", [](Layout& l) { l.image.resize(l.block + 8); }, Refused},
    {"huge directory block", [](Layout& l) { Put32(l.image, 4, 0xFFFFFFF0u); }, Refused},
    {"empty directory block", [](Layout& l) { Put32(l.image, 4, 0); }, Refused},
    {"block offset past the end", [](Layout& l) { Put32(l.image, 12, 0x7FFFFFFFu); }, Refused},
    {"data start past the end", [](Layout& l) { Put32(l.image, 8, 0xFFFFFF00u); }, Refused},
    {"file table past the block", [](Layout& l) { Put32(l.image, 16, 0xFFFFFFFFu); }, Refused},
    {"directory table past the block", [](Layout& l) { Put32(l.image, 20, l.header.directoryBlockSize - 8); }, Refused},
    {"root with a parent", [](Layout& l) { Put32(l.image, l.rootRecord + 4, 16); }, Refused},
    {"root with a huge entry count", [](Layout& l) { Put32(l.image, l.rootRecord + 8, 0xFFFFFFFFu); }, Refused},
    {"root entries past the table", [](Layout& l) { Put32(l.image, l.rootRecord + 12, 0xFFFFFF00u); }, Refused},
    {"name record outside the block", [](Layout& l) { Put32(l.image, l.rootEntry(0), 0xFFFFFFF0u); }, NotFound},
    {"name record with a huge word count", [](Layout& l) { l.image[l.block + ReadArchiveU32(l.image.data() + l.rootEntry(0))] = 0xFF; }, NotFound},
    {"data offset past the end", [](Layout& l) { Put32(l.image, l.rootEntry(0) + 32, 0xFFFFFF00u); }, InnerDamaged},
    {"packed size past the end", [](Layout& l) { Put32(l.image, l.rootEntry(0) + 40, 0x7FFFFFFFu); }, InnerDamaged},
    {"packed size below a pack header", [](Layout& l) { Put32(l.image, l.rootEntry(0) + 40, 5); }, InnerDamaged},
    {"pack header longer than the entry", [](Layout& l) { Put32(l.image, l.packHeader() + 4, 0x10000); }, InnerDamaged},
    {"pack header shorter than itself", [](Layout& l) { Put32(l.image, l.packHeader() + 4, 3); }, InnerDamaged},
    {"unpacked size differs from the entry", [](Layout& l) { Put32(l.image, l.packHeader(), 2999); }, InnerDamaged},
    {"entry larger than any stream could unpack", [](Layout& l) { Put32(l.image, l.rootEntry(0) + 36, 0xFFFFFF00u); }, InnerDamaged},
    {"distance before the output", [](Layout& l) {
         // The first code: a match from 200 bytes back before anything was written.
         uint64_t codes = l.packHeader() + 9;
         uint8_t escape = l.image[l.packHeader() + 8];
         l.image[codes] = escape;
         l.image[codes + 1] = escape == 0 ? 1 : 0;
         l.image[codes + 2] = 199;
     }, InnerDamaged},
    {"stream cut inside a token", [](Layout& l) {
         uint64_t header = l.packHeader();
         Put32(l.image, header + 4, 10);
         l.image[header + 9] = l.image[header + 8];
     }, InnerDamaged},
};

TEST_F(ArchiveReader, DamagedArchivesAreRefused) {
    root.write("DATA/Img.png", "plain");
    root.write("DATA/Sub/b.txt", "plain b");
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.what);
        InitArchiveSystem();
        root.write("Log.txt", "");
        Layout layout = Unpack(SmallTree());
        damage.apply(layout);
        WriteLayout(root, layout);

        const Bytes got = ReadFile("DATA\\Img.png");
        const std::string log = Log();
        const bool refusedLogged = log.find("アーカイブファイルが壊れています") != std::string::npos;
        const bool innerLogged = log.find("アーカイブ内のファイルが壊れています") != std::string::npos;
        switch (damage.outcome) {
            case Absent:
                EXPECT_EQ(BytesOf("plain"), got);
                EXPECT_EQ("", log);
                break;
            case Refused:
                EXPECT_EQ(BytesOf("plain"), got) << "a refused archive counts as absent";
                EXPECT_TRUE(refusedLogged) << log;
                break;
            case InnerDamaged:
                EXPECT_EQ(BytesOf("<fail>"), got);
                EXPECT_TRUE(innerLogged) << log;
                EXPECT_EQ(BytesOf("bee"), ReadFile("DATA\\Sub\\b.txt")) << "the rest of the archive still reads";
                break;
            case NotFound:
                EXPECT_EQ(BytesOf("<fail>"), got);
                EXPECT_FALSE(refusedLogged || innerLogged) << log;
                break;
        }
        // Searches over the damaged archive stay inside it, whatever they find.
        FindAll("DATA\\*");
        FindAll("DATA\\Sub\\*");
        TermArchiveSystem();
    }
}

TEST_F(ArchiveReader, SearchesListOnlyNamesALookupCouldReach) {
    struct Case {
        const char* what;
        size_t half;  // 0: the upper-cased name, 1: the stored name
        const char* name;  // 7 bytes, as "IMG.PNG"
    } cases[] = {
        {"stored name with separators", 1, "..\\a\\bc"},
        {"stored name with a slash", 1, "../etc"},
        {"upper-cased name \"..\"", 0, ".."},
        {"stored name empty", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InitArchiveSystem();
        Layout layout = Unpack(SmallTree());
        const uint64_t record = layout.block + ReadArchiveU32(layout.image.data() + layout.rootEntry(0));
        uint8_t* name = layout.image.data() + record + 4 + 8 * c.half;  // W = 2 words per half
        std::memset(name, 0, 8);
        std::memcpy(name, c.name, std::strlen(c.name));
        WriteLayout(root, layout);
        std::vector<std::string> names;
        for (const std::string& entry : FindAll("DATA\\*")) names.push_back(entry.substr(0, entry.find(' ')));
        EXPECT_EQ((std::vector<std::string>{"./", "Sub/"}), names);
        TermArchiveSystem();
    }
}

TEST_F(ArchiveReader, DamagedSubdirectoriesAreNotEntered) {
    root.write("DATA/Sub/b.txt", "plain b");
    struct Case {
        const char* what;
        void (*apply)(Layout& layout);
    } cases[] = {
        {"directory offset off the grid", [](Layout& l) { Put32(l.image, l.rootEntry(1) + 32, 17); }},
        {"directory offset outside", [](Layout& l) { Put32(l.image, l.rootEntry(1) + 32, 0xFFFFFFF0u); }},
        {"huge entry count", [](Layout& l) { Put32(l.image, l.subRecord() + 8, 0x40000000u); }},
        {"entries outside", [](Layout& l) { Put32(l.image, l.subRecord() + 12, 0xFFFFFFD0u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InitArchiveSystem();
        Layout layout = Unpack(SmallTree());
        c.apply(layout);
        WriteLayout(root, layout);
        EXPECT_EQ(BytesOf("<fail>"), ReadFile("DATA\\Sub\\b.txt"));
        EXPECT_TRUE(FindAll("DATA\\Sub\\*").empty());
        EXPECT_TRUE(Pattern(3000, 7) == ReadFile("DATA\\Img.png")) << "the root still reads";
        TermArchiveSystem();
    }
}

}  // namespace
