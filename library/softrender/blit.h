// blit.h - drawing one software image onto another.
//
// Both blitters read the draw state at every call: the draw area (the only bound on
// the destination), blend mode and parameter, brightness; with a blend image every
// source pixel is weighted by BlendGraphWeightTable of the blend image's byte. The
// source and destination must be of the same format kind, and the destination must be
// neither a palette nor an alpha image; other pairs, 8-bit and Z images, modes above
// BlendMultiply and blend images that do not cover the source draw nothing.
//
//   DrawImageOnMemImg(&screen, &sprite, x, y, 1, nullptr);           // keyed 1:1 copy
//   RECT mirrored{x + w, y, x, y + h};
//   DrawStretchedImageOnMemImg(&screen, &sprite, &mirrored, 1, nullptr);
//
// The transparent flag leaves out source pixels equal to the source's transparent
// value (palette index, RGB565 or 32-bit pixel) or, for alpha sources, with alpha 0
// (multiply draws them). Drawing clears the destination's run stream.
#pragma once

struct MEMIMG;
struct RECT;

// The whole source with its top-left pixel at (x, y).
void DrawImageOnMemImg(MEMIMG* dest, const MEMIMG* source, int x, int y, int transparent,
                       const MEMIMG* blendImage);

// The whole source scaled into the rectangle's corners (x1, y1) = (left, top) and
// (x2, y2) = (right, bottom) taken as given: the drawn area is [min(x1, x2), max(x1, x2))
// x [min(y1, y2), max(y1, y2)); x2 < x1 mirrors left-right, y2 < y1 top-bottom. An
// unscaled, unmirrored draw is handed to DrawImageOnMemImg.
void DrawStretchedImageOnMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* corners, int transparent,
                                const MEMIMG* blendImage);
