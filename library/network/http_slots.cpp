// The download slot table: taking and freeing slots, finishing, deleting, and the
// per-frame step that moves every running download on.
#include "library/core/alloc.h"
#include "library/core/apilock.h"
#include "library/core/log.h"
#include "library/network/http.h"
#include "platform/kernel/kernel.h"

HttpDownloadState HttpDownloadStateRecord;

static HttpDownloadSlot* SlotAt(int index) {
    if (index < 0 || index >= HttpSlotCount) return nullptr;
    return HttpDownloadStateRecord.slots[index];
}

int ClearHttpDownloadState(void) {
    EnterApiLock();
    HttpDownloadStateRecord = HttpDownloadState{};
    LeaveApiLock();
    return 0;
}

int ShutdownHttpDownloads(void) { return DeleteAllHttpDownloads(); }

int AllocHttpDownloadSlot(void) {
    HttpDownloadState& h = HttpDownloadStateRecord;
    if (h.liveCount >= HttpSlotCount) {
        return WriteLogText(
            "同時にダウンロードしているファイルが限界に達していたためダウンロードを開始できませんでした\n");
    }
    int index = 0;
    while (h.slots[index] != nullptr) index++;
    HttpDownloadSlot* slot = static_cast<HttpDownloadSlot*>(ZqAllocZero(sizeof(HttpDownloadSlot)));
    if (slot == nullptr) return WriteLogText("ダウンロード処理用データ領域の確保に失敗しました\n");
    h.slots[index] = slot;
    h.liveCount++;
    return index;
}

int FreeHttpDownloadSlot(int index) {
    if (HttpDownloadSlot* slot = SlotAt(index)) {
        ZqFree(slot);
        HttpDownloadStateRecord.slots[index] = nullptr;
        HttpDownloadStateRecord.liveCount--;
    }
    return 0;
}

int FinishHttpDownload(int index, int result, int detail) {
    HttpDownloadSlot* slot = SlotAt(index);
    if (slot == nullptr) return -1;
    if (slot->connection != -1) CloseNetWorkHandle(slot->connection);
    slot->connection = -1;
    ZqFree(slot->postData);
    slot->postData = nullptr;
    if (slot->file != nullptr) CloseHandle(slot->file);
    slot->file = nullptr;
    if (slot->result == HttpResultRunning) slot->result = result;
    if (slot->detail == HttpDetailNone) slot->detail = detail;
    if (slot->memoryHolder != nullptr && slot->result != HttpResultDone) {
        ZqFree(*slot->memoryHolder);
        *slot->memoryHolder = nullptr;
    }
    return 0;
}

int FailLostHttpDownload(int index) {
    const HttpDownloadSlot* slot = SlotAt(index);
    if (slot == nullptr) return -1;
    WriteLogFormat("ダウンロード先 %s との接続が切れました", slot->host);
    return FinishHttpDownload(index, HttpResultFailed, HttpDetailDisconnected);
}

// Deleting and the status query take the ApiLock, like starting: the pump thread's
// upkeep steps and finishes the same slots.
int DeleteHttpDownload(int index) {
    EnterApiLock();
    const bool live = SlotAt(index) != nullptr;
    if (live) {
        FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
        FreeHttpDownloadSlot(index);
    }
    LeaveApiLock();
    return live ? 0 : -1;
}

// Calls `step` on each live slot, upwards, until as many live slots as there were at
// the start have been visited; under the ApiLock, which the pump already holds.
static int ForEachLiveSlot(int (*step)(int)) {
    EnterApiLock();
    int left = HttpDownloadStateRecord.liveCount;
    for (int index = 0; index < HttpSlotCount && left > 0; index++) {
        if (HttpDownloadStateRecord.slots[index] == nullptr) continue;
        step(index);
        left--;
    }
    LeaveApiLock();
    return 0;
}

int DeleteAllHttpDownloads(void) { return ForEachLiveSlot(DeleteHttpDownload); }

int ProcessHttpDownloads(void) { return ForEachLiveSlot(StepHttpDownload); }

int StepHttpDownload(int index) {
    HttpDownloadSlot* slot = SlotAt(index);
    if (slot == nullptr) return -1;
    if (slot->result != HttpResultRunning) return 0;
    const int connected = GetNetWorkAcceptState(slot->connection);
    const int waiting = GetNetWorkDataLength(slot->connection);
    if (connected == 0 && waiting == 0) {
        // A body of unknown length ends when the server closes: that is its success,
        // whether the close was seen inside the last body step or only now.
        const bool bodyEndedByClose =
            slot->state == HttpStateBody && slot->contentLength == -1 && slot->method != HttpMethodHead;
        if (bodyEndedByClose) return FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
        return FinishHttpDownload(index, HttpResultFailed, HttpDetailDisconnected);
    }
    // Neither connected nor readable: the connection was reset or aborted (a closed
    // one reads its end, a reset one fails every receive), or its handle is gone.
    // Nothing more can come, and what came is not the whole body.
    if (connected != 1 && waiting < 0) return FailLostHttpDownload(index);
    switch (slot->method) {
    case HttpMethodGet: return StepHttpGet(index);
    case HttpMethodPost: return StepHttpPost(index);
    case HttpMethodHead: return StepHttpHead(index);
    default: return 0;
    }
}

int GetHttpDownloadStatus(int index, int* result, int* detail, int* received, int* contentLength) {
    EnterApiLock();
    const HttpDownloadSlot* slot = SlotAt(index);
    if (slot != nullptr) {
        if (result != nullptr) *result = slot->result;
        if (detail != nullptr) *detail = slot->detail;
        if (received != nullptr) *received = slot->received;
        if (contentLength != nullptr) *contentLength = slot->contentLength;
    }
    LeaveApiLock();
    return slot != nullptr ? 0 : -1;
}
