// triangle_fill.cpp - DrawTriangle2DOnMemImg: one affine triangle, textured or flat,
// into a software image under the draw state's blend mode, parameter, brightness and
// draw area.
//
// Everything a triangle's pixels depend on is settled here once: the set-up and the
// walk (triangle_fill_walk.h), the variant of the span loop (triangle_fill_spans.h)
// and its table rows. Refused, silently: a texture of another format kind than the
// destination, a palette or alpha destination, formats other than RGB565 and XRGB8888,
// blend modes above multiply, alpha, add and subtract with parameter 0, collinear
// vertices, and a blend image that is not an 8-bit image at least as large as the
// texture (it is read at the texel's position).
#include <climits>

#include "library/softrender/blit_variant.h"
#include "library/softrender/memimg.h"
#include "library/softrender/triangle.h"
#include "library/softrender/triangle_fill_spans.h"
#include "library/softrender/triangle_fill_walk.h"

namespace {

struct TexturedTriangle {
    TexturedSpanFrame frame;
    TexturedSpanFn span;
    MEMIMG* dest;
    int textureWidth, textureHeight;
};

struct FlatTriangle {
    PrimitiveColour colour;
    FlatSpanFn span;
    MEMIMG* dest;
};

void DrawTexturedRow(void* context, const TriangleRow& row) {
    const TexturedTriangle& t = *static_cast<const TexturedTriangle*>(context);
    TriangleRow inside = row;
    KeepRowInsideTexture(&inside, t.frame.dudx, t.frame.dvdx, t.textureWidth, t.textureHeight);
    if (inside.count > 0)
        t.span(t.frame, MemImgPixelAddress(t.dest, inside.x, inside.y), inside.count, inside.u, inside.v);
}

void DrawFlatRow(void* context, const TriangleRow& row) {
    const FlatTriangle& t = *static_cast<const FlatTriangle*>(context);
    t.span(t.colour, MemImgPixelAddress(t.dest, row.x, row.y), row.count);
}

// The draw area within the destination.
RECT DestinationClip(const MEMIMG* dest) {
    RECT clip{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    ClipToDrawArea(dest, &clip);
    return clip;
}

void DrawTexturedTriangle(MEMIMG* dest, const MEMIMG* texture, const TriangleSetup& setup, int transparent,
                          const MEMIMG* blendImage) {
    if (!CanBlitBetween(dest, texture)) return;
    BlitVariant variant;
    if (!ChooseBlitVariant(texture, transparent, blendImage != nullptr, BlitWalkTriangle, &variant)) return;
    if (!BlendImageCovers(blendImage, texture->width, texture->height)) return;

    TexturedTriangle t{};
    SetupBlendConstants(texture, variant, &t.frame.k);
    t.frame.k.key = texture->transparentValue;
    t.frame.texels = texture->pixels;
    t.frame.texturePitch = texture->pitch;
    if (blendImage != nullptr) {
        t.frame.blend = blendImage->pixels;
        t.frame.blendPitch = blendImage->pitch;
    }
    t.frame.dudx = setup.dudx;
    t.frame.dvdx = setup.dvdx;
    t.span = ChooseTexturedSpan(variant);
    t.dest = dest;
    t.textureWidth = texture->width;
    t.textureHeight = texture->height;
    InvalidateMemImgDerivedData(dest);
    WalkTriangleRows(setup, DestinationClip(dest), DrawTexturedRow, &t);
}

void DrawFlatTriangle(MEMIMG* dest, const TriangleSetup& setup, uint32_t fillColour) {
    FlatTriangle t{};
    if (!SetupPrimitiveColour(dest, fillColour, &t.colour, PrimitiveBrightnessTable)) return;
    t.span = ChooseFlatSpan(dest, t.colour.mode);
    t.dest = dest;
    InvalidateMemImgDerivedData(dest);
    WalkTriangleRows(setup, DestinationClip(dest), DrawFlatRow, &t);
}

}  // namespace

void DrawTriangle2DOnMemImg(MEMIMG* dest, const MEMIMG* texture, const TexTriVertex vertices[3], int transparent,
                            const MEMIMG* blendImage, uint32_t fillColour) {
    TriangleSetup setup;
    if (dest == nullptr || vertices == nullptr || !SetupTriangle(vertices, &setup)) return;
    if (texture != nullptr) DrawTexturedTriangle(dest, texture, setup, transparent, blendImage);
    else DrawFlatTriangle(dest, setup, fillColour);
}
