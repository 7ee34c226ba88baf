// The socket group's watcher thread: asynchronous selection. It polls every socket
// that has events to report and posts them to the chosen windows. See winsock.h for
// which event is posted when and which call re-arms it.
#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/net/winsock_internal.h"
#include "platform/net/winsock_posix.h"

namespace {

struct PendingPost {
    HWND window;
    UINT message;
    SOCKET socket;
    LPARAM lParam;
};

// The poll events a socket waits for now; 0 leaves it out of the poll set (so a
// closed or failed socket never makes the watcher spin).
short WatchedEvents(const WinSocket& s) {
    if (s.window == nullptr || s.events == 0) return 0;
    switch (s.state) {
    case WinSocketState::Connecting: return POLLOUT;
    case WinSocketState::Listening: return (s.armed & FD_ACCEPT) ? POLLIN : 0;
    case WinSocketState::Connected: {
        short wanted = 0;
        if (s.armed & FD_READ) wanted |= POLLIN;
        if (s.armed & FD_WRITE) wanted |= POLLOUT;
        if (s.armed & FD_CLOSE) wanted |= POLLRDHUP;
        return wanted;
    }
    default: return 0;
    }
}

void Post(std::vector<PendingPost>& posts, SOCKET id, const WinSocket& s, long event, int error) {
    if ((s.events & event) == 0) return;
    posts.push_back({s.window, s.message, id, WSAMAKESELECTREPLY(event, error)});
}

// Turns what poll saw into events, with the mutex held.
void HandleReadiness(SOCKET id, WinSocket& s, short seen, std::vector<PendingPost>& posts) {
    const bool broken = (seen & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    switch (s.state) {
    case WinSocketState::Connecting: {
        int error = PosixPendingError(s.fd);
        if (error == 0 && (seen & POLLOUT) == 0) return;  // not finished yet
        // A reset means the connection was made and then dropped by the peer before we
        // looked: the connect succeeded, and the close follows at once.
        const bool madeThenReset = error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
        NoteConnectionLoss(s, error);
        if (error == 0 || madeThenReset) {
            s.state = WinSocketState::Connected;
            s.armed = madeThenReset ? 0 : s.events & (FD_READ | FD_CLOSE);
            Post(posts, id, s, FD_CONNECT, 0);
            Post(posts, id, s, FD_WRITE, 0);  // a new connection has room to send
            if (madeThenReset) Post(posts, id, s, FD_CLOSE, error);
        } else {
            s.state = WinSocketState::Failed;
            s.armed = 0;
            Post(posts, id, s, FD_CONNECT, error);
        }
        return;
    }
    case WinSocketState::Listening:
        if ((seen & POLLIN) && (s.armed & FD_ACCEPT)) Post(posts, id, s, FD_ACCEPT, 0);
        s.armed &= ~FD_ACCEPT;  // until the next accept
        return;
    case WinSocketState::Connected: {
        if ((seen & (POLLIN | POLLRDHUP | POLLERR | POLLHUP)) && (s.armed & FD_READ)) {
            int error = 0;
            const int state = PosixPeekState(s.fd, &error);
            if (state == 1) Post(posts, id, s, FD_READ, 0);
            if (state < 0) NoteConnectionLoss(s, error);
            s.armed &= ~FD_READ;  // until the next recv
        }
        if ((seen & POLLOUT) && (s.armed & FD_WRITE)) {
            Post(posts, id, s, FD_WRITE, 0);
            s.armed &= ~FD_WRITE;  // until a send runs short
        }
        if ((seen & (POLLRDHUP | POLLERR | POLLHUP)) && (s.armed & FD_CLOSE)) {
            int error = (seen & POLLERR) ? NoteConnectionLoss(s, PosixPendingError(s.fd)) : 0;
            if (error == 0 && (seen & POLLHUP) && !(seen & POLLRDHUP)) error = NoteConnectionLoss(s, WSAECONNRESET);
            if (error == 0) error = s.lostError;  // a receive took the report first
            Post(posts, id, s, FD_CLOSE, error);
            s.armed &= ~FD_CLOSE;
        }
        if (broken) s.armed = 0;
        return;
    }
    default:
        s.armed = 0;
        return;
    }
}

void WatchLoop() {
    WinSockLayer& layer = WinSock();
    std::vector<pollfd> polled;
    std::vector<SOCKET> ids;
    std::vector<PendingPost> posts;
    for (;;) {
        polled.clear();
        ids.clear();
        int wakeFd;
        {
            std::lock_guard<std::mutex> lock(layer.mutex);
            if (layer.stopping) return;
            wakeFd = layer.wakeFd;
            polled.push_back({wakeFd, POLLIN, 0});
            ids.push_back(0);
            for (auto& [id, s] : layer.sockets) {
                short wanted = WatchedEvents(s);
                if (wanted == 0) continue;
                polled.push_back({s.fd, wanted, 0});
                ids.push_back(id);
            }
        }
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno != EINTR) ::usleep(1000);
            continue;
        }
        if (polled[0].revents != 0) {
            uint64_t count;
            [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
        }
        // Posting with the mutex held: once closesocket or WSAAsyncSelect(s, window, 0, 0)
        // has returned, no event of that socket is posted any more.
        posts.clear();
        std::lock_guard<std::mutex> lock(layer.mutex);
        for (size_t i = 1; i < polled.size(); i++) {
            if (polled[i].revents == 0) continue;
            auto it = layer.sockets.find(ids[i]);
            if (it == layer.sockets.end() || it->second.fd != polled[i].fd) continue;  // closed meanwhile
            HandleReadiness(ids[i], it->second, polled[i].revents, posts);
        }
        for (const PendingPost& p : posts) PostMessageA(p.window, p.message, p.socket, p.lParam);
    }
}

}  // namespace

void WakeSocketWatcher(void) {
    int fd = WinSock().wakeFd;
    if (fd < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t put = ::write(fd, &one, sizeof one);
}

void StartSocketWatcher(void) {
    WinSockLayer& layer = WinSock();
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        layer.stopping = false;
        layer.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    layer.watcher = std::thread(WatchLoop);
}

void StopSocketWatcher(void) {
    WinSockLayer& layer = WinSock();
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        layer.stopping = true;
        WakeSocketWatcher();
    }
    if (layer.watcher.joinable()) layer.watcher.join();
    std::lock_guard<std::mutex> lock(layer.mutex);
    if (layer.wakeFd >= 0) ::close(layer.wakeFd);
    layer.wakeFd = -1;
}
