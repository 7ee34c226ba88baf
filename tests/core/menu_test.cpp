// Menus, toolbar records, the region builder and the cursor of the main window.
#include "library/core/menu.h"
#include "library_test_support.h"
#include "platform/window/window_region.h"

static std::vector<RECT> RectsOf(HRGN region) {
    std::vector<RECT> rects(static_cast<size_t>(std::max(GetRegionRectangles(region, nullptr, 0), 0)));
    GetRegionRectangles(region, rects.data(), static_cast<int>(rects.size()));
    return rects;
}

TEST(RegionBuilder, CoversTheNonZeroPixelsOfEveryRow) {
    // 8 x 3 pixels of 2 bytes: left half zero, right half not.
    uint16_t pixels[3][8] = {};
    for (auto& row : pixels) {
        for (int x = 4; x < 8; ++x) row[x] = 0x0101;
    }
    HRGN region = BuildRegionFromPixels(8, 3, pixels, 16, 2);
    auto rects = RectsOf(region);
    ASSERT_EQ(1u, rects.size());  // equal rows join into one rectangle
    EXPECT_EQ(4, rects[0].left);
    EXPECT_EQ(8, rects[0].right);
    EXPECT_EQ(0, rects[0].top);
    EXPECT_EQ(3, rects[0].bottom);
    DeleteRgn(region);
}

TEST(RegionBuilder, ThreeBytePixelsAreEmptyOnlyWhenAllThreeBytesAreZero) {
    const unsigned char row[4 * 3 + 4] = {0, 0, 0, 0, 0, 7, 1, 0, 0, 0, 0, 0};
    HRGN region = BuildRegionFromPixels(4, 1, row, 16, 3);
    auto rects = RectsOf(region);
    ASSERT_EQ(1u, rects.size());
    EXPECT_EQ(1, rects[0].left);
    EXPECT_EQ(3, rects[0].right);
    DeleteRgn(region);
}

TEST(MenuRecords, TheTableStopsAt128AndRemovesFromAnyPlace) {
    SystemStateRecord.menu.itemCount = 0;
    HMENU menu = CreateMenu();
    for (int i = 0; i < 130; ++i) AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(100 + i), "item");
    EXPECT_EQ(-1, RecordMenuItems(menu));  // full: the 129th item is not written past the table
    EXPECT_EQ(MenuItemCapacity, SystemStateRecord.menu.itemCount);
    EXPECT_EQ(-1, AddMenuItemRecord(menu, 0, 1, "more"));
    EXPECT_EQ(0, RemoveMenuItemRecord(nullptr, 100 + 127));  // the last record
    EXPECT_EQ(127, SystemStateRecord.menu.itemCount);
    EXPECT_EQ(0, RemoveMenuItemRecord(nullptr, 100));
    EXPECT_EQ(101, SystemStateRecord.menu.items[0].id);
    EXPECT_EQ(nullptr, FindMenuItemRecord(nullptr, 100));
    EXPECT_NE(nullptr, FindMenuItemRecord("item", 0));
    DestroyMenu(menu);
    SystemStateRecord.menu.itemCount = 0;
}

TEST(ToolbarRecords, FindSkipsKindThreeAndNeedsAToolbar) {
    SystemMenuState& m = SystemStateRecord.menu;
    m.toolbarButtons[0] = {7, 3, 0, 0};
    m.toolbarButtons[1] = {7, 0, 0, 0};
    m.toolbarButtonCount = 2;
    EXPECT_EQ(-1, FindToolbarButton(7));
    m.toolbarExists = 1;
    EXPECT_EQ(1, FindToolbarButton(7));
    EXPECT_EQ(-1, FindToolbarButton(8));
    m = SystemMenuState{};
}

class FullScreenMenuTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        SystemStateRecord.settings.windowed = 0;
        ASSERT_EQ(0, InitializeLibrary());
        ASSERT_EQ(0, SetMenuInUse(1));
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 40, "Open");
        AppendMenuA(SystemStateRecord.settings.menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");
        RecordMenuItems(SystemStateRecord.settings.menu);
    }
};

TEST_F(FullScreenMenuTest, TheMenuShowsOnlyWhileTheMouseIsNearTheTop) {
    WindowSeamSetCursorPos(100, 60);
    ProcessMessage();
    EXPECT_EQ(nullptr, GetMenu(MainWindow()));
    WindowSeamSetCursorPos(100, 59);
    ProcessMessage();
    EXPECT_EQ(SystemStateRecord.settings.menu, GetMenu(MainWindow()));
    EXPECT_EQ(1, SystemStateRecord.menu.cursorVisible);  // forced visible while the menu shows
    ShowMouseCursor(0);
    ProcessMessage();
    EXPECT_EQ(1, SystemStateRecord.menu.cursorVisible);
    EXPECT_TRUE(WindowSeamCursorShown());
    WindowSeamSetCursorPos(100, 60);
    ProcessMessage();
    ProcessMessage();
    EXPECT_EQ(nullptr, GetMenu(MainWindow()));
    EXPECT_FALSE(WindowSeamCursorShown());
}

TEST_F(FullScreenMenuTest, ChosenItemsAreRecordedByIdAndName) {
    static std::string chosenName;
    SystemStateRecord.settings.menuCallback = [](const char* name, int) { chosenName = name; };
    WindowSeamSetCursorPos(100, 10);
    ProcessMessage();
    ASSERT_TRUE(WindowSeamChooseMenuItem(MainWindow(), 40));
    ProcessMessage();
    EXPECT_EQ(40, TakeChosenMenuItem());
    EXPECT_EQ(-1, TakeChosenMenuItem());
    EXPECT_EQ("Open", chosenName);
    SystemStateRecord.settings.menuCallback = nullptr;
}
