// File calls of the log over POSIX. See log_file_io.h.
#include "platform/log_file_io.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

// The library path as a Linux path: the drive letter is the root, "\" separates
// (a 0x5C trail byte of a two-byte character does not), names are turned from
// Shift-JIS into UTF-8.
static std::string LinuxPath(const char* path) {
    std::string sjis;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    if (((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':') p += 2;
    while (*p != '\0') {
        bool lead = (*p >= 0x81 && *p <= 0x9F) || (*p >= 0xE0 && *p <= 0xFC);
        if (lead && p[1] != '\0') {
            sjis += char(p[0]);
            sjis += char(p[1]);
            p += 2;
            continue;
        }
        sjis += *p == '\\' ? '/' : char(*p);
        p++;
    }
    bool ascii = true;
    for (unsigned char c : sjis) ascii = ascii && c < 0x80;
    if (ascii) return sjis;

    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == (iconv_t)-1) return sjis;
    std::string utf8(sjis.size() * 3 + 1, '\0');
    char* in = sjis.data();
    size_t inLeft = sjis.size();
    char* out = utf8.data();
    size_t outLeft = utf8.size();
    size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == size_t(-1)) return sjis;
    utf8.resize(utf8.size() - outLeft);
    return utf8;
}

int RecreateLogFile(const char* path) {
    std::string native = LinuxPath(path);
    unlink(native.c_str());
    int descriptor = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) return -1;
    close(descriptor);
    return 0;
}

int OpenLogFileForAppend(const char* path) {
    std::string native = LinuxPath(path);
    return open(native.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

int WriteLogFileBytes(int descriptor, const void* bytes, size_t count) {
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        ssize_t written = write(descriptor, p, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        p += written;
        count -= size_t(written);
    }
    return 0;
}

void CloseLogFile(int descriptor) {
    if (descriptor >= 0) close(descriptor);
}
