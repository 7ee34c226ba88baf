// d3d_span_kernels.cpp - the span kernels, compiled once per combination of target
// size (2 or 4 bytes), texture size, filter, blend (none, source alpha over the target,
// any other pair) and depth test, and chosen once per draw: inside a span there is no
// call through a pointer and no switch on a state, only the depth comparison. Pixels
// are decoded and encoded by table, and every blend is the general path's integer
// arithmetic, so a kernel's bytes are the general path's for the same colour and texel.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d/d3d_blend_rows.h"
#include "platform/d3d/d3d_span_kernels.h"

namespace d3draster {

namespace {

// Source alpha over the target: each channel (c a + d (255 - a) + 127) / 255, the four
// channels at once in 16-bit lanes of one 64-bit word (no lane exceeds 255 * 255 + 127,
// and (t + 1 + (t >> 8)) >> 8 is t / 255 for every t below 65535).
inline uint32_t Over(uint32_t c, uint32_t d) {
    constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull, kOnes = 0x0001000100010001ull;
    const uint64_t a = c >> 24;
    auto spread = [](uint32_t v) { return (uint64_t(v) | uint64_t(v) << 24) & kLanes; };  // B, R, G, A lanes
    const uint64_t t = spread(c) * a + spread(d) * (255 - a) + 127 * kOnes;
    const uint64_t q = ((t + kOnes + ((t >> 8) & kLanes)) >> 8) & kLanes;
    return uint32_t(q | q >> 24);
}

// Depth test, blend, write; true when the pixel was written.
template <int Bytes, BlendKind B, bool Depth>
inline bool Put(const DrawSetup& s, uint8_t* pixel, uint8_t* depthPixel, uint32_t colour, uint32_t depth) {
    if constexpr (Depth) {
        if (!Compare(s.depthFunc, depth, Load<2>(depthPixel))) return false;
    }
    const PixelTables& tp = *s.targetPixels;
    if constexpr (B == BlendKind::Over) {
        if (colour >> 24 != 255) colour = Over(colour, DecodeRaw(tp, Load<Bytes>(pixel)));
    } else if constexpr (B == BlendKind::General) {
        colour = BlendColours(s, colour, DecodeRaw(tp, Load<Bytes>(pixel)));
    }
    Store<Bytes>(pixel, EncodeRaw(tp, colour));
    if constexpr (Depth) {
        if (s.depthWrite) Store<2>(depthPixel, depth);
    }
    return true;
}

// Colours gathered for a row blend (d3d_blend_rows.h): the kernels with source alpha
// over the target and no depth test work out the colours of up to kBlendRowMax pixels,
// then blend them in one call.
template <int Bytes>
struct BlendRow {
    uint32_t colours[kBlendRowMax];
    uint8_t skip[kBlendRowMax];
    uint8_t* start = nullptr;
    int n = 0;

    void Begin(uint8_t* pixel) {
        start = pixel;
        n = 0;
    }
    void Put(uint32_t colour) {
        colours[n] = colour;
        skip[n++] = 0;
    }
    void Skip() { skip[n++] = 1; }
    // After each pixel: blends the gathered ones when the buffer is full or the span ends.
    void Flush(const DrawSetup& s, bool last) {
        if (n < kBlendRowMax && !last) return;
        if (n == 0) return;
        const PixelTables& tp = *s.targetPixels;
        if constexpr (Bytes == 2) OverRow565(start, colours, skip, n);
        else OverRow8888(start, colours, skip, n, tp.alphaDefault, tp.rgb888Mask);
        start += Bytes * n;
        n = 0;
    }
};

// Marks the written pixels first..last of a row.
struct Written {
    int first = 1 << 30, last = -1;
    void Add(int x) {
        first = std::min(first, x);
        last = x;
    }
    void Mark(DrawSetup& s, int y) const {
        if (first <= last) MarkDrawn(s, first, y, last + 1, y + 1);
    }
};

template <int Bytes, BlendKind B, bool Depth>
void FlatSpan(DrawSetup& s, const TriangleSpans& t, const SpanStart& span) {
    uint8_t* pixel = PixelAt(s.target, span.x0, span.y);
    if constexpr (B == BlendKind::None && !Depth) {
        FillRawRow(pixel, span.x1 - span.x0 + 1, Bytes, t.rawColour);
        MarkDrawn(s, span.x0, span.y, span.x1 + 1, span.y + 1);
    } else {
        uint8_t* depthPixel = Depth ? PixelAt(s.depth, span.x0, span.y) : nullptr;
        int64_t depth = Depth && !t.constantDepth ? StartDepth(s, t, span.e) : int64_t(t.depth) << 16;
        const int64_t step = Depth && !t.constantDepth ? t.dDepth : 0;
        Written written;
        for (int x = span.x0; x <= span.x1; ++x) {
            if (Put<Bytes, B, Depth>(s, pixel, depthPixel, t.colour, RoundDepth(depth))) written.Add(x);
            pixel += Bytes;
            if constexpr (Depth) depthPixel += 2;
            depth += step;
        }
        written.Mark(s, span.y);
    }
}

// The texture coordinates of the first pixel as the general path computes them, in
// texels x 2^32 (floor, so the integer part is the general path's texel).
void StartCoordinates(const DrawSetup& s, const TriangleSpans& t, const int64_t e[3], int64_t* u, int64_t* v) {
    if (t.pair < 0) {
        *u = *v = 0;
        return;
    }
    double w[3];
    SpanWeights(t, e, w);
    double rhw = 0;
    for (int i = 0; i < 3; ++i) rhw += w[i] * t.v[i]->rhw;
    const bool perspective = s.perspective && rhw != 0.0 && std::isfinite(rhw);
    double su = 0, sv = 0;
    for (int i = 0; i < 3; ++i) {
        const double r = perspective ? t.v[i]->rhw : 1.0;
        su += w[i] * t.v[i]->uv[t.pair][0] * r;
        sv += w[i] * t.v[i]->uv[t.pair][1] * r;
    }
    if (perspective) su /= rhw, sv /= rhw;
    constexpr double kOne = 4294967296.0, kLimit = 1e18;
    *u = int64_t(std::floor(std::clamp(su * t.textureWidth * kOne, -kLimit, kLimit)));
    *v = int64_t(std::floor(std::clamp(sv * t.textureHeight * kOne, -kLimit, kLimit)));
}

// A point sample: the texel at the integer parts; false when keyed.
template <int TexBytes>
inline bool PointTexel(const TextureSampler& ts, const PixelTables& tables, int64_t u, int64_t v, uint32_t* argb) {
    int64_t x = u >> 32, y = v >> 32;
    if (x < 0 || x >= ts.view.width) x = Address(x, ts.view.width, ts.address);
    if (y < 0 || y >= ts.view.height) y = Address(y, ts.view.height, ts.address);
    const uint32_t raw = Load<TexBytes>(ts.view.pixels + intptr_t(y) * ts.view.pitch + intptr_t(x) * TexBytes);
    if (ts.keyed) {
        const uint32_t bits = raw & ts.keyMask;
        if (bits >= ts.keyLow && bits <= ts.keyHigh) return false;
    }
    *argb = DecodeRaw(tables, raw);
    return true;
}

// Rows: the colours are blended by row (B is Over, no depth test).
template <int Bytes, int TexBytes, bool Linear, BlendKind B, bool Depth, bool Rows = false>
void TexturedSpan(DrawSetup& s, const TriangleSpans& t, const SpanStart& span) {
    const TextureSampler& ts = s.stages[0].sampler;
    const PixelTables& texels = *s.texturePixels;
    int64_t u, v;
    StartCoordinates(s, t, span.e, &u, &v);
    uint8_t* pixel = PixelAt(s.target, span.x0, span.y);
    uint8_t* depthPixel = Depth ? PixelAt(s.depth, span.x0, span.y) : nullptr;
    int64_t depth = Depth && !t.constantDepth ? StartDepth(s, t, span.e) : int64_t(t.depth) << 16;
    const int64_t step = Depth && !t.constantDepth ? t.dDepth : 0;
    Written written;
    BlendRow<Bytes> row;
    if constexpr (Rows) row.Begin(pixel);
    for (int x = span.x0; x <= span.x1; ++x) {
        uint32_t texel;
        const bool visible = Linear ? SampleFixed(ts, u, v, &texel) : PointTexel<TexBytes>(ts, texels, u, v, &texel);
        const uint32_t colour = visible ? LookUpStageTables(s.tables, texel) : 0;
        if constexpr (Rows) {
            if (visible && s.alphaPass[colour >> 24]) {
                row.Put(colour);
                written.Add(x);
            } else {
                row.Skip();
            }
            row.Flush(s, x == span.x1);
        } else if (visible && s.alphaPass[colour >> 24] &&
                   Put<Bytes, B, Depth>(s, pixel, depthPixel, colour, RoundDepth(depth))) {
            written.Add(x);
        }
        pixel += Bytes;
        if constexpr (Depth) depthPixel += 2;
        depth += step;
        u += t.dU;
        v += t.dV;
    }
    written.Mark(s, span.y);
}

// Every texel of the span over the target, by whole blocks: no colour key to leave a
// texel out and no alpha test to drop one.
template <int Bytes, int TexBytes>
void WholeTexelRowsOver(DrawSetup& s, const TriangleSpans& t, const SpanStart& span) {
    const PixelTables& texels = *s.texturePixels;
    const PixelTables& tp = *s.targetPixels;
    const uint8_t* alpha = s.tables.channel[0];
    const uint8_t* in = PixelAt(s.stages[0].sampler.view, span.x0 + t.texelX, span.y + t.texelY);
    uint8_t* pixel = PixelAt(s.target, span.x0, span.y);
    static constexpr uint8_t kNoSkips[kBlendRowMax] = {};
    uint32_t colours[kBlendRowMax];
    for (int x = span.x0; x <= span.x1; x += kBlendRowMax) {
        const int n = std::min(kBlendRowMax, span.x1 - x + 1);
        for (int i = 0; i < n; ++i) {
            const uint32_t texel = DecodeRaw(texels, Load<TexBytes>(in + TexBytes * i));
            colours[i] = (texel & 0xFFFFFFu) | uint32_t(alpha[texel >> 24]) << 24;
        }
        if constexpr (Bytes == 2) OverRow565(pixel, colours, kNoSkips, n);
        else OverRow8888(pixel, colours, kNoSkips, n, tp.alphaDefault, tp.rgb888Mask);
        in += TexBytes * n;
        pixel += Bytes * n;
    }
    MarkDrawn(s, span.x0, span.y, span.x1 + 1, span.y + 1);
}

// KeepRgb: the stage tables leave red, green and blue as they are (a texture selected
// as it stands or modulated by white), so only alpha is looked up.
template <int Bytes, int TexBytes, BlendKind B, bool Depth, bool KeepRgb, bool Rows = false>
void WholeTexelSpan(DrawSetup& s, const TriangleSpans& t, const SpanStart& span) {
    const TextureSampler& ts = s.stages[0].sampler;
    if constexpr (Rows && KeepRgb) {
        if (!ts.keyed && !s.alphaTest) {
            WholeTexelRowsOver<Bytes, TexBytes>(s, t, span);
            return;
        }
    }
    const PixelTables& texels = *s.texturePixels;
    const uint8_t* in = PixelAt(ts.view, span.x0 + t.texelX, span.y + t.texelY);
    uint8_t* pixel = PixelAt(s.target, span.x0, span.y);
    uint8_t* depthPixel = Depth ? PixelAt(s.depth, span.x0, span.y) : nullptr;
    Written written;
    BlendRow<Bytes> row;
    if constexpr (Rows) row.Begin(pixel);
    for (int x = span.x0; x <= span.x1; ++x, in += TexBytes, pixel += Bytes) {
        const uint32_t raw = Load<TexBytes>(in);
        const uint32_t bits = raw & ts.keyMask;
        const bool keyed = ts.keyed && bits >= ts.keyLow && bits <= ts.keyHigh;
        if (keyed && !Rows) continue;
        const uint32_t texel = DecodeRaw(texels, raw);
        const uint32_t colour = KeepRgb ? (texel & 0xFFFFFFu) | uint32_t(s.tables.channel[0][texel >> 24]) << 24
                                        : LookUpStageTables(s.tables, texel);
        if constexpr (Rows) {
            if (!keyed && s.alphaPass[colour >> 24]) {
                row.Put(colour);
                written.Add(x);
            } else {
                row.Skip();
            }
            row.Flush(s, x == span.x1);
        } else if (s.alphaPass[colour >> 24] &&
            Put<Bytes, B, Depth>(s, pixel, Depth ? depthPixel + 2 * (x - span.x0) : nullptr, colour, t.depth))
            written.Add(x);
    }
    written.Mark(s, span.y);
}

// ---- The choice ----------------------------------------------------------------------

// Source alpha over the target without a depth test, blended by row.
template <int Bytes>
SpanKernels RowKernelsFor(int textureBytes, bool linear) {
    constexpr BlendKind B = BlendKind::Over;
    SpanKernels k{FlatSpan<Bytes, B, false>, nullptr, nullptr, nullptr};
    auto textured = [&]<int TexBytes>() -> SpanFn {
        return linear ? TexturedSpan<Bytes, TexBytes, true, B, false, true> : TexturedSpan<Bytes, TexBytes, false, B, false, true>;
    };
    if (textureBytes == 2) {
        k.textured = textured.template operator()<2>();
        k.wholeTexels = WholeTexelSpan<Bytes, 2, B, false, false, true>;
        k.wholeTexelsKeepRgb = WholeTexelSpan<Bytes, 2, B, false, true, true>;
    }
    if (textureBytes == 4) {
        k.textured = textured.template operator()<4>();
        k.wholeTexels = WholeTexelSpan<Bytes, 4, B, false, false, true>;
        k.wholeTexelsKeepRgb = WholeTexelSpan<Bytes, 4, B, false, true, true>;
    }
    return k;
}

// Whether the target is one the row blends decode and encode: RGB565 or red, green and
// blue in bytes 2, 1, 0.
bool RowBlendTarget(const DrawSetup& s) {
    const PixelCodec& c = s.targetCodec;
    if (s.target.layout.bytesPerPixel == 4) return s.targetPixels->rgb888;
    return s.target.layout.bytesPerPixel == 2 && !c.layout.indexed && c.bits[0] == 5 && c.bits[1] == 6 &&
           c.bits[2] == 5 && c.bits[3] == 0 && c.shift[0] == 11 && c.shift[1] == 5 && c.shift[2] == 0;
}

template <int Bytes, BlendKind B>
SpanKernels KernelsFor(bool depth, int textureBytes, bool linear) {
    SpanKernels k{depth ? FlatSpan<Bytes, B, true> : FlatSpan<Bytes, B, false>, nullptr, nullptr, nullptr};
    auto textured = [&]<int TexBytes>() -> SpanFn {
        if (linear) return depth ? TexturedSpan<Bytes, TexBytes, true, B, true> : TexturedSpan<Bytes, TexBytes, true, B, false>;
        return depth ? TexturedSpan<Bytes, TexBytes, false, B, true> : TexturedSpan<Bytes, TexBytes, false, B, false>;
    };
    if (textureBytes == 2) {
        k.textured = textured.template operator()<2>();
        k.wholeTexels = depth ? WholeTexelSpan<Bytes, 2, B, true, false> : WholeTexelSpan<Bytes, 2, B, false, false>;
        k.wholeTexelsKeepRgb = depth ? WholeTexelSpan<Bytes, 2, B, true, true> : WholeTexelSpan<Bytes, 2, B, false, true>;
    }
    if (textureBytes == 4) {
        k.textured = textured.template operator()<4>();
        k.wholeTexels = depth ? WholeTexelSpan<Bytes, 4, B, true, false> : WholeTexelSpan<Bytes, 4, B, false, false>;
        k.wholeTexelsKeepRgb = depth ? WholeTexelSpan<Bytes, 4, B, true, true> : WholeTexelSpan<Bytes, 4, B, false, true>;
    }
    return k;
}

template <int Bytes>
SpanKernels KernelsFor(BlendKind blend, bool depth, int textureBytes, bool linear) {
    switch (blend) {
    case BlendKind::None: return KernelsFor<Bytes, BlendKind::None>(depth, textureBytes, linear);
    case BlendKind::Over: return KernelsFor<Bytes, BlendKind::Over>(depth, textureBytes, linear);
    default: return KernelsFor<Bytes, BlendKind::General>(depth, textureBytes, linear);
    }
}

void BuildPixelTables(const PixelCodec& codec, PixelTables* t) {
    *t = PixelTables{};
    const int bytes = codec.layout.bytesPerPixel;
    if (codec.layout.indexed || (bytes != 2 && bytes != 4)) return;
    for (int i = 0; i < 4; ++i)
        if (codec.bits[i] > 8) return;
    t->usable = true;
    t->rgb888 = codec.rgb888;
    t->alphaDefault = codec.bits[3] ? 0 : 0xFF000000u;
    t->rgb888Mask = codec.bits[3] ? 0xFFFFFFFFu : 0xFFFFFFu;
    const int position[4] = {16, 8, 0, 24};  // of red, green, blue, alpha in 0xAARRGGBB
    for (int i = 0; i < 4; ++i) {
        t->shift[i] = codec.bits[i] ? codec.shift[i] : 0;
        t->mask[i] = codec.bits[i] ? (1u << codec.bits[i]) - 1 : 0;
        for (uint32_t f = 0; f <= t->mask[i]; ++f)
            t->decode[i][f] = codec.bits[i] ? codec.Decode(f << t->shift[i]) & (0xFFu << position[i]) : 0;
        for (uint32_t value = 0; value < 256; ++value) t->encode[i][value] = codec.Encode(value << position[i]);
    }
}

}  // namespace

const PixelTables* PixelTablesFor(const PixelCodec& codec) {
    struct Entry {
        PixelLayout layout;
        PixelTables tables;
    };
    constexpr int kEntries = 8;
    thread_local Entry cache[kEntries];
    thread_local int used = 0, next = 0, last = -1;
    for (int i = 0; i < used; ++i)
        if (IsSameLayout(cache[i].layout, codec.layout) && !codec.layout.indexed) return &cache[last = i].tables;
    // A new layout replaces the oldest, never the one the draw took last.
    if (next == last) next = (next + 1) % kEntries;
    Entry& e = cache[next];
    last = next;
    next = (next + 1) % kEntries;
    used = std::min(used + 1, kEntries);
    e.layout = codec.layout;
    BuildPixelTables(codec, &e.tables);
    return &e.tables;
}

void ChooseSpanKernels(DrawSetup& s) {
    s.kernels = nullptr;
    s.blendKind = !s.blend ? BlendKind::None
                  : s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA ? BlendKind::Over
                                                                                            : BlendKind::General;
    if (s.alphaTest) {
        for (uint32_t a = 0; a < 256; ++a) s.alphaPass[a] = Compare(s.alphaFunc, a, s.alphaRef);
    } else {
        std::fill_n(s.alphaPass, 256, true);
    }
    s.targetPixels = PixelTablesFor(s.targetCodec);
    if (!s.targetPixels->usable) return;
    int textureBytes = 0;
    bool linear = false;
    s.texturePixels = nullptr;
    if (s.stageCount >= 1 && s.stages[0].textured) {
        const TextureSampler& t = s.stages[0].sampler;
        s.texturePixels = PixelTablesFor(t.codec);
        if (s.texturePixels->usable) textureBytes = t.view.layout.bytesPerPixel;
        linear = t.linear;
    }
    // One set per draw; it lives in the DrawSetup's thread until the next draw.
    thread_local SpanKernels chosen;
    const bool two = s.target.layout.bytesPerPixel == 2;
    if (s.blendKind == BlendKind::Over && !s.depthTest && RowBlendTarget(s))
        chosen = two ? RowKernelsFor<2>(textureBytes, linear) : RowKernelsFor<4>(textureBytes, linear);
    else
        chosen = two ? KernelsFor<2>(s.blendKind, s.depthTest, textureBytes, linear)
                     : KernelsFor<4>(s.blendKind, s.depthTest, textureBytes, linear);
    s.kernels = &chosen;
}

}  // namespace d3draster
