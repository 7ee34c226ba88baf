// The software 3D rasteriser: a triangle spanning 256 x 256 pixels (half the square)
// drawn into a 640 x 480 image, textured from a 256 x 256 texture or flat (no texture),
// in 16 and 32 bits, blend mode none and alpha (p = 128), uniform shading, and Gouraud
// shading with a depth test and write. Counter "pix/s": covered pixels per second.
//
// Run: bench_raster3d --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Names: format/texture/blend/shading.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "bench/noise_image.h"
#include "library/d3d/d3d.h"
#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/triangle.h"

namespace {

using Image = NoiseImage;

// Perspective: the far corner at a quarter of the near corners' rhw.
void MakeTriangle(ScreenVertex v[3]) {
    v[0] = ScreenVertex{100.5f, 100.5f, 0.2f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f};
    v[1] = ScreenVertex{356.5f, 100.5f, 0.4f, 0.5f, 0xC0FF8040, 0.999f, 0.0f};
    v[2] = ScreenVertex{100.5f, 356.5f, 0.6f, 0.25f, 0x8040FF80, 0.0f, 0.999f};
}

int CoveredPixels(int kind) {
    Image dest = MakeNoiseImage(kind, 640, 480);
    FillMemImgRectRaw(dest.get(), nullptr, 0);
    ScreenVertex v[3];
    MakeTriangle(v);
    g_DrawState.blendMode = BlendNone;
    DrawTriangle3DOnMemImg(dest.get(), nullptr, nullptr, v, 0, nullptr, 0, 0, 0, 0);
    int covered = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) covered += MemImgPixelAddress(dest.get(), x, y)[0] != 0;
    return covered;
}

void Triangle(benchmark::State& state, int kind, bool textured, int mode, bool gouraud) {
    BuildBlendTables();
    g_DrawState.clipRect = RECT{0, 0, 640, 480};
    g_DrawState.brightness = 0xFFFFFF;
    const int covered = CoveredPixels(kind);
    g_DrawState.blendMode = mode;
    g_DrawState.blendParam = 128;
    Image dest = MakeNoiseImage(kind, 640, 480), texture = MakeNoiseImage(kind, 256, 256);
    Image depth(new MEMIMG{});
    CreateZBufferMemImg(depth.get(), 640, 480);
    // Every draw after the first meets its own depths, and equal depths pass.
    FillMemImgRectRaw(depth.get(), nullptr, 0xFFFF);
    ScreenVertex v[3];
    MakeTriangle(v);
    for (auto _ : state) {
        DrawTriangle3DOnMemImg(dest.get(), gouraud ? depth.get() : nullptr, textured ? texture.get() : nullptr, v, 0,
                               nullptr, gouraud, 1, gouraud, 0);
        benchmark::DoNotOptimize(dest->pixels);
    }
    state.counters["pix/s"] = benchmark::Counter(double(covered) * double(state.iterations()), benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (int kind : {MemImgFormat16, MemImgFormat32}) {
        for (bool textured : {true, false}) {
            for (int mode : {BlendNone, BlendAlpha}) {
                for (bool gouraud : {false, true}) {
                    const std::string name = std::string(kind == MemImgFormat16 ? "16" : "32") + "/" +
                                             (textured ? "textured" : "flat") + "/" + (mode ? "alpha" : "none") + "/" +
                                             (gouraud ? "gouraud-depth" : "uniform");
                    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                        Triangle(s, kind, textured, mode, gouraud);
                    })->Unit(benchmark::kMicrosecond);
                }
            }
        }
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
