// window_instance_lock.cpp - the single-instance lock behind FindWindowA.
//
// Every top-level window holds an flock on "<class>.lock" in the user's runtime
// directory ($XDG_RUNTIME_DIR, or /tmp when it is unset), so a second copy of a
// program finds the first one's window by its class, while processes that run with
// runtime directories of their own (parallel tests) never see each other.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/window/window_internal.h"

static std::string LockPath(const std::string& className) {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (dir == nullptr || dir[0] == '\0' || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) dir = "/tmp";
    std::string name;
    for (unsigned char c : className) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_';
        if (plain) {
            name += static_cast<char>(c);
        } else {  // Shift-JIS bytes, separators and dots are spelt out
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            name += hex;
        }
    }
    return std::string(dir) + "/" + name + ".lock";
}

int TakeInstanceLock(const std::string& className) {
    int fd = open(LockPath(className).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void ReleaseInstanceLock(int fd) {
    if (fd >= 0) close(fd);  // closing drops the lock
}

bool IsClassLockedElsewhere(const std::string& className) {
    int fd = open(LockPath(className).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);  // also drops the probe's own lock
    return locked;
}
