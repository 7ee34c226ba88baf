// path.cpp - absolute paths, splitting and wildcard matching, Shift-JIS aware.
#include "library/file/path.h"

#include <cstring>

#include "library/core/text.h"
#include "library/file/file_backend.h"
#include "library/font/font.h"
#include "platform/kernel/kernel_files.h"

namespace {

bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// An output path under construction; `overflow` once something did not fit.
struct PathOut {
    char* text;
    size_t size;
    size_t length;
    bool overflow;
};

void Append(PathOut* out, const char* bytes, size_t count) {
    if (out->overflow || out->length + count + 1 > out->size) {
        out->overflow = true;
        return;
    }
    std::memcpy(out->text + out->length, bytes, count);
    out->length += count;
    out->text[out->length] = 0;
}

void Truncate(PathOut* out, size_t length) {
    out->length = length;
    out->text[length] = 0;
}

// ".." takes the result back to its last "\", "/" or ":", but never removes a drive.
void DropLastComponent(PathOut* out) {
    size_t last = out->length;
    for (size_t i = 0; i < out->length; i++) {
        if (IsShiftJisLead(static_cast<unsigned char>(out->text[i])) && i + 1 < out->length) {
            i++;
        } else if (IsSeparator(out->text[i]) || out->text[i] == ':') {
            last = i;
        }
    }
    if (last != out->length && out->text[last] != ':') Truncate(out, last);
}

// Appends the components of `path`: "." dropped, ".." removing one, the last one
// (ended by the NUL) kept as written. An empty component is skipped, or refused
// when emptyIsError. Components are upper-cased when asked.
int AppendComponents(PathOut* out, const char* path, bool upper, bool emptyIsError) {
    const char* p = path;
    for (;;) {
        const char* start = p;
        while (*p != 0 && !IsSeparator(*p)) p += IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != 0 ? 2 : 1;
        const size_t length = static_cast<size_t>(p - start);
        const bool last = *p == 0;
        if (length == 0) {
            if (last) return 0;
            if (emptyIsError) return -1;
        } else if (!last && length == 1 && start[0] == '.') {
            // dropped
        } else if (!last && length == 2 && start[0] == '.' && start[1] == '.') {
            DropLastComponent(out);
        } else {
            const size_t at = out->length;
            Append(out, "\\", 1);
            Append(out, start, length);
            if (upper && !out->overflow) UpperCaseText(out->text + at);
        }
        if (last) return 0;
        p++;
    }
}

int Finish(PathOut* out, int result) {
    if (result != 0 || out->overflow) {
        if (out->size > 0) out->text[0] = 0;
        return -1;
    }
    return 0;
}

int SplitPathNameWith(const char* path, char* name, size_t nameSize, char* directory, size_t directorySize,
                      bool (*isLead)(const char*)) {
    size_t last = static_cast<size_t>(-1);
    size_t length = 0;
    while (path[length] != 0) {
        if (isLead(path + length) && path[length + 1] != 0) {
            length += 2;
            continue;
        }
        if (IsSeparator(path[length]) || path[length] == ':') last = length;
        length++;
    }
    const size_t nameStart = last == static_cast<size_t>(-1) ? 0 : last + 1;
    const size_t directoryLength = last == static_cast<size_t>(-1) ? 0 : last;
    if ((name != nullptr && length - nameStart + 1 > nameSize) ||
        (directory != nullptr && directoryLength + 1 > directorySize)) {
        if (name != nullptr && nameSize > 0) name[0] = 0;
        if (directory != nullptr && directorySize > 0) directory[0] = 0;
        return -1;
    }
    if (name != nullptr) std::memcpy(name, path + nameStart, length - nameStart + 1);
    if (directory != nullptr) {
        std::memcpy(directory, path, directoryLength);
        directory[directoryLength] = 0;
    }
    return 0;
}

bool IsShiftJisLeadAt(const char* text) { return IsShiftJisLead(static_cast<unsigned char>(*text)); }

bool IsLeadByFontLayer(const char* text) { return IsLeadByteForCharset(text, FontCharsetShiftJIS) != 0; }

}  // namespace

int NormalizePathUpper(const char* path, char* out, size_t outSize) {
    PathOut result = {out, outSize, 0, false};
    if (outSize == 0) return -1;
    out[0] = 0;
    char base[FilePathMax];
    DWORD baseLength = GetCurrentDirectoryA(sizeof base, base);
    if (baseLength == 0 || baseLength >= sizeof base) return Finish(&result, -1);
    UpperCaseText(base);
    if (path == nullptr) {
        Append(&result, base, baseLength);
        return Finish(&result, 0);
    }
    const char* rest = path;
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        Append(&result, "\\", 1);
        rest = path + 2;
    } else if (IsSeparator(path[0])) {
        Append(&result, base, baseLength < 2 ? baseLength : 2);
        rest = path + 1;
    } else if (path[0] != 0 && path[1] == ':') {
        char drive[2] = {path[0], ':'};
        if (drive[0] >= 'a' && drive[0] <= 'z') drive[0] = static_cast<char>(drive[0] - 'a' + 'A');
        Append(&result, drive, 2);
        rest = path + (path[2] == '\\' ? 3 : 2);
    } else {
        Append(&result, base, baseLength > 0 && IsSeparator(base[baseLength - 1]) ? baseLength - 1 : baseLength);
    }
    return Finish(&result, AppendComponents(&result, rest, true, false));
}

int ConvertToFullPath(const char* path, char* out, size_t outSize, const char* baseDirectory) {
    PathOut result = {out, outSize, 0, false};
    if (outSize == 0) return -1;
    out[0] = 0;
    char current[FilePathMax];
    const char* base = baseDirectory;
    if (base == nullptr) {
        if (FileBackendGetDir(current, sizeof current) != 0) return Finish(&result, -1);
        base = current;
    }
    const size_t baseLength = std::strlen(base);
    if (path == nullptr) {
        Append(&result, base, baseLength);
        return Finish(&result, 0);
    }
    const char* rest = path;
    if (IsSeparator(path[0])) {
        Append(&result, base, baseLength < 2 ? baseLength : 2);
        rest = path + 1;
    } else if (path[0] != 0 && path[1] == ':') {
        Append(&result, path, 2);
        rest = path + (path[2] == '\\' ? 3 : 2);
    } else {
        Append(&result, base, baseLength > 0 && IsSeparator(base[baseLength - 1]) ? baseLength - 1 : baseLength);
    }
    return Finish(&result, AppendComponents(&result, rest, false, true));
}

int SplitPathName(const char* path, char* name, size_t nameSize, char* directory, size_t directorySize) {
    return SplitPathNameWith(path, name, nameSize, directory, directorySize, IsShiftJisLeadAt);
}

int SplitPathNameLeadAware(const char* path, char* name, size_t nameSize, char* directory, size_t directorySize) {
    return SplitPathNameWith(path, name, nameSize, directory, directorySize, IsLeadByFontLayer);
}

int MatchWildcardBytes(const char* name, size_t nameLength, const char* pattern) {
    size_t n = 0;
    const char* p = pattern;
    while (*p != 0 || n < nameLength) {
        if (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != 0) {
            if (n + 2 > nameLength || name[n] != p[0] || name[n + 1] != p[1]) return -1;
            p += 2;
            n += 2;
        } else if (*p == '*') {
            while (*p == '*') p++;
            if (*p == 0) return 0;
            // Run to the first occurrence of the next pattern byte, without backtracking.
            while (n < nameLength && name[n] != *p) {
                n += IsShiftJisLead(static_cast<unsigned char>(name[n])) && n + 1 < nameLength ? 2 : 1;
            }
            if (n >= nameLength) return -1;
            continue;  // the next step compares that byte (or pair) and passes it
        } else if (*p == '?') {
            if (n >= nameLength) return -1;
            p++;
            n++;
        } else {
            if (n >= nameLength || name[n] != *p) return -1;
            p++;
            n++;
        }
        if ((*p == 0) != (n >= nameLength)) return -1;
    }
    return 0;
}

int MatchWildcard(const char* name, const char* pattern) { return MatchWildcardBytes(name, std::strlen(name), pattern); }
