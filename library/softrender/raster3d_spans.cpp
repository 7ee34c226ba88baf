// raster3d_spans.cpp - the rasteriser's span loops: the choice of one compiled loop per
// triangle, the table of the 360 loops, and the per-pixel pipeline they share.
//
// Per pixel: depth test (d = Z >> 8, low 16 bits, drawn when d <= stored) and depth
// write, perspective division (1/W), texel coordinates, range test, transparency,
// colour kernel. The depth write comes before the texel tests, so a pixel whose texel
// is outside the texture or transparent still stores its depth.
//
// A loop runs in two halves over chunks of a span: the first (raster3d_span_prepare.h)
// takes eight pixels at a time through the tests up to the texel coordinates; the
// second colours the chunk's pixels, eight at a time for the commonest variants
// (raster3d_span_colour.h), one at a time for the others. Spans of the white texture in
// the commonest variants go through both in one pass. Depth use, vector level and
// whether a span of the white texture maps inside it are settled per triangle or span,
// never per pixel.
#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/raster3d_kernels.h"
#include "library/softrender/raster3d_span_colour.h"
#include "library/softrender/raster3d_span_prepare.h"
#include "platform/kernel/cpu.h"

bool ChooseRaster3DVariant(const MEMIMG* texture, int transparent, bool blendImage, int gouraud,
                           Raster3DVariant* variant) {
    Raster3DVariant v;
    v.gouraud = gouraud != 0;
    if (texture->formatKind == MemImgFormat16) v.format = BlitFormat16;
    else if (texture->formatKind == MemImgFormat32) v.format = BlitFormat32;
    else return false;
    const bool palette = texture->paletteFlag == 1;
    v.source = palette ? BlitSourcePalette : texture->alphaFlag == 1 ? BlitSourceAlpha : BlitSourceDirect;

    const int mode = g_DrawState.blendMode;
    if (mode < BlendNone || mode > BlendMultiply) return false;
    v.mode = uint8_t(mode);
    if (!v.gouraud) {
        // Parameter shortcuts of uniform shading. A palette texture runs subtract with
        // p = 0 (every source term 0, only the packed formula's low-bit effects remain).
        const int p = std::clamp(g_DrawState.blendParam, 0, 255);
        if (mode == BlendAlpha && p == 255) v.mode = BlendNone;
        if ((mode == BlendAlpha || mode == BlendAdd) && p == 0) return false;
        if (mode == BlendSubtract && p == 0 && !palette) return false;
        v.bright = (g_DrawState.brightness & 0xFFFFFF) != BrightnessNeutral;
    }
    v.blend = blendImage;
    v.transparent = transparent != 0;
    *variant = v;
    return true;
}

namespace {

// What the loops read that is fixed for the triangle.
struct SpanConstants {
    BlendConstants k;
    const uint8_t* texels;
    Raster3DTexelGrid grid;
    const uint8_t* blendPixels;
    int blendPitch;
    bool whiteTexture;
    SimdWidth simd;
};

// The plane values at the centre of pixel `first` of the current row.
ZQ_BLEND_INLINE int32_t AtPixel(const Raster3DPlane& p, int first) {
    return int32_t(uint32_t(p.dx) * uint32_t(first) + uint32_t(p.dx / 2) + uint32_t(p.row));
}

// Fixed-point values wrap.
ZQ_BLEND_INLINE void Step(int32_t& value, int32_t delta) { value = int32_t(uint32_t(value) + uint32_t(delta)); }

// ---- The first half of a chunked loop: one function per depth use and vector level,
// chosen once per triangle ----

using PrepareChunkFn = void (*)(Raster3DCursor*, const Raster3DTexelGrid&, uint16_t*, int, Raster3DChunk*);

template <Raster3DDepthUse D, bool Inside>
void PrepareChunkSse2(Raster3DCursor* cursor, const Raster3DTexelGrid& grid, uint16_t* depth, int n,
                      Raster3DChunk* out) {
    raster3d_simd::PrepareChunk<D, Inside, false>(cursor, grid, depth, n, out);
}
template <Raster3DDepthUse D, bool Inside>
ZQ_TARGET_AVX2 void PrepareChunkAvx2(Raster3DCursor* cursor, const Raster3DTexelGrid& grid, uint16_t* depth, int n,
                                     Raster3DChunk* out) {
    raster3d_simd::PrepareChunk<D, Inside, true>(cursor, grid, depth, n, out);
}

template <Raster3DDepthUse D>
void PrepareChunkOneByOne(Raster3DCursor* cursor, const Raster3DTexelGrid& grid, uint16_t* depth, int n,
                          Raster3DChunk* out) {
    raster3d_simd::PrepareChunkOneByOne<D>(cursor, grid, depth, n, out);
}

// Under SSE2 the spans that divide go one pixel at a time.
template <bool Inside>
PrepareChunkFn ChoosePrepare(SimdWidth simd, Raster3DDepthUse depth) {
    constexpr Raster3DDepthUse none = Raster3DDepthNone, test = Raster3DDepthTest, write = Raster3DDepthTestWrite;
    if (simd == SimdAvx2) {
        return depth == none   ? &PrepareChunkAvx2<none, Inside>
               : depth == test ? &PrepareChunkAvx2<test, Inside>
                               : &PrepareChunkAvx2<write, Inside>;
    }
    if constexpr (Inside) {
        return depth == none   ? &PrepareChunkSse2<none, Inside>
               : depth == test ? &PrepareChunkSse2<test, Inside>
                               : &PrepareChunkSse2<write, Inside>;
    } else {
        return depth == none   ? &PrepareChunkOneByOne<none>
               : depth == test ? &PrepareChunkOneByOne<test>
                               : &PrepareChunkOneByOne<write>;
    }
}

// ---- The second half, one pixel at a time through the kernels of raster3d_kernels.h:
// every variant without a vector colour step. Steps the cursor's colour ----

template <Raster3DVariant V>
ZQ_BLEND_INLINE void ColourChunkScalar(Raster3DCursor* cursor, const SpanConstants& c, const Raster3DChunk& px, int n,
                                       uint8_t* dp) {
    constexpr BlitVariant B = AsBlitVariant(V);
    constexpr int texelBytes = SourceTraits<B>::bytes;
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel);
    int32_t cr = cursor->value[Raster3DR], cg = cursor->value[Raster3DG], cb = cursor->value[Raster3DB];
    int32_t ca = cursor->value[Raster3DA];
    for (int i = 0; i < n; i++, dp += destBytes) {
        const VertexColour colour{cr / 16384, cg / 16384, cb / 16384, ca / 16384};
        if constexpr (V.gouraud) {
            Step(cr, cursor->step[Raster3DR]);
            Step(cg, cursor->step[Raster3DG]);
            Step(cb, cursor->step[Raster3DB]);
            Step(ca, cursor->step[Raster3DA]);
        }
        const int32_t tu = px.tu[i];
        if (tu < 0) continue;
        const intptr_t tv = px.tv[i];
        const SourceSample texel = ReadSource<B>(c.k, c.texels + intptr_t(tu) * texelBytes + tv * c.grid.pitch);
        if (IsSkipped<B>(c.k, texel)) continue;
        const uint32_t weight = V.blend ? c.k.weights[c.blendPixels[tu + tv * c.blendPitch]] : 0;
        const uint32_t d = LoadPixel<V.format>(dp);
        if constexpr (V.gouraud)
            StorePixel<V.format>(dp, GouraudPixel<V>(texel, colour, weight, d));
        else
            StorePixel<V.format>(dp, UniformPixel<V>(c.k, texel, weight, d));
    }
    if constexpr (V.gouraud) {
        cursor->value[Raster3DR] = cr, cursor->value[Raster3DG] = cg, cursor->value[Raster3DB] = cb;
        cursor->value[Raster3DA] = ca;
    }
}

// ---- Uniform textured spans under SSE2: the whole pipeline one pixel at a time, as the
// eight-lane halves cost more there than they give ----

template <Raster3DVariant V>
ZQ_BLEND_INLINE void DrawSpanOneByOne(Raster3DCursor* cursor, const SpanConstants& c, uint16_t* zp, bool depthWrite,
                                      int n, uint8_t* dp) {
    constexpr BlitVariant B = AsBlitVariant(V);
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel);
    int32_t w = cursor->value[Raster3DW], u = cursor->value[Raster3DU], v = cursor->value[Raster3DV];
    int32_t z = cursor->value[Raster3DZ];
    const int32_t dw = cursor->step[Raster3DW], du = cursor->step[Raster3DU], dv = cursor->step[Raster3DV];
    const int32_t dz = cursor->step[Raster3DZ];
    for (int i = 0; i < n; i++, dp += destBytes) {
        const int32_t pw = w, pu = u, pv = v, pz = z;
        Step(w, dw);
        Step(u, du);
        Step(v, dv);
        Step(z, dz);
        if (pw <= 0) continue;
        if (zp != nullptr) {
            const uint16_t depth = uint16_t(pz >> 8);
            if (depth > zp[i]) continue;
            if (depthWrite) zp[i] = depth;
        }
        const uint32_t inverse = uint32_t((int32_t(1) << 29) / pw);
        const uint32_t tu = (uint32_t(pu >> 10) * c.grid.width * inverse) >> 19;
        const uint32_t tv = (uint32_t(pv >> 10) * c.grid.height * inverse) >> 19;
        if (tu >= c.grid.width || tv >= c.grid.height) continue;
        const SourceSample texel =
            ReadSource<B>(c.k, c.texels + (intptr_t(tu) << c.grid.bytesShift) + intptr_t(tv) * c.grid.pitch);
        if (IsSkipped<B>(c.k, texel)) continue;
        const uint32_t weight = V.blend ? c.k.weights[c.blendPixels[tu + intptr_t(tv) * c.blendPitch]] : 0;
        StorePixel<V.format>(dp, UniformPixel<V>(c.k, texel, weight, LoadPixel<V.format>(dp)));
    }
    raster3d_simd::AdvanceCursor(cursor, 0, 4, n);
}

// ---- The commonest variants, eight pixels at a time: textured chunks after the first
// half, and whole spans of the white texture in one pass ----

using ColourChunkFn = void (*)(Raster3DCursor*, const raster3d_simd::ColourInputs&, const Raster3DChunk&, int,
                               uint8_t*);
using WhiteSpanFn = void (*)(Raster3DCursor*, const raster3d_simd::ColourInputs&, const Raster3DTexelGrid&, uint16_t*,
                             int, uint8_t*);

template <Raster3DVariant V>
void ColourChunkSse2(Raster3DCursor* cursor, const raster3d_simd::ColourInputs& in, const Raster3DChunk& px, int n,
                     uint8_t* dp) {
    raster3d_simd::ColourChunk<V, false>(cursor, in, px, n, dp);
}
template <Raster3DVariant V>
ZQ_TARGET_AVX2 void ColourChunkAvx2(Raster3DCursor* cursor, const raster3d_simd::ColourInputs& in,
                                    const Raster3DChunk& px, int n, uint8_t* dp) {
    raster3d_simd::ColourChunk<V, true>(cursor, in, px, n, dp);
}

template <Raster3DVariant V, Raster3DDepthUse D, bool Inside>
void WhiteSpanSse2(Raster3DCursor* cursor, const raster3d_simd::ColourInputs& in, const Raster3DTexelGrid& grid,
                   uint16_t* depth, int n, uint8_t* dp) {
    raster3d_simd::DrawSpanSimd<V, D, Inside, false>(cursor, in, grid, depth, n, dp);
}
template <Raster3DVariant V, Raster3DDepthUse D, bool Inside>
ZQ_TARGET_AVX2 void WhiteSpanAvx2(Raster3DCursor* cursor, const raster3d_simd::ColourInputs& in,
                                  const Raster3DTexelGrid& grid, uint16_t* depth, int n, uint8_t* dp) {
    raster3d_simd::DrawSpanSimd<V, D, Inside, true>(cursor, in, grid, depth, n, dp);
}

// The plain texel copy of textured chunks goes one pixel at a time (a load and a store
// a pixel beat a gather buffer), and so do uniform colour steps under SSE2 (it has no
// 32-bit multiply of its own).
template <Raster3DVariant V>
ColourChunkFn ChooseColourChunk(SimdWidth simd) {
    if constexpr (!raster3d_simd::HasColourSimd(V) || (!V.gouraud && V.mode == BlendNone)) return nullptr;
    else if (simd == SimdAvx2) return &ColourChunkAvx2<V>;
    else return V.gouraud ? &ColourChunkSse2<V> : nullptr;
}

template <Raster3DVariant V, bool Inside>
WhiteSpanFn ChooseWhiteSpan(SimdWidth simd, Raster3DDepthUse depth) {
    constexpr Raster3DDepthUse none = Raster3DDepthNone, test = Raster3DDepthTest, write = Raster3DDepthTestWrite;
    if constexpr (!raster3d_simd::HasColourSimd(V)) {
        return nullptr;
    } else if (simd == SimdAvx2) {
        return depth == none   ? &WhiteSpanAvx2<V, none, Inside>
               : depth == test ? &WhiteSpanAvx2<V, test, Inside>
                               : &WhiteSpanAvx2<V, write, Inside>;
    } else {
        return depth == none   ? &WhiteSpanSse2<V, none, Inside>
               : depth == test ? &WhiteSpanSse2<V, test, Inside>
                               : &WhiteSpanSse2<V, write, Inside>;
    }
}

template <Raster3DVariant V>
void DrawSpans(const SpanConstants& constants, const Raster3DTarget& t, Raster3DSetup* s) {
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel);
    // Per-draw values in locals, where stores to the pixels cannot touch them.
    const SpanConstants c = constants;
    const raster3d_simd::ColourInputs in{c.texels, c.k.p};
    const Raster3DDepthUse depthUse = t.depthImage == nullptr ? Raster3DDepthNone
                                      : t.depthWrite          ? Raster3DDepthTestWrite
                                                              : Raster3DDepthTest;
    // Spans of the white texture that map inside it need no division (unless a blend
    // image is read at the texel).
    const bool insideWhite = c.whiteTexture && !V.blend;
    const PrepareChunkFn prepare = ChoosePrepare<false>(c.simd, depthUse);
    const PrepareChunkFn prepareInside = insideWhite ? ChoosePrepare<true>(c.simd, depthUse) : nullptr;
    const ColourChunkFn colourChunk = ChooseColourChunk<V>(c.simd);
    const WhiteSpanFn whiteSpan = c.whiteTexture ? ChooseWhiteSpan<V, false>(c.simd, depthUse) : nullptr;
    const WhiteSpanFn whiteSpanInside = c.whiteTexture ? ChooseWhiteSpan<V, true>(c.simd, depthUse) : nullptr;
    const bool oneByOne = !V.gouraud && c.simd == SimdSse2;
    uint8_t* const destPixels = t.dest->pixels;
    const intptr_t destPitch = t.dest->pitch;
    uint8_t* const depthPixels = t.depthImage != nullptr ? t.depthImage->pixels : nullptr;
    const intptr_t depthPitch = t.depthImage != nullptr ? t.depthImage->pitch : 0;

    Raster3DPlane planes[Raster3DAttrCount];
    std::copy(s->planes, s->planes + Raster3DAttrCount, planes);
    Raster3DCursor cursor;
    for (int a = 0; a < Raster3DAttrCount; a++) cursor.step[a] = planes[a].dx;
    Raster3DChunk chunk;
    int first = 0, count = 0;
    for (int y = s->firstRow; NextRaster3DSpan(s, &first, &count); y++) {
        if (count > 0 && AtPixel(planes[Raster3DW], first) != 0) {  // W = 0: the whole row is left out
            for (int a = 0; a < Raster3DAttrCount; a++) cursor.value[a] = AtPixel(planes[a], first);
            uint8_t* dp = destPixels + y * destPitch + intptr_t(first) * destBytes;
            uint16_t* zp = depthPixels != nullptr ? reinterpret_cast<uint16_t*>(depthPixels + y * depthPitch) + first
                                                  : nullptr;
            const bool inside = insideWhite && raster3d_simd::SpanMapsInsideTexture(cursor, count);
            if (whiteSpan != nullptr) {
                (inside ? whiteSpanInside : whiteSpan)(&cursor, in, c.grid, zp, count, dp);
            } else if (oneByOne && !inside) {
                DrawSpanOneByOne<V>(&cursor, c, zp, t.depthWrite != 0, count, dp);
            } else {
                for (int done = 0; done < count; done += kRaster3DChunk) {
                    const int n = std::min(kRaster3DChunk, count - done);
                    (inside ? prepareInside : prepare)(&cursor, c.grid, zp != nullptr ? zp + done : nullptr, n,
                                                       &chunk);
                    if (colourChunk != nullptr) colourChunk(&cursor, in, chunk, n, dp + done * destBytes);
                    else ColourChunkScalar<V>(&cursor, c, chunk, n, dp + done * destBytes);
                }
            }
        }
        for (Raster3DPlane& p : planes) Step(p.row, p.dy);
    }
}

// ---- The table of loops: every variant has an index, the impossible ones (palette
// textures with alpha, Gouraud loops with brightness) an empty slot ----

using SpanLoop = void (*)(const SpanConstants&, const Raster3DTarget&, Raster3DSetup*);

constexpr int kVariantCount = 2 * 2 * 3 * 5 * 2 * 2 * 2;

constexpr int IndexOf(const Raster3DVariant& v) {
    int i = v.gouraud;
    i = i * 2 + (v.format == BlitFormat32);
    i = i * 3 + int(v.source);
    i = i * 5 + v.mode;
    i = i * 2 + v.blend;
    i = i * 2 + v.bright;
    return i * 2 + v.transparent;
}

constexpr Raster3DVariant VariantAt(int i) {
    Raster3DVariant v;
    v.transparent = i % 2, i /= 2;
    v.bright = i % 2, i /= 2;
    v.blend = i % 2, i /= 2;
    v.mode = uint8_t(i % 5), i /= 5;
    v.source = BlitSource(i % 3), i /= 3;
    v.format = i % 2 ? BlitFormat32 : BlitFormat16, i /= 2;
    v.gouraud = i % 2;
    return v;
}

constexpr bool IsCompiled(const Raster3DVariant& v) { return !(v.gouraud && v.bright); }

template <int... I>
constexpr std::array<SpanLoop, kVariantCount> MakeLoopTable(std::integer_sequence<int, I...>) {
    return {(IsCompiled(VariantAt(I)) ? &DrawSpans<VariantAt(I)> : nullptr)...};
}

constexpr std::array<SpanLoop, kVariantCount> kSpanLoops =
    MakeLoopTable(std::make_integer_sequence<int, kVariantCount>{});

static_assert(IndexOf(VariantAt(137)) == 137);

}  // namespace

void DrawRaster3DSpans(const Raster3DVariant& variant, const Raster3DTarget& t, Raster3DSetup* s) {
    const SpanLoop loop = kSpanLoops[size_t(IndexOf(variant))];
    if (loop == nullptr) return;

    SpanConstants c{};
    const int p = std::clamp(g_DrawState.blendParam, 0, 255);
    c.k.p = p;
    c.k.mulP = BlendMulTable[p];
    c.k.signedMulP = &BlendSignedMulTable[p][255];
    for (int ch = 0; ch < 3; ch++) {
        c.k.brightness[ch] = int(g_DrawState.brightness >> (16 - 8 * ch) & 0xFF);
        c.k.brightRow[ch] = BlendMulTable[c.k.brightness[ch]];
    }
    c.k.weights = BlendGraphWeightTable;
    c.k.key = t.texture->transparentValue;  // compared at full width: a wider key never matches
    c.k.palette = t.texture->paletteA;
    c.texels = t.texture->pixels;
    c.grid.width = uint32_t(t.texture->width);
    c.grid.height = uint32_t(t.texture->height);
    c.grid.widthShift = std::has_single_bit(c.grid.width) ? std::countr_zero(c.grid.width) : -1;
    c.grid.heightShift = std::has_single_bit(c.grid.height) ? std::countr_zero(c.grid.height) : -1;
    c.grid.pitch = t.texture->pitch;
    // Texels of 1 (palette index), 2 (RGB565) or 4 bytes (32-bit, or RGB565 with alpha).
    c.grid.bytesShift = variant.source == BlitSourcePalette                                      ? 0
                        : variant.format == BlitFormat32 || variant.source == BlitSourceAlpha ? 2
                                                                                                : 1;
    c.whiteTexture = t.texture == Raster3DWhiteTexture(t.texture->formatKind);
    c.simd = CpuSimdLevel();
    if (t.blendImage != nullptr) {
        c.blendPixels = t.blendImage->pixels;
        c.blendPitch = t.blendImage->pitch;
    }
    loop(c, t, s);
}
