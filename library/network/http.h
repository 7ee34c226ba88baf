// http.h - the HTTP/1.0 downloader: up to 100 GET, POST or HEAD transfers at once,
// each moved one step per call of the message pump (ProcessHttpDownloads) and never
// waiting: send the request (a POST body as the socket takes it), read the status
// line, one header line per step, then the body into a file or a memory block; one
// step moves at most HttpStepBytes of either. A finished download keeps its result
// until it is deleted.
//
//     void* body = nullptr;
//     int d = StartHttpDownload(HttpMethodGet, "http://127.0.0.1:8080/a.txt", nullptr, 0, nullptr, &body, 0);
//     int result, detail, received, length;
//     do { ProcessMessage(); GetHttpDownloadStatus(d, &result, &detail, &received, &length); }
//     while (result == HttpResultRunning);
//     ... body holds `received` bytes (a tracked block: ZqFree it) ...
//     DeleteHttpDownload(d);
#pragma once

#include <cstdint>

#include "library/network/network.h"
#include "library/network/url.h"
#include "platform/wintypes.h"

enum HttpMethod { HttpMethodGet = 0, HttpMethodPost = 1, HttpMethodHead = 2 };

enum HttpTransferState {
    HttpStateSendRequest = 0,
    HttpStateStatusLine = 1,
    HttpStateHeaderLines = 2,
    HttpStateBody = 3,
    HttpStateDone = 4,
};

enum HttpDownloadResult { HttpResultRunning = -1, HttpResultDone = 0, HttpResultFailed = 2 };

enum HttpFailureDetail {
    HttpDetailNone = -1,
    HttpDetailBadStatus = 0,
    HttpDetailNotFound = 1,
    HttpDetailNoMemory = 2,     // no room for the body: its memory block, or writing its file failed
    HttpDetailDisconnected = 3,
};

enum {
    HttpSlotCount = 100,
    HttpSlotHostCapacity = 128,
    HttpSlotPathCapacity = 256,
    HttpBodyPieceBytes = 4096,
    HttpStepBytes = 0x40000,    // the most one step moves of a body (256 KiB: a few ms at most)
    HttpLineBytes = 256,        // a response line is taken when its line feed is among the first 255 bytes
    HttpMemoryBodyLimit = 0x10000000,  // a longer Content-Length for a memory body is refused (256 MiB)
};

struct HttpDownloadSlot {
    int32_t method;         // HttpMethod
    int32_t state;          // HttpTransferState
    int32_t result;         // HttpDownloadResult
    int32_t detail;         // HttpFailureDetail
    int32_t connection;     // NetWorkHandle, -1 when none
    int32_t toMemory;       // 1: the body goes to *memoryHolder
    HANDLE file;            // the body's file, open for writing; null when none
    void** memoryHolder;    // the caller's pointer that receives the body block
    int32_t contentLength;  // -1 until a "Content-Length:" header
    int32_t received;
    char host[HttpSlotHostCapacity];
    char path[HttpSlotPathCapacity];
    void* postData;         // tracked block owned by the slot
    int32_t postDataLength;
    int32_t port;
    int32_t requestSent;    // bytes of the request text and the POST data sent so far
};

struct HttpDownloadState {
    HttpDownloadSlot* slots[HttpSlotCount];
    int32_t liveCount;
    char proxyHost[256];    // empty: no proxy
    int32_t proxyPort;
};

extern HttpDownloadState HttpDownloadStateRecord;

int AllocHttpDownloadSlot(void);                      // index 0..99, or -1
int FreeHttpDownloadSlot(int index);                  // 0
// Closes the connection and the file, frees the POST data, sets result and detail
// unless set already, and frees the memory body of a failed download. 0, or -1.
int FinishHttpDownload(int index, int result, int detail);
// A download whose connection broke (a reset, an abort, a send that failed, the
// handle gone): a log line, then result 2, detail 3. 0, or -1 for an empty slot.
int FailLostHttpDownload(int index);
int DeleteHttpDownload(int index);                    // 0, or -1 (a running download ends as done)
int DeleteAllHttpDownloads(void);                     // 0
int StepHttpDownload(int index);                      // 0, or -1 for an empty slot
int StepHttpGet(int index);
int StepHttpPost(int index);
int StepHttpHead(int index);
// Takes one response line (without its line feed; a carriage return stays) into
// `out` (at least HttpLineBytes). 0, or -1 when no complete line is there yet.
int ReadHttpLine(int connection, char* out);
// The number after the line's first blank, or -1.
int ParseHttpLineNumber(const char* line);
// The request text of the slot's method into `out`; its length, or -1 when it does
// not fit (GET needs at most 512 bytes, POST and HEAD 256).
int FormatHttpRequest(const HttpDownloadSlot* slot, char* out, int capacity);

// ---- Starting downloads and reading their state ------------------------------------------
// These, SetHttpProxy, ProcessHttpDownloads, DeleteAllHttpDownloads and the URL
// routines of url.h take the ApiLock themselves, so a game may call them from any
// thread while the message-pump thread steps the downloads. The slot and step
// routines above are the pump's and expect the lock held.
// Starts a transfer of `url` (http://host[:port]/path). The body goes to the file
// `savePath` (created anew) when given, else into a tracked block put in *memoryHolder
// once the Content-Length header arrives; HEAD needs neither. POST sends `postData`
// (copied). useProxy 1 goes through the proxy of SetHttpProxy when one is set. The
// download's index, or -1.
int StartHttpDownload(int method, const char* url, const void* postData, int postDataLength, const char* savePath,
                      void** memoryHolder, int useProxy);
// The result (HttpDownloadResult), the failure detail, the body bytes taken so far
// and the Content-Length (-1 unknown) of a download. Null outputs are skipped. 0, or
// -1 for an empty slot.
int GetHttpDownloadStatus(int index, int* result, int* detail, int* received, int* contentLength);
// The proxy later downloads with useProxy 1 go through; an empty or null host: none.
int SetHttpProxy(const char* host, int port);
