// Connections: connecting, reuse, failures, handle validation, loss and auto-close,
// check numbers, listening and accepting.
#include <atomic>

#include "network/network_test_support.h"

TEST_F(NetWorkTest, ConnectReusesALiveConnectionAndCountsCheckNumbers) {
    Start();
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); }, 2);
    NetWorkStateRecord.nextCheckNumber = 2047;
    int first = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, first);
    EXPECT_EQ(0x48000000 | 2047 << 16 | 0, first);
    EXPECT_EQ(first, OpenNetWorkConnection(LoopbackAddress, server.Port()));  // reused, counter unchanged
    int address = 0, port = 0;
    EXPECT_EQ(0, GetNetWorkAddress(first, &address, &port));
    EXPECT_EQ(LoopbackAddress, address);
    EXPECT_EQ(server.Port(), port);
    // Once the first is not connected any more, a new connection is made; the counter wrapped.
    GetSocketRecord(first)->connected = 0;
    int second = OpenNetWorkConnection(LoopbackAddress, server.Port());
    EXPECT_EQ(0x48000000 | 0 << 16 | 1, second);
    EXPECT_EQ(0, CloseNetWorkHandle(first));
    EXPECT_EQ(0, CloseNetWorkHandle(second));
    EXPECT_EQ(-1, CloseNetWorkHandle(first));
    EXPECT_EQ(0, WinSockSeamOpenSocketCount());
}

TEST_F(NetWorkTest, FailedConnectsLogAndLeaveNoTrace) {
    Start();
    SetNetWorkConnectTimeOut(300);
    struct Case {
        const char* name;
        std::function<void()> fault;
        const char* text;
    } cases[] = {
        {"refused", [] {}, "ネットワークログ。127.0.0.1 への接続に失敗しました。\r\n["},
        {"socket", [] { WinSockSeamFailSocketCreation(1, WSAEMFILE); },
         "ネットワークログ。WINSOCK.DLLが動作していません、ソケットの作成に失敗しました[10024]\r\n"},
        {"select", [] { WinSockSeamFailAsyncSelect(1); },
         "ネットワークログ。WSAAsyncSelectでエラーが発生しました[10050]\r\n"},
    };
    const int port = UnusedLoopbackPort();
    for (const Case& c : cases) {
        c.fault();
        EXPECT_EQ(-1, OpenNetWorkConnection(LoopbackAddress, port)) << c.name;
        EXPECT_TRUE(LogHas(c.text)) << c.name << "\n" << Log();
        EXPECT_EQ(nullptr, NetWorkStateRecord.sockets[0]) << c.name;
        EXPECT_EQ(&NetWorkStateRecord.listTail, NetWorkStateRecord.listHead.next) << c.name;
        EXPECT_EQ(0, NetWorkStateRecord.nextCheckNumber) << c.name;
        EXPECT_EQ(0, WinSockSeamOpenSocketCount()) << c.name;
    }
}

// The refusal ends the connect's wait when it comes; the time-out is for a peer that
// never answers.
TEST_F(NetWorkTest, RefusedConnectFailsWhenTheRefusalArrives) {
    Start();  // a time-out of 10 s
    const DWORD start = timeGetTime();
    EXPECT_EQ(-1, OpenNetWorkConnection(LoopbackAddress, UnusedLoopbackPort()));
    EXPECT_LT(timeGetTime() - start, 5000u);
    EXPECT_TRUE(LogHas("127.0.0.1 への接続に失敗しました。\r\n[10061]")) << Log();
    EXPECT_EQ(nullptr, NetWorkStateRecord.sockets[0]);
}

TEST_F(NetWorkTest, ForeignOrStaleHandlesAreRefusedWithoutAMessage) {
    Start();
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    const int live = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, live);
    const std::string logBefore = Log();
    const int handles[] = {
        -1,
        live | static_cast<int>(0x80000000u),  // error bit
        (live & ~0x78000000) | 0x40000000,      // another kind (8)
        0x48000000 | 4097,                      // beyond the listening slot
        0x48000000 | 5,                         // an empty slot
        live + (1 << 16),                       // stale check number
    };
    char buffer[4];
    for (int h : handles) {
        EXPECT_EQ(nullptr, GetSocketRecord(h)) << std::hex << h;
        EXPECT_EQ(-1, GetNetWorkAcceptState(h)) << std::hex << h;
        EXPECT_EQ(-1, GetNetWorkDataLength(h)) << std::hex << h;
        EXPECT_EQ(-1, NetWorkRecv(h, buffer, 1)) << std::hex << h;
        EXPECT_EQ(-1, NetWorkRecvToPeek(h, buffer, 1)) << std::hex << h;
        EXPECT_EQ(-1, NetWorkSend(h, buffer, 1)) << std::hex << h;
        EXPECT_EQ(-1, CloseNetWorkHandle(h)) << std::hex << h;
    }
    EXPECT_EQ(logBefore, Log());
    // Negative sizes are refused too.
    EXPECT_EQ(-1, NetWorkRecv(live, buffer, -1));
    EXPECT_EQ(-1, NetWorkRecvToPeek(live, buffer, -1));
    EXPECT_EQ(-1, NetWorkSend(live, buffer, -1));
    CloseNetWorkHandle(live);
}

TEST_F(NetWorkTest, LostConnectionClosesOnlyAfterItsLossWasReported) {
    Start();
    for (int autoClose = 0; autoClose <= 1; autoClose++) {
        SetNetWorkAutoClose(autoClose);
        std::atomic<int> connected{0};
        LoopbackServer server([&](LoopbackPeer&) {
            WaitWhile(connected, 0);  // a close during the connect's wait fails the connect
        });
        const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
        connected = 1;
        ASSERT_NE(-1, h);
        SocketRecord* r = GetSocketRecord(h);
        ASSERT_TRUE(PumpUntil([&] { return r->connected == 0; }));
        PumpFor(20);
        EXPECT_EQ(r, GetSocketRecord(h)) << "closed before its loss was reported";
        EXPECT_EQ(0, GetNetWorkAcceptState(h));
        EXPECT_EQ(1, r->lossReported);
        EXPECT_EQ(0, GetNetWorkAcceptState(h));
        PumpNetWorkMessages(0);
        EXPECT_EQ(r, GetSocketRecord(h)) << "the pump without its close flag closed";
        PumpNetWorkMessages(1);
        if (autoClose) {
            EXPECT_EQ(nullptr, GetSocketRecord(h));
            EXPECT_EQ(-1, GetNetWorkAcceptState(h));
        } else {
            EXPECT_EQ(r, GetSocketRecord(h));
            CloseNetWorkHandle(h);
        }
    }
}

TEST_F(NetWorkTest, ConnectionWithTheErrorFlagIsRefusedAndClosedByTheNextPass) {
    Start();
    SetNetWorkAutoClose(0);
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    GetSocketRecord(h)->error = 1;
    char buffer[4];
    EXPECT_EQ(-1, GetNetWorkAcceptState(h));
    EXPECT_EQ(-1, GetNetWorkDataLength(h));
    EXPECT_EQ(-1, NetWorkRecv(h, buffer, 1));
    EXPECT_EQ(-1, NetWorkSend(h, buffer, 1));
    const std::string log = Log();
    for (const char* call : {"GetNetWorkAcceptStateh", "GetNetWorkDataLength", "NetWorkRecv", "NetWorkSend", "RecvSocket", "SendSocket"}) {
        EXPECT_NE(std::string::npos,
                  log.find(std::string("このネットワークハンドルにはエラーが発生しています in ") + call + "\r\n"))
            << call;
    }
    PumpNetWorkMessages(1);
    EXPECT_EQ(nullptr, GetSocketRecord(h));
}

TEST_F(NetWorkTest, PacketsArriveWholeAcrossSplitPrefixesAndEmptyPackets) {
    Start();
    std::atomic<int> step{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        std::string p = Packet("hello");
        peer.Send(p.substr(0, 2));  // half a prefix
        WaitWhile(step, 0);
        peer.Send(p.substr(2, 4));  // the rest of the prefix and part of the body
        WaitWhile(step, 1);
        peer.Send(p.substr(6) + Packet("") + Packet("abc"));
        EXPECT_EQ(Packet("reply"), peer.ReadExactly(9));
        peer.ReadAll();
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    SocketRecord* r = GetSocketRecord(h);
    PumpFor(30);
    EXPECT_EQ(0, GetNetWorkDataLength(h));
    EXPECT_EQ(0, r->receiveRemaining) << "a prefix was taken before all 4 bytes were there";
    step = 1;
    ASSERT_TRUE(PumpUntil([&] { return GetRingBufferCount(&r->receiveRing) == 2; }));
    EXPECT_EQ(0, GetNetWorkDataLength(h));
    // Bytes of a packet still arriving may be taken; the complete count then goes negative.
    char got[8] = {};
    EXPECT_EQ(-1, NetWorkRecv(h, got, 3));
    EXPECT_EQ(0, NetWorkRecv(h, got, 1));
    EXPECT_EQ(-1, r->receivedCompleteBytes);
    step = 2;
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 7; }));
    EXPECT_EQ(0, NetWorkRecvToPeek(h, got + 1, 4));
    EXPECT_EQ(7, GetNetWorkDataLength(h));
    EXPECT_EQ(0, NetWorkRecv(h, got + 1, 7));
    EXPECT_EQ("helloabc", std::string(got, 8));
    EXPECT_EQ(0, GetNetWorkDataLength(h));
    EXPECT_EQ(-1, NetWorkRecv(h, got, 1));
    EXPECT_EQ(0, NetWorkSend(h, "reply", 5));
    ASSERT_TRUE(PumpUntil([&] { return r->sendRemaining == 0 && GetRingBufferCount(&r->sendRing) == 0; }));
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

TEST_F(NetWorkTest, SendsQueuedWhileAPacketIsGoingOutLeaveAsOnePacket) {
    Start();
    const std::string big(6 << 20, 'x');  // more than the socket buffers hold
    std::atomic<int> reading{0};
    std::string second;
    LoopbackServer server([&](LoopbackPeer& peer) {
        WaitWhile(reading, 0);
        std::string first = peer.ReadExactly(4 + big.size());
        EXPECT_EQ(Packet(big), first);
        second = peer.ReadExactly(6);
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    SocketRecord* r = GetSocketRecord(h);
    EXPECT_EQ(0, NetWorkSend(h, big.data(), static_cast<int>(big.size())));
    ASSERT_GT(GetRingBufferCount(&r->sendRing), 0) << "the socket took the whole packet";
    EXPECT_EQ(0, NetWorkSend(h, "x", 1));
    EXPECT_EQ(0, NetWorkSend(h, "y", 1));
    reading = 1;
    ASSERT_TRUE(PumpUntil([&] { return GetRingBufferCount(&r->sendRing) == 0; }));
    server.Join();
    EXPECT_EQ(Packet("xy"), second);
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

TEST_F(NetWorkTest, HostilePacketLengthsSetTheErrorFlag) {
    Start();
    for (const char* prefix : {"\xFF\xFF\xFF\x7F", "\x00\x00\x00\x80", "\x01\x00\x00\x10"}) {
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.Send(std::string(prefix, 4) + "abc");
            peer.ReadAll();
        });
        const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
        ASSERT_NE(-1, h);
        SocketRecord* r = GetSocketRecord(h);
        ASSERT_TRUE(PumpUntil([&] { return r->error == 1; }, 0));
        EXPECT_EQ(-1, GetNetWorkDataLength(h));
        EXPECT_TRUE(LogHas("は大きすぎます\r\n"));
        PumpNetWorkMessages(1);
        EXPECT_EQ(nullptr, GetSocketRecord(h));
    }
}

// The ring grows as a packet's bytes come; a growth that fails sets the error flag
// and names the packet's length.
TEST_F(NetWorkTest, AReceiveRingThatCannotGrowSetsTheErrorFlag) {
    Start();
    std::atomic<int> go{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        WaitWhile(go, 0);
        peer.Send(Packet("hello"));
        peer.ReadAll();
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    SocketRecord* r = GetSocketRecord(h);
    FailNextHeapAllocations(1);
    go = 1;
    ASSERT_TRUE(PumpUntil([&] { return r->error == 1; }, 0));
    FailNextHeapAllocations(0);
    EXPECT_EQ(-1, GetNetWorkDataLength(h));
    EXPECT_TRUE(LogHas("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ 5 byte)\r\n")) << Log();
    // The close does not wait for the rest of a packet that can no longer come in (each
    // refused receive would write a line).
    const auto refusals = [&] {
        const std::string log = Log(), refusal = "このネットワークハンドルにはエラーが発生しています in RecvSocket";
        size_t count = 0;
        for (size_t at = log.find(refusal); at != std::string::npos; at = log.find(refusal, at + 1)) count++;
        return count;
    };
    const size_t before = refusals();
    PumpNetWorkMessages(1);
    EXPECT_EQ(nullptr, GetSocketRecord(h));
    EXPECT_LE(refusals(), before + 1);
}

TEST_F(NetWorkTest, RawConnectionsReadTheSocketDirectly) {
    Start();
    SetNetWorkPacketMode(0);
    std::atomic<int> step{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        EXPECT_EQ("raw", peer.ReadExactly(3));
        peer.Send("data");
        WaitWhile(step, 0);
    });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    EXPECT_LT(GetNetWorkDataLength(h), 0);  // nothing to read now
    EXPECT_EQ(3, NetWorkSend(h, "raw", 3));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 1; }));
    char got[8];
    EXPECT_EQ(2, NetWorkRecvToPeek(h, got, 2));
    EXPECT_EQ(4, NetWorkRecv(h, got, sizeof got));
    EXPECT_EQ("data", std::string(got, 4));
    step = 1;
    server.Join();
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(h) == 0; }));  // closed, nothing left
    ASSERT_TRUE(PumpUntil([&] { return GetSocketRecord(h)->connected == 0; }, 0));
    EXPECT_EQ(-1, NetWorkSend(h, "x", 1));  // unconnected: no message
    EXPECT_FALSE(LogHas("in NetWorkSend"));
    EXPECT_EQ(0, CloseNetWorkHandle(h));
}

TEST_F(NetWorkTest, ListeningConnectionAcceptsAndHandsOutConnections) {
    Start();
    const int listener = StartNetWorkListen(0);
    ASSERT_NE(-1, listener);
    EXPECT_EQ(NetWorkListenSlot, HandleSlot(listener));
    EXPECT_EQ(-1, StartNetWorkListen(0));
    int address, port;
    ASSERT_EQ(0, GetNetWorkAddress(listener, &address, &port));
    EXPECT_EQ(-1, TakeAcceptedNetWork());

    // The library connects to itself: the accept happens inside the connect's wait.
    const int client = OpenNetWorkConnection(LoopbackAddress, port);
    ASSERT_NE(-1, client);
    ASSERT_TRUE(PumpUntil([] { return NetWorkStateRecord.sockets[1] != nullptr; }));
    const int server = TakeAcceptedNetWork();
    ASSERT_NE(-1, server);
    EXPECT_EQ(1, GetSocketRecord(server)->accepted);
    EXPECT_EQ(1, GetNetWorkAcceptState(server));
    EXPECT_EQ(-1, TakeAcceptedNetWork());
    ASSERT_EQ(0, GetNetWorkAddress(server, &address, nullptr));
    EXPECT_EQ(LoopbackAddress, address);

    EXPECT_EQ(0, NetWorkSend(client, "ping", 4));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 4; }));
    char got[4];
    EXPECT_EQ(0, NetWorkRecv(server, got, 4));
    EXPECT_EQ("ping", std::string(got, 4));

    EXPECT_EQ(0, StopNetWorkListen());
    EXPECT_EQ(-1, StopNetWorkListen());
    EXPECT_EQ(0, CloseNetWorkHandle(client));
    ASSERT_TRUE(PumpUntil([&] { return GetNetWorkAcceptState(server) == 0; }));
}

// With every slot taken an accept is refused and the connection waits in the
// listener's queue; each slot that frees lets one waiting connection in.
TEST_F(NetWorkTest, ListenerTakesWaitingConnectionsAsSlotsFree) {
    Start();
    const int listener = StartNetWorkListen(0);
    ASSERT_NE(-1, listener);
    int port = 0;
    ASSERT_EQ(0, GetNetWorkAddress(listener, nullptr, &port));
    // Stand-ins, without sockets, fill every connection slot.
    for (int slot = 0; slot < NetWorkConnectionSlots; slot++) ASSERT_NE(nullptr, NewSocketRecord(slot));
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    SOCKET clients[2];
    for (SOCKET& client : clients) {
        client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(0, connect(client, reinterpret_cast<const sockaddr*>(&to), sizeof to));  // a blocking socket
    }
    ASSERT_TRUE(PumpUntil([&] { return LogHas("空きソケットデータがなかったので accept を拒否しました \r\n"); }, 0));
    for (const int freed : {7, 4000}) {
        const SocketRecord* standIn = NetWorkStateRecord.sockets[freed];
        EXPECT_EQ(0, CloseNetWorkHandle(MakeNetWorkHandle(freed, standIn->checkNumber)));
        ASSERT_TRUE(PumpUntil([&] { return NetWorkStateRecord.sockets[freed] != nullptr; }, 0)) << "slot " << freed;
        EXPECT_EQ(1, NetWorkStateRecord.sockets[freed]->accepted);
    }
    for (SOCKET client : clients) closesocket(client);
}

TEST_F(NetWorkTest, ResolvesLocalhostAndDottedAddresses) {
    unsigned char out[4] = {};
    EXPECT_EQ(0, ResolveHostToIPv4("192.0.2.7", out));  // started on the way, no look-up needed
    EXPECT_EQ(1, NetWorkStateRecord.started);
    EXPECT_EQ(192, out[0]);
    EXPECT_EQ(7, out[3]);
    EXPECT_EQ(0, ResolveHostToIPv4("localhost", out));
    EXPECT_EQ(127, out[0]);
    EXPECT_EQ(-1, ResolveHostToIPv4("", out));
    ShutdownNetWork();
    SystemStateRecord.life.closeRequested = 1;  // a closing window starts nothing
    EXPECT_EQ(-1, ResolveHostToIPv4("localhost", out));
    EXPECT_EQ(-1, OpenNetWorkConnection(LoopbackAddress, 80));
    EXPECT_EQ(0, NetWorkStateRecord.started);
    SystemStateRecord.life.closeRequested = 0;
}
