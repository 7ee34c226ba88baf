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

    // The back surface's pixel as 0xRRGGBB, after the pending batch was drawn.
    static uint32_t BackRgb(int x, int y) {
        G_D3D_EndScene();
        IDirectDrawSurface7* back = GetBackBufferSurface();
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (IDirectDrawSurface7_Lock(back, nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        ColorFormat format{};
        InitColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &format);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * format.bytesPerPixel,
                    format.bytesPerPixel);
        IDirectDrawSurface7_Unlock(back, nullptr);
        int r = 0, g = 0, b = 0;
        DecodePixelRgba(&format, value, &r, &g, &b, nullptr);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }

    static int Slot() { return g_D3D.currentSlot; }
};
