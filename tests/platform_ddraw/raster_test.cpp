// The virtual raster: scan line and vertical blank follow the clock and always move on.
#include "ddraw_fixture.h"

class RasterTest : public DDrawTest {
protected:
    void SetUp() override {
        // 480 visible lines + 34 blank lines (1.1 ms) per 1/60 s.
        ResetDisplayForTest(DesktopFormat::Xrgb8888, 640, 480, 60);
        InstallVirtualClock(0, 0);
        MakeObject();
    }
    void TearDown() override {
        RemoveVirtualClock();
        DDrawTest::TearDown();
    }
    int Line() {
        DWORD line = 0;
        IDirectDraw7_GetScanLine(dd, &line);
        return static_cast<int>(line);
    }
    bool InBlank() {
        BOOL blank = FALSE;
        EXPECT_EQ(DD_OK, IDirectDraw7_GetVerticalBlankStatus(dd, &blank));
        return blank != FALSE;
    }
};

TEST_F(RasterTest, ScanLineFollowsTheClock) {
    EXPECT_EQ(0, Line());
    SetVirtualClockMilliseconds(8); // 8 ms of 16.67: line 8 / 16.67 * 514
    EXPECT_EQ(246, Line());
    SetVirtualClockMilliseconds(16); // line 493: in the blank
    DWORD line = 0;
    EXPECT_EQ(DDERR_VERTICALBLANKINPROGRESS, IDirectDraw7_GetScanLine(dd, &line));
    EXPECT_EQ(493u, line);
    EXPECT_TRUE(InBlank());
    SetVirtualClockMilliseconds(17); // the next frame has begun
    EXPECT_FALSE(InBlank());
    EXPECT_EQ(10, Line()); // 1/3 ms into it
}

TEST_F(RasterTest, AStoppedClockStillMovesTheRasterThroughAWholeFrame) {
    // The library polls until the line wraps or the blank begins, then until it ends.
    int polls = 0;
    int previous = Line();
    bool sawBlank = false, wrapped = false;
    while (!(sawBlank && wrapped) && polls < 100000) {
        ++polls;
        bool blank = InBlank();
        int line = Line();
        sawBlank |= blank;
        if (line < previous) wrapped = true;
        previous = line;
    }
    EXPECT_TRUE(sawBlank);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(0u, PeekVirtualClockMilliseconds()); // the clock itself did not move
}

TEST_F(RasterTest, AFreshDesktopForgetsWhatAStoppedClockAddedToTheRaster) {
    for (int i = 0; i < 200; ++i) Line();  // every few reads of a stopped clock move it on
    EXPECT_NE(0, Line());
    ResetDisplayForTest(DesktopFormat::Xrgb8888, 640, 480, 60);
    EXPECT_EQ(0, Line());
}

TEST_F(RasterTest, WaitForVerticalBlankSleepsToTheNextBlankStart) {
    SetVirtualClockMilliseconds(3);
    ASSERT_EQ(DD_OK, IDirectDraw7_WaitForVerticalBlank(dd, DDWAITVB_BLOCKBEGIN, nullptr));
    EXPECT_TRUE(InBlank());
    EXPECT_EQ(480, Line());
    // The whole milliseconds up to the blank were slept on the clock.
    EXPECT_EQ(15u, PeekVirtualClockMilliseconds());

    // Waiting inside a blank waits for the next one.
    ASSERT_EQ(DD_OK, IDirectDraw7_WaitForVerticalBlank(dd, DDWAITVB_BLOCKBEGIN, nullptr));
    EXPECT_TRUE(InBlank());
    EXPECT_GE(PeekVirtualClockMilliseconds(), 31u);
    EXPECT_EQ(DDERR_UNSUPPORTED, IDirectDraw7_WaitForVerticalBlank(dd, 4, nullptr));
}

TEST_F(RasterTest, FrameTimesMeasuredFromTheRasterMatchTheRefreshRate) {
    // A clock that moves 1 ms per read: the blank-to-blank times are 16 or 17 ms.
    SetVirtualClockStep(1);
    std::vector<DWORD> samples;
    for (int i = 0; i < 6; ++i) {
        while (InBlank()) {
        }
        DWORD start = timeGetTime();
        while (!InBlank()) {
        }
        samples.push_back(timeGetTime() - start);
    }
    for (size_t i = 1; i < samples.size(); ++i) {
        EXPECT_GE(samples[i], 14u) << i;
        EXPECT_LE(samples[i], 18u) << i;
    }
}
