// The surface-data table: settings, storage kinds, reference counts, nested locks,
// depth buffers, colour keys, fills and the table's refusals.
#include "surfaces/surfaces_test_support.h"

namespace {

SurfaceDataSettings Settings(uint8_t alpha, uint8_t system, uint8_t bits = 16, uint8_t memImg8 = 0,
                             uint8_t drawTarget = 0, uint8_t alphaTest = 1) {
    return SurfaceDataSettings{0, alpha, drawTarget, system, alphaTest, bits, memImg8, 0};
}

// Settings in, normalised settings and storage kind out. Non-textures always become
// draw targets without alpha test; alpha and 8-bit images live in system memory, and
// system memory means a software image even with DirectDraw output.
TEST_F(SurfacesTest, SettingsAreNormalisedAndChooseTheStorage) {
    StartDirectDraw();
    const int liveBefore = SurfaceDataTable.liveCount;
    struct Case {
        SurfaceDataSettings in;
        int width;
        uint8_t systemMemory;
        int memImgFlag;
        int formatIndex;
    };
    const Case cases[] = {
        {Settings(0, 0), 16, 0, 0, SurfaceDataFormatOffscreen},     // video-memory surface
        {Settings(0, 1), 16, 1, 1, SurfaceDataFormatMemImg16},      // asked for system memory
        {Settings(1, 0), 16, 1, 1, SurfaceDataFormatMemImg16Alpha}, // alpha: system memory, MEMIMG
        {Settings(1, 0, 32), 16, 1, 1, SurfaceDataFormatMemImg32Alpha},
        {Settings(0, 1, 32), 16, 1, 1, SurfaceDataFormatMemImg32},
        {Settings(0, 0, 16, 1), 16, 1, 1, 0},                       // 8-bit memory image
        {Settings(0, 0), 65, 1, 0, SurfaceDataFormatOffscreen},     // wider than the screen
    };
    for (const Case& c : cases) {
        const int handle = AddSurfaceData(1, c.width, 8, 0, &c.in);
        ASSERT_NE(-1, handle);
        const SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
        EXPECT_EQ(c.systemMemory, r->settings.systemMemory) << c.width << " alpha " << int(c.in.alphaChannel);
        EXPECT_EQ(c.memImgFlag, r->memImgFlag);
        EXPECT_EQ(1, r->settings.drawTarget);
        EXPECT_EQ(0, r->settings.alphaTest);
        if (c.in.memImg8 == 0) {
            EXPECT_EQ(c.formatIndex, r->formatIndex);
        }
        EXPECT_EQ(c.memImgFlag == 1, r->surface == nullptr);
        if (c.memImgFlag) {
            EXPECT_EQ(1, HasMemImgPixels(&r->image));
            EXPECT_EQ(c.in.memImg8 ? MemImgFormat8 : c.in.colorBits == 16 ? MemImgFormat16 : MemImgFormat32,
                      r->image.formatKind);
            EXPECT_EQ(c.in.alphaChannel, r->image.alphaFlag);
        }
        EXPECT_EQ(0, DeleteSurfaceData(handle));
    }
    EXPECT_EQ(liveBefore, SurfaceDataTable.liveCount);
}

// Without Direct3D there are no texture formats: the creation fails with its two log
// lines and leaves nothing behind.
TEST_F(SurfacesTest, ATextureWithoutDirect3DFailsAndLeavesNoRecord) {
    StartDirectDraw();
    const int liveBefore = SurfaceDataTable.liveCount;
    SurfaceDataSettings texture{1, 1, 0, 1, 1, 32, 0, 0};
    EXPECT_EQ(-1, AddSurfaceData(1, 16, 16, 0, &texture));
    EXPECT_EQ(liveBefore, SurfaceDataTable.liveCount);
    EXPECT_TRUE(Logged("テクスチャサーフェスの作成に失敗しました\n"));
    EXPECT_TRUE(Logged("DrawValid:0  AlphaChFlag1  AlphaTestFlag:0  ColorBitDepth:32"));
}

TEST_F(SurfacesTest, ReferenceCountsAndTheLostFlag) {
    StartDirectDraw();
    const SurfaceDataSettings settings = Settings(0, 0);
    const int handle = AddSurfaceData(1, 8, 8, 0, &settings);
    int lost = 7;
    SetHandleLostFlagPointer(&SurfaceDataTable, handle, &lost);
    EXPECT_EQ(0, lost);
    EXPECT_EQ(2, IncSurfaceDataRef(handle));
    EXPECT_EQ(1, DecSurfaceDataRef(handle));
    EXPECT_EQ(0, DecSurfaceDataRef(handle));
    EXPECT_EQ(0, DeleteSurfaceData(handle));
    EXPECT_EQ(1, lost);
    for (int refused : {handle, -1, 0, int(MakeResourceHandle(HandleKindSurface2D, 0, 0))}) {
        EXPECT_EQ(-1, IncSurfaceDataRef(refused));
        EXPECT_EQ(-1, DeleteSurfaceData(refused));
        EXPECT_EQ(nullptr, GetSurfaceDataRecord(refused));
    }
}

// Nested locks, on both kinds of storage: the outer lock locks, a nested one returns
// -2 with the address of the rectangle it asks for, only the last unlock unlocks.
TEST_F(SurfacesTest, LocksNestAndNestedRectanglesGetTheirOwnAddress) {
    StartDirectDraw();
    for (const SurfaceDataSettings& settings : {Settings(0, 0), Settings(0, 1)}) {
        const int handle = AddSurfaceData(1, 32, 16, 0, &settings);
        SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
        int pitch = 0, nestedPitch = 0;
        void* outer = nullptr;
        void* nested = nullptr;
        const RECT area{4, 2, 20, 10};
        ColorFormat format{};
        ASSERT_EQ(0, LockSurfaceData(handle, &pitch, &outer, 1, &area, &format));
        EXPECT_EQ(16, format.bitsPerPixel);
        EXPECT_TRUE(r->surface == nullptr || !Lockable(r->surface));
        EXPECT_EQ(-2, LockSurfaceData(handle, &nestedPitch, &nested, 0, &area, nullptr));
        EXPECT_EQ(outer, nested);
        const RECT inner{6, 5, 8, 6};
        EXPECT_EQ(-2, LockSurfaceData(handle, &nestedPitch, &nested, 0, &inner, nullptr));
        EXPECT_EQ(static_cast<uint8_t*>(outer) + 3 * pitch + 2 * 2, nested);
        EXPECT_EQ(pitch, nestedPitch);
        const RECT outside{0, 0, 8, 8};
        EXPECT_EQ(-1, LockSurfaceData(handle, &nestedPitch, &nested, 0, &outside, nullptr));
        EXPECT_EQ(3, r->lockNesting);
        EXPECT_EQ(0, UnlockSurfaceData(handle, nullptr));
        EXPECT_EQ(0, UnlockSurfaceData(handle, nullptr));
        const bool surface = r->surface != nullptr;
        EXPECT_TRUE(!surface || !Lockable(r->surface));
        EXPECT_EQ(0, UnlockSurfaceData(handle, &area));
        EXPECT_TRUE(!surface || Lockable(r->surface));
        EXPECT_EQ(-1, UnlockSurfaceData(handle, nullptr));
        // A rectangle outside the storage is refused before anything is locked.
        const RECT beyond{30, 0, 40, 4};
        EXPECT_EQ(-1, LockSurfaceData(handle, &pitch, &outer, 0, &beyond, nullptr));
        EXPECT_EQ(0, r->lockNesting);
        DeleteSurfaceData(handle);
    }
    EXPECT_TRUE(Logged("グラフィックのロックに失敗しました"));
}

// The depth wish survives a release: the storage made again brings its depth buffer
// back. Surfaces need the depth format of a Direct3D device, which is missing here.
TEST_F(SurfacesTest, TheDepthBufferComesBackWithTheStorage) {
    StartDirectDraw();
    const SurfaceDataSettings image = Settings(0, 1);
    const int handle = AddSurfaceData(1, 16, 8, 0, &image);
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    ASSERT_EQ(0, CreateSurfaceDataZBuffer(handle, 1));
    EXPECT_EQ(MemImgFormatZ16, r->depthImage.formatKind);
    EXPECT_EQ(0, ReleaseSurfaceDataStorage(handle));
    EXPECT_EQ(0, HasMemImgPixels(&r->image));
    EXPECT_EQ(0, HasMemImgPixels(&r->depthImage));
    EXPECT_EQ(0, CreateSurfaceDataStorage(handle));
    EXPECT_EQ(1, HasMemImgPixels(&r->depthImage));
    EXPECT_EQ(0, CreateSurfaceDataZBuffer(handle, 0));
    EXPECT_EQ(0, HasMemImgPixels(&r->depthImage));

    const SurfaceDataSettings surface = Settings(0, 0);
    const int onSurface = AddSurfaceData(1, 16, 8, 0, &surface);
    EXPECT_EQ(-1, CreateSurfaceDataZBuffer(onSurface, 1));
    EXPECT_EQ(nullptr, GetSurfaceDataRecord(onSurface)->depthSurface);
    EXPECT_TRUE(Logged("Ｚバッファの作成に失敗しました"));
}

// The key is the screen pixel of the colour key; on RGB555 the unused bit is set too.
TEST_F(SurfacesTest, ColourKeyIsTheScreenPixelOfTheKey) {
    StartDirectDraw(DesktopFormat::Rgb555);
    const SurfaceDataSettings settings = Settings(0, 0);
    const int handle = AddSurfaceData(1, 8, 8, 0x00FF08, &settings);
    DDCOLORKEY key{};
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetColorKey(GetSurfaceDataRecord(handle)->surface, DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x83E1u, key.dwColorSpaceLowValue);
    EXPECT_EQ(key.dwColorSpaceLowValue, key.dwColorSpaceHighValue);
    EXPECT_EQ(0, SetSurfaceDataColorKey(handle));
    // A software image has no surface to key: its transparent value carries the key.
    const SurfaceDataSettings image = Settings(0, 1);
    const int onImage = AddSurfaceData(1, 8, 8, 0x00FF08, &image);
    EXPECT_EQ(0x07E1u, GetSurfaceDataRecord(onImage)->image.transparentValue);
}

// Filling fills either storage; a software image is not left as it was.
TEST_F(SurfacesTest, FillingFillsSurfacesAndSoftwareImages) {
    StartDirectDraw(DesktopFormat::Xrgb8888);
    for (const SurfaceDataSettings& settings : {Settings(0, 0, 32), Settings(0, 1, 32), Settings(1, 0, 32)}) {
        const int handle = AddSurfaceData(1, 4, 3, 0, &settings);
        ASSERT_EQ(0, FillSurfaceDataColor(handle, 0x12, 0x34, 0x56, 0x78));
        SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
        if (r->surface != nullptr) {
            for (uint32_t rgb : SurfaceRgb(r->surface, RECT{0, 0, 4, 3})) EXPECT_EQ(0x123456u, rgb);
        } else {
            const uint32_t expected = settings.alphaChannel ? 0x78123456u : 0xFF123456u;
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < 4; x++) EXPECT_EQ(expected, *reinterpret_cast<uint32_t*>(MemImgPixelAddress(&r->image, x, y)));
        }
    }
    EXPECT_EQ(-1, FillSurfaceDataColor(-1, 0, 0, 0, 0));
}

TEST_F(SurfacesTest, AFullTableIsLoggedAndRefused) {
    StartDirectDraw();
    const SurfaceDataSettings settings = Settings(0, 1);
    SurfaceDataTable.capacity = SurfaceDataTable.liveCount + 2;
    EXPECT_NE(-1, AddSurfaceData(1, 4, 4, 0, &settings));
    EXPECT_NE(-1, AddSurfaceData(1, 4, 4, 0, &settings));
    EXPECT_EQ(-1, AddSurfaceData(1, 4, 4, 0, &settings));
    EXPECT_TRUE(Logged("サーフェスのデータ数が許容量を越えました。\n"));
    SurfaceDataTable.capacity = SurfaceDataCapacity;

    Surface2DTable.capacity = Surface2DTable.liveCount + 1;
    EXPECT_NE(-1, AddSurface2D(4, 4, 0, 0, -1, nullptr, 0, 0, &settings));
    const int live = SurfaceDataTable.liveCount;
    EXPECT_EQ(-1, AddSurface2D(4, 4, 0, 0, -1, nullptr, 0, 0, &settings));
    EXPECT_EQ(live, SurfaceDataTable.liveCount);  // no storage made for the refused piece
    EXPECT_TRUE(Logged("２Ｄグラフィックの量が許容量を越えました\n"));
    Surface2DTable.capacity = Surface2DCapacity;
}

TEST_F(SurfacesTest, NothingIsMadeBeforeTheDisplayStarts) {
    StartLog();
    const SurfaceDataSettings settings = Settings(0, 1);
    EXPECT_EQ(-1, AddSurface2D(4, 4, 0, 0, -1, nullptr, 0, 0, &settings));
    EXPECT_TRUE(Logged("ＺＱライブラリが初期化されていません\n"));
    EXPECT_EQ(-1, DeleteAllSurface2D());
    EXPECT_EQ(-1, RestoreAllSurface2D());
    EXPECT_EQ(-1, DrawSurface2D(0, 0, -1, 0));
    EXPECT_EQ(0, DeleteSurface2D(-1));
}

}  // namespace
