// The network inside the running library: the message pump steps downloads and
// dispatches socket events, and shutdown ends downloads and the socket layer in order.
#include "../core/library_test_support.h"
#include "library/core/alloc.h"
#include "library/network/http.h"
#include "library/network/network_state.h"
#include "support/loopback_server.h"

#include <algorithm>
#include <atomic>

TEST_F(LibraryTest, MessagePumpDrivesADownloadAndShutdownEndsTheNetwork) {
    RemoveVirtualClock();  // real sockets keep real time
    GameSettings();
    ASSERT_EQ(0, InitializeLibrary());
    LoopbackServer server([](LoopbackPeer& peer) {
        peer.ReadHttpRequest();
        peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody");
    });
    void* body = nullptr;
    const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/x";
    const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, &body, 0);
    ASSERT_NE(-1, index);
    // The hidden window is a child of the main window.
    EXPECT_EQ(MainWindow(), GetParent(NetWorkStateRecord.hiddenWindow));
    int result = HttpResultRunning;
    for (int pass = 0; pass < 3000 && result == HttpResultRunning; pass++) {
        ASSERT_EQ(0, ProcessMessage());
        GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr);
        Sleep(1);
    }
    EXPECT_EQ(HttpResultDone, result);
    ASSERT_NE(nullptr, body);
    EXPECT_EQ("body", std::string(static_cast<char*>(body), 4));
    ZqFree(body);

    // A download still running at shutdown is deleted, and its connection closed.
    LoopbackServer silent([](LoopbackPeer& peer) { peer.ReadAll(); });
    const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent.Port()) + "/y";
    ASSERT_NE(-1, StartHttpDownload(HttpMethodGet, silentUrl.c_str(), nullptr, 0, nullptr, &body, 0));
    ShutdownLibrary();
    EXPECT_EQ(0, HttpDownloadStateRecord.liveCount);
    EXPECT_EQ(0, NetWorkStateRecord.started);
    EXPECT_EQ(0, WinSockSeamOpenSocketCount());
    EXPECT_TRUE(InOrder(LogWithoutTimes(), {"ネットワーク関連を初期化します", "初期化を完了しました ",
                                            "ネットワーク関連の終了処理を行います ",
                                            "ネットワーク関連の終了処理は完了しました"}));
}

// A peer that streams without end (empty packets: each one fits any ring) brings a new
// FD_READ after every receive. One call of the message pump still returns: it handles
// the events that were there when it began, not every one that follows.
TEST_F(LibraryTest, MessagePumpReturnsUnderASteadyStreamOfSocketEvents) {
    RemoveVirtualClock();
    GameSettings();
    ASSERT_EQ(0, InitializeLibrary());
    std::atomic<int> stop{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        const std::string emptyPackets(4096, '\0');
        const DWORD start = timeGetTime();
        while (stop.load() == 0 && timeGetTime() - start < 5000 && peer.Send(emptyPackets)) {
        }
    });
    const int h = OpenNetWorkConnection(127 | 1 << 24, server.Port());
    ASSERT_NE(-1, h);
    Sleep(50);  // the stream is flowing
    DWORD longest = 0;
    for (int call = 0; call < 20; call++) {
        const DWORD before = timeGetTime();
        ASSERT_EQ(0, ProcessMessage());
        longest = std::max(longest, timeGetTime() - before);
    }
    stop = 1;
    EXPECT_LT(longest, 1000u) << "one call kept dispatching the stream's events";
    EXPECT_EQ(0, CloseNetWorkHandle(h));
    server.Join();
}
