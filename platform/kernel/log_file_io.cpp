// File calls of the log over POSIX. See log_file_io.h.
#include "platform/kernel/log_file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/kernel/kernel_paths.h"

// The library path as a host path, by the kernel group's path rules; the log file
// itself may not exist yet.
static std::string LinuxPath(const char* path) {
    std::string host;
    if (MapToHostPath(path, true, &host) != 0) return std::string();
    return host;
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
