// Bounded formatting. See format.h.
#include "library/core/format.h"

#include <cstdio>

#include "library/core/text.h"

int FormatTextV(char* buffer, size_t capacity, const char* format, va_list arguments) {
    if (capacity == 0) return 0;
    int length = std::vsnprintf(buffer, capacity, format, arguments);
    if (length < 0) {
        buffer[0] = '\0';
        return -1;
    }
    if (size_t(length) >= capacity) buffer[TextPrefixLength(buffer, capacity - 1)] = '\0';
    return length;
}

int FormatText(char* buffer, size_t capacity, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = FormatTextV(buffer, capacity, format, arguments);
    va_end(arguments);
    return length;
}
