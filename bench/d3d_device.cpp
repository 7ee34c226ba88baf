// The layer's Direct3D device: a 256 x 256 graph drawn 1:1 as one textured quad (two
// triangles, 65536 pixels) onto the back buffer of a 640 x 480 window, point and
// bilinear sampling, 16 and 32 bits, opaque and keyed (colour key on a plain texture).
// Each iteration queues the quad through the hardware path and draws it with one
// DrawPrimitive, so the figure is the device's cost with the library's few
// microseconds of state checks on top. Counter "pix/s": pixels written per second.
//
// The device's cost in the game's frame is what bench_game_frames measures on the
// Hardware565 and Hardware8888 configurations.
// Run: bench_d3d_device --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Names: QuadFormat/bits/filter/keyed.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/core/startup.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d_internal.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_create.h"
#include "library/graph/graph_image.h"
#include "platform/testing.h"

namespace {

// The library on a 640 x 480 window in a directory of its own, on the hardware path.
bool StartHardwarePath(int bits) {
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/zq-bench-d3d-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return false;
        dir = pattern;
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    if (chdir(dir.c_str()) != 0) return false;
    ResetDisplayForTest(bits == 16 ? DesktopFormat::Rgb565 : DesktopFormat::Xrgb8888);
    SetDirect3DProfile(DefaultDirect3DProfile());
    SetWindowTitleText("Bench");
    ChangeWindowMode(1);
    SetScreenMode(640, 480, bits, 60);
    if (InitializeLibrary() != 0 || g_D3D.direct3D == nullptr) return false;
    SelectDrawTarget(BackBufferTarget);
    return true;
}

// A 256 x 256 graph of noise, a quarter of it the transparent colour (black).
int NoiseGraph() {
    GraphImage image{};
    CreateARGB32GraphImage(256, 256, &image);
    uint32_t seed = 5;
    for (int y = 0; y < 256; y++) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(image.pixels) + y * image.pitch);
        for (int x = 0; x < 256; x++) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = (seed >> 8 & 3) == 0 ? 0xFF000000u : 0xFF000000u | seed >> 8;
        }
    }
    const int graph = BuildGraphFromGraphImageNoAlpha(&image, 1);
    FreeGraphImage(&image);
    return graph;
}

void Quad(benchmark::State& state, int bits, int filter, int keyed) {
    if (!StartHardwarePath(bits)) {
        state.SkipWithError("the hardware path did not start");
        ShutdownLibrary();
        return;
    }
    SetGraphAlphaTestFlag(0);  // a plain texture, keyed by the colour key
    const int graph = NoiseGraph();
    SetDrawFilterMode(filter);
    ClearCurrentScreen();
    RecordDirect3DCalls(false);
    for (auto _ : state) {
        DrawGraphAt(100, 100, graph, keyed);
        G_D3D_FlushVertexBatch();
    }
    G_D3D_EndScene();
    state.counters["pix/s"] =
        benchmark::Counter(double(state.iterations()) * 256.0 * 256.0, benchmark::Counter::kIsRate);
    ShutdownLibrary();
}

int RegisterAll() {
    for (int bits : {16, 32})
        for (int filter : {0, 1})
            for (int keyed : {0, 1}) {
                const std::string name = "Quad256/" + std::to_string(bits) + (filter ? "/bilinear" : "/point") +
                                         (keyed ? "/keyed" : "/opaque");
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    Quad(state, bits, filter, keyed);
                })->Unit(benchmark::kMicrosecond);
            }
    return 0;
}
const int registered = RegisterAll();

}  // namespace

BENCHMARK_MAIN();
