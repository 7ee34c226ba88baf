// d3d_raster_rect.cpp - the rectangle paths: what the library draws most is a quad of
// two list triangles over an axis-aligned rectangle (boxes, graphs, glyphs). When both
// triangles show one constant state, the pair covers exactly the pixels whose centres
// lie in [left, right) x [top, bottom) of the snapped corners (the top-left rule gives
// each pixel of the shared diagonal to one of them), so the rectangle is drawn row by
// row: a flat colour is a row fill (or the flat span kernel where it blends or tests
// depth), and a texture mapped one texel per pixel onto texel centres is a row copy,
// a format conversion or the stage tables per texel. Anything else is left to the
// span walker.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d/d3d_span_kernels.h"

namespace d3draster {

namespace {

struct Corners {
    int64_t x[6], y[6];
    int64_t left, top, right, bottom;  // in 1/256 pixel
};

int64_t SignedArea(const int64_t* x, const int64_t* y) {
    return (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
}

bool Culled(const DrawSetup& s, int64_t area) {
    return area == 0 || (s.cull == D3DCULL_CW && area > 0) || (s.cull == D3DCULL_CCW && area < 0);
}

// Whether the six vertices are two triangles splitting an axis-aligned rectangle along
// a diagonal, neither culled.
bool SplitRectangle(const DrawSetup& s, const Vertex* const v[6], Corners* c) {
    for (int i = 0; i < 6; ++i) {
        if (!Finite(*v[i])) return false;
        c->x[i] = Snap(v[i]->x);
        c->y[i] = Snap(v[i]->y);
    }
    c->left = *std::min_element(c->x, c->x + 6);
    c->right = *std::max_element(c->x, c->x + 6);
    c->top = *std::min_element(c->y, c->y + 6);
    c->bottom = *std::max_element(c->y, c->y + 6);
    if (c->left == c->right || c->top == c->bottom) return false;
    // Each triangle: three distinct corners of the rectangle; the corners they leave
    // out are opposite each other.
    int missing[2];
    for (int t = 0; t < 2; ++t) {
        int seen = 0;
        for (int i = 3 * t; i < 3 * t + 3; ++i) {
            const bool atX = c->x[i] == c->left || c->x[i] == c->right, atY = c->y[i] == c->top || c->y[i] == c->bottom;
            if (!atX || !atY) return false;
            seen |= 1 << ((c->x[i] == c->right) + 2 * (c->y[i] == c->bottom));
        }
        if (__builtin_popcount(unsigned(seen)) != 3) return false;
        missing[t] = __builtin_ctz(unsigned(~seen & 15));
    }
    if ((missing[0] ^ missing[1]) != 3) return false;
    return !Culled(s, SignedArea(c->x, c->y)) && !Culled(s, SignedArea(c->x + 3, c->y + 3));
}

bool SameColoursAll(const DrawSetup& s, const Vertex* const v[6]) {
    const int n = s.gouraud ? 6 : 2;
    const Vertex* const sources[6] = {v[0], v[3], v[1], v[2], v[4], v[5]};  // the provoking ones first
    for (int i = 1; i < n; ++i)
        if (!SameColours(*sources[0], *sources[i])) return false;
    return true;
}

// The texture's offset when the stage's coordinates put texel (px + dx, py + dy) under
// every pixel centre, its centre within 1/1024 texel (so both filters take that texel
// alone, as the general path does), and every texel of the rectangle inside the texture.
bool WholeTexels(const DrawSetup& s, const Vertex* const v[6], const Corners& c, int px0, int py0, int px1, int py1,
                 int* dx, int* dy) {
    const Stage& st = s.stages[0];
    if (st.pair < 0) return false;
    const double w = st.sampler.view.width, h = st.sampler.view.height;
    // Texel coordinate minus pixel coordinate, the same at every corner.
    const double ox = v[0]->uv[st.pair][0] * w - double(c.x[0]) / 256.0;
    const double oy = v[0]->uv[st.pair][1] * h - double(c.y[0]) / 256.0;
    for (int i = 0; i < 6; ++i) {
        if (std::fabs(v[i]->uv[st.pair][0] * w - double(c.x[i]) / 256.0 - ox) > 1e-6) return false;
        if (std::fabs(v[i]->uv[st.pair][1] * h - double(c.y[i]) / 256.0 - oy) > 1e-6) return false;
    }
    const double fx = ox - std::floor(ox), fy = oy - std::floor(oy);
    if (std::fabs(fx - 0.5) > 1.0 / 1024 || std::fabs(fy - 0.5) > 1.0 / 1024) return false;
    if (std::fabs(ox) > 1 << 24 || std::fabs(oy) > 1 << 24) return false;
    *dx = int(std::floor(ox));
    *dy = int(std::floor(oy));
    return px0 + *dx >= 0 && px1 + *dx < int(w) && py0 + *dy >= 0 && py1 + *dy < int(h);
}

// Texels copied, or converted between layouts, as they stand; with Keyed, texels the
// colour key removes are left out. Marks the written pixels of each row.
template <int Bytes, int TexBytes, bool Keyed>
void CopyTexelRows(DrawSetup& s, int px0, int py0, int px1, int py1, int dx, int dy) {
    const TextureSampler& ts = s.stages[0].sampler;
    const PixelTables &texels = *s.texturePixels, &tp = *s.targetPixels;
    // The same layout: the texel's bits that carry a value are the pixel.
    const bool same = Bytes == TexBytes && IsSameLayout(ts.view.layout, s.target.layout);
    const uint32_t valueBits = LayoutValueMask(s.target.layout);
    const int n = px1 - px0 + 1;
    for (int y = py0; y <= py1; ++y) {
        uint8_t* out = PixelAt(s.target, px0, y);
        const uint8_t* in = PixelAt(ts.view, px0 + dx, y + dy);
        if constexpr (Keyed) {
            int first = n, last = -1;
            for (int i = 0; i < n; ++i) {
                const uint32_t raw = Load<TexBytes>(in + TexBytes * i), bits = raw & ts.keyMask;
                if (bits >= ts.keyLow && bits <= ts.keyHigh) continue;
                Store<Bytes>(out + Bytes * i, same ? raw & valueBits : EncodeRaw(tp, DecodeRaw(texels, raw)));
                first = std::min(first, i);
                last = i;
            }
            if (first <= last) MarkDrawn(s, px0 + first, y, px0 + last + 1, y + 1);
            continue;
        }
        if (same && valueBits == (Bytes == 2 ? 0xFFFFu : 0xFFFFFFFFu)) {
            std::memcpy(out, in, size_t(n) * Bytes);
        } else if (same) {
            for (int i = 0; i < n; ++i) Store<Bytes>(out + Bytes * i, Load<Bytes>(in + Bytes * i) & valueBits);
        } else {
            for (int i = 0; i < n; ++i) Store<Bytes>(out + Bytes * i, EncodeRaw(tp, DecodeRaw(texels, Load<TexBytes>(in + TexBytes * i))));
        }
    }
    if (!Keyed) MarkDrawn(s, px0, py0, px1 + 1, py1 + 1);
}

template <bool Keyed>
void CopyTexelRows(DrawSetup& s, int px0, int py0, int px1, int py1, int dx, int dy) {
    const int bytes = s.target.layout.bytesPerPixel, texBytes = s.stages[0].sampler.view.layout.bytesPerPixel;
    if (bytes == 2 && texBytes == 2) CopyTexelRows<2, 2, Keyed>(s, px0, py0, px1, py1, dx, dy);
    else if (bytes == 2) CopyTexelRows<2, 4, Keyed>(s, px0, py0, px1, py1, dx, dy);
    else if (texBytes == 2) CopyTexelRows<4, 2, Keyed>(s, px0, py0, px1, py1, dx, dy);
    else CopyTexelRows<4, 4, Keyed>(s, px0, py0, px1, py1, dx, dy);
}

// A textured rectangle of whole texels: true when drawn.
bool DrawTexturedRectangle(DrawSetup& s, const Vertex* const v[6], const Corners& c, int px0, int py0, int px1,
                           int py1) {
    if (!s.kernels->wholeTexels) return false;
    int dx, dy;
    if (!WholeTexels(s, v, c, px0, py0, px1, py1, &dx, &dy)) return false;
    if (!PrepareStageTables(s, v, *v[0], int64_t(px1 - px0 + 1) * (py1 - py0 + 1))) return false;
    // Nothing per pixel but the texel, its colour (and alpha where the target keeps it)
    // as it stands: a copy or a conversion.
    const bool keepRgb = s.tables.keepRgb;
    if (!s.blend && !s.alphaTest && !s.depthTest && keepRgb && (!s.targetHasAlpha || s.tables.keepAlpha)) {
        const bool keyed = s.stages[0].sampler.keyed;
        if (keyed) CopyTexelRows<true>(s, px0, py0, px1, py1, dx, dy);
        else CopyTexelRows<false>(s, px0, py0, px1, py1, dx, dy);
        ++D3DConfig().rasterPaths[keyed ? D3DPathKeyedCopyRectangle : D3DPathCopyRectangle];
        return true;
    }
    TriangleSpans t{};
    t.texelX = dx;
    t.texelY = dy;
    t.depth = DepthValue(s, v[0]->z);
    const int64_t e[3] = {0, 0, 0};
    const SpanFn kernel = keepRgb ? s.kernels->wholeTexelsKeepRgb : s.kernels->wholeTexels;
    for (int y = py0; y <= py1; ++y) kernel(s, t, SpanStart{e, y, px0, px1});
    ++D3DConfig().rasterPaths[D3DPathTableRectangle];
    return true;
}

}  // namespace

bool DrawRectangle(DrawSetup& s, const Vertex* const first[3], const Vertex* const second[3]) {
    if (!s.kernels) return false;
    const Vertex* const v[6] = {first[0], first[1], first[2], second[0], second[1], second[2]};
    Corners c;
    if (!SplitRectangle(s, v, &c) || !SameColoursAll(s, v)) return false;
    for (int i = 1; i < 6 && s.depthTest; ++i)
        if (v[i]->z != v[0]->z) return false;
    // Pixel centres in [left, right) x [top, bottom), within the clip.
    const int px0 = int(std::max<int64_t>(s.clip.left, (c.left + 255) >> 8));
    const int px1 = int(std::min<int64_t>(s.clip.right, (c.right + 255) >> 8)) - 1;
    const int py0 = int(std::max<int64_t>(s.clip.top, (c.top + 255) >> 8));
    const int py1 = int(std::min<int64_t>(s.clip.bottom, (c.bottom + 255) >> 8)) - 1;
    if (px0 > px1 || py0 > py1) return true;  // no pixel centre inside
    bool textured = false;
    for (int i = 0; i < s.stageCount; ++i) textured |= s.stages[i].textured;
    if (textured) {
        if (s.stageCount != 1 || !s.stagesFitTables || !s.kernels->textured) return false;
        if (s.perspective && !(v[0]->rhw == v[1]->rhw && v[0]->rhw == v[2]->rhw && v[0]->rhw == v[3]->rhw &&
                               v[0]->rhw == v[4]->rhw && v[0]->rhw == v[5]->rhw))
            return false;
        return DrawTexturedRectangle(s, v, c, px0, py0, px1, py1);
    }
    // One colour: the flat span kernel on every row.
    const Vertex& source = *v[0];
    Fragment f{};
    f.diffuse = PackColour(source.diffuse);
    f.specular = PackColour(source.specular);
    TriangleSpans t{};
    t.v[0] = v[0];
    t.v[1] = v[1];
    t.v[2] = v[2];
    t.provoking = v[0];
    if (!RunStages(s, f, &t.colour)) return true;
    if (!s.alphaPass[t.colour >> 24]) return true;
    t.rawColour = s.targetCodec.Encode(t.colour);
    t.constantDepth = true;
    t.depth = DepthValue(s, source.z);
    if (s.blendKind == BlendKind::None && !s.depthTest) {
        // Nothing to read per pixel: a row fill, the bounding box marked once.
        for (int y = py0; y <= py1; ++y)
            FillRawRow(PixelAt(s.target, px0, y), px1 - px0 + 1, s.target.layout.bytesPerPixel, t.rawColour);
        MarkDrawn(s, px0, py0, px1 + 1, py1 + 1);
    } else {
        const int64_t e[3] = {0, 0, 0};
        for (int y = py0; y <= py1; ++y) s.kernels->flat(s, t, SpanStart{e, y, px0, px1});
    }
    ++D3DConfig().rasterPaths[D3DPathFlatRectangle];
    return true;
}

}  // namespace d3draster
