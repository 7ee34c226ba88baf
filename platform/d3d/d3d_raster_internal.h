// d3d_raster_internal.h - the rasteriser's records and steps, shared by its files:
// the draw's states read once (DrawSetup), vertices, texture sampling, the texture
// stages and the per-pixel steps after them. d3d_raster.cpp assembles primitives and
// keeps the general path (every pixel of a triangle's bounding box tested and
// interpolated in double precision), which is also the tests' oracle; d3d_spans.cpp
// walks triangles as spans and d3d_span_kernels.cpp fills them; d3d_raster_rect.cpp
// draws axis-aligned rectangles.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/d3d/d3d_internal.h"

namespace d3draster {

struct Vertex {
    double x, y, z, rhw;
    double diffuse[4];  // a, r, g, b in 0..255
    double specular[4];
    double uv[2][2];    // texture-coordinate pairs
};

// Coordinates are clamped to this before snapping to 1/256 pixel.
constexpr double kMaxCoordinate = double(1 << 21);
int64_t Snap(double c);
bool Finite(const Vertex& v);

// ---- Textures ------------------------------------------------------------------------

struct TextureSampler {
    PixelView view;
    PixelCodec codec{PixelView{}};
    DWORD address;
    bool linear;
    bool keyed;
    uint32_t keyMask, keyLow, keyHigh;
};

int Address(int64_t i, int size, DWORD mode);
// One texel as 0xAARRGGBB; keyed texels are reported, not decoded.
uint32_t Texel(const TextureSampler& t, int x, int y, bool* keyed);
// Samples at (u, v); false when the texel that decides is transparent by colour key.
bool Sample(const TextureSampler& t, double u, double v, uint32_t* argb);
// The same at fixed-point texel coordinates (texels times 2^32): point sampling takes
// texel floor(u), bilinear the texels around u - 1/2 with weights in 1/256 steps,
// as Sample does for u * width.
bool SampleFixed(const TextureSampler& t, int64_t u, int64_t v, uint32_t* argb);

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
// Tables once built are kept (per thread) for later draws of the same stage, factor
// and colours.
struct StageTables {
    bool built;
    uint32_t diffuse, specular;  // the colours the tables were built for
    bool keepAlpha, keepRgb;     // the tables leave alpha, or red, green and blue, as they are
    uint8_t channel[4][256];     // result channel (alpha, red, green, blue) by texel channel
};

// Raw pixels to 0xAARRGGBB and back by table, for layouts of 2 or 4 bytes whose
// channels are at most 8 bits wide (others go through PixelCodec).
struct PixelTables {
    bool usable;
    bool rgb888;             // bytes 2, 1, 0 (and 3): no tables needed
    uint32_t alphaDefault;   // 0xFF000000 when the layout has no alpha
    uint32_t rgb888Mask;     // the bits an rgb888 layout keeps
    int shift[4];            // red, green, blue, alpha
    uint32_t mask[4];
    uint32_t decode[4][256];  // channel field -> its 0xAARRGGBB bits
    uint32_t encode[4][256];  // 8-bit channel value -> its raw bits
};
// The tables of a layout, built on first use and kept (per thread) for later draws.
const PixelTables* PixelTablesFor(const PixelCodec& codec);
inline uint32_t DecodeRaw(const PixelTables& t, uint32_t raw) {
    if (t.rgb888) return raw | t.alphaDefault;
    return t.decode[0][(raw >> t.shift[0]) & t.mask[0]] | t.decode[1][(raw >> t.shift[1]) & t.mask[1]] |
           t.decode[2][(raw >> t.shift[2]) & t.mask[2]] | t.decode[3][(raw >> t.shift[3]) & t.mask[3]] | t.alphaDefault;
}
inline uint32_t EncodeRaw(const PixelTables& t, uint32_t argb) {
    if (t.rgb888) return argb & t.rgb888Mask;
    return t.encode[0][(argb >> 16) & 0xFF] | t.encode[1][(argb >> 8) & 0xFF] | t.encode[2][argb & 0xFF] |
           t.encode[3][argb >> 24];
}

enum class BlendKind : uint8_t { None, Over, General };

struct SpanKernels;

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
    // The fast paths' choices, made once per draw (d3d_span_kernels.cpp).
    BlendKind blendKind;
    bool alphaPass[256];     // the alpha test's verdict by alpha (all true without a test)
    const PixelTables* targetPixels;
    const PixelTables* texturePixels;  // of stage 0's texture
    const SpanKernels* kernels;
};

// A triangle snapped to 1/256 pixel and turned so its area is positive, with the pixel
// rows and columns of its bounding box inside the clip. Both triangle paths start here.
struct SnappedTriangle {
    int64_t x[3], y[3];
    const Vertex* v[3];
    double inverseArea;  // 1 / twice the area, in 1/256-pixel units
    int left, right, top, bottom;
};
// False when the triangle has no finite corner set, no area, is culled or lies outside
// the clip.
bool SnapTriangle(const DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, SnappedTriangle* t);

inline bool Compare(DWORD func, uint32_t value, uint32_t reference) {
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

// ---- Fragments -----------------------------------------------------------------------

// Integer values of one pixel: colours 0xAARRGGBB, depth 0..1 before the viewport.
struct Fragment {
    uint32_t diffuse, specular;
    double uv[2][2];
    double z;
};

// One stage's result from its arguments.
uint32_t CombineStage(const Stage& st, uint32_t diffuse, uint32_t current, uint32_t texture, uint32_t factor,
                      uint32_t specular);
uint32_t AddSpecular(uint32_t colour, uint32_t specular);
// The texture stages: the colour the fragment leaves them with; false when a keyed
// texel removes it.
bool RunStages(const DrawSetup& s, const Fragment& f, uint32_t* out);
// The tables of the stages for these colours (see StageTables).
void BuildStageTables(DrawSetup& s, uint32_t diffuse, uint32_t specular);
inline uint32_t LookUpStageTables(const StageTables& t, uint32_t texture) {
    return uint32_t(t.channel[0][texture >> 24]) << 24 | uint32_t(t.channel[1][(texture >> 16) & 0xFF]) << 16 |
           uint32_t(t.channel[2][(texture >> 8) & 0xFF]) << 8 | t.channel[3][texture & 0xFF];
}

// The 16-bit depth of a depth before the viewport.
uint32_t DepthValue(const DrawSetup& s, double z);
// The blend of a source colour over a target colour (both 0xAARRGGBB).
uint32_t BlendColours(const DrawSetup& s, uint32_t colour, uint32_t dst);
// The steps after the stages: alpha test, depth test, blend, writes; true when the
// pixel was written. MarkDrawn adds pixels to the drawn bounding box.
bool WritePixel(DrawSetup& s, int x, int y, uint32_t colour, double z);
inline void MarkDrawn(DrawSetup& s, int left, int top, int right, int bottom) {
    RECT& d = s.drawn;
    if (d.left >= d.right || d.top >= d.bottom) {
        d = RECT{left, top, right, bottom};
    } else {
        d.left = std::min<LONG>(d.left, left);
        d.top = std::min<LONG>(d.top, top);
        d.right = std::max<LONG>(d.right, right);
        d.bottom = std::max<LONG>(d.bottom, bottom);
    }
}
void ShadePixel(DrawSetup& s, int x, int y, const Fragment& f);

uint32_t PackColour(const double c[4]);
Fragment Interpolate(const DrawSetup& s, const Vertex* const v[], const double w[], int n, const Vertex& provoking);
bool SameColours(const Vertex& a, const Vertex& b);
// Whether the triangle's constant colours let its stages run as the draw's tables,
// with the tables built for them.
bool PrepareStageTables(DrawSetup& s, const Vertex* const v[], const Vertex& provoking, int64_t pixels);

// ---- The fast paths ------------------------------------------------------------------

// Chooses the draw's kernels and builds its tables (after SetUpDraw).
void ChooseSpanKernels(DrawSetup& s);
// A triangle as spans: the general path's coverage, attributes stepped per span.
void DrawTriangleSpans(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking);
// Two triangles of a list that make an axis-aligned rectangle of one state, drawn as
// rows; false (nothing drawn) when they do not qualify.
bool DrawRectangle(DrawSetup& s, const Vertex* const first[3], const Vertex* const second[3]);

}  // namespace d3draster
