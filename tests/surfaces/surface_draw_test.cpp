// Drawing 2D surfaces and software draws on DirectDraw surfaces: the BltFast route and
// its conditions, the lock route's bounds, refusals, oversized targets, GDI output,
// and one scene on RGB565, XRGB8888 and RGB555 desktops.
#include "library/softrender/blit.h"
#include "library/softrender/primitives.h"
#include "surfaces/surfaces_test_support.h"

namespace {

const RECT kWholeScreen{0, 0, 64, 48};

TEST_F(SurfacesTest, ADrawOutsideTheDrawAreaDrawsNothing) {
    StartDirectDraw();
    ClearBack(0x0000FF);
    TestImage image(16, 16);
    image.Fill(PatternRgb);
    for (Storage storage : {Storage::Surface, Storage::MemImg}) {
        auto graph = MakeGraph(16, 16, storage);
        TransferImageToGraphSurfaces(0, 0, graph.get(), &image.image, nullptr);
        g_DrawState.clipRect = RECT{10, 10, 30, 30};
        for (POINT at : {POINT{-16, 0}, POINT{30, 12}, POINT{12, 30}, POINT{64, 0}}) {
            EXPECT_EQ(0, DrawSurface2D(at.x, at.y, graph->pieces[0], 0));
        }
        EXPECT_TRUE(Lockable(g_Screen.BackSurface));
        for (uint32_t rgb : BackRgb(kWholeScreen)) ASSERT_EQ(0x0000FFu, rgb);
        EXPECT_EQ(-1, DrawSurface2D(0, 0, graph->pieces[0] + 1, 0));  // a stale handle
    }
}

// BltFast only for a plain draw of a DirectDraw source lying in the same kind of memory
// as the target; everything else takes the lock route. Both routes draw the same.
TEST_F(SurfacesTest, BltFastIsChosenOnlyUnderItsConditions) {
    StartDirectDraw();
    auto video = MakeGraph(16, 16, Storage::Surface);
    auto image = MakeGraph(16, 16, Storage::MemImg);
    auto system = MakeGraph(65, 8, Storage::Surface);  // wider than the screen: system memory
    ASSERT_EQ(1, Data(*system)->settings.systemMemory);
    ASSERT_EQ(0, Data(*video)->settings.systemMemory);
    ASSERT_EQ(1, g_DrawState.targetInVideoMemory);

    struct Case {
        const char* name;
        const GraphRecord* graph;
        int allowed;
        std::function<void()> setUp;
        int bltFast;
    };
    const Case cases[] = {
        {"plain", video.get(), 1, [] {}, 1},
        {"alpha 255 is no blending", video.get(), 1, [] { g_DrawState.blendMode = BlendAlpha; }, 1},
        {"not allowed", video.get(), 0, [] {}, 0},
        {"alpha 128", video.get(), 1, [] { g_DrawState.blendMode = BlendAlpha, g_DrawState.blendParam = 128; }, 0},
        {"add", video.get(), 1, [] { g_DrawState.blendMode = BlendAdd; }, 0},
        {"brightness", video.get(), 1, [] { g_DrawState.brightness = 0x80FF80; }, 0},
        {"blend graph", video.get(), 1, [] { g_DrawState.blendGraph = MakeResourceHandle(HandleKindGraph, 1, 3); }, 0},
        {"software image", image.get(), 1, [] {}, 0},
        {"system memory onto video memory", system.get(), 1, [] {}, 0},
        {"system memory onto system memory", system.get(), 1, [] { g_DrawState.targetInVideoMemory = 0; }, 1},
    };
    for (const Case& c : cases) {
        SelectBackBuffer();
        ResetDrawState();
        c.setUp();
        const Surface2DRecord* piece = Piece(*c.graph);
        const RECT source{0, 0, 8, 8}, dest{4, 4, 12, 12};
        ASSERT_EQ(0, BeginScreenSurfaceDraw(piece, c.allowed, &source, &dest, 1, nullptr, nullptr)) << c.name;
        EXPECT_EQ(c.bltFast, g_ScreenDrawContext.bltFastChosen) << c.name;
        if (c.bltFast) {
            EXPECT_EQ(g_Screen.BackSurface, g_ScreenDrawContext.bltDestSurface);
            EXPECT_EQ(Data(*c.graph)->surface, g_ScreenDrawContext.bltSourceSurface);
            EXPECT_TRUE(Lockable(g_Screen.BackSurface)) << c.name;
        } else {
            EXPECT_EQ(0, EndScreenSurfaceDraw());
        }
    }

    // The keyed BltFast and the keyed lock route leave the same pixels.
    ResetDrawState();
    SelectBackBuffer();
    TestImage keyed(16, 16);
    keyed.Fill([](int x, int y) { return (x + y) % 3 == 0 ? 0u : PatternRgb(x, y); });
    TransferImageToGraphSurfaces(0, 0, video.get(), &keyed.image, nullptr);
    TransferImageToGraphSurfaces(0, 0, image.get(), &keyed.image, nullptr);
    ClearBack(0x808080);
    EXPECT_EQ(0, DrawSurface2D(4, 4, video->pieces[0], 1));
    EXPECT_EQ(0, DrawSurface2D(30, 4, image->pieces[0], 1));
    EXPECT_EQ(BackRgb(RECT{4, 4, 20, 20}), BackRgb(RECT{30, 4, 46, 20}));
    EXPECT_EQ(0x808080u & 0xF8FCF8, BackRgbAt(4, 4) & 0xF8FCF8);
    EXPECT_EQ(PatternRgb(1, 0), BackRgbAt(5, 4));
}

// A draw whose clipped rectangle is empty, or whose target cannot be locked, returns
// -1 and holds nothing: no lock, the draw area as it was.
TEST_F(SurfacesTest, BeginRefusesEmptyAreasAndFailedLocksAndHoldsNothing) {
    StartDirectDraw();
    g_DrawState.clipRect = RECT{8, 8, 40, 40};
    const RECT empty{50, 10, 60, 20}, inside{10, 10, 20, 20};
    EXPECT_EQ(-1, BeginScreenSurfaceDraw(nullptr, 0, nullptr, &empty, 1, nullptr, nullptr));
    EXPECT_TRUE(Lockable(g_Screen.BackSurface));

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(g_Screen.BackSurface, nullptr, &desc, DDLOCK_WAIT, nullptr));
    for (int blend : {BlendNone, BlendAdd}) {  // locked in place, and through the work surface
        g_DrawState.blendMode = blend;
        EXPECT_EQ(-1, BeginScreenSurfaceDraw(nullptr, 0, nullptr, &inside, 1, nullptr, nullptr));
        EXPECT_EQ(8, g_DrawState.clipRect.left);
        EXPECT_EQ(0, g_ScreenDrawContext.destLocked);
    }
    IDirectDrawSurface7_Unlock(g_Screen.BackSurface, nullptr);
    EXPECT_TRUE(Lockable(g_Screen.WorkSurface[0]));
    EXPECT_TRUE(Logged("in BeginScreenSurfaceDraw\n"));

    ASSERT_EQ(0, BeginScreenSurfaceDraw(nullptr, 0, nullptr, &inside, 1, nullptr, nullptr));
    EXPECT_EQ(0, EndScreenSurfaceDraw());
    EXPECT_TRUE(Lockable(g_Screen.BackSurface));
}

// The prepared destination spans only locked memory and the draw area is the clipped
// destination while the draw runs, so even a draw larger than it said touches only
// its rectangle; afterwards the draw area is back.
TEST_F(SurfacesTest, ThePreparedDestinationReachesOnlyTheClippedRectangle) {
    {
        StartDirectDraw();
        TestImage big(64, 48);
        big.Fill(PatternRgb);
        auto graph = MakeGraph(64, 48, Storage::MemImg);
        TransferImageToGraphSurfaces(0, 0, graph.get(), &big.image, nullptr);
        for (int blend : {BlendNone, BlendAdd}) {
            ClearBack(0);
            g_DrawState.blendMode = blend;
            g_DrawState.blendParam = 255;
            g_DrawState.clipRect = RECT{4, 4, 60, 44};
            const RECT touched{10, 12, 20, 50};
            ASSERT_EQ(0, BeginScreenSurfaceDraw(nullptr, 0, nullptr, &touched, 1, nullptr, nullptr));
            MEMIMG* dest = g_ScreenDrawContext.destImage;
            EXPECT_EQ(20, dest->width);
            EXPECT_EQ(44, dest->height);
            EXPECT_EQ(10, g_DrawState.clipRect.left);
            EXPECT_EQ(44, g_DrawState.clipRect.bottom);
            DrawImageOnMemImg(dest, &Data(*graph)->image, 0, 0, 0, nullptr);
            EndScreenSurfaceDraw();
            EXPECT_EQ(4, g_DrawState.clipRect.left);
            EXPECT_EQ(60, g_DrawState.clipRect.right);
            const std::vector<uint32_t> back = BackRgb(kWholeScreen);
            for (int y = 0; y < 48; y++) {
                for (int x = 0; x < 64; x++) {
                    const bool drawn = x >= 10 && x < 20 && y >= 12 && y < 44;
                    const uint32_t rgb = back[size_t(y) * 64 + x];
                    if (!drawn) {
                        ASSERT_EQ(0u, rgb) << x << "," << y;
                    } else if (blend == BlendNone) {
                        ASSERT_EQ(PatternRgb(x, y), rgb) << x << "," << y;
                    } else {  // added onto black: the source's bright channels, to the renderer's rounding
                        ASSERT_EQ(PatternRgb(x, y) & 0x808080, rgb & 0x808080) << x << "," << y;
                    }
                }
            }
        }
    }
}

// A target larger than the screen-sized work surface is drawn in place, converted in
// place on RGB555; a source larger than it likewise. Both keep their other pixels and
// the source comes back unchanged.
TEST_F(SurfacesTest, TargetsAndSourcesLargerThanTheWorkSurfaceAreDrawnInPlace) {
    StartDirectDraw(DesktopFormat::Rgb555);
    auto target = MakeGraph(100, 60, Storage::Surface);
    auto sprite = MakeGraph(16, 16, Storage::MemImg);
    auto wide = MakeGraph(80, 4, Storage::Surface);
    TestImage spriteImage(16, 16), wideImage(80, 4);
    spriteImage.Fill(PatternRgb);
    wideImage.Fill([](int x, int) { return PatternRgb(x, 3); });
    TransferImageToGraphSurfaces(0, 0, sprite.get(), &spriteImage.image, nullptr);
    TransferImageToGraphSurfaces(0, 0, wide.get(), &wideImage.image, nullptr);
    FillSurfaceDataColor(Piece(*target)->surfaceData, 0, 0, 255, 255);
    SelectGraph(*target);

    EXPECT_EQ(0, DrawSurface2D(70, 40, sprite->pieces[0], 0));  // beyond the 64 x 48 work surface
    EXPECT_EQ(0, DrawSurface2D(2, 2, sprite->pieces[0], 0));    // through the work surface
    g_DrawState.blendMode = BlendAdd;                          // no BltFast for the wide source
    g_DrawState.blendParam = 255;
    EXPECT_EQ(0, DrawSurface2D(10, 56, wide->pieces[0], 0));
    const std::vector<uint32_t> after = GraphRgb(*target);
    auto at = [&](int x, int y) { return after[size_t(y) * 100 + x]; };
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            ASSERT_EQ(PatternRgb(x, y), at(70 + x, 40 + y));
            ASSERT_EQ(PatternRgb(x, y), at(2 + x, 2 + y));
        }
    }
    // Added onto blue: the source's channels to the renderer's rounding, blue full.
    for (int x = 0; x < 80; x++) ASSERT_EQ((PatternRgb(x, 3) & 0xC0C0C0) | 0xC0, at(10 + x, 56) & 0xC0C0C0) << x;
    EXPECT_EQ(0x0000FFu, at(69, 40));
    EXPECT_EQ(0x0000FFu, at(99, 59));
    EXPECT_EQ(0x0000FFu, at(9, 56));
    EXPECT_EQ(ImageRgb(wideImage, RECT{0, 0, 80, 4}), GraphRgb(*wide));
    EXPECT_TRUE(Lockable(Data(*wide)->surface));
    EXPECT_TRUE(Lockable(Data(*target)->surface));
}

// Under GDI output the graphs are software images and draws go straight into the
// software screen.
TEST_F(SurfacesTest, GdiOutputDrawsSoftwareImagesIntoTheSoftwareScreen) {
    StartGdi();
    TestImage image(16, 16);
    image.Fill([](int x, int y) { return (x + y) % 3 == 0 ? 0u : PatternRgb(x, y); });
    auto graph = MakeGraph(16, 16, Storage::Surface);  // asked for a surface, kept as an image
    EXPECT_EQ(1, Data(*graph)->memImgFlag);
    ASSERT_EQ(0, TransferImageToGraphSurfaces(0, 0, graph.get(), &image.image, nullptr));
    FillMemImgRectRaw(&BackMemImg, nullptr, 0x001F);
    ASSERT_EQ(0, DrawSurface2D(8, 8, graph->pieces[0], 1));
    auto back = [](int x, int y) { return *reinterpret_cast<const uint16_t*>(MemImgPixelAddress(&BackMemImg, x, y)); };
    EXPECT_EQ(0x001F, back(8, 8));                                             // keyed out
    EXPECT_EQ(EncodePixelRgb(BackMemImg.colorFormat, 0xFF, 0, 0), back(9, 8));  // PatternRgb(1, 0)
    EXPECT_EQ(0x001F, back(7, 8));
}

// One scene drawn with every route: BltFast (plain and keyed), the lock route with
// software-image sources (keyed, alpha and an opaque mid tone), alpha blending,
// brightness, an opaque unblended box and an added box. RGB565, XRGB8888 and RGB555 desktops show the same
// picture: equal to 5-bit precision, within one step where the renderer's precision
// differs.
class SceneTest : public SurfacesTest {
protected:
    std::vector<uint32_t> DrawScene(DesktopFormat format) {
        StartDirectDraw(format);
        ClearBack(0x000000);
        TestImage opaque(16, 16), keyed(16, 16), alpha(16, 16, true);
        opaque.Fill(PatternRgb);
        keyed.Fill([](int x, int y) { return (x + y) % 3 == 0 ? 0u : PatternRgb(x, y); });
        alpha.Fill([](int x, int y) { return x % 4 == 0 ? 0x00FFFFFFu : 0xFF000000u | PatternRgb(y, x); });
        auto a = MakeGraph(16, 16, Storage::Surface);
        auto b = MakeGraph(16, 16, Storage::Surface);
        auto c = MakeGraph(16, 16, Storage::MemImg, true);
        auto d = MakeGraph(16, 16, Storage::MemImg);
        TransferImageToGraphSurfaces(0, 0, a.get(), &opaque.image, nullptr);
        TransferImageToGraphSurfaces(0, 0, b.get(), &keyed.image, nullptr);
        TransferImageToGraphSurfaces(0, 0, c.get(), &alpha.image, nullptr);
        TransferImageToGraphSurfaces(0, 0, d.get(), &keyed.image, nullptr);
        TestImage midTone(16, 4);  // a colour whose channels all lose bits in 16 bits
        midTone.Fill([](int, int) { return 0x8040C0u; });
        auto e = MakeGraph(16, 4, Storage::MemImg);
        TransferImageToGraphSurfaces(0, 0, e.get(), &midTone.image, nullptr);

        EXPECT_EQ(0, DrawSurface2D(2, 2, a->pieces[0], 0));
        EXPECT_EQ(0, DrawSurface2D(20, 2, b->pieces[0], 1));
        EXPECT_EQ(0, DrawSurface2D(38, 2, c->pieces[0], 1));
        EXPECT_EQ(0, DrawSurface2D(2, 24, d->pieces[0], 1));
        EXPECT_EQ(0, DrawSurface2D(2, 19, e->pieces[0], 0));  // opaque, unblended, locked
        g_DrawState.blendMode = BlendAlpha;
        g_DrawState.blendParam = 128;
        EXPECT_EQ(0, DrawSurface2D(20, 24, a->pieces[0], 0));
        ResetDrawState();
        g_DrawState.brightness = 0x808080;
        EXPECT_EQ(0, DrawSurface2D(38, 24, b->pieces[0], 1));
        ResetDrawState();
        EXPECT_EQ(0, DrawFilledRectSoft(56, 2, 62, 40, uint32_t(RgbToScreenPixel(255, 0, 255))));
        g_DrawState.blendMode = BlendAdd;
        g_DrawState.blendParam = 255;
        EXPECT_EQ(0, DrawFilledRectSoft(0, 42, 64, 46, uint32_t(RgbToScreenPixel(0, 255, 0))));
        return BackRgb(kWholeScreen);
    }
};

TEST_F(SceneTest, TheSceneIsTheSameOnEveryDesktop) {
    const DesktopFormat formats[] = {DesktopFormat::Rgb565, DesktopFormat::Xrgb8888, DesktopFormat::Rgb555};
    std::vector<uint32_t> scenes[3];
    for (int i = 0; i < 3; i++) {
        scenes[i] = InChild([&] { return DrawScene(formats[i]); });
        ASSERT_EQ(size_t(64 * 48), scenes[i].size()) << "desktop " << i;
    }
    auto step = [](uint32_t rgb, int shift) { return int((rgb >> shift) & 0xFF) >> 3; };
    int differing = 0;
    for (size_t p = 0; p < scenes[0].size(); p++) {
        for (int shift : {16, 8, 0}) {
            const int q565 = step(scenes[0][p], shift), q8888 = step(scenes[1][p], shift), q555 = step(scenes[2][p], shift);
            ASSERT_LE(std::abs(q565 - q8888), 1) << "pixel " << p % 64 << "," << p / 64;
            ASSERT_LE(std::abs(q565 - q555), 1) << "pixel " << p % 64 << "," << p / 64;
            differing += q565 != q555;
        }
    }
    EXPECT_LT(differing, 64);  // rounding of blends only, never whole areas
    for (const std::vector<uint32_t>& scene : scenes) {
        auto at = [&](int x, int y) { return scene[size_t(y) * 64 + x]; };
        EXPECT_EQ(PatternRgb(0, 0), at(2, 2));
        EXPECT_EQ(0u, at(20, 2));                       // keyed out: the background
        EXPECT_EQ(PatternRgb(1, 0), at(21, 2));
        EXPECT_EQ(0u, at(38, 2));                       // alpha 0
        EXPECT_EQ(PatternRgb(0, 1), at(39, 2));
        EXPECT_EQ(0xFF00FFu, at(58, 10));               // the opaque box
        EXPECT_EQ(0x8040C0u, at(5, 20) & 0xF8F8F8);     // the mid tone to 5 bits
        EXPECT_EQ(0x00FF00u, at(58, 44));               // added green over black
        EXPECT_EQ(0x00FF00u, at(10, 44));
        EXPECT_EQ(0u, at(10, 46));
    }
}

}  // namespace
