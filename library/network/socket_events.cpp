// The hidden window's procedure, the socket-event dispatcher and the network pump.
//
// Each socket event arrives as message 0x505 (wParam the socket, lParam the event in
// the low word and the WinSock error in the high word). The pump dispatches the
// hidden window's messages; with its close flag it first ends the connections that
// failed, or that were lost, had their loss reported and may be closed automatically.
#include "library/core/log.h"
#include "library/network/network_state.h"

LRESULT WinSockProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: NetWorkStateRecord.windowDestroyed = 1; break;
    case WM_CLOSE: DestroyWindow(window); break;
    case WM_NETWORK_SOCKET: return HandleSocketMessage(window, message, wParam, lParam);
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT HandleSocketMessage(HWND, UINT, WPARAM wParam, LPARAM lParam) {
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
        WriteLogText("通信エラー No.1\n");
        return 0;
    }
    const int handle = record->node.id;
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ: RecvSocket(handle); break;
    case FD_WRITE: SendSocket(handle); break;
    case FD_ACCEPT: return AcceptNetWork();
    case FD_CONNECT:
        if (WSAGETSELECTERROR(lParam) == 0) record->connected = 1;
        break;
    case FD_CLOSE:
        record->connected = 0;
        record->lossReported = 0;
        break;
    default: break;
    }
    return 1;
}

int PumpNetWorkMessages(int closeFlag) {
    NetWorkState& n = NetWorkStateRecord;
    if (n.hiddenWindow == nullptr || !n.started) return 0;
    if (closeFlag == 1) {
        LinkNode* node = n.listHead.next;
        while (node != nullptr && node->next != nullptr) {
            LinkNode* next = node->next;  // closing unlinks and frees the node
            SocketRecord* record = static_cast<SocketRecord*>(node->data);
            if (record->inUse &&
                (record->error || (!record->connected && record->lossReported && record->autoClose))) {
                CloseNetWorkHandle(node->id);
            }
            node = next;
        }
    }
    MSG msg;
    while (n.hiddenWindow != nullptr && PeekMessageA(&msg, n.hiddenWindow, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
