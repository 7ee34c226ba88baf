// winsock_seams.h - test seams of the socket group: failing start-up, an older
// highest version, failing socket creation and asynchronous selection, and the count
// of open sockets.
//
//     WinSockSeamFailSocketCreation(1, WSAEMFILE);   // the next socket() fails
//     ... run the code under test ...
//     WinSockSeamReset();
#pragma once

#include "platform/net/winsock.h"

// WSAStartup returns `error` (0: it works again).
void WinSockSeamFailStartup(int error);
// The highest version WSAStartup offers (low byte major, high byte minor); 0 = 2.2.
void WinSockSeamSetHighestVersion(WORD version);
// The next `count` socket() calls (-1: every one) fail with `error`.
void WinSockSeamFailSocketCreation(int count, int error = WSAEMFILE);
// The next `count` WSAAsyncSelect calls (-1: every one) fail with WSAENETDOWN.
void WinSockSeamFailAsyncSelect(int count);
// Sockets made and not yet closed.
int WinSockSeamOpenSocketCount(void);
// Every fault cleared.
void WinSockSeamReset(void);
