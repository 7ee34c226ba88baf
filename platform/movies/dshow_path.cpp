// dshow_path.cpp - the movie opener's file names, mapped onto the Linux file system by
// the kernel group's path rules (Shift-JIS names, both separators, "C:" as the root,
// case-insensitive lookup of a component that does not exist as written).
#include <sys/stat.h>

#include "platform/movies/dshow_internal.h"
#include "platform/kernel/kernel_paths.h"

bool ResolveMoviePath(const char* name, std::string* path) {
    if (!name || !*name) return false;
    if (MapToHostPath(name, false, path) != 0) return false;
    struct stat info;
    return stat(path->c_str(), &info) == 0;
}
