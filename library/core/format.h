// format.h - printf-style formatting into a fixed buffer.
//
// Bounded: at most capacity - 1 bytes are written and the text is cut at a character
// boundary, never inside a two-byte character. Returns the formatted length before
// cutting (as vsnprintf), or -1 on a format error (the buffer then holds "").
//
//     char line[1024];
//     FormatText(line, sizeof(line), "ReturnValue:%d", result);
#pragma once

#include <cstdarg>
#include <cstddef>

int FormatTextV(char* buffer, size_t capacity, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));
int FormatText(char* buffer, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
