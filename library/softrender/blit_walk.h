// blit_walk.h - the three ways the blitters walk their pixels, each compiled once per
// variant (blit_variant.h) with the kernels of blend_kernels.h:
//   plain rows   1:1, w pixels per row; opaque copies move whole rows, the common
//                kernels run eight or four pixels per SSE2 step
//   run stream   1:1 over the source's MemImgRunStream: skipped runs are not read,
//                opaque runs are drawn without the transparency test
//   scaled       one destination pixel per step, the source column and row chosen
//                by the 16.16 stepping rule of the scaled blitter
#pragma once

#include <cstdint>

#include "library/softrender/blit_variant.h"

// A 1:1 block: pointers at the first drawn pixel of each image.
struct BlitRows {
    uint8_t* dest;
    intptr_t destPitch;
    const uint8_t* source;
    intptr_t sourcePitch;
    const uint8_t* blend;  // the blend image's first byte, or null
    intptr_t blendPitch;
    int width, height;
    const uint8_t* runStream;  // run-stream walk: the stream of the whole source
};

// One axis of the scaled blitter's stepping: the source index shown at the current
// destination pixel, and the 16.16 accumulator that moves it.
struct ScaleAxis {
    int64_t step;         // destination pixels per source pixel, 16.16
    int64_t accumulator;  // value for the first drawn destination pixel
    int first;            // source index at the first drawn destination pixel
    int direction;        // +1, or -1 when mirrored
};

// Advances an axis past one destination pixel; returns how many source pixels it moved.
inline int AdvanceScaleAxis(int64_t step, int64_t* accumulator) {
    int moved = 0;
    for (*accumulator -= 0x10000; *accumulator <= 0; *accumulator += step) moved++;
    return moved;
}

struct ScaledBlock {
    uint8_t* dest;  // first drawn destination pixel
    intptr_t destPitch;
    int width, height;  // drawn destination pixels
    const uint8_t* sourcePixels;
    intptr_t sourcePitch;
    const uint8_t* blendPixels;  // the blend image's pixels, or null
    intptr_t blendPitch;
    ScaleAxis x, y;
};

void RunPlainWalk(const BlitVariant& variant, const BlendConstants& k, const BlitRows& rows);
void RunRunStreamWalk(const BlitVariant& variant, const BlendConstants& k, const BlitRows& rows);
void RunScaledWalk(const BlitVariant& variant, const BlendConstants& k, const ScaledBlock& block);
