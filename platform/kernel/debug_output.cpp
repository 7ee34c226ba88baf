#include "platform/kernel/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int DebugOutputEnabled() {
    static const int enabled = [] {
        const char* value = std::getenv("ZQ_DEBUG_OUTPUT");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void OutputDebugStringA(const char* text) {
    if (text != nullptr && DebugOutputEnabled()) {
        std::fputs(text, stderr);
    }
}
