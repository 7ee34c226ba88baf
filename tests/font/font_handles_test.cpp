// Font handles: creation with its defaults, fallbacks and failures, the cell and cache
// geometry, the 40 slots and check numbers, the default font and its settings, reset,
// shutdown and re-creation after a device restore.
#include "font/font_test_support.h"
#include "library/core/apilock.h"
#include "library/display/screen_mode.h"

using namespace fonttest;

namespace {

class FontHandleTest : public FontTest {};

// A face named "Geometry" with the given widest glyph and line height.
FakeFontFace GeometryFace(int maxCharWidth, int height) {
    FakeFontFace face = GothicFace();
    face.face = "Geometry";
    face.metrics.tmMaxCharWidth = maxCharWidth;
    face.metrics.tmHeight = height;
    return face;
}

TEST_F(FontHandleTest, CellsAndStripFollowTheMetrics) {
    struct Case {
        int maxCharWidth, height, type, edge;
        int cell, lineHeight, capacity;
    };
    const Case cases[] = {
        {16, 16, 0, -1, 24, 16, 568},  // 18 rounded up to 24
        {16, 15, 2, -1, 24, 16, 568},  // an odd line height is made even
        {4, 30, 0, -1, 30, 30, 364},   // the line is taller than the cell: cell 30
        {16, 16, 1, 2, 24, 20, 568},   // outlined by 2: 16 + 2 + 4 = 22 -> 24, line 20
        {134, 16, 0, -1, 136, 16, 20}, // 0x50000 / 136^2 = 17, raised to 20
        {2, 2, 0, -1, 8, 2, 2024},     // 0x50000 / 64 = 5120, cut to 2024
    };
    StartSoftware();
    for (const Case& c : cases) {
        UseFakeFontsForTest({GeometryFace(c.maxCharWidth, c.height)});
        const FontHandle font = CreateFontToHandle("Geometry", 16, 6, c.type, -1, c.edge, 0, -1, -1);
        const FontRecord* record = GetFontRecord(font);
        ASSERT_NE(nullptr, record) << c.maxCharWidth;
        EXPECT_EQ(c.cell, record->cellSize) << c.maxCharWidth;
        EXPECT_EQ(c.lineHeight, record->lineHeight) << c.maxCharWidth;
        EXPECT_EQ(c.capacity, record->capacity) << c.maxCharWidth;
        EXPECT_EQ(c.capacity, record->cellsPerColumn);
        EXPECT_EQ(c.type == 0 ? 1 : 8, record->stripBits);
        EXPECT_EQ((record->stripBits * c.cell + 7) / 8, record->stripPitch);
        EXPECT_EQ(0, record->textureCacheFlag);  // no Direct3D: the memory strip
        DestroyFontHandle(font);
    }
}

TEST_F(FontHandleTest, DefaultsOfTheArguments) {
    StartSoftware();
    ClearFontCallRecord();
    const FontHandle font = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, 0, -1, -1);
    const FontRecord* record = GetFontRecord(font);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(16, record->size);
    EXPECT_EQ(6, record->thickness);
    EXPECT_EQ(0, record->typeFlags);
    EXPECT_EQ(1, record->edgeSize);
    EXPECT_EQ(FontCharsetShiftJIS, record->charsetKind);
    EXPECT_STREQ("", record->face);  // the fallback face is not stored

    // What GDI was asked for: the fallback face at the cell height, weight = thickness
    // x 100, not smoothed, fixed pitch.
    ASSERT_EQ(1u, RecordedFontRequests().size());
    const LOGFONTA& request = RecordedFontRequests()[0];
    EXPECT_STREQ("ＭＳ ゴシック", request.lfFaceName);
    EXPECT_EQ(16, request.lfHeight);
    EXPECT_EQ(600, request.lfWeight);
    EXPECT_EQ(SHIFTJIS_CHARSET, request.lfCharSet);
    EXPECT_EQ(NONANTIALIASED_QUALITY, request.lfQuality);
    EXPECT_EQ(FIXED_PITCH, request.lfPitchAndFamily);

    // An edge above 1 makes the font outlined; edge -1 is 1 and leaves the type alone.
    EXPECT_EQ(FontTypeOutlined, GetFontRecord(MakeFont(0, 2))->typeFlags);
    EXPECT_EQ(FontTypeGreyLevels, GetFontRecord(MakeFont(FontTypeGreyLevels, -1))->typeFlags);
    // Under the Korean OEM code page the default charset kind is Hangul.
    SetFakeOemCodePage(949);
    EXPECT_EQ(FontCharsetHangul, GetFontRecord(MakeFont(0))->charsetKind);
}

TEST_F(FontHandleTest, TypesAndCharsetKindsOutOfRangeTakeValidValues) {
    StartSoftware();
    // Only the two type bits count: other bits would pick a cell layout that does not
    // exist (an outline stamp of size 0).
    for (int type : {4, 5, 6, 7, 100, -2}) {
        const FontHandle font = MakeFont(type);
        ASSERT_NE(-1, font) << type;
        EXPECT_EQ(type & 3, GetFontRecord(font)->typeFlags) << type;
        const int outline = (type & FontTypeOutlined) ? 2 : 0;
        EXPECT_EQ(6 + 5 + 2 * outline, MeasureTextWidthWithFont("AG", -1, font, 0)) << type;
        DestroyFontHandle(font);
    }
    EXPECT_EQ(FontCharsetDefault, GetFontRecord(CreateFontToHandle(nullptr, 12, 6, 0, 9, -1, 0, -1, -1))->charsetKind);

    // The default-font settings keep the values the font is made with, so the font is
    // not made again at each use.
    SetDefaultFontTypeCore(7);
    SetDefaultFontFaceCore("", 9);
    EXPECT_EQ(FontTypeOutlined | FontTypeGreyLevels, DefaultFontSettings.typeFlags);
    EXPECT_EQ(FontCharsetDefault, DefaultFontSettings.charsetKind);
    const FontHandle made = FetchDefaultFontHandle();
    ASSERT_EQ(1, IsLiveFontHandle(made));
    ClearFontCallRecord();
    EXPECT_LT(0, MeasureTextWidthCore("A", -1, 0));
    EXPECT_EQ(made, FetchDefaultFontHandle());
    EXPECT_TRUE(RecordedFontRequests().empty());
}

TEST_F(FontHandleTest, ANamedFaceIsTriedInThreeCharsetsAndNeverSubstituted) {
    StartSoftware();
    ClearFontCallRecord();
    EXPECT_EQ(-1, CreateFontToHandle("Nowhere", 16, 6, 0, FontCharsetHangul, -1, 0, -1, -1));
    ASSERT_EQ(3u, RecordedFontRequests().size());
    EXPECT_EQ(HANGEUL_CHARSET, RecordedFontRequests()[0].lfCharSet);
    EXPECT_EQ(DEFAULT_CHARSET, RecordedFontRequests()[1].lfCharSet);
    EXPECT_EQ(SHIFTJIS_CHARSET, RecordedFontRequests()[2].lfCharSet);
    EXPECT_TRUE(Logged("指定のフォントの作成に失敗しました\n"));
    EXPECT_EQ(1, FontHandleTable.liveCount);  // only the default font: the slot was freed again

    // The face is stored as given (the named face exists under the second charset).
    FakeFontFace mincho = GothicFace();
    mincho.face = "ＭＳ 明朝";
    mincho.charset = DEFAULT_CHARSET;
    UseFakeFontsForTest({GothicFace(), mincho});
    const FontHandle font = CreateFontToHandle("ＭＳ 明朝", 16, 6, 0, -1, -1, 0, -1, -1);
    ASSERT_NE(-1, font);
    EXPECT_STREQ("ＭＳ 明朝", GetFontRecord(font)->face);
}

TEST_F(FontHandleTest, AnEmptyFaceFallsBackThreeTimes) {
    StartSoftware();
    // A machine without "ＭＳ ゴシック": the third try takes whatever face GDI gives.
    FakeFontFace other = GothicFace();
    other.face = "Other";
    UseFakeFontsForTest({other});
    ClearFontCallRecord();
    const FontHandle font = CreateFontToHandle("", 16, 6, 0, -1, -1, 1, -1, -1);
    ASSERT_NE(-1, font);
    const std::vector<LOGFONTA>& requests = RecordedFontRequests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_STREQ("ＭＳ ゴシック", requests[0].lfFaceName);
    EXPECT_EQ(SHIFTJIS_CHARSET, requests[0].lfCharSet);
    EXPECT_EQ(1, requests[0].lfItalic);
    EXPECT_STREQ("ＭＳ ゴシック", requests[1].lfFaceName);
    EXPECT_EQ(DEFAULT_CHARSET, requests[1].lfCharSet);
    EXPECT_EQ(0, requests[1].lfItalic);
    EXPECT_STREQ("", requests[2].lfFaceName);
    EXPECT_EQ(DEFAULT_CHARSET, requests[2].lfCharSet);

    // No font at all: logged, refused, slot freed.
    const int live = FontHandleTable.liveCount;
    FailNextFontCreations(3);
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0, -1, -1));
    EXPECT_TRUE(Logged("フォントの作成に失敗しました\n"));
    EXPECT_EQ(live, FontHandleTable.liveCount);

    FailNextCompatibleDcs(1);
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0, -1, -1));
    EXPECT_TRUE(Logged("ＤＣの取得に失敗しました\n"));
    EXPECT_EQ(live, FontHandleTable.liveCount);
}

TEST_F(FontHandleTest, AStripTheHeapCannotHoldIsLoggedAndTheSlotFreed) {
    StartSoftware();
    // Cells of 14008 pixels: 20 of them at a byte per pixel need 3.9 GB.
    UseFakeFontsForTest({GeometryFace(14000, 16)});
    const int live = FontHandleTable.liveCount;
    EXPECT_EQ(-1, CreateFontToHandle("Geometry", 16, 6, FontTypeOutlined, -1, -1, 0, -1, -1));
    EXPECT_TRUE(Logged("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle"));
    EXPECT_EQ(live, FontHandleTable.liveCount);
}

TEST_F(FontHandleTest, AFaceNameLongerThanTheRecordHoldsIsCut) {
    StartSoftware();
    const std::string longFace(300, 'F');
    const FontHandle font = CreateFontToHandle(longFace.c_str(), 16, 6, 0, -1, -1, 0, -1, -1);
    // GDI knows no such face, but the copy into the record was bounded.
    EXPECT_EQ(-1, font);
    SetDefaultFontFaceCore(longFace.c_str(), -1);
    EXPECT_EQ(DefaultFontFaceCapacity - 1, int(std::strlen(DefaultFontSettings.face)));
}

TEST_F(FontHandleTest, FortySlotsLowestFreeFirstAndCheckNumbersWrap) {
    StartSoftware();
    ShutdownFontSystem();  // no default font: all 40 slots are the test's
    ASSERT_EQ(0, FontHandleTable.liveCount);
    std::vector<FontHandle> fonts;
    for (int i = 0; i < FontHandleCapacity; i++) fonts.push_back(MakeFont(0));
    for (int i = 0; i < FontHandleCapacity; i++) {
        EXPECT_EQ(i, HandleSlot(fonts[i]));
        EXPECT_EQ(HandleKindConstant(HandleKindFont), fonts[i] & HandleKindMask);
    }
    EXPECT_EQ(-1, MakeFont(0));
    EXPECT_TRUE(Logged("作成できるフォントハンドル数 40 の限界を超えました\n"));

    EXPECT_EQ(0, DestroyFontHandle(fonts[7]));
    EXPECT_EQ(0, IsLiveFontHandle(fonts[7]));
    EXPECT_EQ(-1, DestroyFontHandle(fonts[7]));
    const FontHandle again = MakeFont(0);
    EXPECT_EQ(7, HandleSlot(again));
    EXPECT_NE(fonts[7], again);  // a new check number: the old handle stays refused
    EXPECT_EQ(nullptr, GetFontRecord(fonts[7]));
    for (FontHandle font : fonts) DestroyFontHandle(font);
    DestroyFontHandle(again);

    FontHandleTable.nextCheck = 2047;
    const FontHandle last = MakeFont(0), first = MakeFont(0);
    EXPECT_EQ(2047, HandleCheck(last));
    EXPECT_EQ(0, HandleCheck(first));
    // An explicit slot that is taken is refused without a log line.
    EXPECT_EQ(-1, CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0, HandleSlot(last), 5));
    EXPECT_EQ(MakeResourceHandle(HandleKindFont, 5, 9), CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0, 9, 5));
}

TEST_F(FontHandleTest, QueriesAndTheDeletedFlag) {
    StartSoftware();
    const FontHandle font = CreateFontToHandle("ＭＳ ゴシック", 14, 3, 0, -1, -1, 0, -1, -1);
    char face[FontFaceCapacity] = {};
    int size = 0, thickness = 0;
    EXPECT_EQ(0, GetFontFaceAndSize(face, &size, &thickness, font));
    EXPECT_STREQ("ＭＳ ゴシック", face);
    EXPECT_EQ(14, size);
    EXPECT_EQ(3, thickness);
    EXPECT_EQ(14, GetFontHandleSize(font));
    EXPECT_EQ(-1, GetFontFaceAndSize(face, &size, &thickness, font + 1));
    EXPECT_EQ(-1, SetFontLetterSpacing(2, -1));

    int deleted = 7;
    EXPECT_EQ(0, SetFontDeletedFlagPointer(font, &deleted));
    EXPECT_EQ(0, deleted);
    DestroyFontHandle(font);
    EXPECT_EQ(1, deleted);
}

TEST_F(FontHandleTest, LeadBytesByCharsetKind) {
    struct Case {
        unsigned char byte;
        int shiftJis, hangul;
    };
    const Case cases[] = {{0x41, 0, 0}, {0x80, 0, 1}, {0x81, 1, 1}, {0x9F, 1, 1}, {0xA0, 0, 1},
                          {0xDF, 0, 1}, {0xE0, 1, 1}, {0xFC, 1, 1}, {0xFD, 0, 1}};
    for (const Case& c : cases) {
        const char text[2] = {char(c.byte), 0};
        EXPECT_EQ(c.shiftJis, IsLeadByteForCharset(text, FontCharsetShiftJIS)) << int(c.byte);
        EXPECT_EQ(c.shiftJis, IsLeadByteForCharset(text, FontCharsetDefault)) << int(c.byte);
        EXPECT_EQ(c.hangul, IsLeadByteForCharset(text, FontCharsetHangul)) << int(c.byte);
    }
}

TEST_F(FontHandleTest, TheDefaultFontFollowsItsSettings) {
    StartSoftware();
    EXPECT_TRUE(Logged("フォントの初期化を行います\n"));
    EXPECT_TRUE(Logged("フォントの初期化は正常に終了しました\n"));
    const FontHandle first = FetchDefaultFontHandle();
    ASSERT_EQ(1, IsLiveFontHandle(first));
    EXPECT_EQ(16, GetFontHandleSize(first));

    // Nothing changed: no new GDI font.
    ClearFontCallRecord();
    EXPECT_EQ(0, ApplyDefaultFontSettings());
    EXPECT_EQ(first, FetchDefaultFontHandle());
    EXPECT_TRUE(RecordedFontRequests().empty());

    // The game's settings: each setter makes the font again.
    SetDefaultFontFaceCore("", -1);
    SetDefaultFontTypeCore(FontTypeGreyLevels);
    SetDefaultFontSizeCore(18);
    const FontRecord* record = GetFontRecord(FetchDefaultFontHandle());
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(18, record->size);
    EXPECT_EQ(FontTypeGreyLevels, record->typeFlags);
    EXPECT_EQ(0, IsLiveFontHandle(first));
    EXPECT_EQ(2u, RecordedFontRequests().size());  // the face was unchanged

    // -1 means the defaults; the size and thickness carried over a mode change.
    SetDefaultFontSizeCore(-1);
    EXPECT_EQ(16, DefaultFontSettings.size);
    SetDefaultFontTypeCore(-1);
    EXPECT_EQ(0, DefaultFontSettings.typeFlags);
    EXPECT_EQ(0, SetDefaultFontSizeThickness("", 20, 4));
    EXPECT_EQ(20, GetFontRecord(FetchDefaultFontHandle())->size);
    EXPECT_EQ(4, GetFontRecord(FetchDefaultFontHandle())->thickness);
    EXPECT_EQ(0, SetDefaultFontSizeThickness("", -1, -1));
    EXPECT_EQ(16, DefaultFontSettings.size);
    EXPECT_EQ(6, DefaultFontSettings.thickness);

    // Letter spacing goes with the settings.
    DefaultFontSettings.letterSpacing = 3;
    SetDefaultFontSizeCore(17);
    EXPECT_EQ(3, GetFontRecord(FetchDefaultFontHandle())->letterSpacing);

    // A default font that cannot be made stays -1 and is tried again at each use.
    SetDefaultFontFaceCore("Nowhere", -1);
    EXPECT_EQ(-1, FetchDefaultFontHandle());
    SetDefaultFontFaceCore("", -1);
    EXPECT_EQ(1, IsLiveFontHandle(FetchDefaultFontHandle()));
}

TEST_F(FontHandleTest, ResetDeletesEveryFontAndKeepsTheDefaultsSettings) {
    StartSoftware();
    SetDefaultFontSizeCore(18);
    int deleted = 0;
    const FontHandle user = MakeFont(0);
    SetFontDeletedFlagPointer(user, &deleted);
    EXPECT_EQ(0, ResetFontSystem());
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(0, IsLiveFontHandle(user));
    EXPECT_EQ(1, FontHandleTable.liveCount);
    EXPECT_EQ(18, GetFontHandleSize(FetchDefaultFontHandle()));

    EXPECT_EQ(0, ShutdownFontSystem());
    EXPECT_EQ(0, FontHandleTable.liveCount);
    EXPECT_EQ(0, IsLiveFontHandle(FetchDefaultFontHandle()));
}

TEST_F(FontHandleTest, RecreatedFontsKeepTheirHandlesSpacingAndOwners) {
    StartSoftware();
    const FontHandle plain = MakeFont(0);
    const FontHandle outlined = MakeFont(0, 2);
    SetFontLetterSpacing(3, outlined);
    int deleted = 0;
    SetFontDeletedFlagPointer(outlined, &deleted);
    // A glyph in the cache must be rendered anew after the restore.
    MeasureTextWidthWithFont("A", -1, plain, 0);
    ASSERT_EQ(1, GetFontRecord(plain)->glyphMap['A'].present);

    EXPECT_EQ(0, RecreateAllFonts());
    ASSERT_EQ(1, IsLiveFontHandle(plain));
    ASSERT_EQ(1, IsLiveFontHandle(outlined));
    EXPECT_EQ(0, GetFontRecord(plain)->glyphMap['A'].present);
    EXPECT_EQ(3, GetFontRecord(outlined)->letterSpacing);
    EXPECT_EQ(FontTypeOutlined, GetFontRecord(outlined)->typeFlags);
    EXPECT_EQ(2, GetFontRecord(outlined)->edgeSize);
    // The owner keeps using the same handle, and still hears of a later deletion.
    EXPECT_EQ(0, deleted);
    DestroyFontHandle(outlined);
    EXPECT_EQ(1, deleted);
}

TEST_F(FontHandleTest, WithoutADirectDrawObjectFontsAreRefused) {
    StartSurfaces(DesktopFormat::Rgb565);
    IDirectDraw7* object = g_Screen.directDraw;
    g_Screen.directDraw = nullptr;
    EXPECT_EQ(-1, MakeFont(0));
    EXPECT_EQ(-1, ResetFontSystem());
    EXPECT_EQ(-1, SetDefaultFontSizeThickness("", 16, 6));
    EXPECT_EQ(-1, MeasureTextWidthWithFont("A", -1, FetchDefaultFontHandle(), 0));
    g_Screen.directDraw = object;
    EXPECT_NE(-1, MakeFont(0));
}

TEST_F(FontHandleTest, AScreenModeChangeKeepsTheDefaultFontsFaceSizeAndThickness) {
    StartSurfaces(DesktopFormat::Rgb565);
    EnterApiLock();  // the message-pump thread runs: change the mode as an entry point does
    SetDefaultFontSizeThickness("Wide", 18, 3);
    const int changed = ChangeScreenMode(80, 60, 16, 1, 60);
    LeaveApiLock();
    ASSERT_EQ(0, changed);
    const FontRecord* font = GetFontRecord(FetchDefaultFontHandle());
    ASSERT_NE(nullptr, font);
    EXPECT_STREQ("Wide", font->face);
    EXPECT_EQ(18, font->size);
    EXPECT_EQ(3, font->thickness);
    EXPECT_EQ(80, g_Screen.width);  // the change took place: fonts and graphs were made again
}

TEST_F(FontHandleTest, GreyLevelsAreDroppedOnAnEightBitScreen) {
    StartSoftware();
    g_Screen.requestedColorBits = 8;  // the depth the font code reads
    EXPECT_EQ(0, GetFontRecord(MakeFont(FontTypeGreyLevels))->typeFlags);
    EXPECT_EQ(FontTypeOutlined, GetFontRecord(MakeFont(FontTypeGreyLevels | FontTypeOutlined))->typeFlags);
    g_Screen.requestedColorBits = 16;
}

}  // namespace
