// Every drawing route on an 8-bit palette screen: each one either writes the palette
// indices it stands for inside its own rectangle or writes nothing at all, wherever it
// lands (the screen's left edge, inside it, near its right edge, or a graph wider than
// the screen), and nothing outside its rectangle ever changes.
#include <fstream>
#include <functional>
#include <map>

#include "display_test_support.h"
#include "library/display/display_device.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/font/font.h"
#include "library/graph/draw_front.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"
#include "support/image_files.h"

namespace {

constexpr int kScreenWidth = 320, kScreenHeight = 240;
constexpr int kGraphWidth = 6, kGraphHeight = 4;

// A rectangle of an 8-bit (or 16-bit) surface, row by row.
std::vector<uint32_t> ReadSurface(IDirectDrawSurface7* surface, RECT area) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    std::vector<uint32_t> values;
    if (IDirectDrawSurface7_Lock(surface, &area, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return values;
    const int bytes = int(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    for (int y = 0; y < area.bottom - area.top; y++) {
        const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch;
        for (int x = 0; x < area.right - area.left; x++) {
            uint32_t value = 0;
            std::memcpy(&value, row + x * bytes, size_t(bytes));
            values.push_back(value);
        }
    }
    IDirectDrawSurface7_Unlock(surface, &area);
    return values;
}

// Every pixel of an 8-bit area gets an index of its own position, so that any write
// shows.
uint8_t Background(int x, int y) { return uint8_t(1 + (x * 7 + y * 11) % 250); }

void PaintBackground(IDirectDrawSurface7* surface, RECT area) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(DD_OK, IDirectDrawSurface7_Lock(surface, &area, &desc, DDLOCK_WAIT, nullptr));
    for (int y = 0; y < area.bottom - area.top; y++) {
        uint8_t* row = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
        for (int x = 0; x < area.right - area.left; x++) row[x] = Background(area.left + x, area.top + y);
    }
    IDirectDrawSurface7_Unlock(surface, &area);
}

IDirectDrawSurface7* GraphSurface(int graph) {
    const GraphRecord* record = GetGraphRecord(graph);
    const Surface2DRecord* piece = record != nullptr ? GetSurface2DRecord(record->pieces[0]) : nullptr;
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    return data != nullptr ? data->surface : nullptr;
}

// What a string writes, relative to where it is drawn: its body and its outline.
enum class Glyph { Body, Edge };
using GlyphMap = std::map<std::pair<int, int>, Glyph>;
constexpr RECT kTextBox{0, 0, 40, 24};  // holds "AB" with its outline

class PaletteScreenRoutesTest : public DisplayTest {
protected:
    void StartFullScreen(int colorBits) {
        ResetDisplayForTest();
        ChangeWindowMode(0);
        SetScreenMode(kScreenWidth, kScreenHeight, colorBits, 60);
        StartDisplay(true);  // DirectDraw surfaces drawn without Direct3D
        ASSERT_EQ(colorBits, GetScreenColorBitDepth());
    }

    static FontHandle OutlinedFont() { return CreateFontToHandle(nullptr, 16, 6, FontTypeOutlined, -1, -1, 0, -1, -1); }

    // The pixels a string covers on the back screen of the screen in force, cleared to
    // black, when drawn at (60, 100) in red with a blue outline.
    static GlyphMap CoveredBy(const std::function<void(int x, int y, int colour, int edge)>& draw) {
        const int body = ComposeColorValue(255, 0, 0), edge = ComposeColorValue(0, 0, 255);
        SelectDrawTarget(BackBufferTarget);
        ClearCurrentScreen();
        draw(60, 100, body, edge);
        const RECT area{60, 100, 60 + kTextBox.right, 100 + kTextBox.bottom};
        const std::vector<uint32_t> pixels = ReadSurface(g_Screen.BackSurface, area);
        GlyphMap covered;
        for (int y = 0; y < kTextBox.bottom; y++)
            for (int x = 0; x < kTextBox.right; x++) {
                const uint32_t p = pixels[size_t(y) * kTextBox.right + x];
                if (p == uint32_t(body)) covered[{x, y}] = Glyph::Body;
                if (p == uint32_t(edge)) covered[{x, y}] = Glyph::Edge;
            }
        return covered;
    }
};

// A 6 x 4 picture in colours of the screen palette, with two black (keyed) pixels.
void WritePicture(const std::string& path) {
    testimg::BmpLayout bmp;
    bmp.width = kGraphWidth;
    bmp.height = -kGraphHeight;  // top-down
    testimg::Bytes rows;
    for (int y = 0; y < kGraphHeight; y++)
        for (int x = 0; x < kGraphWidth; x++) {
            const bool keyed = (x == 2 && y == 1) || (x == 5 && y == 3);
            const int i = keyed ? 0 : 40 + x * 30 + y * 7;
            const uint8_t* e = DefaultScreenPalette[i];
            rows.insert(rows.end(), {e[2], e[1], e[0]});
        }
    bmp.pixels = testimg::PadRows(rows, kGraphWidth * 3, testimg::BmpStride(24, kGraphWidth));
    const testimg::Bytes file = testimg::BuildBmp(bmp);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

enum class Writes { Nothing, Graph, KeyedGraph, GraphPart, Text, OutlinedText };

struct Route {
    const char* name;
    Writes writes;
    std::function<int(int x, int y)> draw;
};

TEST_F(PaletteScreenRoutesTest, EveryRouteWritesItsPaletteIndicesOrNothingWhereverItLands) {
    // The pixels strings cover, taken from a 16-bit screen.
    StartFullScreen(16);
    const GlyphMap textCover = CoveredBy([](int x, int y, int colour, int edge) { DrawTextAt(x, y, "AB", colour, edge); });
    FontHandle font = OutlinedFont();
    ASSERT_NE(-1, font);
    const GlyphMap outlinedCover = CoveredBy([font](int x, int y, int colour, int edge) {
        DrawTextWithFontHandle(x, y, "AB", colour, font, edge, 0);
    });
    ASSERT_FALSE(textCover.empty());
    ASSERT_FALSE(outlinedCover.empty());

    ASSERT_EQ(0, SetScreenMode(kScreenWidth, kScreenHeight, 8, 60));
    ASSERT_EQ(8, GetScreenColorBitDepth());
    font = OutlinedFont();  // fonts do not outlive the mode change
    ASSERT_NE(-1, font);
    const int red = ComposeColorValue(255, 0, 0), blue = ComposeColorValue(0, 0, 255);

    SetTransparentColorKey(0, 0, 0);
    WritePicture(dir_ + "/pic.bmp");
    const int graph = LoadImageToGraph("pic.bmp", 0);
    ASSERT_NE(-1, graph);
    const std::vector<uint32_t> picture = ReadSurface(GraphSurface(graph), RECT{0, 0, kGraphWidth, kGraphHeight});
    const uint32_t keyIndex = uint32_t(ComposeColorValue(0, 0, 0));
    ASSERT_EQ(keyIndex, picture[1 * kGraphWidth + 2]);
    SetGraphDrawValidFlag(1);
    const int wide = CreateBlankGraph(1400, 40, 1);
    SetGraphDrawValidFlag(0);
    ASSERT_NE(-1, wide);

    auto plain = [](std::function<int()> draw) { return draw(); };
    auto blended = [](int mode, int parameter, std::function<int()> draw) {
        SetBlendModeParam(mode, parameter);
        const int result = draw();
        SetBlendModeParam(BlendNone, 255);
        return result;
    };
    auto triangle = [](int x, int y) {
        return std::vector<Vertex2D>{{float(x), float(y), 0, 0, 0, 0, 255, 255},
                                     {float(x + 12), float(y), 6, 0, 0, 0, 255, 255},
                                     {float(x), float(y + 8), 0, 4, 0, 0, 255, 255}};
    };
    const Route routes[] = {
        {"graph", Writes::Graph, [&](int x, int y) { return DrawGraphAt(x, y, graph, 0); }},
        {"keyed graph", Writes::KeyedGraph, [&](int x, int y) { return DrawGraphAt(x, y, graph, 1); }},
        {"part of a graph", Writes::GraphPart, [&](int x, int y) { return DrawGraphPartAt(x, y, 1, 1, 3, 2, graph, 0, 0); }},
        {"filled box", Writes::Nothing, [&](int x, int y) { return DrawBoxShape(x, y, x + 10, y + 3, red, 1); }},
        {"box outline", Writes::Nothing, [&](int x, int y) { return DrawBoxShape(x, y, x + 10, y + 3, red, 0); }},
        {"thick line", Writes::Nothing, [&](int x, int y) { return DrawThickLine(x, y, x + 12, y + 6, red, 3); }},
        {"flat triangles", Writes::Nothing,
         [&](int x, int y) {
             const auto v = triangle(x, y);
             return DrawVertexList2D(v.data(), 3, PrimitiveTriangleList, NoTextureGraph, 0);
         }},
        {"textured triangles", Writes::Nothing,
         [&](int x, int y) {
             const auto v = triangle(x, y);
             return DrawVertexList2D(v.data(), 3, PrimitiveTriangleList, graph, 0);
         }},
        {"alpha-blended graph", Writes::Nothing,
         [&](int x, int y) { return blended(BlendAlpha, 128, [&] { return DrawGraphAt(x, y, graph, 0); }); }},
        {"added graph", Writes::Nothing,
         [&](int x, int y) { return blended(BlendAdd, 255, [&] { return DrawGraphAt(x, y, graph, 1); }); }},
        {"brightened graph", Writes::Nothing,
         [&](int x, int y) {
             SetBrightnessRGB(128, 255, 255);
             const int result = DrawGraphAt(x, y, graph, 0);
             SetBrightnessRGB(255, 255, 255);
             return result;
         }},
        {"stretched graph", Writes::Nothing,
         [&](int x, int y) { return DrawGraphStretched(x, y, x + 12, y + 8, graph, 0); }},
        {"mirrored graph", Writes::Nothing, [&](int x, int y) { return DrawGraphMirroredAt(x, y, graph, 0); }},
        {"graph on four corners", Writes::Nothing,
         [&](int x, int y) {
             return DrawGraphToCorners(float(x + 4), float(y), float(x + 10), float(y + 4), float(x + 6),
                                       float(y + 10), float(x), float(y + 6), graph, 0);
         }},
        {"text", Writes::Text, [&](int x, int y) { return plain([&] { return DrawTextAt(x, y, "AB", red, blue); }); }},
        {"text under alpha blending", Writes::Text,
         [&](int x, int y) { return blended(BlendAlpha, 128, [&] { return DrawTextAt(x, y, "AB", red, blue); }); }},
        {"outlined text", Writes::OutlinedText,
         [&](int x, int y) { return DrawTextWithFontHandle(x, y, "AB", red, font, blue, 0); }},
    };

    struct Target {
        const char* name;
        int handle;
        IDirectDrawSurface7* surface;
        int width, height, y;
        std::vector<int> xs;
    };
    const Target targets[] = {
        {"back screen", BackBufferTarget, g_Screen.BackSurface, kScreenWidth, kScreenHeight, 100, {0, 60, 250}},
        {"wide graph", wide, GraphSurface(wide), 1400, 40, 10, {0, 60, 250, 330, 1300}},
    };
    const size_t logBefore = Log().size();

    for (const Target& target : targets) {
        ASSERT_NE(nullptr, target.surface);
        const RECT whole{0, 0, target.width, target.height};
        for (const Route& route : routes) {
            for (int x : target.xs) {
                SCOPED_TRACE(std::string(target.name) + ", " + route.name + " at x = " + std::to_string(x));
                ASSERT_EQ(0, SelectDrawTarget(target.handle));
                PaintBackground(target.surface, whole);
                const int y = target.y;
                EXPECT_EQ(0, route.draw(x, y));

                std::vector<uint32_t> expected;
                for (int py = 0; py < target.height; py++)
                    for (int px = 0; px < target.width; px++) expected.push_back(Background(px, py));
                auto put = [&](int px, int py, uint32_t value) {
                    if (px >= 0 && px < target.width && py >= 0 && py < target.height)
                        expected[size_t(py) * target.width + px] = value;
                };
                auto source = [&](int sx, int sy) { return picture[size_t(sy) * kGraphWidth + sx]; };
                switch (route.writes) {
                    case Writes::Nothing: break;
                    case Writes::Graph:
                    case Writes::KeyedGraph:
                        for (int sy = 0; sy < kGraphHeight; sy++)
                            for (int sx = 0; sx < kGraphWidth; sx++)
                                if (route.writes == Writes::Graph || source(sx, sy) != keyIndex)
                                    put(x + sx, y + sy, source(sx, sy));
                        break;
                    case Writes::GraphPart:
                        for (int sy = 0; sy < 2; sy++)
                            for (int sx = 0; sx < 3; sx++) put(x + sx, y + sy, source(1 + sx, 1 + sy));
                        break;
                    case Writes::Text:
                    case Writes::OutlinedText:
                        for (const auto& [at, glyph] : route.writes == Writes::Text ? textCover : outlinedCover)
                            put(x + at.first, y + at.second, uint32_t(glyph == Glyph::Body ? red : blue));
                        break;
                }
                const std::vector<uint32_t> actual = ReadSurface(target.surface, whole);
                ASSERT_EQ(expected.size(), actual.size());
                int wrong = 0, first = -1;
                for (size_t i = 0; i < actual.size(); i++)
                    if (actual[i] != expected[i]) {
                        if (first < 0) first = int(i);
                        wrong++;
                    }
                EXPECT_EQ(0, wrong) << "first at x = " << (first % target.width) << ", y = " << (first / target.width)
                                    << ": " << actual[size_t(std::max(first, 0))] << " for "
                                    << expected[size_t(std::max(first, 0))];
            }
        }
    }
    // Nothing went wrong on the way: no route logged a failure.
    EXPECT_EQ("", Log().substr(logBefore));
    SelectDrawTarget(BackBufferTarget);
}

}  // namespace
