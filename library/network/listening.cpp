// The listening connection (slot 4096) and accepting.
//
// StartNetWorkListen binds a socket to a port of every local address; each FD_ACCEPT
// on it runs AcceptNetWork, which makes a connected record of the new connection
// (packet mode and auto-close from the settings). TakeAcceptedNetWork hands those
// connections to the caller, oldest first.
#include "library/core/log.h"
#include "library/network/network_state.h"

static int ListenFailed(const char* text) {
    WriteNetWorkLog("%s", text);
    DiscardSocketRecord(NetWorkListenSlot);
    return -1;
}

int StartNetWorkListenCore(int port) {
    NetWorkState& n = NetWorkStateRecord;
    if (EnsureNetWorkStarted() != 0) return -1;
    PumpNetWorkMessagesCore(0);
    if (port < 0 || port > 0xFFFF) return WriteLogFormat("待ち受けるポート番号 %d が不正です", port);
    if (n.sockets[NetWorkListenSlot] != nullptr) return WriteLogText("既に接続の待ち受けを行っています\n");
    SocketRecord* record = NewSocketRecord(NetWorkListenSlot);
    if (record == nullptr) return WriteLogText("ソケット用のメモリの確保に失敗しました\n");
    record->autoClose = 0;  // never taken for a lost connection

    record->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (record->socket == INVALID_SOCKET) {
        return ListenFailed("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました");
    }
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = INADDR_ANY;
    if (bind(record->socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        return ListenFailed("ポートの割り当てに失敗しました");
    }
    if (listen(record->socket, SOMAXCONN) == SOCKET_ERROR) return ListenFailed("listenに失敗しました");
    if (WSAAsyncSelect(record->socket, n.hiddenWindow, WM_NETWORK_SOCKET, FD_ACCEPT) == SOCKET_ERROR) {
        return ListenFailed("WSAAsyncSelectでエラーが発生しました");
    }
    int length = sizeof local;
    if (getsockname(record->socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        for (int i = 0; i < 4; i++) record->address[i] = reinterpret_cast<unsigned char*>(&local.sin_addr.s_addr)[i];
        record->port = local.sin_port;
    }
    return CommitSocketRecord(record);
}

int StopNetWorkListenCore(void) {
    const SocketRecord* record = NetWorkStateRecord.sockets[NetWorkListenSlot];
    if (record == nullptr) return -1;
    return CloseNetWorkHandleCore(record->node.id);
}

int AcceptNetWorkCore(void) {
    NetWorkState& n = NetWorkStateRecord;
    if (!n.started) return -1;
    PumpNetWorkMessagesCore(0);
    const SocketRecord* listener = n.sockets[NetWorkListenSlot];
    if (listener == nullptr) return -1;
    const int slot = FindFreeSocketSlot();
    if (slot == -1) {
        n.acceptRefused = 1;  // the connection waits in the listener's queue until a slot frees
        return WriteLogText("空きソケットデータがなかったので accept を拒否しました \n");
    }
    SocketRecord* record = NewSocketRecord(slot);
    if (record == nullptr) return WriteLogText("ソケット用のメモリの確保に失敗しました\n");
    record->connected = 1;
    record->accepted = 1;

    sockaddr_in peer = {};
    int length = sizeof peer;
    record->socket = accept(listener->socket, reinterpret_cast<sockaddr*>(&peer), &length);
    if (record->socket == INVALID_SOCKET) {
        WriteNetWorkLog("acceptに失敗しました");
        DiscardSocketRecord(slot);
        return -1;
    }
    for (int i = 0; i < 4; i++) record->address[i] = reinterpret_cast<unsigned char*>(&peer.sin_addr.s_addr)[i];
    record->port = peer.sin_port;
    if (WSAAsyncSelect(record->socket, n.hiddenWindow, WM_NETWORK_SOCKET, NetWorkAcceptedEvents) == SOCKET_ERROR) {
        WriteNetWorkLog("WSAAsyncSelectのエラー in AcceptNetWork");
        DiscardSocketRecord(slot);
        return -1;
    }
    CommitSocketRecord(record);
    return 1;
}

int TakeAcceptedNetWorkCore(void) {
    NetWorkState& n = NetWorkStateRecord;
    if (!n.started) return -1;
    PumpNetWorkMessagesCore(0);
    SocketRecord* oldest = nullptr;  // the list runs newest first
    for (LinkNode* node = n.listHead.next; node != nullptr && node->next != nullptr; node = node->next) {
        SocketRecord* record = static_cast<SocketRecord*>(node->data);
        if (record->inUse && record->accepted && !record->acceptTaken) oldest = record;
    }
    if (oldest == nullptr) return -1;
    oldest->acceptTaken = 1;
    return oldest->node.id;
}
