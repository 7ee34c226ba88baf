// blit_variant.h - choosing a draw's kernel by the variant order, and the one dispatch
// that turns the choice into its compiled loop.
//
// The order (taken once per draw):
//   1. pixel format of the pair and the source kind (direct, with alpha, palette)
//   2. blend mode; above BlendMultiply nothing is drawn
//   3. parameter checks: alpha p = 255 runs the none kernels; alpha, add and
//      subtract with p = 0 draw nothing
//   4. blend image   5. brightness   6. source alpha   7. transparent flag
//   8. without blend image, brightness and source alpha: the parameter specials of
//      the walk, then the MMX flag for the 32-bit packed add and subtract
// Walks and their specials:
//   plain rows (1:1)   alpha p = 128 average, 16-bit alpha BlendLerp6Table, add and
//                      subtract p = 255 packed (16-bit pairs without transparency)
//   run stream (1:1)   none (only drawn with transparency)
//   scaled             subtract p = 255 packed
#pragma once

#include "library/softrender/blend_kernels.h"

struct MEMIMG;
struct RECT;

// The triangle filler's spans use the same variants, without parameter specials.
enum BlitWalk { BlitWalkPlain, BlitWalkRunStream, BlitWalkScaled, BlitWalkTriangle };

// Steps 1-8 for the source, flags and draw state; false when nothing is drawn.
bool ChooseBlitVariant(const MEMIMG* source, int transparent, bool blendImage, BlitWalk walk,
                       BlitVariant* variant);

// The tables' rows and the source's key and palette for one draw of the variant.
void SetupBlendConstants(const MEMIMG* source, const BlitVariant& variant, BlendConstants* k);

// Whether a pair can be drawn at all: both images set up, the destination of the
// source's format kind and neither a palette nor an alpha image.
bool CanBlitBetween(const MEMIMG* dest, const MEMIMG* source);

// Whether a blend image (null is fine) is an 8-bit image reaching (right, bottom).
bool BlendImageCovers(const MEMIMG* blendImage, int right, int bottom);

// Intersects a (normal) rectangle with the draw area and the destination's own bounds
// (the draw area lies inside the target; the bounds keep a stale area from writing
// past a smaller image).
void ClipToDrawArea(const MEMIMG* dest, RECT* rect);

// ---- Dispatch: one compiled loop per variant the walk can be given ----

namespace blit_dispatch {

constexpr bool SpecialAllowed(BlitWalk walk, const BlitVariant& v) {
    if (v.special == BlitSpecialNone) return true;
    if (v.blend || v.bright || v.source == BlitSourceAlpha) return false;
    const bool packed = v.special == BlitSpecialPacked ||
                        (v.special == BlitSpecialPackedMMX && v.format == BlitFormat32);
    switch (walk) {
        case BlitWalkPlain:
            if (v.mode == BlendAlpha)
                return v.special == BlitSpecialAverage || (v.special == BlitSpecialLerp6 && v.format == BlitFormat16);
            return (v.mode == BlendAdd || v.mode == BlendSubtract) && packed;
        case BlitWalkScaled:
            return v.mode == BlendSubtract && packed;
        default:
            return false;
    }
}

constexpr BlitVariant WithFormat(BlitVariant v, BlitFormat f) {
    v.format = f;
    return v;
}
constexpr BlitVariant WithSource(BlitVariant v, BlitSource s) {
    v.source = s;
    return v;
}
constexpr BlitVariant WithMode(BlitVariant v, int m) {
    v.mode = uint8_t(m);
    return v;
}
constexpr BlitVariant WithBlend(BlitVariant v) {
    v.blend = true;
    return v;
}
constexpr BlitVariant WithBright(BlitVariant v) {
    v.bright = true;
    return v;
}
constexpr BlitVariant WithTransparent(BlitVariant v) {
    v.transparent = true;
    return v;
}
constexpr BlitVariant WithSpecial(BlitVariant v, BlitSpecial s) {
    v.special = s;
    return v;
}

template <BlitWalk W, BlitVariant V, class Fn>
void Special(const BlitVariant& v, Fn& fn) {
    constexpr BlitVariant average = WithSpecial(V, BlitSpecialAverage);
    constexpr BlitVariant lerp6 = WithSpecial(V, BlitSpecialLerp6);
    constexpr BlitVariant packed = WithSpecial(V, BlitSpecialPacked);
    constexpr BlitVariant packedMmx = WithSpecial(V, BlitSpecialPackedMMX);
    switch (v.special) {
        case BlitSpecialNone:
            return fn.template operator()<V>();
        case BlitSpecialAverage:
            if constexpr (SpecialAllowed(W, average)) return fn.template operator()<average>();
            break;
        case BlitSpecialLerp6:
            if constexpr (SpecialAllowed(W, lerp6)) return fn.template operator()<lerp6>();
            break;
        case BlitSpecialPacked:
            if constexpr (SpecialAllowed(W, packed)) return fn.template operator()<packed>();
            break;
        case BlitSpecialPackedMMX:
            if constexpr (SpecialAllowed(W, packedMmx)) return fn.template operator()<packedMmx>();
            break;
    }
}

template <BlitWalk W, BlitVariant V, class Fn>
void Transparent(const BlitVariant& v, Fn& fn) {
    if (v.transparent) return Special<W, WithTransparent(V)>(v, fn);
    // The run stream is walked only for transparent draws.
    if constexpr (W != BlitWalkRunStream) Special<W, V>(v, fn);
}

template <BlitWalk W, BlitVariant V, class Fn>
void Bright(const BlitVariant& v, Fn& fn) {
    if (v.bright) return Transparent<W, WithBright(V)>(v, fn);
    Transparent<W, V>(v, fn);
}

template <BlitWalk W, BlitVariant V, class Fn>
void Blend(const BlitVariant& v, Fn& fn) {
    if (v.blend) return Bright<W, WithBlend(V)>(v, fn);
    Bright<W, V>(v, fn);
}

template <BlitWalk W, BlitVariant V, class Fn>
void Mode(const BlitVariant& v, Fn& fn) {
    switch (v.mode) {
        case BlendNone: return Blend<W, WithMode(V, BlendNone)>(v, fn);
        case BlendAlpha: return Blend<W, WithMode(V, BlendAlpha)>(v, fn);
        case BlendAdd: return Blend<W, WithMode(V, BlendAdd)>(v, fn);
        case BlendSubtract: return Blend<W, WithMode(V, BlendSubtract)>(v, fn);
        case BlendMultiply: return Blend<W, WithMode(V, BlendMultiply)>(v, fn);
        default: return;
    }
}

template <BlitWalk W, BlitVariant V, class Fn>
void Source(const BlitVariant& v, Fn& fn) {
    switch (v.source) {
        case BlitSourceDirect: return Mode<W, WithSource(V, BlitSourceDirect)>(v, fn);
        case BlitSourceAlpha: return Mode<W, WithSource(V, BlitSourceAlpha)>(v, fn);
        case BlitSourcePalette: return Mode<W, WithSource(V, BlitSourcePalette)>(v, fn);
    }
}

}  // namespace blit_dispatch

// Calls fn.operator()<V>() with the compiled variant equal to v. The variants a walk
// cannot be given are never compiled for it.
template <BlitWalk W, class Fn>
void DispatchBlitVariant(const BlitVariant& v, Fn&& fn) {
    using namespace blit_dispatch;
    if (v.format == BlitFormat16)
        Source<W, WithFormat(BlitVariant{}, BlitFormat16)>(v, fn);
    else
        Source<W, WithFormat(BlitVariant{}, BlitFormat32)>(v, fn);
}
