// kernel_paths.h - maps the library's path form onto the Linux file system.
//
// The library writes paths the way it always has: "\" or "/" between components,
// an optional drive letter, names compared without regard to case, Shift-JIS text.
// This part of the kernel group turns such a path into a host path:
//   - "C:" stands for the root "/"; "C:name" is relative to the current directory
//     (the only drive's current directory); other drive letters and UNC paths
//     ("\\server\share") do not exist;
//   - "." and ".." are resolved by text, as the library expects;
//   - each component is first taken as written; when that does not exist, the
//     directory is searched for a name that differs only in the case of A-Z;
//   - names are Shift-JIS on the library's side and UTF-8 on disk: a path that is
//     valid UTF-8 is taken as a host path as it is, any other path is read as
//     Shift-JIS (a trail byte 0x5C is never a separator) and its names converted.
// Ordinary Linux paths, absolute or relative, map onto themselves.
//
// Internal to the platform layer (kernel_files.cpp uses it); the library sees only
// the file calls of kernel_files.h.
#pragma once

#include <string>

#include "platform/wintypes.h"

// Resolves a library path into an absolute host path. When lastMayBeMissing is
// true, the last component need not exist (for creating files) and is taken as
// written. Returns 0, or the platform error code (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_BAD_NETPATH, ERROR_INVALID_NAME).
DWORD MapToHostPath(const char* path, bool lastMayBeMissing, std::string* hostPath);

// Splits a library path at its last separator (Shift-JIS aware for Shift-JIS
// paths): directory part (empty when none, "\" kept for a root) and last name.
void SplitLibraryPath(const char* path, std::string* directory, std::string* name);

// A host name or absolute host path in the library's form: UTF-8 names become
// Shift-JIS where they can, "/" becomes "C:\" and separators become "\".
std::string HostNameToLibrary(const std::string& hostName);
std::string HostPathToLibrary(const std::string& hostPath);

// Library (Shift-JIS) text compared without regard to the case of a-z; the two
// bytes of a Shift-JIS character compare exactly.
bool EqualNamesIgnoringCase(const std::string& a, const std::string& b);
