// raster3d_kernels.h - the colour step of the 3D rasteriser's span loops: one texel
// combined with one destination pixel, for a compiled Raster3DVariant.
//
// Notation per channel (each at its own width n: 5/6/5 for RGB565, 8 for 32-bit): t the
// texel channel (a palette entry's for palette textures), d the destination's, w the
// blend-image weight, α the texel alpha, p the blend parameter. lerp(d, x, k, N) is
// floor((d * 2^N + (x - d) * k) / 2^N).
//
// Form: "plain", "w" (blend image), "α" (alpha texture) or "wα". An alpha texture uses
// its α forms for every texel, except that with the transparent flag α = 0 is skipped
// (but not in multiply, where it gives black) and α = 255 takes the form without α.
//
// Uniform shading (brightness br per channel: s = BlendMulTable[br][t], else s = t):
//   none      plain: s (white brightness: the whole texel or palette entry); w: lerp(d,s,w,8);
//             α: lerp(d,s,α,8); wα: lerp(d,s,w*α,16)
//   alpha     plain: 16-bit d + BlendSignedMulTable[p][s-d], 32-bit lerp(d,s,p,8);
//             w: lerp(d,s,w*p,16); α: lerp(d,s,α*p,16); wα: lerp(d,s,w*α*p,24)
//   add, sub  source term, then packed saturating add / subtract on the whole pixel:
//             16-bit BlendMulTable[p][x] with x = s, s*w>>8, s*α>>8 (brightness applied
//             after the α scaling), s*w*α>>16; 32-bit plain BlendMulTable[p][s], then
//             s*w*p>>16, s*p*α>>16, s*w*p*α>>24
//   multiply  s*d>>n; w: s*d*w>>(n+8); α: s*d*α>>(n+8); wα: s*d*w*α>>(n+16)
// Gouraud shading (k the interpolated vertex channel, a the vertex alpha, m = t*k>>8;
// all in wrapping 32-bit arithmetic, the low n bits of each result kept):
//   none      m; lerp(d,m,w,8); lerp(d,m,α,8); lerp(d,m,w*α,16)
//   alpha     lerp(d,m,a,8); lerp(d,m,a*w,16); lerp(d,m,a*α,16); lerp(d,m,a*w*α,24)
//   add, sub  source t*k*a>>16; t*k*w*a>>24; t*k*α*a>>24; m*w*α*a>>24, then packed
//   multiply  t*k*d>>(8+n); t*k*w*d>>(16+n); t*k*α*d>>(16+n); m*w*α*d>>(16+n)
// Per-channel 32-bit results keep the destination's byte 3; the packed add and subtract
// and whole-texel copies write all four bytes.
#pragma once

#include "library/softrender/blend_kernels.h"
#include "library/softrender/raster3d.h"

// The blitters' view of a variant, for their texel reader and transparency test.
constexpr BlitVariant AsBlitVariant(const Raster3DVariant& v) {
    BlitVariant b;
    b.format = v.format;
    b.source = v.source;
    b.mode = v.mode;
    b.blend = v.blend;
    b.bright = v.bright;
    b.transparent = v.transparent;
    return b;
}

// Whether a texel that passed its test uses the forms with α.
template <Raster3DVariant V>
ZQ_BLEND_INLINE bool UsesTexelAlpha(uint32_t alpha) {
    if constexpr (V.source != BlitSourceAlpha) return false;
    else return !V.transparent || alpha != 255;
}

// Packed saturating add (d + x) or subtract (d - x) of whole pixels. The 16-bit and
// 32-bit adds OR in the operands' low bits of green and red.
template <BlitFormat F, bool Add>
ZQ_BLEND_INLINE uint32_t AddOrSubtractPacked(uint32_t x, uint32_t d) {
    if constexpr (F == BlitFormat16) return Add ? AddRgb565(x, d) | ((d | x) & 0x0820) : SubRgb565(d, x);
    else return Add ? AddXrgb8888(x, d) | ((d | x) & 0x10100) : SubXrgb8888(d, x);
}

// ---- Uniform shading ----

template <Raster3DVariant V>
ZQ_BLEND_INLINE uint32_t UniformAddTerm(const BlendConstants& k, const Rgb& t, const Rgb& s, bool alpha,
                                        uint32_t a, uint32_t w) {
    using L = PixelLayout<V.format>;
    const uint32_t p = uint32_t(k.p);
    const Rgb term = EachChannel(t, s, [&](int32_t tc, int32_t sc, int channel) -> int32_t {
        const uint32_t x = uint32_t(sc);
        if constexpr (V.format == BlitFormat16) {
            if (V.blend && alpha) return k.mulP[(x * w * a) >> 16];
            if (V.blend) return k.mulP[(x * w) >> 8];
            if (alpha) {
                const uint32_t scaled = (uint32_t(tc) * a) >> 8;  // brightness after the α scaling
                return k.mulP[V.bright ? k.brightRow[channel][scaled] : int32_t(scaled)];
            }
            return k.mulP[x];
        } else {
            if (V.blend && alpha) return int32_t((x * w * p * a) >> 24);
            if (V.blend) return int32_t((x * w * p) >> 16);
            if (alpha) return int32_t((x * p * a) >> 16);
            return k.mulP[x];
        }
    });
    return L::Join(term, 0);
}

template <Raster3DVariant V>
ZQ_BLEND_INLINE uint32_t UniformPixel(const BlendConstants& k, const SourceSample& texel, uint32_t w, uint32_t d) {
    using L = PixelLayout<V.format>;
    const bool alpha = UsesTexelAlpha<V>(texel.alpha);
    const uint32_t a = texel.alpha, p = uint32_t(k.p);
    const Rgb t = L::Split(texel.colour);
    const Rgb s = V.bright ? Brighten(k, t) : t;
    const Rgb dc = L::Split(d);

    if constexpr (V.mode == BlendNone) {
        if (V.blend && alpha) return L::Join(LerpChannels<16>(dc, s, w * a), d);
        if (V.blend) return L::Join(LerpChannels<8>(dc, s, w), d);
        if (alpha) return L::Join(LerpChannels<8>(dc, s, a), d);
        return V.bright ? L::Join(s, d) : L::Whole(texel.colour);
    } else if constexpr (V.mode == BlendAlpha) {
        if (V.blend && alpha) return L::Join(LerpChannels<24>(dc, s, w * a * p), d);
        if (V.blend) return L::Join(LerpChannels<16>(dc, s, w * p), d);
        if (alpha) return L::Join(LerpChannels<16>(dc, s, a * p), d);
        return L::Join(AlphaByParameter<V.format>(k, dc, s), d);
    } else if constexpr (V.mode == BlendAdd || V.mode == BlendSubtract) {
        return AddOrSubtractPacked<V.format, V.mode == BlendAdd>(UniformAddTerm<V>(k, t, s, alpha, a, w), d);
    } else {
        static_assert(V.mode == BlendMultiply);
        if (V.blend && alpha) return L::Join(MultiplyChannels<V.format>(s, dc, w * a, 16), d);
        if (V.blend) return L::Join(MultiplyChannels<V.format>(s, dc, w, 8), d);
        if (alpha) return L::Join(MultiplyChannels<V.format>(s, dc, a, 8), d);
        return L::Join(MultiplyChannels<V.format>(s, dc, 1, 0), d);
    }
}

// ---- Gouraud shading ----

// The interpolated vertex colour of one pixel as channel values (nominally 0..255).
struct VertexColour {
    int32_t r, g, b, a;
};

// floor(x / 2^n) of a wrapped 32-bit value; only its low bits are kept, so the sign
// of the shift does not matter.
ZQ_BLEND_INLINE uint32_t Shr(uint32_t x, int n) { return uint32_t(int32_t(x) >> n); }

template <Raster3DVariant V>
ZQ_BLEND_INLINE uint32_t GouraudPixel(const SourceSample& texel, const VertexColour& c, uint32_t w, uint32_t d) {
    using L = PixelLayout<V.format>;
    const bool alpha = UsesTexelAlpha<V>(texel.alpha);
    const uint32_t al = texel.alpha, va = uint32_t(c.a);
    const Rgb t = L::Split(texel.colour), dc = L::Split(d);
    const Rgb k{c.r, c.g, c.b};

    const Rgb out = EachChannel(t, dc, [&](int32_t tc, int32_t dch, int channel) -> int32_t {
        const int n = channel == 1 ? L::widthG : channel == 0 ? L::widthR : L::widthB;
        const uint32_t ti = uint32_t(tc), di = uint32_t(dch);
        const uint32_t kc = uint32_t(channel == 0 ? k.r : channel == 1 ? k.g : k.b);
        const uint32_t m = Shr(ti * kc, 8);
        uint32_t r;
        if constexpr (V.mode == BlendNone) {
            if (V.blend && alpha) r = Shr(di * 65536 + (m - di) * w * al, 16);
            else if (V.blend) r = Shr(di * 256 + (m - di) * w, 8);
            else if (alpha) r = Shr(di * 256 + (m - di) * al, 8);
            else r = m;
        } else if constexpr (V.mode == BlendAlpha) {
            if (V.blend && alpha) r = Shr(di * 16777216 + (m - di) * va * w * al, 24);
            else if (V.blend) r = Shr(di * 65536 + (m - di) * va * w, 16);
            else if (alpha) r = Shr(di * 65536 + (m - di) * va * al, 16);
            else r = Shr(di * 256 + (m - di) * va, 8);
        } else if constexpr (V.mode == BlendMultiply) {
            if (V.blend && alpha) r = Shr(m * w * al * di, 16 + n);
            else if (V.blend) r = Shr(ti * kc * w * di, 16 + n);
            else if (alpha) r = Shr(ti * kc * al * di, 16 + n);
            else r = Shr(ti * kc * di, 8 + n);
        } else {
            // Add and subtract: the source channel of the packed operation.
            if (V.blend && alpha) r = Shr(m * w * al * va, 24);
            else if (V.blend) r = Shr(ti * kc * w * va, 24);
            else if (alpha) r = Shr(ti * kc * al * va, 24);
            else r = Shr(ti * kc * va, 16);
        }
        return int32_t(r & ((1u << n) - 1));
    });
    if constexpr (V.mode == BlendAdd || V.mode == BlendSubtract)
        return AddOrSubtractPacked<V.format, V.mode == BlendAdd>(L::Join(out, 0), d);
    else
        return L::Join(out, d);
}
