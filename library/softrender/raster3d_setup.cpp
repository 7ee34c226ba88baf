// raster3d_setup.cpp - the rasteriser's per-triangle set-up: vertex orders, rejection,
// attribute planes in fixed point, and the edge walk that yields one span per row.
//
// Coverage: row r is drawn when its centre line lies strictly between the top and the
// bottom vertex; pixel k of it when k + 0.5 lies strictly right of the left edge and at
// or left of the right edge, both taken on the row's centre line. Two triangles that
// share an edge therefore never draw the same pixel, and leave no gap between them.
#include <algorithm>
#include <climits>

#include "library/core/arith.h"
#include "library/d3d/d3d.h"
#include "library/softrender/raster3d.h"
#include "platform/wintypes.h"

namespace {

constexpr int64_t kOne = int64_t(1) << Raster3DEdgeFraction;  // one pixel in edge units
constexpr int64_t kHalf = kOne / 2;
constexpr double kEdgeScale = double(kOne);
constexpr int64_t kNoBend = INT64_MAX;
// Edge positions are clamped to +-2^26 pixels: far beyond any image, yet stepping them
// over 65535 rows cannot overflow 64 bits.
constexpr double kEdgeLimit = double(int64_t(1) << 44);

// Vertex indices in the order of one key: the fixed comparison tree, strict ">" tests,
// so ties (and NaN) fall the same way every time.
struct Order {
    int first, middle, last;
};

template <class Key>
Order SortBy(const ScreenVertex v[3], Key key) {
    const float k1 = key(v[0]), k2 = key(v[1]), k3 = key(v[2]);
    if (k1 > k2) {
        if (k2 > k3) return {2, 1, 0};
        return k3 > k1 ? Order{1, 0, 2} : Order{1, 2, 0};
    }
    if (k1 > k3) return {2, 0, 1};
    return k3 > k2 ? Order{0, 1, 2} : Order{0, 2, 1};
}

// A position in edge units, truncated toward zero; NaN counts as 0 and huge values are
// clamped.
int64_t ToEdgeUnits(double pixels) {
    const double scaled = pixels * kEdgeScale;
    if (!(scaled == scaled)) return 0;
    return int64_t(std::clamp(scaled, -kEdgeLimit, kEdgeLimit));
}

// The value of one vertex's attribute as the planes see it.
float AttributeOf(const ScreenVertex& v, int attr) {
    switch (attr) {
        case Raster3DW: return v.rhw;
        case Raster3DU: return v.u * v.rhw;
        case Raster3DV: return v.v * v.rhw;
        case Raster3DZ: return v.z;
        case Raster3DR: return float(v.colour >> 16 & 0xFF);
        case Raster3DG: return float(v.colour >> 8 & 0xFF);
        case Raster3DB: return float(v.colour & 0xFF);
        default: return float(v.colour >> 24);
    }
}

constexpr double kAttrScale[Raster3DAttrCount] = {67108864.0, 67108864.0, 67108864.0, 16777216.0,
                                                   16384.0,    16384.0,    16384.0,    16384.0};

// Gradients over the triangle (vertices in x order), in fixed point, with each plane's
// row value set for the centre of row y0. False when the vertices lie on one line.
bool SetupPlanes(const ScreenVertex& p0, const ScreenVertex& p1, const ScreenVertex& p2, int y0,
                 Raster3DPlane planes[]) {
    const float d1x = p1.x - p0.x, d1y = p1.y - p0.y;
    const float d2x = p2.x - p0.x, d2y = p2.y - p0.y;
    const float det = d1x * d2y - d2x * d1y;
    if (!(det < 0.0f || det > 0.0f)) return false;
    const float inv = 1.0f / det;
    for (int a = 0; a < Raster3DAttrCount; a++) {
        const float base = AttributeOf(p0, a);
        const float da1 = AttributeOf(p1, a) - base, da2 = AttributeOf(p2, a) - base;
        const float gx = (da1 * d2y - da2 * d1y) * inv;
        const float gy = (da2 * d1x - da1 * d2x) * inv;
        const float origin = base - gx * p0.x - gy * p0.y;
        const uint32_t fx = uint32_t(DoubleToIntTrunc(double(gx) * kAttrScale[a]));
        const uint32_t fy = uint32_t(DoubleToIntTrunc(double(gy) * kAttrScale[a]));
        const uint32_t f0 = uint32_t(DoubleToIntTrunc(double(origin) * kAttrScale[a]));
        planes[a].dx = int32_t(fx);
        planes[a].dy = int32_t(fy);
        planes[a].row = int32_t(fy * uint32_t(y0) + f0 + uint32_t(int32_t(fy) / 2));
    }
    return true;
}

// An edge from (startX, startY) with the given slope, placed on the row centre; bends
// (when bendY is given) into the segment from (lowerStartX, bendY) with lowerSlope.
Raster3DEdge MakeEdge(float startX, float startY, float slope, int64_t rowCentre) {
    Raster3DEdge e{};
    e.x = ToEdgeUnits((double(rowCentre) / kEdgeScale - startY) * slope + startX);
    e.step = ToEdgeUnits(slope);
    e.bendAt = kNoBend;
    return e;
}

void SetBend(Raster3DEdge* e, float bendY, float lowerStartX, float lowerSlope) {
    e->bendAt = ToEdgeUnits(bendY);
    e->bendY = bendY;
    e->lowerStartX = lowerStartX;
    e->lowerSlope = lowerSlope;
}

// Switches an edge to its lower segment once the row centre has reached the bend.
void FollowBend(Raster3DEdge* e, int64_t rowCentre) {
    if (e->bendAt > rowCentre) return;
    e->x = ToEdgeUnits((double(rowCentre) / kEdgeScale - e->bendY) * e->lowerSlope + e->lowerStartX);
    e->step = ToEdgeUnits(e->lowerSlope);
    e->bendAt = kNoBend;
}

float Slope(const ScreenVertex& from, const ScreenVertex& to) { return (to.x - from.x) / (to.y - from.y); }

}  // namespace

bool SetupRaster3DTriangle(const ScreenVertex v[3], const RECT& clip, Raster3DSetup* s) {
    const Order ox = SortBy(v, [](const ScreenVertex& p) { return p.x; });
    const Order oy = SortBy(v, [](const ScreenVertex& p) { return p.y; });
    const Order oz = SortBy(v, [](const ScreenVertex& p) { return p.z; });
    const ScreenVertex &left = v[ox.first], &right = v[ox.last];
    const ScreenVertex &top = v[oy.first], &middle = v[oy.middle], &bottom = v[oy.last];

    // Nothing inside the clip rectangle or the depth range, or too thin to cover a pixel.
    if (float(clip.left) > right.x || float(clip.right) <= left.x) return false;
    if (float(clip.top) > bottom.y || float(clip.bottom) <= top.y) return false;
    if (v[oz.last].z < 0.0f || v[oz.first].z >= 1.0f) return false;
    if (!(bottom.y - top.y >= 1.1f) || !(right.x - left.x >= 1.1f)) return false;

    // Rows: from the top vertex rounded to the nearest row, to the bottom vertex.
    const int64_t topRow = (ToEdgeUnits(top.y) + kHalf) >> Raster3DEdgeFraction;
    const int y0 = int(std::max<int64_t>(topRow, clip.top));
    s->firstRow = y0;
    s->rowCentre = int64_t(y0) * kOne + kHalf;
    s->rowsEnd = std::min<int64_t>(ToEdgeUnits(bottom.y), int64_t(clip.bottom) * kOne);
    s->clipLeft = clip.left;
    s->clipRight = clip.right;

    if (!SetupPlanes(v[ox.first], v[ox.middle], v[ox.last], y0, s->planes)) return false;

    // Edges. Top and middle (or middle and bottom) at the same height make a flat top
    // (bottom) without a bend; otherwise the edge on the middle vertex's side bends at
    // it, however close the two are, so rows between them follow the true edges.
    const int64_t yc = s->rowCentre;
    if (top.y == middle.y) {
        const bool topLeft = top.x <= middle.x;
        const ScreenVertex &l = topLeft ? top : middle, &r = topLeft ? middle : top;
        s->left = MakeEdge(l.x, l.y, Slope(l, bottom), yc);
        s->right = MakeEdge(r.x, r.y, Slope(r, bottom), yc);
    } else if (middle.y == bottom.y) {
        const bool middleLeft = middle.x <= bottom.x;
        const ScreenVertex &l = middleLeft ? middle : bottom, &r = middleLeft ? bottom : middle;
        s->left = MakeEdge(top.x, top.y, Slope(top, l), yc);
        s->right = MakeEdge(top.x, top.y, Slope(top, r), yc);
    } else {
        const float toMiddle = Slope(top, middle), toBottom = Slope(top, bottom);
        const bool middleLeft = toMiddle < toBottom;
        Raster3DEdge& bent = middleLeft ? s->left : s->right;
        Raster3DEdge& straight = middleLeft ? s->right : s->left;
        bent = MakeEdge(top.x, top.y, toMiddle, yc);
        straight = MakeEdge(top.x, top.y, toBottom, yc);
        SetBend(&bent, middle.y, middle.x, Slope(middle, bottom));
        // The first row may already lie below the middle vertex.
        FollowBend(&bent, yc);
    }
    return true;
}

bool NextRaster3DSpan(Raster3DSetup* s, int* first, int* count) {
    if (s->rowCentre >= s->rowsEnd) return false;
    int64_t from = (s->left.x + kHalf) >> Raster3DEdgeFraction;
    const int64_t last = (s->right.x - kHalf) >> Raster3DEdgeFraction;
    int64_t n = last - from + 1;
    if (from < s->clipLeft) {
        n -= s->clipLeft - from;
        from = s->clipLeft;
    }
    if (from + n > s->clipRight) n = s->clipRight - from;
    if (n < 1) {
        n = 0;
        from = s->clipLeft;
    }
    *first = int(from);
    *count = int(n);

    s->left.x += s->left.step;
    s->right.x += s->right.step;
    s->rowCentre += kOne;
    FollowBend(&s->left, s->rowCentre);
    FollowBend(&s->right, s->rowCentre);
    return true;
}
