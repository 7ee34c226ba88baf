// The HTTP downloader against a loopback server: the request texts, the response
// parsing, bodies into memory and files, failures, deleting, the slot limit, proxies.
#include <atomic>
#include <fstream>
#include <sstream>

#include "network/network_test_support.h"

namespace {

enum class Target { Memory, File, None };

struct Download {
    int index = -1;
    int result = -2, detail = -2, received = -1, contentLength = -2;
    void* body = nullptr;
};

}  // namespace

class HttpTest : public NetWorkTest {
protected:
    void SetUp() override {
        NetWorkTest::SetUp();
        Start();
    }
    std::string SavePath() const { return dir_ + "/saved.bin"; }
    std::string Saved() const {
        std::ifstream in(SavePath(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Starts a download of `path` on the server and steps it until it finishes (or 3 s).
    Download Run(int method, int port, const std::string& path, Target target, const std::string& post = "") {
        Download d;
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
        d.index = StartHttpDownload(method, url.c_str(), post.data(), static_cast<int>(post.size()),
                                    target == Target::File ? SavePath().c_str() : nullptr,
                                    target == Target::Memory ? &d.body : nullptr, 0);
        if (d.index == -1) return d;
        PumpUntil([&] {
            GetHttpDownloadStatus(d.index, &d.result, &d.detail, &d.received, &d.contentLength);
            return d.result != HttpResultRunning;
        });
        return d;
    }
    static std::string Body(const Download& d) {
        return d.body != nullptr ? std::string(static_cast<const char*>(d.body), d.received) : "<none>";
    }
};

TEST_F(HttpTest, ResponsesEndWithTheRightResultAndBody) {
    struct Case {
        const char* name;
        int method;
        Target target;
        const char* response;
        int result;
        int detail;
        const char* body;          // in memory or in the file
        int contentLength;
        const char* logText;       // or ""
    } cases[] = {
        {"memory with length", HttpMethodGet, Target::Memory,
         "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 0, -1, "hello", 5, ""},
        {"1.1 status, file until close", HttpMethodGet, Target::File,
         "HTTP/1.1 200 OK\r\nServer: t\r\n\r\nline1\nline2", 0, -1, "line1\nline2", -1, ""},
        {"not found", HttpMethodGet, Target::Memory, "HTTP/1.0 404 Not Found\r\n\r\n", 2, 1, "<none>", -1,
         "接続に失敗しました (戻り値:404)\r\n"},
        {"other status", HttpMethodGet, Target::File, "HTTP/1.0 500 Oops\r\n\r\n", 2, 0, "", -1,
         "接続に失敗しました (戻り値:500)\r\n"},
        {"status without a blank", HttpMethodGet, Target::File, "HTTP/1.0\r\n\r\n", 2, 0, "", -1,
         "接続に失敗しました (戻り値:-1)\r\n"},
        {"length in other case is not recognised", HttpMethodGet, Target::File,
         "HTTP/1.0 200 OK\r\ncontent-length: 2\r\n\r\nabcd", 0, -1, "abcd", -1, ""},
        {"a line without ':' ends the headers", HttpMethodGet, Target::File,
         "HTTP/1.0 200 OK\r\nX-A: 1\r\nbroken\r\nContent-Length: 3\r\n\r\nabc", 0, -1,
         "Content-Length: 3\r\n\r\nabc", -1, ""},
        {"file never past the length", HttpMethodGet, Target::File,
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", 0, -1, "abc", 3, ""},
        {"body cut short", HttpMethodGet, Target::Memory, "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", 2, 3,
         "<none>", 10, ""},
        {"length too large for memory", HttpMethodGet, Target::Memory,
         "HTTP/1.0 200 OK\r\nContent-Length: 999999999\r\n\r\nabc", 2, 2, "<none>", 999999999, ""},
        {"post to memory", HttpMethodPost, Target::Memory, "HTTP/1.0 200 OK\nContent-Length: 2\n\nok", 0, -1, "ok", 2,
         ""},
        {"post 404 writes nothing", HttpMethodPost, Target::Memory, "HTTP/1.0 404 No\n\n", 2, 1, "<none>", -1, ""},
        {"post file until close", HttpMethodPost, Target::File, "HTTP/1.0 200 OK\n\nabcdefgh", 0, -1, "abcdefgh", -1,
         ""},
        {"head with length", HttpMethodHead, Target::None,
         "HTTP/1.0 200 OK\r\nServer: x\r\nContent-Length: 1234\r\n\r\n", 0, -1, "<none>", 1234, ""},
        {"head without length", HttpMethodHead, Target::None, "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", 2, 3, "<none>",
         -1, ""},
    };
    for (const Case& c : cases) {
        std::remove(SavePath().c_str());
        const size_t logBefore = Log().size();
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.ReadHttpRequest();
            peer.Send(c.response);
        });
        Download d = Run(c.method, server.Port(), "/f", c.target, "data");
        EXPECT_EQ(c.result, d.result) << c.name;
        EXPECT_EQ(c.detail, d.detail) << c.name;
        EXPECT_EQ(c.contentLength, d.contentLength) << c.name;
        if (c.target == Target::File) {
            EXPECT_EQ(c.body, Saved()) << c.name;
        } else {
            EXPECT_EQ(c.body, Body(d)) << c.name;
        }
        const std::string written = Log().substr(logBefore);
        if (c.logText[0] != '\0') {
            EXPECT_NE(std::string::npos, written.find(c.logText)) << c.name;
        } else {
            EXPECT_EQ(std::string::npos, written.find("接続に失敗しました")) << c.name;  // POST and HEAD write none
        }
        ZqFree(d.body);
        EXPECT_EQ(0, DeleteHttpDownload(d.index)) << c.name;
        EXPECT_EQ(0, WinSockSeamOpenSocketCount()) << c.name;
    }
}

TEST_F(HttpTest, RequestTextsAreByteExact) {
    struct Case {
        int method;
        const char* path;
        const char* request;  // %d: the port
    } cases[] = {
        {HttpMethodGet, "/d/a b?x=1", "GET /d/a+b%%3Fx%%3D1 HTTP/1.0\r\nHost: 127.0.0.1:%d\r\nConnection: close\r\n\r\n"},
        {HttpMethodPost, "/p", "POST /p HTTP/1.0\nHost: 127.0.0.1:%d\nContent-Length: 5\n\nhello"},
        {HttpMethodHead, "/h", "HEAD /h HTTP/1.0\n\n"},
    };
    for (const Case& c : cases) {
        std::string request;
        LoopbackServer server([&](LoopbackPeer& peer) {
            request = peer.ReadHttpRequest();
            peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
        });
        Download d = Run(c.method, server.Port(), c.path, c.method == HttpMethodHead ? Target::None : Target::Memory,
                         "hello");
        server.Join();
        char expected[256];
        std::snprintf(expected, sizeof expected, c.request, server.Port());
        EXPECT_EQ(expected, request);
        EXPECT_EQ(0, d.result) << c.path;
        ZqFree(d.body);
        DeleteHttpDownload(d.index);
    }
}

TEST_F(HttpTest, ZeroLengthBodyCompletesAtTheFirstBodyStep) {
    std::atomic<int> done{0};
    LoopbackServer server([&](LoopbackPeer& peer) {
        peer.ReadHttpRequest();
        peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
        while (done.load() == 0) Sleep(1);  // the connection stays open
    });
    Download d = Run(HttpMethodGet, server.Port(), "/z", Target::Memory);
    done = 1;
    EXPECT_EQ(0, d.result);
    EXPECT_EQ(0, d.received);
    EXPECT_NE(nullptr, d.body);
    ZqFree(d.body);
    DeleteHttpDownload(d.index);
}

TEST_F(HttpTest, DownloadsThatCannotEndStayRunningUntilDeleted) {
    const std::string longLine = "HTTP/1.0 200 OK\r\nX-Long: " + std::string(300, 'x') + "\r\n\r\n";
    for (const std::string& response : {std::string("HTTP/1.0 200 OK\r\n\r\nno length for memory"), longLine}) {
        std::atomic<int> done{0};
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.ReadHttpRequest();
            peer.Send(response);
            while (done.load() == 0) Sleep(1);
        });
        void* body = nullptr;
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/r";
        const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, &body, 0);
        ASSERT_NE(-1, index);
        PumpFor(100);
        for (int i = 0; i < 20; i++) ProcessHttpDownloads();
        int result;
        GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr);
        EXPECT_EQ(HttpResultRunning, result);
        EXPECT_EQ(0, DeleteHttpDownload(index));
        EXPECT_EQ(-1, GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr));
        EXPECT_EQ(0, WinSockSeamOpenSocketCount());
        done = 1;
    }
}

// A request that could not be sent gets no answer: the download fails at once
// instead of waiting for a status line forever.
TEST_F(HttpTest, ARequestThatCannotBeSentFailsTheDownload) {
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    void* body = nullptr;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/lost";
    const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, &body, 0);
    ASSERT_NE(-1, index);
    ASSERT_EQ(0, CloseNetWorkHandle(HttpDownloadStateRecord.slots[index]->connection));
    ProcessHttpDownloads();
    int result, detail;
    GetHttpDownloadStatus(index, &result, &detail, nullptr, nullptr);
    EXPECT_EQ(HttpResultFailed, result);
    EXPECT_EQ(HttpDetailDisconnected, detail);
    EXPECT_EQ(nullptr, body);
    EXPECT_TRUE(LogHas("ダウンロード先 127.0.0.1 との接続が切れました\r\n")) << Log();
    EXPECT_EQ(0, DeleteHttpDownload(index));
    EXPECT_EQ(0, WinSockSeamOpenSocketCount());
}

TEST_F(HttpTest, SlotsAreLimitedAndDeletingChecksTheIndex) {
    for (int i = 0; i < HttpSlotCount; i++) ASSERT_EQ(i, AllocHttpDownloadSlot());
    EXPECT_EQ(-1, AllocHttpDownloadSlot());
    EXPECT_TRUE(LogHas("同時にダウンロードしているファイルが限界に達していたためダウンロードを開始できませんでした\r\n"));
    for (int index : {-1, int{HttpSlotCount}}) EXPECT_EQ(-1, DeleteHttpDownload(index));
    for (int i = 0; i < HttpSlotCount; i++) HttpDownloadStateRecord.slots[i]->connection = -1;
    EXPECT_EQ(0, FreeHttpDownloadSlot(42));
    EXPECT_EQ(-1, FinishHttpDownload(42, 0, -1));
    EXPECT_EQ(42, AllocHttpDownloadSlot());  // the lowest free index
    HttpDownloadStateRecord.slots[42]->connection = -1;
    EXPECT_EQ(0, DeleteAllHttpDownloads());
    EXPECT_EQ(0, HttpDownloadStateRecord.liveCount);
}

TEST_F(HttpTest, StartFailuresAreLoggedAndKeepTheConnectionSettings) {
    SetNetWorkPacketMode(1);
    SetNetWorkAutoClose(0);
    void* body = nullptr;
    struct Case {
        std::string url;
        const char* text;
    } cases[] = {
        {"no-slashes", "ＵＲＬ no-slashes の解析に失敗しました\r\n\r\n"},
        {"http://127.0.0.1:83629/x", "ＵＲＬ http://127.0.0.1:83629/x の解析に失敗しました\r\n"},
        {"http:///x", "ダウンロード先ホスト  が見つかりませんでした\r\n"},
        {"http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x",
         "ダウンロード先ホスト 127.0.0.1 への接続に失敗しました\r\n"},
    };
    SetNetWorkConnectTimeOut(300);
    for (const Case& c : cases) {
        EXPECT_EQ(-1, StartHttpDownload(HttpMethodGet, c.url.c_str(), nullptr, 0, nullptr, &body, 0)) << c.url;
        EXPECT_TRUE(LogHas(c.text)) << c.url << "\n" << Log();
    }
    EXPECT_EQ(0, HttpDownloadStateRecord.liveCount);
    EXPECT_EQ(1, GetNetWorkPacketMode());
    EXPECT_EQ(0, GetNetWorkAutoClose());
    // A download's connection is raw and is not closed by the auto-close pass.
    LoopbackServer server([](LoopbackPeer& peer) { peer.ReadAll(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/x";
    const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, &body, 0);
    ASSERT_NE(-1, index);
    const SocketRecord* r = GetSocketRecord(HttpDownloadStateRecord.slots[index]->connection);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, r->packetMode);
    EXPECT_EQ(0, r->autoClose);
    EXPECT_EQ(1, GetNetWorkPacketMode());
    // Nowhere to put the body, or a request too long for its buffer, is refused.
    EXPECT_EQ(-1, StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, nullptr, 0));
    const std::string longPost = url + "/" + std::string(200, 'p') + "/";
    EXPECT_EQ(-1, StartHttpDownload(HttpMethodPost, longPost.c_str(), "x", 1, nullptr, &body, 0));
    EXPECT_TRUE(LogHas("ダウンロード先のＵＲＬが長すぎます\r\n"));
    DeleteHttpDownload(index);
}

TEST_F(HttpTest, ProxyGetsTheAbsoluteUrlAndTheFarHostIsNeverLookedUp) {
    std::string request;
    LoopbackServer proxy([&](LoopbackPeer& peer) {
        request = peer.ReadHttpRequest();
        peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    SetHttpProxy("127.0.0.1", proxy.Port());
    void* body = nullptr;
    const int index = StartHttpDownload(HttpMethodGet, "http://far.test:8080/a b", nullptr, 0, nullptr, &body, 1);
    ASSERT_NE(-1, index);
    int result = -1;
    ASSERT_TRUE(PumpUntil([&] {
        GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr);
        return result != HttpResultRunning;
    }));
    proxy.Join();
    EXPECT_EQ(0, result);
    EXPECT_EQ("GET http://far.test:8080/a+b HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(proxy.Port()) +
                  "\r\nConnection: close\r\n\r\n",
              request);
    EXPECT_EQ("ok", std::string(static_cast<char*>(body), 2));
    ZqFree(body);
    DeleteHttpDownload(index);
}

TEST_F(HttpTest, DownloadsFromOneServerAtOnceHaveConnectionsOfTheirOwn) {
    std::atomic<int> served{0};
    LoopbackServer server(
        [&](LoopbackPeer& peer) {
            const std::string request = peer.ReadHttpRequest();
            const std::string name = request.substr(5, 1);  // "GET /a" or "GET /b"
            served++;
            peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n" + name + name + name);
        },
        2);
    void* bodies[2] = {nullptr, nullptr};
    int indices[2];
    const char* names[2] = {"/a", "/b"};
    for (int i = 0; i < 2; i++) {
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + names[i];
        indices[i] = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, nullptr, &bodies[i], 0);
        ASSERT_NE(-1, indices[i]);
    }
    EXPECT_NE(HttpDownloadStateRecord.slots[indices[0]]->connection,
              HttpDownloadStateRecord.slots[indices[1]]->connection);
    ASSERT_TRUE(PumpUntil([&] {
        int a, b;
        GetHttpDownloadStatus(indices[0], &a, nullptr, nullptr, nullptr);
        GetHttpDownloadStatus(indices[1], &b, nullptr, nullptr, nullptr);
        return a != HttpResultRunning && b != HttpResultRunning;
    }));
    EXPECT_EQ("aaa", std::string(static_cast<char*>(bodies[0]), 3));
    EXPECT_EQ("bbb", std::string(static_cast<char*>(bodies[1]), 3));
    for (int i = 0; i < 2; i++) {
        ZqFree(bodies[i]);
        DeleteHttpDownload(indices[i]);
    }
}

// A server that sends as fast as the socket takes never holds one step longer than
// its share: each step moves at most HttpStepBytes of the body, and the body still
// arrives whole.
TEST_F(HttpTest, OneStepMovesAtMostItsShareOfABody) {
    std::string body(12 * HttpStepBytes, '\0');
    for (size_t i = 0; i < body.size(); i++) body[i] = static_cast<char>(i * 7 + i / 4093);
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    struct Case {
        const char* name;
        Target target;
        bool withLength;
    } cases[] = {{"memory", Target::Memory, true}, {"file", Target::File, true}, {"file until close", Target::File, false}};
    for (const Case& c : cases) {
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.ReadHttpRequest();
            peer.Send("HTTP/1.0 200 OK\r\n" + (c.withLength ? length : "") + "\r\n" + body);
        });
        Download d;
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/big";
        d.index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0,
                                    c.target == Target::File ? SavePath().c_str() : nullptr,
                                    c.target == Target::Memory ? &d.body : nullptr, 0);
        ASSERT_NE(-1, d.index) << c.name;
        int largestStep = 0;
        d.received = 0;
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 30000) {
            const int before = d.received;
            PumpNetWorkMessages(1);
            ProcessHttpDownloads();
            GetHttpDownloadStatus(d.index, &d.result, &d.detail, &d.received, &d.contentLength);
            largestStep = std::max(largestStep, d.received - before);
            if (d.result != HttpResultRunning) break;
        }
        server.Join();
        EXPECT_EQ(HttpResultDone, d.result) << c.name;
        EXPECT_LE(largestStep, int{HttpStepBytes}) << c.name;
        EXPECT_EQ(body.size(), static_cast<size_t>(d.received)) << c.name;
        EXPECT_TRUE((c.target == Target::File ? Saved() : Body(d)) == body) << c.name;
        ZqFree(d.body);
        DeleteHttpDownload(d.index);
    }
}

// A POST body far larger than the socket's buffers goes out over several steps, byte
// for byte, and the download then ends as usual.
TEST_F(HttpTest, LargePostBodyGoesOutAsTheSocketTakesIt) {
    std::string post(8 << 20, '\0');
    for (size_t i = 0; i < post.size(); i++) post[i] = static_cast<char>(i * 13 + i / 997);
    std::string request;
    LoopbackServer server([&](LoopbackPeer& peer) {
        request = peer.ReadHttpRequest();
        peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    Download d = Run(HttpMethodPost, server.Port(), "/up", Target::Memory, post);
    server.Join();
    EXPECT_EQ(HttpResultDone, d.result);
    EXPECT_EQ("ok", Body(d));
    const std::string head = "POST /up HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                             "\nContent-Length: " + std::to_string(post.size()) + "\n\n";
    EXPECT_EQ(head.size() + post.size(), request.size());
    EXPECT_TRUE(request == head + post);
    ZqFree(d.body);
    DeleteHttpDownload(d.index);
}

// A connection reset is no end of a body, whatever its length: the download fails
// with a log line, and a body bound for memory is freed.
TEST_F(HttpTest, AResetConnectionFailsTheDownload) {
    const std::string part(64 * 1024, 'r');
    struct Case {
        const char* name;
        int method;
        Target target;
        std::string sent;  // before the reset
    } cases[] = {
        {"get until close", HttpMethodGet, Target::File, "HTTP/1.0 200 OK\r\n\r\n" + part},
        {"post until close", HttpMethodPost, Target::File, "HTTP/1.0 200 OK\r\n\r\n" + part},
        {"get with length", HttpMethodGet, Target::Memory,
         "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + part},
        {"reset in the headers", HttpMethodGet, Target::Memory, "HTTP/1.0 200 OK\r\nServer: t\r\n"},
    };
    for (const Case& c : cases) {
        std::remove(SavePath().c_str());
        const size_t logBefore = Log().size();
        LoopbackServer server([&](LoopbackPeer& peer) {
            peer.ReadHttpRequest();
            peer.Send(c.sent);
            Sleep(20);
            peer.Reset();
        });
        Download d = Run(c.method, server.Port(), "/cut", c.target, "data");
        EXPECT_EQ(HttpResultFailed, d.result) << c.name;
        EXPECT_EQ(HttpDetailDisconnected, d.detail) << c.name;
        EXPECT_EQ(nullptr, d.body) << c.name;
        EXPECT_NE(std::string::npos, Log().substr(logBefore).find("ダウンロード先 127.0.0.1 との接続が切れました\r\n"))
            << c.name;
        DeleteHttpDownload(d.index);
    }
}

// A body the file does not take (here a device that is always full) is a failure
// with a log line, not a success with nothing written.
TEST_F(HttpTest, ABodyTheFileDoesNotTakeFailsTheDownload) {
    LoopbackServer server([](LoopbackPeer& peer) {
        peer.ReadHttpRequest();
        peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/full";
    const int index = StartHttpDownload(HttpMethodGet, url.c_str(), nullptr, 0, "/dev/full", nullptr, 0);
    ASSERT_NE(-1, index);
    int result = HttpResultRunning, detail = -2;
    EXPECT_TRUE(PumpUntil([&] {
        GetHttpDownloadStatus(index, &result, &detail, nullptr, nullptr);
        return result != HttpResultRunning;
    }));
    EXPECT_EQ(HttpResultFailed, result);
    EXPECT_EQ(HttpDetailNoMemory, detail);
    EXPECT_TRUE(LogHas("ダウンロードしたデータをファイルに書き込めませんでした\r\n")) << Log();
    DeleteHttpDownload(index);
}
