// Helpers for the hardware 3D path's tests: the library started as a program starts it,
// on a desktop whose Direct3D device the test may shape first, with graphs on the
// hardware path and the back surface's pixels read back.
#pragma once

#include <cstring>
#include <vector>

#include "display/display_test_support.h"
#include "library/core/alloc.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_front.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_image.h"

// The graph's pixels as its textures hold them, 0xAARRGGBB row by row, read tile by tile
// at the tiles' places in the graph.
inline std::vector<uint32_t> Graph3DTexels(int graph) {
    const GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr || !record->hardwareFlag) return {};
    std::vector<uint32_t> texels(size_t(record->width) * record->height, 0xDEADBEEF);
    for (int i = 0; i < record->pieceCount; i++) {
        const Surface3DRecord* tile = GetSurface3DData(record->pieces[i]);
        if (tile == nullptr) return {};
        const RECT area{tile->textureX, tile->textureY, tile->textureX + tile->width,
                        tile->textureY + tile->height};
        int pitch = 0;
        void* pixels = nullptr;
        ColorFormat format{};
        if (LockSurface3DData(record->pieces[i], &pitch, &pixels, 0, &area, &format) == -1) return {};
        for (int y = 0; y < tile->height; y++) {
            for (int x = 0; x < tile->width; x++) {
                uint32_t value = 0;
                std::memcpy(&value, static_cast<uint8_t*>(pixels) + y * pitch + x * format.bytesPerPixel,
                            format.bytesPerPixel);
                int r = 0, g = 0, b = 0, a = 255;
                DecodePixelRgba(&format, value, &r, &g, &b, format.alphaWidth ? &a : nullptr);
                texels[size_t(tile->graphY + y) * record->width + tile->graphX + x] =
                    uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
            }
        }
        UnlockSurface3DData(record->pieces[i], &area);
    }
    return texels;
}

class HardwarePathTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        SetDirect3DProfile(DefaultDirect3DProfile());  // the machine has Direct3D again
    }

    // The library on a window of the given size; the back buffer is the draw target.
    void Start(int width = 150, int height = 200, int bits = 16, DesktopFormat desktop = DesktopFormat::Rgb565,
               bool expectDirect3D = true) {
        ResetDisplayForTest(desktop);
        SetWindowTitleText("HardwarePath");
        ChangeWindowMode(1);
        SetScreenMode(width, height, bits, 60);
        StartLibrary();
        if (expectDirect3D) {
            ASSERT_NE(nullptr, g_D3D.direct3D);
        }
        SelectDrawTarget(BackBufferTarget);
    }

    // A graph on the hardware path whose pixels are `argb`, row by row.
    static int Graph(int width, int height, const std::vector<uint32_t>& argb) {
        GraphImage image{};
        CreateARGB32GraphImage(width, height, &image);
        for (int y = 0; y < height; y++)
            std::memcpy(static_cast<uint8_t*>(image.pixels) + y * image.pitch, &argb[size_t(y) * width], size_t(width) * 4);
        const int graph = BuildGraphFromGraphImageNoAlpha(&image, 1);
        FreeGraphImage(&image);
        return graph;
    }

    // A surface's pixel as 0xRRGGBB, after the pending batch was drawn.
    static uint32_t SurfaceRgb(IDirectDrawSurface7* surface, int x, int y) {
        G_D3D_EndScene();
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (IDirectDrawSurface7_Lock(surface, nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        ColorFormat format{};
        InitColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &format);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * format.bytesPerPixel,
                    format.bytesPerPixel);
        IDirectDrawSurface7_Unlock(surface, nullptr);
        int r = 0, g = 0, b = 0;
        DecodePixelRgba(&format, value, &r, &g, &b, nullptr);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
    static uint32_t BackRgb(int x, int y) { return SurfaceRgb(GetBackBufferSurface(), x, y); }

    static int Slot() { return g_D3D.currentSlot; }
};
