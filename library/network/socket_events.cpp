// The hidden window's procedure, the socket-event dispatcher and the network pump.
//
// Each socket event arrives as message 0x505 (wParam the socket, lParam the event in
// the low word and the WinSock error in the high word). The pump dispatches the
// hidden window's messages that were queued when it began; with its close flag it
// first ends the connections that failed, or that were lost, had their loss reported
// and may be closed automatically.
#include "library/core/log.h"
#include "library/network/network_state.h"

LRESULT WinSockProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: NetWorkStateRecord.windowDestroyed = 1; break;
    case WM_CLOSE: DestroyWindow(window); break;
    case WM_NETWORK_SOCKET: return HandleSocketMessage(window, message, wParam, lParam);
    case WM_NETWORK_PUMP_MARK:  // taken by another thread's message loop: that pump is over
        if (wParam > NetWorkStateRecord.pumpMarkReached) NetWorkStateRecord.pumpMarkReached = wParam;
        return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Whether the socket layer still knows the socket (a closed one is unknown to it).
static bool SocketIsOpen(SOCKET s) {
    sockaddr_in local = {};
    int length = sizeof local;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != SOCKET_ERROR) return true;
    return WSAGetLastError() != WSAENOTSOCK && WSAGetLastError() != WSANOTINITIALISED;
}

LRESULT HandleSocketMessageCore(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    NetWorkState& n = NetWorkStateRecord;
    SocketRecord* record = nullptr;
    if (n.started) {
        for (LinkNode* node = n.listHead.next; node != nullptr && node->next != nullptr; node = node->next) {
            SocketRecord* candidate = static_cast<SocketRecord*>(node->data);
            if (candidate->socket == static_cast<SOCKET>(wParam)) {
                record = candidate;
                break;
            }
        }
    }
    if (record == nullptr) {
        // Events posted before their socket was closed still come through the queue
        // (thousands after a long transfer whose events another thread's pump never
        // took): those are dropped quietly. Only a live socket in no record is an error.
        if (!SocketIsOpen(static_cast<SOCKET>(wParam))) return 0;
        WriteLogText("通信エラー No.1\n");
        return 0;
    }
    const int handle = record->node.id;
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ: RecvSocket(handle); break;
    case FD_WRITE: SendSocket(handle); break;
    case FD_ACCEPT: return AcceptNetWorkCore();
    case FD_CONNECT:
        record->connectError = WSAGETSELECTERROR(lParam);
        if (record->connectError == 0) record->connected = 1;
        break;
    case FD_CLOSE:
        record->connected = 0;
        record->lossReported = 0;
        break;
    default: break;
    }
    return 1;
}

int PumpNetWorkMessagesCore(int closeFlag) {
    NetWorkState& n = NetWorkStateRecord;
    if (n.hiddenWindow == nullptr || !n.started) return 0;
    if (closeFlag == 1) {
        LinkNode* node = n.listHead.next;
        while (node != nullptr && node->next != nullptr) {
            LinkNode* next = node->next;  // closing unlinks and frees the node
            SocketRecord* record = static_cast<SocketRecord*>(node->data);
            if (record->inUse &&
                (record->error || (!record->connected && record->lossReported && record->autoClose))) {
                CloseNetWorkHandleCore(node->id);
            }
            node = next;
        }
    }
    // Only the messages queued before the marker are dispatched: a peer that keeps
    // sending brings a new event after every transfer pass, and those wait for the next
    // pump. A nested pump (the transfers pump) may take this marker; then this one ends too.
    // The hidden window's messages are all posted ones (socket events, markers, WM_CLOSE),
    // so the peeks leave the window system's events to the library's message pump
    // (pumping them here cost more than a transfer's socket calls).
    const uint64_t mark = ++n.pumpMarks;
    PostMessageA(n.hiddenWindow, WM_NETWORK_PUMP_MARK, static_cast<WPARAM>(mark), 0);
    MSG msg;
    while (n.pumpMarkReached < mark && n.hiddenWindow != nullptr &&
           PeekMessageA(&msg, n.hiddenWindow, 0, 0, PM_REMOVE | PM_NOPUMP)) {
        if (msg.message == WM_NETWORK_PUMP_MARK) {
            if (msg.wParam > n.pumpMarkReached) n.pumpMarkReached = msg.wParam;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
