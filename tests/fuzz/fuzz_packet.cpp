// fuzz_packet - packet mode on hostile bytes: the input arrives on a packet-mode
// connection (length prefixes and bodies as they come), and the receiver takes what
// it can in amounts taken from the input itself. The input also drives a ring buffer
// through writes, peeks and reads, checked against a plain copy.
#include <cstring>
#include <string>

#include "library/network/ring_buffer.h"
#include "tests/fuzz/network_fuzz.h"

static void DriveRing(const uint8_t* data, size_t size) {
    RingBuffer ring;
    InitRingBuffer(&ring);
    std::string model;
    unsigned char buffer[512];
    for (size_t i = 0; i + 1 < size; i += 2) {
        const int n = data[i + 1];
        switch (data[i] % 3) {
        case 0:
            for (int k = 0; k < n; k++) buffer[k] = static_cast<unsigned char>(i + k);
            if (WriteRingBuffer(&ring, buffer, n) == 0) model.append(reinterpret_cast<char*>(buffer), n);
            break;
        case 1:
        case 2: {
            const int peek = data[i] % 3 == 2;
            const int r = ReadRingBuffer(&ring, buffer, n, peek);
            if ((r == 0) != (static_cast<size_t>(n) <= model.size())) std::abort();
            if (r == 0) {
                if (std::memcmp(buffer, model.data(), n) != 0) std::abort();
                if (!peek) model.erase(0, n);
            }
            break;
        }
        }
        if (GetRingBufferCount(&ring) != static_cast<int>(model.size())) std::abort();
    }
    FreeRingBuffer(&ring);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    network_fuzz::SetUpOnce();
    DriveRing(data, size);
    SetNetWorkPacketMode(1);
    const int h = OpenNetWorkConnection(127 | 1 << 24, network_fuzz::ListenerPort);
    if (h == -1) std::abort();
    network_fuzz::ServeAndClose(data, size);
    static char taken[65536];
    const DWORD start = timeGetTime();
    for (size_t step = 0; !network_fuzz::StepsTimedOut(start); step++) {
        const int waiting = GetNetWorkDataLength(h);
        if (waiting < 0) break;  // a refused length: the connection has its error flag
        const int want = step < size ? data[step] * 8 : waiting;
        if (want > 0 && want <= static_cast<int>(sizeof taken)) NetWorkRecv(h, taken, want);
        if (GetNetWorkAcceptState(h) == 0 && waiting == 0) break;  // closed, and all taken
        Sleep(0);
    }
    CloseNetWorkHandle(h);
    return 0;
}
