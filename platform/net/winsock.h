// winsock.h - the socket group of the platform layer: TCP sockets over IPv4, host
// look-up, and asynchronous selection that reports socket events as window messages.
//
// Backed by POSIX sockets. A SOCKET is a small number of the layer's own (never 0,
// never INVALID_SOCKET); failures return SOCKET_ERROR or INVALID_SOCKET and leave the
// error code in WSAGetLastError (per thread), using the WSAE* values below.
//
// Asynchronous selection: after WSAAsyncSelect(s, window, message, events) the socket
// is non-blocking and a watcher thread of the layer posts `message` to `window` with
// wParam = s and lParam = WSAMAKESELECTREPLY(event, error) for each event:
//   FD_CONNECT  once, when a connect completes (error word = the reason it failed)
//   FD_WRITE    after a successful connect, and again once a send that could not
//               take all its bytes (WSAEWOULDBLOCK or a partial send) has room again
//   FD_READ     when data waits; posted again only after the next recv on the socket
//   FD_ACCEPT   when a connection waits; posted again only after the next accept
//   FD_CLOSE    once, when the peer closed (error 0) or reset the connection; after a
//               reset every recv fails with its code (WSAECONNRESET), as in WinSock
// A non-blocking connect always reports WSAEWOULDBLOCK, as it does for a socket under
// asynchronous selection, and its outcome arrives as FD_CONNECT. Messages already
// posted stay in the queue after closesocket or WSAAsyncSelect(s, window, 0, 0).
//
// Typical use:
//     WSADATA data;
//     WSAStartup(0x0101, &data);
//     SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
//     WSAAsyncSelect(s, window, 0x505, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
//     sockaddr_in to = {}; to.sin_family = AF_INET; to.sin_port = htons(80);
//     to.sin_addr.s_addr = inet_addr("127.0.0.1");
//     connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);  // WSAEWOULDBLOCK
//     ... FD_CONNECT arrives ... send / recv ...
//     closesocket(s);
//     WSACleanup();
#pragma once

#include "platform/window/window.h"
#include "platform/wintypes.h"

using SOCKET = uintptr_t;

#define INVALID_SOCKET (static_cast<SOCKET>(~static_cast<SOCKET>(0)))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6
#define INADDR_ANY 0x00000000u
#define INADDR_NONE 0xFFFFFFFFu
#define SOMAXCONN 0x7FFFFFFF

// recv flags
#define MSG_PEEK 0x2

// ioctlsocket commands
#define FIONREAD 0x4004667F  // the bytes one recv could take now

// Asynchronous-selection events and the lParam of their message.
#define FD_READ 0x01
#define FD_WRITE 0x02
#define FD_OOB 0x04
#define FD_ACCEPT 0x08
#define FD_CONNECT 0x10
#define FD_CLOSE 0x20
#define WSAMAKESELECTREPLY(event, error) (static_cast<LPARAM>(MAKELONG(event, error)))
#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

// Error codes (WSAGetLastError, the result of WSAStartup, the error word of events).
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

struct WSADATA {
    WORD wVersion;       // the version the caller is to use: low byte major, high byte minor
    WORD wHighVersion;   // the highest version the layer offers
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

struct in_addr {
    uint32_t s_addr;  // network byte order: the first number of the dotted form is byte 0
};

struct sockaddr {
    uint16_t sa_family;
    char sa_data[14];
};

struct sockaddr_in {  // 16 bytes
    short sin_family;
    uint16_t sin_port;  // network byte order
    in_addr sin_addr;
    char sin_zero[8];
};

// One buffer of a gather send (WSASend).
struct WSABUF {
    ULONG len;
    char* buf;
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;  // AF_INET
    short h_length;    // 4
    char** h_addr_list;
};

// Start-up and clean-up are counted: the layer runs while more start-ups than
// clean-ups were made. WSAStartup returns 0 or the error code (WSAVERNOTSUPPORTED when
// the requested version is below 1.0); data->wVersion is the requested version when
// the layer offers it, else the highest it offers. WSACleanup closes every socket when
// the count drops to 0; SOCKET_ERROR (WSANOTINITIALISED) when the layer is not running.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup(void);
int WSAGetLastError(void);
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);  // AF_INET, SOCK_STREAM only
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int connect(SOCKET s, const sockaddr* address, int length);
int getsockname(SOCKET s, sockaddr* address, int* length);
int recv(SOCKET s, char* buffer, int length, int flags);  // bytes, 0 at the peer's close, or SOCKET_ERROR
int send(SOCKET s, const char* buffer, int length, int flags);
// WinSock 2's gather send, without overlapped I/O (the last two arguments must be
// null): the buffers go out in order as one stream, in one call. 0 with *sent the
// bytes taken (fewer than all when the socket is full), or SOCKET_ERROR.
int WSASend(SOCKET s, WSABUF* buffers, DWORD count, DWORD* sent, DWORD flags, void* overlapped,
            void* completionRoutine);
// FIONREAD only: *argument = the bytes waiting to be received. It re-arms no event.
int ioctlsocket(SOCKET s, long command, unsigned long* argument);
// lEvent 0 stops the events; window null with events fails (WSAEINVAL).
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);

// Dotted IPv4 text to an address in network order; INADDR_NONE when not one.
unsigned long inet_addr(const char* text);
// The host entry lives in a per-thread record until the thread's next look-up. Null
// when nothing is found (WSAHOST_NOT_FOUND; WSANO_DATA when the name has no IPv4
// address).
hostent* gethostbyname(const char* name);

inline uint16_t htons(uint16_t value) { return static_cast<uint16_t>((value >> 8) | (value << 8)); }
inline uint16_t ntohs(uint16_t value) { return htons(value); }
inline uint32_t htonl(uint32_t value) { return __builtin_bswap32(value); }
inline uint32_t ntohl(uint32_t value) { return __builtin_bswap32(value); }
