// acm_hooks.h - what the test seams read of the compressed-audio conversion (acm.h).
// Not for library code.
#pragma once

#include <cstdint>

// Source bytes taken by every conversion since the program started.
uint64_t AcmConvertedSourceBytes(void);
