// network_state.h - the network subsystem's records and the routines its files share.
#pragma once

#include <cstdint>

#include "library/core/handles.h"
#include "library/core/link_list.h"
#include "library/network/network.h"
#include "library/network/ring_buffer.h"
#include "platform/net/winsock.h"

enum {
    NetWorkConnectionSlots = 4096,  // slots 0..4095 hold connections
    NetWorkListenSlot = 4096,       // the listening connection
    NetWorkDefaultPort = 10001,
    NetWorkDefaultTimeOut = 2000,   // ms a connect waits for its answer
    NetWorkDrainMs = 1000,          // ms a close waits for a partial packet to finish
    NetWorkHandleKind = HandleKindNetWork << 27,
    NetWorkSelectEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE,  // 0x33
    NetWorkAcceptedEvents = FD_READ | FD_WRITE | FD_CLOSE,             // 0x23
    // The longest packet (256 MiB): a longer or negative length prefix is hostile input
    // and gives the connection its error flag; a sender splits its queue into packets
    // of at most this length.
    NetWorkPacketLimit = 0x10000000,
    // The hidden window's own message that marks where a pump began (wParam: its number).
    WM_NETWORK_PUMP_MARK = 0x0506,
};

struct SocketRecord {
    int32_t inUse;
    int32_t error;             // the receive ring failed to grow, or a refused packet length
    int32_t connected;
    int32_t lossReported;
    int32_t openedByConnect;
    int32_t accepted;
    int32_t packetMode;
    int32_t autoClose;
    int32_t checkNumber;       // 0..2047
    SOCKET socket;             // 0 once closed
    int32_t receiveRemaining;  // bytes of the incoming packet still due; 0: a prefix is due
    RingBuffer receiveRing;
    int32_t receivePacketLength;
    int32_t receivedCompleteBytes;  // bytes of complete packets less the bytes taken
    RingBuffer sendRing;
    int32_t sendRemaining;     // bytes of the outgoing packet still due (the prefix value while it goes)
    int32_t sendPrefixRemaining;
    unsigned char address[4];  // network order
    int32_t port;              // network order, zero-extended
    LinkNode node;             // id = the handle, data = this record
    int32_t acceptTaken;       // an accepted connection handed out by TakeAcceptedNetWork
    int32_t refusedEvents;     // FD_READ / FD_WRITE refused by a busy transfer, to be posted again
    int32_t connectError;      // the error word of a failed FD_CONNECT: the connect's answer
    int32_t receiveStall;      // ReceiveStall: whether the next packet waits in the socket for room
    int32_t prefixHave;        // bytes of the next packet's length prefix read so far (0..4); a
                               // whole one stays here while its packet waits for room
    unsigned char prefixBytes[4];
};

// Packet mode keeps the receive ring as small as the application's pace allows: a
// packet that does not fit the ring's free room stays in the socket (the peer's sends
// then wait on TCP's flow control) until the application takes bytes, or shows that it
// waits for more than the ring holds; only then does the ring grow.
enum ReceiveStall {
    ReceiveFlowing = 0,    // packets are taken as they come
    ReceiveStalled = 1,    // the next packet did not fit; passes leave the socket alone
    ReceiveStallSeen = 2,  // GetNetWorkDataLength reported the stalled ring once
    ReceiveMayGrow = 3,    // the application asked again, or for more than the ring holds
};

struct NetWorkState {
    SocketRecord* sockets[NetWorkConnectionSlots + 1];
    LinkNode listHead;         // newest first
    LinkNode listTail;
    int32_t nextCheckNumber;   // 0..2047
    int32_t started;
    int32_t connectTimeOut;    // ms; 0 stands for 2000
    HWND parentWindow;         // null: the main window
    HWND hiddenWindow;
    int32_t packetModeOff;
    int32_t autoCloseOff;
    int32_t windowDestroyed;
    int32_t refusedEvents;     // events remembered in records (SocketRecord::refusedEvents)
    int32_t acceptRefused;     // an accept was refused with every slot full: re-arm when one frees
    uint64_t pumpMarks;        // pump markers posted so far
    uint64_t pumpMarkReached;  // the highest marker a pump has taken from the queue
};

extern NetWorkState NetWorkStateRecord;

// The record behind a handle, or null: error bit, kind, slot range, empty slot or
// stale check number.
SocketRecord* GetSocketRecord(int handle);
// The checks of every call on a live record: in use, no error flag. 0, or -1 after
// the message that names the call ("... in <callName>").
int CheckSocketRecordUsable(const SocketRecord* record, const char* callName);
int MakeNetWorkHandle(int slot, int checkNumber);

// Transfers driven by FD_READ / FD_WRITE and by the data calls.
int RecvSocket(int handle);
int SendSocket(int handle);

// "ネットワークログ。<text>[<WinSock error>]"; returns -1.
int WriteNetWorkLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The routines behind the public calls of network.h, which take the ApiLock around
// them (network_entry_points.cpp); the subsystem's own code, already under the lock,
// calls these.
int SetupNetWorkCore(HWND parent);
int ShutdownNetWorkCore(void);
int PumpNetWorkMessagesCore(int closeFlag);
LRESULT HandleSocketMessageCore(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int CloseNetWorkHandleCore(int handle);
int GetNetWorkAcceptStateCore(int handle);
int ResolveHostToIPv4Core(const char* name, unsigned char out[4]);
int SetNetWorkPacketModeCore(int on);
int GetNetWorkPacketModeCore(void);
int SetNetWorkAutoCloseCore(int on);
int GetNetWorkAutoCloseCore(void);
int SetNetWorkConnectTimeOutCore(int milliseconds);
int GetNetWorkAddressCore(int handle, int* address, int* port);
int StartNetWorkListenCore(int port);
int StopNetWorkListenCore(void);
int AcceptNetWorkCore(void);
int TakeAcceptedNetWorkCore(void);
int GetNetWorkDataLengthCore(int handle);
int NetWorkRecvCore(int handle, void* buffer, int size);
int NetWorkRecvToPeekCore(int handle, void* buffer, int size);
int NetWorkSendCore(int handle, const void* data, int length);

// OpenNetWorkConnection; with reuse 0 always a connection of its own (a download
// must not share its socket with another).
int ConnectNetWork(int address, int port, int reuse);

// Starts the layer on first use, unless the main window is closing. 0 when it runs.
int EnsureNetWorkStarted(void);

// Record life, shared by connect, accept and listen: the lowest free connection slot
// (-1 when none); a new zeroed record in `slot`, in use, with the settings' packet
// mode and auto-close, linked newest first under the next check number (null when
// memory runs out); and the undoing of all that when the record is given up.
int FindFreeSocketSlot(void);
SocketRecord* NewSocketRecord(int slot);
void DiscardSocketRecord(int slot);
// A record made for good advances the check-number counter; its handle.
int CommitSocketRecord(SocketRecord* record);
