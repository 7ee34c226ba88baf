// The two transfer routines that socket events and data calls drive.
//
// In packet mode every packet on the wire is a 4-byte little-endian length followed
// by that many bytes. RecvSocket takes whole packets into the receive ring (the ring
// is made large enough for a packet as soon as its length is known, so the body goes
// straight in, in at most two pieces around the ring's end); SendSocket sends the
// send ring as packets, one packet of everything queued when a packet starts. Both
// resume from the record's counters after WSAEWOULDBLOCK. Raw connections have
// nothing to do here: their data stays in the socket.
//
// The busy flags stop a transfer from re-entering itself through the socket events
// that the pump dispatches while it runs.
#include "library/core/log.h"
#include "library/network/network_state.h"

static int ReceiveBusy;
static int SendBusy;

static int32_t DecodeLength(const unsigned char bytes[4]) {
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

static void EncodeLength(int32_t length, unsigned char bytes[4]) {
    for (int i = 0; i < 4; i++) bytes[i] = static_cast<unsigned char>(static_cast<uint32_t>(length) >> (8 * i));
}

// Reads the next length prefix once all 4 bytes are there. 1 read, 0 not yet, -1 refused.
static int TakeLengthPrefix(SocketRecord* r) {
    unsigned char prefix[4];
    if (recv(r->socket, reinterpret_cast<char*>(prefix), 4, MSG_PEEK) != 4) return 0;
    if (recv(r->socket, reinterpret_cast<char*>(prefix), 4, 0) != 4) return 0;
    const int32_t length = DecodeLength(prefix);
    if (length < 0 || length > NetWorkPacketLimit) {
        r->error = 1;
        return WriteLogFormat("受信したパケットのサイズ %u byte は大きすぎます", static_cast<uint32_t>(length));
    }
    r->receiveRemaining = length;
    r->receivePacketLength = length;
    if (ReserveRingBuffer(&r->receiveRing, length) == -1) {
        r->error = 1;
        return WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)", length);
    }
    return 1;
}

// Receives up to receiveRemaining bytes into the ring; bytes received, or -1 when the
// socket gave an error (WSAEWOULDBLOCK included) before anything came.
static int ReceiveBody(SocketRecord* r) {
    RingBuffer& ring = r->receiveRing;
    NormalizeRingBuffer(&ring);
    const int first = ring.capacity - ring.writeIndex;
    if (r->receiveRemaining > first) {
        int n = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writeIndex), first, 0);
        if (n == SOCKET_ERROR) return -1;
        if (n < first) {
            ring.writeIndex += n;
            return n;
        }
        int rest = recv(r->socket, reinterpret_cast<char*>(ring.data), r->receiveRemaining - first, 0);
        if (rest == SOCKET_ERROR) {
            ring.writeIndex = 0;
            return first;
        }
        ring.writeIndex = rest;
        return first + rest;
    }
    int n = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writeIndex), r->receiveRemaining, 0);
    if (n == SOCKET_ERROR) return -1;
    ring.writeIndex += n;
    return n;
}

static int ReceivePackets(SocketRecord* r) {
    for (;;) {
        if (r->receiveRemaining == 0) {
            int taken = TakeLengthPrefix(r);
            if (taken != 1) return taken;
        }
        const int got = ReceiveBody(r);
        if (got < 0) return 0;
        r->receiveRing.count += got;
        r->receiveRemaining -= got;
        if (r->receiveRemaining == 0) r->receivedCompleteBytes += r->receivePacketLength;
        PumpNetWorkMessages(0);
        if (got <= 0 || r->receiveRemaining != 0) return 0;
    }
}

// Sends the send ring's next sendRemaining bytes, in two pieces around its end;
// bytes sent, or -1 when the socket took nothing.
static int SendBody(SocketRecord* r) {
    RingBuffer& ring = r->sendRing;
    NormalizeRingBuffer(&ring);
    const int first = ring.capacity - ring.readIndex;
    if (r->sendRemaining > first) {
        int n = send(r->socket, reinterpret_cast<const char*>(ring.data + ring.readIndex), first, 0);
        if (n == SOCKET_ERROR) return -1;
        if (n < first) {
            ring.readIndex += n;
            return n;
        }
        int rest = send(r->socket, reinterpret_cast<const char*>(ring.data), r->sendRemaining - first, 0);
        if (rest == SOCKET_ERROR) {
            ring.readIndex = 0;
            return first;
        }
        ring.readIndex = rest;
        return first + rest;
    }
    int n = send(r->socket, reinterpret_cast<const char*>(ring.data + ring.readIndex), r->sendRemaining, 0);
    if (n == SOCKET_ERROR) return -1;
    ring.readIndex += n;
    return n;
}

static int SendPackets(SocketRecord* r) {
    if (GetRingBufferCount(&r->sendRing) == 0) return 0;
    for (;;) {
        unsigned char prefix[4];
        if (r->sendPrefixRemaining != 0) {  // the end of a prefix that went out in part
            EncodeLength(r->sendRemaining, prefix);
            int n = send(r->socket, reinterpret_cast<const char*>(prefix + 4 - r->sendPrefixRemaining),
                         r->sendPrefixRemaining, 0);
            if (n == SOCKET_ERROR) return 0;
            r->sendPrefixRemaining -= n;
            if (r->sendPrefixRemaining != 0) return 0;
        }
        if (r->sendRemaining == 0) {  // a new packet of everything queued (within the packet limit)
            const int queued = GetRingBufferCount(&r->sendRing);
            r->sendRemaining = queued < NetWorkPacketLimit ? queued : NetWorkPacketLimit;
            EncodeLength(r->sendRemaining, prefix);
            int n = send(r->socket, reinterpret_cast<const char*>(prefix), 4, 0);
            if (n == SOCKET_ERROR) {
                r->sendRemaining = 0;
                return 0;
            }
            if (n < 4) {
                r->sendPrefixRemaining = 4 - n;
                return 0;
            }
        }
        const int sent = SendBody(r);
        if (sent < 0) return 0;
        r->sendRing.count -= sent;
        r->sendRemaining -= sent;
        PumpNetWorkMessages(0);
        if (sent <= 0 || r->sendRemaining != 0 || GetRingBufferCount(&r->sendRing) == 0) return 0;
    }
}

// Runs a transfer with its busy flag set; raw connections have nothing to transfer.
static int RunTransfer(int handle, int* busy, const char* callName, int (*transfer)(SocketRecord*)) {
    if (!NetWorkStateRecord.started) return -1;
    SocketRecord* r = GetSocketRecord(handle);
    if (r == nullptr || *busy) return -1;
    *busy = 1;
    PumpNetWorkMessages(0);
    int result = CheckSocketRecordUsable(r, callName);
    if (result == 0 && r->packetMode) result = transfer(r);
    *busy = 0;
    return result;
}

int RecvSocket(int handle) { return RunTransfer(handle, &ReceiveBusy, "RecvSocket", ReceivePackets); }

int SendSocket(int handle) { return RunTransfer(handle, &SendBusy, "SendSocket", SendPackets); }
