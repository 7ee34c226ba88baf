// Log.txt bytes: stamp, indentation, line ends, the dated name, the fatal exit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core_test_support.h"
#include "library/core/alloc.h"
#include "library/core/log.h"

struct LogCase {
    const char* name;
    const char* first;
    const char* second;
    const char* expected;
};

void PrintTo(const LogCase& c, std::ostream* out) { *out << c.name; }

class LogBytes : public LogTest, public ::testing::WithParamInterface<LogCase> {};

TEST_P(LogBytes, AreExact) {
    const LogCase& c = GetParam();
    SetVirtualClockMilliseconds(5042);
    WriteLogText(c.first);
    if (c.second != nullptr) WriteLogText(c.second);
    EXPECT_EQ(Log(), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogBytes,
    ::testing::Values(
        LogCase{"TwoBareLines", "one\ntwo\n", nullptr, "42:one\r\ntwo\r\n"},
        LogCase{"NoLineEndContinues", "part ", "rest\n", "42:part rest\r\n"},
        LogCase{"CrLfStopsConversion", "a\r\nb\nc\n", nullptr, "42:a\r\nb\nc\n"},
        LogCase{"LeadingLineFeed", "\nx\n", nullptr, "42:\r\nx\r\n"},
        LogCase{"EmptyTextKeepsMidLine", "a", "", "42:a"},
        LogCase{"EmptyTextWritesNoStamp", "", "b\n", "42:b\r\n"},
        // 0x5C as the second byte of a two-byte character is no line feed search stop.
        LogCase{"ShiftJisText", "表\n", nullptr, "42:表\r\n"}),
    [](const ::testing::TestParamInfo<LogCase>& info) { return info.param.name; });

TEST_F(LogTest, IndentPutsTabsBeforeTheFirstLineOnly) {
    IncLogIndent();
    IncLogIndent();
    WriteLogText("a\nb\n");
    DecLogIndent();
    DecLogIndent();
    DecLogIndent();  // stays at 0
    WriteLogText("c\n");
    EXPECT_EQ(Log(), "0:\t\ta\r\nb\r\n0:c\r\n");
}

TEST_F(LogTest, NoStampSetting) {
    SystemStateRecord.settings.noLogStamp = 1;
    IncLogIndent();
    WriteLogText("x\n");
    EXPECT_EQ(Log(), "\tx\r\n");
}

TEST_F(LogTest, FormatAddsALineFeedAndIsBounded) {
    WriteLogFormat("v=%d", 7);
    std::string big(3000, 'z');
    WriteLogFormat("%s", big.c_str());
    std::string log = Log();
    EXPECT_EQ(log.substr(0, 7), "0:v=7\r\n");
    EXPECT_EQ(log.size(), 7u + 2 + 1022 + 2);  // stamp, 1022 bytes, CR LF
}

TEST_F(LogTest, LongTextUsesATrackedBlockThatIsFreedAgain) {
    int before = GetTrackedBlockCount();
    std::string text(300, 'q');
    text += "\n";
    WriteLogText(text.c_str());
    EXPECT_EQ(GetTrackedBlockCount(), before);
    EXPECT_EQ(Log(), "0:" + std::string(300, 'q') + "\r\n");
}

TEST_F(LogTest, StartLogFileReplacesAnOldLog) {
    WriteLogText("old\n");
    StartLogFile();
    WriteLogText("new\n");
    EXPECT_EQ(Log(), "0:new\r\n");
}

TEST_F(LogTest, DatedName) {
    SetVirtualLocalTime(2026, 3, 9, 14, 5, 7);
    SystemStateRecord.settings.datedLogName = 1;
    StartLogFile();
    WriteLogText("d\n");
    EXPECT_EQ(dir.Read("Log2026_3_9_14_5_7.txt"), "0:d\r\n");
}

TEST_F(LogTest, LoggingOffAndEmptyStartDirectoryWriteNothing) {
    SystemStateRecord.settings.loggingOff = 1;
    WriteLogText("a\n");
    SystemStateRecord.settings.loggingOff = 0;
    SystemStateRecord.startDirectory[0] = '\0';
    WriteLogText("b\n");
    EXPECT_EQ(Log(), "");
}

TEST_F(LogTest, WindowsFormStartDirectoryMapsToTheRoot) {
    std::string windows = "C:" + dir.path();
    for (char& c : windows) c = c == '/' ? '\\' : c;
    CopyTextBounded(SystemStateRecord.startDirectory, sizeof(SystemStateRecord.startDirectory), windows.c_str());
    StartLogFile();
    WriteLogText("w\n");
    EXPECT_EQ(Log(), "0:w\r\n");
}

TEST_F(LogTest, FatalErrorExitLogsShutsDownAndExitsWith255) {
    EXPECT_EXIT(
        {
            ZqAlloc(3);
            FatalErrorExit("致命的");
        },
        ::testing::ExitedWithCode(255), "");
    std::string log = Log();
    EXPECT_EQ(log.substr(0, 10), "0:致命的\r\n");
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);
}

TEST_F(LogTest, ShiftJisStartDirectoryIsFoundOnDisk) {
    const std::string utf8Name = "\xE3\x83\xAD\xE3\x82\xB0";  // "ログ" as the file system spells it
    ASSERT_EQ(mkdir((dir.path() + "/" + utf8Name).c_str(), 0755), 0);
    std::string start = dir.path() + "\\ログ";  // the library's own (Shift-JIS) spelling
    CopyTextBounded(SystemStateRecord.startDirectory, sizeof(SystemStateRecord.startDirectory), start.c_str());
    StartLogFile();
    WriteLogText("j\n");
    EXPECT_EQ(dir.Read(utf8Name + "/Log.txt"), "0:j\r\n");
}
