// soft_draw.h - the software side of three graph draws of the drawing front ends: a
// graph stretched (and mirrored) into a rectangle, a graph mapped onto four corners,
// and the single textured or flat triangle the corner draw is made of.
//
// Each finds the graph's pixels (its first 2D surface and the surface data behind it)
// and draws straight into the software draw target, or, with DirectDraw output,
// between BeginScreenSurfaceDraw and EndScreenSurfaceDraw.
#pragma once

#include <cstdint>

#include "library/graph/draw_coord.h"
#include "library/softrender/triangle.h"
#include "platform/wintypes.h"

struct GraphRecord;

// Corners (x1, y1) and (x2, y2) as given; x2 < x1 or y2 < y1 mirror. surface2D is a
// 2D-surface handle, or -1 for the graph's first 2D surface. 0, or -1 on refusal.
int DrawGraphStretchedSoft(DrawCoord x1, DrawCoord y1, DrawCoord x2, DrawCoord y2, GraphRecord* graph,
                           int transparent, int intFlag, int surface2D);
// graph null = a flat triangle of fillColour (in the destination's pixel format).
int DrawGraphTriangleSoft(const TexTriVertex vertices[3], GraphRecord* graph, int transparent, uint32_t fillColour);
// Corners top-left, top-right, bottom-left, bottom-right: the triangles (1, 2, 3) and
// (2, 3, 4) with (u, v) at the graph's corners. Always 0.
int DrawGraphToCornersIntSoft(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                              int transparent);
int DrawGraphToCornersSoft(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                           GraphRecord* graph, int transparent);

// The columns and rows of a sourceWidth x sourceHeight source that a stretched draw
// onto the ordered rectangle (left, top, right, bottom) samples once clipped to clip:
// clipped receives the visible destination rectangle, sourceRect the sampled source
// rectangle (right and bottom exclusive, taken from the far end when mirrored).
// False when nothing is visible.
bool StretchedSourceRect(const RECT& ordered, bool mirrorX, bool mirrorY, int sourceWidth, int sourceHeight,
                         const RECT& clip, RECT* clipped, RECT* sourceRect);
