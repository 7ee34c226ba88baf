// triangle_fill_spans.cpp - the span loops of the triangle filler (see
// triangle_fill_spans.h and, for the arithmetic, triangle_fill_kernels.h).
#include "library/softrender/triangle_fill_spans.h"

#include "library/softrender/blit_variant.h"
#include "library/softrender/triangle_fill_kernels.h"
#include "library/softrender/triangle_fill_walk.h"

namespace {

template <BlitVariant V>
void TexturedSpan(const TexturedSpanFrame& f, uint8_t* d, int count, int64_t u, int64_t v) {
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel), texelBytes = SourceTraits<V>::bytes;
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
