// One step of a running download: its state machine for GET, POST and HEAD.
//
// Send the request (state 0), read the status line (1), read header lines, one per
// step (2), read the body (3), finish (4). GET and POST run on from one state into the
// next within a step as far as the connection holds what they need; nothing waits.
#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/text.h"
#include "library/network/http.h"
#include "platform/kernel/kernel_files.h"
#include "platform/net/winsock.h"

enum { GetRequestBytes = 512, PostRequestBytes = 256, HeadRequestBytes = 256 };

// The pieces of a body bound for a file pass through these, one for GET, one for POST.
static char GetPieceBuffer[HttpBodyPieceBytes];
static char PostPieceBuffer[HttpBodyPieceBytes];

static HttpDownloadSlot* Slot(int index) {
    return index >= 0 && index < HttpSlotCount ? HttpDownloadStateRecord.slots[index] : nullptr;
}

// Sends the request text and then the POST data as the socket takes them, at most
// HttpStepBytes in one step; a body larger than the socket's buffers goes out over
// several steps. 0 once all of it is out (the slot moves to the status line), -1
// while some is left or when sending failed the download.
static int SendRequest(int index, HttpDownloadSlot* slot, int capacity) {
    char request[GetRequestBytes];
    const int length = FormatHttpRequest(slot, request, capacity);
    if (length < 0) {  // refused when the download started; kept for safety
        FinishHttpDownload(index, HttpResultFailed, HttpDetailBadStatus);
        return -1;
    }
    const int total = length + (slot->method == HttpMethodPost ? slot->postDataLength : 0);
    int budget = HttpStepBytes;
    while (slot->requestSent < total && budget > 0) {
        const bool inText = slot->requestSent < length;
        const char* from = inText ? request + slot->requestSent
                                  : static_cast<const char*>(slot->postData) + (slot->requestSent - length);
        int want = (inText ? length : total) - slot->requestSent;
        if (want > budget) want = budget;
        WSASetLastError(0);
        const int n = NetWorkSend(slot->connection, from, want);
        if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return -1;  // the socket is full: a later step
        if (n < 0) {
            // A request that did not go out gets no answer: fail now instead of
            // waiting for a status line forever.
            FailLostHttpDownload(index);
            return -1;
        }
        slot->requestSent += n;
        budget -= n;
        if (n < want) return -1;
    }
    if (slot->requestSent < total) return -1;
    slot->state = HttpStateStatusLine;
    return 0;
}

// 1 when a status line of 200 was read (the slot moves to the headers); 0 when none
// is there yet or it failed the download.
static int ReadStatusLine(int index, HttpDownloadSlot* slot, int logFailure) {
    char line[HttpLineBytes];
    if (ReadHttpLine(slot->connection, line) != 0) return 0;
    const int code = ParseHttpLineNumber(line);
    if (code != 200) {
        if (logFailure) WriteLogFormat("接続に失敗しました (戻り値:%d)", code);
        FinishHttpDownload(index, HttpResultFailed, code == 404 ? HttpDetailNotFound : HttpDetailBadStatus);
        return 0;
    }
    slot->state = HttpStateHeaderLines;
    return 1;
}

static int IsContentLengthLine(const char* line) { return CompareTextN(line, "Content-Length:", 15) == 0; }

// A body bound for memory gets its block as soon as its length is known. A length
// given twice replaces the first block; a negative or excessive one is refused.
static void AllocateMemoryBody(int index, HttpDownloadSlot* slot) {
    ZqFree(*slot->memoryHolder);
    *slot->memoryHolder = nullptr;
    const int length = slot->contentLength;
    if (length >= 0 && length <= HttpMemoryBodyLimit) *slot->memoryHolder = ZqAlloc(length > 0 ? length : 1);
    if (*slot->memoryHolder == nullptr) FinishHttpDownload(index, HttpResultFailed, HttpDetailNoMemory);
}

// 1 when the blank line (or any line without ':') ended the headers; 0 after one
// header line, or when no line is there yet.
static int ReadHeaderLine(int index, HttpDownloadSlot* slot) {
    char line[HttpLineBytes];
    if (ReadHttpLine(slot->connection, line) != 0) return 0;
    if (FindCharInText(line, ':') == nullptr) {
        slot->state = HttpStateBody;
        return 1;
    }
    const int value = ParseHttpLineNumber(line);
    if (IsContentLengthLine(line)) {
        slot->contentLength = value;
        if (slot->toMemory) AllocateMemoryBody(index, slot);
    }
    return 0;
}

// Takes the body piece by piece while the connection holds it, at most HttpStepBytes
// in one step: a server that keeps sending never holds the pump (and the ApiLock) for
// longer than that much takes; the rest comes on the next step. With
// onePieceWhenOpen, a body of unknown length is taken one piece per step.
static int ReadBody(int index, HttpDownloadSlot* slot, char* pieceBuffer, int onePieceWhenOpen) {
    int budget = HttpStepBytes;
    for (;;) {
        if (slot->contentLength >= 0 && slot->received >= slot->contentLength) {  // Content-Length 0
            slot->state = HttpStateDone;
            return FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
        }
        int n;
        if (slot->toMemory) {
            // Without a length the size asked for is negative and the receive refuses it.
            int want = slot->contentLength - slot->received;
            if (want > budget) want = budget;
            n = NetWorkRecv(slot->connection, static_cast<char*>(*slot->memoryHolder) + slot->received, want);
        } else {
            // Never past the announced length, so the file holds exactly the body.
            int want = HttpBodyPieceBytes < budget ? HttpBodyPieceBytes : budget;
            if (slot->contentLength >= 0 && slot->contentLength - slot->received < want) {
                want = slot->contentLength - slot->received;
            }
            n = NetWorkRecv(slot->connection, pieceBuffer, want);
            DWORD written = 0;
            if (n > 0 && (!WriteFile(slot->file, pieceBuffer, static_cast<DWORD>(n), &written, nullptr) ||
                          written != static_cast<DWORD>(n))) {
                // A body the file did not take (a full disk, say) is no success.
                WriteLogText("ダウンロードしたデータをファイルに書き込めませんでした\n");
                return FinishHttpDownload(index, HttpResultFailed, HttpDetailNoMemory);
            }
        }
        if (n < 0) return 0;
        slot->received += n;
        budget -= n;
        bool complete;
        if (slot->contentLength != -1) {
            complete = slot->received >= slot->contentLength;
        } else {
            // Only a body without a length ends with the connection.
            const int connected = GetNetWorkAcceptState(slot->connection);
            const int waiting = GetNetWorkDataLength(slot->connection);
            complete = connected == 0 && waiting == 0;
        }
        if (complete) {
            slot->state = HttpStateDone;
            return FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
        }
        if (onePieceWhenOpen && slot->contentLength == -1) return 0;
        if (n == 0 || budget <= 0) return 0;
    }
}

// GET and POST: the same machine; POST logs no failed status and takes a body of
// unknown length one piece per step.
static int StepBodyTransfer(int index, int requestBytes, int logFailure, char* pieceBuffer, int onePieceWhenOpen) {
    HttpDownloadSlot* slot = Slot(index);
    if (slot == nullptr) return -1;
    switch (slot->state) {
    case HttpStateSendRequest:
        if (SendRequest(index, slot, requestBytes) != 0) return 0;
        [[fallthrough]];
    case HttpStateStatusLine:
        if (!ReadStatusLine(index, slot, logFailure)) return 0;
        [[fallthrough]];
    case HttpStateHeaderLines:
        if (!ReadHeaderLine(index, slot)) return 0;
        [[fallthrough]];
    case HttpStateBody: return ReadBody(index, slot, pieceBuffer, onePieceWhenOpen);
    case HttpStateDone: return FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
    default: return 0;
    }
}

int StepHttpGet(int index) { return StepBodyTransfer(index, GetRequestBytes, 1, GetPieceBuffer, 0); }

int StepHttpPost(int index) { return StepBodyTransfer(index, PostRequestBytes, 0, PostPieceBuffer, 1); }

int StepHttpHead(int index) {
    HttpDownloadSlot* slot = Slot(index);
    if (slot == nullptr) return -1;
    char line[HttpLineBytes];
    switch (slot->state) {
    case HttpStateSendRequest:
        if (SendRequest(index, slot, HeadRequestBytes) != 0) return 0;
        [[fallthrough]];
    case HttpStateStatusLine:
        if (!ReadStatusLine(index, slot, 0)) return 0;
        [[fallthrough]];
    case HttpStateHeaderLines: {
        if (ReadHttpLine(slot->connection, line) != 0) return 0;
        const int value = ParseHttpLineNumber(line);
        if (IsContentLengthLine(line)) {  // all a HEAD wants; any other line is skipped
            slot->contentLength = value;
            slot->state = HttpStateBody;
            FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
        }
        return 0;
    }
    case HttpStateBody: return FinishHttpDownload(index, HttpResultDone, HttpDetailNone);
    default: return 0;
    }
}
