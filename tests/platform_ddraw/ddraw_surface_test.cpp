// DirectDraw surfaces: locks, fills, blits with clippers and keys, BltFast refusals,
// the flip chain, attached Z buffers, device contexts and lost surfaces.
#include "ddraw_fixture.h"

#include <string>
#include <utility>

#include "platform/gdi/gdi.h"

using SurfaceTest = DDrawTest;

namespace {

DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(f);
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

RECT Rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

} // namespace

TEST_F(SurfaceTest, LockGivesARowPitchOfAtLeastTheRowAndAddressesTheRectangle) {
    MakeObject();
    struct Case {
        DDPIXELFORMAT format;
        int width;
        int bytes;
    } cases[] = {
        {Rgb(16, 0xF800, 0x7E0, 0x1F), 3, 2},
        {Rgb(16, 0xF00, 0xF0, 0xF, 0xF000), 5, 2},
        {Rgb(24, 0xFF0000, 0xFF00, 0xFF), 7, 3},
        {Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 9, 4},
    };
    for (const Case& c : cases) {
        IDirectDrawSurface7* s = Offscreen(c.width, 4, DDSCAPS_TEXTURE, &c.format);
        DDSURFACEDESC2 whole{}, part{};
        whole.dwSize = part.dwSize = sizeof(DDSURFACEDESC2);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &whole, DDLOCK_WAIT, nullptr));
        EXPECT_GE(whole.lPitch, c.width * c.bytes);
        EXPECT_EQ(0, whole.lPitch % 4);
        EXPECT_EQ(c.format.dwRBitMask, whole.ddpfPixelFormat.dwRBitMask);
        EXPECT_EQ(static_cast<DWORD>(c.width), whole.dwWidth);
        uint8_t* base = static_cast<uint8_t*>(whole.lpSurface);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(s, nullptr));

        RECT r = Rect(1, 2, 2, 4);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, &r, &part, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr));
        EXPECT_EQ(base + 2 * whole.lPitch + c.bytes, part.lpSurface);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(s, &r));
    }
}

TEST_F(SurfaceTest, LockRefusesBadRectanglesSecondLocksAndUnlockWithoutLock) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(10, 10);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    for (RECT r : {Rect(0, 0, 11, 1), Rect(-1, 0, 1, 1), Rect(5, 5, 5, 6), Rect(3, 4, 2, 5)})
        EXPECT_EQ(DDERR_INVALIDRECT, IDirectDrawSurface7_Lock(s, &r, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_NOTLOCKED, IDirectDrawSurface7_Unlock(s, nullptr));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirectDrawSurface7_Blt(s, nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    HDC dc = nullptr;
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirectDrawSurface7_GetDC(s, &dc));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_Unlock(s, nullptr));
}

TEST_F(SurfaceTest, WindowPrimaryIsTheDesktopAndPresentsWhatIsWrittenToIt) {
    MakeObject();
    IDirectDrawSurface7* primary = Primary();
    DDSCAPS2 caps{};
    IDirectDrawSurface7_GetCaps(primary, &caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
    RECT r = Rect(100, 200, 101, 201);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(primary, &r, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(1024u, desc.dwWidth);
    *static_cast<uint32_t*>(desc.lpSurface) = 0x123456;
    long before = PresentedFrameCount();
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(primary, nullptr));
    EXPECT_EQ(0x123456u, ReadDesktopRgb(100, 200));
    EXPECT_EQ(before + 1, PresentedFrameCount());
    RECT shown = LastPresentedRect();
    EXPECT_EQ(100, shown.left);
    EXPECT_EQ(201, shown.bottom);

    IDirectDrawSurface7* second = nullptr;
    EXPECT_EQ(DDERR_PRIMARYSURFACEALREADYEXISTS, Create(Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE), &second));
}

TEST_F(SurfaceTest, ColourAndDepthFills) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(8, 8);
    IDirectDrawSurface7* z = ZBuffer(8, 8);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x00FF8000;
    RECT r = Rect(2, 2, 4, 3);
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(s, &r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    EXPECT_EQ(0x00FF8000u, Pixel(s, 3, 2));
    EXPECT_EQ(0u, Pixel(s, 4, 2));
    EXPECT_EQ(0u, Pixel(s, 3, 3));

    fx.dwFillDepth = 0xFFFF;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(z, nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx));
    EXPECT_EQ(0xFFFFu, Pixel(z, 7, 7));
    // Depth fills only go to Z buffers, colour fills only to colour surfaces.
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDrawSurface7_Blt(s, nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx));
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDrawSurface7_Blt(z, nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    RECT outside = Rect(6, 6, 9, 9);
    EXPECT_EQ(DDERR_INVALIDRECT, IDirectDrawSurface7_Blt(s, &outside, nullptr, nullptr, DDBLT_COLORFILL, &fx));
}

TEST_F(SurfaceTest, BltStretchesByNearestNeighbour) {
    MakeObject();
    IDirectDrawSurface7* src = Offscreen(2, 2);
    IDirectDrawSurface7* dst = Offscreen(6, 4);
    Paint(src, [](int x, int y) { return static_cast<uint32_t>(1 + x + 2 * y); });
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(dst, nullptr, src, nullptr, DDBLT_WAIT, nullptr));
    const uint32_t expected[4][6] = {{1, 1, 1, 2, 2, 2}, {1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}, {3, 3, 3, 4, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(expected[y][x], Pixel(dst, x, y)) << x << "," << y;

    // Shrinking takes the source pixel at the start of each step.
    IDirectDrawSurface7* small = Offscreen(1, 1);
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(small, nullptr, dst, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(1u, Pixel(small, 0, 0));
}

TEST_F(SurfaceTest, BltConvertsBetweenFormats) {
    MakeObject();
    DDPIXELFORMAT rgb565 = Rgb(16, 0xF800, 0x7E0, 0x1F);
    IDirectDrawSurface7* src = Offscreen(2, 1, DDSCAPS_OFFSCREENPLAIN, &rgb565);
    IDirectDrawSurface7* dst = Offscreen(2, 1); // the desktop's XRGB8888
    Paint(src, [](int x, int) { return x ? 0xFFFFu : 0xF800u; });
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(dst, nullptr, src, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(0xFF0000u, Pixel(dst, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, Pixel(dst, 1, 0) & 0xFFFFFF);
}

TEST_F(SurfaceTest, ClipperKeepsBlitsInsideTheWindowsClientArea) {
    MakeObject();
    SetWindowClientRectForTest(window, Rect(100, 50, 110, 60));
    IDirectDrawSurface7* primary = Primary();
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreateClipper(dd, 0, &clipper, nullptr));
    ASSERT_EQ(DD_OK, IDirectDrawClipper_SetHWnd(clipper, 0, window));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetClipper(primary, clipper));
    IDirectDrawClipper_Release(clipper); // the surface keeps it

    IDirectDrawSurface7* back = Offscreen(20, 20);
    Paint(back, [](int, int) { return 0xFFFFFFu; });
    RECT dst = Rect(95, 45, 115, 65); // overlaps the client area on every side
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(primary, &dst, back, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(0xFFFFFFu, ReadDesktopRgb(100, 50));
    EXPECT_EQ(0xFFFFFFu, ReadDesktopRgb(109, 59));
    EXPECT_EQ(0u, ReadDesktopRgb(99, 50));
    EXPECT_EQ(0u, ReadDesktopRgb(110, 55));
    EXPECT_EQ(0u, ReadDesktopRgb(105, 60));
    RECT shown = LastPresentedRect();
    EXPECT_EQ(100, shown.left);
    EXPECT_EQ(60, shown.bottom);

    // With a clipper a BltFast is refused; without one the blit may not leave the surface.
    EXPECT_EQ(DDERR_BLTFASTCANTCLIP, IDirectDrawSurface7_BltFast(primary, 0, 0, back, nullptr, 0));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetClipper(primary, nullptr));
    RECT beyond = Rect(1010, 0, 1030, 20);
    EXPECT_EQ(DDERR_INVALIDRECT, IDirectDrawSurface7_Blt(primary, &beyond, back, nullptr, DDBLT_WAIT, nullptr));
}

TEST_F(SurfaceTest, BltFastRefusesRectanglesOutsideEitherSurface) {
    MakeObject();
    IDirectDrawSurface7* src = Offscreen(8, 8);
    IDirectDrawSurface7* dst = Offscreen(16, 16);
    struct Case {
        DWORD x, y;
        RECT src;
        HRESULT expected;
    } cases[] = {
        {0, 0, Rect(0, 0, 8, 8), DD_OK},
        {8, 8, Rect(0, 0, 8, 8), DD_OK},
        {9, 8, Rect(0, 0, 8, 8), DDERR_INVALIDRECT},
        {0, 12, Rect(0, 0, 8, 8), DDERR_INVALIDRECT},
        {0, 0, Rect(4, 4, 9, 8), DDERR_INVALIDRECT},
        {0, 0, Rect(-1, 0, 4, 4), DDERR_INVALIDRECT},
        {0, 0, Rect(4, 4, 4, 8), DDERR_INVALIDRECT},
        {0xFFFFFFFFu, 0, Rect(0, 0, 1, 1), DDERR_INVALIDRECT},
    };
    for (const Case& c : cases) {
        RECT r = c.src;
        EXPECT_EQ(c.expected, IDirectDrawSurface7_BltFast(dst, c.x, c.y, src, &r, DDBLTFAST_WAIT))
            << c.x << "," << c.y << " from " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST_F(SurfaceTest, BltFastWithSourceKeySkipsKeyedPixels) {
    MakeObject();
    IDirectDrawSurface7* src = Offscreen(3, 1);
    IDirectDrawSurface7* dst = Offscreen(3, 1);
    // Key 0 matches black whatever its unused top byte holds.
    Paint(src, [](int x, int) { return x == 1 ? 0xFF000000u : 0x00000010u * (x + 1); });
    Paint(dst, [](int, int) { return 0x00ABCDEFu; });
    EXPECT_EQ(DDERR_NOCOLORKEY, IDirectDrawSurface7_BltFast(dst, 0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY));
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetColorKey(src, DDCKEY_SRCBLT, &key));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_BltFast(dst, 0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    EXPECT_EQ(0x10u, Pixel(dst, 0, 0));
    EXPECT_EQ(0x00ABCDEFu, Pixel(dst, 1, 0));
    EXPECT_EQ(0x30u, Pixel(dst, 2, 0));
    // Without the flag the key plays no part.
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_BltFast(dst, 0, 0, src, nullptr, DDBLTFAST_NOCOLORKEY));
    EXPECT_EQ(0xFF000000u, Pixel(dst, 1, 0));
}

TEST_F(SurfaceTest, OverlappingCopiesWithinOneSurface) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    Paint(s, [](int x, int y) { return static_cast<uint32_t>(10 * y + x); });
    RECT top = Rect(0, 0, 4, 3);
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_BltFast(s, 0, 1, s, &top, 0));
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(static_cast<uint32_t>(10 * (y - 1) + x), Pixel(s, x, y));
}

TEST_F(SurfaceTest, FullScreenFlipChainSwapsItsBuffers) {
    MakeObject(0x11);
    ASSERT_EQ(DD_OK, IDirectDraw7_SetDisplayMode(dd, 320, 240, 16, 0, 0));
    IDirectDrawSurface7* front = nullptr;
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                               DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
    desc.dwBackBufferCount = 1;
    ASSERT_EQ(DD_OK, Create(desc, &front));
    DDSCAPS2 backCaps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetAttachedSurface(front, &backCaps, &back));
    owned.push_back(back);

    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0xF800; // red in RGB565
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Blt(back, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    EXPECT_EQ(0u, ReadDesktopPixel(0, 0));
    long before = PresentedFrameCount();
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Flip(front, nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC));
    EXPECT_EQ(0xF800u, ReadDesktopPixel(319, 239));
    EXPECT_EQ(0u, Pixel(back, 5, 5)); // the old front is the new back
    EXPECT_EQ(before + 1, PresentedFrameCount());
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Flip(front, nullptr, DDFLIP_WAIT));
    EXPECT_EQ(0u, ReadDesktopPixel(0, 0));
    EXPECT_EQ(0xF800u, Pixel(back, 5, 5));

    EXPECT_EQ(DDERR_NOTFLIPPABLE, IDirectDrawSurface7_Flip(back, nullptr, DDFLIP_WAIT));
}

TEST_F(SurfaceTest, FlipChainNeedsExclusiveMode) {
    MakeObject();
    IDirectDrawSurface7* front = nullptr;
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
    desc.dwBackBufferCount = 1;
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE, Create(desc, &front));
}

TEST_F(SurfaceTest, ZBufferAttachesToASurfaceOfItsSize) {
    MakeObject();
    IDirectDrawSurface7* back = Offscreen(64, 32, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    IDirectDrawSurface7* z = ZBuffer(64, 32);
    IDirectDrawSurface7* wrong = ZBuffer(32, 32);
    EXPECT_EQ(DDERR_CANNOTATTACHSURFACE, IDirectDrawSurface7_AddAttachedSurface(back, wrong));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_AddAttachedSurface(back, z));
    EXPECT_EQ(DDERR_SURFACEALREADYATTACHED, IDirectDrawSurface7_AddAttachedSurface(back, z));
    DDSCAPS2 zCaps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface7* found = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetAttachedSurface(back, &zCaps, &found));
    EXPECT_EQ(z, found);
    IDirectDrawSurface7_Release(found);
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_DeleteAttachedSurface(back, 0, z));
    EXPECT_EQ(DDERR_SURFACENOTATTACHED, IDirectDrawSurface7_DeleteAttachedSurface(back, 0, z));

    // Only 16-bit depth formats exist.
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER);
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    desc.ddpfPixelFormat.dwZBufferBitDepth = 24;
    IDirectDrawSurface7* deep = nullptr;
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, Create(desc, &deep));
}

TEST_F(SurfaceTest, InjectedCreationFailureHitsOnlyMatchingSurfaces) {
    MakeObject();
    FailSurfaceCreation(DDSCAPS_ZBUFFER, DDERR_OUTOFVIDEOMEMORY, 1);
    IDirectDrawSurface7* plain = Offscreen(4, 4);
    EXPECT_NE(nullptr, plain);
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER);
    desc.dwWidth = desc.dwHeight = 4;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    desc.ddpfPixelFormat.dwZBufferBitDepth = 16;
    IDirectDrawSurface7* z = nullptr;
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, Create(desc, &z));
    EXPECT_EQ(DD_OK, Create(desc, &z));
}

// Surfaces are memory: any side up to 65535 is made (the image sizes the library
// keeps); a longer side or more bytes than an int pitch addresses is refused as too
// big, before anything is allocated or counted, never as a lack of memory.
TEST_F(SurfaceTest, SidesUpTo65535AreMadeAndLargerSizesRefusedAsTooBig) {
    MakeObject();
    const DDPIXELFORMAT xrgb = Rgb(32, 0xFF0000, 0xFF00, 0xFF);
    for (auto [width, height] : {std::pair{65535, 1}, {1, 65535}, {16385, 2}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        IDirectDrawSurface7* s = Offscreen(width, height, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, &xrgb);
        ASSERT_NE(nullptr, s);
        Paint(s, [&](int x, int y) { return x == width - 1 && y == height - 1 ? 0x123456u : 0u; });
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        RECT last = Rect(width - 1, height - 1, width, height);
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(s, &last, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
        EXPECT_EQ(0x123456u, *static_cast<const uint32_t*>(desc.lpSurface));
        ASSERT_EQ(DD_OK, IDirectDrawSurface7_Unlock(s, &last));
        IDirectDrawSurface7_Release(s);
    }

    DDSCAPS2 video{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
    DWORD total = 0, freeBefore = 0, freeAfter = 0;
    ASSERT_EQ(DD_OK, IDirectDraw7_GetAvailableVidMem(dd, &video, &total, &freeBefore));
    struct Refused {
        DWORD width, height, caps;
        HRESULT error;
    } refused[] = {
        {65536, 1, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDERR_TOOBIGWIDTH},
        {1, 65536, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDERR_TOOBIGHEIGHT},
        {0xFFFFFFFFu, 1, DDSCAPS_OFFSCREENPLAIN, DDERR_TOOBIGWIDTH},
        {65535, 65535, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDERR_TOOBIGSIZE},
        {65535, 8192, DDSCAPS_OFFSCREENPLAIN, DDERR_TOOBIGSIZE},  // 2 GiB, one byte more than an int
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(std::to_string(r.width) + " x " + std::to_string(r.height));
        DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, r.caps);
        desc.dwWidth = r.width;
        desc.dwHeight = r.height;
        desc.ddpfPixelFormat = xrgb;
        IDirectDrawSurface7* s = reinterpret_cast<IDirectDrawSurface7*>(1);
        EXPECT_EQ(r.error, Create(desc, &s));
        EXPECT_EQ(nullptr, s);
    }
    ASSERT_EQ(DD_OK, IDirectDraw7_GetAvailableVidMem(dd, &video, &total, &freeAfter));
    EXPECT_EQ(freeBefore, freeAfter);
}

TEST_F(SurfaceTest, SurfaceCapsReportTheMemoryAsked) {
    MakeObject();
    DDSCAPS2 caps{};
    IDirectDrawSurface7_GetCaps(Offscreen(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY), &caps);
    EXPECT_EQ(DDSCAPS_SYSTEMMEMORY, caps.dwCaps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY));
    IDirectDrawSurface7_GetCaps(Offscreen(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE), &caps);
    EXPECT_EQ(DDSCAPS_VIDEOMEMORY, caps.dwCaps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY));
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_3DDEVICE);
}

TEST_F(SurfaceTest, TexturesInAnyRgbFormatAndNoPalettizedOnes) {
    MakeObject();
    DDPIXELFORMAT argb4444 = Rgb(16, 0xF00, 0xF0, 0xF, 0xF000);
    IDirectDrawSurface7* t = Offscreen(8, 8, DDSCAPS_TEXTURE, &argb4444);
    DDPIXELFORMAT reported{};
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetPixelFormat(t, &reported));
    EXPECT_EQ(0xF000u, reported.dwRGBAlphaBitMask);
    EXPECT_TRUE(reported.dwFlags & DDPF_ALPHAPIXELS);

    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_TEXTURE);
    desc.dwWidth = desc.dwHeight = 8;
    IDirectDrawSurface7* bad = nullptr;
    for (DDPIXELFORMAT f : {Rgb(16, 0xF800, 0xFC0, 0x1F), Rgb(8, 0xE0, 0x1C, 0x3), Rgb(16, 0x1F800, 0x7E0, 0x1F)}) {
        desc.ddpfPixelFormat = f;
        EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, Create(desc, &bad));
    }
    desc.ddpfPixelFormat = Rgb(8, 0, 0, 0);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, Create(desc, &bad));
}

TEST_F(SurfaceTest, LostSurfacesRefuseUntilRestored) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    IDirectDrawSurface7* other = Offscreen(4, 4);
    Paint(s, [](int, int) { return 0x77u; });
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(s));
    MarkSurfaceLost(s);
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_IsLost(s));
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_BltFast(other, 0, 0, s, nullptr, 0));
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_Blt(other, nullptr, s, nullptr, DDBLT_WAIT, nullptr));
    HDC dc = nullptr;
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_GetDC(s, &dc));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Restore(s));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(s));
    EXPECT_EQ(0u, Pixel(s, 1, 1)); // the memory is back, its pixels are not

    // A DC taken before the loss draws nothing, and GDI says why.
    HDC otherDc = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetDC(s, &dc));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetDC(other, &otherDc));
    MarkAllSurfacesLost();
    EXPECT_EQ(DDERR_SURFACELOST, IDirectDrawSurface7_IsLost(other));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(BitBlt(otherDc, 0, 0, 4, 4, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_ReleaseDC(s, dc));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_ReleaseDC(other, otherDc));
    ASSERT_EQ(DD_OK, IDirectDraw7_RestoreAllSurfaces(dd));
    EXPECT_EQ(DD_OK, IDirectDrawSurface7_IsLost(other));
}

TEST_F(SurfaceTest, SurfaceDcsCopyBetweenSurfacesWithGdi) {
    MakeObject();
    DDPIXELFORMAT rgb565 = Rgb(16, 0xF800, 0x7E0, 0x1F);
    IDirectDrawSurface7* src = Offscreen(4, 4);
    IDirectDrawSurface7* dst = Offscreen(4, 4, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, &rgb565);
    Paint(src, [](int x, int y) { return (x == 2 && y == 1) ? 0x0000FF00u : 0u; });
    HDC from = nullptr, to = nullptr;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetDC(src, &from));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetDC(dst, &to));
    HDC again = nullptr;
    EXPECT_EQ(DDERR_DCALREADYCREATED, IDirectDrawSurface7_GetDC(src, &again));
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(DDERR_SURFACEBUSY, IDirectDrawSurface7_Lock(src, nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_TRUE(BitBlt(to, 1, 1, 3, 3, from, 1, 0, SRCCOPY));
    EXPECT_TRUE(GdiFlush());
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_ReleaseDC(dst, to));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_ReleaseDC(src, from));
    EXPECT_EQ(0x07E0u, Pixel(dst, 2, 2)); // converted to RGB565 on the way
    EXPECT_EQ(0u, Pixel(dst, 2, 1));
}

TEST_F(SurfaceTest, SourceColourKeyRoundTrip) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(2, 2);
    DDCOLORKEY key{};
    EXPECT_EQ(DDERR_NOCOLORKEY, IDirectDrawSurface7_GetColorKey(s, DDCKEY_SRCBLT, &key));
    DDCOLORKEY set{0x00FF00FF, 0};
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetColorKey(s, DDCKEY_SRCBLT, &set));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_GetColorKey(s, DDCKEY_SRCBLT, &key));
    EXPECT_EQ(0x00FF00FFu, key.dwColorSpaceLowValue);
    EXPECT_EQ(0x00FF00FFu, key.dwColorSpaceHighValue);
    EXPECT_EQ(DDERR_UNSUPPORTED, IDirectDrawSurface7_SetColorKey(s, DDCKEY_DESTBLT, &set));
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_SetColorKey(s, DDCKEY_SRCBLT, nullptr));
    EXPECT_EQ(DDERR_NOCOLORKEY, IDirectDrawSurface7_GetColorKey(s, DDCKEY_SRCBLT, &key));
}
