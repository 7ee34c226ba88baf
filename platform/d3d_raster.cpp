// d3d_raster.cpp - the device's rasteriser: transformed vertices to pixels.
//
// One draw call: the states are read once into a DrawSetup (stages, textures, blend,
// tests, the clip rectangle), the primitives are assembled from the vertex list, and
// every covered pixel runs the same fragment steps in the order of the fixed-function
// pipeline: texture stages, colour key, alpha test, depth test, blend, writes.
//
// Determinism: positions are snapped to 1/256 pixel and edges are tested in 64-bit
// integers (top-left rule, pixel centres on whole coordinates); attributes are
// interpolated in double precision from those integers, colours and depths rounded to
// integers before use, and every blend is integer arithmetic.
//
// Fast paths, chosen once per triangle, give the same bytes as the general path: a
// triangle of one colour with at most one stage runs its stage as look-up tables and
// interpolates only what the stage and the depth test read, with the same sums. A
// test seam (UseGeneralRasterPathOnly) sends every pixel down the general path.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d_internal.h"

namespace {

// ---- Vertices ------------------------------------------------------------------------

struct Vertex {
    double x, y, z, rhw;
    double diffuse[4];   // a, r, g, b in 0..255
    double specular[4];
    double uv[2][2];     // texture-coordinate pairs
};

void UnpackColour(uint32_t c, double out[4]) {
    out[0] = c >> 24;
    out[1] = (c >> 16) & 0xFF;
    out[2] = (c >> 8) & 0xFF;
    out[3] = c & 0xFF;
}

struct VertexFormat {
    DWORD stride;
    bool diffuse, specular;
    int pairs;
};

VertexFormat FormatOf(DWORD fvf) {
    VertexFormat f{16, (fvf & D3DFVF_DIFFUSE) != 0, (fvf & D3DFVF_SPECULAR) != 0,
                   int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT)};
    f.stride += (f.diffuse ? 4 : 0) + (f.specular ? 4 : 0) + 8 * DWORD(f.pairs);
    return f;
}

Vertex ReadVertex(const uint8_t* p, const VertexFormat& f) {
    Vertex v{};
    float xyzw[4];
    std::memcpy(xyzw, p, 16);
    v.x = xyzw[0];
    v.y = xyzw[1];
    v.z = xyzw[2];
    v.rhw = xyzw[3];
    p += 16;
    uint32_t colour = 0xFFFFFFFFu;
    if (f.diffuse) {
        std::memcpy(&colour, p, 4);
        p += 4;
    }
    UnpackColour(colour, v.diffuse);
    colour = 0;
    if (f.specular) {
        std::memcpy(&colour, p, 4);
        p += 4;
    }
    UnpackColour(colour, v.specular);
    for (int i = 0; i < f.pairs; ++i) {
        float uv[2];
        std::memcpy(uv, p, 8);
        p += 8;
        v.uv[i][0] = uv[0];
        v.uv[i][1] = uv[1];
    }
    return v;
}

// ---- Textures ------------------------------------------------------------------------

struct TextureSampler {
    PixelView view;
    PixelCodec codec{PixelView{}};
    DWORD address;
    bool linear;
    bool keyed;
    uint32_t keyMask, keyLow, keyHigh;
};

int Address(int64_t i, int size, DWORD mode) {
    if (i >= 0 && i < size) return int(i);  // every mode leaves a texel inside the texture
    if (mode == D3DTADDRESS_CLAMP) return int(std::clamp<int64_t>(i, 0, size - 1));
    if (mode == D3DTADDRESS_MIRROR) {
        int64_t period = 2 * int64_t(size);
        int64_t m = ((i % period) + period) % period;
        return int(m < size ? m : period - 1 - m);
    }
    return int(((i % size) + size) % size);
}

// One texel as 0xAARRGGBB; keyed texels are reported, not decoded.
uint32_t Texel(const TextureSampler& t, int x, int y, bool* keyed) {
    const uint32_t raw = ReadRawPixel(PixelAt(t.view, x, y), t.view.layout.bytesPerPixel);
    if (t.keyed) {
        const uint32_t bits = raw & t.keyMask;
        if (bits >= t.keyLow && bits <= t.keyHigh) {
            *keyed = true;
            return 0;
        }
    }
    *keyed = false;
    return t.codec.Decode(raw);
}

// Texture coordinates beyond this are all the same texel for every address mode used.
int64_t TexelIndex(double scaled) { return int64_t(std::floor(std::clamp(scaled, -1e12, 1e12))); }

// Samples at (u, v); false when the texel that decides is transparent by colour key.
bool Sample(const TextureSampler& t, double u, double v, uint32_t* argb) {
    const int w = t.view.width, h = t.view.height;
    bool keyed;
    if (!t.linear) {
        *argb = Texel(t, Address(TexelIndex(u * w), w, t.address), Address(TexelIndex(v * h), h, t.address), &keyed);
        return !keyed;
    }
    // Bilinear: texel centres at half coordinates; weights in 1/256 steps.
    const int64_t fx = TexelIndex((u * w - 0.5) * 256.0 + 0.5), fy = TexelIndex((v * h - 0.5) * 256.0 + 0.5);
    const int64_t x0 = fx >> 8, y0 = fy >> 8;
    const uint32_t wx = uint32_t(fx & 255), wy = uint32_t(fy & 255);
    const uint32_t weights[4] = {(256 - wx) * (256 - wy), wx * (256 - wy), (256 - wx) * wy, wx * wy};
    uint32_t sum[4] = {0, 0, 0, 0};
    bool anyVisible = false;
    for (int i = 0; i < 4; ++i) {
        if (!weights[i]) continue;
        const uint32_t c = Texel(t, Address(x0 + (i & 1), w, t.address), Address(y0 + (i >> 1), h, t.address), &keyed);
        anyVisible |= !keyed;
        for (int ch = 0; ch < 4; ++ch) sum[ch] += ((c >> (24 - 8 * ch)) & 0xFF) * weights[i];
    }
    *argb = 0;
    for (int ch = 0; ch < 4; ++ch) *argb |= ((sum[ch] + 32768) >> 16) << (24 - 8 * ch);
    return anyVisible;
}

// ---- The draw's states ---------------------------------------------------------------

struct Stage {
    DWORD colourOp, colourArg1, colourArg2, alphaOp, alphaArg1, alphaArg2;
    int pair;  // texture-coordinate pair, -1 when the vertices have no such pair
    bool textured;
    TextureSampler sampler;
};

// With one stage (or none) and the same diffuse and specular colour all over a
// triangle, each channel of the stages' result depends only on the same channel of the
// texel, as long as no colour argument replicates alpha. The stages then become four
// 256-entry tables, built by the general stage code itself, so a pixel costs a sample
// and four look-ups and comes out with the general path's bytes.
struct StageTables {
    bool built;
    uint32_t diffuse, specular;  // the colours the tables were built for
    uint8_t channel[4][256];     // result channel (alpha, red, green, blue) by texel channel
};

struct DrawSetup {
    PixelView target;
    PixelCodec targetCodec{PixelView{}};
    bool targetHasAlpha;
    RECT clip;
    bool onDesktop;
    RECT drawn;  // bounding box of the pixels written
    PixelView depth;
    bool depthTest, depthWrite;
    DWORD depthFunc;
    double minZ, maxZ;
    Stage stages[4];
    int stageCount;
    uint32_t textureFactor;
    bool alphaTest;
    DWORD alphaFunc;
    uint32_t alphaRef;
    bool blend;
    DWORD srcBlend, destBlend;
    bool gouraud, perspective, specularAdd;
    DWORD cull;
    bool fastPaths;        // false: every pixel takes the general path (for tests)
    bool stagesFitTables;  // the stages can run as StageTables (see below)
    StageTables tables;
};

bool SetUpTexture(IDirectDrawSurface7* surface, const DWORD* ts, bool colourKeying, TextureSampler* t) {
    if (!DDrawIsSurface(surface) || !surface->owner || !DDrawSurfaceView(surface, &t->view)) return false;
    t->codec = PixelCodec(t->view);
    t->address = ts[D3DTSS_ADDRESSU];
    t->linear = ts[D3DTSS_MAGFILTER] == D3DTFG_LINEAR;
    t->keyed = colourKeying && surface->hasSourceKey;
    t->keyMask = LayoutValueMask(t->view.layout);
    t->keyLow = surface->sourceKey.dwColorSpaceLowValue & t->keyMask;
    t->keyHigh = surface->sourceKey.dwColorSpaceHighValue & t->keyMask;
    return true;
}

bool SetUpDraw(IDirect3DDevice7* d, const VertexFormat& format, DrawSetup* s) {
    const DWORD* rs = d->renderState;
    DDrawSurfaceView(d->target, &s->target);
    s->targetCodec = PixelCodec(s->target);
    s->targetHasAlpha = s->target.layout.alphaMask != 0;
    const D3DVIEWPORT7& vp = d->viewport;
    s->clip = IntersectRects(ViewBounds(s->target), RECT{LONG(vp.dwX), LONG(vp.dwY), LONG(vp.dwX + vp.dwWidth),
                                                         LONG(vp.dwY + vp.dwHeight)});
    s->onDesktop = DDrawSurfaceIsOnDesktop(d->target);
    s->drawn = RECT{0, 0, 0, 0};
    s->minZ = vp.dvMinZ;
    s->maxZ = vp.dvMaxZ;
    IDirectDrawSurface7* z = d->target->zBuffer;
    s->depthTest = rs[D3DRENDERSTATE_ZENABLE] != 0 && z && DDrawSurfaceView(z, &s->depth) &&
                   s->depth.width >= s->target.width && s->depth.height >= s->target.height;
    s->depthWrite = s->depthTest && rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    s->depthFunc = rs[D3DRENDERSTATE_ZFUNC];
    const bool colourKeying = rs[D3DRENDERSTATE_COLORKEYENABLE] != 0;
    s->stageCount = 0;
    for (int i = 0; i < 4; ++i) {
        const DWORD* ts = d->stageState[i];
        if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        Stage& st = s->stages[i];
        st.colourOp = ts[D3DTSS_COLOROP];
        st.colourArg1 = ts[D3DTSS_COLORARG1];
        st.colourArg2 = ts[D3DTSS_COLORARG2];
        st.alphaOp = ts[D3DTSS_ALPHAOP];
        st.alphaArg1 = ts[D3DTSS_ALPHAARG1];
        st.alphaArg2 = ts[D3DTSS_ALPHAARG2];
        const DWORD index = ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        st.pair = index < DWORD(format.pairs) ? int(index) : -1;
        st.textured = d->textures[i] && SetUpTexture(d->textures[i], ts, colourKeying, &st.sampler);
        s->stageCount = i + 1;
    }
    s->textureFactor = rs[D3DRENDERSTATE_TEXTUREFACTOR];
    s->alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
    s->alphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    s->alphaRef = rs[D3DRENDERSTATE_ALPHAREF] & 0xFF;
    s->blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    s->srcBlend = rs[D3DRENDERSTATE_SRCBLEND];
    s->destBlend = rs[D3DRENDERSTATE_DESTBLEND];
    s->gouraud = rs[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
    s->perspective = rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
    s->specularAdd = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
    s->cull = rs[D3DRENDERSTATE_CULLMODE];
    s->fastPaths = !D3DConfig().generalRasterOnly;
    s->stagesFitTables = s->fastPaths &&
                         (s->stageCount == 0 ||
                          (s->stageCount == 1 &&
                           !((s->stages[0].colourArg1 | s->stages[0].colourArg2) & D3DTA_ALPHAREPLICATE)));
    s->tables.built = false;
    return !IsRectEmpty(s->clip);
}

// ---- Fragments -----------------------------------------------------------------------

// Integer values of one pixel: colours 0xAARRGGBB, depth 0..1 before the viewport.
struct Fragment {
    uint32_t diffuse, specular;
    double uv[2][2];
    double z;
};

bool Compare(DWORD func, uint32_t value, uint32_t reference) {
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return true;
    }
}

inline uint32_t Channel(uint32_t c, int ch) { return (c >> (24 - 8 * ch)) & 0xFF; }  // 0 = alpha

uint32_t Argument(DWORD arg, uint32_t diffuse, uint32_t current, uint32_t texture, uint32_t factor,
                  uint32_t specular, bool alpha) {
    uint32_t v;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = diffuse; break;
    case D3DTA_CURRENT: v = current; break;
    case D3DTA_TEXTURE: v = texture; break;
    case D3DTA_TFACTOR: v = factor; break;
    case D3DTA_SPECULAR: v = specular; break;
    default: v = 0xFFFFFFFFu; break;
    }
    if (arg & D3DTA_COMPLEMENT) v = ~v;
    if ((arg & D3DTA_ALPHAREPLICATE) && !alpha) v = (v & 0xFF000000u) | (v >> 24) * 0x010101u;
    return v;
}

uint32_t Operate(DWORD op, uint32_t a, uint32_t b) {
    switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return (a * b + 127) / 255;
    case D3DTOP_MODULATE2X: return std::min<uint32_t>(255, (2 * a * b + 127) / 255);
    case D3DTOP_MODULATE4X: return std::min<uint32_t>(255, (4 * a * b + 127) / 255);
    case D3DTOP_ADD: return std::min<uint32_t>(255, a + b);
    case D3DTOP_SUBTRACT: return a > b ? a - b : 0;
    default: return a;
    }
}

// One stage's result from its arguments.
uint32_t CombineStage(const Stage& st, uint32_t diffuse, uint32_t current, uint32_t texture, uint32_t factor,
                      uint32_t specular) {
    const uint32_t c1 = Argument(st.colourArg1, diffuse, current, texture, factor, specular, false);
    const uint32_t c2 = Argument(st.colourArg2, diffuse, current, texture, factor, specular, false);
    uint32_t next = 0;
    for (int ch = 1; ch < 4; ++ch) next |= Operate(st.colourOp, Channel(c1, ch), Channel(c2, ch)) << (24 - 8 * ch);
    uint32_t alpha = Channel(current, 0);
    if (st.alphaOp != D3DTOP_DISABLE) {
        const uint32_t a1 = Argument(st.alphaArg1, diffuse, current, texture, factor, specular, true);
        const uint32_t a2 = Argument(st.alphaArg2, diffuse, current, texture, factor, specular, true);
        alpha = Operate(st.alphaOp, Channel(a1, 0), Channel(a2, 0));
    }
    return next | alpha << 24;
}

uint32_t AddSpecular(uint32_t colour, uint32_t specular) {
    uint32_t sum = colour & 0xFF000000u;
    for (int ch = 1; ch < 4; ++ch) sum |= std::min<uint32_t>(255, Channel(colour, ch) + Channel(specular, ch)) << (24 - 8 * ch);
    return sum;
}

// The texture stages: the colour the fragment leaves them with; false when a keyed
// texel removes it.
bool RunStages(const DrawSetup& s, const Fragment& f, uint32_t* out) {
    uint32_t current = f.diffuse;
    for (int i = 0; i < s.stageCount; ++i) {
        const Stage& st = s.stages[i];
        uint32_t texture = 0xFFFFFFFFu;
        if (st.textured) {
            const double u = st.pair >= 0 ? f.uv[st.pair][0] : 0.0, v = st.pair >= 0 ? f.uv[st.pair][1] : 0.0;
            if (!Sample(st.sampler, u, v, &texture)) return false;
        }
        current = CombineStage(st, f.diffuse, current, texture, s.textureFactor, f.specular);
    }
    if (s.specularAdd) current = AddSpecular(current, f.specular);
    *out = current;
    return true;
}

// The tables of the stages for these colours (see StageTables).
void BuildStageTables(DrawSetup& s, uint32_t diffuse, uint32_t specular) {
    StageTables& t = s.tables;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t c = diffuse;
        if (s.stageCount == 1) c = CombineStage(s.stages[0], diffuse, diffuse, v * 0x01010101u, s.textureFactor, specular);
        if (s.specularAdd) c = AddSpecular(c, specular);
        for (int ch = 0; ch < 4; ++ch) t.channel[ch][v] = uint8_t(Channel(c, ch));
    }
    t.built = true;
    t.diffuse = diffuse;
    t.specular = specular;
}

uint32_t LookUpStageTables(const StageTables& t, uint32_t texture) {
    return uint32_t(t.channel[0][texture >> 24]) << 24 | uint32_t(t.channel[1][(texture >> 16) & 0xFF]) << 16 |
           uint32_t(t.channel[2][(texture >> 8) & 0xFF]) << 8 | t.channel[3][texture & 0xFF];
}

uint32_t Factor(DWORD blend, int ch, uint32_t src, uint32_t dst) {
    switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return Channel(src, ch);
    case D3DBLEND_INVSRCCOLOR: return 255 - Channel(src, ch);
    case D3DBLEND_SRCALPHA: return Channel(src, 0);
    case D3DBLEND_INVSRCALPHA: return 255 - Channel(src, 0);
    case D3DBLEND_DESTALPHA: return Channel(dst, 0);
    case D3DBLEND_INVDESTALPHA: return 255 - Channel(dst, 0);
    case D3DBLEND_DESTCOLOR: return Channel(dst, ch);
    case D3DBLEND_INVDESTCOLOR: return 255 - Channel(dst, ch);
    default: return 255;
    }
}

uint32_t DepthValue(const DrawSetup& s, double z) {
    const double mapped = s.minZ + std::clamp(z, 0.0, 1.0) * (s.maxZ - s.minZ);
    return uint32_t(std::floor(std::clamp(mapped, 0.0, 1.0) * 65535.0 + 0.5));
}

// The steps after the stages: alpha test, depth test, blend, writes.
void FinishPixel(DrawSetup& s, int x, int y, uint32_t colour, double z) {
    if (s.alphaTest && !Compare(s.alphaFunc, colour >> 24, s.alphaRef)) return;
    uint8_t* depthPixel = nullptr;
    uint32_t depth = 0;
    if (s.depthTest) {
        depthPixel = PixelAt(s.depth, x, y);
        depth = DepthValue(s, z);
        if (!Compare(s.depthFunc, depth, ReadRawPixel(depthPixel, 2))) return;
    }
    uint8_t* pixel = PixelAt(s.target, x, y);
    const int bytes = s.target.layout.bytesPerPixel;
    // Source alpha over the target leaves an opaque source as it is, target unread.
    const bool opaqueOver = s.fastPaths && s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA && colour >> 24 == 255;
    if (s.blend && !opaqueOver) {
        uint32_t dst = s.targetCodec.Decode(ReadRawPixel(pixel, bytes));
        if (!s.targetHasAlpha) dst |= 0xFF000000u;
        uint32_t blended = 0;
        for (int ch = 0; ch < 4; ++ch) {
            const uint32_t v = Channel(colour, ch) * Factor(s.srcBlend, ch, colour, dst) +
                               Channel(dst, ch) * Factor(s.destBlend, ch, colour, dst);
            blended |= std::min<uint32_t>(255, (v + 127) / 255) << (24 - 8 * ch);
        }
        colour = blended;
    }
    WriteRawPixel(pixel, bytes, s.targetCodec.Encode(colour));
    if (s.depthWrite) WriteRawPixel(depthPixel, 2, depth);
    RECT& d = s.drawn;
    if (IsRectEmpty(d)) {
        d = RECT{x, y, x + 1, y + 1};
    } else {
        d.left = std::min<LONG>(d.left, x);
        d.top = std::min<LONG>(d.top, y);
        d.right = std::max<LONG>(d.right, x + 1);
        d.bottom = std::max<LONG>(d.bottom, y + 1);
    }
}

void ShadePixel(DrawSetup& s, int x, int y, const Fragment& f) {
    uint32_t colour;
    if (RunStages(s, f, &colour)) FinishPixel(s, x, y, colour, f.z);
}

// ---- Interpolation -------------------------------------------------------------------

uint32_t PackColour(const double c[4]) {
    uint32_t out = 0;
    for (int ch = 0; ch < 4; ++ch) out |= uint32_t(std::clamp(std::floor(c[ch] + 0.5), 0.0, 255.0)) << (24 - 8 * ch);
    return out;
}

// Weights of the vertices (summing to 1) to a fragment; flat colours come from the
// provoking vertex.
// Sum of weight times value over the vertices, in their order. Every value of a
// fragment is summed this way, by both paths, so both round alike.
template <typename Value>
double Weigh(const double w[], int n, Value value) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += w[i] * value(i);
    return sum;
}

double WeighedRhw(const Vertex* const v[], const double w[], int n) {
    return Weigh(w, n, [&](int i) { return v[i]->rhw; });
}

bool UsesPerspective(const DrawSetup& s, double rhw) { return s.perspective && rhw != 0.0 && std::isfinite(rhw); }

// Coordinate k of texture-coordinate pair p.
double Coordinate(const Vertex* const v[], const double w[], int n, int p, int k, bool perspective, double rhw) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += w[i] * v[i]->uv[p][k] * (perspective ? v[i]->rhw : 1.0);
    return perspective ? sum / rhw : sum;
}

Fragment Interpolate(const DrawSetup& s, const Vertex* const v[], const double w[], int n, const Vertex& provoking) {
    Fragment f{};
    f.z = Weigh(w, n, [&](int i) { return v[i]->z; });
    const double rhw = WeighedRhw(v, w, n);
    double diffuse[4], specular[4];
    for (int ch = 0; ch < 4; ++ch) {
        diffuse[ch] = Weigh(w, n, [&](int i) { return v[i]->diffuse[ch]; });
        specular[ch] = Weigh(w, n, [&](int i) { return v[i]->specular[ch]; });
    }
    f.diffuse = PackColour(s.gouraud ? diffuse : provoking.diffuse);
    f.specular = PackColour(s.gouraud ? specular : provoking.specular);
    const bool perspective = UsesPerspective(s, rhw);
    for (int p = 0; p < 2; ++p)
        for (int k = 0; k < 2; ++k) f.uv[p][k] = Coordinate(v, w, n, p, k, perspective, rhw);
    return f;
}

// A pixel of a triangle whose stages run as the draw's StageTables: only the values the
// stage and the depth test read are interpolated.
void ShadeTablePixel(DrawSetup& s, int x, int y, const Vertex* const v[], const double w[]) {
    uint32_t texture = 0xFFFFFFFFu;
    const Stage& st = s.stages[0];
    if (s.stageCount == 1 && st.textured) {
        double u = 0.0, t = 0.0;
        if (st.pair >= 0) {
            const double rhw = s.perspective ? WeighedRhw(v, w, 3) : 0.0;
            const bool perspective = UsesPerspective(s, rhw);
            u = Coordinate(v, w, 3, st.pair, 0, perspective, rhw);
            t = Coordinate(v, w, 3, st.pair, 1, perspective, rhw);
        }
        if (!Sample(st.sampler, u, t, &texture)) return;
    }
    const double z = s.depthTest ? Weigh(w, 3, [&](int i) { return v[i]->z; }) : 0.0;
    FinishPixel(s, x, y, LookUpStageTables(s.tables, texture), z);
}

bool SameColours(const Vertex& a, const Vertex& b) {
    return std::equal(a.diffuse, a.diffuse + 4, b.diffuse) && std::equal(a.specular, a.specular + 4, b.specular);
}

// Building the tables costs about as much as this many pixels of the general path.
constexpr int64_t kTableBuildPixels = 64;

// Whether the triangle's pixels can go through ShadeTablePixel, with the tables built.
// Flat colours come from the provoking vertex; Gouraud colours equal at the three
// corners interpolate to that same colour, since the weights are never negative and
// sum to one within rounding far below half a unit.
bool PrepareStageTables(DrawSetup& s, const Vertex* const v[], const Vertex& provoking, int64_t pixels) {
    if (!s.stagesFitTables) return false;
    if (s.gouraud && !(SameColours(*v[0], *v[1]) && SameColours(*v[0], *v[2]))) return false;
    const Vertex& source = s.gouraud ? *v[0] : provoking;
    const uint32_t diffuse = PackColour(source.diffuse), specular = PackColour(source.specular);
    if (s.tables.built && s.tables.diffuse == diffuse && s.tables.specular == specular) return true;
    if (pixels < kTableBuildPixels) return false;
    BuildStageTables(s, diffuse, specular);
    return true;
}

// ---- Triangles -----------------------------------------------------------------------

constexpr double kMaxCoordinate = double(1 << 21);

int64_t Snap(double c) { return int64_t(std::floor(std::clamp(c, -kMaxCoordinate, kMaxCoordinate) * 256.0 + 0.5)); }

bool Finite(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

void DrawTriangle(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking) {
    if (!Finite(a) || !Finite(b) || !Finite(c)) return;
    int64_t x[3] = {Snap(a.x), Snap(b.x), Snap(c.x)}, y[3] = {Snap(a.y), Snap(b.y), Snap(c.y)};
    const Vertex* v[3] = {&a, &b, &c};
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area == 0) return;
    // Positive area turns clockwise on the screen (y grows downward).
    if ((s.cull == D3DCULL_CW && area > 0) || (s.cull == D3DCULL_CCW && area < 0)) return;
    if (area < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        std::swap(v[1], v[2]);
    }
    const double inverseArea = 1.0 / double(std::llabs(area));
    // Edge i runs from vertex i+1 to vertex i+2 and weighs vertex i. A pixel centre on
    // an edge belongs to the triangle only on a top or a left edge.
    int64_t stepX[3], bias[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        const int64_t dx = x[k] - x[j], dy = y[k] - y[j];
        stepX[i] = -dy;  // change of the edge value per pixel to the right (over 256)
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        bias[i] = topLeft ? 0 : -1;
    }
    const int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    const int left = int(std::max<int64_t>(s.clip.left, (minX + 255) >> 8));
    const int right = int(std::min<int64_t>(s.clip.right - 1, maxX >> 8));
    const int top = int(std::max<int64_t>(s.clip.top, (minY + 255) >> 8));
    const int bottom = int(std::min<int64_t>(s.clip.bottom - 1, maxY >> 8));
    if (left > right || top > bottom) return;
    const bool tables = PrepareStageTables(s, v, provoking, int64_t(right - left + 1) * (bottom - top + 1));
    for (int py = top; py <= bottom; ++py) {
        int64_t e[3];
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3, k = (i + 2) % 3;
            e[i] = (x[k] - x[j]) * (int64_t(py) * 256 - y[j]) - (y[k] - y[j]) * (int64_t(left) * 256 - x[j]);
        }
        for (int px = left; px <= right; ++px) {
            if (e[0] + bias[0] >= 0 && e[1] + bias[1] >= 0 && e[2] + bias[2] >= 0) {
                const double w[3] = {double(e[0]) * inverseArea, double(e[1]) * inverseArea,
                                     double(e[2]) * inverseArea};
                if (tables) ShadeTablePixel(s, px, py, v, w);
                else ShadePixel(s, px, py, Interpolate(s, v, w, 3, provoking));
            }
            e[0] += stepX[0] * 256;
            e[1] += stepX[1] * 256;
            e[2] += stepX[2] * 256;
        }
    }
}

// ---- Lines and points ----------------------------------------------------------------

// Diamond-exit rule: a pixel is drawn when the line leaves the diamond around its centre.
void DrawLine(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& provoking) {
    if (!Finite(a) || !Finite(b)) return;
    const double dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0 && dy == 0) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double from = std::clamp(xMajor ? a.x : a.y, -kMaxCoordinate, kMaxCoordinate);
    const double to = std::clamp(xMajor ? b.x : b.y, -kMaxCoordinate, kMaxCoordinate);
    int64_t first, last;
    if (from < to) {
        first = int64_t(std::floor(from - 0.5)) + 1;
        last = int64_t(std::floor(to - 0.5));
    } else {
        first = int64_t(std::ceil(to + 0.5));
        last = int64_t(std::ceil(from + 0.5)) - 1;
    }
    const int64_t lo = xMajor ? s.clip.left : s.clip.top, hi = (xMajor ? s.clip.right : s.clip.bottom) - 1;
    first = std::max(first, lo);
    last = std::min(last, hi);
    const Vertex* v[2] = {&a, &b};
    const double span = xMajor ? dx : dy;
    for (int64_t c = first; c <= last; ++c) {
        const double t = std::clamp((double(c) - (xMajor ? a.x : a.y)) / span, 0.0, 1.0);
        const double minor = (xMajor ? a.y + t * dy : a.x + t * dx);
        const int64_t m = int64_t(std::floor(std::clamp(minor, -kMaxCoordinate, kMaxCoordinate) + 0.5));
        const int px = int(xMajor ? c : m), py = int(xMajor ? m : c);
        if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom) continue;
        const double w[2] = {1.0 - t, t};
        ShadePixel(s, px, py, Interpolate(s, v, w, 2, provoking));
    }
}

void DrawPoint(DrawSetup& s, const Vertex& a) {
    if (!Finite(a)) return;
    const double px = std::floor(std::clamp(a.x, -kMaxCoordinate, kMaxCoordinate) + 0.5);
    const double py = std::floor(std::clamp(a.y, -kMaxCoordinate, kMaxCoordinate) + 0.5);
    if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom) return;
    const Vertex* v[1] = {&a};
    const double w[1] = {1.0};
    ShadePixel(s, int(px), int(py), Interpolate(s, v, w, 1, a));
}

}  // namespace

HRESULT D3DRasterize(IDirect3DDevice7* device, D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices,
                     DWORD vertexCount, const WORD* indices, DWORD indexCount) {
    const VertexFormat format = FormatOf(fvf);
    DrawSetup s;
    if (!SetUpDraw(device, format, &s)) return D3D_OK;
    const DWORD count = indices ? indexCount : vertexCount;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    auto at = [&](DWORD i) { return ReadVertex(bytes + size_t(indices ? indices[i] : i) * format.stride, format); };
    switch (type) {
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3) {
            const Vertex a = at(i), b = at(i + 1), c = at(i + 2);
            DrawTriangle(s, a, b, c, a);
        }
        break;
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i) {
            const Vertex a = at(i), b = at(i + 1), c = at(i + 2);
            // Every other triangle of a strip is listed the other way round.
            if (i & 1) DrawTriangle(s, b, a, c, a);
            else DrawTriangle(s, a, b, c, a);
        }
        break;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 1; i + 1 < count; ++i) {
            const Vertex a = at(0), b = at(i), c = at(i + 1);
            DrawTriangle(s, a, b, c, b);
        }
        break;
    case D3DPT_LINELIST:
        for (DWORD i = 0; i + 1 < count; i += 2) {
            const Vertex a = at(i), b = at(i + 1);
            DrawLine(s, a, b, a);
        }
        break;
    case D3DPT_LINESTRIP:
        for (DWORD i = 0; i + 1 < count; ++i) {
            const Vertex a = at(i), b = at(i + 1);
            DrawLine(s, a, b, a);
        }
        break;
    default:
        for (DWORD i = 0; i < count; ++i) DrawPoint(s, at(i));
        break;
    }
    if (s.onDesktop && !IsRectEmpty(s.drawn)) {
        RECT& d = device->drawnOnDesktop;
        d = IsRectEmpty(d) ? s.drawn
                           : RECT{std::min(d.left, s.drawn.left), std::min(d.top, s.drawn.top),
                                  std::max(d.right, s.drawn.right), std::max(d.bottom, s.drawn.bottom)};
    }
    return D3D_OK;
}
