// Start-up and shutdown of the socket layer, its failures, and the event dispatcher.
#include "network/network_test_support.h"

TEST_F(NetWorkTest, StartsOnceAndShutsDownWithItsLogLines) {
    EXPECT_EQ(0, ShutdownNetWork());  // nothing started: nothing written
    EXPECT_EQ("", Log());
    Start();
    const std::string afterStart = Log();
    EXPECT_EQ("ネットワーク関連を初期化します\r\n初期化を完了しました \r\n", afterStart);
    EXPECT_EQ(0, SetupNetWork(parent_));
    EXPECT_EQ(afterStart, Log());
    EXPECT_EQ(parent_, GetParent(NetWorkStateRecord.hiddenWindow));

    SetNetWorkPacketMode(0);
    SetNetWorkAutoClose(0);
    HWND hidden = NetWorkStateRecord.hiddenWindow;
    EXPECT_EQ(0, ShutdownNetWork());
    EXPECT_FALSE(IsWindow(hidden));
    EXPECT_EQ(afterStart + "ネットワーク関連の終了処理を行います \r\nネットワーク関連の終了処理は完了しました\r\n", Log());
    // The settings are back at their defaults, and the layer starts again in the same process.
    EXPECT_EQ(1, GetNetWorkPacketMode());
    EXPECT_EQ(1, GetNetWorkAutoClose());
    Start();
    EXPECT_NE(nullptr, NetWorkStateRecord.hiddenWindow);
}

TEST_F(NetWorkTest, StartUpFailuresAreLoggedAndLeaveTheRightState) {
    struct Case {
        const char* name;
        std::function<void()> fault;
        HWND parent;
        const char* text;
        int startedAfter;
    } cases[] = {
        {"no WinSock", [] { WinSockSeamFailStartup(WSASYSNOTREADY); }, parent_,
         "WinSock.DLLが導入されていません\r\n", 0},
        {"version 1.0 only", [] { WinSockSeamSetHighestVersion(0x0001); }, parent_,
         "Winsock.DLLのバージョンが違います\r\n", 0},
        // No parent and no main window: a child window cannot be made.
        {"no window", [] {}, nullptr, "ネットワーク処理用の子ウインドウの作成に失敗しました\r\n", 1},
    };
    for (const Case& c : cases) {
        c.fault();
        EXPECT_EQ(-1, SetupNetWork(c.parent)) << c.name;
        EXPECT_TRUE(LogHas(std::string("ネットワーク関連を初期化します\r\n\t") + c.text)) << c.name;
        EXPECT_EQ(c.startedAfter, NetWorkStateRecord.started) << c.name;
        WinSockSeamReset();
        ShutdownNetWork();
    }
    // The layer that started without its window refuses connections quietly.
    EXPECT_EQ(-1, SetupNetWork(nullptr));
    EXPECT_EQ(0, SetupNetWork(nullptr));
    EXPECT_EQ(-1, OpenNetWorkConnection(LoopbackAddress, UnusedLoopbackPort()));
}

// An event for a live socket that no connection holds is an error; events still queued
// for the socket of a connection closed since (thousands after a long transfer) are
// dropped without a line.
TEST_F(NetWorkTest, SocketEventsWithoutARecordAreLoggedOnlyForALiveSocket) {
    Start();
    const HWND w = NetWorkStateRecord.hiddenWindow;
    const SOCKET stray = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, stray);
    EXPECT_EQ(0, HandleSocketMessage(w, WM_NETWORK_SOCKET, stray, WSAMAKESELECTREPLY(FD_READ, 0)));
    EXPECT_TRUE(LogHas("通信エラー No.1\r\n"));
    closesocket(stray);

    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    const int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    const SOCKET closed = GetSocketRecord(h)->socket;
    EXPECT_EQ(0, CloseNetWorkHandle(h));
    const std::string before = Log();
    for (int i = 0; i < 1000; i++) {
        const int event = i % 3 == 0 ? FD_READ : i % 3 == 1 ? FD_WRITE : FD_CLOSE;
        PostMessageA(w, WM_NETWORK_SOCKET, closed, WSAMAKESELECTREPLY(event, 0));
    }
    PumpNetWorkMessages(1);
    EXPECT_EQ(0, HandleSocketMessage(w, WM_NETWORK_SOCKET, stray, WSAMAKESELECTREPLY(FD_READ, 0)));
    EXPECT_EQ(before, Log());
}

TEST_F(NetWorkTest, ConnectEventsSetAndClearTheConnectionFlags) {
    Start();
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    int h = OpenNetWorkConnection(LoopbackAddress, server.Port());
    ASSERT_NE(-1, h);
    SocketRecord* r = GetSocketRecord(h);
    HWND w = NetWorkStateRecord.hiddenWindow;
    // A connect event with an error leaves the flag as it was; FD_CLOSE clears both flags.
    r->connected = 0;
    EXPECT_EQ(1, HandleSocketMessage(w, WM_NETWORK_SOCKET, r->socket, WSAMAKESELECTREPLY(FD_CONNECT, WSAECONNREFUSED)));
    EXPECT_EQ(0, r->connected);
    EXPECT_EQ(1, HandleSocketMessage(w, WM_NETWORK_SOCKET, r->socket, WSAMAKESELECTREPLY(FD_CONNECT, 0)));
    EXPECT_EQ(1, r->connected);
    r->lossReported = 1;
    EXPECT_EQ(1, HandleSocketMessage(w, WM_NETWORK_SOCKET, r->socket, WSAMAKESELECTREPLY(FD_CLOSE, 0)));
    EXPECT_EQ(0, r->connected);
    EXPECT_EQ(0, r->lossReported);
    // FD_ACCEPT without a listening connection: AcceptNetWork's -1.
    EXPECT_EQ(-1, HandleSocketMessage(w, WM_NETWORK_SOCKET, r->socket, WSAMAKESELECTREPLY(FD_ACCEPT, 0)));
    CloseNetWorkHandle(h);
}
