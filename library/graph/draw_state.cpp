// draw_state.cpp - the draw-state record and the rectangle clip shared by every renderer.
#include "library/graph/draw_state.h"

#include <algorithm>

DrawState g_DrawState;
uint8_t BlendGraphWeightTable[256];

int ClipRectByRectCore(RECT* rect, const RECT* clip) {
    if (rect->left > rect->right) rect->right = rect->left;
    if (rect->top > rect->bottom) rect->bottom = rect->top;
    // Each edge is clamped min-then-max, so an inverted clip rectangle gives its own
    // (inverted) answer rather than undefined behaviour of std::clamp.
    auto clampEdge = [](LONG value, LONG low, LONG high) { return std::max(std::min(value, high), low); };
    rect->bottom = clampEdge(rect->bottom, clip->top, clip->bottom);
    rect->top = clampEdge(rect->top, clip->top, clip->bottom);
    rect->right = clampEdge(rect->right, clip->left, clip->right);
    rect->left = clampEdge(rect->left, clip->left, clip->right);
    return 0;
}
