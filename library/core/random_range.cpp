// The mapping of a random word onto GetRandomInt's range. Kept apart from the generator
// so the game's rule tests can draw their rows through the library's own mapping.
#include "library/core/random.h"

int MapRandomToRange(uint32_t r, int n) {
    // 64-bit throughout: |INT_MIN| + 1 values still fit, and r * (|n| + 1) < 2^64.
    const int64_t low = n < 0 ? int64_t(n) : 0;
    const uint64_t count = uint64_t(n < 0 ? -int64_t(n) : int64_t(n)) + 1u;
    return int(low + int64_t((uint64_t(r) * count) >> 32));
}
