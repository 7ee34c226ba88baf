// Helpers for the graph and drawing tests.
//
// Start brings the game's screen up (a 150 x 200 window asking for 16 bits) in one of
// the two outputs: GDI output through the library's own start-up, as the game runs it
// (software screens, warm-up included), or DirectDraw output with no Direct3D object
// through graphics start-up alone (graphs in DirectDraw surfaces, drawn by the
// software renderer on locked surfaces or by colour-keyed blits). The game's image
// files are copied into the test's directory. Pixels are compared as 0xRRGGBB values
// decoded from whatever format the screen or the graph keeps.
#pragma once

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "display/display_test_support.h"
#include "library/core/alloc.h"
#include "library/display/color_format.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_loader.h"
#include "library/graph/graph_manager.h"
#include "library/graph/graph_restore.h"
#include "library/softrender/memimg.h"
#include "platform/ddraw/ddraw.h"

enum class Output { Gdi, DirectDraw };

struct OutputCase {
    Output output;
    DesktopFormat desktop;
    const char* name;
};

inline void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.name; }
inline std::string OutputCaseName(const ::testing::TestParamInfo<OutputCase>& info) { return info.param.name; }

// The four screens the game meets: both outputs on a 16- and a 32-bit desktop.
inline auto AllOutputs() {
    return ::testing::Values(OutputCase{Output::Gdi, DesktopFormat::Rgb565, "Gdi16"},
                             OutputCase{Output::Gdi, DesktopFormat::Xrgb8888, "Gdi32"},
                             OutputCase{Output::DirectDraw, DesktopFormat::Rgb565, "DirectDraw16"},
                             OutputCase{Output::DirectDraw, DesktopFormat::Xrgb8888, "DirectDraw32"});
}

class GraphTest : public DisplayTest {
protected:
    void Start(Output output, DesktopFormat desktop = DesktopFormat::Rgb565) {
        output_ = output;
        ResetDisplayForTest(desktop);
        GameSettings();
        if (output == Output::Gdi) {
            StartLibrary();
        } else {
            StartDisplay(true);
            SetGraphRestoreHandler(nullptr);  // as library start-up installs it
        }
        for (const char* name : {"image01.png", "bakuhatu5.png", "bakuhatu6.bmp"}) CopyGameFile(name);
    }

    void CopyGameFile(const char* name, const std::string& as = "") {
        std::ifstream in(std::string(ZQ_SOURCE_DIR) + "/game/data/" + name, std::ios::binary);
        std::ofstream out(dir_ + "/" + (as.empty() ? name : as), std::ios::binary);
        out << in.rdbuf();
    }
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream out(dir_ + "/" + name, std::ios::binary);
        out << bytes;
    }

public:
    // 0xRRGGBB of a raw pixel in a format.
    static uint32_t Rgb(const ColorFormat* format, uint32_t value) {
        int r = 0, g = 0, b = 0;
        DecodePixelRgba(format, value, &r, &g, &b, nullptr);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    }
    // The colour as a pixel of that format keeps it.
    static uint32_t Quantized(const ColorFormat* format, uint32_t rgb) {
        return Rgb(format, EncodePixelRgb(format, int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)));
    }
    static uint32_t ReadRaw(const uint8_t* at, int bytes) {
        uint32_t value = 0;
        std::memcpy(&value, at, size_t(bytes));
        return value;
    }

    // The colours of a rectangle of a software image or a surface, row by row.
    static std::vector<uint32_t> ImageRgb(const MEMIMG& image, const RECT& area) {
        std::vector<uint32_t> rgb;
        for (int y = area.top; y < area.bottom; y++)
            for (int x = area.left; x < area.right; x++)
                rgb.push_back(Rgb(image.colorFormat, ReadRaw(MemImgPixelAddress(&image, x, y), MemImgBytesPerPixel(&image))));
        return rgb;
    }
    static std::vector<uint32_t> SurfaceRgb(IDirectDrawSurface7* surface, const RECT& area) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        RECT r = area;
        std::vector<uint32_t> rgb;
        const HRESULT locked = IDirectDrawSurface7_Lock(surface, &r, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
        EXPECT_EQ(DD_OK, locked);
        if (locked != DD_OK) return rgb;
        ColorFormat format;
        InitColorFormatFromDDPixelFormat(&desc.ddpfPixelFormat, &format);
        const int bytes = int(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        for (int y = 0; y < r.bottom - r.top; y++) {
            const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch;
            for (int x = 0; x < r.right - r.left; x++) rgb.push_back(Rgb(&format, ReadRaw(row + x * bytes, bytes)));
        }
        IDirectDrawSurface7_Unlock(surface, &r);
        return rgb;
    }

protected:
    // The back screen as the renderer drew it.
    std::vector<uint32_t> BackRgb(const RECT& area) const {
        return output_ == Output::Gdi ? ImageRgb(BackMemImg, area) : SurfaceRgb(g_Screen.BackSurface, area);
    }
    uint32_t BackRgbAt(int x, int y) const { return BackRgb(RECT{x, y, x + 1, y + 1}).at(0); }
    // The format the back screen keeps its pixels in.
    const ColorFormat* BackFormat() const {
        if (output_ == Output::Gdi) return BackMemImg.colorFormat;
        static ColorFormat format;
        DDPIXELFORMAT pixelFormat{};
        pixelFormat.dwSize = sizeof pixelFormat;
        IDirectDrawSurface7_GetPixelFormat(g_Screen.BackSurface, &pixelFormat);
        InitColorFormatFromDDPixelFormat(&pixelFormat, &format);
        return &format;
    }

public:
    // A graph's pixels, read from its storage.
    static std::vector<uint32_t> GraphRgb(int graph) {
        const GraphRecord* record = GetGraphRecord(graph);
        if (record == nullptr) return {};
        const Surface2DRecord* piece = GetSurface2DRecord(record->pieces[0]);
        SurfaceDataRecord* data = GetSurfaceDataRecord(piece->surfaceData);
        const RECT area{piece->sourceX, piece->sourceY, piece->sourceX + piece->width, piece->sourceY + piece->height};
        return data->surface != nullptr ? SurfaceRgb(data->surface, area) : ImageRgb(data->image, area);
    }

    // A decoded file as 0xRRGGBB values, row by row, with its size.
    struct Decoded {
        int width = 0, height = 0;
        std::vector<uint32_t> rgb;
        uint32_t at(int x, int y) const { return rgb[size_t(y) * width + x]; }
        // The rectangle of the image, row by row.
        std::vector<uint32_t> Cut(int x0, int y0, int w, int h) const {
            std::vector<uint32_t> out;
            for (int y = y0; y < y0 + h; y++)
                for (int x = x0; x < x0 + w; x++) out.push_back(at(x, y));
            return out;
        }
    };
    static Decoded Decode(const char* fileName) {
        GraphImage image{};
        Decoded out;
        if (DecodeImageToGraphImage(fileName, nullptr, 0, 0, &image, 0) != 0) return out;
        out.width = image.width;
        out.height = image.height;
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width; x++) {
                int r, g, b, a;
                GetGraphImagePixel(&image, x, y, &r, &g, &b, &a);
                out.rgb.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
            }
        FreeGraphImage(&image);
        return out;
    }
    // The colours a format keeps of each pixel.
    static std::vector<uint32_t> QuantizedAll(const ColorFormat* format, std::vector<uint32_t> rgb) {
        for (uint32_t& c : rgb) c = Quantized(format, c);
        return rgb;
    }

protected:
    Output output_ = Output::Gdi;
};
