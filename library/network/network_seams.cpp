// network_seams.cpp - the network subsystem's start, stop and upkeep on a library
// that has no sockets yet: the HTTP block is empty, there is nothing to shut down or
// to step. The network subsystem replaces this file.
#include "library/network/network.h"

int ClearHttpDownloadState(void) { return 0; }
int ShutdownHttpDownloads(void) { return 0; }
int ShutdownNetWork(void) { return 0; }
int PumpNetWorkMessages(int) { return 0; }
int ProcessHttpDownloads(void) { return 0; }
LRESULT HandleSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
