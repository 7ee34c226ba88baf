// winsock_internal.h - the socket group's table and its watcher thread, shared by
// winsock.cpp (the calls), winsock_select.cpp (the watcher) and the test seams.
// Not for library code.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "platform/net/winsock.h"

enum class WinSocketState {
    Fresh,       // made, not yet connected or listening
    Connecting,  // a non-blocking connect is under way
    Connected,
    Listening,
    Failed,      // the connect failed
};

struct WinSocket {
    int fd = -1;
    WinSocketState state = WinSocketState::Fresh;
    // Asynchronous selection: where the events go, which ones were asked for, and
    // which of those may be posted now (an event is re-armed by its re-enabling call).
    HWND window = nullptr;
    UINT message = 0;
    long events = 0;
    long armed = 0;
    // The reset (or abort) that ended the connection, once any call or the watcher saw
    // it; every later recv reports it, as WinSock does. 0 while none was seen.
    int lostError = 0;
};

struct WinSockLayer {
    std::mutex mutex;
    std::map<SOCKET, WinSocket> sockets;
    SOCKET nextHandle = 0x100;
    int startups = 0;
    // The watcher: polls the sockets under selection and posts their events; a write
    // to wakeFd makes it look at the table again.
    std::thread watcher;
    int wakeFd = -1;
    bool stopping = false;
};

WinSockLayer& WinSock();

// Linux reports a connection's reset once, to whichever call or poll looks first,
// and then reads the end of the stream as after a graceful close. Every place that
// can take that report notes it on the socket's record (mutex held); returns `error`.
int NoteConnectionLoss(WinSocket& s, int error);

// Both run with the layer's mutex NOT held.
void StartSocketWatcher(void);
void StopSocketWatcher(void);
// Makes the watcher rebuild its poll set (any thread, mutex held or not).
void WakeSocketWatcher(void);

// Failure injection (platform/net/testing/winsock_seams.h).
extern std::atomic<int> WinSockStartupFailure;     // WSAStartup returns this code; 0 none
extern std::atomic<int> WinSockHighestVersion;     // the highest version offered; 0 = 2.2
extern std::atomic<int> WinSockSocketFailures;     // socket() calls still to fail (-1 every one)
extern std::atomic<int> WinSockSocketFailureError;
extern std::atomic<int> WinSockSelectFailures;     // WSAAsyncSelect calls still to fail
