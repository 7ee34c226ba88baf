// Splitting and percent-encoding URLs. See url.h.
#include "library/network/url.h"

#include <cstring>

#include "library/core/apilock.h"
#include "library/core/format.h"
#include "library/core/memory_bytes.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/font/font.h"
#include "library/network/http.h"

static const char HexDigits[] = "0123456789ABCDEF";
static const char DefaultFileName[] = "index.htm";

// Copies `length` bytes and a NUL when they fit in `capacity`; 0, or -1.
static int CopyPart(char* destination, size_t capacity, const char* source, size_t length) {
    if (length >= capacity) return -1;
    std::memcpy(destination, source, length);
    destination[length] = '\0';
    return 0;
}

// The port after a host's ':' as TextToInt reads it (from the first digit or minus
// sign), -1 when it is 0 or less; a number above 65535 is refused (-1) rather than
// wrapped into another port.
static int ReadUrlPort(const char* text, int* port) {
    const char* digits = text;
    while (*digits != '\0' && *digits != '-' && !(*digits >= '0' && *digits <= '9')) digits++;
    if (*digits == '-' || *digits == '\0') {
        *port = -1;
        return 0;
    }
    int value = 0;
    for (; *digits >= '0' && *digits <= '9'; digits++) {
        value = value * 10 + (*digits - '0');
        if (value > UrlPortLimit) return -1;
    }
    *port = value > 0 ? value : -1;
    return 0;
}

int SplitUrl(const char* url, char* host, char* path, char* fileName, int* port) {
    char hostScratch[UrlHostCapacity], pathScratch[UrlPathCapacity], fileScratch[UrlFileNameCapacity];
    int portScratch;
    if (host == nullptr) host = hostScratch;
    if (path == nullptr) path = pathScratch;
    if (fileName == nullptr) fileName = fileScratch;
    if (port == nullptr) port = &portScratch;
    if (url == nullptr) return -1;

    const char* slashes = FindTextInText(url, "//");
    if (slashes == nullptr) return -1;
    const char* hostStart = slashes + 2;
    const char* pathStart = FindCharInText(hostStart, '/');
    if (pathStart == nullptr) {
        if (CopyPart(host, UrlHostCapacity, hostStart, std::strlen(hostStart)) != 0) return -1;
        CopyText(path, "/");
    } else {
        if (CopyPart(host, UrlHostCapacity, hostStart, static_cast<size_t>(pathStart - hostStart)) != 0 ||
            CopyPart(path, UrlPathCapacity, pathStart, std::strlen(pathStart)) != 0) {
            return -1;
        }
    }

    *port = -1;
    if (char* colon = const_cast<char*>(FindCharInText(host, ':'))) {
        if (ReadUrlPort(colon + 1, port) != 0) return -1;
        *colon = '\0';
    }

    const char* name = FindLastCharInText(path, '/') + 1;  // the path always holds a '/'
    if (*name == '\0') name = DefaultFileName;
    return CopyPart(fileName, UrlFileNameCapacity, name, std::strlen(name));
}

static bool KeptAsIs(unsigned char c, int mode) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (c == '.' || c == '_' || c == '-' || c == '*') return true;
    return mode == 0 && (c == '/' || c == ':' || c == '%');
}

static void WriteEscape(char* at, unsigned char c) {
    at[0] = '%';
    at[1] = HexDigits[c >> 4];
    at[2] = HexDigits[c & 15];
}

static int LibraryCharsetKind(void) {
    const int rule = SystemStateRecord.mode.doubleByteRule;
    return rule == 0 ? FontCharsetShiftJIS : rule;
}

static int EncodeUrlTextLocked(char* text, int mode, int countOnly) {
    int length = 0;
    const int charset = LibraryCharsetKind();
    char* p = text;
    while (*p != '\0') {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == ' ') {
            if (!countOnly) *p = '+';
            p++;
            length++;
        } else if (KeptAsIs(c, mode)) {
            p++;
            length++;
        } else if (countOnly) {
            p++;
            length += 3;
        } else if (mode == 0 && IsLeadByteForCharset(p, charset) && p[1] != '\0') {
            const unsigned char trail = static_cast<unsigned char>(p[1]);
            MoveMemoryBytes(p + 6, p + 2, std::strlen(p + 2) + 1);
            WriteEscape(p, c);
            WriteEscape(p + 3, trail);
            p += 6;
            length += 6;
        } else {
            MoveMemoryBytes(p + 3, p + 1, std::strlen(p + 1) + 1);
            WriteEscape(p, c);
            p += 3;
            length += 3;
        }
    }
    return length;
}

// The double-byte rule is a library setting: read it under the lock.
int EncodeUrlText(char* text, int mode, int countOnly) {
    EnterApiLock();
    const int length = EncodeUrlTextLocked(text, mode, countOnly);
    LeaveApiLock();
    return length;
}

// Encodes a path in place within UrlPathCapacity bytes; 0, or -1 when it would not fit.
static int EncodePathBounded(char* path) {
    char grown[UrlPathCapacity * 3];  // every byte grows to at most three
    CopyTextBounded(grown, sizeof grown, path);
    const int length = EncodeUrlText(grown, 0, 0);
    return CopyPart(path, UrlPathCapacity, grown, static_cast<size_t>(length));
}

static int SplitHttpRequestUrlLocked(const char* url, int useProxy, char* host, char* path, char* fileName,
                                     int* port) {
    char hostScratch[UrlHostCapacity], pathScratch[UrlPathCapacity];
    int portScratch;
    if (host == nullptr) host = hostScratch;
    if (path == nullptr) path = pathScratch;
    if (port == nullptr) port = &portScratch;
    host[0] = '\0';

    const HttpDownloadState& http = HttpDownloadStateRecord;
    if (useProxy == 1) {
        char ownPath[UrlPathCapacity];
        int ownPort;
        if (SplitUrl(url, host, ownPath, fileName, &ownPort) != 0 || EncodePathBounded(ownPath) != 0) return -1;
        char portText[16] = "";
        if (ownPort != -1) FormatText(portText, sizeof portText, ":%d", ownPort);
        if (FormatText(path, UrlPathCapacity, "http://%s%s%s", host, portText, ownPath) >= UrlPathCapacity) return -1;
        if (CopyPart(host, UrlHostCapacity, http.proxyHost, std::strlen(http.proxyHost)) != 0) return -1;
        *port = http.proxyPort;
    }
    if (host[0] == '\0') {
        if (SplitUrl(url, host, path, fileName, port) != 0) return -1;
        if (*port == -1) *port = HttpDefaultPort;
        if (EncodePathBounded(path) != 0) return -1;
    }
    return 0;
}

// The proxy settings are read under the lock.
int SplitHttpRequestUrl(const char* url, int useProxy, char* host, char* path, char* fileName, int* port) {
    EnterApiLock();
    const int result = SplitHttpRequestUrlLocked(url, useProxy, host, path, fileName, port);
    LeaveApiLock();
    return result;
}
