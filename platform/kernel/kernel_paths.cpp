// kernel_paths.cpp - library paths (drive letter, "\" or "/", any case, Shift-JIS)
// onto host paths (UTF-8, exact case).
#include "platform/kernel/kernel_paths.h"

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/kernel/kernel_files.h"

namespace {

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasHighBytes(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return true;
    }
    return false;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        unsigned char c = *p;
        int extra;
        unsigned int value;
        if (c < 0x80) {
            p++;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        for (int i = 1; i <= extra; i++) {
            if ((p[i] & 0xC0) != 0x80) return false;
            value = (value << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (extra == 3 && (value < 0x10000 || value > 0x10FFFF))) {
            return false;
        }
        p += extra + 1;
    }
    return true;
}

// Converts text between two encodings; false when any byte does not convert.
bool ConvertText(const char* to, const char* from, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string result(in.size() * 4 + 4, '\0');
    char* source = const_cast<char*>(in.data());
    size_t sourceLeft = in.size();
    char* dest = result.data();
    size_t destLeft = result.size();
    size_t done = iconv(cd, &source, &sourceLeft, &dest, &destLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || sourceLeft != 0) return false;
    result.resize(result.size() - destLeft);
    *out = result;
    return true;
}

// A library name (Shift-JIS) as it would be written on disk.
std::string LibraryNameToHost(const std::string& name) {
    std::string host;
    if (HasHighBytes(name) && ConvertText("UTF-8", "CP932", name, &host)) return host;
    return name;
}

// A host name with a-z folded to A-Z; every other byte as it is. (Non-ASCII bytes
// of UTF-8 are all 0x80 and above, so folding never touches them.)
std::string FoldHostName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// The names of one directory by their folded form; of several names that fold
// alike the smallest is kept, so the choice never depends on the directory order.
struct DirectoryListing {
    dev_t device;
    ino_t inode;
    struct timespec modified;
    std::unordered_map<std::string, std::string> byFoldedName;
};

std::mutex g_listingMutex;
std::unordered_map<std::string, DirectoryListing> g_listings;  // by host path
constexpr size_t kListingLimit = 256;

bool ReadListing(const std::string& directory, DirectoryListing* listing) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        auto [slot, added] = listing->byFoldedName.try_emplace(FoldHostName(name), name);
        if (!added && name < slot->second) slot->second = name;
    }
    closedir(dir);
    return true;
}

// Looks a name up without regard to case. Listings are kept while the directory's
// modification time stays the same, but only for directories that had not changed
// for two seconds when they were read: a change within the file system's time
// stamp granularity would not move the time compared against.
bool FindIgnoringCase(const std::string& directory, const std::vector<std::string>& candidates, std::string* found) {
    struct stat info;
    if (stat(directory.c_str(), &info) != 0) return false;
    std::lock_guard<std::mutex> lock(g_listingMutex);
    auto cached = g_listings.find(directory);
    DirectoryListing fresh;
    const DirectoryListing* listing;
    if (cached != g_listings.end() && cached->second.device == info.st_dev && cached->second.inode == info.st_ino &&
        cached->second.modified.tv_sec == info.st_mtim.tv_sec && cached->second.modified.tv_nsec == info.st_mtim.tv_nsec) {
        listing = &cached->second;
    } else {
        fresh = {info.st_dev, info.st_ino, info.st_mtim, {}};
        if (!ReadListing(directory, &fresh)) return false;
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec - info.st_mtim.tv_sec >= 2) {
            if (g_listings.size() >= kListingLimit) g_listings.clear();
            listing = &(g_listings[directory] = std::move(fresh));
        } else {
            listing = &fresh;
        }
    }
    bool matched = false;
    for (const std::string& candidate : candidates) {
        auto entry = listing->byFoldedName.find(FoldHostName(candidate));
        if (entry != listing->byFoldedName.end() && (!matched || entry->second < *found)) {
            *found = entry->second;
            matched = true;
        }
    }
    return matched;
}

bool Exists(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0;
}

std::string JoinHost(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

// Finds the name in the host directory: as written first, then without regard to
// case. Among several case-insensitive matches the smallest name wins, so the
// choice does not depend on the order of the directory.
bool LookUpName(const std::string& directory, const std::vector<std::string>& candidates,
                std::string* found) {
    for (const std::string& candidate : candidates) {
        if (Exists(JoinHost(directory, candidate))) {
            *found = candidate;
            return true;
        }
    }
    return FindIgnoringCase(directory, candidates, found);
}

// Splits the part of a path behind its root into components.
std::vector<std::string> SplitComponents(const char* text, bool shiftJis) {
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = text; *p != 0; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (shiftJis && IsSjisLead(c) && p[1] != 0) {
            current += *p;
            current += *++p;
        } else if (IsSeparator(*p)) {
            parts.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    parts.push_back(current);
    return parts;
}

}  // namespace

DWORD MapToHostPath(const char* path, bool lastMayBeMissing, std::string* hostPath) {
    if (path == nullptr || path[0] == 0) return ERROR_PATH_NOT_FOUND;
    const bool shiftJis = !IsValidUtf8(path);
    const char* rest = path;
    bool absolute = false;
    if (IsSeparator(rest[0]) && IsSeparator(rest[1])) return ERROR_BAD_NETPATH;
    if (((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z')) && rest[1] == ':') {
        if (rest[0] != 'C' && rest[0] != 'c') return ERROR_PATH_NOT_FOUND;
        rest += 2;
    }
    if (IsSeparator(rest[0])) {
        absolute = true;
        rest++;
    }

    // Each component: its name on disk, and whether it is already known to exist.
    struct Component {
        std::string name;
        std::string libraryName;
        bool known;
    };
    std::vector<Component> components;
    if (!absolute) {
        char* cwd = getcwd(nullptr, 0);
        if (cwd == nullptr) return ERROR_PATH_NOT_FOUND;
        for (const std::string& part : SplitComponents(cwd + 1, false)) {
            if (!part.empty()) components.push_back({part, part, true});
        }
        free(cwd);
    }
    std::vector<std::string> parts = SplitComponents(rest, shiftJis);
    for (const std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        components.push_back({shiftJis ? LibraryNameToHost(part) : part, part, false});
    }

    // Quick path: everything exists as written.
    std::string direct = "/";
    for (const Component& component : components) direct = JoinHost(direct, component.name);
    if (Exists(direct)) {
        *hostPath = direct;
        return 0;
    }

    std::string resolved = "/";
    for (size_t i = 0; i < components.size(); i++) {
        const Component& component = components[i];
        const bool last = i + 1 == components.size();
        if (component.name.size() > 255) return ERROR_INVALID_NAME;
        std::string found;
        std::vector<std::string> candidates = {component.name};
        if (component.libraryName != component.name) candidates.push_back(component.libraryName);
        if (component.known || LookUpName(resolved, candidates, &found)) {
            resolved = JoinHost(resolved, component.known ? component.name : found);
        } else if (last && lastMayBeMissing) {
            resolved = JoinHost(resolved, component.name);
        } else {
            return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
    }
    *hostPath = resolved;
    return 0;
}

void SplitLibraryPath(const char* path, std::string* directory, std::string* name) {
    const bool shiftJis = !IsValidUtf8(path);
    size_t last = std::string::npos;
    for (size_t i = 0; path[i] != 0; i++) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (shiftJis && IsSjisLead(c) && path[i + 1] != 0) {
            i++;
        } else if (IsSeparator(path[i]) || (i == 1 && path[i] == ':')) {
            last = i;
        }
    }
    if (last == std::string::npos) {
        directory->clear();
        *name = path;
        return;
    }
    *name = path + last + 1;
    // Keep the separator when it is the root ("\x", "C:\x") or the drive's colon.
    bool keep = last == 0 || path[last] == ':' || (last == 2 && path[1] == ':');
    directory->assign(path, keep ? last + 1 : last);
}

std::string HostNameToLibrary(const std::string& hostName) {
    std::string library;
    if (HasHighBytes(hostName) && IsValidUtf8(hostName.c_str()) &&
        ConvertText("CP932", "UTF-8", hostName, &library)) {
        return library;
    }
    return hostName;
}

std::string HostPathToLibrary(const std::string& hostPath) {
    std::string library = "C:";
    for (const std::string& part : SplitComponents(hostPath.c_str(), false)) {
        if (part.empty()) continue;
        library += '\\';
        library += HostNameToLibrary(part);
    }
    if (library.size() == 2) library += '\\';
    return library;
}

bool EqualNamesIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (IsSjisLead(x) && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1]) return false;
            i++;
            continue;
        }
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}
