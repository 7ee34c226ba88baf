// The socket group: start-up, the socket table and the socket calls. See winsock.h.
#include "platform/net/winsock.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/net/winsock_internal.h"
#include "platform/net/winsock_posix.h"

std::atomic<int> WinSockStartupFailure{0};
std::atomic<int> WinSockHighestVersion{0};
std::atomic<int> WinSockSocketFailures{0};
std::atomic<int> WinSockSocketFailureError{WSAEMFILE};
std::atomic<int> WinSockSelectFailures{0};

static thread_local int LastError = 0;

// Never destroyed: a program that ends without its last WSACleanup leaves the watcher
// running, and destroying a running thread's record would end the process abnormally.
WinSockLayer& WinSock() {
    static WinSockLayer* layer = new WinSockLayer;
    return *layer;
}

int WSAGetLastError(void) { return LastError; }
void WSASetLastError(int error) { LastError = error; }

static int Failed(int error) {
    LastError = error;
    return SOCKET_ERROR;
}

// Takes one from a failure counter; -1 fails every time.
static bool TakeFailure(std::atomic<int>& counter) {
    int left = counter.load();
    while (left != 0) {
        if (left < 0) return true;
        if (counter.compare_exchange_weak(left, left - 1)) return true;
    }
    return false;
}

// ---- Start-up and clean-up ------------------------------------------------------------

static WORD VersionValue(int major, int minor) { return static_cast<WORD>(major | (minor << 8)); }

int WSAStartup(WORD versionRequested, WSADATA* data) {
    if (int failure = WinSockStartupFailure.load()) return failure;
    if (data == nullptr) return WSAEFAULT;
    const WORD highest = WinSockHighestVersion.load() != 0 ? static_cast<WORD>(WinSockHighestVersion.load())
                                                           : VersionValue(2, 2);
    const int requestedMajor = versionRequested & 0xFF, requestedMinor = versionRequested >> 8;
    if (requestedMajor == 0) return WSAVERNOTSUPPORTED;
    const int highestMajor = highest & 0xFF, highestMinor = highest >> 8;
    const bool offered = requestedMajor < highestMajor || (requestedMajor == highestMajor && requestedMinor <= highestMinor);
    std::memset(data, 0, sizeof *data);
    data->wVersion = offered ? versionRequested : highest;
    data->wHighVersion = highest;
    std::snprintf(data->szDescription, sizeof data->szDescription, "POSIX sockets");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 0x7FFF;
    data->iMaxUdpDg = 0xFFFF;

    WinSockLayer& layer = WinSock();
    bool first;
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        first = layer.startups++ == 0;
    }
    if (first) StartSocketWatcher();
    return 0;
}

int WSACleanup(void) {
    WinSockLayer& layer = WinSock();
    std::vector<int> closing;
    {
        std::lock_guard<std::mutex> lock(layer.mutex);
        if (layer.startups == 0) return Failed(WSANOTINITIALISED);
        if (--layer.startups > 0) return 0;
        for (auto& entry : layer.sockets) closing.push_back(entry.second.fd);
        layer.sockets.clear();
    }
    StopSocketWatcher();
    for (int fd : closing) PosixCloseSocket(fd);
    return 0;
}

// ---- The table ---------------------------------------------------------------------------

// The socket's record, with the mutex held; null (and WSAENOTSOCK) when unknown.
static WinSocket* FindSocket(SOCKET s) {
    WinSockLayer& layer = WinSock();
    auto it = layer.sockets.find(s);
    if (it == layer.sockets.end()) {
        LastError = layer.startups == 0 ? WSANOTINITIALISED : WSAENOTSOCK;
        return nullptr;
    }
    return &it->second;
}

// The fd of a socket for a call made without the mutex; -1 when unknown.
static int SocketFd(SOCKET s) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* record = FindSocket(s);
    return record != nullptr ? record->fd : -1;
}

static SOCKET AddSocket(int fd, WinSocketState state) {
    WinSockLayer& layer = WinSock();
    SOCKET handle = layer.nextHandle;
    layer.nextHandle += 4;
    if (layer.nextHandle >= 0x7FFFFFF0) layer.nextHandle = 0x100;
    WinSocket record;
    record.fd = fd;
    record.state = state;
    layer.sockets[handle] = record;
    return handle;
}

int NoteConnectionLoss(WinSocket& s, int error) {
    if (s.lostError == 0 && (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAETIMEDOUT)) {
        s.lostError = error;
    }
    return error;
}

// Lets the watcher post `events` again (the re-enabling calls).
static void Rearm(SOCKET s, long events) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* record = FindSocket(s);
    if (record == nullptr || (record->events & events) == 0) return;
    const long armed = record->armed | (record->events & events);
    if (armed == record->armed) return;  // already watched for: no need to wake the watcher
    record->armed = armed;
    WakeSocketWatcher();
}

// ---- Socket calls ------------------------------------------------------------------------

SOCKET socket(int family, int type, int protocol) {
    {
        std::lock_guard<std::mutex> lock(WinSock().mutex);
        if (WinSock().startups == 0) {
            LastError = WSANOTINITIALISED;
            return INVALID_SOCKET;
        }
    }
    if (family != AF_INET) {
        LastError = WSAEAFNOSUPPORT;
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM || (protocol != 0 && protocol != IPPROTO_TCP)) {
        LastError = WSAEPROTONOSUPPORT;
        return INVALID_SOCKET;
    }
    if (TakeFailure(WinSockSocketFailures)) {
        LastError = WinSockSocketFailureError.load();
        return INVALID_SOCKET;
    }
    int error = 0;
    int fd = PosixOpenTcpSocket(&error);
    if (fd < 0) {
        LastError = error;
        return INVALID_SOCKET;
    }
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    return AddSocket(fd, WinSocketState::Fresh);
}

int closesocket(SOCKET s) {
    int fd;
    {
        std::lock_guard<std::mutex> lock(WinSock().mutex);
        WinSocket* record = FindSocket(s);
        if (record == nullptr) return SOCKET_ERROR;
        fd = record->fd;
        WinSock().sockets.erase(s);
        WakeSocketWatcher();
    }
    PosixCloseSocket(fd);
    return 0;
}

static bool ReadAddress(const sockaddr* address, int length, uint32_t* ip, uint16_t* port) {
    if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return false;
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(address);
    if (in->sin_family != AF_INET) return false;
    *ip = in->sin_addr.s_addr;
    *port = in->sin_port;
    return true;
}

static void WriteAddress(sockaddr* address, int* length, uint32_t ip, uint16_t port) {
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) return;
    sockaddr_in out = {};
    out.sin_family = AF_INET;
    out.sin_port = port;
    out.sin_addr.s_addr = ip;
    std::memcpy(address, &out, sizeof out);
    *length = sizeof out;
}

int bind(SOCKET s, const sockaddr* address, int length) {
    uint32_t ip;
    uint16_t port;
    if (!ReadAddress(address, length, &ip, &port)) return Failed(WSAEFAULT);
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    int error = 0;
    if (PosixBind(fd, ip, port, &error) < 0) return Failed(error);
    return 0;
}

int listen(SOCKET s, int backlog) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* record = FindSocket(s);
    if (record == nullptr) return SOCKET_ERROR;
    int error = 0;
    if (PosixListen(record->fd, backlog > 4096 || backlog < 0 ? 4096 : backlog, &error) < 0) return Failed(error);
    record->state = WinSocketState::Listening;
    record->armed = record->events & FD_ACCEPT;
    WakeSocketWatcher();
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
    int fd = SocketFd(s);
    if (fd < 0) return INVALID_SOCKET;
    uint32_t ip = 0;
    uint16_t port = 0;
    int error = 0;
    int made = PosixAccept(fd, &ip, &port, &error);
    Rearm(s, FD_ACCEPT);
    if (made < 0) {
        LastError = error;
        return INVALID_SOCKET;
    }
    WriteAddress(address, length, ip, port);
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* listener = FindSocket(s);
    SOCKET handle = AddSocket(made, WinSocketState::Connected);
    if (listener != nullptr && listener->events != 0) {  // the new socket inherits the selection
        WinSocket& record = WinSock().sockets[handle];
        record.window = listener->window;
        record.message = listener->message;
        record.events = listener->events & ~FD_ACCEPT;
        record.armed = record.events & (FD_READ | FD_WRITE | FD_CLOSE);
        int ignored;
        PosixSetNonBlocking(made, &ignored);
        WakeSocketWatcher();
    }
    return handle;
}

int connect(SOCKET s, const sockaddr* address, int length) {
    uint32_t ip;
    uint16_t port;
    if (!ReadAddress(address, length, &ip, &port)) return Failed(WSAEFAULT);
    int fd;
    bool selected;
    {
        std::lock_guard<std::mutex> lock(WinSock().mutex);
        WinSocket* record = FindSocket(s);
        if (record == nullptr) return SOCKET_ERROR;
        if (record->state == WinSocketState::Connected) return Failed(WSAEISCONN);
        if (record->state == WinSocketState::Connecting) return Failed(WSAEALREADY);
        fd = record->fd;
        selected = PosixIsNonBlocking(fd);
    }
    int error = 0;
    int outcome = PosixConnect(fd, ip, port, &error);  // blocks on a blocking socket
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* record = FindSocket(s);
    if (record == nullptr) return SOCKET_ERROR;
    if (outcome < 0) return Failed(error);
    if (!selected) {
        record->state = WinSocketState::Connected;
        return 0;
    }
    // Under way (or already done): FD_CONNECT brings the outcome.
    record->state = WinSocketState::Connecting;
    WakeSocketWatcher();
    return Failed(WSAEWOULDBLOCK);
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) {
        return Failed(WSAEFAULT);
    }
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    uint32_t ip;
    uint16_t port;
    int error = 0;
    if (PosixLocalAddress(fd, &ip, &port, &error) < 0) return Failed(error);
    WriteAddress(address, length, ip, port);
    return 0;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (length < 0 || (buffer == nullptr && length > 0)) return Failed(WSAEFAULT);
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    int error = 0;
    long n = PosixRecv(fd, buffer, static_cast<size_t>(length), (flags & MSG_PEEK) != 0, &error);
    int lost = 0;
    {
        std::lock_guard<std::mutex> lock(WinSock().mutex);
        if (WinSocket* record = FindSocket(s)) {
            if (n < 0) NoteConnectionLoss(*record, error);
            lost = record->lostError;
        }
    }
    Rearm(s, FD_READ);
    // A reset connection never reads as closed: what it still held is lost with it.
    if (lost != 0) return Failed(lost);
    if (n < 0) return Failed(error);
    return static_cast<int>(n);
}

int send(SOCKET s, const char* buffer, int length, int) {
    if (length < 0 || (buffer == nullptr && length > 0)) return Failed(WSAEFAULT);
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    int error = 0;
    long n = PosixSend(fd, buffer, static_cast<size_t>(length), &error);
    if (n < 0 ? error == WSAEWOULDBLOCK : n < length) Rearm(s, FD_WRITE);  // FD_WRITE once there is room
    if (n < 0) return Failed(error);
    return static_cast<int>(n);
}

int WSASend(SOCKET s, WSABUF* buffers, DWORD count, DWORD* sent, DWORD, void* overlapped, void* completionRoutine) {
    if (overlapped != nullptr || completionRoutine != nullptr) return Failed(WSAEINVAL);
    if (sent == nullptr || count > 16 || (buffers == nullptr && count > 0)) return Failed(WSAEFAULT);
    const void* starts[16];
    size_t lengths[16];
    size_t total = 0;
    for (DWORD i = 0; i < count; i++) {
        if (buffers[i].buf == nullptr && buffers[i].len > 0) return Failed(WSAEFAULT);
        starts[i] = buffers[i].buf;
        lengths[i] = buffers[i].len;
        total += buffers[i].len;
    }
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    int error = 0;
    long n = PosixSendGather(fd, starts, lengths, static_cast<int>(count), &error);
    if (n < 0 ? error == WSAEWOULDBLOCK : static_cast<size_t>(n) < total) Rearm(s, FD_WRITE);  // as send
    if (n < 0) return Failed(error);
    *sent = static_cast<DWORD>(n);
    return 0;
}

int ioctlsocket(SOCKET s, long command, unsigned long* argument) {
    if (command != FIONREAD) return Failed(WSAEINVAL);
    if (argument == nullptr) return Failed(WSAEFAULT);
    int fd = SocketFd(s);
    if (fd < 0) return SOCKET_ERROR;
    int error = 0;
    long n = PosixReadableBytes(fd, &error);
    if (n < 0) return Failed(error);
    *argument = static_cast<unsigned long>(n);
    return 0;
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    WinSocket* record = FindSocket(s);
    if (record == nullptr) return SOCKET_ERROR;
    if (events != 0 && window == nullptr) return Failed(WSAEINVAL);
    if (TakeFailure(WinSockSelectFailures)) return Failed(WSAENETDOWN);
    int error = 0;
    if (PosixSetNonBlocking(record->fd, &error) < 0) return Failed(error);
    record->window = window;
    record->message = message;
    record->events = events;
    switch (record->state) {
    case WinSocketState::Listening: record->armed = events & FD_ACCEPT; break;
    case WinSocketState::Connected: record->armed = events & (FD_READ | FD_WRITE | FD_CLOSE); break;
    default: record->armed = 0; break;
    }
    WakeSocketWatcher();
    return 0;
}

// ---- Host look-up --------------------------------------------------------------------------

unsigned long inet_addr(const char* text) {
    uint32_t address;
    if (text == nullptr || !PosixParseDotted(text, &address)) return INADDR_NONE;
    return address;
}

namespace {
struct HostEntryStore {
    hostent entry;
    char name[256];
    char* aliases[1];
    uint32_t addresses[8];
    char* addressList[9];
};
thread_local HostEntryStore HostStore;

hostent* FillHostEntry(const char* name, const uint32_t* addresses, int count) {
    HostEntryStore& store = HostStore;
    std::snprintf(store.name, sizeof store.name, "%s", name);
    store.aliases[0] = nullptr;
    for (int i = 0; i < count; i++) {
        store.addresses[i] = addresses[i];
        store.addressList[i] = reinterpret_cast<char*>(&store.addresses[i]);
    }
    store.addressList[count] = nullptr;
    store.entry = {store.name, store.aliases, AF_INET, 4, store.addressList};
    return &store.entry;
}
}  // namespace

static bool LayerRunning(void) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    if (WinSock().startups > 0) return true;
    LastError = WSANOTINITIALISED;
    return false;
}

hostent* gethostbyname(const char* name) {
    if (!LayerRunning()) return nullptr;
    if (name == nullptr) {
        LastError = WSAEFAULT;
        return nullptr;
    }
    uint32_t addresses[8];
    char canonical[256];
    int error = 0;
    int count = PosixLookupName(name, addresses, 8, canonical, sizeof canonical, &error);
    if (count < 0) {
        LastError = error;
        return nullptr;
    }
    return FillHostEntry(canonical, addresses, count);
}
