// primitives_line.cpp - the line plotter: a one-time clip in double precision, then an
// integer error-term stepper that draws max(|dx|, |dy|) pixels and never the end point.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "library/softrender/primitive_kernels.h"
#include "library/softrender/primitives.h"

namespace {

// A clipped coordinate back to an int, toward zero. Steep lines with huge coordinates
// give values far outside the int range; they are held within a range that the final
// clamps to the draw area turn into the same answer.
int TruncClamped(double v) { return int(std::trunc(std::clamp(v, -1073741824.0, 1073741824.0))); }

struct LineEnds {
    int sx, sy, ex, ey;
};

// Clips the line to (l, t, r, b): the start lands inside, the end at most one pixel
// outside. False when nothing is drawn.
bool ClipLine(int x1, int y1, int x2, int y2, int l, int t, int r, int b, LineEnds* out) {
    if (std::max(x1, x2) < l || std::max(y1, y2) < t || std::min(x1, x2) >= r || std::min(y1, y2) >= b) return false;
    const double dx = double(x2) - x1, dy = double(y2) - y1;
    const double k = x1 == x2 ? 0.0 : dy / dx;  // y per x
    const double j = y1 == y2 ? 0.0 : dx / dy;  // x per y
    const double c = y1 - x1 * k, e = x1 - y1 * j;
    auto yAt = [&](int x) { return TruncClamped(c + x * k); };
    auto xAt = [&](int y) { return TruncClamped(e + y * j); };

    // Moves a point onto column x (or row y) of the line.
    auto toColumn = [&](int& px, int& py, int x) {
        px = x;
        py = yAt(x);
    };
    auto toRow = [&](int& px, int& py, int y) {
        py = y;
        px = xAt(y);
    };
    int sx = x1, sy = y1, ex = x2, ey = y2;
    if (sx < l) toColumn(sx, sy, l);
    else if (sx >= r) toColumn(sx, sy, r - 1);
    if (ex < l) toColumn(ex, ey, l - 1);
    else if (ex >= r) toColumn(ex, ey, r);

    if (sy < t) toRow(sx, sy, t);
    else if (sy >= b) toRow(sx, sy, b - 1);
    if (ey < t) toRow(ex, ey, t - 1);
    else if (ey >= b) toRow(ex, ey, b);

    out->sx = std::clamp(sx, l, r - 1);
    out->sy = std::clamp(sy, t, b - 1);
    out->ex = std::clamp(ex, l - 1, r);
    out->ey = std::clamp(ey, t - 1, b);
    return out->sx != out->ex || out->sy != out->ey;
}

template <BlitFormat F, int Mode>
void StepLine(MEMIMG* image, const LineEnds& e, const PrimitiveColour& c) {
    const int u = e.ex - e.sx, v = e.ey - e.sy;
    const int bpp = sizeof(typename PixelLayout<F>::Pixel);
    const intptr_t xStep = u < 0 ? -bpp : bpp, yStep = v < 0 ? -intptr_t(image->pitch) : image->pitch;
    const bool yMajor = std::abs(u) < std::abs(v);
    const int major = yMajor ? std::abs(v) : std::abs(u), minor = yMajor ? std::abs(u) : std::abs(v);
    const intptr_t majorStep = yMajor ? yStep : xStep, minorStep = yMajor ? xStep : yStep;
    uint8_t* d = MemImgPixelAddress(image, e.sx, e.sy);
    for (int i = 0, error = 0; i < major; i++) {
        StorePixel<F>(d, PrimitivePixel<F, Mode>(c, LoadPixel<F>(d)));
        error += minor;
        if (error >= major) {
            error -= major;
            d += minorStep;
        }
        d += majorStep;
    }
}

}  // namespace

void PlotLineOnMemImg(MEMIMG* image, int x1, int y1, int x2, int y2, uint32_t colour) {
    PrimitiveColour c;
    if (!SetupPrimitiveColour(image, colour, &c)) return;
    // The draw area, kept inside the image.
    RECT clip = g_DrawState.clipRect;
    const RECT bounds{0, 0, image->width, image->height};
    ClipRectByRectCore(&clip, &bounds);
    LineEnds ends;
    if (clip.right <= clip.left || clip.bottom <= clip.top ||
        !ClipLine(x1, y1, x2, y2, clip.left, clip.top, clip.right, clip.bottom, &ends))
        return;
    InvalidateMemImgDerivedData(image);
    DispatchPrimitive(image, c.mode, [&]<BlitFormat F, int Mode>() { StepLine<F, Mode>(image, ends, c); });
}

void PlotLineListOnMemImg(MEMIMG* image, const LineSegmentRecord* lines, int count) {
    for (int i = 0; i < count; i++)
        PlotLineOnMemImg(image, lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2, lines[i].colour);
}
