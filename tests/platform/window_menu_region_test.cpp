// Menus, the toolbar control and regions of the window group.
#include "platform/window/window_menu.h"
#include "platform/window/window_region.h"
#include "window_test_support.h"

TEST_F(WindowTest, MenusKeepItemsAndReportChoicesAsCommands) {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuA(file, MF_STRING, 101, "Open"));
    ASSERT_TRUE(AppendMenuA(file, MF_SEPARATOR, 0, nullptr));
    ASSERT_TRUE(AppendMenuA(file, MF_STRING | MF_GRAYED, 102, "Save"));
    ASSERT_TRUE(AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File"));
    EXPECT_EQ(1, GetMenuItemCount(bar));
    EXPECT_EQ(3, GetMenuItemCount(file));
    EXPECT_EQ(file, GetSubMenu(bar, 0));

    char name[8];
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_TYPE | MIIM_STATE;
    info.dwTypeData = name;
    info.cch = sizeof name;
    ASSERT_TRUE(GetMenuItemInfoA(bar, 102, FALSE, &info));  // by command, through the submenu
    EXPECT_STREQ("Save", name);
    EXPECT_EQ(4u, info.cch);
    EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), info.fState);
    info.dwTypeData = name;
    info.cch = sizeof name;
    ASSERT_TRUE(GetMenuItemInfoA(file, 1, TRUE, &info));
    EXPECT_EQ(static_cast<UINT>(MFT_SEPARATOR), info.fType);

    HWND w = Create();
    EXPECT_FALSE(WindowSeamChooseMenuItem(w, 101));  // no menu attached yet
    ASSERT_TRUE(SetMenu(w, bar));
    EXPECT_EQ(bar, GetMenu(w));
    Drain();
    SeenMessages().clear();
    EXPECT_TRUE(WindowSeamChooseMenuItem(w, 101));
    EXPECT_FALSE(WindowSeamChooseMenuItem(w, 102));  // greyed
    Drain();
    ASSERT_EQ(1u, Seen(WM_COMMAND).size());
    EXPECT_EQ(101u, LOWORD(Seen(WM_COMMAND)[0].wParam));

    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_EQ(-1, GetMenuItemCount(file));  // submenus go with it
    EXPECT_EQ(nullptr, GetMenu(w));
}

TEST_F(WindowTest, ToolbarKeepsButtonsAndSizesToItsParent) {
    HWND w = Create("Test", 0, 0, 150, 200);
    EXPECT_EQ(nullptr, CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD, 0, 0, 0, 0, w, nullptr, nullptr, nullptr));
    InitCommonControls();
    HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, w, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, bar);
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBADDBITMAP bitmap = {nullptr, 1};
    EXPECT_EQ(0, SendMessageA(bar, TB_ADDBITMAP, 4, reinterpret_cast<LPARAM>(&bitmap)));
    SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    TBBUTTON buttons[2] = {};
    buttons[0].idCommand = 1280;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[1].idCommand = 1281;
    ASSERT_TRUE(SendMessageA(bar, TB_ADDBUTTONSA, 2, reinterpret_cast<LPARAM>(buttons)));
    EXPECT_EQ(2, SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    RECT r;
    GetWindowRect(bar, &r);
    EXPECT_EQ(150, r.right - r.left);
    EXPECT_EQ(27, r.bottom - r.top);

    Drain();
    SeenMessages().clear();
    EXPECT_TRUE(WindowSeamClickToolbarButton(bar, 1280));
    EXPECT_FALSE(WindowSeamClickToolbarButton(bar, 1281));  // disabled
    Drain();
    ASSERT_EQ(1u, Seen(WM_COMMAND).size());
    EXPECT_EQ(w, Seen(WM_COMMAND)[0].window);
    EXPECT_EQ(1280u, LOWORD(Seen(WM_COMMAND)[0].wParam));

    ASSERT_TRUE(SendMessageA(bar, TB_DELETEBUTTON, 0, 0));
    EXPECT_EQ(1, SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(bar));  // children go with their parent
}

static std::vector<RECT> RectsOf(HRGN region) {
    std::vector<RECT> rects(static_cast<size_t>(std::max(GetRegionRectangles(region, nullptr, 0), 0)));
    GetRegionRectangles(region, rects.data(), static_cast<int>(rects.size()));
    return rects;
}

TEST(WindowRegion, CombinationsGiveBandedDisjointRectangles) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(0, 0, 10, 10);
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(NULLREGION, CombineRgn(out, a, b, RGN_XOR));  // the empty start of a bitmap region
    HRGN row0 = CreateRectRgn(5, 0, 10, 1);
    HRGN row1 = CreateRectRgn(5, 1, 10, 2);
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, out, row0, RGN_OR));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, out, row1, RGN_OR));  // equal rows join
    auto rects = RectsOf(out);
    ASSERT_EQ(1u, rects.size());
    EXPECT_EQ(5, rects[0].left);
    EXPECT_EQ(2, rects[0].bottom);
    HRGN c = CreateRectRgn(3, 3, 7, 7);
    EXPECT_EQ(COMPLEXREGION, CombineRgn(out, a, c, RGN_DIFF));
    EXPECT_EQ(4u, RectsOf(out).size());  // above, left, right, below the hole
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, a, c, RGN_AND));
    for (HRGN r : {a, b, out, row0, row1, c}) EXPECT_TRUE(DeleteRgn(r));
    EXPECT_FALSE(DeleteRgn(a));
}

TEST(WindowRegion, ExtCreateRegionUnitesItsRectangles) {
    struct {
        RGNDATAHEADER rdh;
        RECT rects[3];
    } data = {{sizeof(RGNDATAHEADER), RDH_RECTANGLES, 3, 0, {}}, {{0, 0, 4, 1}, {2, 0, 6, 1}, {0, 1, 6, 2}}};
    HRGN region = ExtCreateRegion(nullptr, sizeof data, reinterpret_cast<const RGNDATA*>(&data));
    auto rects = RectsOf(region);
    ASSERT_EQ(1u, rects.size());
    EXPECT_EQ(6, rects[0].right);
    EXPECT_EQ(2, rects[0].bottom);
    DeleteRgn(region);
}

TEST_F(WindowTest, HeadlessDriverHasNoShapedWindows) {
    HWND w = Create();
    HRGN region = CreateRectRgn(0, 0, 5, 5);
    EXPECT_EQ(0, SetWindowRgn(w, region, TRUE));
    EXPECT_TRUE(DeleteRgn(region));  // still the caller's after the failure
}
