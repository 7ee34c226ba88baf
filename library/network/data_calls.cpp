// The data calls on a connection: how much is waiting, receive, peek and send.
//
// Raw connections go straight to recv and send on the non-blocking socket. Packet
// connections read from the receive ring (bytes of complete packets are counted, but
// bytes of a packet still arriving may be taken too) and queue into the send ring.
#include "library/core/log.h"
#include "library/network/network_state.h"

// The record of a handle that passes the checks every data call makes after the
// pump; null (after the call's message when the record is not usable).
static SocketRecord* CheckedRecord(int handle, const char* callName) {
    SocketRecord* r = GetSocketRecord(handle);
    if (r == nullptr || CheckSocketRecordUsable(r, callName) != 0) return nullptr;
    return r;
}

int GetNetWorkDataLengthCore(int handle) {
    if (!NetWorkStateRecord.started) return -1;
    PumpNetWorkMessagesCore(0);
    // Asked again with a stalled ring and nothing taken since: the application waits
    // for more than the ring holds, so this receive lets the ring grow.
    if (SocketRecord* asked = GetSocketRecord(handle); asked != nullptr && asked->receiveStall == ReceiveStallSeen) {
        asked->receiveStall = ReceiveMayGrow;
    }
    RecvSocket(handle);
    SendSocket(handle);
    SocketRecord* r = CheckedRecord(handle, "GetNetWorkDataLength");
    if (r == nullptr) return -1;
    if (r->packetMode) {
        if (r->receiveStall == ReceiveStalled) r->receiveStall = ReceiveStallSeen;
        return r->receivedCompleteBytes;
    }
    char scratch[4];
    const int peeked = NetWorkRecvToPeekCore(handle, scratch, 1);
    if (peeked < 0) return peeked;
    return peeked == 1 ? 1 : 0;
}

static int ReceiveData(int handle, void* buffer, int size, int peek, const char* callName) {
    if (size < 0 || (buffer == nullptr && size > 0) || GetSocketRecord(handle) == nullptr ||
        !NetWorkStateRecord.started) {
        return -1;
    }
    PumpNetWorkMessagesCore(0);
    SocketRecord* r = CheckedRecord(handle, callName);
    if (r == nullptr) return -1;
    if (RecvSocket(handle) < 0) return -1;
    if (!r->packetMode) return recv(r->socket, static_cast<char*>(buffer), size, peek ? MSG_PEEK : 0);
    if (GetRingBufferCount(&r->receiveRing) < size) {
        // More than the ring holds: a stalled packet must come in, growing the ring.
        if (r->receiveStall != ReceiveFlowing) r->receiveStall = ReceiveMayGrow;
        return -1;
    }
    ReadRingBuffer(&r->receiveRing, buffer, size, peek);
    if (!peek) {
        r->receivedCompleteBytes -= size;
        if (size > 0 && r->receiveStall != ReceiveMayGrow) r->receiveStall = ReceiveFlowing;  // room was made
    }
    RecvSocket(handle);
    return 0;
}

int NetWorkRecvCore(int handle, void* buffer, int size) { return ReceiveData(handle, buffer, size, 0, "NetWorkRecv"); }

int NetWorkRecvToPeekCore(int handle, void* buffer, int size) {
    return ReceiveData(handle, buffer, size, 1, "NetWorkRecvToPeek");
}

int NetWorkSendCore(int handle, const void* data, int length) {
    if (!NetWorkStateRecord.started || GetSocketRecord(handle) == nullptr || length < 0 ||
        (data == nullptr && length > 0)) {
        return -1;
    }
    PumpNetWorkMessagesCore(0);
    SocketRecord* r = CheckedRecord(handle, "NetWorkSend");
    if (r == nullptr || !r->connected) return -1;
    SendSocket(handle);
    if (!r->packetMode) return send(r->socket, static_cast<const char*>(data), length, 0);
    RewindEmptyRingBuffer(&r->sendRing);
    if (WriteRingBuffer(&r->sendRing, data, length) == -1) {
        return WriteLogFormat("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
    }
    SendSocket(handle);
    return 0;
}
