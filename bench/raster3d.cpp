// The software 3D rasteriser against Mesa's llvmpipe on one thread (OSMesa), on the same
// triangle: 256 x 256 pixels (half the square) in a 640 x 480 image, textured from a
// 256 x 256 texture (nearest sampling) or flat, in 16 bits (RGB565) and 32 bits
// (XRGB8888 / BGRA), blend mode none or alpha (p = 128), uniform shading, or Gouraud
// shading with a 16-bit depth test (LEQUAL) and depth write. One iteration draws the
// triangle 16 times (llvmpipe: one glDrawArrays and glFinish). Counter "pix/s": covered
// pixels per second. After the run a table gives both CPU times (the median over
// repetitions when aggregates are reported) and the ratio ours / llvmpipe (below 1: ours
// is faster).
//
// The peer draws the same vertices in clip coordinates (x * w, y * w, z * w, w with
// w = 1 / rhw, x and y taken to the viewport, z to -1..1): GL_REPLACE for uniform
// shading (alpha through the blend colour), GL_MODULATE with the vertex colours for
// Gouraud (alpha from the vertex alpha).
//
// Run: bench_raster3d --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// (add --sse2 for the SSE2 loops on a processor with AVX2)
// Names: format/texture/blend/shading[/llvmpipe].
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/noise_image.h"
#include "bench/osmesa_peer.h"
#include "bench/ratio_reporter.h"
#include "library/d3d/d3d.h"
#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "platform/kernel/cpu.h"
#include "library/softrender/triangle.h"

namespace {

using Image = NoiseImage;

constexpr int kWidth = 640, kHeight = 480, kTrianglesPerIteration = 16;

struct Case {
    int kind;  // MemImgFormat16 or MemImgFormat32
    bool textured;
    int mode;  // BlendNone or BlendAlpha
    bool gouraud;

    std::string Name() const {
        return std::string(kind == MemImgFormat16 ? "16" : "32") + "/" + (textured ? "textured" : "flat") + "/" +
               (mode ? "alpha" : "none") + "/" + (gouraud ? "gouraud-depth" : "uniform");
    }
};

// Perspective: the far corner at a quarter of the near corners' rhw.
void MakeTriangle(ScreenVertex v[3]) {
    v[0] = ScreenVertex{100.5f, 100.5f, 0.2f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f};
    v[1] = ScreenVertex{356.5f, 100.5f, 0.4f, 0.5f, 0xC0FF8040, 0.999f, 0.0f};
    v[2] = ScreenVertex{100.5f, 356.5f, 0.6f, 0.25f, 0x8040FF80, 0.0f, 0.999f};
}

int NonZeroPixels(const MEMIMG* image) {
    const int bytes = MemImgBytesPerPixel(image);
    int count = 0;
    for (int y = 0; y < image->height; y++) {
        for (int x = 0; x < image->width; x++) {
            const uint8_t* p = MemImgPixelAddress(image, x, y);
            count += std::any_of(p, p + bytes, [](uint8_t b) { return b != 0; });
        }
    }
    return count;
}

int CoveredPixels(int kind) {
    Image dest = MakeNoiseImage(kind, kWidth, kHeight);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    ScreenVertex v[3];
    MakeTriangle(v);
    g_DrawState.blendMode = BlendNone;
    DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
    return NonZeroPixels(dest.get());
}

void SetCoveredRate(benchmark::State& state, int covered) {
    state.counters["pix/s"] = benchmark::Counter(double(covered) * kTrianglesPerIteration * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void Ours(benchmark::State& state, const Case& c) {
    BuildBlendTables();
    g_DrawState.clipRect = RECT{0, 0, kWidth, kHeight};
    g_DrawState.brightness = 0xFFFFFF;
    const int covered = CoveredPixels(c.kind);
    g_DrawState.blendMode = c.mode;
    g_DrawState.blendParam = 128;
    Image dest = MakeNoiseImage(c.kind, kWidth, kHeight), texture = MakeNoiseImage(c.kind, 256, 256);
    Image depth(new MEMIMG{});
    CreateZBufferMemImg(depth.get(), kWidth, kHeight);
    // Every draw after the first meets its own depths, and equal depths pass.
    FillMemImgRectRaw(depth.get(), nullptr, 0xFFFF);
    ScreenVertex v[3];
    MakeTriangle(v);
    for (auto _ : state) {
        for (int i = 0; i < kTrianglesPerIteration; i++)
            DrawTriangle3DOnMemImg(dest.get(), c.gouraud ? depth.get() : nullptr, c.textured ? texture.get() : nullptr,
                                   v, 0, nullptr, c.gouraud, 1, c.gouraud, 0);
        benchmark::DoNotOptimize(dest->pixels);
    }
    SetCoveredRate(state, covered);
}

#ifdef ZQ_HAVE_OSMESA
// The vertex arrays of one iteration: clip position, texture coordinate and colour.
struct PeerVertices {
    std::vector<float> position, texCoord;
    std::vector<uint8_t> colour;
};

PeerVertices MakePeerVertices() {
    ScreenVertex v[3];
    MakeTriangle(v);
    PeerVertices out;
    for (int i = 0; i < kTrianglesPerIteration; i++) {
        for (const ScreenVertex& p : v) {
            const float w = 1.0f / p.rhw;
            const float ndcX = 2.0f * p.x / kWidth - 1.0f, ndcY = 1.0f - 2.0f * p.y / kHeight, ndcZ = 2.0f * p.z - 1.0f;
            out.position.insert(out.position.end(), {ndcX * w, ndcY * w, ndcZ * w, w});
            out.texCoord.insert(out.texCoord.end(), {p.u, p.v});
            out.colour.insert(out.colour.end(), {uint8_t(p.colour >> 16), uint8_t(p.colour >> 8), uint8_t(p.colour),
                                                 uint8_t(p.colour >> 24)});
        }
    }
    return out;
}

// The GL state of a case: texture, texture environment, shading, blending, depth test.
void SetPeerState(const Case& c, const MEMIMG* texture, GLuint* textureName) {
    glDisable(GL_DITHER);
    if (c.textured) {
        glGenTextures(1, textureName);
        glBindTexture(GL_TEXTURE_2D, *textureName);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, texture->pitch / (c.kind == MemImgFormat16 ? 2 : 4));
        if (c.kind == MemImgFormat16)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB5, 256, 256, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, texture->pixels);
        else
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 256, 256, 0, GL_BGRA, GL_UNSIGNED_BYTE, texture->pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, c.gouraud ? GL_MODULATE : GL_REPLACE);
        glEnable(GL_TEXTURE_2D);
    }
    glShadeModel(c.gouraud ? GL_SMOOTH : GL_FLAT);
    if (c.mode == BlendAlpha) {
        glEnable(GL_BLEND);
        if (c.gouraud) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            glBlendColor(0, 0, 0, 128.0f / 255.0f);
            glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
        }
    }
    if (c.gouraud) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glClearDepth(1.0);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
}

void Llvmpipe(benchmark::State& state, const Case& c) {
    Image dest = MakeNoiseImage(c.kind, kWidth, kHeight), texture = MakeNoiseImage(c.kind, 256, 256);
    const int bits = c.kind == MemImgFormat16 ? 16 : 32;
    // OSMesa's rows are packed: the image's pitch is width x bytes per pixel here.
    if (dest->pitch != kWidth * bits / 8) {
        state.SkipWithError("image rows are padded");
        return;
    }
    OsmesaPeer peer;
    if (!OsmesaPeerOpen(&peer, bits, dest->pixels, kWidth, kHeight, true)) {
        state.SkipWithError("OSMesa gives no context");
        return;
    }
    GLuint textureName = 0;
    SetPeerState(c, texture.get(), &textureName);
    const PeerVertices vertices = MakePeerVertices();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, vertices.position.data());
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, vertices.colour.data());
    if (c.textured) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, vertices.texCoord.data());
    }
    if (!c.gouraud) {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4ub(255, 255, 255, 255);
    }
    const GLsizei count = GLsizei(vertices.position.size() / 4);
    // The first draw compiles the shaders: not measured. Its coverage gives the counter.
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glFinish();
    const int covered = NonZeroPixels(dest.get());
    for (auto _ : state) {
        glDrawArrays(GL_TRIANGLES, 0, count);
        glFinish();
    }
    SetCoveredRate(state, covered);
    if (textureName) glDeleteTextures(1, &textureName);
    OsmesaPeerClose(&peer);
}
#endif

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (int kind : {MemImgFormat16, MemImgFormat32})
        for (bool textured : {true, false})
            for (int mode : {BlendNone, BlendAlpha})
                for (bool gouraud : {false, true}) cases.push_back(Case{kind, textured, mode, gouraud});
    return cases;
}

void PrintRatios(const RatioReporter& reporter) {
    std::printf("\n%-36s %12s %12s %8s\n", "case (16 triangles)", "ours us", "llvmpipe us", "ratio");
    for (const Case& c : AllCases()) reporter.PrintRow(c.Name(), "/llvmpipe");
}

}  // namespace

int main(int argc, char** argv) {
    // --sse2: the rasteriser's SSE2 loops, as on a processor without AVX2.
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) != "--sse2") continue;
        LimitCpuSimdLevel(SimdSse2);
        std::copy(argv + i + 1, argv + argc, argv + i);
        argc--;
        break;
    }
    for (const Case& c : AllCases()) {
        benchmark::RegisterBenchmark(c.Name().c_str(), [c](benchmark::State& s) { Ours(s, c); })
            ->Unit(benchmark::kMicrosecond);
#ifdef ZQ_HAVE_OSMESA
        benchmark::RegisterBenchmark((c.Name() + "/llvmpipe").c_str(), [c](benchmark::State& s) { Llvmpipe(s, c); })
            ->Unit(benchmark::kMicrosecond);
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
