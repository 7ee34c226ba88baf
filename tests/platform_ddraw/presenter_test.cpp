// The presenter: the desktop's client rectangle reaches an SDL window (dummy video driver).
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/window/presenter.h"
#include "platform/testing.h"

namespace {

class PresenterTest : public ::testing::Test {
protected:
    SDL_Window* sdlWindow = nullptr;
    void SetUp() override {
        ResetDisplayForTest(DesktopFormat::Xrgb8888, 320, 240);
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO)) << SDL_GetError();
    }
    void TearDown() override {
        if (sdlWindow) SDL_DestroyWindow(sdlWindow);
        SDL_Quit();
    }
    std::vector<uint32_t> WindowPixels(DesktopPresenter*, int w, int h) {
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
        SDL_Renderer* renderer = SDL_GetRenderer(sdlWindow);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), w * 4);
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }
};

// Draws a 4 x 2 pattern at the top-left of the client rectangle (10, 20).
void DrawPattern() {
    static const uint16_t image[8] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF, 0x001F, 0x07E0, 0xF800};
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), 4, -2, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x7E0, 0x1F}};
    HDC dc = GetDC(nullptr);
    SetDIBitsToDevice(dc, 10, 20, 4, 2, 0, 0, 0, 2, image, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
}

const uint32_t kExpected[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000};

} // namespace

TEST_F(PresenterTest, ShowsTheClientRectangleOneToOne) {
    sdlWindow = SDL_CreateWindow("zq", 0, 0, 4, 2, SDL_WINDOW_HIDDEN);
    ASSERT_NE(nullptr, sdlWindow) << SDL_GetError();
    DesktopPresenter* presenter = CreateDesktopPresenter(sdlWindow);
    ASSERT_NE(nullptr, presenter) << SDL_GetError();
    DrawPattern();
    ASSERT_EQ(0, PresentDesktopRect(presenter, RECT{10, 20, 14, 22}));
    std::vector<uint32_t> shown = WindowPixels(presenter, 4, 2);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(kExpected[i], shown[i]) << i;
    DestroyDesktopPresenter(presenter);
}

TEST_F(PresenterTest, ScalesByNearestNeighbourToTheWindow) {
    sdlWindow = SDL_CreateWindow("zq", 0, 0, 8, 4, SDL_WINDOW_HIDDEN);
    ASSERT_NE(nullptr, sdlWindow) << SDL_GetError();
    DesktopPresenter* presenter = CreateDesktopPresenter(sdlWindow);
    ASSERT_NE(nullptr, presenter) << SDL_GetError();
    DrawPattern();
    ASSERT_EQ(0, PresentDesktopRect(presenter, RECT{10, 20, 14, 22}));
    std::vector<uint32_t> shown = WindowPixels(presenter, 8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(kExpected[(y / 2) * 4 + x / 2], shown[y * 8 + x]) << x << "," << y;
    DestroyDesktopPresenter(presenter);
}

// An 8-bit desktop holds indices: the window shows them through the palette the display
// has when it is presented.
TEST_F(PresenterTest, AnEightBitDesktopIsShownThroughItsPalette) {
    ASSERT_TRUE(DesktopSetMode(320, 240, 8, 0));
    const uint32_t colours[2] = {0x123456, 0xFEDCBA};
    DesktopSetPaletteEntries(1, 2, colours);
    PixelView desktop = DesktopView();
    for (int x = 0; x < 4; ++x) *PixelAt(desktop, 10 + x, 20) = uint8_t(1 + x % 2);
    sdlWindow = SDL_CreateWindow("zq", 0, 0, 4, 1, SDL_WINDOW_HIDDEN);
    ASSERT_NE(nullptr, sdlWindow) << SDL_GetError();
    DesktopPresenter* presenter = CreateDesktopPresenter(sdlWindow);
    ASSERT_NE(nullptr, presenter) << SDL_GetError();
    ASSERT_EQ(0, PresentDesktopRect(presenter, RECT{10, 20, 14, 21}));
    EXPECT_EQ((std::vector<uint32_t>{0x123456, 0xFEDCBA, 0x123456, 0xFEDCBA}), WindowPixels(presenter, 4, 1));

    const uint32_t changed = 0x00FF00;
    DesktopSetPaletteEntries(2, 1, &changed);
    ASSERT_EQ(0, PresentDesktopRect(presenter, RECT{10, 20, 14, 21}));
    EXPECT_EQ((std::vector<uint32_t>{0x123456, 0x00FF00, 0x123456, 0x00FF00}), WindowPixels(presenter, 4, 1));
    DestroyDesktopPresenter(presenter);
    DesktopRestoreMode();
}
