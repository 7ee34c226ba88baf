// blit_1to1.cpp - DrawImageOnMemImg: a whole source image, unscaled, onto a destination.
#include <algorithm>
#include <climits>

#include "library/softrender/blit.h"
#include "library/softrender/blit_walk.h"
#include "library/softrender/memimg.h"

void DrawImageOnMemImg(MEMIMG* dest, const MEMIMG* source, int x, int y, int transparent,
                       const MEMIMG* blendImage) {
    if (!CanBlitBetween(dest, source)) return;
    BlitVariant variant;
    if (!ChooseBlitVariant(source, transparent, blendImage != nullptr, BlitWalkPlain, &variant)) return;

    RECT rect{x, y, LONG(std::min<int64_t>(int64_t(x) + source->width, INT_MAX)),
              LONG(std::min<int64_t>(int64_t(y) + source->height, INT_MAX))};
    ClipToDrawArea(dest, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    const int ox = rect.left - x, oy = rect.top - y;
    if (!BlendImageCovers(blendImage, ox + width, oy + height)) return;

    BlitRows rows{};
    rows.dest = MemImgPixelAddress(dest, rect.left, rect.top);
    rows.destPitch = dest->pitch;
    rows.source = MemImgPixelAddress(source, ox, oy);
    rows.sourcePitch = source->pitch;
    if (blendImage != nullptr) {
        rows.blend = MemImgPixelAddress(blendImage, ox, oy);
        rows.blendPitch = blendImage->pitch;
    }
    rows.width = width;
    rows.height = height;

    BlendConstants k;
    SetupBlendConstants(source, variant, &k);
    InvalidateMemImgDerivedData(dest);
    // The run stream serves a transparent draw of the whole, unclipped source. Multiply
    // draws alpha-0 pixels of an alpha source (black), which the stream skips, so such a
    // draw keeps to the plain rows and gives the same pixels clipped or not.
    const bool multiplyAlpha = variant.mode == BlendMultiply && variant.source == BlitSourceAlpha;
    if (transparent && source->runStreamValid && source->runStream != nullptr && width == source->width &&
        height == source->height && !multiplyAlpha) {
        rows.runStream = source->runStream;
        variant.special = BlitSpecialNone;  // the run stream has no parameter specials
        RunRunStreamWalk(variant, k, rows);
    } else {
        RunPlainWalk(variant, k, rows);
    }
}
