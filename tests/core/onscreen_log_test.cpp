// The on-screen log's line layout (with a fixed character measure) and its start.
#include <gtest/gtest.h>

#include <string>

#include "library/core/onscreen_log.h"

// 8 pixels per byte.
static int MeasureEightPerByte(const char*, int length, int) { return 8 * length; }

class OnScreenLayout : public ::testing::Test {
protected:
    void SetUp() override {
        log.lineHeight = 16;
        log.tabWidth = 4;
    }
    void Add(const std::string& text) { LayOutOnScreenLogText(&log, &screen, text.c_str()); }
    OnScreenLogState log{};
    OnScreenLogScreen screen{640, 480, MeasureEightPerByte};
};

TEST_F(OnScreenLayout, A480PixelScreenUses30LinesAndThenScrolls) {
    for (int i = 0; i < 30; i++) Add(std::to_string(i) + "\n");
    EXPECT_EQ(log.currentLine, 29);
    EXPECT_STREQ(log.lines[0], "1");  // the 30th line feed scrolled
    EXPECT_STREQ(log.lines[28], "29");
    Add("30");
    EXPECT_STREQ(log.lines[29], "30");
}

TEST_F(OnScreenLayout, DropsControlBytesAndQuestionMarksAndExpandsTabs) {
    Add("a?\tb\r\x07\x08\x0B\x0C!");
    EXPECT_STREQ(log.lines[0], "a    b!");
    EXPECT_EQ(log.lineWidth, 8 * 7);
}

TEST_F(OnScreenLayout, WrapsByWidthWithoutSplittingACharacter) {
    screen.width = 40;
    Add("abcd表");  // 32 px + 16 px would reach 40
    EXPECT_STREQ(log.lines[0], "abcd");
    EXPECT_STREQ(log.lines[1], "表");
}

TEST_F(OnScreenLayout, WrapsByBytes) {
    screen.width = 100000;
    Add(std::string(300, 'x'));
    EXPECT_EQ(std::string(log.lines[0]), std::string(254, 'x'));
    EXPECT_EQ(std::string(log.lines[1]), std::string(46, 'x'));
}

TEST(OnScreenLog, NeedsDirectDrawAndAWindow) {
    EXPECT_EQ(InitOnScreenLog(), -1);
    EXPECT_EQ(AddOnScreenLogText("x"), 0);
    EXPECT_EQ(SystemStateRecord.onScreenLog.lines[0][0], '\0');
    EXPECT_EQ(DrawOnScreenLog(), 0);
    EXPECT_EQ(CheckOnScreenLogShown(), 0);
    EXPECT_EQ(EndOnScreenLog(), 0);
}
