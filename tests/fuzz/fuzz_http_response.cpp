// fuzz_http_response - the downloader on hostile responses: the input is what the
// server answers to a GET, POST or HEAD (chosen by the first byte), read into memory
// or a file, stepped until the download ends or can go no further.
#include <string>

#include "library/core/alloc.h"
#include "library/network/http.h"
#include "tests/fuzz/network_fuzz.h"
#include "tests/support/scratch_directory.h"

namespace {

// The connection of a running download.
const SocketRecord* Connection(int index) {
    const HttpDownloadSlot* slot = HttpDownloadStateRecord.slots[index];
    return slot != nullptr ? GetSocketRecord(slot->connection) : nullptr;
}

bool ConnectionClosed(int index) {
    const SocketRecord* record = Connection(index);
    return record == nullptr || !record->connected;
}

// The bytes of the response the download has not taken yet (-1 without a connection).
long UnreadBytes(int index) {
    const SocketRecord* record = Connection(index);
    unsigned long readable = 0;
    if (record == nullptr || ioctlsocket(record->socket, FIONREAD, &readable) != 0) return -1;
    return static_cast<long>(readable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    network_fuzz::SetUpOnce();
    if (size == 0) return 0;
    const int method = data[0] % 3;
    const bool toFile = (data[0] & 4) != 0;
    data++;
    size--;
    // The file a download to file writes, in a directory of its own (which goes when
    // the run ends): the file layer looks a missing name up in a listing of its
    // directory, and a busy temporary folder would be listed anew at every input.
    static const ScratchDirectory saveDirectory("zq-fuzz-http");
    static const std::string savePath = saveDirectory / "response";
    if (saveDirectory.path().empty()) std::abort();
    static const std::string url = "http://127.0.0.1:" + std::to_string(network_fuzz::ListenerPort) + "/f";
    void* body = nullptr;
    const int index = StartHttpDownload(method, url.c_str(), "post", 4, toFile ? savePath.c_str() : nullptr,
                                        toFile ? nullptr : &body, 0);
    if (index == -1) std::abort();  // the listener always takes the connection
    network_fuzz::ServeAndClose(data, size);
    // Every byte of the response is in the connection before the close comes, so once
    // the library has seen the close, a step that takes nothing leaves the download as
    // it stays for good (some responses keep it running until it is deleted).
    int result = HttpResultRunning;
    long unread = -1;
    const DWORD start = timeGetTime();
    while (!network_fuzz::StepsTimedOut(start)) {
        const bool closeSeen = ConnectionClosed(index);
        PumpNetWorkMessages(1);
        ProcessHttpDownloads();
        GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr);
        if (result != HttpResultRunning) break;
        const long now = UnreadBytes(index);
        if (closeSeen && now == unread) break;
        unread = now;
        Sleep(0);
    }
    DeleteHttpDownload(index);
    ZqFree(body);
    return 0;
}
