// The library's cost per frame of the game: a 600-frame scripted run of the real game
// (title, then play with shots, hits and explosions) in each display configuration,
// frame pacing off, the virtual clock making the game's 30 ms wait take no time.
//
// The game here is built with library_call_timing.h, which times each of its calls into
// the library; the figures are microseconds per frame, averaged over frames 1-599:
//   library_us  all library calls of a frame (the benchmark's time)
//   draw_us, text_us, present_us, input_us (keys and the pump), other_us (the clock,
//               random numbers, colour values)
//   frame_us    the whole frame, present to present: the library, the game's own
//               rules and the harness's bookkeeping
// The game's frame pacing spins on the clock; with the virtual clock that is about 30
// cheap reads a frame, counted under other_us. The harness's present hook (a few
// thousand instructions a frame without checksums) runs inside present_us.
// The runs are headless, as in the tests, unless SDL_VIDEODRIVER names a driver
// (SDL_VIDEODRIVER=x11 with a display measures the present into a real window).
// Run: bench_game_frames --benchmark_repetitions=3
// Instructions per frame, by hand (built with valgrind's headers): each configuration's
// runs are child processes, and each reports "Collected : N" for its 600 frames:
//   valgrind --tool=callgrind --collect-atstart=no bench_game_frames
//     --benchmark_filter=GameFrames/Gdi565/
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "game_replay.h"
#include "game_scripts.h"
#include "library_call_timing.h"

namespace {

void ReadLibraryCosts(double* slots) {
    for (int kind = 0; kind < LibraryCallKinds; kind++) slots[kind] = LibraryCallMicros[kind];
}

void GameFrames(benchmark::State& state, const ReplayDisplay& display) {
    ReplayScript script = BenchmarkScript();
    script.framePacing = false;
    script.checksums = false;
    script.readCosts = ReadLibraryCosts;
    double sums[LibraryCallKinds] = {}, frameSum = 0;
    for (auto _ : state) {
        ReplayRun run = RunReplay(script, display);
        if (!run.failure.empty() || run.frames.size() < 2) {
            state.SkipWithError(run.failure.empty() ? "the game presented no frames" : run.failure.c_str());
            return;
        }
        const ReplayFrame& first = run.frames.front();
        const ReplayFrame& last = run.frames.back();
        const double frames = static_cast<double>(run.frames.size() - 1);
        double library = 0;
        for (int kind = 0; kind < LibraryCallKinds; kind++) {
            const double perFrame = (last.costs[kind] - first.costs[kind]) / frames;
            sums[kind] += perFrame;
            library += perFrame;
        }
        frameSum += (last.presentedAt - first.presentedAt) / frames;
        state.SetIterationTime(library / 1e6);
    }
    const char* names[LibraryCallKinds] = {"draw_us", "text_us", "present_us", "input_us", "other_us"};
    double library = 0;
    for (int kind = 0; kind < LibraryCallKinds; kind++) {
        state.counters[names[kind]] = benchmark::Counter(sums[kind], benchmark::Counter::kAvgIterations);
        library += sums[kind];
    }
    state.counters["library_us"] = benchmark::Counter(library, benchmark::Counter::kAvgIterations);
    state.counters["frame_us"] = benchmark::Counter(frameSum, benchmark::Counter::kAvgIterations);
}

int RegisterAll() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    for (const ReplayDisplay& display : ReplayDisplays()) {
        benchmark::RegisterBenchmark((std::string("GameFrames/") + display.name).c_str(),
                                     [&display](benchmark::State& state) { GameFrames(state, display); })
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(5);
    }
    return 0;
}
const int registered = RegisterAll();

}  // namespace

BENCHMARK_MAIN();
