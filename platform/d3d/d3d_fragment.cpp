// d3d_fragment.cpp - the rasteriser's per-pixel steps, shared by every path: texture
// sampling, the texture stages (and their tables), alpha and depth tests, blending and
// the writes, and the general path's interpolation of a fragment from vertex weights.
#include <algorithm>
#include <cmath>

#include "platform/d3d/d3d_raster_internal.h"

namespace d3draster {

// ---- Textures ------------------------------------------------------------------------

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

namespace {

// Texture coordinates beyond this are all the same texel for every address mode used.
int64_t TexelIndex(double scaled) { return int64_t(std::floor(std::clamp(scaled, -1e12, 1e12))); }

// The bilinear sum of the four texels from (x0, y0) with weights wx, wy in 1/256.
bool Bilinear(const TextureSampler& t, int64_t fx, int64_t fy, uint32_t* argb) {
    const int w = t.view.width, h = t.view.height;
    const int64_t x0 = fx >> 8, y0 = fy >> 8;
    const uint32_t wx = uint32_t(fx & 255), wy = uint32_t(fy & 255);
    const uint32_t weights[4] = {(256 - wx) * (256 - wy), wx * (256 - wy), (256 - wx) * wy, wx * wy};
    uint32_t sum[4] = {0, 0, 0, 0};
    bool anyVisible = false, keyed;
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

}  // namespace

bool Sample(const TextureSampler& t, double u, double v, uint32_t* argb) {
    const int w = t.view.width, h = t.view.height;
    if (!t.linear) {
        bool keyed;
        *argb = Texel(t, Address(TexelIndex(u * w), w, t.address), Address(TexelIndex(v * h), h, t.address), &keyed);
        return !keyed;
    }
    // Bilinear: texel centres at half coordinates; weights in 1/256 steps.
    return Bilinear(t, TexelIndex((u * w - 0.5) * 256.0 + 0.5), TexelIndex((v * h - 0.5) * 256.0 + 0.5), argb);
}

bool SampleFixed(const TextureSampler& t, int64_t u, int64_t v, uint32_t* argb) {
    if (!t.linear) {
        bool keyed;
        *argb = Texel(t, Address(u >> 32, t.view.width, t.address), Address(v >> 32, t.view.height, t.address), &keyed);
        return !keyed;
    }
    // floor((u - 1/2) * 256 + 1/2) in 1/256 texels.
    constexpr int64_t shift = (int64_t(1) << 31) - (int64_t(1) << 23);
    return Bilinear(t, (u - shift) >> 24, (v - shift) >> 24, argb);
}



namespace {

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

}  // namespace

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
    t.keepAlpha = t.keepRgb = true;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t c = diffuse;
        if (s.stageCount == 1) c = CombineStage(s.stages[0], diffuse, diffuse, v * 0x01010101u, s.textureFactor, specular);
        if (s.specularAdd) c = AddSpecular(c, specular);
        for (int ch = 0; ch < 4; ++ch) t.channel[ch][v] = uint8_t(Channel(c, ch));
        t.keepAlpha &= Channel(c, 0) == v;
        t.keepRgb &= c % 0x01000000u == v * 0x010101u;
    }
    t.built = true;
    t.diffuse = diffuse;
    t.specular = specular;
}

namespace {

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

}  // namespace

uint32_t DepthValue(const DrawSetup& s, double z) {
    const double mapped = s.minZ + std::clamp(z, 0.0, 1.0) * (s.maxZ - s.minZ);
    return uint32_t(std::floor(std::clamp(mapped, 0.0, 1.0) * 65535.0 + 0.5));
}

uint32_t BlendColours(const DrawSetup& s, uint32_t colour, uint32_t dst) {
    uint32_t blended = 0;
    for (int ch = 0; ch < 4; ++ch) {
        const uint32_t v = Channel(colour, ch) * Factor(s.srcBlend, ch, colour, dst) +
                           Channel(dst, ch) * Factor(s.destBlend, ch, colour, dst);
        blended |= std::min<uint32_t>(255, (v + 127) / 255) << (24 - 8 * ch);
    }
    return blended;
}

bool WritePixel(DrawSetup& s, int x, int y, uint32_t colour, double z) {
    if (s.alphaTest && !Compare(s.alphaFunc, colour >> 24, s.alphaRef)) return false;
    uint8_t* depthPixel = nullptr;
    uint32_t depth = 0;
    if (s.depthTest) {
        depthPixel = PixelAt(s.depth, x, y);
        depth = DepthValue(s, z);
        if (!Compare(s.depthFunc, depth, ReadRawPixel(depthPixel, 2))) return false;
    }
    uint8_t* pixel = PixelAt(s.target, x, y);
    const int bytes = s.target.layout.bytesPerPixel;
    // Source alpha over the target leaves an opaque source as it is, target unread.
    const bool opaqueOver = s.fastPaths && s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA && colour >> 24 == 255;
    if (s.blend && !opaqueOver) {
        uint32_t dst = s.targetCodec.Decode(ReadRawPixel(pixel, bytes));
        if (!s.targetHasAlpha) dst |= 0xFF000000u;
        colour = BlendColours(s, colour, dst);
    }
    WriteRawPixel(pixel, bytes, s.targetCodec.Encode(colour));
    if (s.depthWrite) WriteRawPixel(depthPixel, 2, depth);
    return true;
}

void ShadePixel(DrawSetup& s, int x, int y, const Fragment& f) {
    uint32_t colour;
    if (RunStages(s, f, &colour) && WritePixel(s, x, y, colour, f.z)) MarkDrawn(s, x, y, x + 1, y + 1);
}

// ---- Interpolation -------------------------------------------------------------------

uint32_t PackColour(const double c[4]) {
    uint32_t out = 0;
    for (int ch = 0; ch < 4; ++ch) out |= uint32_t(std::clamp(std::floor(c[ch] + 0.5), 0.0, 255.0)) << (24 - 8 * ch);
    return out;
}

namespace {

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

}  // namespace

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

bool SameColours(const Vertex& a, const Vertex& b) {
    return std::equal(a.diffuse, a.diffuse + 4, b.diffuse) && std::equal(a.specular, a.specular + 4, b.specular);
}

// Building the tables costs about as much as this many pixels of the general path.
constexpr int64_t kTableBuildPixels = 64;

// Flat colours come from the provoking vertex; Gouraud colours equal at the three
// corners interpolate to that same colour, since the weights are never negative and
// sum to one within rounding far below half a unit.
namespace {

// What a draw's stage tables are built from besides the colours.
struct StageTablesKey {
    DWORD ops[6];  // the stage's operations and arguments (none without a stage)
    uint32_t factor;
    bool specularAdd;
    bool operator==(const StageTablesKey&) const = default;
};

StageTablesKey KeyOf(const DrawSetup& s) {
    StageTablesKey key{};
    if (s.stageCount == 1) {
        const Stage& st = s.stages[0];
        const DWORD ops[6] = {st.colourOp, st.colourArg1, st.colourArg2, st.alphaOp, st.alphaArg1, st.alphaArg2};
        std::copy(ops, ops + 6, key.ops);
    }
    key.factor = s.textureFactor;
    key.specularAdd = s.specularAdd;
    return key;
}

// The tables of the last draws: a game draws the same few states and colours frame
// after frame, and a draw is often a single small quad (a sprite, a glyph).
struct CachedTables {
    StageTablesKey key;
    StageTables tables;
};
constexpr int kCachedTables = 16;
thread_local CachedTables tableCache[kCachedTables];
thread_local int nextCachedTables = 0;

const StageTables* FindCachedTables(const StageTablesKey& key, uint32_t diffuse, uint32_t specular) {
    for (const CachedTables& e : tableCache) {
        if (e.tables.built && e.tables.diffuse == diffuse && e.tables.specular == specular && e.key == key)
            return &e.tables;
    }
    return nullptr;
}

void KeepTables(const StageTablesKey& key, const StageTables& tables) {
    CachedTables& e = tableCache[nextCachedTables];
    nextCachedTables = (nextCachedTables + 1) % kCachedTables;
    e.key = key;
    e.tables = tables;
}

}  // namespace

bool PrepareStageTables(DrawSetup& s, const Vertex* const v[], const Vertex& provoking, int64_t pixels) {
    if (!s.stagesFitTables) return false;
    if (s.gouraud && !(SameColours(*v[0], *v[1]) && SameColours(*v[0], *v[2]))) return false;
    const Vertex& source = s.gouraud ? *v[0] : provoking;
    const uint32_t diffuse = PackColour(source.diffuse), specular = PackColour(source.specular);
    if (s.tables.built && s.tables.diffuse == diffuse && s.tables.specular == specular) return true;
    const StageTablesKey key = KeyOf(s);
    if (const StageTables* cached = FindCachedTables(key, diffuse, specular)) {
        s.tables = *cached;
        return true;
    }
    if (pixels < kTableBuildPixels) return false;
    BuildStageTables(s, diffuse, specular);
    KeepTables(key, s.tables);
    return true;
}

}  // namespace d3draster
