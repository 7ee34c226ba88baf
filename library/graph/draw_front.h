// draw_front.h - the library-level drawing calls behind the public drawing entry
// points.
//
// Each call validates its handles, decides the path (the hardware path for graphs made
// as textures and, for boxes and strings, when hardware drawing is available; else the
// software and DirectDraw side), brackets the draw with the mask screen and, on a
// software front screen, with reading back and presenting the touched rectangle, and
// hands it on. While drawing is suspended or the draw area is empty every call returns
// 0 without drawing; an invalid graph gives -1.
#pragma once

#include <cstdint>

#include "library/d3d/d3d.h"
#include "library/font/font.h"

// The graph value that makes DrawVertexList2D draw untextured triangles.
enum { NoTextureGraph = -5 };

// Primitive kinds of DrawVertexList2D.
enum { PrimitiveTriangleList = 4, PrimitiveTriangleStrip = 5, PrimitiveTriangleFan = 6 };

// A vertex of DrawVertexList2D (20 bytes).
struct Vertex2D {
    float x, y;
    float u, v;
    uint8_t blue, green, red, alpha;
};
static_assert(sizeof(Vertex2D) == 20, "Vertex2D is 20 bytes");

int ClearCurrentScreenCore(void);  // always 0 once it ran
int DrawGraphAtCore(int x, int y, int graph, int transparent);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);  // x2 < x1 or y2 < y1 mirror
// Corners in the order top-left, top-right, bottom-right, bottom-left.
int DrawGraphToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                       int transparent);
int DrawGraphMirroredAtCore(int x, int y, int graph, int transparent);
int DrawGraphPartAtCore(int destX, int destY, int sourceX, int sourceY, int width, int height, int graph,
                        int transparent, int mirror);
int DrawGraphPartStretched(int destX1, int destY1, int destX2, int destY2, int sourceX, int sourceY,
                           int sourceWidth, int sourceHeight, int graph, int transparent);
int DrawVertexList2D(const Vertex2D* vertices, int count, int kind, int graph, int transparent);
// The vertices of a list, strip or fan as a triangle list in `out` (room for 3 x count
// vertices): strips alternate their winding, fans turn about vertex 0. The number of
// triangles; -1 for a count the kind cannot take; 0 for an unknown kind.
int ExpandToTriangleList(const ScreenVertex* in, int count, int kind, ScreenVertex* out);
int DrawThickLine(int x1, int y1, int x2, int y2, int color, int thickness);
int FillGraphColor(int graph, int r, int g, int b, int a);
int DrawBoxShapeCore(int x1, int y1, int x2, int y2, int color, int filled);
int DrawFilledRect(int x1, int y1, int x2, int y2, int color);
int DrawRectOutline(int x1, int y1, int x2, int y2, int color);
int DrawTextAtCore(int x, int y, const char* text, int color, int edgeColor);
int DrawTextWithFontHandle(int x, int y, const char* text, int color, FontHandle font, int edgeColor, int vertical);
int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph, int flag);
