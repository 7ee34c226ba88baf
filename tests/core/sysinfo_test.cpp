// The system-information log with a fake processor and OS.
#include <gtest/gtest.h>

#include <cstring>

#include "core_test_support.h"
#include "library/core/sysinfo.h"

TEST(OsTable, NamesAndCodes) {
    struct {
        uint32_t platform, major, minor;
        const char* servicePack;
        const char* suffix;
        int32_t code;
        int found;
    } cases[] = {
        {0, 3, 10, "", "3.1", 0, 1},         {1, 4, 0, "C", "95OSR2", 1, 1},
        {1, 4, 0, " ", "95", 1, 1},          {1, 4, 10, "A", "98SE", 2, 1},
        {1, 4, 90, "", "Me", 3, 1},          {2, 3, 51, "", "NT 3.51", 0x104, 1},
        {2, 4, 0, "", "4.0", 0x105, 1},      {2, 5, 0, "", "2000", 0x106, 1},
        {2, 5, 1, "Service Pack 3", "XP", 0x107, 1},
        {2, 6, 0, "", "Vista", 0x108, 1},    {2, 5, 2, "", "", 77, 0},
        {2, 10, 0, "", "", 77, 0},           {1, 4, 50, "", "", 77, 0},
    };
    for (const auto& c : cases) {
        char suffix[16];
        int32_t code = 77;
        EXPECT_EQ(LookupOsNameAndCode(c.platform, c.major, c.minor, c.servicePack, suffix, &code), c.found);
        EXPECT_STREQ(suffix, c.suffix);
        EXPECT_EQ(code, c.code) << c.suffix;
    }
}

class SysInfoTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SystemStateRecord.settings.noLogStamp = 1;
        SystemStateRecord.head = SystemDescription{};
        SetVirtualClockStep(1);  // the speed measurement reads the clock until 100 ms passed
        SetVirtualCycleRate(2000000);
        OSVERSIONINFOA xp{sizeof(OSVERSIONINFOA), 5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 3"};
        SetFakeVersionInfo(&xp);
    }
    void TearDown() override {
        RemoveFakeCpu();
        SetFakeVersionInfo(nullptr);
        LogTest::TearDown();
    }
    const std::string head =
        "システムの情報を出力します\r\n"
        "\tＺＱライブラリ Ver1.00\r\n"
        "\tＯＳ  WindowsXP ( Build 2600 Service Pack 3 )\r\n";
};

TEST_F(SysInfoTest, FullProcessor) {
    FakeCpu cpu = {1, "GenuineIntel", (1u << 4) | (1u << 23), "Test CPU 3000"};
    InstallFakeCpu(&cpu);
    LogSystemInfo();
    // 101 ms pass between the two counter reads (the last clock read moves it on).
    EXPECT_EQ(Log(), head +
                         "\tＣＰＵ動作速度：大体2.02GHz\r\n"
                         "\tＭＭＸ命令を使用します\r\n"
                         "\tＣＰＵベンダ：GenuineIntel\r\n"
                         "\tＣＰＵ名：Test CPU 3000\r\n");
    const SystemDescription& h = SystemStateRecord.head;
    EXPECT_EQ(h.osCode, 0x107);
    EXPECT_STREQ(h.osText, "WindowsXP ( Build 2600 Service Pack 3 )");
    EXPECT_EQ(h.directXVersion, 0x70000);
    EXPECT_EQ(h.mmxInUse, 1);
    EXPECT_EQ(h.processorMHz, 2020);
    EXPECT_EQ(h.processorFrequency, 2020000000u);
    EXPECT_STREQ(h.processorName, "Test CPU 3000");
    EXPECT_EQ(SystemStateRecord.log.indentLevel, 0);
}

TEST_F(SysInfoTest, NoBrandNoCounterNoMmx) {
    FakeCpu cpu = {1, "AuthenticAMD", 0, nullptr};
    InstallFakeCpu(&cpu);
    LogSystemInfo();
    EXPECT_EQ(Log(), head +
                         "\tＭＭＸは使えません\r\n"
                         "\tＣＰＵベンダ：AuthenticAMD\r\n");
    EXPECT_EQ(SystemStateRecord.head.processorFrequency, 0u);
    EXPECT_EQ(SystemStateRecord.head.processorName[0], '\0');
}

TEST_F(SysInfoTest, NoCpuid) {
    FakeCpu cpu = {0, "", 0, nullptr};
    InstallFakeCpu(&cpu);
    LogSystemInfo();
    EXPECT_EQ(Log(), head + "\tＣＰＵＩＤ命令は使えません\r\n");
    EXPECT_EQ(SystemStateRecord.head.mmxInUse, 0);
}

TEST_F(SysInfoTest, UnknownSystemKeepsTheCodeAndNamesTheHost) {
    FakeCpu cpu = {0, "", 0, nullptr};
    InstallFakeCpu(&cpu);
    OSVERSIONINFOA other{sizeof(OSVERSIONINFOA), 10, 0, 19045, VER_PLATFORM_WIN32_NT, "Linux 6.1"};
    SetFakeVersionInfo(&other);
    LogSystemInfo();
    EXPECT_NE(Log().find("\tＯＳ  Windows ( Build 19045 Linux 6.1 )\r\n"), std::string::npos);
    EXPECT_EQ(SystemStateRecord.head.osCode, 0);
}
