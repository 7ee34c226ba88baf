// d3d_raster.cpp - the device's rasteriser: transformed vertices to pixels.
//
// One draw call: the states are read once into a DrawSetup (stages, textures, blend,
// tests, the clip rectangle), the primitives are assembled from the vertex list, and
// every covered pixel runs the same fragment steps in the order of the fixed-function
// pipeline: texture stages, colour key, alpha test, depth test, blend, writes.
//
// Determinism: positions are snapped to 1/256 pixel and edges are tested in 64-bit
// integers (top-left rule, pixel centres on whole coordinates).
//
// Two paths draw triangles. The general path here tests every pixel of the bounding
// box against the three edges and interpolates every attribute in double precision
// from those integers; it is the tests' oracle (UseGeneralRasterPathOnly sends every
// triangle down it). The fast paths (d3d_spans.cpp, d3d_raster_rect.cpp) cover exactly
// the same pixels and give the same bytes wherever the attributes are constant or land
// on whole texels; elsewhere they step attributes in fixed point (see d3d_spans.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d/d3d_raster_internal.h"

namespace d3draster {

int64_t Snap(double c) { return int64_t(std::floor(std::clamp(c, -kMaxCoordinate, kMaxCoordinate) * 256.0 + 0.5)); }

bool Finite(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

bool SnapTriangle(const DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, SnappedTriangle* t) {
    if (!Finite(a) || !Finite(b) || !Finite(c)) return false;
    int64_t* x = t->x;
    int64_t* y = t->y;
    x[0] = Snap(a.x), x[1] = Snap(b.x), x[2] = Snap(c.x);
    y[0] = Snap(a.y), y[1] = Snap(b.y), y[2] = Snap(c.y);
    t->v[0] = &a, t->v[1] = &b, t->v[2] = &c;
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area == 0) return false;
    // Positive area turns clockwise on the screen (y grows downward).
    if ((s.cull == D3DCULL_CW && area > 0) || (s.cull == D3DCULL_CCW && area < 0)) return false;
    if (area < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        std::swap(t->v[1], t->v[2]);
    }
    t->inverseArea = 1.0 / double(std::llabs(area));
    const int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    t->left = int(std::max<int64_t>(s.clip.left, (minX + 255) >> 8));
    t->right = int(std::min<int64_t>(s.clip.right - 1, maxX >> 8));
    t->top = int(std::max<int64_t>(s.clip.top, (minY + 255) >> 8));
    t->bottom = int(std::min<int64_t>(s.clip.bottom - 1, maxY >> 8));
    return t->left <= t->right && t->top <= t->bottom;
}

}  // namespace d3draster

using namespace d3draster;

namespace {

// ---- Vertices ------------------------------------------------------------------------

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


// ---- The draw's states ---------------------------------------------------------------

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
    if (IsRectEmpty(s->clip)) return false;
    if (s->fastPaths) ChooseSpanKernels(*s);
    return true;
}


// ---- Triangles -----------------------------------------------------------------------

// The general path (see the top of the file).
void DrawTriangle(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking) {
    SnappedTriangle t;
    if (!SnapTriangle(s, a, b, c, &t)) return;
    const int64_t* x = t.x;
    const int64_t* y = t.y;
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
    const int left = t.left, right = t.right, top = t.top, bottom = t.bottom;
    const double inverseArea = t.inverseArea;
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
                ShadePixel(s, px, py, Interpolate(s, t.v, w, 3, provoking));
            }
            e[0] += stepX[0] * 256;
            e[1] += stepX[1] * 256;
            e[2] += stepX[2] * 256;
        }
    }
}

// One triangle by the draw's path.
void Triangle(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking) {
    if (s.fastPaths) DrawTriangleSpans(s, a, b, c, provoking);
    else DrawTriangle(s, a, b, c, provoking);
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
            // A quad as the library sends it: two triangles of a rectangle.
            if (s.fastPaths && i + 5 < count) {
                const Vertex d = at(i + 3), e = at(i + 4), f = at(i + 5);
                const Vertex* first[3] = {&a, &b, &c};
                const Vertex* second[3] = {&d, &e, &f};
                if (DrawRectangle(s, first, second)) {
                    i += 3;
                    continue;
                }
            }
            Triangle(s, a, b, c, a);
        }
        break;
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i) {
            const Vertex a = at(i), b = at(i + 1), c = at(i + 2);
            // Every other triangle of a strip is listed the other way round.
            if (i & 1) Triangle(s, b, a, c, a);
            else Triangle(s, a, b, c, a);
        }
        break;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 1; i + 1 < count; ++i) {
            const Vertex a = at(0), b = at(i), c = at(i + 1);
            Triangle(s, a, b, c, b);
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
