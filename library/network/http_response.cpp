// Requests and response lines of the downloader: the three request texts, taking one
// line off the connection, and the number in a status or Content-Length line.
#include <cstring>

#include "library/core/format.h"
#include "library/core/text.h"
#include "library/network/http.h"

int FormatHttpRequest(const HttpDownloadSlot* slot, char* out, int capacity) {
    int length;
    switch (slot->method) {
    case HttpMethodGet:
        // CR LF line ends, and the server is asked to close the connection after the body.
        length = FormatText(out, capacity, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n", slot->path,
                            slot->host, slot->port);
        break;
    case HttpMethodPost:
        length = FormatText(out, capacity, "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n", slot->path,
                            slot->host, slot->port, slot->postDataLength);
        break;
    case HttpMethodHead: length = FormatText(out, capacity, "HEAD %s HTTP/1.0\n\n", slot->path); break;
    default: return -1;
    }
    return length >= 0 && length < capacity ? length : -1;
}

int ReadHttpLine(int connection, char* out) {
    char scratch[HttpLineBytes];
    std::memset(scratch, 0, HttpLineBytes - 1);
    const int n = NetWorkRecvToPeek(connection, scratch, HttpLineBytes - 1);
    if (n <= 0) return -1;
    scratch[n] = '\0';
    char* lineFeed = const_cast<char*>(FindCharInText(scratch, '\n'));
    if (lineFeed == nullptr) return -1;
    *lineFeed = '\0';
    CopyText(out, scratch);
    NetWorkRecv(connection, scratch, static_cast<int>(lineFeed - scratch) + 1);
    return 0;
}

int ParseHttpLineNumber(const char* line) {
    const char* blank = FindCharInText(line, ' ');
    return blank != nullptr ? TextToInt(blank) : -1;
}
