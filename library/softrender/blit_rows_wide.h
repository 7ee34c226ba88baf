// blit_rows_wide.h - rows of the 1:1 blitter written once with 32-byte vectors
// (simd_vectors.h): inside ZQ_TARGET_AVX2 walks they run as AVX2, eight XRGB8888
// pixels per step. Each gives exactly the bytes of BlendPixel<V>.
#pragma once

#include <cstring>

#include "library/softrender/blend_rows_sse2.h"
#include "platform/simd_vectors.h"

namespace wide {

using namespace simd;
typedef uint16_t U16x16 __attribute__((vector_size(32)));

// Copies a run of pixel bytes (source and destination apart): the first and last 32
// bytes as they fall, the rest as 32-byte stores aligned on the destination; short
// runs go to CopyPixelBytes and long ones to memmove.
ZQ_BLEND_INLINE void CopyPixelBytes(uint8_t* d, const uint8_t* s, size_t bytes) {
    if (bytes < 64 || bytes > 8192) {
        ::CopyPixelBytes(d, s, bytes);
        return;
    }
    const U32x8 head = Load<U32x8>(s), tail = Load<U32x8>(s + bytes - 32);
    const size_t start = 32 - (reinterpret_cast<uintptr_t>(d) & 31);
    for (size_t i = start; i + 32 < bytes; i += 32) Store(d + i, Load<U32x8>(s + i));
    Store(d, head);
    Store(d + bytes - 32, tail);
}

// 32-bit sources with alpha, mode none with the transparent flag: a = 0 keeps d,
// a = 255 copies the whole pixel, others lerp(d, s, a, 8) on bytes 0-2 with byte 3 kept.
// Steps whose pixels are all opaque are copied, all transparent skipped. Returns the
// pixels done (whole steps of eight).
ZQ_BLEND_INLINE int NoneAlpha8888Rows(uint8_t* d, const uint8_t* s, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const U32x8 sv = Load<U32x8>(s + 4 * i);
        const U32x8 alpha = sv >> 24;
        const I32x8 opaque = alpha == 255u;
        if (All(opaque)) {
            Store(d + 4 * i, sv);
            continue;
        }
        if (!Any(alpha != 0u)) continue;
        const U32x8 dv = Load<U32x8>(d + 4 * i);
        // Two channels per 32-bit lane in 16-bit fields: (d * (256 - a) + s * a) >> 8
        // stays below 65536 in each field.
        const U16x16 a = U16x16(alpha | alpha << 16), inverse = 256 - a;
        auto mix = [&](const U32x8& sc, const U32x8& dc) __attribute__((always_inline)) {
            return U32x8((U16x16(dc) * inverse + U16x16(sc) * a) >> 8) & 0x00FF00FFu;
        };
        const U32x8 blueRed = mix(sv & 0x00FF00FFu, dv & 0x00FF00FFu);
        const U32x8 green = mix((sv >> 8) & 0xFFu, (dv >> 8) & 0xFFu);
        const U32x8 mixed = (dv & 0xFF000000u) | blueRed | green << 8;
        Store(d + 4 * i, Select(opaque, sv, mixed));
    }
    return i;
}

}  // namespace wide
