// softrender_test_support.h - images and draw-state set-up shared by the software
// renderer's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/display/blend_tables.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"

namespace softrender_test {

struct ImageDeleter {
    void operator()(MEMIMG* image) const {
        ReleaseMemImg(image);
        delete image;
    }
};
using Image = std::unique_ptr<MEMIMG, ImageDeleter>;

inline Image MakeImage(int kind, int width, int height, int alpha = 0, int palette = 0, int extras = 0,
                       uint32_t transparent = 0) {
    Image image(new MEMIMG{});
    EXPECT_EQ(SetupMemImg(image.get(), width, height, -1, transparent, kind, palette, alpha, extras), 0);
    return image;
}

inline uint32_t ReadPixel(const MEMIMG* image, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, MemImgPixelAddress(image, x, y), size_t(MemImgBytesPerPixel(image)));
    return v;
}
inline void WritePixel(MEMIMG* image, int x, int y, uint32_t v) {
    std::memcpy(MemImgPixelAddress(image, x, y), &v, size_t(MemImgBytesPerPixel(image)));
}

// A copy of an image's bytes (pitch x height), for comparing.
inline std::vector<uint8_t> ImageBytes(const MEMIMG* image) {
    return std::vector<uint8_t>(image->pixels, image->pixels + size_t(image->pitch) * image->height);
}

// Random pixels, with the transparent value, alpha 0 and alpha 255 often enough to
// matter; random palette entries. The padding of each row is random too.
inline void FillRandom(MEMIMG* image, std::mt19937& rng) {
    for (int i = 0; i < image->pitch * image->height; i++) image->pixels[i] = uint8_t(rng());
    const int bpp = MemImgBytesPerPixel(image);
    for (int y = 0; y < image->height; y++) {
        for (int x = 0; x < image->width; x++) {
            uint32_t v = uint32_t(rng());
            const int pick = int(rng() % 8);
            if (image->alphaFlag) {
                const uint32_t alpha = pick < 2 ? 0 : pick < 5 ? 255 : v >> 24;
                v = image->formatKind == MemImgFormat16 ? (v & 0xFF00FFFF) | alpha << 16 : (v & 0xFFFFFF) | alpha << 24;
            } else if (pick < 2) {
                v = image->transparentValue;
            }
            if (bpp == 1) v &= 0xFF;
            WritePixel(image, x, y, v);
        }
    }
    if (image->paletteFlag) {
        for (int i = 0; i < 256; i++) {
            if (image->formatKind == MemImgFormat16) static_cast<uint16_t*>(image->paletteA)[i] = uint16_t(rng());
            else static_cast<uint32_t*>(image->paletteA)[i] = uint32_t(rng()) & 0xFFFFFF;
        }
        image->paletteCount = 256;
    }
}

// The draw state of a software draw.
inline void SetDrawSettings(int mode, int p, uint32_t brightness, RECT clip, int mmx) {
    g_DrawState.blendMode = mode;
    g_DrawState.blendParam = p;
    g_DrawState.brightness = brightness;
    g_DrawState.clipRect = clip;
    g_Screen.SoftRenderUseMMX = mmx;
}

// Tables built and the draw state at its start values for a target of w x h.
class SoftRenderTest : public testing::Test {
protected:
    void SetUp() override {
        BuildBlendTables();
        for (int v = 0; v < 256; v++) BlendGraphWeightTable[v] = uint8_t(v);
        SetDrawSettings(BlendNone, 0, 0xFFFFFF, RECT{0, 0, 4096, 4096}, 0);
    }
};

}  // namespace softrender_test
