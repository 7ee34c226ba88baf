// The hi-score file "data.csp" and the font-name file "font.txt", on real files in the
// test's own folder.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>

#include "game_test_support.h"

namespace {

// "ロード完了" and "ファイルを開くことができません" in Shift-JIS.
const std::string Loaded = "\x83\x8D\x81\x5B\x83\x68\x8A\xAE\x97\xB9";
const std::string CannotOpen =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8A\x4A\x82\xAD\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";

const std::vector<int> BuiltIn = {1000000, 100000, 10000, 1000, 100};

std::string littleEndian(const std::vector<int>& values) {
    std::string bytes;
    for (int value : values)
        for (int i = 0; i < 4; i++) bytes += static_cast<char>(static_cast<unsigned>(value) >> (8 * i));
    return bytes;
}

std::vector<int> table() { return std::vector<int>(hiScores, hiScores + HiScoreCount); }

struct ChildResult {
    int exitCode;  // -1 when it did not exit normally
    std::string output;
};

// Runs body in a child process with its standard output caught through a pipe (a pipe,
// not a file, so that a file-size limit set by body does not stop the output too).
ChildResult runInChild(const std::function<void()>& body) {
    std::fflush(nullptr);
    int ends[2];
    if (pipe(ends) != 0) return {-1, "no pipe"};
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        if (dup2(ends[1], STDOUT_FILENO) < 0) _exit(99);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(ends[1]);
    std::string output;
    char buffer[256];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) output.append(buffer, got);
    close(ends[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return {-1, output};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The names in the current folder, sorted.
std::vector<std::string> folderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes every later write to a file fail with EFBIG (instead of killing the process).
void limitFileSizeToZero() {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{0, 0};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(98);
}

}  // namespace

using ScoreFilesTest = GameTest;

TEST_F(ScoreFilesTest, FreshFolderKeepsTheBuiltInTableAndCreatesEmptyFiles) {
    testing::internal::CaptureStdout();
    loadFontName();
    EXPECT_EQ(0, loadHiScores("data.csp"));
    EXPECT_EQ(Loaded, testing::internal::GetCapturedStdout());  // no newline
    EXPECT_EQ(BuiltIn, table());
    EXPECT_EQ("", std::string(fontFaceName));
    ASSERT_TRUE(std::filesystem::exists("data.csp"));
    ASSERT_TRUE(std::filesystem::exists("font.txt"));
    EXPECT_EQ(0u, std::filesystem::file_size("data.csp"));
    EXPECT_EQ(0u, std::filesystem::file_size("font.txt"));
}

TEST_F(ScoreFilesTest, AShortFileReplacesOnlyTheEntriesItHolds) {
    const std::vector<int> stored = {700, 600, 500, 400, 300, 200};
    struct Case {
        size_t bytes;
        size_t replaced;
    };
    const Case cases[] = {{0, 0}, {3, 0}, {12, 3}, {13, 3}, {20, 5}, {24, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        resetAll();
        writeFile("data.csp", littleEndian(stored).substr(0, c.bytes));
        loadHiScores("data.csp");
        std::vector<int> expected = BuiltIn;
        for (size_t i = 0; i < c.replaced; i++) expected[i] = stored[i];
        EXPECT_EQ(expected, table());
        EXPECT_EQ(c.bytes, std::filesystem::file_size("data.csp")) << "the file was changed";
    }
}

TEST_F(ScoreFilesTest, RecordingEntersTheScoreAboveEqualOnesAndRewritesTheFile) {
    struct Case {
        int score;
        int rank;
        std::vector<int> after;
    };
    const Case cases[] = {
        {99, 0, BuiltIn},
        {100, 5, {1000000, 100000, 10000, 1000, 100}},
        {5000, 4, {1000000, 100000, 10000, 5000, 1000}},
        {1000000, 1, {1000000, 1000000, 100000, 10000, 1000}},
        {2000000, 1, {2000000, 1000000, 100000, 10000, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.score);
        resetAll();
        std::filesystem::remove("data.csp");
        EXPECT_EQ(c.rank, recordHiScore("data.csp", c.score));
        EXPECT_EQ(c.after, table());
        if (c.rank == 0) {
            EXPECT_EQ(std::vector<std::string>{}, folderEntries());
        } else {
            EXPECT_EQ(littleEndian(c.after), readFile("data.csp"));
            EXPECT_EQ(std::vector<std::string>{"data.csp"}, folderEntries()) << "a temporary file was left";
        }
    }
}

TEST_F(ScoreFilesTest, RecordedTableLoadsBackByteForByte) {
    const std::vector<int> stored = {0x7FFFFFFF, 0x01020304, 256, 1, -5};
    writeFile("data.csp", littleEndian(stored));
    loadHiScores("data.csp");
    EXPECT_EQ(stored, table());
    EXPECT_EQ(2, recordHiScore("data.csp", 0x01020304));
    const std::string expected("\xFF\xFF\xFF\x7F\x04\x03\x02\x01\x04\x03\x02\x01\x00\x01\x00\x00\x01\x00\x00\x00", 20);
    EXPECT_EQ(expected, readFile("data.csp"));
}

// The message goes out, the library is shut down, and the process ends with status 1.
TEST_F(ScoreFilesTest, UnwritableScoreFileEndsTheGameAfterShutdown) {
    std::filesystem::create_directory("data.csp");  // cannot be opened for writing, also by root
    ChildResult result = runInChild([] {
        library.onShutdown = [] { std::fputs("<shutdown>", stdout); };
        recordHiScore("data.csp", 5000);
    });
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(CannotOpen + "<shutdown>", result.output);
    EXPECT_TRUE(std::filesystem::is_directory("data.csp"));
    EXPECT_EQ(std::vector<std::string>{"data.csp"}, folderEntries()) << "a temporary file was left";
}

// A write that fails (here: a file-size limit of 0, as on a full disk) keeps the old
// file byte for byte, leaves no temporary file, and ends the game as an unwritable file does.
TEST_F(ScoreFilesTest, FailedWriteKeepsTheOldFileAndEndsTheGame) {
    struct Case {
        const char* name;
        std::vector<std::string> before;  // the files in the folder before the record
        std::string oldTable;
    };
    const Case cases[] = {
        {"a saved table", {"data.csp"}, littleEndian({90000, 8000, 700, 60, 5})},
        {"an empty file", {"data.csp"}, ""},
        {"no file", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        std::filesystem::remove("data.csp");
        if (!c.before.empty()) writeFile("data.csp", c.oldTable);
        ChildResult result = runInChild([] {
            library.onShutdown = [] { std::fputs("<shutdown>", stdout); };
            limitFileSizeToZero();
            recordHiScore("data.csp", 50000);
        });
        EXPECT_EQ(1, result.exitCode);
        EXPECT_EQ(CannotOpen + "<shutdown>", result.output);
        EXPECT_EQ(c.before, folderEntries());
        EXPECT_EQ(c.oldTable, readFile("data.csp"));
    }
}

// A temporary file left by a game killed while it wrote does not stand in the way.
TEST_F(ScoreFilesTest, LeftoverTemporaryFileIsReplaced) {
    writeFile("data.csp", littleEndian({5, 4, 3, 2, 1}));
    writeFile("data.csp.tmp", std::string(100, 'x'));
    loadHiScores("data.csp");
    EXPECT_EQ(1, recordHiScore("data.csp", 6));
    EXPECT_EQ(littleEndian({6, 5, 4, 3, 2}), readFile("data.csp"));
    EXPECT_EQ(std::vector<std::string>{"data.csp"}, folderEntries());
}

// A path that exists but cannot be read is never replaced by an empty file.
TEST_F(ScoreFilesTest, ExistingUnreadableFilesAreLeftAlone) {
    // A link to nowhere: reading fails, and creating through it would make its target.
    std::filesystem::create_symlink("elsewhere.csp", "data.csp");
    std::filesystem::create_symlink("elsewhere.txt", "font.txt");
    loadHiScores("data.csp");
    loadFontName();
    EXPECT_EQ(BuiltIn, table());
    EXPECT_FALSE(std::filesystem::exists("elsewhere.csp"));
    EXPECT_FALSE(std::filesystem::exists("elsewhere.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink("data.csp"));

    // A file without read permission (root reads it anyway; then it is simply loaded).
    std::filesystem::remove("data.csp");
    writeFile("data.csp", littleEndian({9, 8, 7, 6, 5}));
    std::filesystem::permissions("data.csp", std::filesystem::perms::owner_write);
    loadHiScores("data.csp");
    std::filesystem::permissions("data.csp", std::filesystem::perms::owner_all);
    EXPECT_EQ(littleEndian({9, 8, 7, 6, 5}), readFile("data.csp"));
}

TEST_F(ScoreFilesTest, FontNameIsTheFirstWordCutToTwentyNineBytes) {
    const std::string a27(27, 'a'), a28(28, 'a'), a29(29, 'a');
    const std::string kana = "\x82\xA0";  // one two-byte character
    struct Case {
        const char* name;
        std::string file;
        std::string face;
    };
    const Case cases[] = {
        {"one word", "Sans\n", "Sans"},
        {"several words", "DejaVu Sans Mono\n", "DejaVu"},
        {"leading blanks", "  \n\tMonospace  x", "Monospace"},
        {"empty", "", ""},
        {"29 bytes", a29, a29},
        {"longer", a29 + "bcdef", a29},
        {"far longer", std::string(1000, 'q'), std::string(29, 'q')},
        {"two-byte character ending at 29", a27 + kana + "b", a27 + kana},
        {"two-byte character across 29", a28 + kana, a28},
        {"Shift-JIS face", "\x82\x6C\x82\x72 x", "\x82\x6C\x82\x72"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        writeFile("font.txt", c.file);
        loadFontName();
        EXPECT_EQ(c.face, std::string(fontFaceName));
        EXPECT_EQ(c.file, readFile("font.txt"));
    }
}
