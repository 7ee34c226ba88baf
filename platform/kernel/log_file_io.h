// log_file_io.h - the few file calls the library's log needs: create a file anew,
// append to it. Paths are the library's (Shift-JIS, "\" or "/", an optional drive
// letter standing for the root); ordinary Linux paths work as they are.
//
// The log appends with one open / write / close per text, like the log itself does,
// so a crash loses nothing that was logged.
#pragma once

#include <cstddef>

// Deletes any file of that name, then creates it empty. 0 on success, -1 on failure.
int RecreateLogFile(const char* path);

// Opens the file for appending, creating it when missing: a descriptor, or -1.
int OpenLogFileForAppend(const char* path);
// Writes all bytes; 0 on success, -1 on failure.
int WriteLogFileBytes(int descriptor, const void* bytes, size_t count);
void CloseLogFile(int descriptor);
