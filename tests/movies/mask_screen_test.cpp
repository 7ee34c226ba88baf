// The mask screen: masks made as a mask maker of a program would make them (that
// operation is not part of the library), drawn through with boxes, blended boxes,
// graphs and text on software screens and DirectDraw screens, re-made after a device
// loss and removed; and the mask-data table.
//
// While the mask is active every draw goes into the save area, which holds the
// target's old pixels; the key colour then marks the pixels whose mask byte is
// non-zero (zero with the reverse flag), which keep their old value, and the rest of
// the save area comes back onto the target. A drawn pixel of the key colour never does.
#include <functional>

#include "library/core/alloc.h"
#include "library/core/message_pump.h"
#include "library/graph/graph_restore.h"
#include "movie_test_support.h"
#include "support/api_lock.h"

namespace {

class MaskScreenTest : public MovieTest {
protected:
    // The mask of most tests: a vertical band of 1s and a horizontal band of 0xFFs.
    static uint8_t BandByte(int x, int y) {
        if (x >= 40 && x < 90) return 1;
        return y >= 100 && y < 110 ? 0xFF : 0;
    }

    static uint32_t Key() { return uint32_t(ComposeColorValue(255, 0, 255)); }

    // What a mask maker does before switching the mask on.
    static void MakeMask(int reverse, const std::function<uint8_t(int, int)>& byteAt = BandByte) {
        MaskScreenState& m = g_MaskScreen;
        m.keyColor = Key();
        m.reverse = reverse;
        ASSERT_EQ(0, CreateMaskScreen(1, 1));
        m.created = 1;
        for (int y = 0; y < m.height; y++)
            for (int x = 0; x < m.width; x++) m.buffer[y * m.pitch + x] = byteAt(x, y);
        ASSERT_EQ(0, EnableMaskScreen(1));
        ASSERT_EQ(1, g_DrawState.maskActive);
    }

    static void Background() {
        DrawBoxShape(0, 0, 75, 200, ComposeColorValue(0, 0, 160), 1);
        DrawBoxShape(75, 0, 150, 200, ComposeColorValue(0, 120, 0), 1);
    }

    std::vector<uint32_t> Screen() const { return BackRgb(RECT{0, 0, 150, 200}); }

    // The draw without the mask (before and after) and with it; the masked screen is
    // the old one where keepsOld says so and the drawn one elsewhere.
    void ExpectMasked(const std::function<void()>& draw, const std::function<bool(int, int)>& keepsOld) {
        EnableMaskScreen(0);
        Background();
        const std::vector<uint32_t> before = Screen();
        draw();
        const std::vector<uint32_t> drawn = Screen();
        Background();
        EnableMaskScreen(1);
        draw();
        EnableMaskScreen(0);
        const std::vector<uint32_t> masked = Screen();

        std::vector<uint32_t> expected(before.size());
        int changedOpen = 0, changedMasked = 0;
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 150; x++) {
                const size_t i = size_t(y) * 150 + x;
                const bool old = keepsOld(x, y);
                expected[i] = old ? before[i] : drawn[i];
                if (before[i] != drawn[i]) ++(old ? changedMasked : changedOpen);
            }
        EXPECT_GT(changedOpen, 0);  // the draw reaches open and masked pixels alike
        EXPECT_GT(changedMasked, 0);
        EXPECT_EQ(expected, masked);
    }
};

class MaskOnEveryScreen : public MaskScreenTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void SetUp() override {
        MaskScreenTest::SetUp();
        StartMovies(GetParam().output, GetParam().desktop);
        SelectDrawTarget(BackBufferTarget);
        graph_ = LoadImageToGraph("image01.png", 0);
        ASSERT_NE(-1, graph_);
    }

    void DrawEach(const std::function<bool(int, int)>& keepsOld) {
        const int graph = graph_;
        const struct {
            const char* name;
            std::function<void()> draw;
        } draws[] = {
            {"box", [] { DrawBoxShape(10, 10, 140, 60, ComposeColorValue(220, 40, 40), 1); }},
            {"blended box",
             [] {
                 SetBlendModeParam(BlendAlpha, 128);
                 DrawBoxShape(10, 10, 140, 190, ComposeColorValue(250, 250, 20), 1);
                 SetBlendModeParam(BlendNone, 0);
             }},
            {"graph", [graph] { DrawGraphAt(0, 60, graph, 1); }},
            {"text", [] { DrawTextAt(2, 96, "MASK mask", ComposeColorValue(255, 255, 255), 0); }},
        };
        for (const auto& d : draws) {
            SCOPED_TRACE(d.name);
            ExpectMasked(d.draw, keepsOld);
        }
    }

    int graph_ = -1;
};

TEST_P(MaskOnEveryScreen, BoxesGraphsAndTextKeepTheOldPixelsWhereTheMaskIsSet) {
    MakeMask(0);
    EXPECT_EQ(GetParam().output == Output::Gdi, GetMaskScreenMemImg() != nullptr);
    EXPECT_EQ(GetParam().output == Output::DirectDraw, GetMaskScreenSurface() != nullptr);
    DrawEach([](int x, int y) { return BandByte(x, y) != 0; });
}

TEST_P(MaskOnEveryScreen, TheReverseFlagKeepsTheOldPixelsWhereTheMaskIsZero) {
    MakeMask(1);
    DrawEach([](int x, int y) { return BandByte(x, y) == 0; });
}

// The key colour marks the pixels that keep their old value, so a drawing of exactly
// that colour never reaches the target, not even where the mask is open.
TEST_P(MaskOnEveryScreen, ADrawingOfTheKeyColourDoesNotShow) {
    MakeMask(0);
    Background();
    const std::vector<uint32_t> before = Screen();
    EnableMaskScreen(1);
    DrawBoxShape(10, 10, 140, 190, int(Key()), 1);
    DrawBoxShape(20, 20, 30, 30, ComposeColorValue(255, 255, 255), 1);  // another colour shows
    EnableMaskScreen(0);
    std::vector<uint32_t> expected = before;
    for (int y = 20; y < 30; y++)
        for (int x = 20; x < 30; x++) expected[size_t(y) * 150 + x] = Quantized(BackFormat(), 0xFFFFFF);
    EXPECT_EQ(expected, Screen());
}

TEST_P(MaskOnEveryScreen, ARemovedMaskLeavesDrawingAloneAndFreesEverything) {
    const int blocks = GetTrackedBlockCount();
    MakeMask(0);
    EXPECT_EQ(0, DeleteMaskScreen());
    EXPECT_EQ(0, g_DrawState.maskActive);
    EXPECT_EQ(0, g_DrawState.maskUse);
    EXPECT_EQ(0, IsMaskScreenCreated());
    EXPECT_EQ(nullptr, g_MaskScreen.buffer);
    EXPECT_EQ(nullptr, GetMaskScreenMemImg());
    EXPECT_EQ(nullptr, GetMaskScreenSurface());
    EXPECT_EQ(blocks, GetTrackedBlockCount());
    EXPECT_EQ(-1, EnableMaskScreen(1));  // no buffer: refused, nothing changed
    EXPECT_EQ(0, g_DrawState.maskUse);

    Background();
    DrawBoxShape(10, 10, 140, 60, ComposeColorValue(220, 40, 40), 1);
    EXPECT_EQ(Quantized(BackFormat(), 0xDC2828), BackRgbAt(60, 30));  // in the former band
}

// A device loss releases the mask's buffer and save area; the restore makes them
// again (the buffer empty, so every pixel is open) and switches the mask back on.
TEST_P(MaskOnEveryScreen, TheMaskComesBackEmptyAfterADeviceLoss) {
    MakeMask(0);
    UnderApiLock(RestoreGraphicsAfterDeviceLoss);
    ASSERT_NE(nullptr, g_MaskScreen.buffer);
    EXPECT_EQ(1, IsMaskScreenCreated());
    EXPECT_EQ(1, g_DrawState.maskActive);
    EXPECT_EQ(GetParam().output == Output::Gdi, GetMaskScreenMemImg() != nullptr);
    EXPECT_EQ(GetParam().output == Output::DirectDraw, GetMaskScreenSurface() != nullptr);
    const MaskScreenState& m = g_MaskScreen;
    EXPECT_EQ(std::vector<uint8_t>(size_t(m.pitch) * m.height, 0),
              std::vector<uint8_t>(m.buffer, m.buffer + size_t(m.pitch) * m.height));

    SelectDrawTarget(BackBufferTarget);
    EnableMaskScreen(0);
    Background();
    EnableMaskScreen(1);
    DrawBoxShape(10, 10, 140, 60, ComposeColorValue(220, 40, 40), 1);
    EnableMaskScreen(0);
    EXPECT_EQ(Quantized(BackFormat(), 0xDC2828), BackRgbAt(60, 30));
}

// A graph kept in a software image as the draw target: on DirectDraw screens the
// bracket converts between the image and the save surface (read back through the
// system-memory work surface, the save surface lying in video memory). The mask covers
// the screen only: on a graph larger than the screen nothing is drawn outside it.
TEST_P(MaskOnEveryScreen, AGraphDrawTargetIsMaskedToo) {
    const struct {
        int width, height;
    } sizes[] = {{100, 80}, {300, 260}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.width);
        SelectDrawTarget(BackBufferTarget);
        DeleteMaskScreen();
        SetGraphDrawValidFlag(1);
        SetGraphMemImgFlag(1);
        const int target = CreateBlankGraph(size.width, size.height, 1);
        SetGraphDrawValidFlag(0);
        SetGraphMemImgFlag(0);
        ASSERT_NE(-1, target);
        ASSERT_EQ(0, SelectDrawTarget(target));
        MakeMask(0);
        EXPECT_EQ(GetParam().output == Output::DirectDraw, g_DrawState.maskSaveInVideoMemory == 1);
        EnableMaskScreen(0);
        DrawBoxShape(0, 0, size.width, size.height, ComposeColorValue(0, 0, 160), 1);
        EnableMaskScreen(1);
        DrawBoxShape(10, 10, size.width - 10, size.height - 10, ComposeColorValue(220, 40, 40), 1);
        EnableMaskScreen(0);
        std::vector<uint32_t> expected;
        for (int y = 0; y < size.height; y++)
            for (int x = 0; x < size.width; x++) {
                const bool box = x >= 10 && x < size.width - 10 && y >= 10 && y < size.height - 10;
                const bool onScreen = x < 150 && y < 200;
                expected.push_back(box && onScreen && !BandByte(x, y) ? 0xDC2828 : 0x0000A0);
            }
        EXPECT_EQ(QuantizedAll(GraphFormat(target), expected), GraphRgb(target));
    }
}

// The mask and its save area cover the screen: on a graph target larger than the
// screen, draws reach the part the mask covers (and opens) and nothing beyond it.
TEST_P(MaskOnEveryScreen, OnAGraphLargerThanTheScreenOnlyTheScreenSizedPartIsDrawn) {
    const int width = 300, height = 260;
    SetGraphDrawValidFlag(1);
    SetGraphMemImgFlag(1);
    const int target = CreateBlankGraph(width, height, 1);
    SetGraphDrawValidFlag(0);
    SetGraphMemImgFlag(0);
    ASSERT_NE(-1, target);
    ASSERT_EQ(0, SelectDrawTarget(target));
    MakeMask(0);
    const int graph = graph_;
    const struct {
        const char* name;
        std::function<void()> draw;
    } draws[] = {
        {"box", [] { DrawBoxShape(10, 10, width - 10, height - 10, ComposeColorValue(220, 40, 40), 1); }},
        {"graph", [graph] { DrawGraphAt(100, 170, graph, 0); }},
    };
    for (const auto& d : draws) {
        SCOPED_TRACE(d.name);
        EnableMaskScreen(0);
        DrawBoxShape(0, 0, width, height, ComposeColorValue(0, 0, 160), 1);
        const std::vector<uint32_t> before = GraphRgb(target);
        d.draw();
        const std::vector<uint32_t> drawn = GraphRgb(target);
        DrawBoxShape(0, 0, width, height, ComposeColorValue(0, 0, 160), 1);
        EnableMaskScreen(1);
        d.draw();
        EnableMaskScreen(0);
        std::vector<uint32_t> expected = before;
        int beyond = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                const size_t i = size_t(y) * width + x;
                const bool onScreen = x < 150 && y < 200;
                if (onScreen && !BandByte(x, y)) expected[i] = drawn[i];
                if (!onScreen && drawn[i] != before[i]) beyond++;
            }
        EXPECT_GT(beyond, 0);  // the draw reaches past the screen-sized part
        EXPECT_NE(before, expected);
        EXPECT_EQ(expected, GraphRgb(target));
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, MaskOnEveryScreen, AllOutputs(), OutputCaseName);

// On a DirectDraw screen in a window the front buffer is the primary surface, placed by
// the window's client area: the bracket reads and writes the target there.
TEST_F(MaskScreenTest, TheFrontBufferOfAWindowIsMaskedAtTheClientArea) {
    StartMovies(Output::DirectDraw, DesktopFormat::Xrgb8888);
    SelectDrawTarget(FrontBufferTarget);
    RECT client{};
    GetWindowClientScreenRect(&client);
    EXPECT_EQ(client.left, g_DrawState.drawOrigin.left);  // drawn straight onto the primary
    MakeMask(0);
    EXPECT_EQ(0, g_DrawState.drawOrigin.left);  // drawn into the save area
    EXPECT_EQ(150, g_DrawState.drawOrigin.right);
    EnableMaskScreen(0);
    EXPECT_EQ(client.left, g_DrawState.drawOrigin.left);

    DrawBoxShape(0, 0, 150, 200, ComposeColorValue(0, 0, 160), 1);
    EnableMaskScreen(1);
    DrawBoxShape(10, 10, 140, 60, ComposeColorValue(220, 40, 40), 1);
    EnableMaskScreen(0);
    const RECT row{client.left + 30, client.top + 30, client.left + 100, client.top + 31};
    std::vector<uint32_t> expected;
    for (int x = 30; x < 100; x++) expected.push_back(BandByte(x, 30) ? 0x0000A0 : 0xDC2828);
    EXPECT_EQ(expected, SurfaceRgb(g_Screen.PrimarySurface, row));
}

// Selecting a target switches the mask off while the renderers change over; it is on
// again afterwards, also when the target is refused.
TEST_F(MaskScreenTest, SelectingADrawTargetLeavesTheMaskInUse) {
    StartMovies();
    SelectDrawTarget(BackBufferTarget);
    const int gone = CreateBlankGraph(8, 8, 1);
    DeleteGraphHandle(gone, 0);
    Background();
    MakeMask(0);
    for (int refused : {gone, 7, MakeResourceHandle(HandleKindFont, 0, 0)}) {
        EXPECT_EQ(-1, SelectDrawTarget(refused)) << std::hex << refused;
        EXPECT_EQ(BackBufferTarget, GetDrawTargetHandle());
        EXPECT_EQ(1, g_DrawState.maskUse);
        EXPECT_EQ(1, g_DrawState.maskActive);
    }
    EXPECT_EQ(0, SelectDrawTarget(BackBufferTarget));
    EXPECT_EQ(1, g_DrawState.maskActive);
    DrawBoxShape(10, 10, 140, 60, ComposeColorValue(220, 40, 40), 1);
    EnableMaskScreen(0);
    EXPECT_EQ(Quantized(BackFormat(), 0x0000A0), BackRgbAt(60, 30));  // in the band: the old pixel
    EXPECT_EQ(Quantized(BackFormat(), 0xDC2828), BackRgbAt(20, 30));
}

TEST_F(MaskScreenTest, TheMaskRowsAreTheScreenWidthRoundedUpToFour) {
    StartMovies();
    ASSERT_EQ(0, SetScreenMode(641, 480, 16, 60));
    ASSERT_EQ(0, CreateMaskScreen(1, 0));
    const MaskScreenState& m = g_MaskScreen;
    EXPECT_EQ(644, m.pitch);
    EXPECT_EQ(641, m.width);
    EXPECT_EQ(480, m.height);
    EXPECT_EQ(nullptr, GetMaskScreenMemImg());  // no save area was asked for
    EXPECT_EQ(0, EnableMaskScreen(1));          // a buffer is enough to switch
    EXPECT_EQ(0, g_DrawState.maskActive);       // but nothing is active before it is made
}

// A rectangle outside the draw area (or the mask) is not saved, and nothing is applied.
TEST_F(MaskScreenTest, ADrawOutsideTheDrawAreaLeavesTheSaveAreaAndTheTargetAlone) {
    StartMovies();
    SelectDrawTarget(BackBufferTarget);
    MakeMask(0, [](int, int) { return uint8_t(1); });
    MEMIMG* save = GetMaskScreenMemImg();
    ASSERT_NE(nullptr, save);
    FillMemImgRectRaw(save, nullptr, 0x1234);
    const std::vector<uint32_t> saved = ImageRgb(*save, RECT{0, 0, 150, 200});
    const std::vector<uint32_t> screen = Screen();

    GraphImage target{*BackMemImg.colorFormat, BackMemImg.width, BackMemImg.height, BackMemImg.pitch,
                      BackMemImg.pixels};
    EXPECT_EQ(0, SaveMaskTargetArea(150, 10, 260, 40, nullptr, &target));
    EXPECT_EQ(0, SaveMaskTargetArea(-50, -20, 0, 200, nullptr, &target));
    EXPECT_EQ(saved, ImageRgb(*save, RECT{0, 0, 150, 200}));
    EXPECT_EQ(0, ApplyMaskToTargetArea(150, 10, 260, 40, nullptr, &target));
    EXPECT_EQ(screen, Screen());
    EXPECT_EQ(saved, ImageRgb(*save, RECT{0, 0, 150, 200}));

    // Within the area: the rectangle is saved, keyed everywhere (every byte is set) and
    // nothing comes back.
    EXPECT_EQ(0, SaveMaskTargetArea(10, 10, 13, 12, nullptr, &target));
    EXPECT_EQ(0, ApplyMaskToTargetArea(10, 10, 13, 12, nullptr, &target));
    EXPECT_EQ(screen, Screen());
    EXPECT_EQ(std::vector<uint32_t>(6, Rgb(save->colorFormat, Key())), ImageRgb(*save, RECT{10, 10, 13, 12}));
    EXPECT_EQ(Rgb(save->colorFormat, 0x1234), ImageRgb(*save, RECT{13, 10, 14, 11})[0]);
}

// The graph manager's end deletes the mask screen, which waits while the application
// is inactive; not when the library is shutting down.
TEST_F(MaskScreenTest, DeletingTheMaskDuringShutdownDoesNotWaitForTheWindow) {
    StartMovies();
    MakeMask(0);
    HeldApiLock held;
    SendMessageA(MainWindow(), WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_FALSE(SystemStateRecord.life.active.load());
    SystemStateRecord.life.libraryEnding = 1;
    const long passes = GetMessagePumpPassCount();
    EXPECT_EQ(0, DeleteMaskScreen());
    EXPECT_EQ(passes, GetMessagePumpPassCount());  // no message was pumped
    EXPECT_EQ(nullptr, g_MaskScreen.buffer);
    SystemStateRecord.life.libraryEnding = 0;
    SendMessageA(MainWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
}

TEST_F(MaskScreenTest, MaskDataHandlesAreCheckedAndTheirBuffersFreed) {
    StartMovies();
    const int blocks = GetTrackedBlockCount();
    for (int slot : {5, 511}) {
        MaskDataRecord& r = MaskDataTable[slot];
        r.check = 3;
        r.inUse = 1;
        r.data = static_cast<uint8_t*>(ZqAlloc(64));
    }
    const int handle = MakeResourceHandle(HandleKindMaskData, 3, 5);
    EXPECT_EQ(0x40030005, handle);
    EXPECT_EQ(-1, DeleteMaskData(MakeResourceHandle(HandleKindMaskData, 4, 5)));  // stale
    EXPECT_EQ(-1, DeleteMaskData(MakeResourceHandle(HandleKindGraph, 3, 5)));     // foreign
    EXPECT_EQ(-1, DeleteMaskData(MakeResourceHandle(HandleKindMaskData, 3, 512)));
    EXPECT_EQ(-1, DeleteMaskData(MakeResourceHandle(HandleKindMaskData, 3, 6)));  // not in use
    EXPECT_EQ(-1, DeleteMaskData(-1));
    EXPECT_EQ(0, DeleteMaskData(handle));
    EXPECT_EQ(0, MaskDataTable[5].inUse);
    EXPECT_EQ(nullptr, MaskDataTable[5].data);
    EXPECT_EQ(-1, DeleteMaskData(handle));
    EXPECT_EQ(0, DeleteAllMaskData());
    EXPECT_EQ(0, MaskDataTable[511].inUse);
    EXPECT_EQ(blocks, GetTrackedBlockCount());
}

}  // namespace
