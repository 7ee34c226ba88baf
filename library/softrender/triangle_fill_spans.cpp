// triangle_fill_spans.cpp - the span loops of the triangle filler (see
// triangle_fill_spans.h and, for the arithmetic, triangle_fill_kernels.h).
#include "library/softrender/triangle_fill_spans.h"

#include "library/softrender/blend_rows_sse2.h"
#include "library/softrender/blit_variant.h"
#include "library/softrender/triangle_fill_kernels.h"
#include "library/softrender/triangle_fill_walk.h"

namespace {

// Alpha by the parameter, without blend image, texel alpha or brightness: 16 bytes of
// pixels per SSE2 step, their texels fetched first (the transparent flag's key pixels
// keep the destination).
template <BlitVariant V>
constexpr bool HasAlphaSteps() {
    return V.mode == BlendAlpha && V.source != BlitSourceAlpha && !V.blend && !V.bright;
}

template <BlitVariant V>
ZQ_BLEND_INLINE int AlphaSteps(const TexturedSpanFrame& f, uint8_t* d, int count, int64_t& u, int64_t& v) {
    using namespace sse2;
    constexpr int texelBytes = SourceTraits<V>::bytes, perStep = V.format == BlitFormat16 ? 8 : 4;
    const __m128i ps = Set16(f.k.p), pd = Set16(256 - f.k.p);
    int done = 0;
    // The next texel's colour, and -1 where the transparent flag skips it.
    auto next = [&](int& skip) __attribute__((always_inline)) {
        const intptr_t column = intptr_t(u >> TriangleFractionBits), row = intptr_t(v >> TriangleFractionBits);
        const SourceSample s = ReadSource<V>(f.k, f.texels + row * f.texturePitch + column * texelBytes);
        u += f.dudx, v += f.dvdx;
        skip = IsSkipped<V>(f.k, s) ? -1 : 0;
        return int(s.colour);
    };
    for (; done + perStep <= count; done += perStep) {
        // Texels and key flags gathered in registers (through memory the vector load
        // would wait for the stores).
        int k0, k1, k2, k3, k4 = 0, k5 = 0, k6 = 0, k7 = 0;
        const int t0 = next(k0), t1 = next(k1), t2 = next(k2), t3 = next(k3);
        __m128i sv, skipped;
        if constexpr (V.format == BlitFormat16) {
            const int t4 = next(k4), t5 = next(k5), t6 = next(k6), t7 = next(k7);
            // Pairs of pixels in 32-bit lanes.
            sv = _mm_setr_epi32((t0 & 0xFFFF) | t1 << 16, (t2 & 0xFFFF) | t3 << 16, (t4 & 0xFFFF) | t5 << 16,
                                (t6 & 0xFFFF) | t7 << 16);
            skipped = _mm_setr_epi32((k0 & 0xFFFF) | k1 << 16, (k2 & 0xFFFF) | k3 << 16, (k4 & 0xFFFF) | k5 << 16,
                                     (k6 & 0xFFFF) | k7 << 16);
        } else {
            sv = _mm_setr_epi32(t0, t1, t2, t3);
            skipped = _mm_setr_epi32(k0, k1, k2, k3);
        }
        uint8_t* p = d + done * (16 / perStep);
        const __m128i dv = Load(p);
        const __m128i blended = V.format == BlitFormat16 ? AlphaByParameter565(sv, dv, ps) : AlphaByParameter8888(sv, dv, ps, pd);
        Store(p, V.transparent ? Select(skipped, dv, blended) : blended);
    }
    return done;
}

template <BlitVariant V>
void TexturedSpan(const TexturedSpanFrame& f, uint8_t* d, int count, int64_t u, int64_t v) {
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel), texelBytes = SourceTraits<V>::bytes;
    if constexpr (HasAlphaSteps<V>()) {
        const int done = AlphaSteps<V>(f, d, count, u, v);
        d += done * destBytes;
        count -= done;
    }
    for (; count > 0; count--, d += destBytes, u += f.dudx, v += f.dvdx) {
        const intptr_t column = intptr_t(u >> TriangleFractionBits), row = intptr_t(v >> TriangleFractionBits);
        const SourceSample s = ReadSource<V>(f.k, f.texels + row * f.texturePitch + column * texelBytes);
        if (IsSkipped<V>(f.k, s)) continue;
        const uint32_t w = V.blend ? f.k.weights[f.blend[row * f.blendPitch + column]] : 0;
        StorePixel<V.format>(d, TriangleTexelPixel<V>(f.k, s, w, LoadPixel<V.format>(d)));
    }
}

}  // namespace

TexturedSpanFn ChooseTexturedSpan(const BlitVariant& variant) {
    TexturedSpanFn span = nullptr;
    DispatchBlitVariant<BlitWalkTriangle>(variant, [&span]<BlitVariant V>() { span = &TexturedSpan<V>; });
    return span;
}

FlatSpanFn ChooseFlatSpan(const MEMIMG* dest, int mode) {
    FlatSpanFn span = nullptr;
    DispatchPrimitive(dest, mode, [&span]<BlitFormat F, int Mode>() { span = &BlendRowWithColour<F, Mode>; });
    return span;
}
