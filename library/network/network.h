// network.h - TCP connections and the HTTP/1.0 downloader.
//
// Connections are `NetWorkHandle`s (kind 9). The socket layer starts on the first
// connect or host look-up; every socket reports its events as message 0x505 to a
// hidden "WinSockProc" window, and the library's message pump runs
// PumpNetWorkMessages(1) and ProcessHttpDownloads once per call. Traffic is raw, or
// in packet mode (the default) a stream of packets framed by a 4-byte little-endian
// length, received whole into a ring per connection.
//
//     int ip = 127 | 0 << 8 | 0 << 16 | 1 << 24;          // 127.0.0.1, first byte lowest
//     int h = OpenNetWorkConnection(ip, 5000);
//     NetWorkSend(h, "hello", 5);
//     while (GetNetWorkDataLength(h) < 5) ProcessMessage();
//     char got[5]; NetWorkRecv(h, got, 5);
//     CloseNetWorkHandle(h);
//
// Downloads (http.h) run on top; progress texts are in progress_text.h. Every routine
// here takes the ApiLock (it may be held already), so any thread may call them beside
// the pump thread. Records and internals: network_state.h.
#pragma once

#include "platform/window/window.h"

#define WM_NETWORK_SOCKET 0x0505  // NetWorkSocketMessage

// ---- Start-up, shutdown, the event window ----------------------------------------------
int SetupNetWork(HWND parent);  // null: the main window; 0 started (or already), -1
int ShutdownNetWork(void);      // closes every connection and the hidden window; 0
// Dispatches the hidden window's waiting socket events; with closeFlag 1 it first
// closes the connections that failed, or were lost and their loss was reported.
int PumpNetWorkMessages(int closeFlag);
// Message 0x505: 1 handled, 0 no such socket, or AcceptNetWork's result for FD_ACCEPT.
LRESULT HandleSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WinSockProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Connections ----------------------------------------------------------------------------
// address: the IPv4 bytes in network order packed into an int, first byte lowest;
// port in host order, -1 = 10001. Reuses a connected connection to the same address
// and port. The handle, or -1.
int OpenNetWorkConnection(int address, int port);
int CloseNetWorkHandle(int handle);     // 0, or -1
// 1 connected, 0 not (the first 0 marks the loss as reported), -1 bad handle or error.
int GetNetWorkAcceptState(int handle);
// 0 found, -1 not found, -2 not an IPv4 entry. `out` gets the 4 address bytes.
int ResolveHostToIPv4(const char* name, unsigned char out[4]);
// Settings that new connections take (both on by default).
int SetNetWorkPacketMode(int on);
int GetNetWorkPacketMode(void);
int SetNetWorkAutoClose(int on);
int GetNetWorkAutoClose(void);
// How long a connect waits for its answer, in milliseconds (<= 0: the default 2000).
int SetNetWorkConnectTimeOut(int milliseconds);
// The peer's address (packed as for OpenNetWorkConnection) and port (host order); for
// the listening connection its own. 0, or -1.
int GetNetWorkAddress(int handle, int* address, int* port);

// ---- Listening ----------------------------------------------------------------------------------
// Listens on `port` (host order; 0 = any free port) of every local address. Incoming
// connections are accepted as their events arrive (AcceptNetWork) and taken one by
// one with TakeAcceptedNetWork. The listening handle, or -1 (also while one listens).
int StartNetWorkListen(int port);
int StopNetWorkListen(void);            // 0, or -1 when nothing listens
int AcceptNetWork(void);                // 1 accepted, -1 not
// The oldest accepted connection not yet taken, or -1 when none waits.
int TakeAcceptedNetWork(void);

// ---- Data -------------------------------------------------------------------------------------
// Packet mode: bytes of complete packets waiting. Raw mode: 1 data waits, 0 the peer
// closed, negative when nothing can be read now. -1 bad handle or error.
int GetNetWorkDataLength(int handle);
// Raw: recv's result. Packet: 0 when `size` bytes were taken, else -1.
int NetWorkRecv(int handle, void* buffer, int size);
int NetWorkRecvToPeek(int handle, void* buffer, int size);  // the bytes stay
// Raw: send's result. Packet: 0 when queued, else -1.
int NetWorkSend(int handle, const void* data, int length);

// ---- HTTP (http.h has the rest) ------------------------------------------------------------------
int ClearHttpDownloadState(void);   // zeroes the download block; 0
int ShutdownHttpDownloads(void);    // deletes every download; 0
int ProcessHttpDownloads(void);     // one step of every running download; 0
