// raster3d_spans.cpp - the rasteriser's span loops: the choice of one compiled loop per
// triangle, the table of the 360 loops, and the per-pixel pipeline they share.
//
// Per pixel: depth test (d = Z >> 8, low 16 bits, drawn when d <= stored) and depth
// write, perspective division (1/W), texel coordinates, range test, transparency,
// colour kernel. The depth write comes before the texel tests, so a pixel whose texel
// is outside the texture or transparent still stores its depth.
#include <algorithm>
#include <array>
#include <utility>

#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/raster3d_kernels.h"

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
    int texPitch;
    uint32_t texWidth, texHeight;
    const uint8_t* blendPixels;
    int blendPitch;
};

// The plane values at the centre of pixel `first` of the current row.
ZQ_BLEND_INLINE int32_t AtPixel(const Raster3DPlane& p, int first) {
    return int32_t(uint32_t(p.dx) * uint32_t(first) + uint32_t(p.dx / 2) + uint32_t(p.row));
}

// Fixed-point values wrap.
ZQ_BLEND_INLINE void Step(int32_t& value, int32_t delta) { value = int32_t(uint32_t(value) + uint32_t(delta)); }

template <Raster3DVariant V>
void DrawSpan(const SpanConstants& c, const Raster3DTarget& t, const Raster3DPlane* planes, int y, int first,
              int count) {
    constexpr BlitVariant B = AsBlitVariant(V);
    constexpr int texelBytes = SourceTraits<B>::bytes;
    constexpr int destBytes = sizeof(typename PixelLayout<V.format>::Pixel);

    int32_t w = AtPixel(planes[Raster3DW], first);
    if (w == 0) return;  // the whole row is left out
    int32_t u = AtPixel(planes[Raster3DU], first), v = AtPixel(planes[Raster3DV], first);
    int32_t z = AtPixel(planes[Raster3DZ], first);
    int32_t cr = 0, cg = 0, cb = 0, ca = 0;
    if constexpr (V.gouraud) {
        cr = AtPixel(planes[Raster3DR], first);
        cg = AtPixel(planes[Raster3DG], first);
        cb = AtPixel(planes[Raster3DB], first);
        ca = AtPixel(planes[Raster3DA], first);
    }
    const int32_t dw = planes[Raster3DW].dx, du = planes[Raster3DU].dx, dv = planes[Raster3DV].dx;
    const int32_t dz = planes[Raster3DZ].dx;

    uint8_t* dp = t.dest->pixels + intptr_t(y) * t.dest->pitch + intptr_t(first) * destBytes;
    uint16_t* zp = t.depthImage != nullptr
                       ? reinterpret_cast<uint16_t*>(t.depthImage->pixels + intptr_t(y) * t.depthImage->pitch) + first
                       : nullptr;

    for (int i = 0; i < count; i++, dp += destBytes) {
        const int32_t pw = w, pu = u, pv = v, pz = z;
        const VertexColour colour{cr / 16384, cg / 16384, cb / 16384, ca / 16384};
        Step(w, dw);
        Step(u, du);
        Step(v, dv);
        Step(z, dz);
        if constexpr (V.gouraud) {
            Step(cr, planes[Raster3DR].dx);
            Step(cg, planes[Raster3DG].dx);
            Step(cb, planes[Raster3DB].dx);
            Step(ca, planes[Raster3DA].dx);
        }
        // 1/W would overflow or divide by zero where W has run out (rhw near 0).
        if (pw <= 0) continue;
        if (zp != nullptr) {
            const uint16_t depth = uint16_t(pz >> 8);
            if (depth > zp[i]) continue;
            if (t.depthWrite) zp[i] = depth;
        }
        const uint32_t inverse = uint32_t((int32_t(1) << 29) / pw);
        const uint32_t tu = (uint32_t(pu >> 10) * c.texWidth * inverse) >> 19;
        const uint32_t tv = (uint32_t(pv >> 10) * c.texHeight * inverse) >> 19;
        if (tu > c.texWidth - 1 || tv > c.texHeight - 1) continue;

        const SourceSample texel = ReadSource<B>(c.k, c.texels + tu * texelBytes + intptr_t(tv) * c.texPitch);
        if (IsSkipped<B>(c.k, texel)) continue;
        const uint32_t weight = V.blend ? c.k.weights[c.blendPixels[tu + intptr_t(tv) * c.blendPitch]] : 0;
        const uint32_t d = LoadPixel<V.format>(dp);
        if constexpr (V.gouraud)
            StorePixel<V.format>(dp, GouraudPixel<V>(texel, colour, weight, d));
        else
            StorePixel<V.format>(dp, UniformPixel<V>(c.k, texel, weight, d));
    }
}

template <Raster3DVariant V>
void DrawSpans(const SpanConstants& c, const Raster3DTarget& t, Raster3DSetup* s) {
    Raster3DPlane planes[Raster3DAttrCount];
    std::copy(s->planes, s->planes + Raster3DAttrCount, planes);
    int first = 0, count = 0;
    for (int y = s->firstRow; NextRaster3DSpan(s, &first, &count); y++) {
        if (count > 0) DrawSpan<V>(c, t, planes, y, first, count);
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
    c.texPitch = t.texture->pitch;
    c.texWidth = uint32_t(t.texture->width);
    c.texHeight = uint32_t(t.texture->height);
    if (t.blendImage != nullptr) {
        c.blendPixels = t.blendImage->pixels;
        c.blendPitch = t.blendImage->pitch;
    }
    loop(c, t, s);
}
