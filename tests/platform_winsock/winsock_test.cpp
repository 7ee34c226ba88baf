// The socket group: start-up and versions, socket calls, host look-up, and the
// events of asynchronous selection as window messages, on real loopback sockets.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/testing.h"
#include "platform/window/window.h"
#include "platform/net/winsock.h"
#include "support/loopback_server.h"
#include "../platform/window_test_support.h"

namespace {

constexpr UINT SocketMessage = 0x505;

struct SocketEvent {
    SOCKET socket;
    int event;
    int error;
};

std::vector<SocketEvent>& Events() {
    static std::vector<SocketEvent> events;
    return events;
}

LRESULT EventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SocketMessage) {
        Events().push_back({wParam, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

sockaddr_in Loopback(int port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    return a;
}

class WinSockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(runtime_.path().empty());
        runtime_.useAsRuntimeDirectory();
        Events().clear();
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = EventProc;
        wc.lpszClassName = "SocketEvents";
        ASSERT_NE(0, RegisterClassExA(&wc));
        window_ = CreateWindowExA(0, "SocketEvents", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(0x0101, &data));
    }
    void TearDown() override {
        WSACleanup();
        WinSockSeamReset();
        DestroyWindow(window_);
        UnregisterClassA("SocketEvents", nullptr);
    }
    // Dispatches the window's messages until `done` holds (or 3 s of real time pass).
    bool PumpUntil(const std::function<bool()>& done) {
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 3000) {
            MSG msg;
            while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (done()) return true;
            Sleep(1);
        }
        return false;
    }
    // How many times the event came for the socket.
    int EventCount(SOCKET s, int event) {
        int count = 0;
        for (const SocketEvent& e : Events()) count += e.socket == s && e.event == event;
        return count;
    }
    // Dispatches for a while, so events that should not come have had their chance.
    void Settle() {
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 50) {
            MSG msg;
            while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(1);
        }
    }
    SOCKET SelectedSocket(long events) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        EXPECT_NE(INVALID_SOCKET, s);
        EXPECT_EQ(0, WSAAsyncSelect(s, window_, SocketMessage, events));
        return s;
    }
    ScratchDirectory runtime_{"zq-winsock-test"};
    HWND window_ = nullptr;
};

TEST(WinSockStartup, NegotiatesTheVersionAndCountsStartUps) {
    struct Case {
        WORD highest;
        WORD requested;
        int result;
        WORD version;
    } cases[] = {
        {0, 0x0101, 0, 0x0101},       // 1.1 of a 2.2 layer
        {0, 0x0202, 0, 0x0202},
        {0, 0x0303, 0, 0x0202},       // above the highest: the highest
        {0x0001, 0x0101, 0, 0x0001},  // a 1.0 layer offers 1.0 for 1.1
        {0, 0x0100, WSAVERNOTSUPPORTED, 0},
    };
    for (const Case& c : cases) {
        WinSockSeamSetHighestVersion(c.highest);
        WSADATA data = {};
        EXPECT_EQ(c.result, WSAStartup(c.requested, &data)) << std::hex << c.requested;
        if (c.result == 0) {
            EXPECT_EQ(c.version, data.wVersion) << std::hex << c.requested;
            EXPECT_EQ(0, WSACleanup());
        }
    }
    WinSockSeamReset();
    EXPECT_EQ(SOCKET_ERROR, WSACleanup());
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
    EXPECT_EQ(INVALID_SOCKET, socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());

    WinSockSeamFailStartup(WSASYSNOTREADY);
    WSADATA data;
    EXPECT_EQ(WSASYSNOTREADY, WSAStartup(0x0101, &data));
    WinSockSeamReset();

    // Two start-ups need two clean-ups; the last one closes what is left.
    ASSERT_EQ(0, WSAStartup(0x0101, &data));
    ASSERT_EQ(0, WSAStartup(0x0101, &data));
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(INVALID_SOCKET, s);
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(1, WinSockSeamOpenSocketCount());
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(0, WinSockSeamOpenSocketCount());
}

TEST_F(WinSockTest, SocketCreationRefusesOtherKindsAndInjectedFailures) {
    EXPECT_EQ(INVALID_SOCKET, socket(23, SOCK_STREAM, 0));
    EXPECT_EQ(WSAEAFNOSUPPORT, WSAGetLastError());
    EXPECT_EQ(INVALID_SOCKET, socket(AF_INET, 2, 0));
    EXPECT_EQ(WSAEPROTONOSUPPORT, WSAGetLastError());
    WinSockSeamFailSocketCreation(1, WSAENOBUFS);
    EXPECT_EQ(INVALID_SOCKET, socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    EXPECT_EQ(WSAENOBUFS, WSAGetLastError());
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    EXPECT_NE(0u, s);
    EXPECT_EQ(0, closesocket(s));
    EXPECT_EQ(SOCKET_ERROR, closesocket(s));
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
    WinSockSeamFailAsyncSelect(1);
    s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(SOCKET_ERROR, WSAAsyncSelect(s, window_, SocketMessage, FD_READ));
    EXPECT_EQ(SOCKET_ERROR, WSAAsyncSelect(s, nullptr, SocketMessage, FD_READ));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    closesocket(s);
}

TEST_F(WinSockTest, ConnectReportsConnectWriteReadAndCloseOnce) {
    LoopbackServer server([](LoopbackPeer& peer) {
        EXPECT_EQ("ping", peer.ReadExactly(4));
        peer.Send("abc");
        peer.ReadExactly(1);  // the client's go-ahead
        peer.Send("de");
        peer.ShutdownSend();
        peer.ReadAll();
    });
    SOCKET s = SelectedSocket(FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
    sockaddr_in to = Loopback(server.Port());
    EXPECT_EQ(SOCKET_ERROR, connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to));
    EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_WRITE) == 1; }));
    ASSERT_EQ(FD_CONNECT, Events()[0].event);
    EXPECT_EQ(0, Events()[0].error);

    EXPECT_EQ(4, send(s, "ping", 4, 0));
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_READ) == 1; }));
    // FD_READ is not posted again until a recv: peek one byte, then another FD_READ comes.
    char got[8] = {};
    EXPECT_EQ(1, recv(s, got, 1, MSG_PEEK));
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_READ) == 2; }));
    EXPECT_EQ(3, recv(s, got, sizeof got, 0));
    EXPECT_EQ(0, std::memcmp(got, "abc", 3));
    EXPECT_EQ(SOCKET_ERROR, recv(s, got, sizeof got, 0));
    EXPECT_EQ(WSAEWOULDBLOCK, WSAGetLastError());

    EXPECT_EQ(1, send(s, "!", 1, 0));
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_CLOSE) == 1; }));
    EXPECT_EQ(0, Events().back().error);
    EXPECT_EQ(2, recv(s, got, sizeof got, 0));
    EXPECT_EQ(0, recv(s, got, sizeof got, 0));  // the end of the stream
    closesocket(s);
    Settle();
    EXPECT_EQ(1, EventCount(s, FD_CLOSE));
    EXPECT_EQ(1, EventCount(s, FD_CONNECT));
}

// A gather send puts its buffers on the stream in order in one call; when the socket
// cannot take them all it reports how many went, and FD_WRITE comes once there is room.
TEST_F(WinSockTest, GatherSendKeepsOrderAndReArmsWriteWhenShort) {
    const std::string big(8 << 20, 'b');  // more than the socket buffers hold
    std::atomic<int> go{0};
    std::string first, rest;
    LoopbackServer server([&](LoopbackPeer& peer) {
        first = peer.ReadExactly(9);
        while (go.load() == 0) Sleep(1);
        rest = peer.ReadAll();
    });
    SOCKET s = SelectedSocket(FD_WRITE | FD_CONNECT);
    sockaddr_in to = Loopback(server.Port());
    connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_WRITE) == 1; }));
    char a[] = "abc", b[] = "", c[] = "defghi";
    WSABUF three[3] = {{3, a}, {0, b}, {6, c}};
    DWORD sent = 0;
    ASSERT_EQ(0, WSASend(s, three, 3, &sent, 0, nullptr, nullptr));
    EXPECT_EQ(9u, sent);
    EXPECT_EQ(SOCKET_ERROR, WSASend(s, three, 3, &sent, 0, three, nullptr));  // no overlapped sends
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    // Fill the socket: the last call takes part or nothing.
    WSABUF one[1] = {{static_cast<ULONG>(big.size()), const_cast<char*>(big.data())}};
    size_t total = 0;
    for (;;) {
        const int result = WSASend(s, one, 1, &sent, 0, nullptr, nullptr);
        if (result == SOCKET_ERROR) {
            ASSERT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
            break;
        }
        total += sent;
        if (sent < big.size()) break;
    }
    go = 1;
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_WRITE) == 2; })) << "no FD_WRITE after a short send";
    closesocket(s);
    server.Join();
    EXPECT_EQ("abcdefghi", first);
    EXPECT_EQ(total, rest.size());
}

TEST_F(WinSockTest, RefusedConnectFailsAtOnceOrThroughConnectEvent) {
    SOCKET s = SelectedSocket(FD_CONNECT | FD_WRITE);
    sockaddr_in to = Loopback(UnusedLoopbackPort());
    int result = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ASSERT_EQ(SOCKET_ERROR, result);
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
        ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_CONNECT) == 1; }));
        EXPECT_EQ(WSAECONNREFUSED, Events()[0].error);
    } else {
        EXPECT_EQ(WSAECONNREFUSED, WSAGetLastError());
    }
    Settle();
    EXPECT_EQ(0, EventCount(s, FD_WRITE));
    closesocket(s);
}

TEST_F(WinSockTest, ResetConnectionReportsCloseWithError) {
    LoopbackServer server([](LoopbackPeer& peer) { peer.Reset(); });
    SOCKET s = SelectedSocket(FD_CONNECT | FD_CLOSE);
    sockaddr_in to = Loopback(server.Port());
    connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_CLOSE) == 1; }));
    EXPECT_EQ(WSAECONNRESET, Events().back().error);
    closesocket(s);
}

// A reset never reads as a graceful close: once the watcher (or any receive) has seen
// it, FD_CLOSE carries it and every receive fails with it, peeks included.
TEST_F(WinSockTest, ResetConnectionFailsEveryReceiveAfterwards) {
    std::atomic<int> connected{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        peer.Send("abc");
        while (connected.load() == 0) Sleep(1);
        Sleep(20);
        peer.Reset();
    });
    SOCKET s = SelectedSocket(FD_CONNECT | FD_READ | FD_CLOSE);
    sockaddr_in to = Loopback(server.Port());
    connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_READ) == 1; }));
    connected = 1;
    ASSERT_TRUE(PumpUntil([&] { return EventCount(s, FD_CLOSE) == 1; }));
    EXPECT_EQ(WSAECONNRESET, Events().back().error);
    char got[8];
    for (int flags : {MSG_PEEK, 0, 0}) {
        EXPECT_EQ(SOCKET_ERROR, recv(s, got, sizeof got, flags)) << flags;
        EXPECT_EQ(WSAECONNRESET, WSAGetLastError()) << flags;
    }
    closesocket(s);
}

TEST_F(WinSockTest, ListeningSocketAcceptsThroughAcceptEvents) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in local = Loopback(0);
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local));
    ASSERT_EQ(0, listen(listener, 4));
    int length = sizeof local;
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length));
    ASSERT_EQ(0, WSAAsyncSelect(listener, window_, SocketMessage, FD_ACCEPT));

    // Two clients (blocking sockets of the layer) connect; FD_ACCEPT comes once per accept.
    SOCKET clients[2];
    for (SOCKET& c : clients) {
        c = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(0, connect(c, reinterpret_cast<sockaddr*>(&local), sizeof local));
    }
    ASSERT_TRUE(PumpUntil([&] { return EventCount(listener, FD_ACCEPT) == 1; }));
    Settle();
    EXPECT_EQ(1, EventCount(listener, FD_ACCEPT));
    sockaddr_in peer = {};
    length = sizeof peer;
    SOCKET first = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    ASSERT_NE(INVALID_SOCKET, first);
    EXPECT_EQ(inet_addr("127.0.0.1"), peer.sin_addr.s_addr);
    ASSERT_TRUE(PumpUntil([&] { return EventCount(listener, FD_ACCEPT) == 2; }));
    SOCKET second = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, second);

    ASSERT_EQ(0, WSAAsyncSelect(first, window_, SocketMessage, FD_READ));
    EXPECT_EQ(2, send(clients[0], "hi", 2, 0));
    ASSERT_TRUE(PumpUntil([&] { return EventCount(first, FD_READ) == 1; }));
    char got[2];
    EXPECT_EQ(2, recv(first, got, 2, 0));
    for (SOCKET c : clients) closesocket(c);
    closesocket(first);
    closesocket(second);
    closesocket(listener);
}

TEST_F(WinSockTest, LooksUpDottedAddressesAndNames) {
    struct Case {
        const char* text;
        unsigned long address;
    } cases[] = {
        {"127.0.0.1", 0x0100007Fu},
        {"10.1.2.3", 0x0302010Au},
        {"255.255.255.255", INADDR_NONE},  // the one address that reads as "none"
        {"256.1.1.1", INADDR_NONE},
        {"localhost", INADDR_NONE},
        {"", INADDR_NONE},
    };
    for (const Case& c : cases) EXPECT_EQ(c.address, inet_addr(c.text)) << c.text;

    hostent* entry = gethostbyname("localhost");
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(AF_INET, entry->h_addrtype);
    EXPECT_EQ(4, entry->h_length);
    ASSERT_NE(nullptr, entry->h_addr_list[0]);
    EXPECT_EQ(127, static_cast<unsigned char>(entry->h_addr_list[0][0]));
    EXPECT_EQ(nullptr, gethostbyname(""));  // nothing to look up (no test asks a name server)
    EXPECT_NE(0, WSAGetLastError());
}

}  // namespace
