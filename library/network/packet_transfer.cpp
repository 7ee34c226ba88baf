// The two transfer routines that socket events and data calls drive.
//
// In packet mode every packet on the wire is a 4-byte little-endian length followed
// by that many bytes. RecvSocket takes whole packets into the receive ring (the body
// goes straight in, in at most two pieces around the ring's end; the ring grows with
// the bytes that come, never to an announced length before they are there); SendSocket
// sends the send ring as packets, one packet of everything queued when a packet
// starts. Both resume from the record's counters after WSAEWOULDBLOCK. Raw connections
// have nothing to do here: their data stays in the socket.
//
// A receive pass is bounded (see ReceivePackets), so a peer that keeps sending cannot
// hold it; the rest comes with the next FD_READ. A packet that does not fit the
// receive ring's free room waits in the socket while the application is taking bytes
// (ReceiveStall in network_state.h), so the ring stays as small as the application's
// pace allows instead of growing to hold the stream.
//
// The busy flags stop a transfer from re-entering itself through the socket events
// that the pump dispatches while it runs. Such a refused event is remembered in its
// record and posted again when the transfer ends: the socket layer posts FD_READ and
// FD_WRITE only once per re-arm, so a dropped one would leave its connection waiting
// for good.
#include "library/core/log.h"
#include "library/core/memory_bytes.h"
#include "library/network/network_state.h"

enum {
    ReceivePassPackets = 64,         // the most packets one receive pass takes
    ReceiveGrowthStep = 64 << 10,    // ring growth for body bytes that were not counted
};

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

// Reads the next length prefix, or the rest of one read ahead in part, and lets its
// packet into the ring when it may come. A prefix that starts a pass is read only once
// all 4 bytes are there (peeked first when fewer than 4 were readable as the pass
// began). A prefix read for a packet that must wait for room is held in the record.
// 1 the packet comes, 0 not yet (or stalled for room), -1 refused.
static int TakeLengthPrefix(SocketRecord* r, int64_t budget) {
    if (r->prefixHave < 4) {
        unsigned char peeked[4];
        if (r->prefixHave == 0 && budget < 4 && recv(r->socket, reinterpret_cast<char*>(peeked), 4, MSG_PEEK) != 4) {
            return 0;
        }
        const int n = recv(r->socket, reinterpret_cast<char*>(r->prefixBytes + r->prefixHave), 4 - r->prefixHave, 0);
        if (n <= 0) return 0;
        r->prefixHave += n;
        if (r->prefixHave < 4) return 0;
    }
    const int32_t length = DecodeLength(r->prefixBytes);
    if (length < 0 || length > NetWorkPacketLimit) {
        r->error = 1;
        return WriteLogFormat("受信したパケットのサイズ %u byte は大きすぎます", static_cast<uint32_t>(length));
    }
    RingBuffer& ring = r->receiveRing;
    if (!ReceiveRingTakes(r, length)) {
        r->receiveStall = ReceiveStalled;
        return 0;
    }
    r->prefixHave = 0;
    r->receiveStall = ReceiveFlowing;
    r->receiveRemaining = length;
    r->receivePacketLength = length;
    RewindEmptyRingBuffer(&ring);
    return 1;
}

// Room in the receive ring for up to `want` more bytes of the packet under way. A peer
// can announce a large packet and send little of it, so the ring grows only for bytes
// that are there: `want` of them when the pass counted what the socket holds, else a
// step at a time (the ring at least doubles each time it grows). How many bytes the
// ring has room for now, or -1 when it could not grow.
static int MakeBodyRoom(SocketRecord* r, int want, bool counted) {
    RingBuffer& ring = r->receiveRing;
    const int room = GetRingBufferSpace(&ring);
    if (room >= want) return want;
    const int step = room > ReceiveGrowthStep ? room : ReceiveGrowthStep;
    if (!counted && want > step) want = step;
    if (want > room && ReserveRingBuffer(&ring, want) == -1) {
        r->error = 1;
        return WriteLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)",
                              r->receivePacketLength);
    }
    const int space = GetRingBufferSpace(&ring);
    return want < space ? want : space;
}

// Receives `want` bytes at most (no more than receiveRemaining) into the ring, in two
// pieces around its end; bytes received, or -1 when the socket gave an error
// (WSAEWOULDBLOCK included) before anything came. When `want` ends the packet and the
// ring's free room goes on behind it, the same receive reads up to `lookAhead` bytes of
// the next length prefix too (into the record): one socket call per packet, not two.
static int ReceiveBody(SocketRecord* r, int want, int lookAhead) {
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
    int ask = want;
    if (lookAhead > 0 && want == r->receiveRemaining && want + lookAhead <= first &&
        ring.capacity - ring.count - want >= lookAhead) {
        ask += lookAhead;
    }
    int n = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writeIndex), ask, 0);
    if (n == SOCKET_ERROR) return -1;
    if (n > want) {  // the start of the next prefix: it does not belong in the ring
        CopyMemoryBytes(r->prefixBytes, ring.data + ring.writeIndex + want, n - want);
        r->prefixHave = n - want;
        n = want;
    }
    ring.writeIndex += n;
    return n;
}

// One receive pass. A pass that begins inside a packet (its body under way, or its
// length prefix read ahead) completes that packet and ends; a pass that begins between
// packets takes whole packets, at most what was readable when it began. Either way a
// peer that keeps sending cannot hold it; the rest comes with the next FD_READ.
static int ReceivePackets(SocketRecord* r) {
    // A stalled packet stays in the socket until the application makes room or asks
    // for more (a receive would only bring FD_READ again at once).
    if (r->receiveRemaining == 0 && (r->receiveStall == ReceiveStalled || r->receiveStall == ReceiveStallSeen)) {
        return 0;
    }
    const bool inPacket = r->receiveRemaining > 0 || r->prefixHave > 0;
    int64_t budget = INT32_MAX;  // prefixes and bodies this pass may take
    if (!inPacket) {
        unsigned long readable = 0;
        if (ioctlsocket(r->socket, FIONREAD, &readable) == SOCKET_ERROR) return 0;
        budget = static_cast<int64_t>(readable);
    }
    int packets = 0;
    for (;;) {
        if (r->receiveRemaining == 0) {
            // Many tiny packets cost a socket call each: the rest comes with the FD_READ
            // that the last receive re-armed.
            if (packets++ == ReceivePassPackets) return 0;
            // Looked at even when the budget is spent: the peek re-arms FD_READ, so a
            // prefix that came in parts is looked at again when its rest arrives.
            const int readAhead = r->prefixHave;  // already counted when they came
            const int taken = TakeLengthPrefix(r, budget);
            if (taken != 1) return taken;
            budget -= 4 - readAhead;
            if (r->receiveRemaining == 0) {  // an empty packet is complete at once
                if (budget <= 0 || inPacket) return 0;
                continue;
            }
        }
        if (budget <= 0) return 0;
        const int due = budget < r->receiveRemaining ? static_cast<int>(budget) : r->receiveRemaining;
        const int want = MakeBodyRoom(r, due, !inPacket);
        if (want == -1) return -1;
        const int64_t lookAhead = budget - want < 4 ? budget - want : 4;
        const int got = ReceiveBody(r, want, static_cast<int>(lookAhead));
        if (got <= 0) return 0;  // nothing there now, or the peer closed
        r->receiveRing.count += got;
        r->receiveRemaining -= got;
        budget -= got + r->prefixHave;
        if (r->receiveRemaining == 0) r->receivedCompleteBytes += r->receivePacketLength;
        PumpNetWorkMessagesCore(0);
        // A pass that began inside a packet ends with it; one that filled the room the
        // ring had for it goes on with the packet.
        if (got < want || (inPacket && r->receiveRemaining == 0)) return 0;
    }
}

// Sends what is due of the packet under way in one gather send: the unsent end of its
// length prefix, then its body's next bytes in at most two pieces around the ring's
// end (a prefix sent on its own costs a loopback segment of its own). Bytes of the
// body sent, or -1 when the socket took nothing.
static int SendPacketPart(SocketRecord* r) {
    RingBuffer& ring = r->sendRing;
    NormalizeRingBuffer(&ring);
    unsigned char prefix[4];
    EncodeLength(r->sendRemaining, prefix);
    const int prefixLeft = r->sendPrefixRemaining;
    const int first = ring.capacity - ring.readIndex;
    const int firstPiece = r->sendRemaining < first ? r->sendRemaining : first;
    WSABUF pieces[3];
    DWORD count = 0;
    if (prefixLeft > 0) {
        pieces[count++] = {static_cast<ULONG>(prefixLeft), reinterpret_cast<char*>(prefix + 4 - prefixLeft)};
    }
    if (firstPiece > 0) {
        pieces[count++] = {static_cast<ULONG>(firstPiece), reinterpret_cast<char*>(ring.data + ring.readIndex)};
    }
    if (r->sendRemaining > firstPiece) {
        pieces[count++] = {static_cast<ULONG>(r->sendRemaining - firstPiece), reinterpret_cast<char*>(ring.data)};
    }
    DWORD sent = 0;
    if (WSASend(r->socket, pieces, count, &sent, 0, nullptr, nullptr) == SOCKET_ERROR) return -1;
    if (static_cast<int>(sent) < prefixLeft) {
        r->sendPrefixRemaining -= static_cast<int>(sent);
        return 0;
    }
    r->sendPrefixRemaining = 0;
    const int body = static_cast<int>(sent) - prefixLeft;
    ring.readIndex = body <= firstPiece ? ring.readIndex + body : body - firstPiece;
    return body;
}

static int SendPackets(SocketRecord* r) {
    if (GetRingBufferCount(&r->sendRing) == 0) return 0;
    for (;;) {
        const bool newPacket = r->sendRemaining == 0 && r->sendPrefixRemaining == 0;
        if (newPacket) {  // a packet of everything queued (within the packet limit)
            const int queued = GetRingBufferCount(&r->sendRing);
            r->sendRemaining = queued < NetWorkPacketLimit ? queued : NetWorkPacketLimit;
            r->sendPrefixRemaining = 4;
        }
        const int due = r->sendPrefixRemaining + r->sendRemaining;
        const int prefixLeft = r->sendPrefixRemaining;
        const int sent = SendPacketPart(r);
        if (sent < 0) {
            if (newPacket) r->sendRemaining = r->sendPrefixRemaining = 0;  // not begun: a later packet takes all
            return 0;
        }
        r->sendRing.count -= sent;
        r->sendRemaining -= sent;
        PumpNetWorkMessagesCore(0);
        if (sent + prefixLeft < due || GetRingBufferCount(&r->sendRing) == 0) return 0;
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
