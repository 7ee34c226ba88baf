// path.h - path helpers of the file layer: absolute paths, splitting, wildcards.
//
// Paths are Shift-JIS: a lead byte 0x81-0x9F or 0xE0-0xFC and the byte after it
// are one character, copied whole, never upper-cased and never taken for a
// separator (so the 0x5C trail byte of a character such as "表" is no "\").
// "\" and "/" both separate components. Every output names its capacity; a result
// that does not fit is refused (-1, empty output), never cut or overflowed.
//
//     char full[FilePathMax];
//     NormalizePathUpper("data\\..\\img.png", full, sizeof full);  // "C:\GAME\IMG.PNG"
//     MatchWildcard("IMG.PNG", "*.PNG");                           // 0: a match
#pragma once

#include <cstddef>

// Capacity of the file layer's own path buffers.
enum { FilePathMax = 1024 };

// The absolute, upper-cased path with "\" separators, based on the current
// directory: "\\x" starts a UNC path, "\x" takes the current drive, "D:x" and
// "D:\x" name the drive; "." is dropped and ".." removes a component (never the
// drive), except in the last component, which is kept as written. A null path
// gives the current directory. 0, or -1 when the current directory cannot be read
// or the result does not fit.
int NormalizePathUpper(const char* path, char* out, size_t outSize);

// The same with the case kept, based on baseDirectory (null: the file layer's
// current directory, FileBackendGetDir). A leading "\" or "/" takes the base's
// drive. 0, or -1 for an empty component (two separators in a row), an unreadable
// base or a result that does not fit.
int ConvertToFullPath(const char* path, char* out, size_t outSize, const char* baseDirectory);

// Splits at the last "\", "/" or ":" outside double-byte characters: the name
// behind it (the whole path when there is none) and the directory before it,
// without the separator (empty when there is none). Either output may be null.
// 0, or -1 when an output does not fit.
int SplitPathName(const char* path, char* name, size_t nameSize, char* directory, size_t directorySize);
// The same split, testing lead bytes with the font layer's IsLeadByteForCharset
// for Shift-JIS.
int SplitPathNameLeadAware(const char* path, char* name, size_t nameSize, char* directory, size_t directorySize);

// Matches a name against a pattern: a Shift-JIS pair must equal the name's next
// two bytes; "*" runs to the first occurrence of the pattern's next byte (no
// backtracking: "*.PNG" does not match "A.B.PNG") or, at the pattern's end, takes
// the rest; "?" takes one byte; any other byte must be equal (callers upper-case
// both sides). 0 on a match, -1 otherwise.
int MatchWildcard(const char* name, const char* pattern);
// The same for a name of known length that need not end with a NUL.
int MatchWildcardBytes(const char* name, size_t nameLength, const char* pattern);
