// raster3d.h - the inside of the software 3D rasteriser (DrawTriangle3DOnMemImg in
// triangle.h is its one entry).
//
// A triangle goes through three stages:
//   1. raster3d_entry / raster3d_clip: checks the images, cuts the triangle at depth 0
//      and 1 when asked (the pieces are drawn as a fan of nested calls), and stands an
//      8 x 8 white texture in for a missing one.
//   2. raster3d_setup: rejects what cannot show, turns every attribute into a fixed-point
//      plane (value at the screen origin, x step, y step) and walks the two edges down
//      the rows, handing out one span {first x, count} per row.
//   3. raster3d_spans: picks one compiled span loop for the whole triangle and runs it
//      over the spans: depth test and write, perspective division, texel fetch, colour
//      kernel (raster3d_kernels.h), eight pixels at a time where it can.
//
// Fixed point (signed 32-bit, wrapping): W = rhw, U = u * rhw and V = v * rhw scaled by
// 2^26, Z = z by 2^24, the vertex colour channels R, G, B, A (0..255) by 2^14. Edge
// positions carry 18 fraction bits and are kept in 64 bits, so no vertex position can
// make them wrap.
#pragma once

#include <cstdint>

#include "library/softrender/blend_kernels.h"

struct MEMIMG;
struct RECT;
struct ScreenVertex;

// ---- Triangle set-up and spans ----

enum Raster3DAttr { Raster3DW, Raster3DU, Raster3DV, Raster3DZ, Raster3DR, Raster3DG, Raster3DB, Raster3DA, Raster3DAttrCount };
enum { Raster3DEdgeFraction = 18 };

// One attribute plane in fixed point: row is the value at x = 0 on the centre line of
// the row about to be drawn; dx and dy the steps per pixel and per row.
struct Raster3DPlane {
    int32_t row, dx, dy;
};

// One edge of the triangle: its x at the current row centre and its step per row (both
// with 18 fraction bits). An edge that bends at the middle vertex switches to its lower
// segment (lowerStartX at y = bendY, lowerSlope) once the row centre reaches bendAt.
struct Raster3DEdge {
    int64_t x, step;
    int64_t bendAt;  // INT64_MAX: no (further) bend
    float bendY, lowerStartX, lowerSlope;
};

struct Raster3DSetup {
    int firstRow;       // the screen row of the first span
    int clipLeft, clipRight;
    int64_t rowCentre;  // centre line of the current row, 18 fraction bits
    int64_t rowsEnd;    // rows continue while rowCentre < rowsEnd
    Raster3DEdge left, right;
    Raster3DPlane planes[Raster3DAttrCount];
};

// Sorts, rejects and sets up one triangle against the clip rectangle (right and bottom
// exclusive, already inside the destination); false when nothing can be drawn.
bool SetupRaster3DTriangle(const ScreenVertex vertices[3], const RECT& clip, Raster3DSetup* setup);

// The span of the current row (count 0: nothing on this row), then steps the edges to
// the next row; false once the rows have ended. The planes are not touched: the walker
// steps their row values itself.
bool NextRaster3DSpan(Raster3DSetup* setup, int* first, int* count);

// ---- Span loops ----

// The key of one compiled span loop: shading, pixel format, texture kind (direct, with
// alpha, palette), blend mode, blend image, brightness (uniform only), transparent flag.
struct Raster3DVariant {
    bool gouraud = false;
    BlitFormat format = BlitFormat16;
    BlitSource source = BlitSourceDirect;
    uint8_t mode = BlendNone;
    bool blend = false;
    bool bright = false;
    bool transparent = false;
};

// Chooses the loop for the texture, flags and draw state; false when the triangle draws
// nothing at all (unknown format kind or blend mode, alpha or add with parameter 0,
// subtract with parameter 0 on a direct texture in uniform shading).
bool ChooseRaster3DVariant(const MEMIMG* texture, int transparent, bool blendImage, int gouraud,
                           Raster3DVariant* variant);

// Everything the span loops read besides the spans.
struct Raster3DTarget {
    MEMIMG* dest;
    MEMIMG* depthImage;  // null: no depth test
    int depthWrite;
    const MEMIMG* texture;
    const MEMIMG* blendImage;  // null: none
};

// Draws the spans of a set-up triangle with the chosen loop.
void DrawRaster3DSpans(const Raster3DVariant& variant, const Raster3DTarget& target, Raster3DSetup* setup);

// ---- The entry's own pieces ----

// The 8 x 8 white texture of the format kind (16 or 32), shared and never written.
const MEMIMG* Raster3DWhiteTexture(int formatKind);

// DrawTriangle3DOnMemImg with the number of depth cuts already on the stack (the pieces
// of a cut lie within depth 0..1; only non-finite corners could ask for another cut, and
// a few levels down nothing is drawn).
void DrawRaster3DTriangle(MEMIMG* dest, MEMIMG* depthImage, const MEMIMG* texture, const ScreenVertex vertices[3],
                          int transparent, const MEMIMG* blendImage, int depthWrite, int pieceDepthWrite,
                          int gouraud, int clipDepth, int nesting);

// Cuts the triangle at depth 0 and 1 and draws the visible pieces as a fan of nested
// calls (Gouraud shaded, depth written by pieceDepthWrite);
// false when no vertex lies outside 0..1, so the caller draws the triangle as it is.
bool ClipAndDrawRaster3DPieces(MEMIMG* dest, MEMIMG* depthImage, const MEMIMG* texture,
                               const ScreenVertex vertices[3], int transparent, const MEMIMG* blendImage,
                               int pieceDepthWrite, int nesting);
