// winsock_posix.h - the POSIX side of the socket group: thin calls on file
// descriptors with IPv4 addresses and ports in network byte order, each reporting a
// failure as a WSAE* code. Kept apart from platform/net/winsock.h, whose Windows names
// (socket, connect, send, sockaddr_in...) would clash with the system's own.
// Not for library code.
#pragma once

#include <cstddef>
#include <cstdint>

// The WSAE* code of an errno value.
int WsaErrorFromErrno(int errnoValue);

// Each returns -1 and sets *error on failure.
int PosixOpenTcpSocket(int* error);                  // a blocking IPv4 TCP socket's fd
void PosixCloseSocket(int fd);
int PosixSetNonBlocking(int fd, int* error);          // 0
int PosixIsNonBlocking(int fd);                       // 1 or 0
int PosixBind(int fd, uint32_t address, uint16_t port, int* error);  // 0
int PosixListen(int fd, int backlog, int* error);     // 0
int PosixAccept(int fd, uint32_t* address, uint16_t* port, int* error);  // the new fd
// 0 connected, 1 under way (non-blocking socket).
int PosixConnect(int fd, uint32_t address, uint16_t port, int* error);
int PosixLocalAddress(int fd, uint32_t* address, uint16_t* port, int* error);  // 0
// Bytes moved (0 from recv: the peer closed). Sends never raise SIGPIPE.
long PosixRecv(int fd, void* buffer, size_t length, bool peek, int* error);
long PosixSend(int fd, const void* buffer, size_t length, int* error);
// The `count` buffers (at most 16) in order, in one call.
long PosixSendGather(int fd, const void* const* buffers, const size_t* lengths, int count, int* error);
long PosixReadableBytes(int fd, int* error);  // bytes a recv could take now
// Without waiting: 1 data waits, 0 the peer closed and nothing is left, -1 nothing now
// or an error (*error: WSAEWOULDBLOCK or the reason).
int PosixPeekState(int fd, int* error);
// The pending error of the socket (a finished non-blocking connect) as a WSAE* code.
int PosixPendingError(int fd);

// Host look-up. Dotted text -> 1 and the address, else 0 (inet_aton's forms).
int PosixParseDotted(const char* text, uint32_t* address);
// Up to `capacity` IPv4 addresses of a name; their count, or -1 (*error: WSAHOST_NOT_FOUND,
// WSATRY_AGAIN, WSANO_RECOVERY or WSANO_DATA). The canonical name goes into `name`.
int PosixLookupName(const char* host, uint32_t* addresses, int capacity, char* name, size_t nameCapacity,
                    int* error);
