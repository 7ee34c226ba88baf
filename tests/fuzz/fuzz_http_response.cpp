// fuzz_http_response - the downloader on hostile responses: the input is what the
// server answers to a GET, POST or HEAD (chosen by the first byte), read into memory
// or a file, stepped until the download ends or a step budget runs out.
#include <unistd.h>

#include <string>

#include "library/core/alloc.h"
#include "library/network/http.h"
#include "tests/fuzz/network_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    network_fuzz::SetUpOnce();
    if (size == 0) return 0;
    const int method = data[0] % 3;
    const bool toFile = (data[0] & 4) != 0;
    data++;
    size--;
    static const std::string savePath = "/tmp/fuzz_http_response." + std::to_string(getpid());
    static const std::string url = "http://127.0.0.1:" + std::to_string(network_fuzz::ListenerPort) + "/f";
    void* body = nullptr;
    const int index = StartHttpDownload(method, url.c_str(), "post", 4, toFile ? savePath.c_str() : nullptr,
                                        toFile ? nullptr : &body, 0);
    if (index == -1) std::abort();  // the listener always takes the connection
    network_fuzz::ServeAndClose(data, size);
    int result = HttpResultRunning;
    for (int step = 0; step < 100 && result == HttpResultRunning; step++) {
        PumpNetWorkMessages(1);
        ProcessHttpDownloads();
        GetHttpDownloadStatus(index, &result, nullptr, nullptr, nullptr);
        if (step > 20) usleep(50);  // the close event comes from the socket layer's thread
    }
    DeleteHttpDownload(index);
    ZqFree(body);
    return 0;
}
