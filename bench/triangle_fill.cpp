// The software triangle filler: a triangle spanning 256 x 256 pixels, textured from a
// 256 x 256 texture (axis-aligned, and turned by 30 degrees) or filled flat, into a
// 640 x 480 image, in RGB565 and XRGB8888, with blend mode none and alpha (p = 128).
// Counter "pix/s": destination pixels drawn per second.
//
// Run: bench_triangle_fill --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Names: fill/format/mode/shape.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "bench/noise_image.h"
#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/triangle.h"

namespace {

using Image = NoiseImage;

// The three corners of the triangle, (u, v) at the texture's corners; turned by angle
// degrees about the image's centre.
void Corners(double angle, TexTriVertex out[3]) {
    const double c = std::cos(angle * M_PI / 180), s = std::sin(angle * M_PI / 180);
    const int corners[3][4] = {{-128, -128, 0, 0}, {128, -128, 256, 0}, {-128, 128, 0, 256}};
    for (int i = 0; i < 3; i++) {
        const double x = corners[i][0], y = corners[i][1];
        out[i] = TexTriVertex{int(std::lround(320 + x * c - y * s)), int(std::lround(240 + x * s + y * c)),
                              corners[i][2], corners[i][3]};
    }
}

// Destination pixels the triangle writes.
int64_t CountDrawn(int kind, const MEMIMG* texture, const TexTriVertex v[3]) {
    Image probe(new MEMIMG{});
    SetupMemImg(probe.get(), 640, 480, -1, 0, kind, 0, 0, 0);
    std::memset(probe->pixels, 0, size_t(probe->pitch) * 480);
    const int saved = g_DrawState.blendMode;
    g_DrawState.blendMode = BlendNone;
    DrawTriangle2DOnMemImg(probe.get(), texture, v, 0, nullptr, 0xFFFFFFFF);
    g_DrawState.blendMode = saved;
    int64_t drawn = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            uint32_t p = 0;
            std::memcpy(&p, probe->pixels + y * probe->pitch + x * MemImgBytesPerPixel(probe.get()),
                        size_t(MemImgBytesPerPixel(probe.get())));
            drawn += p != 0;
        }
    return drawn;
}

void RunTriangle(benchmark::State& state, int kind, bool textured, int mode, double angle) {
    BuildBlendTables();
    g_DrawState.blendMode = mode;
    g_DrawState.blendParam = 128;
    g_DrawState.brightness = 0xFFFFFF;
    g_DrawState.clipRect = RECT{0, 0, 640, 480};
    Image dest = MakeNoiseImage(kind, 640, 480);
    Image texture = MakeNoiseImage(kind, 256, 256);
    // No texel of the noise may read as black to the pixel count.
    for (int i = 0; i < texture->pitch * 256; i++) texture->pixels[i] |= 1;
    TexTriVertex v[3];
    Corners(angle, v);
    const MEMIMG* source = textured ? texture.get() : nullptr;
    const int64_t pixels = CountDrawn(kind, source, v);
    for (auto _ : state) {
        DrawTriangle2DOnMemImg(dest.get(), source, v, 0, nullptr, 0x00C08040);
        benchmark::ClobberMemory();
    }
    state.counters["pix/s"] =
        benchmark::Counter(double(pixels) * double(state.iterations()), benchmark::Counter::kIsRate);
}

const struct Registrar {
    Registrar() {
        for (int kind : {MemImgFormat16, MemImgFormat32})
            for (int mode : {BlendNone, BlendAlpha})
                for (bool textured : {true, false})
                    for (double angle : {0.0, 30.0}) {
                        if (!textured && angle != 0.0) continue;
                        const std::string name = std::string(textured ? "textured" : "flat") + "/" +
                                                 (kind == MemImgFormat16 ? "16" : "32") + "/" +
                                                 (mode == BlendNone ? "none" : "alpha") +
                                                 (textured ? angle == 0.0 ? "/straight" : "/turned" : "");
                        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                            RunTriangle(s, kind, textured, mode, angle);
                        });
                    }
    }
} kRegistrar;

}  // namespace

BENCHMARK_MAIN();
