// kernel_files.h - files, directories, directory search and temporary files of the
// kernel group.
//
// The library's file calls, with the contract it was written against: handles that
// are INVALID_HANDLE_VALUE on failure, BOOL results, 32-bit sizes split into a low
// and a high word, FILETIMEs. Paths are in the library's form (kernel_paths.h):
// "\" or "/", "C:" for the root, any case, Shift-JIS names; ordinary Linux paths
// work as they are.
//
// Sharing is kept within the process: an open names the access it wants and the
// access it lets others have (FILE_SHARE_READ / FILE_SHARE_WRITE), and an open that
// clashes with an open handle of the same file fails with ERROR_SHARING_VIOLATION,
// as does deleting a file that is open. Other processes are not affected.
//
//     HANDLE file = CreateFileA("data\\img.png", GENERIC_READ, FILE_SHARE_READ, nullptr,
//                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
//     DWORD got = 0;
//     ReadFile(file, buffer, 64, &got, nullptr);
//     CloseHandle(file);       // platform/kernel/kernel.h
#pragma once

#include "platform/kernel/clock.h"  // SYSTEMTIME
#include "platform/kernel/last_error.h"  // the ERROR_* values of failed calls
#include "platform/wintypes.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

// One directory entry as a search returns it.
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

// Files. A directory cannot be opened as a file (ERROR_ACCESS_DENIED). File and
// find handles are kernel objects: CloseHandle (platform/kernel/kernel.h) closes them.
HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* bytesWritten, void* overlapped);
// Moves the file pointer; with a high word the distance is 64 bits. Returns the low
// word of the new position (the high word goes back through distanceHigh), or
// INVALID_SET_FILE_POINTER with ERROR_NEGATIVE_SEEK for a position before 0.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL DeleteFileA(const char* path);

// The current directory, in the library's form ("C:\home\user\game"). Returns the
// length without the terminator; when the buffer is too small, the size it needs
// (terminator included) and the buffer is left alone; 0 on failure.
DWORD GetCurrentDirectoryA(DWORD bufferSize, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);

// Directory search. The pattern is a directory path and a name pattern: "*" any
// run of characters, "?" one character, case ignored; "*.*" matches every name,
// a pattern ending in "." matches names without a full stop. "." and ".." are
// returned (except in the root), then the names in the order of their upper-case
// form, so a search is repeatable. Names that do not fit cFileName are skipped.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// The temporary directory ($TMPDIR, else /tmp) in the library's form with a
// trailing "\"; the same length rule as GetCurrentDirectoryA.
DWORD GetTempPathA(DWORD bufferSize, char* buffer);
// Creates a new, unique file "<prefix>XXXXXX.tmp" in the directory with mkstemp and
// returns it open for writing, without sharing; its full name (library form) goes
// to nameOut. INVALID_HANDLE_VALUE when the directory does not exist or the name
// does not fit (nothing is left behind).
HANDLE CreateTempFileA(const char* directory, const char* prefix, char* nameOut, DWORD nameSize);

// FILETIME (UTC) to local FILETIME (the local offset at that moment, TZ honoured),
// and FILETIME to calendar fields. Both fail for values above 0x7FFFFFFFFFFFFFFF.
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
