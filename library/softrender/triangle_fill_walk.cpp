// triangle_fill_walk.cpp - set-up and row walk of the affine triangle filler (see
// triangle_fill_walk.h).
#include "library/softrender/triangle_fill_walk.h"

#include <algorithm>
#include <utility>

namespace {

using Wide = __int128;

constexpr int64_t kOne = int64_t(1) << TriangleFractionBits;
constexpr int64_t kHalf = kOne / 2;
constexpr int64_t kGradientLimit = int64_t(1) << 40;
// Row starts of u and v are bounded here; a row of at most 65535 pixels then steps
// them by less than 2^56 and keeps every pixel on the same side of the texture.
constexpr int64_t kCoordinateLimit = int64_t(1) << 62;

struct Vertex {
    int64_t x, y, u, v;  // 14.18
};

int64_t ToPixel(int64_t value) { return value / kOne; }  // toward zero

int64_t Bounded(Wide value, int64_t limit) { return int64_t(std::clamp<Wide>(value, -limit, limit)); }

// numerator * 2^18 / den, toward zero.
int64_t Gradient(Wide numerator, Wide den) { return Bounded(numerator * kOne / den, kGradientLimit); }

// Index lists ordered by key, ascending, by one pass of an exchange sort; equal keys
// keep the order this pass gives them (it decides the reference and the middle vertex).
void Order(const int64_t key[3], int list[3]) {
    list[0] = 0, list[1] = 1, list[2] = 2;
    for (int i = 0; i < 2; i++)
        for (int j = i + 1; j < 3; j++)
            if (key[list[i]] > key[list[j]]) std::swap(list[i], list[j]);
}

// The segment from (startX, startY) down to end (startY < end.y).
TriangleSegment Segment(int64_t startX, int64_t startY, const Vertex& end) {
    const int64_t rows = (end.y - startY) / kOne;
    return TriangleSegment{startX, (end.x - startX) / rows, rows};
}
TriangleSide OneSegment(const Vertex& from, const Vertex& to) {
    return TriangleSide{TriangleSegment{}, Segment(from.x, from.y, to), false};
}

void SetupSides(const Vertex& top, const Vertex& mid, const Vertex& bottom, TriangleSetup* s) {
    if (top.y == mid.y) {
        // Flat top: each side starts at one of the two top vertices.
        const bool topLeft = top.x <= mid.x;
        s->left = OneSegment(topLeft ? top : mid, bottom);
        s->right = OneSegment(topLeft ? mid : top, bottom);
    } else if (mid.y == bottom.y) {
        const bool midLeft = mid.x <= bottom.x;
        s->left = OneSegment(top, midLeft ? mid : bottom);
        s->right = OneSegment(top, midLeft ? bottom : mid);
    } else {
        // Mid lies on the left when the top-mid edge is the less steep to the right:
        // (mid.x - top.x) / rowsMid < (bottom.x - top.x) / rowsBottom.
        const int64_t rowsMid = (mid.y - top.y) / kOne, rowsBottom = (bottom.y - top.y) / kOne;
        if (Wide(mid.x - top.x) * rowsBottom < Wide(bottom.x - top.x) * rowsMid) {
            s->left = TriangleSide{Segment(top.x, top.y, mid), Segment(mid.x, mid.y, bottom), true};
            s->right = OneSegment(top, bottom);
        } else {
            // The right side's lower segment starts one unit right of mid.
            s->left = OneSegment(top, bottom);
            s->right = TriangleSide{Segment(top.x, top.y, mid), Segment(mid.x + 1, mid.y, bottom), true};
        }
    }
    s->firstRow = ToPixel(top.y);
}

// Narrows [first, last] to the k with 0 <= start + k * step < bound.
void NarrowAxis(int64_t start, int64_t step, int64_t bound, int64_t* first, int64_t* last) {
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };  // b > 0
    auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
    int64_t lo, hi;
    if (step > 0) {
        lo = ceilDiv(-start, step);
        hi = floorDiv(bound - 1 - start, step);
    } else if (step < 0) {
        lo = ceilDiv(start - (bound - 1), -step);
        hi = floorDiv(start, -step);
    } else {
        const bool inside = start >= 0 && start < bound;
        lo = inside ? *first : 1;
        hi = inside ? *last : 0;
    }
    *first = std::max(*first, lo);
    *last = std::min(*last, hi);
}

}  // namespace

bool SetupTriangle(const TexTriVertex vertices[3], TriangleSetup* s) {
    Vertex p[3];
    int64_t xs[3], ys[3];
    for (int i = 0; i < 3; i++) {
        p[i] = Vertex{int64_t(vertices[i].x) * kOne + kHalf, int64_t(vertices[i].y) * kOne + kHalf,
                      int64_t(vertices[i].u) * kOne, int64_t(vertices[i].v) * kOne};
        xs[i] = p[i].x;
        ys[i] = p[i].y;
    }
    int byX[3], byY[3];
    Order(xs, byX);
    Order(ys, byY);

    // Doubled area and the texture gradients, in whole pixels and texels from the
    // leftmost vertex (the differences are exact multiples of one).
    const Vertex &a = p[byX[0]], &b = p[byX[1]], &c = p[byX[2]];
    const Wide dx1 = (b.x - a.x) / kOne, dy1 = (b.y - a.y) / kOne, dx2 = (c.x - a.x) / kOne, dy2 = (c.y - a.y) / kOne;
    const Wide du1 = (b.u - a.u) / kOne, du2 = (c.u - a.u) / kOne, dv1 = (b.v - a.v) / kOne, dv2 = (c.v - a.v) / kOne;
    const Wide den = dx2 * dy1 - dx1 * dy2;
    if (den == 0) return false;
    s->dudx = Gradient(du2 * dy1 - du1 * dy2, den);
    s->dudy = Gradient(du1 * dx2 - du2 * dx1, den);
    s->dvdx = Gradient(dv2 * dy1 - dv1 * dy2, den);
    s->dvdy = Gradient(dv1 * dx2 - dv2 * dx1, den);
    s->x0 = ToPixel(a.x);
    s->y0 = ToPixel(a.y);
    s->u0 = a.u;
    s->v0 = a.v;

    SetupSides(p[byY[0]], p[byY[1]], p[byY[2]], s);
    return true;
}

void WalkTriangleRows(const TriangleSetup& s, const RECT& clip, void (*row)(void*, const TriangleRow&),
                      void* context) {
    // The segment a side is on, with its current x and rows left.
    struct Edge {
        const TriangleSide* side;
        bool lower;
        int64_t x, step, rows;
    };
    auto begin = [](const TriangleSide& side) {
        const TriangleSegment& segment = side.twoSegments ? side.upper : side.lower;
        return Edge{&side, !side.twoSegments, segment.x, segment.step, segment.rows};
    };
    // Moves on to the lower segment; false when the side is finished.
    auto next = [](Edge& e) {
        if (e.lower) return false;
        const TriangleSegment& segment = e.side->lower;
        e = Edge{e.side, true, segment.x, segment.step, segment.rows};
        return true;
    };

    Edge left = begin(s.left), right = begin(s.right);
    // The row number advances by one per row and carries on when the left side changes
    // segment; restarting it at the middle vertex's row would draw that row twice when
    // the top lies above row 0 and the middle vertex on or below it, since converting
    // toward zero rounds the two differently.
    int64_t y = s.firstRow;
    while (y < clip.bottom) {
        int64_t rows = 1;
        if (y < clip.top) {
            // Rows above the clip rectangle: stepped over in one go, up to a segment end.
            rows = std::min({int64_t(clip.top) - y, left.rows, right.rows});
        } else {
            int64_t xs = ToPixel(left.x);
            int64_t count = ToPixel(right.x) - xs + 1;
            if (xs < clip.left) {
                count -= clip.left - xs;
                xs = clip.left;
            }
            if (xs < clip.right && count > 0) {
                const Wide dx = xs - s.x0, dy = y - s.y0;
                const TriangleRow r{int(xs), int(y), int(std::min<int64_t>(count, clip.right - xs)),
                                    Bounded(dx * s.dudx + dy * s.dudy + s.u0, kCoordinateLimit),
                                    Bounded(dx * s.dvdx + dy * s.dvdy + s.v0, kCoordinateLimit)};
                row(context, r);
            }
        }
        left.x += rows * left.step;
        right.x += rows * right.step;
        left.rows -= rows;
        right.rows -= rows;
        y += rows;
        if (left.rows == 0 && !next(left)) return;
        if (right.rows == 0 && !next(right)) return;
    }
}

void KeepRowInsideTexture(TriangleRow* row, int64_t dudx, int64_t dvdx, int width, int height) {
    int64_t first = 0, last = row->count - 1;
    NarrowAxis(row->u, dudx, int64_t(width) * kOne, &first, &last);
    NarrowAxis(row->v, dvdx, int64_t(height) * kOne, &first, &last);
    if (first > last) {
        row->count = 0;
        return;
    }
    row->x += int(first);
    row->u += first * dudx;
    row->v += first * dvdx;
    row->count = int(last - first + 1);
}
