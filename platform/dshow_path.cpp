// dshow_path.cpp - the library's file names mapped onto the Linux file system for the
// movie opener: Shift-JIS names become UTF-8, '\' separates like '/', the drive "C:" is
// the root, and a component that does not exist as written is looked up without regard
// to case. A name that is already a plain Linux path works as it is.
#include <dirent.h>
#include <iconv.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "platform/dshow_internal.h"

namespace {

bool Cp932ToUtf8(const char* text, std::string* out) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    const size_t length = std::strlen(text);
    std::string result(length * 3 + 1, '\0');
    char* in = const_cast<char*>(text);
    size_t inLeft = length;
    char* outPtr = result.data();
    size_t outLeft = result.size();
    const bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return false;
    result.resize(result.size() - outLeft);
    *out = std::move(result);
    return true;
}

// Separators to '/', and "C:" (any case) to the root.
std::string MapSeparatorsAndDrive(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    if (name.size() >= 2 && (name[0] == 'C' || name[0] == 'c') && name[1] == ':') name.erase(0, 2);
    return name;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Finds the path, matching each missing component against its directory without case.
bool ResolveWithoutCase(const std::string& path, std::string* resolved) {
    if (path.empty()) return false;
    if (Exists(path)) {
        *resolved = path;
        return true;
    }
    std::string current = path[0] == '/' ? "" : ".";
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        std::string next = current + "/" + component;
        if (!Exists(next)) {
            DIR* dir = opendir(current.empty() ? "/" : current.c_str());
            if (!dir) return false;
            bool found = false;
            while (dirent* entry = readdir(dir)) {
                if (strcasecmp(entry->d_name, component.c_str()) == 0) {
                    next = current + "/" + entry->d_name;
                    found = true;
                    break;
                }
            }
            closedir(dir);
            if (!found) return false;
        }
        current = std::move(next);
    }
    *resolved = path[0] == '/' ? current : current.substr(2);   // drop the leading "./"
    return Exists(current);
}

}  // namespace

bool ResolveMoviePath(const char* name, std::string* path) {
    if (!name || !*name) return false;
    std::string utf8;
    if (Cp932ToUtf8(name, &utf8) && utf8 != name &&
        ResolveWithoutCase(MapSeparatorsAndDrive(utf8), path))
        return true;
    return ResolveWithoutCase(MapSeparatorsAndDrive(name), path);
}
