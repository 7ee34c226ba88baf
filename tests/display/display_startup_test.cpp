// Display start-up and shutdown: both output configurations with their Log.txt
// sequences, the video-card lines, refusals and injected failures, the overlay probe,
// and the release and re-creation of the DirectDraw object around a lost device.
#include <cstring>

#include "display_test_support.h"
#include "library/display/blend_tables.h"
#include "library/display/display_device.h"
#include "library/display/screen_mode.h"

namespace {

// Log lines as Log.txt holds them once masked: "#:" stamps and CR LF ends.
std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "#:" + line + "\r\n";
    return text;
}

const std::vector<std::string> kDirectDrawObjectLines = {
    "\tDirectDraw オブジェクトの取得を行います....  成功",
    "\t引き続き初期化処理... 初期化に成功しました",
    "\tビデオカードの情報",
};

// Graph management starts inside the screen-mode change, once the screens exist, and
// ends with the font reset that makes the default font.
const std::vector<std::string> kGraphManagerStartLines = {
    "\t\tグラフィック管理系の初期化を行います",
    "\t\t\t３Ｄグラフィック描画機能は使用しません",
    "\t\t\tフォントの初期化を行います",
    "\t\t\tフォントの初期化は正常に終了しました",
    "\t\tグラフィック管理系の初期化は正常に終了しました",
};

// The game's first mode change with DirectDraw output, up to the screens it made.
const std::vector<std::string> kWindowSurfacesLines = {
    "\t画面モード変更処理を開始します",
    "\t\t画面モードの変更処理を開始します 150 x 200  16 bit ",
    "\t\t\tウインドウモードにします",
    "\t\t画面モードの変更は正常に終了しました ",
    "\t\tカラー情報",
    "\t\t\tA:00000000  B:00ff0000  G:0000ff00  B:000000ff",
    "\t\tウインドウスタイルをウインドウモード用に変更します... 完了",
    "\t\t出力画面用の DirectDrawSurface を作成します",
    "\t\t\t各スクリーンメモリの配置位置",
    "\t\t\t\tPrimaryBuffer : VIDEOMEMORY  ",
    "\t\t\t\tBaskBuffer : VIDEOMEMORY  ",
    "\t\t出力画面用の DirectDrawSurface の作成は正常に終了しました",
};

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST_F(DisplayTest, DirectDrawOutputStartsWithSurfacesTimingAndBlendTables) {
    GameSettings();
    StartDisplay(true);
    const std::string expected = Lines(Join({
        {"DirectDraw 関連の初期化を行います"},
        kDirectDrawObjectLines,
        kWindowSurfacesLines,
        kGraphManagerStartLines,
        {
            "\t\tサーフェス間転送には BitBlt を使用します",
            "\t\tBitBlt:#μs   BltFast:#μs",
            "\t\tスキャンラインの数:768",
            "\t\t１フレーム当たりの時間は # msecです",
            "\t\t\tTri00:# msec",
            "\t\t\tTri01:# msec",
            "\t\t\tTri02:# msec",
            "\t\t\tTri03:# msec",
            "\t画面モード変更処理は正常に終了しました",
            "\tオーバーレイサーフェスは使用しません",
            "DirectDraw 関連の初期化は正常に終了しました",
        },
    }));
    EXPECT_EQ(expected, Between(MaskedLog(), "DirectDraw 関連の初期化を行います", "DirectDraw 関連の初期化は正常に終了しました"));

    const ScreenState& s = g_Screen;
    EXPECT_EQ(1, IsDirectDrawUsed());
    EXPECT_EQ(0, IsSoftwareRenderMode());
    EXPECT_EQ(32, s.colorBits);  // the desktop's depth in a window
    EXPECT_EQ(ScreenPixelXrgb8888, s.pixelKind);
    ASSERT_NE(nullptr, s.PrimarySurface);
    ASSERT_NE(nullptr, s.BackSurface);
    ASSERT_NE(nullptr, s.ZBufferSurface);
    EXPECT_EQ(nullptr, s.FrontCopySurface);
    for (IDirectDrawSurface7* work : s.WorkSurface) {
        ASSERT_NE(nullptr, work);
        DDSCAPS2 caps{};
        IDirectDrawSurface7_GetCaps(work, &caps);
        EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
        DDCOLORKEY key{1, 1};
        EXPECT_EQ(DD_OK, IDirectDrawSurface7_GetColorKey(work, DDCKEY_SRCBLT, &key));
        EXPECT_EQ(0u, key.dwColorSpaceLowValue);
    }
    DDSCAPS2 zCaps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface7* attached = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetAttachedSurface(s.BackSurface, &zCaps, &attached));
    EXPECT_EQ(s.ZBufferSurface, attached);
    IDirectDrawSurface7_Release(attached);

    EXPECT_EQ(60, s.measuredRefreshRate);
    EXPECT_GT(s.framePeriod, 0);
    EXPECT_EQ((2 * s.framePeriod - 4) / 3, s.FramePacingThreshold);
    EXPECT_EQ(1, s.SoftRenderUseMMX);
    EXPECT_EQ(1, s.graphicsStarted);
    EXPECT_EQ(1, s.startupDone);
    EXPECT_EQ(-1, s.overlayFormatIndex);
    DDCAPS caps{};
    CopyDirectDrawCaps(&caps);
    EXPECT_EQ(sizeof(DDCAPS), caps.dwSize);
    EXPECT_EQ(128, BlendMulTable[255][128]);
    EXPECT_EQ(32, BlendLerp6Table[32][63][0]);
}

TEST_F(DisplayTest, GdiOutputStartUpFallsBackWhenDirect3DCannotStart) {
    GameSettings();
    StartLibrary();
    const std::string expected = Lines(Join({
        {"DirectDraw 関連の初期化を行います"},
        kDirectDrawObjectLines,
        kWindowSurfacesLines,
        {
            // Direct3D cannot be set up: the screens go and the whole start-up is undone.
            "\t\tDirect3D 関連の初期化を行います",
            "\t\tＤｉｒｅｃｔ３Ｄオブジェクトを取得します",
            "\t\tDirect3Dオブジェクトの作成に失敗しました",
            "\tメインサーフェスを破棄をします... 完了しました",
            "DirectDraw 関連の終了処理をおこないます",
            "\tＤｉｒｅｃｔＤｒａｗオブジェクトを解放します",
            "\tＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました",
            "DirectDraw 関連の終了処理は正常に終了しました",
            "ソフトウエアレンダリングモードに変更します",
            "DirectDraw 関連の初期化を行います",
        },
        kDirectDrawObjectLines,
        {
            "\t画面モード変更処理を開始します",
            "\t\t画面モードの変更処理を開始します 150 x 200  32 bit ",
            "\t\t\tウインドウモードにします",
            "\t\t画面モードの変更は正常に終了しました ",
            "\t\tウインドウスタイルをウインドウモード用に変更します... 完了",
            "\t\t出力画面用の DirectDrawSurface を作成します",
            "\t\t\t各スクリーンメモリの配置位置",
            "\t\t\t\tPrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ",
            "\t\t\t\tBaskBuffer : SYSTEMMEMORY( MEMIMG ) ",
            "\t\t出力画面用の DirectDrawSurface の作成は正常に終了しました",
        },
        kGraphManagerStartLines,
        {
            "\t画面モード変更処理は正常に終了しました",
            "\tオーバーレイサーフェスは使用しません",
            "DirectDraw 関連の初期化は正常に終了しました",
        },
    }));
    EXPECT_EQ(expected, Between(MaskedLog(), "DirectDraw 関連の初期化を行います", "DirectDraw 関連の初期化は正常に終了しました"));

    const ScreenState& s = g_Screen;
    EXPECT_EQ(0, IsDirectDrawUsed());
    EXPECT_EQ(1, IsSoftwareRenderMode());
    EXPECT_EQ(1, s.MemImgScreen);
    EXPECT_EQ(nullptr, s.PrimarySurface);
    EXPECT_NE(nullptr, s.directDraw);  // kept for the vertical-blank waits
    EXPECT_EQ(nullptr, s.clipper);
    EXPECT_EQ(150, BackMemImg.width);
    EXPECT_EQ(200, BackMemImg.height);
    EXPECT_EQ(MemImgFormat32, BackMemImg.formatKind);  // the depth the first attempt took from the desktop
    EXPECT_EQ(MemImgFormatZ16, ZBufferMemImg.formatKind);
    EXPECT_EQ(0u, *reinterpret_cast<uint32_t*>(MemImgPixelAddress(&BackMemImg, 149, 199)) & 0xFFFFFF);
    EXPECT_EQ(60, s.measuredRefreshRate);
    EXPECT_EQ(-1, s.FramePacingThreshold);

    ShutdownLibrary();
    started_ = false;
    EXPECT_EQ(Lines({
                  "DirectDraw 関連の終了処理をおこないます",
                  "\tフォントの初期化を行います",  // the font shutdown resets the fonts first
                  "\tフォントの初期化は正常に終了しました",
                  "\tグラフィック管理系の終了処理は正常に終了しました",
                  "\tＤｉｒｅｃｔＤｒａｗオブジェクトを解放します",
                  "\tＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました",
                  "\t画面モードを元に戻す処理は正常に終了しました",
                  "DirectDraw 関連の終了処理は正常に終了しました",
              }),
              Between(MaskedLog().substr(MaskedLog().rfind("DirectDraw 関連の初期化は正常に終了しました")),
                      "DirectDraw 関連の終了処理をおこないます", "DirectDraw 関連の終了処理は正常に終了しました"));
    EXPECT_EQ(0, LiveDirectDrawObjects());
}

TEST_F(DisplayTest, GdiOutputOnASixteenBitDesktopMakesSixteenBitImages) {
    ResetDisplayForTest(DesktopFormat::Rgb565);
    GameSettings();
    StartLibrary();
    EXPECT_EQ(16, g_Screen.colorBits);
    EXPECT_EQ(MemImgFormat16, FrontMemImg.formatKind);
    EXPECT_EQ(MemImgFormat16, BackMemImg.formatKind);
    EXPECT_EQ(ScreenPixelRgb565, g_Screen.pixelKind);
}

TEST_F(DisplayTest, NothingSetStartsFullScreenAt640By480By16) {
    StartDisplay(true);
    EXPECT_EQ(640, g_Screen.width);
    EXPECT_EQ(480, g_Screen.height);
    EXPECT_EQ(16, g_Screen.colorBits);
    EXPECT_EQ(ScreenCoopFullScreen, g_Screen.cooperativeLevel);
    EXPECT_EQ(1, IsDisplayModeChanged());
    EXPECT_EQ(640, GetSystemMetrics(SM_CXSCREEN));  // the desktop is in the mode
    EXPECT_EQ(16, GetDesktopColorBits());
    EXPECT_EQ(1, SystemStateRecord.mode.displayChangeSeen);  // the window heard of it
    EXPECT_NE(std::string::npos, Log().find("画面解像度を変更します... 成功しました\r\n"));

    ShutdownLibrary();
    started_ = false;
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));  // the desktop's own mode is back
}

TEST_F(DisplayTest, ASecondStartIsRefusedWithoutALogLine) {
    GameSettings();
    StartDisplay(true);
    const std::string before = Log();
    EXPECT_EQ(-1, StartDirectDrawSystem());
    EXPECT_EQ(before, Log());
}

TEST_F(DisplayTest, ShiftHeldWhileTheObjectIsMadeLogsTheVideoCard) {
    PrepareWindowless();
    IDirectDraw7* object = nullptr;
    ASSERT_EQ(0, CreateDirectDrawObject(&object));
    IDirectDraw7_Release(object);
    EXPECT_EQ(16u * 1024 * 1024, g_Screen.videoMemoryTotal);
    EXPECT_EQ(0u, g_Screen.videoMemoryFree);
    EXPECT_STREQ("", g_Screen.videoDriverName);
    const std::string withoutShift = MaskedLog();

    HoldKeyForTest(VK_SHIFT, true);
    ASSERT_EQ(0, CreateDirectDrawObject(&object));
    IDirectDraw7_Release(object);
    HoldKeyForTest(VK_SHIFT, false);
    EXPECT_EQ(withoutShift + Lines(Join({
                                 {"DirectDraw オブジェクトの取得を行います....  成功",
                                  "引き続き初期化処理... 初期化に成功しました", "ビデオカードの情報",
                                  "\tビデオカードドライバ:zqvdisp バージョン:7.0.0.1 ",
                                  "\tドライバ記述:Virtual desktop display ",
                                  "\tビデオメモリ総量:128.00MB ビデオメモリ空き容量:128.00MB"},
                             })),
              MaskedLog());
    EXPECT_STREQ("zqvdisp", g_Screen.videoDriverName);
    EXPECT_EQ(128u * 1024 * 1024, g_Screen.videoMemoryTotal);
}

TEST_F(DisplayTest, AZBufferFailureFallsBackToGdiOutput) {
    FailSurfaceCreation(DDSCAPS_ZBUFFER, DDERR_OUTOFVIDEOMEMORY);
    GameSettings();
    StartDisplay(true);
    const std::string log = MaskedLog();
    size_t z = log.find("\t\t\tＺバッファの作成に失敗しました\r\n");
    size_t surfaces = log.find("\tDirectDrawSurface の初期化に失敗しました\r\n");
    size_t fallback = log.find("ソフトウエアレンダリングモードに変更します\r\n");
    ASSERT_NE(std::string::npos, z);
    ASSERT_NE(std::string::npos, surfaces);
    ASSERT_NE(std::string::npos, fallback);
    EXPECT_LT(z, surfaces);
    EXPECT_LT(surfaces, fallback);
    EXPECT_EQ(1, IsSoftwareRenderMode());
    EXPECT_EQ(1, g_Screen.MemImgScreen);
}

TEST_F(DisplayTest, AnObjectThatCannotBeMadeEndsTheProcess) {
    PrepareWindowless();
    EXPECT_EXIT(
        {
            FailNextDirectDrawCreations(1);
            StartGraphicsDevice(nullptr);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find("\tDirectDraw オブジェクトの取得を行います....  オブジェクトの取得に失敗しました\r\n"));
    EXPECT_NE(std::string::npos, Log().find("DirectDrawオブジェクトの作成に失敗しました\r\n"));
}

TEST_F(DisplayTest, OnVistaTheFrontCopySurfaceIsMadeAndNoOverlayIsProbed) {
    GameSettings();
    SetFrontCopySurfaceUse(1);
    StartDisplay(true, OsCodeWindowsVista);
    EXPECT_NE(nullptr, g_Screen.FrontCopySurface);
    EXPECT_EQ(g_Screen.FrontCopySurface, GetFrontBufferSurface());
    EXPECT_EQ(-1, g_Screen.overlayFormatIndex);
    EXPECT_EQ(std::string::npos, Log().find("オーバーレイ"));
}

TEST_F(DisplayTest, ATwentyFourBitDesktopIsRefused) {
    // A window on a packed 24-bit desktop: library start-up refuses at once.
    ResetDisplayForTest(DesktopFormat::Rgb888);
    GameSettings();
    EXPECT_EQ(-1, InitializeLibrary());
    EXPECT_NE(std::string::npos, Log().find("ＺＱライブラリは２４ビットカラーモードに対応していません\r\n"));

    // The display's own refusals: the desktop depth in a window, 24 bits in full screen.
    IDirectDraw7* object = nullptr;
    ASSERT_EQ(0, CreateDirectDrawObject(&object));
    int changed = 0;
    EXPECT_EQ(-1, SetInitialDisplayMode(object, 1024, 768, 150, 200, 16, nullptr, nullptr, 1, &changed, nullptr));
    EXPECT_EQ(-1, SetInitialDisplayMode(object, 1024, 768, 640, 480, 24, nullptr, nullptr, 0, &changed, nullptr));
    IDirectDraw7_Release(object);
}

TEST_F(DisplayTest, AWindowLargerThanTheDesktopEndsTheProcess) {
    PrepareWindowless();
    SetScreenMode(2000, 200, 16, 0);
    EXPECT_EXIT(StartGraphicsDevice(nullptr), ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find("デスクトップ画面のサイズが足りません、ソフトを終了します\r\n"));
}

TEST_F(DisplayTest, LostSurfacesAreRestoredAndTheObjectIsMadeAgain) {
    GameSettings();
    StartDisplay(true);
    ScreenState& s = g_Screen;
    MarkAllSurfacesLost();
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_IsLost(s.BackSurface));
    EXPECT_EQ(0, RestoreScreenSurfaces());
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(s.PrimarySurface));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(s.BackSurface));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(s.ZBufferSurface));

    // The device itself is lost: everything on it goes, then comes back in the same mode.
    const size_t logBefore = MaskedLog().size();
    ReleaseScreenSurfaces();
    FreeScreenClipper();
    EXPECT_EQ(0, FreeDirectDrawObject());
    EXPECT_EQ(nullptr, s.directDraw);
    EXPECT_EQ(nullptr, s.clipper);
    EXPECT_EQ(0, LiveDirectDrawObjects());
    EXPECT_EQ(0, FreeDirectDrawObject());
    EXPECT_EQ(0, RecreateDirectDrawObjects());
    ASSERT_NE(nullptr, s.directDraw);
    EXPECT_NE(nullptr, s.clipper);
    EXPECT_EQ(0, CreateScreenSurfaces());
    EXPECT_NE(nullptr, s.PrimarySurface);
    EXPECT_EQ(150, g_Screen.width);
    EXPECT_EQ(ScreenCoopWindowed, s.cooperativeLevel);
    const std::string tail = MaskedLog().substr(logBefore);
    EXPECT_EQ(0u, tail.find(Lines({
        "メインサーフェスを破棄をします... 完了しました",
        "ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します",
        "ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました",
        "ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します",
        "既に解放されています",
        "DirectDraw オブジェクトの取得を行います....  成功",
    })));
}

TEST_F(DisplayTest, ThePaletteTakesTheKeptEntriesAndEnumeratedSurfacesAreHandedBack) {
    PrepareWindowless();
    IDirectDraw7* object = nullptr;
    ASSERT_EQ(0, CreateDirectDrawObject(&object));
    PALETTEENTRY entries[256] = {};
    ASSERT_EQ(DD_OK, IDirectDraw7_CreatePalette(object, DDPCAPS_8BIT, entries, &g_Screen.palette, nullptr));
    for (int i = 0; i < 256; i++) g_Screen.paletteEntries[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
    EXPECT_EQ(0, ReapplyScreenPaletteEntries());
    PALETTEENTRY read[256];
    ASSERT_EQ(DD_OK, IDirectDrawPalette_GetEntries(g_Screen.palette, 0, 0, 256, read));
    EXPECT_EQ(200, read[200].peRed);
    EXPECT_EQ(55, read[200].peGreen);
    EXPECT_EQ(100, read[200].peBlue);

    // The enumeration hands each surface over with a reference, which the callback returns.
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = desc.dwHeight = 4;
    IDirectDrawSurface7* surface = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreateSurface(object, &desc, &surface, nullptr));
    IDirectDrawSurface7_AddRef(surface);
    EXPECT_EQ(DDENUMRET_OK, SetSurfacePaletteCallback(surface, nullptr, nullptr));
    EXPECT_EQ(0u, IDirectDrawSurface7_Release(surface));
    ReleaseScreenPalette();
    IDirectDraw7_Release(object);
    EXPECT_EQ(0, LiveDirectDrawObjects());
}
