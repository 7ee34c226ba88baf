// Path helpers: absolute paths, splitting and wildcards, Shift-JIS names included
// (a 0x5C trail byte is never a separator).
#include <gtest/gtest.h>

#include <string>

#include "library/file/file_backend.h"
#include "library/file/path.h"
#include "platform/testing.h"

namespace {

// "表" is 0x95 0x5C in Shift-JIS; "ァ" is 0x83 0x40, "ゃ" 0x82 0xE1, and 0x83 0x61
// ("ツ"-row) has a lower-case letter as its trail byte.
#define HYOU "\x95\x5C"

class PathHelpers : public ::testing::Test {
protected:
    void SetUp() override { SetFakeCurrentDirectory("D:\\GAME"); }
    void TearDown() override { SetFakeCurrentDirectory(nullptr); }
};

std::string Normalize(const char* path) {
    char out[FilePathMax];
    return NormalizePathUpper(path, out, sizeof out) == 0 ? std::string(out) : "<-1>";
}

TEST_F(PathHelpers, NormalizePathUpper) {
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"..\\x\\.\\y.png", "D:\\X\\Y.PNG"},
        {"/tmp\\a", "D:\\TMP\\A"},
        {nullptr, "D:\\GAME"},
        {"img.png", "D:\\GAME\\IMG.PNG"},
        {"c:\\Data\\b.png", "C:\\DATA\\B.PNG"},
        {"e:rel.png", "E:\\REL.PNG"},
        {"\\\\server\\share\\x", "\\\\SERVER\\SHARE\\X"},
        {"//server/share", "\\\\SERVER\\SHARE"},
        {"a\\\\b", "D:\\GAME\\A\\B"},
        {"..\\..\\..\\x", "D:\\X"},     // ".." never removes the drive
        {"x\\..", "D:\\GAME\\X\\.."},   // the last component is kept as written
        {"x\\.\\", "D:\\GAME\\X"},
        {HYOU "\\a", "D:\\GAME\\" HYOU "\\A"},
        {"a" HYOU "b\\..\\c", "D:\\GAME\\C"},
        {"\x83\x61z", "D:\\GAME\\\x83\x61Z"},  // a trail byte "a" is not upper-cased
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, Normalize(c.path)) << (c.path ? c.path : "(null)");

    SetFakeCurrentDirectory("d:\\");
    EXPECT_EQ("D:\\X", Normalize("x"));

    char small[8] = "keep";
    EXPECT_EQ(-1, NormalizePathUpper("long-name", small, sizeof small));
    EXPECT_STREQ("", small);
    std::string huge(FilePathMax, 'x');
    EXPECT_EQ("<-1>", Normalize(huge.c_str()));
}

std::string FullPath(const char* path, const char* base) {
    char out[FilePathMax];
    return ConvertToFullPath(path, out, sizeof out, base) == 0 ? std::string(out) : "<-1>";
}

TEST_F(PathHelpers, ConvertToFullPathKeepsCase) {
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"x\\.\\y", "D:\\Game\\x\\y"},
        {"..\\z", "D:\\z"},
        {"\\root", "D:\\root"},
        {"/root", "D:\\root"},
        {"E:\\q", "E:\\q"},
        {"E:q", "E:\\q"},
        {nullptr, "D:\\Game"},
        {"dir\\", "D:\\Game\\dir"},
        {"a\\\\b", "<-1>"},  // two separators in a row
        {HYOU "\\x", "D:\\Game\\" HYOU "\\x"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, FullPath(c.path, "D:\\Game")) << (c.path ? c.path : "(null)");
    EXPECT_EQ("D:\\Game\\x", FullPath("x", "D:\\Game\\"));
    // Without a base: the file layer's current directory.
    EXPECT_EQ("D:\\GAME\\x", FullPath("x", nullptr));
}

TEST(PathSplit, NameAndDirectory) {
    struct Case {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {
        {"IMG.PNG", "", "IMG.PNG"},
        {"D:\\A\\B.PNG", "D:\\A", "B.PNG"},
        {"C:X", "C", "X"},
        {"a/b\\c", "a/b", "c"},
        {"dir\\", "dir", ""},
        {HYOU, "", HYOU},
        {"d\\" HYOU, "d", HYOU},
    };
    for (auto split : {SplitPathName, SplitPathNameLeadAware}) {
        for (const Case& c : cases) {
            char name[64], directory[64];
            ASSERT_EQ(0, split(c.path, name, sizeof name, directory, sizeof directory));
            EXPECT_STREQ(c.directory, directory) << c.path;
            EXPECT_STREQ(c.name, name) << c.path;
        }
        char name[4];
        EXPECT_EQ(-1, split("dir\\longname", name, sizeof name, nullptr, 0));
        EXPECT_EQ(0, split("dir\\abc", name, sizeof name, nullptr, 0));
        EXPECT_STREQ("abc", name);
    }
}

TEST(PathWildcard, MatchesWithoutBacktracking) {
    struct Case {
        const char* name;
        const char* pattern;
        int expected;
    } cases[] = {
        {"A.PNG", "*.PNG", 0},
        {"A.B.PNG", "*.PNG", -1},  // "*" stops at the first full stop
        {"A", "A*", -1},
        {"AB", "A*", 0},
        {"", "*", 0},
        {"ANY.THING", "*", 0},
        {"A.PNG", "**.PNG", 0},
        {"AB", "A?", 0},
        {"A", "A?", -1},
        {"ABC", "A?C", 0},
        {"ABC", "ABC", 0},
        {"ABC", "ABCD", -1},
        {"ABCD", "ABC", -1},
        {"", "", 0},
        {"A", "", -1},
        {"X" HYOU "Y", "X" HYOU "?", 0},
        {"X" HYOU "Y", "X?\x5CY", 0},  // "?" takes one byte
        {HYOU, "*\x5C", -1},           // a trail byte is never found by "*"
        {"A" HYOU, "*" HYOU, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, MatchWildcard(c.name, c.pattern)) << c.name << " / " << c.pattern;
    // A name that is not terminated within its length.
    EXPECT_EQ(0, MatchWildcardBytes("IMG.PNGxxxx", 7, "*.PNG"));
    EXPECT_EQ(-1, MatchWildcardBytes("IMG.PNGxxxx", 6, "*.PNG"));
}

}  // namespace
