// loopback_server.h - a tiny TCP server on 127.0.0.1 for the socket and HTTP tests:
// a thread of its own accepts connections on a free port and runs a handler for each,
// one after another. Plain POSIX inside; this header shows none of it, so tests that
// use the platform layer's socket names can include it.
//
//     LoopbackServer server([](LoopbackPeer& peer) {
//         std::string request = peer.ReadHttpRequest();
//         peer.Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi");
//     });
//     ... connect to 127.0.0.1:server.Port() ...
//     server.Join();   // the handlers ran (the destructor joins too)
//
// A read of the server gives up after 5 s, so a failed test ends.
#pragma once

#include <functional>
#include <string>
#include <thread>

class LoopbackPeer {
public:
    explicit LoopbackPeer(int fd) : fd_(fd) {}
    // Everything up to and including the blank line that ends the headers (a CR LF
    // or a bare LF one), then as many more bytes as a Content-Length header asks for.
    std::string ReadHttpRequest();
    // Exactly n bytes, or fewer when the peer closed first.
    std::string ReadExactly(size_t n);
    // Everything until the peer closes.
    std::string ReadAll();
    // One receive of at most `size` bytes into `buffer`: the count, 0 once the peer
    // closed (or on an error).
    size_t ReadSome(char* buffer, size_t size);
    bool Send(const std::string& bytes);
    // Ends sending (the peer reads the end of the stream) but keeps the connection.
    void ShutdownSend();
    // Resets the connection instead of closing it gracefully.
    void Reset();

private:
    int fd_;
};

class LoopbackServer {
public:
    // Serves `connections` connections, each with the handler, then stops listening.
    explicit LoopbackServer(std::function<void(LoopbackPeer&)> handler, int connections = 1);
    ~LoopbackServer();
    int Port() const { return port_; }
    void Join();

private:
    int listenFd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// A port on 127.0.0.1 that nobody listens on (bound, then released).
int UnusedLoopbackPort();
