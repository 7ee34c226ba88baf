// arith.h - small arithmetic helpers: sine and cosine together, absolute values,
// truncating conversions, square root, and 64x64->128 multiply / 128/64 divide
// (the microsecond clock uses them so no tick count can overflow).
//
// 128-bit values are four u32 words, least significant first.
#pragma once

#include <cstdint>

void SinCosFloat(float angle, float* sine, float* cosine);
int AbsInt(int value);          // the most negative int stays as it is
float AbsFloat(float value);
int FloatToIntTrunc(float value);   // toward zero; NaN and out of range give INT_MIN
int DoubleToIntTrunc(double value);
// A sum worked out wide, held to the int range (an edge beyond it lies off every target).
int SaturateToInt(int64_t value);
float SqrtFloat(float value);

void MulU64ToU128(uint64_t a, uint64_t b, uint32_t product[4]);
// Writes the low 64 bits of the quotient; a zero divisor gives quotient 0.
void DivU128ByU64(const uint32_t dividend[4], uint64_t divisor, uint64_t* quotient);
