// triangle_fill_walk.h - set-up and row walk of the affine triangle filler.
//
// Positions and texture coordinates are fixed point with 18 fraction bits (one pixel or
// texel = 0x40000). A vertex (x, y) sits on its pixel's centre: X = x * 2^18 + 2^17;
// (u, v) has no offset. Every conversion to whole pixels divides toward zero, so a
// negative row -3 (value -2.5) becomes -2.
//
//   TriangleSetup setup;
//   if (!SetupTriangle(vertices, &setup)) return;        // collinear: nothing to draw
//   WalkTriangleRows(setup, clip, DrawRow, &context);     // DrawRow(context, row)
//
// The walk goes down from the top vertex's row, one row per step, with a left and a
// right side of one or two straight segments each; a row spans both ends inclusively
// (right x and left x converted toward zero) and is clipped to the clip rectangle. The
// bottom vertex's row is not drawn. Row starts of u and v come from the gradients at
// the reference vertex (the leftmost one), so the leftmost vertex's pixel samples
// exactly its own (u, v).
//
// The arithmetic is exact for every 32-bit vertex: positions and gradients are kept in
// 64 bits (with 128-bit intermediate products), rows above the clip rectangle are
// stepped over at once and the walk stops below it, so far-away vertices cost nothing
// and nothing wraps. Gradients are bounded to +-2^40 (4M texels per pixel), far beyond
// what any texture can show in two neighbouring pixels.
#pragma once

#include <cstdint>

#include "library/softrender/triangle.h"
#include "platform/wintypes.h"

enum : int { TriangleFractionBits = 18 };

// One straight segment of a side: start x and the x step per row (14.18), and its rows.
struct TriangleSegment {
    int64_t x;
    int64_t step;
    int64_t rows;
};

// A side is its upper segment (top to mid) and its lower one; a side with a single
// segment has only the lower one.
struct TriangleSide {
    TriangleSegment upper, lower;
    bool twoSegments;
};

struct TriangleSetup {
    int64_t dudx, dudy, dvdx, dvdy;  // 14.18 texels per pixel
    int64_t x0, y0;                   // whole pixel of the reference vertex
    int64_t u0, v0;                   // its texture coordinate, 14.18
    int64_t firstRow;                 // the top vertex's row
    TriangleSide left, right;
};

// One row of the walk, clipped: count >= 1 pixels from (x, y), with u and v (14.18) at
// the first of them.
struct TriangleRow {
    int x, y, count;
    int64_t u, v;
};

// False when the vertices are collinear or coincide (nothing to draw).
bool SetupTriangle(const TexTriVertex vertices[3], TriangleSetup* setup);

// Calls row(context, r) for every row with pixels inside clip (left and top inclusive,
// right and bottom exclusive, inside the destination), from the top down.
void WalkTriangleRows(const TriangleSetup& setup, const RECT& clip, void (*row)(void*, const TriangleRow&),
                      void* context);

// Narrows a row to the pixels whose texel lies inside a width x height texture: on
// return row->count is the number of such pixels (possibly 0) and x, u, v are those of
// the first. u and v step by dudx and dvdx per pixel; the pixels inside form one run.
void KeepRowInsideTexture(TriangleRow* row, int64_t dudx, int64_t dvdx, int width, int height);
