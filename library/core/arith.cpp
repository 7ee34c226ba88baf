// Arithmetic helpers. See arith.h.
#include "library/core/arith.h"

#include <cassert>
#include <climits>
#include <cmath>

void SinCosFloat(float angle, float* sine, float* cosine) {
    *sine = std::sin(angle);
    *cosine = std::cos(angle);
}

int AbsInt(int value) { return value < 0 ? int(0u - unsigned(value)) : value; }

float AbsFloat(float value) { return value < 0.0f ? -value : value; }

// Out of range, the processor's conversion gives the "integer indefinite" value.
int FloatToIntTrunc(float value) { return DoubleToIntTrunc(double(value)); }

int DoubleToIntTrunc(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int SaturateToInt(int64_t value) {
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

float SqrtFloat(float value) { return std::sqrt(value); }

void MulU64ToU128(uint64_t a, uint64_t b, uint32_t product[4]) {
    unsigned __int128 p = (unsigned __int128)a * b;
    for (int i = 0; i < 4; i++) product[i] = uint32_t(p >> (32 * i));
}

void DivU128ByU64(const uint32_t dividend[4], uint64_t divisor, uint64_t* quotient) {
    assert(divisor != 0 && "division by zero");
    if (divisor == 0) {
        *quotient = 0;
        return;
    }
    unsigned __int128 value = 0;
    for (int i = 3; i >= 0; i--) value = (value << 32) | dividend[i];
    *quotient = uint64_t(value / divisor);
}
