// network.h - what the library core needs of the network and HTTP subsystem:
// start-up, shutdown, the per-frame upkeep and the socket message.
#pragma once

#include "platform/window.h"

int ClearHttpDownloadState(void);   // zeroes the HTTP download block; 0
int ShutdownHttpDownloads(void);    // deletes every download slot
int ShutdownNetWork(void);          // closes every socket and ends the socket layer
// Dispatches the network's pending socket events; with closeFlag 1 it first closes
// sockets that failed or were lost. Once per pump, and after each pass while inactive.
int PumpNetWorkMessages(int closeFlag);
int ProcessHttpDownloads(void);     // steps every running download
// The socket message 0x505 (read, write, accept, connect, close events).
LRESULT HandleSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#define WM_NETWORK_SOCKET 0x0505
