// raster3d_clip.cpp - cutting a triangle at the depth planes z = 1 and z = 0.
//
// The vertices go to homogeneous form (x, y, z times w = 1 / rhw, with w kept in the
// rhw field), the polygon is cut by the far plane and then the near plane, the result
// is projected back and drawn as a fan: (P0, P1, P2), then (Pk, P0, Pk-1) for k >= 3.
// The pieces are drawn Gouraud shaded, and the cut vertices get their colour as
// chA + (chB - chA) * T / 256 with T = trunc(t * 255) (so t = 1 stops just short of chB).
#include <algorithm>

#include "library/core/arith.h"
#include "library/d3d/d3d.h"
#include "library/softrender/raster3d.h"

namespace {

// A triangle cut by both planes has at most 5 corners; each pass appends a closing copy
// of its first corner, and a pass over n corners emits at most 2n.
constexpr int kPolygonCapacity = 12;
// The pieces' corners lie within 0..1, so their nested calls cut nothing; only
// non-finite corners could ask for more, and deeper nesting draws nothing.
constexpr int kMaxNesting = 4;

struct Polygon {
    ScreenVertex v[kPolygonCapacity];
    int count = 0;
    void Emit(const ScreenVertex& p) {
        if (count < kPolygonCapacity - 1) v[count++] = p;
    }
};

uint32_t LerpColour(uint32_t a, uint32_t b, float t) {
    const int32_t weight = FloatToIntTrunc(t * 255.0f) & 0xFF;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int32_t ca = int32_t(a >> shift & 0xFF), cb = int32_t(b >> shift & 0xFF);
        out |= uint32_t(((ca * 256 + (cb - ca) * weight) >> 8) & 0xFF) << shift;
    }
    return out;
}

ScreenVertex Lerp(const ScreenVertex& a, const ScreenVertex& b, float t) {
    ScreenVertex r;
    r.x = a.x + (b.x - a.x) * t;
    r.y = a.y + (b.y - a.y) * t;
    r.z = a.z + (b.z - a.z) * t;
    r.rhw = a.rhw + (b.rhw - a.rhw) * t;
    r.u = a.u + (b.u - a.u) * t;
    r.v = a.v + (b.v - a.v) * t;
    r.colour = LerpColour(a.colour, b.colour, t);
    return r;
}

// Far plane: outside when z > w. The cut is found in homogeneous space, where w - z is
// linear along the edge, so the cut corner lies on the plane (z = w) and projects to
// depth 1 under any perspective.
bool OutsideFar(const ScreenVertex& p) { return p.z > p.rhw; }
ScreenVertex CutFar(const ScreenVertex& inside, const ScreenVertex& outside) {
    const float ga = inside.rhw - inside.z, gb = outside.rhw - outside.z;
    ScreenVertex r = Lerp(inside, outside, ga / (ga - gb));
    r.z = r.rhw;
    return r;
}

// Near plane: outside when z < 0; the cut corner lies exactly at depth 0.
bool OutsideNear(const ScreenVertex& p) { return p.z < 0.0f; }
ScreenVertex CutNear(const ScreenVertex& outside, const ScreenVertex& inside) {
    ScreenVertex r = Lerp(outside, inside, -outside.z / (inside.z - outside.z));
    r.z = 0.0f;
    return r;
}

// One pass of the polygon cut against a plane (Sutherland-Hodgman).
template <bool Far>
void CutPolygon(Polygon* in, Polygon* out) {
    out->count = 0;
    const int n = in->count;
    in->v[n] = in->v[0];
    for (int i = 0; i < n; i++) {
        const ScreenVertex &p = in->v[i], &q = in->v[i + 1];
        const bool pOut = Far ? OutsideFar(p) : OutsideNear(p);
        const bool qOut = Far ? OutsideFar(q) : OutsideNear(q);
        if (!pOut) out->Emit(p);
        if (pOut == qOut) continue;
        if constexpr (Far) out->Emit(pOut ? CutFar(q, p) : CutFar(p, q));
        else out->Emit(pOut ? CutNear(p, q) : CutNear(q, p));
    }
}

}  // namespace

bool ClipAndDrawRaster3DPieces(MEMIMG* dest, MEMIMG* depthImage, const MEMIMG* texture,
                               const ScreenVertex vertices[3], int transparent, const MEMIMG* blendImage,
                               int pieceDepthWrite, int nesting) {
    int outside = 0;
    for (int i = 0; i < 3; i++) {
        const float z = vertices[i].z;
        if (!(z >= 0.0f) || z > 1.0f) outside++;  // NaN counts as below
    }
    if (outside == 0) return false;
    if (outside == 3 || nesting >= kMaxNesting) return true;

    Polygon a, b;
    for (int i = 0; i < 3; i++) {
        ScreenVertex p = vertices[i];
        const float w = 1.0f / p.rhw;
        p.x *= w, p.y *= w, p.z *= w, p.rhw = w;
        a.Emit(p);
    }
    CutPolygon<true>(&a, &b);
    CutPolygon<false>(&b, &a);
    if (a.count < 3) return true;
    for (int i = 0; i < a.count; i++) {
        ScreenVertex& p = a.v[i];
        const float rhw = 1.0f / p.rhw;
        // z <= w here, but z * (1 / w) can round one step past 1.
        p.x *= rhw, p.y *= rhw, p.z = std::min(p.z * rhw, 1.0f), p.rhw = rhw;
    }

    DrawRaster3DTriangle(dest, depthImage, texture, a.v, transparent, blendImage, pieceDepthWrite, 0, 1, 1,
                         nesting + 1);
    for (int k = 3; k < a.count; k++) {
        const ScreenVertex piece[3] = {a.v[k], a.v[0], a.v[k - 1]};
        DrawRaster3DTriangle(dest, depthImage, texture, piece, transparent, blendImage, pieceDepthWrite, 0, 1, 1,
                             nesting + 1);
    }
    return true;
}
