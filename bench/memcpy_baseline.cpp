// The memcpy baseline that the copy benchmarks quote their ratios against.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

static void BM_Memcpy640x480x2(benchmark::State& state) {
    std::vector<unsigned char> src(640 * 480 * 2, 7), dst(640 * 480 * 2);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}
BENCHMARK(BM_Memcpy640x480x2);

BENCHMARK_MAIN();
