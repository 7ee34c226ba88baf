// blit_scaled.cpp - DrawStretchedImageOnMemImg: a whole source image scaled and
// mirrored into a destination rectangle.
//
// Stepping (16.16): step = (destination size << 16) / source size. For a draw clipped
// by c pixels the first source index is (c << 16) / step and the accumulator
// step - ((c << 16) mod step), exactly where the unclipped stepping would be; after
// each destination pixel the accumulator loses 0x10000 and, while it is not positive,
// the source advances one pixel and the accumulator gains a step. The arithmetic is
// 64-bit, so wide and far-clipped rectangles neither overflow nor run past the source
// (with a source side of at most 65536 the last destination pixel shows the last
// source pixel at most).
#include <algorithm>

#include "library/softrender/blit.h"
#include "library/softrender/blit_walk.h"
#include "library/softrender/memimg.h"

namespace {

ScaleAxis MakeScaleAxis(int64_t destSize, int sourceSize, int64_t clipped, bool mirrored) {
    ScaleAxis axis;
    axis.step = (destSize << 16) / sourceSize;
    const int64_t skip = (clipped << 16) / axis.step;
    axis.accumulator = axis.step - (clipped << 16) % axis.step;
    axis.first = mirrored ? int(sourceSize - 1 - skip) : int(skip);
    axis.direction = mirrored ? -1 : 1;
    return axis;
}

}  // namespace

void DrawStretchedImageOnMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* corners, int transparent,
                                const MEMIMG* blendImage) {
    const int left = std::min(corners->left, corners->right), right = std::max(corners->left, corners->right);
    const int top = std::min(corners->top, corners->bottom), bottom = std::max(corners->top, corners->bottom);
    const bool mirrorX = corners->right < corners->left, mirrorY = corners->bottom < corners->top;
    const int64_t dw = int64_t(right) - left, dh = int64_t(bottom) - top;
    if (dw == 0 || dh == 0) return;
    if (dw == source->width && dh == source->height && !mirrorX && !mirrorY)
        return DrawImageOnMemImg(dest, source, left, top, transparent, blendImage);

    if (!CanBlitBetween(dest, source) || source->width < 1 || source->height < 1) return;
    if (!BlendImageCovers(blendImage, source->width, source->height)) return;
    BlitVariant variant;
    if (!ChooseBlitVariant(source, transparent, blendImage != nullptr, BlitWalkScaled, &variant)) return;

    RECT rect{left, top, right, bottom};
    ClipToDrawArea(dest, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;

    ScaledBlock block{};
    block.dest = MemImgPixelAddress(dest, rect.left, rect.top);
    block.destPitch = dest->pitch;
    block.width = width;
    block.height = height;
    block.sourcePixels = source->pixels;
    block.sourcePitch = source->pitch;
    if (blendImage != nullptr) {
        block.blendPixels = blendImage->pixels;
        block.blendPitch = blendImage->pitch;
    }
    block.x = MakeScaleAxis(dw, source->width, int64_t(rect.left) - left, mirrorX);
    block.y = MakeScaleAxis(dh, source->height, int64_t(rect.top) - top, mirrorY);

    BlendConstants k;
    SetupBlendConstants(source, variant, &k);
    InvalidateMemImgDerivedData(dest);
    RunScaledWalk(variant, k, block);
}
