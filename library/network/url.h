// url.h - splitting and encoding URLs, and opening the connection of a download.
//
// Texts are NUL-terminated multibyte (Shift-JIS) strings; the searches step over the
// bytes of double-byte characters. Outputs are fixed buffers: host and file name
// UrlHostCapacity / UrlFileNameCapacity bytes, path UrlPathCapacity bytes. A part
// that does not fit its buffer makes the split fail (-1).
//
//     char host[UrlHostCapacity], path[UrlPathCapacity], file[UrlFileNameCapacity];
//     int port;
//     SplitUrl("http://example.test:8080/dir/", host, path, file, &port);
//     // host "example.test", path "/dir/", file "index.htm", port 8080
#pragma once

enum {
    UrlHostCapacity = 128,
    UrlPathCapacity = 256,
    UrlFileNameCapacity = 128,
    HttpDefaultPort = 80,
    UrlPortLimit = 65535,
};

// Host, path (from the first '/' after "//", else "/"), file name (after the last '/'
// of the path, "index.htm" when empty) and port (after ':' in the host; -1 when
// absent, 0 or less). Null outputs are skipped. 0, or -1 when the URL holds no "//"
// or its port is above 65535.
int SplitUrl(const char* url, char* host, char* path, char* fileName, int* port);
// What a request needs: with useProxy 1 and a proxy host set, host and port of the
// proxy and the absolute form "http://host[:port]/path" as path; otherwise the URL's
// host, its port (80 when absent) and its path. The path comes out percent-encoded.
int SplitHttpRequestUrl(const char* url, int useProxy, char* host, char* path, char* fileName, int* port);
// Percent-encodes `text` in place (mode 0: a path, keeping '/', ':' and '%'; mode 1: a
// component). A blank becomes '+'. With countOnly the text stays as it is. The length
// of the encoded text; the buffer must hold it (at most three times the original).
int EncodeUrlText(char* text, int mode, int countOnly);
// Splits the URL, resolves the host and opens a raw connection that the auto-close
// pass leaves alone. Null outputs are skipped; `address` gets 4 bytes. The handle, or -1.
int OpenHttpConnection(const char* url, int useProxy, unsigned char* address, char* host, char* path,
                       char* fileName, int* port);
