// The DirectDraw object: factory, cooperative levels, display modes, caps and identity.
#include "ddraw_fixture.h"

#include <string>

#include "platform/gdi/gdi.h"

using ObjectTest = DDrawTest;

TEST_F(ObjectTest, FactoryMakesAnUninitialisedObjectAndCanBeMadeToFail) {
    void* made = nullptr;
    EXPECT_EQ(E_NOINTERFACE, DirectDrawCreateInstance(IID_IDirectDraw, &made));
    FailNextDirectDrawCreations(1);
    EXPECT_EQ(E_OUTOFMEMORY, DirectDrawCreateInstance(IID_IDirectDraw7, &made));
    EXPECT_EQ(nullptr, made);

    ASSERT_EQ(DD_OK, DirectDrawCreateInstance(IID_IDirectDraw7, &made));
    dd = static_cast<IDirectDraw7*>(made);
    EXPECT_EQ(DDERR_NOTINITIALIZED, IDirectDraw7_SetCooperativeLevel(dd, window, DDSCL_NORMAL));
    GUID other{};
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDraw7_Initialize(dd, &other));
    EXPECT_EQ(DD_OK, IDirectDraw7_Initialize(dd, nullptr));
    EXPECT_EQ(DDERR_ALREADYINITIALIZED, IDirectDraw7_Initialize(dd, nullptr));
}

TEST_F(ObjectTest, QueryInterfaceAnswersTheSameObjectWithAReference) {
    MakeObject();
    void* old = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_QueryInterface(dd, IID_IDirectDraw, &old));
    EXPECT_EQ(dd, old);
    EXPECT_EQ(1u, IDirectDraw7_Release(static_cast<IDirectDraw*>(old)));
    void* other = nullptr;
    GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(E_NOINTERFACE, IDirectDraw7_QueryInterface(dd, unknown, &other));
    EXPECT_EQ(nullptr, other);
}

TEST_F(ObjectTest, CooperativeLevels) {
    MakeObject();
    // Both a window and full screen, or neither, are refused; full screen needs a window.
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDraw7_SetCooperativeLevel(dd, window, DDSCL_NORMAL | DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDraw7_SetCooperativeLevel(dd, window, DDSCL_EXCLUSIVE));
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDraw7_SetCooperativeLevel(dd, nullptr, 0x11));
    EXPECT_EQ(DD_OK, IDirectDraw7_SetCooperativeLevel(dd, window, 0x11));

    // Only one object holds exclusive mode; releasing it frees the mode.
    void* made = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreateInstance(IID_IDirectDraw7, &made));
    auto* second = static_cast<IDirectDraw7*>(made);
    ASSERT_EQ(DD_OK, IDirectDraw7_Initialize(second, nullptr));
    EXPECT_EQ(DDERR_EXCLUSIVEMODEALREADYSET, IDirectDraw7_SetCooperativeLevel(second, window, 0x11));
    EXPECT_EQ(DD_OK, IDirectDraw7_SetCooperativeLevel(second, window, DDSCL_NORMAL));
    IDirectDraw7_Release(dd);
    dd = second;
    EXPECT_EQ(DD_OK, IDirectDraw7_SetCooperativeLevel(dd, window, 0x11));
}

TEST_F(ObjectTest, DisplayModesChangeTheDesktopUntilRestored) {
    MakeObject();
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE, IDirectDraw7_SetDisplayMode(dd, 640, 480, 16, 0, 0));
    ASSERT_EQ(DD_OK, IDirectDraw7_SetCooperativeLevel(dd, window, 0x11));
    EXPECT_EQ(DDERR_UNSUPPORTEDMODE, IDirectDraw7_SetDisplayMode(dd, 640, 480, 24, 0, 0));
    EXPECT_EQ(DDERR_UNSUPPORTEDMODE, IDirectDraw7_SetDisplayMode(dd, 640, 480, 16, 75, 0));
    ASSERT_EQ(DD_OK, IDirectDraw7_SetDisplayMode(dd, 640, 480, 16, 60, 0));

    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(DD_OK, IDirectDraw7_GetDisplayMode(dd, &mode));
    EXPECT_EQ(640u, mode.dwWidth);
    EXPECT_EQ(480u, mode.dwHeight);
    EXPECT_EQ(16u, mode.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(0xF800u, mode.ddpfPixelFormat.dwRBitMask);
    EXPECT_EQ(60u, mode.dwRefreshRate);

    ASSERT_EQ(DD_OK, IDirectDraw7_RestoreDisplayMode(dd));
    ASSERT_EQ(DD_OK, IDirectDraw7_GetDisplayMode(dd, &mode));
    EXPECT_EQ(1024u, mode.dwWidth);
    EXPECT_EQ(32u, mode.ddpfPixelFormat.dwRGBBitCount);

    // An object released with a mode in force gives the desktop back.
    ASSERT_EQ(DD_OK, IDirectDraw7_SetDisplayMode(dd, 800, 600, 32, 0, 0));
    IDirectDraw7_Release(dd);
    dd = nullptr;
    EXPECT_EQ(1024, DesktopWidth());
}

TEST_F(ObjectTest, AcceptedModesAreATestSetting) {
    SetDisplayModeFilter([](int w, int, int bits, int) { return w == 320 && bits == 32; });
    MakeObject(0x11);
    EXPECT_EQ(DDERR_UNSUPPORTEDMODE, IDirectDraw7_SetDisplayMode(dd, 640, 480, 32, 0, 0));
    EXPECT_EQ(DD_OK, IDirectDraw7_SetDisplayMode(dd, 320, 240, 32, 0, 0));
}

struct DesktopCase {
    DesktopFormat format;
    int bits;
    DWORD redMask;
};

std::string DesktopCaseName(const ::testing::TestParamInfo<DesktopCase>& info) {
    static const char* const names[] = {"Xrgb8888", "Rgb565", "Rgb555", "Rgb888"};
    return names[static_cast<int>(info.param.format)];
}

class DesktopFormatTest : public DDrawTest, public ::testing::WithParamInterface<DesktopCase> {};

TEST_P(DesktopFormatTest, DisplayModeAndDeviceCapsReportTheDesktop) {
    ResetDisplayForTest(GetParam().format, 800, 600);
    MakeObject();
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(DD_OK, IDirectDraw7_GetDisplayMode(dd, &mode));
    EXPECT_EQ(static_cast<DWORD>(GetParam().bits), mode.ddpfPixelFormat.dwRGBBitCount);
    EXPECT_EQ(GetParam().redMask, mode.ddpfPixelFormat.dwRBitMask);
    EXPECT_EQ(DDPF_RGB, mode.ddpfPixelFormat.dwFlags);

    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetParam().bits, GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_GE(GetDeviceCaps(screen, VREFRESH), 60);
    EXPECT_EQ(800, GetDeviceCaps(screen, HORZRES));
    ReleaseDC(nullptr, screen);
}

INSTANTIATE_TEST_SUITE_P(Formats, DesktopFormatTest,
                         ::testing::Values(DesktopCase{DesktopFormat::Xrgb8888, 32, 0xFF0000u},
                                           DesktopCase{DesktopFormat::Rgb565, 16, 0xF800u},
                                           DesktopCase{DesktopFormat::Rgb555, 16, 0x7C00u},
                                           DesktopCase{DesktopFormat::Rgb888, 24, 0xFF0000u}),
                         DesktopCaseName);

TEST_F(ObjectTest, CapsIdentifierAndVideoMemory) {
    MakeObject();
    DDCAPS caps{};
    caps.dwSize = 12;
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDraw7_GetCaps(dd, &caps, nullptr));
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DD_OK, IDirectDraw7_GetCaps(dd, &caps, nullptr));
    EXPECT_EQ(380u, caps.dwSize);
    EXPECT_EQ(0u, caps.dwMinOverlayStretch); // no overlays
    EXPECT_TRUE(caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE);

    DDDEVICEIDENTIFIER2 id{};
    ASSERT_EQ(DD_OK, IDirectDraw7_GetDeviceIdentifier(dd, &id, 0));
    EXPECT_GT(std::strlen(id.szDriver), 0u);
    EXPECT_GT(std::strlen(id.szDescription), 0u);

    SetVideoMemoryTotal(1 << 20);
    DDSCAPS2 video{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
    DWORD total = 0, free = 0;
    ASSERT_EQ(DD_OK, IDirectDraw7_GetAvailableVidMem(dd, &video, &total, &free));
    EXPECT_EQ(1u << 20, total);
    EXPECT_EQ(total, free);
    // 256 x 256 x 4 bytes fit; a second one does not, but system memory always does.
    Offscreen(256, 256);
    ASSERT_EQ(DD_OK, IDirectDraw7_GetAvailableVidMem(dd, &video, &total, &free));
    EXPECT_EQ(total - 256 * 256 * 4, free);
    IDirectDrawSurface7* s = nullptr;
    DDSURFACEDESC2 big = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
    big.dwWidth = big.dwHeight = 512;
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, Create(big, &s));
    big.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    EXPECT_EQ(DD_OK, Create(big, &s));
}

TEST_F(ObjectTest, OverlaysAreRefused) {
    MakeObject();
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                               DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY);
    desc.dwWidth = desc.dwHeight = 16;
    desc.ddpfPixelFormat = DDPIXELFORMAT{32, DDPF_FOURCC, MAKEFOURCC('U', 'Y', 'V', 'Y'), {0}, {0}, {0}, 0, {0}};
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DDERR_NOOVERLAYHW, Create(desc, &s));
}

TEST_F(ObjectTest, ClipperAndPaletteOutliveTheObject) {
    MakeObject();
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreateClipper(dd, 0, &clipper, nullptr));
    ASSERT_EQ(DD_OK, IDirectDrawClipper_SetHWnd(clipper, 0, window));
    PALETTEENTRY entries[256] = {};
    entries[7] = PALETTEENTRY{1, 2, 3, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreatePalette(dd, DDPCAPS_8BIT, entries, &palette, nullptr));
    IDirectDraw7_Release(dd);
    dd = nullptr;

    HWND bound = nullptr;
    EXPECT_EQ(DD_OK, IDirectDrawClipper_GetHWnd(clipper, &bound));
    EXPECT_EQ(window, bound);
    PALETTEENTRY back[2] = {};
    EXPECT_EQ(DD_OK, IDirectDrawPalette_GetEntries(palette, 0, 6, 2, back));
    EXPECT_EQ(1, back[1].peRed);
    EXPECT_EQ(DDERR_INVALIDPARAMS, IDirectDrawPalette_SetEntries(palette, 0, 250, 7, entries));
    EXPECT_EQ(0u, IDirectDrawClipper_Release(clipper));
    EXPECT_EQ(0u, IDirectDrawPalette_Release(palette));
}

TEST_F(ObjectTest, SurfacesOfAReleasedObjectRefuseEveryCall) {
    MakeObject();
    IDirectDrawSurface7* s = Offscreen(8, 8);
    IDirectDraw7_Release(dd);
    dd = nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(DDERR_INVALIDOBJECT, IDirectDrawSurface7_Lock(s, nullptr, &desc, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDOBJECT, IDirectDrawSurface7_IsLost(s));
}

TEST_F(ObjectTest, StalePointersAreRefusedNotFollowed) {
    MakeObject();
    IDirectDrawSurface7* s = nullptr;
    DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
    desc.dwWidth = desc.dwHeight = 4;
    ASSERT_EQ(DD_OK, IDirectDraw7_CreateSurface(dd, &desc, &s, nullptr));
    EXPECT_EQ(0u, IDirectDrawSurface7_Release(s));
    EXPECT_EQ(0u, IDirectDrawSurface7_Release(s));
    DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof(lock);
    EXPECT_EQ(DDERR_INVALIDOBJECT, IDirectDrawSurface7_Lock(s, nullptr, &lock, DDLOCK_WAIT, nullptr));
    EXPECT_EQ(DDERR_INVALIDOBJECT, IDirectDrawSurface7_Lock(nullptr, nullptr, &lock, DDLOCK_WAIT, nullptr));
    IDirectDraw7* stale = dd;
    IDirectDraw7_Release(dd);
    dd = nullptr;
    EXPECT_EQ(DDERR_INVALIDOBJECT, IDirectDraw7_CreateSurface(stale, &desc, &s, nullptr));
    EXPECT_EQ(0u, IDirectDraw7_Release(stale));
}
