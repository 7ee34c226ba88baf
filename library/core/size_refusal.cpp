// size_refusal.cpp - the last refused size (see size_refusal.h).
#include "library/core/size_refusal.h"

namespace {

struct SizeRefusal {
    int noted;
    int64_t width, height;
};

SizeRefusal g_SizeRefusal;

}  // namespace

void ClearSizeRefusal(void) { g_SizeRefusal = SizeRefusal{}; }

void NoteSizeRefusal(int64_t width, int64_t height) { g_SizeRefusal = SizeRefusal{1, width, height}; }

int GetSizeRefusal(int64_t* width, int64_t* height) {
    if (!g_SizeRefusal.noted) return 0;
    if (width != nullptr) *width = g_SizeRefusal.width;
    if (height != nullptr) *height = g_SizeRefusal.height;
    return 1;
}
