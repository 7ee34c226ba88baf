// acm_seams.h - test seams of the compressed-audio conversion (acm.h): how much
// compressed data the conversions have taken, to tell how much a seek decoded.
//
//     const uint64_t before = AcmSeamConvertedSourceBytes();
//     ... seek and read ...
//     AcmSeamConvertedSourceBytes() - before;   // compressed bytes decoded meanwhile
#pragma once

#include <cstdint>

uint64_t AcmSeamConvertedSourceBytes(void);
