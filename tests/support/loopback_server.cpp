// A tiny TCP server on 127.0.0.1 for tests. See loopback_server.h.
#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

static int ListenOnLoopback(int* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        std::abort();
    }
    *port = ntohs(a.sin_port);
    return fd;
}

int UnusedLoopbackPort() {
    int port;
    int fd = ListenOnLoopback(&port);
    ::close(fd);
    return port;
}

LoopbackServer::LoopbackServer(std::function<void(LoopbackPeer&)> handler, int connections) {
    listenFd_ = ListenOnLoopback(&port_);
    thread_ = std::thread([this, handler, connections] {
        for (int i = 0; i < connections; i++) {
            int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) break;
            // A failed test must not leave the server waiting for ever.
            timeval limit = {5, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            LoopbackPeer peer(fd);
            handler(peer);
            ::close(fd);
        }
        ::close(listenFd_);
    });
}

LoopbackServer::~LoopbackServer() { Join(); }

void LoopbackServer::Join() {
    if (thread_.joinable()) thread_.join();
}

std::string LoopbackPeer::ReadExactly(size_t n) {
    std::string out;
    char buffer[4096];
    while (out.size() < n) {
        ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (got <= 0) break;
        out.append(buffer, static_cast<size_t>(got));
    }
    return out;
}

std::string LoopbackPeer::ReadAll() {
    std::string out;
    char buffer[4096];
    ssize_t got;
    while ((got = ::recv(fd_, buffer, sizeof buffer, 0)) > 0) out.append(buffer, static_cast<size_t>(got));
    return out;
}

size_t LoopbackPeer::ReadSome(char* buffer, size_t size) {
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    return got > 0 ? static_cast<size_t>(got) : 0;
}

std::string LoopbackPeer::ReadHttpRequest() {
    std::string out;
    char c;
    while (out.find("\r\n\r\n") == std::string::npos && out.find("\n\n") == std::string::npos) {
        if (::recv(fd_, &c, 1, 0) != 1) return out;
        out += c;
    }
    size_t at = out.find("Content-Length: ");
    if (at != std::string::npos) out += ReadExactly(std::strtoul(out.c_str() + at + 16, nullptr, 10));
    return out;
}

bool LoopbackPeer::Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void LoopbackPeer::ShutdownSend() { ::shutdown(fd_, SHUT_WR); }

void LoopbackPeer::Reset() {
    linger l = {1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);  // something harmless for the final close
}
