// Test seams of the socket group. See winsock_seams.h.
#include "platform/net/testing/winsock_seams.h"

#include "platform/net/winsock_internal.h"

void WinSockSeamFailStartup(int error) { WinSockStartupFailure = error; }

void WinSockSeamSetHighestVersion(WORD version) { WinSockHighestVersion = version; }

void WinSockSeamFailSocketCreation(int count, int error) {
    WinSockSocketFailureError = error;
    WinSockSocketFailures = count;
}

void WinSockSeamFailAsyncSelect(int count) { WinSockSelectFailures = count; }

int WinSockSeamOpenSocketCount(void) {
    std::lock_guard<std::mutex> lock(WinSock().mutex);
    return static_cast<int>(WinSock().sockets.size());
}

void WinSockSeamReset(void) {
    WinSockStartupFailure = 0;
    WinSockHighestVersion = 0;
    WinSockSocketFailures = 0;
    WinSockSocketFailureError = WSAEMFILE;
    WinSockSelectFailures = 0;
}
