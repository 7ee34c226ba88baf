// The layer's Direct3D device against Mesa's llvmpipe on one thread (OSMesa), drawing
// the same pixels into a 640 x 480 target at 16 bits (RGB565) and 32 bits (XRGB8888):
//   Quad   a 256 x 256 graph drawn 1:1 as one textured quad (two triangles, 65536
//          pixels) at (100, 100); point or bilinear sampling; opaque, keyed (colour key
//          on a plain texture; no peer case) or alpha-blended with vertex alpha 128
//   Boxes  the game's three flat background boxes: 150 x 200, then its sky and sea
//          halves (150 x 100 each), 60000 pixels
//   Text   a 64-glyph string in the default font (one alpha-blended textured quad per
//          glyph, from the font's cache texture)
// The device side goes through the library on the hardware path: each iteration queues
// the draw and flushes the batch with one DrawPrimitive, so the figure is the device's
// cost with the library's few microseconds of state checks on top. The peer draws the
// same rectangles with the matching fixed-function state (GL_REPLACE or GL_MODULATE,
// SRC_ALPHA / ONE_MINUS_SRC_ALPHA); its text is 64 quads of the device's glyph cell size
// from an alpha texture. Counter "pix/s": pixels covered per second.
//
// After the run a table gives both CPU times (the median over repetitions when
// aggregates are reported) and the ratio device / llvmpipe (below 1: the device is
// faster). The device's cost in the game's frame is what bench_game_frames measures on
// the Hardware565 and Hardware8888 configurations.
// Run: bench_d3d_device --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Names: Quad256/bits/filter/blend, Boxes/bits, Text64/bits [/llvmpipe].
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/osmesa_peer.h"
#include "bench/ratio_reporter.h"
#include "library/core/startup.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d_internal.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_image.h"
#include "platform/testing.h"
#include "tests/support/scratch_directory.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kQuadAt = 100, kQuadSize = 256;
constexpr int kBoxWidth = 150, kBoxHeight = 200, kWaterline = 100;
constexpr int kTextAt = 10, kTextY = 200;
const char kText[] = "The quick brown fox jumps over the lazy dog 0123456789 ABCDEFGHIJ";  // 64 glyphs + 1
constexpr int kGlyphs = 64;

enum Blend { Opaque, Keyed, Alpha };
const char* const kBlendNames[] = {"opaque", "keyed", "alpha"};

// The library on a 640 x 480 window in a directory of its own, on the hardware path.
bool StartHardwarePath(int bits) {
    static ScratchDirectory dir("zq-bench-d3d");  // removed as the program ends
    if (dir.path().empty()) return false;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    dir.useAsRuntimeDirectory();
    if (chdir(dir.path().c_str()) != 0) return false;
    ResetDisplayForTest(bits == 16 ? DesktopFormat::Rgb565 : DesktopFormat::Xrgb8888);
    SetDirect3DProfile(DefaultDirect3DProfile());
    SetWindowTitleText("Bench");
    ChangeWindowMode(1);
    SetScreenMode(kWidth, kHeight, bits, 60);
    if (InitializeLibrary() != 0 || g_D3D.direct3D == nullptr) return false;
    SelectDrawTarget(BackBufferTarget);
    return true;
}

// The noise of both sides' textures: 0xFFRRGGBB, a quarter of it black (the key).
std::vector<uint32_t> NoisePixels() {
    std::vector<uint32_t> out(kQuadSize * kQuadSize);
    uint32_t seed = 5;
    for (uint32_t& p : out) {
        seed = seed * 1664525u + 1013904223u;
        p = (seed >> 8 & 3) == 0 ? 0xFF000000u : 0xFF000000u | seed >> 8;
    }
    return out;
}

int NoiseGraph() {
    GraphImage image{};
    CreateARGB32GraphImage(kQuadSize, kQuadSize, &image);
    const std::vector<uint32_t> noise = NoisePixels();
    for (int y = 0; y < kQuadSize; y++)
        std::memcpy(static_cast<uint8_t*>(image.pixels) + y * image.pitch, &noise[size_t(y) * kQuadSize], kQuadSize * 4);
    const int graph = BuildGraphFromGraphImageNoAlpha(&image, 1);
    FreeGraphImage(&image);
    return graph;
}

void SetPixelRate(benchmark::State& state, double pixels) {
    state.counters["pix/s"] = benchmark::Counter(double(state.iterations()) * pixels, benchmark::Counter::kIsRate);
}

// Runs draw() then flushes the batch, per iteration, on the hardware path.
template <class Draw>
void OnDevice(benchmark::State& state, int bits, double pixels, Draw draw) {
    if (!StartHardwarePath(bits)) {
        state.SkipWithError("the hardware path did not start");
        ShutdownLibrary();
        return;
    }
    ClearCurrentScreen();
    RecordDirect3DCalls(false);
    draw();  // the first draw builds textures and glyphs: not measured
    G_D3D_FlushVertexBatch();
    for (auto _ : state) {
        draw();
        G_D3D_FlushVertexBatch();
    }
    G_D3D_EndScene();
    SetPixelRate(state, pixels);
    ShutdownLibrary();
}

void Quad(benchmark::State& state, int bits, int filter, Blend blend) {
    int graph = -1;
    OnDevice(state, bits, double(kQuadSize) * kQuadSize, [&] {
        if (graph < 0) {
            SetGraphAlphaTestFlag(0);  // a plain texture, keyed by the colour key
            graph = NoiseGraph();
            SetDrawFilterMode(filter);
            SetBlendModeParam(blend == Alpha ? BlendAlpha : BlendNone, blend == Alpha ? 128 : 0);
        }
        DrawGraphAt(kQuadAt, kQuadAt, graph, blend == Keyed);
    });
}

void Boxes(benchmark::State& state, int bits) {
    OnDevice(state, bits, 2.0 * kBoxWidth * kBoxHeight, [] {
        DrawBoxShape(0, 0, kBoxWidth, kBoxHeight, ComposeColorValue(1, 1, 1), 1);
        DrawBoxShape(0, 0, kBoxWidth, kWaterline, ComposeColorValue(0, 158, 158), 1);
        DrawBoxShape(0, kWaterline, kBoxWidth, kBoxHeight, ComposeColorValue(0, 0, 200), 1);
    });
}

// The glyph cell the device's text quads have (measured on the first text run).
int g_glyphWidth = 9, g_glyphHeight = 19;

void Text(benchmark::State& state, int bits) {
    bool measured = false;
    OnDevice(state, bits, double(kGlyphs) * g_glyphWidth * g_glyphHeight, [&] {
        if (!measured) {
            SetDefaultFontSize(18);
            g_glyphWidth = MeasureTextWidth(kText, kGlyphs, 0) / kGlyphs;
            measured = true;
        }
        DrawTextAt(kTextAt, kTextY, kText, ComposeColorValue(255, 255, 255), 0);
    });
}

#ifdef ZQ_HAVE_OSMESA
// Pixel coordinates, row 0 at the top; pixel centres at half coordinates, as the
// device's rectangles are drawn.
void PeerProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, kHeight, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DITHER);
}

// Rectangles (x1, y1, x2, y2, u1, v1, u2, v2) as two triangles each.
struct PeerQuads {
    std::vector<float> position, texCoord;
    std::vector<uint8_t> colour;
    void Add(float x1, float y1, float x2, float y2, float u1, float v1, float u2, float v2, uint32_t argb) {
        const float xs[6] = {x1, x2, x1, x2, x1, x2}, ys[6] = {y1, y1, y2, y2, y2, y1};
        const float us[6] = {u1, u2, u1, u2, u1, u2}, vs[6] = {v1, v1, v2, v2, v2, v1};
        for (int i = 0; i < 6; i++) {
            position.insert(position.end(), {xs[i], ys[i]});
            texCoord.insert(texCoord.end(), {us[i], vs[i]});
            colour.insert(colour.end(), {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
        }
    }
};

GLuint PeerTexture(int bits, const std::vector<uint32_t>& argb, int w, int h, bool alpha, bool linear) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    if (bits == 16 && !alpha) {
        std::vector<uint16_t> rgb565(argb.size());
        for (size_t i = 0; i < argb.size(); i++)
            rgb565[i] = uint16_t((argb[i] >> 8 & 0xF800) | (argb[i] >> 5 & 0x07E0) | (argb[i] >> 3 & 0x001F));
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB5, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, rgb565.data());
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA8 : GL_RGB8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, argb.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, linear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glEnable(GL_TEXTURE_2D);
    return name;
}

// Opens the peer on a 640 x 480 image, runs setUp() to build the state and quads, draws
// once (shader compilation, not measured), then draws per iteration until glFinish.
template <class SetUp>
void OnPeer(benchmark::State& state, int bits, double pixels, SetUp setUp) {
    std::vector<uint8_t> target(size_t(kWidth) * kHeight * (bits / 8), 0x40);
    OsmesaPeer peer;
    if (!OsmesaPeerOpen(&peer, bits, target.data(), kWidth, kHeight, false)) {
        state.SkipWithError("OSMesa gives no context");
        return;
    }
    PeerProjection();
    PeerQuads quads;
    GLuint texture = 0;
    setUp(&quads, &texture);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, quads.position.data());
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, quads.colour.data());
    if (texture) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, quads.texCoord.data());
    }
    const GLsizei count = GLsizei(quads.position.size() / 2);
    glDrawArrays(GL_TRIANGLES, 0, count);
    glFinish();
    for (auto _ : state) {
        glDrawArrays(GL_TRIANGLES, 0, count);
        glFinish();
    }
    SetPixelRate(state, pixels);
    if (texture) glDeleteTextures(1, &texture);
    OsmesaPeerClose(&peer);
}

void BlendOver() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void QuadPeer(benchmark::State& state, int bits, int filter, Blend blend) {
    OnPeer(state, bits, double(kQuadSize) * kQuadSize, [&](PeerQuads* q, GLuint* texture) {
        *texture = PeerTexture(bits, NoisePixels(), kQuadSize, kQuadSize, false, filter != 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, blend == Alpha ? GL_MODULATE : GL_REPLACE);
        if (blend == Alpha) BlendOver();
        q->Add(kQuadAt, kQuadAt, kQuadAt + kQuadSize, kQuadAt + kQuadSize, 0, 0, 1, 1,
               blend == Alpha ? 0x80FFFFFFu : 0xFFFFFFFFu);
    });
}

void BoxesPeer(benchmark::State& state, int bits) {
    OnPeer(state, bits, 2.0 * kBoxWidth * kBoxHeight, [](PeerQuads* q, GLuint*) {
        glShadeModel(GL_FLAT);
        q->Add(0, 0, kBoxWidth, kBoxHeight, 0, 0, 0, 0, 0xFF010101u);
        q->Add(0, 0, kBoxWidth, kWaterline, 0, 0, 0, 0, 0xFF009E9Eu);
        q->Add(0, kWaterline, kBoxWidth, kBoxHeight, 0, 0, 0, 0, 0xFF0000C8u);
    });
}

// A 256 x 256 alpha texture of glyph-like noise; each glyph quad takes its own cell.
void TextPeer(benchmark::State& state, int bits) {
    OnPeer(state, bits, double(kGlyphs) * g_glyphWidth * g_glyphHeight, [&](PeerQuads* q, GLuint* texture) {
        std::vector<uint32_t> atlas = NoisePixels();
        for (uint32_t& p : atlas) p = (p & 0xFF) << 24 | 0xFFFFFF;
        *texture = PeerTexture(bits, atlas, kQuadSize, kQuadSize, true, false);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        BlendOver();
        const int across = kQuadSize / g_glyphWidth;
        for (int i = 0; i < kGlyphs; i++) {
            const float x = float(kTextAt + i * g_glyphWidth);
            const float u = float(i % across * g_glyphWidth) / kQuadSize, v = float(i / across * g_glyphHeight) / kQuadSize;
            q->Add(x, kTextY, x + float(g_glyphWidth), float(kTextY + g_glyphHeight), u, v,
                   u + float(g_glyphWidth) / kQuadSize, v + float(g_glyphHeight) / kQuadSize, 0xFFFFFFFFu);
        }
    });
}
#endif

struct Case {
    std::string name;
    std::function<void(benchmark::State&)> device, peer;
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (int bits : {32, 16}) {
        for (int filter : {0, 1})
            for (Blend blend : {Opaque, Keyed, Alpha}) {
                Case c{"Quad256/" + std::to_string(bits) + (filter ? "/bilinear/" : "/point/") + kBlendNames[blend],
                       [=](benchmark::State& s) { Quad(s, bits, filter, blend); }, nullptr};
#ifdef ZQ_HAVE_OSMESA
                if (blend != Keyed) c.peer = [=](benchmark::State& s) { QuadPeer(s, bits, filter, blend); };
#endif
                cases.push_back(c);
            }
        Case boxes{"Boxes/" + std::to_string(bits), [=](benchmark::State& s) { Boxes(s, bits); }, nullptr};
        Case text{"Text64/" + std::to_string(bits), [=](benchmark::State& s) { Text(s, bits); }, nullptr};
#ifdef ZQ_HAVE_OSMESA
        boxes.peer = [=](benchmark::State& s) { BoxesPeer(s, bits); };
        text.peer = [=](benchmark::State& s) { TextPeer(s, bits); };
#endif
        cases.push_back(boxes);
        cases.push_back(text);
    }
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Case> cases = AllCases();
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark(c.name.c_str(), c.device)->Unit(benchmark::kMicrosecond);
        if (c.peer) benchmark::RegisterBenchmark((c.name + "/llvmpipe").c_str(), c.peer)->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-36s %12s %12s %8s\n", "case", "device us", "llvmpipe us", "ratio");
    for (const Case& c : cases) reporter.PrintRow(c.name, "/llvmpipe");
    benchmark::Shutdown();
    return 0;
}
