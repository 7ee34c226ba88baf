// network_fuzz.h - the loopback set-up the network fuzz targets share: the library's
// socket layer started under a window of its own, and a listening socket of the
// platform layer that plays the peer. Each input makes one connection: the library
// connects, the peer accepts, sends the input's bytes and closes first (so the
// client side leaves no TIME_WAIT behind), and the target steps the library until it
// has taken in the close. Between steps the target yields rather than sleeps: the
// close reaches the library as an event that the socket layer's thread posts, and
// that thread only needs the processor, not a set time.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "library/network/network.h"
#include "library/network/network_state.h"
#include "platform/kernel/clock.h"
#include "platform/net/winsock.h"
#include "platform/window/window.h"
#include "tests/support/scratch_directory.h"

namespace network_fuzz {

inline SOCKET Listener = INVALID_SOCKET;
inline int ListenerPort = 0;

inline void SetUpOnce() {
    if (Listener != INVALID_SOCKET) return;
    // The window's single-instance lock goes into a runtime directory of the run's own.
    static ScratchDirectory runtime("zq-fuzz-runtime");
    if (runtime.path().empty()) std::abort();
    runtime.useAsRuntimeDirectory();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "NetWorkFuzz";
    RegisterClassExA(&wc);
    HWND parent = CreateWindowExA(0, "NetWorkFuzz", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    if (parent == nullptr || SetupNetWork(parent) != 0) std::abort();
    SetNetWorkConnectTimeOut(2000);
    Listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    int length = sizeof local;
    if (bind(Listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(Listener, 64) != 0 ||
        getsockname(Listener, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        std::abort();
    }
    ListenerPort = ntohs(local.sin_port);
}

// Accepts the library's pending connection, sends the bytes and closes.
inline void ServeAndClose(const uint8_t* data, size_t size) {
    SOCKET peer = accept(Listener, nullptr, nullptr);
    if (peer == INVALID_SOCKET) std::abort();
    size_t sent = 0;
    while (sent < size) {
        int n = send(peer, reinterpret_cast<const char*>(data) + sent, static_cast<int>(size - sent), 0);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    closesocket(peer);
}

// Whether a target's steps since `start` (timeGetTime) have run long enough: an input
// that keeps the library busy this long is a finding of its own (a slow unit).
inline bool StepsTimedOut(DWORD start) { return timeGetTime() - start > 1000; }

}  // namespace network_fuzz
