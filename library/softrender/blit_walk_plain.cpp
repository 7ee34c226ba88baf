// blit_walk_plain.cpp - the 1:1 blitter's plain row walk, one loop per variant.
#include <cstring>

#include "library/softrender/blend_rows_sse2.h"
#include "library/softrender/blit_rows_wide.h"
#include "library/softrender/blit_walk.h"
#include "platform/kernel/cpu.h"

namespace {

// A row under a copy kernel without transparency: the source colours as they are.
template <BlitVariant V>
void CopyRow(const BlendConstants& k, uint8_t* d, const uint8_t* s, int width) {
    if constexpr (V.source == BlitSourcePalette) {
        for (int x = 0; x < width; x++) {
            const SourceSample sample = ReadSource<V>(k, s + x);
            StorePixel<V.format>(d + x * sizeof(typename PixelLayout<V.format>::Pixel), sample.colour);
        }
    } else if constexpr (V.format == BlitFormat16 && V.source == BlitSourceAlpha) {
        for (int x = 0; x < width; x++) std::memcpy(d + 2 * x, s + 4 * x, 2);  // the RGB565 word
    } else {
        CopyPixelBytes(d, s, size_t(width) * SourceTraits<V>::bytes);
    }
}

// The packed RGB565 add and subtract without transparency take the row's pixels in
// pairs (first pixel in the low half), the last odd pixel alone.
template <BlitVariant V>
void PairRowTail(const BlendConstants& k, uint8_t* d, const uint8_t* s, int x, int width) {
    constexpr int sb = SourceTraits<V>::bytes;
    for (; x + 1 < width; x += 2) {
        const uint32_t pair = ReadSource<V>(k, s + x * sb).colour | ReadSource<V>(k, s + (x + 1) * sb).colour << 16;
        uint32_t dest;
        std::memcpy(&dest, d + 2 * x, 4);
        dest = V.mode == BlendAdd ? AddRgb565Pair(pair, dest) : SubRgb565Pair(dest, pair);
        std::memcpy(d + 2 * x, &dest, 4);
    }
    if (x < width) DrawPixel<V>(k, d + 2 * x, s + x * sb, nullptr);
}

// The variant with 32-byte rows (blit_rows_wide.h): 32-bit alpha sources in mode none
// with the transparent flag.
template <BlitVariant V>
constexpr bool HasWideRows() {
    return V.format == BlitFormat32 && V.source == BlitSourceAlpha && V.mode == BlendNone && !V.bright &&
           !V.blend && V.transparent;
}

// Wide: inside an AVX2 walk, the variant's 32-byte rows.
template <BlitVariant V, bool Wide>
ZQ_BLEND_INLINE void WalkPlainRowsBody(const BlendConstants& k, const BlitRows& rows) {
    constexpr int sb = SourceTraits<V>::bytes, db = sizeof(typename PixelLayout<V.format>::Pixel);
    constexpr bool pairs = V.format == BlitFormat16 && V.special == BlitSpecialPacked && !V.transparent;
    for (int y = 0; y < rows.height; y++) {
        uint8_t* d = rows.dest + y * rows.destPitch;
        const uint8_t* s = rows.source + y * rows.sourcePitch;
        if constexpr (IsCopyKernel<V>() && !V.transparent) {
            CopyRow<V>(k, d, s, rows.width);
            continue;
        }
        int x = 0;
        if constexpr (Wide) x = wide::NoneAlpha8888Rows(d, s, rows.width);
        x += BlendRowSimd<V>(k, d + x * db, s + x * sb, rows.width - x);
        if constexpr (pairs) {
            PairRowTail<V>(k, d, s, x, rows.width);
        } else {
            const uint8_t* b = V.blend ? rows.blend + y * rows.blendPitch : nullptr;
            for (; x < rows.width; x++) DrawPixel<V>(k, d + x * db, s + x * sb, V.blend ? b + x : nullptr);
        }
    }
}

template <BlitVariant V>
void WalkPlainRows(const BlendConstants& k, const BlitRows& rows) {
    WalkPlainRowsBody<V, false>(k, rows);
}
template <BlitVariant V>
ZQ_TARGET_AVX2 void WalkPlainRowsAvx2(const BlendConstants& k, const BlitRows& rows) {
    WalkPlainRowsBody<V, true>(k, rows);
}

}  // namespace

void RunPlainWalk(const BlitVariant& variant, const BlendConstants& k, const BlitRows& rows) {
    const bool avx2 = CpuSimdLevel() == SimdAvx2;
    DispatchBlitVariant<BlitWalkPlain>(variant, [&]<BlitVariant V>() {
        if constexpr (HasWideRows<V>()) {
            if (avx2) return WalkPlainRowsAvx2<V>(k, rows);
        }
        WalkPlainRows<V>(k, rows);
    });
}
