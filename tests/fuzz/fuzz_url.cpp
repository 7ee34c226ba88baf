// fuzz_url - URL splitting and percent-encoding on hostile text, and the progress
// texts on arbitrary figures. Checks that encoding never writes past the grown text
// and that a component (mode 1, byte by byte) is counted exactly.
#include <cstdint>
#include <cstring>
#include <vector>

#include "library/network/http.h"
#include "library/network/progress_text.h"
#include "library/network/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    char host[UrlHostCapacity], path[UrlPathCapacity], fileName[UrlFileNameCapacity];
    int port;
    SplitUrl(text.data(), host, path, fileName, &port);
    SplitHttpRequestUrl(text.data(), 0, host, path, fileName, &port);
    SetHttpProxy(size > 3 ? "proxy.test" : "", 8080);
    SplitHttpRequestUrl(text.data(), 1, host, path, fileName, &port);
    SetHttpProxy("", 0);

    for (int mode = 0; mode <= 1; mode++) {
        // Room for the grown text and a guard beyond it.
        std::vector<char> grown(3 * size + 1 + 8, '\x5A');
        std::memcpy(grown.data(), text.data(), size + 1);
        const int counted = EncodeUrlText(grown.data(), mode, 1);
        const int length = EncodeUrlText(grown.data(), mode, 0);
        if (length < 0 || static_cast<size_t>(length) > 3 * size || std::strlen(grown.data()) > 3 * size) __builtin_trap();
        for (size_t i = 3 * size + 1; i < grown.size(); i++) {
            if (grown[i] != '\x5A') __builtin_trap();
        }
        if (mode == 1 && counted != length) __builtin_trap();
    }

    if (size >= 4) {
        int value;
        std::memcpy(&value, data, 4);
        char out[64];
        FormatByteSizeText(value, out);
        FormatRemainingTimeText(value, out);
    }
    return 0;
}
