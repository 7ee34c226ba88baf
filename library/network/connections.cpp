// Connection records and handles: validation, connecting, closing, the connection
// state query and the settings that new connections take.
//
// A connection's handle is 0x48000000 | check number << 16 | slot and is also the id
// of the record's node in the connection list, so the socket-event dispatcher finds
// the handle from the socket. Check numbers come from one counter (0..2047, wrapping)
// that only a successful connect or accept advances.
#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/timing.h"
#include "library/network/network_state.h"
#include "platform/kernel/clock.h"

int MakeNetWorkHandle(int slot, int checkNumber) { return MakeResourceHandle(HandleKindNetWork, checkNumber, slot); }

SocketRecord* GetSocketRecord(int handle) {
    if (handle < 0 || HandleKindOf(handle) != HandleKindNetWork) return nullptr;
    const int slot = HandleSlot(handle);
    if (slot > NetWorkListenSlot) return nullptr;
    SocketRecord* record = NetWorkStateRecord.sockets[slot];
    if (record == nullptr || record->checkNumber != HandleCheck(handle)) return nullptr;
    return record;
}

int CheckSocketRecordUsable(const SocketRecord* record, const char* callName) {
    if (!record->inUse) return WriteLogFormat("有効なネットワークハンドルではありません in %s", callName);
    if (record->error) return WriteLogFormat("このネットワークハンドルにはエラーが発生しています in %s", callName);
    return 0;
}

int FindFreeSocketSlot(void) {
    for (int slot = 0; slot < NetWorkConnectionSlots; slot++) {
        if (NetWorkStateRecord.sockets[slot] == nullptr) return slot;
    }
    return -1;
}

SocketRecord* NewSocketRecord(int slot) {
    NetWorkState& n = NetWorkStateRecord;
    SocketRecord* record = static_cast<SocketRecord*>(ZqAllocZero(sizeof(SocketRecord)));
    if (record == nullptr) return nullptr;
    n.sockets[slot] = record;
    record->inUse = 1;
    record->packetMode = n.packetModeOff ? 0 : 1;
    record->autoClose = n.autoCloseOff ? 0 : 1;
    if (record->packetMode) {
        InitRingBuffer(&record->receiveRing);
        InitRingBuffer(&record->sendRing);
    }
    // The check number is the record's from the start, so the socket events that
    // arrive while a connect waits already reach it through its handle.
    record->checkNumber = n.nextCheckNumber;
    InsertLinkNode(&n.listHead, &record->node, MakeNetWorkHandle(slot, record->checkNumber), record);
    return record;
}

// The listener's FD_ACCEPT is re-armed only by an accept; after one refused for want
// of a slot, selecting its events again lets the waiting connections in.
static void RearmRefusedAccept(void) {
    NetWorkState& n = NetWorkStateRecord;
    const SocketRecord* listener = n.sockets[NetWorkListenSlot];
    if (!n.acceptRefused || listener == nullptr) return;
    n.acceptRefused = 0;
    if (WSAAsyncSelect(listener->socket, n.hiddenWindow, WM_NETWORK_SOCKET, FD_ACCEPT) == SOCKET_ERROR) {
        WriteNetWorkLog("WSAAsyncSelectでエラーが発生しました");
    }
}

void DiscardSocketRecord(int slot) {
    SocketRecord* record = NetWorkStateRecord.sockets[slot];
    if (record == nullptr) return;
    for (int event : {FD_READ, FD_WRITE}) {
        if (record->refusedEvents & event) NetWorkStateRecord.refusedEvents--;
    }
    UnlinkLinkNode(&record->node);
    if (record->socket != 0 && record->socket != INVALID_SOCKET) closesocket(record->socket);
    record->socket = 0;
    FreeRingBuffer(&record->receiveRing);
    FreeRingBuffer(&record->sendRing);
    record->inUse = 0;
    ZqFree(record);
    NetWorkStateRecord.sockets[slot] = nullptr;
    if (slot < NetWorkConnectionSlots) RearmRefusedAccept();
}

int CommitSocketRecord(SocketRecord* record) {
    NetWorkState& n = NetWorkStateRecord;
    n.nextCheckNumber = n.nextCheckNumber >= HandleCheckLimit - 1 ? 0 : n.nextCheckNumber + 1;
    return record->node.id;
}

// Milliseconds since `start` (a GetTimeMillisecondsCore reading), across the clock's wrap.
static int ElapsedMs(int start) {
    return static_cast<int>(static_cast<uint32_t>(GetTimeMillisecondsCore(0)) - static_cast<uint32_t>(start));
}

int EnsureNetWorkStarted(void) {
    if (NetWorkStateRecord.started) return 0;
    if (CheckWindowClosing()) return -1;
    SetupNetWorkCore(nullptr);
    return NetWorkStateRecord.started ? 0 : -1;
}

static int ConnectFailed(SocketRecord* record, int slot) {
    WriteNetWorkLog("%d.%d.%d.%d への接続に失敗しました。\n", record->address[0], record->address[1],
                    record->address[2], record->address[3]);
    DiscardSocketRecord(slot);
    return -1;
}

int ConnectNetWork(int address, int port, int reuse) {
    NetWorkState& n = NetWorkStateRecord;
    if (EnsureNetWorkStarted() != 0) return -1;
    PumpNetWorkMessagesCore(0);
    if (port == -1) port = NetWorkDefaultPort;
    const int wirePort = htons(static_cast<uint16_t>(port));
    unsigned char bytes[4];
    for (int i = 0; i < 4; i++) bytes[i] = static_cast<unsigned char>(static_cast<uint32_t>(address) >> (8 * i));

    for (LinkNode* node = n.listHead.next; reuse && node != nullptr && node->next != nullptr; node = node->next) {
        const SocketRecord* record = static_cast<const SocketRecord*>(node->data);
        if (record->inUse && record->connected && record->port == wirePort &&
            record->address[0] == bytes[0] && record->address[1] == bytes[1] && record->address[2] == bytes[2] &&
            record->address[3] == bytes[3]) {
            return node->id;
        }
    }

    const int slot = FindFreeSocketSlot();
    if (slot == -1) return WriteLogText("ソケットに空きがありません\n");
    SocketRecord* record = NewSocketRecord(slot);
    if (record == nullptr) return WriteLogText("ソケット用のメモリの確保に失敗しました\n");
    record->openedByConnect = 1;
    for (int i = 0; i < 4; i++) record->address[i] = bytes[i];
    record->port = wirePort;

    record->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (record->socket == INVALID_SOCKET) {
        WriteNetWorkLog("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました");
        DiscardSocketRecord(slot);
        return -1;
    }
    if (WSAAsyncSelect(record->socket, n.hiddenWindow, WM_NETWORK_SOCKET, NetWorkSelectEvents) == SOCKET_ERROR) {
        WriteNetWorkLog("WSAAsyncSelectでエラーが発生しました");
        DiscardSocketRecord(slot);
        return -1;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = static_cast<uint16_t>(wirePort);
    for (int i = 0; i < 4; i++) reinterpret_cast<unsigned char*>(&to.sin_addr.s_addr)[i] = bytes[i];
    if (connect(record->socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        return ConnectFailed(record, slot);
    }

    // FD_CONNECT sets connected, or brings the refusal, through the dispatcher while
    // we pump; the time-out covers a peer that never answers.
    const int start = GetTimeMillisecondsCore(0);
    if (n.connectTimeOut == 0) n.connectTimeOut = NetWorkDefaultTimeOut;
    while (ElapsedMs(start) < n.connectTimeOut && !record->connected && record->connectError == 0) {
        PumpNetWorkMessagesCore(0);
        Sleep(0);
    }
    if (!record->connected) {
        if (record->connectError != 0) WSASetLastError(record->connectError);  // the log line shows the reason
        return ConnectFailed(record, slot);
    }
    return CommitSocketRecord(record);
}

int CloseNetWorkHandleCore(int handle) {
    if (!NetWorkStateRecord.started) return -1;
    SocketRecord* record = GetSocketRecord(handle);
    if (record == nullptr || !record->inUse) return -1;
    PumpNetWorkMessagesCore(0);

    // A packet partly received, or bytes still queued, get a short while to finish;
    // not on a connection the peer has closed, or one with the error flag (whose
    // transfers refuse to run), where nothing more can move.
    int start = GetTimeMillisecondsCore(0);
    while (record->receiveRemaining != 0 && record->connected && !record->error &&
           ElapsedMs(start) < NetWorkDrainMs) {
        PumpNetWorkMessagesCore(0);
        RecvSocket(handle);
    }
    start = GetTimeMillisecondsCore(0);
    while (GetRingBufferCount(&record->sendRing) != 0 && record->connected && !record->error &&
           ElapsedMs(start) < NetWorkDrainMs) {
        PumpNetWorkMessagesCore(0);
        SendSocket(handle);
    }

    WSAAsyncSelect(record->socket, NetWorkStateRecord.hiddenWindow, 0, 0);
    record->connected = 0;
    DiscardSocketRecord(HandleSlot(handle));
    return 0;
}

int GetNetWorkAcceptStateCore(int handle) {
    if (!NetWorkStateRecord.started) return -1;
    PumpNetWorkMessagesCore(0);
    SocketRecord* record = GetSocketRecord(handle);
    if (record == nullptr) return -1;
    if (!record->inUse) return WriteLogText("有効なネットワークハンドルではありません in GetNetWorkAcceptState\n");
    if (CheckSocketRecordUsable(record, "GetNetWorkAcceptStateh") != 0) return -1;
    if (!record->connected && !record->lossReported) record->lossReported = 1;
    return record->connected ? 1 : 0;
}

int GetNetWorkAddressCore(int handle, int* address, int* port) {
    const SocketRecord* record = GetSocketRecord(handle);
    if (record == nullptr || !record->inUse) return -1;
    if (address != nullptr) {
        *address = static_cast<int>(record->address[0] | record->address[1] << 8 | record->address[2] << 16 |
                                    static_cast<uint32_t>(record->address[3]) << 24);
    }
    if (port != nullptr) *port = ntohs(static_cast<uint16_t>(record->port));
    return 0;
}

int SetNetWorkPacketModeCore(int on) {
    NetWorkStateRecord.packetModeOff = on ? 0 : 1;
    return 0;
}
int GetNetWorkPacketModeCore(void) { return NetWorkStateRecord.packetModeOff ? 0 : 1; }

int SetNetWorkAutoCloseCore(int on) {
    NetWorkStateRecord.autoCloseOff = on ? 0 : 1;
    return 0;
}
int GetNetWorkAutoCloseCore(void) { return NetWorkStateRecord.autoCloseOff ? 0 : 1; }

int SetNetWorkConnectTimeOutCore(int milliseconds) {
    NetWorkStateRecord.connectTimeOut = milliseconds > 0 ? milliseconds : NetWorkDefaultTimeOut;
    return 0;
}

int ResolveHostToIPv4Core(const char* name, unsigned char out[4]) {
    if (!NetWorkStateRecord.started) {
        if (CheckWindowClosing()) return -1;
        SetupNetWorkCore(nullptr);
    }
    if (name == nullptr || out == nullptr) return -1;
    // A dotted address is its own answer: it needs no look-up, and a reverse look-up
    // would refuse every address that has no name.
    const unsigned long dotted = inet_addr(name);
    if (dotted != INADDR_NONE) {
        for (int i = 0; i < 4; i++) out[i] = static_cast<unsigned char>(dotted >> (8 * i));
        return 0;
    }
    const hostent* entry = gethostbyname(name);
    if (entry == nullptr) return -1;
    if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == nullptr) return -2;
    for (int i = 0; i < 4; i++) out[i] = static_cast<unsigned char>(entry->h_addr_list[0][i]);
    return 0;
}
