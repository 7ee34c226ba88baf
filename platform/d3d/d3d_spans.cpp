// d3d_spans.cpp - triangles as spans: per row, the covered pixels x0..x1 come from the
// snapped integer edges under the top-left rule, so no pixel is tested and the
// coverage is exactly the general path's. Each edge's bound along the rows is
// floor(M / d) with M changing by a constant per row, stepped as quotient and
// remainder (one division per edge per triangle).
//
// The triangle picks one of the draw's kernels: the flat kernel when no stage reads a
// texture and the colours are constant, the textured kernel when one stage runs as
// tables over affine coordinates, else the general span, which interpolates each pixel
// exactly as the general path does (same weights, same sums) from edge values stepped
// in integers.
#include <algorithm>
#include <cmath>

#include "platform/d3d/d3d_span_kernels.h"

namespace d3draster {

namespace {

int64_t FloorDiv(int64_t m, int64_t d) {
    const int64_t q = m / d;
    return (m % d != 0 && m < 0) ? q - 1 : q;
}

// floor(M / den) for den > 0 while M changes by step per row.
struct EdgeBound {
    int64_t q, r, den, dq, dr;
    void Start(int64_t m, int64_t d, int64_t step) {
        den = d;
        q = FloorDiv(m, d);
        r = m - q * d;
        dq = FloorDiv(step, d);
        dr = step - dq * d;
    }
    void Next() {
        q += dq;
        r += dr;
        if (r >= den) {
            ++q;
            r -= den;
        }
    }
};

// Every pixel through the general path's interpolation and steps.
void GeneralSpan(DrawSetup& s, const TriangleSpans& t, const SpanStart& span) {
    int64_t e[3] = {span.e[0], span.e[1], span.e[2]};
    int first = span.x1 + 1, last = span.x0 - 1;
    for (int x = span.x0; x <= span.x1; ++x) {
        double w[3];
        SpanWeights(t, e, w);
        const Fragment f = Interpolate(s, t.v, w, 3, *t.provoking);
        uint32_t colour;
        if (RunStages(s, f, &colour) && WritePixel(s, x, span.y, colour, f.z)) {
            first = std::min(first, x);
            last = x;
        }
        for (int i = 0; i < 3; ++i) e[i] += t.stepE[i];
    }
    if (first <= last) MarkDrawn(s, first, span.y, last + 1, span.y + 1);
}

bool ConstantColours(const DrawSetup& s, const TriangleSpans& t) {
    return !s.gouraud || (SameColours(*t.v[0], *t.v[1]) && SameColours(*t.v[0], *t.v[2]));
}

bool AnyStageTextured(const DrawSetup& s) {
    for (int i = 0; i < s.stageCount; ++i)
        if (s.stages[i].textured) return true;
    return false;
}

// The depth plane: constant, or stepped (see d3d_span_kernels.h).
void PrepareDepth(const DrawSetup& s, TriangleSpans* t) {
    const Vertex* const* v = t->v;
    t->constantDepth = v[0]->z == v[1]->z && v[0]->z == v[2]->z;
    t->depth = DepthValue(s, v[0]->z);
    double dz = 0;
    for (int i = 0; i < 3; ++i) dz += v[i]->z * double(t->stepE[i]);
    t->dDepth = std::llround(std::clamp(dz * t->inverseArea * (s.maxZ - s.minZ) * 65535.0 * 65536.0, -1e15, 1e15));
}

// Whether the textured stage's coordinates are affine and small enough for the fixed
// point; sets their steps.
bool PrepareCoordinates(const DrawSetup& s, TriangleSpans* t) {
    const Stage& st = s.stages[0];
    const Vertex* const* v = t->v;
    t->pair = st.pair;
    t->textureWidth = st.sampler.view.width;
    t->textureHeight = st.sampler.view.height;
    t->dU = t->dV = 0;
    if (st.pair < 0) return true;
    if (s.perspective && !(v[0]->rhw == v[1]->rhw && v[0]->rhw == v[2]->rhw)) return false;
    double du = 0, dv = 0;
    for (int i = 0; i < 3; ++i) {
        const double u = v[i]->uv[st.pair][0] * t->textureWidth, w = v[i]->uv[st.pair][1] * t->textureHeight;
        if (!(std::fabs(u) < 1 << 29) || !(std::fabs(w) < 1 << 29)) return false;
        du += v[i]->uv[st.pair][0] * double(t->stepE[i]);
        dv += v[i]->uv[st.pair][1] * double(t->stepE[i]);
    }
    constexpr double kOne = 4294967296.0;
    t->dU = std::llround(du * t->inverseArea * t->textureWidth * kOne);
    t->dV = std::llround(dv * t->inverseArea * t->textureHeight * kOne);
    return true;
}

SpanFn Counted(SpanFn kernel, D3DRasterPath path) {
    ++D3DConfig().rasterPaths[path];
    return kernel;
}

// The kernel for this triangle, with its values prepared.
SpanFn ChooseKernel(DrawSetup& s, TriangleSpans* t, int64_t pixels) {
    const SpanKernels* k = s.kernels;
    if (!k || !ConstantColours(s, *t)) return Counted(GeneralSpan, D3DPathGeneralSpans);
    const Vertex& source = s.gouraud ? *t->v[0] : *t->provoking;
    PrepareDepth(s, t);
    if (k->flat && !AnyStageTextured(s)) {
        Fragment f{};
        f.diffuse = PackColour(source.diffuse);
        f.specular = PackColour(source.specular);
        if (!RunStages(s, f, &t->colour)) return nullptr;
        if (!s.alphaPass[t->colour >> 24]) return nullptr;  // the alpha test drops the whole triangle
        t->rawColour = s.targetCodec.Encode(t->colour);
        return Counted(k->flat, D3DPathFlatSpans);
    }
    if (k->textured && s.stageCount == 1 && s.stages[0].textured && PrepareStageTables(s, t->v, *t->provoking, pixels) &&
        PrepareCoordinates(s, t))
        return Counted(k->textured, D3DPathTexturedSpans);
    return Counted(GeneralSpan, D3DPathGeneralSpans);
}

}  // namespace

int64_t StartDepth(const DrawSetup& s, const TriangleSpans& t, const int64_t e[3]) {
    double w[3];
    SpanWeights(t, e, w);
    double z = 0;
    for (int i = 0; i < 3; ++i) z += w[i] * t.v[i]->z;
    const double mapped = s.minZ + std::clamp(z, 0.0, 1.0) * (s.maxZ - s.minZ);
    return std::llround(std::clamp(mapped, 0.0, 1.0) * 65535.0 * 65536.0);
}

void DrawTriangleSpans(DrawSetup& s, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& provoking) {
    SnappedTriangle snapped;
    if (!SnapTriangle(s, a, b, c, &snapped)) return;
    const int64_t* x = snapped.x;
    const int64_t* y = snapped.y;
    const int left = snapped.left, right = snapped.right, top = snapped.top, bottom = snapped.bottom;
    TriangleSpans t{};
    for (int i = 0; i < 3; ++i) t.v[i] = snapped.v[i];
    t.provoking = &provoking;
    t.inverseArea = snapped.inverseArea;

    // Edge i runs from vertex i+1 to vertex i+2 and weighs vertex i: its value at pixel
    // (px, py) is C(py) + stepE * px, C growing by 256 dx per row; a pixel centre on an
    // edge belongs to the triangle only on a top or a left edge.
    int64_t rowC[3], rowStep[3], flatC[3];
    EdgeBound lower[3], upper[3];
    int lowers = 0, uppers = 0, flats = 0;
    int flatIndex[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        const int64_t dx = x[k] - x[j], dy = y[k] - y[j];
        const int64_t bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : -1;
        t.stepE[i] = -dy * 256;
        rowC[i] = dx * (int64_t(top) * 256 - y[j]) + dy * x[j];
        rowStep[i] = dx * 256;
        const int64_t S = t.stepE[i], C = rowC[i] + bias;
        if (S > 0) lower[lowers++].Start(-C + S - 1, S, -rowStep[i]);  // px >= ceil(-C / S)
        else if (S < 0) upper[uppers++].Start(C, -S, rowStep[i]);     // px <= floor(C / -S)
        else flatIndex[flats] = i, flatC[flats++] = C;                // the row is in when C >= 0
    }
    const SpanFn kernel = ChooseKernel(s, &t, int64_t(right - left + 1) * (bottom - top + 1));
    if (!kernel) return;
    for (int py = top; py <= bottom; ++py) {
        int64_t x0 = left, x1 = right;
        for (int i = 0; i < lowers; ++i) x0 = std::max(x0, lower[i].q);
        for (int i = 0; i < uppers; ++i) x1 = std::min(x1, upper[i].q);
        bool in = x0 <= x1;
        for (int i = 0; i < flats; ++i) in &= flatC[i] + rowStep[flatIndex[i]] * (py - top) >= 0;
        if (in) {
            int64_t e[3];
            for (int i = 0; i < 3; ++i) e[i] = rowC[i] + rowStep[i] * (py - top) + t.stepE[i] * x0;
            kernel(s, t, SpanStart{e, py, int(x0), int(x1)});
        }
        for (int i = 0; i < lowers; ++i) lower[i].Next();
        for (int i = 0; i < uppers; ++i) upper[i].Next();
    }
}

}  // namespace d3draster
