// Packet mode's cost: the ring buffer alone, and whole packets over a loopback
// connection from the library to itself (send, events, receive into the ring, take).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "library/network/network.h"
#include "library/network/network_state.h"
#include "library/network/ring_buffer.h"
#include "platform/window.h"

static void BM_RingBufferWriteRead(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    std::vector<unsigned char> in(size, 7), out(size);
    RingBuffer ring;
    InitRingBuffer(&ring);
    WriteRingBuffer(&ring, "abc", 3);  // keeps the copies off the block's start, so some wrap
    for (auto _ : state) {
        WriteRingBuffer(&ring, in.data(), size);
        ReadRingBuffer(&ring, out.data(), size, 0);
        benchmark::ClobberMemory();
    }
    FreeRingBuffer(&ring);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_RingBufferWriteRead)->Arg(64)->Arg(4096)->Arg(65536);

// A client and the connection it was accepted as, both in packet mode.
struct LoopbackPair {
    int client = -1;
    int server = -1;
};

static LoopbackPair& Pair() {
    static LoopbackPair pair;
    if (pair.client != -1) return pair;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "NetWorkBench";
    RegisterClassExA(&wc);
    HWND parent = CreateWindowExA(0, "NetWorkBench", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    if (parent == nullptr || SetupNetWork(parent) != 0) abort();
    const int listener = StartNetWorkListen(0);
    int port = 0;
    GetNetWorkAddress(listener, nullptr, &port);
    pair.client = OpenNetWorkConnection(127 | 1 << 24, port);
    while ((pair.server = TakeAcceptedNetWork()) == -1) PumpNetWorkMessages(0);
    return pair;
}

static void BM_LoopbackPackets(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    LoopbackPair& pair = Pair();
    std::vector<char> in(size, 'p'), out(size);
    for (auto _ : state) {
        NetWorkSend(pair.client, in.data(), size);
        while (GetNetWorkDataLength(pair.server) < size) PumpNetWorkMessages(0);
        NetWorkRecv(pair.server, out.data(), size);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_LoopbackPackets)->Arg(64)->Arg(4096)->Arg(65536)->Arg(1 << 20);

BENCHMARK_MAIN();
