// triangle_fill_kernels.h - what one texel does to one destination pixel in the
// triangle filler's textured spans.
//
// The variant (BlitVariant, chosen once per triangle) fixes the format, the texture kind
// (direct colour, with alpha, palette), the blend mode, the blend image, brightness and
// the transparent flag. Per channel: t is the texel's value (a palette entry's for
// palette textures), e = t, or BlendMulTable[b][t] with brightness b; d the destination's
// value; P the blend parameter. The weights present multiply into F, each counting
// x / 256, k of them: W (blend image) and A (texel alpha, where the alpha rule holds).
//
//   none      k = 0: the texel (the whole word), or e with brightness
//             else lerp(d, e, F, 8k)
//   alpha     k = 0: 16-bit d + BlendSignedMulTable[P][e - d], 32-bit lerp(d, e, P, 8)
//             else lerp(d, e, F * P, 8k + 8)
//   add, sub  k = 0: s = BlendMulTable[P][e]
//             else 32-bit s = e * F * P >> (8k + 8); 16-bit s = BlendMulTable[P][e * F >> 8k],
//             except with brightness and A alone: BlendMulTable[P][BlendMulTable[b][t * A >> 8]]
//             then AddPixels / SubtractPixels of the destination and the packed s
//   multiply  e * F * d >> (channel width + 8k)
//
// lerp(d, x, f, n) = floor((d * 2^n + (x - d) * f) / 2^n). Per-channel results keep a
// 32-bit destination's byte 3; whole texels and the packed add and subtract write the
// whole word. Admission: without alpha, the transparent flag skips texels equal to the
// texture's transparent value (the whole word, or the palette index); with alpha, it
// skips A = 0 (except in multiply, which draws them black) and draws A = 255 as an
// opaque texel, while without the flag every texel is weighted by A.
#pragma once

#include "library/softrender/blend_kernels.h"
#include "library/softrender/triangle_fill_packed.h"

// lerp(d, x, f, shift) on each channel.
ZQ_BLEND_INLINE Rgb LerpChannelsShifted(const Rgb& d, const Rgb& x, uint32_t f, int shift) {
    return EachChannel(d, x, [f, shift](int32_t dc, int32_t xc, int) {
        return int32_t(dc + ((int64_t(xc - dc) * int64_t(f)) >> shift));
    });
}

template <BlitVariant V>
ZQ_BLEND_INLINE uint32_t TriangleTexelPixel(const BlendConstants& k, const SourceSample& s, uint32_t w, uint32_t d) {
    using L = PixelLayout<V.format>;
    const bool alphaRule = V.source == BlitSourceAlpha && !(V.transparent && s.alpha == 255);
    const bool weighted = V.blend || alphaRule;
    const uint32_t f = (V.blend ? w : 1) * (alphaRule ? s.alpha : 1);
    const int shift = 8 * (int(V.blend) + int(alphaRule));
    const Rgb t = L::Split(s.colour);
    const Rgb e = V.bright ? Brighten(k, t) : t;
    const Rgb dc = L::Split(d);

    if constexpr (V.mode == BlendNone) {
        if (!weighted) return V.bright ? L::Join(e, d) : L::Whole(s.colour);
        return L::Join(LerpChannelsShifted(dc, e, f, shift), d);
    } else if constexpr (V.mode == BlendAlpha) {
        if (!weighted) return L::Join(AlphaByParameter<V.format>(k, dc, e), d);
        return L::Join(LerpChannelsShifted(dc, e, f * uint32_t(k.p), shift + 8), d);
    } else if constexpr (V.mode == BlendAdd || V.mode == BlendSubtract) {
        Rgb source;
        if (!weighted) {
            source = EachChannel(e, e, [&k](int32_t x, int32_t, int) { return k.mulP[x]; });
        } else if constexpr (V.format == BlitFormat32) {
            const uint32_t fp = f * uint32_t(k.p);
            source = EachChannel(e, e, [&](int32_t x, int32_t, int) {
                return int32_t(uint32_t(x) * fp >> (shift + 8));
            });
        } else if (V.bright && alphaRule && !V.blend) {
            // The alpha weight before the brightness.
            source = EachChannel(t, t, [&k, &s](int32_t x, int32_t, int c) {
                return k.mulP[k.brightRow[c][uint32_t(x) * s.alpha >> 8]];
            });
        } else {
            source = EachChannel(e, e, [&](int32_t x, int32_t, int) {
                return k.mulP[uint32_t(x) * f >> shift];
            });
        }
        const uint32_t packed = L::Join(source, 0);
        if constexpr (V.format == BlitFormat16)
            return V.mode == BlendAdd ? AddPixels565(d, packed) : SubtractPixels565(d, packed);
        else
            return V.mode == BlendAdd ? AddPixels8888(d, packed) : SubtractPixels8888(d, packed);
    } else {
        static_assert(V.mode == BlendMultiply);
        return L::Join(MultiplyChannels<V.format>(e, dc, f, shift), d);
    }
}
