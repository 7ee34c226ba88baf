// raster3d_entry.cpp - DrawTriangle3DOnMemImg: checks the images, cuts at the depth
// range when asked, stands in the white texture, and runs set-up and span loops.
//
// Every refusal is silent and leaves the destination and the depth image as they were.
// Beyond the images' own fields the checks make sure no pixel is read or written
// outside an image: the draw area is cut to the destination, the depth image must
// match the destination's size, and a blend image must cover the texture.
#include <algorithm>
#include <cstring>

#include "library/d3d/d3d.h"
#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "library/softrender/raster3d.h"
#include "library/softrender/triangle.h"

namespace {

bool HasPixels(const MEMIMG* image) {
    return image->validMark == MemImgValidMark && image->pixels != nullptr && image->width > 0 &&
           image->height > 0;
}

bool UsableTexture(const MEMIMG* texture, const MEMIMG* dest) {
    if (!HasPixels(texture) || texture->formatKind != dest->formatKind) return false;
    return texture->paletteFlag != 1 || texture->paletteA != nullptr;
}

bool UsableBlendImage(const MEMIMG* blendImage, const MEMIMG* texture) {
    if (blendImage == nullptr) return true;
    return HasPixels(blendImage) && blendImage->formatKind == MemImgFormat8 && blendImage->width >= texture->width &&
           blendImage->height >= texture->height;
}

// The draw area inside the destination.
RECT DrawAreaIn(const MEMIMG* dest) {
    const RECT& clip = g_DrawState.clipRect;
    RECT r{std::max<LONG>(clip.left, 0), std::max<LONG>(clip.top, 0), std::min<LONG>(clip.right, dest->width),
           std::min<LONG>(clip.bottom, dest->height)};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

}  // namespace

const MEMIMG* Raster3DWhiteTexture(int formatKind) {
    // 8 rows of 8 four-byte pixels: enough for either format, never written.
    alignas(16) static uint8_t whitePixels[8 * 32];
    static MEMIMG white[2];
    static const bool ready = [] {
        std::memset(whitePixels, 0xFF, sizeof(whitePixels));
        for (int kind : {MemImgFormat16, MemImgFormat32}) {
            white[kind].pixels = whitePixels;
            SetupMemImg(&white[kind], 8, 8, -1, 0, kind, 0, 0, 0);
        }
        return true;
    }();
    (void)ready;
    return formatKind == MemImgFormat16 || formatKind == MemImgFormat32 ? &white[formatKind] : nullptr;
}

void DrawRaster3DTriangle(MEMIMG* dest, MEMIMG* depthImage, const MEMIMG* texture, const ScreenVertex vertices[3],
                          int transparent, const MEMIMG* blendImage, int depthWrite, int pieceDepthWrite,
                          int gouraud, int clipDepth, int nesting) {
    if (dest == nullptr || vertices == nullptr) return;
    if (clipDepth == 1 && ClipAndDrawRaster3DPieces(dest, depthImage, texture, vertices, transparent, blendImage,
                                                    pieceDepthWrite, nesting)) {
        return;
    }
    if (!HasPixels(dest) || dest->paletteFlag == 1 || dest->alphaFlag == 1) return;
    if (depthImage != nullptr &&
        (!HasPixels(depthImage) || depthImage->formatKind != MemImgFormatZ16 || depthImage->width != dest->width ||
         depthImage->height != dest->height)) {
        return;
    }
    if (texture == nullptr) texture = Raster3DWhiteTexture(dest->formatKind);
    if (texture == nullptr || !UsableTexture(texture, dest) || !UsableBlendImage(blendImage, texture)) return;

    Raster3DVariant variant;
    if (!ChooseRaster3DVariant(texture, transparent, blendImage != nullptr, gouraud, &variant)) return;
    Raster3DSetup setup;
    if (!SetupRaster3DTriangle(vertices, DrawAreaIn(dest), &setup)) return;
    InvalidateMemImgDerivedData(dest);
    DrawRaster3DSpans(variant, Raster3DTarget{dest, depthImage, depthWrite, texture, blendImage}, &setup);
}

void DrawTriangle3DOnMemImg(MEMIMG* dest, MEMIMG* zImage, const MEMIMG* texture, const ScreenVertex vertices[3],
                            int transparent, const MEMIMG* blendImage, int zWrite, int zWriteClipped, int gouraud,
                            int zClip) {
    DrawRaster3DTriangle(dest, zImage, texture, vertices, transparent, blendImage, zWrite, zWriteClipped, gouraud,
                         zClip, 0);
}
