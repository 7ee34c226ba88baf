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
// One receive pass takes at most the bytes that were readable when it began, so a
// peer that keeps sending cannot hold it; the rest comes with the next FD_READ. A
// packet that does not fit the receive ring's free room waits in the socket while the
// application is taking bytes (ReceiveStall in network_state.h), so the ring stays
// as small as the application's pace allows instead of growing to hold the stream.
//
// The busy flags stop a transfer from re-entering itself through the socket events
// that the pump dispatches while it runs. Such a refused event is remembered in its
// record and posted again when the transfer ends: the socket layer posts FD_READ and
// FD_WRITE only once per re-arm, so a dropped one would leave its connection waiting
// for good.
#include "library/core/log.h"
#include "library/network/network_state.h"

// The most packets one receive pass takes.
enum { ReceivePassPackets = 64 };

static int ReceiveBusy;
static int SendBusy;

static int32_t DecodeLength(const unsigned char bytes[4]) {
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

static void EncodeLength(int32_t length, unsigned char bytes[4]) {
    for (int i = 0; i < 4; i++) bytes[i] = static_cast<unsigned char>(static_cast<uint32_t>(length) >> (8 * i));
}

// Whether the next packet, `length` bytes long, may come into the receive ring now:
// into an empty ring always, into a ring that already holds bytes only when it fits
// the free room, unless the application waits for more than the ring holds.
static bool ReceiveRingTakes(const SocketRecord* r, int32_t length) {
    const RingBuffer& ring = r->receiveRing;
    return ring.count == 0 || static_cast<int64_t>(ring.capacity) - ring.count >= length ||
           r->receiveStall == ReceiveMayGrow;
}

// Reads the next length prefix once all 4 bytes are there (when fewer than 4 were
// readable as the pass began, they are peeked first) and lets its packet into the
// ring when it may come. A prefix read for a packet that must wait for room is held
// in the record. 1 the packet comes, 0 not yet (or stalled for room), -1 refused.
static int TakeLengthPrefix(SocketRecord* r, int64_t budget) {
    if (!r->prefixHeld) {
        unsigned char prefix[4];
        if (budget < 4 && recv(r->socket, reinterpret_cast<char*>(prefix), 4, MSG_PEEK) != 4) return 0;
        if (recv(r->socket, reinterpret_cast<char*>(prefix), 4, 0) != 4) return 0;
        const int32_t length = DecodeLength(prefix);
        if (length < 0 || length > NetWorkPacketLimit) {
            r->error = 1;
            return WriteLogFormat("受信したパケットのサイズ %u byte は大きすぎます", static_cast<uint32_t>(length));
        }
        r->receivePacketLength = length;
        r->prefixHeld = 1;
    }
    const int32_t length = r->receivePacketLength;
    RingBuffer& ring = r->receiveRing;
    if (!ReceiveRingTakes(r, length)) {
        r->receiveStall = ReceiveStalled;
        return 0;
    }
    r->prefixHeld = 0;
    r->receiveStall = ReceiveFlowing;
    r->receiveRemaining = length;
    RewindEmptyRingBuffer(&ring);
    if (ReserveRingBuffer(&ring, length) == -1) {
        r->error = 1;
        return WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)", length);
    }
    return 1;
}

// Receives `want` bytes at most (no more than receiveRemaining) into the ring, in two
// pieces around its end; bytes received, or -1 when the socket gave an error
// (WSAEWOULDBLOCK included) before anything came.
static int ReceiveBody(SocketRecord* r, int want) {
    RingBuffer& ring = r->receiveRing;
    NormalizeRingBuffer(&ring);
    const int first = ring.capacity - ring.writeIndex;
    if (want > first) {
        int n = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writeIndex), first, 0);
        if (n == SOCKET_ERROR) return -1;
        if (n < first) {
            ring.writeIndex += n;
            return n;
        }
        int rest = recv(r->socket, reinterpret_cast<char*>(ring.data), want - first, 0);
        if (rest == SOCKET_ERROR) {
            ring.writeIndex = 0;
            return first;
        }
        ring.writeIndex = rest;
        return first + rest;
    }
    int n = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writeIndex), want, 0);
    if (n == SOCKET_ERROR) return -1;
    ring.writeIndex += n;
    return n;
}

static int ReceivePackets(SocketRecord* r) {
    // A stalled packet stays in the socket until the application makes room or asks
    // for more; not even its prefix is peeked (a peek would bring FD_READ again at once).
    if (r->receiveRemaining == 0 && (r->receiveStall == ReceiveStalled || r->receiveStall == ReceiveStallSeen)) {
        return 0;
    }
    unsigned long readable = 0;
    if (ioctlsocket(r->socket, FIONREAD, &readable) == SOCKET_ERROR) return 0;
    int64_t budget = static_cast<int64_t>(readable);  // prefixes and bodies this pass may take
    int packets = 0;
    for (;;) {
        if (r->receiveRemaining == 0) {
            // Many tiny packets cost a socket call each: the rest comes with the FD_READ
            // that the last receive re-armed.
            if (packets++ == ReceivePassPackets) return 0;
            // Looked at even when the budget is spent: the peek re-arms FD_READ, so a
            // prefix that came in parts is looked at again when its rest arrives.
            const int taken = TakeLengthPrefix(r, budget);
            if (taken != 1) return taken;
            budget -= 4;
            if (r->receiveRemaining == 0) {  // an empty packet is complete at once
                if (budget <= 0) return 0;
                continue;
            }
        }
        if (budget <= 0) return 0;
        const int want = budget < r->receiveRemaining ? static_cast<int>(budget) : r->receiveRemaining;
        const int got = ReceiveBody(r, want);
        if (got <= 0) return 0;  // nothing there now, or the peer closed
        r->receiveRing.count += got;
        r->receiveRemaining -= got;
        budget -= got;
        if (r->receiveRemaining == 0) r->receivedCompleteBytes += r->receivePacketLength;
        PumpNetWorkMessagesCore(0);
        if (got < want) return 0;
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
        PumpNetWorkMessagesCore(0);
        if (sent <= 0 || r->sendRemaining != 0 || GetRingBufferCount(&r->sendRing) == 0) return 0;
    }
}

// Posts again the `event` of every record that a busy transfer refused it to.
static void RepostRefusedEvents(int event) {
    NetWorkState& n = NetWorkStateRecord;
    for (LinkNode* node = n.listHead.next; n.refusedEvents > 0 && node != nullptr && node->next != nullptr;
         node = node->next) {
        SocketRecord* record = static_cast<SocketRecord*>(node->data);
        if ((record->refusedEvents & event) == 0) continue;
        record->refusedEvents &= ~event;
        n.refusedEvents--;
        PostMessageA(n.hiddenWindow, WM_NETWORK_SOCKET, record->socket, WSAMAKESELECTREPLY(event, 0));
    }
}

// Runs a transfer with its busy flag set; raw connections have nothing to transfer.
// `event` is the socket event that drives this kind of transfer.
static int RunTransfer(int handle, int* busy, int event, const char* callName, int (*transfer)(SocketRecord*)) {
    if (!NetWorkStateRecord.started) return -1;
    SocketRecord* r = GetSocketRecord(handle);
    if (r == nullptr) return -1;
    if (*busy) {
        if ((r->refusedEvents & event) == 0) NetWorkStateRecord.refusedEvents++;
        r->refusedEvents |= event;
        return -1;
    }
    *busy = 1;
    PumpNetWorkMessagesCore(0);
    int result = CheckSocketRecordUsable(r, callName);
    if (result == 0 && r->packetMode) result = transfer(r);
    *busy = 0;
    if (NetWorkStateRecord.refusedEvents > 0) RepostRefusedEvents(event);
    return result;
}

int RecvSocket(int handle) { return RunTransfer(handle, &ReceiveBusy, FD_READ, "RecvSocket", ReceivePackets); }

int SendSocket(int handle) { return RunTransfer(handle, &SendBusy, FD_WRITE, "SendSocket", SendPackets); }
