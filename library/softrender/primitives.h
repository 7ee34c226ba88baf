// primitives.h - boxes, box outlines and lines of the software and DirectDraw draw
// paths, and the blended rectangle fill and line plotter under them.
//
// The fill and the line take a raw pixel value in the image's format and draw under
// the draw state's blend mode, parameter, brightness and draw area. Their arithmetic
// is the blitters' with these differences: brightness is applied once to the colour
// as channel * byte >> 8; alpha is d + BlendSignedMulTable[p][c - d] (16-bit) or
// lerp(d, c, p, 8) (32-bit), never the 6-bit table or the average; add and subtract
// always go through t = BlendMulTable[p][c], and the 32-bit add is ORed with
// (d | t) & 0x10100 like the 16-bit one with 0x0820. Palette and alpha images are
// refused; so are modes above BlendMultiply.
#pragma once

#include <cstdint>

struct MEMIMG;
struct RECT;

// One line of a line list: colour is a raw pixel value in the target's format.
struct LineSegmentRecord {
    int32_t x1, y1, x2, y2;
    uint32_t colour;
    int32_t blendParam;  // the blend parameter when the record was made
};

// The filled box (x1, y1)-(x2, y2), right and bottom exclusive, on the current target;
// -1 when the target is unusable or there is no output.
int DrawFilledRectSoft(int x1, int y1, int x2, int y2, uint32_t colour);
// The box's border as four lines that each leave out their end point, so every border
// pixel is drawn once.
int DrawRectOutlineSoft(int x1, int y1, int x2, int y2, uint32_t colour);
void MakeRectOutlineSegments(int x1, int y1, int x2, int y2, uint32_t colour, LineSegmentRecord segments[4]);

// rect null = the whole image; otherwise normalised. Clipped to the draw area.
void FillMemImgRectBlend(MEMIMG* image, const RECT* rect, uint32_t colour);
void FillMemImgBoxBlend(MEMIMG* image, int x1, int y1, int x2, int y2, uint32_t colour);

// A line from (x1, y1) that leaves out its end point (x2, y2), clipped to the draw area.
void PlotLineOnMemImg(MEMIMG* image, int x1, int y1, int x2, int y2, uint32_t colour);
void PlotLineListOnMemImg(MEMIMG* image, const LineSegmentRecord* lines, int count);
