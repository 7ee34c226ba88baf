// The public connection calls of network.h: each runs its routine under the ApiLock,
// so a caller's call and the pump thread's upkeep (whose auto-close pass frees
// records) never work on the network state at once. The subsystem's own code, which
// already holds the lock, calls the routines directly.
#include "library/core/apilock.h"
#include "library/network/network_state.h"

int SetupNetWork(HWND parent) { return Locked(SetupNetWorkCore, parent); }
int ShutdownNetWork(void) { return Locked(ShutdownNetWorkCore); }
int PumpNetWorkMessages(int closeFlag) { return Locked(PumpNetWorkMessagesCore, closeFlag); }
LRESULT HandleSocketMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Locked(HandleSocketMessageCore, window, message, wParam, lParam);
}

int OpenNetWorkConnection(int address, int port) { return Locked(ConnectNetWork, address, port, 1); }
int CloseNetWorkHandle(int handle) { return Locked(CloseNetWorkHandleCore, handle); }
int GetNetWorkAcceptState(int handle) { return Locked(GetNetWorkAcceptStateCore, handle); }
int ResolveHostToIPv4(const char* name, unsigned char out[4]) { return Locked(ResolveHostToIPv4Core, name, out); }
int SetNetWorkPacketMode(int on) { return Locked(SetNetWorkPacketModeCore, on); }
int GetNetWorkPacketMode(void) { return Locked(GetNetWorkPacketModeCore); }
int SetNetWorkAutoClose(int on) { return Locked(SetNetWorkAutoCloseCore, on); }
int GetNetWorkAutoClose(void) { return Locked(GetNetWorkAutoCloseCore); }
int SetNetWorkConnectTimeOut(int milliseconds) { return Locked(SetNetWorkConnectTimeOutCore, milliseconds); }
int GetNetWorkAddress(int handle, int* address, int* port) {
    return Locked(GetNetWorkAddressCore, handle, address, port);
}

int StartNetWorkListen(int port) { return Locked(StartNetWorkListenCore, port); }
int StopNetWorkListen(void) { return Locked(StopNetWorkListenCore); }
int AcceptNetWork(void) { return Locked(AcceptNetWorkCore); }
int TakeAcceptedNetWork(void) { return Locked(TakeAcceptedNetWorkCore); }

int GetNetWorkDataLength(int handle) { return Locked(GetNetWorkDataLengthCore, handle); }
int NetWorkRecv(int handle, void* buffer, int size) { return Locked(NetWorkRecvCore, handle, buffer, size); }
int NetWorkRecvToPeek(int handle, void* buffer, int size) {
    return Locked(NetWorkRecvToPeekCore, handle, buffer, size);
}
int NetWorkSend(int handle, const void* data, int length) { return Locked(NetWorkSendCore, handle, data, length); }
