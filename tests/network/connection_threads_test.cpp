// The connection calls beside the pump thread: each takes the ApiLock, so the pump
// thread's auto-close pass never frees a record in the middle of a call.
#include <atomic>
#include <thread>
#include <utility>

#include "library/core/apilock.h"
#include "network/network_test_support.h"

namespace {

// Runs `call` on a thread of its own while this thread holds the ApiLock: true when the
// call had not returned while the lock was held and returned once it was released.
bool CallWaitsForTheLock(const std::function<void()>& call) {
    std::atomic<int> done{0};
    EnterApiLock();
    std::thread caller([&] {
        call();
        done = 1;
    });
    Sleep(30);
    const bool waited = done.load() == 0;
    LeaveApiLock();
    caller.join();
    return waited && done.load() == 1;
}

}  // namespace

TEST_F(NetWorkTest, EveryConnectionCallWaitsForTheApiLock) {
    Start();
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    const HWND hidden = NetWorkStateRecord.hiddenWindow;
    char buffer[4];
    unsigned char address[4];
    int port = 0;
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"SetupNetWork", [&] { SetupNetWork(parent_); }},
        {"PumpNetWorkMessages", [] { PumpNetWorkMessages(1); }},
        {"HandleSocketMessage",
         [&] { HandleSocketMessage(hidden, WM_NETWORK_SOCKET, 0x12345, WSAMAKESELECTREPLY(FD_READ, 0)); }},
        {"OpenNetWorkConnection", [&] { OpenNetWorkConnection(LoopbackAddress, server.Port()); }},  // reused
        {"GetNetWorkAcceptState", [&] { GetNetWorkAcceptState(h); }},
        {"GetNetWorkAddress", [&] { GetNetWorkAddress(h, nullptr, &port); }},
        {"GetNetWorkDataLength", [&] { GetNetWorkDataLength(h); }},
        {"NetWorkRecv", [&] { NetWorkRecv(h, buffer, 1); }},
        {"NetWorkRecvToPeek", [&] { NetWorkRecvToPeek(h, buffer, 1); }},
        {"NetWorkSend", [&] { NetWorkSend(h, "x", 1); }},
        {"SetNetWorkPacketMode", [] { SetNetWorkPacketMode(1); }},
        {"GetNetWorkPacketMode", [] { GetNetWorkPacketMode(); }},
        {"SetNetWorkAutoClose", [] { SetNetWorkAutoClose(1); }},
        {"GetNetWorkAutoClose", [] { GetNetWorkAutoClose(); }},
        {"SetNetWorkConnectTimeOut", [] { SetNetWorkConnectTimeOut(10000); }},
        {"ResolveHostToIPv4", [&] { ResolveHostToIPv4("127.0.0.1", address); }},
        {"StartNetWorkListen", [] { StartNetWorkListen(0); }},
        {"TakeAcceptedNetWork", [] { TakeAcceptedNetWork(); }},
        {"StopNetWorkListen", [] { StopNetWorkListen(); }},
        {"CloseNetWorkHandle", [&] { CloseNetWorkHandle(h); }},
    };
    for (const auto& [name, call] : calls) EXPECT_TRUE(CallWaitsForTheLock(call)) << name;
    EXPECT_EQ(nullptr, GetSocketRecord(h));
}

// The pump thread runs the network upkeep, whose auto-close pass frees the records of
// lost connections, while this thread keeps calling on connections whose peers answer
// its first packet and close. Each handle answers until the pump thread has closed it, then is refused.
// (The sanitizer builds catch a record freed under a running call.)
TEST_F(NetWorkTest, CallsOnConnectionsClosedByThePumpThreadStaySafe) {
    Start();
    constexpr int Rounds = 20;
    const std::string packet = Packet(std::string(1000, 'd'));
    LoopbackServer server(
        [&](LoopbackPeer& peer) {
            peer.ReadExactly(5);  // the first packet: the connect has ended (a close during its wait fails it)
            for (int i = 0; i < 20; i++) peer.Send(packet);
        },
        Rounds);
    std::atomic<int> stop{0};
    std::thread pumpThread([&] {
        while (stop.load() == 0) {
            EnterApiLock();  // as the library's pump thread does around its upkeep
            PumpNetWorkMessages(1);
            LeaveApiLock();
            Sleep(1);
        }
    });
    for (int round = 0; round < Rounds; round++) {
        const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
        EXPECT_NE(-1, h) << "round " << round;
        if (h == -1) continue;
        char buffer[1000];
        const DWORD start = timeGetTime();
        while (GetNetWorkAcceptState(h) != -1 && timeGetTime() - start < 10000) {
            GetNetWorkDataLength(h);
            NetWorkRecv(h, buffer, sizeof buffer);
            NetWorkRecvToPeek(h, buffer, 10);
            NetWorkSend(h, "x", 1);
        }
        EXPECT_EQ(-1, GetNetWorkAcceptState(h)) << "round " << round << ": not closed by the pump thread";
    }
    stop = 1;
    pumpThread.join();
}
