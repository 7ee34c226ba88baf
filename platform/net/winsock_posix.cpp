// The POSIX side of the socket group. See winsock_posix.h.
#include "platform/net/winsock_posix.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

// Values of platform/net/winsock.h, repeated here because that header cannot be seen
// beside the system's socket headers.
enum {
    kEINTR = 10004, kEBADF = 10009, kEACCES = 10013, kEFAULT = 10014, kEINVAL = 10022,
    kEMFILE = 10024, kEWOULDBLOCK = 10035, kEALREADY = 10037, kENOTSOCK = 10038,
    kEMSGSIZE = 10040, kEPROTONOSUPPORT = 10043, kEAFNOSUPPORT = 10047, kEADDRINUSE = 10048,
    kEADDRNOTAVAIL = 10049, kENETDOWN = 10050, kENETUNREACH = 10051, kECONNABORTED = 10053,
    kECONNRESET = 10054, kENOBUFS = 10055, kEISCONN = 10056, kENOTCONN = 10057,
    kESHUTDOWN = 10058, kETIMEDOUT = 10060, kECONNREFUSED = 10061, kEHOSTUNREACH = 10065,
    kHOST_NOT_FOUND = 11001, kTRY_AGAIN = 11002, kNO_RECOVERY = 11003, kNO_DATA = 11004,
};

int WsaErrorFromErrno(int e) {
    switch (e) {
    case 0: return 0;
    case EINTR: return kEINTR;
    case EBADF: return kENOTSOCK;
    case EACCES: case EPERM: return kEACCES;
    case EFAULT: return kEFAULT;
    case EINVAL: return kEINVAL;
    case EMFILE: case ENFILE: return kEMFILE;
    case EAGAIN: case EINPROGRESS: return kEWOULDBLOCK;
    case EALREADY: return kEALREADY;
    case ENOTSOCK: return kENOTSOCK;
    case EMSGSIZE: return kEMSGSIZE;
    case EPROTONOSUPPORT: return kEPROTONOSUPPORT;
    case EAFNOSUPPORT: return kEAFNOSUPPORT;
    case EADDRINUSE: return kEADDRINUSE;
    case EADDRNOTAVAIL: return kEADDRNOTAVAIL;
    case ENETDOWN: return kENETDOWN;
    case ENETUNREACH: return kENETUNREACH;
    case ECONNABORTED: return kECONNABORTED;
    case ECONNRESET: return kECONNRESET;
    case ENOBUFS: case ENOMEM: return kENOBUFS;
    case EISCONN: return kEISCONN;
    case ENOTCONN: return kENOTCONN;
    case EPIPE: case ESHUTDOWN: return kESHUTDOWN;
    case ETIMEDOUT: return kETIMEDOUT;
    case ECONNREFUSED: return kECONNREFUSED;
    case EHOSTUNREACH: case EHOSTDOWN: return kEHOSTUNREACH;
    default: return kEINVAL;
    }
}

static int Fail(int* error) {
    *error = WsaErrorFromErrno(errno);
    return -1;
}

static sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = port;
    a.sin_addr.s_addr = address;
    return a;
}

int PosixOpenTcpSocket(int* error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return Fail(error);
    return fd;
}

void PosixCloseSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

int PosixSetNonBlocking(int fd, int* error) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return Fail(error);
    return 0;
}

int PosixIsNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

int PosixBind(int fd, uint32_t address, uint16_t port, int* error) {
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // a restarted server gets its port back
    sockaddr_in a = MakeAddress(address, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) return Fail(error);
    return 0;
}

int PosixListen(int fd, int backlog, int* error) {
    if (::listen(fd, backlog) < 0) return Fail(error);
    return 0;
}

int PosixAccept(int fd, uint32_t* address, uint16_t* port, int* error) {
    sockaddr_in a = {};
    socklen_t length = sizeof a;
    int made;
    do {
        made = ::accept4(fd, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC);
    } while (made < 0 && errno == EINTR);
    if (made < 0) return Fail(error);
    *address = a.sin_addr.s_addr;
    *port = a.sin_port;
    return made;
}

int PosixConnect(int fd, uint32_t address, uint16_t port, int* error) {
    sockaddr_in a = MakeAddress(address, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return 0;
    if (errno == EINPROGRESS || errno == EINTR) return 1;
    return Fail(error);
}

int PosixLocalAddress(int fd, uint32_t* address, uint16_t* port, int* error) {
    sockaddr_in a = {};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) < 0) return Fail(error);
    *address = a.sin_addr.s_addr;
    *port = a.sin_port;
    return 0;
}

long PosixRecv(int fd, void* buffer, size_t length, bool peek, int* error) {
    ssize_t n;
    do {
        n = ::recv(fd, buffer, length, peek ? MSG_PEEK : 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail(error);
    return static_cast<long>(n);
}

long PosixSend(int fd, const void* buffer, size_t length, int* error) {
    ssize_t n;
    do {
        n = ::send(fd, buffer, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail(error);
    return static_cast<long>(n);
}

long PosixSendGather(int fd, const void* const* buffers, const size_t* lengths, int count, int* error) {
    iovec pieces[16];
    if (count < 0 || count > 16) {
        errno = EINVAL;
        return Fail(error);
    }
    for (int i = 0; i < count; i++) pieces[i] = {const_cast<void*>(buffers[i]), lengths[i]};
    msghdr message = {};
    message.msg_iov = pieces;
    message.msg_iovlen = static_cast<size_t>(count);
    ssize_t n;
    do {
        n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail(error);
    return static_cast<long>(n);
}

long PosixReadableBytes(int fd, int* error) {
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) < 0) return Fail(error);
    return n;
}

int PosixPeekState(int fd, int* error) {
    char byte;
    ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return 1;
    if (n == 0) return 0;
    return Fail(error);
}

int PosixPendingError(int fd) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &length) < 0) return WsaErrorFromErrno(errno);
    return WsaErrorFromErrno(value);
}

int PosixParseDotted(const char* text, uint32_t* address) {
    in_addr a;
    if (::inet_aton(text, &a) == 0) return 0;
    *address = a.s_addr;
    return 1;
}

static int LookupError(int code) {
    switch (code) {
    case EAI_AGAIN: return kTRY_AGAIN;
    case EAI_FAIL: return kNO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return kNO_DATA;
#endif
    case EAI_ADDRFAMILY: return kNO_DATA;
    default: return kHOST_NOT_FOUND;
    }
}

int PosixLookupName(const char* host, uint32_t* addresses, int capacity, char* name, size_t nameCapacity,
                    int* error) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    int code = ::getaddrinfo(host, nullptr, &hints, &found);
    if (code != 0) {
        *error = LookupError(code);
        return -1;
    }
    int count = 0;
    for (addrinfo* a = found; a != nullptr && count < capacity; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addr == nullptr) continue;
        uint32_t value = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (int i = 0; i < count; i++) seen = seen || addresses[i] == value;
        if (!seen) addresses[count++] = value;
    }
    const char* canonical = found->ai_canonname != nullptr ? found->ai_canonname : host;
    std::snprintf(name, nameCapacity, "%s", canonical);
    ::freeaddrinfo(found);
    if (count == 0) {
        *error = kNO_DATA;
        return -1;
    }
    return count;
}
