// Start-up and shutdown of the socket layer, and the network log line.
//
// The layer starts lazily (the first connect or host look-up calls SetupNetWork):
// WinSock 1.1, then the hidden "WinSockProc" window that receives every socket event.
// Shutdown closes every connection, destroys the window, clears the state (so the
// settings return to their defaults) and ends WinSock.
#include <cstdarg>

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/network/network_state.h"

NetWorkState NetWorkStateRecord;

static const char HiddenWindowClass[] = "WinSockProc";

static int EndSetup(int result) {
    DecLogIndent();
    return result;
}

int SetupNetWorkCore(HWND parent) {
    NetWorkState& n = NetWorkStateRecord;
    if (n.started) return 0;
    WriteLogText("ネットワーク関連を初期化します\n");
    IncLogIndent();

    WSADATA data;
    if (WSAStartup(0x0101, &data) != 0) return EndSetup(WriteLogText("WinSock.DLLが導入されていません\n"));
    if ((data.wVersion & 0xFF) != 1 || (data.wVersion >> 8) != 1) {
        WSACleanup();
        return EndSetup(WriteLogText("Winsock.DLLのバージョンが違います\n"));
    }

    for (SocketRecord*& slot : n.sockets) slot = nullptr;
    InitLinkList(&n.listHead, &n.listTail);
    n.started = 1;
    n.parentWindow = parent;

    // The class is unregistered at shutdown, so a later start-up registers it anew.
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = WinSockProc;
    wc.hInstance = SystemStateRecord.window.instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // the null brush: the window is never painted
    wc.lpszClassName = HiddenWindowClass;
    if (RegisterClassExA(&wc) == 0) {
        return EndSetup(WriteLogText("ネットワーク処理用の子ウインドウクラスの登録に失敗しました\n"));
    }
    HWND owner = n.parentWindow != nullptr ? n.parentWindow : GetAppWindowHandle();
    n.hiddenWindow = CreateWindowExA(WS_EX_TRANSPARENT, HiddenWindowClass, HiddenWindowClass, WS_CHILD | WS_MINIMIZE,
                                     0, 0, 0, 0, owner, nullptr, SystemStateRecord.window.instance, nullptr);
    if (n.hiddenWindow == nullptr) {
        return EndSetup(WriteLogText("ネットワーク処理用の子ウインドウの作成に失敗しました\n"));
    }
    n.windowDestroyed = 0;
    DecLogIndent();
    WriteLogText("初期化を完了しました \n");
    return 0;
}

int ShutdownNetWorkCore(void) {
    NetWorkState& n = NetWorkStateRecord;
    if (!n.started) return 0;
    WriteLogText("ネットワーク関連の終了処理を行います \n");
    for (int slot = 0; slot <= NetWorkListenSlot; slot++) {
        if (SocketRecord* record = n.sockets[slot]) CloseNetWorkHandleCore(MakeNetWorkHandle(slot, record->checkNumber));
    }
    if (n.hiddenWindow != nullptr) {
        PostMessageA(n.hiddenWindow, WM_CLOSE, 0, 0);
        if (!n.windowDestroyed) PumpNetWorkMessagesCore(0);
    }
    UnregisterClassA(HiddenWindowClass, SystemStateRecord.window.instance);
    n = NetWorkState{};
    WSACleanup();
    WriteLogText("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}

int WriteNetWorkLog(const char* format, ...) {
    const int error = WSAGetLastError();
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(text, sizeof text, format, arguments);
    va_end(arguments);
    return WriteLogFormat("ネットワークログ。%s[%d]", text, error);
}
