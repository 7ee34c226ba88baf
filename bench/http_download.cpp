// A 100 MB download from a loopback server while the game loop calls ProcessMessage
// as fast as it can: the longest single ProcessMessage (the target is 20 ms: a frame
// must never wait on a download; wall time, and the calling thread's processor time)
// and the download's throughput, for a body taken into memory and one written to a
// file. The library runs whole, its pump thread
// included, which steps the downloads too when its turn for the ApiLock comes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "library/core/alloc.h"
#include "library/core/zqlib.h"
#include "library/network/http.h"
#include "support/loopback_server.h"
#include "support/scratch_directory.h"

namespace {

constexpr int BodyBytes = 100 << 20;

double ClockMs(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double NowMs() { return ClockMs(CLOCK_MONOTONIC); }
// The calling thread's processor time: on a loaded machine a call's wall time also
// holds the time it was not scheduled.
double ThreadCpuMs() { return ClockMs(CLOCK_THREAD_CPUTIME_ID); }

const std::string& Body() {
    static const std::string body = [] {
        std::string b(BodyBytes, '\0');
        for (size_t i = 0; i < b.size(); i++) b[i] = static_cast<char>(i * 7 + i / 4093);
        return b;
    }();
    return body;
}

// The library on a small window in a directory of its own (Log.txt and the saved file land there).
bool StartLibrary(std::string* dir) {
    static ScratchDirectory made("zq-bench-http");  // removed as the program ends
    if (made.path().empty()) return false;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    made.useAsRuntimeDirectory();
    *dir = made.path();
    if (chdir(made.path().c_str()) != 0) return false;
    SetWindowTitleText("Bench");
    ChangeWindowMode(1);
    SetScreenMode(320, 240, 16, 60);
    return InitializeLibrary() == 0;
}

void Download(benchmark::State& state, bool toFile) {
    std::string dir;
    if (!StartLibrary(&dir)) {
        state.SkipWithError("the library did not start");
        return;
    }
    const std::string savePath = dir + "/saved.bin";
    const std::string& body = Body();
    double longestMs = 0, longestCpuMs = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.ReadHttpRequest();
            peer.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
            peer.Send(body);
        });
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/big";
        void* memory = nullptr;
        const double start = NowMs();
        const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, toFile ? savePath.c_str() : nullptr,
                                            toFile ? nullptr : &memory, 0);
        int result = index == -1 ? HttpResultFailed : HttpResultRunning, received = 0;
        while (result == HttpResultRunning) {
            const double before = NowMs(), cpuBefore = ThreadCpuMs();
            ProcessMessage();
            longestMs = std::max(longestMs, NowMs() - before);
            longestCpuMs = std::max(longestCpuMs, ThreadCpuMs() - cpuBefore);
            calls++;
            GetHttpDownloadStatus(index, &result, nullptr, &received, nullptr);
        }
        state.SetIterationTime((NowMs() - start) / 1e3);
        server.Join();
        if (result != HttpResultDone || received != BodyBytes) {
            state.SkipWithError("the download failed");
            break;
        }
        ZqFree(memory);
        DeleteHttpDownload(index);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * BodyBytes);
    state.counters["longest_call_ms"] = longestMs;
    state.counters["longest_call_cpu_ms"] = longestCpuMs;
    state.counters["calls"] = benchmark::Counter(double(calls), benchmark::Counter::kAvgIterations);
    ShutdownLibrary();
}

void BM_HttpDownloadToMemory(benchmark::State& state) { Download(state, false); }
void BM_HttpDownloadToFile(benchmark::State& state) { Download(state, true); }

}  // namespace

BENCHMARK(BM_HttpDownloadToMemory)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HttpDownloadToFile)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
