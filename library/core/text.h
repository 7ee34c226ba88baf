// text.h - Shift-JIS aware string helpers and number <-> text conversion.
//
// A byte 0x81-0x9F or 0xE0-0xFC starts a two-byte character (under the Korean code
// page 949 rule, any byte with the high bit set; see IsDoubleByteLead). Such a
// character is stepped over whole: never matched as a single byte, never
// upper-cased, never split by the bounded copies.
//
//     char name[16];
//     CopyTextBounded(name, sizeof(name), path);   // cut at a character boundary
//     const char* slash = FindLastCharInText(path, '\\');
#pragma once

#include <cstddef>

// Unbounded copies, for destinations known to be large enough.
char* CopyText(char* destination, const char* text);
char* AppendText(char* destination, const char* text);

// Bounded copies: at most capacity - 1 bytes, NUL-terminated, never ending in the
// first byte of a two-byte character. Capacity 0 writes nothing.
char* CopyTextBounded(char* destination, size_t capacity, const char* text);
char* AppendTextBounded(char* destination, size_t capacity, const char* text);

// Length of the longest prefix of at most `limit` bytes that does not split a
// two-byte character.
size_t TextPrefixLength(const char* text, size_t limit);

// First occurrence of `wanted`, byte-wise; an empty `wanted` gives the start.
const char* FindTextInText(const char* text, const char* wanted);
// First / last single-byte character equal to `byte`, stepping over two-byte ones.
const char* FindCharInText(const char* text, int byte);
const char* FindLastCharInText(const char* text, int byte);

// 0 equal, 1 different. CompareTextN compares exactly n bytes, NULs included.
int CompareText(const char* a, const char* b);
int CompareTextN(const char* a, const char* b, size_t n);

// a-z to A-Z in place; two-byte characters unchanged.
char* UpperCaseText(char* text);

// Skips bytes up to a digit or "-"; -1 at the end of the text. A "-" negates; a "-"
// with no digit after it gives 0. The value wraps modulo 2^32 on overflow.
int TextToInt(const char* text);

// Writes value in radix 2..36 (lower-case letters above 9), "-" first when negative;
// another radix is taken as 10. `out` needs 34 bytes for radix 2.
char* IntToText(int value, char* out, int radix);
