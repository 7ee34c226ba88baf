// blit_walk_scaled.cpp - the scaled blitter's per-pixel walk, one loop per variant.
//
// The destination is drawn in strips of up to StripColumns columns: the source column
// of every destination column of a strip is worked out once by the stepping rule, then
// every row of the strip is drawn through that map. Every variant samples exactly the
// source pixels the stepping rule gives.
#include <algorithm>
#include <cstring>

#include "library/softrender/blend_rows_sse2.h"
#include "library/softrender/blit_walk.h"

namespace {

constexpr int StripColumns = 512;

template <BlitVariant V>
void WalkScaled(const BlendConstants& k, const ScaledBlock& block) {
    constexpr int sb = SourceTraits<V>::bytes, db = sizeof(typename PixelLayout<V.format>::Pixel);
    // A copy without transparency makes each row from its source row alone, so a row that
    // shows the same source row as the one above is a copy of it.
    constexpr bool rowsRepeat = IsCopyKernel<V>() && !V.transparent;
    constexpr bool simdMirror = IsCopyKernel<V>() && V.source == BlitSourceDirect;
    const bool unitMirror = simdMirror && block.x.step == 0x10000 && block.x.direction < 0;
    int32_t columns[StripColumns];
    int64_t xAccumulator = block.x.accumulator;
    int xIndex = block.x.first;
    for (int x0 = 0; x0 < block.width; x0 += StripColumns) {
        const int n = std::min(StripColumns, block.width - x0);
        for (int i = 0; i < n; i++) {
            columns[i] = xIndex;
            // The step after the row's last pixel is never used.
            if (x0 + i + 1 < block.width)
                xIndex += block.x.direction * AdvanceScaleAxis(block.x.step, &xAccumulator);
        }
        int64_t yAccumulator = block.y.accumulator;
        int yIndex = block.y.first, previousRow = -1;
        for (int y = 0; y < block.height; y++) {
            uint8_t* d = block.dest + y * block.destPitch + x0 * db;
            if (rowsRepeat && yIndex == previousRow) {
                std::memcpy(d, d - block.destPitch, size_t(n) * db);
            } else {
                const uint8_t* s = block.sourcePixels + yIndex * block.sourcePitch;
                const uint8_t* b = V.blend ? block.blendPixels + yIndex * block.blendPitch : nullptr;
                int i = 0;
                if constexpr (simdMirror) {
                    if (unitMirror) i = MirroredCopyRowSimd<V>(k, d, s + columns[0] * sb, n);
                }
#pragma GCC unroll 4
                for (; i < n; i++) DrawPixel<V>(k, d + i * db, s + columns[i] * sb, V.blend ? b + columns[i] : nullptr);
            }
            previousRow = yIndex;
            if (y + 1 < block.height) yIndex += block.y.direction * AdvanceScaleAxis(block.y.step, &yAccumulator);
        }
    }
}

}  // namespace

void RunScaledWalk(const BlitVariant& variant, const BlendConstants& k, const ScaledBlock& block) {
    DispatchBlitVariant<BlitWalkScaled>(variant, [&]<BlitVariant V>() { WalkScaled<V>(k, block); });
}
