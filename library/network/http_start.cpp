// Opening the connection of a download and starting downloads.
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/apilock.h"
#include "library/core/log.h"
#include "library/core/memory_bytes.h"
#include "library/core/text.h"
#include "library/network/http.h"
#include "library/network/network_state.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

static int OpenHttpConnectionLocked(const char* url, int useProxy, unsigned char* address, char* host, char* path,
                                    char* fileName, int* port) {
    char ownHost[UrlHostCapacity], ownPath[UrlPathCapacity], ownFileName[UrlFileNameCapacity];
    int ownPort;
    if (SplitHttpRequestUrl(url, useProxy, ownHost, ownPath, ownFileName, &ownPort) != 0) {
        return WriteLogFormat("ＵＲＬ %s の解析に失敗しました\n", url != nullptr ? url : "");
    }
    unsigned char bytes[4];
    if (ResolveHostToIPv4(ownHost, bytes) != 0) {
        return WriteLogFormat("ダウンロード先ホスト %s が見つかりませんでした", ownHost);
    }
    // The download's connection is raw, its own (two downloads from one server must not
    // share a socket), and never closed by the auto-close pass.
    const int packetMode = GetNetWorkPacketMode(), autoClose = GetNetWorkAutoClose();
    SetNetWorkPacketMode(0);
    SetNetWorkAutoClose(0);
    const int packed = static_cast<int>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    const int connection = ConnectNetWork(packed, ownPort, 0);
    SetNetWorkPacketMode(packetMode);
    SetNetWorkAutoClose(autoClose);
    if (connection == -1) return WriteLogFormat("ダウンロード先ホスト %s への接続に失敗しました", ownHost);

    if (host != nullptr) CopyText(host, ownHost);
    if (path != nullptr) CopyText(path, ownPath);
    if (fileName != nullptr) CopyText(fileName, ownFileName);
    if (port != nullptr) *port = ownPort;
    if (address != nullptr) CopyMemoryBytes(address, bytes, 4);
    return connection;
}

int OpenHttpConnection(const char* url, int useProxy, unsigned char* address, char* host, char* path,
                       char* fileName, int* port) {
    EnterApiLock();
    const int connection = OpenHttpConnectionLocked(url, useProxy, address, host, path, fileName, port);
    LeaveApiLock();
    return connection;
}

// Starting reads the proxy under the lock, so setting it takes the lock too.
int SetHttpProxy(const char* host, int port) {
    EnterApiLock();
    HttpDownloadState& h = HttpDownloadStateRecord;
    CopyTextBounded(h.proxyHost, sizeof h.proxyHost, host != nullptr ? host : "");
    h.proxyPort = port;
    LeaveApiLock();
    return 0;
}

static int Refuse(int index, const char* text) {
    FinishHttpDownload(index, HttpResultFailed, HttpDetailNone);
    FreeHttpDownloadSlot(index);
    return WriteLogText(text);
}

static int StartHttpDownloadLocked(int method, const char* url, const void* postData, int postDataLength,
                                   const char* savePath, void** memoryHolder, int useProxy) {
    if (method < HttpMethodGet || method > HttpMethodHead || url == nullptr) {
        return WriteLogText("ダウンロードの指定が正しくありません\n");
    }
    const bool toFile = savePath != nullptr;
    if (method != HttpMethodHead && !toFile && memoryHolder == nullptr) {
        return WriteLogText("ダウンロードしたデータの保存先がありません\n");
    }
    if (method == HttpMethodPost && (postDataLength < 0 || (postData == nullptr && postDataLength > 0))) {
        return WriteLogText("送信するデータの指定が正しくありません\n");
    }
    const int index = AllocHttpDownloadSlot();
    if (index == -1) return -1;
    HttpDownloadSlot* slot = HttpDownloadStateRecord.slots[index];
    slot->method = method;
    slot->state = HttpStateSendRequest;
    slot->result = HttpResultRunning;
    slot->detail = HttpDetailNone;
    slot->connection = -1;
    slot->contentLength = -1;
    if (method == HttpMethodPost) {
        slot->postData = ZqAlloc(postDataLength > 0 ? postDataLength : 1);
        if (slot->postData == nullptr) return Refuse(index, "送信するデータを保存するメモリの確保に失敗しました\n");
        if (postDataLength > 0) CopyMemoryBytes(slot->postData, postData, postDataLength);
        slot->postDataLength = postDataLength;
    }

    char path[UrlPathCapacity];
    int port;
    slot->connection = OpenHttpConnection(url, useProxy, nullptr, slot->host, path, nullptr, &port);
    if (slot->connection == -1) {
        FinishHttpDownload(index, HttpResultFailed, HttpDetailNone);
        FreeHttpDownloadSlot(index);
        return -1;
    }
    CopyText(slot->path, path);
    slot->port = port;
    char request[512];
    if (FormatHttpRequest(slot, request, method == HttpMethodGet ? 512 : 256) < 0) {
        return Refuse(index, "ダウンロード先のＵＲＬが長すぎます\n");
    }

    if (toFile && method != HttpMethodHead) {
        // An old file of that name is removed rather than truncated: some file systems
        // write a truncated file's new contents out when it is closed, which held the
        // last step of a large download for tens of milliseconds.
        DeleteFileA(savePath);
        slot->file = CreateFileA(savePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (slot->file == INVALID_HANDLE_VALUE) {
            slot->file = nullptr;
            return Refuse(index, "ダウンロードしたデータを保存するファイルの作成に失敗しました\n");
        }
    } else if (method != HttpMethodHead) {
        slot->toMemory = 1;
        slot->memoryHolder = memoryHolder;
        *memoryHolder = nullptr;
    }
    return index;
}

// The pump thread's upkeep steps every slot in the table, and the slot is in the table
// before its connection is open: the whole start runs under the lock.
int StartHttpDownload(int method, const char* url, const void* postData, int postDataLength, const char* savePath,
                      void** memoryHolder, int useProxy) {
    EnterApiLock();
    const int index = StartHttpDownloadLocked(method, url, postData, postDataLength, savePath, memoryHolder, useProxy);
    LeaveApiLock();
    return index;
}
