// Helpers for the surface-table and surface-drawing tests.
//
// StartDirectDraw brings the display up in a window with DirectDraw output and no
// Direct3D (graphs kept in 2D surfaces, drawn by the software renderer on locked
// surfaces or by BltFast) on a desktop of the chosen format. The graph subsystem is not
// built yet, so the tests make graph records themselves and select draw targets the
// way its target selection will: SelectBackBuffer and SelectGraph fill the display's
// target fields and the draw state.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "display/display_test_support.h"
#include "library/display/color_format.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/graph_record.h"
#include "library/softrender/memimg_formats.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"

// A decoded image in XRGB8888 (or ARGB8888 with alpha) that the test owns.
struct TestImage {
    std::vector<uint32_t> pixels;
    GraphImage image{};

    TestImage(int width, int height, bool alpha = false) : pixels(size_t(width) * height, 0) {
        InitColorFormatFromMasks(&image.format, 32, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000 : 0);
        image.width = width;
        image.height = height;
        image.pitch = width * 4;
        image.pixels = pixels.data();
    }
    uint32_t& at(int x, int y) { return pixels[size_t(y) * image.width + x]; }
    // Every pixel from f(x, y).
    TestImage& Fill(const std::function<uint32_t(int, int)>& f) {
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width; x++) at(x, y) = f(x, y);
        return *this;
    }
};

// A colour that every screen format keeps exactly: each channel 0 or 255.
inline uint32_t PatternRgb(int x, int y) {
    static const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    return colours[(x / 2 + y) % 7];
}

enum class Storage { Surface, MemImg };

class SurfacesTest : public DisplayTest {
protected:
    // Surface data a test leaves behind is deleted, as the graph manager's end deletes
    // it in a program: its DirectDraw surfaces go back before the next test starts.
    void TearDown() override {
        for (int slot = 0; slot < SurfaceDataTable.highWater; slot++) {
            if (SurfaceDataTable.slots[slot] != nullptr) DeleteSurfaceData(HandleOfSlot(&SurfaceDataTable, slot));
        }
        DisplayTest::TearDown();
    }

    // DirectDraw output in a window of width x height on a desktop of that format.
    void StartDirectDraw(DesktopFormat format = DesktopFormat::Rgb565, int width = 64, int height = 48) {
        ResetDisplayForTest(format);
        ChangeWindowMode(1);
        SetScreenMode(width, height, 16, 60);
        StartDisplay(true);
        ASSERT_EQ(0, g_Screen.softwareRenderer);
        ResetDrawState();
        SelectBackBuffer();
    }
    // GDI output: the screens are software images.
    void StartGdi(int width = 64, int height = 48) {
        ResetDisplayForTest(DesktopFormat::Rgb565);
        ChangeWindowMode(1);
        SetScreenMode(width, height, 16, 60);
        SetScreenUseDirectDraw(0);
        StartDisplay(false);
        ASSERT_EQ(1, g_Screen.softwareRenderer);
        ResetDrawState();
        g_DrawState.drawTarget = BackBufferTarget;
        g_Screen.drawTargetMemImg = &BackMemImg;
        SetWholeTargetArea(g_Screen.width, g_Screen.height);
    }

    static void ResetDrawState() {
        g_DrawState.blendMode = BlendNone;
        g_DrawState.blendParam = 255;
        g_DrawState.blendGraph = -1;
        g_DrawState.brightness = BrightnessNeutral;
        g_DrawState.maskActive = 0;
        g_DrawState.transparentColor = 0;
    }
    static void SetWholeTargetArea(int width, int height) {
        g_DrawState.targetWidth = width;
        g_DrawState.targetHeight = height;
        g_DrawState.clipRect = RECT{0, 0, width, height};
    }
    static int InVideoMemory(IDirectDrawSurface7* surface) {
        DDSCAPS2 caps{};
        IDirectDrawSurface7_GetCaps(surface, &caps);
        return (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
    }
    static void SelectBackBuffer() {
        g_DrawState.drawTarget = BackBufferTarget;
        g_DrawState.drawOrigin = RECT{0, 0, 0, 0};
        g_Screen.drawTargetSurface = g_Screen.BackSurface;
        g_Screen.drawTargetMemImg = nullptr;
        g_Screen.drawTargetOffsetX = g_Screen.drawTargetOffsetY = 0;
        g_DrawState.targetInVideoMemory = InVideoMemory(g_Screen.BackSurface);
        SetWholeTargetArea(g_Screen.width, g_Screen.height);
    }
    static void SelectGraph(const GraphRecord& graph) {
        const Surface2DRecord* piece = GetSurface2DRecord(graph.pieces[0]);
        SurfaceDataRecord* data = GetSurfaceDataRecord(piece->surfaceData);
        g_DrawState.drawTarget = graph.handle;
        g_DrawState.drawOrigin = RECT{0, 0, 0, 0};
        g_Screen.drawTargetSurface = data->surface;
        g_Screen.drawTargetMemImg = data->surface != nullptr ? nullptr : &data->image;
        g_Screen.drawTargetOffsetX = data->surface != nullptr ? piece->sourceX : 0;
        g_Screen.drawTargetOffsetY = data->surface != nullptr ? piece->sourceY : 0;
        g_DrawState.targetInVideoMemory = data->surface != nullptr ? InVideoMemory(data->surface) : 0;
        SetWholeTargetArea(graph.width, graph.height);
    }

    // A graph record as graph creation fills it, with its one 2D surface made.
    std::unique_ptr<GraphRecord> MakeGraph(int width, int height, Storage storage, bool alpha = false,
                                           bool palette = false) {
        auto graph = std::make_unique<GraphRecord>();
        graph->handle = MakeResourceHandle(HandleKindGraph, 0, nextGraphSlot_++);
        graph->width = width;
        graph->height = height;
        graph->alphaChannelFlag = alpha;
        graph->memImgFlag = storage == Storage::MemImg;
        graph->colorBitDepth = uint8_t(GetScreenColorBitDepth());
        graph->paletteFlag = palette;
        graph->movieHandle = -1;
        EXPECT_EQ(0, CreateGraphSurface2D(graph.get()));
        return graph;
    }
    // A graph derived from `parent` at (x, y), as derived graphs are made.
    std::unique_ptr<GraphRecord> Derive(const GraphRecord& parent, int x, int y, int width, int height) {
        auto graph = std::make_unique<GraphRecord>(parent);
        graph->handle = MakeResourceHandle(HandleKindGraph, 0, nextGraphSlot_++);
        graph->width = width;
        graph->height = height;
        graph->pieceCount = 0;
        EXPECT_EQ(0, CreateGraphSurface2DShared(graph.get(), x, y, width, height, &parent));
        return graph;
    }

    static Surface2DRecord* Piece(const GraphRecord& graph) { return GetSurface2DRecord(graph.pieces[0]); }
    static SurfaceDataRecord* Data(const GraphRecord& graph) { return GetSurfaceDataRecord(Piece(graph)->surfaceData); }

    // The colour (0xRRGGBB) of a raw pixel of the screen's format.
    static uint32_t ScreenRgb(uint32_t value) {
        int r, g, b;
        DecodePixelRgba(GetScreenColorFormat(), value, &r, &g, &b, nullptr);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
    static uint32_t ReadRaw(const uint8_t* row, int x, int bytes) {
        uint32_t value = 0;
        std::memcpy(&value, row + x * bytes, size_t(bytes));
        return value;
    }
    // The colours of a rectangle of a surface, row by row.
    static std::vector<uint32_t> SurfaceRgb(IDirectDrawSurface7* surface, const RECT& area) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        std::vector<uint32_t> rgb;
        RECT r = area;
        EXPECT_EQ(DD_OK, IDirectDrawSurface7_Lock(surface, &r, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
        if (desc.lpSurface == nullptr) return rgb;
        const int bytes = int(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        for (int y = 0; y < r.bottom - r.top; y++) {
            const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            for (int x = 0; x < r.right - r.left; x++) rgb.push_back(ScreenRgb(ReadRaw(row, x, bytes)));
        }
        IDirectDrawSurface7_Unlock(surface, &r);
        return rgb;
    }
    static std::vector<uint32_t> BackRgb(const RECT& area) { return SurfaceRgb(g_Screen.BackSurface, area); }
    static uint32_t BackRgbAt(int x, int y) { return BackRgb(RECT{x, y, x + 1, y + 1})[0]; }

    // The colours of a graph's pixels, read from its storage.
    static std::vector<uint32_t> GraphRgb(const GraphRecord& graph) {
        const Surface2DRecord* piece = Piece(graph);
        SurfaceDataRecord* data = Data(graph);
        const RECT area{piece->sourceX, piece->sourceY, piece->sourceX + piece->width, piece->sourceY + piece->height};
        if (data->surface != nullptr) return SurfaceRgb(data->surface, area);
        std::vector<uint32_t> rgb;
        if (!HasMemImgPixels(&data->image)) return rgb;
        const int bytes = MemImgBytesPerPixel(&data->image);
        for (int y = area.top; y < area.bottom; y++) {
            for (int x = area.left; x < area.right; x++) {
                int r, g, b;
                DecodePixelRgba(data->image.colorFormat, ReadRaw(MemImgPixelAddress(&data->image, x, y), 0, bytes), &r,
                                &g, &b, nullptr);
                rgb.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
            }
        }
        return rgb;
    }
    // The colours the image holds in the rectangle, as a screen keeps them.
    static std::vector<uint32_t> ImageRgb(const TestImage& image, const RECT& area) {
        std::vector<uint32_t> rgb;
        for (int y = area.top; y < area.bottom; y++)
            for (int x = area.left; x < area.right; x++) rgb.push_back(image.pixels[size_t(y) * image.image.width + x] & 0xFFFFFF);
        return rgb;
    }

    static void ClearBack(uint32_t rgb = 0) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = DWORD(RgbToScreenPixel(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
        IDirectDrawSurface7_Blt(g_Screen.BackSurface, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    // Whether the surface can be locked now (nothing else holds it).
    static bool Lockable(IDirectDrawSurface7* surface) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (IDirectDrawSurface7_Lock(surface, nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return false;
        IDirectDrawSurface7_Unlock(surface, nullptr);
        return true;
    }

    // Runs `work` in a child process (a fresh library each time) and hands back what it
    // wrote; empty when the child failed.
    static std::vector<uint32_t> InChild(const std::function<std::vector<uint32_t>()>& work) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return {};
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            const std::vector<uint32_t> result = work();
            const char* bytes = reinterpret_cast<const char*>(result.data());
            size_t left = result.size() * sizeof(uint32_t);
            while (left > 0) {
                const ssize_t written = write(pipeEnds[1], bytes, left);
                if (written <= 0) _exit(1);
                bytes += written;
                left -= size_t(written);
            }
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        close(pipeEnds[1]);
        std::vector<uint32_t> result;
        uint32_t value;
        while (read(pipeEnds[0], &value, sizeof value) == ssize_t(sizeof value)) result.push_back(value);
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
        return result;
    }

    // Whether Log.txt holds the text (its line ends written as the log writes them).
    bool Logged(const std::string& text) const {
        std::string expected;
        for (char ch : text) expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        return Log().find(expected) != std::string::npos;
    }

    int nextGraphSlot_ = 0;
};
