// Packet mode's cost: the ring buffer alone, whole packets over a loopback
// connection from the library to itself (send, events, receive into the ring, take),
// and a 100 MB stream in 64 KB pieces between the library and a plain socket peer,
// received and sent in packet mode beside raw mode. The stream cases end with a table
// of their throughput and the packet / raw ratio (the target: at least one half).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "library/network/network.h"
#include "library/network/network_state.h"
#include "library/network/ring_buffer.h"
#include "platform/window/window.h"
#include "support/loopback_server.h"

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

// The network layer on a hidden parent window of its own, started once.
static void StartNetWork() {
    static bool started = false;
    if (started) return;
    started = true;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "NetWorkBench";
    RegisterClassExA(&wc);
    HWND parent = CreateWindowExA(0, "NetWorkBench", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    if (parent == nullptr || SetupNetWork(parent) != 0) abort();
    SetNetWorkConnectTimeOut(10000);
}

static LoopbackPair& Pair() {
    static LoopbackPair pair;
    if (pair.client != -1) return pair;
    StartNetWork();
    SetNetWorkPacketMode(1);
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

// ---- A 100 MB stream in 64 KB pieces, packet mode beside raw mode --------------------------

constexpr int StreamBytes = 100 << 20;
constexpr int PieceBytes = 64 << 10;
constexpr int Pieces = StreamBytes / PieceBytes;
constexpr int LoopbackAddress = 127 | 1 << 24;

// The stream's bytes, and the same bytes on the wire of packet mode: one packet per piece.
static const std::string& Payload() {
    static const std::string payload = [] {
        std::string b(StreamBytes, '\0');
        for (size_t i = 0; i < b.size(); i++) b[i] = static_cast<char>(i * 7 + i / 4093);
        return b;
    }();
    return payload;
}

static const std::string& PacketWire() {
    static const std::string wire = [] {
        std::string w;
        w.reserve(static_cast<size_t>(Pieces) * (4 + PieceBytes));
        for (int i = 0; i < Pieces; i++) {
            const char prefix[4] = {PieceBytes & 0xFF, (PieceBytes >> 8) & 0xFF, (PieceBytes >> 16) & 0xFF, 0};
            w.append(prefix, 4);
            w.append(Payload(), static_cast<size_t>(i) * PieceBytes, PieceBytes);
        }
        return w;
    }();
    return wire;
}

// Seconds on the monotonic clock (<chrono> does not build under the library's
// execution character set).
static double NowSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

static int ConnectInMode(const LoopbackServer& server, int packetMode) {
    StartNetWork();
    SetNetWorkPacketMode(packetMode);
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    SetNetWorkPacketMode(1);
    return h;
}

// The peer sends 100 MB; the library takes it in 64 KB pieces as soon as each is there
// (packet mode: once GetNetWorkDataLength shows a whole piece; raw: whatever recv gives).
// Seconds, or -1 when the stream came short or changed.
static double ReceiveStream(int packetMode) {
    const std::string& payload = Payload();
    const std::string& wire = packetMode ? PacketWire() : payload;
    static std::vector<char> piece(PieceBytes);
    std::atomic<int> go{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        while (go.load() == 0) std::this_thread::yield();
        peer.Send(wire);
    });
    const int h = ConnectInMode(server, packetMode);
    const double start = NowSeconds();
    go = 1;
    int taken = 0;
    while (h != -1 && taken < StreamBytes) {
        int n;
        if (packetMode) {
            const int waiting = GetNetWorkDataLength(h);
            if (waiting < 0) break;
            n = waiting >= PieceBytes && NetWorkRecv(h, piece.data(), PieceBytes) == 0 ? PieceBytes : -1;
        } else {
            n = NetWorkRecv(h, piece.data(), PieceBytes);
            if (n == 0) break;  // the peer closed early
        }
        if (n <= 0) continue;
        if (std::memcmp(piece.data(), payload.data() + taken, static_cast<size_t>(n)) != 0) break;
        taken += n;
    }
    const double elapsed = NowSeconds() - start;
    server.Join();
    CloseNetWorkHandle(h);
    return taken == StreamBytes ? elapsed : -1;
}

// The library sends 100 MB in 64 KB pieces (packet mode: each piece queued as it comes,
// the rest goes out with the socket events; raw: each piece sent whole, waiting for
// room) while the peer reads; done when the peer has every byte. Seconds, or -1.
static double SendStream(int packetMode) {
    const std::string& payload = Payload();
    std::atomic<size_t> drained{0};
    std::atomic<int> done{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        // Reads in large pieces; in packet mode it follows the length prefixes (the
        // sender makes one packet of whatever it holds queued) and counts the bodies.
        static std::vector<char> buffer(256 << 10);
        size_t taken = 0, bodyLeft = 0;
        unsigned char prefix[4];
        int prefixHave = 0;
        while (taken < StreamBytes) {
            const size_t got = peer.ReadSome(buffer.data(), buffer.size());
            if (got == 0) break;
            for (size_t at = 0; at < got;) {
                if (!packetMode || bodyLeft > 0) {
                    const size_t body = packetMode ? std::min(bodyLeft, got - at) : got - at;
                    bodyLeft -= packetMode ? body : 0;
                    taken += body;
                    at += body;
                    continue;
                }
                prefix[prefixHave++] = static_cast<unsigned char>(buffer[at++]);
                if (prefixHave < 4) continue;
                bodyLeft = prefix[0] | prefix[1] << 8 | prefix[2] << 16 | size_t(prefix[3]) << 24;
                prefixHave = 0;
            }
        }
        drained = taken;
        done = 1;
    });
    const int h = ConnectInMode(server, packetMode);
    const double start = NowSeconds();
    bool failed = h == -1;
    for (int i = 0; i < Pieces && !failed; i++) {
        const char* from = payload.data() + static_cast<size_t>(i) * PieceBytes;
        if (packetMode) {
            failed = NetWorkSend(h, from, PieceBytes) != 0;
            continue;
        }
        for (int sent = 0; sent < PieceBytes && !failed;) {
            const int n = NetWorkSend(h, from + sent, PieceBytes - sent);
            if (n > 0) sent += n;
            failed = n < 0 && WSAGetLastError() != WSAEWOULDBLOCK;
        }
    }
    while (!failed && done.load() == 0) PumpNetWorkMessages(0);
    const double elapsed = NowSeconds() - start;
    server.Join();
    CloseNetWorkHandle(h);
    return !failed && drained.load() == size_t(StreamBytes) ? elapsed : -1;
}

// Median MB/s (MiB per second) of the stream cases: [0 receive, 1 send][0 raw, 1 packet].
static double StreamMBps[2][2];

static double MedianMBps(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    return StreamBytes / double(1 << 20) / seconds[seconds.size() / 2];
}

// Each iteration streams 100 MB in raw mode and in packet mode, in turns (the order
// alternates), so both meet the same load of a shared machine; the medians are reported.
static void BM_Stream100MB(benchmark::State& state) {
    const int direction = static_cast<int>(state.range(0));
    std::vector<double> seconds[2];
    int iteration = 0;
    for (auto _ : state) {
        double both = 0;
        for (int turn = 0; turn < 2; turn++) {
            const int packetMode = (turn + iteration) % 2;
            const double s = direction == 0 ? ReceiveStream(packetMode) : SendStream(packetMode);
            if (s < 0) {
                state.SkipWithError(packetMode ? "packet mode: the stream failed" : "raw mode: the stream failed");
                return;
            }
            seconds[packetMode].push_back(s);
            both += s;
        }
        state.SetIterationTime(both);
        iteration++;
    }
    if (iteration == 0) return;
    for (int mode = 0; mode < 2; mode++) StreamMBps[direction][mode] = MedianMBps(seconds[mode]);
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * StreamBytes);
    state.counters["raw_MB_per_s"] = StreamMBps[direction][0];
    state.counters["packet_MB_per_s"] = StreamMBps[direction][1];
    state.counters["packet_per_raw"] = StreamMBps[direction][1] / StreamMBps[direction][0];
}
BENCHMARK(BM_Stream100MB)->ArgName("send")->Arg(0)->Arg(1)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n100 MB in 64 KB pieces over loopback (MB/s)\n%-10s %10s %10s %8s\n", "", "raw", "packet",
                "packet/raw");
    const char* names[2] = {"receive", "send"};
    for (int d = 0; d < 2; d++) {
        if (StreamMBps[d][0] <= 0 || StreamMBps[d][1] <= 0) continue;
        std::printf("%-10s %10.0f %10.0f %8.2f\n", names[d], StreamMBps[d][0], StreamMBps[d][1],
                    StreamMBps[d][1] / StreamMBps[d][0]);
    }
    return 0;
}
