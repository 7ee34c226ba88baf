// 8-bit display modes: the desktop holds palette indices and shows them through the
// palette attached to the primary surface; GDI maps colours onto the nearest entries
// and blits between 8-bit surfaces move indices unchanged.
#include "ddraw_fixture.h"

#include "platform/gdi/gdi.h"

namespace {

class PaletteModeTest : public DDrawTest {
protected:
    IDirectDrawSurface7* front = nullptr;
    IDirectDrawSurface7* back = nullptr;
    IDirectDrawPalette* palette = nullptr;
    PALETTEENTRY entries[256] = {};

    void TearDown() override {
        if (palette) IDirectDrawPalette_Release(palette);
        DDrawTest::TearDown();
    }

    // A 320 x 240 x 8 full-screen flip chain showing a palette of entry i = (i, 255 - i, i / 2).
    void StartPaletteMode() {
        MakeObject(DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        ASSERT_EQ(DD_OK, IDirectDraw7_SetDisplayMode(dd, 320, 240, 8, 0, 0));
        DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                   DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
        desc.dwBackBufferCount = 1;
        ASSERT_EQ(DD_OK, Create(desc, &front));
        DDSCAPS2 backCaps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetAttachedSurface(front, &backCaps, &back));
        owned.push_back(back);
        for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        ASSERT_EQ(DD_OK, IDirectDraw7_CreatePalette(dd, DDPCAPS_8BIT, entries, &palette, nullptr));
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetPalette(front, palette));
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetPalette(back, palette));
    }

    static uint32_t Rgb(const PALETTEENTRY& e) { return uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue; }

    static uint32_t CapturedAt(int x, int y) {
        const CapturedFrame& f = CapturedFrames().back();
        return f.rgb[size_t(y - f.rect.top) * size_t(f.rect.right - f.rect.left) + size_t(x - f.rect.left)];
    }
};

TEST_F(PaletteModeTest, TheDisplayShowsIndicesThroughThePrimarysPaletteAndFollowsItsChanges) {
    StartPaletteMode();
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(DD_OK, IDirectDraw7_GetDisplayMode(dd, &mode));
    EXPECT_EQ(8u, mode.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(DDPF_RGB | DDPF_PALETTEINDEXED8, mode.ddpfPixelFormat.dwFlags);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(8, GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);

    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 7;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(back, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Flip(front, nullptr, DDFLIP_WAIT));
    EXPECT_EQ(7u, ReadDesktopPixel(10, 10));
    EXPECT_EQ(Rgb(entries[7]), ReadDesktopRgb(10, 10));
    EXPECT_EQ(Rgb(entries[7]), CapturedAt(10, 10));

    // A change of the primary's palette shows at once, without a flip.
    const long presents = PresentedFrameCount();
    PALETTEENTRY blue{0, 0, 255, 0};
    ASSERT_EQ(DD_OK, IDirectDrawPalette_SetEntries(palette, 0, 7, 1, &blue));
    EXPECT_EQ(presents + 1, PresentedFrameCount());
    EXPECT_EQ(0x0000FFu, CapturedAt(319, 239));
    EXPECT_EQ(7u, ReadDesktopPixel(10, 10));

    // Another palette is not the display's.
    IDirectDrawPalette* other = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreatePalette(dd, DDPCAPS_8BIT, entries, &other, nullptr));
    ASSERT_EQ(DD_OK, IDirectDrawPalette_SetEntries(other, 0, 0, 256, entries));
    EXPECT_EQ(presents + 1, PresentedFrameCount());
    EXPECT_EQ(0x0000FFu, ReadDesktopRgb(10, 10));
    // Attached to the primary, it becomes the display's palette.
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetPalette(front, other));
    EXPECT_EQ(Rgb(entries[7]), CapturedAt(0, 0));
    IDirectDrawPalette_Release(other);

    // Leaving the mode gives the desktop back in its own format.
    ASSERT_EQ(DD_OK, IDirectDraw7_RestoreDisplayMode(dd));
    EXPECT_EQ(32, DesktopBitsPerPixel());
    EXPECT_EQ(nullptr, DesktopView().palette);
}

TEST_F(PaletteModeTest, GdiMapsColoursToTheNearestEntryAndBlitsMoveIndicesUnchanged) {
    StartPaletteMode();
    // An off-screen surface in the display's format, with a palette of its own that
    // differs from the display's.
    IDirectDrawSurface7* image = Offscreen(4, 1);
    PALETTEENTRY reversed[256];
    for (int i = 0; i < 256; ++i) reversed[i] = entries[255 - i];
    IDirectDrawPalette* own = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreatePalette(dd, DDPCAPS_8BIT, reversed, &own, nullptr));

    // A 24-bit picture through GDI: entries 0, 40, 200 and 255 of the display's palette,
    // the last one off by a little.
    const uint8_t bgr[12] = {0, 255, 0, 20, 215, 40, 100, 55, 200, 126, 0, 255};
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    HDC memory = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, section);
    std::memcpy(bits, bgr, sizeof bgr);
    HGDIOBJ previous = SelectObject(memory, section);
    HDC surfaceDc = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetDC(image, &surfaceDc));
    EXPECT_TRUE(BitBlt(surfaceDc, 0, 0, 4, 1, memory, 0, 0, SRCCOPY));
    IDirectDrawSurface7_ReleaseDC(image, surfaceDc);
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    const uint32_t expected[4] = {0, 40, 200, 255};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(expected[x], Pixel(image, x, 0)) << x;

    // Its own palette plays no part in a blit: the indices arrive as they are.
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetPalette(image, own));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_BltFast(back, 10, 20, image, nullptr, DDBLTFAST_WAIT));
    RECT to{100, 50, 104, 51};
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(back, &to, image, nullptr, DDBLT_WAIT, nullptr));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(expected[x], Pixel(back, 10 + x, 20)) << x;
        EXPECT_EQ(expected[x], Pixel(back, 100 + x, 50)) << x;
    }
    IDirectDrawPalette_Release(own);

    // An explicit 8-bit format is taken for off-screen surfaces, not for textures.
    DDPIXELFORMAT indexed{};
    indexed.dwSize = sizeof(indexed);
    indexed.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    indexed.dwRGBBitCount = 8;
    EXPECT_NE(nullptr, Offscreen(2, 2, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, &indexed));
}

}  // namespace
