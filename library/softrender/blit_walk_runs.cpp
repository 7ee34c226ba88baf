// blit_walk_runs.cpp - the 1:1 blitter's walk over a source's transparency run stream,
// one loop per variant. Only transparent draws of a whole, unclipped source come here.
#include <algorithm>
#include <cstring>

#include "library/softrender/blend_rows_sse2.h"
#include "library/softrender/blit_rows_wide.h"
#include "library/softrender/blit_walk.h"
#include "platform/kernel/cpu.h"
#include "library/softrender/memimg.h"

namespace {

bool IsRowEnd(uint8_t code) { return (code & MemImgRowEnd) == MemImgRowEnd; }
int RunLength(uint8_t code) { return (code & 0x3F) + 1; }

// A run drawn without its alpha: opaque runs, and every drawn run of a source without
// alpha.
template <BlitVariant V>
bool IsOpaqueRun(uint8_t code) {
    const int kind = code >> 6;
    if (IsRowEnd(code) || kind == MemImgRunSkip) return false;
    return kind == MemImgRunOpaque || V.source != BlitSourceAlpha;
}

// n pixels known to be drawn: the kernel without the transparency test.
template <BlitVariant V>
void BlendRun(const BlendConstants& k, uint8_t* d, const uint8_t* s, const uint8_t* b, int n) {
    constexpr int sb = SourceTraits<V>::bytes, db = sizeof(typename PixelLayout<V.format>::Pixel);
    for (int x = 0; x < n; x++) {
        const SourceSample sample = ReadSource<V>(k, s + x * sb);
        const uint32_t w = V.blend ? k.weights[b[x]] : 0;
        uint8_t* dp = d + x * db;
        StorePixel<V.format>(dp, BlendPixel<V>(k, sample.colour, sample.alpha, w, LoadPixel<V.format>(dp)));
    }
}

// Whether opaque runs are moved as memory: copy kernels of pixels laid out as the
// destination's.
template <BlitVariant V>
constexpr bool CopiesRunBytes() {
    return IsCopyKernel<V>() && V.source != BlitSourcePalette &&
           !(V.format == BlitFormat16 && V.source == BlitSourceAlpha);
}

// An opaque run under a copy kernel: the source colours as they are. Wide: inside an
// AVX2 walk, 32-byte moves.
template <BlitVariant V, bool Wide>
ZQ_BLEND_INLINE void CopyRun(const BlendConstants& k, uint8_t* d, const uint8_t* s, int n) {
    if constexpr (!CopiesRunBytes<V>()) BlendRun<V>(k, d, s, nullptr, n);
    else if constexpr (Wide) wide::CopyPixelBytes(d, s, size_t(n) * SourceTraits<V>::bytes);
    else CopyPixelBytes(d, s, size_t(n) * SourceTraits<V>::bytes);
}

template <BlitVariant V, bool Wide>
ZQ_BLEND_INLINE void WalkRunStreamBody(const BlendConstants& k, const BlitRows& rows) {
    constexpr int sb = SourceTraits<V>::bytes, db = sizeof(typename PixelLayout<V.format>::Pixel);
    const uint8_t* code = rows.runStream;
    for (int y = 0; y < rows.height; y++) {
        uint8_t* d = rows.dest + y * rows.destPitch;
        const uint8_t* s = rows.source + y * rows.sourcePitch;
        const uint8_t* b = V.blend ? rows.blend + y * rows.blendPitch : nullptr;
        for (int x = 0;;) {
            const uint8_t c = *code++;
            if (IsRowEnd(c)) break;
            const int start = x;
            x += RunLength(c);
            if (c >> 6 == MemImgRunSkip) continue;
            const bool copy = IsCopyKernel<V>() && IsOpaqueRun<V>(c);
            // Opaque runs that follow each other are one copy.
            if (copy)
                while (IsOpaqueRun<V>(*code)) x += RunLength(*code++);
            // A run never crosses the row's end (kept so even for a damaged stream).
            const int end = std::min(x, rows.width);
            if (end <= start) continue;
            if (copy) CopyRun<V, Wide>(k, d + start * db, s + start * sb, end - start);
            else BlendRun<V>(k, d + start * db, s + start * sb, V.blend ? b + start : nullptr, end - start);
        }
    }
}

template <BlitVariant V>
void WalkRunStream(const BlendConstants& k, const BlitRows& rows) {
    WalkRunStreamBody<V, false>(k, rows);
}
template <BlitVariant V>
ZQ_TARGET_AVX2 void WalkRunStreamAvx2(const BlendConstants& k, const BlitRows& rows) {
    WalkRunStreamBody<V, true>(k, rows);
}

}  // namespace

void RunRunStreamWalk(const BlitVariant& variant, const BlendConstants& k, const BlitRows& rows) {
    const bool avx2 = CpuSimdLevel() == SimdAvx2;
    DispatchBlitVariant<BlitWalkRunStream>(variant, [&]<BlitVariant V>() {
        if constexpr (CopiesRunBytes<V>()) {
            if (avx2) return WalkRunStreamAvx2<V>(k, rows);
        }
        WalkRunStream<V>(k, rows);
    });
}
