// draw_side.h - the software and DirectDraw side of drawing (draws that do not take
// the hardware path).
#pragma once

struct GraphRecord;
struct LineSegmentRecord;

int DrawGraphAtSoft(int x, int y, GraphRecord* graph, int transparent, int intFlag);
int DrawLineListSoft(const LineSegmentRecord* lines, int count);
