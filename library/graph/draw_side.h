// draw_side.h - the software and DirectDraw side of drawing (draws that do not take
// the hardware path), the selection of its target, and clearing.
//
// On a software screen (software renderer on, screen depth not 8) the target is a
// MEMIMG (a screen image or a graph's image; the mask screen's image while the mask is
// active) drawn into directly. Otherwise the target is a DirectDraw surface: each draw
// prepares the rectangle it touches with BeginScreenSurfaceDraw, draws into the work
// image it gets and finishes with EndScreenSurfaceDraw. Every routine returns -1 while
// the target is unusable or when there is neither GDI output nor a DirectDraw object.
#pragma once

#include <cstdint>

#include "library/font/font.h"

struct GraphRecord;
struct LineSegmentRecord;
struct ScreenVertex;
struct Matrix4;

int DrawGraphAtSoft(int x, int y, GraphRecord* graph, int transparent, int intFlag);
int DrawTriangleListSoft(const ScreenVertex* triangles, int triangleCount, GraphRecord* graph, int transparent,
                         int plainFlag, int zFlag);
int GetDrawScreenGraphSoft(int x1, int y1, int x2, int y2, GraphRecord* graph);
int FillGraphColorSoft(GraphRecord* graph, int r, int g, int b, int a);
int SelectDrawTargetSoft(int target, int previousTarget);
int ClearCurrentScreenSoft(void);
int DrawLineListSoft(const LineSegmentRecord* lines, int count);
int DrawTextSoft(int x, int y, const char* text, int color, FontHandle font, int edgeColor, int vertical);
int BeginMaskedDraw(int x1, int y1, int x2, int y2);
int EndMaskedDraw(int x1, int y1, int x2, int y2);
int DeleteAllSurfaceData(void);

// The whole pixels around float points (minimum and maximum corner) with one to spare
// on each side, held to the int range.
RECT PixelRectAround(float minX, float minY, float maxX, float maxY);

// Hooks through which a software renderer could follow the settings; they do nothing.
int SetDrawClipRectSoft(const RECT* clip);
int SwitchMaskScreenTargetSoft(int flag);
int SetWorldTransformSoft(const Matrix4* matrix);
int SetViewTransformSoft(const Matrix4* matrix);
int SetProjectionTransformSoft(const Matrix4* matrix);
int SetZWriteSoft(int flag);
int SetZCompareSoft(int function);
