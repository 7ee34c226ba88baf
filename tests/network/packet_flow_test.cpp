// Packet-mode transfers under a steady stream: a receive pass is bounded, and socket
// events that arrive while another transfer runs are not lost.
#include <algorithm>
#include <atomic>
#include <vector>

#include "network/network_test_support.h"

// A peer that keeps sending small packets faster than they can be taken one by one:
// one receive pass takes only the bytes that were readable when it began, not
// everything the peer manages to send meanwhile (each byte taken makes room for more).
TEST_F(NetWorkTest, OneReceivePassTakesOnlyWhatWasReadableWhenItBegan) {
    Start();
    std::string burst;  // 64 KB of 100-byte packets per send
    for (int i = 0; i < 640; i++) burst += Packet(std::string(96, 'p'));
    std::atomic<int> go{0};
    std::atomic<long long> sent{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        WaitWhile(go, 0);
        while (go.load() == 1 && sent.load() < (16ll << 20) && peer.Send(burst)) sent += static_cast<long long>(burst.size());
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    SocketRecord* r = GetSocketRecord(h);
    go = 1;
    // Until the socket buffers are full and the peer waits in its send.
    long long before = -1;
    for (int i = 0; i < 100 && sent.load() != before; i++) {
        before = sent.load();
        Sleep(100);
    }
    unsigned long readable = 0;
    ASSERT_EQ(0, ioctlsocket(r->socket, FIONREAD, &readable));
    ASSERT_GT(readable, 0u);
    EXPECT_EQ(0, RecvSocket(h));
    EXPECT_GT(r->receivedCompleteBytes, 0);
    EXPECT_LE(GetRingBufferCount(&r->receiveRing), static_cast<long long>(readable));
    go = 2;  // the peer ends its stream with the packet it is sending
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

namespace {

// The bytes of a stream, a pattern that shows a byte out of place.
std::string StreamBytes(size_t size) {
    std::string b(size, '\0');
    for (size_t i = 0; i < b.size(); i++) b[i] = static_cast<char>(i * 7 + i / 251);
    return b;
}

}  // namespace

// A peer that sends faster than the program takes: the ring holds no more than about
// the packet being taken and the next one, the rest waits in the socket (growing the
// ring to hold the whole stream made packet mode a tenth as fast as raw mode).
TEST_F(NetWorkTest, ASlowTakerKeepsTheReceiveRingSmall) {
    Start();
    const int piece = 64 << 10;
    const std::string stream = StreamBytes(64 * static_cast<size_t>(piece));
    LoopbackServer server([&](LoopbackPeer& peer) {
        for (size_t at = 0; at < stream.size(); at += piece) peer.Send(Packet(stream.substr(at, piece)));
        peer.ReadAll();
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    const SocketRecord* r = GetSocketRecord(h);
    std::string taken;
    std::vector<char> buffer(piece);
    int largestRing = 0;
    const DWORD start = timeGetTime();
    while (taken.size() < stream.size() && timeGetTime() - start < 10000) {
        Sleep(1);  // a frame's work: meanwhile the peer fills the socket buffers
        if (GetNetWorkDataLength(h) < piece) continue;
        ASSERT_EQ(0, NetWorkRecv(h, buffer.data(), piece));
        taken.append(buffer.data(), piece);
        largestRing = std::max(largestRing, r->receiveRing.capacity);
    }
    EXPECT_TRUE(taken == stream) << "the stream came short or changed: " << taken.size() << " bytes";
    EXPECT_LE(largestRing, 3 * piece) << "the ring grew to hold what the program had not asked for";
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

// A peer may announce a large packet and send only the start of it: the receive ring
// grows with the bytes that came, not to the announced length at once, and the packet
// still comes whole when the rest follows.
TEST_F(NetWorkTest, AnAnnouncedPacketGrowsTheRingOnlyAsItsBytesCome) {
    Start();
    const std::string body = StreamBytes(8 << 20);
    const size_t early = 3000;
    std::atomic<int> step{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        peer.Send(Packet(body).substr(0, 4 + early));
        WaitWhile(step, 0);
        peer.Send(body.substr(early));
        peer.ReadAll();
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    const SocketRecord* r = GetSocketRecord(h);
    ASSERT_TRUE(PumpUntil([&] { return GetRingBufferCount(&r->receiveRing) == static_cast<int>(early); }));
    EXPECT_LT(r->receiveRing.capacity, 1 << 20) << "the ring was made for the announced length";
    step = 1;
    const int size = static_cast<int>(body.size());
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == size; }));
    EXPECT_LE(r->receiveRing.capacity, 2 * size + 1000);
    std::string got(body.size(), '\0');
    ASSERT_EQ(0, NetWorkRecv(h, got.data(), size));
    EXPECT_TRUE(got == body) << "the packet came changed";
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

// The receive that ends a body also reads what it can of the next length prefix: a
// prefix read ahead whole, in part, or behind an empty packet still frames the
// packets that follow.
TEST_F(NetWorkTest, LengthPrefixesReadAheadWithABodyFrameTheNextPackets) {
    Start();
    const std::string wire = Packet("hello") + Packet("abc") + Packet("") + Packet("xy");
    // Cuts: inside the first body; 2 bytes into the second prefix; 2 bytes into the
    // third (empty) packet's prefix, whose rest comes with the last packet.
    const size_t cuts[] = {7, 11, 18, wire.size()};
    std::atomic<int> step{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        size_t at = 0;
        for (int i = 0; i < 4; i++) {
            WaitWhile(step, i);
            peer.Send(wire.substr(at, cuts[i] - at));
            at = cuts[i];
        }
        peer.ReadAll();
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    const SocketRecord* r = GetSocketRecord(h);
    const int complete[] = {0, 5, 8, 10};
    for (int i = 0; i < 4; i++) {
        step = i + 1;
        const int held = i == 0 ? 3 : complete[i];  // the first body arrives in part
        ASSERT_TRUE(PumpUntil([&] {
            return GetNetWorkDataLength(h) == complete[i] && GetRingBufferCount(&r->receiveRing) == held;
        })) << "step " << i;
        if (i == 1 || i == 2) {
            EXPECT_EQ(2, r->prefixHave) << "step " << i;  // read with the body
        }
    }
    char got[10] = {};
    ASSERT_EQ(0, NetWorkRecv(h, got, 10));
    EXPECT_EQ("helloabcxy", std::string(got, 10));
    EXPECT_EQ(0, r->prefixHave);
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

// A packet that waited for room comes in when the program waits for more than the ring
// holds, whether it waits on GetNetWorkDataLength or on NetWorkRecv of the whole amount.
TEST_F(NetWorkTest, AProgramWaitingForMoreThanTheRingHoldsGetsIt) {
    Start();
    const std::string stream = StreamBytes(5 * 40000);
    for (const bool waitOnLength : {true, false}) {
        SCOPED_TRACE(waitOnLength ? "GetNetWorkDataLength" : "NetWorkRecv");
        LoopbackServer server([&](LoopbackPeer& peer) {
            for (size_t at = 0; at < stream.size(); at += 40000) peer.Send(Packet(stream.substr(at, 40000)));
            peer.ReadAll();
        });
        const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
        ASSERT_NE(-1, h);
        std::string got(stream.size(), '\0');
        const int size = static_cast<int>(stream.size());
        if (waitOnLength) {
            ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == size; }));
            ASSERT_EQ(0, NetWorkRecv(h, got.data(), size));
        } else {
            ASSERT_TRUE(PumpUntil([&] { return NetWorkRecv(h, got.data(), size) == 0; }));
        }
        EXPECT_TRUE(got == stream);
        EXPECT_EQ(0, CloseNetWorkHandle(h));
    }
}

namespace {

// Takes the hidden window's queued messages until `event` of `socket` is among them,
// and queues them again behind `first`: the pump then dispatches `first` before them.
bool QueueBehind(HWND window, SOCKET socket, int event, const MSG& first) {
    std::vector<MSG> taken;
    bool found = false;
    const DWORD start = timeGetTime();
    while (!found && timeGetTime() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            found = found || (msg.message == WM_NETWORK_SOCKET && msg.wParam == socket &&
                              WSAGETSELECTEVENT(msg.lParam) == event);
        }
        Sleep(1);
    }
    PostMessageA(window, first.message, first.wParam, first.lParam);
    for (const MSG& msg : taken) PostMessageA(window, msg.message, msg.wParam, msg.lParam);
    return found;
}

}  // namespace

// Connection B's FD_READ or FD_WRITE comes while the same kind of transfer runs for A
// (started by A's event) and is refused there. The socket layer posts that event only
// once, so B must get it when A's transfer ends: a program that only runs the message
// pump would otherwise wait for good.
TEST_F(NetWorkTest, EventsRefusedWhileATransferRunsAreServedAfterIt) {
    Start();
    for (const int event : {FD_READ, FD_WRITE}) {
        SCOPED_TRACE(event == FD_READ ? "FD_READ" : "FD_WRITE");
        const std::string big(6 << 20, 'w');  // more than the socket buffers hold
        std::atomic<int> go{0};
        LoopbackServer idle([](LoopbackPeer& peer) { peer.ReadAll(); });
        LoopbackServer busy([&](LoopbackPeer& peer) {
            WaitWhile(go, 0);
            if (event == FD_READ) {
                peer.Send(Packet("late"));
            } else {
                EXPECT_TRUE(peer.ReadExactly(4 + big.size()) == Packet(big)) << "the packet came changed";
            }
            peer.ReadAll();
        });
        const int a = OpenNetWorkConnection(LoopbackAddress, idle.Port());
        const int b = OpenNetWorkConnection(LoopbackAddress, busy.Port());
        ASSERT_NE(-1, a);
        ASSERT_NE(-1, b);
        SocketRecord* rb = GetSocketRecord(b);
        PumpFor(20);
        if (event == FD_WRITE) {
            ASSERT_EQ(0, NetWorkSend(b, big.data(), static_cast<int>(big.size())));
            ASSERT_GT(GetRingBufferCount(&rb->sendRing), 0) << "the socket took the whole packet";
        }
        go = 1;
        const HWND hidden = NetWorkStateRecord.hiddenWindow;
        MSG eventOfA = {};
        eventOfA.hwnd = hidden;
        eventOfA.message = WM_NETWORK_SOCKET;
        eventOfA.wParam = GetSocketRecord(a)->socket;
        eventOfA.lParam = WSAMAKESELECTREPLY(event, 0);
        ASSERT_TRUE(QueueBehind(hidden, rb->socket, event, eventOfA));
        // From here on only the pump runs.
        if (event == FD_READ) {
            EXPECT_TRUE(PumpUntil([&] { return rb->receivedCompleteBytes == 4; }, 0));
        } else {
            EXPECT_TRUE(PumpUntil([&] { return GetRingBufferCount(&rb->sendRing) == 0; }, 0));
        }
        EXPECT_EQ(0, CloseNetWorkHandle(a));
        EXPECT_EQ(0, CloseNetWorkHandle(b));
    }
}
